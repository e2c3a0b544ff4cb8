// What a run's reply times advise: a time-out that fits them, and the signature of a USB
// adapter's latency timer (reply times in its 16 ms steps) with its remedy.
#pragma once

#include "poll_statistics.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

// A request and its reply on a line at characterUs a character (0: a network, no wire time),
// as framing carries them (ASCII's text is twice the bytes and more).
double WireMs(std::string_view request, std::int64_t characterUs, Framing framing = Framing::Rtu);

// The longest of these requests' WireMs: what a run's time-out must leave room for.
double LongestWireMs(const std::vector<std::string>& requests, std::int64_t characterUs,
    Framing framing = Framing::Rtu);

// Whether reply times come in 16 ms steps: most of them (and their median) at a multiple of
// 16 ms, few between. Needs 10 times at least.
bool InUsbLatencySteps(const std::vector<double>& replyMs);

// Lines for the statistics: the suggested time-out (the larger of 3 × p99 and the wire time +
// 20 ms), and the latency timer's signature when the times show it on a port that may be a USB
// adapter (not a pseudo-terminal, not a network: a slave steady at 16 ms looks the same);
// empty before 10 replies.
std::string TimingAdvice(const PollStatistics& stats, double wireMs, bool mayBeUsb = true);

} // namespace modbus
