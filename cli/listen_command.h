// quillet-cli listen: a line another master drives, heard and never written to.
#pragma once

#include "cli_options.h"

namespace cli {

// A line per frame on stdout (text, CSV or JSON), per-slave statistics on stderr at the end and
// on Ctrl+C; 0 when frames were heard and all were good, 1 otherwise, 2 when it cannot start.
int RunListen(const Options& options);

} // namespace cli
