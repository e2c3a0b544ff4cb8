// The Modbus RTU check value (CRC-16/MODBUS).
#pragma once

#include "byte_string.h"

namespace modbus {

// The largest byte string CRC16 accepts: its position counter is a signed 16-bit number.
inline constexpr std::size_t kCrcMaxLength = 32766;

// The check value so far (start: 0xFFFF) taken one byte further. For walking a byte string
// once while asking at each length whether the next two bytes close it.
std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte);

// The two check bytes that close a frame, low byte first. nullopt over kCrcMaxLength bytes.
std::optional<ByteString> CRC16(const ByteString& sString);

} // namespace modbus
