// quillet-cli against servers that go away, for a long time: two polling runs at once, each its
// own process, one over Modbus TCP and one through an RTU-over-TCP gateway, each served by its
// own quillet-sim. The gateway is killed and started again at once on the same port every
// minute; the Modbus TCP server is killed and started again 10 s later once every 5 minutes.
// Every value printed is compared with what the simulator holds there (its map gives every
// register a value of its own, the two links different ones), every outage is matched with
// what quillet-cli told of it, and its resident memory and CPU time are read every 10 s.
//   bench_net_soak [MINUTES]   (default 30)
#include "bench_util.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>

extern char** environ;

namespace {

using bench::Clock;
using namespace std::chrono_literals;

constexpr int kStart = 20, kCount = 8; // the holding registers polled
constexpr auto kSampleEvery = 10s;
// A minute and 23 ms: the restarts fall at every phase of the 100 ms poll cycle, not always just
// as a poll goes out (the runs start with the soak).
constexpr auto kGatewayEvery = 60023ms;
constexpr auto kServerFirst = 150s; // half-way between two restarts of the gateway
constexpr auto kServerEvery = 5min;
constexpr auto kServerGone = 10s;

// What holding register a holds on link 0 (Modbus TCP) or 1 (the gateway): no two registers
// alike, so a reply to another start or link, or the demo tables, would show.
std::uint16_t valueAt(int link, int a)
{
    return std::uint16_t(link == 0 ? 40000 + 11 * a : 50000 + 13 * a);
}

// An outage caused, and what quillet-cli made of it.
struct Outage
{
    Clock::time_point gone, back; // killed; listening again
    bool over = false; // back, and a good reply since quillet-cli said it connected again
    int lostTold = 0; // "...; made again at the next request", "...; tried again ..."
    int againTold = 0; // "connected to ... again"
    int notSent = 0, noReply = 0, late = 0; // while it lasted
    double recoveryMs = 0; // from back to the first good reply after "connected again"
    double cpuMsGone = 0; // quillet-cli's CPU time while the server was gone (schedstat's)
};

struct Tally
{
    long polls = 0, good = 0, wrong = 0, notSent = 0, noReply = 0, otherVerdicts = 0;
    long lostTold = 0, downTold = 0, againTold = 0, late = 0, otherNotes = 0;
    long untoldCause = 0; // told of a connection lost when no outage had been caused
    // Outside every outage: an outage lasts from the kill to the first good reply after it.
    long noReplyOutside = 0, notSentOutside = 0;
    std::vector<std::string> odd; // the first unexpected lines, as printed
};

struct Sample
{
    double seconds;
    long rssKb;
    double cpuMs, fineCpuMs; // from stat, from schedstat
};

struct Link
{
    Link(const char* name, const char* scheme, const char* simOption, int index, int slave)
        : name(name)
        , scheme(scheme)
        , simOption(simOption)
        , index(index)
        , slave(slave)
    { }

    const char* name;
    const char* scheme; // in quillet-cli's --port
    const char* simOption;
    int index, slave;
    int port = 0;
    pid_t sim = -1, cli = -1;
    int cliOut = -1, cliErr = -1; // -1 once ended
    std::string outHeld, errHeld; // a line not yet ended
    Tally tally;
    std::vector<Outage> outages;
    std::vector<Sample> samples;
    std::string statistics; // what quillet-cli printed at its end

