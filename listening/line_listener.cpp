#include "line_listener.h"

#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "modbus/modbus_names.h"
#include "modbus/reply_match.h"

#include <algorithm>

namespace modbus {
namespace {

    // A reply later than this is none: masters give up sooner (the window's own wait is 1 s).
    constexpr std::int64_t kLongestReplyUs = 1'000'000;

} // namespace

LineListener::LineListener(std::int64_t characterUs, std::int64_t silenceUs, Framing framing)
    : characterUs_(characterUs)
    , silenceUs_(silenceUs)
    , framing_(framing)
    , stats_(std::string(CheckName(framing)))
{ }

std::vector<FrameRow> LineListener::take()
{
    std::vector<FrameRow> rows;
    rows.swap(rows_);
    return rows;
}

void LineListener::read(const ByteString& chunk, std::int64_t atUs)
{
    // The quiet before this read's bytes: the time since the last read less the bytes' own time
    // on the line. A USB adapter's 16 ms slices of a busy line leave none.
    const std::int64_t idle = atUs - lastUs_ - std::int64_t(chunk.size()) * characterUs_;
    const bool quiet = !buffer_.empty() && idle > silenceUs_;
    if (quiet && (splits_.empty() || splits_.back() != buffer_.size()))
        splits_.push_back(buffer_.size());
    if (chunk.empty()) {
        if (quiet)
            extract(false);
        giveUpWaiting(atUs, false);
        return;
    }
    buffer_ += chunk;
    reads_.push_back({ buffer_.size(), atUs, ++readsSoFar_ });
    lastUs_ = atUs;
    extract(false);
}

void LineListener::finish(std::int64_t atUs)
{
    lastUs_ = std::max(lastUs_, atUs);
    extract(true);
    flushNoise();
    giveUpWaiting(lastUs_, true);
}

void LineListener::giveUpWaiting(std::int64_t atUs, bool ending)
{
    if (!pending_ || pending_->answered || !buffer_.empty())
        return;
    if (atUs - pending_->endUs >= kLongestReplyUs) {
        missedReply(atUs);
        pending_->answered = true; // told once
    } else if (ending) {
        // Listening ended while its reply could still come: neither answered nor missed.
        stats_.withdraw(ByteAt(pending_->frame, 0));
        pending_.reset();
    }
}

std::size_t LineListener::segmentEnd() const
{
    for (const std::size_t split : splits_)
        if (split > 0)
            return split;
    return buffer_.size();
}

void LineListener::extract(bool closedAtEnd)
{
    if (framing_ == Framing::Ascii) {
        extractAscii(closedAtEnd);
        return;
    }
    while (!buffer_.empty()) {
        const std::size_t limit = segmentEnd();
        const bool closed = closedAtEnd || limit < buffer_.size()
            || std::find(splits_.begin(), splits_.end(), limit) != splits_.end();
        const std::vector<Candidate> all = candidates();
        // Good check bytes confirm a frame even across a pause the reads show: a driver or a
        // loaded machine may stall inside a frame the wire carried whole.
        if (takeGood(all, buffer_.size()))
            continue;
        if (mayGrow(all, limit, closed, closedAtEnd))
            return;
        const bool whole = closed && std::any_of(all.begin(), all.end(), [&](const Candidate& c) {
            return c.length == limit;
        });
        if (whole) { // its length, its silence after, but not its check bytes
            flushNoise();
            emitCrcBad(limit);
            consume(limit);
            continue;
        }
        if (noise_.empty())
            noiseUs_ = timeOf(0);
        noise_ += buffer_[0]; // the search moves on a byte
        consume(1);
    }
}

std::vector<LineListener::Candidate> LineListener::candidates() const
{
    // A reply to the request heard last comes from its slave with its function (or exception).
    const bool answers = pending_ && !pending_->answered && buffer_.size() >= 2
        && ByteAt(buffer_, 0) == ByteAt(pending_->frame, 0)
        && (ByteAt(buffer_, 1) & 0x7F) == ByteAt(pending_->frame, 1);
    std::vector<Candidate> all;
    if (answers)
        all.push_back({ ReplyFrameLength(buffer_, 0, pending_->frame), Role::Reply });
    all.push_back({ RequestFrameLength(buffer_, 0), Role::Request });
    if (!answers)
        all.push_back({ ReplyFrameLength(buffer_, 0), Role::Orphan });
    return all;
}

bool LineListener::takeGood(const std::vector<Candidate>& all, std::size_t limit)
{
    for (const Candidate& c : all) {
        if (!c.length || *c.length < 4 || *c.length > limit
            || !CrcGood(std::string_view(buffer_).substr(0, *c.length)))
            continue;
        flushNoise();
        emitFrame(*c.length, c.role);
        consume(*c.length);
        return true;
    }
    return false;
}

bool LineListener::mayGrow(
    const std::vector<Candidate>& all, std::size_t limit, bool closed, bool final) const
{
    if (final)
        return false;
    // Bytes not read yet may complete a frame, their check bytes joining it across a pause too;
    // or a silence may yet close one whose check bytes are bad.
    const auto waits = [&](const Candidate& c) {
        return !c.length || (*c.length >= 4 && *c.length > buffer_.size())
            || (!closed && *c.length == limit);
    };
    return buffer_.size() < 4 || std::any_of(all.begin(), all.end(), waits);
}

void LineListener::emitFrame(std::size_t length, Role role)
{
    emitHeard(buffer_.substr(0, length), timeOf(length - 1), markOf(length - 1).serial, role);
}

FrameRow& LineListener::emitHeard(
    const ByteString& frame, std::int64_t endUs, long serial, Role role)
{
    if (role == Role::Request && pending_ && !pending_->answered)
        missedReply(endUs); // told before the request that shows it
    FrameRow& row = rows_.emplace_back();
    row.bytes = frame;
    row.time.monoUs = endUs;
    row.function = FunctionName(ByteAt(row.bytes, 1));
    const int slave = ByteAt(row.bytes, 0);
    if (role == Role::Request)
        emitRequest(row, slave, serial);
    else if (role == Role::Reply)
        emitReply(row, slave, serial);
    else {
        row.kind = RowKind::Late;
        row.verdict = "a reply to no request heard";
    }
    return row;
}

void LineListener::extractAscii(bool closed)
{
    const WireFramer& ascii = FramerOf(Framing::Ascii);
    while (!buffer_.empty()) {
        const WireCut cut = ascii.cut(buffer_, closed, Sender::Master);
        if (cut.kind == WireCut::Kind::NeedMore)
            return;
        takeAscii(cut);
        consume(cut.length);
    }
}

void LineListener::takeAscii(const WireCut& cut)
{
    if (cut.kind != WireCut::Kind::Frame) {
        if (noise_.empty())
            noiseUs_ = timeOf(0);
        noise_ += buffer_.substr(0, cut.length);
        return;
    }
    flushNoise();
    const ByteString rtu = FramerOf(Framing::Rtu).wrap(cut.adu);
    const ByteString wire = buffer_.substr(0, cut.length);
    const int slave = ByteAt(rtu, 0);
    if (!cut.checkGood) {
        emitBadCheck(rtu, timeOf(cut.length - 1), cut.why).wire = wire;
        return;
    }
    const bool answers = pending_ && !pending_->answered && slave == ByteAt(pending_->frame, 0)
        && (ByteAt(rtu, 1) & 0x7F) == ByteAt(pending_->frame, 1);
    const std::optional<std::size_t> asRequest = RequestFrameLength(rtu, 0);
    const Role role = answers                   ? Role::Reply
        : asRequest && *asRequest == rtu.size() ? Role::Request
                                                : Role::Orphan;
    FrameRow& row = emitHeard(rtu, timeOf(cut.length - 1), markOf(cut.length - 1).serial, role);
    row.wire = wire;
    if (row.kind == RowKind::Reply)
        row.verdict = CheckGoodWords(Framing::Ascii);
}

void LineListener::missedReply(std::int64_t atUs)
{
    FrameRow& missed = rows_.emplace_back();
    missed.kind = RowKind::NoReply;
    missed.time.monoUs = atUs;
    missed.function = FunctionName(ByteAt(pending_->frame, 1));
    missed.request = pending_->frame;
    missed.verdict = "no reply";
    stats_.noReply(ByteAt(pending_->frame, 0));
}

void LineListener::emitRequest(FrameRow& row, int slave, long read)
{
    row.kind = RowKind::Request;
    pending_ = Heard { row.bytes, row.time.monoUs, slave == 0, read };
    row.verdict = slave == 0 ? "broadcast: no reply expected" : "request";
    stats_.request(slave, row.time.monoUs);
}

void LineListener::emitReply(FrameRow& row, int slave, long read)
{
    const std::string differs = ReplyMismatch(pending_->frame, row.bytes);
    // Ends brought by one read have one time: how long the reply took is not known then.
    const std::optional<double> ms = read == pending_->read
        ? std::nullopt
        : std::optional(double(row.time.monoUs - pending_->endUs) / 1000.0);
    row.request = pending_->frame;
    row.replyMs = ms;
    pending_->answered = true;
    if (!differs.empty()) {
        row.kind = RowKind::Mismatch;
        row.verdict = differs;
        stats_.mismatched(slave);
    } else if (ByteAt(row.bytes, 1) & 0x80) {
        row.kind = RowKind::Exception;
        row.verdict = ExceptionVerdict(ByteAt(row.bytes, 2));
        stats_.exception(slave, ByteAt(row.bytes, 2), ms);
    } else {
        row.kind = RowKind::Reply;
        row.verdict = "CRC OK";
        stats_.reply(slave, ms);
    }
}

void LineListener::emitCrcBad(std::size_t length)
{
    const ByteString frame = buffer_.substr(0, length);
    const ByteString check = CRC16(frame.substr(0, length - 2)).value_or(ByteString(2, '\0'));
    emitBadCheck(frame, timeOf(length - 1), "CRC BAD (expected " + HexBytes(check) + ")");
}

FrameRow& LineListener::emitBadCheck(
    const ByteString& frame, std::int64_t endUs, const std::string& verdict)
{
    FrameRow& row = rows_.emplace_back();
    row.kind = RowKind::CrcBad;
    row.bytes = frame;
    row.time.monoUs = endUs;
    row.function = FunctionName(ByteAt(frame, 1));
    row.verdict = verdict;
    const int slave = ByteAt(frame, 0);
    if (pending_ && !pending_->answered && ByteAt(pending_->frame, 0) == slave)
        pending_->answered = true; // its slave spoke, if garbled
    stats_.crcBad(slave);
    return row;
}

void LineListener::flushNoise()
{
    if (noise_.empty())
        return;
    FrameRow& row = rows_.emplace_back();
    row.kind = RowKind::NotFrame;
    row.bytes = noise_;
    row.time.monoUs = noiseUs_;
    row.verdict = std::to_string(noise_.size())
        + (noise_.size() == 1 ? " byte that makes no frame" : " bytes that make no frame");
    noise_.clear();
}

LineListener::ReadMark LineListener::markOf(std::size_t index) const
{
    for (const ReadMark& mark : reads_)
        if (mark.end > index)
            return mark;
    return { buffer_.size(), lastUs_, readsSoFar_ };
}

void LineListener::consume(std::size_t length)
{
    buffer_.erase(0, length);
    std::erase_if(reads_, [&](const ReadMark& r) { return r.end <= length; });
    for (ReadMark& r : reads_)
        r.end -= length;
    // A silence crossed ends the noise before it: what follows starts afresh.
    const bool crossed = std::any_of(
        splits_.begin(), splits_.end(), [&](std::size_t s) { return s > 0 && s <= length; });
    std::erase_if(splits_, [&](std::size_t s) { return s <= length; });
    for (std::size_t& s : splits_)
        s -= length;
    if (crossed)
        flushNoise();
}

} // namespace modbus
