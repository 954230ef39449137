#include "config/rates.h"

#include <gtest/gtest.h>

TEST(Rates, LookupsAtAndBeyondTheTableEnds)
{
    struct Case {
        int rate;
        int index;
    };
    for (const Case c : {Case{300, 0}, Case{9600, 11}, Case{230400, 21}, Case{256000, -1},
                         Case{0, -1}, Case{-9600, -1}})
        EXPECT_EQ(IndexOfRate(c.rate), c.index) << c.rate;
    for (const Case c :
         {Case{300, 0}, Case{9600, 11}, Case{230400, 21}, Case{0, 22}, Case{0, -1}, Case{0, 1000}})
        EXPECT_EQ(RateAtIndex(c.index), c.rate) << c.index;
    static_assert(kBaudRates.size() == 22);
    static_assert(RateAtIndex(kDefaultRateIndex) == 9600);
}
