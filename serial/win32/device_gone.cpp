#include "device_gone.h"

#include <algorithm>
#include <iterator>

namespace comm {
namespace {

    // By their winerror.h values, so this table needs no <windows.h> and is tested everywhere.
    constexpr Dword kGone[] = {
        6, // ERROR_INVALID_HANDLE
        22, // ERROR_BAD_COMMAND
        kErrorGenFailure, // 31, ERROR_GEN_FAILURE
        995, // ERROR_OPERATION_ABORTED
        1167, // ERROR_DEVICE_NOT_CONNECTED
        1617, // ERROR_DEVICE_REMOVED
    };

} // namespace

bool MeansDeviceGone(Dword code)
{
    if (code == kErrorAccessDenied)
        return true;
    return std::find(std::begin(kGone), std::end(kGone), code) != std::end(kGone);
}

} // namespace comm
