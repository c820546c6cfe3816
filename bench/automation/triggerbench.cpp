// Triggers under a flood: 4 MB written as fast as a pseudo-terminal takes it, read
// by one thread that either only reads (triggers off) or also feeds ten rules (text,
// hex and regular expressions, some within lines). Prints the bytes read, to show
// nothing is lost, and the reading thread's CPU time each way.

#include "automation/triggers.h"
#include "linetest/devicechannel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kFlood = 4 * 1024 * 1024;

double ThreadCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::vector<TriggerRule> TenRules()
{
    const std::pair<Pattern::Kind, const char *> patterns[] = { { Pattern::Kind::Text, "AT\\r" },
        { Pattern::Kind::Text, "READY" }, { Pattern::Kind::Hex, "01 03 00 00" },
        { Pattern::Kind::Hex, "FF FE" }, { Pattern::Kind::Regex, "T=[0-9]+;" },
        { Pattern::Kind::Regex, "(a|aa)+b" }, { Pattern::Kind::Regex, "ERR(OR)? [0-9]{1,3}" },
        { Pattern::Kind::Text, "never seen" }, { Pattern::Kind::Regex, "^\\$GP[A-Z]{3}," },
        { Pattern::Kind::Text, "OK" } };
    std::vector<TriggerRule> rules;
    for (std::size_t i = 0; i < std::size(patterns); ++i) {
        TriggerRule rule;
        rule.name = "rule " + std::to_string(i);
        rule.match = { patterns[i].first, patterns[i].second };
        rule.scope = i % 3 == 0 ? MatchScope::Line : MatchScope::Anywhere;
        rule.reply = { LineMode::Text, "x", LineEnding::None, Checksum::None };
        rule.ratePerSecond = 1000000;
        rules.push_back(rule);
    }
    return rules;
}

struct Run
{
    std::size_t bytes = 0;
    double cpuMs = 0;
    double seconds = 0;
};

Run Flood(TriggerEngine *engine)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("posix_openpt");
        std::exit(2);
    }
    Result<std::unique_ptr<DeviceChannel>> channel
        = DeviceChannel::Open(ptsname(master), LineFraming());
    if (!channel) {
        std::fprintf(stderr, "%s\n", channel.status().reason().c_str());
        std::exit(2);
    }
    std::jthread writer([master] {
        std::string text;
        while (text.size() < kFlood) {
            text += "T=" + std::to_string(text.size() % 997)
                + "; some text of a log line aaaab OK\r\n";
        }
        text.resize(kFlood);
        std::size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = ::write(
                master, text.data() + sent, std::min<std::size_t>(4096, text.size() - sent));
            sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    });
    Run run;
    const double cpu = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    uint8_t buffer[4096];
    int64_t now = 0;
    while (run.bytes < kFlood) {
        Result<std::size_t> read = (*channel)->Read(buffer, sizeof buffer, 1000);
        if (!read || *read == 0) {
            break;
        }
        run.bytes += *read;
        if (engine != nullptr) {
            engine->Feed(std::string_view(reinterpret_cast<const char *>(buffer), *read), ++now);
            static_cast<void>(engine->TakeDue(now)); // replies are not written here
        }
    }
    run.cpuMs = ThreadCpuMs() - cpu;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writer.join();
    ::close(master);
    return run;
}

} // namespace

int main()
{
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create(TenRules(), Utf8PassThrough());
    if (!engine) {
        std::fprintf(stderr, "%s\n", engine.status().reason().c_str());
        return 2;
    }
    const Run off = Flood(nullptr);
    const Run on = Flood(engine->get());
    std::printf(
        "triggers off: %zu bytes, %.1f ms CPU, %.2f s\n", off.bytes, off.cpuMs, off.seconds);
    std::printf("10 rules on:  %zu bytes, %.1f ms CPU, %.2f s\n", on.bytes, on.cpuMs, on.seconds);
    std::printf("rule matches: %llu (OK rule)\n",
        static_cast<unsigned long long>((*engine)->counts(9).matched));
    return off.bytes == kFlood && on.bytes == kFlood ? 0 : 1;
}
