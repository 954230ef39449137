#include "sim/device_state.h"

#include "sim/bytes.h"

#include <map>

bool SimPortParams::operator==(const SimPortParams& o) const
{
    return regim == o.regim && port == o.port && remoteIp == o.remoteIp &&
           remotePort == o.remotePort && rate == o.rate && portSett == o.portSett &&
           timeout == o.timeout && randomEnable == o.randomEnable &&
           disconnectOnCable == o.disconnectOnCable && clearOnConnect == o.clearOnConnect &&
           packetLength == o.packetLength;
}

bool SimParams::operator==(const SimParams& o) const
{
    return ip == o.ip && mask == o.mask && gateway == o.gateway && ipPrz == o.ipPrz &&
           ports == o.ports && port2Enabled == o.port2Enabled;
}

namespace
{

// Puts one field of the state back as before had it.
using Keep = std::function<void(SimDeviceState&, const SimDeviceState& before)>;

// A field of SimParams, in the running and the saved set; field(params) is a reference to it.
template <typename Field> Keep keep(Field field)
{
    return [field](SimDeviceState& s, const SimDeviceState& before) {
        field(s.params) = field(before.params);
        field(s.saved) = field(before.saved);
    };
}

const std::map<QString, Keep>& keptFields()
{
    static const std::map<QString, Keep> fields = [] {
        std::map<QString, Keep> f;
        // The name has no saved copy of its own.
        f[QStringLiteral("box_name")] = [](SimDeviceState& s, const SimDeviceState& before) {
            s.name = before.name;
        };
        f[QStringLiteral("is_port2")] = keep([](auto& p) -> auto& { return p.port2Enabled; });
        f[QStringLiteral("ip_prz")] = keep([](auto& p) -> auto& { return p.ipPrz; });
        f[QStringLiteral("ip_adr")] = keep([](auto& p) -> auto& { return p.ip; });
        f[QStringLiteral("net_mask")] = keep([](auto& p) -> auto& { return p.mask; });
        f[QStringLiteral("gateway")] = keep([](auto& p) -> auto& { return p.gateway; });
        for (size_t n = 0; n < 2; ++n) {
            const QString port = QStringLiteral("port%1.").arg(n + 1);
            f[port + "regim"] = keep([n](auto& p) -> auto& { return p.ports[n].regim; });
            f[port + "port"] = keep([n](auto& p) -> auto& { return p.ports[n].port; });
            f[port + "remote_ip_adr"] = keep([n](auto& p) -> auto& { return p.ports[n].remoteIp; });
            f[port + "remote_port"] = keep([n](auto& p) -> auto& { return p.ports[n].remotePort; });
            f[port + "rate"] = keep([n](auto& p) -> auto& { return p.ports[n].rate; });
            for (size_t i = 0; i < 3; ++i) {
                const QString key = port + QStringLiteral("port_sett[%1]").arg(i);
                f[key] = keep([=](auto& p) -> auto& { return p.ports[n].portSett[i]; });
            }
            f[port + "timeout"] = keep([n](auto& p) -> auto& { return p.ports[n].timeout; });
        }
        return f;
    }();
    return fields;
}

using Run = std::function<QByteArray(SimDeviceState&, const QByteArray&)>;

const QByteArray kAck(1, '\0');

// Accessors of the fields of a port group, for either port.
using PortField = std::function<void(SimPortParams&, const QByteArray*, QByteArray*)>;

class Table
{
public:
    Table()
    {
        // Identity and state.
        add(0x01, 0, 1, [](SimDeviceState& s, const QByteArray&) { return SimLe(s.version, 1); });
        add(0x03, 0, 1,
            [](SimDeviceState& s, const QByteArray&) { return SimLe(s.tcpState[0], 1); });
        add(0x04, 0, 1,
            [](SimDeviceState& s, const QByteArray&) { return SimLe(s.tcpState[1], 1); });
        add(0x81, 0, 6, [](SimDeviceState& s, const QByteArray&) { return SimBytes(s.mac); });

        // Network group.
        addAddress(0x61, 0x11, [](SimParams& p) -> std::array<quint8, 4>& { return p.ip; });
        addAddress(0x62, 0x12, [](SimParams& p) -> std::array<quint8, 4>& { return p.mask; });
        addAddress(0x63, 0x13, [](SimParams& p) -> std::array<quint8, 4>& { return p.gateway; });
        add(0x33, 1, 1, [](SimDeviceState& s, const QByteArray& d) {
            s.params.ipPrz = quint8(d[0]);
            return kAck;
        });

        // Port groups: read code of port 1, read code of port 2, write codes, reply and
        // data widths. The reads of the mode and the time-out answer one byte.
        addPort(0x60, 0x90, 0x10, 0x40, 1, 1, &SimPortParams::regim);
        addPort(0x64, 0x91, 0x14, 0x41, 2, 2, &SimPortParams::port);
        addPortBytes(0x65, 0x92, 0x15, 0x42, &SimPortParams::remoteIp);
        addPort(0x66, 0x93, 0x16, 0x43, 2, 2, &SimPortParams::remotePort);
        addPort(0x71, 0x94, 0x21, 0x44, 4, 4, &SimPortParams::rate);
        addPortBytes(0x72, 0x95, 0x22, 0x45, &SimPortParams::portSett);
        addPort(0x73, 0x96, 0x23, 0x46, 1, 4, &SimPortParams::timeout);

        // Options that the tool sets after every write.
        addOption(0x17, 0, 1, &SimPortParams::randomEnable);
        addOption(0x24, 0, 1, &SimPortParams::disconnectOnCable);
        addOption(0x26, 0, 1, &SimPortParams::clearOnConnect);
        addOption(0x25, 0, 4, &SimPortParams::packetLength);
        addOption(0x47, 1, 1, &SimPortParams::randomEnable);
        addOption(0x49, 1, 1, &SimPortParams::clearOnConnect);
        addOption(0x48, 1, 4, &SimPortParams::packetLength);
        add(0x39, 1, 1, [](SimDeviceState& s, const QByteArray& d) {
            s.params.port2Enabled = quint8(d[0]);
            return kAck;
        });

        // Save to EEPROM and restart with the saved set.
        add(0x0D, 0, 1, [](SimDeviceState& s, const QByteArray&) {
            s.saved = s.params;
            ++s.saves;
            return kAck;
        });
        add(0x02, 0, 1, [](SimDeviceState& s, const QByteArray&) {
            s.params = s.saved;
            ++s.restarts;
            return kAck;
        });

        generic_.run = [](SimDeviceState&, const QByteArray&) { return kAck; };
    }

