// What must pass on a line before the next request may go: the silence between frames and,
// after a request that got no reply, a grace of quiet before a request whose reply could look
// the same. On RTU nothing in a reply says which request it answers: a late reply to the first
// would pass for the answer to the second. Requests to another slave or function go at once,
// since the content tells them apart. Times are passed in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace modbus {

// What tells one request's reply from another's whatever the reply: its slave and function. A
// length would not do: an exception reply to either carries nothing more.
struct ReplyShape
{
    unsigned slave = 0;
    unsigned function = 0;
    bool operator==(const ReplyShape&) const = default;
};
ReplyShape ShapeOfReply(std::string_view request);

class RequestGate
{
public:
    // interFrameUs: the silence between frames (none on a network); graceUs: the quiet kept
    // after an unanswered request before one of the same shape.
    RequestGate(std::int64_t interFrameUs, std::int64_t graceUs);

    // How long the line must still be read before request may go at nowUs; 0: it may go.
    std::int64_t holdUs(std::string_view request, std::int64_t nowUs) const;
    // Whether holdUs waits for a grace, not only the silence between frames.
    bool inGrace(std::string_view request, std::int64_t nowUs) const;
    // Bytes crossed the line until atUs: it is quiet from then.
    void heard(std::int64_t atUs);
    // A request goes at nowUs; graces it no longer needs are forgotten.
    void sending(std::string_view request, std::int64_t nowUs);
    // An exchange ended at endUs, the line quiet from then; unanswered: no reply came, so a
    // late one may still.
    void ended(std::string_view request, bool unanswered, std::int64_t endUs);

private:
    struct Unanswered
    {
        ReplyShape shape;
        std::int64_t endUs;
    };
    const Unanswered* graceFor(std::string_view request) const;
    bool stale(const Unanswered& u) const;

    std::int64_t interFrameUs_;
    std::int64_t graceUs_;
    std::int64_t quietSinceUs_ = 0;
    std::vector<Unanswered> unanswered_;
};

} // namespace modbus
