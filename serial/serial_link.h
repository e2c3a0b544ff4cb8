// A serial line under every caller that sends requests: the window's SerialPort module and
// quillet-cli open it through this, and it knows its own timing from the settings it was
// opened with, so no caller works out a character's time from a speed. Network links are to
// join it as links of their own.
#pragma once

#include "win32_comm.h"

#include <cstdint>
#include <string>

namespace comm {

class SerialLink
{
public:
    // The step of opening that failed, and the platform's code for it.
    enum class Step { None, Open, Timeouts, Build, State };
    struct Failure
    {
        Step step = Step::None;
        Dword code = 0;
    };

    SerialLink() = default;
    ~SerialLink() { close(); }
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens name, sets the time-outs, then the line from mode ("9600,e,8,1"), in that order;
    // a port opened but not configured is closed again.
    Failure open(const std::string& name, const CommTimeouts& timeouts, const std::string& mode);
    void close();
    Handle handle() const { return handle_; }
    bool isOpen() const { return handle_ != kInvalidHandle; }

    // One character: the start bit, the data bits, the parity bit if any, the stop bits.
    std::int64_t characterUs() const;
    // The silence the standard asks between frames: 3.5 characters, 1.75 ms above 19200.
    std::int64_t interFrameUs() const;
    // The quiet that ends what a slave sends: 3.5 characters, at least 20 ms (USB adapters hand
    // bytes over in slices of up to 16 ms).
    std::int64_t silenceUs() const;
    // Whether read times follow the speed: a pseudo-terminal passes bytes at once.
    bool timed() const;

private:
    Handle handle_ = kInvalidHandle;
    Dcb dcb_ {};
};

} // namespace comm
