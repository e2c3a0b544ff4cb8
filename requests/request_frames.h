// The Modbus RTU requests the window's buttons send, built from the texts typed for them.
#pragma once

#include "modbus/byte_string.h"

namespace modbus {

// A typed 16-bit field: the number read, its high part (rounded down) and the rest.
struct FieldSplit
{
    double numScratch = 0;
    double hi = 0;
    double lo = 0;
};

FieldSplit SplitField(std::string_view text);

// A field box as the user sees it: its label names it in a refusal.
struct FieldText
{
    std::string_view name;
    std::string_view text;
};

struct Request
{
    ByteString frame; // the bytes to write, check bytes included; empty when refused
    std::string notSent; // why nothing may be sent; empty when the frame is good
    FieldSplit first;
    FieldSplit second;
};

Request ReadHoldingRequest(std::string_view address, FieldText first, FieldText count);
Request WriteSingleRequest(std::string_view address, FieldText reg, FieldText value);
// Function 16 for exactly one register.
Request WriteMultipleRequest(std::string_view address, FieldText reg, FieldText value);
Request ReportIdRequest(std::string_view address);
// Address, one byte per character of the typed body, check bytes.
Request FreeFormRequest(std::string_view address, std::u32string_view body);
// The typed text alone, one byte per character: no address, no check bytes.
Request RawTextRequest(std::u32string_view text);

} // namespace modbus
