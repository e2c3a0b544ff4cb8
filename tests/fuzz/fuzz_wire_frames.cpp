// The frame analysis of ASCII and MBAP links over any run of writes and reads: it never
// crashes, and every byte read lands in exactly one received row, as the wire carried it.
#include "fuzz_steps.h"

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
    std::size_t at = 1; // the first byte chose the framing
    while (const auto step = NextStep(data, size, at)) {
        ms += 1 + (step->marked ? 1500 : 20);
        const modbus::LineTime time { ms * 1000, ms };
        if (step->write) {
            analyzer.written(step->bytes, int(step->bytes.size()), false, time);
        } else {
            analyzer.read(step->bytes, time);
            read += step->bytes;
        }
    }
    analyzer.read({}, { (ms + 2000) * 1000, ms + 2000 }); // silence ends whatever is left
    for (const modbus::FrameRow& row : analyzer.take()) {
        if (Received(row)) {
            FUZZ_CHECK(!row.wire.empty());
            rowBytes += row.wire;
        }
        CheckDetails(row, modbus::WordOrder::ABCD);
    }
    FUZZ_CHECK(rowBytes == read);
    return 0;
}
