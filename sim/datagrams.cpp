#include "sim/datagrams.h"

#include "sim/bytes.h"

#include <functional>
#include <vector>

const QByteArray kSimCfgSignature("CH9121_CFG_FLAG", 16);
const QByteArray kSimModuleSignature("NET_MODULE_COMM", 16);
const QByteArray kSimWriteKey("\x70\x8B\xCD\x58\xA9\x36", 6);
const char kSimModuleName[] = "QEL2-ETH";

namespace
{

constexpr quint8 kWrite = 0x01;
constexpr quint8 kRead = 0x02;
constexpr quint8 kConnect = 0x04;
constexpr int kCommandAt = 16;
constexpr int kMacAt = 17;
constexpr int kWriteKeyAt = 23;
constexpr int kModuleNameAt = 34;

// One field of the configuration block: its place, its width, and how it is read from and
// written to the device's data.
struct BlockField {
    int offset = 0;
    int width = 0;
    std::function<QByteArray(const SimDeviceState&)> get;
    std::function<void(SimDeviceState&, const QByteArray&)> set; // exactly width bytes
};

template <size_t N> BlockField bytesField(int offset, std::array<quint8, N> SimParams::*member)
{
    return {offset, int(N),
            [member](const SimDeviceState& s) { return SimBytes(s.params.*member); },
            [member](SimDeviceState& s, const QByteArray& b) { SimStore(s.params.*member, b); }};
}

BlockField byteField(int offset, quint8 SimParams::*member)
{
    return {offset, 1, [member](const SimDeviceState& s) { return SimLe(s.params.*member, 1); },
            [member](SimDeviceState& s, const QByteArray& b) { s.params.*member = quint8(b[0]); }};
}

// An integer of a port, little-endian, width bytes wide in the block.
template <typename T>
BlockField portField(int offset, int width, int port, T SimPortParams::*member)
{
    const size_t p = size_t(port);
    return {
        offset, width,
        [=](const SimDeviceState& s) { return SimLe(quint32(s.params.ports[p].*member), width); },
        [=](SimDeviceState& s, const QByteArray& b) {
            s.params.ports[p].*member = T(SimFromLe(b));
        }};
}

BlockField portBytesField(int offset, int port, std::array<quint8, 4> SimPortParams::*member)
{
    const size_t p = size_t(port);
    return {
        offset, 4, [=](const SimDeviceState& s) { return SimBytes(s.params.ports[p].*member); },
        [=](SimDeviceState& s, const QByteArray& b) { SimStore(s.params.ports[p].*member, b); }};
}

BlockField portSettField(int offset, int port, int index)
{
    const size_t p = size_t(port);
    const size_t i = size_t(index);
    return {offset, 1,
            [=](const SimDeviceState& s) { return SimLe(s.params.ports[p].portSett[i], 1); },
            [=](SimDeviceState& s, const QByteArray& b) {
                s.params.ports[p].portSett[i] = quint8(b[0]);
            }};
}

std::vector<BlockField> makeFields()
{
    std::vector<BlockField> f;
    f.push_back({35, 20,
                 [](const SimDeviceState& s) {
                     QByteArray name = s.name.left(20);
                     return name.append(QByteArray(20 - name.size(), '\0'));
                 },
                 [](SimDeviceState& s, const QByteArray& b) {
                     const int end = b.indexOf('\0');
                     s.name = end < 0 ? b : b.left(end);
                 }});
    f.push_back(bytesField(62, &SimParams::ip));
    f.push_back(bytesField(66, &SimParams::gateway));
    f.push_back(bytesField(70, &SimParams::mask));
    f.push_back(byteField(74, &SimParams::ipPrz));
    f.push_back(byteField(105, &SimParams::port2Enabled));
    // Port 2 lies before port 1; the serial settings go data bits, stop bits, parity.
    struct PortAt {
        int port;
        int base;
    };
    for (const PortAt at : {PortAt{1, 106}, PortAt{0, 171}}) {
        const int b = at.base;
        f.push_back(portField(b, 1, at.port, &SimPortParams::regim));
        f.push_back(portField(b + 2, 2, at.port, &SimPortParams::port));
        f.push_back(portBytesField(b + 4, at.port, &SimPortParams::remoteIp));
        f.push_back(portField(b + 8, 2, at.port, &SimPortParams::remotePort));
        f.push_back(portField(b + 10, 4, at.port, &SimPortParams::rate));
        f.push_back(portSettField(b + 14, at.port, 2));
        f.push_back(portSettField(b + 15, at.port, 0));
        f.push_back(portSettField(b + 16, at.port, 1));
        f.push_back(portField(b + 22, 1, at.port, &SimPortParams::timeout));
    }
    return f;
}

const std::vector<BlockField>& fields()
{
    static const std::vector<BlockField> f = makeFields();
    return f;
}

// The filler of one byte of the block: never zero, the same for every read, and different
// from one MAC address to another.
char filler(const SimDeviceState& state, int index)
{
    const quint8 v = quint8(index * 73 + state.mac[4] * 31 + state.mac[5] * 7 + 0x5A);
    return char(v == 0 ? 0xA5 : v);
}

// A reply that starts with the request's signature and command; the rest zero.
QByteArray echoHeader(const QByteArray& request)
{
    return request.left(kCommandAt + 1) + QByteArray(kSimDatagramSize - kCommandAt - 1, '\0');
}

void put(QByteArray& datagram, int at, const QByteArray& bytes)
{
    datagram.replace(at, bytes.size(), bytes);
}

} // namespace

QByteArray SimConfigBlock(const SimDeviceState& state)
{
    QByteArray block(kSimDatagramSize, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = filler(state, i);
    put(block, 0, kSimCfgSignature);
    block[kCommandAt] = char(kRead);
    for (const BlockField& f : fields())
        put(block, f.offset, f.get(state));
    return block;
}

void SimApplyConfigBlock(SimDeviceState& state, const QByteArray& block)
{
    if (block.size() < kSimDatagramSize)
        return;
    SimWrite(state, [&](SimDeviceState& s) {
        for (const BlockField& f : fields())
            f.set(s, block.mid(f.offset, f.width));
        s.saved = s.params;
    });
    ++state.saves;
    state.params = state.saved;
    ++state.restarts;
}

SimAnswer SimAnswerDatagram(SimDeviceState& state, const QByteArray& datagram)
{
    SimAnswer answer;
    if (datagram.size() != kSimDatagramSize)
        return answer;
    const QByteArray signature = datagram.left(16);
    const quint8 command = quint8(datagram[kCommandAt]);
    if (signature == kSimCfgSignature && command == kConnect) {
        answer.request = SimRequest::FirstConnect;
        answer.reply = echoHeader(datagram);
        QByteArray text(kSimModuleName);
        text.append('\0').append(char(state.version));
        put(answer.reply, kModuleNameAt, text);
    } else if (signature == kSimModuleSignature && command == kConnect) {
        answer.request = SimRequest::SecondConnect;
        answer.reply = echoHeader(datagram);
        put(answer.reply, kMacAt, SimBytes(state.mac));
    } else if (signature == kSimCfgSignature && command == kRead &&
               datagram.mid(kMacAt, 6) == SimBytes(state.mac)) {
        answer.request = SimRequest::ReadConfig;
        answer.reply = SimConfigBlock(state);
    } else if (signature == kSimCfgSignature && command == kWrite &&
               datagram.mid(kWriteKeyAt, kSimWriteKey.size()) == kSimWriteKey) {
        answer.request = SimRequest::WriteConfig;
        SimApplyConfigBlock(state, datagram);
        answer.reply = echoHeader(datagram);
    }
    return answer;
}
