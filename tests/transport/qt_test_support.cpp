#include "tests/transport/qt_test_support.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace tarvik::nettest {

namespace {

// Every test of these executables runs on one application's event loop.
class CoreApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "transport_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

Packet Frame(int transaction, int unit, int function, int first, int second) {
    Packet frame = PutWord(transaction) + PutWord(0) + PutWord(6) + ByteOf(unit) + ByteOf(function);
    AppendWord(frame, first);
    AppendWord(frame, second);
    return frame;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, int ms) {
    if (done()) return true;
    const QDeadlineTimer deadline(ms);
    // Wakes the loop now and then, so the deadline is seen even when no
    // event comes; while events flow they are handled without pause.
    QTimer wake;
    wake.start(5);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (done()) return true;
    }
    return done();
}

Packet Bytes(std::string_view hex) {
    Packet out;
    int high = -1;
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        const int nibble = std::isdigit(static_cast<unsigned char>(c))
                               ? c - '0'
                               : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = nibble;
        } else {
            out.push_back(static_cast<char>(high * 16 + nibble));
            high = -1;
        }
    }
    return out;
}

std::string Hex(const Packet& bytes) {
    std::string out;
    char two[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02X", GetByte(bytes, i));
        if (i > 0) out += ' ';
        out += two;
    }
    return out;
}

quint16 UnusedTcpPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::AnyIPv4, 0)) return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

Packet ReadHoldingRequest(int transaction, int start, int quantity, int unit) {
    return Frame(transaction, unit, 3, start, quantity);
}

Packet ReadInputRequest(int transaction, int start, int quantity, int unit) {
    return Frame(transaction, unit, 4, start, quantity);
}

Packet WriteRegisterRequest(int transaction, int address, int value, int unit) {
    return Frame(transaction, unit, 6, address, value);
}

bool RawMaster::Connect(quint16 port, const char* host) {
    socket_.connectToHost(QString::fromLatin1(host), port);
    return WaitUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; });
}

void RawMaster::Send(const Packet& bytes) {
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_.flush();
}

Packet RawMaster::Read(std::size_t count, int ms) {
    WaitUntil([&] { return socket_.bytesAvailable() >= static_cast<qint64>(count); }, ms);
    const QByteArray got = socket_.read(static_cast<qint64>(count));
    return Packet(got.constData(), static_cast<std::size_t>(got.size()));
}

Packet RawMaster::TakeArrived() {
    QCoreApplication::processEvents();
    const QByteArray got = socket_.readAll();
    return Packet(got.constData(), static_cast<std::size_t>(got.size()));
}

bool RawMaster::WaitClosed(int ms) {
    return WaitUntil([this] { return socket_.state() == QAbstractSocket::UnconnectedState; }, ms);
}

}  // namespace tarvik::nettest
