// How bytes that crossed a line reach the program's reads, in three ways: at once (a whole burst
// when its last byte has crossed, as a pty hands over), byte by byte (a UART, or an adapter at
// 1 ms latency), and as a USB adapter does (bytes held until its latency timer fires or 62 bytes
// wait). Pure: times are invented, so the exchange is driven step by step with no clock.
#pragma once

#include "modbus/byte_string.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace linemodel {

enum class Delivery { AtOnce, ByteByByte, Usb };
inline const char* DeliveryName(Delivery d)
{
    return d == Delivery::AtOnce ? "at once" : d == Delivery::ByteByByte ? "byte by byte" : "USB";
}

struct Arrival
{
    modbus::ByteString bytes;
    std::int64_t atUs = 0; // when a read can have them
};

// What a device sent: bytes back to back from startUs, each characterUs long.
struct Burst
{
    modbus::ByteString bytes;
    std::int64_t startUs = 0;
};

// The bursts as a read sees them. A USB adapter's timer fires every latencyUs from phaseUs.
inline std::vector<Arrival> Deliver(const std::vector<Burst>& bursts, std::int64_t characterUs,
    Delivery delivery, std::int64_t latencyUs = 16'000, std::int64_t phaseUs = 0)
{
    std::vector<Arrival> out;
    std::string held;
    std::int64_t heldSince = 0;
    const auto flush = [&](std::int64_t at) {
        if (!held.empty())
            out.push_back({ held, at });
        held.clear();
    };
    for (const Burst& b : bursts) {
        for (std::size_t i = 0; i < b.bytes.size(); ++i) {
            const std::int64_t crossed = b.startUs + std::int64_t(i + 1) * characterUs;
            if (delivery == Delivery::Usb && !held.empty()) {
                // The timer fires at the first tick after the oldest held byte came.
                const std::int64_t fire
                    = phaseUs + ((heldSince - phaseUs) / latencyUs + 1) * latencyUs;
                if (fire <= crossed)
                    flush(fire);
            }
            if (held.empty())
                heldSince = crossed;
            held.push_back(b.bytes[i]);
            if (delivery == Delivery::ByteByByte
                || (delivery == Delivery::Usb && held.size() >= 62))
                flush(crossed);
        }
        if (delivery == Delivery::AtOnce)
            flush(b.startUs + std::int64_t(b.bytes.size()) * characterUs);
    }
    if (delivery == Delivery::Usb && !held.empty())
        flush(phaseUs + ((heldSince - phaseUs) / latencyUs + 1) * latencyUs);
    return out;
}

// A port's reads over what was delivered: the bytes there at a time, or what comes first
// within a wait.
class DeliveredReads
{
public:
    explicit DeliveredReads(std::vector<Arrival> arrivals)
        : arrivals_(std::move(arrivals))
    { }
    // What a read from nowUs waiting up to waitUs returns and when; empty: it waited in vain.
    Arrival read(std::int64_t nowUs, std::int64_t waitUs)
    {
        if (next_ >= arrivals_.size() || arrivals_[next_].atUs > nowUs + waitUs)
            return { {}, nowUs + waitUs };
        const std::int64_t at = std::max(nowUs, arrivals_[next_].atUs);
        Arrival got { {}, at };
        while (next_ < arrivals_.size() && arrivals_[next_].atUs <= at)
            got.bytes += arrivals_[next_++].bytes;
        return got;
    }
    bool drained() const { return next_ >= arrivals_.size(); }
    // More bytes on their way, merged by their times with what is still owed.
    void add(const std::vector<Arrival>& more)
    {
        arrivals_.insert(arrivals_.end(), more.begin(), more.end());
        std::stable_sort(arrivals_.begin() + std::ptrdiff_t(next_), arrivals_.end(),
            [](const Arrival& a, const Arrival& b) { return a.atUs < b.atUs; });
    }

private:
    std::vector<Arrival> arrivals_;
    std::size_t next_ = 0;
};

} // namespace linemodel
