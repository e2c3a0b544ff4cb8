#include "device_path.h"

#include "serial/port_name.h"

namespace comm {

std::string DevicePath(std::string_view name)
{
    name = WithoutDevicePrefix(name);
    if (name.empty())
        return {};
    if (const auto number = ComPortNumber(name))
        return *number == 0 ? std::string() : "/dev/ttyS" + std::to_string(*number - 1);
    if (name.find('/') != std::string_view::npos)
        return std::string(name);
    return "/dev/" + std::string(name);
}

} // namespace comm
