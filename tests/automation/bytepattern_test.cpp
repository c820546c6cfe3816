// The streaming regular expressions: what they match, what they refuse, and that a
// pathological expression costs no more per byte than any other.

#include "automation/bytepattern.h"
#include "rowname.h"

#include <gtest/gtest.h>

namespace {

struct MatchRow
{
    std::string name;
    std::string pattern;
    std::vector<std::string> reads;
    std::size_t matches;
};

class BytePatternMatches : public ::testing::TestWithParam<MatchRow>
{
};

TEST_P(BytePatternMatches, CountsTheMatches)
{
    Result<BytePattern> pattern = BytePattern::Compile(GetParam().pattern);
    ASSERT_TRUE(pattern.ok()) << pattern.status().reason();
    std::size_t matches = 0;
    for (const std::string &read : GetParam().reads) {
        matches += pattern->Feed(read);
    }
    EXPECT_EQ(matches, GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Rows, BytePatternMatches,
    ::testing::Values(MatchRow { "literal", "OK", { "xxOKyyOK" }, 2 },
        MatchRow { "across_reads", "READY", { "RE", "A", "DY" }, 1 },
        MatchRow { "class_and_plus", "T=[0-9]+;", { "T=;T=1;T=23", ";" }, 2 },
        MatchRow { "negated_class", "<[^>]+>", { "<a><>" }, 1 },
        MatchRow { "alternation", "OK|ERROR", { "ERROROK" }, 2 },
        MatchRow { "group_count", "(ab){2}", { "abxabab" }, 1 },
        MatchRow { "count_range", "a{2,3}b", { "ab aab aaaab" }, 2 },
        MatchRow { "optional", "colou?r", { "color colour" }, 2 },
        MatchRow { "dot_stops_at_line_end", "A.B", { "A\nB A-B" }, 1 },
        MatchRow { "escapes", "\\d\\s\\w\\x41\\r\\n", { "1 zA\r\n" }, 1 },
        MatchRow { "escaped_punctuation", "\\(1\\+1\\)", { "(1+1)" }, 1 },
        MatchRow { "start_only_at_start", "^AT", { "ATAT" }, 1 },
        MatchRow { "high_bytes", "\\xFF\\x00", { std::string("\xFF\x00", 2) }, 1 },
        MatchRow { "earliest_end", "OK.*", { "OK then" }, 1 },
        MatchRow { "pathological", "(a|aa)+b", { std::string(65536, 'a'), "b" }, 1 }),
    RowName());

struct RefusedRow
{
    std::string name;
    std::string pattern;
    std::string reason;
};

class BytePatternRefuses : public ::testing::TestWithParam<RefusedRow>
{
};

TEST_P(BytePatternRefuses, SaysWhy)
{
    Result<BytePattern> pattern = BytePattern::Compile(GetParam().pattern);
    ASSERT_FALSE(pattern.ok());
    EXPECT_NE(pattern.status().reason().find(GetParam().reason), std::string::npos)
        << pattern.status().reason();
}

INSTANTIATE_TEST_SUITE_P(Rows, BytePatternRefuses,
    ::testing::Values(RefusedRow { "empty", "", "empty" },
        RefusedRow { "open_group", "(ab", "at 4: unmatched (" },
        RefusedRow { "close_group", "ab)", "at 3: unmatched )" },
        RefusedRow { "open_class", "[ab", "unmatched [" },
        RefusedRow { "nothing_to_repeat", "*a", "nothing to repeat" },
        RefusedRow { "backwards_range", "[z-a]", "backwards" },
        RefusedRow { "bad_count", "a{3,1}", "a count in {}" },
        RefusedRow { "huge_count", "a{5000}", "a count in {}" },
        RefusedRow { "too_large", "(a{1000}){1000}", "too large" },
        RefusedRow { "back_reference", "(a)\\1", "\\1 is not supported" },
        RefusedRow { "look_ahead", "a(?=b)", "look-arounds" },
        RefusedRow { "dollar", "OK$", "$ is not supported" },
        RefusedRow { "matches_empty", "a*", "matches empty input" },
        RefusedRow { "short_hex", "\\x4", "two hexadecimal" }),
    RowName());

TEST(BytePattern, FindEndTakesTheEarliestEnd)
{
    Result<BytePattern> pattern = BytePattern::Compile("v[0-9]+\\.");
    ASSERT_TRUE(pattern.ok());
    EXPECT_EQ(pattern->FindEnd("boot v12. ready"), 9u);
    EXPECT_EQ(pattern->FindEnd("boot v12"), std::string_view::npos);
}

} // namespace
