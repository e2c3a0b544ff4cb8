#include "port_name.h"

#include <cctype>

namespace comm {

std::string_view WithoutDevicePrefix(std::string_view name)
{
    if (name.substr(0, 4) == "\\\\.\\")
        name.remove_prefix(4);
    return name;
}

std::optional<unsigned long> ComPortNumber(std::string_view name)
{
    if (name.size() < 4)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return std::nullopt;
    std::string_view digits = name.substr(3);
    if (!digits.empty() && digits.back() == ':')
        digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 6)
        return std::nullopt;
    unsigned long number = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number;
}

} // namespace comm
