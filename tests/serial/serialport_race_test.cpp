// Close and Open on one thread while another reads and writes without a lock, as the
// user-interface and receive threads do. Runs under ThreadSanitizer too.

#include "ptydevice.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 150;

// A pipe opened right after Close takes the lowest free descriptor numbers, which
// are the ones the port just gave up. A read that used a stale number would eat
// the marker byte waiting in it.
struct Decoy
{
    int readEnd = -1, writeEnd = -1;

    Decoy()
    {
        int ends[2];
        if (pipe(ends) == 0) {
            readEnd = ends[0];
            writeEnd = ends[1];
            fcntl(readEnd, F_SETFL, O_NONBLOCK);
            fcntl(writeEnd, F_SETFL, O_NONBLOCK);
            const char marker[2] = { 'Z', 'Z' };
            [[maybe_unused]] ssize_t n = ::write(writeEnd, marker, sizeof marker);
        }
    }
    // The marker bytes still waiting in the pipe.
    int markersLeft() const
    {
        char buffer[8];
        const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        return n > 0 ? static_cast<int>(n) : 0;
    }
    void close()
    {
        ::close(readEnd);
        ::close(writeEnd);
    }
};

TEST(SerialRace, CloseAndReopenWhileAnotherThreadReads)
{
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    // A steady supply of 'a' so the reader is inside real reads most of the time.
    ASSERT_TRUE(pty.send(std::string(3000, 'a')));

    std::atomic<bool> stop { false };
    std::atomic<int> received { 0 };
    std::atomic<int> foreign { 0 };
    std::thread reader([&] {
        uint8_t byte = 0;
        while (!stop.load()) {
            if (port.ReadByte(byte) == 1) {
                received.fetch_add(1);
                if (byte != 'a')
                    foreign.fetch_add(1);
            }
        }
    });

    std::vector<Decoy> decoys;
    int reopened = 0, closed = 0;
    for (int round = 0; round < kRounds; ++round) {
        pty.send(std::string(20, 'a'));
        std::this_thread::sleep_for(std::chrono::microseconds(300 + 37 * (round % 20)));
        if (port.Close())
            ++closed;
        decoys.emplace_back();
        if (port.Open(1, 57600, 0, 0, 8))
            ++reopened;
        port.WriteByte('w');
    }
    stop.store(true);
    reader.join();

    // Close waits for the reader to let go, so every reopen finds the device free.
    EXPECT_EQ(closed, kRounds);
    EXPECT_EQ(reopened, kRounds);
    EXPECT_GT(received.load(), 0);
    EXPECT_EQ(foreign.load(), 0);
    int eaten = 0;
    for (Decoy &decoy : decoys) {
        eaten += 2 - decoy.markersLeft();
        decoy.close();
    }
    EXPECT_EQ(eaten, 0) << "a read used a descriptor after Close";
    EXPECT_TRUE(port.Close());
}

// Devices that go away and come back while a reader, a writer, the watch and the
// user's own reopening all act on the port at once. Every round ends with the port
// open on the device of that round, which carries a byte both ways.
TEST(SerialRace, LossAndReconnectWhileOthersReadWriteAndReopen)
{
    TempConfigHome home;
    auto device = std::make_unique<PtyDevice>();
    home.link(1, device->slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    PortWatch watch(port, {}, std::chrono::milliseconds(1));
    std::atomic<bool> stop { false };
    std::thread reader([&] {
        uint8_t byte = 0;
        while (!stop.load())
            port.ReadByte(byte);
    });
    std::thread writer([&] {
        while (!stop.load())
            port.WriteByte(0x11);
    });
    for (int round = 0; round < 20; ++round) {
        device->unplug();
        device = std::make_unique<PtyDevice>();
        home.link(1, device->slaveName());
        if (round % 3 == 0) {
            // The settings dialog's close and reopen, racing the watch.
            port.Close();
            port.Open(1, 57600, 0, 0, 8);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (
            port.state() != SerialPort::State::Open && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(port.state(), SerialPort::State::Open) << "round " << round;
    }
    stop = true;
    reader.join();
    writer.join();
    // The last device is the one open: bytes pass both ways.
    device->receive(1 << 20, 50);
    ASSERT_EQ(port.WriteByte(0x42), 1);
    EXPECT_NE(device->receive(1 << 20, 500).find('B'), std::string::npos);
    ASSERT_TRUE(device->send("C"));
    uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), 1);
    EXPECT_EQ(byte, 'C');
}

// Two devices with bytes of their own, the port switching between their numbers
// while the reader keeps reading with bytes read ahead. A ReadByte call that began
// after an Open had returned and ended before the next Close began must give a
// byte of the device then open, never one read ahead from the other.
TEST(SerialRace, SwitchingDevicesNeverDeliversTheOtherDevicesBytes)
{
    TempConfigHome home;
    PtyDevice devices[2];
    const char fill[2] = { 'a', 'b' };
    home.link(1, devices[0].slaveName());
    home.link(2, devices[1].slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();

    // Even: the port is open on device (phase / 2) % 2 and its Open has returned;
    // odd: a Close and an Open are under way.
    std::atomic<int> phase { 0 };
    std::atomic<bool> stop { false };
    std::atomic<int> checked { 0 };
    std::atomic<int> wrong { 0 };
    std::thread reader([&] {
        uint8_t byte = 0;
        while (!stop.load()) {
            const int before = phase.load();
            const int result = port.ReadByte(byte);
            if (result == 1 && before % 2 == 0 && phase.load() == before) {
                checked.fetch_add(1);
                if (byte != fill[(before / 2) % 2])
                    wrong.fetch_add(1);
            }
            // A slow reader, so that a switch mostly finds bytes read ahead.
            if (result == 1 && checked.load() % 8 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });

    int reopened = 0;
    for (int round = 0; round < kRounds; ++round) {
        const int open = round % 2; // the device open in this round
        devices[open].send(std::string(300, fill[open]));
        std::this_thread::sleep_for(std::chrono::microseconds(200 + 53 * (round % 15)));
        phase.fetch_add(1);
        port.Close();
        if (port.Open(2 - open, 57600, 0, 0, 8))
            ++reopened;
        phase.fetch_add(1);
    }
    stop.store(true);
    reader.join();

    EXPECT_EQ(reopened, kRounds);
    EXPECT_GT(checked.load(), 0);
    EXPECT_EQ(wrong.load(), 0) << "of " << checked.load() << " bytes checked";
    EXPECT_TRUE(port.Close());
}

} // namespace
