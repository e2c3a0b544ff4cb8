// The frames on the line, from what the terminal wrote and what its reads returned: replies
// joined across reads and split where two share a read, check bytes verified, replies matched
// to the request they answer, silence after a request noticed, and what to try next.
#pragma once

#include "byte_string.h"
#include "echo_mode.h"
#include "slave_history.h"
#include "wire_framer.h"

#include <cstdint>
#include <deque>
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

// Said when the adapter is found to hear itself, once a session.
inline constexpr const char* kHearsItself
    = "this adapter hears itself: its echo is set aside from now on (echo on)";
// Said when a probe finds that it does not.
inline constexpr const char* kDoesNotHearItself
    = "this adapter does not hear itself: a copy of a write is its reply (echo off)";

enum class RowKind {
    Request,
    Reply,
    CrcBad,
    Exception,
    OtherAddress,
    Mismatch, // from the slave asked, but not what was asked: another function or length
    Late, // a reply that came after its request's time: never the answer to another
    Stray, // bytes before a good frame, skipped
    Echo,
    NotFrame,
    NoReply,
    Interrupted, // nothing had come yet when the next request went out, within the time-out
    Hint, // what to try when nothing answers
    Note // what the analysis learnt about the line: an adapter that echoes
};

struct FrameRow
{
    LineTime time;
    RowKind kind = RowKind::Reply;
    ByteString bytes;
    std::string function; // "3 Read Holding Registers", "raw text", or empty
    std::string verdict;
    // From the request's end on the line to the end of the read that brought the reply's last
    // byte.
    std::optional<double> replyMs;
    int reads = 1; // how many reads carried the frame
    ByteString request; // the request it follows, for the details; empty when none
    // ASCII and Modbus TCP: the frame as it was on the wire (text, or MBAP header and PDU),
    // while bytes holds it as an RTU frame for everything that reads frames. Empty where bytes
    // are the wire's.
    ByteString wire;
};

struct LineCounts
{
    int requests = 0;
    int replies = 0;
    int crcBad = 0;
    int exceptions = 0;
    int noReply = 0;
    int mismatched = 0;
    int late = 0;
    int strayBytes = 0;
};

class FrameAnalyzer
{
public:
    // line names the line settings in hints: "19200 8N1".
    explicit FrameAnalyzer(std::string line = {});
    // A link to a network: hints speak of hosts, unit ids and gateways; line names the address.
    void setNetwork(Framing framing) { framing_ = framing, network_ = true; }
    // How frames are carried on a line: RTU unless set.
    void setFraming(Framing framing) { framing_ = framing; }
    Framing framing() const { return framing_; }

    // The bytes that carry an RTU frame on this link: the frame itself, its ASCII text, or on
    // Modbus TCP its address and PDU under an MBAP header with the next transaction id (given
    // when it is written).
    ByteString wireOf(const ByteString& frame, bool rawText = false) const;
    // A request the buttons wrote (the whole frame, as wireOf gave it) and how many of its
    // bytes went out; notSent: why none could go (a network link with no connection).
    void written(const ByteString& frame, int count, bool rawText, LineTime at,
        const std::string& notSent = {});
    // What one read returned; empty when the line stayed silent for a whole read.
    void read(const ByteString& chunk, LineTime at);

    // What waited on the line when the next request is about to go: judged against the last.
    void readAway(const ByteString& chunk, LineTime at);
    // What the link learnt, in its own words: a connection closed or made again.
    // streamEnded: a connection ended, so bytes held from it will never make a frame.
    void note(const std::string& text, LineTime at, bool streamEnded = false);
    // Whether the last request went to address 0, which nobody answers.
    bool broadcastSent() const { return request_ && request_->broadcast; }

