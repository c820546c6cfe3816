// SerialPort on rfc2217:// and tcp:// addresses served by the real ser2net from
// Debian, started on the loopback address with a configuration of the test's own, in
// front of a pseudo-terminal (the test's own, or the demo device's).

#include "deviceprocess.h"
#include "netservers.h"
#include "ptydevice.h"
#include "rowname.h"
#include "serial/portcontrollines.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"
#include "waituntil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

using namespace std::chrono_literals;

bool HaveSer2net()
{
    return std::system("command -v ser2net >/dev/null 2>&1") == 0;
}

class Ser2net : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveSer2net()) {
            GTEST_SKIP() << "ser2net is not installed (tools/install-deps.sh)";
        }
    }

    // ser2net in front of `device`, and port 1 bound to it; true once it listens.
    bool serve(const std::string &device, bool rfc2217 = true)
    {
        if (tcpPort == 0) {
            tcpPort = netservers::FreePort();
        }
        ser2net = netservers::StartSer2net(
            home.root(), device, tcpPort, rfc2217, BYTEWAY_TERMIOS_LOG_LIBRARY);
        home.link(1,
            std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(tcpPort));
        return netservers::WaitListening(tcpPort, 10s);
    }

    bool open(int32_t baud, uint8_t parity, uint8_t stopBits, uint8_t dataBits)
    {
        return port.Open(1, baud, parity, stopBits, dataBits)
            && WaitUntil([&] { return port.CheckDevice() != SerialPort::State::Connecting; }, 6s)
            && port.state() == SerialPort::State::Open;
    }

    std::string log() const { return ser2net ? ser2net->output() : std::string(); }

    TempConfigHome home;
    uint16_t tcpPort = 0;
    std::unique_ptr<netservers::ChildProcess> ser2net;
    SerialPort port;
};

struct LineRow
{
    std::string name;
    int32_t baud;
    uint8_t parity; // the port's codes
    uint8_t stopBits;
    uint8_t dataBits;
    speed_t speed;
    tcflag_t size;
    tcflag_t parityFlags; // of PARENB | PARODD
    bool twoStopBits;
};

class Ser2netLine : public Ser2net, public ::testing::WithParamInterface<LineRow>
{
};

TEST_P(Ser2netLine, SettingsReachTheFarTerminal)
{
    const LineRow &row = GetParam();
    PtyDevice device;
    ASSERT_TRUE(serve(device.slaveName())) << log();
    ASSERT_TRUE(open(row.baud, row.parity, row.stopBits, row.dataBits)) << port.lastError() << "\n"
                                                                        << log();
    // The pseudo-terminal keeps the speed and the stop bits; the size and the parity
    // are what ser2net asked of it last.
    const termios far = device.slaveSettings();
    EXPECT_EQ(cfgetospeed(&far), row.speed);
    EXPECT_EQ((far.c_cflag & CSTOPB) != 0, row.twoStopBits);
    EXPECT_EQ(far.c_cflag & CRTSCTS, 0U) << "no flow control asked for";
    std::ifstream log(home.root() + "/termios.log");
    std::string line;
    std::string last;
    while (std::getline(log, line)) {
        last = line;
    }
    ASSERT_FALSE(last.empty()) << "ser2net set no terminal settings";
    const tcflag_t asked = static_cast<tcflag_t>(std::stoul(last, nullptr, 8));
    EXPECT_EQ(asked & CSIZE, row.size);
    EXPECT_EQ(asked & (PARENB | PARODD), row.parityFlags);
    EXPECT_EQ((asked & CSTOPB) != 0, row.twoStopBits);
}

INSTANTIATE_TEST_SUITE_P(Rfc2217, Ser2netLine,
    ::testing::Values(LineRow { "b57600_8n1", 57600, 0, 0, 8, B57600, CS8, 0, false },
        LineRow { "b19200_7e2", 19200, 2, 2, 7, B19200, CS7, PARENB, true },
        LineRow { "b115200_8o1", 115200, 1, 0, 8, B115200, CS8, PARENB | PARODD, false },
        LineRow { "b1200_6n2", 1200, 0, 2, 6, B1200, CS6, 0, true }),
    RowName());

class Ser2netBytes : public Ser2net, public ::testing::WithParamInterface<bool>
{
};

