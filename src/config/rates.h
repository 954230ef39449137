#pragma once
// The 22 serial rates the device supports, in the order every rate list shows them, so a
// list position is a table index.

#include <array>
#include <cstddef>

constexpr std::array<int, 22> kBaudRates = {300,   600,   1200,  2400,  3200,   3600,  4800,  5760,
                                            6400,  7200,  7680,  9600,  11520,  12800, 14400, 19200,
                                            23040, 28800, 38400, 57600, 115200, 230400};
constexpr int kDefaultRateIndex = 11; // 9600

// The first index holding rate, or -1.
constexpr int IndexOfRate(int rate)
{
    for (int i = 0; i < int(kBaudRates.size()); ++i) {
        if (kBaudRates[std::size_t(i)] == rate)
            return i;
    }
    return -1;
}

// The rate at index, or 0 for an index outside the table.
constexpr int RateAtIndex(int index)
{
    return index >= 0 && index < int(kBaudRates.size()) ? kBaudRates[std::size_t(index)] : 0;
}
