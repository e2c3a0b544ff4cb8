// Modbus TCP's frame: the MBAP header (transaction id, protocol id 0, length = the unit id's
// byte and the PDU's, unit id), then the PDU; no check bytes. A stream is framed by the length
// field alone; a datagram holds one frame whose length field must agree with it.
#pragma once

#include "byte_string.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace modbus {

struct MbapFrame
{
    std::uint16_t transaction = 0;
    std::uint8_t unit = 0;
    ByteString pdu; // function code first
};

ByteString BuildMbap(const MbapFrame& frame);

// The same request or reply as an RTU frame (unit id as the address, check bytes added), so
// that everything that reads RTU frames reads it.
ByteString RtuOfMbap(const MbapFrame& frame);
// An RTU frame's address and PDU under an MBAP header; its check bytes are dropped unread.
MbapFrame MbapOfRtu(std::string_view rtu, std::uint16_t transaction);

// A frame as a monitor shows it, the header's ids apart from the PDU:
// "tid 7 · unit 17 · 03 06 00 0A 00 14 00 1E"; bytes that are no frame as plain hex.
std::string MbapText(std::string_view wire);

// What the start of some bytes holds.
struct MbapCut
{
    enum class Kind { NeedMore, Frame, NotFrame };
    Kind kind = Kind::NeedMore;
    std::size_t length = 0; // the bytes the cut takes from the start (none for NeedMore)
    MbapFrame frame; // Frame only
    std::string why; // NotFrame: "protocol id 5, not 0"
};

// The first frame of a stream: two frames in one read are two cuts, one frame in pieces waits
// for the rest. A header that cannot be a frame's takes what its length says, or all there is.
MbapCut CutMbapStream(std::string_view bytes);

// A datagram: one whole frame, or why it is not one.
MbapCut ReadMbapDatagram(std::string_view datagram);

} // namespace modbus
