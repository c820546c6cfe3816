// The send bar's core: the published check values, the parsing of text and hex
// lines with every bad form, the history walk and limit, and the command file with
// broken lines.

#include "rowname.h"
#include "sendbar/quickcommands.h"
#include "sendbar/sendhistory.h"
#include "sendbar/sendline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = LineProblem::Kind;

// "é" (U+00E9) stands for a character code page 936 holds (as A8 A6), "€" for one
// it lacks.
std::optional<std::string> TestEncoder(std::string_view utf8)
{
    if (utf8 == "\xC3\xA9") {
        return std::string("\xA8\xA6");
    }
    return std::nullopt;
}

struct ChecksumRow
{
    std::string name;
    Checksum checksum;
    std::string data;
    uint32_t value;
    std::string appended;
};

class ChecksumTest : public ::testing::TestWithParam<ChecksumRow>
{
};

TEST_P(ChecksumTest, ValueAndByteOrder)
{
    const ChecksumRow &row = GetParam();
    EXPECT_EQ(ChecksumValue(row.checksum, row.data), row.value);
    EXPECT_EQ(ChecksumBytes(row.checksum, row.data), row.appended);
    EXPECT_EQ(ChecksumFromKey(ChecksumKey(row.checksum)), row.checksum);
}

// The check values of the CRC catalogue over "123456789", the sums worked out by
// hand, and the Modbus frame every manual quotes (read 10 holding registers).
INSTANTIATE_TEST_SUITE_P(Checksums, ChecksumTest,
    ::testing::Values(ChecksumRow { "none", Checksum::None, "123456789", 0, "" },
        ChecksumRow { "sum8", Checksum::Sum8, "123456789", 0xDD, "\xDD" },
        ChecksumRow { "sum8_wraps", Checksum::Sum8, "\xFF\x02", 0x01, "\x01" },
        ChecksumRow { "xor8", Checksum::Xor8, "123456789", 0x31, "\x31" },
        ChecksumRow { "crc8", Checksum::Crc8, "123456789", 0xF4, "\xF4" },
        ChecksumRow { "crc16_modbus", Checksum::Crc16Modbus, "123456789", 0x4B37, "\x37\x4B" },
        ChecksumRow { "crc16_modbus_frame", Checksum::Crc16Modbus,
            std::string("\x01\x03\x00\x00\x00\x0A", 6), 0xCDC5, "\xC5\xCD" },
        ChecksumRow {
            "crc16_ccitt_false", Checksum::Crc16CcittFalse, "123456789", 0x29B1, "\x29\xB1" },
        ChecksumRow { "crc16_xmodem", Checksum::Crc16Xmodem, "123456789", 0x31C3, "\x31\xC3" },
        ChecksumRow {
            "crc16_ccitt_false_empty", Checksum::Crc16CcittFalse, "", 0xFFFF, "\xFF\xFF" },
        ChecksumRow { "crc32", Checksum::Crc32, "123456789", 0xCBF43926, "\x26\x39\xF4\xCB" }),
    RowName());

struct ParseRow
{
    std::string name;
    LineMode mode;
    std::string text; // UTF-8
    std::string bytes; // when it parses
    LineProblem problem; // when it does not
};

class ParseTest : public ::testing::TestWithParam<ParseRow>
{
};

TEST_P(ParseTest, BytesOrProblem)
{
    const ParseRow &row = GetParam();
    LineProblem problem { Kind::EmptyGroup, 99, 99 };
    Result<std::string> parsed = ParseLine(row.text, row.mode, TestEncoder, &problem);
    EXPECT_EQ(problem, row.problem);
    if (row.problem.kind == Kind::None) {
        ASSERT_TRUE(parsed.ok()) << parsed.status().reason();
        EXPECT_EQ(*parsed, row.bytes);
    } else {
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.status().kind(), ErrorKind::Invalid);
        EXPECT_FALSE(parsed.status().reason().empty());
    }
}

ParseRow Good(std::string name, LineMode mode, std::string text, std::string bytes)
{
    return { std::move(name), mode, std::move(text), std::move(bytes), {} };
}

ParseRow Bad(std::string name, LineMode mode, std::string text, Kind kind, std::size_t offset,
    std::size_t length)
{
    return { std::move(name), mode, std::move(text), {}, { kind, offset, length } };
}

