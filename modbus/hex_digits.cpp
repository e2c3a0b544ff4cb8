#include "hex_digits.h"

namespace modbus {

std::int16_t Decode(std::string_view colums)
{
    if (colums.size() != 1)
        return 0;
    const char c = colums[0];
    if (c >= '0' && c <= '9')
        return static_cast<std::int16_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::int16_t>(c - 'A' + 10);
    return 0;
}

std::int16_t Decode2(std::string_view colums)
{
    if (colums.size() == 2)
        return static_cast<std::int16_t>(
            Decode(colums.substr(0, 1)) * 16 + Decode(colums.substr(1)));
    if (colums.size() == 1)
        return Decode(colums);
    return 0;
}

} // namespace modbus
