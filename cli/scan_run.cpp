#include "scan_run.h"

#include "cli_port.h"

#include "modbus/device_identification.h"
#include "modbus/exchange.h"
#include "modbus/function_table.h"
#include "modbus/number_format.h"
#include "modbus/reply_details.h"
#include "modbus/request_language.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

    modbus::LineTime now()
    {
        using namespace std::chrono;
        return { duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count(), 0 };
    }

    // One request and what came of it, late bytes included: what arrives within the silence
    // after the exchange is read and judged before the next probe goes.
    modbus::Exchange ask(
        Port& port, const modbus::ByteString& frame, std::int64_t timeoutUs, int speed)
    {
        modbus::Exchange exchange(frame, port.write(frame), timeoutUs, SilenceUs(speed), now());
        while (!exchange.done()) {
            const modbus::ByteString chunk = port.read(exchange.nextWaitUs(now().monoUs));
            exchange.read(chunk, now());
        }
        for (modbus::ByteString late; !(late = port.read(InterFrameUs(speed))).empty();)
            exchange.read(late, now());
        exchange.read({}, now());
        return exchange;
    }

    // Who the device is: Read Device Identification (basic), else Report Server ID as text.
    std::string identify(Port& port, int address, int speed)
    {
        const auto request = [&](const char* command) {
            return modbus::BuildRequest(address, modbus::ParseRequest(command).spec).frame;
        };
        const modbus::Exchange id = ask(port, request("device-id"), 200'000, speed);
        if (const std::string text
            = id.good() ? modbus::IdentificationText(id.answer()->bytes) : "";
            !text.empty())
            return text;
        const modbus::Exchange server = ask(port, request("server-id"), 200'000, speed);
        return server.good() ? modbus::ServerIdText(server.answer()->bytes) : "";
    }

    std::string resultLine(bool csv, const modbus::ProbeResult& r, const modbus::ScanSetting& s,
        const std::string& identification)
    {
        const std::string ms = r.replyMs ? modbus::FloatText(*r.replyMs, 4) : "";
        if (csv)
            return std::to_string(r.address) + "," + s.name() + "," + r.text + "," + ms + ",\""
                + identification + "\"\n";
        return "found " + std::to_string(r.address) + " at " + s.name() + ": " + r.text
            + (ms.empty() ? "" : ", " + ms + " ms")
            + (identification.empty() ? "" : "; " + identification) + "\n";
    }

    struct Progress
    {
        bool shown; // on a terminal only
        std::int64_t leftUs;
    };

    enum class Step { NothingFound, Found, Enough };

    // The addresses at one setting: a line a device found, the first bad frames noted.
    Step scanSetting(Port& port, const Options& o, const modbus::ScanSetting& s, Progress& progress)
    {
        const modbus::ScanOptions& scan = *o.scan;
        const std::int64_t timeoutUs = modbus::ProbeTimeoutUs(s.speed, scan.timeoutMs);
        bool toldBad = false, found = false;
        for (int address = scan.firstAddress; address <= scan.lastAddress; ++address) {
            if (progress.shown)
                std::fprintf(stderr, "\r%s address %3d, about %s s left   ", s.name().c_str(),
                    address, modbus::FloatText(double(progress.leftUs) / 1e6, 3).c_str());
            const auto start = now().monoUs;
            const modbus::Exchange probe
                = ask(port, modbus::BuildRequest(address, scan.probe).frame, timeoutUs, s.speed);
            progress.leftUs -= std::min(progress.leftUs, now().monoUs - start);
            const modbus::ProbeResult r = modbus::JudgeProbe(probe.rows(), address);
            if (r.verdict == modbus::ProbeVerdict::BadFrames && !toldBad) {
                toldBad = true;
                std::printf("%s%s\n", o.csv ? "# " : "", modbus::BadFramesNote(s).c_str());
            }
            if (r.verdict != modbus::ProbeVerdict::Found)
                continue;
            found = true;
            std::fputs(resultLine(o.csv, r, s, identify(port, r.address, s.speed)).c_str(), stdout);
            std::fflush(stdout);
            if (!scan.all)
                return Step::Enough;
        }
        return found ? Step::Found : Step::NothingFound;
    }

} // namespace

int RunScan(const Options& o)
{
    const modbus::ScanOptions& scan = *o.scan;
    const std::size_t requestBytes = modbus::BuildRequest(1, scan.probe).frame.size();
    Progress progress { isatty(2) != 0, modbus::ScanEstimateUs(scan, requestBytes) };
    std::fprintf(stderr, "quillet-cli: scanning %d addresses at %zu settings, at most %s s\n",
        scan.lastAddress - scan.firstAddress + 1, modbus::ScanOrder(scan).size(),
        modbus::FloatText(double(progress.leftUs) / 1e6, 3).c_str());
    if (o.csv)
        std::fputs("address,line,verdict,reply_ms,identification\n", stdout);
    bool found = false;
    for (const modbus::ScanSetting& s : modbus::ScanOrder(scan)) {
        Port port; // opened anew at each setting, closed when it ends, however it ends
        if (const std::string why = port.open(o.port, { s.speed, s.parity, s.stopBits });
            !why.empty()) {
            std::fprintf(stderr, "quillet-cli: %s\n", why.c_str());
            return 1;
        }
        const Step step = scanSetting(port, o, s, progress);
        found = found || step != Step::NothingFound;
        if (step == Step::Enough)
            break;
    }
    if (progress.shown)
        std::fputs("\n", stderr);
    return found ? 0 : 1;
}

} // namespace cli
