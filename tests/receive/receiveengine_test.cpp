#include "base/timestamp.h"
#include "receive/receivesummary.h"
#include "receivetesthelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string HexItems(int first, int last)
{
    std::string text;
    char item[8];
    for (int value = first; value <= last; ++value) {
        std::snprintf(item, sizeof item, "0x%02X ", value);
        text += item;
    }
    return text;
}

const std::string kHeader = "Receiving: ";
const std::string kParagraphEnd = "End of one Paragraph";

class ReceiveEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(r.pty.isOpen()); }
    void receive(const std::string &bytes, std::size_t expectedSize)
    {
        ASSERT_TRUE(r.pty.send(bytes));
        ASSERT_TRUE(r.pumpUntilSize(expectedSize)) << r.doc.text();
    }
    Reception r;
};

TEST_F(ReceiveEngineTest, TwelveBytesGiveTheTwoLinesOfTheExampleAndTheSummary)
{
    r.engine.Start();
    const std::string expected = kHeader + HexItems(0, 9) + "\n" + kHeader + HexItems(10, 11);
    receive(ByteRun(0, 11), expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
    EXPECT_EQ(r.doc.textIn(Colors::Green), kHeader + "\n" + kHeader);
    EXPECT_EQ(r.doc.textIn(Colors::Black), HexItems(0, 11));
    EXPECT_EQ(r.engine.exitCode(), 1);
    EXPECT_EQ(r.engine.RecvByteCount, 12);
    EXPECT_EQ(r.engine.RecvLineCount, 1);
    EXPECT_EQ(r.engine.RecvParaCount, 0);

    WriteReceiveSummary(
        r.doc, false, r.engine.ReceiveHasError, r.engine.RecvLineCount, r.engine.RecvParaCount);
    const auto lines = r.doc.lines();
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[2],
        "\xBD\xD3\xCA\xD5\xB5\xC4\xD0\xD0\xCA\xFD\xCA\xC7\xA3\xBA"
        "1");
    EXPECT_EQ(lines[3],
        "\xBD\xD3\xCA\xD5\xB5\xC4\xB6\xCE\xCA\xFD\xCA\xC7\xA3\xBA"
        "0");
}

TEST_F(ReceiveEngineTest, HundredthByteEndsAParagraphThenStartsANewLine)
{
    r.engine.Start();
    std::string expected;
    for (int line = 0; line < 10; ++line) {
        expected += (line ? "\n" : "") + kHeader + HexItems(line * 10, line * 10 + 9);
    }
    expected += "\n" + kParagraphEnd + "\n" + kHeader;
    receive(ByteRun(0, 99), expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
    EXPECT_EQ(r.doc.textIn(Colors::Red), "\n" + kParagraphEnd);
    EXPECT_EQ(r.engine.RecvParaCount, 1);
    EXPECT_EQ(r.engine.RecvLineCount, 10);
}

TEST_F(ReceiveEngineTest, FirstHeaderAfterALineBreakStandsOnItsOwnLine)
{
    r.doc.AppendLine("earlier");
    r.engine.Start();
    const std::string expected = "earlier\n" + kHeader + "\n" + HexItems(65, 65);
    receive("A", expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
}

TEST_F(ReceiveEngineTest, OneBytePerLine)
{
    r.settings.FLineCharNum = 1;
    r.engine.Start();
    const std::string expected
        = kHeader + "0x00 \n" + kHeader + "0x01 \n" + kHeader + "0x02 \n" + kHeader;
    receive(ByteRun(0, 2), expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
    EXPECT_EQ(r.engine.RecvLineCount, 3);
}

// The value of HeaderTimeNow() that each "[HH:MM:SS.mmm] " of `text` stands for.
std::vector<int32_t> HeaderTimesIn(const std::string &text)
{
    std::vector<int32_t> times;
    for (std::size_t at = text.find('['); at != std::string::npos; at = text.find('[', at + 1)) {
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
        int ms = 0;
        if (std::sscanf(text.c_str() + at, "[%d:%d:%d.%d]", &hours, &minutes, &seconds, &ms) == 4) {
            times.push_back(1 + ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms);
        }
    }
    return times;
}

// With header times on, a line's header carries the time its first byte was read,
// not the time the line before it completed, and the lines of one read share that
// read's time.
TEST_F(ReceiveEngineTest, ALineIsStampedWithTheReadOfItsFirstByte)
{
    r.settings.FLineCharNum = 4;
    HeaderTimes = true;
    const int32_t started = HeaderTimeNow();
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(ByteRun(0, 3)));
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.text().find("0x03") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int32_t beforeBurst = HeaderTimeNow();
    ASSERT_TRUE(r.pty.send(ByteRun(4, 11)));
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.text().find("0x0B") != std::string::npos; }));
    const int32_t afterBurst = HeaderTimeNow();
    r.engine.Stop(&r.doc);
    HeaderTimes = false;
    if (afterBurst < started) {
        GTEST_SKIP() << "the clock passed midnight";
    }
    // Three lines and the header the third one's end left.
    const std::vector<int32_t> times = HeaderTimesIn(r.doc.textIn(Colors::Green));
    ASSERT_EQ(times.size(), 4U) << r.doc.text();
    EXPECT_GE(times[0], started);
    EXPECT_LT(times[0], beforeBurst);
    EXPECT_GE(times[1], beforeBurst);
    EXPECT_LE(times[1], afterBurst);
    EXPECT_EQ(times[2], times[1]);
    EXPECT_EQ(r.doc.textIn(Colors::Black), HexItems(0, 11));
}

