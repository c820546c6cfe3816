// The automation file: round trips, the malformed rows with their line and reason,
// and import/export under the program's file rules.

#include "automation/automationfile.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

Step MakeStep(StepKind kind)
{
    Step step;
    step.kind = kind;
    return step;
}

AutomationSet FullSet()
{
    AutomationSet set;
    TriggerRule at;
    at.name = "answer AT";
    at.match = { Pattern::Kind::Text, "AT\\r" };
    at.scope = MatchScope::Line;
    at.reply = { LineMode::Text, "OK", LineEnding::CrLf, Checksum::None };
    at.delayMs = 50;
    TriggerRule poll;
    poll.name = "poll";
    poll.match = { Pattern::Kind::Hex, "01 03 00 00" };
    poll.scope = MatchScope::Frame;
    poll.reply = { LineMode::Hex, "01 03 02 00 2A", LineEnding::None, Checksum::Crc16Modbus };
    poll.fireLimit = 3;
    poll.ratePerSecond = 7;
    poll.enabled = false;
    TriggerRule regex;
    regex.name = "temp";
    regex.match = { Pattern::Kind::Regex, "T=[0-9]+;" };
    regex.reply = { LineMode::Text, "ack \\x20", LineEnding::Lf, Checksum::Sum8 };
    regex.fireLimit = 1;
    set.rules = { at, poll, regex };

    Sequence boot;
    boot.name = "boot check";
    Step pulse = MakeStep(StepKind::Pulse);
    pulse.line = ModemLine::Rts;
    pulse.on = false;
    pulse.ms = 100;
    Step expect = MakeStep(StepKind::Expect);
    expect.ms = 2000;
    expect.pattern = { Pattern::Kind::Regex, "READY v[0-9.]+" };
    Step repeat = MakeStep(StepKind::Repeat);
    repeat.count = 3;
    Step send = MakeStep(StepKind::Send);
    send.payload = { LineMode::Text, "AT+GMR", LineEnding::Cr, Checksum::None };
    Step wait = MakeStep(StepKind::Wait);
    wait.ms = 10;
    Step dtr = MakeStep(StepKind::SetLine);
    dtr.on = false;
    Step brk = MakeStep(StepKind::Break);
    brk.ms = 250;
    Step forever = MakeStep(StepKind::Repeat);
    Step pass = MakeStep(StepKind::Pass);
    pass.message = "all good";
    Step fail = MakeStep(StepKind::Fail);
    boot.steps = { pulse, expect, repeat, send, wait, MakeStep(StepKind::End), dtr, brk, forever,
        fail, MakeStep(StepKind::End), pass };
    set.sequences = { boot, Sequence { "empty", {} } };
    return set;
}

TEST(AutomationFile, RoundTripsEveryField)
{
    const AutomationSet set = FullSet();
    const std::string text = WriteAutomation(set);
    Result<AutomationSet> read = ParseAutomation(text);
    ASSERT_TRUE(read.ok()) << read.status().reason() << "\n" << text;
    EXPECT_EQ(*read, set) << text;
    EXPECT_EQ(WriteAutomation(*read), text);
}

struct EscapeRow
{
    std::string name;
    std::string source; // of a text payload
};

class AutomationEscapes : public ::testing::TestWithParam<EscapeRow>
{
};

// What an editor or the file's lines would lose comes back as the same bytes.
TEST_P(AutomationEscapes, KeepTheBytes)
{
    AutomationSet set;
    Sequence sequence { "s", {} };
    Step send = MakeStep(StepKind::Send);
    send.payload.source = GetParam().source;
    sequence.steps.push_back(send);
    set.sequences.push_back(sequence);
    Result<AutomationSet> read = ParseAutomation(WriteAutomation(set));
    ASSERT_TRUE(read.ok()) << read.status().reason();
    const auto bytes
        = [](const Payload &payload) { return *PayloadBytes(payload, Utf8PassThrough()); };
    EXPECT_EQ(bytes(read->sequences[0].steps[0].payload), bytes(send.payload));
}

INSTANTIATE_TEST_SUITE_P(Rows, AutomationEscapes,
    ::testing::Values(EscapeRow { "trailing_spaces", "OK  " },
        EscapeRow { "raw_newline", "A\nB\r" }, EscapeRow { "leading_space", " x" },
        EscapeRow { "hash_inside", "#1;2" }, EscapeRow { "utf8", "\xE4\xBD\xA0\xE5\xA5\xBD" }),
    RowName());

struct MalformedRow
{
    std::string name;
    std::string text;
    std::string reason; // the start of the failure's reason
};

class AutomationMalformed : public ::testing::TestWithParam<MalformedRow>
{
};

TEST_P(AutomationMalformed, NamesTheLineAndLoadsNothing)
{
    Result<AutomationSet> read = ParseAutomation(GetParam().text);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.status().kind(), ErrorKind::Invalid);
    EXPECT_EQ(read.status().reason().rfind(GetParam().reason, 0), 0u) << read.status().reason();
}

