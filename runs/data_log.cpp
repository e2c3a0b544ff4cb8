#include "data_log.h"

#include "modbus/number_format.h"

namespace modbus {

std::string DataLogHeader() { return "time,slave,function,start,values\r\n"; }

std::string DataLogRow(const std::string& isoTime, const ReadValues& read)
{
    std::string row = isoTime + "," + Decimal(read.slave) + "," + Decimal(read.function) + ","
        + Decimal(read.start);
    for (const std::uint16_t v : read.values)
        row += "," + Decimal(v);
    return row + "\r\n";
}

} // namespace modbus
