// Display growth: per-append time (append plus painting) as the reply boxes fill, and the
// memory their text takes. An append must not cost time in proportion to what a box holds.
#include "bench_util.h"

#include "window/display_box.h"
#include "window/frm_serial.h"

#include <QApplication>
#include <QPlainTextEdit>

namespace {

void measure(QApplication& app, QPlainTextEdit* box, const QString& piece,
    const std::vector<long>& checkpoints, const char* what)
{
    const long before = bench::rssKb();
    long count = 0;
    for (long checkpoint : checkpoints) {
        // Fill up to the checkpoint without painting, then time real ticks there. The first
        // painted appends after a silent fill catch up on layout the fill deferred (a live
        // session never defers it): they are run, not timed.
        for (; count < checkpoint - 200; ++count)
            window::AppendToBox(box, piece);
        for (int warm = 0; warm < 20; ++warm) {
            window::AppendToBox(box, piece);
            box->viewport()->repaint();
            app.processEvents();
        }
        std::vector<double> ticks;
        for (; count < checkpoint; ++count) {
            const auto start = bench::Clock::now();
            window::AppendToBox(box, piece);
            box->viewport()->repaint();
            app.processEvents();
            ticks.push_back(bench::msBetween(start, bench::Clock::now()));
        }
        const double mb = box->document()->characterCount() / 1e6;
        std::printf("%s at %8ld: append+paint p50 %.3f ms, p99 %.3f ms; %.1f M chars, %.0f bytes "
                    "of memory per char\n",
            what, checkpoint, bench::percentile(ticks, 50), bench::percentile(ticks, 99), mb,
            (bench::rssKb() - before) * 1024.0 / (mb * 1e6));
        std::fflush(stdout);
    }
}

// Resident memory with all four display boxes full of lines of one length: the lines cost
// per character and per line, so the worst case is where both capacities fill together.
void fullBoxes(QApplication& app, window::frmSerial& frm, int lineLength)
{
    const long before = bench::rssKb();
    const QString line = QString(lineLength - 2, 'x') + "\r\n";
    const window::BoxCapacity cap = window::kDisplayBoxCapacity;
    const long lines = std::max<long>(cap.lines, cap.characters / lineLength) * 6 / 5;
    for (const char* name : { "Text2", "Text6", "Text8", "Text10" }) {
        QPlainTextEdit* box = frm.findChild<QPlainTextEdit*>(name);
        for (long i = 0; i < lines; ++i) {
            window::AppendToBox(box, line);
            if (i % 50 == 0) // as the poller's ticks would let the window catch up
                app.processEvents();
        }
        box->viewport()->repaint();
        app.processEvents();
    }
    std::printf("four boxes full of %4d-character lines: %5.1f MB more resident, %6.1f MB in all\n",
        lineLength, (bench::rssKb() - before) / 1024.0, bench::rssKb() / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    window::frmSerial frm;
    frm.show();
    app.processEvents();
    if (argc > 2 && std::string(argv[1]) == "full") { // a fresh process for each measurement
        std::printf("before filling: %.1f MB resident\n", bench::rssKb() / 1024.0);
        fullBoxes(app, frm, std::atoi(argv[2]));
        bench::rerun("scripts/bench growth full LINE-LENGTH");
        return 0;
    }
    const long scale = argc > 1 ? std::atol(argv[1]) : 1; // 10 runs a tenth of the counts
    const QString decoded
        = "Reply  2 butes :  Data :  10: CRC : 45 87 Reply  2 butes :\r\n"; // 60 characters
    measure(app, frm.findChild<QPlainTextEdit*>("Text8"), decoded,
        { 1000 / scale, 100000 / scale, 1000000 / scale }, "decoded lines in Text8");
    QString dump = "Reply DATA :\r\n";
    for (int i = 0; i < 255; ++i)
        dump += QChar(32 + i % 90);
    dump += "\r\n";
    for (int i = 0; i < 255; ++i)
        dump += QString::number(i % 256, 16).toUpper() + " ";
    dump += "\r\n\r\n";
    measure(app, frm.findChild<QPlainTextEdit*>("Text2"), dump,
        { 1000 / scale, 10000 / scale, 100000 / scale }, "1 KB raw dumps in Text2");
    bench::rerun("scripts/bench growth [scale]");
    return 0;
}
