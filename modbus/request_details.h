// What the details show for rows that carry no values: a request decoded field by field (the
// slave, the function, where it reads or writes and what), a frame whose check bytes are wrong
// (what came, what was due, its values withheld), and for the rest the verdict whole.
#pragma once

#include "detail_table.h"
#include "frame_analysis.h"

namespace modbus {

// A request (an RTU frame, check bytes last) as its fields: "Slave 17", "Start 107", ...
DetailTable RequestDetails(std::string_view request);

// A frame whose check bytes are wrong: received and expected (CRC, or LRC for ASCII's text),
// and its values withheld.
DetailTable BadCheckDetails(const FrameRow& row);

// Any row: its verdict whole, its bytes and the request it follows; then note, when given (a
// hint that follows it), also whole.
DetailTable VerdictDetails(const FrameRow& row, const std::string& note = {});

} // namespace modbus
