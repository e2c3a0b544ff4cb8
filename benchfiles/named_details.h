// A frame's details with a register map: the name and the engineering value of each mapped entry
// a read's reply carries, in two columns after the first. A value that spans registers is taken
// from its mapped address, not paired from the reply's start; unmapped rows show as without a map.
#pragma once

#include "modbus/detail_table.h"
#include "modbus/frame_analysis.h"
#include "register_map.h"

namespace modbus {

DetailTable NamedDetails(
    DetailTable table, const FrameRow& row, const RegisterMap& map, WordOrder order);

} // namespace modbus
