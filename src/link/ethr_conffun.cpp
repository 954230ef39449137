#include "link/ethr_conffun.h"

#include "config/operator.h"
#include "config/program.h"
#include "link/exchangeguard.h"

#include <QUdpSocket>

#include <algorithm>
#include <cstring>

namespace
{

constexpr quint8 kCmdConnect = 0x04;
constexpr quint8 kCmdRead = 0x02;
constexpr quint8 kCmdWrite = 0x01;
constexpr int kSignatureSize = 16;
constexpr int kCommandAt = 16;
constexpr int kMacAt = 17;          // the MAC in the second connection reply and the read request
constexpr int kWriteMarkAt = 23;    // the six bytes a write request carries
constexpr int kModuleTextAt = 34;   // the first connection reply: text, zero, version
constexpr int kAfterWriteMs = 1000; // the device saves and restarts after a write
const quint8 kWriteMark[6] = {0x70, 0x8B, 0xCD, 0x58, 0xA9, 0x36};

// Where the fields of the record lie in the block. Port 2 comes before port 1, and the serial
// settings lie as data bits, stop bits, parity.
constexpr int kNameAt = 35;    // 20 bytes
constexpr int kNameEndAt = 55; // written as 0
constexpr int kIpAt = 62;
constexpr int kGatewayAt = 66;
constexpr int kMaskAt = 70;
constexpr int kIpPrzAt = 74;
constexpr int kIsPort2At = 105;
constexpr int kPortAt[2] = {171, 106}; // where the group of port 1 and of port 2 begins
// Offsets within a port group.
constexpr int kRegim = 0;
constexpr int kLocalPort = 2;
constexpr int kRemoteIp = 4;
constexpr int kRemotePort = 8;
constexpr int kRate = 10;
constexpr int kDataBits = 14;
constexpr int kStopBits = 15;
constexpr int kParity = 16;
constexpr int kTimeout = 22;

quint32 getLe(const ConfigBlock& b, int at, int width)
{
    quint32 v = 0;
    for (int i = 0; i < width; ++i)
        v |= quint32(b[size_t(at + i)]) << (8 * i);
    return v;
}

void putLe(ConfigBlock& b, int at, int width, quint32 v)
{
    for (int i = 0; i < width; ++i)
        b[size_t(at + i)] = quint8(v >> (8 * i));
}

IpAddress getAddress(const ConfigBlock& b, int at)
{
    IpAddress a{};
    std::copy_n(b.begin() + at, a.size(), a.begin());
    return a;
}

void putAddress(ConfigBlock& b, int at, const IpAddress& a)
{
    std::copy(a.begin(), a.end(), b.begin() + at);
}

const char kCfgSignature[] = "CH9121_CFG_FLAG";
const char kModuleSignature[] = "NET_MODULE_COMM";

ConfigBlock request(const char* signature, quint8 command)
{
    ConfigBlock r{};
    std::memcpy(r.data(), signature, std::strlen(signature)); // the zero after it stays
    r[kCommandAt] = command;
    return r;
}

bool hasHeader(const ConfigBlock& block, const char* signature, quint8 command)
{
    return std::memcmp(block.data(), signature, kSignatureSize) == 0 &&
           block[kCommandAt] == command;
}

// Sends a request until the device answers, asking the operator after each failed pass
// whether to try again, with failureText and the result. False when the operator declined.
bool exchangeAsking(LinkContext& ctx, const ConfigBlock& req, const QString& failureText)
{
    for (;;) {
        bool answered = false;
        {
            BusyScope busy;
            answered = ExchangeDatagram(ctx, req.data(), kDatagramSize);
        }
        if (answered)
            return true;
        if (!CurrentOperator().ask(MsgRetry, failureText, ResultText(ctx)))
            return false;
    }
}

void closeSockets(LinkContext& ctx)
{
    for (auto* socket : {&ctx.sendSocket, &ctx.receiveSocket}) {
        if (*socket) {
            (*socket)->close();
            socket->reset();
        }
    }
}

void notice(const QString& line1, const QString& line2)
{
    CurrentOperator().ask(MsgNotice, line1, line2);
}

// The two sockets: requests from a port the system chooses (broadcasts allowed, as an
// abonent may be a broadcast address), replies on ctx.localPort of every local address.
bool openSockets(LinkContext& ctx)
{
    ctx.sendSocket = std::make_unique<QUdpSocket>();
    if (!ctx.sendSocket->bind(QHostAddress::AnyIPv4, 0)) {
        notice(QStringLiteral("Помилка визову socket "), QString());
        return false;
    }
    ctx.receiveSocket = std::make_unique<QUdpSocket>();
    if (!ctx.receiveSocket->bind(QHostAddress::AnyIPv4, ctx.localPort)) {
        notice(QStringLiteral("Помилка bind socket "),
               QStringLiteral("Error = %1 (UDP-порт %2: %3)")
                   .arg(int(ctx.receiveSocket->error()))
                   .arg(ctx.localPort)
                   .arg(ctx.receiveSocket->errorString()));
        return false;
    }
    return true;
}

ConfigBlock replyOf(const LinkContext& ctx)
{
    ConfigBlock reply{};
    std::copy_n(ctx.receiveBuffer.begin(), kDatagramSize, reply.begin());
    return reply;
}

bool connectTo(LinkContext& ctx, const IpAddress& address)
{
    if (!openSockets(ctx))
        return false;
    ctx.deviceAddress = QHostAddress(QStringLiteral("%1.%2.%3.%4")
                                         .arg(address[0])
                                         .arg(address[1])
                                         .arg(address[2])
                                         .arg(address[3]));
    ctx.replyTimeout = Program().ethTimeout * 1000; // µs

    if (!exchangeAsking(ctx, FirstConnectRequest(),
                        QStringLiteral("Не виконана перша команда з'єднання з пристроєм.")))
        return false;
    const int version = VersionOfReply(replyOf(ctx));
    if (!exchangeAsking(ctx, SecondConnectRequest(),
                        QStringLiteral("Не виконана друга команда з'єднання з пристроєм.")))
        return false;
    ctx.deviceMac = MacOfReply(replyOf(ctx));
    if (version != kSupportedVersion) {
        notice(
            QStringLiteral("Версія пристрою %1. MAC_адр. %2")
                .arg(version)
                .arg(MacText(ctx.deviceMac)),
            QStringLiteral("Програма обслуговує пристрої QEL_2 версією %1").arg(kSupportedVersion));
        return false;
    }
    return ReadConfigEth(ctx);
}

} // namespace

