// The frame analysis of ASCII and MBAP links over any run of writes and reads: it never
// crashes, and every byte read lands in exactly one received row, as the wire carried it.
#include "fuzz_check.h"

#include "modbus/frame_analysis.h"
#include "modbus/frame_details.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the framing: ASCII on a line, or MBAP in a stream.
    const bool ascii = (data[0] & 1) == 0;
    modbus::FrameAnalyzer analyzer(ascii ? "19200 8N1 ASCII" : "tcp://gw:502");
    if (ascii)
        analyzer.setFraming(modbus::Framing::Ascii);
    else
        analyzer.setNetwork(modbus::Framing::MbapStream);
    std::string read, rowBytes;
    std::int64_t ms = 0;
    // Each step: a byte that says what and how long (top bit: a write, else a read; low bits:
    // the length), then that many bytes; the 0x40 bit a long pause before it.
    for (std::size_t at = 1; at < size;) {
        const std::uint8_t step = data[at++];
        const std::size_t length = std::min<std::size_t>(step & 0x3F, size - at);
        const std::string bytes(reinterpret_cast<const char*>(data + at), length);
        at += length;
        ms += 1 + (step & 0x40 ? 1500 : 20);
        const modbus::LineTime time { ms * 1000, ms };
        if (step & 0x80) {
            analyzer.written(bytes, int(length), false, time);
        } else {
            analyzer.read(bytes, time);
            read += bytes;
        }
    }
    analyzer.read({}, { (ms + 2000) * 1000, ms + 2000 }); // silence ends whatever is left
    for (const modbus::FrameRow& row : analyzer.take()) {
        const bool received = row.kind != modbus::RowKind::Request
            && row.kind != modbus::RowKind::NoReply && row.kind != modbus::RowKind::Interrupted
            && row.kind != modbus::RowKind::Hint && row.kind != modbus::RowKind::Note;
        if (received) {
            FUZZ_CHECK(!row.wire.empty());
            rowBytes += row.wire;
        }
        const modbus::DetailTable table = modbus::FrameDetails(row, modbus::WordOrder::ABCD);
        for (const auto& cells : table.rows)
            FUZZ_CHECK(cells.size() == table.headers.size());
    }
    FUZZ_CHECK(rowBytes == read);
    return 0;
}
