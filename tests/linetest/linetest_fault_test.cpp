// The engine over a real pseudo-terminal, with the demo device putting known faults
// into what it sends back (or sends): every fault is counted and placed.

#include "deviceprocess.h"
#include "linetest/devicechannel.h"
#include "linetest/linetest.h"
#include "ptydevice.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Place
{
    uint64_t offset;
    ByteFault fault;
};

struct FaultRow
{
    std::string name;
    std::vector<std::string> device; // byteway-device's fault options and mode
    LineMode mode;
    PatternKind pattern;
    uint64_t bytes;
    uint64_t corrupted, lost, inserted;
    std::vector<Place> places; // the first places, in order
};

class EngineFaults : public ::testing::TestWithParam<FaultRow>
{
};

TEST_P(EngineFaults, CountsWhatTheDeviceDid)
{
    const FaultRow &row = GetParam();
    const TempConfigHome home;
    const std::string link = home.root() + "/line";
    std::vector<std::string> args { "--link", link };
    args.insert(args.end(), row.device.begin(), row.device.end());
    DeviceProcess device(args);
    ASSERT_TRUE(device.waitFor("linked", 5000));

    LineFraming framing;
    auto channel = DeviceChannel::Open(link, framing);
    ASSERT_TRUE(channel) << channel.status().reason();
    LineTestConfig config;
    config.mode = row.mode;
    config.bytes = row.bytes;
    config.framing = framing;
    config.drainMs = 1500;
    LineTest test(**channel, PatternGenerator(row.pattern), config);
    test.Start();
    test.Wait();
    const LineTestSnapshot figures = test.snapshot();

    EXPECT_TRUE(figures.failure.ok()) << figures.failure.reason();
    EXPECT_EQ(figures.counts.corrupted, row.corrupted);
    EXPECT_EQ(figures.counts.lost, row.lost);
    EXPECT_EQ(figures.counts.inserted, row.inserted);
    if (row.mode == LineMode::Loopback) {
        EXPECT_EQ(figures.sent, row.bytes);
        EXPECT_EQ(figures.counts.checked, row.bytes);
        EXPECT_GT(figures.latencySamples, 0u);
        EXPECT_LE(figures.latencyMinMs, figures.latencyMedianMs);
        EXPECT_LE(figures.latencyMedianMs, figures.latencyP99Ms);
    }
    ASSERT_GE(test.placeCount(), row.places.size());
    for (std::size_t i = 0; i < row.places.size(); ++i) {
        EXPECT_EQ(test.places()[i].offset, row.places[i].offset) << "place " << i;
        EXPECT_EQ(test.places()[i].fault, row.places[i].fault) << "place " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Device, EngineFaults,
    ::testing::Values(FaultRow { "echo_clean", { "--echo" }, LineMode::Loopback,
                          PatternKind::Prbs15, 100000, 0, 0, 0, {} },
        FaultRow { "echo_corrupt_every_1000", { "--echo", "--corrupt", "1000" }, LineMode::Loopback,
            PatternKind::Prbs31, 10000, 10, 0, 0,
            { { 999, ByteFault::Corrupted }, { 1999, ByteFault::Corrupted },
                { 2999, ByteFault::Corrupted } } },
        FaultRow { "echo_flip_drop_insert",
            { "--echo", "--flip", "1500:7", "--drop", "4000:5", "--insert", "7000:0x00" },
            LineMode::Loopback, PatternKind::Prbs15, 12000, 1, 5, 1,
            { { 1500, ByteFault::Corrupted }, { 4000, ByteFault::Lost }, { 4001, ByteFault::Lost },
                { 4002, ByteFault::Lost }, { 4003, ByteFault::Lost }, { 4004, ByteFault::Lost },
                { 7000, ByteFault::Inserted } } },
        FaultRow { "echo_pause", { "--echo", "--pause", "3000:400", "--flip", "6000" },
            LineMode::Loopback, PatternKind::Counting, 9000, 1, 0, 0,
            { { 6000, ByteFault::Corrupted } } },
        FaultRow { "receive_counting_drop_insert",
            { "--pattern", "256", "--count", "20000", "--drop", "5000:3", "--insert", "9000:0x07" },
            LineMode::Receive, PatternKind::Counting, 19998, 0, 3, 1,
            { { 5000, ByteFault::Lost }, { 5001, ByteFault::Lost }, { 5002, ByteFault::Lost },
                { 9000, ByteFault::Inserted } } }),
    RowName());

TEST(EngineOpen, MissingDeviceSaysSo)
{
    auto channel = DeviceChannel::Open("/nonexistent/ttyLINE", LineFraming());
    ASSERT_FALSE(channel);
    EXPECT_EQ(channel.status().kind(), ErrorKind::NotFound);
    EXPECT_NE(channel.status().reason().find("/nonexistent/ttyLINE"), std::string::npos);
}

TEST(EngineOpen, NotASerialDevice)
{
    auto channel = DeviceChannel::Open("/dev/null", LineFraming());
    ASSERT_FALSE(channel);
    EXPECT_EQ(channel.status().kind(), ErrorKind::NotSerial);
}

// A loopback with fewer data bits, or with old bytes waiting in the input: only the
// data bits go out and count, and the old bytes are not taken for the pattern.
struct LoopRow
{
    std::string name;
    int dataBits;
    std::vector<std::string> device; // besides --echo and --log
};

class LoopbackLine : public ::testing::TestWithParam<LoopRow>
{
};

TEST_P(LoopbackLine, CountsOnlyTheDataBits)
{
    const LoopRow &row = GetParam();
    const TempConfigHome home;
    std::vector<std::string> args { "--link", home.root() + "/line", "--echo", "--log",
        home.root() + "/log" };
    args.insert(args.end(), row.device.begin(), row.device.end());
    DeviceProcess device(args);
    ASSERT_TRUE(device.waitFor("linked", 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // what it sends first waits
    LineTestConfig config;
    config.bytes = 20000;
    config.framing.dataBits = static_cast<uint8_t>(row.dataBits);
    auto channel = DeviceChannel::Open(home.root() + "/line", config.framing);
    ASSERT_TRUE(channel) << channel.status().reason();
    LineTest test(**channel, PatternGenerator(PatternKind::Prbs15), config);
    test.Start();
    test.Wait();
    const LineTestSnapshot figures = test.snapshot();
    EXPECT_EQ(figures.counts.errors(), 0u);
    EXPECT_EQ(figures.bitsChecked(), 20000u * static_cast<uint64_t>(row.dataBits));
    std::ifstream log(home.root() + "/log");
    unsigned long long time = 0;
    unsigned byte = 0, wide = 0;
    while (log >> time >> std::hex >> byte >> std::dec) {
        wide += byte >> row.dataBits != 0;
    }
    EXPECT_EQ(wide, 0u) << "bytes went out with more than the data bits";
}

INSTANTIATE_TEST_SUITE_P(Device, LoopbackLine,
    ::testing::Values(LoopRow { "seven_bits", 7, {} },
        LoopRow { "stale_input", 8, { "--pattern", "256", "--count", "300" } }),
    RowName());

} // namespace
