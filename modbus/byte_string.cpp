#include "byte_string.h"

#include <cmath>

namespace modbus {

std::optional<std::uint8_t> NumberToByte(double value)
{
    // nearbyint rounds an exact half to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= 0.0 && rounded <= 255.0))
        return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

std::string HexText(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

std::string HexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += kDigits[ByteAt(bytes, i) >> 4];
        out += kDigits[ByteAt(bytes, i) & 0xF];
    }
    return out;
}

std::optional<ByteString> BytesFromCodePoints(std::u32string_view text)
{
    ByteString bytes;
    bytes.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0xFF)
            return std::nullopt;
        bytes.push_back(CharOf(static_cast<std::uint8_t>(c)));
    }
    return bytes;
}

} // namespace modbus
