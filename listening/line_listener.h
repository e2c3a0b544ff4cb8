// A line another master drives, heard without sending a byte: frames cut where the read times
// show a silence and by the lengths the table gives, confirmed by their check bytes, the search
// moving on a byte at a time past what makes no frame; requests and replies paired by slave and
// function, in order, each reply timed from the end of its request. On an ASCII line frames are
// cut by their ':' and CR LF instead. Times are passed in.
#pragma once

#include "listen_statistics.h"

#include "modbus/frame_analysis.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace modbus {

class LineListener
{
public:
    // characterUs: one character on the line, 0 where reads tell no time (a pty); silenceUs:
    // the quiet that ends a frame (3.5 characters).
    LineListener(std::int64_t characterUs, std::int64_t silenceUs, Framing framing = Framing::Rtu);

    // A read's bytes, stamped in µs as the read returned.
    void read(const ByteString& chunk, std::int64_t atUs);
    // Listening ends: what is held is judged as it stands; a request whose reply could still
    // come is left out of the counts. An empty read tells the time: a request unanswered for a
    // second is "no reply" then, without waiting for the next request.
    void finish(std::int64_t atUs);
    // The rows made since the last call, oldest first. A row's time.monoUs is its last byte's.
    std::vector<FrameRow> take();
    const ListenStatistics& statistics() const { return stats_; }
    // Bytes of a frame are held, or a request waits for its reply: a moment to keep reading.
    bool midExchange() const { return !buffer_.empty() || (pending_ && !pending_->answered); }

private:
    enum class Role { Request, Reply, Orphan };
    struct Candidate
    {
        std::optional<std::size_t> length; // nullopt: more bytes needed to tell
        Role role;
    };
    struct Heard
    {
        ByteString frame;
        std::int64_t endUs = 0;
        bool answered = false;
        long read = 0; // the read that brought its last byte
    };
    struct ReadMark
    {
        std::size_t end; // where in buffer_ the read's bytes end
        std::int64_t atUs;
        long serial;
    };

    void extract(bool closedAtEnd);
    std::vector<Candidate> candidates() const;
    bool takeGood(const std::vector<Candidate>& all, std::size_t limit);
    bool mayGrow(
        const std::vector<Candidate>& all, std::size_t limit, bool closed, bool final) const;
    void emitFrame(std::size_t length, Role role);
    // A whole frame heard (as an RTU frame), its last byte at endUs, brought by read serial.
    FrameRow& emitHeard(const ByteString& frame, std::int64_t endUs, long serial, Role role);
    // ASCII: frames cut by their marks; closed: nothing more is coming.
    void extractAscii(bool closed);
    void takeAscii(const WireCut& cut);
    void missedReply(std::int64_t atUs);
    void giveUpWaiting(std::int64_t atUs, bool ending);
    void emitRequest(FrameRow& row, int slave, long read);
    void emitReply(FrameRow& row, int slave, long read);
    void emitCrcBad(std::size_t length);
    // A frame whose check bytes (or LRC) are wrong, its last byte at endUs.
    FrameRow& emitBadCheck(const ByteString& frame, std::int64_t endUs, const std::string& verdict);
    void flushNoise();
    std::size_t segmentEnd() const;
    std::int64_t timeOf(std::size_t index) const { return markOf(index).atUs; }
    ReadMark markOf(std::size_t index) const;
    void consume(std::size_t length);

    std::int64_t characterUs_;
    std::int64_t silenceUs_;
    Framing framing_;
    ByteString buffer_;
    std::vector<std::size_t> splits_; // offsets in buffer_ a silence comes before
    std::vector<ReadMark> reads_;
    long readsSoFar_ = 0;
    std::int64_t lastUs_ = 0;
    ByteString noise_; // bytes skipped since the last frame
    std::int64_t noiseUs_ = 0;
    std::optional<Heard> pending_; // the last request heard
    std::vector<FrameRow> rows_;
    ListenStatistics stats_;
};

} // namespace modbus
