// quillet-cli scan: tries the addresses at each line setting in the plan's order, says what
// answered (one line a device on stdout, progress on stderr when it is a terminal) and asks
// each device found who it is.
#pragma once

#include "cli_options.h"

namespace cli {

// Exit status: 0 when something was found, 1 when nothing answered or the port cannot be opened.
int RunScan(const Options& options);

} // namespace cli
