// Moving single bytes through SerialPort on real pseudo-terminals: both directions,
// the read budget, closed ports and a device that goes away.

#include "ptydevice.h"
#include "rowname.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string allByteValues()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

class SerialIo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pty = std::make_unique<PtyDevice>();
        home.link(1, pty->slaveName());
        ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    }

    TempConfigHome home;
    std::unique_ptr<PtyDevice> pty;
    SerialPort port;
};

// Every value, the control characters a terminal would act on included, passes
// unchanged and one for one.
TEST_F(SerialIo, EveryByteValueGoesOutUnchanged)
{
    const std::string bytes = allByteValues();
    for (char c : bytes)
        ASSERT_EQ(port.WriteByte(static_cast<uint8_t>(c)), 1);
    EXPECT_EQ(pty->receive(bytes.size(), 2000), bytes);
}

TEST_F(SerialIo, EveryByteValueComesInUnchanged)
{
    const std::string bytes = allByteValues();
    ASSERT_TRUE(pty->send(bytes));
    std::string received;
    uint8_t byte = 0;
    while (received.size() < bytes.size() && port.ReadByte(byte) == 1)
        received.push_back(static_cast<char>(byte));
    EXPECT_EQ(received, bytes);
}

TEST_F(SerialIo, ByteArrivingWithinTheBudgetIsReturned)
{
    // The byte comes after the first attempts have found nothing.
    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pty->send("\x7E");
    });
    uint8_t byte = 0;
    const int result = port.ReadByte(byte);
    device.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(byte, 0x7E);
}

TEST_F(SerialIo, WriteGivesUpWhenNobodyReads)
{
    // The device never reads, so the terminal's buffers fill up.
    int written = 0;
    const int limit = 4 * 1024 * 1024;
    while (written < limit && port.WriteByte(0x55) == 1)
        ++written;
    ASSERT_LT(written, limit) << "the buffers never filled";
    const auto start = Clock::now();
    EXPECT_EQ(port.WriteByte(0x55), 0);
    // 100 attempts that each wait their 1 ms for room.
    EXPECT_GE(msSince(start), 90.0);
    // Once the device reads again, writing works again.
    EXPECT_EQ(pty->receive(static_cast<std::size_t>(written), 5000).size(),
        static_cast<std::size_t>(written));
    EXPECT_EQ(port.WriteByte(0x56), 1);
}

// A device that drains slowly, 300 ms between its reads, behind buffers that fill
// up: every write waits for room and none fails.
TEST_F(SerialIo, SlowDrainSlowsTheWriterDown)
{
    std::atomic<bool> reading { true };
    std::size_t drained = 0;
    std::thread device([&] {
        while (reading) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            drained += pty->receive(16384, 50).size();
        }
    });
    const int total = 160 * 1024;
    int written = 0;
    while (written < total && port.WriteByte(0x66) == 1)
        ++written;
    reading = false;
    device.join();
    EXPECT_EQ(written, total);
    EXPECT_GT(drained, 0U);
}

TEST_F(SerialIo, DeviceBackAfterUnplugOpensAgain)
{
    pty->unplug();
    uint8_t byte = 0xAA;
    EXPECT_EQ(port.ReadByte(byte), 0);
    EXPECT_EQ(port.WriteByte(0x41), 0);

    PtyDevice replacement;
    home.link(1, replacement.slaveName());
    EXPECT_TRUE(port.Close());
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    EXPECT_EQ(port.WriteByte(0x42), 1);
    EXPECT_EQ(replacement.receive(1, 1000), "B");
    ASSERT_TRUE(replacement.send("C"));
    EXPECT_EQ(port.ReadByte(byte), 1);
    EXPECT_EQ(byte, 'C');
}

// A read waiting on a quiet port while the port number changes looks at the new
// port at once: a byte there is returned within the same call, not after the
// budget was waited out on the old device.
TEST(SerialWait, WaitingReadFollowsAnOpenOfAnotherPort)
{
    TempConfigHome home;
    PtyDevice quiet, other;
    home.link(1, quiet.slaveName());
    home.link(2, other.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();

    std::atomic<bool> reading { false };
    int result = -1;
    uint8_t byte = 0;
    std::thread reader([&] {
        reading.store(true);
        result = port.ReadByte(byte);
    });
    while (!reading.load())
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(port.Open(2, 57600, 0, 0, 8)) << port.lastError();
    ASSERT_TRUE(other.send("B"));
    reader.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(byte, 'B');
}

// ---- no byte: the read budget in every state of the port -----------------

struct NoByteCase
{
    const char *name;
    std::function<void(SerialPort &, PtyDevice &)> prepare;
    bool writeWorks; // whether WriteByte still succeeds in this state
};

void PrintTo(const NoByteCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialNoByte : public ::testing::TestWithParam<NoByteCase>
{
};

TEST_P(SerialNoByte, ReadReturnsZeroAfterTheBudgetWithoutSpinning)
{
    const NoByteCase &c = GetParam();
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    c.prepare(port, pty);

    uint8_t byte = 0xAA;
    const double cpuBefore = ThreadCpuMs();
    const auto start = Clock::now();
    const int result = port.ReadByte(byte);
    const double elapsed = msSince(start);
    const double cpu = ThreadCpuMs() - cpuBefore;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(byte, 0);
    EXPECT_GE(elapsed, 50.0);
    EXPECT_LT(elapsed, 1000.0);
    // A loop spinning through the budget would burn about all of it.
    EXPECT_LT(cpu, elapsed / 2) << "elapsed " << elapsed << " ms";

    const auto writeStart = Clock::now();
    EXPECT_EQ(port.WriteByte(0x41), c.writeWorks ? 1 : 0);
    if (!c.writeWorks) {
        // A port that is not open fails every attempt at once.
        EXPECT_LT(msSince(writeStart), 50.0);
    }
}

INSTANTIATE_TEST_SUITE_P(States, SerialNoByte,
    ::testing::Values(
        NoByteCase { "OpenButIdle",
            [](SerialPort &port, PtyDevice &) { ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)); },
            true },
        NoByteCase { "NeverOpened", [](SerialPort &, PtyDevice &) {}, false },
        NoByteCase { "Closed",
            [](SerialPort &port, PtyDevice &) {
                ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8));
                ASSERT_TRUE(port.Close());
            },
            false },
        NoByteCase { "FailedOpen",
            [](SerialPort &port, PtyDevice &) {
                ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8));
                ASSERT_FALSE(port.Open(9, 57600, 0, 0, 8));
            },
            false },
        NoByteCase { "DeviceUnplugged",
            [](SerialPort &port, PtyDevice &pty) {
                ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8));
                pty.unplug();
            },
            false }),
    RowName());

} // namespace
