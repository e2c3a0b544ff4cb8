// A line's times from its settings, row by row: worked examples and the edges where a rule
// changes (the fixed 1.75 ms above 19200 bit/s, the 20 ms floor for USB adapters).
#include "serial/line_timing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

using namespace modbus;

namespace {

TEST(LineTiming, CharacterCountsStartDataParityAndStopBits)
{
    struct Case
    {
        int speed;
        char parity;
        int stopBits;
        std::int64_t us;
    };
    const Case cases[] = {
        { 9600, 'e', 1, 1145 }, // 11 bits
        { 9600, 'n', 1, 1041 }, // 10 bits: no parity bit
        { 9600, 'o', 1, 1145 }, // odd parity is a bit like even
        { 19200, 'n', 2, 572 }, // a second stop bit makes 11 again
        { 115200, 'o', 2, 104 }, // 12 bits
        { 1200, 'e', 1, 9166 },
        { 0, 'n', 1, 10'000'000 }, // no speed: read as 1 bit/s, not a division by zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharacterUs(c.speed, c.parity, c.stopBits), c.us)
            << c.speed << " " << c.parity << " " << c.stopBits;
}

TEST(LineTiming, InterFrameIsThreeAndAHalfCharactersUpTo19200)
{
    const std::pair<int, std::int64_t> cases[] = {
        { 1200, 32083 },
        { 9600, 4010 },
        { 19200, 2005 }, // the last speed that counts characters
        { 19201, 1750 }, // above it, the fixed time
        { 115200, 1750 },
        { 0, 38'500'000 },
    };
    for (const auto& [speed, us] : cases)
        EXPECT_EQ(InterFrameUs(speed), us) << speed;
}

TEST(LineTiming, SilenceIsThreeAndAHalfCharactersAtLeast20Ms)
{
    const std::pair<int, std::int64_t> cases[] = {
        { 300, 128331 },
        { 1200, 32081 },
        { 9600, 20'000 }, // 4 ms of characters, but an adapter's slices need the floor
        { 115200, 20'000 },
        { 0, 38'500'000 },
    };
    for (const auto& [speed, us] : cases)
        EXPECT_EQ(SilenceUs(speed), us) << speed;
}

} // namespace
