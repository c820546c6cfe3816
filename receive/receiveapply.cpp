#include "receiveapply.h"

#include "base/timestamp.h"
#include "document/documentops.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// Carries out one batch. It starts carrying out the changes one by one ("literal"
// mode) until the document's end is known: the caret at the end with no
// selection, LineCount, and whether the last line is empty. From then on the
// outcome of every change is decided on that knowledge, and the text is gathered
// into runs of one colour that are inserted with one call each, before a clearing
// and at the end of the batch. A run the document refuses is not inserted; the
// changes from that run's first one on are then carried out one by one, so that a
// full document behaves exactly as it would without merging.
class Applier
{
public:
    Applier(DocumentOps &doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts,
        const RoomFunction &room)
        : m_doc(doc)
        , m_ops(ops)
        , m_counts(counts)
        , m_room(room)
    { }

    bool run();

private:
    struct Run
    {
        std::optional<Rgb> color;
        std::string text;
        std::size_t firstOp = 0;
        ReceptionCounts countsBefore;
    };

    bool literal(const ReceiveOp &op);
    void learnEnd(const ReceiveOp &op, bool inserted);
    void tracked(const ReceiveOp &op, std::size_t index, bool &clear);
    void appendRaw(std::string_view text, std::size_t index);
    void appendText(std::string_view text, std::size_t index);
    void appendLine(std::string_view text, std::size_t index);
    // Inserts the gathered runs; on a refusal returns the index of the change to
    // carry on from one by one, with the counts set back to that point.
    std::optional<std::size_t> flush();
    bool replayFrom(std::size_t index);
    // True when the gathered runs certainly fit in the document.
    bool runsFit() const;
    void setColor(Rgb color);

    DocumentOps &m_doc;
    std::span<const ReceiveOp> m_ops;
    ReceptionCounts &m_counts;
    const RoomFunction &m_room;
    std::vector<Run> m_runs;
    std::optional<Rgb> m_color; // the colour the changes have set so far
    std::optional<Rgb> m_docColor; // the colour last handed to the document
    bool m_known = false;
    int m_lineCount = 0;
    bool m_lastLineEmpty = false;
};

std::string ErrorLineText(int32_t position)
{
    return "the char " + std::to_string(position) + " is error";
}

void Applier::setColor(Rgb color)
{
    m_doc.SetInsertColor(color);
    m_docColor = color;
}

bool Applier::literal(const ReceiveOp &op)
{
    using Kind = ReceiveOp::Kind;
    switch (op.kind) {
    case Kind::MoveCaretToEnd:
        m_doc.MoveCaretToEnd();
        return true;
    case Kind::SetColor:
        m_color = op.color;
        setColor(op.color);
        return true;
    case Kind::Item: {
        m_doc.MoveCaretToEnd();
        const bool inserted = m_doc.InsertAtCaret(op.item());
        m_counts.count(ReceiveOp::CountByte);
        learnEnd(op, inserted);
        return true;
    }
    case Kind::Header:
        // A header is a line: refused, it ends the reception as any line does.
        if (m_doc.LineCount() == 0) {
            return m_doc.InsertAtCaret(ReceiveHeaderText(op.value));
        }
        return m_doc.AppendLine(ReceiveHeaderText(op.value));
    case Kind::ParagraphEnd:
        return m_doc.AppendLine(kParagraphEndLine);
    case Kind::ErrorLine:
        return m_doc.AppendLine(ErrorLineText(op.value));
    case Kind::ClearIfLineCount:
        if (m_doc.LineCount() >= op.value) {
            m_doc.ClearDocument();
            learnEnd(op, true);
        }
        return true;
    case Kind::Count:
        m_counts.count(static_cast<ReceiveOp::Counter>(op.value));
        return true;
    }
    return true;
}

// An item inserted at the end leaves a last line with text; a clearing leaves an
// empty document with the caret at its end.
void Applier::learnEnd(const ReceiveOp &op, bool inserted)
{
    if (op.kind == ReceiveOp::Kind::ClearIfLineCount) {
        m_known = true;
        m_lineCount = 0;
        m_lastLineEmpty = true;
    } else if (inserted && op.length > 0) {
        m_known = true;
        m_lineCount = m_doc.LineCount();
        m_lastLineEmpty = false;
    }
}

void Applier::appendRaw(std::string_view text, std::size_t index)
{
    if (m_runs.empty() || m_runs.back().color != m_color) {
        m_runs.push_back({ m_color, {}, index, m_counts });
    }
    m_runs.back().text.append(text);
}

