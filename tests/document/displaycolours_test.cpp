#include "document/displaycolours.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

struct Background
{
    const char *name;
    Rgb colour;
};

// Dark bases of common dark themes and one just on the dark side of the middle, where
// white text reaches the least contrast it can.
constexpr std::array kDarkBackgrounds {
    Background { "black", { 0, 0, 0 } },
    Background { "editor_1e1e1e", { 30, 30, 30 } },
    Background { "breeze_232629", { 35, 38, 41 } },
    Background { "fusion_2a2a2a", { 42, 42, 42 } },
    Background { "navy", { 0, 0, 96 } },
    Background { "dark_green", { 0, 70, 0 } },
    Background { "near_middle_757575", { 117, 117, 117 } },
};

constexpr std::array kLightBackgrounds {
    Background { "white", { 255, 255, 255 } },
    Background { "window_f0f0f0", { 240, 240, 240 } },
    Background { "tooltip_ffffdc", { 255, 255, 220 } },
    Background { "silver_c0c0c0", { 192, 192, 192 } },
    Background { "middle_777777", { 119, 119, 119 } },
};

struct Meaning
{
    const char *name;
    Rgb colour;
};

constexpr std::array kDocumentColours {
    Meaning { "black", Colors::Black },
    Meaning { "blue", Colors::Blue },
    Meaning { "green", Colors::Green },
    Meaning { "red", Colors::Red },
};

// The channel that is strongest in a colour (0 red, 1 green, 2 blue), or -1 when none is.
int dominant(Rgb c)
{
    if (c.r > c.g && c.r > c.b) {
        return 0;
    }
    if (c.g > c.r && c.g > c.b) {
        return 1;
    }
    if (c.b > c.r && c.b > c.g) {
        return 2;
    }
    return -1;
}

class DarkBackground : public testing::TestWithParam<Background>
{
};

TEST_P(DarkBackground, everyColourReadsAndKeepsItsHue)
{
    const Rgb background = GetParam().colour;
    ASSERT_TRUE(IsDarkBackground(background));
    for (const Meaning &meaning : kDocumentColours) {
        SCOPED_TRACE(meaning.name);
        const Rgb shown = DisplayColour(meaning.colour, background);
        EXPECT_GE(ContrastRatio(shown, background), 4.5);
        EXPECT_EQ(dominant(shown), dominant(meaning.colour));
    }
}

INSTANTIATE_TEST_SUITE_P(Bases, DarkBackground, testing::ValuesIn(kDarkBackgrounds),
    [](const testing::TestParamInfo<Background> &row) { return std::string(row.param.name); });

class LightBackground : public testing::TestWithParam<Background>
{
};

TEST_P(LightBackground, everyColourStaysAsItIs)
{
    const Rgb background = GetParam().colour;
    ASSERT_FALSE(IsDarkBackground(background));
    for (const Meaning &meaning : kDocumentColours) {
        SCOPED_TRACE(meaning.name);
        EXPECT_EQ(DisplayColour(meaning.colour, background), meaning.colour);
    }
}

INSTANTIATE_TEST_SUITE_P(Bases, LightBackground, testing::ValuesIn(kLightBackgrounds),
    [](const testing::TestParamInfo<Background> &row) { return std::string(row.param.name); });

// The measure the rows above rely on, against figures of its definition.
TEST(ContrastRatio, matchesTheDefinition)
{
    EXPECT_NEAR(ContrastRatio(Colors::Black, { 255, 255, 255 }), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio({ 255, 255, 255 }, Colors::Green), 5.14, 0.01);
    EXPECT_NEAR(ContrastRatio(Colors::Blue, { 255, 255, 255 }), 8.59, 0.01);
}

} // namespace
