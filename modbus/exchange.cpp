#include "exchange.h"

#include <algorithm>

namespace modbus {

Exchange::Exchange(const ByteString& frame, int written, std::int64_t timeoutUs,
    std::int64_t silenceUs, LineTime sentAt)
    : deadlineUs_(sentAt.monoUs + timeoutUs)
    , silenceUs_(silenceUs)
{
    analyzer_.written(frame, written, false, sentAt);
    collect();
    done_ = written < int(frame.size());
}

std::int64_t Exchange::nextWaitUs(std::int64_t nowUs) const
{
    const std::int64_t left = std::max<std::int64_t>(0, deadlineUs_ - nowUs);
    // Once bytes came, only a short silence is waited for: it ends a copy held for the next
    // read, or bytes that make no frame.
    return bytesCame_ ? std::min(silenceUs_, left) : left;
}

void Exchange::read(const ByteString& chunk, LineTime at)
{
    analyzer_.read(chunk, at);
    collect();
    if (chunk.empty())
        done_ = true; // the time-out, or the silence after bytes
    bytesCame_ = bytesCame_ || !chunk.empty();
    if (answer_ || at.monoUs >= deadlineUs_)
        done_ = true;
}

void Exchange::collect()
{
    for (FrameRow& row : analyzer_.take()) {
        if (row.replyMs && !answer_ && row.kind != RowKind::Echo)
            answer_ = rows_.size();
        rows_.push_back(std::move(row));
    }
}

const FrameRow* Exchange::answer() const { return answer_ ? &rows_[*answer_] : nullptr; }

std::string Exchange::verdict() const
{
    if (const FrameRow* a = answer())
        return a->verdict;
    // What came instead of an answer, the last of it.
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row)
        if (row->kind != RowKind::Hint && row->kind != RowKind::Request)
            return row->verdict;
    return rows_.empty() || rows_.front().verdict == "sent" ? "no reply" : rows_.front().verdict;
}

} // namespace modbus
