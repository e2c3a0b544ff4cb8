#include "cli_options.h"

#include "bench_files.h"

#include "benchfiles/named_request.h"
#include "modbus/function_table.h"
#include "requests/read_back.h"
#include "requests/request_language.h"
#include "scan_options.h"
#include "serial/link_address.h"
#include "serial/network_link.h"

#include "quillet_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <set>

namespace cli {
namespace {

    const std::map<std::string, char> kParities { { "none", 'n' }, { "even", 'e' },
        { "odd", 'o' } };
    const std::map<std::string, modbus::WordOrder> kOrders { { "ABCD", modbus::WordOrder::ABCD },
        { "CDAB", modbus::WordOrder::CDAB }, { "BADC", modbus::WordOrder::BADC },
        { "DCBA", modbus::WordOrder::DCBA } };

    Parsed done(int exitCode, std::string output, std::vector<std::string> notices = {})
    {
        return { {}, exitCode, std::move(output), std::move(notices) };
    }

    bool isRead(const modbus::RequestFields& fields)
    {
        const modbus::FunctionInfo* info = modbus::FindFunction(fields.function);
        return !fields.raw && info && info->reads;
    }

    bool reads(const modbus::FunctionInfo& f) { return f.reads.has_value(); }

    std::string usage(const CLI::App& app)
    {
        return app.help() + "\nCommands:\n" + modbus::RequestUsage();
    }

    struct Raw
    {
        std::string parity = "none";
        std::string framing = "rtu";
        std::string order = "ABCD";
        std::string echo = "auto";
        std::vector<std::string> ports; // a second one: listen's other wire
        std::string address; // "1,3,5-8"; empty: not given
    };

    void describeWaits(CLI::App& app, Options& o, Raw& raw);

    // The port, its line, the slave and the waits of each exchange.
    void describeLine(CLI::App& app, Options& o, Raw& raw)
    {
        app.add_option("--port", raw.ports,
               "Serial port (COM5, /dev/ttyUSB0) or network link (tcp://HOST[:502], "
               "rtu+tcp://HOST:PORT, ascii+tcp://HOST:PORT, udp://HOST[:502], "
               "rtu+udp://HOST:PORT, ascii+udp://HOST:PORT), or the workspace's; "
               "listen takes it twice for the two wires of a four-wire line")
            ->allow_extra_args(false);
        app.add_option("--speed", o.line.speed, "Bits per second (default 19200)")
            ->check(CLI::IsMember(StandardSpeeds()));
        app.add_option("--parity", raw.parity, "none, even or odd (default none)")
            ->check(CLI::IsMember({ "none", "even", "odd" }));
        app.add_option("--stop-bits", o.line.stopBits, "1 or 2 (default 1)")
            ->check(CLI::IsMember({ 1, 2 }));
        app.add_option("--data-bits", o.line.dataBits,
               "7 or 8 (default 8); 7 carries ASCII frames only (the standard's ASCII line is "
               "7E1; many devices use 8N1)")
            ->check(CLI::IsMember({ 7, 8 }));
        app.add_option("--framing", raw.framing,
               "How frames go on a serial line: rtu (binary, ended by silence) or ascii (':', "
               "hex, LRC, CR LF) (default rtu); network links name theirs in the port text")
            ->check(CLI::IsMember({ "rtu", "ascii" }));
        app.add_option("--address", raw.address,
            "Slave address or unit id (default 1; 0: a broadcast, which nobody answers); for a "
            "read, a list such as 1,3,5-8 polls each in turn");
        describeWaits(app, o, raw);
    }

    // The waits of each exchange, and what the adapter hands back.
    void describeWaits(CLI::App& app, Options& o, Raw& raw)
    {
        app.add_option("--turnaround", o.turnaroundMs,
               "Pause in ms after a broadcast before the next request (default 100)")
            ->check(CLI::Range(0, 600000));
        app.add_option("--timeout", o.timeoutMs,
               "Response time-out in ms, from the request's end to the reply's first byte "
               "(default 1000)")
            ->check(CLI::Range(1, 600000));
        app.add_option("--byte-timeout", o.byteTimeoutMs,
               "Longest pause in ms between the pieces of a reply (default 100; ASCII: 1000)")
            ->check(CLI::Range(1, 600000));
        app.add_option("--grace", o.graceMs,
               "Quiet in ms kept after a request that got no reply before one whose reply would "
               "look the same, so that a late reply is not taken for its answer (default 100; 0: "
               "none)")
            ->check(CLI::Range(0, 60000));
        app.add_option("--echo", raw.echo,
               "on: the adapter hears itself (two-wire RS-485), off: it does not, auto: told "
               "from what comes back (default auto)")
            ->check(CLI::IsMember({ "off", "on", "auto" }));
    }

