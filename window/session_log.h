// The session log: files opened for appending under small numbers, written in pieces.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

namespace window {

// "Quillet_log_" + the first four characters of the port text + ".txt". Path separators and
// control characters among those four become "_", so a typed "/dev/ttyUSB0" names a file in
// the current directory rather than a path.
QString LogFileName(const QString& portText);

namespace LogFiles {

    // The lowest number not in use, from 1.
    std::int16_t FreeFile();

    // Opens (creating it when missing) for appending. 0, or the errno of the failure.
    int OpenAppend(std::int16_t number, const QString& fileName);

    // Writes the bytes, followed by CR LF for a line-ending piece, in one system call: the
    // piece reaches the operating system before this returns. 0, or the errno of the failure.
    int Write(std::int16_t number, std::string_view bytes, bool lineEnd);

    // Closes every open file; nothing happens when none is open.
    void CloseAll();

} // namespace LogFiles

} // namespace window
