// Number from text, and the requests built from typed fields.
#include "fuzz_check.h"

#include "modbus/number_text.h"
#include "requests/request_frames.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double value = modbus::NumberFromText(text);
    FUZZ_CHECK(!std::isnan(value));
    if (const auto byte = modbus::NumberToByte(value))
        FUZZ_CHECK(std::fabs(value - *byte) <= 0.5);

    const std::size_t cut = size / 3;
    const std::string address = text.substr(0, std::min<std::size_t>(cut, 2));
    const modbus::Request r = modbus::WriteSingleRequest(address,
        { "Address param", std::string_view(text).substr(cut, cut) },
        { "Data", std::string_view(text).substr(2 * cut) });
    FUZZ_CHECK(r.notSent.empty() ? r.frame.size() == 8 : r.frame.empty());
    return 0;
}
