#include "support/sim_fleet.h"

#include "config/cp1251.h"
#include "support/sim_udp.h"

const std::array<quint8, 6> SimFleet::kBaseMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x50};

SimFleet::SimFleet() : devicePort(FreeUdpPort()), replyPort(FreeUdpPort()) {}

bool SimFleet::add(int count, QString* error)
{
    for (int i = 0; i < count; ++i) {
        const int n = size();
        auto sim = std::make_unique<SimUdpDevice>();
        if (!sim->setAddress({127, 0, 0, quint8(2 + n)}) || !sim->setDevicePort(devicePort)) {
            if (error)
                *error = QStringLiteral("device %1 cannot be placed").arg(n);
            return false;
        }
        sim->setReplyPort(replyPort);
        std::array<quint8, 6> mac = kBaseMac;
        mac[5] = quint8(mac[5] + n);
        sim->setMac(mac);
        sim->setName(toCp1251(QStringLiteral("Щит %1").arg(n + 1)));
        if (!sim->start(error))
            return false;
        devices.push_back(std::move(sim));
    }
    return true;
}

SearchOptions SimFleet::options(int windowMs) const
{
    SearchOptions o;
    o.windowMs = windowMs;
    o.devicePort = devicePort;
    o.replyPort = replyPort;
    return o;
}

SearchOptions SimFleet::unicastToEach(int windowMs) const
{
    SearchOptions o = options(windowMs);
    for (const auto& sim : devices) {
        o.targets.append({QStringLiteral("lo"), QHostAddress(QStringLiteral("127.0.0.1")),
                          QHostAddress(QStringLiteral("255.0.0.0")),
                          QHostAddress(AddressText(sim->address())), false});
    }
    return o;
}
