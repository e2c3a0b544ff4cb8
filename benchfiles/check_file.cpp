#include "check_file.h"

#include "requests/read_back.h"

#include "map_values.h"
#include "modbus/function_table.h"
#include "modbus/number_format.h"
#include "modbus/read_values.h"
#include "modbus/text_trim.h"
#include "named_request.h"
#include "requests/request_language.h"

#include <algorithm>
#include <cmath>

namespace modbus {
namespace {

    std::string_view trim(std::string_view s) { return Trimmed(s); }

    std::vector<std::string_view> words(std::string_view text)
    {
        std::vector<std::string_view> out;
        for (std::size_t at = 0;
             (at = text.find_first_not_of(" \t", at)) != std::string_view::npos;) {
            const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
            out.push_back(text.substr(at, end - at));
            at = end;
        }
        return out;
    }

    // A value as expected: a number, or one of a mapped entry's names in engineering units.
    std::optional<double> expectedNumber(std::string_view text, const std::optional<MapEntry>& e)
    {
        const auto named = e ? NamedValue(*e, text) : std::nullopt;
        return named ? named : ParseNumber(text);
    }

    // What follows "expect".
    std::optional<Expected> readExpected(
        std::string_view text, const std::optional<MapEntry>& entry)
    {
        const std::vector<std::string_view> w = words(text);
        Expected e;
        if (w.size() == 1 && w[0] == "ok")
            return e;
        if (w.size() == 2 && w[0] == "exception") {
            const auto code = ParseInteger(w[1]);
            if (!code || *code < 1 || *code > 255)
                return std::nullopt;
            return Expected { Expected::Kind::Exception, int(*code), {} };
        }
        e.kind = Expected::Kind::Values;
        for (const std::string_view v : w) {
            const std::size_t dots = v.find("..");
            const auto low = expectedNumber(v.substr(0, dots), entry);
            const auto high
                = dots == std::string_view::npos ? low : expectedNumber(v.substr(dots + 2), entry);
            if (v == "?")
                e.values.push_back(std::nullopt);
            else if (low && high && *low <= *high)
                e.values.push_back(std::pair(*low, *high));
            else
                return std::nullopt;
        }
        return e.values.empty() ? std::nullopt : std::optional(e);
    }

    // What makes a parsed step unfit to send: the standard's limits (a read to address 0 among
    // them), or expected values that the reply cannot have.
    std::string refusal(const CheckStep& step, int slave)
    {
        if (const std::string why = BuildRequest(slave, step.request).notSent; !why.empty())
            return why;
        const RequestFields& f = step.request;
        const FunctionInfo* info = FindFunction(f.function);
        const bool read = !f.raw && info && info->reads;
        const std::size_t expected = step.expected.values.size();
        if (!read && !f.raw && !step.entry && step.expected.kind == Expected::Kind::Values)
            return "a write's reply carries no values to expect: expect ok (or verify, to read "
                   "it back)";
        if (read && !step.entry && step.expected.kind == Expected::Kind::Values
            && expected != f.quantity)
            return std::to_string(expected) + " values expected of a read of "
                + std::to_string(f.quantity);
        return {};
    }

    // "wait 500" as a step, or why not.
    std::string readWait(const std::vector<std::string_view>& w, CheckStep& step)
    {
        const auto ms = w.size() == 2 ? ParseInteger(w[1]) : std::nullopt;
        if (!ms || *ms < 0 || *ms > 3'600'000)
            return "wait takes milliseconds: wait 500";
        step.waitMs = int(*ms);
        return {};
    }

