// Assistive clients' view of the document control.
#include "richeditaccessible.h"

#include "richedit.h"

#include <QFontInfo>
#include <QMap>
#include <QTextBoundaryFinder>

#include <atomic>
#include <utility>

namespace {

// Whether the platform has told of an assistive client. Qt says so through
// QAccessible::setActive, which its platform bridge calls when a client comes or goes.
std::atomic<bool> g_clientActive { false };

AccessibilityAnnouncer g_announce = &QAccessible::updateAccessibility;

class ActivationWatch : public QAccessible::ActivationObserver
{
public:
    void accessibilityActiveChanged(bool active) override { g_clientActive = active; }
};

QAccessibleInterface *RichEditFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("RichEdit") && object != nullptr && object->isWidgetType()) {
        return new RichEditAccessible(static_cast<RichEdit *>(object));
    }
    return nullptr;
}

QString rgbText(QColor color)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

// A font family as an attribute value: quoted, with the attribute syntax escaped.
QString quotedFamily(QString family)
{
    for (const QChar c : { QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char(','), QLatin1Char('='),
             QLatin1Char(';'), QLatin1Char('"') }) {
        family.replace(c, QLatin1Char('\\') + c);
    }
    return QLatin1Char('"') + family + QLatin1Char('"');
}

} // namespace

AccessibilityAnnouncer SetAccessibilityAnnouncer(AccessibilityAnnouncer announcer)
{
    return std::exchange(g_announce, announcer);
}

void InstallRichEditAccessibility()
{
    static const bool installed = [] {
        static ActivationWatch watch;
        QAccessible::installActivationObserver(&watch);
        QAccessible::installFactory(&RichEditFactory);
        return true;
    }();
    static_cast<void>(installed);
}

bool AccessibilityClientActive()
{
    return g_clientActive.load(std::memory_order_relaxed) || QAccessible::isActive();
}

void AnnounceTextChange(
    RichEdit *edit, int position, const QString &removed, const QString &inserted)
{
    if (!removed.isEmpty() && !inserted.isEmpty()) {
        QAccessibleTextUpdateEvent event(edit, position, removed, inserted);
        g_announce(&event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(edit, position, removed);
        g_announce(&event);
    } else if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(edit, position, inserted);
        g_announce(&event);
    }
}

void AnnounceCaret(RichEdit *edit, int position)
{
    QAccessibleTextCursorEvent event(edit, position);
    g_announce(&event);
}

void AnnounceSelection(RichEdit *edit, int start, int end, int caret)
{
    QAccessibleTextSelectionEvent event(edit, start, end);
    event.setCursorPosition(caret);
    g_announce(&event);
}

RichEditAccessible::RichEditAccessible(RichEdit *edit)
    : QAccessibleWidget(edit, QAccessible::EditableText)
{ }

RichEdit *RichEditAccessible::edit() const
{
    return static_cast<RichEdit *>(widget());
}

void *RichEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface *>(this);
    }
    if (type == QAccessible::EditableTextInterface && !edit()->isReadOnly()) {
        return static_cast<QAccessibleEditableTextInterface *>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State RichEditAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.selectableText = true;
    s.readOnly = edit()->isReadOnly();
    s.editable = !edit()->isReadOnly();
    return s;
}

void RichEditAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !edit()->hasSelection()) {
        return;
    }
    const TextCaret caret = edit()->textCursor();
    *startOffset = caret.selectionStart();
    *endOffset = caret.selectionEnd();
}

int RichEditAccessible::selectionCount() const
{
    return edit()->hasSelection() ? 1 : 0;
}

void RichEditAccessible::addSelection(int startOffset, int endOffset)
{
    // The control has one selection: a new one takes its place.
    setSelection(0, startOffset, endOffset);
}

void RichEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0 && edit()->hasSelection()) {
        const int caret = edit()->textCursor().position();
        edit()->setSelection(caret, caret);
    }
}

void RichEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0) {
        edit()->setSelection(startOffset, endOffset);
    }
}

int RichEditAccessible::cursorPosition() const
{
    return edit()->textCursor().position();
}

void RichEditAccessible::setCursorPosition(int position)
{
    edit()->setSelection(position, position);
}

QString RichEditAccessible::text(QAccessible::Text t) const
{
    return QAccessibleWidget::text(t);
}

QString RichEditAccessible::text(int startOffset, int endOffset) const
{
    return edit()->textIn(startOffset, endOffset);
}

int RichEditAccessible::characterCount() const
{
    return edit()->characterCount();
}

