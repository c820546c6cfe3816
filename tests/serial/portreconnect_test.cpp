// A device that goes away and comes back: the demo device stopped and started again
// on the same link (a new pseudo-terminal behind it), seen through SerialPort and
// PortWatch as the application sees it.

#include "deviceprocess.h"
#include "ptydevice.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// CPU time (user + system) of the whole process so far, in milliseconds.
double ProcessCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Reads the port on a thread of its own as the receive thread does, counting bytes.
class Reader
{
public:
    explicit Reader(SerialPort &port)
        : m_thread([this, &port] {
            uint8_t byte = 0;
            while (!m_stop.load()) {
                if (port.ReadByte(byte) == 1)
                    m_count.fetch_add(1);
            }
        })
    { }
    ~Reader()
    {
        m_stop = true;
        m_thread.join();
    }
    long count() const { return m_count.load(); }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<long> m_count { 0 };
    std::thread m_thread;
};

class PortReconnect : public ::testing::Test
{
protected:
    std::string link() const { return home.bytewayFolder() + "/com1"; }

    std::unique_ptr<DeviceProcess> startDevice(const std::vector<std::string> &mode)
    {
        std::vector<std::string> args { "--link", link() };
        args.insert(args.end(), mode.begin(), mode.end());
        auto device = std::make_unique<DeviceProcess>(args);
        EXPECT_TRUE(device->waitFor("linked " + link(), 5000)) << device->text();
        return device;
    }

    // While the device is away, the reading thread and the watch together use far
    // less than a core: neither spins on the dead port.
    static void expectQuietForOneSecond()
    {
        const double before = ProcessCpuMs();
        const auto start = Clock::now();
        std::this_thread::sleep_for(1s);
        const double wallMs
            = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        EXPECT_LT(ProcessCpuMs() - before, 0.2 * wallMs) << "CPU time while the device is gone";
    }

    TempConfigHome home;
    SerialPort port;
};

TEST_F(PortReconnect, ReceptionGoesOnWhenTheDeviceComesBack)
{
    auto device = startDevice({ "--pattern", "128", "--rate", "2000" });
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    PortWatch watch(port);
    Reader reader(port);
    ASSERT_TRUE(waitUntil([&] { return reader.count() > 100; }, 5s));

    EXPECT_EQ(device->stop(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Lost; }, 2s));
    expectQuietForOneSecond();
    EXPECT_EQ(port.state(), SerialPort::State::Lost);
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::Missing) << port.lastError();

    const long before = reader.count();
    device = startDevice({ "--pattern", "128", "--rate", "2000" });
    const auto back = Clock::now();
    // The watch looks every 500 ms; the limit leaves room for a loaded machine.
    ASSERT_TRUE(waitUntil([&] { return reader.count() > before + 10; }, 3s));
    const auto resumedMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - back).count();
    EXPECT_LT(resumedMs, 2000) << "reception resumed " << resumedMs << " ms after the device";
    EXPECT_EQ(port.state(), SerialPort::State::Open);
}

TEST_F(PortReconnect, IdlePortNoticesTheLossAndSendsAfterTheReturn)
{
    auto device = startDevice({ "--echo" });
    ASSERT_TRUE(port.Open(1, 9600, 0, 0, 8)) << port.lastError();
    PortWatch watch(port);

    EXPECT_EQ(device->stop(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Lost; }, 3s));
    expectQuietForOneSecond();
    EXPECT_EQ(port.WriteByte(0x55), 0) << "no device to write to";

    device = startDevice({ "--echo" });
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Open; }, 3s));
    // The settings of the first opening apply again.
    EXPECT_EQ(port.lastSettings().baudRate, 9600);
    ASSERT_EQ(port.WriteByte(0xA5), 1);
    uint8_t byte = 0;
    ASSERT_EQ(port.ReadByte(byte), 1);
    EXPECT_EQ(byte, 0xA5);
}

TEST_F(PortReconnect, ClosedPortIsNotReopened)
{
    auto device = startDevice({ "--echo" });
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    PortWatch watch(port);
    EXPECT_EQ(device->stop(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Lost; }, 3s));

    EXPECT_TRUE(port.Close()) << "the user closes the port they had open";
    EXPECT_EQ(port.state(), SerialPort::State::Closed);
    device = startDevice({ "--echo" });
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(port.state(), SerialPort::State::Closed);
    // Nobody holds the device: another opener gets it.
    SerialPort other;
    EXPECT_TRUE(other.Open(1, 57600, 0, 0, 8)) << other.lastError();
}

TEST_F(PortReconnect, WatchReportsEachChangeOfState)
{
    auto device = startDevice({ "--echo" });
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    std::atomic<int> changes { 0 };
    PortWatch watch(
        port, [&] { changes.fetch_add(1); }, 50ms);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(changes.load(), 0) << "nothing changed yet";
    EXPECT_EQ(device->stop(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return changes.load() == 1; }, 3s));
    EXPECT_EQ(port.state(), SerialPort::State::Lost);
    device = startDevice({ "--echo" });
    ASSERT_TRUE(waitUntil([&] { return changes.load() == 2; }, 3s));
    EXPECT_EQ(port.state(), SerialPort::State::Open);
}

// The user's own reopening (the settings dialog) while the watch retries: whatever
// the interleaving, the port ends up open on the device exactly once.
TEST_F(PortReconnect, ReopeningByHandWhileTheWatchRetries)
{
    auto device = startDevice({ "--echo" });
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    PortWatch watch(port, {}, 1ms);
    Reader reader(port);
    EXPECT_EQ(device->stop(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Lost; }, 3s));
    device = startDevice({ "--echo" });
    for (int i = 0; i < 50; ++i) {
        port.Close();
        port.Open(1, 57600, 0, 0, 8);
    }
    ASSERT_TRUE(waitUntil([&] { return port.state() == SerialPort::State::Open; }, 3s));
    EXPECT_EQ(port.WriteByte(0x42), 1);
}

} // namespace
