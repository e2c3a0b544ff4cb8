// quillet-cli check FILE [--junit OUT.xml]: runs a file of steps against the slave, reports
// each in TAP on stdout (and as JUnit XML on request), exit 0 when every step passed, 1 when any
// failed, 2 for a file that cannot be read (every bad line named, nothing sent).
#pragma once

#include "cli_options.h"

namespace cli {

int RunCheck(const Options& options);

} // namespace cli