INSTANTIATE_TEST_SUITE_P(Text, ParseTest,
    ::testing::Values(Good("empty", LineMode::Text, "", ""),
        Good("spaces_kept", LineMode::Text, " A T ,;. ", " A T ,;. "),
        Good("escapes", LineMode::Text, "a\\r\\n\\t\\\\b", "a\r\n\t\\b"),
        Good(
            "hex_escape_both_cases", LineMode::Text, "\\x0d\\xFF\\x00", std::string("\r\xFF\0", 3)),
        Good("hex_escape_takes_two_digits", LineMode::Text, "\\x414", "A4"),
        Good("escaped_backslash_before_x", LineMode::Text, "\\\\x41", "\\x41"),
        Good("encoded_character", LineMode::Text, "\xC3\xA9!", "\xA8\xA6!"),
        Bad("lone_backslash", LineMode::Text, "AT\\", Kind::LoneBackslash, 2, 1),
        Bad("unknown_escape", LineMode::Text, "A\\qB", Kind::UnknownEscape, 1, 2),
        Bad("capital_escape", LineMode::Text, "\\R", Kind::UnknownEscape, 0, 2),
        Bad("unknown_escape_of_wide_character", LineMode::Text, "\\\xC3\xA9", Kind::UnknownEscape,
            0, 3),
        Bad("hex_escape_no_digits", LineMode::Text, "\\x", Kind::ShortHexEscape, 0, 2),
        Bad("hex_escape_one_digit_at_end", LineMode::Text, "ab\\x4", Kind::ShortHexEscape, 2, 3),
        Bad("hex_escape_one_digit", LineMode::Text, "\\x4g", Kind::ShortHexEscape, 0, 4),
        Bad("hex_escape_not_digits", LineMode::Text, "\\xZZ", Kind::ShortHexEscape, 0, 4),
        Bad("hex_escape_before_wide_characters", LineMode::Text, "\\x\xE4\xB8\xAD\xE6\x96\x87!",
            Kind::ShortHexEscape, 0, 8),
        Bad("hex_escape_digit_then_wide_character", LineMode::Text, "\\x4\xE4\xB8\xAD",
            Kind::ShortHexEscape, 0, 6),
        Bad("outside_code_page", LineMode::Text, "1\xE2\x82\xAC", Kind::NotInCodePage, 1, 3)),
    RowName());

INSTANTIATE_TEST_SUITE_P(Hex, ParseTest,
    ::testing::Values(Good("empty", LineMode::Hex, "  ", ""),
        Good("spaced", LineMode::Hex, "01 03 00 00 00 0A", std::string("\x01\x03\0\0\0\x0A", 6)),
        Good("any_spacing", LineMode::Hex, "\t01,,03   a0 ", "\x01\x03\xA0"),
        Good("run_of_pairs", LineMode::Hex, "0103fF", "\x01\x03\xFF"),
        Good("prefixed", LineMode::Hex, "0x41 0X4243", "ABC"),
        Bad("odd_digits", LineMode::Hex, "01 234", Kind::OddDigits, 3, 3),
        Bad("single_digit", LineMode::Hex, "7", Kind::OddDigits, 0, 1),
        Bad("odd_after_prefix", LineMode::Hex, "0x123", Kind::OddDigits, 0, 5),
        Bad("prefix_alone", LineMode::Hex, "41 0x", Kind::EmptyGroup, 3, 2),
        Bad("letter", LineMode::Hex, "01 0G", Kind::NotHexDigit, 4, 1),
        Bad("prefix_inside_group", LineMode::Hex, "410x42", Kind::NotHexDigit, 3, 1),
        Bad("semicolon", LineMode::Hex, "01;02", Kind::NotHexDigit, 2, 1),
        Bad("wide_character", LineMode::Hex, "01 \xC3\xA9", Kind::NotHexDigit, 3, 2)),
    RowName());

struct FrameRow
{
    std::string name;
    std::string data;
    Checksum checksum;
    LineEnding ending;
    std::string framed;
};

class FrameTest : public ::testing::TestWithParam<FrameRow>
{
};

// The checksum covers the data only and comes before the ending.
TEST_P(FrameTest, ChecksumThenEnding)
{
    const FrameRow &row = GetParam();
    EXPECT_EQ(FrameLine(row.data, row.checksum, row.ending), row.framed);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameTest,
    ::testing::Values(FrameRow { "crlf", "AT", Checksum::None, LineEnding::CrLf, "AT\r\n" },
        FrameRow { "cr", "AT", Checksum::None, LineEnding::Cr, "AT\r" },
        FrameRow { "lf", "AT", Checksum::None, LineEnding::Lf, "AT\n" },
        FrameRow { "empty_line_still_ends", "", Checksum::None, LineEnding::CrLf, "\r\n" },
        FrameRow { "empty_line_has_no_checksum", "", Checksum::Crc16Modbus, LineEnding::Lf, "\n" },
        FrameRow { "empty_line_no_ending_is_nothing", "", Checksum::Sum8, LineEnding::None, "" },
        FrameRow { "xor_before_ending", "AB", Checksum::Xor8, LineEnding::Lf, "AB\x03\n" },
        FrameRow { "modbus", std::string("\x01\x03\0\0\0\x0A", 6), Checksum::Crc16Modbus,
            LineEnding::None, std::string("\x01\x03\0\0\0\x0A\xC5\xCD", 8) }),
    RowName());

