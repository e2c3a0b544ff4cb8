// Which box a received chunk goes to, and the text it is shown and logged as.
#pragma once

#include "byte_string.h"

namespace modbus {

enum class ReplyBox { Text2, Text6, Text8, Text10 };

struct ReplyDisplay
{
    ReplyBox box;
    ByteString text; // without the line end the box adds
    std::optional<double> firstHi; // the decoded value of a recognised reply
};

// chunk is what one read returned (not empty); address is the number read from the
// address box, compared exactly with the first byte.
ReplyDisplay ClassifyReply(const ByteString& chunk, double address);

} // namespace modbus
