#include "serial_link.h"

#include "line_timing.h"
#include "pseudo_terminal.h"

#include <cstdlib>
#include <string_view>

namespace comm {

SerialLink::Failure SerialLink::open(
    const std::string& name, const CommTimeouts& timeouts, const std::string& mode)
{
    close();
    handle_
        = CreateFileA(name.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting, 0, 0);
    if (handle_ == kInvalidHandle)
        return { Step::Open, GetLastError() };
    const auto failed = [this](Step step) {
        const Failure failure { step, GetLastError() };
        close();
        return failure;
    };
    if (!SetCommTimeouts(handle_, &timeouts))
        return failed(Step::Timeouts);
    dcb_ = {};
    if (!BuildCommDCBA(mode.c_str(), &dcb_))
        return failed(Step::Build);
    if (!SetCommState(handle_, &dcb_))
        return failed(Step::State);
    return {};
}

void SerialLink::close()
{
    if (handle_ != kInvalidHandle)
        CloseHandle(handle_);
    handle_ = kInvalidHandle;
}

std::int64_t SerialLink::characterUs() const
{
    // Which parity it is makes no difference here; ASCII characters may carry 7 data bits.
    return modbus::CharacterUs(int(dcb_.BaudRate), dcb_.Parity == kNoParity ? 'n' : 'e',
        dcb_.StopBits == kTwoStopBits ? 2 : 1, dcb_.ByteSize == 7 ? 7 : 8);
}

std::int64_t SerialLink::interFrameUs() const { return modbus::InterFrameUs(int(dcb_.BaudRate)); }

std::int64_t SerialLink::silenceUs() const { return modbus::SilenceUs(int(dcb_.BaudRate)); }

bool SerialLink::timed() const
{
    // A pseudo-terminal hands bytes over at once, unless it is bridged to a line that paces
    // them (QUILLET_TIMED_PTY=1: a bridge to a real port, or a test's paced line).
    const char* bridged = std::getenv("QUILLET_TIMED_PTY");
    return isOpen()
        && (!IsPseudoTerminal(handle_) || (bridged && std::string_view(bridged) == "1"));
}

} // namespace comm
