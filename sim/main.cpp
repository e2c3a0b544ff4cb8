// quillet-sim: a Modbus RTU slave at address 48 on a new pty, for trying the terminal; with
// --tcp, --rtu-tcp, --udp or --rtu-udp PORT the same slave on the network too.
#include "map_tables.h"
#include "serial_device.h"
#include "served_links.h"

#include "benchfiles/file_text.h"
#include "logfile/local_time.h"
#include "modbus/ascii_frame.h"
#include "modbus/byte_string.h"
#include "quillet_version.h"
#include "requests/request_language.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

// Visible values: holding register n holds 10 * (n + 1), so register 0 reads 10; input register
// n holds 1000 + n; coil n is on when n is odd, input n when n is a multiple of 5.
void fillDemoValues(PtySlave& slave)
{
    for (int n = 0; n < 100; ++n) {
        slave.registers()[n] = static_cast<std::uint16_t>(10 * (n + 1));
        slave.inputRegisters()[n] = static_cast<std::uint16_t>(1000 + n);
        slave.coils()[n] = n % 2 == 1;
        slave.inputs()[n] = n % 5 == 0;
    }
    slave.setIdentification({ "Quillet", "QSIM", QUILLET_VERSION, "https://quillet.github.io/",
        "quillet-sim", "demo slave", "bench" });
}

struct Served
{
    ServedAs as;
    int port;
};

const char* const kUsage
    = "usage: quillet-sim [--slaves LIST] [--fault [SLAVE:]FAULT]... [--faults FILE]\n"
      "                   [--map FILE] [--identify OBJECTS]\n"
      "                   [--tcp PORT] [--rtu-tcp PORT] [--udp PORT] [--rtu-udp PORT]\n"
      "                   [--ascii-tcp PORT] [--ascii-udp PORT] [--framing rtu|ascii]\n"
      "                   [--port DEVICE [--speed N] [--parity P] [--stop-bits N]\n"
      "                    [--data-bits 7|8]]\n"
      "  --slaves 1,3,5-8   the addresses it answers (default 48), every one with the demo tables\n"
      "  --fault FAULT      misbehave on purpose, for one slave (48:no-reply=3) or all "
      "(delay=50):\n"
      "      delay=MS | delay=MIN-MAX          wait before each reply\n"
      "      exception=A-B[/CODE]              an exception (2) for requests starting at A..B\n"
      "      bad-crc=N  no-reply=N  half-frame=N  stray=N  wrong-function=N  wrong-length=N\n"
      "                                        every Nth reply (N omitted: every one)\n"
      "      ignore-writes                     acknowledge writes, keep the old values\n"
      "      echo                              send every request back before the reply\n"
      "  --faults FILE      a fault a line, # for comments\n"
      "  --map FILE         start values from a register map's \"value\" column\n"
      "  --identify VENDOR,PRODUCT,REVISION[,URL,NAME,MODEL,APP]   what 43/14 reports\n"
      "  --tcp, --rtu-tcp, --udp, --rtu-udp PORT   also on the network (0: any free port)\n"
      "  --ascii-tcp, --ascii-udp PORT            ASCII frames on the network, as a gateway\n"
      "  --framing rtu|ascii  the frames on the pty or serial port (default rtu)\n"
      "  --port DEVICE      on that serial port instead of a new pty (an adapter wired to the\n"
      "                     master under test), at --speed (19200), --parity none|even|odd\n"
      "                     (none), --stop-bits 1|2 (1) and --data-bits 7|8 (8; 7 for ASCII)\n"
      "Prints the pty's (or port's) path, then each network address, on stdout; what it\n"
      "receives and sends, with the time and the faults applied, on stderr.\n";

struct SimOptions
{
    std::vector<Served> served;
    std::vector<int> slaves { 48 };
    FaultPlan faults;
    std::vector<std::string> identity; // 43/14's objects 0..6; empty: the demo's
    modbus::RegisterMap map; // start values, where its "value" column gives them
    std::string device; // a serial port to serve on; empty: a new pty
    comm::LineSettings line;
    bool lineGiven = false;
};

// The value after option i, or nullptr when there is none.
const char* valueAfter(int argc, char** argv, int i)
{
    return i + 1 < argc ? argv[i + 1] : nullptr;
}

