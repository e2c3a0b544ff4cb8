#include "read_back_exchange.h"

#include "reply_output.h"

#include "modbus/function_table.h"
#include "requests/read_back.h"

#include <cstdio>

namespace cli {

std::string ReadBackDifference(Link& link, const modbus::RequestFields& write, int address)
{
    const modbus::ByteString read = modbus::BuildRequest(address, *modbus::ReadBackOf(write)).frame;
    const modbus::Exchange exchange = link.transact(read);
    std::fputs(NoteLines(exchange).c_str(), stderr);
    if (!exchange.good())
        return exchange.verdict();
    return modbus::ReadBackMismatch(write, read, exchange.answer()->bytes);
}

} // namespace cli
