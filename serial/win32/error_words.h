// What a comm call's Windows error code means, in words a user reads ("no such device"): the
// comm layer gives these codes on every platform, so the table is plain data, tested everywhere.
#pragma once

#include "serial/win32_comm.h"

#include <string>

namespace comm {

// The code's meaning; "error N" for a code the table does not know.
std::string CommErrorWords(Dword code);

} // namespace comm
