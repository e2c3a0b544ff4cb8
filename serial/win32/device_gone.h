// The Windows error codes that mean the serial device went away (a USB adapter pulled, its
// driver unloaded). Drivers differ in which one they give, so the module asks this one table.
#pragma once

#include "serial/win32_comm.h"

namespace comm {

// Whether a failed read or write of an open port with this code means the device is gone.
// Access denied counts: some USB serial drivers give it once the device has vanished (at Open
// it means another program holds the port, but Open does not ask this).
bool MeansDeviceGone(Dword code);

} // namespace comm
