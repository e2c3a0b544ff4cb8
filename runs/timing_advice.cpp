#include "timing_advice.h"

#include "modbus/function_table.h"
#include "modbus/number_format.h"

#include <algorithm>
#include <cmath>

namespace modbus {
namespace {

    constexpr std::size_t kFewest = 10; // replies before any advice
    constexpr double kStepMs = 16; // an FTDI-style adapter's default latency timer

    // The reply a request asks for; one whose length only the slave says is taken as 8 bytes.
    std::size_t replyBytes(std::string_view request)
    {
        return ExpectedReplyLength(request).value_or(8);
    }

} // namespace

double WireMs(std::string_view request, std::int64_t characterUs, Framing framing)
{
    // The RTU frames' address and PDU, as the framing puts them on the wire.
    const auto onWire = [&](std::size_t rtuBytes) {
        return FramerOf(framing).wireLength(rtuBytes >= 2 ? rtuBytes - 2 : 0);
    };
    return double((onWire(request.size()) + onWire(replyBytes(request))) * std::size_t(characterUs))
        / 1000.0;
}

double LongestWireMs(
    const std::vector<std::string>& requests, std::int64_t characterUs, Framing framing)
{
    double longest = 0;
    for (const std::string& request : requests)
        longest = std::max(longest, WireMs(request, characterUs, framing));
    return longest;
}

bool InUsbLatencySteps(const std::vector<double>& replyMs)
{
    if (replyMs.size() < kFewest)
        return false;
    const auto onStep = [](double ms) {
        const double off = std::fmod(ms, kStepMs);
        return ms >= kStepMs - 2 && (off <= 2 || off >= kStepMs - 2);
    };
    const auto stepped = std::count_if(replyMs.begin(), replyMs.end(), onStep);
    return double(stepped) >= 0.8 * double(replyMs.size());
}

std::string TimingAdvice(const PollStatistics& stats, double wireMs, bool mayBeUsb)
{
    const std::optional<double> p99 = stats.percentileMs(0.99);
    if (stats.replyTimes().size() < kFewest || !p99)
        return {};
    const double suggested = std::ceil(std::max(3 * *p99, wireMs + 20));
    std::string text = "suggested time-out " + FloatText(suggested, 6)
        + " ms (the larger of 3 × p99 " + FloatText(*p99, 4) + " ms and the wire's "
        + FloatText(wireMs, 3) + " ms + 20 ms)\n";
    if (mayBeUsb && InUsbLatencySteps(stats.replyTimes()))
        text += "reply times come in steps of 16 ms: the signature of a USB adapter's latency "
                "timer (16 ms by default); set it to 1 ms (Linux: "
                "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer; Windows: the port's "
                "Advanced settings, Latency Timer)\n";
    return text;
}

} // namespace modbus
