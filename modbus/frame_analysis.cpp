#include "frame_analysis.h"

#include "crc16.h"
#include "function_table.h"
#include "modbus_names.h"
#include "reply_match.h"

#include <algorithm>

namespace modbus {
namespace {

    // The longest Modbus RTU frame: past it, bytes that have not made a frame never will.
    constexpr std::size_t kMaxFrame = 256;
    constexpr std::size_t kMinFrame = 4; // address, function, two check bytes

    std::optional<ByteString> checkBytes(std::string_view frame)
    {
        return CRC16(ByteString(frame.substr(0, frame.size() - 2)));
    }

    // The length of the shortest start of bytes that ends in its own good check bytes, 0 when
    // none does: one pass, the check value carried along, rather than one CRC per length.
    std::size_t shortestGoodPrefix(std::string_view bytes)
    {
        std::uint16_t crc = 0xFFFF;
        for (std::size_t n = 0; n + 2 <= std::min(bytes.size(), kMaxFrame); ++n) {
            if (n + 2 >= kMinFrame && ByteAt(bytes, n) == (crc & 0xFF)
                && ByteAt(bytes, n + 1) == (crc >> 8))
                return n + 2;
            crc = Crc16Step(crc, ByteAt(bytes, n));
        }
        return 0;
    }