// --tcp PORT and the other links; nullopt when the option is none of them.
std::optional<std::string> readLink(std::string_view option, const char* value, SimOptions& o)
{
    static const std::pair<std::string_view, ServedAs> kLinks[]
        = { { "--tcp", ServedAs::Tcp }, { "--rtu-tcp", ServedAs::RtuTcp },
              { "--udp", ServedAs::Udp }, { "--rtu-udp", ServedAs::RtuUdp },
              { "--ascii-tcp", ServedAs::AsciiTcp }, { "--ascii-udp", ServedAs::AsciiUdp } };
    for (const auto& [name, as] : kLinks)
        if (option == name) {
            const auto port = modbus::ParseInteger(value);
            if (!port || *port < 0 || *port > 65535)
                return std::string(option) + " takes a port, 0..65535";
            o.served.push_back({ as, int(*port) });
            return "";
        }
    return std::nullopt;
}

// --framing; nullopt when the option is another.
std::optional<std::string> readFraming(std::string_view option, const char* value, SimOptions& o)
{
    if (option != "--framing")
        return std::nullopt;
    const std::string_view word(value);
    if (word != "rtu" && word != "ascii")
        return "--framing takes rtu or ascii";
    o.line.framing = word == "ascii" ? modbus::Framing::Ascii : modbus::Framing::Rtu;
    return "";
}

// --port and its line's settings; nullopt when the option is none of them.
std::optional<std::string> readSerial(std::string_view option, const char* value, SimOptions& o)
{
    static const std::pair<std::string_view, char> kParities[]
        = { { "none", 'n' }, { "even", 'e' }, { "odd", 'o' } };
    const auto number = modbus::ParseInteger(value);
    if (option == "--port") {
        o.device = value;
        return "";
    }
    if (option == "--data-bits") {
        if (!number || (*number != 7 && *number != 8))
            return "--data-bits takes 7 or 8";
        o.line.dataBits = int(*number);
    } else if (option == "--speed") {
        if (!number || !SerialDeviceSpeed(int(*number)))
            return "--speed takes 1200 .. 230400 (a common speed)";
        o.line.speed = int(*number);
    } else if (option == "--stop-bits") {
        if (!number || (*number != 1 && *number != 2))
            return "--stop-bits takes 1 or 2";
        o.line.stopBits = int(*number);
    } else if (option == "--parity") {
        const auto* parity = std::find_if(std::begin(kParities), std::end(kParities),
            [&](const auto& p) { return p.first == value; });
        if (parity == std::end(kParities))
            return "--parity takes none, even or odd";
        o.line.parity = parity->second;
    } else {
        return std::nullopt;
    }
    o.lineGiven = true;
    return "";
}

// "Vendor,Product,Revision[,URL,Product name,Model,User application]": what 43/14 reports.
std::string readIdentity(std::string_view value, SimOptions& o)
{
    o.identity.clear();
    for (std::string_view rest = value;; rest.remove_prefix(rest.find(',') + 1)) {
        o.identity.emplace_back(rest.substr(0, rest.find(',')));
        if (rest.find(',') == std::string_view::npos)
            break;
    }
    return o.identity.size() <= 7 ? "" : "--identify takes up to 7 objects, comma-separated";
}

// One option and its value; empty when taken, else why not.
std::string readOption(std::string_view option, const char* value, SimOptions& o)
{
    if (!value)
        return std::string(option) + " needs a value";
    if (const std::optional<std::string> why = readLink(option, value, o))
        return *why;
    if (const std::optional<std::string> why = readSerial(option, value, o))
        return *why;
    if (const std::optional<std::string> why = readFraming(option, value, o))
        return *why;
    if (option == "--slaves") {
        const auto list = modbus::ParseNumberList(value, 1, 247);
        o.slaves = list.value_or(std::vector<int> {});
        return list ? "" : "--slaves takes 1..247, or a list such as 1,3,5-8";
    }
    if (option == "--fault")
        return o.faults.add(value);
    if (option == "--faults") {
        const std::optional<std::string> text = modbus::FileText(value);
        return text ? o.faults.addFile(*text) : std::string("cannot read ") + value;
    }
    if (option == "--map") {
        const std::optional<std::string> text = modbus::FileText(value);
        o.map = modbus::ReadRegisterMap(text.value_or(""));
        if (!text)
            return std::string("cannot read ") + value;
        return o.map.refused.empty() ? "" : value + (": " + o.map.refused.front());
    }
    if (option == "--identify")
        return readIdentity(value, o);
    return "unknown option " + std::string(option);
}

// The command line; empty when it was understood, else why not.
std::string readArguments(int argc, char** argv, SimOptions& o)
{
    for (int i = 1; i < argc; i += 2)
        if (std::string why = readOption(argv[i], valueAfter(argc, argv, i), o); !why.empty())
            return why;
    if (o.lineGiven && o.device.empty())
        return "--speed, --parity, --stop-bits and --data-bits set a --port's line (a pty has "
               "none)";
    if (o.line.dataBits == 7 && o.line.framing != modbus::Framing::Ascii)
        return "--data-bits 7 carries ASCII frames only: RTU needs 8 (add --framing ascii)";
    return {};
}

