// byteway-flood: plays a device that floods its port, for measuring a terminal
// program fed through a pseudo-terminal.
//
//   byteway-flood --link PATH [--bytes N]
//
// Opens a pseudo-terminal in raw mode, points the symbolic link PATH at its
// terminal side and prints "ready <terminal>". Once a line arrives on standard
// input it writes N bytes (default 1,000,000; 0, 1, ..., 99 over and over) in large
// writes, prints "flood: <its own figures>", and then keeps the terminal open until
// standard input ends.
//
// When that line is "go PID", the process PID is the program under test, reading
// the terminal: the flood waits until its CPU time stands still, then floods, and
// afterwards waits until the program's CPU time stands still again (no more than
// one clock tick in half a second). The moment its CPU time last moved counts as
// the moment everything was displayed; it prints
//   "watched: <seconds> s <MB/s> MB/s <CPU ms> ms <CPU ms per 100 KB> ms/100KB".

#include "flood.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// User plus system CPU time of process `pid` in clock ticks; -1 when it is gone.
long cpuTicks(long pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE *file = std::fopen(path.c_str(), "r");
    if (!file)
        return -1;
    char text[1024] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    // The fields after the command name, which is in parentheses and may hold spaces.
    const char *rest = std::strrchr(text, ')');
    if (!rest)
        return -1;
    unsigned long user = 0, system = 0;
    // Fields 3..13 are skipped; 14 and 15 are utime and stime.
    if (std::sscanf(
            rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system)
        != 2)
        return -1;
    return static_cast<long>(user + system);
}

struct Sample
{
    Clock::time_point when;
    long ticks;
};

constexpr auto kSampleEvery = std::chrono::milliseconds(10);
constexpr auto kQuietSpan = std::chrono::milliseconds(500);

// Samples `pid` until its CPU time has moved by at most one tick over kQuietSpan;
// returns the samples (the last quiet span included). Gives up after `limit`.
std::vector<Sample> untilQuiet(long pid, std::chrono::seconds limit)
{
    std::vector<Sample> samples;
    const auto start = Clock::now();
    for (;;) {
        const Sample now { Clock::now(), cpuTicks(pid) };
        samples.push_back(now);
        if (now.ticks < 0 || now.when - start > limit)
            return samples;
        // The oldest sample at least kQuietSpan back.
        for (auto it = samples.rbegin(); it != samples.rend(); ++it) {
            if (now.when - it->when >= kQuietSpan) {
                if (now.ticks - it->ticks <= 1)
                    return samples;
                break;
            }
        }
        std::this_thread::sleep_for(kSampleEvery);
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::string link;
    long bytes = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--link") == 0 && i + 1 < argc) {
            link = argv[++i];
        } else if (std::strcmp(argv[i], "--bytes") == 0 && i + 1 < argc) {
            bytes = std::atol(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s --link PATH [--bytes N]\n", argv[0]);
            return 2;
        }
    }
    if (link.empty() || bytes < 0) {
        std::fprintf(stderr, "usage: %s --link PATH [--bytes N]\n", argv[0]);
        return 2;
    }
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    // The terminal side stays open here too, so that it keeps its raw settings and
    // the writes never meet a hang-up while the program under test opens it.
    termios settings {};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    ::unlink(link.c_str());
    if (::symlink(name, link.c_str()) != 0) {
        std::perror("symlink");
        return 1;
    }
    std::printf("ready %s\n", name);
    std::fflush(stdout);

    char line[64];
    if (!std::fgets(line, sizeof line, stdin))
        return 1;
    long watched = 0;
    std::sscanf(line, "go %ld", &watched);
    if (watched > 0)
        untilQuiet(watched, std::chrono::seconds(20));
    const long ticksBefore = watched > 0 ? cpuTicks(watched) : 0;
    const auto start = Clock::now();
    const FloodReport report = Flood(master, FloodPattern(bytes));
    std::printf("flood: %s\n", DescribeFlood(report).c_str());
    if (watched > 0) {
        const std::vector<Sample> samples = untilQuiet(watched, std::chrono::seconds(300));
        // The last moment the CPU time moved: the first sample with the final count.
        const long last = samples.back().ticks;
        auto done = samples.back().when;
        for (auto it = samples.rbegin(); it != samples.rend() && it->ticks >= last - 1; ++it)
            done = it->when;
        const double seconds = std::chrono::duration<double>(done - start).count();
        const double cpuMs = (last - ticksBefore) * 1000.0 / sysconf(_SC_CLK_TCK);
        if (last < 0)
            std::printf("watched: the program ended\n");
        else
            std::printf("watched: %.3f s %.2f MB/s %.0f ms %.1f ms/100KB\n", seconds,
                bytes / seconds / 1e6, cpuMs, cpuMs / (bytes / 100000.0));
    }
    std::fflush(stdout);
    while (std::fgets(line, sizeof line, stdin)) { }
    ::unlink(link.c_str());
    ::close(master);
    ::close(slave);
    return report.ok ? 0 : 1;
}
