// A line heard in RTU or ASCII from any bytes in any reads: the listener never crashes, every
// row but a missed reply holds bytes, and no slave has more replies counted than requests.
#include "fuzz_check.h"

#include "listening/line_listener.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const modbus::Framing framing = (data[0] & 1) ? modbus::Framing::Ascii : modbus::Framing::Rtu;
    modbus::LineListener listener((data[0] & 2) ? 521 : 0, 1823, framing);
    std::int64_t us = 0;
    for (std::size_t at = 1; at < size;) {
        const std::uint8_t step = data[at++];
        const std::size_t length = std::min<std::size_t>(step & 0x1F, size - at);
        us += (step & 0xE0) * 100; // up to 22 ms between reads: silences and none
        listener.read(modbus::ByteString(reinterpret_cast<const char*>(data + at), length), us);
        at += length;
    }
    listener.finish(us + 2'000'000);
    for (const modbus::FrameRow& row : listener.take())
        FUZZ_CHECK(row.kind == modbus::RowKind::NoReply || !row.bytes.empty());
    for (const auto& [slave, s] : listener.statistics().slaves()) {
        long answered = s.good;
        for (const auto& [code, n] : s.exceptions)
            answered += n;
        FUZZ_CHECK(answered <= s.requests);
    }
    return 0;
}
