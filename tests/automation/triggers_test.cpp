// The rules' engine in memory (scopes, limits, the rate pause, delays) and the
// runner against a pseudo-terminal device.

#include "automation/triggers.h"
#include "rowname.h"

#include <gtest/gtest.h>

namespace {

struct Feed
{
    std::string bytes;
    int64_t atMs;
};

struct EngineRow
{
    std::string name;
    TriggerRule rule;
    std::vector<Feed> feeds;
    uint64_t matched;
    uint64_t fired; // replies due by the last feed's time plus the delay
    bool paused;
};

TriggerRule Rule(Pattern::Kind kind, const std::string &match,
    MatchScope scope = MatchScope::Anywhere, int fireLimit = 0, int rate = 100)
{
    TriggerRule rule;
    rule.name = "r";
    rule.match = { kind, match };
    rule.scope = scope;
    rule.reply = { LineMode::Text, "OK", LineEnding::CrLf, Checksum::None };
    rule.fireLimit = fireLimit;
    rule.ratePerSecond = rate;
    return rule;
}

class TriggerEngineRows : public ::testing::TestWithParam<EngineRow>
{
};

TEST_P(TriggerEngineRows, CountsMatchesAndFires)
{
    const EngineRow &row = GetParam();
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create({ row.rule }, Utf8PassThrough());
    ASSERT_TRUE(engine.ok()) << engine.status().reason();
    std::size_t replies = 0;
    for (const Feed &feed : row.feeds) {
        (*engine)->Feed(feed.bytes, feed.atMs);
        for (const auto &reply : (*engine)->TakeDue(feed.atMs + row.rule.delayMs)) {
            EXPECT_EQ(reply.bytes, "OK\r\n");
            ++replies;
        }
    }
    const TriggerEngine::Counts counts = (*engine)->counts(0);
    EXPECT_EQ(counts.matched, row.matched);
    EXPECT_EQ(counts.fired, row.fired);
    EXPECT_EQ(replies, row.fired);
    EXPECT_EQ(counts.paused, row.paused);
    EXPECT_EQ((*engine)->TakeMessages().size(), row.paused ? 1u : 0u);
}

TriggerRule Disabled()
{
    TriggerRule rule = Rule(Pattern::Kind::Text, "AT");
    rule.enabled = false;
    return rule;
}

using K = Pattern::Kind;
using S = MatchScope;

INSTANTIATE_TEST_SUITE_P(Rows, TriggerEngineRows,
    ::testing::Values(
        EngineRow { "text_in_the_middle", Rule(K::Text, "AT"), { { "xxATyy", 0 } }, 1, 1, false },
        EngineRow { "across_two_reads", Rule(K::Text, "AT\\r"),
            { { "xA", 0 }, { "T", 5 }, { "\r", 9 } }, 1, 1, false },
        EngineRow { "hex_pattern", Rule(K::Hex, "01 03"),
            { { std::string("\x00\x01", 2), 0 }, { "\x03", 1 } }, 1, 1, false },
        EngineRow { "overlap_counted_once", Rule(K::Text, "AA"), { { "AAA", 0 } }, 1, 1, false },
        EngineRow { "line_breaks_a_match", Rule(K::Text, "AT", S::Line),
            { { "A\nT", 0 }, { "xAT\n", 1 } }, 1, 1, false },
        EngineRow { "line_across_reads", Rule(K::Text, "AT", S::Line),
            { { "A", 0 }, { "T\n", 500 } }, 1, 1, false },
        EngineRow { "frame_gap_breaks_a_match", Rule(K::Text, "AT", S::Frame),
            { { "A", 0 }, { "T", 50 } }, 0, 0, false },
        EngineRow { "frame_without_gap", Rule(K::Text, "AT", S::Frame), { { "A", 0 }, { "T", 5 } },
            1, 1, false },
        EngineRow {
            "fire_once", Rule(K::Text, "AT", S::Anywhere, 1), { { "ATATAT", 0 } }, 3, 1, false },
        EngineRow { "fire_n_times", Rule(K::Text, "AT", S::Anywhere, 2),
            { { "AT", 0 }, { "AT", 1 }, { "ATAT", 2 } }, 4, 2, false },
        EngineRow { "rate_pause", Rule(K::Text, "AT", S::Anywhere, 0, 3), { { "ATATATATAT", 0 } },
            5, 3, true },
        EngineRow { "rate_window_moves_on", Rule(K::Text, "AT", S::Anywhere, 0, 2),
            { { "ATAT", 0 }, { "ATAT", 1000 } }, 4, 4, false },
        EngineRow { "regex_twice", Rule(K::Regex, "T=[0-9]+;"), { { "T=12;T=3", 0 }, { ";", 1 } },
            2, 2, false },
        EngineRow { "regex_within_line", Rule(K::Regex, "A.*B", S::Line),
            { { "A\nB", 0 }, { "A-B\n", 1 } }, 1, 1, false },
        EngineRow { "disabled", Disabled(), { { "AT", 0 } }, 0, 0, false }),
    RowName());

TEST(TriggerEngine, RepliesWhenTheDelayIsOverInDueOrder)
{
    TriggerRule slow = Rule(K::Text, "S");
    slow.delayMs = 100;
    slow.reply.source = "slow";
    TriggerRule quick = Rule(K::Text, "Q");
    quick.delayMs = 10;
    quick.reply.source = "quick";
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create({ slow, quick }, Utf8PassThrough());
    ASSERT_TRUE(engine.ok());
    (*engine)->Feed("SQ", 1000);
    EXPECT_EQ((*engine)->nextDueMs(), 1010);
    EXPECT_TRUE((*engine)->TakeDue(1009).empty());
    auto due = (*engine)->TakeDue(1099);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].rule, 1u);
    due = (*engine)->TakeDue(1100);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].bytes, "slow\r\n");
    EXPECT_EQ((*engine)->nextDueMs(), -1);
}

TEST(TriggerEngine, ResumeLetsAPausedRuleFireAgain)
{
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create({ Rule(K::Text, "AT", S::Anywhere, 0, 1) }, Utf8PassThrough());
    ASSERT_TRUE(engine.ok());
    (*engine)->Feed("ATAT", 0);
    EXPECT_TRUE((*engine)->counts(0).paused);
    (*engine)->Resume(0);
    (*engine)->Feed("AT", 1);
    EXPECT_EQ((*engine)->TakeDue(1).size(), 2u);
}

TEST(TriggerEngine, RefusesARuleThatCannotBeUsedWithItsName)
{
    TriggerRule broken = Rule(K::Regex, "([a-z]");
    broken.name = "broken one";
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create({ broken }, Utf8PassThrough());
    ASSERT_FALSE(engine.ok());
    EXPECT_EQ(engine.status().reason().rfind("rule \"broken one\": the regular expression", 0), 0u)
        << engine.status().reason();
}

// A stream with no match and no line end keeps a regular expression's work to the
// window: the window never grows past it.
TEST(TriggerEngine, RegexWindowStaysBounded)
{
    Result<std::unique_ptr<TriggerEngine>> engine
        = TriggerEngine::Create({ Rule(K::Regex, "(a|aa)+b") }, Utf8PassThrough());
    ASSERT_TRUE(engine.ok());
    for (int i = 0; i < 64; ++i) {
        (*engine)->Feed(std::string(1024, 'a'), i);
    }
    (*engine)->Feed("b", 100);
    EXPECT_EQ((*engine)->counts(0).matched, 1u);
}

} // namespace
