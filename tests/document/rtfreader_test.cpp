#include "document/rtfreader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>

using namespace std::string_literals;

namespace {

// One line per run: "<encoding> <colour>|<text>", so that a failing case shows
// the whole reading at a glance.
std::string Describe(const RtfDocument &doc)
{
    std::string out;
    for (const RtfRun &run : doc.runs) {
        out += run.encoding == RtfRun::Encoding::Cp936 ? "cp936 " : "utf8 ";
        if (run.color) {
            out += std::to_string(run.color->r) + "," + std::to_string(run.color->g) + ","
                + std::to_string(run.color->b);
        } else {
            out += "auto";
        }
        out += "|" + run.text + "\n";
    }
    return out;
}

// What every reading must satisfy, whatever the input.
void ExpectWellFormedOutput(std::string_view input, const RtfDocument &doc)
{
    std::size_t total = 0;
    for (std::size_t i = 0; i < doc.runs.size(); ++i) {
        const RtfRun &run = doc.runs[i];
        EXPECT_FALSE(run.text.empty()) << "run " << i;
        for (const char c : run.text) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte >= 0x20 || c == '\n' || c == '\t') << "control byte " << int(byte);
        }
        if (i > 0) {
            const RtfRun &before = doc.runs[i - 1];
            EXPECT_FALSE(before.encoding == run.encoding && before.color == run.color)
                << "runs " << i - 1 << " and " << i << " should have been merged";
        }
        total += run.text.size();
    }
    EXPECT_LE(total, input.size());
    EXPECT_EQ(doc.status.ok(), doc.status.reason().empty()) << doc.status.reason();
}

struct ReadCase
{
    const char *name;
    std::string input;
    std::string expected; // Describe() of the runs
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.name;
}

class RtfReadTest : public testing::TestWithParam<ReadCase>
{
};

TEST_P(RtfReadTest, ReadsTextAndColours)
{
    const ReadCase &c = GetParam();
    const RtfDocument doc = ReadRtf(c.input);
    EXPECT_TRUE(doc.status.ok()) << doc.status.reason();
    EXPECT_EQ(Describe(doc), c.expected);
    ExpectWellFormedOutput(c.input, doc);
}

const std::string kTable = R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;})";

