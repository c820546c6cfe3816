#include "base/timestamp.h"
#include "document/memorydocument.h"
#include "ptyport.h"
#include "send/senddata.h"
#include "settings/settingsvalues.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const std::string kHeader = "Sending: ";

class SendDataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isOpen());
        settings.FTwoCharDelay = 0;
        settings.FAutoSend = false;
    }
    void send(DocumentOps *target)
    {
        SendData(
            target, settings, [this] { return notation; }, pty.port);
    }
    // What reached the far side, waiting up to 200 ms for `count` bytes; one more
    // byte is waited for briefly so that extra bytes are noticed.
    std::string farSide(std::size_t count) { return pty.receive(count + 1, count ? 200 : 50); }

    PtyPort pty;
    SettingsValues settings;
    MemoryDocument doc;
    Notation notation = Notation::Hex;
};

struct NotationCase
{
    const char *name;
    Notation notation;
    std::string sendChar;
    std::string bytes;
    std::string echo;
};

class SendNotationTest : public SendDataTest, public ::testing::WithParamInterface<NotationCase>
{
};

TEST_P(SendNotationTest, FarSideSeesTheBytesAndTheDocumentTheEcho)
{
    const NotationCase &c = GetParam();
    notation = c.notation;
    settings.FSendChar = c.sendChar;
    send(&doc);
    EXPECT_EQ(farSide(c.bytes.size()), c.bytes);
    EXPECT_EQ(doc.text(), kHeader + c.echo);
    EXPECT_EQ(doc.textIn(Colors::Blue), kHeader);
    EXPECT_EQ(doc.textIn(Colors::Black), c.echo);
}

