#include "link/conffun.h"

#include "config/group_input.h"
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

// Sends a command whose data is the bytes of a field, little-endian for integers. The field
// comes as a copy: in the packed record an integer may lie at any address, where no
// reference to it may be bound.
template <typename T> bool exec(LinkContext& ctx, quint8 code, T field)
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

bool exec(LinkContext& ctx, quint8 code)
{
    return ExecCommand(ctx, code, nullptr, 0);
}

// Sends a read command and copies the first n reply bytes into the field. The field must be
// suitably aligned: an integer of the packed record is read into a copy (ReadPortConfig).
template <typename T> bool read(LinkContext& ctx, quint8 code, T& field, int n = int(sizeof(T)))
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (!exec(ctx, code))
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

// The commands of one write. Each send says whether that command was acknowledged, for the
// stop rules; the first one that was not is kept, because the rules go on past some
// failures and the operation must still report the write as failed, naming that command.
class Sequence
{
public:
    explicit Sequence(LinkContext& ctx) : ctx_(ctx) {}

    template <typename T> bool send(quint8 code, T field)
    {
        return note(code, exec(ctx_, code, field));
    }
    bool send(quint8 code) { return note(code, exec(ctx_, code)); }

    // True while every command sent so far was acknowledged.
    bool ok() const { return !first_.failed; }

    // The operation's result; hands the first failure to *failure when given.
    bool finish(CommandFailure* failure) const
    {
        if (failure)
            *failure = first_;
        return ok();
    }

private:
    bool note(quint8 code, bool acknowledged)
    {
        if (!acknowledged && !first_.failed) {
            first_.failed = true;
            first_.code = code;
            first_.result = ctx_.resultCode;
            first_.text = ResultText(ctx_);
        }
        return acknowledged;
    }

    LinkContext& ctx_;
    CommandFailure first_;
};

void commit(Sequence& s, CommitWhich which)
{
    const quint32 packetLength = 1024;
    // Every command is sent whatever became of the ones before: each failure has shown its
    // own question, and the sequence goes on.
    if (which == CommitWhich::Port1) {
        s.send(0x17, quint8(0));
        s.send(0x24, quint8(1));
        s.send(0x26, quint8(1));
        s.send(0x25, packetLength);
    } else if (which == CommitWhich::Port2) {
        s.send(0x47, quint8(0));
        s.send(0x49, quint8(1));
        s.send(0x48, packetLength);
    }
    s.send(0x0D);
    s.send(0x02);
}

void writeNet(Sequence& s, const NetConfig& net)
{
    if (net.ip_prz == 0) {
        if (!s.send(0x11, net.ip_adr))
            return;
        if (s.send(0x12, net.net_mask))
            s.send(0x13, net.gateway);
    }
    // 255 means the mode was never chosen: sending it would switch the device's address
    // assignment blindly, so the mode is left as the device has it.
    if (net.ip_prz != 255)
        s.send(0x33, net.ip_prz);
    commit(s, CommitWhich::None);
}

// port is 1 or 2.
void writePort(Sequence& s, int port, const PortConfig& group)
{
    const PortCodes& c = kWrite[port - 1];
    const bool client = IsClientMode(group.regim);
    bool ok = s.send(c.regim, group.regim) && s.send(c.port, group.port);
    if (ok && client)
        ok = s.send(c.remoteIp, group.remote_ip_adr) && s.send(c.remotePort, group.remote_port);
    ok = ok && s.send(c.rate, group.rate) && s.send(c.sett, group.port_sett);
    if (!ok)
        return;
    ok = s.send(c.timeout, group.timeout);
    if (port == 2)
        s.send(0x39, quint8(1)); // port 2 switched on, whatever became of the time-out
    if (ok)
        commit(s, port == 1 ? CommitWhich::Port1 : CommitWhich::Port2);
}

// Whether a serial write of written sends the field and the link can read it back.
bool serialWriteSends(const ConfigField& field, const DeviceConfig& written)
{
    if (!SerialLinkReads(field))
        return false;
    if (field.group == FieldGroup::Network)
        return written.net.ip_prz == 0;
    if (field.item == FieldItem::RemoteAddress || field.item == FieldItem::RemotePort)
        return IsClientMode(written.ports[size_t(PortOfField(field) - 1)].regim);
    return true;
}

