// ASCII: ':' then the address, the PDU and the LRC as hex pairs, then CR LF. Frames end by
// their CR LF, not by a silence; up to a second may pass between two of their characters.
#include "wire_framer.h"

#include "ascii_frame.h"

namespace modbus {

class AsciiFramer final : public WireFramer
{
public:
    static constexpr std::int64_t kPauseInsideUs = 1'000'000;

    Framing framing() const override { return Framing::Ascii; }

    ByteString wrap(std::string_view adu, std::uint16_t) const override { return BuildAscii(adu); }

    WireCut cut(std::string_view wire, bool lineSilent, Sender) const override
    {
        const AsciiCut cut = CutAscii(wire, lineSilent);
        static constexpr WireCut::Kind kKinds[] = { WireCut::Kind::NeedMore, WireCut::Kind::Frame,
            WireCut::Kind::Noise, WireCut::Kind::NotFrame };
        return { kKinds[int(cut.kind)], cut.length, cut.adu,
            cut.kind != AsciiCut::Kind::Frame || cut.lrcGood, 0, cut.why };
    }

    std::size_t wireLength(std::size_t aduLength) const override
    {
        return 1 + 2 * (aduLength + 1) + 2;
    }

    std::int64_t pauseInsideUs(std::int64_t) const override { return kPauseInsideUs; }
    std::string text(std::string_view wire) const override { return AsciiText(wire); }
    bool delimited() const override { return true; }
};

const WireFramer& AsciiFraming()
{
    static const AsciiFramer framer;
    return framer;
}

} // namespace modbus
