#pragma once

#include "document/documentops.h"
#include "textview/store/textstore.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QRawFont>
#include <QRegion>
#include <QStringList>
#include <QTextCharFormat>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class FollowView;

// Where a text control's caret stands and where its selection begins (the anchor),
// in characters (UTF-16 units) from the start of the text.
class TextCaret
{
public:
    TextCaret(int anchor, int position, bool atEnd)
        : m_anchor(anchor)
        , m_position(position)
        , m_atEnd(atEnd)
    { }

    int anchor() const { return m_anchor; }
    int position() const { return m_position; }
    int selectionStart() const { return std::min(m_anchor, m_position); }
    int selectionEnd() const { return std::max(m_anchor, m_position); }
    bool hasSelection() const { return m_anchor != m_position; }
    bool atEnd() const { return m_atEnd; }

private:
    int m_anchor;
    int m_position;
    bool m_atEnd;
};

// The rich-text control of a document window. Every run of text carries its own
// colour; text is red "MS Sans Serif" 13 px (the platform's sans face where that
// face is missing) on white, lines are never wrapped, so the document's lines are
// exactly its paragraphs, and the selection stays highlighted without the focus.
//
// The text lives in a TextStore (code page 936 bytes, about a byte a character plus
// a few bytes a line and a colour run), and the view lays out and paints only what
// it shows: the lines in the viewport and, of each, only the columns in it. No line
// is ever shaped whole: every byte has an advance of its own (a double-byte
// character: two halves), and a long line keeps the x position of every
// kLongStride-th column, found when first needed, so that a column far to the right
// is reached from the nearest of them. A document that keeps a whole session thus
// costs about its size, and a character at its end costs what it does at its start.
// The vertical scroll bar counts lines, the horizontal one pixels.
//
// It implements the six document operations and the selection, search, typing and
// clipboard that the file, find and edit commands use. Positions count characters
// (UTF-16 units) from 0; a line break counts as one. Text given as a QString is kept
// in code page 936: a character that page lacks becomes "?", and a carriage return
// (alone or before a line feed) becomes a line break, as rich-text controls do.
//
// Between BeginBatch and the matching EndBatch the operations work on a caret of
// their own, and the control takes it over (and scrolls to it) once, at the
// outermost EndBatch; a burst of insertions thus costs one repaint.
//
// The caret blinks as the platform's does, except while it stands in a line longer
// than kLongLine, where it stays steady.
//
// A repaint that took longer than kCostlyPaintMs holds the next ones back for
// kPaintCostFactor times its cost, at most kMaxPaintHoldMs: what they would have
// painted is painted in one go when the time is up.
//
// User-interface thread only.
class RichEdit : public QAbstractScrollArea, public DocumentOps
{
    Q_OBJECT

public:
    // Characters a document holds before it refuses more text.
    static constexpr int kDefaultCapacity = 64 * 1024 * 1024;
    // A line longer than this (in characters) is long: the caret stands still in it.
    static constexpr int kLongLine = 4096;
    // Clearing a document of at least this many characters returns the freed
    // memory to the system.
    static constexpr int kLargeDocument = 1 << 20;
    static constexpr int kCostlyPaintMs = 4;
    static constexpr int kPaintCostFactor = 3;
    static constexpr int kMaxPaintHoldMs = 100;
    // Columns between two kept x positions of a long line.
    static constexpr std::size_t kLongStride = 4096;
    // Bytes of whole lines a case-blind search beyond ASCII decodes at a time.
    static constexpr std::size_t kSearchBlock = std::size_t { 1 } << 16;
    // A tab reaches the next multiple of this many pixels, as in rich-text controls.
    static constexpr double kTabStop = 80;

    explicit RichEdit(QWidget *parent = nullptr);
    ~RichEdit() override;

    void MoveCaretToEnd() override;
    void SetInsertColor(Rgb color) override;
    bool InsertAtCaret(std::string_view text) override;
    bool AppendLine(std::string_view text) override;
    int LineCount() const override;
    void ClearDocument() override;
    void BeginBatch() override;
    void EndBatch() override;

    // InsertAtCaret with text that is already decoded; "\n" is a line break.
    bool insertTextAtCaret(const QString &text);
    // The colour of text inserted next.
    Rgb insertColor() const { return m_insertColor; }

    // The lines that LineCount counts, in order, each without its line break.
    QStringList lines() const;
    // The whole text, lines joined by "\n".
    QString toPlainText() const;
    // Replaces the whole text by `text` in the insertion colour; the caret goes to
    // the start.
    void setPlainText(const QString &text);
    // The text's colour runs over [from, to) in characters: where each starts, and
    // its colour.
    std::vector<std::pair<int, Rgb>> colorRuns(int from, int to) const;