    // The rows made since the last call, oldest first.
    std::vector<FrameRow> take();
    const LineCounts& counts() const { return counts_; }
    // A polling run begins: each slave's hint may be said once again.
    void newRun() { history_.newRun(); }
    // A request with nothing after it for this long has had no reply (default a second).
    void setNoReplyUs(std::int64_t us) { noReplyUs_ = us; }
    // The echo setting; Auto becomes On once an echo is told, for the rest of the session.
    void setEcho(EchoMode mode) { echo_ = mode; }
    EchoMode echo() const { return echo_; }
    // In auto, whether the adapter hears itself once known: from an echo seen, a read answered
    // with none before it, or a probe. Unknown until then.
    std::optional<bool> echoHeard() const { return heard_; }
    // What was found of the echo, said once as a row (how: its words; empty: not said).
    void learnEcho(bool heard, LineTime at, const std::string& how);
    // Whether the echo setting applies: on serial lines and RTU over a network, never where
    // MBAP frames carry their own length.
    bool echoApplies() const;
    // One character's time on the line, when known: it tells an echo from a reply by time.
    void setCharacterUs(std::int64_t us) { characterUs_ = us; }
    // Reads that follow the line's speed, and written() given the write's start: the request
    // leaves the line its characters later, and a frame complete sooner than a reply to it
    // could be is no reply to it (an echo, or a late reply to the request before).
    void setTimedReads(bool timed) { timedReads_ = timed; }
    // Reads that return as bytes arrive: a pause longer than this inside a frame is told.
    void setGapUs(std::int64_t us) { gapUs_ = us; }
    // How long an ASCII frame may pause before a silence cuts it short (default: the framer's
    // second); an empty read sooner is no silence.
    void setPauseUs(std::int64_t us) { pauseUs_ = us; }
    // The request's time is up: what is held is judged, and nothing more is its answer.
    void timedOut(LineTime at);
    // Bytes read that make no frame yet, and whether their length is known from the table.
    std::size_t pendingBytes() const { return buffer_.size() + wire_.size(); }
    bool pendingLengthKnown() const;
    // A lone copy of a request whose good reply is a copy, waiting to be told echo or reply.
    bool holdsCopy() const { return request_ && request_->heldAt && buffer_ == request_->frame; }

private:
    struct Request
    {
        ByteString frame;
        bool raw = false;
        std::int64_t writtenUs = 0;
        std::int64_t endUs = 0; // when it had left the line
        bool echoChecked = false;
        bool answered = false;
        bool silent = false; // its time ran out with no reply
        bool echoSeen = false;
        bool copyTaken = false; // a copy that time could not tell from an echo, taken as reply
        // A lone copy of a request whose good reply is a copy: when it came, until the next
        // read tells whether it was the echo or the reply.
        std::optional<LineTime> heldAt;
        std::uint16_t transaction = 0; // Modbus TCP's id of this request
        bool broadcast = false; // to address 0: nothing answers
        std::size_t consumed = 0; // bytes read and taken since it went
    };
    enum class Step { Wait, Again, Go };

