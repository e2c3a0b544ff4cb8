// Scripted checks: a text file of steps, one a line, each a request-language command followed
// by what is expected ("read-holding 0 2  expect 10 20"), or "wait MS". # starts a comment.
// A write followed by "verify" is read back too ("write-register 5 1234 verify  expect ok").
// Expectations: values ("10 20", "?" for any, "15..35" for a range), "ok" (a good reply),
// "exception N".
// With a map, steps may name registers and expect engineering values: "read temperature
// expect 15..35".
#pragma once

#include "exchange/exchange.h"
#include "modbus/request_fields.h"
#include "register_map.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

struct Expected
{
    enum class Kind { Ok, Exception, Values } kind = Kind::Ok;
    int exception = 0;
    // Values: each a range (equal ends for one value); nullopt for "?".
    std::vector<std::optional<std::pair<double, double>>> values;
};

struct CheckStep
{
    int line = 0;
    std::string text; // the command as written, for the report
    std::optional<int> waitMs; // a "wait" step
    RequestFields request;
    Expected expected;
    // A step that names a map's entry ("read-input temperature") expects engineering values.
    std::optional<MapEntry> entry;
    WordOrder order = WordOrder::ABCD;
    // "write-register 5 1234 verify": a good reply is not enough, the values must read back.
    bool verify = false;
};

struct CheckFile
{
    std::vector<CheckStep> steps;
    std::vector<std::string> refused; // "line 3: ..." — nothing is sent when any is
};

// With a map, steps may name its entries and expect their engineering values or enum names.
// slave: the address the steps go to; a step it cannot take (a read to 0) is refused.
CheckFile ReadCheckFile(std::string_view text, const RegisterMap* map = nullptr,
    WordOrder order = WordOrder::ABCD, int slave = 1);

struct StepResult
{
    bool passed = false;
    std::string got; // what came, for a failure: "10 21", "no reply", "exception 2 ..."
};

// Judges a request step by what its exchange came to.
StepResult JudgeStep(const CheckStep& step, const Exchange& exchange);

} // namespace modbus
