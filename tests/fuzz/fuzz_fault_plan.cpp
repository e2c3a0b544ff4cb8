// The simulator's faults as any text, one a line as a fault file holds them: read without
// crashing, and what is taken spoils a reply without crashing either.
#include "fuzz_check.h"

#include "sim/slave_faults.h"

#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FaultPlan plan;
    const std::string why = plan.addFile(text);
    FUZZ_CHECK(why.empty() || why.starts_with("line "));
    const std::string request("\x30\x03\x00\x00\x00\x01\x80\x2B", 8);
    const std::string reply("\x30\x03\x02\x00\x0A\x45\x87", 7);
    // Every input starts from the same state, copied: seeding walks all 624 words of it.
    static const std::mt19937 seeded(1);
    std::mt19937 random = seeded;
    for (const int slave : { 0, 17, 48 })
        if (SlaveFaults* faults = plan.of(slave))
            for (const auto framing : { modbus::Framing::Rtu, modbus::Framing::Ascii }) {
                const FaultedReply sent = faults->apply(request, reply, random, framing);
                FUZZ_CHECK(sent.delayMs >= 0 && sent.delayMs <= 65535);
            }
    return 0;
}
