// A polling run's statistics: what each poll came to, the reply-time spread and its histogram.
// Plain data fed by the run; the time is passed in.
#pragma once

#include "modbus/exchange_outcome.h"
#include "modbus/frame_analysis.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

// A poll's outcome is the exchange's: what is counted is what the verdict said.
using PollOutcome = Outcome;

struct HistogramBin
{
    double fromMs;
    double toMs; // the last bin has no upper end: infinity
    long count = 0;
};

class PollStatistics
{
public:
    // Reply times kept for the percentiles (8 MB); past this the counts, the histogram and the
    // extremes go on, and the percentiles stay those of the first kKept replies.
    static constexpr std::size_t kKept = 1'000'000;

    PollStatistics();

    void started(std::int64_t nowUs);
    // One poll's end: its outcome, its reply time when a reply came, the exception code.
    void record(
        PollOutcome outcome, std::optional<double> replyMs, int exceptionCode, std::int64_t nowUs);

    long requests() const { return requests_; }
    long count(PollOutcome outcome) const;
    const std::map<int, long>& exceptions() const { return exceptions_; }
    double errorPercent() const;
    // nullopt before the first reply time.
    std::optional<double> percentileMs(double fraction) const;
    // The reply times kept, in the order they came.
    const std::vector<double>& replyTimes() const { return times_; }
    std::optional<double> minMs() const;
    std::optional<double> maxMs() const;
    const std::vector<HistogramBin>& histogram() const { return bins_; }
    // How late a cycle started against its schedule; kept in 1 ms steps up to a second. The
    // percentile is "within so many ms", 1001 for a second or more.
    void recordLateness(std::int64_t us);
    std::optional<double> latenessPercentileMs(double fraction) const;
    double runSeconds() const { return double(lastUs_ - startUs_) / 1e6; }
    double pollsPerSecond() const;

    // Lines of text, the same words in the monitor and in quillet-cli; check names the frames'
    // check ("CRC", "LRC" on ASCII).
    std::string report(std::string_view check = "CRC") const;

private:
    long requests_ = 0;
    std::map<PollOutcome, long> outcomes_;
    std::map<int, long> exceptions_;
    std::vector<double> times_;
    mutable std::vector<double> sorted_;
    mutable bool sortedValid_ = true;
    double min_ = 0, max_ = 0;
    std::vector<HistogramBin> bins_;
    std::int64_t startUs_ = 0, lastUs_ = 0;
    std::int64_t firstUs_ = 0; // the first poll's end
    std::vector<long> lateness_ = std::vector<long>(1001); // ms 0..999, then 1000 and later
    long cycles_ = 0;
};

// What a frame row that ends a poll means for the statistics.
PollOutcome OutcomeOf(RowKind kind);

} // namespace modbus
