#include "sim/device.h"

SimDevice::SimDevice(const SimDeviceState& state)
{
    setState(state);
}

SimDeviceState SimDevice::state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void SimDevice::setState(const SimDeviceState& state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    state_.name = state_.name.left(20);
}

void SimDevice::setVersion(quint8 version)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.version = version;
}

void SimDevice::setMac(const std::array<quint8, 6>& mac)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.mac = mac;
}

void SimDevice::setName(const QByteArray& cp1251Name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.name = cp1251Name.left(20);
}

void SimDevice::setTcpState(int port, quint8 state)
{
    if (port != 1 && port != 2)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    state_.tcpState[size_t(port - 1)] = state;
}

bool SimDevice::setDropField(const QString& key)
{
    if (!key.isEmpty() && !IsSimFieldKey(key))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    state_.dropField = key;
    return true;
}
