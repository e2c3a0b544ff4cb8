// quillet-sim: a Modbus RTU slave at address 48 on a new pty, for trying the terminal; with
// --tcp, --rtu-tcp, --udp or --rtu-udp PORT the same slave on the network too.
#include "served_links.h"

#include "modbus/byte_string.h"
#include "quillet_version.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
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

// "--tcp 1502 --udp 0": the network links asked for (port 0: any free one); false on a word
// it does not know.
bool readArguments(int argc, char** argv, std::vector<Served>& served)
{
    static const std::pair<std::string_view, ServedAs> kOptions[]
        = { { "--tcp", ServedAs::Tcp }, { "--rtu-tcp", ServedAs::RtuTcp },
              { "--udp", ServedAs::Udp }, { "--rtu-udp", ServedAs::RtuUdp } };
    for (int i = 1; i < argc; i += 2) {
        const auto* option = std::find_if(std::begin(kOptions), std::end(kOptions),
            [&](const auto& o) { return o.first == argv[i]; });
        int port = -1;
        const char* text = i + 1 < argc ? argv[i + 1] : "";
        const auto [end, ec] = std::from_chars(text, text + std::strlen(text), port);
        if (option == std::end(kOptions) || ec != std::errc() || *end || port < 0 || port > 65535)
            return false;
        served.push_back({ option->second, port });
    }
    return true;
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

} // namespace

int main(int argc, char** argv)
{
    std::vector<Served> asked;
    if (!readArguments(argc, argv, asked)) {
        std::fprintf(stderr,
            "usage: quillet-sim [--tcp PORT] [--rtu-tcp PORT] [--udp PORT] "
            "[--rtu-udp PORT]\n");
        return 2;
    }
    const pid_t parent = getppid();
    // Go when whoever started us goes, even without a signal of its own.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    for (int sig : { SIGINT, SIGTERM, SIGHUP })
        std::signal(sig, requestStop);

    PtySlave slave(48, 100);
    if (!slave.ok()) {
        std::fprintf(stderr, "quillet-sim: cannot create a pty\n");
        return 1;
    }
    fillDemoValues(slave);

    std::printf("%s\n", slave.path().c_str());
    ServedLinks links(slave);
    if (!listen(links, asked))
        return 1;
    std::fprintf(stderr,
        "quillet-sim: slave 48 on %s (functions 1, 2, 3, 4, 5, 6, 15, 16, 17, 22, 23, 43/14; "
        "coils, inputs and registers 0..99). Ctrl-C stops.\n",
        slave.path().c_str());
    while (!stopRequested && getppid() == parent)
        for (const std::string& request : links.serveOnce(200))
            std::fprintf(stderr, "quillet-sim: request %s\n", modbus::HexBytes(request).c_str());
    return 0;
}
