// Recording at full line speed: 1,000,000 bytes flood the program's Port on a
// pseudo-terminal and go through the receive thread, the queued hand-off and a
// RichEdit in a document window, offscreen, as in receive_bench. Each round runs
// three ways in turn: without recording, with a raw recording (.bin) and with a
// text recording (.log). It prints the throughput of each, the ratio to the run
// without recording (the best of the rounds), and whether the raw file equals the
// flood byte for byte.
//
//   capture_bench [rounds]     (default 3)

#include "benchmeter.h"
#include "capture/capturerecorder.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"

#include <QApplication>
#include <QEventLoop>
#include <QMdiArea>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A recording that fails would make the figures lie: the run ends instead.
void Check(const Status &status)
{
    if (!status) {
        std::fprintf(stderr, "capture_bench: %s\n", status.reason().c_str());
        std::exit(1);
    }
}
constexpr long kBytes = 1000000;

std::string Flood()
{
    std::string bytes(static_cast<std::size_t>(kBytes), '\0');
    for (long i = 0; i < kBytes; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

struct RunFigures
{
    double seconds = 0;
    double cpuMs = 0; // the whole process but the feeding thread
    bool fileRight = true;
    std::size_t fileSize = 0;
};

// One flood; `path` empty means no recording.
RunFigures Run(const std::string &flood, const std::filesystem::path &path)
{
    PtyPort pty { false };
    SettingsValues settings;
    Port.Open(1, 115200, 0, 0, 8);
    QMdiArea area;
    area.resize(900, 700);
    auto *child = new TMDIChild;
    area.addSubWindow(child);
    child->show();
    area.show();
    ReceiveController controller(settings, Port);
    if (!path.empty()) {
        Check(Traffic.recorder.start(path, CaptureFormatFor(path)));
    }
    controller.start(child);
    const auto start = Clock::now();
    const double cpuStart = CpuMs(RUSAGE_SELF);
    double feederCpu = 0;
    std::thread feeder([&] {
        const double before = CpuMs(RUSAGE_THREAD);
        pty.send(flood);
        feederCpu = CpuMs(RUSAGE_THREAD) - before;
    });
    while (controller.engine().shownCounts().RecvByteCount < kBytes) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const auto end = Clock::now();
    feeder.join();
    controller.stop();
    RunFigures result;
    result.seconds = std::chrono::duration<double>(end - start).count();
    if (!path.empty()) {
        Check(Traffic.recorder.stop());
    }
    result.cpuMs = CpuMs(RUSAGE_SELF) - cpuStart - feederCpu;
    if (!path.empty()) {
        const std::string file = ReadFile(path);
        result.fileSize = file.size();
        result.fileRight = CaptureFormatFor(path) == CaptureFormat::Text || file == flood;
        std::filesystem::remove(path);
    }
    Port.Close();
    return result;
}

// What the tap costs the receive thread per byte: the counter alone, and the counter
// with a raw recording taking the byte (the writer thread runs meanwhile).
void TapCost(const std::filesystem::path &raw)
{
    constexpr long kCalls = 20000000;
    const auto timeCalls = [&] {
        const auto start = Clock::now();
        for (long i = 0; i < kCalls; ++i) {
            Traffic.received(static_cast<uint8_t>(i));
        }
        return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCalls;
    };
    const double counting = timeCalls();
    Check(Traffic.recorder.start(raw, CaptureFormat::Raw));
    const double recording = timeCalls();
    Check(Traffic.recorder.stop());
    std::filesystem::remove(raw);
    std::printf("  tap per byte (receive thread side): counting %.1f ns, counting and raw "
                "recording %.1f ns\n",
        counting, recording);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string flood = Flood();
    const auto folder = std::filesystem::temp_directory_path();
    const auto raw = folder / ("capture-bench-" + std::to_string(getpid()) + ".bin");
    const auto text = folder / ("capture-bench-" + std::to_string(getpid()) + ".log");
    std::vector<double> plain, rawTimes, textTimes, plainCpu, rawCpu, textCpu;
    bool rawRight = true;
    std::size_t textSize = 0;
    for (int round = 0; round < rounds; ++round) {
        const RunFigures n = Run(flood, {});
        plain.push_back(n.seconds);
        plainCpu.push_back(n.cpuMs);
        const RunFigures r = Run(flood, raw);
        rawTimes.push_back(r.seconds);
        rawCpu.push_back(r.cpuMs);
        rawRight = rawRight && r.fileRight && r.fileSize == flood.size();
        const RunFigures t = Run(flood, text);
        textTimes.push_back(t.seconds);
        textCpu.push_back(t.cpuMs);
        textSize = t.fileSize;
        std::printf("round %d: without %.3f s, raw %.3f s, text %.3f s\n", round + 1, plain.back(),
            rawTimes.back(), textTimes.back());
    }
    const auto best
        = [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); };
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double p = kBytes / best(plain), r = kBytes / best(rawTimes),
                 t = kBytes / best(textTimes);
    std::printf(
        "%ld bytes, best of %d rounds, defaults (hex, clearing at 100 lines):\n", kBytes, rounds);
    std::printf("  without recording: %.0f bytes/s\n", p);
    std::printf("  raw recording:     %.0f bytes/s = %.1f%% of it; file equals the flood: %s\n", r,
        100.0 * r / p, rawRight ? "yes" : "NO");
    std::printf("  text recording:    %.0f bytes/s = %.1f%% of it; file %zu bytes\n", t,
        100.0 * t / p, textSize);
    std::printf("  medians: without %.3f s, raw %.3f s (%.1f%%), text %.3f s (%.1f%%)\n",
        median(plain), median(rawTimes), 100.0 * median(plain) / median(rawTimes),
        median(textTimes), 100.0 * median(plain) / median(textTimes));
    std::printf("  CPU (all threads but the feeder), medians: without %.0f ms, raw %.0f ms, text "
                "%.0f ms\n",
        median(plainCpu), median(rawCpu), median(textCpu));
    TapCost(raw);
    return rawRight ? 0 : 1;
}
