#include "session/sessionfind.h"
#include "session/sessionrows.h"
#include "session/sessionstore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int64_t kT0 = 1700000000000000; // a moment in 2023, in microseconds
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const std::string kRequest = std::string("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8);

std::string WithCrc(std::string frame)
{
    const uint16_t crc = Crc16Modbus(frame);
    frame.push_back(static_cast<char>(crc & 0xFF));
    frame.push_back(static_cast<char>(crc >> 8));
    return frame;
}

std::string Reply()
{
    std::string reply("\x01\x03\x14", 3);
    for (int i = 0; i < 20; ++i) {
        reply.push_back(static_cast<char>(i * 7));
    }
    return WithCrc(reply);
}

void Add(SessionStore &store, CaptureDirection direction, int64_t timeUs, std::string_view bytes)
{
    store.append(direction, timeUs, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

constexpr auto RX = CaptureDirection::Received;
constexpr auto TX = CaptureDirection::Sent;

// One recorded session: two NMEA sentences, then two Modbus exchanges (the reply
// arriving in two pieces 1.5 ms apart), the second reply with a broken CRC.
void Record(SessionStore &store)
{
    Add(store, RX, kT0, kGga);
    Add(store, RX, kT0 + 2000, kRmc);
    const std::string reply = Reply();
    std::string broken = reply;
    broken.back() = static_cast<char>(broken.back() ^ 0x01);
    int64_t at = kT0 + 1000000;
    for (const std::string &answer : { reply, broken }) {
        Add(store, TX, at, kRequest);
        Add(store, RX, at + 20000, answer.substr(0, 10));
        Add(store, RX, at + 21500, answer.substr(10));
        at += 1000000;
    }
}

struct Row
{
    uint64_t start;
    uint64_t end;
};

std::vector<Row> AllRows(const SessionStore &store, const SessionRules &rules)
{
    const SessionRows rows(store, rules);
    std::vector<Row> all;
    for (uint64_t at = store.begin(); at < store.end();) {
        const uint64_t end = rows.rowEnd(at);
        all.push_back({ at, end });
        at = end;
    }
    return all;
}

std::vector<std::string> RowTexts(
    const SessionStore &store, const SessionRules &rules, const TextOptions &options)
{
    const SessionRows rows(store, rules);
    std::vector<std::string> texts;
    for (uint64_t at = store.begin(); at < store.end();) {
        const SessionRow row = rows.row(at);
        std::string bytes;
        store.copy(row.start, row.end - rows.ending(row), bytes);
        std::string text;
        for (const TextSpan &span : DecodeText(bytes, options)) {
            text += span.mark ? "[" + span.text + "]" : span.text;
        }
        texts.push_back(text);
        at = row.end;
    }
    return texts;
}

SessionRules TextRules(LineBreak lineBreak)
{
    SessionRules rules;
    rules.lineBreak = lineBreak;
    return rules;
}

SessionRules FrameRules(FrameSplit split, double gap, std::string delimiter, int length)
{
    SessionRules rules;
    rules.mode = SessionMode::Frames;
    rules.split = split;
    rules.gap = gap;
    rules.delimiter = std::move(delimiter);
    rules.length = length;
    return rules;
}

TEST(SessionText, LinesByEachBreakRule)
{
    SessionStore store;
    Add(store, RX, kT0, "a\rb\r\nc\nd");
    Add(store, TX, kT0 + 500, "e\n");
    const struct
    {
        LineBreak lineBreak;
        std::vector<std::string> lines;
    } rows[] = {
        { LineBreak::Lf, { "a[^M]b[^M]", "c", "d", "e" } },
        { LineBreak::Cr, { "a", "b", "[^J]c[^J]d", "e[^J]" } },
        { LineBreak::CrLf, { "a[^M]b", "c[^J]d", "e[^J]" } },
        { LineBreak::Any, { "a", "b", "c", "d", "e" } },
    };
    for (const auto &row : rows) {
        EXPECT_EQ(RowTexts(store, TextRules(row.lineBreak), {}), row.lines) << int(row.lineBreak);
    }
}

TEST(SessionText, DecodesEachEncodingAndAnsi)
{
    const std::string mixed = "A\xC3\xA9|\xD6\xD0|\xFF\x01";
    const std::string ansi = "\x1B[31mred\x1B[0m\x1B";
    const struct
    {
        std::string bytes;
        TextOptions options;
        std::string text;
    } rows[] = {
        { mixed, { TextEncoding::Ascii, true }, "A[\\xC3\\xA9]|[\\xD6\\xD0]|[\\xFF^A]" },
        { mixed, { TextEncoding::Utf8, true }, "A\xC3\xA9|[\\xD6\\xD0]|[\\xFF^A]" },
        { mixed, { TextEncoding::Gbk, true }, "A\xC3\xA9|\xD6\xD0|[\\xFF^A]" },
        { ansi, { TextEncoding::Utf8, true }, "red[^[]" },
        { ansi, { TextEncoding::Utf8, false }, "[^[[31m]red[^[[0m^[]" },
    };
    for (const auto &row : rows) {
        std::string text;
        for (const TextSpan &span : DecodeText(row.bytes, row.options)) {
            text += span.mark ? "[" + span.text + "]" : span.text;
        }
        EXPECT_EQ(text, row.text) << row.bytes;
    }
}

TEST(SessionText, RecordedSentencesAreWholeLinesWithTimes)
{
    SessionStore store;
    Record(store);
    const SessionRows rows(store, TextRules(LineBreak::Any));
    const SessionRow second = rows.row(kGga.size());
    EXPECT_EQ(second.end, kGga.size() + kRmc.size());
    EXPECT_EQ(second.timeUs, kT0 + 2000);
    EXPECT_EQ(second.direction, RX);
    EXPECT_EQ(
        RowTexts(store, TextRules(LineBreak::Any), {}).at(1), kRmc.substr(0, kRmc.size() - 2));
}

TEST(SessionHex, RowsOfSixteenABlockPerTurn)
{
    SessionStore store;
    Add(store, RX, kT0, "0123456789abcdefGHIJ");
    Add(store, TX, kT0 + 100, "xyz");
    SessionRules rules;
    rules.mode = SessionMode::Hex;
    const SessionRows rows(store, rules);
    const struct
    {
        uint64_t start;
        uint64_t end;
        bool blockStart;
        CaptureDirection direction;
    } expected[] = { { 0, 16, true, RX }, { 16, 20, false, RX }, { 20, 23, true, TX } };
    uint64_t at = 0;
    for (const auto &row : expected) {
        const SessionRow got = rows.row(at);
        EXPECT_EQ(got.start, row.start);
        EXPECT_EQ(got.end, row.end);
        EXPECT_EQ(got.blockStart, row.blockStart);
        EXPECT_EQ(got.direction, row.direction);
        at = got.end;
    }
    EXPECT_EQ(HexDumpLine(16, "GHIJ\x01"),
        "00000010  47 48 49 4A 01                                    |GHIJ.|");
}

TEST(SessionFrames, SplitByGapDelimiterAndLength)
{
    SessionStore store;
    Record(store);
    const uint64_t nmea = kGga.size() + kRmc.size();
    const uint64_t exchange = kRequest.size() + 25;
    const struct
    {
        const char *name;
        SessionRules rules;
        std::vector<uint64_t> lengths;
    } rows[] = {
        // The sentences are 2 ms apart: one frame at 3.5 ms, two at 1 ms.
        { "gap 3.5 ms", FrameRules(FrameSplit::GapMs, 3.5, "", 0), { nmea, 8, 25, 8, 25 } },
        { "gap 1 ms", FrameRules(FrameSplit::GapMs, 1, "", 0),
            { kGga.size(), kRmc.size(), 8, 10, 15, 8, 10, 15 } },
        // 3.5 characters at 9600 baud: 3.6 ms.
        { "3.5 characters", FrameRules(FrameSplit::GapChars, 3.5, "", 0), { nmea, 8, 25, 8, 25 } },
        { "delimiter CR LF", FrameRules(FrameSplit::Delimiter, 0, "\r\n", 0),
            { kGga.size(), kRmc.size(), 8, 25, 8, 25 } },
        { "length 30", FrameRules(FrameSplit::Length, 0, "", 30),
            { 30, 30, 30, 30, nmea - 120, 8, 25, 8, 25 } },
    };
    for (const auto &row : rows) {
        std::vector<uint64_t> lengths;
        for (const Row &frame : AllRows(store, row.rules)) {
            lengths.push_back(frame.end - frame.start);
        }
        EXPECT_EQ(lengths, row.lengths) << row.name;
    }
    EXPECT_EQ(store.end(), nmea + 2 * exchange);
    // The gap since the frame before is that of the pause, not of the pieces.
    const SessionRows byGap(store, FrameRules(FrameSplit::GapMs, 3.5, "", 0));
    EXPECT_EQ(byGap.row(nmea + 8).gapUs, 20000);
}

TEST(SessionFrames, RefusesRulesThatCannotSplit)
{
    EXPECT_FALSE(CheckRules(FrameRules(FrameSplit::GapMs, 0, "", 0)));
    EXPECT_FALSE(CheckRules(FrameRules(FrameSplit::GapChars, 0, "", 0)));
    EXPECT_FALSE(CheckRules(FrameRules(FrameSplit::Delimiter, 0, "", 0)));
    EXPECT_FALSE(CheckRules(FrameRules(FrameSplit::Length, 0, "", 0)));
    EXPECT_FALSE(CheckRules(FrameRules(FrameSplit::Length, 0, "", 5000)));
    EXPECT_TRUE(CheckRules(FrameRules(FrameSplit::GapChars, 3.5, "", 0)));
    EXPECT_TRUE(CheckRules(FrameRules(FrameSplit::Delimiter, 0, "\n", 0)));
}

TEST(SessionFrames, ModbusAndNmeaChecks)
{
    EXPECT_EQ(Crc16Modbus("123456789"), 0x4B37);
    std::string broken = Reply();
    broken[5] = static_cast<char>(broken[5] ^ 0x10);
    const struct
    {
        std::string frame;
        CheckResult result;
        int function;
        bool exception;
    } modbus[] = {
        { kRequest, CheckResult::Good, 3, false },
        { Reply(), CheckResult::Good, 3, false },
        { broken, CheckResult::Bad, 3, false },
        { WithCrc(std::string("\x01\x83\x02", 3)), CheckResult::Good, 3, true },
        { "\x01\x03", CheckResult::None, 0, false },
    };
    for (const auto &row : modbus) {
        const ModbusCheck check = CheckModbus(row.frame);
        EXPECT_EQ(check.result, row.result) << HexBytes(row.frame);
        EXPECT_EQ(check.function, row.function) << HexBytes(row.frame);
        EXPECT_EQ(check.exception, row.exception) << HexBytes(row.frame);
    }
    std::string badSentence = kRmc;
    badSentence[10] = '9';
    const struct
    {
        std::string frame;
        CheckResult result;
    } nmea[] = {
        { kGga, CheckResult::Good },
        { kRmc, CheckResult::Good },
        { badSentence, CheckResult::Bad },
        { "$GPGGA,no,checksum\r\n", CheckResult::None },
        { "hello*41", CheckResult::None },
    };
    for (const auto &row : nmea) {
        EXPECT_EQ(CheckNmea(row.frame), row.result) << row.frame;
    }
}

TEST(SessionRowsFinding, EveryPositionFindsTheRowHoldingIt)
{
    SessionStore store;
    Record(store);
    Add(store, RX, kT0 + 5000000, "ab\n" + std::string(10000, 'x'));
    Add(store, TX, kT0 + 5000100, std::string(9000, 'y'));
    const SessionRules rulesList[] = { TextRules(LineBreak::Any), TextRules(LineBreak::CrLf),
        [] {
            SessionRules hex;
            hex.mode = SessionMode::Hex;
            return hex;
        }(),
        FrameRules(FrameSplit::GapMs, 3.5, "", 0), FrameRules(FrameSplit::Delimiter, 0, "\r\n", 0),
        FrameRules(FrameSplit::Length, 0, "", 7) };
    for (const SessionRules &rules : rulesList) {
        const SessionRows rows(store, rules);
        for (const Row &row : AllRows(store, rules)) {
            ASSERT_LE(row.end - row.start, 2 * kMaxRow);
            // Every position of short rows, a sample of long ones and their last.
            const uint64_t step = row.end - row.start > 64 ? 61 : 1;
            for (uint64_t at = row.start; at < row.end;
                 at = at + step < row.end || at + 1 == row.end ? at + step : row.end - 1) {
                ASSERT_EQ(rows.rowStart(at), row.start)
                    << "mode " << int(rules.mode) << " split " << int(rules.split) << " at " << at;
            }
        }
    }
}

TEST(SessionSearch, FindsAcrossLinesFramesAndChunks)
{
    SessionStore store;
    Record(store);
    const uint64_t nmea = kGga.size() + kRmc.size();
    const struct
    {
        std::string needle;
        bool caseSensitive;
        std::vector<uint64_t> starts;
    } rows[] = {
        { "GPRMC", true, { kGga.size() + 1 } },
        { "gprmc", true, {} },
        { "gprmc", false, { kGga.size() + 1 } },
        { *ParseHexBytes("0D 0A 24"), true, { kGga.size() - 2 } }, // across a line break
        { *ParseHexBytes("C5CD 01 03 14"), true, { nmea + 6, nmea + 39 } }, // across a turn
        { *ParseHexBytes("01 03"), true, { nmea, nmea + 8, nmea + 33, nmea + 41 } },
    };
    for (const auto &row : rows) {
        EXPECT_EQ(FindAll(store, row.needle, row.caseSensitive, store.begin(), store.end()).starts,
            row.starts)
            << HexBytes(row.needle);
    }
    EXPECT_FALSE(ParseHexBytes("0 1"));
    EXPECT_FALSE(ParseHexBytes("zz"));

    // A needle across the store's chunks, and the filter's rows with it.
    SessionStore big;
    std::string filler(SessionStore::kChunk - 2, '.');
    for (std::size_t i = 99; i < filler.size(); i += 100) {
        filler[i] = '\n';
    }
    Add(big, RX, kT0, filler + "NEEDLE\n" + filler);
    const SessionHits hits = FindAll(big, "needle", false, big.begin(), big.end());
    ASSERT_EQ(hits.starts, std::vector<uint64_t> { SessionStore::kChunk - 2 });
    const SessionRows lines(big, TextRules(LineBreak::Lf));
    const std::vector<uint64_t> filtered = RowsWithHits(lines, hits, 6, big.end());
    ASSERT_EQ(filtered.size(), 1U);
    EXPECT_EQ(lines.rowEnd(filtered[0]), SessionStore::kChunk + 5);
}

TEST(SessionStoreBound, DropsTheOldestAndCountsIt)
{
    SessionStore store(2 * SessionStore::kChunk + 4096);
    for (int i = 0; i < 5; ++i) {
        Add(store, i % 2 == 0 ? RX : TX, kT0 + i * 10000, std::string(50000, char('a' + i)));
    }
    EXPECT_EQ(store.end(), 250000U);
    EXPECT_EQ(store.dropped(), store.begin());
    EXPECT_EQ(store.begin() % SessionStore::kChunk, 0U);
    EXPECT_GT(store.dropped(), 0U);
    EXPECT_LE(store.memoryUsed(), store.bound());
    // The first byte kept still has its direction and time.
    const SessionRun &first = store.run(store.runAt(store.begin()));
    EXPECT_EQ(first.start, store.begin());
    EXPECT_EQ(store.at(store.begin()), uint8_t('a' + store.begin() / 50000));
    EXPECT_EQ(first.firstUs, kT0 + int64_t(store.begin() / 50000) * 10000);
}

TEST(SessionCapture, TextFormRoundTripsAndBadFilesLoadNothing)
{
    SessionStore recorded;
    Record(recorded);
    const std::string text = AsCaptureText(recorded, recorded.begin(), recorded.end());
    SessionStore loaded;
    ASSERT_TRUE(LoadCaptureText(text, loaded));
    std::string a, b;
    recorded.copy(recorded.begin(), recorded.end(), a);
    loaded.copy(loaded.begin(), loaded.end(), b);
    EXPECT_EQ(a, b);
    // The text form keeps the time of each of its lines' first bytes.
    for (const uint64_t at :
        { uint64_t(0), kGga.size() + kRmc.size(), kGga.size() + kRmc.size() + 8 }) {
        EXPECT_EQ(
            loaded.run(loaded.runAt(at)).direction, recorded.run(recorded.runAt(at)).direction);
        EXPECT_EQ(loaded.run(loaded.runAt(at)).firstUs, recorded.run(recorded.runAt(at)).firstUs);
    }
    EXPECT_EQ(AsCaptureRaw(recorded, 0, recorded.end()).size(), a.size() - 16);

    const struct
    {
        std::string text;
        const char *why;
    } bad[] = {
        { text.substr(0, text.size() - 1), "truncated" },
        { text.substr(0, text.size() - 4), "truncated" },
        { "hello world, not a capture\n", "time stamp" },
        { "2024-01-02 03:04:05.000006 XX 41\n", "RX nor TX" },
        { "2024-01-02 03:04:05.000006 RX 4G\n", "hexadecimal" },
        { "2024-01-02 03:04:05.000006 RX" + std::string(17 * 3, ' ') + "\n", "hexadecimal" },
    };
    for (const auto &row : bad) {
        SessionStore store;
        const Status status = LoadCaptureText(row.text, store);
        EXPECT_FALSE(status);
        EXPECT_NE(status.reason().find(row.why), std::string::npos) << status.reason();
        EXPECT_TRUE(store.empty());
    }
}

TEST(SessionCopy, CArrayAndCsv)
{
    EXPECT_EQ(AsCArray("\x01\xAB"), "const unsigned char data[2] = {\n    0x01, 0xAB,\n};\n");
    SessionStore store;
    Add(store, TX, kT0, "hi\n");
    Add(store, RX, kT0 + 1000, "o\"k\n");
    const SessionRows rows(store, TextRules(LineBreak::Lf));
    const std::string csv = AsCsv(store, rows, 0, store.end());
    const std::string time = FormatRowTime(kT0 + 1000);
    EXPECT_NE(csv.find(time + ",RX,6F 22 6B 0A,\"o\"\"k.\"\r\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.rfind("time,direction,hex,text\r\n", 0), 0U);
}

struct Counter final : TrafficListener
{
    void traffic(CaptureDirection, uint8_t) override { ++count; }
    int count = 0;
};

TEST(SessionFeedTest, TakesTheTapsBytesInOrder)
{
    SessionFeed feed;
    Traffic.setListener(&feed);
    Traffic.received('a');
    Traffic.sent('b');
    Traffic.received('c');
    Traffic.setListener(nullptr);
    Traffic.received('d');
    SessionStore store;
    EXPECT_EQ(feed.takeInto(store), 0U);
    std::string bytes;
    store.copy(store.begin(), store.end(), bytes);
    EXPECT_EQ(bytes, "abc");
    EXPECT_EQ(store.run(store.runAt(1)).direction, TX);
    EXPECT_EQ(store.run(store.runAt(2)).direction, RX);
    EXPECT_NE(store.run(0).firstUs, kNoTime);
}

} // namespace