    std::string sentVerdict(int count, std::size_t size, const std::string& notSent, bool broadcast)
    {
        if (count <= 0 && !notSent.empty())
            return "not sent: " + notSent;
        if (count < int(size))
            return "short write: " + std::to_string(std::max(count, 0)) + " of "
                + std::to_string(size) + " bytes sent";
        return broadcast ? "broadcast: no reply expected" : "sent";
    }

} // namespace

FrameAnalyzer::FrameAnalyzer(std::string line)
    : line_(std::move(line))
{ }

std::vector<FrameRow> FrameAnalyzer::take()
{
    std::vector<FrameRow> rows;
    rows.swap(rows_);
    return rows;
}

FrameRow& FrameAnalyzer::add(RowKind kind, LineTime at)
{
    FrameRow& row = rows_.emplace_back();
    row.kind = kind;
    row.time = at;
    if (request_)
        row.request = request_->frame;
    return row;
}

ByteString FrameAnalyzer::wireOf(const ByteString& frame, bool rawText) const
{
    // Raw text, or too short to hold an address and a function, goes as typed.
    if (framing_ == Framing::Rtu || rawText || frame.size() < 4)
        return frame;
    ByteString wire = FramerOf(framing_).wrap(
        std::string_view(frame).substr(0, frame.size() - 2), std::uint16_t(transaction_ + 1));
    // A frame made with wrong check bytes on purpose keeps a wrong check: ASCII's LRC.
    if (framing_ == Framing::Ascii && !CrcGood(frame))
        wire[wire.size() - 3] = wire[wire.size() - 3] == '0' ? '1' : '0';
    return wire;
}

void FrameAnalyzer::written(
    const ByteString& frame, int count, bool rawText, LineTime at, const std::string& notSent)
{
    // Frames do not span a request: what waited is judged against the request it followed.
    beforeRequest_ = true;
    extract(at, true);
    noticeSilence(at, true);
    beforeRequest_ = false;
    previous_ = request_ && !request_->raw ? request_->frame : ByteString();
    request_ = Request {};
    request_->raw = rawText;
    request_->writtenUs = at.monoUs;
    // Where reads follow the line, the write began at `at` and the request left the line its
    // characters later; elsewhere the write returned once it had gone.
    request_->endUs = at.monoUs + (timedReads_ ? std::int64_t(frame.size()) * characterUs_ : 0);
    request_->frame = frame;
    FrameRow& row = add(RowKind::Request, at);
    if (const WireCut cut = FramerOf(framing_).cut(frame, true, Sender::Master);
        framing_ != Framing::Rtu && !rawText && cut.kind == WireCut::Kind::Frame) {
        request_->frame = FramerOf(Framing::Rtu).wrap(cut.adu);
        request_->transaction = transaction_ = cut.transaction;
        row.wire = frame;
        row.request = request_->frame;
    } else if (framing_ != Framing::Rtu) {
        // Bytes that are no frame of this link's kind are raw text: nothing answers them.
        request_->raw = true;
    }
    const ByteString& rtu = request_->frame;
    row.bytes = rtu;
    row.function = rawText ? "raw text" : rtu.size() >= 2 ? FunctionName(ByteAt(rtu, 1)) : "";
    request_->broadcast = !rawText && rtu.size() >= 4 && ByteAt(rtu, 0) == 0;
    request_->answered = request_->broadcast; // nobody answers a broadcast
    row.verdict = sentVerdict(count, frame.size(), notSent, request_->broadcast);
    ++counts_.requests;
}

void FrameAnalyzer::read(const ByteString& chunk, LineTime at)
{
    if (framing_ != Framing::Rtu) {
        readDelimited(chunk, at);
        return;
    }
    if (!chunk.empty()) {
        buffer_ += chunk;
        readEnds_.push_back(buffer_.size());
        readTimes_.push_back(at.monoUs);
    }
    extract(at, chunk.empty());
    if (chunk.empty())
        noticeSilence(at, false);
}

void FrameAnalyzer::readAway(const ByteString& chunk, LineTime at)
{
    beforeRequest_ = true;
    read(chunk, at);
    beforeRequest_ = false;
}

void FrameAnalyzer::note(const std::string& text, LineTime at, bool streamEnded)
{
    // Bytes of a stream that ended make no frame with what a new connection brings.
    if (streamEnded && !wire_.empty()) {
        takeDelimited(FramerOf(framing_).cut(wire_, true, Sender::Slave), wire_, at);
        wire_.clear();
    }
    add(RowKind::Note, at).verdict = text;
}

void FrameAnalyzer::readDelimited(const ByteString& chunk, LineTime at)
{
    const WireFramer& framer = FramerOf(framing_);
    // A datagram is one frame or none: nothing of it waits for the next.
    if (framing_ == Framing::MbapDatagram && !chunk.empty())
        takeDelimited(framer.cut(chunk, true, Sender::Slave), chunk, at);
    else
        wire_ += chunk;
    if (!chunk.empty())
        wireUs_ = at.monoUs;
    // An empty read is a pause that ended what was there; ASCII's characters may pause longer.
    const bool silent = chunk.empty()
        && (framing_ != Framing::Ascii
            || at.monoUs - wireUs_ >= pauseUs_.value_or(framer.pauseInsideUs(characterUs_)));
    while (!wire_.empty()) {
        const WireCut cut = framer.cut(wire_, silent, Sender::Slave);
        if (cut.kind == WireCut::Kind::NeedMore)
            break; // the rest of the frame is on its way
        takeDelimited(cut, std::string_view(wire_).substr(0, cut.length), at);
        wire_.erase(0, cut.length);
    }
    extract(at, chunk.empty());
    if (chunk.empty())
        noticeSilence(at, false);
}

void FrameAnalyzer::takeDelimited(const WireCut& cut, std::string_view wire, LineTime at)
{
    const ByteString rtu
        = cut.kind == WireCut::Kind::Frame ? FramerOf(Framing::Rtu).wrap(cut.adu) : ByteString();
    // The frame's own marks ended it; a PDU that says another length is no frame either.
    const std::optional<std::size_t> length = ReplyFrameLength(rtu, 0, requestFrame());
    // A copy of the request is for the echo's judging: a read's copy has no reply's length.
    const bool copy = echoFraming() && rtu == requestFrame();
    const bool notFrame = cut.kind != WireCut::Kind::Frame
        || (length && *length > 0 && *length != rtu.size() && !copy);
    const bool otherTransaction = framing_ != Framing::Ascii
        && (!request_ || request_->raw || cut.transaction != request_->transaction);
    // A frame held for the next read is judged before what came after it is told.
    if (notFrame || !cut.checkGood || otherTransaction)
        settleHeld(at);
    if (cut.kind == WireCut::Kind::Noise)
        return emitNoise(wire, at);
    if (notFrame)
        return emitNotDelimited(cut.why, wire, at);
    if (!cut.checkGood)
        return emitBadCheck(cut, wire, at);
    if (otherTransaction)
        return emitOtherTransaction(cut.transaction, rtu, wire, at);
    buffer_ += rtu;
    readEnds_.push_back(buffer_.size());
    readTimes_.push_back(at.monoUs);
    frameWires_.emplace_back(wire);
    frameLengths_.push_back(rtu.size());
    extract(at, false);
}

void FrameAnalyzer::settleHeld(LineTime at) { extract(at, true); }

void FrameAnalyzer::giveWires()
{
    // Whole frames in, one row each out, in order: the rows not yet given theirs, oldest
    // first (a request's row has its own).
    for (std::size_t i = 0; i < rows_.size() && !frameWires_.empty(); ++i)
        if (rows_[i].kind != RowKind::Request && !rows_[i].bytes.empty() && rows_[i].wire.empty()) {
            rows_[i].wire = std::move(frameWires_.front());
            frameWires_.pop_front();
        }
    if (buffer_.empty())
        frameWires_.clear();
}

void FrameAnalyzer::emitNoise(std::string_view wire, LineTime at)
{
    FrameRow& row = add(RowKind::Stray, at);
    row.bytes = row.wire = ByteString(wire);
    const bool waiting = request_ && !request_->answered && !request_->raw;
    row.verdict = std::to_string(wire.size()) + (wire.size() == 1 ? " stray byte" : " stray bytes")
        + (waiting ? " before the reply" : " before a frame");
    counts_.strayBytes += int(wire.size());
}

void FrameAnalyzer::emitNotDelimited(const std::string& why, std::string_view wire, LineTime at)
{
    FrameRow& row = add(RowKind::NotFrame, at);
    row.bytes = row.wire = ByteString(wire);
    row.verdict = !why.empty()       ? why
        : framing_ == Framing::Ascii ? "not a frame: its length does not fit its function"
                                     : "not a frame: its PDU disagrees with its length field";
    if (request_)
        request_->answered = true;
    if (framing_ == Framing::Ascii) // text garbled on a line: its settings may be wrong
        emitHint(at);
}

void FrameAnalyzer::emitOtherTransaction(
    std::uint16_t transaction, const ByteString& rtu, std::string_view wire, LineTime at)
{
    FrameRow& row = add(RowKind::Late, at);
    row.bytes = rtu;
    row.wire = ByteString(wire);
    row.function = FunctionName(ByteAt(rtu, 1));
    row.verdict = "late reply: transaction " + std::to_string(transaction)
        + (request_ ? ", awaited " + std::to_string(request_->transaction) : std::string());
    ++counts_.late;
    ++counts_.replies;
}

void FrameAnalyzer::emitBadCheck(const WireCut& cut, std::string_view wire, LineTime at)
{
    FrameRow& row = add(RowKind::CrcBad, at);
    row.bytes = FramerOf(Framing::Rtu).wrap(cut.adu);
    row.wire = ByteString(wire);
    row.function = cut.adu.size() >= 2 ? FunctionName(ByteAt(cut.adu, 1)) : "";
    row.verdict = cut.why;
    ++counts_.crcBad;
    ++counts_.replies;
    if (request_ && !request_->answered && !request_->raw) {
        request_->answered = true;
        requestEnded(true); // the slave spoke, if garbled
        row.replyMs = double(std::max<std::int64_t>(0, at.monoUs - request_->endUs)) / 1000.0;
    }
}

void FrameAnalyzer::timedOut(LineTime at)
{
    extract(at, true);
    noticeSilence(at, true, true);
}

bool FrameAnalyzer::pendingLengthKnown() const
{
    // A frame that carries its own end waits for it, however long the pause inside.
    if (FramerOf(framing_).delimited())
        return true;
    // Bytes that make a whole frame already, and still wait, wait for the line's silence.
    const std::optional<std::size_t> length = ReplyFrameLength(buffer_, 0, requestFrame());
    return !length || (*length > 0 && *length > buffer_.size());
}

void FrameAnalyzer::noticeSilence(LineTime at, bool nextRequest, bool timeUp)
{
    if (!request_ || request_->raw || request_->answered || !buffer_.empty() || !wire_.empty())
        return;
    const bool inTime = !timeUp && at.monoUs - request_->writtenUs < noReplyUs_;
    if (!nextRequest && inTime)
        return;
    request_->answered = true;
    request_->silent = true;
    // Another request went out before this one's time was up: nobody knows yet whether its
    // slave would have answered, so no wiring is blamed.
    FrameRow& row = add(inTime ? RowKind::Interrupted : RowKind::NoReply, at);
    row.function = request_->frame.size() >= 2 ? FunctionName(ByteAt(request_->frame, 1)) : "";
    if (inTime) {
        row.verdict = "no reply yet when the next request went out";
        return;
    }
    row.verdict = request_->echoSeen ? "no reply (only the adapter's echo)" : "no reply";
    ++counts_.noReply;
    emitHint(at);
}

void FrameAnalyzer::requestEnded(bool answered)
{
    if (request_ && !request_->raw && !request_->broadcast && !request_->frame.empty())
        history_.ended(ByteAt(request_->frame, 0), answered);
}

// What to try when nothing (or nothing whole) answers: said once a run for each slave; for a
// slave that answers some of its requests, that it is intermittent rather than miswired.
void FrameAnalyzer::emitHint(LineTime at)
{
    requestEnded(false);
    const bool known = request_ && !request_->raw && !request_->frame.empty();
    const int slave = known ? ByteAt(request_->frame, 0) : -1;
    if (!history_.firstHint(slave))
        return;
    const SlaveHistory::Recent recent = history_.recent(slave);
    if (known && recent.answered > 0) {
        add(RowKind::Hint, at).verdict = (network_ ? "unit " : "slave ") + std::to_string(slave)
            + " answered " + std::to_string(recent.answered) + " of " + std::to_string(recent.asked)
            + ": intermittent; try: a longer time-out, and "
            + (network_ ? "the gateway's serial side (its own time-out, its line)"
                        : "the line's termination and grounding, or other traffic on it");
        return;
    }
    add(RowKind::Hint, at).verdict
        = lineHint(known ? " (asked " + std::to_string(slave) + ")" : std::string());
}

std::string FrameAnalyzer::lineHint(const std::string& asked) const
{
    if (network_)
        return "try: 1. the unit id" + asked
            + " (gateways answer 1 or 255, some only one of them); 2. the host and port (" + line_
            + "); 3. the gateway's own serial side: speed, parity, and a time-out "
              "shorter than this one";
    // Many devices ship at 8E1: worth saying only to a line that is not at it already.
    const bool at8E1 = line_.find("8E1") != std::string::npos;
    return "try: 1. the slave address" + asked + "; 2. speed and parity (the line is "
        + (line_.empty() ? "?" : line_) + (at8E1 ? "" : ", many devices default to 8E1")
        + "); 3. the A/B wires swapped; 4. an adapter that echoes what it sends";
}

void FrameAnalyzer::extract(LineTime at, bool lineSilent)
{
    extractFrames(at, lineSilent);
    giveWires(); // frames whose own marks ended them are shown as the wire carried them
}

void FrameAnalyzer::extractFrames(LineTime at, bool lineSilent)
{
    while (!buffer_.empty()) {
        // Whole frames are compared whole: raw text written to a link whose frames carry their
        // own ends has no frame of its own to be echoed as.
        const bool echoable = request_ && !request_->echoChecked && echoFraming()
            && !(request_->raw && FramerOf(framing_).delimited());
        const Step step = echoable ? checkEcho(at, lineSilent) : Step::Go;
        if (step == Step::Wait)
            return;
        if (step == Step::Go && !takeFrame(at, lineSilent))
            return;
    }
}

std::string_view FrameAnalyzer::requestFrame() const
{
    return request_ && !request_->raw ? std::string_view(request_->frame) : std::string_view();
}

bool FrameAnalyzer::echoKnownAbsent() const
{
    return !echoApplies() || (echo_ == EchoMode::Auto && heard_ == false);
}

bool FrameAnalyzer::echoApplies() const
{
    // No adapter between a master and a Modbus TCP or UDP server hears itself.
    return echoFraming() && echo_ != EchoMode::Off;
}

void FrameAnalyzer::learnEcho(bool heard, LineTime at, const std::string& how)
{
    // An echo seen outweighs one found missing; nothing else changes what is known.
    if (echo_ != EchoMode::Auto || heard_ == true || (heard_ == false && !heard))
        return;
    heard_ = heard;
    if (heard)
        echo_ = EchoMode::On;
    if (!how.empty())
        add(RowKind::Note, at).verdict = how;
}

FrameAnalyzer::Step FrameAnalyzer::checkEcho(LineTime at, bool lineSilent)
{
    const ByteString& sent = request_->frame;
    const std::string_view buffer = buffer_;
    // Known not to hear itself: a copy of a request whose reply is a copy is that reply. A copy
    // of any other request is an echo whatever the setting: no reply repeats such a request.
    if (echoKnownAbsent() && (request_->raw || ReplyCopiesRequest(sent))) {
        request_->echoChecked = true;
        return Step::Go;
    }
    if (!sent.empty() && buffer.size() < sent.size() && !lineSilent && sent.starts_with(buffer))
        return Step::Wait; // may still become the echo
    // A whole frame is a copy only as a whole.
    if (!frameLengths_.empty() && frameLengths_.front() != sent.size()) {
        request_->echoChecked = true;
        return Step::Go;
    }
    if (sent.empty() || !buffer.starts_with(sent)) {
        request_->echoChecked = true;
        return Step::Go;
    }
    const bool copies = !request_->raw && ReplyCopiesRequest(sent);
    if (echo_ == EchoMode::On || !copies || echoByTime(timeOfByte(sent.size() - 1))) {
        emitEcho(at);
        return Step::Again;
    }
    return checkCopy(at, lineSilent);
}

FrameAnalyzer::Step FrameAnalyzer::checkCopy(LineTime at, bool lineSilent)
{
    // A reply that repeats its request byte for byte, too late to be told by time: the first
    // copy is an echo only when a second copy, the reply, follows it.
    const ByteString& sent = request_->frame;
    const std::string_view rest = std::string_view(buffer_).substr(sent.size());
    if (rest.starts_with(sent)) {
        emitEcho(at);
        return Step::Again;
    }
    if (!lineSilent && sent.starts_with(rest)) {
        if (!request_->heldAt)
            request_->heldAt = at;
        return Step::Wait;
    }
    request_->echoChecked = true;
    request_->copyTaken = true; // silence or other bytes followed: the copy was the reply
    return Step::Go;
}

bool FrameAnalyzer::echoByTime(std::int64_t copyEndUs) const
{
    // No slave's copy can be complete before the request has left and the copy's own
    // characters have crossed the line.
    return tooSoonForReply(copyEndUs, request_->frame.size());
}

bool FrameAnalyzer::tooSoonForReply(std::int64_t endUs, std::size_t length) const
{
    // A reply starts once the request has left the line, at the soonest, and takes its own
    // characters to cross; an adapter's latency only delays bytes. The standard's 3.5
    // characters of silence before it are left out: slaves that answer sooner exist, and a good
    // reply judged late would be a false failure.
    const std::size_t onWire = FramerOf(framing_).wireLength(length >= 2 ? length - 2 : 0);
    return characterUs_ > 0 && endUs < request_->endUs + std::int64_t(onWire) * characterUs_;
}

std::int64_t FrameAnalyzer::timeOfByte(std::size_t index) const
{
    for (std::size_t i = 0; i < readEnds_.size(); ++i)
        if (readEnds_[i] > index)
            return readTimes_[i];
    return readTimes_.empty() ? 0 : readTimes_.back();
}

void FrameAnalyzer::emitEcho(LineTime at)
{
    const ByteString& sent = request_->frame;
    request_->echoChecked = true;
    request_->echoSeen = true;
    request_->heldAt.reset();
    FrameRow& row = add(RowKind::Echo, at);
    row.bytes = sent;
    row.function = request_->raw || sent.size() < 2 ? "raw text" : FunctionName(ByteAt(sent, 1));
    row.verdict = "echo of the request";
    row.reads = readsWithin(sent.size());
    consume(sent.size());
    // Said once: the adapter does not change within a session.
    learnEcho(true, at, kHearsItself);
}

bool FrameAnalyzer::takeFrame(LineTime at, bool lineSilent)
{
    // A frame that carried its own end is taken whole, whatever the table says of its length.
    if (!frameLengths_.empty()) {
        emitReceived(frameLengths_.front(), at);
        return true;
    }
    const std::optional<std::size_t> length = ReplyFrameLength(buffer_, 0, requestFrame());
    if (length && *length >= kMinFrame && *length <= buffer_.size()
        && CrcGood(std::string_view(buffer_).substr(0, *length))) {
        emitReceived(*length, at);
        return true;
    }
    return takeHunted(length, at, lineSilent);
}

bool FrameAnalyzer::takeHunted(std::optional<std::size_t> length, LineTime at, bool lineSilent)
{
    // Only bytes that made no good frame at the start pay for looking further on.
    std::optional<std::size_t> later = goodFrameAfterStart();
    // On a line that hands bytes over as they come, the reply may still begin further on in
    // what is arriving, or a frame's real end may still come: judged once the line is silent.
    const bool settled = lineSilent || buffer_.size() >= kMaxFrame;
    if (!later && !settled && !mayBeginReply())
        return false;
    // What cannot begin the reply, before where it can: stray bytes, the frame judged next.
    if (!later && settled && !mayBeginReply())
        later = replyStartAfter();
    if (length && *length == 0)
        return takeUnknown(later, at, lineSilent);
    // A frame whose check bytes are wrong: alone, or ending where a good one begins.
    if (length && *length <= buffer_.size() && (!later || *later == *length)) {
        if (!later && !settled)
            return false;
        emitReceived(*length, at);
        return true;
    }
    if (later)
        emitStray(*later, at); // noise before a good frame
    else if (settled)
        emitNotFrame(std::min(buffer_.size(), kMaxFrame), at, length.value_or(0));
    else
        return false;
    return true;
}

std::optional<std::size_t> FrameAnalyzer::replyStartAfter() const
{
    const std::string_view asked = requestFrame();
    for (std::size_t at = 1; asked.size() >= 2 && at + 1 < buffer_.size(); ++at)
        if (ByteAt(buffer_, at) == ByteAt(asked, 0)
            && (ByteAt(buffer_, at + 1) & 0x7F) == ByteAt(asked, 1))
            return at;
    return std::nullopt;
}

bool FrameAnalyzer::mayBeginReply() const
{
    const std::string_view asked = requestFrame();
    if (asked.size() < 2 || buffer_.empty() || request_->answered)
        return true;
    if (ByteAt(buffer_, 0) != ByteAt(asked, 0))
        return false;
    return buffer_.size() < 2 || (ByteAt(buffer_, 1) & 0x7F) == ByteAt(asked, 1);
}

bool FrameAnalyzer::takeUnknown(std::optional<std::size_t> later, LineTime at, bool lineSilent)
{
    // A function the table does not know: any good check bytes end it.
    if (const std::size_t good = shortestGoodPrefix(buffer_))
        emitReceived(good, at);
    else if (later)
        emitStray(*later, at);
    else if (lineSilent || buffer_.size() >= kMaxFrame)
        emitNotFrame(std::min(buffer_.size(), kMaxFrame), at);
    else
        return false;
    return true;
}

std::optional<std::size_t> FrameAnalyzer::goodFrameAfterStart() const
{
    for (std::size_t at = 1; at + kMinFrame <= buffer_.size(); ++at) {
        const std::optional<std::size_t> length = ReplyFrameLength(buffer_, at, requestFrame());
        if (length && *length >= kMinFrame && at + *length <= buffer_.size()
            && CrcGood(std::string_view(buffer_).substr(at, *length)))
            return at;
    }
    return std::nullopt;
}

std::optional<std::pair<RowKind, std::string>> FrameAnalyzer::judgeTime(std::string_view frame)
{
    const std::string_view asked = requestFrame();
    if (!timedReads_ || asked.empty() || request_->answered
        || !tooSoonForReply(timeOfByte(frame.size() - 1), frame.size()))
        return std::nullopt;
    if (frame == asked && !echoKnownAbsent()) {
        request_->echoSeen = true;
        return std::pair(RowKind::Echo, std::string("echo of the request"));
    }
    ++counts_.late;
    return std::pair(RowKind::Late,
        std::string("too soon to answer this request: a late reply to the one before"));
}

std::pair<RowKind, std::string> FrameAnalyzer::judge(std::string_view frame)
{
    if (auto byTime = judgeTime(frame))
        return *byTime;
    if (!CrcGood(frame)) {
        ++counts_.crcBad;
        return { RowKind::CrcBad,
            "CRC BAD (expected " + HexBytes(checkBytes(frame).value_or("\0\0")) + ")" };
    }
    if (auto byRequest = judgeAgainstRequest(frame))
        return *byRequest;
    if (ByteAt(frame, 1) & 0x80) {
        ++counts_.exceptions;
        return { RowKind::Exception, ExceptionVerdict(ByteAt(frame, 2)) };
    }
    return { RowKind::Reply, CheckGoodWords(framing_) };
}

std::optional<std::pair<RowKind, std::string>> FrameAnalyzer::judgeAgainstRequest(
    std::string_view frame)
{
    const std::string_view asked = requestFrame();
    if (asked.empty())
        return std::nullopt;
    std::string differs = ReplyMismatch(asked, frame);
    const bool fitsPrevious = !previous_.empty() && ReplyMismatch(previous_, frame).empty();
    if ((differs.empty() && request_->silent) || (!differs.empty() && fitsPrevious)) {
        ++counts_.late;
        return std::pair(RowKind::Late,
            std::string(beforeRequest_ || fitsPrevious ? "late reply to the previous request"
                                                       : "late reply, after the time-out"));
    }
    if (differs.empty())
        return std::nullopt;
    if (ByteAt(frame, 0) != ByteAt(asked, 0))
        return std::pair(RowKind::OtherAddress, differs);
    ++counts_.mismatched;
    return std::pair(RowKind::Mismatch, differs);
}

void FrameAnalyzer::emitReceived(std::size_t length, LineTime at)
{
    const std::string_view frame = std::string_view(buffer_).substr(0, length);
    auto [kind, verdict] = judge(frame);
    // A copy held for a read is timed at the read that brought it.
    const LineTime came = request_ && request_->heldAt ? *request_->heldAt : at;
    FrameRow& row = add(kind, came);
    row.bytes = ByteString(frame);
    row.function = FunctionName(ByteAt(frame, 1));
    row.reads = readsWithin(length);
    if (row.reads > 1)
        verdict += ", in " + std::to_string(row.reads) + " reads";
    verdict += gapNote(length);
    if (kind == RowKind::Reply && request_ && request_->copyTaken && !request_->answered)
        verdict += ", a copy of the request: if this adapter hears itself, set echo on";
    learnFromReply(kind, came);
    row.verdict = verdict;
    // Another slave's frame, or a late one, is not the answer: the asked one may still reply.
    if (request_ && !request_->answered && kind != RowKind::OtherAddress && kind != RowKind::Late
        && kind != RowKind::Echo) {
        request_->answered = true;
        requestEnded(true);
        // Timed at the read that brought its last byte, though judged at a silence after it.
        const std::int64_t lastByteUs = std::min(came.monoUs, timeOfByte(length - 1));
        row.replyMs = double(std::max<std::int64_t>(0, lastByteUs - request_->endUs)) / 1000.0;
    }
    if (request_)
        request_->heldAt.reset();
    if (kind != RowKind::Echo)
        ++counts_.replies;
    consume(length);
}

void FrameAnalyzer::learnFromReply(RowKind kind, LineTime at)
{
    // Only a reply that came first: bytes before it (stray, cut short) may have been its echo.
    if ((kind == RowKind::Reply || kind == RowKind::Exception) && !requestFrame().empty()
        && !request_->echoSeen && !request_->answered && request_->consumed == 0 && echoApplies()
        && !ReplyCopiesRequest(requestFrame()))
        learnEcho(false, at, {});
}

std::string FrameAnalyzer::gapNote(std::size_t length) const
{
    if (gapUs_ <= 0)
        return {};
    std::int64_t widest = 0;
    for (std::size_t i = 1; i < readEnds_.size() && readEnds_[i - 1] < length; ++i)
        widest = std::max(widest, readTimes_[i] - readTimes_[i - 1]);
    if (widest <= gapUs_)
        return {};
    return ", a gap of " + std::to_string((widest + 500) / 1000) + " ms inside the reply";
}

void FrameAnalyzer::emitStray(std::size_t length, LineTime at)
{
    FrameRow& row = add(RowKind::Stray, at);
    row.bytes = buffer_.substr(0, length);
    row.reads = readsWithin(length);
    const bool waiting = request_ && !request_->answered && !request_->raw;
    row.verdict = std::to_string(length) + (length == 1 ? " stray byte" : " stray bytes")
        + (waiting ? " before the reply" : " before a frame");
    counts_.strayBytes += int(length);
    consume(length);
}

void FrameAnalyzer::emitNotFrame(std::size_t length, LineTime at, std::size_t expected)
{
    FrameRow& row = add(RowKind::NotFrame, at);
    row.bytes = buffer_.substr(0, length);
    row.reads = readsWithin(length);
    // Fewer bytes than its first bytes promise: a frame cut short, or one whose check bytes are
    // good at a length its byte count does not give.
    const std::string counts
        = std::to_string(length) + " of " + std::to_string(expected) + " bytes";
    row.verdict = expected <= length ? "not a frame"
        : CrcGood(row.bytes) ? "not a frame: wrong length, " + counts + " with good check bytes"
                             : "not a frame: cut short, " + counts;
    if (request_)
        request_->answered = true; // something came, though not a reply
    consume(length);
    emitHint(at);
}

int FrameAnalyzer::readsWithin(std::size_t length) const
{
    // Reads that ended inside the frame carried part of it; the last carries its end.
    return 1 + int(std::count_if(readEnds_.begin(), readEnds_.end(), [&](std::size_t end) {
        return end < length;
    }));
}

void FrameAnalyzer::consume(std::size_t length)
{
    if (request_)
        request_->consumed += length;
    buffer_.erase(0, length);
    for (std::size_t left = length; left > 0 && !frameLengths_.empty();) {
        const std::size_t taken = std::min(left, frameLengths_.front());
        left -= taken;
        if ((frameLengths_.front() -= taken) == 0)
            frameLengths_.pop_front();
    }
    std::vector<std::size_t> ends;
    std::vector<std::int64_t> times;
    for (std::size_t i = 0; i < readEnds_.size(); ++i)
        if (readEnds_[i] > length) {
            ends.push_back(readEnds_[i] - length);
            times.push_back(readTimes_[i]);
        }
    readEnds_.swap(ends);
    readTimes_.swap(times);
}

} // namespace modbus
