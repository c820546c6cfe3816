#include "richedit.h"

#include "codepage.h"
#include "followview.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Receiving writes mostly ASCII (numbers, headers), which reads the same in code
// page 936, so it skips the converter.
QString decodeCp936(std::string_view bytes)
{
    const bool ascii = std::all_of(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return FromCp936(bytes);
}

QColor toQColor(Rgb color)
{
    return QColor(color.r, color.g, color.b);
}

QFont documentFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({ QStringLiteral("MS Sans Serif"),
        QFontDatabase::systemFont(QFontDatabase::GeneralFont).family() });
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    return font;
}

// The first occurrence of `what` in `lines` at or after `from`, or -1: `lines` is
// whole lines of the document, with their separators (QChar::ParagraphSeparator),
// and is searched as the document's own search goes through each line. A line's
// no-break spaces match spaces, and a whole word has neither a letter nor a digit
// beside it on its line; after a hit that is not a whole word the search goes on one
// character behind it.
qsizetype findInLines(QString &lines, qsizetype from, const QString &what,
    Qt::CaseSensitivity sensitivity, bool wholeWord)
{
    // Without a space or a no-break space in `what` no hit depends on that.
    if (what.contains(QLatin1Char(' ')) || what.contains(QChar::Nbsp)) {
        lines.replace(QChar::Nbsp, QLatin1Char(' '));
    }
    while (from <= lines.size()) {
        const qsizetype at = lines.indexOf(what, from, sensitivity);
        if (at < 0) {
            return -1;
        }
        const qsizetype after = at + what.size();
        if (!wholeWord
            || !((at > 0 && lines.at(at - 1).isLetterOrNumber())
                || (after < lines.size() && lines.at(after).isLetterOrNumber()))) {
            return at;
        }
        from = after + 1;
    }
    return -1;
}

} // namespace

RichEdit::RichEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("RichEdit1"));
    m_follow = new FollowView(this);
    setFont(documentFont());
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Long receptions are cleared automatically again and again: an undo history would
    // keep every removed character alive.
    setUndoRedoEnabled(false);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, toQColor(Colors::Red));
    // The find dialogs keep the focus while the hit they selected must stay visible.
    pal.setColor(
        QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
        pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    m_insertFormat.setForeground(toQColor(m_insertColor));
    mergeCurrentCharFormat(m_insertFormat);

    // The caret's blinking is driven by a timer of the control's inner text object,
    // which has no public interface; it is the one child object of that class.
    for (QObject *child : children()) {
        if (child->inherits("QWidgetTextControl")) {
            m_textControl = child;
            m_textControl->installEventFilter(this);
            break;
        }
    }
    // The view paints its own background, so that a repaint held back leaves what
    // was shown in place rather than an empty area.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_paintLater = new QTimer(this);
    m_paintLater->setSingleShot(true);
    m_paintLater->setTimerType(Qt::PreciseTimer);
    connect(m_paintLater, &QTimer::timeout, this, [this] {
        viewport()->update(m_heldBack);
        m_heldBack = QRegion();
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &RichEdit::updateCaretMode);
    connect(document(), &QTextDocument::contentsChanged, this, &RichEdit::updateCaretMode);
    // Any change the operations did not count themselves (typing, a paste, the end of
    // a batch) makes the count be asked of the document again.
    connect(document(), &QTextDocument::contentsChanged, this, [this] { m_knownCount = -1; });
}

void RichEdit::updateCaretMode()
{
    const bool steady = m_textControl && textCursor().block().length() > kLongLine;
    if (steady == m_steadyCaret) {
        return;
    }
    // The control's caret keeps its place and width (scrolling is measured by it)
    // but no longer blinks, whichever phase it stopped in; paintEvent draws the steady
    // caret over it, the same line in the same colour.
    m_steadyCaret = steady;
    viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
}

bool RichEdit::isBlinkTimer(int timerId) const
{
    const int blinkInterval = QGuiApplication::styleHints()->cursorFlashTime() / 2;
    const QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher) {
        return false;
    }
    const QList<QAbstractEventDispatcher::TimerInfo> timers
        = dispatcher->registeredTimers(m_textControl);
    return std::any_of(timers.begin(), timers.end(), [&](const auto &timer) {
        return timer.timerId == timerId && timer.interval == blinkInterval;
    });
}

