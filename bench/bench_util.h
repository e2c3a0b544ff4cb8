// Shared by the timed drivers: clocks, percentiles, memory.
#pragma once

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i
        = std::min(v.size() - 1, static_cast<std::size_t>(p / 100.0 * double(v.size())));
    return v[i];
}

inline long rssKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

inline double cpuMs()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0
        + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// The drivers run offscreen unless the caller chose a platform (scripts/bench runs startup under
// Xvfb).
inline void offscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Every byte of the hex lines of raw dumps, in order. lineEnd is "\r\n" in the log, "\n" in a box.
inline std::string dumpedBytes(const std::string& text, const std::string& lineEnd)
{
    std::string bytes;
    std::size_t at = 0;
    const std::string header = "Reply DATA :" + lineEnd;
    while ((at = text.find(header, at)) != std::string::npos) {
        const std::size_t printableEnd = text.find(lineEnd, at + header.size());
        const std::size_t hexStart = printableEnd + lineEnd.size();
        const std::size_t hexEnd = text.find(lineEnd, hexStart);
        std::istringstream hex(text.substr(hexStart, hexEnd - hexStart));
        std::string token;
        while (hex >> token)
            bytes.push_back(char(std::stoul(token, nullptr, 16)));
        at = hexEnd;
    }
    return bytes;
}

// What a shell command prints on stdout, once it has ended.
inline std::string output(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[4096];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        out.append(buf, n);
    if (pipe)
        pclose(pipe);
    return out;
}

inline void rerun(const char* command) { std::printf("rerun: %s\n", command); }

} // namespace bench
