#include "exchange_outcome.h"

#include <array>

namespace modbus {

std::string_view OutcomeCode(Outcome outcome)
{
    // In the order of the enumeration.
    static constexpr std::array<std::string_view, 11> kCodes
        = { "ok", "exception", "crc-bad", "wrong-reply", "other-address", "not-a-frame", "no-reply",
              "echo-only", "short-write", "not-connected", "broadcast" };
    static_assert(kCodes.size() == std::size_t(Outcome::Broadcast) + 1);
    return kCodes[std::size_t(outcome)];
}

bool Succeeded(Outcome outcome)
{
    return outcome == Outcome::Good || outcome == Outcome::Broadcast;
}

bool SlaveAnswered(Outcome outcome)
{
    return outcome == Outcome::Good || outcome == Outcome::Exception || outcome == Outcome::CrcBad
        || outcome == Outcome::WrongReply;
}

bool MayStillBeAnswered(Outcome outcome)
{
    return outcome == Outcome::NoReply || outcome == Outcome::EchoOnly
        || outcome == Outcome::OtherAddress;
}

} // namespace modbus
