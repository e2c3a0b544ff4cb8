// Byte strings and the conversions shared by requests, the port and the reply display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modbus {

// One char per byte, first byte on the line first. std::string carries its own length,
// so the byte 0 may stand anywhere.
using ByteString = std::string;

inline std::uint8_t ByteAt(std::string_view s, std::size_t i)
{
    return static_cast<std::uint8_t>(s[i]);
}

inline char CharOf(std::uint8_t byte) { return static_cast<char>(byte); }
// The 16-bit number at s[i], high byte first as Modbus sends it; 0 past the end, so a frame
// shorter than its function's layout reads as zeros rather than beyond itself.
inline std::uint16_t WordAt(std::string_view s, std::size_t i)
{
    return s.size() < i + 2 ? 0 : std::uint16_t(ByteAt(s, i) << 8 | ByteAt(s, i + 1));
}

// Rounded half to even; nullopt when the result is not 0..255 (never wraps).
std::optional<std::uint8_t> NumberToByte(double value);

// Upper-case hexadecimal digits without leading zeros; zero gives "0".
std::string HexText(std::uint64_t value);

// Bytes as spaced upper-case hex pairs, for printing frames: "30 03 00 00 00 01 80 2B".
std::string HexBytes(std::string_view bytes);

// ISO-8859-1: every code point 0..255 is its own byte. nullopt when a character has no
// single-byte code.
std::optional<ByteString> BytesFromCodePoints(std::u32string_view text);

} // namespace modbus
