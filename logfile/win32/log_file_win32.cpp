#include "logfile/log_file.h"

#include <windows.h>

namespace logfile {
namespace {

    HANDLE native(File file) { return reinterpret_cast<HANDLE>(file); }

    std::wstring wide(const std::string& utf8)
    {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
        std::wstring out(std::size_t(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
        return out;
    }

} // namespace

Opened OpenAppend(const std::string& path)
{
    // FILE_APPEND_DATA alone: every write goes to the end, as O_APPEND does.
    const HANDLE h = ::CreateFileW(wide(path).c_str(), FILE_APPEND_DATA,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return { kNoFile, int(::GetLastError()) };
    return { reinterpret_cast<File>(h), 0 };
}

int Write(File file, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(
                native(file), bytes.data() + done, DWORD(bytes.size() - done), &n, nullptr))
            return int(::GetLastError());
        if (n == 0)
            return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

void Close(File file) { ::CloseHandle(native(file)); }

std::string ErrorText(int code)
{
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n ? std::string(text, n) : "error " + std::to_string(code);
    ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out;
}

int NotOpenError() { return ERROR_INVALID_HANDLE; }

void PrepareProcess() { }

} // namespace logfile
