// The session log: files opened for appending under small numbers, written in pieces.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

namespace window {

// The session log's file name, in the current directory. A COM port keeps the long-standing
// rule, "Quillet_log_" + the first four characters + ".txt" (COM5: gives Quillet_log_COM5.txt,
// and COM1 and COM12 share a file). Any other text names a device, and the file is named after
// it: "/dev/ttyUSB0" and "ttyUSB0" give Quillet_log_ttyUSB0.txt, "/dev/pts/3" gives
// Quillet_log_pts_3.txt; characters other than letters, digits, ".", "-" and "_" become "_".
QString LogFileName(const QString& portText);

namespace LogFiles {

    // The lowest number not in use, from 1.
    std::int16_t FreeFile();

    // Opens (creating it when missing) for appending. 0, or the system's code of the failure.
    int OpenAppend(std::int16_t number, const QString& fileName);

    // Writes the bytes, followed by CR LF for a line-ending piece, in one system call: the
    // piece reaches the operating system before this returns. 0, or the system's code of the
    // failure.
    int Write(std::int16_t number, std::string_view bytes, bool lineEnd);

    // Closes every open file; nothing happens when none is open.
    void CloseAll();

    // The system's words for a code the calls above gave.
    QString ErrorText(int code);

} // namespace LogFiles

} // namespace window
