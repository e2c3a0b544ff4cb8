// The mode parser behind BuildCommDCBA.
#include "fuzz_check.h"

#include "serial/comm_mode.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto dcb = comm::ParseCommMode(text)) {
        FUZZ_CHECK(dcb->BaudRate > 0);
        FUZZ_CHECK(dcb->ByteSize >= 5 && dcb->ByteSize <= 8);
        FUZZ_CHECK(dcb->Parity <= comm::kSpaceParity);
        FUZZ_CHECK(dcb->StopBits <= comm::kTwoStopBits);
    }
    return 0;
}
