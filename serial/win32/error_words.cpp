#include "error_words.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace comm {
namespace {

    // By their winerror.h values, so this table needs no <windows.h>.
    constexpr std::pair<Dword, const char*> kWords[] = {
        { kErrorFileNotFound, "no such device" }, { 3, "no such device" }, // ERROR_PATH_NOT_FOUND
        { kErrorAccessDenied,
            "access denied: another program holds the port, or this user may not use it (on "
            "Linux, the dialout group)" },
        { kErrorInvalidHandle, "the port is not open" },
        { 22, "the device did not take the command (unplugged?)" }, // ERROR_BAD_COMMAND
        { kErrorGenFailure, "the device stopped answering (unplugged?)" },
        { kErrorNotSupported, "not a serial device" },
        { kErrorInvalidParameter, "a setting the port does not take" },
        { 995, "the operation was aborted" }, // ERROR_OPERATION_ABORTED
        { 1167, "the device is not connected" }, // ERROR_DEVICE_NOT_CONNECTED
        { 1617, "the device was removed" }, // ERROR_DEVICE_REMOVED
    };

} // namespace

std::string CommErrorWords(Dword code)
{
    const auto* known = std::find_if(std::begin(kWords), std::end(kWords),
        [code](const auto& entry) { return entry.first == code; });
    return known != std::end(kWords) ? known->second : "error " + std::to_string(code);
}

} // namespace comm
