// Whether the adapter hears itself, found rather than guessed before a write whose good reply
// is a copy of it (5, 6, 8/0, 22), which no content can tell from its echo. A valid frame for
// address 248 (reserved: no slave answers it, and a good frame leaves no mark in a slave's
// error counters) comes back only as an adapter's echo, within its time on the line and a
// latency allowance. Times are passed in.
#pragma once

#include "modbus/byte_string.h"

#include <cstdint>

namespace modbus {

ByteString EchoProbeFrame();

class EchoProbe
{
public:
    // The allowance covers a USB adapter's latency timer (16 ms by default) with room for a
    // busy machine.
    static constexpr std::int64_t kAllowanceUs = 100'000;

    // wire: the probe as the link's framing wrote it.
    EchoProbe(std::int64_t sentAtUs, std::int64_t characterUs, ByteString wire = EchoProbeFrame());
    std::int64_t nextWaitUs(std::int64_t nowUs) const;
    // What a read returned (empty: it waited in vain).
    void read(const ByteString& chunk, std::int64_t atUs);
    bool done() const { return heard_ || timeUp_; }
    // The probe came back: the adapter hears itself.
    bool heard() const { return heard_; }
    // Nothing at all came within the allowance: it does not. Other bytes, or a damaged copy,
    // tell neither.
    bool silent() const { return timeUp_ && bytes_.empty(); }
    // Bytes that came and are not the probe's echo: for the line's analysis.
    const ByteString& others() const { return others_; }

private:
    ByteString wire_;
    std::int64_t deadlineUs_;
    ByteString bytes_;
    ByteString others_;
    bool heard_ = false;
    bool timeUp_ = false;
};

} // namespace modbus
