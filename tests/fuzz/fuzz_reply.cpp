// The poller's classify-and-render path over any chunk and any address text, and Decode2.
#include "fuzz_check.h"

#include "modbus/hex_digits.h"
#include "modbus/number_text.h"
#include "modbus/reply_display.h"
#include "modbus/reply_text.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // First byte: how many of the following bytes are the address box's text.
    const std::size_t textLength = std::min<std::size_t>(data[0] % 8, size - 1);
    const std::string addressText(reinterpret_cast<const char*>(data + 1), textLength);
    std::string chunk(reinterpret_cast<const char*>(data + 1 + textLength), size - 1 - textLength);
    chunk.resize(std::min<std::size_t>(chunk.size(), 255));

    const std::int16_t d2 = modbus::Decode2(addressText);
    FUZZ_CHECK(d2 >= 0 && d2 <= 255);
    if (chunk.empty())
        return 0;
    const modbus::ReplyDisplay shown
        = modbus::ClassifyReply(chunk, modbus::NumberFromText(addressText));
    FUZZ_CHECK(!shown.text.empty());
    if (shown.kind == modbus::ReplyKind::Raw) {
        FUZZ_CHECK(!shown.firstHi);
        FUZZ_CHECK(
            shown.text.size() >= 6 && shown.text.compare(shown.text.size() - 2, 2, "\r\n") == 0);
    } else {
        FUZZ_CHECK(shown.firstHi && *shown.firstHi >= 0 && *shown.firstHi <= 65535);
        FUZZ_CHECK(shown.text.find('\n') == std::string::npos);
    }
    return 0;
}
