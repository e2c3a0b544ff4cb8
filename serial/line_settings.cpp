#include "line_settings.h"

#include <cctype>

namespace comm {

std::string LineSettings::modeText() const
{
    return std::to_string(speed) + "," + parity + "," + std::to_string(dataBits) + ","
        + std::to_string(stopBits);
}

std::string LineSettings::shortForm() const
{
    return std::to_string(speed) + " " + std::to_string(dataBits)
        + char(std::toupper(static_cast<unsigned char>(parity))) + std::to_string(stopBits)
        + (framing == modbus::Framing::Ascii ? " ASCII" : "");
}

} // namespace comm