WriteCheck compareSent(const DeviceConfig& written, const DeviceConfig& read, FieldScope scope)
{
    return CompareWritten(written, read, scope, [&written](const ConfigField& field) {
        return serialWriteSends(field, written);
    });
}

} // namespace

bool ReadNetConfig(LinkContext& ctx, NetConfig& net)
{
    BusyScope busy;
    net.ip_prz = 255;
    return read(ctx, 0x61, net.ip_adr) && read(ctx, 0x62, net.net_mask) &&
           read(ctx, 0x63, net.gateway);
}

bool WriteNetConfig(LinkContext& ctx, const NetConfig& net, CommandFailure* failure)
{
    BusyScope busy;
    Sequence s(ctx);
    writeNet(s, net);
    return s.finish(failure);
}

bool ReadPortConfig(LinkContext& ctx, int port, PortConfig& group)
{
    if (!validPort(port))
        return false;
    BusyScope busy;
    const PortCodes& c = kRead[port - 1];
    // The integers of the packed group are read into aligned copies and stored back; a field
    // that is not read keeps what the caller put there.
    quint16 localPort = group.port;
    quint16 remotePort = group.remote_port;
    quint32 rate = group.rate;
    quint32 timeout = group.timeout;
    const bool ok = read(ctx, c.regim, group.regim) && read(ctx, c.port, localPort) &&
                    read(ctx, c.remoteIp, group.remote_ip_adr) &&
                    read(ctx, c.remotePort, remotePort) && read(ctx, c.rate, rate) &&
                    read(ctx, c.sett, group.port_sett) && read(ctx, c.timeout, timeout, 1);
    group.port = localPort;
    group.remote_port = remotePort;
    group.rate = rate;
    group.timeout = timeout;
    return ok;
}

bool WritePortConfig(LinkContext& ctx, int port, const PortConfig& group, CommandFailure* failure)
{
    if (!validPort(port)) {
        if (failure)
            *failure = CommandFailure(); // nothing was sent, so nothing failed
        return false;
    }
    BusyScope busy;
    Sequence s(ctx);
    writePort(s, port, group);
    return s.finish(failure);
}

bool ReadDeviceConfig(LinkContext& ctx, DeviceConfig& cfg)
{
    cfg = DeviceConfig{};
    cfg.box_vers = kSupportedVersion;
    return ReadNetConfig(ctx, cfg.net) && ReadPortConfig(ctx, 1, cfg.ports[0]) &&
           ReadPortConfig(ctx, 2, cfg.ports[1]);
}

bool WriteDeviceConfig(LinkContext& ctx, const DeviceConfig& cfg, CommandFailure* failure)
{
    BusyScope busy;
    Sequence s(ctx);
    writeNet(s, cfg.net);
    if (s.ok())
        writePort(s, 1, cfg.ports[0]);
    if (s.ok())
        writePort(s, 2, cfg.ports[1]);
    return s.finish(failure);
}

bool CommitConfig(LinkContext& ctx, CommitWhich which, CommandFailure* failure)
{
    BusyScope busy;
    Sequence s(ctx);
    commit(s, which);
    return s.finish(failure);
}

bool SerialLinkReads(const ConfigField& field)
{
    return field.group != FieldGroup::Device && field.item != FieldItem::IpMode;
}

WriteCheck ReadBackNetConfig(LinkContext& ctx, const NetConfig& written)
{
    DeviceConfig sent;
    DeviceConfig read;
    sent.net = written;
    if (!ReadNetConfig(ctx, read.net))
        return {};
    return compareSent(sent, read, FieldScope::Network);
}

WriteCheck ReadBackPortConfig(LinkContext& ctx, int port, const PortConfig& written)
{
    if (!validPort(port))
        return {};
    const size_t i = size_t(port - 1);
    DeviceConfig sent;
    DeviceConfig read;
    sent.ports[i] = written;
    if (!ReadPortConfig(ctx, port, read.ports[i]))
        return {};
    return compareSent(sent, read, port == 1 ? FieldScope::Port1 : FieldScope::Port2);
}

WriteCheck ReadBackDeviceConfig(LinkContext& ctx, const DeviceConfig& written)
{
    DeviceConfig read;
    if (!ReadDeviceConfig(ctx, read))
        return {};
    return compareSent(written, read, FieldScope::All);
}