    const SimCommand& find(quint8 code) const
    {
        const auto it = commands_.find(code);
        return it == commands_.end() ? generic_ : it->second;
    }

private:
    void add(quint8 code, int dataLength, int replyLength, Run run)
    {
        commands_[code] = SimCommand{code, dataLength, replyLength, std::move(run)};
    }

    void addAddress(quint8 read, quint8 write,
                    std::function<std::array<quint8, 4>&(SimParams&)> field)
    {
        add(read, 0, 4,
            [field](SimDeviceState& s, const QByteArray&) { return SimBytes(field(s.params)); });
        add(write, 4, 1, [field](SimDeviceState& s, const QByteArray& d) {
            SimStore(field(s.params), d);
            return kAck;
        });
    }

    template <typename T>
    void addPort(quint8 read1, quint8 read2, quint8 write1, quint8 write2, int replyLength,
                 int dataLength, T SimPortParams::*field)
    {
        for (int p = 0; p < 2; ++p) {
            add(p == 0 ? read1 : read2, 0, replyLength,
                [p, field, replyLength](SimDeviceState& s, const QByteArray&) {
                    return SimLe(quint32(s.params.ports[size_t(p)].*field), replyLength);
                });
            add(p == 0 ? write1 : write2, dataLength, 1,
                [p, field](SimDeviceState& s, const QByteArray& d) {
                    s.params.ports[size_t(p)].*field = T(SimFromLe(d));
                    return kAck;
                });
        }
    }

    template <size_t N>
    void addPortBytes(quint8 read1, quint8 read2, quint8 write1, quint8 write2,
                      std::array<quint8, N> SimPortParams::*field)
    {
        for (int p = 0; p < 2; ++p) {
            add(p == 0 ? read1 : read2, 0, int(N),
                [p, field](SimDeviceState& s, const QByteArray&) {
                    return SimBytes(s.params.ports[size_t(p)].*field);
                });
            add(p == 0 ? write1 : write2, int(N), 1,
                [p, field](SimDeviceState& s, const QByteArray& d) {
                    SimStore(s.params.ports[size_t(p)].*field, d);
                    return kAck;
                });
        }
    }

    template <typename T>
    void addOption(quint8 code, int port, int dataLength, T SimPortParams::*field)
    {
        add(code, dataLength, 1, [port, field](SimDeviceState& s, const QByteArray& d) {
            s.params.ports[size_t(port)].*field = T(SimFromLe(d));
            return kAck;
        });
    }

    std::map<quint8, SimCommand> commands_;
    SimCommand generic_;
};

const Table& table()
{
    static const Table t;
    return t;
}

} // namespace

QStringList SimFieldKeys()
{
    QStringList keys;
    for (const auto& field : keptFields())
        keys << field.first;
    return keys;
}

bool IsSimFieldKey(const QString& key)
{
    return keptFields().count(key) > 0;
}

void SimWrite(SimDeviceState& state, const std::function<void(SimDeviceState&)>& write)
{
    const auto kept = keptFields().find(state.dropField);
    if (kept == keptFields().end()) {
        write(state);
        return;
    }
    const SimDeviceState before = state;
    write(state);
    kept->second(state, before);
}

const SimCommand& FindSimCommand(quint8 code)
{
    return table().find(code);
}

QByteArray RunSimCommand(SimDeviceState& state, quint8 code, const QByteArray& data)
{
    const SimCommand& cmd = FindSimCommand(code);
    QByteArray args = data.left(cmd.dataLength);
    if (args.size() < cmd.dataLength)
        args.append(QByteArray(cmd.dataLength - args.size(), '\0'));
    // A command that takes data writes a field; the others read, save or restart.
    QByteArray answer;
    if (cmd.dataLength > 0)
        SimWrite(state, [&](SimDeviceState& s) { answer = cmd.run(s, args); });
    else
        answer = cmd.run(state, args);
    if (answer.size() < cmd.replyLength)
        answer.append(QByteArray(cmd.replyLength - answer.size(), '\0'));
    return answer.left(cmd.replyLength);
}
