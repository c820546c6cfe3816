// What a reception left on costs while its device is gone: a thread reading the
// port as the receive thread does (ReadByte in a loop) for 5 s after the device's
// pseudo-terminal has been closed. Prints the reading thread's CPU time as a share
// of one core and how often ReadByte returned.

#include "benchmeter.h"
#include "serial/serialport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

int main()
{
    char folder[] = "/tmp/byteway-gone-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", folder, 1);
    const std::filesystem::path links = std::filesystem::path(folder) / "byteway";
    std::filesystem::create_directories(links);
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    std::filesystem::create_symlink(name, links / "com1");
    SerialPort port;
    if (!port.Open(1, 115200, 0, 0, 8)) {
        std::fprintf(stderr, "open: %s\n", port.lastError().c_str());
        return 1;
    }
    close(master);
    close(slave);

    constexpr auto kRun = std::chrono::seconds(5);
    std::atomic<bool> stop { false };
    long calls = 0;
    double cpuMs = 0;
    std::thread reader([&] {
        const double before = CpuMs(RUSAGE_THREAD);
        uint8_t byte = 0;
        while (!stop) {
            port.ReadByte(byte);
            ++calls;
        }
        cpuMs = CpuMs(RUSAGE_THREAD) - before;
    });
    std::this_thread::sleep_for(kRun);
    stop = true;
    reader.join();
    const double wallMs = std::chrono::duration<double, std::milli>(kRun).count();
    std::printf("device gone, reception on for %.0f s: state %s, reading thread CPU %.2f %% "
                "of a core, %ld reads (%.1f per second)\n",
        wallMs / 1000, port.state() == SerialPort::State::Lost ? "lost" : "other",
        100.0 * cpuMs / wallMs, calls, calls * 1000.0 / wallMs);
    port.Close();
    std::filesystem::remove_all(folder);
    return 0;
}
