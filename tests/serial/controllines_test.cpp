// The control lines of SerialPort on pseudo-terminals with libbyteway-modemsim
// preloaded (ctest sets LD_PRELOAD), the far side playing the device; the
// Refused* cases run without it, on a pseudo-terminal as the system has it.

#include "modemsim.h"
#include "ptyport.h"
#include "rowname.h"
#include "serial/portcontrollines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

int farLines(int fd)
{
    int bits = 0;
    return ioctl(fd, TIOCMGET, &bits) == 0 ? bits : -1;
}

void setFar(int fd, int bit, bool on)
{
    ASSERT_EQ(ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit), 0);
}

bool openPort(SerialPort &port)
{
    return port.Open(1, 57600, 0, 0, 8);
}

struct LineRow
{
    std::string name;
    ModemLine line;
    int bit;
    bool on;
};

const LineRow kOutputs[] = {
    { "DtrOn", ModemLine::Dtr, TIOCM_DTR, true },
    { "DtrOff", ModemLine::Dtr, TIOCM_DTR, false },
    { "RtsOn", ModemLine::Rts, TIOCM_RTS, true },
    { "RtsOff", ModemLine::Rts, TIOCM_RTS, false },
};

const LineRow kInputs[] = {
    { "CtsOn", ModemLine::Cts, TIOCM_CTS, true },
    { "CtsOff", ModemLine::Cts, TIOCM_CTS, false },
    { "DsrOn", ModemLine::Dsr, TIOCM_DSR, true },
    { "DsrOff", ModemLine::Dsr, TIOCM_DSR, false },
    { "DcdOn", ModemLine::Dcd, TIOCM_CAR, true },
    { "DcdOff", ModemLine::Dcd, TIOCM_CAR, false },
    { "RiOn", ModemLine::Ri, TIOCM_RNG, true },
    { "RiOff", ModemLine::Ri, TIOCM_RNG, false },
};

class OutputLine : public ::testing::TestWithParam<LineRow>
{
};

// The port drives the line, the device sees it, and the port reads it back; the
// opposite state first, so that a line that never moved fails.
TEST_P(OutputLine, ReachesTheFarSideAndReadsBack)
{
    const LineRow &row = GetParam();
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    ASSERT_TRUE(lines.setLine(row.line, !row.on).ok());
    ASSERT_EQ((farLines(pty.farSide()) & row.bit) != 0, !row.on);
    const Status set = lines.setLine(row.line, row.on);
    ASSERT_TRUE(set.ok()) << set.reason();
    EXPECT_EQ((farLines(pty.farSide()) & row.bit) != 0, row.on);
    const Result<ModemLines> back = lines.lines();
    ASSERT_TRUE(back.ok()) << back.status().reason();
    EXPECT_EQ(back->get(row.line), row.on);
}
INSTANTIATE_TEST_SUITE_P(Lines, OutputLine, ::testing::ValuesIn(kOutputs), RowName());

class InputLine : public ::testing::TestWithParam<LineRow>
{
};

TEST_P(InputLine, FollowsTheFarSide)
{
    const LineRow &row = GetParam();
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    setFar(pty.farSide(), row.bit, !row.on);
    ASSERT_EQ(lines.lines()->get(row.line), !row.on);
    setFar(pty.farSide(), row.bit, row.on);
    const Result<ModemLines> now = lines.lines();
    ASSERT_TRUE(now.ok()) << now.status().reason();
    EXPECT_EQ(now->get(row.line), row.on);
    // An input is the far side's to drive.
    EXPECT_EQ(lines.setLine(row.line, !row.on).kind(), ErrorKind::Invalid);
}
INSTANTIATE_TEST_SUITE_P(Lines, InputLine, ::testing::ValuesIn(kInputs), RowName());

