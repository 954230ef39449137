#pragma once
// The UDP side of the simulated device started for one test: the device on a loopback address
// at a port the system chooses, and a client socket on 127.0.0.1 that it answers to, so tests
// running in parallel never share a port.

#include "sim/udp_device.h"

#include <QByteArray>

#include <functional>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

// Long enough for a loaded machine; only waits for something that must come.
constexpr int kDeadlineMs = 5000;

// One datagram the client received.
struct Received {
    QByteArray bytes;
    IpAddress from{};
    quint16 fromPort = 0;
};

// A UDP socket on 127.0.0.1 at a port the system chooses. It sends to loopback addresses only,
// the loopback broadcast address 127.255.255.255 included.
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
    // The next count datagrams, or fewer when the rest did not come within timeoutMs.
    std::vector<Received> receiveMany(int count, int timeoutMs = kDeadlineMs) const;

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

    // Sends request to the device, or to 127.255.255.255 at its port, lets between() run once
    // the device took it, and returns every datagram that came before the answer to a first
    // connection command sent next: the answers to request, which arrive before the one to
    // that probe. request must not be a first connection command, and the probe must be
    // answered at once.
    std::vector<Received> answersTo(const QByteArray& request,
                                    const std::function<void()>& between = {},
                                    bool broadcast = false);
    // Checks with answersTo that the device answered nothing to request.
    void expectNoAnswer(const QByteArray& request, const std::function<void()>& between = {});

    SimUdpDevice sim;
    UdpClient client;
};
