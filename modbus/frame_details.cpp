#include "frame_details.h"

#include "function_table.h"

namespace modbus {

DetailTable FrameDetails(const FrameRow& row, WordOrder order)
{
    if (row.bytes.size() < 5 || row.kind != RowKind::Reply)
        return {};
    const FunctionInfo* info = FindFunction(ByteAt(row.bytes, 1));
    return info && info->details ? info->details(row.bytes, row.request, order) : DetailTable {};
}

} // namespace modbus