std::pair<int, int> RichEditAccessible::pieceAt(
    int offset, QAccessible::TextBoundaryType type) const
{
    const int count = characterCount();
    offset = std::clamp(offset, 0, count);
    const auto [lineStart, lineEnd] = edit()->lineRange(offset);
    switch (type) {
    case QAccessible::NoBoundary:
        return { 0, count };
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        // Lines are never wrapped: a line is a paragraph, its line break included.
        return { lineStart, lineEnd < count ? lineEnd + 1 : lineEnd };
    case QAccessible::CharBoundary:
        return { offset, std::min(offset + 1, count) };
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary:
        break;
    }
    if (offset >= lineEnd) {
        // A line break is a piece of its own.
        return { offset, std::min(offset + 1, count) };
    }
    const int from = std::max(lineStart, offset - kPieceWindow);
    const int to = std::min(lineEnd, offset + kPieceWindow);
    const QString text = edit()->textIn(from, to);
    QTextBoundaryFinder finder(type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                 : QTextBoundaryFinder::Sentence,
        text);
    finder.setPosition(offset - from);
    const qsizetype start = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
    finder.setPosition(offset - from);
    const qsizetype end = finder.toNextBoundary();
    return { from + static_cast<int>(std::max<qsizetype>(start, 0)),
        end < 0 ? to : from + static_cast<int>(end) };
}

QString RichEditAccessible::piece(std::pair<int, int> range, int *startOffset, int *endOffset) const
{
    *startOffset = range.first;
    *endOffset = range.second;
    return text(range.first, range.second);
}

QString RichEditAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    if (offset == -2) {
        offset = cursorPosition();
    } else if (offset == -1) {
        offset = characterCount();
    }
    return piece(pieceAt(offset, boundaryType), startOffset, endOffset);
}

QString RichEditAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    if (offset == -2) {
        offset = cursorPosition();
    } else if (offset == -1) {
        offset = characterCount();
    }
    const int start = pieceAt(offset, boundaryType).first;
    if (start <= 0 || boundaryType == QAccessible::NoBoundary) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return piece(pieceAt(start - 1, boundaryType), startOffset, endOffset);
}

QString RichEditAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    if (offset == -2) {
        offset = cursorPosition();
    } else if (offset == -1) {
        offset = characterCount();
    }
    const int end = pieceAt(offset, boundaryType).second;
    if (end >= characterCount() || boundaryType == QAccessible::NoBoundary) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return piece(pieceAt(end, boundaryType), startOffset, endOffset);
}

QRect RichEditAccessible::characterRect(int offset) const
{
    if (offset < 0 || offset >= characterCount()) {
        return QRect();
    }
    const QWidget *viewport = edit()->viewport();
    return edit()->characterRect(offset).translated(viewport->mapToGlobal(QPoint(0, 0)));
}

int RichEditAccessible::offsetAtPoint(const QPoint &point) const
{
    const QWidget *viewport = edit()->viewport();
    const QPoint local = viewport->mapFromGlobal(point);
    return viewport->rect().contains(local) ? edit()->characterAt(local) : -1;
}

void RichEditAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    edit()->scrollToRange(startIndex, endIndex);
}

// The names and forms of the attributes are those of Qt's own text controls (the
// IAccessible2 text attributes): "name:value;" in the order of the names.
QString RichEditAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    if (offset < 0 || offset >= characterCount()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    const RichEdit::ColorSpan span = edit()->colorSpanAt(offset);
    *startOffset = span.start;
    *endOffset = span.end;
    const QFont font = edit()->font();
    const QFontInfo info(font);
    QMap<QString, QString> attrs;
    attrs[QStringLiteral("background-color")] = rgbText(edit()->palette().color(QPalette::Base));
    attrs[QStringLiteral("color")] = rgbText(QColor(span.color.r, span.color.g, span.color.b));
    attrs[QStringLiteral("font-family")] = quotedFamily(info.family());
    if (info.pointSize() > 0) {
        attrs[QStringLiteral("font-size")]
            = QString::number(info.pointSize()) + QStringLiteral("pt");
    }
    attrs[QStringLiteral("font-style")]
        = info.italic() ? QStringLiteral("italic") : QStringLiteral("normal");
    attrs[QStringLiteral("font-weight")]
        = info.weight() > QFont::Normal ? QStringLiteral("bold") : QStringLiteral("normal");
    attrs[QStringLiteral("text-align")] = QStringLiteral("left");
    attrs[QStringLiteral("text-position")] = QStringLiteral("baseline");
    attrs[QStringLiteral("text-underline-style")]
        = info.underline() ? QStringLiteral("solid") : QStringLiteral("none");
    QString result;
    for (auto it = attrs.cbegin(); it != attrs.cend(); ++it) {
        result += it.key() + QLatin1Char(':') + it.value() + QLatin1Char(';');
    }
    return result;
}

// A refused edit changes nothing and beeps, as the user's own would.
void RichEditAccessible::deleteText(int startOffset, int endOffset)
{
    static_cast<void>(edit()->replaceText(startOffset, endOffset, QString()));
}

void RichEditAccessible::insertText(int offset, const QString &text)
{
    static_cast<void>(edit()->replaceText(offset, offset, text));
}

void RichEditAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    static_cast<void>(edit()->replaceText(startOffset, endOffset, text));
}