INSTANTIATE_TEST_SUITE_P(Notations, SendNotationTest,
    ::testing::Values(NotationCase { "hex", Notation::Hex, "41 42,43", "ABC", "0x41 0x42 0x43 " },
        NotationCase { "decimal", Notation::Decimal, "65;300;-1;junk",
            std::string("A\x2C\xFF\0", 4), "65 300 -1 0 " },
        NotationCase { "chars", Notation::Chars, "XYZ \xD7\xD6", "XYZ\xD7\xD6",
            "'X' 'Y' 'Z' '\\xD7' '\\xD6' " },
        NotationCase { "empty_text", Notation::Hex, "", "", "" },
        NotationCase { "only_separators", Notation::Hex, " ,;.", "", "" }),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(SendDataTest, DecimalZeroByteReachesTheFarSide)
{
    notation = Notation::Decimal;
    settings.FSendChar = "0 256 junk";
    send(&doc);
    EXPECT_EQ(farSide(3), std::string(3, '\0'));
}

struct RangeCase
{
    const char *name;
    Notation notation;
    int32_t start;
    int32_t end;
    std::string bytes;
    std::string echo;
};

class SendRangeTest : public SendDataTest, public ::testing::WithParamInterface<RangeCase>
{
};

TEST_P(SendRangeTest, WalksTheRangeInclusively)
{
    const RangeCase &c = GetParam();
    notation = c.notation;
    settings.FAutoSend = true;
    settings.FSendStart = c.start;
    settings.FSendEnd = c.end;
    settings.FTwoCharDelay = 100;
    send(&doc);
    EXPECT_EQ(farSide(c.bytes.size()), c.bytes);
    EXPECT_EQ(doc.text(), kHeader + c.echo);
}

INSTANTIATE_TEST_SUITE_P(Ranges, SendRangeTest,
    ::testing::Values(RangeCase { "hex_0_to_2", Notation::Hex, 0, 2, std::string("\0\1\2", 3),
                          "0x00 0x01 0x02 " },
        RangeCase { "hex_across_255", Notation::Hex, 254, 257, std::string("\xFE\xFF\0\1", 4),
            "0xFE 0xFF 0x100 0x101 " },
        RangeCase { "chars_digits", Notation::Chars, 48, 50, "012", "0 1 2 " },
        RangeCase {
            "largest_value_once", Notation::Hex, 2147483647, 2147483647, "\xFF", "0x7FFFFFFF " },
        RangeCase { "negative_decimal", Notation::Decimal, -2, -1, "\xFE\xFF", "-2 -1 " },
        RangeCase { "start_after_end", Notation::Hex, 5, 4, "", "" }),
    [](const auto &row) { return std::string(row.param.name); });

struct HeaderCase
{
    const char *name;
    std::string before;
    std::string after;
};

class SendHeaderTest : public SendDataTest, public ::testing::WithParamInterface<HeaderCase>
{
};

TEST_P(SendHeaderTest, HeaderPlacementFollowsTheDocumentEnd)
{
    doc.InsertAtCaret(GetParam().before);
    settings.FSendChar = "41";
    send(&doc);
    EXPECT_EQ(doc.text(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Ends, SendHeaderTest,
    ::testing::Values(HeaderCase { "empty_document", "", kHeader + "0x41 " },
        HeaderCase { "after_text", "abc", "abc\n" + kHeader + "0x41 " },
        HeaderCase { "after_line_break", "abc\n", "abc\n" + kHeader + "\n0x41 " }),
    [](const auto &row) { return std::string(row.param.name); });

struct ClearCase
{
    const char *name;
    bool autoClear;
    int32_t clearLineNum;
    std::string before;
    std::string after;
};

class SendClearTest : public SendDataTest, public ::testing::WithParamInterface<ClearCase>
{
};

TEST_P(SendClearTest, ClearsBeforeTheHeader)
{
    const ClearCase &c = GetParam();
    doc.InsertAtCaret(c.before);
    settings.FAutoClear = c.autoClear;
    settings.FClearLineNum = c.clearLineNum;
    settings.FSendChar = "41";
    send(&doc);
    EXPECT_EQ(doc.text(), c.after);
}

INSTANTIATE_TEST_SUITE_P(Limits, SendClearTest,
    ::testing::Values(ClearCase { "limit_reached", true, 2, "a\nb", kHeader + "0x41 " },
        ClearCase { "limit_not_reached", true, 3, "a\nb", "a\nb\n" + kHeader + "0x41 " },
        ClearCase { "clearing_off", false, 1, "a\nb", "a\nb\n" + kHeader + "0x41 " },
        ClearCase { "zero_clears_empty_document", true, 0, "", kHeader + "0x41 " },
        ClearCase { "negative_clears_always", true, -1, "a", kHeader + "0x41 " }),
    [](const auto &row) { return std::string(row.param.name); });

struct RefusalCase
{
    const char *name;
    std::size_t capacity;
    std::string sendChar;
    std::string after;
};

class SendRefusalTest : public SendDataTest, public ::testing::WithParamInterface<RefusalCase>
{
};

// A document that cannot take the whole echo keeps exactly the echoes that fit,
// each tried in turn; every byte is sent all the same.
TEST_P(SendRefusalTest, FullDocumentKeepsTheEchoesThatFit)
{
    const RefusalCase &c = GetParam();
    MemoryDocument small(c.capacity);
    notation = Notation::Decimal;
    settings.FSendChar = c.sendChar;
    send(&small);
    EXPECT_EQ(small.text(), c.after);
    EXPECT_EQ(farSide(3).size(), 3U);
}

INSTANTIATE_TEST_SUITE_P(Capacities, SendRefusalTest,
    ::testing::Values(RefusalCase { "later_shorter_echo_fits", 11, "100 7 2", kHeader + "7 " },
        RefusalCase { "all_fit_exactly", 17, "100 7 2", kHeader + "100 7 2 " },
        RefusalCase { "only_the_header", 9, "1 2 3", kHeader },
        RefusalCase { "header_refused_echoes_kept", 5, "1 2 3", "1 2 " }),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(SendDataTest, NoDocumentSendsNothing)
{
    settings.FSendChar = "41 42";
    send(nullptr);
    EXPECT_EQ(farSide(0), "");
}

TEST_F(SendDataTest, EveryTokenIsSentEvenBeyond128)
{
    std::string text;
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        text += "41 ";
        expected += 'A';
    }
    settings.FSendChar = text;
    send(&doc);
    EXPECT_EQ(farSide(200), expected);
}

TEST_F(SendDataTest, NotationIsReadForEveryUnit)
{
    settings.FSendChar = "41 42 43";
    int units = 0;
    SendData(
        &doc, settings, [&] { return units++ == 1 ? Notation::Decimal : Notation::Hex; }, pty.port);
    EXPECT_EQ(doc.text(), kHeader + "0x41 42 0x43 ");
    EXPECT_EQ(farSide(3), std::string("A\x2A\x43", 3));
}

} // namespace

// With header times on, the header carries the time the first byte was written,
// not the time the send started: here the first token waits its delay.
TEST_F(SendDataTest, HeaderTimeIsThatOfTheFirstByteWritten)
{
    settings.FSendChar = "41";
    settings.FTwoCharDelay = 300000;
    HeaderTimes = true;
    const int32_t started = HeaderTimeNow();
    send(&doc);
    const int32_t ended = HeaderTimeNow();
    HeaderTimes = false;
    EXPECT_EQ(farSide(1), "A");
    if (ended < started) {
        GTEST_SKIP() << "the clock passed midnight";
    }
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int ms = 0;
    const std::string header = doc.textIn(Colors::Blue);
    ASSERT_EQ(std::sscanf(header.c_str(), "[%d:%d:%d.%d] ", &hours, &minutes, &seconds, &ms), 4)
        << header;
    const int32_t time = 1 + ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
    EXPECT_GE(time, started + 250);
    EXPECT_LE(time, ended);
    EXPECT_EQ(header.substr(header.size() - kHeader.size()), kHeader);
    EXPECT_EQ(doc.textIn(Colors::Black), "0x41 ");
}
