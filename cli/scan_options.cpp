#include "scan_options.h"

#include "cli_options.h"

#include "modbus/function_table.h"
#include "requests/request_language.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>

namespace cli {
namespace {

    std::vector<std::string> splitList(const std::string& text)
    {
        std::vector<std::string> items;
        std::stringstream in(text);
        for (std::string item; std::getline(in, item, ',');)
            if (!item.empty())
                items.push_back(item);
        return items;
    }

    struct Words
    {
        std::string addresses = "1-247", speeds, parity, stopBits;
    };

    void describe(CLI::App& app, ScanParsed& p, Words& w)
    {
        app.add_option("--addresses", w.addresses, "A-B (default 1-247; 0 and 248-255 on request)");
        app.add_option("--speeds", w.speeds,
            "Comma-separated, of 1200 2400 4800 9600 19200 38400 57600 115200 230400 (default "
            "9600,19200,115200)");
        app.add_option(
            "--parity", w.parity, "Comma-separated, of none, even, odd (default even,none)");
        app.add_option("--stop-bits", w.stopBits, "Comma-separated, of 1, 2 (default 1)");
        app.add_option(
               "--timeout", p.options.timeoutMs, "Per probe, ms (default 100 at 9600 and above)")
            ->check(CLI::Range(1, 60000));
        app.add_flag("--all", p.options.all, "Scan everything (default: stop at the first device)");
        app.add_flag("--csv", p.csv, "Result lines as CSV");
        app.footer("--probe COMMAND ARGS, last: the probe request (default read-holding 0 1).\n"
                   "Exit status: 0 when something was found, 1 when nothing answered, 2 for a "
                   "usage error.");
    }

    std::string readSpeeds(const std::string& list, std::vector<int>& speeds)
    {
        if (list.empty())
            return {};
        speeds.clear();
        for (const std::string& s : splitList(list)) {
            const auto speed = modbus::ParseInteger(s);
            if (!speed
                || std::ranges::find(StandardSpeeds(), int(*speed)) == StandardSpeeds().end())
                return "unknown speed \"" + s + "\"";
            speeds.push_back(int(*speed));
        }
        return {};
    }

    std::string readLists(const Words& w, modbus::ScanOptions& o)
    {
        const auto dash = w.addresses.find('-');
        const auto first = modbus::ParseInteger(w.addresses.substr(0, dash));
        const auto last = dash == std::string::npos
            ? first
            : modbus::ParseInteger(w.addresses.substr(dash + 1));
        if (!first || !last || *first < 0 || *last > 255 || *first > *last)
            return "--addresses takes A-B within 0-255";
        o.firstAddress = int(*first);
        o.lastAddress = int(*last);
        if (std::string why = readSpeeds(w.speeds, o.speeds); !why.empty())
            return why;
        if (!w.parity.empty()) {
            o.parities.clear();
            for (const std::string& s : splitList(w.parity)) {
                if (s != "none" && s != "even" && s != "odd")
                    return "unknown parity \"" + s + "\": none, even or odd";
                o.parities.push_back(s[0] == 'n' ? 'n' : s[0]);
            }
        }
        if (!w.stopBits.empty()) {
            o.stopBits.clear();
            for (const std::string& s : splitList(w.stopBits)) {
                if (s != "1" && s != "2")
                    return "stop bits are 1 or 2";
                o.stopBits.push_back(s == "2" ? 2 : 1);
            }
        }
        return o.speeds.empty() || o.parities.empty() || o.stopBits.empty() ? "an empty list" : "";
    }

} // namespace

std::string ScanUsage()
{
    CLI::App app(
        "Finds which address answers, at which speed and parity.", "quillet-cli --port NAME scan");
    ScanParsed p;
    Words w;
    describe(app, p, w);
    return app.help();
}

ScanParsed ParseScanOptions(const std::vector<std::string>& words)
{
    ScanParsed parsed;
    parsed.options.probe = modbus::ParseRequest("read-holding 0 1").fields;
    const auto probe = std::ranges::find(words, "--probe");
    if (probe != words.end()) {
        const modbus::ParsedRequest request
            = modbus::ParseRequest(std::vector<std::string>(probe + 1, words.end()));
        // A probe that cannot be built would send nothing and report "nothing answered".
        const std::string why = request.error.empty()
            ? modbus::BuildRequest(1, request.fields).notSent
            : request.error;
        if (!why.empty())
            return { {}, false, false, "--probe: " + why, {} };
        parsed.options.probe = request.fields;
    }
    CLI::App app(
        "Finds which address answers, at which speed and parity.", "quillet-cli --port NAME scan");
    Words w;
    describe(app, parsed, w);
    std::vector<std::string> reversed(std::make_reverse_iterator(probe), words.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.help = ScanUsage();
        return parsed;
    } catch (const CLI::ParseError& e) {
        parsed.error = e.what();
        return parsed;
    }
    parsed.error = readLists(w, parsed.options);
    parsed.lineGiven = !w.speeds.empty() || !w.parity.empty() || !w.stopBits.empty();
    return parsed;
}

} // namespace cli
