#include "receivesummary.h"

#include "document/documentops.h"

#include <string>
#include <string_view>

namespace {

// Code page 936 texts; literals are split where a letter would continue an escape.
constexpr std::string_view kErrorsText = "\xB4\xED\xCE\xF3\xA3\xAC"
                                         "There are errors!"; // 错误，
constexpr std::string_view kCorrectText = "\xD5\xFD\xC8\xB7\xA3\xAC"
                                          "All data are correct!"; // 正确，
constexpr std::string_view kLinesText
    = "\xBD\xD3\xCA\xD5\xB5\xC4\xD0\xD0\xCA\xFD\xCA\xC7\xA3\xBA"; // 接收的行数是：
constexpr std::string_view kParagraphsText
    = "\xBD\xD3\xCA\xD5\xB5\xC4\xB6\xCE\xCA\xFD\xCA\xC7\xA3\xBA"; // 接收的段数是：

} // namespace

void WriteReceiveSummary(
    DocumentOps &doc, bool checkOrder, bool hasError, int64_t lineCount, int64_t paraCount)
{
    doc.BeginBatch();
    doc.MoveCaretToEnd();
    doc.SetInsertColor(Colors::Blue);
    // The reception has ended: a line the window has no room for is dropped (the
    // caller makes room for the whole summary first, see ReceiveSummarySize).
    if (checkOrder) {
        static_cast<void>(doc.AppendLine(hasError ? kErrorsText : kCorrectText));
    }
    static_cast<void>(doc.AppendLine(std::string(kLinesText) + std::to_string(lineCount)));
    static_cast<void>(doc.AppendLine(std::string(kParagraphsText) + std::to_string(paraCount)));
    doc.SetInsertColor(Colors::Black);
    doc.EndBatch();
}

std::size_t ReceiveSummarySize(bool checkOrder, bool hasError, int64_t lineCount, int64_t paraCount)
{
    // Every line with its line break.
    std::size_t size = kLinesText.size() + std::to_string(lineCount).size() + 1
        + kParagraphsText.size() + std::to_string(paraCount).size() + 1;
    if (checkOrder) {
        size += (hasError ? kErrorsText : kCorrectText).size() + 1;
    }
    return size;
}
