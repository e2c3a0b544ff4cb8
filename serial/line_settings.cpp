#include "line_settings.h"

#include <cctype>

namespace comm {

std::string LineSettings::modeText() const
{
    return std::to_string(speed) + "," + parity + ",8," + std::to_string(stopBits);
}

std::string LineSettings::shortForm() const
{
    return std::to_string(speed) + " 8" + char(std::toupper(static_cast<unsigned char>(parity)))
        + std::to_string(stopBits);
}

} // namespace comm
