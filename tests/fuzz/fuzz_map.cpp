// Register maps from other people: any file must end, refuse only by line, and give entries that
// stay inside the address space, never overlap, and convert both ways without fault.
#include "fuzz_check.h"

#include "benchfiles/map_values.h"
#include "benchfiles/named_request.h"
#include "benchfiles/register_map.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const modbus::RegisterMap map
        = modbus::ReadRegisterMap(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& why : map.refused)
        FUZZ_CHECK(why.starts_with("line "));
    for (std::size_t i = 0; i < map.entries.size(); ++i) {
        const modbus::MapEntry& e = map.entries[i];
        FUZZ_CHECK(e.count() >= 1 && e.address + e.count() <= 0x10000);
        for (std::size_t j = 0; j < i; ++j) // no two cover the same register
            FUZZ_CHECK(map.entries[j].table != e.table
                || map.entries[j].address + map.entries[j].count() <= e.address
                || e.address + e.count() <= map.entries[j].address);
        const std::vector<std::uint16_t> words(e.count(), 0x4142);
        (void)modbus::EngineeringText(e, words, modbus::WordOrder::DCBA);
        if (const auto raw = modbus::RawFromEngineering(e, 1.5, modbus::WordOrder::CDAB))
            FUZZ_CHECK(raw->size() == e.count());
        // Every entry is found by its name and read whole by it.
        const modbus::NamedRequest named
            = modbus::ParseNamedRequest("read " + e.name, map, modbus::WordOrder::ABCD);
        FUZZ_CHECK(!named.entry || named.parsed.fields.quantity == named.entry->count());
    }
    return 0;
}
