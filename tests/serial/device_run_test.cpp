// The demo device program seen through SerialPort, as the application sees it.

#include "deviceprocess.h"
#include "ptydevice.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

class DeviceRun : public ::testing::Test
{
protected:
    std::string link() const { return home.bytewayFolder() + "/com1"; }

    TempConfigHome home;
    SerialPort port;
};

TEST_F(DeviceRun, SendsThePatternCountAndRemovesItsLinkOnStop)
{
    DeviceProcess device({ "--link", link(), "--pattern", "7", "--count", "30" });
    ASSERT_TRUE(device.waitFor("linked " + link(), 5000)) << device.text();
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    std::vector<int> received;
    uint8_t byte = 0;
    while (port.ReadByte(byte) == 1)
        received.push_back(byte);
    ASSERT_EQ(received.size(), 30u);
    for (size_t i = 0; i < received.size(); ++i)
        EXPECT_EQ(received[i], static_cast<int>(i % 7)) << "at " << i;
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(device.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link())));
}

TEST_F(DeviceRun, EchoesByDefault)
{
    DeviceProcess device({ "--link", link() });
    ASSERT_TRUE(device.waitFor("echoing", 5000)) << device.text();
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    std::string back;
    for (uint8_t value : { 0x00, 0x0D, 0x0A, 0x11, 0x13, 0xFF }) {
        ASSERT_EQ(port.WriteByte(value), 1);
        uint8_t byte = 0;
        ASSERT_EQ(port.ReadByte(byte), 1);
        back.push_back(static_cast<char>(byte));
    }
    EXPECT_EQ(back, std::string("\x00\x0D\x0A\x11\x13\xFF", 6));
    EXPECT_EQ(device.stop(SIGINT), 0);
}

TEST_F(DeviceRun, PacesItsRate)
{
    const auto start = Clock::now();
    DeviceProcess device({ "--link", link(), "--rate", "2000" });
    ASSERT_TRUE(device.waitFor("bytes/s", 5000)) << device.text();
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    uint8_t byte = 0;
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(port.ReadByte(byte), 1) << "at " << i;
        ASSERT_EQ(byte, i % 128);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Since it started, the device cannot have sent 400 bytes at 2000 bytes/s in
    // less than 0.2 s.
    EXPECT_GE(seconds, 0.2);
    EXPECT_EQ(device.stop(SIGTERM), 0);
}

TEST_F(DeviceRun, LogsEachByteWithItsTime)
{
    const std::string logPath = home.root() + "/received.log";
    DeviceProcess device({ "--link", link(), "--log", logPath });
    ASSERT_TRUE(device.waitFor("recording", 5000)) << device.text();
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    for (uint8_t value : { 0x01, 0xA5, 0x7F }) {
        ASSERT_EQ(port.WriteByte(value), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(device.stop(SIGTERM), 0);

    std::ifstream log(logPath);
    std::vector<long long> times;
    std::vector<std::string> bytes;
    long long us = 0;
    std::string hex;
    while (log >> us >> hex) {
        times.push_back(us);
        bytes.push_back(hex);
    }
    ASSERT_EQ(bytes, (std::vector<std::string> { "01", "A5", "7F" }));
    // Written 50 ms apart; the device may be late to read one of them.
    EXPECT_GE(times[1] - times[0], 10000);
    EXPECT_GE(times[2] - times[1], 10000);
}

TEST_F(DeviceRun, StalledDeviceBacksTheLineUp)
{
    DeviceProcess device({ "--link", link(), "--stall" });
    ASSERT_TRUE(device.waitFor("reading nothing", 5000)) << device.text();
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    int written = 0;
    while (written < 4 * 1024 * 1024 && port.WriteByte(0x55) == 1)
        ++written;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 4 * 1024 * 1024);
    EXPECT_EQ(device.stop(SIGTERM), 0);
}

TEST_F(DeviceRun, RefusesBadArgumentsAndToReplaceAFile)
{
    DeviceProcess badRate({ "--rate", "fast" });
    EXPECT_NE(badRate.wait(), 0);
    badRate.waitFor("--rate", 1000);
    EXPECT_NE(badRate.text().find("--rate"), std::string::npos) << badRate.text();

    std::ofstream(home.bytewayFolder() + "/com1") << "settings";
    DeviceProcess onAFile({ "--link", link() });
    EXPECT_NE(onAFile.wait(), 0);
    std::ifstream kept(link());
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "settings");
}

} // namespace
