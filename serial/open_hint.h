// Why a port could not be opened, in words a user can act on. The Win32 code alone says
// "access denied" both for a port another program holds and for one the user may not use.
#pragma once

#include <string>

namespace comm {

// For the last CreateFileA that failed on this thread: the reason and the usual remedy, or
// empty when there is nothing to add to the error code.
std::string OpenFailureHint();

} // namespace comm
