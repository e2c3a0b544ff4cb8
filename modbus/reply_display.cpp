#include "reply_display.h"

#include "reply_text.h"

namespace modbus {
namespace {

    ReplyDisplay raw(std::string_view header, const ByteString& chunk)
    {
        return { ReplyKind::Raw, RawReplyText(header, chunk), std::nullopt };
    }

    using Layout = ByteString (*)(const ByteString&, double&);

    ReplyDisplay decoded(ReplyKind kind, Layout layout, std::size_t length, const ByteString& chunk)
    {
        // A recognised reply cut short (or split over two reads) cannot be laid out;
        // show what came rather than read past its end.
        if (chunk.size() < length)
            return raw("Reply ", chunk);
        double value = 0;
        ByteString text = layout(chunk, value);
        return { kind, std::move(text), value };
    }

} // namespace

ReplyDisplay ClassifyReply(const ByteString& chunk, double address)
{
    if (chunk.empty() || static_cast<double>(ByteAt(chunk, 0)) != address)
        return raw("Reply DATA :", chunk);
    if (chunk.size() < 2)
        return raw("Reply ", chunk);
    switch (ByteAt(chunk, 1)) {
    case 16:
        return decoded(ReplyKind::WriteMultipleEcho, WriteReplyText, kWriteReplyLength, chunk);
    case 6:
        return decoded(ReplyKind::WriteSingleEcho, WriteReplyText, kWriteReplyLength, chunk);
    case 3:
        return decoded(ReplyKind::ReadHolding, ReadReplyText, kReadReplyLength, chunk);
    default:
        return raw("Reply ", chunk);
    }
}

} // namespace modbus
