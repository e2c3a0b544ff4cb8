// Write and verify: the read that reads back what a write put in place, and whether its reply
// shows the values written. And function 16 for one register, for devices that refuse 6.
#pragma once

#include "modbus/request_fields.h"

#include <optional>
#include <string>
#include <string_view>

namespace modbus {

// Coils (function 1) for 5 and 15, holding registers (3) for 6, 16 and 23's written part; nullopt
// for any other request (22's result depends on what was there before).
std::optional<RequestFields> ReadBackOf(const RequestFields& write);

// The commands ReadBackOf reads back: "write-coil, ... or read-write".
std::string ReadBackCommands();

// Empty when the read-back's reply holds what the write put; else each differing address with
// its written and read values: "holding 5: wrote 1234, read 1000; holding 6: wrote 7, read 0".
std::string ReadBackMismatch(
    const RequestFields& write, std::string_view readFrame, std::string_view readReply);

// A write of one register (6) as function 16 with that one register; anything else unchanged.
RequestFields WithFunction16(RequestFields write);

} // namespace modbus
