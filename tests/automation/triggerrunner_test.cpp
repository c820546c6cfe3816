// Rules against a pseudo-terminal device: the device sends, the runner answers on
// the line.

#include "automation/triggerrunner.h"
#include "linetest/devicechannel.h"
#include "ptydevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

TriggerRule AnswerAt(int fireLimit = 0, int delayMs = 0, int rate = 100)
{
    TriggerRule rule;
    rule.name = "AT";
    rule.match = { Pattern::Kind::Text, "AT\\r" };
    rule.reply = { LineMode::Text, "OK", LineEnding::CrLf, Checksum::None };
    rule.fireLimit = fireLimit;
    rule.delayMs = delayMs;
    rule.ratePerSecond = rate;
    return rule;
}

class TriggerRunnerPty : public ::testing::Test
{
protected:
    void start(const TriggerRule &rule)
    {
        Result<std::unique_ptr<DeviceChannel>> channel
            = DeviceChannel::Open(m_device.slaveName(), LineFraming());
        ASSERT_TRUE(channel.ok()) << channel.status().reason();
        m_channel = std::move(*channel);
        Result<std::unique_ptr<TriggerEngine>> engine
            = TriggerEngine::Create({ rule }, Utf8PassThrough());
        ASSERT_TRUE(engine.ok()) << engine.status().reason();
        m_runner = std::make_unique<TriggerRunner>(
            *m_channel, std::move(*engine), [this](const std::string &message) {
                const std::lock_guard lock(m_lock);
                m_messages.push_back(message);
            });
        m_runner->Start();
    }
    // What the device receives within `ms` (everything, or the first `count` bytes).
    std::string answers(std::size_t count, int ms) { return m_device.receive(count, ms); }
    void TearDown() override { m_runner.reset(); }

    PtyDevice m_device;
    std::unique_ptr<DeviceChannel> m_channel;
    std::unique_ptr<TriggerRunner> m_runner;
    std::mutex m_lock;
    std::vector<std::string> m_messages;
};

TEST_F(TriggerRunnerPty, RepliesAfterTheDelay)
{
    start(AnswerAt(0, 150));
    const auto sent = Clock::now();
    ASSERT_TRUE(m_device.send("AT\r"));
    EXPECT_EQ(answers(4, 2000), "OK\r\n");
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(150));
    EXPECT_EQ(m_runner->counts(0).fired, 1u);
}

TEST_F(TriggerRunnerPty, MatchesAcrossTwoReads)
{
    start(AnswerAt());
    ASSERT_TRUE(m_device.send("xA"));
    // Long enough for the runner to read the first part on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(m_device.send("T\ry"));
    EXPECT_EQ(answers(4, 2000), "OK\r\n");
    EXPECT_EQ(m_runner->counts(0).matched, 1u);
}

struct LimitRow
{
    const char *name;
    int fireLimit;
    int polls;
    std::size_t answers;
};

class TriggerRunnerLimits : public TriggerRunnerPty, public ::testing::WithParamInterface<LimitRow>
{
};

TEST_P(TriggerRunnerLimits, FireOnlyAsOftenAsAllowed)
{
    start(AnswerAt(GetParam().fireLimit));
    for (int i = 0; i < GetParam().polls; ++i) {
        ASSERT_TRUE(m_device.send("AT\r"));
    }
    const std::string got = answers(4 * (GetParam().answers + 1), 600);
    EXPECT_EQ(got.size(), 4 * GetParam().answers) << got;
    const TriggerEngine::Counts counts = m_runner->counts(0);
    EXPECT_EQ(counts.matched, static_cast<uint64_t>(GetParam().polls));
    EXPECT_EQ(counts.fired, GetParam().answers);
}

INSTANTIATE_TEST_SUITE_P(Rows, TriggerRunnerLimits,
    ::testing::Values(LimitRow { "once", 1, 3, 1 }, LimitRow { "n_times", 3, 5, 3 },
        LimitRow { "every", 0, 4, 4 }),
    [](const ::testing::TestParamInfo<LimitRow> &row) { return std::string(row.param.name); });

// A reply that matches its own echo would flood the line: the rule is paused.
TEST_F(TriggerRunnerPty, RatePausesARuleWithAMessage)
{
    start(AnswerAt(0, 0, 5));
    std::string flood;
    for (int i = 0; i < 20; ++i) {
        flood += "AT\r";
    }
    ASSERT_TRUE(m_device.send(flood));
    EXPECT_EQ(answers(4 * 6, 600).size(), 4u * 5);
    EXPECT_TRUE(m_runner->counts(0).paused);
    const std::lock_guard lock(m_lock);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find("paused"), std::string::npos);
}

} // namespace
