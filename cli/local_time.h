// The local time as the data log writes it: "2026-12-07T14:02:07.351".
#pragma once

#include <string>

namespace cli {

std::string IsoLocalTimeNow();

} // namespace cli
