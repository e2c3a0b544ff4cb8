// The mode syntax of line settings: "9600,n,8,1" or "baud=9600 parity=N data=8 stop=1".
#pragma once

#include "win32_comm.h"

#include <optional>
#include <string_view>

namespace comm {

// Speed, parity, data and stop bits; nullopt for malformed text.
std::optional<Dcb> ParseCommMode(std::string_view text);

} // namespace comm