TEST(Break, IsSeenByTheDeviceUntilItEnds)
{
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    ASSERT_EQ(farLines(pty.farSide()) & kModemSimBreak, 0);
    ASSERT_TRUE(lines.setBreak(true).ok());
    EXPECT_NE(farLines(pty.farSide()) & kModemSimBreak, 0);
    ASSERT_TRUE(lines.setBreak(false).ok());
    EXPECT_EQ(farLines(pty.farSide()) & kModemSimBreak, 0);
    serial_icounter_struct counts {};
    ASSERT_EQ(ioctl(pty.farSide(), TIOCGICOUNT, &counts), 0);
    EXPECT_EQ(counts.brk, 1);
}

struct FlowRow
{
    std::string name;
    FlowControl before; // set on the device first (Leave: the pty's own)
    FlowControl atOpen;
    tcflag_t cflag; // expected CRTSCTS
    tcflag_t iflag; // expected IXON | IXOFF
};

const FlowRow kFlows[] = {
    { "NoneClearsHardware", FlowControl::RtsCts, FlowControl::None, 0, 0 },
    { "RtsCts", FlowControl::None, FlowControl::RtsCts, CRTSCTS, 0 },
    { "XonXoffReplacesHardware", FlowControl::RtsCts, FlowControl::XonXoff, 0, IXON | IXOFF },
    { "LeaveKeepsHardware", FlowControl::RtsCts, FlowControl::Leave, CRTSCTS, 0 },
    { "LeaveKeepsSoftware", FlowControl::XonXoff, FlowControl::Leave, 0, IXON | IXOFF },
};

class Flow : public ::testing::TestWithParam<FlowRow>
{
};

TEST_P(Flow, OpenSetsTermios)
{
    const FlowRow &row = GetParam();
    PtyPort pty(false);
    // The device keeps what an earlier program set; on a pseudo-terminal the far
    // side's settings are the port's own.
    termios before = {};
    ASSERT_EQ(tcgetattr(pty.farSide(), &before), 0);
    before.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    before.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    if (row.before == FlowControl::RtsCts)
        before.c_cflag |= CRTSCTS;
    if (row.before == FlowControl::XonXoff)
        before.c_iflag |= IXON | IXOFF;
    ASSERT_EQ(tcsetattr(pty.farSide(), TCSANOW, &before), 0);
    OpenLineOptions options;
    options.flow = row.atOpen;
    pty.port.setOpenLineOptions(options);
    ASSERT_TRUE(openPort(pty.port));
    ASSERT_TRUE(pty.port.openLineStatus().ok()) << pty.port.openLineStatus().reason();
    PortControlLines lines(pty.port);
    const Result<FlowControl> flow = lines.flowControl();
    ASSERT_TRUE(flow.ok());
    termios tio {};
    ASSERT_TRUE(pty.port
                    .withOpenHandle([&](intptr_t fd) {
                        return tcgetattr(static_cast<int>(fd), &tio) == 0
                            ? Status()
                            : Status(ErrorKind::Io, "tcgetattr");
                    })
                    .ok());
    EXPECT_EQ(tio.c_cflag & CRTSCTS, row.cflag);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), row.iflag);
    EXPECT_EQ(*flow, row.atOpen == FlowControl::Leave ? row.before : row.atOpen);
}
INSTANTIATE_TEST_SUITE_P(Lines, Flow, ::testing::ValuesIn(kFlows), RowName());

struct AtOpenRow
{
    std::string name;
    LineAtOpen dtr;
    LineAtOpen rts;
    FlowControl flow;
    bool dtrBefore; // as the previous program left the lines
    bool rtsBefore;
    bool dtrAfter;
    bool rtsAfter;
};

const AtOpenRow kAtOpen[] = {
    { "LeaveKeepsBoth", LineAtOpen::Leave, LineAtOpen::Leave, FlowControl::Leave, false, true,
        false, true },
    { "OffDropsBoth", LineAtOpen::Off, LineAtOpen::Off, FlowControl::Leave, true, true, false,
        false },
    { "OnRaisesBoth", LineAtOpen::On, LineAtOpen::On, FlowControl::Leave, false, false, true,
        true },
    { "DtrOffOnly", LineAtOpen::Off, LineAtOpen::Leave, FlowControl::Leave, true, true, false,
        true },
    // RTS/CTS owns RTS: the at-open choice for it does not apply.
    { "RtsLeftToHandshake", LineAtOpen::Leave, LineAtOpen::Off, FlowControl::RtsCts, true, true,
        true, true },
};