    std::string file(const char* what) const
    {
        return std::string("net_soak_") + (index == 0 ? "tcp" : "gateway") + what;
    }
    Outage* open() { return outages.empty() || outages.back().over ? nullptr : &outages.back(); }
};

void odd(Tally& t, const std::string& line)
{
    if (t.odd.size() < 10)
        t.odd.push_back(line);
}

// Spawned with its stdout and stderr on the descriptors given.
pid_t spawn(const std::vector<std::string>& args, int out, int err)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, out, 1);
    posix_spawn_file_actions_adddup2(&files, err, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// The first `count` lines fd gives within `ms`; fewer when it ends or the time is up.
std::vector<std::string> readLines(int fd, std::size_t count, int ms)
{
    std::vector<std::string> lines(1);
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (lines.size() <= count) {
        const int left = int(bench::msBetween(Clock::now(), until));
        pollfd p { fd, POLLIN, 0 };
        char c = 0;
        if (left <= 0 || poll(&p, 1, left) <= 0 || read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    lines.pop_back(); // the one not ended
    return lines;
}

// The link's simulator on its port; on the first start a port is searched for. Below the
// ephemeral range (32768 up), so that no connect() of quillet-cli's while the server is gone
// can be given the server's own port and reach itself.
bool startSim(Link& l)
{
    for (int tries = 0; tries < 50; ++tries) {
        const int port = l.port ? l.port : 20000 + (getpid() + 97 * tries) % 10000;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        const int log
            = open(l.file("_sim.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        l.sim = spawn({ QUILLET_SIM, "--slaves", std::to_string(l.slave), "--map", l.file(".csv"),
                          l.simOption, std::to_string(port) },
            fds[1], log);
        close(fds[1]);
        close(log);
        // Its pty's path, then its link's address once it listens.
        const std::vector<std::string> lines = readLines(fds[0], 2, 5000);
        close(fds[0]);
        std::string listening(":"); // appended: ":" + text trips a false -Wrestrict in GCC 12
        listening += std::to_string(port);
        if (lines.size() == 2 && lines[1].ends_with(listening)) {
            l.port = port;
            return true;
        }
        kill(l.sim, SIGKILL);
        waitpid(l.sim, nullptr, 0);
        if (l.port)
            return false; // its own port taken: the soak cannot go on as planned
    }
    return false;
}

void killSim(Link& l)
{
    kill(l.sim, SIGKILL);
    waitpid(l.sim, nullptr, 0);
    l.sim = -1;
}

bool startCli(Link& l)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return false;
    const std::string address = std::string(l.scheme) + "://127.0.0.1:" + std::to_string(l.port);
    l.cli = spawn({ QUILLET_CLI, "--port", address, "--address", std::to_string(l.slave), "--every",
                      "100", "read-holding", std::to_string(kStart), std::to_string(kCount) },
        out[1], err[1]);
    close(out[1]);
    close(err[1]);
    l.cliOut = out[0];
    l.cliErr = err[0];
    fcntl(l.cliOut, F_SETFL, O_NONBLOCK);
    fcntl(l.cliErr, F_SETFL, O_NONBLOCK);
    return l.cli > 0;
}

// The lines waiting on fd, each handed on; false once it has ended.
bool drain(int fd, std::string& held, const std::function<void(const std::string&)>& line)
{
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) {
        held.append(buf, std::size_t(n));
        for (std::size_t end; (end = held.find('\n')) != std::string::npos;) {
            line(held.substr(0, end));
            held.erase(0, end + 1);
        }
    }
    return n != 0;
}

long rssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::atol(line.c_str() + 6);
    return 0;
}

