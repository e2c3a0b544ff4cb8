// One request and its answer, as every caller that waits for an answer runs it: it feeds the
// line's frame analysis, says how long the next read may wait, and tells when the answer is
// in. Times are passed in, so tests drive it with invented ones.
#pragma once

#include "modbus/exchange_outcome.h"
#include "modbus/frame_analysis.h"

#include <optional>
#include <string>
#include <vector>

namespace modbus {

// The waits of one exchange, as test engineers mean them.
struct ExchangeTiming
{
    // From the moment the request has left the line to the reply's first byte.
    std::int64_t responseUs = 1'000'000;
    // Once a reply flows: the longest pause between its pieces.
    std::int64_t byteUs = 100'000;
    // One character on the line; the request leaves characterUs x its length after the write.
    std::int64_t characterUs = 0;
    // A frame whose length the table does not give ends at this much quiet.
    std::int64_t silenceUs = 20'000;
    // Whether read times follow the line's speed. A pseudo-terminal delivers at once, so a
    // slave's copy can come back as soon as an echo would: time tells nothing there.
    bool timed = true;
};

class Exchange
{
public:
    // line: the session's analysis, which outlives the exchange; the request is written to it.
    // notSent: why nothing could be written (a network link with no connection).
    Exchange(FrameAnalyzer& line, const ByteString& frame, int written,
        const ExchangeTiming& timing, LineTime sentAt, const std::string& notSent = {});

    // How long the next read may wait for a byte.
    std::int64_t nextWaitUs(std::int64_t nowUs) const;
    // What a read returned: empty when it waited in vain.
    void read(const ByteString& chunk, LineTime at);
    bool done() const { return done_; }

    // Every frame row from the request's on, and what waited before it.
    const std::vector<FrameRow>& rows() const { return rows_; }
    const FrameRow& request() const { return rows_[requestAt_]; }
    const FrameRow* answer() const;
    // The answer, or the last row that says what came instead (not a frame, another address);
    // nullptr when nothing came.
    const FrameRow* outcomeRow() const { return answer() ? answer() : lastWord(); }
    // The answer's verdict, or what came instead: "no reply", "not a frame", ...
    std::string verdict() const;
    // What the request came to; everything a caller decides follows from it.
    Outcome outcome() const;
    bool good() const { return outcome() == Outcome::Good; }
    // The outcome as a stable word for scripts (OutcomeCode).
    std::string code() const { return std::string(OutcomeCode(outcome())); }
    // What else was seen: stray bytes, late replies, an echo told: "1 stray byte before the
    // reply".
    std::vector<std::string> notes() const;

private:
    void collect();
    // The last row after the request that says what came instead of an answer.
    const FrameRow* lastWord() const;
    // The first row of this kind after the request; nullptr when there is none.
    const FrameRow* firstAfterRequest(RowKind kind) const;
    void finish(LineTime at);

    FrameAnalyzer* line_;
    ExchangeTiming timing_;
    std::int64_t requestEndUs_;
    std::int64_t lastBytesUs_ = 0;
    bool bytesFlow_ = false;
    bool done_ = false;
    std::vector<FrameRow> rows_;
    std::size_t requestAt_ = 0;
    std::optional<std::size_t> answer_;
    std::optional<Outcome> unsent_; // a request that did not go whole, or a broadcast
};

} // namespace modbus