struct LengthCase
{
    const char *name;
    int32_t lineCharNum;
    int32_t paraCharNum;
};

class GroupLengthTest : public ::testing::TestWithParam<LengthCase>
{
};

// A paragraph length that is no multiple of the line length puts the next items
// straight behind the paragraph end; negative lengths act as their absolute value.
TEST_P(GroupLengthTest, ItemsAfterAParagraphEndFollowItDirectly)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    r.settings.FLineCharNum = GetParam().lineCharNum;
    r.settings.FParaCharNum = GetParam().paraCharNum;
    r.engine.Start();
    const std::string expected = kHeader + HexItems(0, 9) + "\n" + kHeader + HexItems(10, 14) + "\n"
        + kParagraphEnd + HexItems(15, 19) + "\n" + kHeader + HexItems(20, 21);
    ASSERT_TRUE(r.pty.send(ByteRun(0, 21)));
    ASSERT_TRUE(r.pumpUntilSize(expected.size())) << r.doc.text();
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
    EXPECT_EQ(r.engine.RecvLineCount, 2);
    EXPECT_EQ(r.engine.RecvParaCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Lengths, GroupLengthTest,
    ::testing::Values(LengthCase { "positive", 10, 15 }, LengthCase { "negative_line", -10, 15 },
        LengthCase { "negative_both", -10, -15 }),
    [](const auto &row) { return std::string(row.param.name); });

struct OrderCase
{
    const char *name;
    int32_t paraCharNum;
    int32_t paraStart;
    int32_t paraEnd;
    std::string bytes;
    std::vector<int> errorPositions;
};

class OrderCheckTest : public ::testing::TestWithParam<OrderCase>
{
};

std::string WithWrongBytes(std::string bytes, std::initializer_list<int> positions)
{
    for (const int pos : positions) {
        bytes[static_cast<std::size_t>(pos)] = '\xEE';
    }
    return bytes;
}

TEST_P(OrderCheckTest, WritesOneRedLinePerWrongPosition)
{
    const OrderCase &c = GetParam();
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    r.settings.FCheckOrder = true;
    r.settings.FAutoClear = false;
    r.settings.FLineCharNum = 1000;
    r.settings.FParaCharNum = c.paraCharNum;
    r.settings.FParaStart = c.paraStart;
    r.settings.FParaEnd = c.paraEnd;
    r.engine.Start();
    const std::size_t paragraphs = c.bytes.size() / static_cast<std::size_t>(c.paraCharNum);
    ASSERT_TRUE(r.pty.send(c.bytes));
    ASSERT_TRUE(r.pumpUntil([&] {
        return r.doc.textIn(Colors::Black).size() == c.bytes.size() * 5;
    })) << r.doc.text();
    r.engine.Stop(&r.doc);

    std::string red;
    for (std::size_t p = 0; p < paragraphs; ++p) {
        red += "\n" + kParagraphEnd;
        for (const int pos : c.errorPositions) {
            red += "\nthe char " + std::to_string(pos) + " is error";
        }
    }
    EXPECT_EQ(r.doc.textIn(Colors::Red), red);
    EXPECT_EQ(r.engine.ReceiveHasError, !c.errorPositions.empty());
    EXPECT_EQ(r.engine.RecvParaCount, static_cast<int32_t>(paragraphs));
}