    // One line as a step, or why not.
    std::string readStep(std::string_view line, CheckStep& step, const RegisterMap* map, int slave)
    {
        if (const std::vector<std::string_view> w = words(line); w[0] == "wait")
            return readWait(w, step);
        const std::size_t expect = line.find(" expect ");
        if (expect == std::string_view::npos)
            return "no \"expect\": read-holding 0 2 expect 10 20";
        step.text = std::string(trim(line.substr(0, expect)));
        // "write-register 5 1234 verify": the write read back and compared.
        std::string_view command = step.text;
        step.verify = command.ends_with(" verify");
        if (step.verify)
            command = trim(command.substr(0, command.size() - 7));
        const NamedRequest named = map ? ParseNamedRequest(command, *map, step.order)
                                       : NamedRequest { ParseRequest(command), nullptr };
        if (!named.parsed.error.empty())
            return named.parsed.error;
        step.request = named.parsed.fields;
        if (named.entry)
            step.entry = *named.entry;
        const auto expected = readExpected(line.substr(expect + 8), step.entry);
        if (!expected)
            return "cannot read what is expected: values (? for any, 15..35 for a range), ok, or "
                   "exception N";
        step.expected = *expected;
        if (step.verify && !ReadBackOf(step.request))
            return "verify reads back a write: " + ReadBackCommands();
        return refusal(step, slave);
    }

    // A named entry's read: its one engineering value against the one expected.
    StepResult judgeMapped(const MapEntry& entry, WordOrder order, const Expected& e,
        const std::vector<std::uint16_t>& words)
    {
        const auto value = EngineeringValue(entry, words, order);
        // 215 x 0.1 is 21.500000000000004: a value as written must still match.
        const double slack = value ? 1e-9 * std::max(1.0, std::abs(*value)) : 0;
        const bool passed = e.values.size() == 1
            && (!e.values[0]
                || (value && *value >= e.values[0]->first - slack
                    && *value <= e.values[0]->second + slack));
        return { passed, EngineeringText(entry, words, order) };
    }

    std::string valuesText(const std::vector<std::uint16_t>& values)
    {
        std::string text;
        for (std::size_t i = 0; i < values.size(); ++i)
            text += (i ? " " : "") + Decimal(values[i]);
        return text;
    }

} // namespace

CheckFile ReadCheckFile(std::string_view text, const RegisterMap* map, WordOrder order, int slave)
{
    CheckFile file;
    int number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        line = trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        CheckStep step;
        step.line = number;
        step.order = order;
        if (const std::string why = readStep(line, step, map, slave); !why.empty())
            file.refused.push_back("line " + std::to_string(number) + ": " + why);
        else
            file.steps.push_back(std::move(step));
    }
    return file;
}

StepResult JudgeStep(const CheckStep& step, const Exchange& exchange)
{
    const FrameRow* answer = exchange.answer();
    const Expected& e = step.expected;
    // A broadcast sent whole is all a write to address 0 can show: nobody answers it.
    if (exchange.outcome() == Outcome::Broadcast)
        return { e.kind == Expected::Kind::Ok, exchange.verdict() };
    if (!answer)
        return { false, exchange.verdict() };
    if (answer->kind == RowKind::Exception) {
        const int code = ByteAt(answer->bytes, 2);
        return { e.kind == Expected::Kind::Exception && e.exception == code, answer->verdict };
    }
    if (!exchange.good())
        return { false, answer->verdict };
    if (e.kind == Expected::Kind::Ok)
        return { true, answer->verdict };
    const auto read = ValuesOfReply(exchange.request().bytes, answer->bytes);
    if (e.kind == Expected::Kind::Exception) // what came instead: the values a read brought
        return { false, read ? valuesText(read->values) : answer->verdict };
    if (!read)
        return { false, "not a read reply" };
    if (step.entry)
        return judgeMapped(*step.entry, step.order, e, read->values);
    bool passed = read->values.size() == e.values.size();
    for (std::size_t i = 0; i < read->values.size(); ++i) {
        // A register matches read unsigned or signed: "expect -5" finds 65531.
        const auto within
            = [&](double v) { return v >= e.values[i]->first && v <= e.values[i]->second; };
        if (i < e.values.size() && e.values[i])
            passed = passed && (within(read->values[i]) || within(std::int16_t(read->values[i])));
    }
    return { passed, valuesText(read->values) };
}

} // namespace modbus
