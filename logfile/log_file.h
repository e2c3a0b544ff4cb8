// Appending to the session log's files: the one place that calls the system for them, with
// a POSIX and a Windows definition, chosen when building. Plain C++: nothing here links Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace logfile {

using File = std::intptr_t;
inline constexpr File kNoFile = -1;

struct Opened
{
    File file; // kNoFile on failure
    int error; // 0, or the system's code (errno, or GetLastError on Windows)
};

// Opens path (UTF-8) for appending, creating it when missing.
Opened OpenAppend(const std::string& path);

// Writes every byte before it returns, so a crash after it loses nothing: 0, or the system's
// code of the failure.
int Write(File file, std::string_view bytes);

void Close(File file);

// The system's words for a code Write or OpenAppend gave, and the code for "not open".
std::string ErrorText(int code);
int NotOpenError();

// Process-wide set-up: a write past a file size limit must fail, not end the program.
void PrepareProcess();

} // namespace logfile