TEST(HexPreview, UpperCaseSpaced)
{
    EXPECT_EQ(HexPreview(std::string("\x01\xab\0", 3)), "01 AB 00");
    EXPECT_EQ(HexPreview(""), "");
}

// One step of a history walk: an action and what it must give.
struct Step
{
    enum Action { Add, Up, Down } action;
    std::string text; // Add: the line; Up: the field's text
    std::optional<std::string> expected; // Up and Down
};

struct HistoryRow
{
    std::string name;
    std::vector<std::string> stored;
    std::vector<Step> steps;
    std::vector<std::string> lines; // afterwards, oldest first
};

class HistoryTest : public ::testing::TestWithParam<HistoryRow>
{
};

TEST_P(HistoryTest, Walk)
{
    const HistoryRow &row = GetParam();
    SendHistory history(row.stored);
    for (std::size_t i = 0; i < row.steps.size(); ++i) {
        const Step &step = row.steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        switch (step.action) {
        case Step::Add:
            history.Add(step.text);
            break;
        case Step::Up:
            EXPECT_EQ(history.Older(step.text), step.expected);
            break;
        case Step::Down:
            EXPECT_EQ(history.Newer(), step.expected);
            break;
        }
    }
    EXPECT_EQ(history.lines(), row.lines);
}

std::vector<std::string> Numbered(int first, int last)
{
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) {
        // Appended rather than "L" + ...: GCC 12 warns falsely (-Wrestrict) there.
        std::string line = "L";
        line += std::to_string(i);
        lines.push_back(line);
    }
    return lines;
}

INSTANTIATE_TEST_SUITE_P(History, HistoryTest,
    ::testing::Values(
        HistoryRow { "empty_has_nothing_to_recall", {},
            { { Step::Up, "typed", std::nullopt }, { Step::Down, "", std::nullopt } }, {} },
        HistoryRow { "up_newest_first_down_gives_the_draft_back", { "a", "b" },
            { { Step::Up, "draft", "b" }, { Step::Up, "b", "a" }, { Step::Up, "a", std::nullopt },
                { Step::Down, "", "b" }, { Step::Down, "", "draft" },
                { Step::Down, "", std::nullopt } },
            { "a", "b" } },
        HistoryRow { "no_duplicates_in_a_row", {},
            { { Step::Add, "AT", {} }, { Step::Add, "AT", {} }, { Step::Add, "ATI", {} },
                { Step::Add, "AT", {} } },
            { "AT", "ATI", "AT" } },
        HistoryRow { "empty_lines_not_kept", { "a" }, { { Step::Add, "", {} } }, { "a" } },
        HistoryRow { "sending_ends_the_walk", { "a", "b" },
            { { Step::Up, "", "b" }, { Step::Up, "", "a" }, { Step::Add, "a", {} },
                { Step::Up, "x", "a" } },
            { "a", "b", "a" } },
        HistoryRow { "limit_drops_the_oldest", Numbered(1, 100), { { Step::Add, "L101", {} } },
            Numbered(2, 101) },
        HistoryRow {
            "stored_beyond_the_limit_keeps_the_newest", Numbered(1, 150), {}, Numbered(51, 150) }),
    RowName());

struct CommandRow
{
    std::string name;
    QuickCommand command;
    std::string line;
};

class CommandLineTest : public ::testing::TestWithParam<CommandRow>
{
};

TEST_P(CommandLineTest, RoundTrip)
{
    const CommandRow &row = GetParam();
    ASSERT_TRUE(CheckCommand(row.command).ok());
    EXPECT_EQ(FormatCommand(row.command), row.line);
    Result<QuickCommand> parsed = ParseCommand(row.line);
    ASSERT_TRUE(parsed.ok()) << parsed.status().reason();
    EXPECT_EQ(*parsed, row.command);
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandLineTest,
    ::testing::Values(CommandRow { "text",
                          { "模块信息", LineMode::Text, "ATI", LineEnding::CrLf, Checksum::None },
                          "模块信息\ttext\tcrlf\tnone\tATI" },
        CommandRow { "modbus",
            { "read 10", LineMode::Hex, "01 03 00 00 00 0A", LineEnding::None,
                Checksum::Crc16Modbus },
            "read 10\thex\tnone\tcrc16-modbus\t01 03 00 00 00 0A" },
        CommandRow { "data_with_tabs_and_escapes",
            { "t", LineMode::Text, "a\tb\\r\\x00", LineEnding::Lf, Checksum::Crc32 },
            "t\ttext\tlf\tcrc32\ta\tb\\r\\x00" },
        CommandRow { "empty_data", { "wake", LineMode::Text, "", LineEnding::Cr, Checksum::Xor8 },
            "wake\ttext\tcr\txor8\t" }),
    RowName());

