// The line settings the window opens a port with, as the mode text the port takes and as
// the short form engineers write.
#pragma once

#include "modbus/wire_framer.h"

#include <string>

namespace comm {

struct LineSettings
{
    int speed = 19200;
    char parity = 'n'; // 'n', 'e' or 'o'
    int stopBits = 1;
    int dataBits = 8; // 7 only for ASCII frames
    modbus::Framing framing = modbus::Framing::Rtu; // Rtu or Ascii on a line

    // "9600,e,8,1"
    std::string modeText() const;
    // "9600 8E1", "9600 7E1 ASCII"
    std::string shortForm() const;
    // The design's own 8N1 RTU, which the session log does not name.
    bool isDesigned() const
    {
        return parity == 'n' && stopBits == 1 && dataBits == 8 && framing == modbus::Framing::Rtu;
    }
};

} // namespace comm
