// The session log: files opened for appending under small numbers, written in pieces.
#pragma once

#include "log_file_name.h"

#include <QString>

#include <cstdint>
#include <string_view>

namespace window {

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
