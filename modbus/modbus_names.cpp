#include "modbus_names.h"

#include "function_table.h"

#include <utility>

namespace modbus {
namespace {

    using Names = std::pair<std::uint8_t, const char*>;

    // " NAME" for a code the table names, else nothing.
    template <std::size_t N> std::string named(const Names (&table)[N], std::uint8_t code)
    {
        for (const auto& [number, name] : table)
            if (number == code)
                return std::string(" ") + name;
        return {};
    }

} // namespace

std::string FunctionName(std::uint8_t code)
{
    const std::uint8_t function = code & 0x7F;
    if (const FunctionInfo* info = FindFunction(function); info && !info->name.empty())
        return std::string(info->label) + " " + std::string(info->name);
    return std::to_string(function);
}

std::string ExceptionVerdict(std::uint8_t code)
{
    static constexpr Names kNames[] = {
        { 1, "ILLEGAL FUNCTION" },
        { 2, "ILLEGAL DATA ADDRESS" },
        { 3, "ILLEGAL DATA VALUE" },
        { 4, "SERVER DEVICE FAILURE" },
        { 5, "ACKNOWLEDGE" },
        { 6, "SERVER DEVICE BUSY" },
        { 8, "MEMORY PARITY ERROR" },
        { 10, "GATEWAY PATH UNAVAILABLE" },
        { 11, "GATEWAY TARGET DEVICE FAILED TO RESPOND" },
    };
    return "exception " + std::to_string(code) + named(kNames, code);
}

} // namespace modbus
