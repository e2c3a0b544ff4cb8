// quillet-cli: one Modbus RTU request from a shell, the reply on stdout, an exit status.
#include "cli_options.h"
#include "cli_port.h"
#include "poll_run.h"
#include "reply_output.h"
#include "scan_run.h"

#include "modbus/exchange.h"
#include "modbus/function_table.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

modbus::LineTime now()
{
    using namespace std::chrono;
    const auto mono = duration_cast<microseconds>(steady_clock::now().time_since_epoch());
    return { mono.count(), 0 };
}

int fail(const std::string& text, int code)
{
    std::fputs(text.c_str(), stderr);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    const cli::Parsed parsed = cli::ParseOptions(std::vector<std::string>(argv, argv + argc));
    if (parsed.exitCode >= 0)
        return parsed.exitCode == 0 ? (std::fputs(parsed.output.c_str(), stdout), 0)
                                    : fail(parsed.output, parsed.exitCode);
    const cli::Options& o = parsed.options;
    if (o.scan)
        return cli::RunScan(o);
    const modbus::BuiltRequest request = modbus::BuildRequest(o.address, o.request);
    if (!request.notSent.empty())
        return fail("quillet-cli: not sent: " + request.notSent + "\n", 2);
    cli::Port port;
    if (const std::string why = port.open(o.port, o.line); !why.empty())
        return fail("quillet-cli: " + why + "\n", 1);
    if (o.everyMs)
        return cli::RunPolls(port, o, request.frame);
    const int written = port.write(request.frame);
    modbus::Exchange exchange(
        request.frame, written, o.timeoutMs * 1000LL, cli::SilenceUs(o.line.speed), now());
    while (!exchange.done()) {
        const modbus::ByteString chunk = port.read(exchange.nextWaitUs(now().monoUs));
        exchange.read(chunk, now()); // the time after the read: when the bytes were there
    }
    const std::string out
        = o.json ? cli::JsonOutput(exchange, o.order) : cli::TextOutput(exchange, o.order);
    std::fputs(out.c_str(), stdout);
    if (exchange.good())
        return 0;
    return fail("quillet-cli: " + exchange.verdict() + "\n", 1);
}
