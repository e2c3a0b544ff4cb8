// Soak: the real poller fed from a pty as fast as it takes bytes, for long enough that every
// display box fills to its capacity and then stays full. Reports resident memory over time,
// what was written, shown and logged, and the poller's work per tick at the start and the end.
// With "monitor" after the minutes, the line monitor is open throughout and its work counts.
#include "bench_util.h"
#include "bench_window.h"

#include "modbus/reply_display.h"
#include "monitor/copyable_table.h"
#include "monitor/line_monitor.h"
#include "window/display_box.h"

#include <QApplication>
#include <QTimer>

#include <map>
#include <random>

namespace {

using modbus::ByteString;

// Chunks of 255 bytes, so that every read returns at once: a raw dump from another sender
// (into Text2) in every 49, the rest replies of functions 3, 6 and 16 in turn, each followed
// within the same chunk by copies of itself, as a burst would arrive.
struct Feed
{
    std::mt19937 random { 7 };
    long count = 0;

    ByteString next()
    {
        const long n = count++;
        const int value = int(n & 0xFFFF), hi = value >> 8, lo = value & 0xFF;
        ByteString reply;
        switch (n % 49 == 0 ? 0 : 1 + (n % 49) % 3) {
        case 0:
            reply = "A";
            for (int i = 1; i < 255; ++i)
                reply += char(random());
            return reply;
        case 1:
            reply = { 48, 3, 2, char(hi), char(lo), char(random()), char(random()) };
            break;
        case 2:
            reply = { 48, 6, 0, 1, char(hi), char(lo), char(random()), char(random()) };
            break;
        default:
            reply = { 48, 16, char(hi), char(lo), 0, 1, char(random()), char(random()) };
        }
        ByteString chunk;
        while (chunk.size() < 255)
            chunk += reply;
        return chunk.substr(0, 255);
    }
};

struct Tally
{
    long chunks = 0;
    long rawBytes = 0;
    std::map<modbus::ReplyKind, long> entries;
    std::map<modbus::ReplyKind, long> characters;
};

// Reads one entry's text after its time stamp; false at the end of the log.
bool nextEntry(std::ifstream& log, std::string& got, std::size_t size)
{
    char c = 0;
    while (log.get(c) && ((c >= '0' && c <= '9') || c == ':' || c == '.'))
        ; // the time stamp
    got.assign(size, '\0');
    got[0] = c;
    return bool(log.read(got.data() + 1, std::streamsize(size - 1)));
}

struct Verdict
{
    bool logExact = true; // every entry present and exact, nothing after them
    bool shown[4] = {}; // each box holds the newest entries of its kind, whole and in order
    std::size_t rawShown = 0;
};

// Replays the feed once, walking the log entry by entry and keeping, for each box, the newest
// entries of its kind: just enough to compare with what it shows (Text2 by its raw bytes).
Verdict verify(const std::string& logPath, long chunks, QPlainTextEdit* const boxes[4])
{
    std::ifstream log(logPath, std::ios::binary);
    std::string line, got;
    for (int i = 0; i < 3; ++i)
        std::getline(log, line); // the header
    const std::string rawShown
        = bench::dumpedBytes(boxes[0]->toPlainText().toLatin1().toStdString(), "\n");
    std::string shown[4], newest[4];
    for (int k = 1; k < 4; ++k)
        shown[k] = boxes[k]->toPlainText().toStdString();
    Verdict v;
    Feed again;
    for (long n = 0; n < chunks; ++n) {
        const ByteString chunk = again.next();
        const modbus::ReplyDisplay d = modbus::ClassifyReply(chunk, 48);
        const std::string want = "  :< " + d.text + "\r\n\r\n";
        if (v.logExact && (!nextEntry(log, got, want.size()) || got != want)) {
            std::printf("log differs at entry %ld: want %s\n got %s\n", n,
                modbus::HexBytes(want).c_str(), modbus::HexBytes(got).c_str());
            v.logExact = false;
        }
        const int k = int(d.kind);
        newest[k] += k == 0 ? chunk : d.text + "\n";
        const std::size_t keep = k == 0 ? rawShown.size() : shown[k].size();
        if (newest[k].size() > 2 * keep + 4096) // trimmed now and then, not per entry
            newest[k].erase(0, newest[k].size() - keep - 2048);
    }
    v.logExact = v.logExact && log.peek() == EOF;
    v.rawShown = rawShown.size();
    v.shown[0] = newest[0].ends_with(rawShown) && rawShown.size() % 255 == 0;
    for (int k = 1; k < 4; ++k) {
        // Whole entries: what precedes the shown text in the replay ends an entry.
        const std::size_t at = newest[k].size() - std::min(newest[k].size(), shown[k].size());
        v.shown[k] = newest[k].ends_with(shown[k]) && (at == 0 || newest[k][at - 1] == '\n');
    }
    return v;
}

void report(const char* when, const std::vector<double>& work)
{
    std::printf("tick work %s: %zu ticks, p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", when,
        work.size(), bench::percentile(work, 50), bench::percentile(work, 99),
        bench::percentile(work, 100));
}

} // namespace

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const double minutes = argc > 1 ? std::atof(argv[1]) : 25;
    const bool monitor = argc > 2 && std::string(argv[2]) == "monitor";
    bench::OpenWindow w(monitor);
    w.frm.TMRComm.stop(); // ticks are driven below, to time each one
    QPlainTextEdit* boxes[] = { w.box("Text2"), w.box("Text6"), w.box("Text8"), w.box("Text10") };

    Feed feed;
    Tally tally;
    std::vector<double> first, last;
    const auto began = bench::Clock::now();
    const auto end = began + std::chrono::milliseconds(std::int64_t(minutes * 60000));
    auto nextSample = began;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const ByteString chunk = feed.next();
        w.peer.send(chunk);
        const auto start = bench::Clock::now();
        w.frm.TMRComm_Timer();
        const auto done = bench::Clock::now();
        const modbus::ReplyDisplay d = modbus::ClassifyReply(chunk, 48);
        ++tally.chunks;
        ++tally.entries[d.kind];
        tally.characters[d.kind] += long(d.text.size()) + 2;
        tally.rawBytes += d.kind == modbus::ReplyKind::Raw ? long(chunk.size()) : 0;
        if (done - began < std::chrono::minutes(1))
            first.push_back(bench::msBetween(start, done));
        else if (end - done < std::chrono::minutes(1))
            last.push_back(bench::msBetween(start, done));
        if (done >= nextSample) {
            std::printf("t %5.0f s  rss %6.1f MB  held (k chars / lines):",
                bench::msBetween(began, done) / 1000, bench::rssKb() / 1024.0);
            for (QPlainTextEdit* box : boxes)
                std::printf("  %s %5d/%5d", qPrintable(box->objectName()),
                    window::HeldCharacters(box) / 1000, window::HeldLines(box));
            if (monitor)
                std::printf("  monitor rows %d", w.frm.monitor()->frames()->model()->rowCount());
            std::printf("\n");
            std::fflush(stdout);
            nextSample += std::chrono::seconds(30);
        }
        if (done >= end) {
            // Stopped first: a tick still queued would send and count a chunk after the end.
            ticks.stop();
            app.quit();
        }
    });
    ticks.start(0);
    app.exec();
    const double rssMb = bench::rssKb() / 1024.0;

    std::printf("soak%s: %.1f min, %ld chunks, %ld bytes written; resident at the end %.1f MB\n",
        monitor ? " with the monitor open" : "", minutes, tally.chunks, tally.chunks * 255, rssMb);
    report("in the first minute", first);
    report("in the last minute", last);
    const char* names[] = { "raw dumps (Text2)", "function 6 (Text6)", "function 3 (Text8)",
        "function 16 (Text10)" };
    for (const auto& [kind, count] : tally.entries)
        std::printf("  %-22s %9ld entries shown, %11ld characters appended\n", names[int(kind)],
            count, tally.characters[kind]);
    const Verdict v = verify(w.logPath(), tally.chunks, boxes);
    std::printf("log: every one of %ld entries present and exact: %s\n", tally.chunks,
        v.logExact ? "yes" : "NO");
    std::printf("raw bytes written %ld; Text2 shows the newest %zu of them, whole dumps: %s\n",
        tally.rawBytes, v.rawShown, v.shown[0] ? "yes" : "NO");
    for (int k = 1; k < 4; ++k)
        std::printf("%s holds the newest entries whole and in order: %s\n",
            qPrintable(boxes[k]->objectName()), v.shown[k] ? "yes" : "NO");
    const bool ok = v.logExact
        && std::all_of(std::begin(v.shown), std::end(v.shown), [](bool b) { return b; });
    bench::rerun("scripts/bench soak [minutes] [monitor]");
    return ok ? 0 : 1;
}