TEST_P(Ser2netBytes, EveryByteValueBothWays)
{
    PtyDevice device;
    ASSERT_TRUE(serve(device.slaveName(), GetParam())) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all += static_cast<char>(value);
    }
    all += std::string("\xFF\xFF\x00\xFF", 4);
    for (const char c : all) {
        ASSERT_EQ(port.WriteByte(static_cast<uint8_t>(c)), 1);
    }
    EXPECT_EQ(device.receive(all.size(), 5000), all) << "to the device";

    ASSERT_TRUE(device.send(all));
    std::string back;
    uint8_t byte = 0;
    for (int calls = 0; calls < 4000 && back.size() < all.size(); ++calls) {
        if (port.ReadByte(byte) == 1) {
            back += static_cast<char>(byte);
        }
    }
    EXPECT_EQ(back, all) << "from the device";
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Ser2netBytes, ::testing::Values(true, false),
    [](const ::testing::TestParamInfo<bool> &row) { return row.param ? "rfc2217" : "tcp"; });

constexpr long kSettling = 16384;

// Reads on a thread of its own as the receive thread does, checking that the bytes
// follow the demo device's counting pattern without a gap. Bytes in flight when an
// opening purged the queues may come before the purge took effect, so each opening
// is followed by a settling stretch that is not checked.
class PatternReader
{
public:
    PatternReader(SerialPort &port, int pattern)
        : m_thread([this, &port, pattern] {
            uint8_t byte = 0;
            int expected = -1;
            while (!m_stop.load()) {
                if (port.ReadByte(byte) != 1) {
                    continue;
                }
                const long count = m_count.fetch_add(1) + 1;
                if (expected >= 0 && byte != expected && count > m_checkFrom.load()) {
                    m_breaks.fetch_add(1);
                }
                expected = (byte + 1) % pattern;
            }
        })
    { }
    ~PatternReader()
    {
        m_stop = true;
        m_thread.join();
    }
    long count() const { return m_count.load(); }
    int breaks() const { return m_breaks.load(); }
    // The port opens anew: settle again.
    void settleAgain() { m_checkFrom.store(m_count.load() + kSettling); }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<long> m_count { 0 };
    std::atomic<long> m_checkFrom { kSettling };
    std::atomic<int> m_breaks { 0 };
    std::thread m_thread;
};

constexpr int kPattern = 251; // prime: a lost 4096-byte chunk cannot go unnoticed

TEST_F(Ser2net, FloodOfOneMegabyteArrivesByteExact)
{
    const std::string link = home.bytewayFolder() + "/demo";
    DeviceProcess device({ "--link", link, "--pattern", std::to_string(kPattern) });
    ASSERT_TRUE(device.waitFor("linked " + link, 5000)) << device.text();
    ASSERT_TRUE(serve(link)) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    PatternReader reader(port, kPattern);
    ASSERT_TRUE(WaitUntil([&] { return reader.count() >= kSettling + (1L << 20); }, 60s))
        << reader.count() << " bytes";
    EXPECT_EQ(reader.breaks(), 0);
}

TEST_F(Ser2net, ReceptionResumesAfterSer2netRestarts)
{
    const std::string link = home.bytewayFolder() + "/demo";
    DeviceProcess device(
        { "--link", link, "--pattern", std::to_string(kPattern), "--rate", "20000" });
    ASSERT_TRUE(device.waitFor("linked " + link, 5000)) << device.text();
    ASSERT_TRUE(serve(link)) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    PortWatch watch(port);
    PatternReader reader(port, kPattern);
    ASSERT_TRUE(WaitUntil([&] { return reader.count() > 1000; }, 5s));

    ser2net->stop(SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return port.state() != SerialPort::State::Open; }, 5s));
    reader.settleAgain();
    const long before = reader.count();
    ASSERT_TRUE(serve(link)) << log();
    ASSERT_TRUE(WaitUntil([&] { return reader.count() > before + 1000; }, 10s))
        << port.lastError() << "\n"
        << log();
    EXPECT_EQ(port.state(), SerialPort::State::Open);
    EXPECT_EQ(reader.breaks(), 0);
}

// The control lines over RFC 2217 end to end, with libbyteway-modemsim in ser2net and
// in the demo device, which is wired as a loopback plug (CTS = RTS, DSR = DTR).
class Ser2netLines : public Ser2net
{
protected:
    void SetUp() override
    {
        Ser2net::SetUp();
        const char *preload = std::getenv("LD_PRELOAD");
        if (!IsSkipped() && (preload == nullptr || std::strstr(preload, "modemsim") == nullptr)) {
            GTEST_SKIP() << "needs libbyteway-modemsim preloaded (ctest: ser2net_lines_test)";
        }
    }

