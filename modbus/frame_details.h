// What the details of one frame row show: a read reply's registers in every reading, a
// server ID, or whether a write's echo matches the request.
#pragma once

#include "frame_analysis.h"

#include <cstdint>
#include <string>
#include <vector>

namespace modbus {

// How a device lays a 32-bit value over two registers. A is the first register's high byte.
enum class WordOrder { ABCD, CDAB, BADC, DCBA };

// The 32 bits of two registers, first register first on the line, in the device's order.
std::uint32_t Combine(std::uint16_t first, std::uint16_t second, WordOrder order);

struct DetailTable
{
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
};

// Empty for rows with nothing more to show.
DetailTable FrameDetails(const FrameRow& row, WordOrder order);

// A header line and a line per row, cells separated by tabs, each line ended by "\n".
std::string TabSeparated(const DetailTable& table);

} // namespace modbus
