// The text form of a capture read back line by line, the times of the document
// headers, the traffic meter and the choice of form by file name.

#include "base/timestamp.h"
#include "capture/capturerecorder.h"
#include "capture/capturetext.h"
#include "capture/traffic.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One byte of an input: its direction, the microseconds since the byte before it,
// and its value.
struct Step
{
    CaptureDirection direction;
    int64_t afterUs;
    uint8_t byte;
};

struct ParsedLine
{
    std::string time;
    CaptureDirection direction;
    std::vector<uint8_t> bytes;
};

// Reads the text form back; fails the test on a line that does not match it.
std::vector<ParsedLine> Parse(const std::string &text)
{
    static const std::regex kLine(
        R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}) (RX|TX)((?: [0-9A-F]{2}){1,16})$)");
    std::vector<ParsedLine> lines;
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last line is not ended";
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::smatch match;
        if (!std::regex_match(line, match, kLine)) {
            ADD_FAILURE() << "not a capture line: '" << line << "'";
            continue;
        }
        ParsedLine parsed { match[1],
            match[2] == "RX" ? CaptureDirection::Received : CaptureDirection::Sent, {} };
        std::istringstream items(match[3].str());
        std::string item;
        while (items >> item) {
            parsed.bytes.push_back(static_cast<uint8_t>(std::stoi(item, nullptr, 16)));
        }
        lines.push_back(parsed);
    }
    return lines;
}

constexpr int64_t kStartUs = 1700000000000000; // 2023-11-14, a whole second
constexpr auto RX = CaptureDirection::Received;
constexpr auto TX = CaptureDirection::Sent;

std::vector<Step> Run(CaptureDirection direction, int count, int64_t afterUs, int first = 0)
{
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        steps.push_back({ direction, afterUs, static_cast<uint8_t>(first + i) });
    }
    return steps;
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts)
{
    std::vector<Step> all;
    for (const auto &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct FormatCase
{
    const char *name;
    std::vector<Step> steps;
    std::vector<std::size_t> lineSizes; // bytes on each line, in order
};

class CaptureTextTest : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(CaptureTextTest, ReadsBackAsTheBytesInOrderWithTheLineBreaksOfTheRules)
{
    const FormatCase &c = GetParam();
    CaptureTextFormatter formatter;
    std::string text;
    std::vector<CapturedByte> input;
    int64_t time = kStartUs;
    for (const Step &step : c.steps) {
        time += step.afterUs;
        input.push_back({ time, step.direction, step.byte });
        formatter.add(input.back(), text);
    }
    formatter.finish(text);

    const std::vector<ParsedLine> lines = Parse(text);
    ASSERT_EQ(lines.size(), c.lineSizes.size()) << text;
    std::size_t next = 0;
    std::string lastTime;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine &line = lines[i];
        EXPECT_EQ(line.bytes.size(), c.lineSizes[i]) << "line " << i << "\n" << text;
        ASSERT_LE(next + line.bytes.size(), input.size());
        // The line carries the time of its first byte; times never go back.
        EXPECT_EQ(line.time, FormatCaptureTime(input[next].timeUs)) << "line " << i;
        EXPECT_GE(line.time, lastTime) << "line " << i;
        lastTime = line.time;
        for (uint8_t byte : line.bytes) {
            EXPECT_EQ(byte, input[next].byte) << "byte " << next;
            EXPECT_EQ(line.direction, input[next].direction) << "byte " << next;
            ++next;
        }
    }
    EXPECT_EQ(next, input.size());
}

INSTANTIATE_TEST_SUITE_P(Rules, CaptureTextTest,
    ::testing::Values(FormatCase { "empty", {}, {} },
        FormatCase { "one_byte", Run(RX, 1, 0, 0x41), { 1 } },
        FormatCase { "sixteen_fit_on_a_line", Run(RX, 16, 10), { 16 } },
        FormatCase { "seventeenth_starts_a_line", Run(RX, 17, 10), { 16, 1 } },
        FormatCase { "forty_bytes", Run(TX, 40, 1), { 16, 16, 8 } },
        FormatCase { "direction_change", Join({ Run(RX, 3, 1), Run(TX, 2, 1), Run(RX, 1, 1) }),
            { 3, 2, 1 } },
        FormatCase { "just_under_the_gap_stays",
            Join({ Run(RX, 1, 0), Run(RX, 2, CaptureTextFormatter::kGapUs - 1) }), { 3 } },
        FormatCase { "the_gap_breaks",
            Join({ Run(RX, 2, 0), Run(RX, 1, CaptureTextFormatter::kGapUs), Run(RX, 1, 1) }),
            { 2, 2 } },
        FormatCase { "gap_counts_from_the_last_byte_not_the_first",
            Join({ Run(RX, 1, 0), Run(RX, 4, 4000) }), { 5 } },
        FormatCase { "all_byte_values", Run(RX, 256, 0), std::vector<std::size_t>(16, 16) },
        FormatCase {
            "break_of_direction_at_sixteen", Join({ Run(TX, 16, 0), Run(RX, 1, 0) }), { 16, 1 } }),
    RowName());

TEST(CaptureTextFormatter, IdleLineEndsOnlyOnceTheGapHasPassed)
{
    CaptureTextFormatter formatter;
    std::string text;
    formatter.add({ kStartUs, RX, 0x41 }, text);
    formatter.closeIfIdle(kStartUs + CaptureTextFormatter::kGapUs - 1, text);
    EXPECT_EQ(text.back(), '1');
    formatter.closeIfIdle(kStartUs + CaptureTextFormatter::kGapUs, text);
    EXPECT_EQ(text.back(), '\n');
    // A line once ended is not continued, and finish adds nothing more.
    formatter.add({ kStartUs + CaptureTextFormatter::kGapUs, RX, 0x42 }, text);
    formatter.finish(text);
    formatter.finish(text);
    const auto lines = Parse(text);
    ASSERT_EQ(lines.size(), 2U) << text;
    EXPECT_EQ(lines[1].bytes, std::vector<uint8_t> { 0x42 });
}

class UtcTime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *tz = std::getenv("TZ");
        m_hadTz = tz != nullptr;
        m_savedTz = tz ? tz : "";
        SetTz("UTC0");
    }
    void TearDown() override
    {
        if (m_hadTz) {
            SetTz(m_savedTz.c_str());
        } else {
#ifdef _WIN32
            _putenv_s("TZ", "");
#else
            unsetenv("TZ");
#endif
            tzset_();
        }
    }

