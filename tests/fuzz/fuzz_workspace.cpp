// Workspaces from other people: any file must end, refuse only by line and change nothing when
// refused; what opens writes back to a file that opens the same.
#include "fuzz_check.h"

#include "benchfiles/workspace.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const modbus::OpenedWorkspace opened
        = modbus::ReadWorkspace(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& why : opened.refused)
        FUZZ_CHECK(why.starts_with("line "));
    for (const std::string& notice : opened.notices)
        FUZZ_CHECK(notice.starts_with("line "));
    if (!opened.refused.empty()) {
        FUZZ_CHECK(opened.workspace == modbus::Workspace {});
        return 0;
    }
    const modbus::OpenedWorkspace again = modbus::ReadWorkspace(WriteWorkspace(opened.workspace));
    FUZZ_CHECK(again.refused.empty() && again.notices.empty());
    // JSON text is UTF-8, so what was read is written back byte for byte.
    FUZZ_CHECK(again.workspace == opened.workspace);
    return 0;
}
