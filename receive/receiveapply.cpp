#include "receiveapply.h"

#include "documentops.h"

#include <string>
#include <vector>

namespace {

class Applier
{
public:
    Applier(DocumentOps &doc, ReceptionCounts &counts)
        : m_doc(doc)
        , m_counts(counts)
    { }

    bool apply(const ReceiveOp &op);
    void flush();

private:
    void insertItem(std::string_view text);
    bool appendLine(std::string_view text);
    int lineCount() const { return m_lineCountKnown ? m_lineCount : m_doc.LineCount(); }

    DocumentOps &m_doc;
    ReceptionCounts &m_counts;
    std::string m_pending;
    std::vector<uint8_t> m_pendingSizes;
    // The caret is known to be at the end of the text (set by MoveCaretToEnd and
    // kept by insertions at the end). Unknown at the start of a batch, since the
    // user may have moved it in between.
    bool m_caretAtEnd = false;
    // The last line is known to hold text, so that inserting text without a line
    // break at the end leaves LineCount at m_lineCount.
    bool m_lineCountKnown = false;
    int m_lineCount = 0;
};

void Applier::flush()
{
    if (m_pending.empty()) {
        return;
    }
    if (!m_doc.InsertAtCaret(m_pending) && m_pendingSizes.size() > 1) {
        // A nearly full document may still take some of the items one by one.
        std::size_t offset = 0;
        for (const uint8_t size : m_pendingSizes) {
            m_doc.InsertAtCaret(std::string_view(m_pending).substr(offset, size));
            offset += size;
        }
    }
    m_pending.clear();
    m_pendingSizes.clear();
}

void Applier::insertItem(std::string_view text)
{
    if (m_caretAtEnd && m_lineCountKnown) {
        m_pending.append(text);
        m_pendingSizes.push_back(static_cast<uint8_t>(text.size()));
        return;
    }
    if (m_doc.InsertAtCaret(text) && m_caretAtEnd && !text.empty()) {
        m_lineCount = m_doc.LineCount();
        m_lineCountKnown = true;
    }
}

bool Applier::appendLine(std::string_view text)
{
    flush();
    m_lineCountKnown = false;
    m_caretAtEnd = false;
    return m_doc.AppendLine(text);
}

bool Applier::apply(const ReceiveOp &op)
{
    using Kind = ReceiveOp::Kind;
    switch (op.kind) {
    case Kind::MoveCaretToEnd:
        // With items pending the caret ends up behind them, at the end, anyway.
        if (m_pending.empty()) {
            m_doc.MoveCaretToEnd();
            m_caretAtEnd = true;
        }
        return true;
    case Kind::SetColor:
        flush();
        m_doc.SetInsertColor(op.color);
        return true;
    case Kind::InsertItem:
        insertItem(op.item());
        return true;
    case Kind::Header:
        flush();
        if (m_doc.LineCount() == 0) {
            m_doc.InsertAtCaret(kReceivingHeader);
            m_lineCountKnown = false;
            return true;
        }
        return appendLine(kReceivingHeader);
    case Kind::ParagraphEnd:
        return appendLine(kParagraphEndLine);
    case Kind::ErrorLine:
        return appendLine("the char " + std::to_string(op.value) + " is error");
    case Kind::ClearIfLineCount:
        if (lineCount() >= op.value) {
            // Pending items would be removed with the rest of the text.
            m_pending.clear();
            m_pendingSizes.clear();
            m_doc.ClearDocument();
            m_caretAtEnd = true;
            m_lineCountKnown = false;
        }
        return true;
    case Kind::Count:
        m_counts.count(static_cast<ReceiveOp::Counter>(op.value));
        return true;
    }
    return true;
}

} // namespace

void ReceptionCounts::count(ReceiveOp::Counter counter)
{
    const auto next
        = [](int32_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value) + 1U); };
    switch (counter) {
    case ReceiveOp::CountByte:
        RecvByteCount = next(RecvByteCount);
        break;
    case ReceiveOp::CountLine:
        RecvLineCount = next(RecvLineCount);
        break;
    case ReceiveOp::CountParagraph:
        RecvParaCount = next(RecvParaCount);
        break;
    case ReceiveOp::CountError:
        ReceiveHasError = true;
        break;
    }
}

bool ApplyReceiveOps(DocumentOps *doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts)
{
    if (ops.empty()) {
        return true;
    }
    if (!doc) {
        return false;
    }
    doc->BeginBatch();
    Applier applier(*doc, counts);
    bool ok = true;
    for (const ReceiveOp &op : ops) {
        if (!applier.apply(op)) {
            ok = false;
            break;
        }
    }
    applier.flush();
    doc->EndBatch();
    return ok;
}