    // A polling run: its pace, its count, its rows, its slaves that stop answering.
    void describePolling(CLI::App& app, Options& o)
    {
        app.add_option("--every", o.everyMs, "Poll a read every MS ms (0: as fast as it answers)")
            ->check(CLI::Range(0, 86'400'000));
        app.add_option(
               "--count", o.count, "With --every: this many polls (default 0: until Ctrl+C)")
            ->check(CLI::Range(0, 1'000'000'000));
        app.add_flag("--csv", o.csv, "With --every: one CSV row per poll");
        app.add_option("--back-off", o.backOffCycles,
               "With --every and several addresses: a slave that gave no reply 3 polls running "
               "is polled once every N cycles until it answers (default 10; 1: never backed off)")
            ->check(CLI::Range(1, 1'000'000));
    }

    void describe(CLI::App& app, Options& o, Raw& raw)
    {
        // As in most tools, a later option overrides an earlier one (scripts add to a base).
        app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        describeLine(app, o, raw);
        app.add_option("--word-order", raw.order, "ABCD, CDAB, BADC or DCBA (default ABCD)")
            ->check(CLI::IsMember({ "ABCD", "CDAB", "BADC", "DCBA" }));
        app.add_flag("--json", o.json, "Print one JSON object");
        app.add_flag("--verify", o.verify,
            "After a write, read the same coils or registers back: passes only when they hold "
            "what was written (also after the request's words)");
        app.add_option("--write-with", o.writeWith,
               "16: write-register goes as function 16 with one register, for devices that "
               "refuse 6 (also after the request's words)")
            ->check(CLI::IsMember({ 6, 16 }));
        app.add_option("--map", o.mapFile, "A register map (CSV): names and engineering values");
        app.add_option("--workspace", o.workspace,
            "A workspace saved by Quillet: its port, line, slave, time-out, order and map, "
            "where options do not say otherwise");
        describePolling(app, o);
        app.set_version_flag("--version", std::string("quillet-cli ") + QUILLET_VERSION);
        // Everything from the command word on is the request, negative numbers included.
        app.prefix_command();
        app.footer("Also: scan [OPTIONS] (scan --help), check FILE [--junit OUT.xml], listen "
                   "[OPTIONS] (listen --help).\n"
                   "Exit status: 0 good reply or broadcast sent; 1 exception, bad CRC, wrong "
                   "reply, another address, no reply, only the adapter's echo or not a frame; "
                   "2 usage error.");
    }

    Parsed parseScan(Parsed parsed, const std::vector<std::string>& words)
    {
        const ScanParsed scan = ParseScanOptions(words);
        if (!scan.help.empty())
            return done(0, scan.help);
        if (!scan.error.empty())
            return done(2, "quillet-cli scan: " + scan.error + "\n\n" + ScanUsage());
        if (scan.lineGiven && comm::ParseLinkAddress(parsed.options.port).network())
            return done(2,
                "quillet-cli scan: --speeds, --parity and --stop-bits are a serial line's; a "
                "network link has none (its scan tries unit ids only)\n");
        parsed.options.scan = scan.options;
        parsed.options.csv = scan.csv;
        return parsed;
    }

    // check FILE [--junit OUT.xml]
    Parsed parseCheck(Parsed parsed, const std::vector<std::string>& words, const CLI::App& app)
    {
        const bool junit = words.size() == 3 && words[1] == "--junit";
        if (words.size() != 1 && !junit)
            return done(2, "quillet-cli: check takes FILE [--junit OUT.xml]\n\n" + usage(app));
        parsed.options.checkFile = words[0];
        parsed.options.junit = junit ? words[2] : "";
        return parsed;
    }

    Parsed parseListen(Parsed parsed, const std::vector<std::string>& words)
    {
        const ListenParsed listen = ParseListenOptions(words);
        if (!listen.help.empty())
            return done(0, listen.help);
        if (!listen.error.empty())
            return done(2, "quillet-cli listen: " + listen.error + "\n");
        parsed.options.listen = listen.options;
        return parsed;
    }

    // The framing a serial line takes from the options, a network link from its text; the pause
    // a reply may make inside follows it.
    std::string settleFraming(Options& o)
    {
        const comm::LinkAddress link = comm::ParseLinkAddress(o.port);
        if (!link.error.empty())
            return link.error; // a link text that cannot be used is a usage error
        if (link.network() && o.line.framing == modbus::Framing::Ascii)
            return "--framing is for serial ports: a network link names its framing, as in "
                   "ascii+tcp://HOST:PORT";
        if (link.network())
            o.line.framing = comm::FramingOf(link.kind);
        if (o.line.dataBits == 7 && o.line.framing != modbus::Framing::Ascii)
            return "--data-bits 7 carries ASCII frames only: RTU needs 8 (add --framing ascii)";
        // ASCII allows a second between a frame's characters.
        if (o.byteTimeoutMs == 0)
            o.byteTimeoutMs = o.line.framing == modbus::Framing::Ascii ? 1000 : 100;
        return {};
    }

    // The workspace under the options given, then the map: empty, or why the run cannot go on.
    std::string settle(Parsed& parsed, const CLI::App& app)
    {
        Options& o = parsed.options;
        std::set<std::string> given;
        for (const CLI::Option* option : app.get_options())
            if (option->count() > 0)
                given.insert(option->get_name());
        if (!given.count("--byte-timeout"))
            o.byteTimeoutMs = 0; // the framing's own, unless a workspace says
        if (!o.workspace.empty())
            if (std::string why = ApplyWorkspace(o.workspace, given, o, parsed.notices);
                !why.empty())
                return why;
        if (o.port.empty())
            return "--port is required (or a workspace that names one)";
        if (std::string why = settleFraming(o); !why.empty())
            return why;
        return LoadMap(o, parsed.notices);
    }

    modbus::ParsedRequest request(const Options& o, const std::vector<std::string>& words)
    {
        if (!o.map)
            return modbus::ParseRequest(words);
        std::string command;
        for (const std::string& word : words)
            command += (command.empty() ? "" : " ") + word;
        return modbus::ParseNamedRequest(command, *o.map, o.order).parsed;
    }

    // Options that shape only a polling run do nothing without --every, and --json nothing
    // with it: said, not ignored.
    std::string lonely(const Options& o, const CLI::App& app)
    {
        const bool every = o.everyMs.has_value();
        for (const char* name : { "--csv", "--count", "--back-off" })
            if (!every && app.get_option(name)->count() > 0)
                return std::string(name) + " works with --every only";
        if (every && o.json)
            return "--json gives one request's reply; a poll prints a line per poll (--csv for "
                   "CSV)";
        return {};
    }

    // The request's words, names too with a map; --every polls only a read.
    // --verify and --write-with N may follow the request's words: taken out of them.
    std::string takeWriteOptions(Options& o, std::vector<std::string>& words)
    {
        for (std::size_t i = 0; i < words.size();) {
            if (words[i] == "--verify") {
                o.verify = true;
                words.erase(words.begin() + std::ptrdiff_t(i));
            } else if (words[i] == "--write-with") {
                if (i + 1 >= words.size() || (words[i + 1] != "6" && words[i + 1] != "16"))
                    return "--write-with takes 6 or 16";
                o.writeWith = std::stoi(words[i + 1]);
                words.erase(
                    words.begin() + std::ptrdiff_t(i), words.begin() + std::ptrdiff_t(i) + 2);
            } else {
                ++i;
            }
        }
        return {};
    }

    // What --verify and --write-with ask of the request; the request as it will go.
    std::string fitWriteOptions(Options& o)
    {
        if (o.writeWith == 16 && (o.request.raw || o.request.function != 6))
            return "--write-with 16 writes one register: it goes with write-register";
        o.request = o.writeWith == 16 ? modbus::WithFunction16(o.request) : o.request;
        if (!o.verify)
            return {};
        if (!modbus::ReadBackOf(o.request))
            return "--verify reads back a write: " + modbus::ReadBackCommands();
        if (o.address == 0)
            return "--verify cannot read back a broadcast (address 0)";
        return {};
    }

    Parsed parseRequest(Parsed parsed, std::vector<std::string> words, const CLI::App& app)
    {
        if (const std::string why = takeWriteOptions(parsed.options, words); !why.empty())
            return done(2, "quillet-cli: " + why + "\n\n" + usage(app), parsed.notices);
        const modbus::ParsedRequest request = cli::request(parsed.options, words);
        if (!request.error.empty())
            return done(2, "quillet-cli: " + request.error + "\n\n" + usage(app), parsed.notices);
        parsed.options.request = request.fields;
        if (const std::string why = fitWriteOptions(parsed.options); !why.empty())
            return done(2, "quillet-cli: " + why + "\n\n" + usage(app), parsed.notices);
        if (const std::string why = lonely(parsed.options, app); !why.empty())
            return done(2, "quillet-cli: " + why + "\n\n" + usage(app), parsed.notices);
        if (parsed.options.addresses.size() > 1 && !isRead(request.fields))
            return done(2,
                "quillet-cli: a list of addresses is for reads: " + modbus::CommandList(reads)
                    + "\n\n" + usage(app),
                parsed.notices);
        if (parsed.options.everyMs && !isRead(request.fields))
            return done(2,
                "quillet-cli: --every polls a read: " + modbus::CommandList(reads) + "\n\n"
                    + usage(app),
                parsed.notices);
        return parsed;
    }

    // The options read as text: the ports (a second for listen), the addresses, the choices.
    // Empty, or why they cannot be taken.
    std::string takeRaw(const Raw& raw, Options& o)
    {
        if (raw.ports.size() > 2)
            return "--port given more than twice";
        o.port = raw.ports.empty() ? "" : raw.ports[0];
        o.secondPort = raw.ports.size() == 2 ? raw.ports[1] : "";
        if (!raw.address.empty()) {
            const auto list = modbus::ParseNumberList(raw.address, 0, 255);
            if (!list)
                return "--address takes 0..255, or a list such as 1,3,5-8";
            o.addresses = *list;
            o.address = list->front();
        }
        o.line.parity = kParities.at(raw.parity);
        o.line.framing = raw.framing == "ascii" ? modbus::Framing::Ascii : modbus::Framing::Rtu;
        o.order = kOrders.at(raw.order);
        o.echo = *modbus::EchoFromName(raw.echo);
        return {};
    }

    // What the words after the options ask: scan, listen, check, or a request.
    Parsed parseCommand(Parsed parsed, const std::vector<std::string>& words, const CLI::App& app)
    {
        const std::string command = words.empty() ? std::string() : words[0];
        const std::vector<std::string> rest(words.begin() + (words.empty() ? 0 : 1), words.end());
        if (parsed.options.addresses.size() > 1 && (command == "scan" || command == "check"))
            return done(2, "quillet-cli: " + command + " takes one --address\n\n" + usage(app));
        if (command == "scan")
            return parseScan(parsed, rest);
        if (command == "listen")
            return parseListen(parsed, rest);
        if (!parsed.options.secondPort.empty())
            return done(2,
                "quillet-cli: --port twice is for listen, which hears the two wires of a "
                "four-wire line\n\n"
                    + usage(app));
        if (command == "check")
            return parseCheck(parsed, rest, app);
        return parseRequest(parsed, words, app);
    }

} // namespace

const std::vector<int>& StandardSpeeds()
{
    static const std::vector<int> speeds { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200,
        230400 };
    return speeds;
}

Parsed ParseOptions(const std::vector<std::string>& args)
{
    CLI::App app("Sends one Modbus request and prints the reply: RTU or ASCII on a serial port, "
                 "Modbus TCP or UDP, RTU or ASCII through a gateway; polls, scans, checks and "
                 "listens.",
        "quillet-cli");
    Parsed parsed;
    Raw raw;
    describe(app, parsed.options, raw);
    std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return done(0, usage(app));
    } catch (const CLI::CallForVersion& e) {
        return done(0, std::string(e.what()) + "\n");
    } catch (const CLI::ParseError& e) {
        return done(2, "quillet-cli: " + std::string(e.what()) + "\n\n" + usage(app));
    }
    if (const std::string why = takeRaw(raw, parsed.options); !why.empty())
        return done(2, "quillet-cli: " + why + "\n\n" + usage(app));
    if (const std::string why = settle(parsed, app); !why.empty())
        return done(2,
            "quillet-cli: " + why + "\n"
                + (parsed.options.port.empty() ? "\n" + usage(app) : std::string()),
            parsed.notices);
    if (parsed.options.addresses.empty())
        parsed.options.addresses = { parsed.options.address }; // the default, or a workspace's
    return parseCommand(parsed, app.remaining(), app);
}

} // namespace cli
