#include "local_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace logfile {
namespace {

    // The C library's two spellings of a thread-safe local time.
#ifdef _WIN32
    bool localTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }
#else
    bool localTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }
#endif

} // namespace

std::string IsoLocalTimeNow()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm {};
    if (!localTime(system_clock::to_time_t(now), tm))
        return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", tm.tm_year + 1900,
        tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, int(ms));
    return text;
}

} // namespace logfile