// User and system time, from /proc/PID/stat's 14th and 15th fields.
double cpuMs(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t at = text.rfind(')');
    if (at == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(at + 2));
    std::string skip;
    long user = 0, system = 0;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    fields >> user >> system;
    return double(user + system) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Time on a CPU to the nanosecond, from /proc/PID/schedstat: stat counts 10 ms ticks, too
// coarse for a 10 s outage of a program that then does next to nothing. quillet-cli polls on
// its one thread, so its main thread's figure is the process's.
double fineCpuMs(pid_t pid)
{
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns / 1e6;
}

// The values of a poll line, or nothing when it carries a verdict instead.
std::optional<std::vector<long>> pollValues(const std::string& line)
{
    std::vector<long> values;
    std::size_t at = line.find('\t');
    while (at != std::string::npos) {
        const std::size_t end = line.find('\t', at + 1);
        const std::string field = line.substr(at + 1, end - at - 1);
        if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        values.push_back(std::atol(field.c_str()));
        at = end;
    }
    return values;
}

bool expected(const Link& l, const std::vector<long>& values)
{
    if (values.size() != std::size_t(kCount))
        return false;
    for (int i = 0; i < kCount; ++i)
        if (values[std::size_t(i)] != valueAt(l.index, kStart + i))
            return false;
    return true;
}

// A good reply ends an outage once quillet-cli has said it connected again.
void goodReply(Link& l, Clock::time_point at)
{
    Outage* o = l.open();
    if (o && at >= o->back && o->againTold > 0) {
        o->over = true;
        o->recoveryMs = bench::msBetween(o->back, at);
    }
}

void onPoll(Link& l, const std::string& line, Clock::time_point at)
{
    Tally& t = l.tally;
    Outage* o = l.open();
    ++t.polls;
    const std::string verdict = line.substr(line.find('\t') + 1);
    if (const auto values = pollValues(line)) {
        if (expected(l, *values)) {
            ++t.good;
            goodReply(l, at);
        } else {
            ++t.wrong;
            odd(t, line);
        }
    } else if (verdict.starts_with("not sent")) {
        ++t.notSent;
        o ? ++o->notSent : ++t.notSentOutside;
    } else if (verdict == "no reply") {
        ++t.noReply;
        o ? ++o->noReply : ++t.noReplyOutside;
    } else {
        ++t.otherVerdicts;
        odd(t, line);
    }
}

void onNote(Link& l, const std::string& line)
{
    Tally& t = l.tally;
    Outage* o = l.open();
    const bool lost = line.ends_with("; made again at the next request");
    const bool down = line.ends_with("; tried again at the next request, at most once a second");
    if (lost || down) {
        ++(lost ? t.lostTold : t.downTold);
        o ? ++o->lostTold : ++t.untoldCause;
    } else if (line.starts_with("quillet-cli: connected to ") && line.ends_with(" again")) {
        ++t.againTold;
        if (o)
            ++o->againTold;
    } else if (line.find("late reply") != std::string::npos) {
        ++t.late;
        if (o)
            ++o->late;
    } else if (line.starts_with("quillet-cli: ")) {
        ++t.otherNotes;
        odd(t, line);
    } else {
        l.statistics += line + "\n"; // the run's statistics, at its end
    }
}

void writeMap(const Link& l)
{
    std::ofstream map(l.file(".csv"));
    map << "table,address,name,type,value\n";
    for (int a = kStart; a < kStart + kCount; ++a)
        map << "holding," << a << ",r" << a << ",u16," << valueAt(l.index, a) << "\n";
}

// Requests the simulators received and replies they sent, from their logs.
std::pair<long, long> simTraffic(const Link& l)
{
    std::ifstream log(l.file("_sim.log"));
    long requests = 0, replies = 0;
    for (std::string line; std::getline(log, line);) {
        requests += line.find(" <- ") != std::string::npos;
        replies += line.find(" -> ") != std::string::npos
            && line.find("(nothing)") == std::string::npos;
    }
    return { requests, replies };
}

class Soak
{
public:
    explicit Soak(double minutes);
    bool start();
    void run();
    void finish();
    bool report();

private:
    void wait(Clock::time_point until);
    void readOutput();
    void events(Clock::time_point now);
    void sample(Clock::time_point now);
    void outageBegins(Link& l);
    void outageEnds(Link& l);

    Link links_[2] = { { "Modbus TCP", "tcp", "--tcp", 0, 17 },
        { "RTU-over-TCP gateway", "rtu+tcp", "--rtu-tcp", 1, 18 } };
    double minutes_;
    Clock::time_point began_, end_, nextSample_, nextGateway_, nextServerGone_;
    std::optional<Clock::time_point> serverBackAt_;
    int simFailures_ = 0;
    bool cliEnded_ = false; // a run's output ended
    bool endedEarly_ = false; // before the soak did
};

Soak::Soak(double minutes)
    : minutes_(minutes)
{
    for (const Link& l : links_)
        writeMap(l);
}

bool Soak::start()
{
    for (Link& l : links_)
        if (!startSim(l) || !startCli(l)) {
            std::printf("could not start the %s's simulator or quillet-cli\n", l.name);
            return false;
        }
    began_ = Clock::now();
    end_ = began_ + std::chrono::milliseconds(std::int64_t(minutes_ * 60000));
    nextSample_ = began_ + kSampleEvery;
    nextGateway_ = began_ + kGatewayEvery;
    nextServerGone_ = began_ + kServerFirst;
    std::printf("polling holding registers %d..%d every 100 ms: %s on port %d, %s on port %d\n",
        kStart, kStart + kCount - 1, links_[0].name, links_[0].port, links_[1].name,
        links_[1].port);
    return true;
}

void Soak::run()
{
    while (Clock::now() < end_ && !cliEnded_) {
        Clock::time_point until = std::min({ end_, nextSample_, nextGateway_, nextServerGone_ });
        if (serverBackAt_)
            until = std::min(until, *serverBackAt_);
        wait(until);
        events(Clock::now());
    }
    sample(Clock::now()); // the figures at the end
    endedEarly_ = cliEnded_;
    if (endedEarly_)
        std::printf("a quillet-cli run ended before the soak did\n");
}

// Reads what the runs print until then.
void Soak::wait(Clock::time_point until)
{
    pollfd fds[4];
    for (int i = 0; i < 2; ++i) {
        fds[2 * i] = { links_[i].cliErr, POLLIN, 0 };
        fds[2 * i + 1] = { links_[i].cliOut, POLLIN, 0 };
    }
    const double ms = bench::msBetween(Clock::now(), until);
    poll(fds, 4, std::max(0, int(ms) + 1));
    readOutput();
}

// Stderr first: a poll's notes are written before its line.
void Soak::readOutput()
{
    const Clock::time_point at = Clock::now();
    for (Link& l : links_) {
        for (int* fd : { &l.cliErr, &l.cliOut }) {
            const bool notes = fd == &l.cliErr;
            if (*fd >= 0
                && !drain(*fd, notes ? l.errHeld : l.outHeld, [&](const std::string& line) {
                       notes ? onNote(l, line) : onPoll(l, line, at);
                   })) {
                close(*fd);
                *fd = -1;
                cliEnded_ = true;
            }
        }
    }
}

void Soak::events(Clock::time_point now)
{
    if (now >= nextSample_) {
        sample(now);
        nextSample_ += kSampleEvery;
    }
    // Outages only where the run goes on long enough after them to see them told and over.
    if (now >= nextGateway_) {
        if (nextGateway_ + 5s < end_) {
            outageBegins(links_[1]);
            outageEnds(links_[1]);
        }
        nextGateway_ += kGatewayEvery;
    }
    if (serverBackAt_ && now >= *serverBackAt_) {
        outageEnds(links_[0]);
        serverBackAt_.reset();
    }
    if (now >= nextServerGone_) {
        if (nextServerGone_ + kServerGone + 5s < end_) {
            outageBegins(links_[0]);
            serverBackAt_ = nextServerGone_ + kServerGone;
        }
        nextServerGone_ += kServerEvery;
    }
}

void Soak::outageBegins(Link& l)
{
    Outage& o = l.outages.emplace_back();
    o.cpuMsGone = -fineCpuMs(l.cli);
    o.gone = Clock::now();
    killSim(l);
}

void Soak::outageEnds(Link& l)
{
    Outage& o = l.outages.back();
    simFailures_ += !startSim(l);
    o.back = Clock::now();
    o.cpuMsGone += fineCpuMs(l.cli);
}

void Soak::sample(Clock::time_point now)
{
    const double seconds = bench::msBetween(began_, now) / 1000;
    for (Link& l : links_)
        l.samples.push_back({ seconds, rssKb(l.cli), cpuMs(l.cli), fineCpuMs(l.cli) });
    if (links_[0].samples.size() % 6 != 0)
        return; // a line a minute
    std::printf("t %5.0f s", seconds);
    for (const Link& l : links_)
        std::printf("  | %s: rss %ld kB, cpu %.0f ms, polls %ld, good %ld, outages %zu",
            l.index == 0 ? "tcp" : "gateway", l.samples.back().rssKb, l.samples.back().cpuMs,
            l.tally.polls, l.tally.good, l.outages.size());
    std::printf("\n");
    std::fflush(stdout);
}

// Ctrl+C to both runs, and their statistics read to the end; the simulators stopped.
void Soak::finish()
{
    for (Link& l : links_)
        kill(l.cli, SIGINT);
    const Clock::time_point until = Clock::now() + 10s;
    while (Clock::now() < until
        && (links_[0].cliOut >= 0 || links_[0].cliErr >= 0 || links_[1].cliOut >= 0
            || links_[1].cliErr >= 0))
        wait(until);
    for (Link& l : links_) {
        if (l.cliOut >= 0 || l.cliErr >= 0)
            kill(l.cli, SIGKILL); // it did not end on Ctrl+C
        waitpid(l.cli, nullptr, 0);
        kill(l.sim, SIGTERM);
        waitpid(l.sim, nullptr, 0);
    }
}

using Column = std::function<std::string(const Link&)>;

void row(const Link (&links)[2], const char* what, const Column& column)
{
    std::printf("  %-52s %20s %20s\n", what, column(links[0]).c_str(), column(links[1]).c_str());
}

std::string number(double value, const char* format = "%.0f")
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

long countOutages(const Link& l, bool (*which)(const Outage&))
{
    return long(std::count_if(l.outages.begin(), l.outages.end(), which));
}

// Least squares over the samples from the first minute on, in kB an hour.
double rssSlopeKbPerHour(const Link& l)
{
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : l.samples)
        if (s.seconds >= 60) {
            n += 1;
            sx += s.seconds;
            sy += double(s.rssKb);
            sxx += s.seconds * s.seconds;
            sxy += s.seconds * double(s.rssKb);
        }
    const double d = n * sxx - sx * sx;
    return n > 1 && d > 0 ? (n * sxy - sx * sy) / d * 3600 : 0;
}

