// The line test engine in loopback over a pseudo-terminal pair (written on the
// master, read on the slave) against a plain write-then-read copy through the same
// kind of pair, and the check alone on bytes in memory.
//
//   build/bin/linetest_bench [megabytes] [pattern]     (default 64, prbs31)

#include "benchmeter.h"
#include "linetest/checker.h"
#include "linetest/devicechannel.h"
#include "linetest/linetest.h"
#include "linetest/pattern.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Pair
{
    int master = -1;
    int slave = -1;
    Pair()
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        termios settings {};
        tcgetattr(slave, &settings);
        cfmakeraw(&settings);
        tcsetattr(slave, TCSANOW, &settings);
        for (int fd : { master, slave }) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pair()
    {
        ::close(master);
        ::close(slave);
    }
};

struct Measure
{
    double seconds;
    double cpuMs;
};

// Writes `total` bytes on the master in 4 KB pieces while this thread reads them
// off the slave: the most the pair moves, with nothing looked at.
Measure PlainCopy(uint64_t total)
{
    Pair pair;
    std::vector<uint8_t> out(LineTest::kChunk);
    PatternGenerator(PatternKind::Prbs31).Fill(out.data(), out.size());
    const double cpu0 = CpuMs(RUSAGE_SELF);
    const auto start = Clock::now();
    std::thread writer([&] {
        uint64_t sent = 0;
        while (sent < total) {
            const auto size = static_cast<size_t>(std::min<uint64_t>(out.size(), total - sent));
            const ssize_t n = ::write(pair.master, out.data(), size);
            if (n > 0) {
                sent += static_cast<uint64_t>(n);
            } else {
                pollfd waiter { pair.master, POLLOUT, 0 };
                ::poll(&waiter, 1, 50);
            }
        }
    });
    std::vector<uint8_t> in(LineTest::kChunk);
    uint64_t received = 0;
    while (received < total) {
        const ssize_t n = ::read(pair.slave, in.data(), in.size());
        if (n > 0) {
            received += static_cast<uint64_t>(n);
        } else {
            pollfd waiter { pair.slave, POLLIN, 0 };
            ::poll(&waiter, 1, 50);
        }
    }
    writer.join();
    return { std::chrono::duration<double>(Clock::now() - start).count(),
        CpuMs(RUSAGE_SELF) - cpu0 };
}

Measure Engine(uint64_t total, PatternKind kind, uint64_t &errors, uint64_t &checked)
{
    Pair pair;
    DeviceChannel channel(pair.master, pair.slave);
    LineTestConfig config;
    config.bytes = total;
    // As much under way as the plain copy may have.
    config.inFlight = std::size_t { 1 } << 30;
    const double cpu0 = CpuMs(RUSAGE_SELF);
    const auto start = Clock::now();
    LineTest test(channel, PatternGenerator(kind), config);
    test.Start();
    test.Wait();
    const Measure measure { std::chrono::duration<double>(Clock::now() - start).count(),
        CpuMs(RUSAGE_SELF) - cpu0 };
    const LineTestSnapshot figures = test.snapshot();
    errors = figures.counts.errors();
    checked = figures.counts.checked;
    return measure;
}

// The check alone: CPU seconds to check `total` bytes fed in 4 KB pieces (the stream
// itself is made beforehand, once, and fed over and over).
double CheckOnly(uint64_t total, PatternKind kind)
{
    PatternGenerator source(kind);
    const uint64_t period = source.periodBytes();
    // A whole number of periods where that is short, so the pieces follow on.
    std::vector<uint8_t> stream(period <= 65536
            ? static_cast<std::size_t>(period * ((1 << 20) / period))
            : std::size_t { 1 } << 20);
    PatternChecker checker(PatternGenerator(kind), false);
    double cpu = 0;
    for (uint64_t done = 0; done < total; done += stream.size()) {
        source.Fill(stream.data(), stream.size());
        const double cpu0 = CpuMs(RUSAGE_THREAD);
        for (std::size_t at = 0; at < stream.size(); at += LineTest::kChunk) {
            checker.Feed(stream.data() + at, std::min(LineTest::kChunk, stream.size() - at), 0);
        }
        cpu += CpuMs(RUSAGE_THREAD) - cpu0;
    }
    const double seconds = cpu / 1000;
    if (checker.counts().errors() != 0) {
        std::fprintf(stderr, "the check found errors in a clean stream\n");
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 64;
    const std::string name = argc > 2 ? argv[2] : "prbs31";
    Result<PatternGenerator> pattern = PatternFromName(name);
    if (!pattern) {
        std::fprintf(stderr, "%s\n", pattern.status().reason().c_str());
        return 2;
    }
    const PatternKind kind = pattern->kind();
    const uint64_t total = megabytes << 20;
    const double mb = static_cast<double>(total) / (1 << 20);

    const Measure plain = PlainCopy(total);
    uint64_t errors = 0, checked = 0;
    const Measure engine = Engine(total, kind, errors, checked);
    const double check = CheckOnly(total, kind);

    std::printf("%.0f MB over a pseudo-terminal pair, pattern %s\n", mb, name.c_str());
    std::printf("plain copy   %8.1f MB/s  %6.2f CPU ms/MB\n", mb / plain.seconds, plain.cpuMs / mb);
    std::printf("line test    %8.1f MB/s  %6.2f CPU ms/MB  (%.1f %% of the copy; %llu checked, "
                "%llu errors)\n",
        mb / engine.seconds, engine.cpuMs / mb, 100 * plain.seconds / engine.seconds,
        static_cast<unsigned long long>(checked), static_cast<unsigned long long>(errors));
    std::printf("check alone  %8.1f MB/s  %6.2f CPU ms/MB  (%.1f %% of the copy's time per byte)\n",
        mb / check, 1000 * check / mb, 100 * check / plain.seconds);
    return errors == 0 && checked == total ? 0 : 1;
}
