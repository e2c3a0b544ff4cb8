#include "exchange.h"

#include <algorithm>
#include <limits>

namespace modbus {

Exchange::Exchange(FrameAnalyzer& line, const ByteString& frame, int written,
    const ExchangeTiming& timing, LineTime sentAt, const std::string& notSent)
    : line_(&line)
    , timing_(timing)
    , requestEndUs_(sentAt.monoUs + std::int64_t(frame.size()) * timing.characterUs)
{
    // Reads here return as bytes arrive, so their times tell gaps and echoes; the exchange
    // says when the time is up, not the analysis's own second.
    line.setCharacterUs(timing.timed ? timing.characterUs : 0);
    line.setTimedReads(timing.timed);
    line.setGapUs(timing.silenceUs);
    line.setPauseUs(timing.byteUs);
    line.setNoReplyUs(std::numeric_limits<std::int64_t>::max());
    line.written(frame, written, false, sentAt, notSent);
    // What waited is judged before the request's own row, the last that written() makes.
    rows_ = line.take();
    requestAt_ = rows_.size() - 1;
    if (written < int(frame.size()))
        unsent_ = written <= 0 && !notSent.empty() ? Outcome::NotConnected : Outcome::ShortWrite;
    else if (line.broadcastSent())
        unsent_ = Outcome::Broadcast;
    done_ = unsent_.has_value();
}

std::int64_t Exchange::nextWaitUs(std::int64_t nowUs) const
{
    if (done_ || line_->holdsCopy())
        return 0; // a copy is told at once: a write's good reply is not slowed
    if (line_->pendingBytes() > 0) {
        // A reply flows: it may pause for the byte time-out; one whose length the table does
        // not give ends at the silence.
        const std::int64_t pause = line_->pendingLengthKnown()
            ? timing_.byteUs
            : std::min(timing_.byteUs, timing_.silenceUs);
        return std::max<std::int64_t>(0, lastBytesUs_ + pause - nowUs);
    }
    return std::max<std::int64_t>(0, requestEndUs_ + timing_.responseUs - nowUs);
}

void Exchange::read(const ByteString& chunk, LineTime at)
{
    if (!chunk.empty()) {
        lastBytesUs_ = at.monoUs;
        line_->read(chunk, at);
    } else if (line_->pendingBytes() > 0) {
        line_->read(chunk, at); // the pause ended what was there
    } else if (!done_ && at.monoUs >= requestEndUs_ + timing_.responseUs) {
        line_->timedOut(at);
        done_ = true; // whatever the analysis made of it, the time is up
    }
    collect();
}

void Exchange::collect()
{
    for (FrameRow& row : line_->take()) {
        rows_.push_back(std::move(row));
        const FrameRow& r = rows_.back();
        const bool answers = r.replyMs && r.kind != RowKind::Echo && r.kind != RowKind::Late
            && r.kind != RowKind::OtherAddress;
        if (answers && !answer_)
            answer_ = rows_.size() - 1;
        done_ = done_ || answers || r.kind == RowKind::NotFrame || r.kind == RowKind::NoReply;
    }
}

const FrameRow* Exchange::answer() const { return answer_ ? &rows_[*answer_] : nullptr; }

const FrameRow* Exchange::firstAfterRequest(RowKind kind) const
{
    for (std::size_t i = requestAt_ + 1; i < rows_.size(); ++i)
        if (rows_[i].kind == kind)
            return &rows_[i];
    return nullptr;
}

const FrameRow* Exchange::lastWord() const
{
    // Only another slave spoke: that says more than the silence of the one asked.
    if (const FrameRow* other = firstAfterRequest(RowKind::OtherAddress);
        other && !firstAfterRequest(RowKind::NotFrame))
        return other;
    for (std::size_t i = rows_.size(); i > requestAt_ + 1; --i) {
        const RowKind kind = rows_[i - 1].kind;
        if (kind != RowKind::Hint && kind != RowKind::Note && kind != RowKind::Stray
            && kind != RowKind::Late && kind != RowKind::Echo)
            return &rows_[i - 1];
    }
    return nullptr;
}

std::string Exchange::verdict() const
{
    if (const FrameRow* a = answer())
        return a->verdict;
    if (const FrameRow* last = lastWord())
        return last->verdict;
    return unsent_ ? request().verdict : "no reply";
}

Outcome Exchange::outcome() const
{
    if (unsent_)
        return *unsent_;
    const FrameRow* a = outcomeRow();
    switch (a ? a->kind : RowKind::NoReply) {
    case RowKind::Reply:
        return Outcome::Good;
    case RowKind::Exception:
        return Outcome::Exception;
    case RowKind::CrcBad:
        return Outcome::CrcBad;
    case RowKind::Mismatch:
        return Outcome::WrongReply;
    case RowKind::OtherAddress:
        return Outcome::OtherAddress;
    case RowKind::NotFrame:
        return Outcome::NotFrame;
    default: // no reply, or none yet when the next request went out
        return firstAfterRequest(RowKind::Echo) ? Outcome::EchoOnly : Outcome::NoReply;
    }
}

std::vector<std::string> Exchange::notes() const
{
    std::vector<std::string> notes;
    // Another slave's frame is a note when the asked one answered; else it is the verdict.
    const bool answered = answer() != nullptr;
    for (const FrameRow& row : rows_)
        if (row.kind == RowKind::Stray || row.kind == RowKind::Late || row.kind == RowKind::Note
            || (answered && row.kind == RowKind::OtherAddress))
            notes.push_back(row.verdict);
    return notes;
}

} // namespace modbus