void outageRows(const Link (&links)[2])
{
    row(links, "outages caused", [](const Link& l) { return number(double(l.outages.size())); });
    row(links, "  told lost and then connected again", [](const Link& l) {
        return number(double(
            countOutages(l, [](const Outage& o) { return o.lostTold > 0 && o.againTold > 0; })));
    });
    row(links, "  over: a good reply after \"connected again\"", [](const Link& l) {
        return number(double(countOutages(l, [](const Outage& o) { return o.over; })));
    });
    row(links, "lines \"...; made again at the next request\"",
        [](const Link& l) { return number(double(l.tally.lostTold)); });
    row(links, "lines \"nothing listens at ...; tried again ...\"",
        [](const Link& l) { return number(double(l.tally.downTold)); });
    row(links, "lines \"connected to ... again\"",
        [](const Link& l) { return number(double(l.tally.againTold)); });
    row(links, "connection lost told with no outage caused",
        [](const Link& l) { return number(double(l.tally.untoldCause)); });
    row(links, "killed to listening again, median / max", [](const Link& l) {
        std::vector<double> ms;
        for (const Outage& o : l.outages)
            ms.push_back(bench::msBetween(o.gone, o.back));
        return number(bench::percentile(ms, 50), "%.1f") + " / "
            + number(bench::percentile(ms, 100), "%.1f") + " ms";
    });
    row(links, "good replies again after the server listened, median / max", [](const Link& l) {
        std::vector<double> ms;
        for (const Outage& o : l.outages)
            if (o.over)
                ms.push_back(o.recoveryMs);
        return number(bench::percentile(ms, 50)) + " / " + number(bench::percentile(ms, 100))
            + " ms";
    });
}

