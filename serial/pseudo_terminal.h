// Whether an open port is a pseudo-terminal (the demo slave, a bridge to a network gateway),
// where parity does not apply: Linux's pty driver drops it. Not a Win32 call: each backend
// defines it (Windows has no such ports and says false).
#pragma once

#include "serial/win32_comm.h"

namespace comm {

bool IsPseudoTerminal(Handle hFile);

} // namespace comm
