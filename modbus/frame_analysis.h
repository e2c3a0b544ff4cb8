// The frames on the line, from what the terminal wrote and what its reads returned: replies
// joined across reads and split where two share a read, check bytes verified, replies matched
// to the request they answer, silence after a request noticed, and what to try next.
#pragma once

#include "byte_string.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace modbus {

// When something happened: a monotonic clock for durations, the local time of day to show.
struct LineTime
{
    std::int64_t monoUs = 0;
    std::int64_t wallMs = 0; // milliseconds since local midnight
};

enum class RowKind {
    Request,
    Reply,
    CrcBad,
    Exception,
    OtherAddress,
    Echo,
    NotFrame,
    NoReply,
    Hint
};

struct FrameRow
{
    LineTime time;
    RowKind kind = RowKind::Reply;
    ByteString bytes;
    std::string function; // "3 Read Holding Registers", "raw text", or empty
    std::string verdict;
    std::optional<double> replyMs; // from the end of the request's write to the end of the read
    int reads = 1; // how many reads carried the frame
    ByteString request; // the request it follows, for the details; empty when none
};

struct LineCounts
{
    int requests = 0;
    int replies = 0;
    int crcBad = 0;
    int exceptions = 0;
    int noReply = 0;
};

class FrameAnalyzer
{
public:
    // line names the line settings in hints: "19200 8N1".
    explicit FrameAnalyzer(std::string line = {});

    // A request the buttons wrote (the whole frame) and how many of its bytes went out.
    void written(const ByteString& frame, int count, bool rawText, LineTime at);
    // What one read returned; empty when the line stayed silent for a whole read.
    void read(const ByteString& chunk, LineTime at);

    // The rows made since the last call, oldest first.
    std::vector<FrameRow> take();
    const LineCounts& counts() const { return counts_; }
    // A request with nothing after it for this long has had no reply (default a second).
    void setNoReplyUs(std::int64_t us) { noReplyUs_ = us; }

private:
    struct Request
    {
        ByteString frame;
        bool raw = false;
        std::int64_t writtenUs = 0;
        bool echoChecked = false;
        bool answered = false;
        // A lone copy of a request whose good reply is a copy: when it came, until the next
        // read tells whether it was the echo or the reply.
        std::optional<LineTime> heldAt;
    };
    enum class Step { Wait, Again, Go };

    void extract(LineTime at, bool lineSilent);
    Step checkEcho(LineTime at, bool lineSilent);
    void emitEcho(LineTime at);
    bool takeFrame(LineTime at, bool lineSilent);
    bool takeUnknown(std::optional<std::size_t> later, LineTime at, bool lineSilent);
    std::string_view requestFrame() const;
    std::pair<RowKind, std::string> judge(std::string_view frame);
    void emitReceived(std::size_t length, LineTime at);
    void emitNotFrame(std::size_t length, LineTime at);
    void consume(std::size_t length);
    int readsWithin(std::size_t length) const;
    std::optional<std::size_t> goodFrameAfterStart() const;
    void noticeSilence(LineTime at, bool nextRequest);
    void emitHint(LineTime at);
    FrameRow& add(RowKind kind, LineTime at);

    std::string line_;
    std::optional<Request> request_;
    ByteString buffer_;
    std::vector<std::size_t> readEnds_; // where in buffer_ each read's bytes end
    std::vector<FrameRow> rows_;
    LineCounts counts_;
    std::int64_t noReplyUs_ = 1'000'000;
};

} // namespace modbus
