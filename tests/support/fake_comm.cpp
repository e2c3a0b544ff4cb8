#include "fake_comm.h"

#include "serial/open_hint.h"
#include "serial/pseudo_terminal.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {
    Platform platform;
    comm::Dword lastError = 0;

    comm::Bool record(const char* name, comm::Handle h, std::string bytes = {})
    {
        platform.calls.push_back({ name, h, std::move(bytes) });
        if (platform.failStep == name) {
            lastError = platform.failCode;
            return 0;
        }
        return 1;
    }

    bool isOpen(comm::Handle h)
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

Handle CreateFileA(const char* name, Dword, Dword share, void*, Dword, Dword, Handle)
{
    fake::record("CreateFileA", 0, name);
    if (platform.openFails || share != 0) {
        fake::lastError = kErrorFileNotFound;
        return kInvalidHandle;
    }
    platform.open.push_back(platform.nextHandle);
    return platform.nextHandle++;
}

Bool SetCommTimeouts(Handle h, const CommTimeouts* t)
{
    platform.lastTimeouts = *t;
    return fake::record("SetCommTimeouts", h);
}

Bool BuildCommDCBA(const char* def, Dcb* dcb)
{
    platform.lastSettings = def;
    dcb->BaudRate = 1;
    return fake::record("BuildCommDCBA", 0, def);
}

Bool SetCommState(Handle h, const Dcb* dcb)
{
    platform.lastState = *dcb;
    return fake::record("SetCommState", h);
}

Dword GetLastError() { return fake::lastError; }

std::string OpenFailureHint() { return platform.openHint; }

bool IsPseudoTerminal(Handle h) { return platform.pseudoTerminal && fake::isOpen(h); }

Bool ReadFile(Handle h, void* buffer, Dword n, Dword* got, void*)
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
    *got = Dword(next.size());
    return 1;
}

Bool WriteFile(Handle h, const void* buffer, Dword n, Dword* written, void*)
{
    fake::record("WriteFile", h, std::string(static_cast<const char*>(buffer), n));
    *written = 0;
    if (!fake::isOpen(h))
        return 0;
    Dword accepted = n;
    const std::size_t index = platform.writes().size() - 1;
    if (index < platform.writeLimits.size() && platform.writeLimits[index] < 0) {
        fake::lastError = platform.failCode; // the write fails with that code
        return 0;
    }
    if (index < platform.writeLimits.size())
        accepted = std::min<Dword>(n, Dword(platform.writeLimits[index]));
    *written = accepted;
    return 1;
}

Bool FlushFileBuffers(Handle h)
{
    fake::record("FlushFileBuffers", h);
    return fake::isOpen(h);
}

Bool CloseHandle(Handle h)
{
    fake::record("CloseHandle", h);
    const bool was = fake::isOpen(h);
    std::erase(platform.open, h);
    return was;
}

} // namespace comm
