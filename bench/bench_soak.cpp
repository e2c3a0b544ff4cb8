// Soak: the real poller fed from a pty as fast as it takes bytes, for long enough that every
// display box fills to its capacity and then stays full. Reports resident memory over time,
// what was written, shown and logged, and the poller's work per tick at the start and the end.
#include "bench_util.h"
#include "bench_window.h"

#include "modbus/reply_display.h"
#include "window/display_box.h"

#include <QApplication>
#include <QTimer>

#include <deque>
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

// Walks the log entry by entry against the texts the feed must have produced.
bool logHoldsEveryEntry(const std::string& path, long chunks)
{
    std::ifstream log(path, std::ios::binary);
    std::string line;
    for (int i = 0; i < 3; ++i)
        std::getline(log, line); // the header
    Feed again;
    for (long n = 0; n < chunks; ++n) {
        const std::string want
            = "  :< " + modbus::ClassifyReply(again.next(), 48).text + "\r\n\r\n";
        char c = 0;
        while (log.get(c) && ((c >= '0' && c <= '9') || c == ':' || c == '.'))
            ; // the time stamp
        std::string got(want.size(), '\0');
        got[0] = c;
        log.read(got.data() + 1, std::streamsize(want.size() - 1));
        if (got != want) {
            std::printf("log differs at entry %ld\n", n);
            return false;
        }
    }
    return log.peek() == EOF;
}

// Whether a decoded box holds the newest whole entries of its kind, in order.
bool holdsNewestEntries(QPlainTextEdit* box, modbus::ReplyKind kind, long chunks)
{
    Feed again;
    std::deque<std::string> newest;
    std::size_t held = 0;
    const std::string shown = box->toPlainText().toStdString();
    for (long n = 0; n < chunks; ++n) {
        const modbus::ReplyDisplay d = modbus::ClassifyReply(again.next(), 48);
        if (d.kind != kind)
            continue;
        newest.push_back(d.text + "\n");
        held += newest.back().size();
        for (; held - newest.front().size() >= shown.size(); newest.pop_front())
            held -= newest.front().size();
    }
    std::string joined;
    for (const std::string& entry : newest)
        joined += entry;
    return joined == shown;
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
    bench::OpenWindow w;
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
            std::printf("\n");
            std::fflush(stdout);
            nextSample += std::chrono::seconds(30);
        }
        if (done >= end)
            app.quit();
    });
    ticks.start(0);
    app.exec();
    const double rssMb = bench::rssKb() / 1024.0;

    std::printf("soak: %.1f min, %ld chunks, %ld bytes written; resident at the end %.1f MB\n",
        minutes, tally.chunks, tally.chunks * 255, rssMb);
    report("in the first minute", first);
    report("in the last minute", last);
    const char* names[] = { "raw dumps (Text2)", "function 6 (Text6)", "function 3 (Text8)",
        "function 16 (Text10)" };
    for (const auto& [kind, count] : tally.entries)
        std::printf("  %-22s %9ld entries shown, %11ld characters appended\n", names[int(kind)],
            count, tally.characters[kind]);
    const std::string rawShown
        = bench::dumpedBytes(boxes[0]->toPlainText().toLatin1().toStdString(), "\n");
    bool ok = logHoldsEveryEntry(w.logPath(), tally.chunks);
    std::printf(
        "log: every one of %ld entries present and exact: %s\n", tally.chunks, ok ? "yes" : "NO");
    Feed again;
    std::string rawSent;
    for (long n = 0; n < tally.chunks; ++n) {
        const ByteString chunk = again.next();
        if (modbus::ClassifyReply(chunk, 48).kind == modbus::ReplyKind::Raw)
            rawSent += chunk;
    }
    const bool newestRaw = rawSent.ends_with(rawShown) && rawShown.size() % 255 == 0;
    std::printf("raw bytes written %ld; Text2 shows the newest %zu of them, whole dumps: %s\n",
        tally.rawBytes, rawShown.size(), newestRaw ? "yes" : "NO");
    ok = ok && newestRaw;
    for (int k = 1; k < 4; ++k) {
        const bool newest = holdsNewestEntries(boxes[k], modbus::ReplyKind(k), tally.chunks);
        std::printf("%s holds the newest entries whole and in order: %s\n",
            qPrintable(boxes[k]->objectName()), newest ? "yes" : "NO");
        ok = ok && newest;
    }
    bench::rerun("scripts/bench soak [minutes]");
    return ok ? 0 : 1;
}
