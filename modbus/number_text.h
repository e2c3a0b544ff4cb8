// Reading a number from what the user typed into a parameter box.
#pragma once

#include <string_view>

namespace modbus {

// The number a text begins with, else 0. Blanks, tabs and line feeds are skipped anywhere;
// &H and &O introduce hexadecimal and octal whole numbers.
double NumberFromText(std::string_view text);

} // namespace modbus
