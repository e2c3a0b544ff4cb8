// The Modbus RTU check value (CRC-16/MODBUS).
#pragma once

#include "byte_string.h"

#include <string_view>

namespace modbus {

// The largest byte string CRC16 accepts: its position counter is a signed 16-bit number.
inline constexpr std::size_t kCrcMaxLength = 32766;

// The check value so far (start: 0xFFFF) taken one byte further. For walking a byte string
// once while asking at each length whether the next two bytes close it.
std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte);

// Whether a frame of at least 4 bytes ends in its own good check bytes. Checked in place: a
// search for frames asks this at every offset, so no copy is made for it.
bool CrcGood(std::string_view frame);

// The two check bytes that close a frame, low byte first. nullopt over kCrcMaxLength bytes.
std::optional<ByteString> CRC16(const ByteString& sString);

} // namespace modbus
