// What the Modbus standard calls its function and exception codes.
#pragma once

#include <cstdint>
#include <string>

namespace modbus {

// "3 Read Holding Registers"; a code the table of functions lacks is its number alone. An
// exception reply's code (high bit set) is named after the function it answers.
std::string FunctionName(std::uint8_t code);

// "exception 2 ILLEGAL DATA ADDRESS"; a code the standard does not name: "exception 7".
std::string ExceptionVerdict(std::uint8_t code);

} // namespace modbus
