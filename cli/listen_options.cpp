#include "listen_options.h"

#include <CLI/CLI.hpp>

namespace cli {

ListenParsed ParseListenOptions(const std::vector<std::string>& words)
{
    CLI::App app("Listens to a line another master drives, never writing to it: a line per "
                 "frame, per-slave statistics at the end.",
        "quillet-cli --port NAME listen");
    ListenParsed parsed;
    ListenOptions& o = parsed.options;
    app.add_option("--duration", o.durationS, "Seconds to listen (default: until Ctrl+C)")
        ->check(CLI::Range(0.001, 31'536'000.0));
    app.add_flag("--csv", o.csv, "One CSV row per frame");
    app.add_flag("--json", o.json, "One JSON object per frame, a line each");
    app.add_option("--pcap", o.pcap, "Also write the frames to a pcap capture (link type 147)");
    app.add_option("--framing", o.framing,
           "The frames on the line: rtu or ascii (default: as before \"listen\", else rtu)")
        ->check(CLI::IsMember({ "rtu", "ascii" }));
    app.add_flag("--find-speed", o.findSpeed,
        "First listen a moment at each common speed and parity, and keep the one whose frames "
        "have good check bytes");
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.help = app.help();
    } catch (const CLI::ParseError& e) {
        parsed.error = e.what();
    }
    if (parsed.error.empty() && o.csv && o.json)
        parsed.error = "--csv and --json: one or the other";
    return parsed;
}

} // namespace cli
