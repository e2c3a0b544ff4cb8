// What users hand the terminal in files and commands: register maps, check files and the request
// language. Any input must end, refuse only by line, and keep the readers' promises.
#include "fuzz_check.h"

#include "modbus/check_file.h"
#include "modbus/function_table.h"
#include "modbus/map_values.h"
#include "modbus/register_map.h"
#include "modbus/request_language.h"

#include <string>

namespace {

void registerMap(const std::string& text)
{
    const modbus::RegisterMap map = modbus::ReadRegisterMap(text);
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
    }
}

void checkFile(const std::string& text)
{
    const modbus::CheckFile file = modbus::ReadCheckFile(text);
    for (const std::string& why : file.refused)
        FUZZ_CHECK(why.starts_with("line "));
    for (std::size_t i = 1; i < file.steps.size(); ++i)
        FUZZ_CHECK(file.steps[i - 1].line < file.steps[i].line);
}

// A command that builds a frame prints back to one that builds the same frame.
void requestLanguage(const std::string& text)
{
    const modbus::ParsedRequest parsed = modbus::ParseRequest(text);
    if (!parsed.error.empty())
        return;
    const modbus::BuiltRequest built = modbus::BuildRequest(1, parsed.fields);
    FUZZ_CHECK(built.notSent.empty() != built.frame.empty());
    if (built.frame.empty())
        return;
    const modbus::ParsedRequest again = modbus::ParseRequest(modbus::PrintRequest(parsed.fields));
    FUZZ_CHECK(again.error.empty());
    FUZZ_CHECK(modbus::BuildRequest(1, again.fields).frame == built.frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the reader, so one corpus serves all three.
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        registerMap(text);
        break;
    case 1:
        checkFile(text);
        break;
    default:
        requestLanguage(text);
    }
    return 0;
}