bool RichEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textControl && m_steadyCaret && event->type() == QEvent::Timer
        && isBlinkTimer(static_cast<QTimerEvent *>(event)->timerId())) {
        return true;
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

void RichEdit::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    // The control scrolls to its caret when first shown, but before it knows how wide
    // the lines are, so a caret far to the right would stay out of view.
    if (!m_shownOnce) {
        m_shownOnce = true;
        ensureCursorVisible();
    }
}

void RichEdit::paintEvent(QPaintEvent *event)
{
    if (m_sincePaint.isValid()) {
        const qint64 left = m_paintHoldNs - m_sincePaint.nsecsElapsed();
        if (left > 0) {
            m_heldBack += event->region();
            if (!m_paintLater->isActive()) {
                m_paintLater->start(static_cast<int>((left + 999999) / 1000000));
            }
            return;
        }
    }
    QElapsedTimer cost;
    cost.start();
    {
        QPainter background(viewport());
        for (const QRect &rect : event->region()) {
            background.fillRect(rect, palette().brush(QPalette::Base));
        }
    }
    QPlainTextEdit::paintEvent(event);
    if (m_steadyCaret && hasFocus()) {
        const QRect caret = cursorRect();
        if (event->rect().intersects(caret.adjusted(-1, 0, 1, 0))) {
            QPainter painter(viewport());
            painter.fillRect(
                QRect(caret.x(), caret.y(), 1, caret.height()), palette().color(QPalette::Text));
        }
    }
    m_lastPaintNs = cost.nsecsElapsed();
    constexpr qint64 kNsPerMs = 1000000;
    m_paintHoldNs = m_lastPaintNs < kCostlyPaintMs * kNsPerMs
        ? 0
        : std::min(m_lastPaintNs * kPaintCostFactor, kMaxPaintHoldMs * kNsPerMs);
    m_sincePaint.start();
}

void RichEdit::BeginBatch()
{
    if (m_batchDepth++ == 0) {
        m_caret = textCursor();
        m_caret.beginEditBlock();
    }
}

void RichEdit::EndBatch()
{
    Q_ASSERT(m_batchDepth > 0);
    if (m_batchDepth <= 0 || --m_batchDepth > 0) {
        return;
    }
    m_caret.endEditBlock();
    handOverCaret();
}

// The control places a caret it is given by shaping the caret's whole line again,
// which for the end of a very long line (a long send's echo) costs as much as laying
// the line out. The control's own caret follows text inserted at its place, so after
// insertions at the end it already stands where the batch's caret does; then only
// the scrolling is left, and the layout already knows where the line ends.
void RichEdit::handOverCaret()
{
    // Text appended at the end leaves a view the user scrolled away where it is; a
    // caret or selection put anywhere else (a search, a click) is scrolled to.
    if (m_caret.atEnd() && !m_caret.hasSelection()) {
        m_follow->keepView([this] { handOverCaretAndScroll(); });
    } else {
        handOverCaretAndScroll();
    }
}

void RichEdit::handOverCaretAndScroll()
{
    const QTextCursor own = textCursor();
    const bool followed = !m_caret.hasSelection() && !own.hasSelection()
        && own.position() == m_caret.position() && m_caret.atEnd();
    if (followed && document()->lastBlock().length() > kLongLine) {
        scrollToEnd();
    } else {
        setCaretAndShowIt();
    }
}

