#pragma once

#include "documentops.h"

#include <cstddef>
#include <string>
#include <vector>

// A document held in memory: code page 936 text with "\n" line breaks and one
// colour per byte. The core's tests write into it and compare text and colours.
class MemoryDocument : public DocumentOps
{
public:
    // The document refuses insertions that would make it longer than `capacity`
    // bytes, as a full rich-text control does.
    explicit MemoryDocument(std::size_t capacity = static_cast<std::size_t>(-1));

    void MoveCaretToEnd() override;
    void SetInsertColor(Rgb color) override;
    bool InsertAtCaret(std::string_view text) override;
    bool AppendLine(std::string_view text) override;
    int LineCount() const override;
    void ClearDocument() override;

    const std::string &text() const { return m_text; }
    Rgb colorAt(std::size_t index) const { return m_colors.at(index); }
    // The lines that LineCount counts, without their line breaks.
    std::vector<std::string> lines() const;
    // The text of the bytes that have `color`, in order; runs of other colours
    // between them are left out.
    std::string textIn(Rgb color) const;
    std::size_t caret() const { return m_caret; }

private:
    std::string m_text;
    std::vector<Rgb> m_colors;
    std::size_t m_caret = 0;
    Rgb m_insertColor = Colors::Red;
    std::size_t m_capacity;
};
