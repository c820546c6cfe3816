// The demo device's command line.

#include "deviceoptions.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct OptionsCase
{
    const char *name;
    std::vector<std::string> args;
    bool ok;
    // Expected values when ok.
    std::string link;
    int pattern;
    int64_t rate, count;
    bool sending, echo;
    std::string log;
};

void PrintTo(const OptionsCase &row, std::ostream *out)
{
    *out << row.name;
}

class DeviceOptionsParse : public ::testing::TestWithParam<OptionsCase>
{
};

TEST_P(DeviceOptionsParse, ReadsOrRefuses)
{
    const OptionsCase &c = GetParam();
    setenv("HOME", "/home/tester", 1);
    DeviceOptions options;
    const Status read = ParseDeviceOptions(c.args, options);
    ASSERT_EQ(read.ok(), c.ok) << read.reason();
    if (!read) {
        EXPECT_EQ(read.kind(), ErrorKind::Invalid);
        EXPECT_FALSE(read.reason().empty());
        return;
    }
    EXPECT_EQ(options.link, c.link);
    EXPECT_EQ(options.pattern, c.pattern);
    EXPECT_EQ(options.rate, c.rate);
    EXPECT_EQ(options.count, c.count);
    EXPECT_EQ(options.sending, c.sending);
    EXPECT_EQ(options.echo, c.echo);
    EXPECT_EQ(options.log, c.log);
}

OptionsCase good(const char *name, std::vector<std::string> args, std::string link, int pattern,
    int64_t rate, int64_t count, bool sending, bool echo, std::string log = {})
{
    return { name, std::move(args), true, std::move(link), pattern, rate, count, sending, echo,
        std::move(log) };
}

OptionsCase bad(const char *name, std::vector<std::string> args)
{
    return { name, std::move(args), false, {}, 0, 0, 0, false, false, {} };
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceOptionsParse,
    ::testing::Values(good("NothingMeansEcho", {}, "", 128, 0, -1, false, true),
        good("LinkOnlyEchoes", { "--link", "/tmp/com1" }, "/tmp/com1", 128, 0, -1, false, true),
        good("LinkWithEquals", { "--link=/tmp/com2" }, "/tmp/com2", 128, 0, -1, false, true),
        good("TildeExpanded", { "--link=~/.config/byteway/com1" },
            "/home/tester/.config/byteway/com1", 128, 0, -1, false, true),
        good("PatternAloneSendsWithoutEcho", { "--pattern", "16" }, "", 16, 0, -1, true, false),
        good("RateAloneSendsDefaultPattern", { "--rate", "9600" }, "", 128, 9600, -1, true, false),
        good("CountAndEcho", { "--count", "1000", "--echo" }, "", 128, 0, 1000, true, true),
        good("LogKeepsDefaultEcho", { "--log", "/tmp/l" }, "", 128, 0, -1, false, true, "/tmp/l"),
        good("PatternBounds", { "--pattern=256" }, "", 256, 0, -1, true, false),
        good("PatternOne", { "--pattern", "1" }, "", 1, 0, -1, true, false),
        good("RateZeroIsFull", { "--rate", "0", "--count", "5" }, "", 128, 0, 5, true, false),
        good("StallNeitherEchoesNorSends", { "--stall" }, "", 128, 0, -1, false, false),
        bad("StallWithEcho", { "--stall", "--echo" }),
        bad("StallWithLog", { "--stall", "--log", "/tmp/l" }),
        bad("PatternZero", { "--pattern", "0" }), bad("Pattern257", { "--pattern", "257" }),
        bad("PatternNotANumber", { "--pattern", "1x" }), bad("NegativeRate", { "--rate", "-1" }),
        bad("CountZero", { "--count", "0" }), bad("CountMissingValue", { "--count" }),
        bad("LinkEmpty", { "--link=" }), bad("UnknownFlag", { "--baud", "9600" }),
        bad("EchoWithValue", { "--echo=1" }), bad("StrayWord", { "com1" })),
    RowName());

TEST(DeviceOptions, HelpIsRecognisedAndUsageNamesEveryFlag)
{
    DeviceOptions options;
    ASSERT_TRUE(ParseDeviceOptions({ "--help" }, options).ok());
    EXPECT_TRUE(options.help);
    const std::string usage = DeviceUsage();
    for (const char *flag :
        { "--link", "--pattern", "--rate", "--count", "--echo", "--log", "--stall" })
        EXPECT_NE(usage.find(flag), std::string::npos) << flag;
}

} // namespace
