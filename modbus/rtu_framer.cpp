// RTU: the address, the PDU and a CRC, low byte first. A frame ends at 3.5 characters of silence
// or where the table says its function's frame ends; inside it no pause may pass 1.5 characters.
#include "wire_framer.h"

#include "crc16.h"
#include "function_table.h"

namespace modbus {

class RtuFramer final : public WireFramer
{
public:
    Framing framing() const override { return Framing::Rtu; }

    ByteString wrap(std::string_view adu, std::uint16_t) const override
    {
        const ByteString body(adu);
        return body + CRC16(body).value_or(ByteString());
    }

    WireCut cut(std::string_view wire, bool lineSilent, Sender sender) const override
    {
        if (wire.empty())
            return {};
        const std::optional<std::size_t> length
            = sender == Sender::Slave ? ReplyFrameLength(wire, 0) : RequestFrameLength(wire, 0);
        // A function the table cannot measure ends at the silence.
        const std::size_t size = length && *length > 0 ? *length : wire.size();
        if (!length || size > wire.size() || (*length == 0 && !lineSilent))
            return lineSilent ? cutShort(wire.size(), length.value_or(0)) : WireCut {};
        return frame(wire.substr(0, size));
    }

    std::size_t wireLength(std::size_t aduLength) const override { return aduLength + 2; }

    std::int64_t pauseInsideUs(std::int64_t characterUs) const override
    {
        return characterUs * 3 / 2;
    }

    std::string text(std::string_view wire) const override { return HexBytes(wire); }
    bool delimited() const override { return false; }

private:
    static WireCut cutShort(std::size_t have, std::size_t promised)
    {
        std::string why = "not a frame: cut short";
        if (promised > have)
            why += ", " + std::to_string(have) + " of " + std::to_string(promised) + " bytes";
        return { WireCut::Kind::NotFrame, have, {}, false, 0, why };
    }

    static WireCut frame(std::string_view bytes)
    {
        if (bytes.size() < 4)
            return cutShort(bytes.size(), 0);
        const ByteString adu(bytes.substr(0, bytes.size() - 2));
        WireCut cut { WireCut::Kind::Frame, bytes.size(), adu, CrcGood(bytes), 0, {} };
        if (!cut.checkGood)
            cut.why = "CRC BAD (expected " + HexBytes(CRC16(adu).value_or(ByteString())) + ")";
        return cut;
    }
};

const WireFramer& RtuFraming()
{
    static const RtuFramer framer;
    return framer;
}

} // namespace modbus
