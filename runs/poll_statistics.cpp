#include "poll_statistics.h"

#include "modbus/modbus_names.h"
#include "modbus/number_format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace modbus {
namespace {

    // Bins of 1 ms up to 50 ms (where replies on a bench fall), then wider.
    std::vector<HistogramBin> makeBins()
    {
        std::vector<HistogramBin> bins;
        for (int ms = 0; ms < 50; ++ms)
            bins.push_back({ double(ms), double(ms + 1) });
        const double edges[] = { 50, 60, 70, 80, 90, 100, 150, 200, 300, 500, 1000, 2000 };
        for (std::size_t i = 0; i + 1 < std::size(edges); ++i)
            bins.push_back({ edges[i], edges[i + 1] });
        bins.push_back({ 2000, std::numeric_limits<double>::infinity() });
        return bins;
    }

    std::string ms(std::optional<double> value)
    {
        return value ? FloatText(*value, 4) + " ms" : "-";
    }

} // namespace

PollStatistics::PollStatistics()
    : bins_(makeBins())
{ }

void PollStatistics::started(std::int64_t nowUs) { startUs_ = lastUs_ = nowUs; }

void PollStatistics::record(
    PollOutcome outcome, std::optional<double> replyMs, int exceptionCode, std::int64_t nowUs)
{
    if (requests_++ == 0)
        firstUs_ = nowUs;
    // Nothing but an echo, or nothing sent, is counted as no reply, as the report says it.
    if (outcome == Outcome::EchoOnly || outcome == Outcome::ShortWrite
        || outcome == Outcome::NotConnected)
        outcome = Outcome::NoReply;
    ++outcomes_[outcome];
    if (outcome == PollOutcome::Exception)
        ++exceptions_[exceptionCode];
    lastUs_ = nowUs;
    if (!replyMs)
        return;
    const double t = *replyMs;
    min_ = times_.empty() ? t : std::min(min_, t);
    max_ = std::max(max_, t);
    if (times_.size() < kKept) {
        times_.push_back(t);
        sortedValid_ = false;
    }
    const auto bin = std::find_if(
        bins_.begin(), bins_.end(), [&](const HistogramBin& b) { return t < b.toMs; });
    ++(bin == bins_.end() ? bins_.back() : *bin).count;
}

void PollStatistics::recordLateness(std::int64_t us)
{
    ++lateness_[std::size_t(std::clamp<std::int64_t>(us / 1000, 0, 1000))];
    ++cycles_;
}

std::optional<double> PollStatistics::latenessPercentileMs(double fraction) const
{
    if (cycles_ == 0)
        return std::nullopt;
    const long rank = std::max(1L, long(std::ceil(fraction * double(cycles_))));
    long seen = 0;
    for (std::size_t ms = 0; ms < lateness_.size(); ++ms)
        if ((seen += lateness_[ms]) >= rank)
            return double(ms + 1); // within this many ms; 1001: a second or more
    return 1001.0;
}

long PollStatistics::count(PollOutcome outcome) const
{
    const auto it = outcomes_.find(outcome);
    return it == outcomes_.end() ? 0 : it->second;
}

double PollStatistics::errorPercent() const
{
    return requests_ ? 100.0 * double(requests_ - count(PollOutcome::Good)) / double(requests_) : 0;
}

std::optional<double> PollStatistics::percentileMs(double fraction) const
{
    if (times_.empty())
        return std::nullopt;
    if (!sortedValid_) {
        sorted_ = times_;
        std::sort(sorted_.begin(), sorted_.end());
        sortedValid_ = true;
    }
    // Nearest rank: the smallest sample with at least that fraction at or below it.
    const auto rank = std::size_t(std::ceil(fraction * double(sorted_.size())));
    return sorted_[std::clamp<std::size_t>(rank, 1, sorted_.size()) - 1];
}

std::optional<double> PollStatistics::minMs() const
{
    return times_.empty() ? std::nullopt : std::optional(min_);
}

std::optional<double> PollStatistics::maxMs() const
{
    return times_.empty() ? std::nullopt : std::optional(max_);
}

double PollStatistics::pollsPerSecond() const
{
    // Polls apart, end to end: n polls make n - 1 intervals (n over the run's time counted one
    // too many: ten polls at 100 ms read 11 a second).
    const double seconds = double(lastUs_ - firstUs_) / 1e6;
    return requests_ > 1 && seconds > 0 ? double(requests_ - 1) / seconds : 0;
}

std::string PollStatistics::report(std::string_view check) const
{
    std::string text = "requests " + Decimal(requests_) + ", good replies "
        + Decimal(count(PollOutcome::Good)) + ", " + std::string(check) + " BAD "
        + Decimal(count(PollOutcome::CrcBad)) + ", exceptions "
        + Decimal(count(PollOutcome::Exception)) + ", no reply "
        + Decimal(count(PollOutcome::NoReply)) + ", other address "
        + Decimal(count(PollOutcome::OtherAddress)) + ", not a frame "
        + Decimal(count(PollOutcome::NotFrame)) + ", wrong reply "
        + Decimal(count(PollOutcome::WrongReply)) + "\n";
    for (const auto& [code, n] : exceptions_)
        text += "  " + ExceptionVerdict(std::uint8_t(code)) + ": " + Decimal(n) + "\n";
    text += "error rate " + FloatText(errorPercent(), 3) + " %\n";
    text += "reply time min " + ms(minMs()) + ", median " + ms(percentileMs(0.5)) + ", p95 "
        + ms(percentileMs(0.95)) + ", max " + ms(maxMs()) + "\n";
    // A rate needs two polls at least: one poll's rate is its own reply time upside down.
    if (requests_ > 1 && runSeconds() > 0)
        text += RateText(pollsPerSecond()) + " polls per second over " + FloatText(runSeconds(), 4)
            + " s\n";
    if (const auto p99 = latenessPercentileMs(0.99)) {
        const auto late = [](double ms) {
            return ms > 1000 ? std::string("a second or more late")
                             : "within " + FloatText(ms, 4) + " ms of their time";
        };
        text += "cycles started " + late(*latenessPercentileMs(0.5)) + " (median), " + late(*p99)
            + " (p99)\n";
    }
    return text;
}

PollOutcome OutcomeOf(RowKind kind)
{
    switch (kind) {
    case RowKind::Reply:
        return PollOutcome::Good;
    case RowKind::CrcBad:
        return PollOutcome::CrcBad;
    case RowKind::Exception:
        return PollOutcome::Exception;
    case RowKind::OtherAddress:
        return PollOutcome::OtherAddress;
    case RowKind::NotFrame:
        return PollOutcome::NotFrame;
    case RowKind::Mismatch:
        return PollOutcome::WrongReply;
    default:
        return PollOutcome::NoReply;
    }
}

} // namespace modbus
