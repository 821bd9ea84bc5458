// The UDP endpoint of the UDP role: one bound socket, each datagram raised as
// one arrival together with its sender, answers sent to a given sender.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

#include "dispatch/socket_state.h"
#include "engine/packet.h"

class QUdpSocket;

namespace tarvik {

// One datagram and who sent it.
struct Datagram {
    Packet bytes;
    std::string senderIP;  // dotted IPv4
    int32_t senderPort = 0;
};

class UdpEndpoint final : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoint(QObject* parent = nullptr);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // As TcpListener's: the bound port, else the one last set.
    int32_t LocalPort() const;
    bool SetLocalPort(int32_t port);

    // Binds exclusively (a port another program holds counts as in use);
    // fails at once, leaving the endpoint closed and usable again.
    bool Bind(const QHostAddress& address = QHostAddress(QHostAddress::AnyIPv4));
    void Close();

    SocketState State() const { return state_; }

    // The datagram that raised the latest DataArrival; taking it lets the
    // next one be raised.
    Datagram GetData();

    // One datagram to `host`:`port`; true when the system took all of it.
    bool SendTo(const Packet& data, const std::string& host, int32_t port);

    const QString& LastErrorText() const { return lastError_; }

signals:
    void DataArrival(int32_t bytesTotal);
    // A send failed or the system reported an error; the endpoint stays open.
    void Error(int number, const QString& description);

private:
    void OnReadyRead();
    void ScheduleArrival();
    void DeliverArrival(uint64_t generation);

    int32_t localPort_ = 0;
    SocketState state_ = SocketState::Closed;
    QString lastError_;
    uint64_t generation_ = 0;
    bool arrivalPosted_ = false;
    bool delivering_ = false;
    QUdpSocket* udp_ = nullptr;
    Datagram held_;
    bool holding_ = false;
};

}  // namespace tarvik
