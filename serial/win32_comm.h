// The Win32 communications calls and records the serial module is written against.
// serial/posix/ defines them on termios; serial/win32/ forwards them to kernel32.
// The calls keep their Win32 names; constants and types have names of their own, since
// <windows.h> makes macros of the Win32 ones and the Windows backend sees both.
#pragma once

#include <cstdint>

namespace comm {

using Handle = std::intptr_t;
using Dword = std::uint32_t;
using Bool = int;
using Byte = std::uint8_t;

inline constexpr Handle kInvalidHandle = -1;
inline constexpr Dword kGenericRead = 0x80000000u;
inline constexpr Dword kGenericWrite = 0x40000000u;
inline constexpr Dword kOpenExisting = 3;
inline constexpr Dword kMaxDword = 0xFFFFFFFFu;

inline constexpr Byte kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3,
                      kSpaceParity = 4;
inline constexpr Byte kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;

// The codes GetLastError gives.
inline constexpr Dword kErrorFileNotFound = 2;
inline constexpr Dword kErrorAccessDenied = 5; // also: the port is in use
inline constexpr Dword kErrorInvalidHandle = 6;
inline constexpr Dword kErrorGenFailure = 31; // the device went away
inline constexpr Dword kErrorNotSupported = 50; // not a serial device
inline constexpr Dword kErrorInvalidParameter = 87;

struct CommTimeouts
{
    Dword ReadIntervalTimeout;
    Dword ReadTotalTimeoutMultiplier;
    Dword ReadTotalTimeoutConstant;
    Dword WriteTotalTimeoutMultiplier;
    Dword WriteTotalTimeoutConstant;
};

// The line settings part of the Win32 record; flow control and translation stay off.
// The Windows backend copies these fields into the real record, which has many more.
struct Dcb
{
    Dword DCBlength;
    Dword BaudRate;
    Byte ByteSize;
    Byte Parity;
    Byte StopBits;
};

Handle CreateFileA(const char* lpFileName, Dword dwDesiredAccess, Dword dwShareMode,
    void* lpSecurityAttributes, Dword dwCreationDisposition, Dword dwFlagsAndAttributes,
    Handle hTemplateFile);
Bool SetCommTimeouts(Handle hFile, const CommTimeouts* lpCommTimeouts);
Bool BuildCommDCBA(const char* lpDef, Dcb* lpDCB);
Bool SetCommState(Handle hFile, const Dcb* lpDCB);
Dword GetLastError();
Bool ReadFile(Handle hFile, void* lpBuffer, Dword nNumberOfBytesToRead, Dword* lpNumberOfBytesRead,
    void* lpOverlapped);
Bool WriteFile(Handle hFile, const void* lpBuffer, Dword nNumberOfBytesToWrite,
    Dword* lpNumberOfBytesWritten, void* lpOverlapped);
Bool FlushFileBuffers(Handle hFile);
Bool CloseHandle(Handle hFile);

} // namespace comm