// Scrolls as the control does to show its caret at the end of the text, without
// asking the control where that caret is: horizontally, a caret outside the view is
// centred in it; vertically, a last line below the view is brought to its bottom.
void RichEdit::scrollToEnd()
{
    QTextBlock block = document()->lastBlock();
    const QTextLayout *layout = block.layout();
    if (!layout || layout->lineCount() == 0) {
        setCaretAndShowIt();
        return;
    }
    const QTextLine line = layout->lineAt(layout->lineCount() - 1);
    QScrollBar *hbar = horizontalScrollBar();
    const int width = viewport()->width();
    const QRect caret(qRound(line.x() + line.naturalTextWidth()) - hbar->value(), 0, 1, 1);
    if (caret.left() < 0 || caret.right() > width - 1) {
        hbar->setValue(caret.center().x() + hbar->value() - width / 2);
    }

    const QRectF shown = blockBoundingGeometry(block).translated(contentOffset());
    const QRectF lineRect = line.naturalTextRect().translated(shown.topLeft());
    const qreal height = viewport()->rect().height();
    if (lineRect.bottom() >= QRectF(viewport()->rect()).bottom()) {
        qreal covered = line.naturalTextRect().bottom();
        QTextBlock below = block;
        while (covered < height && block.previous().isValid()) {
            below = block;
            block = block.previous();
            covered += blockBoundingRect(block).height();
        }
        if (covered - block.layout()->lineAt(0).naturalTextRect().top() > height) {
            block = below;
        }
        verticalScrollBar()->setValue(block.firstLineNumber());
    } else if (lineRect.top() < 0) {
        verticalScrollBar()->setValue(block.firstLineNumber());
    }
}

// The control does not scroll to a caret it is given; the view follows it as it
// follows typing.
void RichEdit::setCaretAndShowIt()
{
    setTextCursor(m_caret);
    ensureCursorVisible();
}

QTextCursor RichEdit::currentCaret() const
{
    return m_batchDepth > 0 ? m_caret : textCursor();
}

void RichEdit::MoveCaretToEnd()
{
    BeginBatch();
    m_caret.movePosition(QTextCursor::End);
    EndBatch();
}

void RichEdit::SetInsertColor(Rgb color)
{
    // Receiving sets the colour before every item; an unchanged format keeps its
    // cached hash, which every insertion looks up.
    if (color != m_insertColor) {
        m_insertColor = color;
        m_insertFormat = formatOf(color);
    }
    BeginBatch();
    if (m_caret.hasSelection()) {
        QTextCharFormat colour;
        colour.setForeground(toQColor(color));
        m_caret.mergeCharFormat(colour);
    }
    EndBatch();
}

bool RichEdit::InsertAtCaret(std::string_view text)
{
    return insertTextAtCaret(decodeCp936(text));
}

// Reception alternates a few colours, a run each; a format made once per colour keeps
// its brush and its cached hash, which every insertion looks up.
QTextCharFormat RichEdit::formatOf(Rgb color)
{
    for (const auto &[known, format] : m_formats) {
        if (known == color) {
            return format;
        }
    }
    QTextCharFormat format;
    format.setForeground(toQColor(color));
    if (m_formats.size() < kKeptFormats) {
        m_formats.emplace_back(color, format);
    }
    return format;
}

bool RichEdit::fits(qsizetype added) const
{
    return added <= static_cast<qsizetype>(m_capacity) - countForInsert();
}

// The document counts its characters by walking its tree of pieces, a good part of
// an insertion's cost when a reception inserts a run at a time: inside a batch the
// operations keep the count themselves (the document says nothing of changes until
// the batch ends).
int RichEdit::countForInsert() const
{
    if (m_knownCount < 0) {
        m_knownCount = characterCount();
    }
    return m_knownCount;
}

void RichEdit::insertCounted(const QString &text)
{
    const int replaced = m_caret.selectionEnd() - m_caret.selectionStart();
    const int before = countForInsert();
    m_caret.insertText(text, m_insertFormat);
    m_knownCount = before + static_cast<int>(text.size()) - replaced;
}

bool RichEdit::insertTextAtCaret(const QString &text)
{
    BeginBatch();
    const qsizetype replaced = m_caret.selectionEnd() - m_caret.selectionStart();
    const bool ok = fits(text.size() - replaced);
    if (ok) {
        insertCounted(text);
    }
    EndBatch();
    return ok;
}

bool RichEdit::AppendLine(std::string_view bytes)
{
    const QString text = decodeCp936(bytes);
    BeginBatch();
    m_caret.movePosition(QTextCursor::End);
    // An empty last block means an empty document or text that ends with a line break.
    const bool atLineStart = document()->lastBlock().length() == 1;
    const bool ok = fits(text.size() + 1);
    if (ok) {
        insertCounted(atLineStart ? text + QLatin1Char('\n') : QLatin1Char('\n') + text);
    }
    EndBatch();
    return ok;
}

int RichEdit::LineCount() const
{
    const QTextDocument *doc = document();
    return doc->blockCount() - (doc->lastBlock().length() == 1 ? 1 : 0);
}

