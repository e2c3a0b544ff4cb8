// One request and its answer, as quillet-cli runs them: it feeds the frame analysis, says how
// long the next read may wait, and tells when the answer is in. Times are passed in, so tests
// drive it with invented ones.
#pragma once

#include "frame_analysis.h"

#include <optional>
#include <vector>

namespace modbus {

class Exchange
{
public:
    // silenceUs: a gap this long after bytes came ends what the slave sends.
    Exchange(const ByteString& frame, int written, std::int64_t timeoutUs, std::int64_t silenceUs,
        LineTime sentAt);

    // How long the next read may wait for a byte.
    std::int64_t nextWaitUs(std::int64_t nowUs) const;
    // What a read returned: empty when it waited in vain.
    void read(const ByteString& chunk, LineTime at);
    bool done() const { return done_; }

    // Every frame row, the request's first; the answer's index when one came.
    const std::vector<FrameRow>& rows() const { return rows_; }
    const FrameRow* answer() const;
    // The answer's verdict, or what came instead: "no reply", "not a frame", ...
    std::string verdict() const;
    bool good() const { return answer() && answer()->kind == RowKind::Reply; }

private:
    void collect();

    FrameAnalyzer analyzer_;
    std::int64_t deadlineUs_;
    std::int64_t silenceUs_;
    bool bytesCame_ = false;
    bool done_ = false;
    std::vector<FrameRow> rows_;
    std::optional<std::size_t> answer_;
};

} // namespace modbus
