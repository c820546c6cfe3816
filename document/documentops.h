#pragma once

#include <cstdint>
#include <string_view>

// A colour of inserted document text.
struct Rgb
{
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

namespace Colors {
inline constexpr Rgb Green { 0, 128, 0 }; // "Receiving: " headers
inline constexpr Rgb Red { 255, 0, 0 }; // paragraph ends, order errors, the document font
inline constexpr Rgb Blue { 0, 0, 255 }; // "Sending: " headers, the reception summary
inline constexpr Rgb Black { 0, 0, 0 }; // data items and echoes
} // namespace Colors

// The eight operations through which receiving, sending and the clear button change
// a document. Text is code page 936 bytes; a line break inside it is "\n".
// Implemented by the document window's rich-text control (user-interface thread
// only) and by MemoryDocument for tests.
class DocumentOps
{
public:
    virtual ~DocumentOps() = default;

    // Puts the caret at the end of the text with an empty selection.
    virtual void MoveCaretToEnd() = 0;
    // Text inserted from now on takes this colour; a non-empty selection takes it too.
    virtual void SetInsertColor(Rgb color) = 0;
    // Inserts at the caret, replacing the selection; the caret ends behind the text.
    // False when the document refuses the text (it has no room for it); nothing
    // changes then.
    // Each caller says what a refusal means for it (receive: an item is dropped, a
    // line ends the reception; send: the echo is dropped, the bytes went out).
    virtual bool InsertAtCaret(std::string_view text) = 0;
    // Adds the text as a new last line: text + line break when the document is empty
    // or ends with a line break, else line break + text. False when refused.
    virtual bool AppendLine(std::string_view text) = 0;
    // Lines, not counting a last line that is empty.
    virtual int LineCount() const = 0;
    // Removes all text.
    virtual void ClearDocument() = 0;

    // Bracket a run of operations that may be shown as one change (one repaint and
    // one move of the view). Nesting is allowed.
    virtual void BeginBatch() { }
    virtual void EndBatch() { }
};
