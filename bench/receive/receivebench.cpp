// Receiving at full line speed with the real pieces: the program's Port on a
// pseudo-terminal, the receive thread, the queued hand-off and a RichEdit in a
// document window, offscreen (or on the display QT_QPA_PLATFORM names). Four figures:
//  1. throughput of 1,000,000 bytes with the default settings (automatic clearing
//     at 100 lines), fed by a flood writer in large writes: seconds, bytes/s, CPU ms
//     per 100 KB, peak memory, the queue's high-water mark, and proof that no byte
//     was lost or reordered; the writer's own figures next to it, and its rate into
//     a plain reader, to show it was not the limit;
//  2. 200,000 bytes without automatic clearing: time and memory per byte as the
//     document grows ("growth BYTES STEP" for other sizes);
//  3. latency of a single byte on an idle port (median of 100);
//  4. CPU used per second by a reception while no data arrives.
// "keep [BYTES]" runs figure 1 without automatic clearing, 4,000,000 bytes unless told.

#include "benchmeter.h"
#include "document/ChildWin.h"
#include "flood.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Bench
{
    Bench()
    {
        Port.Open(1, 115200, 0, 0, 8);
        area.resize(900, 700);
        child = new TMDIChild;
        area.addSubWindow(child);
        child->show();
        area.show();
    }
    // Runs the event loop, blocking while nothing happens, until `done` holds.
    void pumpUntil(const std::function<bool()> &done)
    {
        while (!done()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    void pumpFor(std::chrono::milliseconds span)
    {
        QEventLoop loop;
        QTimer::singleShot(span, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ~Bench() { Port.Close(); }
    int64_t shown() const { return controller.engine().shownCounts().RecvByteCount; }

    PtyPort pty { false };
    SettingsValues settings;
    QMdiArea area;
    TMDIChild *child = nullptr;
    ReceiveController controller { settings, Port };
};

// The last lines after 1,000,000 bytes of the pattern: the ten lines of the last
// paragraph, its end and the next header.
bool LastLinesAreRight(const QStringList &lines)
{
    if (lines.size() < 12) {
        return false;
    }
    for (int line = 0; line < 10; ++line) {
        QString items;
        for (int i = 0; i < 10; ++i) {
            items += QString::asprintf("0x%02X ", line * 10 + i);
        }
        // Automatic clearing may have removed the header of the paragraph's first line.
        const QString &shown = lines[lines.size() - 12 + line];
        if (shown != QStringLiteral("Receiving: ") + items && (line > 0 || shown != items)) {
            return false;
        }
    }
    return lines[lines.size() - 2] == QStringLiteral("End of one Paragraph")
        && lines.back() == QStringLiteral("Receiving: ");
}

// `keep` turns automatic clearing off, so that the document holds everything received.
void Throughput(long total = 1000000, bool keep = false)
{
    Bench b;
    b.settings.FAutoClear = !keep;
    b.controller.start(b.child);
    const double cpuStart = CpuMs(RUSAGE_SELF);
    const double uiCpuStart = CpuMs(RUSAGE_THREAD);
    FloodReport flood;
    const auto start = Clock::now();
    std::thread feeder([&] { flood = FloodPatternInto(b.pty.farSide(), total); });
    b.pumpUntil([&] { return b.shown() >= total; });
    const auto end = Clock::now();
    feeder.join();
    const double uiCpu = CpuMs(RUSAGE_THREAD) - uiCpuStart;
    const double cpu = CpuMs(RUSAGE_SELF) - cpuStart - flood.cpuMs;
    b.controller.stop();
    const ReceiveEngine &e = b.controller.engine();
    const bool countsRight = e.RecvByteCount == total && e.RecvLineCount == total / 10
        && e.RecvParaCount == total / 100;
    const double s = Seconds(end - start);
    if (keep) {
        std::printf("1. Throughput, %ld bytes, keeping everything (hex, 10/line, 100/paragraph, "
                    "no automatic clearing):\n",
            total);
    } else {
        std::printf("1. Throughput, %ld bytes, defaults (hex, 10/line, 100/paragraph, clearing "
                    "at 100 lines):\n",
            total);
    }
    std::printf("   %.3f s until the last item was in the document: %.2f MB/s (%.0f bytes/s)\n", s,
        total / s / 1e6, total / s);
    std::printf("   CPU (receive thread + user-interface thread): %.0f ms, %.1f ms per 100 KB\n",
        cpu, cpu / (total / 100000.0));
    std::printf("   of which the user-interface thread %.0f ms (%.1f ms per 100 KB), the receive "
                "thread %.0f ms (%.1f ms per 100 KB)\n",
        uiCpu, uiCpu / (total / 100000.0), cpu - uiCpu, (cpu - uiCpu) / (total / 100000.0));
    std::printf("   peak RSS %ld KB (%.1f bytes per received byte); queue high-water mark %zu of "
                "%zu changes\n",
        PeakRssKb(), PeakRssKb() * 1024.0 / total, e.queueHighWater(),
        ReceiveEngine::kDefaultQueueCapacity);
    std::printf(
        "   counts %lld bytes, %lld lines, %lld paragraphs: %s; last lines of the document: %s\n",
        static_cast<long long>(e.RecvByteCount), static_cast<long long>(e.RecvLineCount),
        static_cast<long long>(e.RecvParaCount), countsRight ? "right" : "WRONG",
        LastLinesAreRight(b.child->RichEdit1->lines()) ? "right" : "WRONG");
    std::printf("   flood writer: %s\n", DescribeFlood(flood).c_str());
    const FloodReport alone = FloodIntoPlainReader(total);
    std::printf("   the same writer into a plain reader: %.2f MB/s\n", alone.mbPerSecond());
}

void GrowingDocument(long total = 200000, long stretch = 40000)
{
    Bench b;
    b.settings.FAutoClear = false;
    const std::string bytes = FloodPattern(total);
    b.controller.start(b.child);
    std::printf("2. %ld bytes without automatic clearing, by stretch of %ld bytes (each stretch "
                "flooded once the one before is shown):\n",
        total, stretch);
    auto last = Clock::now();
    double lastCpu = CpuMs(RUSAGE_THREAD);
    long lastRss = CurrentRssKb();
    const auto start = last;
    for (long mark = stretch; mark <= total; mark += stretch) {
        // A stretch at a time, so that each is measured at its own document size
        // rather than in whatever batches a flood of all of them would make.
        std::thread feeder([&] {
            Flood(b.pty.farSide(),
                bytes.substr(
                    static_cast<std::size_t>(mark - stretch), static_cast<std::size_t>(stretch)));
        });
        b.pumpUntil([&] { return b.shown() >= mark; });
        feeder.join();
        const auto now = Clock::now();
        const double cpu = CpuMs(RUSAGE_THREAD);
        const long rss = CurrentRssKb();
        std::printf(
            "   up to byte %6ld: %5.2f us per byte (user-interface thread CPU %5.2f us per byte), "
            "%6.1f bytes of RSS per byte, document %d lines, %d characters\n",
            mark, Seconds(now - last) * 1e6 / stretch, (cpu - lastCpu) * 1000.0 / stretch,
            static_cast<double>(rss - lastRss) * 1024.0 / stretch, b.child->RichEdit1->LineCount(),
            b.child->RichEdit1->characterCount());
        last = now;
        lastCpu = cpu;
        lastRss = rss;
    }
    b.controller.stop();
    std::printf("   total %.3f s; counts %lld bytes, %lld lines\n", Seconds(last - start),
        static_cast<long long>(b.controller.engine().RecvByteCount),
        static_cast<long long>(b.controller.engine().RecvLineCount));
}

void Latency()
{
    Bench b;
    b.controller.start(b.child);
    std::vector<double> ms;
    for (int i = 0; i < 100; ++i) {
        // Let the port go idle for a while so the thread sits in its poll.
        b.pumpFor(std::chrono::milliseconds(5 + i % 7));
        const int32_t before = b.shown();
        const auto sent = Clock::now();
        b.pty.send(std::string(1, static_cast<char>(i)));
        b.pumpUntil([&] { return b.shown() > before; });
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    b.controller.stop();
    std::sort(ms.begin(), ms.end());
    std::printf("3. Latency of one byte on an idle port, 100 bytes: median %.3f ms, p90 %.3f ms, "
                "max %.3f ms\n",
        ms[49], ms[89], ms.back());
}

void IdleCost()
{
    Bench b;
    b.controller.start(b.child);
    const double cpuStart = CpuMs(RUSAGE_SELF);
    const auto start = Clock::now();
    b.pumpFor(std::chrono::seconds(3));
    const double cpu = CpuMs(RUSAGE_SELF) - cpuStart;
    const double s = Seconds(Clock::now() - start);
    b.controller.stop();
    std::printf(
        "4. Idle reception: %.1f ms CPU per second = %.2f%% of one core\n", cpu / s, cpu / s / 10);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string which = argc > 1 ? argv[1] : "all";
    if (which == "all" || which == "throughput") {
        Throughput();
    }
    if (which == "keep") {
        // receive_bench keep [bytes]: the document keeps everything (default 4,000,000).
        Throughput(argc > 2 ? std::atol(argv[2]) : 4000000, true);
    }
    if (which == "all" || which == "growth") {
        // receive_bench growth [bytes step]: 200,000 in stretches of 40,000 unless told.
        if (argc > 3) {
            GrowingDocument(std::atol(argv[2]), std::atol(argv[3]));
        } else {
            GrowingDocument();
        }
    }
    if (which == "all" || which == "latency") {
        Latency();
    }
    if (which == "all" || which == "idle") {
        IdleCost();
    }
    return 0;
}
