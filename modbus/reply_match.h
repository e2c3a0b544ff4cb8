// Whether a good frame answers the request it follows: the rules the table of functions names
// for each code. Each returns what differs ("2 data bytes, asked 4"), empty when the reply fits.
// Both frames are whole (address first, check bytes last) and the reply's function is the
// request's; the caller has checked the address, the function and the check bytes.
#pragma once

#include <string>
#include <string_view>

namespace modbus::match {

std::string Anything(std::string_view request, std::string_view reply); // 17
std::string BitBytes(std::string_view request, std::string_view reply); // 1, 2
std::string RegisterBytes(std::string_view request, std::string_view reply); // 3, 4, 23
// The fields the table says a good reply repeats: 5, 6, 15, 16, 22.
std::string Echoed(std::string_view request, std::string_view reply);
std::string SubFunction(std::string_view request, std::string_view reply); // 8
std::string DeviceObjects(std::string_view request, std::string_view reply); // 43/14
// Whether the byte count holds the FIFO count and its values, and the count is within kFifoMost.
std::string FifoCount(std::string_view request, std::string_view reply); // 24

// The values a FIFO reply may carry.
inline constexpr unsigned kFifoMost = 31;

} // namespace modbus::match

namespace modbus {

// What differs between a reply and its request, by address, function and the table's rule;
// empty when the reply answers it (an exception to its function included).
std::string ReplyMismatch(std::string_view request, std::string_view reply);

} // namespace modbus
