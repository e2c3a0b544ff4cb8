// The Windows error codes that mean the serial device went away (a USB adapter pulled, its
// driver unloaded). Drivers differ in which one they give, so the module asks this one table.
#pragma once

#include "serial/win32_comm.h"

namespace comm {

// Whether a failed read or write with this code means the device is gone. Access denied
// counts only on a port that was open: some USB serial drivers give it once the device has
// vanished, while at Open it means another program holds the port.
bool MeansDeviceGone(Dword code, bool portWasOpen);

} // namespace comm
