// Throughput of SerialPort::ReadByte: 1,000,000 bytes from a pseudo-terminal that is
// fed as fast as it accepts them. Prints bytes per second and the reading thread's
// CPU time per 100 KB, next to two plain readers on the same kind of pty for scale:
// one read() per byte (the floor of any one-byte-per-call reader) and one poll()
// plus one read() per byte.

#include "benchmeter.h"
#include "serial/serialport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr long kBytes = 1000000;

void feed(int master)
{
    unsigned char chunk[4096];
    long sent = 0;
    while (sent < kBytes) {
        const long size = std::min<long>(sizeof chunk, kBytes - sent);
        for (long i = 0; i < size; ++i)
            chunk[i] = static_cast<unsigned char>((sent + i) % 256);
        const ssize_t n = ::write(master, chunk, static_cast<size_t>(size));
        if (n > 0)
            sent += n;
        else if (n < 0)
            return;
    }
}

// Reads one byte within about 50 ms into `byte`; false when none came.
using Reader = std::function<bool(uint8_t &byte)>;
// Prepares a reader on the pty whose slave is `slaveName`; `slave` is its open slave.
using ReaderFactory = std::function<Reader(const std::string &slaveName, int slave)>;

bool measure(const char *title, const ReaderFactory &factory)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return false;
    termios settings {};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    Reader read = factory(name, slave);

    std::thread feeder(feed, master);
    const double cpuStart = CpuMs(RUSAGE_THREAD);
    const auto start = std::chrono::steady_clock::now();
    long received = 0, wrong = 0, misses = 0;
    uint8_t byte = 0;
    while (received < kBytes && misses < 20) {
        if (!read(byte)) {
            ++misses;
            continue;
        }
        wrong += byte != received % 256;
        ++received;
    }
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuMs = CpuMs(RUSAGE_THREAD) - cpuStart;
    feeder.join();
    read = nullptr;
    ::close(master);
    ::close(slave);

    std::printf("%s\n", title);
    std::printf("  %ld bytes in %.3f s: %.2f MB/s; reader CPU %.1f ms, %.1f ms per 100 KB%s\n",
        received, seconds, received / seconds / 1e6, cpuMs, cpuMs / (received / 100000.0),
        wrong || received != kBytes ? "  [BYTES LOST OR OUT OF ORDER]" : "");
    return received == kBytes && wrong == 0;
}

Reader plainReader(const std::string &, int slave, bool pollFirst)
{
    fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
    return [slave, pollFirst](uint8_t &byte) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            pollfd waiter { slave, POLLIN, 0 };
            if (pollFirst && ::poll(&waiter, 1, 1) <= 0)
                continue;
            if (::read(slave, &byte, 1) == 1)
                return true;
            if (!pollFirst)
                ::poll(&waiter, 1, 1);
        }
        return false;
    };
}

} // namespace

int main()
{
    char folder[] = "/tmp/byteway-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("XDG_CONFIG_HOME", folder, 1);
    const std::string portFolder = std::string(folder) + "/byteway";
    std::filesystem::create_directories(portFolder);

    bool ok = measure("plain read() per byte, poll only when empty (floor):",
        [](const std::string &name, int slave) { return plainReader(name, slave, false); });
    ok &= measure("poll() then read() per byte:",
        [](const std::string &name, int slave) { return plainReader(name, slave, true); });

    auto port = std::make_shared<SerialPort>();
    ok &= measure("SerialPort::ReadByte:", [&](const std::string &name, int) -> Reader {
        std::filesystem::remove(portFolder + "/com1");
        std::filesystem::create_symlink(name, portFolder + "/com1");
        if (!port->Open(1, 115200, 0, 0, 8)) {
            std::fprintf(stderr, "open failed: %s\n", port->lastError().c_str());
            return [](uint8_t &) { return false; };
        }
        return [port](uint8_t &byte) { return port->ReadByte(byte) == 1; };
    });
    port->Close();
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
