#include "document/memorydocument.h"
#include "receive/receivesummary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kErrors = "\xB4\xED\xCE\xF3\xA3\xAC"
                            "There are errors!";
const std::string kCorrect = "\xD5\xFD\xC8\xB7\xA3\xAC"
                             "All data are correct!";
const std::string kLines = "\xBD\xD3\xCA\xD5\xB5\xC4\xD0\xD0\xCA\xFD\xCA\xC7\xA3\xBA";
const std::string kParagraphs = "\xBD\xD3\xCA\xD5\xB5\xC4\xB6\xCE\xCA\xFD\xCA\xC7\xA3\xBA";

struct SummaryCase
{
    const char *name;
    bool checkOrder;
    bool hasError;
    int64_t lines;
    int64_t paragraphs;
    std::vector<std::string> expected;
};

class ReceiveSummaryTest : public ::testing::TestWithParam<SummaryCase>
{
};

TEST_P(ReceiveSummaryTest, WritesBlueLinesAfterTheReceivedText)
{
    const SummaryCase &c = GetParam();
    MemoryDocument doc;
    doc.SetInsertColor(Colors::Black);
    doc.InsertAtCaret("Receiving: 0x0A 0x0B ");
    WriteReceiveSummary(doc, c.checkOrder, c.hasError, c.lines, c.paragraphs);
    std::vector<std::string> expected { "Receiving: 0x0A 0x0B " };
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(doc.lines(), expected);
    std::string blue;
    for (const std::string &line : c.expected) {
        blue += "\n" + line;
    }
    EXPECT_EQ(doc.textIn(Colors::Blue), blue);
    doc.InsertAtCaret("x");
    EXPECT_EQ(doc.colorAt(doc.text().size() - 1), Colors::Black);
}

INSTANTIATE_TEST_SUITE_P(Results, ReceiveSummaryTest,
    ::testing::Values(
        SummaryCase { "check_off", false, true, 1, 0, { kLines + "1", kParagraphs + "0" } },
        SummaryCase {
            "check_passed", true, false, 30, 3, { kCorrect, kLines + "30", kParagraphs + "3" } },
        SummaryCase { "check_failed", true, true, 2147483647, 0,
            { kErrors, kLines + "2147483647", kParagraphs + "0" } },
        SummaryCase { "past_32_bits", false, false, 5000000000, 2147483648,
            { kLines + "5000000000", kParagraphs + "2147483648" } }),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
