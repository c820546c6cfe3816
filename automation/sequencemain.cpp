// byteway-sequence: runs a sequence of an automation file without a window, for
// scripts and production lines. See SequenceUsage() and the manual page.

#include "automationfile.h"
#include "devicelines.h"
#include "linetest/devicechannel.h"
#include "sequenceoptions.h"
#include "sequencereport.h"
#include "sequencerunner.h"
#include "serial/serialport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

bool WriteJson(const std::string &path, const Sequence &sequence, const SequenceProgress &progress)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteSequenceJson(sequence, progress, out);
    out.close();
    if (!out) {
        std::fprintf(stderr, "byteway-sequence: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int CouldNotRun(const SequenceOptions &options, const Sequence &sequence, const std::string &reason)
{
    std::fprintf(stderr, "byteway-sequence: cannot run: %s\n", reason.c_str());
    if (!options.json.empty()) {
        SequenceProgress progress;
        progress.verdict = Verdict::CouldNotRun;
        progress.reason = reason;
        static_cast<void>(
            WriteJson(options.json, sequence, progress)); // the status says it already
    }
    return 2;
}

void CatchStopSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    SequenceOptions options;
    if (const Status parsed
        = ParseSequenceOptions(std::vector<std::string>(argv + 1, argv + argc), options);
        !parsed) {
        std::fprintf(
            stderr, "byteway-sequence: %s\n\n%s", parsed.reason().c_str(), SequenceUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(SequenceUsage(), stdout);
        return 0;
    }
    Result<AutomationSet> set = ImportAutomation(options.file);
    if (!set) {
        return CouldNotRun(options, {}, set.status().reason());
    }
    const Sequence *chosen = nullptr;
    for (const Sequence &sequence : set->sequences) {
        if (chosen == nullptr && (options.sequence.empty() || sequence.name == options.sequence)) {
            chosen = &sequence;
        }
    }
    if (chosen == nullptr) {
        return CouldNotRun(options, {},
            options.sequence.empty()
                ? options.file + " holds no sequence"
                : options.file + " holds no sequence \"" + options.sequence + "\"");
    }
    const std::string path
        = options.device.empty() ? SerialPort::DeviceName(options.port) : options.device;
    Result<std::unique_ptr<DeviceChannel>> channel = DeviceChannel::Open(path, options.framing);
    if (!channel) {
        return CouldNotRun(options, *chosen, channel.status().reason());
    }
    DeviceControlLines controls((*channel)->readDescriptor());
    CatchStopSignals();

    SequenceRunner runner(*chosen, **channel, controls, Utf8PassThrough());
    runner.Start();
    while (!runner.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (g_stop) {
            runner.Stop();
        }
    }
    runner.Wait();
    const SequenceProgress progress = runner.progress();
    std::cout << SequenceSummary(*chosen, progress) << std::flush;
    const bool written = options.json.empty() || WriteJson(options.json, *chosen, progress);
    if (progress.verdict == Verdict::CouldNotRun || progress.verdict == Verdict::Stopped) {
        std::fprintf(stderr, "byteway-sequence: cannot run: %s\n", progress.reason.c_str());
        return 2;
    }
    if (!written) {
        return 2;
    }
    return progress.verdict == Verdict::Passed ? 0 : 1;
}
