// A Modbus master on a Qt TCP socket, for tests whose code under test runs on
// the same event loop: every wait runs that loop, so nothing blocks the
// slave while the master waits for it.
#pragma once

#include <QTcpSocket>

#include <optional>
#include <string>
#include <string_view>

#include "testkit/mbap_framer.h"
#include "testkit/qt/event_waits.h"

namespace tarvik::testing {

class QtMaster {
public:
    bool Connect(int port) {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
        // A refused connection ends the wait at once instead of at the bound.
        test::WaitUntil([this] {
            return socket_.state() == QAbstractSocket::ConnectedState ||
                   socket_.state() == QAbstractSocket::UnconnectedState;
        });
        return socket_.state() == QAbstractSocket::ConnectedState;
    }

    void Send(const std::string& bytes) {
        socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket_.flush();
    }

    // One answer frame, cut by its length field (6-byte prefix, then Length
    // bytes), or nullopt when it does not come in time.
    std::optional<std::string> ReceiveFrame(int ms = test::kWaitMs) {
        qint64 size = kMbapPrefix;  // then the whole frame once its length is known
        const bool whole = test::WaitUntil(
            [&] {
                if (socket_.bytesAvailable() < size) return false;
                const QByteArray head = socket_.peek(kMbapPrefix);
                size = static_cast<qint64>(FrameSize(std::string_view(head.data(), head.size())));
                return socket_.bytesAvailable() >= size;
            },
            ms);
        return whole ? std::optional(socket_.read(size).toStdString()) : std::nullopt;
    }

    // Whatever has arrived, after one pass of the event loop.
    std::string Arrived() {
        QCoreApplication::processEvents();
        return socket_.readAll().toStdString();
    }

    bool WaitClosed(int ms = test::kWaitMs) {
        return test::WaitUntil(
            [this] { return socket_.state() == QAbstractSocket::UnconnectedState; }, ms);
    }
    void Close() { socket_.disconnectFromHost(); }
    int LocalPort() const { return socket_.localPort(); }
    QTcpSocket& Socket() { return socket_; }

private:
    QTcpSocket socket_;
};

}  // namespace tarvik::testing
