#include "settings/settingsfile.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

std::string LittleEndian(uint32_t value)
{
    return Bytes({ static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
        static_cast<int>((value >> 16) & 0xFF), static_cast<int>(value >> 24) });
}

// The fixed part of a file with value `i + 1` in slot i, so every slot is told apart.
std::string NumberedFixedPart()
{
    std::string out;
    for (uint32_t i = 0; i < 18; ++i) {
        out += LittleEndian(i + 1);
    }
    return out;
}

TEST(SettingsCodec, DefaultsAreTheSeventyFourBytes)
{
    const std::string expected = Bytes({
        0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, // 0
        0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE1, 0x00,
        0x00, // 16
        0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00,
        0x00, // 32
        0x64, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00,
        0x00, // 48
        0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x30, 0x30 // 64
    });
    SettingsValues settings;
    settings.FComPort = 7;
    settings.FSendChar = "junk";
    SetDefaultSettings(settings);
    EXPECT_EQ(EncodeSettings(settings), expected);
}

// Where each member sits in the file: slot i holds i + 1 in NumberedFixedPart().
struct SlotCase
{
    const char *name;
    std::atomic<int32_t> SettingsValues::*member;
    int32_t slotValue;
};

std::ostream &operator<<(std::ostream &out, const SlotCase &c)
{
    return out << c.name;
}

const SlotCase kSlotCases[] = {
    { "FComPort_at_16", &SettingsValues::FComPort, 5 },
    { "FComBitNum_at_20", &SettingsValues::FComBitNum, 6 },
    { "FStopBits_at_24", &SettingsValues::FStopBits, 7 },
    { "FComBps_at_28", &SettingsValues::FComBps, 8 },
    { "FClearLineNum_at_32", &SettingsValues::FClearLineNum, 9 },
    { "FParaStart_at_36", &SettingsValues::FParaStart, 10 },
    { "FParaEnd_at_40", &SettingsValues::FParaEnd, 11 },
    { "FLineCharNum_at_44", &SettingsValues::FLineCharNum, 12 },
    { "FParaCharNum_at_48", &SettingsValues::FParaCharNum, 13 },
    { "FTimeInterval_at_52", &SettingsValues::FTimeInterval, 14 },
    { "FParity_at_56", &SettingsValues::FParity, 15 },
    { "FSendEnd_at_60", &SettingsValues::FSendEnd, 16 },
    { "FSendStart_at_64", &SettingsValues::FSendStart, 17 },
    { "FTwoCharDelay_at_68", &SettingsValues::FTwoCharDelay, 18 },
};

class SettingsSlotTest : public testing::TestWithParam<SlotCase>
{
};

TEST_P(SettingsSlotTest, DecodesFromItsOffsetAndEncodesBackThere)
{
    const SlotCase &c = GetParam();
    const std::string file = NumberedFixedPart() + "abc";
    SettingsValues settings;
    DecodeSettings(file, settings);
    EXPECT_EQ((settings.*c.member).load(), c.slotValue);
    EXPECT_EQ(EncodeSettings(settings).substr(0, 72).substr(4 * (c.slotValue - 1), 4),
        LittleEndian(static_cast<uint32_t>(c.slotValue)));
}

INSTANTIATE_TEST_SUITE_P(Offsets, SettingsSlotTest, testing::ValuesIn(kSlotCases),
    [](const testing::TestParamInfo<SlotCase> &row) { return std::string(row.param.name); });

TEST(SettingsCodec, SendEndBeforeSendStart)
{
    std::string file = std::string(72, '\0');
    file.replace(60, 4, LittleEndian(5));
    file.replace(64, 4, LittleEndian(10));
    SettingsValues settings;
    DecodeSettings(file, settings);
    EXPECT_EQ(settings.FSendStart, 10);
    EXPECT_EQ(settings.FSendEnd, 5);
}

struct FlagCase
{
    const char *name;
    uint32_t stored;
    bool expected;
};

std::ostream &operator<<(std::ostream &out, const FlagCase &c)
{
    return out << c.name;
}

const FlagCase kFlagCases[] = {
    { "zero", 0, false },
    { "one", 1, true },
    { "two", 2, true },
    { "top_byte_only", 0x01000000u, true },
    { "all_ones", 0xFFFFFFFFu, true },
};

