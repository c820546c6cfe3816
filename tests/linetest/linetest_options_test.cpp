// byteway-linetest's command line: what it reads and what it refuses, and the pass
// rule its exit status rests on.

#include "linetest/linetestoptions.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct OptionsRow
{
    std::string name;
    std::vector<std::string> args;
    std::string refusal; // part of the reason; empty: accepted
    std::string device {};
    int port = 0;
    int32_t baud = 0;
    uint8_t data = 0, parity = 0, stop = 0;
    LineMode mode = LineMode::Loopback;
    double seconds = 0;
    uint64_t bytes = 0;
};

class CommandLine : public ::testing::TestWithParam<OptionsRow>
{
};

TEST_P(CommandLine, ReadsOrRefuses)
{
    const OptionsRow &row = GetParam();
    LineTestOptions options;
    const Status status = ParseLineTestOptions(row.args, options);
    if (!row.refusal.empty()) {
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.kind(), ErrorKind::Invalid);
        EXPECT_NE(status.reason().find(row.refusal), std::string::npos) << status.reason();
        return;
    }
    ASSERT_TRUE(status.ok()) << status.reason();
    EXPECT_EQ(options.device, row.device);
    EXPECT_EQ(options.port, row.port);
    EXPECT_EQ(options.config.framing.baudRate, row.baud);
    EXPECT_EQ(options.config.framing.dataBits, row.data);
    EXPECT_EQ(options.config.framing.parity, row.parity);
    EXPECT_EQ(options.config.framing.stopBits, row.stop);
    EXPECT_EQ(options.config.mode, row.mode);
    EXPECT_EQ(options.config.seconds, row.seconds);
    EXPECT_EQ(options.config.bytes, row.bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandLine,
    ::testing::Values(OptionsRow { "defaults", { "--device", "/dev/ttyUSB0" }, "", "/dev/ttyUSB0",
                          0, 115200, 8, 0, 0, LineMode::Loopback, 10, 0 },
        OptionsRow { "everything",
            { "--port=3", "--baud", "3000000", "--data", "7", "--parity", "mark", "--stop", "1.5",
                "--mode", "receive", "--bytes", "5000" },
            "", "", 3, 3000000, 7, 3, 1, LineMode::Receive, 0, 5000 },
        OptionsRow { "seconds", { "--device", "x", "--seconds", "2.5", "--mode=transmit" }, "", "x",
            0, 115200, 8, 0, 0, LineMode::Transmit, 2.5, 0 },
        OptionsRow { "no_line", { "--bytes", "10" }, "--device PATH or --port N" },
        OptionsRow {
            "both_lines", { "--device", "x", "--port", "1" }, "--device PATH or --port N" },
        OptionsRow { "port_range", { "--port", "9" }, "1 to 8" },
        OptionsRow { "data_bits", { "--device", "x", "--data", "9" }, "5, 6, 7 or 8" },
        OptionsRow { "parity", { "--device", "x", "--parity", "even1" }, "none, odd, even" },
        OptionsRow { "stop", { "--device", "x", "--stop", "3" }, "1, 1.5 or 2" },
        OptionsRow {
            "mode", { "--device", "x", "--mode", "echo" }, "loopback, receive or transmit" },
        OptionsRow { "ber_range", { "--device", "x", "--max-ber", "2" }, "from 0 to 1" },
        OptionsRow { "timeout", { "--device", "x", "--timeout", "0" }, "a number of seconds" },
        OptionsRow { "missing_value", { "--device" }, "needs a value" },
        OptionsRow { "flag_with_value", { "--help=yes" }, "takes no value" },
        OptionsRow { "unknown", { "--device", "x", "--verbose" }, "unknown argument" }),
    RowName());

struct PassRow
{
    std::string name;
    uint64_t corrupted;
    uint64_t checked;
    std::optional<double> maxBer;
    std::optional<uint64_t> maxErrors;
    bool failed; // the run itself failed
    bool passes;
};

class PassRule : public ::testing::TestWithParam<PassRow>
{
};

TEST_P(PassRule, Decides)
{
    const PassRow &row = GetParam();
    LineTestSnapshot figures;
    figures.counts.corrupted = row.corrupted;
    figures.counts.bitErrors = row.corrupted;
    figures.counts.checked = row.checked;
    figures.berUpperBound = row.checked ? 3.0 / (8.0 * static_cast<double>(row.checked)) : 1;
    if (row.failed) {
        figures.failure = Status(ErrorKind::Lost, "gone");
    }
    EXPECT_EQ(
        LineTestPassed(figures, LineMode::Loopback, { row.maxBer, row.maxErrors }), row.passes);
}

// 1e6 bytes checked without errors bound the rate at 3.75e-7.
INSTANTIATE_TEST_SUITE_P(Rows, PassRule,
    ::testing::Values(PassRow { "clean", 0, 1000000, {}, {}, false, true },
        PassRow { "one_error", 1, 1000000, {}, {}, false, false },
        PassRow { "within_max_errors", 3, 1000000, {}, 3, false, true },
        PassRow { "over_max_errors", 4, 1000000, {}, 3, false, false },
        PassRow { "bound_low_enough", 0, 1000000, 1e-6, {}, false, true },
        PassRow { "bound_too_high", 0, 1000000, 1e-7, {}, false, false },
        PassRow { "nothing_checked", 0, 0, {}, {}, false, false },
        PassRow { "run_failed", 0, 1000000, {}, {}, true, false }),
    RowName());

} // namespace
