#pragma once
// One simulated device: its data and the lock that guards it. The serial side and the UDP
// side of the simulator share one instance by pointer when both run, so a write over one link
// is seen on the other, as on the real device with both links plugged in.
//
// Lock order: a side takes its own lock first and this one last; this lock is never held
// while another one is taken.

#include "sim/device_state.h"

#include <memory>
#include <mutex>

class SimDevice
{
public:
    SimDevice() = default;
    explicit SimDevice(const SimDeviceState& state);
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    SimDeviceState state() const;
    void setState(const SimDeviceState& state); // the name is cut to 20 bytes

    void setVersion(quint8 version);
    void setMac(const std::array<quint8, 6>& mac);
    void setName(const QByteArray& cp1251Name); // cut to 20 bytes
    void setTcpState(int port, quint8 state);   // port 1 or 2; another number changes nothing
    // Writes leave the field with this key (SimFieldKeys) as it was; empty: no field. False,
    // and nothing changed, for an unknown key.
    bool setDropField(const QString& key);

    // Runs fn(SimDeviceState&) under the lock and returns what it returns.
    template <typename Fn> auto update(Fn&& fn)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(state_);
    }

private:
    mutable std::mutex mutex_;
    SimDeviceState state_;
};

// What each side (serial, UDP) offers about the device it stands for: the shared data itself
// and the setters the tests and the front end use most.
class SimDeviceSide
{
public:
    std::shared_ptr<SimDevice> device() const { return device_; }
    void setVersion(quint8 version) { device_->setVersion(version); }
    void setMac(const std::array<quint8, 6>& mac) { device_->setMac(mac); }
    void setName(const QByteArray& cp1251Name) { device_->setName(cp1251Name); }
    void setTcpState(int port, quint8 state) { device_->setTcpState(port, state); }
    bool setDropField(const QString& key) { return device_->setDropField(key); }
    SimDeviceState state() const { return device_->state(); }
    void setState(const SimDeviceState& state) { device_->setState(state); }

protected:
    explicit SimDeviceSide(std::shared_ptr<SimDevice> device) : device_(std::move(device)) {}
    ~SimDeviceSide() = default;

    const std::shared_ptr<SimDevice> device_;
};
