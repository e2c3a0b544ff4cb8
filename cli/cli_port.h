// The port as quillet-cli uses it: reads that return as soon as bytes arrive, so a reply time
// is the slave's and the line's, not a read's silence.
#pragma once

#include "modbus/byte_string.h"
#include "serial/line_settings.h"

#include <string>

namespace cli {

class Port
{
public:
    Port() = default;
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Empty when open, else what failed with the platform's code.
    std::string open(const std::string& name, const comm::LineSettings& line);
    int write(const modbus::ByteString& bytes);
    // What is there, or what comes first within waitUs; empty when nothing came.
    modbus::ByteString read(std::int64_t waitUs);

private:
    std::intptr_t handle_ = -1;
};

// How long a gap ends what a slave sends: 3.5 characters, at least 20 ms (USB adapters hand
// bytes over in slices of up to 16 ms).
std::int64_t SilenceUs(int bitsPerSecond);

// The silence the standard asks between two frames: 3.5 characters of 11 bits, and 1.75 ms at
// speeds above 19200 bit/s. A master that sends at once after a reply runs two frames together.
std::int64_t InterFrameUs(int bitsPerSecond);

} // namespace cli
