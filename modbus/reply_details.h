// How each function's reply is laid out for the details: the decoders the table of functions
// names. reply is the whole frame (address first, check bytes last); request is the frame it
// answers, empty when none is known.
#pragma once

#include "detail_table.h"

#include <cstdint>
#include <string_view>

namespace modbus {

// The 32 bits of two registers, first register first on the line, in the device's order.
std::uint32_t Combine(std::uint16_t first, std::uint16_t second, WordOrder order);

} // namespace modbus

namespace modbus::details {

DetailTable Bits(std::string_view reply, std::string_view request, WordOrder);
DetailTable Registers(std::string_view reply, std::string_view request, WordOrder order);
DetailTable CoilEcho(std::string_view reply, std::string_view request, WordOrder);
DetailTable RegisterEcho(std::string_view reply, std::string_view request, WordOrder);
DetailTable BlockEcho(std::string_view reply, std::string_view request, WordOrder);
DetailTable MaskEcho(std::string_view reply, std::string_view request, WordOrder);
DetailTable Diagnostics(std::string_view reply, std::string_view request, WordOrder);
DetailTable ServerId(std::string_view reply, std::string_view request, WordOrder);
DetailTable Fifo(std::string_view reply, std::string_view request, WordOrder);

// "ABCD", "CDAB", ...
const char* OrderName(WordOrder order);

// Bytes as ASCII, as identification texts are written; other bytes as '.'.
std::string Printable(std::string_view bytes);

} // namespace modbus::details
