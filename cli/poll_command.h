// quillet-cli --every: a polling run of one read, to one slave or to each of a list in turn, a
// line per poll on stdout and the run's statistics on stderr at the end (also after Ctrl+C). A
// slave of a list that stops answering is backed off, so that the others keep their pace.
#pragma once

#include "cli_options.h"
#include "cli_port.h"

#include "modbus/byte_string.h"

#include <vector>

namespace cli {

// frames: the read to each slave, in turn. Exit status: 0 when every poll had a good reply, 1
// otherwise. A port the platform refuses ends the run at once, told on stderr.
int RunPolls(
    Port& port, Link& link, const Options& options, const std::vector<modbus::ByteString>& frames);

} // namespace cli