    int selStart() const;
    // Puts an empty selection (the caret) at `position`, clamped to the text.
    void setSelStart(int position);
    int selLength() const;
    // Extends the selection from its start over `length` characters (clamped).
    void setSelLength(int length);
    // The selected text; a line break inside it is "\n".
    QString selectedText() const;
    bool hasSelection() const { return m_shown.anchor != m_shown.position; }
    // The control's caret and selection (inside a batch, as they were before it).
    TextCaret textCursor() const;
    // Where the caret is drawn, in the viewport's coordinates.
    QRect cursorRect() const;
    // Where a caret at character `position` would be drawn.
    QRect cursorRect(int position) const;
    // The character position nearest to `point` of the viewport.
    int cursorPositionAt(const QPoint &point) const;
    // The character under `point` of the viewport, or -1 where there is none.
    int characterAt(const QPoint &point) const;
    // Where the character at `position` is drawn, in the viewport's coordinates (a
    // line break: the width of a space).
    QRect characterRect(int position) const;
    // Scrolls the view so that the characters [from, to) show, as far as they fit.
    void scrollToRange(int from, int to);

    // The text of the characters [from, to) (clamped); a line break is "\n".
    QString textIn(int from, int to) const;
    // The line that holds `position`: where it starts and where its text ends (its
    // line break not included), in characters.
    std::pair<int, int> lineRange(int position) const;
    // A stretch of text in one colour.
    struct ColorSpan
    {
        int start = 0;
        int end = 0;
        Rgb color;
    };
    // The longest stretch of one colour around the character at `position`.
    ColorSpan colorSpanAt(int position) const;
    // Selects from `anchor` to `position` (clamped, an empty selection puts the
    // caret), as the user would, and shows the caret.
    void setSelection(int anchor, int position);
    // Replaces the characters [from, to) by `text` as typing would (the colour of
    // the text before it, the view following). False, with nothing changed, when the
    // document is read-only or refuses the text.
    bool replaceText(int from, int to, const QString &text);

    // The position of the first occurrence of `what` at or after `from`, or -1.
    // An empty `what` is never found. Occurrences do not span line breaks.
    int findText(const QString &what, int from, bool matchCase, bool wholeWord) const;
    // The position of the last occurrence of `what` that starts before `before`, or -1.
    int findTextBefore(const QString &what, int before, bool matchCase, bool wholeWord) const;

    // The hits that findText from `from`, then from behind each hit, finds in turn.
    std::vector<int> findAll(const QString &what, int from, bool matchCase, bool wholeWord) const;
    // Replaces, in the insertion colour, every hit that searching from `from` and
    // then from behind each replacement finds, as repeated Replace does, but in one
    // pass over the text with one update of the view. The caret ends behind the last
    // replacement (or at `from`). False, with nothing changed, when the document
    // refuses the result.
    bool replaceAll(
        const QString &what, const QString &with, int from, bool matchCase, bool wholeWord);

