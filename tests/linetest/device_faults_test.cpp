// The demo device's fault options: what they read and what the stream becomes.

#include "deviceoptions.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FaultOptionRow
{
    std::string name;
    std::vector<std::string> args;
    bool ok;
    // What 0, 1, ..., 9 become on the way out (when ok).
    std::vector<int> output;
};

class DeviceFaultOptions : public ::testing::TestWithParam<FaultOptionRow>
{
};

TEST_P(DeviceFaultOptions, ReadAndApplied)
{
    const FaultOptionRow &row = GetParam();
    std::vector<std::string> args { "--echo" };
    args.insert(args.end(), row.args.begin(), row.args.end());
    DeviceOptions options;
    const Status read = ParseDeviceOptions(args, options);
    ASSERT_EQ(read.ok(), row.ok) << read.reason();
    if (!row.ok) {
        EXPECT_NE(read.reason().find(row.args.front()), std::string::npos) << read.reason();
        return;
    }
    FaultInjector injector(options.faults);
    std::string out;
    // In two pieces, so that faults work across the pieces' border.
    const unsigned char stream[] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 };
    injector.Process(stream, 4, out);
    injector.Process(stream + 4, 6, out);
    std::vector<int> bytes;
    for (char c : out) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    EXPECT_EQ(bytes, row.output);
}

INSTANTIATE_TEST_SUITE_P(Rows, DeviceFaultOptions,
    ::testing::Values(FaultOptionRow { "none", {}, true, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 } },
        FaultOptionRow {
            "corrupt_every_3", { "--corrupt", "3" }, true, { 0, 1, 3, 3, 4, 4, 6, 7, 9, 9 } },
        FaultOptionRow {
            "flip_bit", { "--flip", "4:7" }, true, { 0, 1, 2, 3, 132, 5, 6, 7, 8, 9 } },
        FaultOptionRow { "drop_across_pieces", { "--drop=3:2" }, true, { 0, 1, 2, 5, 6, 7, 8, 9 } },
        FaultOptionRow { "insert_hex", { "--insert", "0x4:0xFF", "--insert", "0" }, true,
            { 165, 0, 1, 2, 3, 255, 4, 5, 6, 7, 8, 9 } },
        FaultOptionRow { "pause_changes_no_byte", { "--pause", "2:100" }, true,
            { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 } },
        FaultOptionRow { "bit_out_of_range", { "--flip", "4:8" }, false, {} },
        FaultOptionRow { "pause_needs_time", { "--pause", "4" }, false, {} },
        FaultOptionRow { "drop_none", { "--drop", "3:0" }, false, {} },
        FaultOptionRow { "corrupt_zero", { "--corrupt", "0" }, false, {} },
        FaultOptionRow { "insert_byte_range", { "--insert", "1:256" }, false, {} }),
    RowName());

TEST(DeviceFaultPause, ComesWhereTheOffsetLandsInTheOutput)
{
    DeviceOptions options;
    ASSERT_TRUE(ParseDeviceOptions({ "--drop", "1:2", "--pause", "5:250" }, options).ok());
    FaultInjector injector(options.faults);
    std::string out;
    const unsigned char stream[] = { 0, 1, 2, 3, 4, 5, 6 };
    injector.Process(stream, sizeof stream, out);
    uint64_t at = 0;
    int64_t ms = 0;
    ASSERT_TRUE(injector.nextPause(at, ms));
    EXPECT_EQ(at, 3u); // 0, 3, 4 went out before byte 5
    EXPECT_EQ(ms, 250);
    injector.pauseTaken();
    EXPECT_FALSE(injector.nextPause(at, ms));
}

} // namespace
