#include "comm_timing.h"

#include <algorithm>

namespace comm {
namespace {

    constexpr std::int64_t kUsPerMs = 1000;

    std::optional<std::int64_t> left(std::optional<std::int64_t> limit, std::int64_t elapsed)
    {
        if (!limit)
            return std::nullopt;
        return std::max<std::int64_t>(0, *limit - elapsed);
    }

    std::optional<std::int64_t> earlier(
        std::optional<std::int64_t> a, std::optional<std::int64_t> b)
    {
        if (!a)
            return b;
        if (!b)
            return a;
        return std::min(*a, *b);
    }

} // namespace

bool ReadReturnsImmediately(const CommTimeouts& t)
{
    return t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0
        && t.ReadTotalTimeoutConstant == 0;
}

bool ReturnsWhenBytesArrive(const CommTimeouts& t)
{
    return t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword
        && t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword;
}

std::optional<std::int64_t> ReadWaitUs(const CommTimeouts& t, Dword count,
    std::int64_t sinceStartUs, std::optional<std::int64_t> sinceLastByteUs)
{
    if (ReadReturnsImmediately(t))
        return 0;
    if (ReturnsWhenBytesArrive(t))
        return sinceLastByteUs
            ? 0
            : *left(std::int64_t(t.ReadTotalTimeoutConstant) * kUsPerMs, sinceStartUs);
    std::optional<std::int64_t> total;
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0)
        total = (std::int64_t(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant)
            * kUsPerMs;
    std::optional<std::int64_t> interval;
    // The interval clock starts with the first byte; before it, only the total applies.
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword && sinceLastByteUs)
        interval = std::int64_t(t.ReadIntervalTimeout) * kUsPerMs;
    return earlier(left(total, sinceStartUs),
        sinceLastByteUs ? left(interval, *sinceLastByteUs) : std::nullopt);
}

std::optional<std::int64_t> WriteWaitUs(
    const CommTimeouts& t, Dword count, std::int64_t sinceStartUs)
{
    if (t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0)
        return std::nullopt;
    return left((std::int64_t(t.WriteTotalTimeoutMultiplier) * count + t.WriteTotalTimeoutConstant)
            * kUsPerMs,
        sinceStartUs);
}

} // namespace comm