// Text without a line break at the end of the document.
void Applier::appendText(std::string_view text, std::size_t index)
{
    appendRaw(text, index);
    if (!text.empty()) {
        if (m_lastLineEmpty) {
            ++m_lineCount;
        }
        m_lastLineEmpty = false;
    }
}

void Applier::appendLine(std::string_view text, std::size_t index)
{
    // AppendLine: text and a line break on an empty last line, else a line break
    // and the text. Either way one more line, and the last line stays as empty or
    // as filled as it was.
    const bool lastLineEmpty = m_lastLineEmpty;
    std::string line;
    if (lastLineEmpty) {
        line.append(text).push_back('\n');
    } else {
        line.append(1, '\n').append(text);
    }
    appendRaw(line, index);
    ++m_lineCount;
}

void Applier::tracked(const ReceiveOp &op, std::size_t index, bool &clear)
{
    using Kind = ReceiveOp::Kind;
    switch (op.kind) {
    case Kind::MoveCaretToEnd:
        return;
    case Kind::SetColor:
        m_color = op.color;
        return;
    case Kind::Item:
        appendText(op.item(), index);
        m_counts.count(ReceiveOp::CountByte);
        return;
    case Kind::Header:
        if (m_lineCount == 0) {
            appendText(ReceiveHeaderText(op.value), index);
        } else {
            appendLine(ReceiveHeaderText(op.value), index);
        }
        return;
    case Kind::ParagraphEnd:
        appendLine(kParagraphEndLine, index);
        return;
    case Kind::ErrorLine:
        appendLine(ErrorLineText(op.value), index);
        return;
    case Kind::ClearIfLineCount:
        clear = m_lineCount >= op.value;
        return;
    case Kind::Count:
        m_counts.count(static_cast<ReceiveOp::Counter>(op.value));
        return;
    }
}

std::optional<std::size_t> Applier::flush()
{
    for (const Run &run : m_runs) {
        if (run.color && run.color != m_docColor) {
            setColor(*run.color);
        }
        if (!m_doc.InsertAtCaret(run.text)) {
            m_counts = run.countsBefore;
            const std::size_t from = run.firstOp;
            m_runs.clear();
            return from;
        }
    }
    m_runs.clear();
    return std::nullopt;
}

bool Applier::runsFit() const
{
    if (!m_room) {
        return false;
    }
    std::size_t size = 0;
    for (const Run &run : m_runs) {
        size += run.text.size();
    }
    return size <= m_room();
}

bool Applier::replayFrom(std::size_t index)
{
    for (; index < m_ops.size(); ++index) {
        if (!literal(m_ops[index])) {
            return false;
        }
    }
    return true;
}

bool Applier::run()
{
    for (std::size_t i = 0; i < m_ops.size(); ++i) {
        const ReceiveOp &op = m_ops[i];
        if (!m_known) {
            if (!literal(op)) {
                return false;
            }
            continue;
        }
        bool clear = false;
        tracked(op, i, clear);
        if (!clear) {
            continue;
        }
        // Runs that certainly fit would be removed by the clearing at once: they are
        // dropped. Others go in first, so that a refusal among them is noticed in order.
        if (runsFit()) {
            m_runs.clear();
        } else if (const auto from = flush()) {
            return replayFrom(*from);
        }
        m_doc.ClearDocument();
        m_lineCount = 0;
        m_lastLineEmpty = true;
    }
    if (const auto from = flush()) {
        return replayFrom(*from);
    }
    if (m_color && m_color != m_docColor) {
        setColor(*m_color);
    }
    return true;
}

} // namespace

std::string ReceiveHeaderText(int32_t headerTime)
{
    if (headerTime == 0) {
        return std::string(kReceivingHeader);
    }
    return HeaderTimePrefix(headerTime).append(kReceivingHeader);
}

void ReceptionCounts::count(ReceiveOp::Counter counter)
{
    switch (counter) {
    case ReceiveOp::CountByte:
        ++RecvByteCount;
        break;
    case ReceiveOp::CountLine:
        ++RecvLineCount;
        break;
    case ReceiveOp::CountParagraph:
        ++RecvParaCount;
        break;
    case ReceiveOp::CountError:
        ReceiveHasError = true;
        break;
    }
}

bool ApplyReceiveOps(DocumentOps *doc, std::span<const ReceiveOp> ops, ReceptionCounts &counts,
    const RoomFunction &room)
{
    if (ops.empty()) {
        return true;
    }
    if (!doc) {
        return false;
    }
    doc->BeginBatch();
    const bool ok = Applier(*doc, ops, counts, room).run();
    doc->EndBatch();
    return ok;
}
