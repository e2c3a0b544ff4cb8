// The local time as the data logs write it: "2026-12-07T14:02:07.351".
#pragma once

#include <string>

namespace logfile {

std::string IsoLocalTimeNow();

} // namespace logfile