void RichEdit::ClearDocument()
{
    const bool large = characterCount() >= kLargeDocument;
    BeginBatch();
    m_caret.select(QTextCursor::Document);
    m_caret.removeSelectedText();
    m_knownCount = 0;
    EndBatch();
#ifdef __GLIBC__
    // A large document leaves its memory free but kept by the allocator, hundreds of
    // megabytes after a long send's echo line: give it back to the system.
    if (large) {
        malloc_trim(0);
    }
#endif
}

int RichEdit::characterCount() const
{
    return document()->characterCount() - 1;
}

QStringList RichEdit::lines() const
{
    QStringList result;
    result.reserve(document()->blockCount());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        result.append(block.text());
    }
    if (!result.isEmpty() && result.last().isEmpty()) {
        result.removeLast();
    }
    return result;
}

int RichEdit::selStart() const
{
    return currentCaret().selectionStart();
}

void RichEdit::setSelStart(int position)
{
    BeginBatch();
    m_caret.setPosition(std::clamp(position, 0, characterCount()));
    EndBatch();
}

int RichEdit::selLength() const
{
    const QTextCursor caret = currentCaret();
    return caret.selectionEnd() - caret.selectionStart();
}

void RichEdit::setSelLength(int length)
{
    BeginBatch();
    const int start = m_caret.selectionStart();
    m_caret.setPosition(start);
    m_caret.setPosition(
        std::clamp(start + length, start, characterCount()), QTextCursor::KeepAnchor);
    EndBatch();
}

QString RichEdit::selectedText() const
{
    QString text = currentCaret().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

int RichEdit::findText(const QString &what, int from, bool matchCase, bool wholeWord) const
{
    if (what.isEmpty() || what.contains(QChar::ParagraphSeparator)) {
        return -1;
    }
    // The document's own search copies every line into a string of its own before it
    // looks in it, a second for a million lines. This looks through whole lines a
    // chunk at a time, by the same rules (findInLines): a chunk starts small (a hit is
    // mostly near) and grows; past kRawFindFrom characters the rest is searched in one
    // copy of the whole text, which the document makes far faster than pieces.
    QTextDocument *doc = document();
    const int end = characterCount();
    QTextBlock block = doc->findBlock(std::clamp(from, 0, end));
    qsizetype offset = std::clamp(from, 0, end) - block.position();
    const Qt::CaseSensitivity sensitivity = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QTextCursor chunk(doc);
    int searched = 0;
    for (int chunkChars = kFirstFindChunk; block.isValid();
         chunkChars = std::min(chunkChars * 2, kLastFindChunk)) {
        const int chunkStart = block.position();
        if (searched >= kRawFindFrom) {
            QString all = doc->toRawText();
            const qsizetype at
                = findInLines(all, chunkStart + offset, what, sensitivity, wholeWord);
            return static_cast<int>(at);
        }
        const QTextBlock last = doc->findBlock(std::min(chunkStart + chunkChars, end));
        chunk.setPosition(chunkStart);
        chunk.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        QString text = chunk.selectedText();
        const qsizetype at = findInLines(text, offset, what, sensitivity, wholeWord);
        if (at >= 0) {
            return chunkStart + static_cast<int>(at);
        }
        searched += static_cast<int>(text.size());
        block = last.next();
        offset = 0;
    }
    return -1;
}

int RichEdit::findTextBefore(const QString &what, int before, bool matchCase, bool wholeWord) const
{
    if (what.isEmpty() || before <= 0) {
        return -1;
    }
    QTextDocument::FindFlags flags = QTextDocument::FindBackward;
    if (matchCase) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (wholeWord) {
        flags |= QTextDocument::FindWholeWords;
    }
    // A backward search from a position finds hits that start before it; starting
    // from the last character a hit could still cover lets hits overlap the selection.
    const int from = std::clamp(before - 1 + static_cast<int>(what.size()), 0, characterCount());
    QTextCursor hit = document()->find(what, from, flags);
    while (!hit.isNull() && hit.selectionStart() >= before) {
        hit = document()->find(what, hit.selectionStart(), flags);
    }
    return hit.isNull() ? -1 : hit.selectionStart();
}
