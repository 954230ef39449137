#pragma once
// IPv4 addresses as the records hold them: four bytes, the first (leftmost) octet first. The
// INI files store one as the little-endian signed 32-bit reading of its bytes, so the first
// octet is the least significant byte and addresses ending in 128..255 are negative.

#include <QString>

#include <array>

using IpAddress = std::array<quint8, 4>;

inline qint32 AddressToInt(const IpAddress& ip)
{
    const quint32 v =
        quint32(ip[0]) | quint32(ip[1]) << 8 | quint32(ip[2]) << 16 | quint32(ip[3]) << 24;
    return static_cast<qint32>(v);
}

inline IpAddress IntToAddress(qint32 v)
{
    const auto u = static_cast<quint32>(v);
    return {quint8(u), quint8(u >> 8), quint8(u >> 16), quint8(u >> 24)};
}

// Dotted notation, "192.168.1.200".
inline QString AddressText(const IpAddress& ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}
