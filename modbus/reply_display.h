// What a received chunk is, which decides where it is shown, and the text it is shown and
// logged as.
#pragma once

#include "byte_string.h"

namespace modbus {

enum class ReplyKind {
    Raw, // anything not decoded: shown in the general display
    WriteSingleEcho, // function 6 reply from the addressed slave
    ReadHolding, // function 3 reply from the addressed slave
    WriteMultipleEcho, // function 16 reply from the addressed slave
};

struct ReplyDisplay
{
    ReplyKind kind;
    ByteString text; // without the line end the box adds
    std::optional<double> firstHi; // the decoded value of a recognised reply
};

// chunk is what one read returned (not empty); address is the number read from the
// address box, compared exactly with the first byte.
ReplyDisplay ClassifyReply(const ByteString& chunk, double address);

} // namespace modbus
