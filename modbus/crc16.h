// The Modbus RTU check value (CRC-16/MODBUS).
#pragma once

#include "byte_string.h"

namespace modbus {

// The largest byte string CRC16 accepts: its position counter is a signed 16-bit number.
inline constexpr std::size_t kCrcMaxLength = 32766;

// The two check bytes that close a frame, low byte first. nullopt over kCrcMaxLength bytes.
std::optional<ByteString> CRC16(const ByteString& sString);

} // namespace modbus