ConfigBlock FirstConnectRequest()
{
    return request(kCfgSignature, kCmdConnect);
}

ConfigBlock SecondConnectRequest()
{
    return request(kModuleSignature, kCmdConnect);
}

ConfigBlock ReadConfigRequest(const std::array<quint8, 6>& mac)
{
    ConfigBlock req = request(kCfgSignature, kCmdRead);
    std::copy(mac.begin(), mac.end(), req.begin() + kMacAt);
    return req;
}

EthReply KindOfReply(const ConfigBlock& reply)
{
    if (hasHeader(reply, kCfgSignature, kCmdConnect))
        return EthReply::FirstConnect;
    if (hasHeader(reply, kModuleSignature, kCmdConnect))
        return EthReply::SecondConnect;
    if (hasHeader(reply, kCfgSignature, kCmdRead))
        return EthReply::Config;
    return EthReply::Unknown;
}

int VersionOfReply(const ConfigBlock& reply)
{
    for (int i = kModuleTextAt; i + 1 < kDatagramSize; ++i) {
        if (reply[size_t(i)] == 0)
            return reply[size_t(i + 1)];
    }
    return -1;
}

std::array<quint8, 6> MacOfReply(const ConfigBlock& reply)
{
    std::array<quint8, 6> mac{};
    std::copy_n(reply.begin() + kMacAt, mac.size(), mac.begin());
    return mac;
}

