// Link texts as typed in a port box: any text parses without crashing; one taken as a network
// link names a host and a port in 1..65535, and one refused says why.
#include "fuzz_check.h"

#include "serial/link_address.h"
#include "serial/network_link.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const comm::LinkAddress address = comm::ParseLinkAddress(text);
    FUZZ_CHECK(address.text == text);
    if (address.network() && address.error.empty()) {
        FUZZ_CHECK(!address.host.empty());
        FUZZ_CHECK(address.port >= 1 && address.port <= 65535);
        FUZZ_CHECK(!comm::HostAndPort(address).empty());
        (void)comm::FramingOf(address.kind);
    }
    if (!address.error.empty())
        FUZZ_CHECK(address.error.starts_with(text));
    return 0;
}
