// The line monitor's frame analysis over any run of writes and reads: it never crashes, and
// every byte read lands in exactly one received row, in the order it came.
#include "fuzz_steps.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    modbus::FrameAnalyzer analyzer("19200 8N1");
    std::string read, rowBytes;
    std::int64_t ms = 0;
    std::size_t at = 0;
    while (const auto step = NextStep(data, size, at)) {
        ms += 1 + (step->marked ? 700 : 20);
        const modbus::LineTime time { ms * 1000, ms };
        if (step->write) {
            analyzer.written(step->bytes, int(step->bytes.size()), step->marked, time);
        } else {
            analyzer.read(step->bytes, time);
            read += step->bytes;
        }
    }
    analyzer.read({}, { (ms + 2000) * 1000, ms + 2000 }); // silence ends whatever is left
    for (const modbus::FrameRow& row : analyzer.take()) {
        const bool received = Received(row);
        FUZZ_CHECK(received || row.kind == modbus::RowKind::Request || row.bytes.empty());
        if (received) {
            FUZZ_CHECK(!row.bytes.empty() && row.reads >= 1);
            rowBytes += row.bytes;
        }
        for (auto order : { modbus::WordOrder::ABCD, modbus::WordOrder::DCBA })
            CheckDetails(row, order);
    }
    FUZZ_CHECK(rowBytes == read);
    return 0;
}