std::string Pattern(int length, int repeats)
{
    std::string bytes;
    for (int i = 0; i < repeats; ++i) {
        bytes += ByteRun(0, length - 1);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Paragraphs, OrderCheckTest,
    ::testing::Values(OrderCase { "counting_pattern_passes", 128, 0, 127, Pattern(128, 3), {} },
        OrderCase { "last_position_is_never_stored", 128, 0, 128, Pattern(128, 2), { 127 } },
        OrderCase {
            "wrong_bytes_reported", 16, 0, 15, WithWrongBytes(Pattern(16, 1), { 5, 9 }), { 5, 9 } },
        OrderCase { "positions_outside_the_buffer", 8, -2, 2, Pattern(8, 1), { -2, -1 } },
        OrderCase { "position_past_the_buffer", 8, 1199, 1201, Pattern(8, 1), { 1199, 1200 } },
        OrderCase { "never_filled_positions", 4, 0, 5, Pattern(4, 2), { 3, 4 } }),
    [](const auto &row) { return std::string(row.param.name); });

struct StopInCheckCase
{
    const char *name;
    int32_t paraEnd;
    // Every position of the range is reported; else the stop cut the check short.
    bool wholeCheck;
};

class StopInCheckTest : public ::testing::TestWithParam<StopInCheckCase>
{
};

// The stop request arrives while the one byte received is being handled: its
// paragraph end and order check (1 byte per paragraph, nothing ever stored, so
// every position is wrong) are still carried out in full when the range lies in
// the paragraph buffer. Only a range that reaches far past the buffer gives way.
TEST_P(StopInCheckTest, ByteInHandIsHandledToTheEnd)
{
    const StopInCheckCase &c = GetParam();
    SettingsValues settings;
    settings.FCheckOrder = true;
    settings.FAutoClear = false;
    settings.FParaCharNum = 1;
    settings.FLineCharNum = 1;
    settings.FParaStart = 0;
    settings.FParaEnd = c.paraEnd;
    std::atomic<bool> delivered { false };
    ReceiveEngine *self = nullptr;
    ReceiveEngine engine(
        settings,
        [&](uint8_t &byte) {
            if (delivered) {
                return 0;
            }
            byte = 0x41;
            self->StopReceive = true;
            delivered = true;
            return 1;
        },
        [] {});
    self = &engine;
    MemoryDocument doc;
    engine.Start();
    while (!delivered) {
        std::this_thread::yield();
    }
    engine.Stop(&doc);

    EXPECT_EQ(engine.exitCode(), 1);
    EXPECT_TRUE(engine.ReceiveHasError);
    const std::string text = doc.text();
    if (c.wholeCheck) {
        std::string red = "\n" + kParagraphEnd;
        for (int pos = 0; pos < c.paraEnd; ++pos) {
            red += "\nthe char " + std::to_string(pos) + " is error";
        }
        // Compared by size and ending first, so that a failure stays readable.
        const std::string shownRed = doc.textIn(Colors::Red);
        ASSERT_EQ(shownRed.size(), red.size()) << shownRed.substr(shownRed.size() - 30);
        EXPECT_EQ(shownRed, red);
        EXPECT_EQ(text.substr(text.size() - kHeader.size() - 1), "\n" + kHeader);
        EXPECT_EQ(engine.RecvLineCount, 1);
    } else {
        EXPECT_LT(doc.lines().size(), 100000u);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, StopInCheckTest,
    ::testing::Values(StopInCheckCase { "range_in_the_buffer", 1200, true },
        StopInCheckCase { "range_far_past_the_buffer", 2000000000, false }),
    [](const auto &row) { return std::string(row.param.name); });

// A long run fast-forwarded to just below a power of two: the stream of 0..99
// paragraphs lays out, checks and counts exactly as from the start.
class LongRunTest : public ::testing::TestWithParam<int64_t>
{
};

TEST_P(LongRunTest, CountsLinesAndOrderCheckGoOnPast32Bits)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    r.settings.FCheckOrder = true;
    r.settings.FParaStart = 0;
    r.settings.FParaEnd = 99;
    const int64_t from = GetParam();
    r.engine.Start(from);
    std::string expected = kHeader;
    for (int paragraph = 0; paragraph < 3; ++paragraph) {
        for (int line = 0; line < 10; ++line) {
            expected += (line ? "\n" + kHeader : "") + HexItems(line * 10, line * 10 + 9);
        }
        expected += "\n" + kParagraphEnd + "\n" + kHeader;
    }
    ASSERT_TRUE(r.pty.send(ByteRun(0, 99) + ByteRun(0, 99) + ByteRun(0, 99)));
    ASSERT_TRUE(r.pumpUntilSize(expected.size())) << r.doc.text();
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
    EXPECT_FALSE(r.engine.ReceiveHasError);
    EXPECT_EQ(r.engine.RecvByteCount, from + 300);
    EXPECT_EQ(r.engine.RecvLineCount, 30);
    EXPECT_EQ(r.engine.RecvParaCount, 3);
}

// Each start is a multiple of 100 that 300 bytes carry past 2^31 or 2^32.
INSTANTIATE_TEST_SUITE_P(StartCounts, LongRunTest,
    ::testing::Values(int64_t { 0 }, int64_t { 2147483600 }, int64_t { 4294967200 }),
    [](const auto &row) { return "from_" + std::to_string(row.param); });

TEST_F(ReceiveEngineTest, OrderCheckSeesOnlyTheParagraphsWhileItIsOn)
{
    r.settings.FParaCharNum = 4;
    r.settings.FParaEnd = 3;
    r.engine.Start();
    receive("\x01\x01\x01\x01", 10);
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.text().find(kParagraphEnd) != std::string::npos; }));
    r.settings.FCheckOrder = true;
    receive(ByteRun(0, 3), r.doc.text().size() + 20);
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.textIn(Colors::Black).size() == 40; }));
    r.engine.Stop(&r.doc);
    EXPECT_FALSE(r.engine.ReceiveHasError);
    EXPECT_EQ(r.doc.text().find("is error"), std::string::npos);
}