std::string Repeated(const std::string &line, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += line;
    }
    return out;
}

const std::string kRule = "[rule]\nmatch = text:AT\nreply = text:OK\n";

INSTANTIATE_TEST_SUITE_P(Rows, AutomationMalformed,
    ::testing::Values(MalformedRow { "key_before_section", "# x\nname = a\n", "line 2: " },
        MalformedRow { "unknown_section", kRule + "[rules]\n", "line 4: unknown section" },
        MalformedRow {
            "rule_without_reply", "[rule]\nmatch = text:AT\n\n[sequence]\n", "line 1: " },
        MalformedRow {
            "duplicate_key", kRule + "match = text:B\n", "line 4: \"match\" given twice" },
        MalformedRow { "unknown_rule_key", kRule + "colour = red\n", "line 4: unknown key" },
        MalformedRow { "pattern_kind", "[rule]\nmatch = glob:*\n", "line 2: a pattern starts" },
        MalformedRow { "empty_pattern", "[rule]\nmatch = text:\n", "line 2: the pattern is empty" },
        MalformedRow { "odd_hex", "[rule]\nmatch = hex:0 1\n", "line 2: odd number" },
        MalformedRow { "bad_escape", "[rule]\nreply = text:\\q\n", "line 2: unknown escape" },
        MalformedRow { "regex_not_compiling", "[rule]\nmatch = regex:(ab\n",
            "line 2: the regular expression does not compile" },
        MalformedRow { "bad_ending", "[rule]\nreply = ending=crcr text:x\n", "line 2: ending is" },
        MalformedRow {
            "bad_checksum", "[rule]\nreply = checksum=md5 text:x\n", "line 2: unknown checksum" },
        MalformedRow { "fire_zero", kRule + "fire = 0\n", "line 4: fire is" },
        MalformedRow { "rate_zero", kRule + "rate = 0\n", "line 4: rate is" },
        MalformedRow { "negative_delay", kRule + "delay = -5\n", "line 4: delay is" },
        MalformedRow { "huge_delay", kRule + "delay = 99999999999\n", "line 4: delay is" },
        MalformedRow { "unknown_step", "[sequence]\nname = s\njump = 3\n", "line 3: unknown step" },
        MalformedRow { "end_without_repeat", "[sequence]\nend\n", "line 2: end without repeat" },
        MalformedRow {
            "repeat_without_end", "[sequence]\nrepeat = 2\nwait = 1\n", "line 1: a repeat block" },
        MalformedRow { "repeat_zero", "[sequence]\nrepeat = 0\n", "line 2: repeat is" },
        MalformedRow { "too_deep", "[sequence]\n" + Repeated("repeat = 2\n", 9),
            "line 10: repeat blocks nest" },
        MalformedRow {
            "expect_without_pattern", "[sequence]\nexpect = 100\n", "line 2: expect is" },
        MalformedRow { "pulse_words", "[sequence]\npulse = cts on 5\n", "line 2: pulse is" },
        MalformedRow { "dtr_value", "[sequence]\ndtr = high\n", "line 2: dtr is" },
        MalformedRow {
            "name_after_steps", "[sequence]\nwait = 1\nname = x\n", "line 3: a sequence's name" },
        MalformedRow { "not_a_key", "[sequence]\nWait = 1\n", "line 2: expected key = value" }),
    RowName());

class AutomationFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path()
            / ("automation_test_"
                + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::filesystem::path m_folder;
};

TEST_F(AutomationFiles, ExportThenImport)
{
    const auto path = m_folder / "set.ini";
    ASSERT_TRUE(ExportAutomation(path, FullSet()).ok());
    Result<AutomationSet> read = ImportAutomation(path);
    ASSERT_TRUE(read.ok()) << read.status().reason();
    EXPECT_EQ(*read, FullSet());
}

TEST_F(AutomationFiles, RefusesOversizedAndMalformedFilesWithTheirName)
{
    const auto big = m_folder / "big.ini";
    {
        std::ofstream out(big, std::ios::binary);
        out << std::string(kMaxAutomationFileBytes + 1, '#');
    }
    Result<AutomationSet> read = ImportAutomation(big);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.status().reason().find("big.ini"), std::string::npos) << read.status().reason();

    const auto bad = m_folder / "bad.ini";
    {
        std::ofstream out(bad, std::ios::binary);
        out << "[sequence]\nwait = x\n";
    }
    read = ImportAutomation(bad);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.status().reason().find("bad.ini: line 2"), std::string::npos)
        << read.status().reason();
}

#ifndef _WIN32
TEST_F(AutomationFiles, RefusesAFifo)
{
    const auto fifo = m_folder / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ImportAutomation(fifo).ok());
    EXPECT_FALSE(ExportAutomation(fifo, FullSet()).ok());
}
#endif

} // namespace
