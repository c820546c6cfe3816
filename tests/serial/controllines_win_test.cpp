// The control lines of the Win32 backend against a device that plays them.
// tools/test-windows.sh maps BYTEWAY_LINES_PORT to byteway-device --lines with
// libbyteway-modemsim preloaded into the device and into Wine, so CTS follows RTS
// and DSR follows DTR; without that set-up these tests skip.

#include "rowname.h"
#include "serial/portcontrollines.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

int linesPort()
{
    const char *value = std::getenv("BYTEWAY_LINES_PORT");
    return value ? std::atoi(value) : 0;
}

// The device answers on its own thread: wait for the input to follow.
bool inputBecomes(ControlLines &lines, ModemLine input, bool on)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        const Result<ModemLines> now = lines.lines();
        if (now.ok() && now->get(input) == on) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

struct LoopRow
{
    std::string name;
    ModemLine output;
    ModemLine input; // what the loopback device makes follow it
    bool on;
};

const LoopRow kLoops[] = {
    { "DtrOffDsrOff", ModemLine::Dtr, ModemLine::Dsr, false },
    { "DtrOnDsrOn", ModemLine::Dtr, ModemLine::Dsr, true },
    { "RtsOffCtsOff", ModemLine::Rts, ModemLine::Cts, false },
    { "RtsOnCtsOn", ModemLine::Rts, ModemLine::Cts, true },
};

class WinLoop : public ::testing::TestWithParam<LoopRow>
{
};

// EscapeCommFunction reaches the far side, GetCommModemStatus reads its answer,
// and the output reads back as set.
TEST_P(WinLoop, OutputReachesTheDeviceAndComesBack)
{
    const int port = linesPort();
    if (port == 0) {
        GTEST_SKIP() << "BYTEWAY_LINES_PORT not set (tools/test-windows.sh sets it)";
    }
    const LoopRow &row = GetParam();
    SerialPort serial;
    ASSERT_TRUE(serial.Open(port, 9600, 0, 0, 8)) << serial.lastError();
    PortControlLines lines(serial);
    ASSERT_TRUE(lines.setLine(row.output, !row.on).ok());
    ASSERT_TRUE(inputBecomes(lines, row.input, !row.on));
    const Status set = lines.setLine(row.output, row.on);
    ASSERT_TRUE(set.ok()) << set.reason();
    EXPECT_TRUE(inputBecomes(lines, row.input, row.on));
    EXPECT_EQ(lines.lines()->get(row.output), row.on);
}
INSTANTIATE_TEST_SUITE_P(Lines, WinLoop, ::testing::ValuesIn(kLoops), RowName());

TEST(WinLines, FlowControlInTheDcbAndBreak)
{
    const int port = linesPort();
    if (port == 0) {
        GTEST_SKIP() << "BYTEWAY_LINES_PORT not set (tools/test-windows.sh sets it)";
    }
    SerialPort serial;
    OpenLineOptions options;
    options.flow = FlowControl::XonXoff;
    options.dtr = LineAtOpen::Off;
    serial.setOpenLineOptions(options);
    ASSERT_TRUE(serial.Open(port, 9600, 0, 0, 8)) << serial.lastError();
    EXPECT_TRUE(serial.openLineStatus().ok()) << serial.openLineStatus().reason();
    PortControlLines lines(serial);
    EXPECT_EQ(*lines.flowControl(), FlowControl::XonXoff);
    EXPECT_TRUE(inputBecomes(lines, ModemLine::Dsr, false));
    for (const FlowControl flow : { FlowControl::RtsCts, FlowControl::None }) {
        options.flow = flow;
        serial.setOpenLineOptions(options);
        ASSERT_TRUE(serial.Close());
        ASSERT_TRUE(serial.Open(port, 9600, 0, 0, 8));
        EXPECT_EQ(*lines.flowControl(), flow);
    }
    EXPECT_TRUE(lines.setBreak(true).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(lines.setBreak(false).ok());
    const Result<Rs485Settings> rs485 = lines.rs485();
    ASSERT_FALSE(rs485.ok());
    EXPECT_EQ(rs485.status().kind(), ErrorKind::Refused);
}

} // namespace
