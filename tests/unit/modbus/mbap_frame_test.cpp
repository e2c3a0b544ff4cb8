// Modbus TCP frames: built as the standard's worked example, cut from a stream by the length
// field (joined, split, broken), read from datagrams.
#include "modbus/mbap_frame.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

// The worked example: read 3 holding registers of unit 0x11, transaction 7.
const ByteString kRequest = bytes({ 0, 7, 0, 0, 0, 6, 0x11, 3, 0, 0, 0, 3 });
const ByteString kReply = bytes({ 0, 7, 0, 0, 0, 9, 0x11, 3, 6, 0, 10, 0, 20, 0, 30 });

std::string cutText(const MbapCut& c)
{
    switch (c.kind) {
    case MbapCut::Kind::NeedMore:
        return "more";
    case MbapCut::Kind::Frame:
        return "frame " + std::to_string(c.frame.transaction) + " unit "
            + std::to_string(c.frame.unit) + ": " + HexBytes(c.frame.pdu) + " ("
            + std::to_string(c.length) + ")";
    default:
        return "not a frame: " + c.why + " (" + std::to_string(c.length) + ")";
    }
}

TEST(MbapFrame, BuiltCutAndRead)
{
    EXPECT_EQ(BuildMbap({ 7, 0x11, bytes({ 3, 0, 0, 0, 3 }) }), kRequest);
    const struct
    {
        const char* what;
        ByteString bytes;
        const char* stream;
        const char* datagram;
    } rows[] = {
        { "the worked reply", kReply, "frame 7 unit 17: 03 06 00 0A 00 14 00 1E (15)",
            "frame 7 unit 17: 03 06 00 0A 00 14 00 1E (15)" },
        { "two frames in one read", kReply + kRequest,
            "frame 7 unit 17: 03 06 00 0A 00 14 00 1E (15)",
            "not a frame: length field 9, but 21 bytes follow it (27)" },
        { "a frame in pieces", kReply.substr(0, 10), "more",
            "not a frame: length field 9, but 4 bytes follow it (10)" },
        { "half a header", kReply.substr(0, 4), "more",
            "not a frame: 4 bytes, shorter than a header (4)" },
        { "a protocol id other than 0", bytes({ 0, 7, 0, 5, 0, 2, 1, 3 }),
            "not a frame: protocol id 5, not 0 (8)", "not a frame: protocol id 5, not 0 (8)" },
        { "a length no frame has", bytes({ 0, 7, 0, 0, 1, 44, 1, 3, 0 }),
            "not a frame: length field 300, not 2..254 (9)",
            "not a frame: length field 300, not 2..254 (9)" },
    };
    for (const auto& r : rows) {
        EXPECT_EQ(cutText(CutMbapStream(r.bytes)), r.stream) << r.what;
        EXPECT_EQ(cutText(ReadMbapDatagram(r.bytes)), r.datagram) << r.what;
    }
}

} // namespace
