#include "sim/serial_device.h"

#include "sim/system.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr quint8 kFrameFirst = 0x57;
constexpr quint8 kFrameSecond = 0xAB;
// A frame whose bytes stop for longer than this is dropped, so a broken frame never glues
// itself to the next one.
constexpr qint64 kFrameResyncNs = 100'000'000;

} // namespace

SimSerialDevice::SimSerialDevice() : SimSerialDevice(std::make_shared<SimDevice>()) {}

SimSerialDevice::SimSerialDevice(std::shared_ptr<SimDevice> device)
    : SimDeviceSide(std::move(device))
{
}

SimSerialDevice::~SimSerialDevice()
{
    stop();
}

bool SimSerialDevice::start(QString* error)
{
    if (thread_.joinable())
        return true;
    auto fail = [&](const char* step) {
        if (error)
            *error = SimSystemReason(step);
        SimCloseFd(master_);
        SimCloseFd(slaveKeeper_);
        SimCloseFd(wake_[0]);
        SimCloseFd(wake_[1]);
        return false;
    };

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0)
        return fail("grantpt");
    if (::unlockpt(master_) != 0)
        return fail("unlockpt");
    const char* name = ::ptsname(master_);
    if (!name)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);

    // Raw mode on the slave: bytes pass both ways unchanged, nothing is echoed.
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveKeeper_ < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(slaveKeeper_, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(slaveKeeper_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    // Writes to the master never block: with nobody reading the slave, bytes are dropped.
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");

    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");

    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        closeRequested_ = false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimSerialDevice::stop()
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
    SimCloseFd(master_);
    SimCloseFd(slaveKeeper_);
    SimCloseFd(wake_[0]);
    SimCloseFd(wake_[1]);
}

QString SimSerialDevice::slavePath() const
{
    return slavePath_;
}

void SimSerialDevice::closeMaster()
{
    if (!thread_.joinable())
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    closeRequested_ = true;
    const char b = 'c';
    (void)!::write(wake_[1], &b, 1);
    // The thread closes the ends itself, so no descriptor is closed under its poll.
    framesChanged_.wait(lock, [this] { return !closeRequested_ || stopping_; });
}

void SimSerialDevice::setConfigPosition(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    configPosition_ = on;
}

void SimSerialDevice::setFaults(const SimSerialFaults& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
}

SimSerialFaults SimSerialDevice::faults() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

QList<SimFrame> SimSerialDevice::frames() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

int SimSerialDevice::frameCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return int(frames_.size());
}

QByteArray SimSerialDevice::receivedBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void SimSerialDevice::clearLog()
{
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.clear();
    received_.clear();
}

bool SimSerialDevice::waitForFrames(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return framesChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return frames_.size() >= count; });
}

bool SimSerialDevice::waitIdle(int timeoutMs) const
{
    // Idle: nothing being answered, and nothing the tool sent still unread.
    auto idle = [this] {
        int unread = 0;
        return !answering_ &&
               (master_ < 0 || ::ioctl(master_, FIONREAD, &unread) != 0 || unread == 0);
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!idle()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        framesChanged_.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
}

void SimSerialDevice::run()
{
    char buf[256];
    for (;;) {
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, POLLIN, 0}};
        const int nfds = master_ >= 0 ? 2 : 1;
        if (::poll(fds, nfds_t(nfds), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            while (::read(wake_[0], buf, sizeof buf) > 0) {
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                framesChanged_.notify_all();
                return;
            }
            if (closeRequested_) {
                SimCloseFd(master_);
                SimCloseFd(slaveKeeper_);
                closeRequested_ = false;
                framesChanged_.notify_all();
            }
            continue;
        }
        if (nfds < 2)
            continue;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                takeBytes(buf, int(n), SimNowNs());
                continue;
            }
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Only seen if the slave keeper is gone: wait for a wake-up instead of spinning.
            pollfd w = {wake_[0], POLLIN, 0};
            ::poll(&w, 1, 50);
        }
    }
}

void SimSerialDevice::takeBytes(const char* data, int n, qint64 now)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(data, n);
    }
    if (!pending_.isEmpty() && now - lastByteNs_ > kFrameResyncNs)
        pending_.clear();
    lastByteNs_ = now;
    pending_.append(data, n);

    for (;;) {
        // Skip to the frame start 0x57 0xAB.
        int start = 0;
        while (start < pending_.size()) {
            if (quint8(pending_[start]) == kFrameFirst &&
                (start + 1 == pending_.size() || quint8(pending_[start + 1]) == kFrameSecond))
                break;
            ++start;
        }
        pending_.remove(0, start);
        if (pending_.size() < 3)
            return;
        const quint8 code = quint8(pending_[2]);
        const int length = 3 + FindSimCommand(code).dataLength;
        if (pending_.size() < length)
            return;
        SimFrame frame;
        frame.code = code;
        frame.data = pending_.mid(3, length - 3);
        frame.receivedNs = now;
        pending_.remove(0, length);
        answer(frame);
    }
}

void SimSerialDevice::answer(const SimFrame& taken)
{
    SimFrame frame = taken;
    QByteArray reply;
    SimSerialFaults faults;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        faults = faults_;
        frame.answered = configPosition_ && !faults.silent && frame.receivedNs >= silentUntilNs_ &&
                         !faults.silentCodes.contains(char(frame.code));
        if (frame.answered) {
            reply = device_->update([&](SimDeviceState& state) {
                return RunSimCommand(state, frame.code, frame.data);
            });
            if (frame.code == 0x02 && faults.restartSilenceMs > 0)
                silentUntilNs_ = SimNowNs() + qint64(faults.restartSilenceMs) * 1'000'000;
        }
        frames_.append(frame);
        answering_ = frame.answered;
    }
    framesChanged_.notify_all();
    if (!frame.answered)
        return;
    struct Done {
        SimSerialDevice* d;
        ~Done()
        {
            {
                std::lock_guard<std::mutex> lock(d->mutex_);
                d->answering_ = false;
            }
            d->framesChanged_.notify_all();
        }
    } done{this};

    const bool whole = faults.cutAfter < 0 || faults.cutAfter >= reply.size();
    if (!whole)
        reply.truncate(faults.cutAfter);
    if (whole)
        reply.append(faults.extraBytes);
    // Bytes without a pause between them leave in one write, back to back as a UART sends
    // them, so they arrive together.
    QByteArray chunk;
    for (int i = 0; i < reply.size(); ++i) {
        const int wait = i == 0 ? faults.firstByteDelayMs : faults.byteGapMs;
        if (wait > 0 && i < reply.size() - faults.extraBytes.size() * int(whole)) {
            if (!send(chunk))
                return;
            chunk.clear();
            if (!pause(wait))
                return;
        }
        chunk.append(reply[i]);
    }
    send(chunk);
}

bool SimSerialDevice::pause(int ms)
{
    const qint64 until = SimNowNs() + qint64(ms) * 1'000'000;
    for (;;) {
        const qint64 left = until - SimNowNs();
        if (left <= 0)
            return true;
        pollfd w = {wake_[0], POLLIN, 0};
        const timespec ts = {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        const int r = ::ppoll(&w, 1, &ts, nullptr);
        if (r > 0)
            return false; // stop or close requested; the main loop takes the wake-up
    }
}

bool SimSerialDevice::send(const QByteArray& bytes)
{
    if (master_ < 0)
        return false;
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN; // nobody reads the slave: the rest is lost
    }
    return true;
}
