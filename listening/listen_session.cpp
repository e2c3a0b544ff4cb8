#include "listen_session.h"

#include "modbus/read_values.h"

namespace modbus {
namespace {

    constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

} // namespace

ListenSession::ListenSession(std::int64_t characterUs, std::int64_t silenceUs,
    std::int64_t epochUsAtMonoZero, Framing framing)
    : listener_(characterUs, silenceUs, framing)
    , captures_(framing == Framing::Rtu)
    , epochUsAtMonoZero_(epochUsAtMonoZero)
{ }

void ListenSession::read(const ByteString& chunk, LineTime at)
{
    lastAt_ = at;
    listener_.read(chunk, at.monoUs);
}

void ListenSession::finish(LineTime at)
{
    lastAt_ = at;
    listener_.finish(at.monoUs);
}

std::vector<FrameRow> ListenSession::take()
{
    std::vector<FrameRow> rows = listener_.take();
    for (FrameRow& row : rows)
        keep(row);
    return rows;
}

void ListenSession::keep(FrameRow& row)
{
    // A row's time of day: the last read's, less how long before it the frame ended.
    const std::int64_t beforeMs = (lastAt_.monoUs - row.time.monoUs) / 1000;
    row.time.wallMs = ((lastAt_.wallMs - beforeMs) % kDayMs + kDayMs) % kDayMs;
    if (captures_ && row.kind != RowKind::NotFrame && !row.bytes.empty()) {
        frames_.push_back({ epochUsAtMonoZero_ + row.time.monoUs, row.bytes });
        if (frames_.size() > kCaptured)
            frames_.pop_front();
    }
    if (row.replyMs && (row.kind == RowKind::Reply || row.kind == RowKind::Exception))
        times_.record(PollOutcome::Good, row.replyMs, 0, row.time.monoUs);
    if (row.kind != RowKind::Reply)
        return;
    for (const auto& values :
        { ValuesOfReply(row.request, row.bytes), ValuesOfWrite(row.request, row.bytes) })
        if (values)
            watch_.update(*values, row.time.wallMs);
}

ByteString ListenSession::capture() const
{
    ByteString file = PcapHeader();
    for (const PcapFrame& frame : frames_)
        file += PcapRecord(frame.bytes, frame.atUs);
    return file;
}

} // namespace modbus
