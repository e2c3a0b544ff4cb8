// quillet-cli: one Modbus request from a shell, the reply on stdout, an exit status.
#include "check_command.h"
#include "cli_options.h"
#include "cli_port.h"
#include "listen_command.h"
#include "poll_command.h"
#include "read_back_exchange.h"
#include "reply_json.h"
#include "reply_output.h"
#include "scan_command.h"

#include "exchange/exchange.h"
#include "modbus/function_table.h"
#include "requests/read_back.h"
#include "requests/request_language.h"

#include <cstdio>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

int fail(const std::string& text, int code)
{
    std::fputs(text.c_str(), stderr);
    return code;
}

// --verify: the written coils or registers read back. 0 when they hold what was written; else
// each difference told, 1.
int verifyWrite(const cli::Options& o, cli::Link& link, int address)
{
    if (const std::string differs = cli::ReadBackDifference(link, o.request, address);
        !differs.empty())
        return fail("quillet-cli: verify failed: " + differs + "\n", 1);
    // Beside --json's object, on stderr: stdout stays one JSON object.
    std::fprintf(o.json ? stderr : stdout, "verified: read back as written (%s)\n",
        modbus::PrintRequest(*modbus::ReadBackOf(o.request)).c_str());
    return 0;
}

// One request and its reply on stdout, the slave named first when several are asked in turn.
int ask(const cli::Options& o, cli::Port& port, cli::Link& link, const modbus::ByteString& frame,
    bool named)
{
    const modbus::Exchange exchange = link.transact(frame);
    std::fputs(cli::NoteLines(exchange).c_str(), stderr);
    if (!port.failure().empty())
        return fail("quillet-cli: " + port.failure() + "\n", 1);
    if (named && !o.json)
        std::printf("slave %d\n", int(modbus::ByteAt(frame, 0)));
    const std::string out = o.json ? cli::JsonOutput(exchange, o.order, o.map.get())
                                   : cli::TextOutput(exchange, o.order, o.map.get(), isatty(1));
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    if (exchange.good() && o.verify)
        return verifyWrite(o, link, modbus::ByteAt(frame, 0));
    if (modbus::Succeeded(exchange.outcome()))
        return 0;
    return fail("quillet-cli: "
            + (named ? "slave " + std::to_string(modbus::ByteAt(frame, 0)) + ": " : std::string())
            + exchange.verdict() + "\n",
        1);
}

} // namespace

int main(int argc, char** argv)
{
    const cli::Parsed parsed = cli::ParseOptions(std::vector<std::string>(argv, argv + argc));
    for (const std::string& notice : parsed.notices)
        std::fprintf(stderr, "quillet-cli: %s\n", notice.c_str());
    if (parsed.exitCode >= 0)
        return parsed.exitCode == 0 ? (std::fputs(parsed.output.c_str(), stdout), 0)
                                    : fail(parsed.output, parsed.exitCode);
    const cli::Options& o = parsed.options;
    if (o.scan)
        return cli::RunScan(o);
    if (!o.checkFile.empty())
        return cli::RunCheck(o);
    if (o.listen)
        return cli::RunListen(o);
    std::vector<modbus::ByteString> frames;
    for (const int address : o.addresses) {
        const modbus::BuiltRequest request = modbus::BuildRequest(address, o.request);
        if (!request.notSent.empty())
            return fail("quillet-cli: not sent: " + request.notSent + "\n", 2);
        frames.push_back(request.frame);
    }
    cli::Port port;
    if (const std::string why = port.open(o.port, o.line, o.timeoutMs * 1000LL); !why.empty())
        return fail("quillet-cli: " + why + "\n", 1);
    cli::Link link(
        port, cli::LinkOf(o.timeoutMs, o.byteTimeoutMs, o.echo, o.turnaroundMs, o.graceMs));
    if (o.everyMs)
        return cli::RunPolls(port, link, o, frames);
    int status = 0;
    for (const modbus::ByteString& frame : frames)
        if (const int asked = ask(o, port, link, frame, frames.size() > 1); asked != 0)
            status = asked;
    return status;
}