struct ClearCase
{
    const char *name;
    int32_t clearLineNum;
    int32_t lineCharNum;
    int lastByte;
    std::string expected;
};

class AutoClearTest : public ::testing::TestWithParam<ClearCase>
{
};

TEST_P(AutoClearTest, ClearsWhenAByteArrivesAtTheLineLimit)
{
    const ClearCase &c = GetParam();
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    r.settings.FClearLineNum = c.clearLineNum;
    r.settings.FLineCharNum = c.lineCharNum;
    r.doc.AppendLine("old text");
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(ByteRun(0, c.lastByte)));
    const std::string lastItem = HexItems(c.lastByte, c.lastByte);
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.text().find(lastItem) != std::string::npos; }));
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Limits, AutoClearTest,
    ::testing::Values(ClearCase { "two_lines", 2, 2, 5, "0x04 0x05 \n" + kHeader },
        ClearCase { "zero_clears_before_every_byte", 0, 10, 2, "0x02 " },
        ClearCase { "negative_clears_before_every_byte", -5, 10, 2, "0x02 " },
        ClearCase { "limit_not_reached", 100, 10, 1, "old text\n" + kHeader + "\n0x00 0x01 " }),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(ReceiveEngineTest, NotationChangeAppliesFromTheNextByte)
{
    r.engine.Start();
    receive("AB", kHeader.size() + 10);
    r.engine.notation = Notation::Decimal;
    receive("C\x0D", kHeader.size() + 16);
    r.engine.notation = Notation::Chars;
    const std::string expected = kHeader + "0x41 0x42 67 13 'D' '\\x0D' ";
    receive("D\x0D", expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
}

TEST_F(ReceiveEngineTest, StopRightAfterStartCountsNothing)
{
    r.engine.RecvLineCount = 7;
    r.engine.Start();
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.engine.exitCode(), 1);
    EXPECT_EQ(r.engine.RecvByteCount, 0);
    EXPECT_EQ(r.engine.RecvLineCount, 0);
    EXPECT_EQ(r.doc.text(), "");
}

TEST_F(ReceiveEngineTest, ZeroLineLengthEndsTheThreadAfterShowingTheByte)
{
    r.settings.FLineCharNum = 0;
    r.engine.Start();
    ASSERT_TRUE(r.pty.send("AB"));
    ASSERT_TRUE(r.pumpUntil([&] { return r.engine.exitCode() == 0; }));
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), kHeader + "0x41 ");
    EXPECT_EQ(r.engine.RecvByteCount, 1);
}

TEST_F(ReceiveEngineTest, ZeroParagraphLengthEndsTheThreadAfterShowingTheByte)
{
    r.settings.FParaCharNum = 0;
    r.engine.Start();
    ASSERT_TRUE(r.pty.send("AB"));
    ASSERT_TRUE(r.pumpUntil([&] { return r.engine.exitCode() == 0; }));
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), kHeader + "0x41 ");
    EXPECT_EQ(r.engine.RecvLineCount, 0);
}

