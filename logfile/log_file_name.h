// The session log's file name, from the port text as typed (UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace logfile {

// The session log's file name, in the current directory. A COM port keeps the long-standing
// rule, "Quillet_log_" + the first four characters + ".txt" (COM5: gives Quillet_log_COM5.txt,
// and COM1 and COM12 share a file); blanks around it do not count, and an empty text (or
// blanks only) gives Quillet_log_.txt. Any other text names a device, and the file is named
// after it: "/dev/ttyUSB0" and "ttyUSB0" give Quillet_log_ttyUSB0.txt, "/dev/pts/3" gives
// Quillet_log_pts_3.txt; characters other than letters, digits, ".", "-" and "_" become "_",
// one for each character however many bytes it takes.
std::string LogFileName(std::string_view portText);

} // namespace logfile
