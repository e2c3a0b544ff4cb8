#include "request_gate.h"

#include "modbus/byte_string.h"

#include <algorithm>

namespace modbus {

ReplyShape ShapeOfReply(std::string_view request)
{
    return request.size() < 2 ? ReplyShape {}
                              : ReplyShape { ByteAt(request, 0), ByteAt(request, 1) };
}

RequestGate::RequestGate(std::int64_t interFrameUs, std::int64_t graceUs)
    : interFrameUs_(interFrameUs)
    , graceUs_(graceUs)
{ }

bool RequestGate::stale(const Unanswered& u) const
{
    // Bytes heard only after its grace was over came from other exchanges: a reply to it later
    // than that is one no master can place.
    return quietSinceUs_ >= u.endUs + graceUs_;
}

const RequestGate::Unanswered* RequestGate::graceFor(std::string_view request) const
{
    const ReplyShape shape = ShapeOfReply(request);
    const auto it = std::find_if(unanswered_.begin(), unanswered_.end(),
        [&](const Unanswered& u) { return u.shape == shape && !stale(u); });
    return graceUs_ > 0 && it != unanswered_.end() ? &*it : nullptr;
}

std::int64_t RequestGate::holdUs(std::string_view request, std::int64_t nowUs) const
{
    std::int64_t until = quietSinceUs_ + interFrameUs_;
    if (const Unanswered* u = graceFor(request))
        until = std::max(until, std::max(quietSinceUs_, u->endUs) + graceUs_);
    return std::max<std::int64_t>(0, until - nowUs);
}

bool RequestGate::inGrace(std::string_view request, std::int64_t nowUs) const
{
    const Unanswered* u = graceFor(request);
    return u && nowUs < std::max(quietSinceUs_, u->endUs) + graceUs_;
}

void RequestGate::heard(std::int64_t atUs) { quietSinceUs_ = std::max(quietSinceUs_, atUs); }

void RequestGate::sending(std::string_view request, std::int64_t nowUs)
{
    // A grace kept is spent: a reply later than that is one no master can place on RTU.
    const ReplyShape shape = ShapeOfReply(request);
    std::erase_if(unanswered_, [&](const Unanswered& u) {
        return u.shape == shape || stale(u) || nowUs >= std::max(quietSinceUs_, u.endUs) + graceUs_;
    });
}

void RequestGate::ended(std::string_view request, bool unanswered, std::int64_t endUs)
{
    heard(endUs);
    if (unanswered && graceUs_ > 0 && unanswered_.size() < 256)
        unanswered_.push_back({ ShapeOfReply(request), endUs });
}

} // namespace modbus