TEST_F(ReceiveEngineTest, DocumentThatRefusesALineEndsTheThread)
{
    MemoryDocument small(40);
    r.target = &small;
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(ByteRun(0, 14)));
    ASSERT_TRUE(r.pumpUntil([&] { return r.engine.exitCode() == 0; }));
    r.engine.Stop(&small);
    // Items that no longer fit are dropped; the line header of byte 10 ends it.
    EXPECT_EQ(small.text(), kHeader + HexItems(0, 4));
    EXPECT_EQ(r.engine.RecvLineCount, 1);
    EXPECT_EQ(r.engine.RecvByteCount, 10);
}

TEST_F(ReceiveEngineTest, DocumentGoneEndsTheThread)
{
    r.engine.Start();
    receive("A", kHeader.size() + 5);
    r.target = nullptr;
    ASSERT_TRUE(r.pty.send("B"));
    ASSERT_TRUE(r.pumpUntil([&] { return r.engine.exitCode() == 0; }));
    ASSERT_TRUE(r.pty.send("C"));
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), kHeader + "0x41 ");
    EXPECT_EQ(r.engine.RecvByteCount, 1);
}

TEST_F(ReceiveEngineTest, BytesArriveWhileTheSendButtonIsDown)
{
    r.engine.sendButtonDown = true;
    r.engine.Start();
    const std::string expected = kHeader + HexItems(0, 4);
    receive(ByteRun(0, 4), expected.size());
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), expected);
}

// A queue of 256 changes holds far fewer than a paragraph's worth of bytes, so the
// thread has to wait for room again and again; nothing may be lost or reordered.
TEST_F(ReceiveEngineTest, FloodThroughASmallQueueKeepsEveryByte)
{
    r.settings.FAutoClear = false;
    r.engine.Start();
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        bytes.push_back(static_cast<char>(i % 256));
    }
    ASSERT_TRUE(r.pty.send(bytes));
    ASSERT_TRUE(r.pumpUntil([&] { return r.doc.textIn(Colors::Black).size() == 5000 * 5; }));
    r.engine.Stop(&r.doc);
    std::string items;
    for (int i = 0; i < 5000; ++i) {
        items += HexItems(i % 256, i % 256);
    }
    EXPECT_EQ(r.doc.textIn(Colors::Black), items);
    EXPECT_EQ(r.engine.RecvLineCount, 500);
    EXPECT_EQ(r.engine.RecvParaCount, 50);
    EXPECT_LE(r.engine.queueHighWater(), Reception::queueCapacity);
}

TEST_F(ReceiveEngineTest, StopCarriesOutEverythingWaiting)
{
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(ByteRun(0, 2)));
    // Let the thread read the bytes without the test carrying anything out.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text(), kHeader + HexItems(0, 2));
}

TEST_F(ReceiveEngineTest, NextReceptionStartsFreshOnANewLine)
{
    r.engine.Start();
    receive("AB", kHeader.size() + 10);
    r.engine.Stop(&r.doc);
    WriteReceiveSummary(
        r.doc, true, r.engine.ReceiveHasError, r.engine.RecvLineCount, r.engine.RecvParaCount);
    const std::size_t before = r.doc.text().size();
    r.engine.Start();
    receive("C", before + 1 + kHeader.size() + 5);
    r.engine.Stop(&r.doc);
    EXPECT_EQ(r.doc.text().substr(before), "\n" + kHeader + "0x43 ");
    EXPECT_EQ(r.engine.RecvByteCount, 1);
}

// A document that remembers the largest size it reached and how many line breaks
// were added to it.
class WatchedDocument : public MemoryDocument
{
public:
    bool InsertAtCaret(std::string_view added) override
    {
        const bool ok = MemoryDocument::InsertAtCaret(added);
        if (ok) {
            appended += static_cast<std::size_t>(std::count(added.begin(), added.end(), '\n'));
        }
        largest = std::max(largest, text().size());
        return ok;
    }
    bool AppendLine(std::string_view added) override
    {
        const bool ok = MemoryDocument::AppendLine(added);
        appended += ok ? 1 : 0;
        largest = std::max(largest, text().size());
        return ok;
    }

    std::size_t largest = 0;
    std::size_t appended = 0;
};

struct CheckRangeCase
{
    const char *name;
    int32_t paraStart;
    int32_t paraEnd;
    bool clearedInTheCheck;
};

class CheckRangeClearTest : public ::testing::TestWithParam<CheckRangeCase>
{
};

