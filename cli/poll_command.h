// quillet-cli --every: a polling run of one read, a line per poll on stdout and the run's
// statistics on stderr at the end (also after Ctrl+C).
#pragma once

#include "cli_options.h"
#include "cli_port.h"

#include "modbus/byte_string.h"

namespace cli {

// Exit status: 0 when every poll had a good reply, 1 otherwise.
// A port the platform refuses ends the run at once, told on stderr.
int RunPolls(Port& port, Link& link, const Options& options, const modbus::ByteString& frame);

} // namespace cli