class AtOpen : public ::testing::TestWithParam<AtOpenRow>
{
};

TEST_P(AtOpen, SetsTheLinesAsAsked)
{
    const AtOpenRow &row = GetParam();
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    ASSERT_TRUE(lines.setLine(ModemLine::Dtr, row.dtrBefore).ok());
    ASSERT_TRUE(lines.setLine(ModemLine::Rts, row.rtsBefore).ok());
    ASSERT_TRUE(pty.port.Close());
    OpenLineOptions options;
    options.dtr = row.dtr;
    options.rts = row.rts;
    options.flow = row.flow;
    pty.port.setOpenLineOptions(options);
    ASSERT_TRUE(openPort(pty.port));
    const int seen = farLines(pty.farSide());
    EXPECT_EQ((seen & TIOCM_DTR) != 0, row.dtrAfter);
    EXPECT_EQ((seen & TIOCM_RTS) != 0, row.rtsAfter);
}
INSTANTIATE_TEST_SUITE_P(Lines, AtOpen, ::testing::ValuesIn(kAtOpen), RowName());

TEST(Rs485, WrittenAtOpenAndReadBack)
{
    PtyPort pty(false);
    Rs485Settings wanted;
    wanted.enabled = true;
    wanted.rtsOnSend = false;
    wanted.rtsAfterSend = true;
    wanted.delayBeforeSendMs = 3;
    wanted.delayAfterSendMs = 7;
    wanted.receiveDuringSend = true;
    OpenLineOptions options;
    options.rs485 = wanted;
    pty.port.setOpenLineOptions(options);
    ASSERT_TRUE(openPort(pty.port));
    PortControlLines lines(pty.port);
    const Result<Rs485Settings> back = lines.rs485();
    ASSERT_TRUE(back.ok()) << back.status().reason();
    EXPECT_EQ(*back, wanted);
    serial_rs485 far {};
    ASSERT_EQ(ioctl(pty.farSide(), TIOCGRS485, &far), 0);
    EXPECT_EQ(far.flags & (SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND),
        uint32_t(SER_RS485_ENABLED | SER_RS485_RTS_AFTER_SEND));
    EXPECT_EQ(far.delay_rts_after_send, 7U);
}

// A UART driver without RS-485: the port still opens, and says why.
TEST(Rs485, RefusedByTheDriverKeepsThePortOpen)
{
    setenv("BYTEWAY_MODEMSIM_NO_RS485", "1", 1);
    PtyPort pty(false);
    OpenLineOptions options;
    options.rs485 = Rs485Settings();
    pty.port.setOpenLineOptions(options);
    const bool opened = openPort(pty.port);
    PortControlLines lines(pty.port);
    const Result<Rs485Settings> rs485 = lines.rs485();
    unsetenv("BYTEWAY_MODEMSIM_NO_RS485");
    ASSERT_TRUE(opened);
    EXPECT_EQ(pty.port.openLineStatus().kind(), ErrorKind::Refused);
    ASSERT_FALSE(rs485.ok());
    EXPECT_EQ(rs485.status().kind(), ErrorKind::Refused);
    EXPECT_NE(rs485.status().reason().find("RS-485"), std::string::npos);
    EXPECT_TRUE(lines.lines().ok());
}

TEST(ClosedPort, RefusesEveryControlAsNotOpen)
{
    PtyPort pty(false);
    PortControlLines lines(pty.port);
    EXPECT_EQ(lines.lines().status().kind(), ErrorKind::Invalid);
    EXPECT_EQ(lines.setLine(ModemLine::Dtr, true).kind(), ErrorKind::Invalid);
    EXPECT_EQ(lines.setBreak(true).kind(), ErrorKind::Invalid);
}