private:
    static void tzset_()
    {
#ifdef _WIN32
        _tzset();
#else
        tzset();
#endif
    }
    static void SetTz(const char *value)
    {
#ifdef _WIN32
        _putenv_s("TZ", value);
#else
        setenv("TZ", value, 1);
#endif
        tzset_();
    }
    bool m_hadTz = false;
    std::string m_savedTz;
};

TEST_F(UtcTime, CaptureTimesAreLocalWithMicroseconds)
{
    EXPECT_EQ(FormatCaptureTime(0), "1970-01-01 00:00:00.000000");
    EXPECT_EQ(FormatCaptureTime(kStartUs + 123456), "2023-11-14 22:13:20.123456");
    EXPECT_EQ(FormatCaptureTime(kStartUs - 1), "2023-11-14 22:13:19.999999");
    CaptureTextFormatter formatter;
    std::string text;
    formatter.add({ kStartUs + 7, TX, 0xAB }, text);
    formatter.add({ kStartUs + 8, TX, 0x0C }, text);
    formatter.finish(text);
    EXPECT_EQ(text, "2023-11-14 22:13:20.000007 TX AB 0C\n");
}

struct PrefixCase
{
    const char *name;
    int32_t headerTime;
    std::string prefix;
};

class HeaderPrefixTest : public ::testing::TestWithParam<PrefixCase>
{
};

TEST_P(HeaderPrefixTest, GivesTheTimeOfDayInBrackets)
{
    EXPECT_EQ(HeaderTimePrefix(GetParam().headerTime), GetParam().prefix);
}

INSTANTIATE_TEST_SUITE_P(Values, HeaderPrefixTest,
    ::testing::Values(PrefixCase { "off", 0, "" }, PrefixCase { "midnight", 1, "[00:00:00.000] " },
        PrefixCase { "mixed", 1 + ((1 * 60 + 2) * 60 + 3) * 1000 + 4, "[01:02:03.004] " },
        PrefixCase { "last_ms_of_day", 86400000, "[23:59:59.999] " }),
    RowName());

TEST(HeaderTimes, NowIsZeroWhenOffAndATimeOfDayWhenOn)
{
    HeaderTimes = false;
    EXPECT_EQ(HeaderTimeNow(), 0);
    HeaderTimes = true;
    const int32_t now = HeaderTimeNow();
    HeaderTimes = false;
    EXPECT_GE(now, 1);
    EXPECT_LE(now, 86400000);
    EXPECT_EQ(HeaderTimePrefix(now).size(), std::string("[00:00:00.000] ").size());
}