void pollRows(const Link (&links)[2])
{
    const std::pair<const char*, long Tally::*> counts[] = { { "polls", &Tally::polls },
        { "good replies, every value as the simulator holds it", &Tally::good },
        { "WRONG values", &Tally::wrong }, { "not sent", &Tally::notSent },
        { "  of them outside an outage", &Tally::notSentOutside },
        { "no reply (time-outs)", &Tally::noReply },
        { "  of them outside an outage", &Tally::noReplyOutside },
        { "other verdicts", &Tally::otherVerdicts }, { "late replies told", &Tally::late },
        { "other notes", &Tally::otherNotes } };
    for (const auto& [what, count] : counts)
        row(links, what, [count](const Link& l) { return number(double(l.tally.*count)); });
    row(links, "simulators: requests received / replies sent", [](const Link& l) {
        const auto [requests, replies] = simTraffic(l);
        return number(double(requests)) + " / " + number(double(replies));
    });
    // Each reply sent is a good reply printed or a late reply told, unless the connection it
    // went on was cut under it.
    row(links, "replies sent neither printed nor told late", [](const Link& l) {
        return number(double(simTraffic(l).second - l.tally.good - l.tally.late));
    });
}
void memoryRows(const Link (&links)[2])
{
    row(links, "resident kB at 10 s / at the end / max", [](const Link& l) {
        long most = 0;
        for (const Sample& s : l.samples)
            most = std::max(most, s.rssKb);
        return number(double(l.samples.front().rssKb)) + " / "
            + number(double(l.samples.back().rssKb)) + " / " + number(double(most));
    });
    row(links, "resident growth from the first minute on, kB an hour",
        [](const Link& l) { return number(rssSlopeKbPerHour(l), "%.1f"); });
}