// Lines toggled while bytes stream both ways: not one byte lost or reordered, and
// every toggle read back as set.
TEST(Toggling, DuringAFloodAndASendLosesNothing)
{
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    constexpr int kBytes = 20000;
    std::atomic<int> received { 0 };
    std::atomic<bool> inOrder { true };
    std::thread reader([&] {
        uint8_t byte = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (received.load() < kBytes && std::chrono::steady_clock::now() < deadline) {
            if (pty.port.ReadByte(byte) == 1) {
                inOrder = inOrder && byte == static_cast<uint8_t>(received.load() % 251);
                ++received;
            }
        }
    });
    std::atomic<int> sent { 0 };
    std::thread writer([&] {
        for (int i = 0; i < kBytes; ++i) {
            if (pty.port.WriteByte(static_cast<uint8_t>(i % 199)) == 1) {
                ++sent;
            }
        }
    });
    std::string flood;
    for (int i = 0; i < kBytes; ++i) {
        flood.push_back(static_cast<char>(i % 251));
    }
    std::thread farWriter([&] { pty.send(flood); });
    int mismatches = 0;
    for (int i = 0; i < 200; ++i) {
        const ModemLine line = i % 2 ? ModemLine::Dtr : ModemLine::Rts;
        const bool on = (i / 2) % 2 == 0;
        ASSERT_TRUE(lines.setLine(line, on).ok());
        mismatches += lines.lines()->get(line) != on;
    }
    const std::string echoed = pty.receive(kBytes, 20000);
    farWriter.join();
    writer.join();
    reader.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(received.load(), kBytes);
    EXPECT_TRUE(inOrder.load());
    EXPECT_EQ(sent.load(), kBytes);
    ASSERT_EQ(echoed.size(), std::size_t(kBytes));
    for (int i = 0; i < kBytes; ++i) {
        ASSERT_EQ(static_cast<uint8_t>(echoed[i]), static_cast<uint8_t>(i % 199)) << i;
    }
}

// The device goes away between the two halves of a pulse: the second half fails at
// once as Lost, the port counts as lost, and Reconnect brings it back.
TEST(Vanishing, MidPulseLeavesThePortLostAndReconnectable)
{
    TempConfigHome home;
    auto device = std::make_unique<PtyDevice>();
    home.link(1, device->slaveName());
    SerialPort port;
    ASSERT_TRUE(openPort(port));
    PortControlLines lines(port);
    ASSERT_TRUE(lines.setLine(ModemLine::Dtr, false).ok());
    device->unplug();
    const auto start = std::chrono::steady_clock::now();
    const Status second = lines.setLine(ModemLine::Dtr, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(second.ok());
    EXPECT_EQ(port.CheckDevice(), SerialPort::State::Lost);
    EXPECT_EQ(lines.lines().status().kind(), ErrorKind::Lost);
    device = std::make_unique<PtyDevice>();
    home.link(1, device->slaveName());
    ASSERT_TRUE(port.Reconnect());
    EXPECT_TRUE(lines.lines().ok());
}

// Without the preloaded library a pseudo-terminal is what the system makes it: no
// modem lines and no RS-485, each refused with the system's reason.
TEST(Refused, PseudoTerminalWithoutModemLines)
{
    if (const char *preload = std::getenv("LD_PRELOAD"); preload && *preload) {
        GTEST_SKIP() << "runs without the preloaded library";
    }
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    PortControlLines lines(pty.port);
    const Result<ModemLines> read = lines.lines();
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.status().kind(), ErrorKind::Refused);
    EXPECT_NE(read.status().reason().find("modem lines"), std::string::npos);
    EXPECT_EQ(lines.setLine(ModemLine::Dtr, false).kind(), ErrorKind::Refused);
    EXPECT_EQ(lines.rs485().status().kind(), ErrorKind::Refused);
    // A refusal is not a lost device.
    EXPECT_EQ(pty.port.state(), SerialPort::State::Open);
}

} // namespace
