// How large a file a user hands the terminal may be: a register map or a check file larger than
// this is refused unread, so that neither program spends minutes or gigabytes on it.
#pragma once

#include <cstddef>

namespace modbus {

constexpr std::size_t kLargestTextFile = 16 << 20;

} // namespace modbus