// One byte per paragraph with the order check on: every byte's check writes a line
// per position of the range. With automatic clearing on, a range reaching far
// outside the paragraph buffer must not let the document grow past the clearing
// limit while one byte's check runs; a range within the buffer is written whole,
// clearing waiting for the next byte as for received items.
TEST_P(CheckRangeClearTest, AutomaticClearingBoundsTheDocument)
{
    const CheckRangeCase &c = GetParam();
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    WatchedDocument doc;
    r.target = &doc;
    r.settings.FCheckOrder = true;
    r.settings.FParaCharNum = 1;
    r.settings.FLineCharNum = 1;
    r.settings.FAutoClear = true;
    r.settings.FClearLineNum = 100;
    r.settings.FParaStart = c.paraStart;
    r.settings.FParaEnd = c.paraEnd;
    r.engine.Start();
    ASSERT_TRUE(r.pty.send("A"));
    const std::size_t lines = c.clearedInTheCheck ? 20000 : 1201;
    ASSERT_TRUE(r.pumpUntil([&] { return doc.appended >= lines; })) << doc.appended;
    r.engine.Stop(&doc);

    // "the char -2147483648 is error" and its line break take 30 bytes; the 1200
    // positions of the buffer are written whole, at most 24 bytes each.
    const std::size_t limit = (100 + 3) * 30 + 1200 * 24;
    if (c.clearedInTheCheck) {
        EXPECT_LE(doc.largest, limit);
    } else {
        EXPECT_GE(doc.lines().size(), 1201u);
    }
    EXPECT_LE(r.engine.queueHighWater(), Reception::queueCapacity + 2048);
}

INSTANTIATE_TEST_SUITE_P(Ranges, CheckRangeClearTest,
    ::testing::Values(CheckRangeCase { "whole_integer_range", INT32_MIN, INT32_MAX, true },
        CheckRangeCase { "far_past_the_buffer", 0, 2000000000, true },
        CheckRangeCase { "far_below_the_buffer", -2000000000, 0, true },
        CheckRangeCase { "range_in_the_buffer", 0, 1200, false }),
    [](const auto &row) { return std::string(row.param.name); });

struct EndCase
{
    const char *name;
    std::function<void(Reception &)> setUp;
    std::function<void(Reception &)> trigger;
    ReceiveEngine::EndReason reason;
};

class EndReasonTest : public ::testing::TestWithParam<EndCase>
{
};

// How a reception ended is known to the owner, so that it can tell the user.
TEST_P(EndReasonTest, TellsWhyTheReceptionEnded)
{
    const EndCase &c = GetParam();
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    if (c.setUp) {
        c.setUp(r);
    }
    r.engine.Start();
    EXPECT_EQ(r.engine.endReason(), ReceiveEngine::EndReason::Running);
    c.trigger(r);
    const bool byItself = c.reason != ReceiveEngine::EndReason::Stopped;
    if (byItself) {
        ASSERT_TRUE(r.pumpUntil([&] { return r.engine.exitCode() == 0; }));
    }
    r.engine.Stop(r.target);
    EXPECT_EQ(r.engine.endReason(), c.reason);
    EXPECT_EQ(r.engine.endedByItself(), byItself);
}

MemoryDocument g_smallDocument(40);

INSTANTIATE_TEST_SUITE_P(Ends, EndReasonTest,
    ::testing::Values(
        EndCase { "stop_request", nullptr, [](Reception &r) { ASSERT_TRUE(r.pty.send("A")); },
            ReceiveEngine::EndReason::Stopped },
        EndCase { "zero_line_length", [](Reception &r) { r.settings.FLineCharNum = 0; },
            [](Reception &r) { ASSERT_TRUE(r.pty.send("A")); },
            ReceiveEngine::EndReason::ZeroLineLength },
        EndCase { "zero_paragraph_length", [](Reception &r) { r.settings.FParaCharNum = 0; },
            [](Reception &r) { ASSERT_TRUE(r.pty.send("A")); },
            ReceiveEngine::EndReason::ZeroParagraphLength },
        EndCase { "document_full", [](Reception &r) { r.target = &g_smallDocument; },
            [](Reception &r) { ASSERT_TRUE(r.pty.send(ByteRun(0, 14))); },
            ReceiveEngine::EndReason::DocumentFull },
        EndCase { "document_gone", [](Reception &r) { r.target = nullptr; },
            [](Reception &r) { ASSERT_TRUE(r.pty.send("A")); },
            ReceiveEngine::EndReason::DocumentGone }),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
