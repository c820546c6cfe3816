#include "flood.h"

#include "benchmeter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

std::string FloodPattern(long count)
{
    std::string bytes(static_cast<std::size_t>(std::max(count, 0L)), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 100);
    return bytes;
}

namespace {

// Writes `total` bytes, those from position `done` on being at(done), as Flood does.
template <typename At>
FloodReport FloodBytes(int fd, std::size_t total, At at, int stallMs)
{
    FloodReport report;
    const double cpuStart = CpuMs(RUSAGE_THREAD);
    const auto start = std::chrono::steady_clock::now();
    std::size_t done = 0;
    while (done < total) {
        const std::size_t size
            = std::min<std::size_t>(static_cast<std::size_t>(kFloodWriteSize), total - done);
        const ssize_t n = ::write(fd, at(done), size);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            ++report.writes;
            continue;
        }
        ++report.waits;
        pollfd waiter { fd, POLLOUT, 0 };
        if (::poll(&waiter, 1, stallMs) <= 0 || (waiter.revents & (POLLERR | POLLHUP)) != 0)
            break;
    }
    report.seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report.cpuMs = CpuMs(RUSAGE_THREAD) - cpuStart;
    report.bytes = static_cast<long>(done);
    report.ok = done == total;
    return report;
}

} // namespace

FloodReport Flood(int fd, const std::string &bytes, int stallMs)
{
    return FloodBytes(
        fd, bytes.size(), [&bytes](std::size_t done) { return bytes.data() + done; }, stallMs);
}

FloodReport FloodPatternInto(int fd, long count, int stallMs)
{
    // The pattern repeats every 100 bytes: one write's worth of it, from any phase.
    static const std::string block = FloodPattern(kFloodWriteSize + 100);
    return FloodBytes(
        fd, static_cast<std::size_t>(std::max(count, 0L)),
        [](std::size_t done) { return block.data() + done % 100; }, stallMs);
}

FloodReport FloodIntoPlainReader(long count)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return {};
    termios settings {};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::thread reader([slave, count] {
        std::vector<char> buffer(static_cast<std::size_t>(kFloodWriteSize));
        long received = 0;
        while (received < count) {
            const ssize_t n = ::read(slave, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            received += n;
        }
    });
    const FloodReport report = Flood(master, FloodPattern(count));
    reader.join();
    ::close(master);
    ::close(slave);
    return report;
}

std::string DescribeFlood(const FloodReport &report)
{
    char line[256];
    std::snprintf(line, sizeof line,
        "%ld bytes in %ld writes (up to %ld bytes each), %.3f s = %.2f MB/s, waited for room "
        "%ld times, writer CPU %.0f ms%s",
        report.bytes, report.writes, kFloodWriteSize, report.seconds, report.mbPerSecond(),
        report.waits, report.cpuMs, report.ok ? "" : " [NOT ALL WRITTEN]");
    return line;
}
