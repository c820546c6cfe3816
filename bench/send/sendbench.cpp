// Sending with the real pieces: the program's Port on a pseudo-terminal, the send
// thread of the main window's SendController and the echo into a RichEdit in a
// document window, offscreen, carried out by the event loop. Two figures:
//  1. timing precision: 1,000 manual tokens with FTwoCharDelay 100, then 1000; the
//     far side timestamps every byte as it arrives: median and 99th percentile of
//     the gap between bytes, and the mean overhead per unit beyond the delay.
//     `send_bench timing load` runs the same with one busy thread per core
//     competing for the processors;
//  2. throughput: the range 0..99,999 with delay 0 in hexadecimal, echo included,
//     and the range twice as long;
//  3. cancel: a send waiting out FTwoCharDelay 2147483647 (35 minutes): the CPU
//     the whole process uses in one second of that wait, and how long the stop
//     takes;
//  4. `send_bench large [N]`: the range 0..N-1 (2,000,000 values by default) with
//     delay 0 into a document window: seconds, resident memory and the heap in use
//     before, at its peak and after the send, once the window is cleared and once
//     it is closed; then the same range stopped part-way (a release of 发送), and one
//     abandoned part-way and its window deleted (as quitting does): how long each
//     took, how long the window's next turn (its repaint) took, and whether a byte
//     went out after the stop. `send_bench partway [N]` runs only these two.

#include "benchmeter.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "document/memorydocument.h"
#include "ptyport.h"
#include "send/senddata.h"
#include "send/sendengine.h"
#include "send/sendui.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QMdiArea>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Reads the far side of `pty` on a thread of its own until stopped, so that the
// sender never waits for a full line.
class Drain
{
public:
    explicit Drain(PtyPort &pty)
        : m_thread([this, &pty] {
            while (!m_done) {
                pty.receive(1 << 20, 10);
            }
        })
    { }
    ~Drain() { stop(); }
    Drain(const Drain &) = delete;
    Drain &operator=(const Drain &) = delete;
    void stop()
    {
        m_done = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    std::atomic<bool> m_done { false };
    std::thread m_thread;
};

struct Bench
{
    Bench()
    {
        Port.Open(1, 115200, 0, 0, 8);
        combo.addItems(
            { QStringLiteral("16进制"), QStringLiteral("10进制"), QStringLiteral("ACSII字符") });
        area.resize(900, 700);
        child = new TMDIChild;
        area.addSubWindow(child);
        child->show();
        area.show();
        QApplication::processEvents();
    }
    ~Bench() { Port.Close(); }
    // A range 0..last with no delay and the whole echo kept.
    void range(int32_t last)
    {
        settings.FAutoSend = true;
        settings.FSendStart = 0;
        settings.FSendEnd = last;
        settings.FTwoCharDelay = 0;
        settings.FAutoClear = false;
    }

    // One send, run as the main window runs it; returns when its echo is shown.
    SendResult send()
    {
        QEventLoop loop;
        SendResult result;
        const auto connection
            = QObject::connect(&sender, &SendController::finished, [&](const SendResult &r) {
                  result = r;
                  loop.quit();
              });
        sender.setNotation(NotationOfCombo(combo));
        if (sender.start(child, settings)) {
            loop.exec();
        }
        QObject::disconnect(connection);
        return result;
    }