    // ser2net with the modem lines and the termios log, in front of the demo device.
    bool serveDevice(std::vector<std::string> options = {})
    {
        const std::string link = home.bytewayFolder() + "/demo";
        options.insert(options.end(), { "--link", link, "--lines" });
        device = std::make_unique<DeviceProcess>(options);
        if (!device->waitFor("linked " + link, 5000)) {
            return false;
        }
        tcpPort = netservers::FreePort();
        ser2net = netservers::StartSer2net(home.root(), link, tcpPort, true,
            std::string(BYTEWAY_NET_MODEMSIM_LIBRARY) + ":" + BYTEWAY_TERMIOS_LOG_LIBRARY);
        home.link(1, "rfc2217://127.0.0.1:" + std::to_string(tcpPort));
        return netservers::WaitListening(tcpPort, 10s);
    }

    // Whether `line` reads `on` within `limit` (inputs follow the server's reports).
    bool becomes(ModemLine line, bool on, std::chrono::milliseconds limit)
    {
        return WaitUntil(
            [&] {
                const Result<ModemLines> now = lines.lines();
                return now.ok() && now->get(line) == on;
            },
            limit);
    }

    std::unique_ptr<DeviceProcess> device;
    PortControlLines lines { port };
};

struct OutputRow
{
    std::string name;
    ModemLine line;
    bool on;
    std::string deviceSays;
    ModemLine follower; // the input the loopback plug drives from it
};

class Ser2netOutput : public Ser2netLines, public ::testing::WithParamInterface<OutputRow>
{
};

// The line reaches the device, reads back from the server's answer, and the input
// wired to it comes back through NOTIFY-MODEMSTATE; the opposite state first, so a
// line that never moved fails.
TEST_P(Ser2netOutput, ReachesTheDeviceAndComesBack)
{
    const OutputRow &row = GetParam();
    ASSERT_TRUE(serveDevice()) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    const Status first = lines.setLine(row.line, !row.on);
    ASSERT_TRUE(first.ok()) << first.reason();
    ASSERT_TRUE(becomes(row.follower, !row.on, 5s)) << device->text();
    const std::size_t from = device->text().size();
    const Status set = lines.setLine(row.line, row.on);
    ASSERT_TRUE(set.ok()) << set.reason();
    EXPECT_TRUE(device->waitFor(row.deviceSays, 5000, from)) << device->text();
    EXPECT_TRUE(becomes(row.line, row.on, 1s)) << "read back from the answer";
    EXPECT_TRUE(becomes(row.follower, row.on, 5s)) << "reported by the server";
}

INSTANTIATE_TEST_SUITE_P(Rfc2217, Ser2netOutput,
    ::testing::Values(OutputRow { "DtrOn", ModemLine::Dtr, true, "DTR on", ModemLine::Dsr },
        OutputRow { "DtrOff", ModemLine::Dtr, false, "DTR off", ModemLine::Dsr },
        OutputRow { "RtsOn", ModemLine::Rts, true, "RTS on", ModemLine::Cts },
        OutputRow { "RtsOff", ModemLine::Rts, false, "RTS off", ModemLine::Cts }),
    RowName());

TEST_F(Ser2netLines, BreakOfTheSetDurationReachesTheDevice)
{
    ASSERT_TRUE(serveDevice()) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    const Status on = lines.setBreak(true);
    ASSERT_TRUE(on.ok()) << on.reason();
    std::this_thread::sleep_for(250ms);
    // ser2net 4.3 answers the end of a break with the value of its start, so its
    // answer proves nothing here: what the device measured does.
    (void)lines.setBreak(false);
    ASSERT_TRUE(device->waitFor("break of ", 5000)) << device->text();
    const std::string &text = device->text();
    const double ms = std::stod(text.substr(text.find("break of ") + 9));
    EXPECT_GE(ms, 200.0) << text;
    EXPECT_LE(ms, 400.0) << text;
}

// Toggling while a flood is read: the reading thread decodes the answers among the
// data, and not one data byte is lost or taken for an answer.
TEST_F(Ser2netLines, TogglingDuringAFloodLosesNoByte)
{
    ASSERT_TRUE(serveDevice({ "--pattern", std::to_string(kPattern), "--rate", "50000" })) << log();
    ASSERT_TRUE(open(115200, 0, 0, 8)) << port.lastError() << "\n" << log();
    PatternReader reader(port, kPattern);
    ASSERT_TRUE(WaitUntil([&] { return reader.count() > kSettling; }, 10s));
    for (int i = 0; i < 20; ++i) {
        const bool on = i % 2 == 0;
        const Status set = lines.setLine(ModemLine::Rts, on);
        ASSERT_TRUE(set.ok()) << set.reason();
        EXPECT_TRUE(becomes(ModemLine::Rts, on, 1s)) << i;
    }
    const long before = reader.count();
    EXPECT_TRUE(WaitUntil([&] { return reader.count() > before + 10000; }, 10s));
    EXPECT_EQ(reader.breaks(), 0);
}

} // namespace
