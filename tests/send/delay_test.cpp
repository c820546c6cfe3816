#include "send/delay.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

struct DelayCase
{
    const char *name;
    int32_t us;
    int64_t atLeastNs;
};

class DelayMicrosecondsTest : public ::testing::TestWithParam<DelayCase>
{
};

// Only the lower bound is a property of the delay; how close it gets is measured
// by the send benchmark.
TEST_P(DelayMicrosecondsTest, WaitsAtLeastTheDelay)
{
    const auto start = std::chrono::steady_clock::now();
    const int64_t countStart = HighResolutionCount();
    DelayMicroseconds(GetParam().us);
    const int64_t counted = HighResolutionCount() - countStart;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count(),
        GetParam().atLeastNs);
    if (GetParam().us >= 0) {
        EXPECT_GT(counted, 0) << "the counter must have moved";
    }
}

INSTANTIATE_TEST_SUITE_P(Delays, DelayMicrosecondsTest,
    ::testing::Values(DelayCase { "negative_returns", -1000000, 0 }, DelayCase { "zero", 0, 0 },
        DelayCase { "one", 1, 999 }, DelayCase { "hundred", 100, 99999 },
        DelayCase { "five_ms", 5000, 4999999 }),
    [](const auto &row) { return std::string(row.param.name); });

TEST(DelayMicrosecondsTest, FrequencyIsPositive)
{
    EXPECT_GT(HighResolutionFrequency(), 1e6);
}

} // namespace
