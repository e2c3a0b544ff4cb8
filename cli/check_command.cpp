#include "check_command.h"

#include "cli_port.h"
#include "read_back_exchange.h"
#include "reply_output.h"

#include "benchfiles/check_file.h"
#include "benchfiles/file_text.h"
#include "modbus/function_table.h"
#include "modbus/number_format.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace cli {
namespace {

    struct Outcome
    {
        const modbus::CheckStep* step;
        modbus::StepResult result;
        double seconds;
    };

    std::string xmlEscaped(const std::string& text)
    {
        std::string out;
        for (const char c : text) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default: // XML 1.0 has no place for other control characters
                out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? '?' : c;
            }
        }
        return out;
    }

    // Seconds as xs:decimal wants them: fixed, never with an exponent.
    std::string decimalSeconds(double value)
    {
        char text[32];
        const auto end
            = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
        return std::string(text, end.ptr);
    }

    bool writeJunit(
        std::ofstream& out, const std::string& file, const std::vector<Outcome>& outcomes)
    {
        std::size_t failures = 0;
        double seconds = 0;
        for (const Outcome& o : outcomes) {
            failures += o.result.passed ? 0 : 1;
            seconds += o.seconds;
        }
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuite name=\"" << xmlEscaped(file)
            << "\" tests=\"" << outcomes.size() << "\" failures=\"" << failures << "\" time=\""
            << decimalSeconds(seconds) << "\">\n";
        for (const Outcome& o : outcomes) {
            out << "  <testcase name=\"" << xmlEscaped(o.step->text) << "\" classname=\""
                << xmlEscaped(file) << "\" time=\"" << decimalSeconds(o.seconds) << "\"";
            if (o.result.passed)
                out << "/>\n";
            else
                out << ">\n    <failure message=\"got " << xmlEscaped(o.result.got)
                    << "\"/>\n  </testcase>\n";
        }
        out << "</testsuite>\n";
        out.close();
        return bool(out);
    }

    // One request step: sent, answered (or not), judged, reported in TAP.
    Outcome runStep(Link& link, const Options& o, const modbus::CheckStep& step, std::size_t number)
    {
        const auto start = std::chrono::steady_clock::now();
        const modbus::BuiltRequest request = modbus::BuildRequest(o.address, step.request);
        modbus::StepResult result { false, "not sent: " + request.notSent };
        if (request.notSent.empty()) {
            const modbus::Exchange exchange = link.transact(request.frame);
            std::fputs(NoteLines(exchange).c_str(), stderr);
            result = modbus::JudgeStep(step, exchange);
            if (result.passed && step.verify && exchange.good())
                if (const std::string differs = ReadBackDifference(link, step.request, o.address);
                    !differs.empty())
                    result = { false, "read back: " + differs };
        }
        std::printf("%s %zu - %s\n", result.passed ? "ok" : "not ok", number, step.text.c_str());
        if (!result.passed)
            std::printf("  # line %d: got %s\n", step.line, result.got.c_str());
        std::fflush(stdout);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        return { &step, result, took.count() };
    }

    // Every step in turn, the TAP plan first; a step that gets no reply fails and the run goes on.
    std::vector<Outcome> runSteps(
        Port& port, Link& link, const Options& o, const modbus::CheckFile& file)
    {
        std::size_t requests = 0;
        for (const modbus::CheckStep& s : file.steps)
            requests += s.waitMs ? 0 : 1;
        std::printf("1..%zu\n", requests);
        std::vector<Outcome> outcomes;
        for (const modbus::CheckStep& step : file.steps) {
            if (!port.failure().empty())
                break; // the steps left cannot be sent: the run fails on the port's failure
            if (step.waitMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(*step.waitMs));
            else
                outcomes.push_back(runStep(link, o, step, outcomes.size() + 1));
        }
        return outcomes;
    }

    // The file's steps, or nullopt after telling why none can be sent (every bad line named).
    std::optional<modbus::CheckFile> readSteps(const Options& o)
    {
        const std::optional<std::string> text = modbus::FileText(o.checkFile);
        if (!text) {
            std::fprintf(stderr, "quillet-cli: cannot read %s (or it is over 16 MiB)\n",
                o.checkFile.c_str());
            return std::nullopt;
        }
        modbus::CheckFile file = modbus::ReadCheckFile(*text, o.map.get(), o.order, o.address);
        for (const std::string& why : file.refused)
            std::fprintf(stderr, "quillet-cli: %s: %s\n", o.checkFile.c_str(), why.c_str());
        return file.refused.empty() ? std::optional(std::move(file)) : std::nullopt;
    }

    // Whether every step passed, the port held and the report was written.
    bool passedAll(const Options& o, const Port& port, std::ofstream& junit,
        const std::vector<Outcome>& outcomes)
    {
        if (!port.failure().empty())
            std::fprintf(stderr, "quillet-cli: %s\n", port.failure().c_str());
        bool passed = port.failure().empty();
        if (!o.junit.empty() && !writeJunit(junit, o.checkFile, outcomes)) {
            std::fprintf(stderr, "quillet-cli: cannot write %s\n", o.junit.c_str());
            passed = false;
        }
        for (const Outcome& outcome : outcomes)
            passed = passed && outcome.result.passed;
        return passed;
    }

} // namespace

int RunCheck(const Options& o)
{
    const std::optional<modbus::CheckFile> file = readSteps(o);
    if (!file)
        return 2; // nothing is sent from a file with a bad line
    // A report that cannot be written is told before anything is sent.
    std::ofstream junit;
    if (!o.junit.empty())
        junit.open(o.junit, std::ios::binary);
    if (!o.junit.empty() && !junit) {
        std::fprintf(stderr, "quillet-cli: cannot write %s\n", o.junit.c_str());
        return 2;
    }
    Port port;
    if (const std::string why = port.open(o.port, o.line, o.timeoutMs * 1000LL); !why.empty()) {
        std::fprintf(stderr, "quillet-cli: %s\n", why.c_str());
        return 1;
    }
    Link link(port, LinkOf(o.timeoutMs, o.byteTimeoutMs, o.echo, o.turnaroundMs, o.graceMs));
    const std::vector<Outcome> outcomes = runSteps(port, link, o, *file);
    return passedAll(o, port, junit, outcomes) ? 0 : 1;
}

} // namespace cli
