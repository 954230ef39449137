#include "sim/udp_device.h"

#include "sim/system.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

bool isLoopback(const IpAddress& ip)
{
    return ip[0] == 127;
}

bool isZero(const IpAddress& ip)
{
    return ip == IpAddress{};
}

sockaddr_in socketAddress(const IpAddress& ip, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr, ip.data(), 4); // network order is first number first
    return a;
}

QByteArray endpoint(const IpAddress& ip, quint16 port)
{
    return (AddressText(ip) + QStringLiteral(":%1").arg(port)).toLatin1();
}

// A non-blocking UDP socket bound to ip and port, or -1 with *error set.
int openBound(const IpAddress& ip, quint16 port, QString* error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = SimSystemReason("socket");
        return -1;
    }
    const sockaddr_in a = socketAddress(ip, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        if (error)
            *error = SimSystemReason("bind");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SimUdpDevice::SimUdpDevice() : SimUdpDevice(std::make_shared<SimDevice>()) {}

SimUdpDevice::SimUdpDevice(std::shared_ptr<SimDevice> device) : SimDeviceSide(std::move(device)) {}

SimUdpDevice::~SimUdpDevice()
{
    stop();
}

bool SimUdpDevice::setAddress(const IpAddress& address)
{
    if (thread_.joinable() || !isLoopback(address))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    address_ = address;
    return true;
}

bool SimUdpDevice::setDevicePort(quint16 port)
{
    if (thread_.joinable())
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    devicePort_ = port;
    return true;
}

void SimUdpDevice::setReplyPort(quint16 port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replyPort_ = port;
}

bool SimUdpDevice::start(QString* error)
{
    if (thread_.joinable())
        return true;
    socket_ = openBound(address_, devicePort_, error);
    if (socket_ < 0)
        return false;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = SimSystemReason("socket set-up");
        SimCloseFd(socket_);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        devicePort_ = ntohs(bound.sin_port);
        stopping_ = false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimUdpDevice::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    const char b = 's';
    (void)!::write(wake_[1], &b, 1);
    thread_.join();
    SimCloseFd(socket_);
    SimCloseFd(otherSocket_);
    SimCloseFd(wake_[0]);
    SimCloseFd(wake_[1]);
    outgoing_.clear();
}

IpAddress SimUdpDevice::address() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return address_;
}

quint16 SimUdpDevice::devicePort() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return devicePort_;
}

quint16 SimUdpDevice::replyPort() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return replyPort_;
}

void SimUdpDevice::setFaults(const SimUdpFaults& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
}

SimUdpFaults SimUdpDevice::faults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

QList<SimDatagram> SimUdpDevice::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int SimUdpDevice::requestCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return int(requests_.size());
}

QByteArray SimUdpDevice::lastWrite() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastWrite_;
}

void SimUdpDevice::clearLog()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    lastWrite_.clear();
}

bool SimUdpDevice::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return requestsChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return requests_.size() >= count; });
}

void SimUdpDevice::run()
{
    std::vector<char> buf(65536);
    for (;;) {
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {socket_, POLLIN, 0}};
        const qint64 due = nextDueNs();
        timespec ts{};
        if (due > 0) {
            const qint64 left = std::max<qint64>(0, due - SimNowNs());
            ts = {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        }
        if (::ppoll(fds, 2, due > 0 ? &ts : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            while (::read(wake_[0], buf.data(), buf.size()) > 0) {
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                requestsChanged_.notify_all();
                return;
            }
        }
        if (fds[1].revents & POLLIN) {
            for (;;) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(socket_, buf.data(), buf.size(), 0,
                                             reinterpret_cast<sockaddr*>(&from), &length);
                if (n < 0)
                    break;
                IpAddress sender{};
                std::memcpy(sender.data(), &from.sin_addr, 4);
                take(QByteArray(buf.data(), int(n)), sender, ntohs(from.sin_port));
            }
        }
        sendDue();
    }
}

