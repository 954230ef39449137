#pragma once
// The device configuration record: every parameter of one device, as a plain value of fixed
// layout with no padding. Records are compared byte for byte, so every record starts all
// zero (the members below are value-initialised) and bytes that carry no value stay zero:
// the rest of box_name behind its text, the upper bytes of a timeout read over the serial
// link. Multi-byte integers hold host values; code that puts them on a wire or into a block
// converts them to little-endian there.

#include "config/ipaddr.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstring>
#include <type_traits>

// The only firmware version the tool serves; records it builds itself carry it.
constexpr quint8 kSupportedVersion = 39;
constexpr int kBoxNameSize = 20;

#pragma pack(push, 1)

struct NetConfig {
    IpAddress ip_adr{};
    IpAddress gateway{};
    IpAddress net_mask{};
    quint8 ip_prz = 0; // 0 manual, 1 automatic (DHCP), 255 not chosen / not read back
};

struct PortConfig {
    quint8 regim = 0; // 0 TCP server, 1 TCP client, 2 UDP server, 3 UDP client
    quint16 port = 0;
    IpAddress remote_ip_adr{}; // used by the device in the client modes only
    quint16 remote_port = 0;
    quint32 rate = 0;
    std::array<quint8, 3> port_sett{}; // stop bits code, parity code, data bits
    quint32 timeout = 0;               // units of 5 ms, 0..255
};

struct DeviceConfig {
    quint8 box_vers = 0;
    std::array<quint8, 6> Mac_addres{};
    std::array<char, kBoxNameSize> box_name{}; // Windows-1251, zero-padded
    quint8 box_name_end = 0;                   // always 0: terminates a name of 20 characters
    quint8 is_port2 = 0;
    NetConfig net;
    std::array<PortConfig, 2> ports; // port 1, port 2
};

#pragma pack(pop)

static_assert(sizeof(NetConfig) == 13);
static_assert(sizeof(PortConfig) == 20);
static_assert(sizeof(DeviceConfig) == 29 + 13 + 2 * 20);
static_assert(std::is_trivially_copyable_v<DeviceConfig>);

// Byte-for-byte comparison, the zero bytes that carry no value included.
inline bool operator==(const NetConfig& a, const NetConfig& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator!=(const NetConfig& a, const NetConfig& b)
{
    return !(a == b);
}
inline bool operator==(const PortConfig& a, const PortConfig& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator!=(const PortConfig& a, const PortConfig& b)
{
    return !(a == b);
}
inline bool operator==(const DeviceConfig& a, const DeviceConfig& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator!=(const DeviceConfig& a, const DeviceConfig& b)
{
    return !(a == b);
}

// The defaults of a new configuration: all zero except box_vers 39, ip_prz 255, and in both
// ports rate 9600, port_sett 1, 4, 8 (one stop bit, no parity, eight data bits), timeout 1.
void MakeEmptyConfig(DeviceConfig& cfg);

// box_name as bytes: the text up to its first zero, at most 20 bytes.
QByteArray BoxNameBytes(const DeviceConfig& cfg);
// box_name decoded from Windows-1251.
QString BoxName(const DeviceConfig& cfg);
// Stores the bytes up to the first zero, cut to 20; the rest of the field and its
// terminator become zero.
void SetBoxNameBytes(DeviceConfig& cfg, const QByteArray& cp1251);
// Stores text encoded as Windows-1251. Text with a character the code page cannot hold is
// refused: nothing is stored and false is returned.
bool SetBoxName(DeviceConfig& cfg, const QString& text);

// A MAC address as six upper-case hexadecimal pairs joined by colons.
QString MacText(const std::array<quint8, 6>& mac);
QString MacText(const DeviceConfig& cfg);