INSTANTIATE_TEST_SUITE_P(Rtf, RtfReadTest,
    testing::Values(ReadCase { "plain-text", R"({\rtf1 Hello})", "cp936 auto|Hello\n" },
        ReadCase { "breaks-and-tabs", R"({\rtf1 a\par b\line c\tab d\sect e})",
            "cp936 auto|a\nb\nc\td\ne\n" },
        ReadCase {
            "raw-line-breaks-ignored-raw-tab-kept", "{\\rtf1 a\r\nb\tc}", "cp936 auto|ab\tc\n" },
        ReadCase {
            "escaped-line-break-is-paragraph", "{\\rtf1 a\\\nb\\\r\nc}", "cp936 auto|a\nb\nc\n" },
        ReadCase { "colour-runs", R"({\rtf1)" + kTable + R"(\cf1 R\cf2 B\cf0 A})",
            "cp936 255,0,0|R\ncp936 0,0,255|B\ncp936 auto|A\n" },
        ReadCase { "colour-index-out-of-table", R"({\rtf1)" + kTable + R"(\cf9 x\cf-1 y})",
            "cp936 auto|xy\n" },
        ReadCase { "colour-without-table", R"({\rtf1\cf1 x})", "cp936 auto|x\n" },
        ReadCase { "group-restores-colour", R"({\rtf1)" + kTable + R"(\cf2{\cf1 r}b})",
            "cp936 255,0,0|r\ncp936 0,0,255|b\n" },
        ReadCase { "plain-resets-colour", R"({\rtf1)" + kTable + R"(\cf1 r\plain a})",
            "cp936 255,0,0|r\ncp936 auto|a\n" },
        ReadCase { "colour-components-clamped",
            R"({\rtf1{\colortbl;\red300\green-5\blue128;}\cf1 x})", "cp936 255,0,128|x\n" },
        ReadCase {
            "hex-bytes-cp936", R"({\rtf1 \'c4\'e3\'BA\'C3})", "cp936 auto|\xC4\xE3\xBA\xC3\n" },
        ReadCase { "unicode-with-default-fallback", R"({\rtf1 \u20320?x})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|x\n" },
        ReadCase { "uc2-skips-two-hex-bytes", R"({\rtf1\uc2 \u20320\'c4\'e3x})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|x\n" },
        ReadCase { "uc0-skips-nothing", R"({\rtf1\uc0\u20320 x})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|x\n" },
        ReadCase { "fallback-counts-control-words", R"({\rtf1\uc2\u20320\par\tab x})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|x\n" },
        ReadCase { "uc-restored-after-group", R"({\rtf1{\uc3 a}\u20320?b})",
            "cp936 auto|a\nutf8 auto|\xE4\xBD\xA0\ncp936 auto|b\n" },
        ReadCase { "group-ends-fallback", R"({\rtf1\uc5\u20320{ab}})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|ab\n" },
        ReadCase { "negative-unicode", R"({\rtf1\u-3913?})", "utf8 auto|\xEF\x82\xB7\n" },
        ReadCase {
            "surrogate-pair", R"({\rtf1\u-10179?\u-8704?})", "utf8 auto|\xF0\x9F\x98\x80\n" },
        ReadCase { "lone-high-surrogate", R"({\rtf1\u-10179?x})",
            "utf8 auto|\xEF\xBF\xBD\ncp936 auto|x\n" },
        ReadCase { "lone-low-surrogate", R"({\rtf1\u-8704?})", "utf8 auto|\xEF\xBF\xBD\n" },
        ReadCase { "unicode-out-of-range", R"({\rtf1\u70000?\u4294967295?})",
            "utf8 auto|\xEF\xBF\xBD\xEF\xBF\xBD\n" },
        ReadCase { "unicode-control-characters", R"({\rtf1\u9?\u0?\u1?a})", "cp936 auto|\ta\n" },
        ReadCase { "huge-uc-skips-to-group-end", R"({\rtf1{\uc2147483647\u20320 abcdef}g})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|g\n" },
        ReadCase { "negative-uc-is-zero", R"({\rtf1\uc-4\u20320 x})",
            "utf8 auto|\xE4\xBD\xA0\ncp936 auto|x\n" },
        ReadCase { "escaped-braces-and-backslash", R"({\rtf1 \\\{\}})", "cp936 auto|\\{}\n" },
        ReadCase { "symbols", R"({\rtf1\~\_\-\|\emdash\bullet})",
            "utf8 auto|\xC2\xA0\ncp936 auto|-\nutf8 auto|\xE2\x80\x94\xE2\x80\xA2\n" },
        ReadCase { "tables-and-info-skipped",
            R"({\rtf1\ansi\ansicpg936{\fonttbl{\f0\fnil\fcharset134 \'cb\'ce\'cc\'e5;}})"
            R"({\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}{\*\generator Riched20;})"
            R"(\viewkind4\uc1\pard\lang2052\f0\fs18 ok\par})",
            "cp936 auto|ok\n\n" },
        ReadCase {
            "ignorable-destination-skipped", R"({\rtf1 a{\*\unknown x{y}z}b})", "cp936 auto|ab\n" },
        ReadCase { "unknown-word-text-kept", R"({\rtf1{\foo bar}})", "cp936 auto|bar\n" },
        ReadCase { "field-shows-result-only",
            R"({\rtf1{\field{\*\fldinst HYPERLINK "u"}{\fldrslt link}}})", "cp936 auto|link\n" },
        ReadCase { "binary-skipped-braces-included", R"({\rtf1 a{\pict\bin4 }}{{x}b})",
            "cp936 auto|ab\n" },
        ReadCase { "binary-in-text", R"({\rtf1 a\bin2 zzb})", "cp936 auto|ab\n" },
        ReadCase { "hex-in-skipped-group", R"({\rtf1{\fonttbl\'cb\'ce}x})", "cp936 auto|x\n" },
        ReadCase { "hidden-text-left-out", R"({\rtf1 a{\v hidden\par}b\v c\par\v0 d})",
            "cp936 auto|abd\n" },
        ReadCase { "control-bytes-dropped", "{\\rtf1 a\x01\x7f"s + "\0b\\'00\\'0dc}"s,
            "cp936 auto|a\x7f"
            "bc\n" },
        ReadCase { "text-after-document-ignored", R"({\rtf1 a}junk{\par)", "cp936 auto|a\n" },
        ReadCase { "longest-control-word", R"({\rtf1\abcdefghijklmnopqrstuvwxyzabcdef x})",
            "cp936 auto|x\n" },
        ReadCase { "ten-digit-parameter", R"({\rtf1\cf9999999999 x})", "cp936 auto|x\n" },
        ReadCase { "minus-without-digits-is-text", R"({\rtf1\par-x})", "cp936 auto|\n-x\n" },
        ReadCase { "empty-document", R"({\rtf1})", "" }),
    [](const testing::TestParamInfo<ReadCase> &param) {
        std::string name = param.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

struct HostileCase
{
    const char *name;
    std::string input;
    std::optional<bool> ok; // none: either outcome, as long as it ends cleanly
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string Nested(int depth, std::string_view inner = "x")
{
    return "{\\rtf1" + std::string(static_cast<std::size_t>(depth - 1), '{') + std::string(inner)
        + std::string(static_cast<std::size_t>(depth), '}');
}

std::string Garbage(std::size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string out = "{\\rtf1";
    // Biased towards the bytes that steer the reader.
    const std::string_view steering = "{}\\'*0123456789-abcdefuvbinpar ;";
    for (std::size_t i = 0; i < size; ++i) {
        const uint32_t r = random();
        out.push_back(
            r % 3 == 0 ? static_cast<char>(r >> 8) : steering[(r >> 8) % steering.size()]);
    }
    return out;
}

class RtfHostileTest : public testing::TestWithParam<HostileCase>
{
};

TEST_P(RtfHostileTest, EndsWithBoundedOutput)
{
    const HostileCase &c = GetParam();
    const RtfDocument doc = ReadRtf(c.input);
    if (c.ok) {
        EXPECT_EQ(doc.status.ok(), *c.ok) << doc.status.reason();
    }
    ExpectWellFormedOutput(c.input, doc);
}

INSTANTIATE_TEST_SUITE_P(Rtf, RtfHostileTest,
    testing::Values(HostileCase { "not-rtf", "hello", false }, HostileCase { "empty", "", false },
        HostileCase { "signature-only", "{\\rtf", false },
        HostileCase { "unterminated-group", "{\\rtf1 abc{\\b def", false },
        HostileCase { "deepest-allowed-nesting", Nested(kRtfMaxDepth), true },
        HostileCase { "one-level-too-deep", Nested(kRtfMaxDepth + 1), false },
        HostileCase { "million-open-braces", "{\\rtf1" + std::string(1000000, '{'), false },
        HostileCase { "million-groups-in-sequence",
            "{\\rtf1" +
                [] {
                    std::string s;
                    for (int i = 0; i < 1000000; ++i) {
                        s += "{}";
                    }
                    return s;
                }()
                + "}",
            true },
        HostileCase { "truncated-hex-one-digit", "{\\rtf1 \\'4", false },
        HostileCase { "truncated-hex-no-digit", "{\\rtf1 \\'", false },
        HostileCase { "hex-not-hex", "{\\rtf1 \\'zz}", false },
        HostileCase { "backslash-at-end", "{\\rtf1 \\", false },
        HostileCase {
            "control-word-33-letters", "{\\rtf1\\abcdefghijklmnopqrstuvwxyzabcdefg}", false },
        HostileCase { "control-word-endless", "{\\rtf1\\" + std::string(1000000, 'a'), false },
        HostileCase { "parameter-11-digits", "{\\rtf1\\cf12345678901 x}", false },
        HostileCase { "parameter-endless", "{\\rtf1\\u" + std::string(1000000, '9'), false },
        HostileCase { "huge-binary-length", "{\\rtf1\\bin999999999 abc}", false },
        HostileCase { "negative-binary-length", "{\\rtf1\\bin-5 abc}", true },
        HostileCase { "huge-colour-table",
            "{\\rtf1{\\colortbl" + std::string(1000000, ';') + "}\\cf999999 x}", true },
        HostileCase { "many-colour-changes",
            "{\\rtf1" + kTable +
                [] {
                    std::string s;
                    for (int i = 0; i < 100000; ++i) {
                        s += i % 2 ? "\\cf1 a" : "\\cf2 b";
                    }
                    return s;
                }()
                + "}",
            true },
        HostileCase { "unbalanced-close-first", "{\\rtf1}}}}", true },
        HostileCase { "garbage-1", Garbage(100000, 1), std::nullopt },
        HostileCase { "garbage-2", Garbage(100000, 2), std::nullopt },
        HostileCase { "garbage-3", Garbage(100000, 3), std::nullopt }),
    [](const testing::TestParamInfo<HostileCase> &param) {
        std::string name = param.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(RtfReader, UnterminatedDocumentKeepsWhatWasRead)
{
    const RtfDocument doc = ReadRtf("{\\rtf1 abc\\par de");
    EXPECT_FALSE(doc.status.ok());
    EXPECT_NE(doc.status.reason().find("open group"), std::string::npos) << doc.status.reason();
    EXPECT_EQ(Describe(doc), "cp936 auto|abc\nde\n");
}

TEST(RtfReader, LooksLikeRtfNeedsTheWholeSignature)
{
    EXPECT_TRUE(LooksLikeRtf("{\\rtf1\\ansi}"));
    EXPECT_TRUE(LooksLikeRtf("{\\rtf"));
    EXPECT_FALSE(LooksLikeRtf("{\\rt"));
    EXPECT_FALSE(LooksLikeRtf(" {\\rtf1"));
    EXPECT_FALSE(LooksLikeRtf("{\\RTF1"));
}

// The files of the fuzzer's seed corpus: none may crash the reader or make it
// produce more text than it read.
TEST(RtfReader, SeedCorpus)
{
    const std::filesystem::path folder = BYTEWAY_RTF_CORPUS;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string data { std::istreambuf_iterator<char>(in), {} };
        SCOPED_TRACE(entry.path().filename().string());
        ExpectWellFormedOutput(data, ReadRtf(data));
        ++files;
    }
    EXPECT_GT(files, 5);
}

} // namespace
