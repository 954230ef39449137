#include "udp_side.h"

#include "sim/system.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

sockaddr_in socketAddress(const IpAddress& ip, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr, ip.data(), 4);
    return a;
}

QByteArray request(const char* signature, int command)
{
    QByteArray out(kSimDatagramSize, '\0');
    out.replace(0, 15, signature);
    out[16] = char(command);
    return out;
}

} // namespace

UdpClient::UdpClient()
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    const int on = 1; // for 127.255.255.255; send() refuses every address off loopback
    sockaddr_in a = socketAddress({{127, 0, 0, 1}}, 0);
    socklen_t length = sizeof a;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
}

UdpClient::~UdpClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void UdpClient::send(const IpAddress& to, quint16 port, const QByteArray& bytes) const
{
    ASSERT_EQ(to[0], 127) << "tests send to loopback addresses only";
    const sockaddr_in a = socketAddress(to, port);
    ASSERT_EQ(::sendto(fd_, bytes.constData(), size_t(bytes.size()), 0,
                       reinterpret_cast<const sockaddr*>(&a), sizeof a),
              bytes.size());
}

std::optional<Received> UdpClient::receive(int timeoutMs) const
{
    pollfd p = {fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1)
        return std::nullopt;
    char buf[2048];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n =
        ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0)
        return std::nullopt;
    Received r;
    r.bytes = QByteArray(buf, int(n));
    std::memcpy(r.from.data(), &from.sin_addr, 4);
    r.fromPort = ntohs(from.sin_port);
    return r;
}

std::vector<Received> UdpClient::receiveMany(int count, int timeoutMs) const
{
    const qint64 until = SimNowNs() + qint64(timeoutMs) * 1'000'000;
    std::vector<Received> out;
    while (int(out.size()) < count) {
        const qint64 left = std::max<qint64>(0, until - SimNowNs()) / 1'000'000;
        std::optional<Received> r = receive(int(left));
        if (!r)
            break;
        out.push_back(*r);
    }
    return out;
}

QByteArray FirstConnect()
{
    return request("CH9121_CFG_FLAG", 0x04);
}

QByteArray SecondConnect()
{
    return request("NET_MODULE_COMM", 0x04);
}

QByteArray ReadConfig(const std::array<quint8, 6>& mac)
{
    QByteArray out = request("CH9121_CFG_FLAG", 0x02);
    out.replace(17, 6, QByteArray(reinterpret_cast<const char*>(mac.data()), 6));
    return out;
}

QByteArray WriteConfig(QByteArray block)
{
    block[16] = char(0x01);
    block.replace(23, 6, QByteArray("\x70\x8B\xCD\x58\xA9\x36", 6));
    return block;
}

bool IsFirstConnectReply(const QByteArray& reply, int version)
{
    const int end = reply.indexOf('\0', 34);
    return reply.size() == kSimDatagramSize && reply.left(17) == FirstConnect().left(17) &&
           end > 34 && end + 1 < reply.size() && quint8(reply[end + 1]) == version;
}

void UdpSide::start(const IpAddress& address)
{
    ASSERT_TRUE(client.isOpen());
    ASSERT_TRUE(sim.setAddress(address));
    ASSERT_TRUE(sim.setDevicePort(0));
    sim.setReplyPort(client.port());
    QString error;
    ASSERT_TRUE(sim.start(&error)) << qPrintable(error);
}

void UdpSide::send(const QByteArray& request) const
{
    client.send(sim.address(), sim.devicePort(), request);
}

std::optional<Received> UdpSide::ask(const QByteArray& request) const
{
    send(request);
    return client.receive();
}

QByteArray UdpSide::readBlock() const
{
    const std::optional<Received> r = ask(ReadConfig(sim.state().mac));
    return r ? r->bytes : QByteArray();
}

std::vector<Received> UdpSide::answersTo(const QByteArray& request,
                                         const std::function<void()>& between, bool broadcast)
{
    const int taken = sim.requestCount();
    client.send(broadcast ? kSimLoopbackBroadcast : sim.address(), sim.devicePort(), request);
    EXPECT_TRUE(sim.waitForRequests(taken + 1, kDeadlineMs));
    if (between)
        between();
    send(FirstConnect());
    std::vector<Received> answers;
    for (;;) {
        std::optional<Received> r = client.receive();
        if (!r) {
            ADD_FAILURE() << "no answer to the probe";
            break;
        }
        if (IsFirstConnectReply(r->bytes))
            break;
        answers.push_back(*r);
    }
    return answers;
}

void UdpSide::expectNoAnswer(const QByteArray& request, const std::function<void()>& between)
{
    const int taken = sim.requestCount();
    EXPECT_EQ(answersTo(request, between).size(), 0u) << "an answer to the request came";
    EXPECT_FALSE(sim.requests().value(taken).answered);
}
