#pragma once
// The UDP side of the simulated device started for one test: the device on a loopback address
// at a port the system chooses, and a client socket on 127.0.0.1 that it answers to, so tests
// running in parallel never share a port.

#include "sim/udp_device.h"

#include <QByteArray>

#include <optional>

#include <gtest/gtest.h>

// Long enough for a loaded machine; only waits for something that must come.
constexpr int kDeadlineMs = 5000;

// One datagram the client received.
struct Received {
    QByteArray bytes;
    IpAddress from{};
    quint16 fromPort = 0;
};

// A UDP socket on 127.0.0.1 at a port the system chooses. It sends to loopback addresses only.
class UdpClient
{
public:
    UdpClient();
    ~UdpClient();
    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    quint16 port() const { return port_; }

    void send(const IpAddress& to, quint16 port, const QByteArray& bytes) const;
    // The next datagram, or nothing when none came within timeoutMs.
    std::optional<Received> receive(int timeoutMs = kDeadlineMs) const;

private:
    int fd_ = -1;
    quint16 port_ = 0;
};

// The requests, 285 bytes each.
QByteArray FirstConnect();
QByteArray SecondConnect();
QByteArray ReadConfig(const std::array<quint8, 6>& mac);
// A write of the given block: command 0x01 and the write key at 23 to 28.
QByteArray WriteConfig(QByteArray block);

// Whether reply is the answer to the first connection command with this version.
bool IsFirstConnectReply(const QByteArray& reply, int version = 39);

class UdpSide
{
public:
    explicit UdpSide(std::shared_ptr<SimDevice> device = std::make_shared<SimDevice>())
        : sim(std::move(device))
    {
    }

    // Starts the device at address, port chosen by the system, answering the client.
    void start(const IpAddress& address = {{127, 0, 0, 2}});

    // Sends request to where the device is now.
    void send(const QByteArray& request) const;
    // One request, its answer.
    std::optional<Received> ask(const QByteArray& request) const;
    // The configuration block the device reports.
    QByteArray readBlock() const;

    // Sends request, lets between() run once the device took it, and then checks with a first
    // connection command that the device answered nothing to it: an answer to request would
    // arrive before the one to the probe. request must not be a first connection command.
    void expectNoAnswer(const QByteArray& request, const std::function<void()>& between = {});

    SimUdpDevice sim;
    UdpClient client;
};
