// Check files and the request language from other people: any text must end and refuse only by
// line; steps keep their order; a command that builds a frame prints back to one that builds the
// same frame. Steps are read with and without a map, so names are tried too.
#include "fuzz_check.h"

#include "benchfiles/check_file.h"
#include "benchfiles/named_request.h"
#include "benchfiles/register_map.h"
#include "modbus/function_table.h"
#include "requests/request_language.h"

#include <string>

namespace {

const modbus::RegisterMap& benchMap()
{
    static const modbus::RegisterMap map
        = modbus::ReadRegisterMap("table,address,name,type,order,scale,offset,unit,enum\n"
                                  "input,30001,supply,u16,,0.001,,V,\n"
                                  "holding,0,setpoint,s16,,0.1,,°C,\n"
                                  "holding,7,mode,u16,,,,,0=off;1=on\n"
                                  "holding,20,level,f64,DCBA,2,-1,m,\n"
                                  "coil,0,pump,bool,,,,,\n");
    return map;
}

void checkFile(const std::string& text, const modbus::RegisterMap* map)
{
    const modbus::CheckFile file = modbus::ReadCheckFile(text, map);
    for (const std::string& why : file.refused)
        FUZZ_CHECK(why.starts_with("line "));
    for (std::size_t i = 1; i < file.steps.size(); ++i)
        FUZZ_CHECK(file.steps[i - 1].line < file.steps[i].line);
}

void requestLanguage(const std::string& text)
{
    const modbus::NamedRequest named
        = modbus::ParseNamedRequest(text, benchMap(), modbus::WordOrder::ABCD);
    if (!named.parsed.error.empty())
        return;
    const modbus::BuiltRequest built = modbus::BuildRequest(1, named.parsed.fields);
    FUZZ_CHECK(built.notSent.empty() != built.frame.empty());
    if (built.frame.empty())
        return;
    const modbus::ParsedRequest again
        = modbus::ParseRequest(modbus::PrintRequest(named.parsed.fields));
    FUZZ_CHECK(again.error.empty());
    FUZZ_CHECK(modbus::BuildRequest(1, again.fields).frame == built.frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkFile(text, nullptr);
    checkFile(text, &benchMap());
    if (text.find('\n') == std::string::npos)
        requestLanguage(text);
    return 0;
}
