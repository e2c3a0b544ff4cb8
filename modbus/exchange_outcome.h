// What one request came to, as a value: the verdict's words, the JSON code, the statistics'
// counts, a check step's result and the exit status all derive from it, never from wording.
#pragma once

#include <string_view>

namespace modbus {

enum class Outcome {
    Good,
    Exception,
    CrcBad,
    WrongReply, // from the slave asked, but another function or length
    OtherAddress, // only another slave answered
    NotFrame,
    NoReply,
    EchoOnly, // nothing but the adapter's copy of the request
    ShortWrite,
    NotConnected,
    Broadcast, // to address 0, sent whole: nobody answers
};

// The stable word for scripts: ok, exception, crc-bad, wrong-reply, other-address,
// not-a-frame, no-reply, echo-only, short-write, not-connected, broadcast.
std::string_view OutcomeCode(Outcome outcome);
// Whether a script may go on: a good reply, or a broadcast sent whole.
bool Succeeded(Outcome outcome);
// Whether the slave asked answered at all (a reply of any kind, good or not).
bool SlaveAnswered(Outcome outcome);
// Whether the request went and nothing of its slave answered it: a late reply may still come.
bool MayStillBeAnswered(Outcome outcome);

} // namespace modbus
