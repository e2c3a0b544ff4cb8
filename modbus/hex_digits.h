// The window's two hexadecimal-digit conversions. Nothing in the terminal calls them; they are
// kept because the window's long-standing design names them among its operations, with these
// exact results (lower case and "0x" read as 0). Do not "fix" or drop them as dead code.
#pragma once

#include <cstdint>
#include <string_view>

namespace modbus {

// One hexadecimal digit "0".."9" or "A".."F" as 0..15; any other text gives 0.
std::int16_t Decode(std::string_view colums);

// One or two hexadecimal digits as 0..255; any other length gives 0.
std::int16_t Decode2(std::string_view colums);

} // namespace modbus
