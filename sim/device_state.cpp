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

const SimCommand& FindSimCommand(quint8 code)
{
    return table().find(code);
}

void SimKeepDroppedField(SimDeviceState& state, const SimDeviceState& before)
{
    const QString& key = state.dropOnWrite;
    SimParams& p = state.params;
    const SimParams& b = before.params;
    if (key == QLatin1String("box_name"))
        state.name = before.name;
    else if (key == QLatin1String("is_port2"))
        p.port2Enabled = b.port2Enabled;
    else if (key == QLatin1String("ip_prz"))
        p.ipPrz = b.ipPrz;
    else if (key == QLatin1String("ip_adr"))
        p.ip = b.ip;
    else if (key == QLatin1String("net_mask"))
        p.mask = b.mask;
    else if (key == QLatin1String("gateway"))
        p.gateway = b.gateway;
    if (!key.startsWith(QLatin1String("port1.")) && !key.startsWith(QLatin1String("port2.")))
        return;
    const size_t i = key.startsWith(QLatin1String("port1.")) ? 0 : 1;
    SimPortParams& port = p.ports[i];
    const SimPortParams& old = b.ports[i];
    const QString field = key.mid(6);
    if (field == QLatin1String("regim"))
        port.regim = old.regim;
    else if (field == QLatin1String("port"))
        port.port = old.port;
    else if (field == QLatin1String("remote_ip_adr"))
        port.remoteIp = old.remoteIp;
    else if (field == QLatin1String("remote_port"))
        port.remotePort = old.remotePort;
    else if (field == QLatin1String("rate"))
        port.rate = old.rate;
    else if (field == QLatin1String("timeout"))
        port.timeout = old.timeout;
    for (size_t k = 0; k < port.portSett.size(); ++k) {
        if (field == QStringLiteral("port_sett[%1]").arg(k))
            port.portSett[k] = old.portSett[k];
    }
}

QByteArray RunSimCommand(SimDeviceState& state, quint8 code, const QByteArray& data)
{
    const SimCommand& cmd = FindSimCommand(code);
    QByteArray args = data.left(cmd.dataLength);
    if (args.size() < cmd.dataLength)
        args.append(QByteArray(cmd.dataLength - args.size(), '\0'));
    const SimDeviceState before = state;
    QByteArray answer = cmd.run(state, args);
    // The restart takes the saved set as it is; every other command that changes the working
    // parameters leaves the dropped field alone.
    if (code != 0x02)
        SimKeepDroppedField(state, before);
    if (answer.size() < cmd.replyLength)
        answer.append(QByteArray(cmd.replyLength - answer.size(), '\0'));
    return answer.left(cmd.replyLength);
}
