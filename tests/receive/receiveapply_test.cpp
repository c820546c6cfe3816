#include "document/memorydocument.h"
#include "receive/receiveapply.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// The changes carried out one by one, exactly as named, without any merging.
bool ApplyLiterally(MemoryDocument &doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts)
{
    using Kind = ReceiveOp::Kind;
    for (const ReceiveOp &op : ops) {
        switch (op.kind) {
        case Kind::MoveCaretToEnd:
            doc.MoveCaretToEnd();
            break;
        case Kind::SetColor:
            doc.SetInsertColor(op.color);
            break;
        case Kind::Item:
            doc.MoveCaretToEnd();
            doc.InsertAtCaret(op.item());
            counts.count(ReceiveOp::CountByte);
            break;
        case Kind::Header:
            if (doc.LineCount() == 0) {
                doc.InsertAtCaret(kReceivingHeader);
            } else if (!doc.AppendLine(kReceivingHeader)) {
                return false;
            }
            break;
        case Kind::ParagraphEnd:
            if (!doc.AppendLine(kParagraphEndLine)) {
                return false;
            }
            break;
        case Kind::ErrorLine:
            if (!doc.AppendLine("the char " + std::to_string(op.value) + " is error")) {
                return false;
            }
            break;
        case Kind::ClearIfLineCount:
            if (doc.LineCount() >= op.value) {
                doc.ClearDocument();
            }
            break;
        case Kind::Count:
            counts.count(static_cast<ReceiveOp::Counter>(op.value));
            break;
        }
    }
    return true;
}

std::vector<ReceiveOp> RandomOps(std::mt19937 &random, std::size_t count)
{
    static const Rgb kColors[] = { Colors::Green, Colors::Black, Colors::Red };
    static const char *const kItems[] = { "0x41 ", "7 ", "'\\x0D' ", "255 " };
    std::vector<ReceiveOp> ops;
    for (std::size_t i = 0; i < count; ++i) {
        ReceiveOp op;
        const unsigned pick = random() % 100;
        if (pick < 30) {
            op.kind = ReceiveOp::Kind::Item;
            const std::string item = kItems[random() % 4];
            op.length = static_cast<uint8_t>(item.size());
            item.copy(op.text, item.size());
        } else if (pick < 55) {
            op.kind = ReceiveOp::Kind::MoveCaretToEnd;
        } else if (pick < 70) {
            op.kind = ReceiveOp::Kind::ClearIfLineCount;
            op.value = static_cast<int32_t>(random() % 8) - 1;
        } else if (pick < 78) {
            op.kind = ReceiveOp::Kind::SetColor;
            op.color = kColors[random() % 3];
        } else if (pick < 84) {
            op.kind = ReceiveOp::Kind::Header;
        } else if (pick < 88) {
            op.kind = ReceiveOp::Kind::ParagraphEnd;
        } else if (pick < 91) {
            op.kind = ReceiveOp::Kind::ErrorLine;
            op.value = static_cast<int32_t>(random() % 300);
        } else {
            op.kind = ReceiveOp::Kind::Count;
            op.value = static_cast<int32_t>(random() % 4);
        }
        ops.push_back(op);
    }
    return ops;
}

struct MergeCase
{
    const char *name;
    unsigned seed;
    std::size_t capacity;
    std::string startText;
    // The document's room is told to the merging, which may then drop text that a
    // clearing would remove at once.
    bool withRoom = false;
};

class ApplyReceiveOpsTest : public ::testing::TestWithParam<MergeCase>
{
};