// The network links asked for, each one's address printed where a terminal reads it.
bool listen(ServedLinks& links, const std::vector<Served>& asked)
{
    for (const Served& s : asked)
        if (!links.add(s.as, s.port)) {
            std::fprintf(stderr, "quillet-sim: cannot listen on port %d\n", s.port);
            return false;
        }
    for (const std::string& address : links.addresses())
        std::printf("%s\n", address.c_str());
    std::fflush(stdout);
    return true;
}

// What the slave received and sent, each with its own time, as a monitor would show it.
void printRequest(const std::string& request)
{
    std::fprintf(stderr, "%s <- %s\n", logfile::IsoLocalTimeNow().c_str(),
        modbus::HexBytes(request).c_str());
}

void printReply(const std::string& sent, const std::string& note)
{
    std::fprintf(stderr, "%s -> %s%s\n", logfile::IsoLocalTimeNow().c_str(),
        sent.empty()                                          ? "(nothing)"
            : sent.starts_with(':') && sent.ends_with("\r\n") ? modbus::AsciiText(sent).c_str()
                                                              : modbus::HexBytes(sent).c_str(),
        note.empty() ? "" : ("  [" + note + "]").c_str());
}

std::string slavesText(const std::vector<int>& slaves)
{
    std::string text;
    for (const int slave : slaves)
        text += (text.empty() ? "" : ",") + std::to_string(slave);
    return text;
}

// The bench as the options make it: its slaves, their tables and identity, their faults, the
// traffic printed. Empty, or why the map's values cannot go in.
std::string setUp(PtySlave& slave, SimOptions& o)
{
    fillDemoValues(slave);
    if (!o.identity.empty()) {
        std::string objects[7];
        std::copy(o.identity.begin(), o.identity.end(), objects);
        slave.setIdentification(objects);
    }
    slave.answerAs(o.slaves);
    if (std::string why = FillFromMap(slave, o.slaves, o.map); !why.empty())
        return why;
    slave.setFaults(std::move(o.faults));
    slave.setFraming(o.line.framing);
    slave.onRequest = printRequest;
    slave.onReply = printReply;
    return {};
}

// On a new pty, or on the serial port asked for.
std::unique_ptr<PtySlave> makeSlave(const SimOptions& o)
{
    if (o.device.empty())
        return std::make_unique<PtySlave>(o.slaves.front(), 100);
    return std::make_unique<PtySlave>(o.slaves.front(), 100, o.device, o.line);
}

// Stops on Ctrl-C, SIGTERM, SIGHUP, and when whoever started it goes, even without a signal of
// its own. The parent's pid, for the serving loop to watch.
pid_t stopWithParent()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    for (int sig : { SIGINT, SIGTERM, SIGHUP })
        std::signal(sig, requestStop);
    return getppid();
}

// Its path and links printed, then requests answered until told to stop. The exit status.
int serve(PtySlave& slave, const SimOptions& o, pid_t parent)
{
    std::printf("%s\n", slave.path().c_str());
    ServedLinks links(slave);
    if (!listen(links, o.served))
        return 1;
    std::fprintf(stderr,
        "quillet-sim: slave %s on %s%s (functions 1, 2, 3, 4, 5, 6, 8, 15, 16, 17, 22, 23, 24, "
        "43/14; coils, inputs and registers 0..99). Ctrl-C stops.\n",
        slavesText(o.slaves).c_str(), slave.path().c_str(),
        o.device.empty() ? (o.line.framing == modbus::Framing::Ascii ? " (ASCII)" : "")
                         : (" at " + o.line.shortForm()).c_str());
    while (!stopRequested && getppid() == parent)
        links.serveOnce(200);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    SimOptions o;
    if (const std::string why = readArguments(argc, argv, o); !why.empty()) {
        std::fprintf(stderr, "quillet-sim: %s\n\n%s", why.c_str(), kUsage);
        return 2;
    }
    const pid_t parent = stopWithParent();

    const std::unique_ptr<PtySlave> made = makeSlave(o);
    PtySlave& slave = *made;
    if (!slave.ok()) {
        std::fprintf(stderr, "quillet-sim: %s\n",
            o.device.empty() ? "cannot create a pty" : slave.failure().c_str());
        return 1;
    }
    if (const std::string why = setUp(slave, o); !why.empty()) {
        std::fprintf(stderr, "quillet-sim: the map's %s\n", why.c_str());
        return 2;
    }

    return serve(slave, o, parent);
}