void BlockToRecord(const ConfigBlock& block, DeviceConfig& record)
{
    record = DeviceConfig{};
    record.box_vers = kSupportedVersion;
    SetBoxNameBytes(
        record, QByteArray(reinterpret_cast<const char*>(block.data() + kNameAt), kBoxNameSize));
    record.net.ip_adr = getAddress(block, kIpAt);
    record.net.gateway = getAddress(block, kGatewayAt);
    record.net.net_mask = getAddress(block, kMaskAt);
    record.net.ip_prz = block[kIpPrzAt];
    record.is_port2 = block[kIsPort2At];
    for (int i = 0; i < 2; ++i) {
        PortConfig& p = record.ports[size_t(i)];
        const int at = kPortAt[i];
        p.regim = block[size_t(at + kRegim)];
        p.port = quint16(getLe(block, at + kLocalPort, 2));
        p.remote_ip_adr = getAddress(block, at + kRemoteIp);
        p.remote_port = quint16(getLe(block, at + kRemotePort, 2));
        p.rate = getLe(block, at + kRate, 4);
        p.port_sett = {block[size_t(at + kStopBits)], block[size_t(at + kParity)],
                       block[size_t(at + kDataBits)]};
        p.timeout = block[size_t(at + kTimeout)];
    }
}

void RecordToBlock(ConfigBlock& block, const DeviceConfig& record)
{
    std::copy(record.box_name.begin(), record.box_name.end(), block.begin() + kNameAt);
    block[kNameEndAt] = 0;
    putAddress(block, kIpAt, record.net.ip_adr);
    putAddress(block, kGatewayAt, record.net.gateway);
    putAddress(block, kMaskAt, record.net.net_mask);
    block[kIpPrzAt] = record.net.ip_prz;
    block[kIsPort2At] = record.is_port2;
    for (int i = 0; i < 2; ++i) {
        const PortConfig& p = record.ports[size_t(i)];
        const int at = kPortAt[i];
        block[size_t(at + kRegim)] = p.regim;
        putLe(block, at + kLocalPort, 2, p.port);
        putAddress(block, at + kRemoteIp, p.remote_ip_adr);
        putLe(block, at + kRemotePort, 2, p.remote_port);
        putLe(block, at + kRate, 4, p.rate);
        block[size_t(at + kDataBits)] = p.port_sett[2];
        block[size_t(at + kStopBits)] = p.port_sett[0];
        block[size_t(at + kParity)] = p.port_sett[1];
        block[size_t(at + kTimeout)] = quint8(p.timeout);
    }
}

bool ConnectEthernet(LinkContext& ctx, const IpAddress& address)
{
    if (connectTo(ctx, address))
        return true;
    closeSockets(ctx);
    return false;
}

bool ReadConfigEth(LinkContext& ctx)
{
    if (!exchangeAsking(ctx, ReadConfigRequest(ctx.deviceMac),
                        QStringLiteral("Не виконано читання конфігурації пристрою")))
        return false;
    ctx.configBlock = replyOf(ctx);
    BlockToRecord(ctx.configBlock, ctx.deviceRecord);
    ctx.deviceRecord.Mac_addres = ctx.deviceMac;
    return true;
}

bool WriteConfigEth(LinkContext& ctx, const DeviceConfig& record, bool* acknowledged)
{
    ConfigBlock req = ctx.configBlock; // its signature and every byte the record has no field for
    RecordToBlock(req, record);
    req[kCommandAt] = kCmdWrite;
    std::copy(std::begin(kWriteMark), std::end(kWriteMark), req.begin() + kWriteMarkAt);
    const bool written =
        exchangeAsking(ctx, req, QStringLiteral("Не виконано запис конфігурації в пристрій"));
    if (acknowledged)
        *acknowledged = written;
    if (written)
        notice(QStringLiteral("Параметри записані у пристрій"), QString());
    {
        // The device saves the configuration and restarts; the windows stay still meanwhile.
        const ExchangeGuard guard(ctx);
        ExchangeGuard::pause(kAfterWriteMs);
    }
    if (record.net.ip_adr == ctx.deviceRecord.net.ip_adr)
        return ReadConfigEth(ctx);
    // The device has moved: the link follows it to its new address.
    closeSockets(ctx);
    ctx.deviceMac.fill(0);
    return ConnectEthernet(ctx, record.net.ip_adr);
}
