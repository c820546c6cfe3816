#include "storeview.h"

#include "codepage.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

QString decode(const std::string &bytes)
{
    const bool ascii = std::all_of(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))
                 : FromCp936(bytes);
}

} // namespace

StoreView::StoreView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_font.setPixelSize(13);
    m_font.setKerning(false);
    const QFontMetricsF metrics(m_font);
    m_advance = metrics.horizontalAdvance(QLatin1Char('0'));
    m_lineHeight = static_cast<int>(std::ceil(metrics.height()));
    m_ascent = static_cast<int>(std::ceil(metrics.ascent()));
    m_rawFont = QRawFont::fromFont(m_font);
    QString printable;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        printable += QChar(c);
    }
    const QList<quint32> glyphs = m_rawFont.glyphIndexesForString(printable);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        m_glyphs[static_cast<std::size_t>(0x20 + i)] = glyphs[i];
    }
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(static_cast<int>(m_advance * 4));
}

bool StoreView::InsertAtCaret(std::string_view text)
{
    if (text.size() > m_capacity - std::min(m_capacity, m_store.Size())) {
        return false;
    }
    if (!m_store.Append(text, m_color)) {
        return false;
    }
    changed();
    return true;
}

bool StoreView::AppendLine(std::string_view text)
{
    const bool atLineStart = m_store.LineLength(m_store.Lines() - 1) == 0;
    std::string line;
    line.reserve(text.size() + 1);
    if (atLineStart) {
        line.append(text).push_back('\n');
    } else {
        line.append(1, '\n').append(text);
    }
    return InsertAtCaret(line);
}

int StoreView::LineCount() const
{
    const std::size_t lines = m_store.Lines();
    return static_cast<int>(m_store.LineLength(lines - 1) == 0 ? lines - 1 : lines);
}

void StoreView::ClearDocument()
{
    const bool large = m_store.Size() >= (std::size_t { 1 } << 20);
    m_store.Clear();
#ifdef __GLIBC__
    if (large) {
        malloc_trim(0);
    }
#endif
    changed();
}

void StoreView::EndBatch()
{
    if (m_batchDepth > 0 && --m_batchDepth == 0 && m_dirty) {
        m_dirty = false;
        changed();
    }
}

int StoreView::visibleLines() const
{
    return std::max(1, viewport()->height() / m_lineHeight);
}

void StoreView::updateRanges()
{
    QScrollBar *vbar = verticalScrollBar();
    vbar->setPageStep(visibleLines());
    vbar->setRange(0, std::max(0, static_cast<int>(m_store.Lines()) - visibleLines()));
    QScrollBar *hbar = horizontalScrollBar();
    const double width = static_cast<double>(m_store.LongestLine() + 1) * m_advance;
    hbar->setPageStep(viewport()->width());
    hbar->setRange(0, std::max(0, static_cast<int>(std::ceil(width)) - viewport()->width()));
}

// The caret stands at the end of the text: a view that showed the last line follows
// it there, as a text control follows its caret (horizontally, an end outside the
// view is centred in it).
void StoreView::changed()
{
    if (m_batchDepth > 0) {
        m_dirty = true;
        return;
    }
    QScrollBar *vbar = verticalScrollBar();
    const bool following = vbar->value() >= vbar->maximum();
    updateRanges();
    if (following) {
        vbar->setValue(vbar->maximum());
        QScrollBar *hbar = horizontalScrollBar();
        const double end = static_cast<double>(m_store.LineLength(m_store.Lines() - 1)) * m_advance;
        const int width = viewport()->width();
        if (end < hbar->value() || end > hbar->value() + width - 1) {
            hbar->setValue(static_cast<int>(end) - width / 2);
        }
    }
    viewport()->update();
}

void StoreView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void StoreView::paintEvent(QPaintEvent *event)
{
    QElapsedTimer cost;
    cost.start();
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Qt::white);
    painter.setFont(m_font);
    const int x0 = horizontalScrollBar()->value();
    const auto firstColumn = static_cast<std::size_t>(std::floor(x0 / m_advance));
    const auto columns = static_cast<std::size_t>(std::ceil(viewport()->width() / m_advance)) + 2;
    const auto firstLine = static_cast<std::size_t>(verticalScrollBar()->value());
    const int rows = viewport()->height() / m_lineHeight + 1;
    for (int row = 0; row < rows; ++row) {
        const std::size_t line = firstLine + static_cast<std::size_t>(row);
        const int top = row * m_lineHeight;
        if (line >= m_store.Lines()) {
            break;
        }
        if (top + m_lineHeight <= event->rect().top() || top > event->rect().bottom()) {
            continue;
        }
        const std::size_t length = m_store.LineLength(line);
        if (firstColumn >= length) {
            continue;
        }
        const std::size_t start = m_store.LineStart(line);
        const std::size_t from = start + firstColumn;
        const std::size_t count = std::min(columns, length - firstColumn);
        const std::string text = m_store.Slice(from, count);
        const std::vector<TextStore::Run> runs = m_store.RunsIn(from, from + count);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::size_t begin = runs[i].start - from;
            const std::size_t end = i + 1 < runs.size() ? runs[i + 1].start - from : count;
            const Rgb c = runs[i].color;
            painter.setPen(QColor(c.r, c.g, c.b));
            const double x = static_cast<double>(runs[i].start - start) * m_advance - x0;
            const std::string_view piece = std::string_view(text).substr(begin, end - begin);
            const bool printable = std::all_of(
                piece.begin(), piece.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; });
            if (!printable || !m_rawFont.isValid()) {
                painter.drawText(QPointF(x, top + m_ascent), decode(std::string(piece)));
                continue;
            }
            QList<quint32> glyphs(static_cast<qsizetype>(piece.size()));
            QList<QPointF> positions(static_cast<qsizetype>(piece.size()));
            for (std::size_t k = 0; k < piece.size(); ++k) {
                glyphs[static_cast<qsizetype>(k)] = m_glyphs[static_cast<std::size_t>(piece[k])];
                positions[static_cast<qsizetype>(k)]
                    = QPointF(x + static_cast<double>(k) * m_advance, top + m_ascent);
            }
            QGlyphRun run;
            run.setRawFont(m_rawFont);
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
    }
    m_lastPaintNs = cost.nsecsElapsed();
}
