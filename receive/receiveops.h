#pragma once

#include "document/documentops.h"

#include <cstdint>
#include <string>
#include <string_view>

// One document change handed from the receive thread to the user-interface thread.
// A plain value (no heap memory), so that a byte's changes cost no allocation.
struct ReceiveOp
{
    enum class Kind : uint8_t {
        MoveCaretToEnd,
        SetColor, // color
        Item, // MoveCaretToEnd, InsertAtCaret text[0..length), count the byte;
        // value: the HeaderTimeNow() of the read that brought the byte (0: none)
        Header, // "Receiving: " inserted when LineCount is 0, else appended as a line;
        // value: a HeaderTimeNow() to put before it (0: none)
        ParagraphEnd, // AppendLine "End of one Paragraph"
        ErrorLine, // AppendLine "the char <value> is error"
        ClearIfLineCount, // ClearDocument when LineCount >= value
        Count, // a reception counter moves on (value: a Counter)
    };
    // What a Count change counts. Counts travel with the document changes so that
    // the counts of what was carried out are known when a change fails.
    enum Counter : int32_t { CountByte, CountLine, CountParagraph, CountError };

    static constexpr std::size_t kMaxItem = 8;

    Kind kind = Kind::MoveCaretToEnd;
    uint8_t length = 0;
    Rgb color;
    int32_t value = 0;
    char text[kMaxItem] = {};

    std::string_view item() const { return { text, length }; }
};

// The counters of one reception.
struct ReceptionCounts
{
    bool ReceiveHasError = false;
    // 64-bit: a soak test at 115,200 baud passes 2^31 bytes in about 52 hours.
    int64_t RecvByteCount = 0;
    int64_t RecvLineCount = 0;
    int64_t RecvParaCount = 0;

    // Moves `counter` on.
    void count(ReceiveOp::Counter counter);
};

inline constexpr std::string_view kReceivingHeader = "Receiving: ";
// The text of a Header change: kReceivingHeader behind the time it carries, if any.
std::string ReceiveHeaderText(int32_t headerTime);
inline constexpr std::string_view kParagraphEndLine = "End of one Paragraph";
