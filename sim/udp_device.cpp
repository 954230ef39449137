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

// A non-blocking UDP socket bound to ip and port with SO_REUSEADDR, or -1 with *error set.
// For port 0 the option is set after the bind, so the port the system chooses is one that no
// other socket uses, not even one that allows sharing it; later binds there may share it.
int openBound(const IpAddress& ip, quint16 port, QString* error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = SimSystemReason("socket");
        return -1;
    }
    const int on = 1;
    auto reuse = [&] { return ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0; };
    const sockaddr_in a = socketAddress(ip, port);
    const char* step = nullptr;
    if (port != 0 && !reuse())
        step = "SO_REUSEADDR";
    else if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        step = "bind";
    else if (port == 0 && !reuse())
        step = "SO_REUSEADDR";
    if (step) {
        if (error)
            *error = SimSystemReason(step);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The port fd is bound to, or 0.
quint16 boundPort(int fd)
{
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

// Whether a UDP socket of this machine is bound to exactly ip and port, as /proc/net/udp
// lists them; false when the list cannot be read. SO_REUSEADDR lets a second socket bind
// there, and the two would share the unicasts, so the device checks before it binds.
bool addressTaken(const IpAddress& ip, quint16 port)
{
    std::FILE* list = std::fopen("/proc/net/udp", "r");
    if (!list)
        return false;
    quint32 stored = 0;
    std::memcpy(&stored, ip.data(), 4); // the list prints the address as the machine stores it
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "%08X:%04X", uint(stored), uint(port));
    char line[512];
    bool taken = false;
    while (!taken && std::fgets(line, sizeof line, list)) {
        char local[32] = {};
        taken = std::sscanf(line, "%*s %31s", local) == 1 && std::strcmp(local, wanted) == 0;
    }
    std::fclose(list);
    return taken;
}

// The destination address of a datagram received with IP_PKTINFO, or 0.0.0.0 when the
// message does not tell it.
IpAddress destinationOf(msghdr& msg)
{
    IpAddress to{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO &&
            c->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            std::memcpy(to.data(), &info.ipi_addr, 4);
        }
    }
    return to;
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
    if (thread_.joinable() || !isLoopback(address) || address == kSimLoopbackBroadcast)
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

bool SimUdpDevice::setAnswerBroadcasts(bool on)
{
    if (thread_.joinable())
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    answerBroadcasts_ = on;
    return true;
}

bool SimUdpDevice::answersBroadcasts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return answerBroadcasts_;
}

bool SimUdpDevice::start(QString* error)
{
    if (thread_.joinable())
        return true;
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        SimCloseFd(socket_);
        SimCloseFd(broadcastSocket_);
        return false;
    };
    quint16 port = devicePort_;
    if (answerBroadcasts_) {
        // Bound first, so that with port 0 the port chosen is free on every address.
        QString reason;
        broadcastSocket_ = openBound(IpAddress{}, port, &reason);
        if (broadcastSocket_ < 0)
            return fail(QStringLiteral("broadcast socket on 0.0.0.0: ") + reason);
        const int on = 1;
        if (::setsockopt(broadcastSocket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
            return fail(SimSystemReason("IP_PKTINFO"));
        port = boundPort(broadcastSocket_);
    }
    if (port != 0 && addressTaken(address_, port))
        return fail(QStringLiteral("bind: another socket is bound to ") +
                    QString::fromLatin1(endpoint(address_, port)));
    QString reason;
    socket_ = openBound(address_, port, &reason);
    if (socket_ < 0)
        return fail(reason);
    port = boundPort(socket_);
    if (port == 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(SimSystemReason("socket set-up"));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        devicePort_ = port;
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
    SimCloseFd(broadcastSocket_);
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

bool SimUdpDevice::waitForReplies(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return requestsChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(requests_.begin(), requests_.end(),
                             [](const SimDatagram& d) { return d.repliedNs != 0; }) >= count;
    });
}

void SimUdpDevice::run()
{
    std::vector<char> buf(65536);
    for (;;) {
        // poll skips the broadcast socket's entry while it is -1.
        pollfd fds[3] = {
            {wake_[0], POLLIN, 0}, {socket_, POLLIN, 0}, {broadcastSocket_, POLLIN, 0}};
        const qint64 due = nextDueNs();
        timespec ts{};
        if (due > 0) {
            const qint64 left = std::max<qint64>(0, due - SimNowNs());
            ts = {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        }
        if (::ppoll(fds, 3, due > 0 ? &ts : nullptr, nullptr) < 0) {
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
        if (fds[1].revents & POLLIN)
            takeWaiting(false, buf);
        if (fds[2].revents & POLLIN)
            takeWaiting(true, buf);
        sendDue();
    }
}

void SimUdpDevice::takeWaiting(bool broadcast, std::vector<char>& buf)
{
    for (;;) {
        // Read anew each time: a write taken here may move the device to another socket.
        const int fd = broadcast ? broadcastSocket_ : socket_;
        sockaddr_in from{};
        iovec iov{buf.data(), buf.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd, &msg, 0);
        if (n < 0)
            return;
        if (broadcast && destinationOf(msg) != kSimLoopbackBroadcast)
            continue; // a unicast to an address where no device listens: nobody answers it
        IpAddress sender{};
        std::memcpy(sender.data(), &from.sin_addr, 4);
        take(QByteArray(buf.data(), int(n)), sender, ntohs(from.sin_port), broadcast);
    }
}

void SimUdpDevice::take(const QByteArray& datagram, const IpAddress& sender, quint16 senderPort,
                        bool broadcast)
{
    SimDatagram taken;
    taken.bytes = datagram;
    taken.signature = datagram.left(16);
    taken.command = datagram.size() > 16 ? quint8(datagram[16]) : -1;
    taken.sender = sender;
    taken.senderPort = senderPort;
    taken.broadcast = broadcast;
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
        } else if (!faults.silent && !restarting(faults, taken.receivedNs)) {
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
            }
            if (taken.answered) {
                out.dueNs = taken.receivedNs + qint64(std::max(0, faults.replyDelayMs)) * 1'000'000;
                QByteArray reply = answer.reply;
                if (faults.badSignature) {
                    for (int i = 0; i < 16 && i < reply.size(); ++i)
                        reply[i] = char(reply[i] ^ 0xFF);
                }
                out.bytes = reply.left(std::max(0, faults.replySize));
                if (out.bytes.size() < faults.replySize)
                    out.bytes.append(QByteArray(faults.replySize - out.bytes.size(), '\0'));
                out.to = sender;
                out.toPort = replyPort_;
                out.from = faults.replyFrom;
                out.copies = faults.duplicate ? 2 : 1;
                out.seq = taken.seq;
                if (answer.request == SimRequest::WriteConfig)
                    restartEndNs_ = out.dueNs + qint64(faults.restartSilenceMs) * 1'000'000;
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

bool SimUdpDevice::restarting(const SimUdpFaults& faults, qint64 nowNs) const
{
    return faults.restartSilenceMs > 0 && nowNs < restartEndNs_;
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
    // that one is taken there (sharing it would take another device's requests).
    QString error;
    if (!addressTaken(from, devicePort_))
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
    // address. Broadcasts keep coming on the socket of 0.0.0.0.
    QString error;
    int fd = -1;
    if (address == kSimLoopbackBroadcast)
        error = QStringLiteral("it is where broadcasts go");
    else if (addressTaken(address, devicePort_))
        error = QStringLiteral("another socket is bound there");
    else
        fd = openBound(address, devicePort_, &error);
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
