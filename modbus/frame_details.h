// What the details of one frame row show: the reply laid out as its function's entry in the
// table of functions says (bits, registers in every reading, a write's echo, identification).
#pragma once

#include "detail_table.h"
#include "frame_analysis.h"
#include "reply_details.h"

namespace modbus {

// Empty for rows with nothing more to show.
DetailTable FrameDetails(const FrameRow& row, WordOrder order);

} // namespace modbus