// Merging must never change the outcome: text, colour of every byte, counters and
// the point of failure all equal those of carrying out every change as named.
TEST_P(ApplyReceiveOpsTest, MergedResultEqualsTheLiteralOne)
{
    const MergeCase &c = GetParam();
    for (unsigned round = 0; round < 200; ++round) {
        std::mt19937 random(c.seed * 1000 + round);
        const std::vector<ReceiveOp> ops = RandomOps(random, 300);
        MemoryDocument merged(c.capacity);
        MemoryDocument literal(c.capacity);
        if (!c.startText.empty()) {
            merged.InsertAtCaret(c.startText);
            literal.InsertAtCaret(c.startText);
        }
        ReceptionCounts mergedCounts;
        ReceptionCounts literalCounts;
        const bool literalOk = ApplyLiterally(literal, ops, literalCounts);
        RoomFunction room;
        if (c.withRoom) {
            room = [&] { return c.capacity - merged.text().size(); };
        }
        bool mergedOk = true;
        for (std::size_t start = 0; start < ops.size() && mergedOk;) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 60, ops.size() - start);
            mergedOk
                = ApplyReceiveOps(&merged, std::span(ops).subspan(start, size), mergedCounts, room);
            start += size;
        }
        ASSERT_EQ(mergedOk, literalOk) << "round " << round;
        ASSERT_EQ(merged.text(), literal.text()) << "round " << round;
        for (std::size_t i = 0; i < merged.text().size(); ++i) {
            ASSERT_EQ(merged.colorAt(i), literal.colorAt(i)) << "round " << round << " at " << i;
        }
        ASSERT_EQ(mergedCounts.RecvByteCount, literalCounts.RecvByteCount);
        ASSERT_EQ(mergedCounts.RecvLineCount, literalCounts.RecvLineCount);
        ASSERT_EQ(mergedCounts.RecvParaCount, literalCounts.RecvParaCount);
        ASSERT_EQ(mergedCounts.ReceiveHasError, literalCounts.ReceiveHasError);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, ApplyReceiveOpsTest,
    ::testing::Values(MergeCase { "empty_document", 1, static_cast<std::size_t>(-1), "" },
        MergeCase { "ends_with_line_break", 2, static_cast<std::size_t>(-1), "old\n" },
        MergeCase { "ends_with_text", 3, static_cast<std::size_t>(-1), "old" },
        MergeCase { "document_fills_up", 4, 200, "" },
        MergeCase { "document_nearly_full", 5, 60, "0123456789" },
        MergeCase { "room_told_empty_document", 6, static_cast<std::size_t>(-1), "", true },
        MergeCase { "room_told_ends_with_text", 7, static_cast<std::size_t>(-1), "old", true },
        MergeCase { "room_told_document_fills_up", 8, 200, "", true },
        MergeCase { "room_told_document_nearly_full", 9, 60, "0123456789", true }),
    [](const auto &row) { return std::string(row.param.name); });

TEST(ApplyReceiveOpsEdgeTest, MissingDocumentFailsOnlyWhenThereIsSomethingToDo)
{
    ReceptionCounts counts;
    ReceiveOp op;
    op.kind = ReceiveOp::Kind::Count;
    EXPECT_TRUE(ApplyReceiveOps(nullptr, {}, counts));
    EXPECT_FALSE(ApplyReceiveOps(nullptr, std::span(&op, 1), counts));
    EXPECT_EQ(counts.RecvByteCount, 0);
}

// Counts the bytes handed to InsertAtCaret.
class CountingDocument : public MemoryDocument
{
public:
    using MemoryDocument::MemoryDocument;
    bool InsertAtCaret(std::string_view text) override
    {
        inserted += text.size();
        return MemoryDocument::InsertAtCaret(text);
    }
    std::size_t inserted = 0;
};

ReceiveOp MakeOp(ReceiveOp::Kind kind, int32_t value = 0, std::string_view item = {})
{
    ReceiveOp op;
    op.kind = kind;
    op.value = value;
    op.length = static_cast<uint8_t>(item.size());
    item.copy(op.text, item.size());
    return op;
}

TEST(ApplyReceiveOpsEdgeTest, TextThatAClearingRemovesIsNotInsertedWhenItFits)
{
    using Kind = ReceiveOp::Kind;
    const std::vector<ReceiveOp> ops { MakeOp(Kind::Item, 0, "a "), MakeOp(Kind::Header),
        MakeOp(Kind::Item, 0, "b "), MakeOp(Kind::Header), MakeOp(Kind::Item, 0, "c "),
        MakeOp(Kind::ClearIfLineCount, 3), MakeOp(Kind::Item, 0, "z ") };
    struct Row
    {
        const char *name;
        std::optional<std::size_t> room;
        std::size_t inserted;
    };
    // The runs held back at the clearing are "\nReceiving: b \nReceiving: c ", 28
    // bytes; the first item goes in one by one, as it makes the document's end known.
    const Row rows[] = { { "room unknown", std::nullopt, 2 + 28 + 2 },
        { "room just enough", 28, 2 + 2 }, { "room one byte short", 27, 2 + 28 + 2 } };
    for (const Row &row : rows) {
        CountingDocument doc;
        ReceptionCounts counts;
        RoomFunction room;
        if (row.room) {
            room = [&] { return *row.room; };
        }
        EXPECT_TRUE(ApplyReceiveOps(&doc, ops, counts, room)) << row.name;
        EXPECT_EQ(doc.text(), "z ") << row.name;
        EXPECT_EQ(doc.inserted, row.inserted) << row.name;
        EXPECT_EQ(counts.RecvByteCount, 4) << row.name;
    }
}

} // namespace
