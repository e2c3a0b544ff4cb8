// The line monitor's frame analysis over any run of writes and reads: it never crashes, and
// every byte read lands in exactly one received row, in the order it came.
#include "fuzz_check.h"

#include "modbus/frame_analysis.h"
#include "modbus/frame_details.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    modbus::FrameAnalyzer analyzer("19200 8N1");
    std::string read, rowBytes;
    std::int64_t ms = 0;
    // Each step: a byte that says what and how long (top bit: a write, else a read; low
    // bits: the length), then that many bytes.
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t step = data[at++];
        const std::size_t length = std::min<std::size_t>(step & 0x3F, size - at);
        const std::string bytes(reinterpret_cast<const char*>(data + at), length);
        at += length;
        ms += 1 + (step & 0x40 ? 700 : 20);
        const modbus::LineTime time { ms * 1000, ms };
        if (step & 0x80) {
            analyzer.written(bytes, int(length), (step & 0x40) != 0, time);
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
        FUZZ_CHECK(received || row.kind == modbus::RowKind::Request || row.bytes.empty());
        if (received) {
            FUZZ_CHECK(!row.bytes.empty() && row.reads >= 1);
            rowBytes += row.bytes;
        }
        for (auto order : { modbus::WordOrder::ABCD, modbus::WordOrder::DCBA }) {
            const modbus::DetailTable table = modbus::FrameDetails(row, order);
            for (const auto& cells : table.rows)
                FUZZ_CHECK(cells.size() == table.headers.size());
        }
    }
    FUZZ_CHECK(rowBytes == read);
    return 0;
}