struct FormatForCase
{
    const char *name;
    const char *path;
    CaptureFormat format;
};

class CaptureFormatForTest : public ::testing::TestWithParam<FormatForCase>
{
};

TEST_P(CaptureFormatForTest, TextOnlyForLogAndTxt)
{
    EXPECT_EQ(CaptureFormatFor(GetParam().path), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(Names, CaptureFormatForTest,
    ::testing::Values(FormatForCase { "log", "/tmp/a.log", CaptureFormat::Text },
        FormatForCase { "txt_upper_case", "A.TXT", CaptureFormat::Text },
        FormatForCase { "bin", "a.bin", CaptureFormat::Raw },
        FormatForCase { "no_extension", "capture", CaptureFormat::Raw },
        FormatForCase { "log_inside_the_name", "a.log.bin", CaptureFormat::Raw },
        FormatForCase { "hidden_file_named_log", ".log", CaptureFormat::Raw }),
    RowName());

// The meter: counts since the port was opened, the rate over the last second, and
// line errors since the first reading the driver gave.
struct Reading
{
    int64_t ms;
    uint64_t received, sent, openCount;
    std::optional<LineErrorCounts> driver;
};

struct MeterCase
{
    const char *name;
    std::vector<Reading> readings;
    uint64_t received, sent;
    double rate;
    std::optional<LineErrorCounts> errors;
};

class TrafficMeterTest : public ::testing::TestWithParam<MeterCase>
{
};

TEST_P(TrafficMeterTest, LastSnapshot)
{
    const MeterCase &c = GetParam();
    TrafficMeter meter;
    TrafficSnapshot last;
    for (const Reading &r : c.readings) {
        last = meter.update(r.ms, r.received, r.sent, r.openCount, r.driver);
    }
    EXPECT_EQ(last.received, c.received);
    EXPECT_EQ(last.sent, c.sent);
    EXPECT_DOUBLE_EQ(last.receiveRate, c.rate);
    EXPECT_EQ(last.errors, c.errors);
}

const LineErrorCounts kSomeErrors { 3, 1, 0, 2, 5 };

INSTANTIATE_TEST_SUITE_P(Readings, TrafficMeterTest,
    ::testing::Values(
        MeterCase { "first_reading_is_the_start", { { 0, 500, 20, 1, {} } }, 0, 0, 0, {} },
        MeterCase { "counts_since_the_first_reading",
            { { 0, 500, 20, 1, {} }, { 250, 1500, 25, 1, {} } }, 1000, 5, 4000, {} },
        MeterCase { "rate_over_the_last_second_only",
            { { 0, 0, 0, 1, {} }, { 250, 10000, 0, 1, {} }, { 1250, 11000, 0, 1, {} },
                { 1500, 12000, 0, 1, {} } },
            // The newest reading at least a second old is the one at 250 ms.
            12000, 0, 1600, {} },
        MeterCase { "reopening_starts_again",
            { { 0, 0, 0, 1, {} }, { 250, 700, 9, 1, {} }, { 500, 800, 9, 2, {} },
                { 750, 900, 10, 2, {} } },
            100, 1, 400, {} },
        MeterCase { "errors_since_the_first_driver_reading",
            { { 0, 0, 0, 1, LineErrorCounts { 10, 10, 10, 10, 10 } },
                { 250, 0, 0, 1, LineErrorCounts { 13, 11, 10, 12, 15 } } },
            0, 0, 0, kSomeErrors },
        MeterCase { "zero_errors_are_shown_as_zero",
            { { 0, 0, 0, 1, LineErrorCounts { 4, 0, 0, 0, 0 } },
                { 250, 0, 0, 1, LineErrorCounts { 4, 0, 0, 0, 0 } } },
            0, 0, 0, LineErrorCounts {} },
        MeterCase { "driver_that_cannot_count_shows_none",
            { { 0, 0, 0, 1, {} }, { 250, 0, 0, 1, {} } }, 0, 0, 0, std::nullopt },
        MeterCase { "driver_counts_going_back_count_from_zero",
            { { 0, 0, 0, 1, LineErrorCounts { 9, 9, 9, 9, 9 } },
                { 250, 0, 0, 1, LineErrorCounts { 3, 1, 0, 2, 5 } } },
            0, 0, 0, kSomeErrors }),
    RowName());

} // namespace
