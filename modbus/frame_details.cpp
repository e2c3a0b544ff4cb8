#include "frame_details.h"

#include "function_table.h"
#include "request_details.h"

namespace modbus {

DetailTable FrameDetails(const FrameRow& row, WordOrder order)
{
    if (row.bytes.size() < 5 || row.kind != RowKind::Reply)
        return {};
    const FunctionInfo* info = FindFunction(ByteAt(row.bytes, 1));
    return info && info->details ? info->details(row.bytes, row.request, order) : DetailTable {};
}

DetailTable RowDetails(const FrameRow& row, WordOrder order, const std::string& note)
{
    if (row.kind == RowKind::Request)
        return RequestDetails(row.bytes);
    if (row.kind == RowKind::CrcBad)
        return BadCheckDetails(row);
    DetailTable table = FrameDetails(row, order);
    return table.headers.empty() ? VerdictDetails(row, note) : table;
}

} // namespace modbus