void SimUdpDevice::take(const QByteArray& datagram, const IpAddress& sender, quint16 senderPort)
{
    SimDatagram taken;
    taken.bytes = datagram;
    taken.signature = datagram.left(16);
    taken.command = datagram.size() > 16 ? quint8(datagram[16]) : -1;
    taken.sender = sender;
    taken.senderPort = senderPort;
    taken.receivedNs = SimNowNs();

    Outgoing out;
    bool move = false;
    IpAddress moveTarget{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.seq = nextSeq_++;
        const SimUdpFaults faults = faults_;
        if (!isLoopback(sender)) {
            // Answering would send a datagram off the loopback network.
            std::fprintf(stderr, "simulated device at %s: ignores a request from %s\n",
                         endpoint(address_, devicePort_).constData(),
                         AddressText(sender).toLatin1().constData());
        } else if (!faults.silent && taken.receivedNs >= silentUntilNs_) {
            IpAddress before{};
            const SimAnswer answer = device_->update([&](SimDeviceState& state) {
                before = state.params.ip;
                SimAnswer a = SimAnswerDatagram(state, datagram);
                moveTarget = state.params.ip;
                return a;
            });
            taken.request = answer.request;
            taken.answered = !answer.reply.isEmpty();
            if (answer.request == SimRequest::WriteConfig) {
                lastWrite_ = datagram;
                move = moveTarget != before;
                if (faults.restartSilenceMs > 0)
                    silentUntilNs_ = SimNowNs() + qint64(faults.restartSilenceMs) * 1'000'000;
            }
            if (taken.answered) {
                out.dueNs = taken.receivedNs + qint64(std::max(0, faults.replyDelayMs)) * 1'000'000;
                out.bytes = answer.reply.left(std::max(0, faults.replySize));
                if (out.bytes.size() < faults.replySize)
                    out.bytes.append(QByteArray(faults.replySize - out.bytes.size(), '\0'));
                out.to = sender;
                out.toPort = replyPort_;
                out.from = faults.replyFrom;
                out.copies = faults.duplicate ? 2 : 1;
                out.seq = taken.seq;
            }
        }
        requests_.append(taken);
    }
    requestsChanged_.notify_all();
    if (taken.answered) {
        const auto at =
            std::upper_bound(outgoing_.begin(), outgoing_.end(), out.dueNs,
                             [](qint64 due, const Outgoing& queued) { return due < queued.dueNs; });
        outgoing_.insert(at, out);
    }
    if (move)
        moveTo(moveTarget);
}

qint64 SimUdpDevice::nextDueNs() const
{
    return outgoing_.empty() ? 0 : std::max<qint64>(1, outgoing_.front().dueNs);
}

void SimUdpDevice::sendDue()
{
    const qint64 now = SimNowNs();
    while (!outgoing_.empty() && outgoing_.front().dueNs <= now) {
        send(outgoing_.front());
        outgoing_.erase(outgoing_.begin());
    }
}

void SimUdpDevice::send(const Outgoing& out)
{
    if (!isLoopback(out.to))
        return; // never off the loopback network; take() does not queue such a reply
    const int fd = isZero(out.from) ? socket_ : socketFrom(out.from);
    const sockaddr_in to = socketAddress(out.to, out.toPort);
    for (int i = 0; i < out.copies; ++i)
        ::sendto(fd, out.bytes.constData(), size_t(out.bytes.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const qint64 now = SimNowNs();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
            if (it->seq == out.seq) {
                if (it->repliedNs == 0)
                    it->repliedNs = now;
                break;
            }
        }
    }
    requestsChanged_.notify_all();
}

int SimUdpDevice::socketFrom(const IpAddress& from)
{
    if (otherSocket_ >= 0 && otherFrom_ == from)
        return otherSocket_;
    SimCloseFd(otherSocket_);
    if (!isLoopback(from)) {
        std::fprintf(stderr,
                     "simulated device at %s: replies from its own address, %s is not "
                     "a loopback address\n",
                     endpoint(address_, devicePort_).constData(),
                     AddressText(from).toLatin1().constData());
        return socket_;
    }
    // The device's port on the other address, so only the address differs; any port when
    // that one is taken there.
    QString error;
    otherSocket_ = openBound(from, devicePort_, nullptr);
    if (otherSocket_ < 0)
        otherSocket_ = openBound(from, 0, &error);
    if (otherSocket_ < 0) {
        std::fprintf(stderr, "simulated device at %s: replies from its own address, %s: %s\n",
                     endpoint(address_, devicePort_).constData(),
                     AddressText(from).toLatin1().constData(), qPrintable(error));
        return socket_;
    }
    otherFrom_ = from;
    return otherSocket_;
}

void SimUdpDevice::moveTo(const IpAddress& address)
{
    if (address == address_)
        return;
    const QByteArray here = endpoint(address_, devicePort_);
    if (!isLoopback(address)) {
        std::fprintf(stderr,
                     "simulated device at %s: stays there; the new address %s is not a "
                     "loopback address\n",
                     here.constData(), AddressText(address).toLatin1().constData());
        return;
    }
    // The new address is bound, and address() tells it, before the answer to the write leaves
    // from the old one, so a requester that has the answer finds the device at its new
    // address.
    QString error;
    const int fd = openBound(address, devicePort_, &error);
    if (fd >= 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        address_ = address;
    }
    sendDue();
    if (fd < 0) {
        std::fprintf(stderr, "simulated device at %s: stays there; cannot move to %s: %s\n",
                     here.constData(), endpoint(address, devicePort_).constData(),
                     qPrintable(error));
        return;
    }
    SimCloseFd(socket_);
    socket_ = fd;
}
