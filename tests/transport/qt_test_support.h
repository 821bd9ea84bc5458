// Shared pieces of the transport tests: the one application object of the
// executable, bounded waits on its event loop, byte texts, and a master on a
// Qt socket that lives on the same event loop as the code under test.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/packet.h"

namespace tarvik::nettest {

struct CoreApplicationEnvironment : ::testing::Environment {
    int argc = 1;
    char name[16] = "transport_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;

    void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
inline ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

// Runs the event loop until `done` holds or `ms` have passed.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    // Wakes the loop now and then, so the deadline is seen even when no
    // event comes; while events flow they are handled without pause.
    const QDeadlineTimer deadline(ms);
    QTimer wake;
    wake.start(5);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// "00 01 0A" -> bytes, blanks ignored; and back, for readable failures.
inline Packet Bytes(std::string_view hex) {
    return QByteArray::fromHex(QByteArray(hex.data(), static_cast<qsizetype>(hex.size()))).toStdString();
}
inline std::string Hex(const Packet& bytes) {
    return QByteArray::fromStdString(bytes).toHex(' ').toUpper().toStdString();
}

// Read Holding Registers (function 3) for unit 1.
inline Packet ReadHoldingRequest(int transaction, int start, int quantity) {
    return PutWord(transaction) + PutWord(0) + PutWord(6) + ByteOf(1) + ByteOf(3) + PutWord(start) +
           PutWord(quantity);
}

struct RawMaster {
    QTcpSocket socket;

    bool Connect(quint16 port) {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return WaitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    void Send(const Packet& bytes) {
        socket.write(QByteArray::fromStdString(bytes));
        socket.flush();
    }
    // Waits for exactly `count` bytes; fewer when the wait runs out.
    Packet Read(std::size_t count, int ms = 5000) {
        WaitUntil([&] { return socket.bytesAvailable() >= static_cast<qint64>(count); }, ms);
        return socket.read(static_cast<qint64>(count)).toStdString();
    }
    // What has arrived so far, after one pass of the event loop.
    Packet TakeArrived() {
        QCoreApplication::processEvents();
        return socket.readAll().toStdString();
    }
    bool WaitClosed() {
        return WaitUntil([this] { return socket.state() == QAbstractSocket::UnconnectedState; });
    }
};

}  // namespace tarvik::nettest
