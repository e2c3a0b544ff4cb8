// Text as files give it: without the blanks, tabs and carriage returns around it.
#pragma once

#include <string_view>

namespace modbus {

inline std::string_view Trimmed(std::string_view s)
{
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

} // namespace modbus
