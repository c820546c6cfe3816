#include "send/sendconvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase
{
    const char *name;
    std::string text;
    std::vector<std::string> tokens;
};

class SplitSendTextTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitSendTextTest, GivesTheRunsBetweenSeparators)
{
    EXPECT_EQ(SplitSendText(GetParam().text), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitSendTextTest,
    ::testing::Values(
        SplitCase { "all_four_separators", "41,42;;43 . 44", { "41", "42", "43", "44" } },
        SplitCase { "empty", "", {} }, SplitCase { "only_separators", " ,;. ;", {} },
        SplitCase { "leading_and_trailing", "  41  ", { "41" } },
        SplitCase { "single_byte_at_end", "41 4", { "41", "4" } },
        SplitCase { "tab_is_no_separator", "4\t1 2", { "4\t1", "2" } },
        SplitCase { "double_byte_character", "\xD7\xD6,A", { "\xD7\xD6", "A" } }),
    [](const auto &row) { return std::string(row.param.name); });

TEST(SplitSendTextTest, KeepsEveryTokenBeyond128)
{
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += std::to_string(i) + " ";
    }
    const auto tokens = SplitSendText(text);
    ASSERT_EQ(tokens.size(), 300U);
    EXPECT_EQ(tokens.back(), "299");
}

struct TokenCase
{
    const char *name;
    Notation notation;
    std::string token;
    SendUnit unit;
};

class ConvertTokenTest : public ::testing::TestWithParam<TokenCase>
{
};

TEST_P(ConvertTokenTest, GivesTheBytesAndEchoesOfTheTable)
{
    EXPECT_EQ(ConvertToken(GetParam().token, GetParam().notation), GetParam().unit);
}

TokenCase Hex(const char *name, std::string token, uint8_t byte, std::string echo)
{
    return { name, Notation::Hex, std::move(token), { { byte, std::move(echo) } } };
}

TokenCase Dec(const char *name, std::string token, uint8_t byte, std::string echo)
{
    return { name, Notation::Decimal, std::move(token), { { byte, std::move(echo) } } };
}

INSTANTIATE_TEST_SUITE_P(Hexadecimal, ConvertTokenTest,
    ::testing::Values(Hex("two_digits", "41", 0x41, "0x41 "), Hex("one_digit", "4", 0x04, "0x04 "),
        Hex("one_letter", "f", 0x0F, "0x0F "), Hex("lower", "ab", 0xAB, "0xAB "),
        Hex("upper", "AB", 0xAB, "0xAB "), Hex("mixed", "aB", 0xAB, "0xAB "),
        Hex("non_digit_second", "4x", 0x40, "0x40 "), Hex("non_digit_first", "x4", 0x04, "0x04 "),
        Hex("letter_out_of_range", "G5", 0x05, "0x05 "),
        Hex("third_digit_ignored", "123", 0x12, "0x12 "),
        Hex("prefix_not_recognised", "0x41", 0x00, "0x00 "), Hex("no_digit", "G", 0x00, "0x00 "),
        Hex("no_digits", "GG", 0x00, "0x00 "),
        Hex("digit_at_position_two_ends", "GG5", 0x00, "0x00 ")),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Decimal, ConvertTokenTest,
    ::testing::Values(Dec("plain", "65", 0x41, "65 "), Dec("plus_sign", "+7", 0x07, "7 "),
        Dec("above_255", "300", 0x2C, "300 "), Dec("minus_one", "-1", 0xFF, "-1 "),
        Dec("hex_0x", "0x41", 0x41, "65 "), Dec("hex_0X", "0X41", 0x41, "65 "),
        Dec("hex_dollar", "$41", 0x41, "65 "), Dec("hex_x", "x41", 0x41, "65 "),
        Dec("trailing_letter", "12a", 0x00, "0 "), Dec("sign_and_hex", "-0x10", 0x00, "0 "),
        Dec("too_large", "2147483648", 0x00, "0 "),
        Dec("smallest", "-2147483648", 0x00, "-2147483648 "),
        Dec("all_ones_hex", "$FFFFFFFF", 0xFF, "-1 ")),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Characters, ConvertTokenTest,
    ::testing::Values(
        TokenCase { "two_letters", Notation::Chars, "AB", { { 0x41, "'A' " }, { 0x42, "'B' " } } },
        TokenCase { "double_byte_character", Notation::Chars, "\xD7\xD6",
            { { 0xD7, "'\\xD7' " }, { 0xD6, "'\\xD6' " } } },
        TokenCase { "control_byte", Notation::Chars, "\t", { { 0x09, "'\\x09' " } } }),
    [](const auto &row) { return std::string(row.param.name); });

struct RangeCase
{
    const char *name;
    Notation notation;
    int32_t value;
    uint8_t byte;
    std::string echo;
};

class ConvertRangeValueTest : public ::testing::TestWithParam<RangeCase>
{
};

TEST_P(ConvertRangeValueTest, SendsTheLowByteAndEchoesTheWholeValue)
{
    const RangeCase &c = GetParam();
    EXPECT_EQ(ConvertRangeValue(c.value, c.notation), (SendPiece { c.byte, c.echo }));
}

INSTANTIATE_TEST_SUITE_P(Values, ConvertRangeValueTest,
    ::testing::Values(RangeCase { "hex_small", Notation::Hex, 5, 0x05, "0x05 " },
        RangeCase { "hex_254", Notation::Hex, 254, 0xFE, "0xFE " },
        RangeCase { "hex_256", Notation::Hex, 256, 0x00, "0x100 " },
        RangeCase { "hex_257", Notation::Hex, 257, 0x01, "0x101 " },
        RangeCase { "hex_negative", Notation::Hex, -1, 0xFF, "0xFFFFFFFF " },
        RangeCase { "hex_largest", Notation::Hex, 2147483647, 0xFF, "0x7FFFFFFF " },
        RangeCase { "decimal_negative", Notation::Decimal, -2, 0xFE, "-2 " },
        RangeCase { "decimal_large", Notation::Decimal, 1000, 0xE8, "1000 " },
        RangeCase { "chars_digit", Notation::Chars, 48, 0x30, "0 " },
        RangeCase { "chars_separator", Notation::Chars, 44, 0x2C, ", " },
        RangeCase { "chars_zero_byte", Notation::Chars, 256, 0x00, "\\x00 " },
        RangeCase { "chars_high_byte", Notation::Chars, 200, 0xC8, "\\xC8 " }),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
