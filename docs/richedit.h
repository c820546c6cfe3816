#pragma once

#include "documentops.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRegion>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>

#include <utility>
#include <vector>

class FollowView;

// The rich-text control of a document window. Every run of text carries its own
// colour; text is red "MS Sans Serif" 13 px (the platform's sans face where that
// face is missing) on white, lines are never wrapped, so the document's lines are
// exactly its paragraphs, and the selection stays highlighted without the focus.
//
// It implements the six document operations on code page 936 text ("\n" is a line
// break) and the selection and search helpers that the file and find commands use.
// Positions count characters (UTF-16 units) from 0; a line break counts as one.
//
// The caret of the operations is the control's own caret. Between BeginBatch and
// the matching EndBatch the operations work on a private cursor, and the control
// takes it over (and scrolls to it) once, at the outermost EndBatch; a burst of
// insertions thus costs one layout and one repaint.
//
// The caret blinks as the platform's does, except while it stands in a line longer
// than kLongLine: every blink repaints the caret's line, and the control shapes a
// whole line again to paint any part of it, so a long line would keep the processor
// busy while nothing happens. There the control's caret stops blinking and a steady
// caret is painted over it.
//
// The control lays out only the lines it shows (each line keeps the colours of its
// runs), so a document that keeps a whole session costs about as much per line at
// its end as at its start; its vertical scroll bar counts lines, not pixels.
//
// Repainting shapes every line it shows in full, which for long lines in a flood
// (a timed send every millisecond, a fast reception) costs more than the changes
// themselves. A repaint that took longer than kCostlyPaintMs holds the next ones
// back for kPaintCostFactor times its cost, at most kMaxPaintHoldMs: what they
// would have painted is painted in one go when the time is up, and the view keeps
// showing what it showed meanwhile. Painting thus takes at most about a quarter of
// the thread, and cheap repaints are never held.
//
// User-interface thread only.
class RichEdit : public QPlainTextEdit, public DocumentOps
{
    Q_OBJECT

public:
    // Characters a document holds before it refuses more text.
    static constexpr int kDefaultCapacity = 64 * 1024 * 1024;
    // A line longer than this (in characters) is long: the caret stands still in
    // it, and a last line that long is scrolled to without giving the control its caret.
    static constexpr int kLongLine = 4096;
    // Clearing a document of at least this many characters returns the freed
    // memory to the system.
    static constexpr int kLargeDocument = 1 << 20;
    static constexpr int kCostlyPaintMs = 4;
    static constexpr int kPaintCostFactor = 3;
    static constexpr int kMaxPaintHoldMs = 100;
    // Characters a forward search copies out of the document at first and at most.
    static constexpr int kFirstFindChunk = 4096;
    static constexpr int kLastFindChunk = 1 << 20;
    // Characters a forward search goes through in chunks before it copies the rest.
    static constexpr int kRawFindFrom = 2 << 20;

    explicit RichEdit(QWidget *parent = nullptr);

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
    int selStart() const;
    // Puts an empty selection (the caret) at `position`, clamped to the text.
    void setSelStart(int position);
    int selLength() const;
    // How long the last repaint of the text took, in nanoseconds: painting shapes
    // every line it shows in full, so long lines make it dear.
    qint64 lastPaintNs() const { return m_lastPaintNs; }

    // The view's follow state: a view scrolled away from the end stays put while
    // text is appended (followview.h).
    FollowView *follow() const { return m_follow; }

    // Whether the caret is painted steadily instead of blinking (its line is long).
    bool hasSteadyCaret() const { return m_steadyCaret; }

    // Extends the selection from its start over `length` characters (clamped).
    void setSelLength(int length);
    // The selected text; a line break inside it is "\n".
    QString selectedText() const;
    // The position of the first occurrence of `what` at or after `from`, or -1.
    // An empty `what` is never found. Occurrences do not span line breaks.
    int findText(const QString &what, int from, bool matchCase, bool wholeWord) const;
    // The position of the last occurrence of `what` that starts before `before`, or -1.
    int findTextBefore(const QString &what, int before, bool matchCase, bool wholeWord) const;

    // Characters in the document, line breaks included (not the final one).
    int characterCount() const;
    int capacity() const { return m_capacity; }
    void setCapacity(int characters) { m_capacity = characters; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool fits(qsizetype added) const;
    int countForInsert() const;
    // Inserts at the batch's caret and keeps the count.
    void insertCounted(const QString &text);
    QTextCharFormat formatOf(Rgb color);
    // Switches between the blinking and the steady caret as the caret's line is long
    // or not.
    void updateCaretMode();
    bool isBlinkTimer(int timerId) const;
    // The cursor the operations work on: the private one inside a batch, else a
    // copy of the control's caret.
    QTextCursor currentCaret() const;
    void handOverCaret();
    void handOverCaretAndScroll();
    void scrollToEnd();
    void setCaretAndShowIt();

    // The control's text handling object, whose timer makes the caret blink.
    QObject *m_textControl = nullptr;
    bool m_steadyCaret = false;
    bool m_shownOnce = false;
    qint64 m_lastPaintNs = 0;
    // Repaints are held back until m_sincePaint reaches m_paintHoldNs; m_heldBack is
    // what they would have painted, painted by m_paintLater.
    QElapsedTimer m_sincePaint;
    qint64 m_paintHoldNs = 0;
    QRegion m_heldBack;
    QTimer *m_paintLater = nullptr;
    QTextCursor m_caret;
    QTextCharFormat m_insertFormat;
    static constexpr std::size_t kKeptFormats = 16;
    std::vector<std::pair<Rgb, QTextCharFormat>> m_formats;
    // The document's characterCount while the operations know it, else -1.
    mutable int m_knownCount = -1;
    Rgb m_insertColor = Colors::Red;
    int m_batchDepth = 0;
    int m_capacity = kDefaultCapacity;
    FollowView *m_follow = nullptr;
};
