#include "link/conffun.h"

#include "config/operator.h"
#include "link/qelbox.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace
{

struct PortCodes {
    quint8 regim, port, remoteIp, remotePort, rate, sett, timeout;
};
constexpr PortCodes kRead[2] = {{0x60, 0x64, 0x65, 0x66, 0x71, 0x72, 0x73},
                                {0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96}};
constexpr PortCodes kWrite[2] = {{0x10, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23},
                                 {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46}};

// Sends a command whose data is the bytes of a field, little-endian for integers.
template <typename T> bool send(LinkContext& ctx, quint8 code, const T& field)
{
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= 4);
    quint8 data[sizeof(T)];
    std::memcpy(data, &field, sizeof(T));
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    if constexpr (std::is_integral_v<T>)
        std::reverse(data, data + sizeof(T));
#endif
    return ExecCommand(ctx, code, data, int(sizeof(T)));
}

bool send(LinkContext& ctx, quint8 code)
{
    return ExecCommand(ctx, code, nullptr, 0);
}

// Sends a read command and copies the first n reply bytes into the field.
template <typename T> bool read(LinkContext& ctx, quint8 code, T& field, int n = int(sizeof(T)))
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (!send(ctx, code))
        return false;
    quint8 bytes[sizeof(T)] = {};
    std::memcpy(bytes, &field, sizeof(T));
    std::memcpy(bytes, ctx.receiveBuffer.data(), size_t(n));
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    if constexpr (std::is_integral_v<T>)
        std::reverse(bytes, bytes + sizeof(T));
#endif
    std::memcpy(&field, bytes, sizeof(T));
    return true;
}

bool validPort(int port)
{
    return port == 1 || port == 2;
}

} // namespace

bool ReadNetConfig(LinkContext& ctx, NetConfig& net)
{
    BusyScope busy;
    net.ip_prz = 255;
    return read(ctx, 0x61, net.ip_adr) && read(ctx, 0x62, net.net_mask) &&
           read(ctx, 0x63, net.gateway);
}

bool WriteNetConfig(LinkContext& ctx, const NetConfig& net)
{
    BusyScope busy;
    if (net.ip_prz == 0) {
        if (!send(ctx, 0x11, net.ip_adr))
            return false;
        if (send(ctx, 0x12, net.net_mask))
            send(ctx, 0x13, net.gateway);
    }
    // 255 means the mode was never chosen: sending it would switch the device's address
    // assignment blindly, so the mode is left as the device has it.
    if (net.ip_prz == 255)
        return CommitConfig(ctx, CommitWhich::None);
    const bool modeWritten = send(ctx, 0x33, net.ip_prz);
    CommitConfig(ctx, CommitWhich::None);
    return modeWritten;
}

bool ReadPortConfig(LinkContext& ctx, int port, PortConfig& group)
{
    if (!validPort(port))
        return false;
    BusyScope busy;
    const PortCodes& c = kRead[port - 1];
    return read(ctx, c.regim, group.regim) && read(ctx, c.port, group.port) &&
           read(ctx, c.remoteIp, group.remote_ip_adr) &&
           read(ctx, c.remotePort, group.remote_port) && read(ctx, c.rate, group.rate) &&
           read(ctx, c.sett, group.port_sett) && read(ctx, c.timeout, group.timeout, 1);
}

bool WritePortConfig(LinkContext& ctx, int port, const PortConfig& group)
{
    if (!validPort(port))
        return false;
    BusyScope busy;
    const PortCodes& c = kWrite[port - 1];
    const bool client = group.regim == 1 || group.regim == 3;
    bool ok = send(ctx, c.regim, group.regim) && send(ctx, c.port, group.port);
    if (ok && client)
        ok = send(ctx, c.remoteIp, group.remote_ip_adr) &&
             send(ctx, c.remotePort, group.remote_port);
    ok = ok && send(ctx, c.rate, group.rate) && send(ctx, c.sett, group.port_sett);
    if (!ok)
        return false;
    ok = send(ctx, c.timeout, group.timeout);
    if (port == 2)
        send(ctx, 0x39, quint8(1)); // port 2 switched on, whatever became of the time-out
    if (ok)
        CommitConfig(ctx, port == 1 ? CommitWhich::Port1 : CommitWhich::Port2);
    return ok;
}

bool ReadDeviceConfig(LinkContext& ctx, DeviceConfig& cfg)
{
    cfg = DeviceConfig{};
    cfg.box_vers = kSupportedVersion;
    return ReadNetConfig(ctx, cfg.net) && ReadPortConfig(ctx, 1, cfg.ports[0]) &&
           ReadPortConfig(ctx, 2, cfg.ports[1]);
}

bool WriteDeviceConfig(LinkContext& ctx, const DeviceConfig& cfg)
{
    return WriteNetConfig(ctx, cfg.net) && WritePortConfig(ctx, 1, cfg.ports[0]) &&
           WritePortConfig(ctx, 2, cfg.ports[1]);
}

bool CommitConfig(LinkContext& ctx, CommitWhich which)
{
    BusyScope busy;
    const quint32 packetLength = 1024;
    // The outcomes before the restart are not looked at: each failure has shown its own
    // question, and the sequence goes on.
    if (which == CommitWhich::Port1) {
        send(ctx, 0x17, quint8(0));
        send(ctx, 0x24, quint8(1));
        send(ctx, 0x26, quint8(1));
        send(ctx, 0x25, packetLength);
    } else if (which == CommitWhich::Port2) {
        send(ctx, 0x47, quint8(0));
        send(ctx, 0x49, quint8(1));
        send(ctx, 0x48, packetLength);
    }
    send(ctx, 0x0D);
    return send(ctx, 0x02);
}
