// A request as its fields give it: what the composer's boxes and the request language hold.
#pragma once

#include "byte_string.h"

#include <cstdint>
#include <vector>

namespace modbus {

// Raw requests only: leave the check bytes off, or send them wrong, to see how a slave takes a
// bad frame.
enum class CheckBytes { Good, None, Wrong };

struct RequestFields
{
    std::uint8_t function = 3;
    bool raw = false; // data holds the body, function code first, as typed in hex
    unsigned start = 0; // first coil or register; 23: where it reads
    unsigned quantity = 1; // coils or registers to read
    unsigned writeStart = 0; // 23: where it writes
    // Written coils (0, 1) or registers (-32768..65535); 22: the AND and the OR mask.
    std::vector<std::int64_t> values;
    unsigned sub = 0; // 8: the sub-function
    ByteString data; // 8: the data; raw: the body
    unsigned readCode = 1; // 43/14: 1 basic, 2 regular, 3 extended, 4 one object
    unsigned objectId = 0; // 43/14: the first object asked
    CheckBytes check = CheckBytes::Good;
};

} // namespace modbus
