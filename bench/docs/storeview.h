#pragma once

#include "documentops.h"
#include "textstore.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QRawFont>

#include <array>

// A document control made of a TextStore and a view that lays out and paints only
// what it shows: the lines in the viewport and, of each, only the columns in it. The
// font has a fixed pitch, so a column's x position is its index times one advance
// and no line is ever shaped whole. The vertical scroll bar counts lines, the
// horizontal one pixels.
//
// It implements the six document operations with the caret always at the end of
// the text (what receiving needs); there is no selection, typing, find or clipboard.
// Text is shown as Latin-1 where it is ASCII and decoded from code page 936 slice by
// slice elsewhere. User-interface thread only.
class StoreView : public QAbstractScrollArea, public DocumentOps
{
public:
    static constexpr std::size_t kDefaultCapacity = 64 * 1024 * 1024;

    explicit StoreView(QWidget *parent = nullptr);

    void MoveCaretToEnd() override { }
    void SetInsertColor(Rgb color) override { m_color = color; }
    bool InsertAtCaret(std::string_view text) override;
    bool AppendLine(std::string_view text) override;
    int LineCount() const override;
    void ClearDocument() override;
    void BeginBatch() override { ++m_batchDepth; }
    void EndBatch() override;

    const TextStore &store() const { return m_store; }
    std::size_t characterCount() const { return m_store.Size(); }
    std::size_t capacity() const { return m_capacity; }
    qint64 lastPaintNs() const { return m_lastPaintNs; }
    // The columns one horizontal step of the scroll bar moves.
    double advance() const { return m_advance; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Brings the scroll bars up to the text; a view at the end stays at the end.
    void changed();
    void updateRanges();
    int visibleLines() const;

    TextStore m_store;
    Rgb m_color = Colors::Red;
    int m_batchDepth = 0;
    bool m_dirty = false;
    std::size_t m_capacity = kDefaultCapacity;
    QFont m_font;
    // Printable ASCII is drawn as glyphs placed at their columns, with no shaping;
    // anything else goes through the painter's text drawing.
    QRawFont m_rawFont;
    std::array<quint32, 128> m_glyphs {};
    double m_advance = 8;
    int m_lineHeight = 16;
    int m_ascent = 12;
    qint64 m_lastPaintNs = 0;
};
