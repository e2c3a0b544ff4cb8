// Write and verify over a link: the written coils or registers read back and compared, for
// --verify and a check file's "verify" alike.
#pragma once

#include "cli_port.h"

#include "modbus/request_fields.h"

#include <string>

namespace cli {

// Empty when the slave at address holds what write put; else what differs ("holding 5: wrote
// 1234, read 0") or what the read-back came to ("no reply"). Its notes go to stderr.
std::string ReadBackDifference(Link& link, const modbus::RequestFields& write, int address);

} // namespace cli