    PtyPort pty { false };
    SettingsValues settings;
    SendController sender { Port };
    QComboBox combo;
    QMdiArea area;
    TMDIChild *child = nullptr;
};

// Reads the far side until `count` bytes came, waking for every arrival, so that
// every byte gets its own arrival time unless the reader was not scheduled in time.
std::vector<Clock::time_point> Timestamps(int fd, std::size_t count, int &multiByteReads)
{
    std::vector<Clock::time_point> times;
    times.reserve(count);
    char buffer[64];
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (times.size() < count && Clock::now() < deadline) {
        pollfd waiter { fd, POLLIN, 0 };
        if (poll(&waiter, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        const auto now = Clock::now();
        multiByteReads += n > 1 ? 1 : 0;
        for (ssize_t i = 0; i < n; ++i) {
            times.push_back(now);
        }
    }
    return times;
}

void TimingPrecision(int32_t delay)
{
    constexpr int kTokens = 1000;
    Bench b;
    b.settings.FAutoSend = false;
    b.settings.FTwoCharDelay = delay;
    std::string text;
    for (int i = 0; i < kTokens; ++i) {
        text += "41 ";
    }
    b.settings.FSendChar = text;
    int multiByteReads = 0;
    std::vector<Clock::time_point> times;
    bool realtime = false;
    std::thread reader([&] {
        // A real-time reader wakes at once for every byte even on a busy machine, so
        // the gaps are the sender's; without the privilege it runs as it is.
        sched_param param {};
        param.sched_priority = 10;
        realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
        times = Timestamps(b.pty.farSide(), kTokens, multiByteReads);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    b.send();
    const auto end = Clock::now();
    reader.join();
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) {
        gaps.push_back(std::chrono::duration<double, std::micro>(times[i] - times[i - 1]).count());
    }
    std::sort(gaps.begin(), gaps.end());
    double sum = 0;
    for (const double g : gaps) {
        sum += g;
    }
    const double total = std::chrono::duration<double, std::micro>(end - start).count();
    std::printf(
        "1. %d manual tokens, FTwoCharDelay %d, hexadecimal, %zu bytes seen on the far side:\n",
        kTokens, delay, times.size());
    if (gaps.empty()) {
        return;
    }
    const double median = gaps[gaps.size() / 2];
    std::printf("   gap between bytes: median %.1f us (%+.2f %% of the delay), p99 %.1f us, min "
                "%.1f us, max %.1f us, mean %.1f us\n",
        median, (median - delay) * 100.0 / delay, gaps[gaps.size() * 99 / 100], gaps.front(),
        gaps.back(), sum / static_cast<double>(gaps.size()));
    std::printf("   whole send %.1f ms: %.1f us per unit, %.1f us beyond the delay; %d reads got "
                "more than one byte; the far side read %s\n",
        total / 1000, total / kTokens, total / kTokens - delay, multiByteReads,
        realtime ? "at real-time priority" : "at normal priority");
}

// The same tokens stamped on the sending side, where each write begins, with the
// echo into an in-memory document: the pacing of the send thread itself, apart
// from the way the pseudo-terminal hands the bytes on to the far side.
void SenderSideGaps(int32_t delay)
{
    constexpr int kTokens = 1000;
    PtyPort pty;
    std::vector<Clock::time_point> starts;
    starts.reserve(kTokens);
    SendEngine engine(
        [&](uint8_t byte, const std::atomic<bool> &giveUp) {
            starts.push_back(Clock::now());
            return pty.port.WriteByte(byte, giveUp);
        },
        [] { return Notation::Hex; }, nullptr);
    Drain drain(pty);
    SendJob job;
    job.twoCharDelay = delay;
    for (int i = 0; i < kTokens; ++i) {
        job.sendChar += "41 ";
    }
    MemoryDocument doc;
    engine.Start(job);
    engine.Wait(&doc);
    drain.stop();
    std::vector<double> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) {
        gaps.push_back(
            std::chrono::duration<double, std::micro>(starts[i] - starts[i - 1]).count());
    }
    if (gaps.empty()) {
        return;
    }
    std::sort(gaps.begin(), gaps.end());
    const double median = gaps[gaps.size() / 2];
    std::printf(
        "   on the sending side (write starts): median %.1f us (%+.2f %%), p99 %.1f us, min "
        "%.1f us, max %.1f us\n",
        median, (median - delay) * 100.0 / delay, gaps[gaps.size() * 99 / 100], gaps.front(),
        gaps.back());
}

double RangeSeconds(int32_t last)
{
    Bench b;
    b.range(last);
    Drain drain(b.pty);
    const auto start = Clock::now();
    const SendResult result = b.send();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    drain.stop();
    const QStringList lines = b.child->RichEdit1->lines();
    const bool right = lines.size() == 1 && result.bytesSent == last + 1
        && lines[0].endsWith(QString::asprintf(" 0x%X ", static_cast<unsigned>(last)));
    std::printf("   0..%d: %.3f s, %.0f units per second, echo %s, echo queue high-water mark "
                "%zu pieces\n",
        last, s, (last + 1) / s, right ? "complete" : "WRONG", b.sender.engine().queueHighWater());
    return s;
}

// The same range with the echo into an in-memory document, to tell the cost of the
// port writes from that of the rich-text echo.
void RangeWithoutRichText(int32_t last)
{
    Bench b;
    b.range(last);
    Drain drain(b.pty);
    MemoryDocument doc;
    const auto start = Clock::now();
    SendData(
        &doc, b.settings, [] { return Notation::Hex; }, Port);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    drain.stop();
    std::printf("   for comparison, 0..%d echoed into an in-memory document: %.3f s, %.0f units "
                "per second\n",
        last, s, (last + 1) / s);
}

void Throughput()
{
    std::printf("2. Range with delay 0, hexadecimal, echo into the document:\n");
    const double once = RangeSeconds(99999);
    const double twice = RangeSeconds(199999);
    std::printf("   doubling the range took %.2f times as long\n", twice / once);
    RangeWithoutRichText(99999);
}

void Cancel()
{
    Bench b;
    b.settings.FAutoSend = true;
    b.settings.FSendStart = 0;
    b.settings.FSendEnd = 10;
    b.settings.FTwoCharDelay = 2147483647;
    b.sender.start(b.child, b.settings);
    b.pty.receive(1, 1000);
    const double cpuBefore = CpuMs(RUSAGE_SELF);
    const auto waitStart = Clock::now();
    while (Clock::now() - waitStart < std::chrono::seconds(1)) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double cpu = CpuMs(RUSAGE_SELF) - cpuBefore;
    const auto stopStart = Clock::now();
    b.sender.stop();
    const double stopMs
        = std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
    std::printf("3. FTwoCharDelay 2147483647: %.1f CPU-ms in one second of the wait (whole "
                "process), stop took %.2f ms, %lld byte(s) sent\n",
        cpu, stopMs, static_cast<long long>(b.sender.engine().result().bytesSent));
}

// Samples the resident memory while `running`, keeping the largest value.
class PeakSampler
{
public:
    PeakSampler()
        : m_thread([this] {
            while (!m_stop) {
                m_peak = std::max(m_peak.load(), CurrentRssKb());
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        })
    { }
    ~PeakSampler() { stop(); }
    long stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
        }
        return m_peak;
    }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<long> m_peak { 0 };
    std::thread m_thread;
};

void Settle(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// What the allocator hands out now, in KB: the resident memory less what it keeps
// free, so that memory still in use tells apart from memory not yet returned.
long HeapInUseKb()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

void LargeRange(int32_t count, bool whole)
{
    if (whole) {
        Bench b;
        b.range(count - 1);
        Drain drain(b.pty);
        Settle(200);
        const long before = CurrentRssKb();
        const long beforeHeap = HeapInUseKb();
        PeakSampler peak;
        const auto start = Clock::now();
        const SendResult result = b.send();
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        Settle(300);
        const long after = CurrentRssKb();
        const long afterHeap = HeapInUseKb();
        const long highest = peak.stop();
        drain.stop();
        const int characters = b.child->RichEdit1->characterCount();
        b.child->RichEdit1->ClearDocument();
        Settle(300);
        const long cleared = CurrentRssKb();
        const long clearedHeap = HeapInUseKb();
        delete b.child;
        b.child = nullptr;
        Settle(100);
        const long closedHeap = HeapInUseKb();
        std::printf("4. 0..%d, delay 0, hexadecimal: %.2f s, %lld bytes sent, %.0f units per "
                    "second\n   resident memory: %.1f MB before, %.1f MB at the peak, %.1f MB "
                    "after (the window holds %d characters; heap in use %.1f MB), %.1f MB once "
                    "the window is cleared (heap in use %.1f MB)\n",
            count - 1, s, static_cast<long long>(result.bytesSent), count / s, before / 1024.0,
            highest / 1024.0, after / 1024.0, characters, afterHeap / 1024.0, cleared / 1024.0,
            clearedHeap / 1024.0);
        std::printf("   heap in use %.1f MB before the send, %.1f MB once the window is closed\n",
            beforeHeap / 1024.0, closedHeap / 1024.0);
    }
    for (const bool quit : { false, true }) {
        auto b = std::make_unique<Bench>();
        b->range(count - 1);
        // The drain reads the far side's descriptor itself: the Bench may be gone
        // before it stops.
        std::atomic<bool> done { false };
        std::thread drain([&done, fd = b->pty.farSide()] {
            char buffer[65536];
            while (!done) {
                pollfd waiter { fd, POLLIN, 0 };
                if (poll(&waiter, 1, 10) > 0 && read(fd, buffer, sizeof buffer) <= 0) {
                    break;
                }
            }
        });
        b->sender.setNotation(Notation::Hex);
        b->sender.start(b->child, b->settings);
        Settle(2000);
        const auto stopStart = Clock::now();
        double abandonMs = 0;
        if (quit) {
            // As quitting does: the send is abandoned, then the windows go.
            b->sender.abandon();
            abandonMs = std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
            b.reset();
        } else {
            b->sender.stop();
        }
        const double ms
            = std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
        const uint64_t sentAtStop = Traffic.sentTotal();
        // The window's next turn repaints what the stop laid out.
        const auto turnStart = Clock::now();
        QApplication::processEvents();
        const double turnMs
            = std::chrono::duration<double, std::milli>(Clock::now() - turnStart).count();
        done = true;
        drain.join();
        std::printf("   %s 2 s into the send: %.1f ms%s, then the window's next turn %.1f ms; "
                    "%llu bytes went out after the stop\n",
            quit ? "abandoning (as quitting does), then deleting the window" : "stopping", ms,
            quit ? qPrintable(QStringLiteral(" (the abandon %1 ms)").arg(abandonMs, 0, 'f', 1))
                 : "",
            turnMs, static_cast<unsigned long long>(Traffic.sentTotal() - sentAtStop));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string which = argc > 1 ? argv[1] : "all";
    if (which == "all" || which == "timing") {
        const bool loaded = argc > 2 && std::string(argv[2]) == "load";
        std::atomic<bool> stop { false };
        std::vector<std::thread> load;
        if (loaded) {
            const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
            std::printf("under load: %u busy threads\n", cores);
            for (unsigned i = 0; i < cores; ++i) {
                load.emplace_back([&stop] {
                    volatile uint64_t spin = 0;
                    while (!stop.load(std::memory_order_relaxed)) {
                        spin = spin + 1;
                    }
                });
            }
        }
        for (const int32_t delay : { 100, 1000 }) {
            TimingPrecision(delay);
            SenderSideGaps(delay);
        }
        stop = true;
        for (std::thread &t : load) {
            t.join();
        }
    }
    if (which == "all" || which == "range") {
        Throughput();
    }
    if (which == "all" || which == "cancel") {
        Cancel();
    }
    if (which == "large" || which == "partway") {
        LargeRange(argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000000, which == "large");
    }
    return 0;
}
