// The read-ahead behind ReadByte on real pseudo-terminals: whatever chunks the
// device sends, the bytes come out one by one exactly as written; bytes read ahead
// never outlive a Close, an Open or a change of the port number; a device that
// vanishes with bytes read ahead costs no spinning.

#include "ptydevice.h"
#include "rowname.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <thread>

#include <sys/ioctl.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Bytes waiting in the terminal's input queue (shared by every opener of the slave).
int waitingOnSlave(const PtyDevice &pty)
{
    int waiting = -1;
    ioctl(pty.slave(), FIONREAD, &waiting);
    return waiting;
}

// Waits until the terminal holds `count` bytes for its readers.
bool arrived(const PtyDevice &pty, int count)
{
    const auto start = Clock::now();
    while (waitingOnSlave(pty) < count) {
        if (msSince(start) > 2000)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// ---- the stream: every byte once, in order, whatever the chunks -------------

struct StreamCase
{
    const char *name;
    std::size_t total; // bytes written in all
    std::size_t minChunk, maxChunk; // the sizes of the device's writes
    int pauseOneIn; // after about one write in this many the device pauses (0: never)
};

void PrintTo(const StreamCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialReadAheadStream : public ::testing::TestWithParam<StreamCase>
{
};

TEST_P(SerialReadAheadStream, EveryByteComesOutOnceInOrder)
{
    const StreamCase &c = GetParam();
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();

    std::mt19937 random(static_cast<unsigned>(c.total + c.maxChunk));
    std::string written(c.total, '\0');
    for (char &byte : written)
        byte = static_cast<char>(random() & 0xFF);

    bool sent = true;
    std::thread device([&] {
        std::mt19937 chunks(static_cast<unsigned>(c.minChunk * 31 + c.maxChunk));
        std::uniform_int_distribution<std::size_t> size(c.minChunk, c.maxChunk);
        std::uniform_int_distribution<int> pause(0, std::max(c.pauseOneIn - 1, 0));
        for (std::size_t done = 0; done < written.size() && sent;) {
            const std::size_t chunk = std::min(size(chunks), written.size() - done);
            sent = pty.send(written.substr(done, chunk));
            done += chunk;
            // A pause lets the reader empty its read-ahead and wait in a poll.
            if (c.pauseOneIn > 0 && pause(chunks) == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(300 + chunks() % 2000));
        }
    });

    std::string received;
    received.reserve(written.size());
    uint8_t byte = 0;
    while (received.size() < written.size() && port.ReadByte(byte) == 1)
        received.push_back(static_cast<char>(byte));
    device.join();
    ASSERT_TRUE(sent);

    const auto [wrote, got]
        = std::mismatch(written.begin(), written.end(), received.begin(), received.end());
    EXPECT_EQ(received.size(), written.size());
    EXPECT_TRUE(wrote == written.end() && got == received.end())
        << "first difference at byte " << (wrote - written.begin());
    // Nothing beyond the stream either.
    EXPECT_EQ(port.ReadByte(byte), 0);
}

INSTANTIATE_TEST_SUITE_P(Chunks, SerialReadAheadStream,
    ::testing::Values(StreamCase { "SingleBytesWithPauses", 3000, 1, 1, 40 },
        StreamCase { "SmallChunks", 60000, 1, 64, 50 },
        StreamCase { "AroundTheReadAheadSize", 200000, SerialPort::kReadAheadSize - 100,
            SerialPort::kReadAheadSize + 100, 5 },
        StreamCase { "LargeChunks", 400000, 10000, 50000, 0 },
        StreamCase { "MixedWithPauses", 300000, 1, 20000, 3 }),
    RowName());

// ---- what happens to bytes read ahead when the port changes -----------------

// Port 1 is device A, port 2 device B. A has sent 200 times 'a' and one was read,
// so the other 199 wait in the read-ahead and none in the terminal.
struct Devices
{
    TempConfigHome home;
    PtyDevice a, b;
    SerialPort port;
};

struct ChangeCase
{
    const char *name;
    std::function<void(Devices &)> change;
    char next; // the byte ReadByte gives next, 0 for none
};

void PrintTo(const ChangeCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialReadAheadChange : public ::testing::TestWithParam<ChangeCase>
{
};

TEST_P(SerialReadAheadChange, BytesReadAheadAreNotDeliveredAfterwards)
{
    const ChangeCase &c = GetParam();
    Devices d;
    d.home.link(1, d.a.slaveName());
    d.home.link(2, d.b.slaveName());
    ASSERT_TRUE(d.port.Open(1, 57600, 0, 0, 8)) << d.port.lastError();
    ASSERT_TRUE(d.a.send(std::string(200, 'a')));
    ASSERT_TRUE(arrived(d.a, 200));
    uint8_t byte = 0;
    ASSERT_EQ(d.port.ReadByte(byte), 1);
    ASSERT_EQ(byte, 'a');
    ASSERT_EQ(waitingOnSlave(d.a), 0) << "the rest was not read ahead";

    c.change(d);

    EXPECT_EQ(d.port.ReadByte(byte), c.next ? 1 : 0);
    EXPECT_EQ(byte, static_cast<uint8_t>(c.next));
    EXPECT_EQ(d.port.ReadByte(byte), 0) << "then came " << static_cast<int>(byte);
}

INSTANTIATE_TEST_SUITE_P(Changes, SerialReadAheadChange,
    ::testing::Values(ChangeCase { "Close",
                          [](Devices &d) {
                              ASSERT_TRUE(d.port.Close());
                              // Bytes sent to the closed device stay in its terminal.
                              ASSERT_TRUE(d.a.send("A"));
                          },
                          0 },
        ChangeCase { "CloseAndReopenTheSameDevice",
            [](Devices &d) {
                ASSERT_TRUE(d.port.Close());
                ASSERT_TRUE(d.port.Open(1, 57600, 0, 0, 8)) << d.port.lastError();
                ASSERT_TRUE(d.a.send("A"));
                ASSERT_TRUE(arrived(d.a, 1));
            },
            'A' },
        ChangeCase { "CloseAndReopenTheNumberOnAnotherDevice",
            [](Devices &d) {
                ASSERT_TRUE(d.port.Close());
                d.home.link(1, d.b.slaveName());
                ASSERT_TRUE(d.port.Open(1, 57600, 0, 0, 8)) << d.port.lastError();
                ASSERT_TRUE(d.b.send("B"));
                ASSERT_TRUE(arrived(d.b, 1));
            },
            'B' },
        ChangeCase { "OpenAnotherNumber",
            [](Devices &d) {
                ASSERT_TRUE(d.port.Open(2, 57600, 0, 0, 8)) << d.port.lastError();
                ASSERT_TRUE(d.b.send("B"));
                ASSERT_TRUE(arrived(d.b, 1));
            },
            'B' },
        ChangeCase { "FailedOpenOfANumberWithoutDevice",
            [](Devices &d) { ASSERT_FALSE(d.port.Open(9, 57600, 0, 0, 8)); }, 0 },
        // Port 1 stays open throughout; its own new byte comes, not the old ones.
        ChangeCase { "NumberChangesAndComesBack",
            [](Devices &d) {
                ASSERT_TRUE(d.port.Open(2, 57600, 0, 0, 8)) << d.port.lastError();
                ASSERT_TRUE(d.port.Close());
                ASSERT_FALSE(d.port.Open(1, 57600, 0, 0, 8)) << "device A is still held";
                ASSERT_TRUE(d.a.send("A"));
                ASSERT_TRUE(arrived(d.a, 1));
            },
            'A' }),
    RowName());

// ---- a device that vanishes with bytes read ahead ----------------------------

TEST(SerialReadAheadUnplug, BytesReadBeforeComeOutThenNoSpinning)
{
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    ASSERT_TRUE(pty.send(std::string(200, 'a')));
    ASSERT_TRUE(arrived(pty, 200));
    uint8_t byte = 0;
    ASSERT_EQ(port.ReadByte(byte), 1);
    pty.unplug();

    // What was received before the device went away is whole and in order.
    int more = 0;
    while (port.ReadByte(byte) == 1) {
        ASSERT_EQ(byte, 'a');
        ASSERT_LT(++more, 200);
    }
    const double cpuBefore = ThreadCpuMs();
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte), 0);
    const double elapsed = msSince(start);
    EXPECT_GE(elapsed, 50.0);
    EXPECT_LT(ThreadCpuMs() - cpuBefore, elapsed / 2) << "elapsed " << elapsed << " ms";
}

} // namespace
