#pragma once

#include "documentops.h"
#include "textstore.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QRawFont>

#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

// A document control made of a TextStore and a view that lays out and paints only
// what it shows: the lines in the viewport and, of each, only the columns in it. No
// line is ever shaped whole: with a fixed-pitch font a column's x position is its
// index times one advance; with the documents' own proportional face every byte has
// an advance of its own (kerning off), and a long line keeps the x position of every
// kLongStride-th column, found when first needed, so that a column far to the right
// is reached from the nearest of them. The vertical scroll bar counts lines, the
// horizontal one pixels.
//
// It implements the six document operations with the caret always at the end of
// the text (what receiving needs); there is no selection, typing, find or clipboard.
// Text is shown as Latin-1 where it is ASCII and decoded from code page 936 slice by
// slice elsewhere. User-interface thread only.
class StoreView : public QAbstractScrollArea, public DocumentOps
{
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t { 64 } * 1024 * 1024;

    // Columns between two kept x positions of a long line.
    static constexpr std::size_t kLongStride = 4096;

    explicit StoreView(bool fixedPitch = true, QWidget *parent = nullptr);

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
    // The x position of `column` in `line`, from the start of the line.
    double columnX(std::size_t line, std::size_t column);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Brings the scroll bars up to the text; a view at the end stays at the end.
    void changed();
    void updateRanges();
    int visibleLines() const;
    // The first column of `line` that ends right of `x`, and where it starts.
    std::pair<std::size_t, double> columnAt(std::size_t line, double x);
    // The kept x positions of a long `line`, up to the one past `x` or `column`.
    const std::vector<double> &stopsOf(std::size_t line, double x, std::size_t column);

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
    bool m_fixedPitch = true;
    // The advance of each byte (a byte of a double-byte character: half of one).
    std::array<double, 256> m_advances {};
    double m_narrowest = 1;
    // Proportional face: the width of the last line and of the widest one, and the
    // kept x positions of long lines.
    double m_lastLineWidth = 0;
    double m_widest = 0;
    std::unordered_map<std::size_t, std::vector<double>> m_stops;
    int m_lineHeight = 16;
    int m_ascent = 12;
    qint64 m_lastPaintNs = 0;
};
