#include "exchange_outcome.h"

namespace modbus {

std::string_view OutcomeCode(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Good:
        return "ok";
    case Outcome::Exception:
        return "exception";
    case Outcome::CrcBad:
        return "crc-bad";
    case Outcome::WrongReply:
        return "wrong-reply";
    case Outcome::OtherAddress:
        return "other-address";
    case Outcome::NotFrame:
        return "not-a-frame";
    case Outcome::NoReply:
        return "no-reply";
    case Outcome::EchoOnly:
        return "echo-only";
    case Outcome::ShortWrite:
        return "short-write";
    case Outcome::NotConnected:
        return "not-connected";
    case Outcome::Broadcast:
        return "broadcast";
    }
    return "no-reply";
}

bool Succeeded(Outcome outcome) { return outcome == Outcome::Good || outcome == Outcome::Broadcast; }

bool SlaveAnswered(Outcome outcome)
{
    return outcome == Outcome::Good || outcome == Outcome::Exception || outcome == Outcome::CrcBad
        || outcome == Outcome::WrongReply;
}

} // namespace modbus
