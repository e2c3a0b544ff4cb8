// Modbus ASCII's frame: ':' then the address, the PDU and a one-byte LRC as upper-case hex
// pairs, then CR LF (`:1103006B00037E` CR LF asks slave 17 for 3 registers from 107). The LRC is
// the two's complement of the 8-bit sum of the address and PDU bytes. Frames end by their CR LF,
// not by a silence; up to a second may pass between two of their characters.
#pragma once

#include "byte_string.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace modbus {

std::uint8_t Lrc(std::string_view bytes);

// adu: the address and the PDU (no check bytes); the frame as it goes on the wire.
ByteString BuildAscii(std::string_view adu);

// What the start of some received text holds.
struct AsciiCut
{
    enum class Kind {
        NeedMore, // a frame begun, its CR LF still to come
        Frame, // whole, its LRC good or not
        Noise, // bytes before a ':', skipped
        NotFrame, // what began with ':' but is no frame; why says what is wrong
    };
    Kind kind = Kind::NeedMore;
    std::size_t length = 0; // the bytes the cut takes from the start (none for NeedMore)
    ByteString adu; // Frame: the address and the PDU, the LRC taken off
    bool lrcGood = false; // Frame
    std::string why; // "LRC BAD (expected 7E)", "not a frame: odd hex (13 digits)", ...
};

// The first frame of what arrived. lineSilent: nothing more is coming (a pause ended it), so a
// frame without its CR LF is cut short rather than waited for. Lower-case hex is taken too.
AsciiCut CutAscii(std::string_view bytes, bool lineSilent);

// The text as a monitor shows it, the line ends named: ":1103006B00037E<CR><LF>".
std::string AsciiText(std::string_view wire);

} // namespace modbus