// A shared file with good lines among broken ones: every good one comes in, in
// order, and each broken one is reported with its line number.
TEST(CommandFile, BrokenLinesReportedGoodOnesKept)
{
    const std::string text = "\xEF\xBB\xBF# comment\r\n"
                             "ok1\ttext\tcrlf\tnone\tAT\r\n"
                             "\r\n"
                             "too few\ttext\tcrlf\n"
                             "bad mode\tbinary\tcrlf\tnone\tAT\n"
                             "bad ending\ttext\tcrcr\tnone\tAT\n"
                             "bad checksum\thex\tnone\tcrc64\t01\n"
                             "bad hex\thex\tnone\tnone\t01 0\n"
                             "bad escape\ttext\tnone\tnone\tA\\q\n"
                             "\ttext\tnone\tnone\tno name\n"
                             "ok2\thex\tnone\tcrc16-modbus\t01 03 00 00 00 0A";
    const CommandFile file = ParseCommandFile(text);
    ASSERT_EQ(file.commands.size(), 2U);
    EXPECT_EQ(file.commands[0].name, "ok1");
    EXPECT_EQ(file.commands[1].name, "ok2");
    EXPECT_EQ(file.commands[1].checksum, Checksum::Crc16Modbus);
    std::vector<std::size_t> lines;
    for (const CommandFileProblem &problem : file.problems) {
        lines.push_back(problem.line);
        EXPECT_EQ(problem.status.kind(), ErrorKind::Invalid);
        EXPECT_FALSE(problem.status.reason().empty());
    }
    EXPECT_EQ(lines, (std::vector<std::size_t> { 4, 5, 6, 7, 8, 9, 10 }));
    EXPECT_EQ(file.badLines, lines.size());
}

// A file of many bad lines: the first ones are reported, all are counted, and a
// huge field is not copied into the reason whole.
TEST(CommandFile, ManyBadLinesReportedByCount)
{
    std::string text = "ok\ttext\tcrlf\tnone\tAT\n";
    const std::size_t bad = CommandFile::kProblemsKept + 5;
    for (std::size_t i = 0; i < bad; ++i) {
        text += "x\t" + std::string(i == 0 ? 100000 : 3, 'm') + "\tcrlf\tnone\tAT\n";
    }
    const CommandFile file = ParseCommandFile(text);
    ASSERT_EQ(file.commands.size(), 1U);
    EXPECT_EQ(file.badLines, bad);
    ASSERT_EQ(file.problems.size(), CommandFile::kProblemsKept);
    EXPECT_EQ(file.problems.front().line, 2U);
    EXPECT_EQ(file.problems.back().line, CommandFile::kProblemsKept + 1);
    EXPECT_LT(file.problems.front().status.reason().size(), 100U);
}

TEST(CommandFile, WrittenFileReadsBack)
{
    const std::vector<QuickCommand> commands {
        { "a", LineMode::Text, "AT+CSQ", LineEnding::CrLf, Checksum::None },
        { "b", LineMode::Hex, "0x01 02", LineEnding::None, Checksum::Crc16Xmodem },
    };
    const CommandFile file = ParseCommandFile(FormatCommandFile(commands));
    EXPECT_TRUE(file.problems.empty());
    EXPECT_EQ(file.commands, commands);
}

struct UnwritableRow
{
    std::string name;
    QuickCommand command;
};

class UnwritableCommandTest : public ::testing::TestWithParam<UnwritableRow>
{
};

// What a line of the file could not hold is refused before it is saved.
TEST_P(UnwritableCommandTest, Refused)
{
    EXPECT_EQ(CheckCommand(GetParam().command).kind(), ErrorKind::Invalid);
}

INSTANTIATE_TEST_SUITE_P(Commands, UnwritableCommandTest,
    ::testing::Values(UnwritableRow { "empty_name", { "", LineMode::Text, "AT" } },
        UnwritableRow { "tab_in_name", { "a\tb", LineMode::Text, "AT" } },
        UnwritableRow { "line_break_in_name", { "a\nb", LineMode::Text, "AT" } },
        UnwritableRow { "line_break_in_data", { "a", LineMode::Text, "A\rT" } },
        UnwritableRow { "bad_hex", { "a", LineMode::Hex, "0" } }),
    RowName());

} // namespace
