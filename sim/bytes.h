#pragma once
// Byte helpers of the simulated device's protocols: integers go little-endian, addresses and
// other byte groups go in their own order.

#include <QByteArray>

#include <array>

// The little-endian bytes of v, width of them.
inline QByteArray SimLe(quint32 v, int width)
{
    QByteArray out;
    for (int i = 0; i < width; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
    return out;
}

// The integer of up to four little-endian bytes.
inline quint32 SimFromLe(const QByteArray& data)
{
    quint32 v = 0;
    for (int i = 0; i < data.size() && i < 4; ++i)
        v |= quint32(quint8(data[i])) << (8 * i);
    return v;
}

template <size_t N> QByteArray SimBytes(const std::array<quint8, N>& a)
{
    return QByteArray(reinterpret_cast<const char*>(a.data()), int(N));
}

// Copies data into a, as far as both reach.
template <size_t N> void SimStore(std::array<quint8, N>& a, const QByteArray& data)
{
    for (size_t i = 0; i < N && int(i) < data.size(); ++i)
        a[i] = quint8(data[int(i)]);
}
