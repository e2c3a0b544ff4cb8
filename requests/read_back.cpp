#include "read_back.h"

#include "modbus/function_table.h"
#include "modbus/read_values.h"

#include <algorithm>

namespace modbus {
namespace {

    // A mask write's result depends on what was there before: nothing to compare with.
    bool readsBack(const FunctionInfo& f)
    {
        return f.writes && f.writes->layout != WriteLayout::Masked;
    }

} // namespace

std::optional<RequestFields> ReadBackOf(const RequestFields& write)
{
    const FunctionInfo* info = write.raw ? nullptr : FindFunction(write.function);
    if (!info || !readsBack(*info) || write.values.empty())
        return std::nullopt;
    // A write that reads first (23) names where it writes apart from where it reads.
    const bool second = std::ranges::any_of(
        info->arguments, [](const Argument& a) { return a.field == ArgField::WriteStart; });
    RequestFields read;
    read.function = FindReader(info->writes->table)->code;
    read.start = second ? write.writeStart : write.start;
    read.quantity = unsigned(write.values.size());
    return read;
}

std::string ReadBackCommands() { return CommandList(readsBack); }

std::string ReadBackMismatch(
    const RequestFields& write, std::string_view readFrame, std::string_view readReply)
{
    const std::optional<ReadValues> read = ValuesOfReply(readFrame, readReply);
    if (!read || read->values.size() < write.values.size())
        return "the read-back brought no values to compare";
    const bool bits = read->table == DataTable::Coils;
    std::string differs;
    for (std::size_t i = 0; i < write.values.size(); ++i) {
        // Written as typed (-5 is 65531 in a register; any non-zero sets a coil).
        const auto wrote
            = bits ? std::uint16_t(write.values[i] != 0) : std::uint16_t(write.values[i]);
        if (wrote == read->values[i])
            continue;
        differs += (differs.empty() ? "" : "; ") + std::string(TableName(read->table)) + " "
            + std::to_string(read->start + i) + ": wrote " + std::to_string(wrote) + ", read "
            + std::to_string(read->values[i]);
    }
    return differs;
}

RequestFields WithFunction16(RequestFields write)
{
    if (!write.raw && write.function == 6)
        write.function = 16;
    return write;
}

} // namespace modbus
