// What the details of one frame row show: the reply laid out as its function's entry in the
// table of functions says (bits, registers in every reading, a write's echo, identification).
#pragma once

#include "detail_table.h"
#include "frame_analysis.h"
#include "reply_details.h"

#include <string>

namespace modbus {

// Empty for rows with nothing more to show.
DetailTable FrameDetails(const FrameRow& row, WordOrder order);

// What the monitor shows for any row, never empty: a reply's details, a request decoded, a
// frame with wrong check bytes, or the verdict whole. note: what follows the row and belongs
// with it (a no reply's hint).
DetailTable RowDetails(const FrameRow& row, WordOrder order, const std::string& note = {});

} // namespace modbus
