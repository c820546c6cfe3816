// byteway-linetest: the line test without a window, for scripts and production lines.
// See LineTestUsage() and the manual page.

#include "devicechannel.h"
#include "linetest.h"
#include "linetestoptions.h"
#include "linetestreport.h"
#include "serial/serialport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

LineTestReport MakeReport(const LineTestOptions &options, const LineTestSnapshot &figures)
{
    LineTestReport report;
    report.pattern = options.pattern;
    report.mode = options.config.mode;
    report.framing = options.framing;
    report.confidence = options.config.confidence;
    report.figures = figures;
    return report;
}

bool WriteJson(const std::string &path, const LineTestReport &report)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteLineTestJson(report, out);
    out.close();
    if (!out) {
        std::fprintf(stderr, "byteway-linetest: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Could not run: the reason on stderr (and in the JSON file), status 2.
int CouldNotRun(const LineTestOptions &options, const Status &status)
{
    std::fprintf(stderr, "byteway-linetest: cannot run: %s\n", status.reason().c_str());
    if (!options.json.empty()) {
        LineTestSnapshot figures;
        figures.failure = status;
        (void)WriteJson(options.json, MakeReport(options, figures));
    }
    return 2;
}

void ShowProgress(const LineTestSnapshot &figures, double previousReceived, double interval)
{
    const double now
        = interval > 0 ? (static_cast<double>(figures.received) - previousReceived) / interval : 0;
    std::fprintf(stderr,
        "\r%.0f s  sent %llu  received %llu  %s bytes/s  errors %llu (corrupted %llu, lost %llu, "
        "inserted %llu)  BER < %s   ",
        figures.seconds, static_cast<unsigned long long>(figures.sent),
        static_cast<unsigned long long>(figures.received), ShortNumber(now).c_str(),
        static_cast<unsigned long long>(figures.counts.errors()),
        static_cast<unsigned long long>(figures.counts.corrupted),
        static_cast<unsigned long long>(figures.counts.lost),
        static_cast<unsigned long long>(figures.counts.inserted),
        ShortNumber(figures.berUpperBound).c_str());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    LineTestOptions options;
    if (const Status parsed
        = ParseLineTestOptions(std::vector<std::string>(argv + 1, argv + argc), options);
        !parsed) {
        std::fprintf(
            stderr, "byteway-linetest: %s\n\n%s", parsed.reason().c_str(), LineTestUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(LineTestUsage(), stdout);
        return 0;
    }
    Result<PatternGenerator> pattern = PatternFromName(options.pattern);
    if (!pattern) {
        return CouldNotRun(options, pattern.status());
    }
    const std::string path
        = options.device.empty() ? SerialPort::DeviceName(options.port) : options.device;
    Result<std::unique_ptr<DeviceChannel>> channel = DeviceChannel::Open(path, options.framing);
    if (!channel) {
        return CouldNotRun(options, channel.status());
    }

    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    LineTest test(**channel, std::move(*pattern), options.config);
    test.Start();
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    auto lastShown = std::chrono::steady_clock::now();
    double lastReceived = 0;
    while (!test.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (g_stop) {
            test.Stop();
        }
        const auto now = std::chrono::steady_clock::now();
        const double interval = std::chrono::duration<double>(now - lastShown).count();
        if (progress && interval >= 0.5) {
            const LineTestSnapshot figures = test.snapshot();
            ShowProgress(figures, lastReceived, interval);
            lastReceived = static_cast<double>(figures.received);
            lastShown = now;
        }
    }
    test.Wait();
    if (progress) {
        std::fputs("\n", stderr);
    }
    LineTestReport report = MakeReport(options, test.snapshot());
    report.places = test.places();
    report.placeCount = test.placeCount();
    report.passed = LineTestPassed(report.figures, options.config.mode, options.thresholds);
    std::cout << LineTestSummary(report) << std::flush;
    const bool written = options.json.empty() || WriteJson(options.json, report);
    if (!report.figures.stopped.empty()) {
        std::fprintf(stderr, "byteway-linetest: %s\n", report.figures.stopped.c_str());
    }
    if (!report.figures.failure.ok()) {
        std::fprintf(
            stderr, "byteway-linetest: cannot run: %s\n", report.figures.failure.reason().c_str());
        return 2;
    }
    if (!written) {
        return 2;
    }
    return report.passed ? 0 : 1;
}
