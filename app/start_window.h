// Puts the command line's choices into the window, as a user would type or click them.
#pragma once

#include "command_line.h"

namespace window {
class frmSerial;
}

// Shows the window (and the monitor when asked); Open is pressed once the window is up.
void StartWindow(window::frmSerial& frm, const StartOptions& start);
