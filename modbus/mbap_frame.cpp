#include "mbap_frame.h"

#include "crc16.h"

namespace modbus {
namespace {

    constexpr std::size_t kHeader = 7; // transaction, protocol, length: 2 bytes each; unit
    constexpr unsigned kLongest = 254; // the unit's byte and a PDU of at most 253

    void putWord(ByteString& out, unsigned value)
    {
        out.push_back(CharOf(std::uint8_t(value >> 8)));
        out.push_back(CharOf(std::uint8_t(value)));
    }

    MbapCut notFrame(std::size_t length, std::string why)
    {
        return { MbapCut::Kind::NotFrame, length, {}, std::move(why) };
    }

    // The header's own faults, with the bytes a stream drops for them; empty when none.
    std::string headerFault(std::string_view bytes)
    {
        const unsigned length = WordAt(bytes, 4);
        if (WordAt(bytes, 2) != 0)
            return "protocol id " + std::to_string(WordAt(bytes, 2)) + ", not 0";
        if (length < 2 || length > kLongest)
            return "length field " + std::to_string(length) + ", not 2..254";
        return {};
    }

    MbapFrame frameOf(std::string_view bytes)
    {
        const std::size_t length = WordAt(bytes, 4);
        return { std::uint16_t(WordAt(bytes, 0)), ByteAt(bytes, 6),
            ByteString(bytes.substr(kHeader, length - 1)) };
    }

} // namespace

ByteString BuildMbap(const MbapFrame& frame)
{
    ByteString out;
    putWord(out, frame.transaction);
    putWord(out, 0);
    putWord(out, unsigned(frame.pdu.size() + 1));
    out.push_back(CharOf(frame.unit));
    return out + frame.pdu;
}

ByteString RtuOfMbap(const MbapFrame& frame)
{
    ByteString rtu = CharOf(frame.unit) + frame.pdu;
    return rtu + CRC16(rtu).value_or(ByteString());
}

MbapFrame MbapOfRtu(std::string_view rtu, std::uint16_t transaction)
{
    if (rtu.size() < 3)
        return { transaction, rtu.empty() ? std::uint8_t(0) : ByteAt(rtu, 0), {} };
    return { transaction, ByteAt(rtu, 0), ByteString(rtu.substr(1, rtu.size() - 3)) };
}

std::string MbapText(std::string_view wire)
{
    const MbapCut cut = ReadMbapDatagram(wire);
    if (cut.kind != MbapCut::Kind::Frame)
        return HexBytes(wire);
    return "tid " + std::to_string(cut.frame.transaction) + " \u00B7 unit "
        + std::to_string(cut.frame.unit) + " \u00B7 " + HexBytes(cut.frame.pdu);
}

MbapCut CutMbapStream(std::string_view bytes)
{
    if (bytes.size() < kHeader)
        return {};
    const unsigned length = WordAt(bytes, 4);
    if (std::string why = headerFault(bytes); !why.empty()) {
        // A plausible length still says where the next frame starts, once its bytes are in;
        // else nothing does.
        const bool plausible = length >= 2 && length <= kLongest;
        if (plausible && bytes.size() < 6 + length)
            return {};
        return notFrame(plausible ? 6 + length : bytes.size(), std::move(why));
    }
    if (bytes.size() < 6 + length)
        return {};
    return { MbapCut::Kind::Frame, 6 + length, frameOf(bytes), {} };
}

MbapCut ReadMbapDatagram(std::string_view datagram)
{
    if (datagram.size() < kHeader)
        return notFrame(
            datagram.size(), std::to_string(datagram.size()) + " bytes, shorter than a header");
    if (std::string why = headerFault(datagram); !why.empty())
        return notFrame(datagram.size(), std::move(why));
    const std::size_t follows = datagram.size() - 6;
    if (WordAt(datagram, 4) != follows)
        return notFrame(datagram.size(),
            "length field " + std::to_string(WordAt(datagram, 4)) + ", but "
                + std::to_string(follows) + " bytes follow it");
    return { MbapCut::Kind::Frame, datagram.size(), frameOf(datagram), {} };
}

} // namespace modbus
