#include "fake_comm.h"

#include "serial/open_hint.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {
    Platform platform;
    comm::DWORD lastError = 0;

    comm::BOOL record(const char* name, comm::HANDLE h, std::string bytes = {})
    {
        platform.calls.push_back({ name, h, std::move(bytes) });
        if (platform.failStep == name) {
            lastError = platform.failCode;
            return 0;
        }
        return 1;
    }

    bool isOpen(comm::HANDLE h)
    {
        return std::find(platform.open.begin(), platform.open.end(), h) != platform.open.end();
    }
} // namespace

std::vector<std::string> Platform::writes() const
{
    std::vector<std::string> out;
    for (const Call& c : calls)
        if (c.name == "WriteFile")
            out.push_back(c.bytes);
    return out;
}

Platform& Reset()
{
    platform = Platform {};
    return platform;
}

Platform& Get() { return platform; }

} // namespace fake

namespace comm {

using fake::platform;

HANDLE CreateFileA(const char* name, DWORD, DWORD share, void*, DWORD, DWORD, HANDLE)
{
    fake::record("CreateFileA", 0, name);
    if (platform.openFails || share != 0) {
        fake::lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    platform.open.push_back(platform.nextHandle);
    return platform.nextHandle++;
}

BOOL SetCommTimeouts(HANDLE h, const COMMTIMEOUTS* t)
{
    platform.lastTimeouts = *t;
    return fake::record("SetCommTimeouts", h);
}

BOOL BuildCommDCBA(const char* def, DCB* dcb)
{
    platform.lastSettings = def;
    dcb->BaudRate = 1;
    return fake::record("BuildCommDCBA", 0, def);
}

BOOL SetCommState(HANDLE h, const DCB* dcb)
{
    platform.lastState = *dcb;
    return fake::record("SetCommState", h);
}

DWORD GetLastError() { return fake::lastError; }

std::string OpenFailureHint() { return platform.openHint; }

BOOL ReadFile(HANDLE h, void* buffer, DWORD n, DWORD* got, void*)
{
    fake::record("ReadFile", h);
    *got = 0;
    if (!fake::isOpen(h) || platform.reads.empty())
        return fake::isOpen(h);
    const std::string next = platform.reads.front().substr(0, n);
    platform.reads.front().erase(0, next.size());
    if (platform.reads.front().empty())
        platform.reads.pop_front();
    std::memcpy(buffer, next.data(), next.size());
    *got = DWORD(next.size());
    return 1;
}

BOOL WriteFile(HANDLE h, const void* buffer, DWORD n, DWORD* written, void*)
{
    fake::record("WriteFile", h, std::string(static_cast<const char*>(buffer), n));
    *written = 0;
    if (!fake::isOpen(h))
        return 0;
    DWORD accepted = n;
    const std::size_t index = platform.writes().size() - 1;
    if (index < platform.writeLimits.size())
        accepted = std::min<DWORD>(n, DWORD(platform.writeLimits[index]));
    *written = accepted;
    return 1;
}

BOOL FlushFileBuffers(HANDLE h)
{
    fake::record("FlushFileBuffers", h);
    return fake::isOpen(h);
}

BOOL CloseHandle(HANDLE h)
{
    fake::record("CloseHandle", h);
    const bool was = fake::isOpen(h);
    std::erase(platform.open, h);
    return was;
}

} // namespace comm
