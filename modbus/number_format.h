// Numbers as the monitor and the command line print them: the same digits under every locale
// (the toolkit sets the C library's locale, so printf would write "3,1415927" under some).
#pragma once

#include <cstdint>
#include <string>

namespace modbus {

std::string Decimal(std::int64_t value);
// "0x001F": upper case, at least digits digits.
std::string HexNumber(std::uint64_t value, int digits = 4);
// Shortest form that keeps significant digits: "3.1415927", "NaN", "inf".
std::string FloatText(double value, int significant);

// A rate as people write it: four significant digits ("11.01", "128.7"), whole numbers past
// 10,000 ("10190"), never an exponent.
std::string RateText(double perSecond);

} // namespace modbus
