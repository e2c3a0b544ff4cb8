#include "wire_framer.h"

namespace modbus {

// Each defined in the file of its format.
const WireFramer& RtuFraming();
const WireFramer& AsciiFraming();
const WireFramer& MbapFraming(bool datagrams);

const WireFramer& FramerOf(Framing framing)
{
    switch (framing) {
    case Framing::Ascii:
        return AsciiFraming();
    case Framing::MbapStream:
        return MbapFraming(false);
    case Framing::MbapDatagram:
        return MbapFraming(true);
    default:
        return RtuFraming();
    }
}

std::string_view CheckName(Framing framing)
{
    switch (framing) {
    case Framing::Rtu:
        return "CRC";
    case Framing::Ascii:
        return "LRC";
    default:
        return {};
    }
}

std::string CheckGoodWords(Framing framing)
{
    const std::string_view check = CheckName(framing);
    return check.empty() ? "OK" : std::string(check) + " OK";
}

std::string_view FramingWord(Framing framing)
{
    switch (framing) {
    case Framing::Ascii:
        return "ascii";
    case Framing::Rtu:
        return "rtu";
    default:
        return "tcp";
    }
}

} // namespace modbus
