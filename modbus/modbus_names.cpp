#include "modbus_names.h"

#include <utility>

namespace modbus {

std::string FunctionName(std::uint8_t code)
{
    static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
        { 3, "Read Holding Registers" },
        { 6, "Write Single Register" },
        { 16, "Write Multiple Registers" },
        { 17, "Report Server ID" },
    };
    const std::uint8_t function = code & 0x7F;
    for (const auto& [number, name] : kNames)
        if (number == function)
            return std::to_string(function) + " " + name;
    return std::to_string(function);
}

std::string ExceptionVerdict(std::uint8_t code)
{
    static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
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
    const std::string verdict = "exception " + std::to_string(code);
    for (const auto& [number, name] : kNames)
        if (number == code)
            return verdict + " " + name;
    return verdict;
}

} // namespace modbus
