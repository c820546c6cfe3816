#pragma once

#include <QAccessibleWidget>
#include <QString>

class RichEdit;

// What assistive clients (screen readers, test tools) see of a RichEdit: editable
// text, with the text by character (UTF-16) offsets, its pieces by character, word,
// sentence, line and paragraph, the caret, the selection, where each character is
// drawn, the colour of every run in the attribute form Qt's own text controls use,
// and, where the document is not read-only, inserting, deleting and replacing.
//
// A document can hold tens of millions of characters: nothing here reads more of
// the text than the piece asked for (a word or sentence: of its line, at most
// kPieceWindow characters either side).
class RichEditAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    static constexpr int kPieceWindow = 4096;

    explicit RichEditAccessible(RichEdit *edit);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(QAccessible::Text t) const override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
        int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    RichEdit *edit() const;
    // The piece of `type` that holds the character at `offset`: [start, end).
    std::pair<int, int> pieceAt(int offset, QAccessible::TextBoundaryType type) const;
    QString piece(std::pair<int, int> range, int *startOffset, int *endOffset) const;
};

// Where announcements go: QAccessible::updateAccessibility, which hands them to the
// platform's bridge. Tests put a recorder here, since Qt delivers nothing to its own
// update handler while no platform bridge is active (as under the offscreen
// platform); returns the one it replaces.
using AccessibilityAnnouncer = void (*)(QAccessibleEvent *event);
AccessibilityAnnouncer SetAccessibilityAnnouncer(AccessibilityAnnouncer announcer);

// Registers the factory that gives every RichEdit its RichEditAccessible; once.
void InstallRichEditAccessibility();
// Whether an assistive client is listening: only then are changes announced.
bool AccessibilityClientActive();
// Announce to assistive clients that `removed` at `position` became `inserted`.
void AnnounceTextChange(
    RichEdit *edit, int position, const QString &removed, const QString &inserted);
void AnnounceCaret(RichEdit *edit, int position);
void AnnounceSelection(RichEdit *edit, int start, int end, int caret);
