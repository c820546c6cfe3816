#include "text/texttoint.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace {

struct ReadCase
{
    const char *name;
    std::string_view text;
    std::optional<int32_t> expected;
};

std::ostream &operator<<(std::ostream &out, const ReadCase &c)
{
    return out << c.name;
}

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr std::nullopt_t kFails = std::nullopt;

const ReadCase kReadCases[] = {
    { "empty", "", kFails },
    { "only_spaces", "   ", kFails },
    { "plain", "1000", 1000 },
    { "zero", "0", 0 },
    { "leading_zeros", "007", 7 },
    { "leading_spaces", "   12", 12 },
    { "leading_tab", "\t12", kFails },
    { "trailing_space", "12 ", kFails },
    { "trailing_letter", "12a", kFails },
    { "inner_space", "1 2", kFails },
    { "fraction", "1.5", kFails },
    { "exponent", "1e3", kFails },
    { "double_byte_digits", "\xA3\xB1", kFails },
    { "minus", "-5", -5 },
    { "plus", "+7", 7 },
    { "minus_zero", "-0", 0 },
    { "spaces_then_sign", "  -5", -5 },
    { "sign_alone", "-", kFails },
    { "plus_alone", "+", kFails },
    { "space_after_sign", "- 5", kFails },
    { "two_signs", "--5", kFails },
    { "sign_then_dollar", "-$10", kFails },
    { "sign_then_0x", "+0x10", kFails },
    { "int32_max", "2147483647", kMax },
    { "int32_max_plus_one", "2147483648", kFails },
    { "plus_int32_max_plus_one", "+2147483648", kFails },
    { "int32_min", "-2147483648", kMin },
    { "int32_min_minus_one", "-2147483649", kFails },
    { "many_digits", "99999999999999999999999", kFails },
    { "leading_zeros_at_max", "0002147483647", kMax },
    { "dollar_upper", "$1F", 31 },
    { "dollar_lower", "$1f", 31 },
    { "x_prefix", "x10", 16 },
    { "upper_x_prefix", "X10", 16 },
    { "0x_prefix", "0x10", 16 },
    { "0X_prefix", "0X1a", 26 },
    { "spaces_then_hex", "  $FF", 255 },
    { "dollar_alone", "$", kFails },
    { "0x_alone", "0x", kFails },
    { "x_alone", "x", kFails },
    { "hex_bad_digit", "$1G", kFails },
    { "hex_trailing_space", "$1F ", kFails },
    { "hex_space_after_prefix", "$ 1", kFails },
    { "hex_int32_max", "$7FFFFFFF", kMax },
    { "hex_high_bit_is_int32_min", "$80000000", kMin },
    { "hex_all_ones_is_minus_one", "$FFFFFFFF", -1 },
    { "0x_all_ones_is_minus_one", "0xffffffff", -1 },
    { "hex_u32_overflow", "$100000000", kFails },
    { "hex_leading_zeros_do_not_count", "$0000000000FFFFFFFF", -1 },
    { "hex_long_overflow", "$FFFFFFFFFFFFFFFFFFFF", kFails },
    { "double_prefix", "0x0x1", kFails },
    { "zero_zero_x", "00x10", kFails },
    { "dollar_then_x", "$x10", kFails },
};

class TextToIntTest : public testing::TestWithParam<ReadCase>
{
};

TEST_P(TextToIntTest, ReadsWholeTextOrFails)
{
    const ReadCase &c = GetParam();
    EXPECT_EQ(TextToInt(c.text), c.expected) << "text: \"" << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Forms, TextToIntTest, testing::ValuesIn(kReadCases),
    [](const testing::TestParamInfo<ReadCase> &row) { return std::string(row.param.name); });

struct TextCase
{
    const char *name;
    int32_t value;
    const char *text;
};

const TextCase kTextCases[] = {
    { "zero", 0, "0" },
    { "positive", 31, "31" },
    { "negative", -5, "-5" },
    { "int32_max", kMax, "2147483647" },
    { "int32_min", kMin, "-2147483648" },
};

class IntToTextTest : public testing::TestWithParam<TextCase>
{
};

TEST_P(IntToTextTest, SignedDecimalThatReadsBack)
{
    const TextCase &c = GetParam();
    EXPECT_EQ(IntToText(c.value), c.text);
    EXPECT_EQ(TextToInt(IntToText(c.value)), c.value);
}

INSTANTIATE_TEST_SUITE_P(Values, IntToTextTest, testing::ValuesIn(kTextCases),
    [](const testing::TestParamInfo<TextCase> &row) { return std::string(row.param.name); });

} // namespace
