// quillet-sim: a Modbus RTU slave at address 48 on a new pty, for trying the terminal.
#include "pty_slave.h"

#include "modbus/byte_string.h"
#include "quillet_version.h"

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

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

} // namespace

int main()
{
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
    std::fflush(stdout);
    std::fprintf(stderr,
        "quillet-sim: slave 48 on %s (functions 1, 2, 3, 4, 5, 6, 15, 16, 17, 22, 23, 43/14; "
        "coils, inputs and registers 0..99). Ctrl-C stops.\n",
        slave.path().c_str());
    while (!stopRequested && getppid() == parent) {
        const std::string request = slave.serveOnce(200);
        if (!request.empty())
            std::fprintf(stderr, "quillet-sim: request %s\n", modbus::HexBytes(request).c_str());
    }
    return 0;
}
