#include "number_format.h"

#include <charconv>
#include <cmath>

namespace modbus {

std::string Decimal(std::int64_t value) { return std::to_string(value); }

std::string HexNumber(std::uint64_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (; value != 0 || int(text.size()) < digits; value >>= 4)
        text.insert(text.begin(), kDigits[value & 0xF]);
    return "0x" + text;
}

std::string RateText(double perSecond)
{
    // Four digits read as people write them; past them whole numbers, never "1.019e+04".
    if (perSecond < 10'000)
        return FloatText(perSecond, 4);
    char text[32];
    const auto result = std::to_chars(
        text, text + sizeof text, std::round(perSecond), std::chars_format::fixed, 0);
    return std::string(text, result.ptr);
}

std::string FloatText(double value, int significant)
{
    if (std::isnan(value))
        return "NaN";
    char text[64];
    const auto result
        = std::to_chars(text, text + sizeof text, value, std::chars_format::general, significant);
    return std::string(text, result.ptr);
}

} // namespace modbus
