#include "line_timing.h"

#include <algorithm>

namespace modbus {

std::int64_t CharacterUs(int bitsPerSecond, char parity, int stopBits, int dataBits)
{
    const int bits = 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits;
    return bits * 1'000'000LL / std::max(bitsPerSecond, 1);
}

std::int64_t InterFrameUs(int bitsPerSecond)
{
    if (bitsPerSecond > 19200)
        return 1750;
    return 38'500'000LL / std::max(bitsPerSecond, 1); // 3.5 x 11 bits
}

std::int64_t SilenceUs(int bitsPerSecond)
{
    const std::int64_t charUs = 11'000'000LL / std::max(bitsPerSecond, 1);
    return std::max<std::int64_t>(20'000, charUs * 7 / 2);
}

} // namespace modbus
