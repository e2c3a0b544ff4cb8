// Win32 comm time-out arithmetic, kept pure: callers pass elapsed times, so tests need no clock.
#pragma once

#include "win32_comm.h"

#include <cstdint>
#include <optional>

namespace comm {

// Times are in microseconds: the records count whole milliseconds, but rounding the clock to
// them would end an interval up to a millisecond early or late.

// How long a read may still wait; nullopt: without bound; 0: return now with what came.
// The total time-out (multiplier x count + constant) runs from the start of the read; the
// interval time-out runs from the last byte received, once one has come.
std::optional<std::int64_t> ReadWaitUs(const CommTimeouts& t, Dword count,
    std::int64_t sinceStartUs, std::optional<std::int64_t> sinceLastByteUs);

// Whether a read returns at once with what is buffered (interval kMaxDword, totals 0).
bool ReadReturnsImmediately(const CommTimeouts& t);

// Whether a read returns as soon as any byte is there, or waits for the first one up to the total
// constant (interval and multiplier kMaxDword, 0 < constant < kMaxDword), as Win32 defines it.
bool ReturnsWhenBytesArrive(const CommTimeouts& t);

// How long a write may still wait; nullopt when the write time-outs are both 0.
std::optional<std::int64_t> WriteWaitUs(
    const CommTimeouts& t, Dword count, std::int64_t sinceStartUs);

} // namespace comm
