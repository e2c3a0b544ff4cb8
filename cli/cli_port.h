// The port as quillet-cli uses it: reads that return as soon as bytes arrive, so a reply time
// is the slave's and the line's, not a read's silence.
#pragma once

#include "modbus/byte_string.h"
#include "modbus/exchange.h"
#include "modbus/scan_plan.h"
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

// One request and its answer on the port: written, then read until the answer is whole, the
// silence after bytes, or the time-out.
modbus::Exchange Transact(
    Port& port, const modbus::ByteString& frame, std::int64_t timeoutUs, int speed);

using modbus::InterFrameUs;
using modbus::SilenceUs;

} // namespace cli