// quillet-cli's CPU time while the server was gone, ms, and how long it was gone, s.
std::pair<double, double> goneCpu(const Link& l)
{
    double ms = 0, goneMs = 0;
    for (const Outage& o : l.outages) {
        ms += o.cpuMsGone;
        goneMs += bench::msBetween(o.gone, o.back);
    }
    return { ms, goneMs / 1000 };
}

void cpuRows(const Link (&links)[2])
{
    row(links, "CPU time over the run, ms", [](const Link& l) {
        return number(l.samples.back().cpuMs) + " ("
            + number(100 * l.samples.back().cpuMs / 1000 / l.samples.back().seconds, "%.2f")
            + " %)";
    });
    row(links, "CPU time a poll, us", [](const Link& l) {
        return number(1000 * l.samples.back().cpuMs / double(std::max(1L, l.tally.polls)), "%.1f");
    });
    row(links, "CPU time while the server was gone, ms (schedstat)", [](const Link& l) {
        const auto [ms, seconds] = goneCpu(l);
        return number(ms, "%.2f") + " in " + number(seconds, "%.1f") + " s";
    });
    row(links, "  ms a second: gone / there (schedstat)", [](const Link& l) {
        const auto [ms, seconds] = goneCpu(l);
        const Sample& end = l.samples.back();
        return number(seconds > 0 ? ms / seconds : 0, "%.3f") + " / "
            + number((end.fineCpuMs - ms) / (end.seconds - seconds), "%.3f");
    });
}

void outageList(const Link& l, Clock::time_point began)
{
    std::printf("%s outages (s from the start: lost told, connected again told, not sent, no "
                "reply, late, ms from listening to good replies):\n ",
        l.name);
    for (const Outage& o : l.outages)
        std::printf(" %.0f: %d %d %d %d %d %s;", bench::msBetween(began, o.gone) / 1000, o.lostTold,
            o.againTold, o.notSent, o.noReply, o.late,
            o.over ? number(o.recoveryMs).c_str() : "NOT OVER");
    std::printf("\n");
}

// The figures, link by link; whether every value was right and every outage told and over.
bool Soak::report()
{
    std::printf("\nsoak of %.1f min%s:\n  %-52s %20s %20s\n", minutes_,
        endedEarly_ ? " (ENDED EARLY)" : "", "", "Modbus TCP", "gateway");
    outageRows(links_);
    pollRows(links_);
    memoryRows(links_);
    cpuRows(links_);
    bool ok = !endedEarly_ && simFailures_ == 0;
    for (const Link& l : links_) {
        outageList(l, began_);
        std::printf("%s: quillet-cli's statistics at its end:\n%s", l.name, l.statistics.c_str());
        for (const std::string& line : l.tally.odd)
            std::printf("  unexpected: %s\n", line.c_str());
        ok = ok && l.tally.wrong == 0 && l.tally.untoldCause == 0 && l.tally.odd.empty()
            && countOutages(
                   l, [](const Outage& o) { return o.lostTold > 0 && o.againTold > 0 && o.over; })
                == long(l.outages.size());
    }
    if (simFailures_)
        std::printf("a simulator did not start again %d times\n", simFailures_);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30;
    signal(SIGPIPE, SIG_IGN);
    Soak soak(minutes);
    if (!soak.start())
        return 1;
    soak.run();
    soak.finish();
    const bool ok = soak.report();
    bench::rerun("scripts/bench net_soak [minutes]");
    return ok ? 0 : 1;
}
