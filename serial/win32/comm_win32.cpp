// The comm calls forwarded to kernel32. The project's own mode parser reads line settings
// here too, so that the same text means the same settings on every platform.
#include "serial/comm_mode.h"
#include "serial/open_hint.h"
#include "serial/port_name.h"
#include "serial/pseudo_terminal.h"
#include "serial/win32_comm.h"

#include <windows.h>

#include <string>

namespace comm {
namespace {

    HANDLE native(Handle h) { return reinterpret_cast<HANDLE>(h); }

    Bool fail(DWORD code)
    {
        ::SetLastError(code);
        return 0;
    }

    // "COM5" and "COM5:" open \\.\COM5, which also reaches COM10 and above; any other name is
    // passed on as typed.
    std::string devicePath(std::string_view name)
    {
        if (const auto number = ComPortNumber(WithoutDevicePrefix(name)))
            return "\\\\.\\COM" + std::to_string(*number);
        return std::string(name);
    }

} // namespace

Handle CreateFileA(const char* lpFileName, Dword, Dword, void*, Dword, Dword, Handle)
{
    const std::string path = lpFileName ? devicePath(lpFileName) : std::string();
    if (path.empty()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return kInvalidHandle;
    }
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kInvalidHandle;
    // Only a communications device: a file or pipe of that name is closed untouched.
    DCB probe {};
    probe.DCBlength = sizeof probe;
    if (::GetFileType(h) != FILE_TYPE_CHAR || !::GetCommState(h, &probe)) {
        ::CloseHandle(h);
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return kInvalidHandle;
    }
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return reinterpret_cast<Handle>(h);
}

Bool SetCommTimeouts(Handle hFile, const CommTimeouts* t)
{
    if (!t)
        return fail(ERROR_INVALID_PARAMETER);
    COMMTIMEOUTS native_ { t->ReadIntervalTimeout, t->ReadTotalTimeoutMultiplier,
        t->ReadTotalTimeoutConstant, t->WriteTotalTimeoutMultiplier, t->WriteTotalTimeoutConstant };
    return ::SetCommTimeouts(native(hFile), &native_);
}

Bool BuildCommDCBA(const char* lpDef, Dcb* lpDCB)
{
    const auto parsed = lpDef ? ParseCommMode(lpDef) : std::nullopt;
    if (!parsed || !lpDCB)
        return fail(ERROR_INVALID_PARAMETER);
    *lpDCB = *parsed;
    lpDCB->DCBlength = sizeof(Dcb);
    return 1;
}

Bool SetCommState(Handle hFile, const Dcb* lpDCB)
{
    if (!lpDCB)
        return fail(ERROR_INVALID_PARAMETER);
    // Start from what the driver has: the real record has fields ours does not name.
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(native(hFile), &dcb))
        return 0;
    dcb.BaudRate = lpDCB->BaudRate;
    dcb.ByteSize = lpDCB->ByteSize;
    dcb.Parity = lpDCB->Parity;
    dcb.StopBits = lpDCB->StopBits;
    dcb.fParity = lpDCB->Parity != NOPARITY;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return ::SetCommState(native(hFile), &dcb);
}

Dword GetLastError() { return ::GetLastError(); }

Bool ReadFile(Handle hFile, void* lpBuffer, Dword n, Dword* lpNumberOfBytesRead, void*)
{
    DWORD got = 0;
    const BOOL ok = ::ReadFile(native(hFile), lpBuffer, n, &got, nullptr);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = got;
    return ok;
}

Bool WriteFile(Handle hFile, const void* lpBuffer, Dword n, Dword* lpNumberOfBytesWritten, void*)
{
    DWORD put = 0;
    const BOOL ok = ::WriteFile(native(hFile), lpBuffer, n, &put, nullptr);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = put;
    return ok;
}

Bool FlushFileBuffers(Handle hFile) { return ::FlushFileBuffers(native(hFile)); }

Bool CloseHandle(Handle hFile)
{
    if (hFile == kInvalidHandle)
        return fail(ERROR_INVALID_HANDLE);
    return ::CloseHandle(native(hFile));
}

std::string OpenFailureHint()
{
    // Windows says "access denied" both for a port another program holds and for one the
    // user may not use; the first is by far the more common.
    if (::GetLastError() == ERROR_ACCESS_DENIED)
        return "Another program may hold the port: close it, or choose another port.";
    return {};
}

bool IsPseudoTerminal(Handle) { return false; }

} // namespace comm
