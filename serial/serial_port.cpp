#include "serial_port.h"

#include "open_hint.h"
#include "pseudo_terminal.h"
#include "win32/device_gone.h"
#include "win32_comm.h"

#include <algorithm>
#include <cstring>

namespace SerialPort {
namespace {

    using namespace comm;

    Handle PortHandle = kInvalidHandle; // as after Close
    // Every transfer uses at most 255 of these bytes.
    unsigned char IoBuffer[256];
    constexpr Dword kPiece = 255;

    constexpr CommTimeouts kTimeouts = {
        20, // ReadIntervalTimeout: a reply ends after 20 ms without a byte
        1, // ReadTotalTimeoutMultiplier
        1, // ReadTotalTimeoutConstant: an idle read of 255 bytes waits 256 ms
        1, // WriteTotalTimeoutMultiplier
        10, // WriteTotalTimeoutConstant
    };

    bool gone = false;
    int idleReadLimit = 0; // ms; 0: the designed time-outs

    // Shows the failed step with the platform's code; the port is closed after the user saw it.
    bool failStep(const ReportHook& report, const std::string& text)
    {
        const Dword code = GetLastError();
        if (report)
            report(text + " Error: " + std::to_string(static_cast<std::int32_t>(code)));
        ClosePort();
        return false;
    }

    // A failed read or write of an open port may mean its device went away. Once seen, the
    // loss stands until Close or Open: a later empty read must not forget it.
    void noteFailure(Bool ok)
    {
        if (!ok && PortHandle != kInvalidHandle && MeansDeviceGone(GetLastError()))
            gone = true;
    }

    int writePiece(const char* data, Dword length)
    {
        std::memcpy(IoBuffer, data, length);
        Dword written = 0;
        noteFailure(WriteFile(PortHandle, IoBuffer, length, &written, nullptr));
        return static_cast<int>(written);
    }

} // namespace

bool OpenPort(const std::string& sPort, const std::string& sSettings, const ReportHook& report)
{
    PortHandle
        = CreateFileA(sPort.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0);
    gone = false;
    if (PortHandle == kInvalidHandle) {
        // Saying nothing here would leave the user with an open-looking window and a dead port.
        const Dword code = GetLastError();
        const std::string hint = OpenFailureHint();
        if (report)
            report("Unable to open port " + sPort
                + " Error: " + std::to_string(static_cast<std::int32_t>(code))
                + (hint.empty() ? "" : "\n\n" + hint));
        return false;
    }
    CommTimeouts timeouts = kTimeouts;
    idleReadLimit = 0;
    if (!SetCommTimeouts(PortHandle, &timeouts))
        return failStep(report, "Unable to set timeouts for port " + sPort);
    Dcb dcb {};
    if (!BuildCommDCBA(sSettings.c_str(), &dcb))
        return failStep(report, "Unable to build Comm DCB " + sSettings);
    if (!SetCommState(PortHandle, &dcb))
        return failStep(report, "Unable to set Comm DCB " + sSettings);
    return true;
}

void ClosePort()
{
    CloseHandle(PortHandle);
    // The old handle must not reach anything again, whatever was opened since.
    PortHandle = kInvalidHandle;
    gone = false;
}

void FlushPort() { FlushFileBuffers(PortHandle); }

modbus::ByteString ReadPort()
{
    Dword count = 0;
    const Bool ok = ReadFile(PortHandle, IoBuffer, kPiece, &count, nullptr);
    noteFailure(ok);
    if (count > 0)
        return modbus::ByteString(reinterpret_cast<const char*>(IoBuffer), count);
    FlushPort();
    return {};
}

int WritePort(const modbus::ByteString& sData)
{
    // An empty text still makes one platform write, of 0 bytes, as designed: "&Send Txt" with
    // an empty box reaches the port like any other text, and its count says 0.
    if (sData.size() <= kPiece)
        return writePiece(sData.data(), static_cast<Dword>(sData.size()));
    int total = 0;
    for (std::size_t at = 0; at < sData.size(); at += kPiece) {
        const Dword length = static_cast<Dword>(std::min<std::size_t>(kPiece, sData.size() - at));
        const int written = writePiece(sData.data() + at, length);
        total += written;
        if (written < static_cast<int>(length))
            break;
    }
    return total;
}

void SetIdleReadLimit(int ms)
{
    if (ms == idleReadLimit || PortHandle == kInvalidHandle)
        return;
    idleReadLimit = ms;
    CommTimeouts timeouts = kTimeouts;
    if (ms > 0) {
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = Dword(ms);
    }
    SetCommTimeouts(PortHandle, &timeouts);
}

bool IsPseudoTerminal() { return comm::IsPseudoTerminal(PortHandle); }

bool PortGone() { return gone; }

} // namespace SerialPort
