// A frame's details as rows of cells, and how a device lays 32-bit values over two registers.
#pragma once

#include <string>
#include <vector>

namespace modbus {

// How a device lays a 32-bit value over two registers. A is the first register's high byte.
enum class WordOrder { ABCD, CDAB, BADC, DCBA };

struct DetailTable
{
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
    // What a copy adds after the rows, e.g. bits as 0/1 runs; empty for most frames.
    std::string summary;
};

} // namespace modbus
