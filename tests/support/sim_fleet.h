#pragma once
// Several simulated devices on loopback addresses for the device search: device i listens on
// 127.0.0.(2 + i) at one device port that all share, answers to one reply port, and has its
// own MAC (00:1A:2B:3C:4D:50 + i) and name ("Щит <i + 1>"). The ports are free ones, so tests
// running in parallel never share them.

#include "link/discover.h"
#include "sim/udp_device.h"

#include <memory>
#include <vector>

class SimFleet
{
public:
    SimFleet(); // chooses the ports; ok() tells whether it could
    bool ok() const { return devicePort != 0 && replyPort != 0 && devicePort != replyPort; }

    // Starts count more devices; false (with *error) when one cannot start.
    bool add(int count, QString* error = nullptr);
    SimUdpDevice& operator[](int i) { return *devices[size_t(i)]; }
    int size() const { return int(devices.size()); }

    // A search of these ports for windowMs, with no target yet.
    SearchOptions options(int windowMs = 700) const;
    // The same, sending to each device's own address from 127.0.0.1 as interface "lo".
    SearchOptions unicastToEach(int windowMs = 700) const;

    static const std::array<quint8, 6> kBaseMac;

    quint16 devicePort = 0;
    quint16 replyPort = 0;
    std::vector<std::unique_ptr<SimUdpDevice>> devices;
};
