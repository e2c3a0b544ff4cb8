#include "device_path.h"

#include <cctype>

namespace comm {
namespace {

    bool isComName(std::string_view name, unsigned long& number)
    {
        if (name.size() < 4)
            return false;
        for (std::size_t i = 0; i < 3; ++i)
            if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
                return false;
        std::string_view digits = name.substr(3);
        if (!digits.empty() && digits.back() == ':')
            digits.remove_suffix(1);
        if (digits.empty() || digits.size() > 6)
            return false;
        number = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return false;
            number = number * 10 + static_cast<unsigned long>(c - '0');
        }
        return true;
    }

} // namespace

std::string DevicePath(std::string_view name)
{
    if (name.substr(0, 4) == "\\\\.\\")
        name.remove_prefix(4);
    if (name.empty())
        return {};
    unsigned long number = 0;
    if (isComName(name, number))
        return number == 0 ? std::string() : "/dev/ttyS" + std::to_string(number - 1);
    if (name.find('/') != std::string_view::npos)
        return std::string(name);
    return "/dev/" + std::string(name);
}

} // namespace comm