class SettingsFlagTest : public testing::TestWithParam<FlagCase>
{
};

TEST_P(SettingsFlagTest, NonZeroReadsTrueAndWritesOne)
{
    const FlagCase &c = GetParam();
    // All four flags carry the same stored value: a mix-up of their slots or a test
    // of only the low byte shows up.
    std::string file;
    for (int i = 0; i < 4; ++i) {
        file += LittleEndian(c.stored);
    }
    file += NumberedFixedPart().substr(16) + "00";
    SettingsValues settings;
    DecodeSettings(file, settings);
    EXPECT_EQ(settings.FTimedSend, c.expected);
    EXPECT_EQ(settings.FAutoClear, c.expected);
    EXPECT_EQ(settings.FCheckOrder, c.expected);
    EXPECT_EQ(settings.FAutoSend, c.expected);
    const std::string written = EncodeSettings(settings);
    for (std::size_t offset = 0; offset < 16; offset += 4) {
        EXPECT_EQ(written.substr(offset, 4), LittleEndian(c.expected ? 1 : 0)) << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsFlagTest, testing::ValuesIn(kFlagCases),
    [](const testing::TestParamInfo<FlagCase> &row) { return std::string(row.param.name); });

TEST(SettingsCodec, FlagsKeepTheirOwnSlots)
{
    SettingsValues settings;
    settings.FTimedSend = false;
    settings.FAutoClear = true;
    settings.FCheckOrder = false;
    settings.FAutoSend = true;
    EXPECT_EQ(EncodeSettings(settings).substr(0, 16),
        LittleEndian(0) + LittleEndian(1) + LittleEndian(0) + LittleEndian(1));
}

struct TextCase
{
    const char *name;
    std::string tail; // the bytes after offset 72
    std::string expected; // FSendChar after decoding
};

std::ostream &operator<<(std::ostream &out, const TextCase &c)
{
    return out << c.name;
}

const TextCase kTextCases[] = {
    { "empty_text_72_bytes", "", "" },
    { "plain", "01 02 03", "01 02 03" },
    { "double_byte", "\xBD\xD3\xCA\xD5", "\xBD\xD3\xCA\xD5" },
    { "zero_byte_ends_it", std::string("ab\0cd", 5), "ab" },
    { "zero_byte_first", std::string("\0cd", 3), "" },
    { "exactly_1000", std::string(1000, 'q'), std::string(1000, 'q') },
    { "more_than_1000", std::string(1000, 'q') + "rest", std::string(1000, 'q') },
    { "zero_after_1000", std::string(1000, 'q') + std::string(1, '\0'), std::string(1000, 'q') },
};

class SettingsTextTest : public testing::TestWithParam<TextCase>
{
};

TEST_P(SettingsTextTest, DecodesTheSendText)
{
    const TextCase &c = GetParam();
    SettingsValues settings;
    DecodeSettings(NumberedFixedPart() + c.tail, settings);
    EXPECT_EQ(settings.FSendChar, c.expected);
    EXPECT_EQ(settings.FTwoCharDelay, 18);
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsTextTest, testing::ValuesIn(kTextCases),
    [](const testing::TestParamInfo<TextCase> &row) { return std::string(row.param.name); });

// A short file: whole values are read, the others and the text keep their defaults.
class SettingsShortFileTest : public testing::TestWithParam<std::size_t>
{
};

TEST_P(SettingsShortFileTest, ReadsWholeValuesOnly)
{
    const std::size_t length = GetParam();
    std::string file = std::string(72, '\0');
    for (std::size_t slot = 4; slot < 18; ++slot) {
        file.replace(4 * slot, 4, LittleEndian(static_cast<uint32_t>(1000 + slot)));
    }
    file.resize(length);
    SettingsValues settings;
    settings.FSendChar = "changed";
    settings.FComPort = 99;
    DecodeSettings(file, settings);

    SettingsValues defaults;
    const std::size_t wholeSlots = length / 4;
    EXPECT_EQ(settings.FTimedSend, wholeSlots > 0 ? false : defaults.FTimedSend.load());
    EXPECT_EQ(settings.FComPort, wholeSlots > 4 ? 1004 : defaults.FComPort.load());
    EXPECT_EQ(settings.FComBps, wholeSlots > 7 ? 1007 : defaults.FComBps.load());
    EXPECT_EQ(settings.FTimeInterval, wholeSlots > 13 ? 1013 : defaults.FTimeInterval.load());
    EXPECT_EQ(settings.FTwoCharDelay, wholeSlots > 17 ? 1017 : defaults.FTwoCharDelay.load());
    EXPECT_EQ(settings.FSendChar, length >= 72 ? "" : "00");
}

INSTANTIATE_TEST_SUITE_P(Lengths, SettingsShortFileTest,
    testing::Values(1, 3, 4, 7, 17, 19, 20, 31, 32, 55, 56, 68, 71, 72),
    [](const testing::TestParamInfo<std::size_t> &row) {
        return "length_" + std::to_string(row.param);
    });

TEST(SettingsCodec, DecodingLeavesTheCodeTablesAlone)
{
    SettingsValues settings;
    settings.FParityCodes[2] = 42;
    settings.FStopBitCodes[1] = 43;
    DecodeSettings(NumberedFixedPart(), settings);
    EXPECT_EQ(settings.FParityCodes[2], 42);
    EXPECT_EQ(settings.FStopBitCodes[1], 43);
}

TEST(SettingsCodec, RoundTripOfEveryMember)
{
    SettingsValues settings;
    settings.FTimedSend = false;
    settings.FAutoClear = false;
    settings.FCheckOrder = true;
    settings.FAutoSend = true;
    settings.FTimeInterval = -1;
    settings.FSendStart = 3;
    settings.FSendEnd = 250;
    settings.FComPort = 8;
    settings.FComBitNum = 5;
    settings.FStopBits = 2;
    settings.FComBps = 115200;
    settings.FClearLineNum = 2000;
    settings.FParaStart = 1;
    settings.FParaEnd = 2;
    settings.FLineCharNum = 16;
    settings.FParaCharNum = 256;
    settings.FParity = 4;
    settings.FTwoCharDelay = std::numeric_limits<int32_t>::min();
    settings.FSendChar = "\xBD\xD3 41 42";
    const std::string file = EncodeSettings(settings);
    ASSERT_EQ(file.size(), 72u + settings.FSendChar.size());

    SettingsValues loaded;
    DecodeSettings(file, loaded);
    EXPECT_EQ(EncodeSettings(loaded), file);
    EXPECT_EQ(loaded.FTwoCharDelay, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(loaded.FSendChar, settings.FSendChar);
}

struct CutCase
{
    const char *name;
    std::string text;
    std::size_t storedLength;
};

std::ostream &operator<<(std::ostream &out, const CutCase &c)
{
    return out << c.name;
}

std::string Repeat(std::string_view unit, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

const CutCase kCutCases[] = {
    { "ascii_1000", std::string(1000, 'a'), 1000 },
    { "ascii_1001", std::string(1001, 'a'), 1000 },
    { "double_bytes_exactly_1000", Repeat("\xB0\xA1", 500), 1000 },
    { "double_byte_across_the_limit", "a" + Repeat("\xB0\xA1", 500), 999 },
    { "trail_byte_in_lead_range", Repeat("\xB0\xB0", 501), 1000 },
    { "ascii_trail_bytes", "a" + Repeat("\x81\x40", 500), 999 },
    { "single_bytes_after_doubles", Repeat("\xB0\xA1", 499) + "abc", 1000 },
};

class SettingsCutTest : public testing::TestWithParam<CutCase>
{
};

TEST_P(SettingsCutTest, LongTextIsCutOnACharacterBoundary)
{
    const CutCase &c = GetParam();
    SettingsValues settings;
    settings.FSendChar = c.text;
    const std::string file = EncodeSettings(settings);
    ASSERT_EQ(file.size(), 72 + c.storedLength);
    EXPECT_EQ(file.substr(72), c.text.substr(0, c.storedLength));
    EXPECT_EQ(settings.FSendChar, c.text) << "saving must not change the member";
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsCutTest, testing::ValuesIn(kCutCases),
    [](const testing::TestParamInfo<CutCase> &row) { return std::string(row.param.name); });

} // namespace
