#include "scan_command.h"

#include "cli_port.h"

#include "modbus/number_format.h"
#include "runs/scan_run.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace cli {
namespace {

    modbus::LineTime now()
    {
        using namespace std::chrono;
        return { duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count(), 0 };
    }

    std::string resultLine(bool csv, const modbus::ScanHit& h)
    {
        const std::string ms = h.replyMs ? modbus::FloatText(*h.replyMs, 4) : "";
        if (csv)
            return std::to_string(h.address) + "," + h.setting.name() + "," + h.verdict + "," + ms
                + ",\"" + h.identification + "\"\n";
        return "found " + std::to_string(h.address) + " at " + h.setting.name() + ": " + h.verdict
            + (ms.empty() ? "" : ", " + ms + " ms")
            + (h.identification.empty() ? "" : "; " + h.identification) + "\n";
    }

    // What the run has said since the last call: bad-frame notes, and devices once identified.
    struct Printer
    {
        bool csv;
        std::size_t notes = 0, hits = 0;

        void print(const modbus::ScanRun& run)
        {
            for (; notes < run.notes().size(); ++notes)
                std::printf("%s%s\n", csv ? "# " : "", run.notes()[notes].c_str());
            for (; hits < run.hits().size() && (hits + 1 < run.hits().size() || !run.identifying());
                 ++hits)
                std::fputs(resultLine(csv, run.hits()[hits]).c_str(), stdout);
            std::fflush(stdout);
        }
    };

    // One step of the run on the port: open it at a setting, send, or read.
    void step(modbus::ScanRun& run, std::unique_ptr<Port>& port, const std::string& name)
    {
        switch (run.need()) {
        case modbus::ScanRun::Need::Open:
            port = std::make_unique<Port>(); // the last setting's port closes first
            if (const std::string why = port->open(
                    name, { run.setting().speed, run.setting().parity, run.setting().stopBits });
                !why.empty()) {
                std::fprintf(stderr, "quillet-cli: %s\n", why.c_str());
                run.opened(false);
            } else {
                run.opened(true, port->timing(0, 0).timed);
            }
            break;
        case modbus::ScanRun::Need::Send: {
            const modbus::LineTime at = now(); // the request leaves the line from here
            run.sent(port->write(run.frame()), at);
        } break;
        case modbus::ScanRun::Need::Read: {
            const modbus::ByteString chunk = port->read(run.readWaitUs(now().monoUs));
            run.read(chunk, now()); // the time after the read
            break;
        }
        case modbus::ScanRun::Need::Done:
            break;
        }
    }

} // namespace

int RunScan(const Options& o)
{
    modbus::ScanOptions options = *o.scan;
    if (const comm::LinkAddress link = comm::ParseLinkAddress(o.port); link.network())
        options.network = comm::FramingOf(link.kind); // unit ids only: no speeds to try
    options.lineFraming = o.line.framing;
    modbus::ScanRun run(options, now().monoUs);
    const bool progress = isatty(2);
    std::fprintf(stderr, "quillet-cli: scanning %d addresses at %zu settings, at most %s s\n",
        o.scan->lastAddress - o.scan->firstAddress + 1, modbus::ScanOrder(options).size(),
        modbus::FloatText(double(run.remainingUs()) / 1e6, 3).c_str());
    if (o.csv)
        std::fputs("address,line,verdict,reply_ms,identification\n", stdout);
    std::unique_ptr<Port> port;
    Printer printer { o.csv };
    while (run.need() != modbus::ScanRun::Need::Done) {
        if (progress && run.need() == modbus::ScanRun::Need::Send)
            std::fprintf(stderr, "\r%s address %3d, about %s s left   ",
                run.setting().name().c_str(), run.address(),
                modbus::FloatText(double(run.remainingUs()) / 1e6, 3).c_str());
        step(run, port, o.port);
        printer.print(run);
    }
    if (progress)
        std::fputs("\n", stderr);
    if (!run.failure().empty())
        return 1;
    return run.hits().empty() ? 1 : 0;
}

} // namespace cli
