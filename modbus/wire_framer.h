// How frames are carried on a link's wire, one framer per format: RTU (address, PDU, CRC; ends
// by silence or by the length the table gives), ASCII (':', hex, LRC, CR LF) and MBAP (a header
// whose length field frames it). Everything that writes or cuts frames asks the framer of its
// link; none of them branches on the format itself.
#pragma once

#include "byte_string.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace modbus {

// RTU frames on a line or in a TCP stream or datagrams; ASCII frames on a line, in a stream or
// in datagrams; MBAP frames in a TCP stream or one to a datagram.
enum class Framing { Rtu, MbapStream, MbapDatagram, Ascii };

// Who sent the bytes being cut: where a frame's length follows from its function, a request's
// and a reply's differ.
enum class Sender { Master, Slave };

// What the start of some bytes holds.
struct WireCut
{
    enum class Kind {
        NeedMore, // a frame begun and not whole yet
        Frame, // whole; its check bytes good or not
        Noise, // bytes before where a frame can begin, skipped
        NotFrame, // no frame: why says what is wrong
    };
    Kind kind = Kind::NeedMore;
    std::size_t length = 0; // the bytes the cut takes from the start (none for NeedMore)
    ByteString adu; // Frame: the address (unit id) and the PDU, no check bytes
    bool checkGood = true; // Frame: its CRC or LRC agrees (MBAP carries none)
    std::uint16_t transaction = 0; // MBAP's id
    std::string why; // NotFrame: "not a frame: ..."; a bad check: "LRC BAD (expected 7E)"
};

class WireFramer
{
public:
    virtual ~WireFramer() = default;
    virtual Framing framing() const = 0;
    // The frame on the wire for an address (unit id) and a PDU; transaction: MBAP's id.
    virtual ByteString wrap(std::string_view adu, std::uint16_t transaction = 0) const = 0;
    // The first frame of what arrived. lineSilent: nothing more is coming, so a frame begun is
    // cut short rather than waited for.
    virtual WireCut cut(std::string_view wire, bool lineSilent, Sender sender) const = 0;
    // The bytes on the wire of a frame whose address and PDU take aduLength bytes.
    virtual std::size_t wireLength(std::size_t aduLength) const = 0;
    // The longest pause inside a frame, given one character's time (0 where unknown).
    virtual std::int64_t pauseInsideUs(std::int64_t characterUs) const = 0;
    // A frame as a monitor shows it: hex bytes, ASCII's text, MBAP's ids apart.
    virtual std::string text(std::string_view wire) const = 0;
    // Whether frames end by a mark or a length rather than by the line's silence.
    virtual bool delimited() const = 0;
};

const WireFramer& FramerOf(Framing framing);

// The check a framing's frames carry, as verdicts name it: "CRC", "LRC"; empty for MBAP, whose
// length field frames it.
std::string_view CheckName(Framing framing);
// A good frame's verdict: "CRC OK", "LRC OK", or "OK".
std::string CheckGoodWords(Framing framing);

// The words a user reads and types: "rtu", "ascii", "tcp" (MBAP).
std::string_view FramingWord(Framing framing);

} // namespace modbus
