// Throughput and CPU of our XMODEM-1K and YMODEM against lrzsz's own programs in
// the same role, through the same pseudo-terminal, relay and lrzsz far end, in one
// run. The side under test sits on the pseudo-terminal (as the program's port
// does); the far end is an lrzsz program. Time runs until the side under test has
// the whole file (receiving) or has its last block acknowledged (sending).

#include "benchmeter.h"
#include "ptydevice.h"
#include "ptyrelay.h"
#include "serial/serialport.h"
#include "transfer/modem.h"
#include "transfer/transferlink.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures
{
    double seconds = 0;
    double cpuMs = 0;
    bool ok = false;
};

struct Case
{
    const char *name;
    ModemKind kind;
    bool weSend;
    std::vector<std::string> far; // the lrzsz program on the far end
    std::vector<std::string> lrzsz; // lrzsz in our role
};

// Every lrzsz program but rb takes the file's name.
std::vector<std::string> WithFile(std::vector<std::string> args, const std::string &file)
{
    if (args.front() != "rb")
        args.push_back(file);
    return args;
}

Figures RunOurs(const Case &c, const std::string &root, const std::string &file)
{
    TempConfigHome home;
    PtyRelay relay;
    home.link(1, relay.deviceA());
    SerialPort port;
    if (!port.Open(1, 115200, 0, 0, 8))
        return {};
    std::vector<std::string> far = WithFile(c.far, file);
    PeerProgram peer(far, relay.endB(), root + "/far");
    PortLink link(port);
    TransferProgress progress;
    std::vector<ReceivedFile> received;
    const double cpu0 = CpuMs(RUSAGE_THREAD);
    const auto began = Clock::now();
    const Status status = c.weSend
        ? ModemSend(link, c.kind, { fs::path(root + "/near/" + file) }, ModemTimeouts(), progress)
        : ModemReceive(link, c.kind, root + "/near", file, ModemTimeouts(), progress, received);
    Figures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    figures.cpuMs = CpuMs(RUSAGE_THREAD) - cpu0;
    figures.ok = status.ok() && peer.wait(20000) == 0;
    for (const ReceivedFile &r : received)
        fs::remove(r.temporary);
    (void)port.Close();
    return figures;
}

Figures RunLrzsz(const Case &c, const std::string &root, const std::string &file)
{
    PtyRelay relay;
    const int near = ::open(relay.deviceA().c_str(), O_RDWR | O_NOCTTY);
    const std::vector<std::string> far = WithFile(c.far, file);
    const std::vector<std::string> mine = WithFile(c.lrzsz, file);
    PeerProgram farPeer(far, relay.endB(), root + "/far");
    const auto began = Clock::now();
    PeerProgram ours(mine, near, root + "/near");
    Figures figures;
    figures.ok = ours.wait(120000) == 0;
    figures.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    figures.cpuMs = ours.cpuMs();
    (void)farPeer.wait(20000);
    ::close(near);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t size = argc > 1 ? std::stoul(argv[1]) : std::size_t(4) << 20;
    const std::string root = (fs::temp_directory_path() / "byteway-transfer-bench").string();
    fs::remove_all(root);
    fs::create_directories(root + "/near");
    fs::create_directories(root + "/far");
    const std::string file = "bench.bin";
    const std::string data = PatternBytes(size, 11);
    const Case cases[] = {
        { "XMODEM-1K send", ModemKind::Xmodem1k, true, { "rx", "-b", "-c", "-q" },
            { "sx", "-b", "-k", "-q" } },
        { "XMODEM-1K receive", ModemKind::Xmodem1k, false, { "sx", "-b", "-k", "-q" },
            { "rx", "-b", "-c", "-q" } },
        { "YMODEM send", ModemKind::Ymodem, true, { "rb", "-b", "-q" }, { "sb", "-b", "-q" } },
        { "YMODEM receive", ModemKind::Ymodem, false, { "sb", "-b", "-q" }, { "rb", "-b", "-q" } },
    };
    std::printf("%zu bytes; time until the side under test is done, CPU of that side\n", size);
    std::printf("%-20s %12s %10s %12s %10s %8s %8s\n", "case", "ours MB/s", "ours CPU",
        "lrzsz MB/s", "lrzsz CPU", "speed", "CPU");
    for (const Case &c : cases) {
        const auto place = [&](const char *side) {
            fs::remove_all(root + "/near");
            fs::remove_all(root + "/far");
            fs::create_directories(root + "/near");
            fs::create_directories(root + "/far");
            WriteFileBytes(root + "/" + side + "/" + file, data);
        };
        place(c.weSend ? "near" : "far");
        const Figures ours = RunOurs(c, root, file);
        place(c.weSend ? "near" : "far");
        const Figures theirs = RunLrzsz(c, root, file);
        const double mb = double(size) / 1e6;
        std::printf("%-20s %12.2f %8.0fms %12.2f %8.0fms %7.0f%% %7.0f%%%s\n", c.name,
            mb / ours.seconds, ours.cpuMs, mb / theirs.seconds, theirs.cpuMs,
            100.0 * theirs.seconds / ours.seconds, 100.0 * ours.cpuMs / std::max(1.0, theirs.cpuMs),
            ours.ok && theirs.ok ? "" : "  (a transfer failed)");
    }
    fs::remove_all(root);
    return 0;
}