    // Characters in the document, line breaks included (not the final one).
    int characterCount() const;
    // Characters in the last line.
    int lastLineLength() const;
    int capacity() const { return m_capacity; }
    void setCapacity(int characters) { m_capacity = characters; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // How long the last repaint of the text took, in nanoseconds.
    qint64 lastPaintNs() const { return m_lastPaintNs; }
    // The view's follow state: a view scrolled away from the end stays put while
    // text is appended (followview.h).
    FollowView *follow() const { return m_follow; }
    // Whether the caret is painted steadily instead of blinking (its line is long).
    bool hasSteadyCaret() const { return m_steadyCaret; }
    // Bytes the text and its indexes take.
    std::size_t storedBytes() const { return m_store.AllocatedBytes(); }

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();

signals:
    void selectionChanged();
    void cursorPositionChanged();
    void textChanged();
    // The user typed or pasted a character that code page 936 lacks, and it became
    // "?"; said once in the control's life, for the status message.
    void foreignCharactersReplaced();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // A caret in bytes of the store.
    struct Caret
    {
        std::size_t anchor = 0;
        std::size_t position = 0;
        std::size_t start() const { return std::min(anchor, position); }
        std::size_t end() const { return std::max(anchor, position); }
        friend bool operator==(const Caret &, const Caret &) = default;
    };

    // Replaces the selection of the operations' caret by `bytes` (code page 936,
    // whole characters, line breaks as "\n") in `color`; false when it does not fit.
    bool replaceSelection(std::string_view bytes, Rgb color);
    // Keeps a caret in place across a replacement of [from, from + removed) by
    // `inserted` bytes.
    static void shift(Caret &caret, std::size_t from, std::size_t removed, std::size_t inserted);
    Caret &caret() { return m_batchDepth > 0 ? m_caret : m_shown; }
    const Caret &caret() const { return m_batchDepth > 0 ? m_caret : m_shown; }
    std::size_t byteOf(int position) const;
    int charOf(std::size_t byte) const;
    // An edit that assistive clients have not heard of yet: the bytes
    // [from, from + inserted) replaced `removed`. Edits inside it are merged, so that
    // a batch of received text makes one announcement.
    struct PendingEdit
    {
        bool open = false;
        std::size_t from = 0;
        std::size_t inserted = 0;
        QString removed;
    };
    // Records for assistive clients that [from, from + removed) becomes `inserted`
    // bytes; called before the store changes.
    void noteEdit(std::size_t from, std::size_t removed, std::size_t inserted);
    // Announces the pending edit; false when there was none or no client listens.
    bool announceEdit();
    // Ends an outside-a-batch change: the text, the scroll bars and the view.
    void changed(bool followCaret);
    void updateRanges();
    void shrinkWidest();
    // Measures the lines [first, last] again after an edit (and the last line when
    // text was `removed` before it).
    void remeasure(std::size_t first, std::size_t last, bool removed);
    // A document up to this many bytes is measured again when its widest line may
    // have gone.
    static constexpr std::size_t kMeasuredDocument = std::size_t { 1 } << 20;
    int visibleLines() const;
    // Makes the caret visible as a text control does after a key or an insertion.
    void ensureCaretVisible();
    // Sets the control's caret from a user's action; `keepAnchor` extends the selection.
    void moveCaretTo(std::size_t position, bool keepAnchor);
    void caretMoved(const Caret &before);
    void updateCaretMode();
    void restartBlink();
    // False when the text was refused (nothing changed then, and it beeped).
    bool typeText(const QString &text);
    void deleteAround(bool forward, bool wholeWord);
    // The one word rule of double-click, the word keys and whole-word search: a
    // word is letters and digits (ASCII ones, and double-byte characters that decode
    // to one); `code` is a byte or lead << 8 | trail.
    static bool isWordCode(std::uint16_t code);
    struct WordChar
    {
        std::size_t start;
        bool word;
    };
    // The characters of `text`, which starts at a character: where each starts and
    // whether it is a word character, then one more entry at the end of the text.
    static std::vector<WordChar> wordChars(std::string_view text);
    std::size_t wordBoundary(std::size_t from, bool forward) const;
    std::size_t positionAt(const QPoint &point) const;
    QRect caretRect(std::size_t position) const;
    Rgb colorBefore(std::size_t position) const;
    // `text` in code page 936; `replaced` tells whether a character the page lacks
    // was replaced by "?".
    std::string encode(const QString &text, bool *replaced = nullptr) const;
    QString decode(std::size_t from, std::size_t count) const;

    // The view's geometry.
    void setUpFont();
    double columnX(std::size_t line, std::size_t column) const;
    std::pair<std::size_t, double> columnAt(std::size_t line, double x) const;
    const std::vector<double> &stopsOf(std::size_t line, double x, std::size_t column) const;
    // The width of `byte` where it starts at `x` from the start of its line.
    double advanceAt(char byte, double x) const
    {
        return byte == '\t' ? (std::floor(x / kTabStop) + 1) * kTabStop - x
                            : m_advances[static_cast<unsigned char>(byte)];
    }
    // The x position after `bytes` that start at `x`.
    double advanceOver(std::string_view bytes, double x) const;
    void paintLine(QPainter &painter, std::size_t line, int top, int x0);
    void paintPreedit(QPainter &painter);
    QRect preeditCursorRect() const;
    // Where the text the input method is told surrounds the caret starts: its line,
    // or of a long line the kLongLine bytes around the caret.
    std::size_t surroundingStart() const;

    TextStore m_store;
    Caret m_shown;
    Caret m_caret;
    int m_batchDepth = 0;
    bool m_dirty = false;
    bool m_followCaret = false;
    Rgb m_insertColor = Colors::Red;
    int m_capacity = kDefaultCapacity;
    bool m_readOnly = false;
    FollowView *m_follow = nullptr;
    PendingEdit m_pendingEdit;
    bool m_toldForeign = false;

    // The x position where vertical caret moves aim.
    double m_goalX = -1;
    bool m_selecting = false;
    bool m_shownOnce = false;
    bool m_caretOn = true;
    bool m_steadyCaret = false;
    int m_blinkTimer = 0;
    QString m_preedit;
    // Where the input method's cursor stands in m_preedit, and its parts' formats.
    int m_preeditCursor = 0;
    bool m_preeditCursorVisible = true;
    struct PreeditFormat
    {
        int start;
        int length;
        QTextCharFormat format;
    };
    std::vector<PreeditFormat> m_preeditFormats;

    QFont m_font;
    // Printable ASCII is drawn as glyphs placed at their columns, with no shaping;
    // anything else goes through the painter's text drawing.
    QRawFont m_rawFont;
    std::array<quint32, 128> m_glyphs {};
    std::array<double, 256> m_advances {};
    double m_narrowest = 1;
    // The widest advance a byte can have (a tab's at most kTabStop).
    double m_widestAdvance = kTabStop;
    double m_lastLineWidth = 0;
    double m_widest = 0;
    mutable std::unordered_map<std::size_t, std::vector<double>> m_stops;
    int m_lineHeight = 16;
    int m_ascent = 12;

    qint64 m_lastPaintNs = 0;
    QElapsedTimer m_sincePaint;
    qint64 m_paintHoldNs = 0;
    QRegion m_heldBack;
    QTimer *m_paintLater = nullptr;
};
