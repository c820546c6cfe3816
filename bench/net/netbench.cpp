// Receive throughput of a network port: 1 MiB of the demo device's flood read with
// SerialPort::ReadByte through ser2net on this machine (RFC 2217 and raw TCP), next
// to the same flood read from the device's pseudo-terminal directly, in one run.
// Prints bytes per second for each and the network figures as a share of the direct
// one. Needs ser2net (tools/install-deps.sh).

#include "deviceprocess.h"
#include "netservers.h"
#include "ptydevice.h"
#include "serial/serialport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kBytes = 1L << 20;
constexpr int kPattern = 251;
constexpr long kSettling = 65536;

// The reading thread's CPU time per measured MiB, in the order measured.
std::vector<double> g_cpuMs;

// Bytes per second of kBytes read from the port, timed from the first byte; 0 when
// the bytes did not arrive or broke the counting pattern.
double measure(SerialPort &port)
{
    uint8_t byte = 0;
    int misses = 0;
    while (port.ReadByte(byte) != 1) {
        if (++misses > 200) {
            return 0;
        }
    }
    // What was in flight when the opening purged the queues may still come before
    // the purge took effect: the stream is whole from some point on, not from the
    // first byte, so the count starts after a settling stretch.
    for (long settling = 0; settling < kSettling;) {
        settling += port.ReadByte(byte);
    }
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuMs();
    int expected = (byte + 1) % kPattern;
    long count = 1;
    misses = 0;
    while (count < kBytes) {
        if (port.ReadByte(byte) != 1) {
            if (++misses > 100) {
                return 0;
            }
            continue;
        }
        if (byte != expected) {
            std::fprintf(stderr, "netbench: byte %ld is %d, expected %d\n", count, byte, expected);
            return 0;
        }
        expected = (byte + 1) % kPattern;
        ++count;
    }
    g_cpuMs.push_back(ThreadCpuMs() - cpuStart);
    return kBytes / std::chrono::duration<double>(Clock::now() - start).count();
}

double throughDirect(TempConfigHome &home, const std::string &device)
{
    home.link(1, device);
    SerialPort port;
    if (!port.Open(1, 115200, 0, 0, 8)) {
        std::fprintf(stderr, "netbench: %s\n", port.lastError().c_str());
        return 0;
    }
    return measure(port);
}

double throughSer2net(TempConfigHome &home, const std::string &device, bool rfc2217)
{
    const uint16_t tcpPort = netservers::FreePort();
    auto server = netservers::StartSer2net(home.root(), device, tcpPort, rfc2217);
    if (!netservers::WaitListening(tcpPort, std::chrono::seconds(10))) {
        std::fprintf(stderr, "netbench: ser2net does not listen\n%s", server->output().c_str());
        return 0;
    }
    home.link(
        1, std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(tcpPort));
    SerialPort port;
    if (!port.Open(1, 115200, 0, 0, 8)) {
        std::fprintf(stderr, "netbench: %s\n", port.lastError().c_str());
        return 0;
    }
    for (int i = 0; i < 500 && port.CheckDevice() == SerialPort::State::Connecting; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return measure(port);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    if (std::system("command -v ser2net >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "netbench: ser2net is not installed\n");
        return 1;
    }
    TempConfigHome home;
    const std::string link = home.bytewayFolder() + "/demo";
    DeviceProcess device({ "--link", link, "--pattern", std::to_string(kPattern) });
    if (!device.waitFor("linked " + link, 5000)) {
        std::fprintf(stderr, "netbench: the demo device did not start\n%s", device.text().c_str());
        return 1;
    }
    // Interleaved rounds and their medians: on a shared machine one run of each
    // says more about the neighbours than about the path.
    constexpr int kRounds = 5;
    std::vector<double> direct, rfc2217, raw;
    for (int round = 0; round < kRounds; ++round) {
        direct.push_back(throughDirect(home, link));
        rfc2217.push_back(throughSer2net(home, link, true));
        raw.push_back(throughSer2net(home, link, false));
    }
    const double d = median(direct), r = median(rfc2217), t = median(raw);
    std::vector<double> cpu[3];
    for (std::size_t i = 0; i < g_cpuMs.size(); ++i) {
        cpu[i % 3].push_back(g_cpuMs[i]);
    }
    std::printf("1 MiB flood from the demo device, read with ReadByte (median of %d):\n", kRounds);
    std::printf("  pseudo-terminal directly   %12.0f bytes/s           reader CPU %5.1f ms\n", d,
        cpu[0].empty() ? 0.0 : median(cpu[0]));
    std::printf("  ser2net, rfc2217://        %12.0f bytes/s  %5.1f %%  reader CPU %5.1f ms\n", r,
        d > 0 ? 100 * r / d : 0, cpu[1].empty() ? 0.0 : median(cpu[1]));
    std::printf("  ser2net, tcp://            %12.0f bytes/s  %5.1f %%  reader CPU %5.1f ms\n", t,
        d > 0 ? 100 * t / d : 0, cpu[2].empty() ? 0.0 : median(cpu[2]));
    return d > 0 && r > 0 && t > 0 ? 0 : 1;
}
