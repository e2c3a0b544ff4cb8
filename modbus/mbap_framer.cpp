// MBAP: a header (transaction id, protocol id 0, length, unit id) and the PDU, no check bytes.
// A stream is framed by the length field; a datagram holds one frame.
#include "wire_framer.h"

#include "mbap_frame.h"

namespace modbus {

class MbapFramer final : public WireFramer
{
public:
    explicit MbapFramer(bool datagrams)
        : datagrams_(datagrams)
    { }

    Framing framing() const override
    {
        return datagrams_ ? Framing::MbapDatagram : Framing::MbapStream;
    }

    ByteString wrap(std::string_view adu, std::uint16_t transaction) const override
    {
        if (adu.empty())
            return {};
        return BuildMbap({ transaction, ByteAt(adu, 0), ByteString(adu.substr(1)) });
    }

    WireCut cut(std::string_view wire, bool lineSilent, Sender) const override
    {
        if (wire.empty())
            return {};
        MbapCut cut = datagrams_ ? ReadMbapDatagram(wire) : CutMbapStream(wire);
        if (cut.kind == MbapCut::Kind::NeedMore && lineSilent)
            cut = { MbapCut::Kind::NotFrame, wire.size(), {}, "cut short" };
        if (cut.kind == MbapCut::Kind::NeedMore)
            return {};
        if (cut.kind == MbapCut::Kind::NotFrame)
            return { WireCut::Kind::NotFrame, cut.length, {}, false, 0, "not a frame: " + cut.why };
        return { WireCut::Kind::Frame, cut.length, CharOf(cut.frame.unit) + cut.frame.pdu, true,
            cut.frame.transaction, {} };
    }

    std::size_t wireLength(std::size_t aduLength) const override { return aduLength + 6; }
    std::int64_t pauseInsideUs(std::int64_t) const override { return 0; }
    std::string text(std::string_view wire) const override { return MbapText(wire); }
    bool delimited() const override { return true; }

private:
    bool datagrams_;
};

const WireFramer& MbapFraming(bool datagrams)
{
    static const MbapFramer stream(false);
    static const MbapFramer datagram(true);
    return datagrams ? datagram : stream;
}

} // namespace modbus