    // Frames that carry their own ends (ASCII, MBAP): cut by the link's framer, each taken
    // whole.
    void readDelimited(const ByteString& chunk, LineTime at);
    void takeDelimited(const WireCut& cut, std::string_view wire, LineTime at);
    // A whole frame whose LRC does not agree.
    void emitBadCheck(const WireCut& cut, std::string_view wire, LineTime at);
    // Judges a frame held for the next read, now that something else came.
    void settleHeld(LineTime at);
    // The rows made of whole frames get the wire text of the frames they were made of.
    void giveWires();
    // Bytes before where a frame can begin.
    void emitNoise(std::string_view wire, LineTime at);
    // What its own marks ended but is no frame; why: the framer's reason, if any.
    void emitNotDelimited(const std::string& why, std::string_view wire, LineTime at);
    // An MBAP frame under another transaction id than the request's.
    void emitOtherTransaction(
        std::uint16_t transaction, const ByteString& rtu, std::string_view wire, LineTime at);
    // Whether an adapter's echo can precede replies on this framing: on lines and RTU or ASCII
    // carried over a network, never with MBAP.
    bool echoFraming() const { return framing_ == Framing::Rtu || framing_ == Framing::Ascii; }
    void extract(LineTime at, bool lineSilent);
    void extractFrames(LineTime at, bool lineSilent);
    Step checkEcho(LineTime at, bool lineSilent);
    // A lone copy of a request whose good reply is a copy: echo, reply, or wait for the next.
    Step checkCopy(LineTime at, bool lineSilent);
    // Echo off, or found absent in auto.
    bool echoKnownAbsent() const;
    void emitEcho(LineTime at);
    bool echoByTime(std::int64_t copyEndUs) const;
    bool tooSoonForReply(std::int64_t endUs, std::size_t length) const;
    // A frame complete sooner than a reply to the request could be: an echo or a late reply.
    std::optional<std::pair<RowKind, std::string>> judgeTime(std::string_view frame);
    // A reply that came first after a request it does not copy shows that no echo precedes
    // replies: the adapter does not hear itself.
    void learnFromReply(RowKind kind, LineTime at);
    // Whether bytes at the buffer's start may begin the reply to the request (its slave, its
    // function or that function's exception), as far as they go.
    bool mayBeginReply() const;
    // Where in the buffer, past its start, the asked slave's reply to the asked function could
    // begin; nullopt when nowhere.
    std::optional<std::size_t> replyStartAfter() const;
    std::int64_t timeOfByte(std::size_t index) const;
    std::string gapNote(std::size_t length) const;
    void emitStray(std::size_t length, LineTime at);
    bool takeFrame(LineTime at, bool lineSilent);
    // Bytes that make no good frame at their start (length: what the table gives of them):
    // stray bytes before a good frame, a frame with bad check bytes, or no frame.
    bool takeHunted(std::optional<std::size_t> length, LineTime at, bool lineSilent);
    bool takeUnknown(std::optional<std::size_t> later, LineTime at, bool lineSilent);
    std::string_view requestFrame() const;
    std::pair<RowKind, std::string> judge(std::string_view frame);
    // A late reply, another slave's, or one that does not fit the request; nullopt when it fits.
    std::optional<std::pair<RowKind, std::string>> judgeAgainstRequest(std::string_view frame);
    void emitReceived(std::size_t length, LineTime at);
    // expected: the bytes its first ones promise (0: unknown).
    void emitNotFrame(std::size_t length, LineTime at, std::size_t expected = 0);
    void consume(std::size_t length);
    int readsWithin(std::size_t length) const;
    std::optional<std::size_t> goodFrameAfterStart() const;
    void noticeSilence(LineTime at, bool nextRequest, bool timeUp = false);
    // The asked slave's request ended, answered or not.
    void requestEnded(bool answered);
    void emitHint(LineTime at);
    std::string lineHint(const std::string& asked) const;
    FrameRow& add(RowKind kind, LineTime at);

    std::string line_;
    std::optional<Request> request_;
    SlaveHistory history_;
    ByteString buffer_;
    std::vector<std::size_t> readEnds_; // where in buffer_ each read's bytes end
    std::vector<std::int64_t> readTimes_; // when each of those reads returned
    ByteString previous_; // the request before this one, for late replies
    bool beforeRequest_ = false; // judging what waited when a new request went out
    std::vector<FrameRow> rows_;
    LineCounts counts_;
    std::int64_t noReplyUs_ = 1'000'000;
    EchoMode echo_ = EchoMode::Auto;
    std::optional<bool> heard_;
    std::int64_t characterUs_ = 0;
    bool timedReads_ = false;
    std::int64_t gapUs_ = 0;
    Framing framing_ = Framing::Rtu;
    bool network_ = false;
    ByteString wire_; // ASCII or MBAP bytes not yet cut into a frame
    std::int64_t wireUs_ = 0; // when bytes last came to wire_
    // The frames in buffer_ as the wire carried them, oldest first: each row made of one
    // shows its own text (a copy held for the next read included).
    std::deque<ByteString> frameWires_;
    std::deque<std::size_t> frameLengths_; // and their lengths in buffer_
    std::optional<std::int64_t> pauseUs_;
    std::uint16_t transaction_ = 0; // the last request's id
};

} // namespace modbus
