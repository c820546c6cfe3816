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
#include <limits>

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

StoreView::StoreView(bool fixedPitch, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_fixedPitch(fixedPitch)
{
    if (fixedPitch) {
        m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    } else {
        m_font = QFont(QStringLiteral("MS Sans Serif"));
        m_font.setFamilies({ QStringLiteral("MS Sans Serif"),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family() });
        m_font.setStyleHint(QFont::SansSerif);
    }
    m_font.setPixelSize(13);
    m_font.setKerning(false);
    const QFontMetricsF metrics(m_font);
    m_advance = metrics.horizontalAdvance(QLatin1Char('0'));
    // At a fixed pitch a double-byte character takes two columns.
    const double doubleByte = fixedPitch ? m_advance : metrics.horizontalAdvance(QChar(0x4E2D)) / 2;
    m_narrowest = doubleByte;
    for (std::size_t byte = 0; byte < m_advances.size(); ++byte) {
        m_advances[byte] = fixedPitch ? m_advance
            : byte < 0x80 ? metrics.horizontalAdvance(QChar(static_cast<char16_t>(byte)))
                          : doubleByte;
        if (byte >= 0x20) {
            m_narrowest = std::min(m_narrowest, std::max(1.0, m_advances[byte]));
        }
    }
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
    if (!m_fixedPitch) {
        for (const char c : text) {
            if (c == '\n') {
                m_widest = std::max(m_widest, m_lastLineWidth);
                m_lastLineWidth = 0;
            } else {
                m_lastLineWidth += m_advances[static_cast<unsigned char>(c)];
            }
        }
        m_widest = std::max(m_widest, m_lastLineWidth);
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
    m_stops.clear();
    m_lastLineWidth = 0;
    m_widest = 0;
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
    const double width = m_fixedPitch ? static_cast<double>(m_store.LongestLine() + 1) * m_advance
                                      : m_widest + m_advance;
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
        const double end = m_fixedPitch
            ? static_cast<double>(m_store.LineLength(m_store.Lines() - 1)) * m_advance
            : m_lastLineWidth;
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

// stops[k] is the x position of column k * kLongStride; they are added as far as
// needed, and for the last line again as it grows.
const std::vector<double> &StoreView::stopsOf(std::size_t line, double x, std::size_t column)
{
    std::vector<double> &stops = m_stops[line];
    if (stops.empty()) {
        stops.push_back(0);
    }
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    while (stops.back() <= x && (stops.size() - 1) * kLongStride <= column
        && stops.size() * kLongStride <= length) {
        const std::string piece
            = m_store.Slice(start + (stops.size() - 1) * kLongStride, kLongStride);
        double width = stops.back();
        for (const char c : piece) {
            width += m_advances[static_cast<unsigned char>(c)];
        }
        stops.push_back(width);
    }
    return stops;
}

double StoreView::columnX(std::size_t line, std::size_t column)
{
    if (m_fixedPitch) {
        return static_cast<double>(column) * m_advance;
    }
    const std::size_t length = m_store.LineLength(line);
    column = std::min(column, length);
    std::size_t from = 0;
    double at = 0;
    if (length > kLongStride) {
        const std::vector<double> &stops
            = stopsOf(line, std::numeric_limits<double>::infinity(), column);
        const std::size_t stop = std::min(column / kLongStride, stops.size() - 1);
        from = stop * kLongStride;
        at = stops[stop];
    }
    for (const char c : m_store.Slice(m_store.LineStart(line) + from, column - from)) {
        at += m_advances[static_cast<unsigned char>(c)];
    }
    return at;
}

std::pair<std::size_t, double> StoreView::columnAt(std::size_t line, double x)
{
    if (m_fixedPitch) {
        const auto column = static_cast<std::size_t>(std::floor(x / m_advance));
        return { column, static_cast<double>(column) * m_advance };
    }
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    std::size_t column = 0;
    double at = 0;
    if (length > kLongStride) {
        const std::vector<double> &stops = stopsOf(line, x, length);
        const auto after = std::upper_bound(stops.begin(), stops.end(), x);
        const auto stop = static_cast<std::size_t>(after - stops.begin()) - 1;
        column = stop * kLongStride;
        at = stops[stop];
    }
    const std::string rest = m_store.Slice(start + column, std::min(length - column, kLongStride));
    for (const char c : rest) {
        const double next = at + m_advances[static_cast<unsigned char>(c)];
        if (next > x) {
            break;
        }
        at = next;
        ++column;
    }
    return { column, at };
}

void StoreView::paintEvent(QPaintEvent *event)
{
    QElapsedTimer cost;
    cost.start();
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Qt::white);
    painter.setFont(m_font);
    const int x0 = horizontalScrollBar()->value();
    const auto columns = static_cast<std::size_t>(std::ceil(viewport()->width() / m_narrowest)) + 2;
    const auto firstLine = static_cast<std::size_t>(verticalScrollBar()->value());
    const int rows = viewport()->height() / m_lineHeight + 1;
    std::vector<double> xs;
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
        const auto [firstColumn, firstX] = columnAt(line, x0);
        if (firstColumn >= length) {
            continue;
        }
        const std::size_t from = m_store.LineStart(line) + firstColumn;
        const std::size_t count = std::min(columns, length - firstColumn);
        const std::string text = m_store.Slice(from, count);
        xs.assign(count + 1, firstX - x0);
        for (std::size_t k = 0; k < count; ++k) {
            xs[k + 1] = xs[k] + m_advances[static_cast<unsigned char>(text[k])];
        }
        const std::vector<TextStore::Run> runs = m_store.RunsIn(from, from + count);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::size_t begin = runs[i].start - from;
            const std::size_t end = i + 1 < runs.size() ? runs[i + 1].start - from : count;
            const Rgb c = runs[i].color;
            painter.setPen(QColor(c.r, c.g, c.b));
            const std::string_view piece = std::string_view(text).substr(begin, end - begin);
            const bool printable = std::all_of(
                piece.begin(), piece.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; });
            if (!printable || !m_rawFont.isValid()) {
                painter.drawText(QPointF(xs[begin], top + m_ascent), decode(std::string(piece)));
                continue;
            }
            QList<quint32> glyphs(static_cast<qsizetype>(piece.size()));
            QList<QPointF> positions(static_cast<qsizetype>(piece.size()));
            for (std::size_t k = 0; k < piece.size(); ++k) {
                glyphs[static_cast<qsizetype>(k)] = m_glyphs[static_cast<unsigned char>(piece[k])];
                positions[static_cast<qsizetype>(k)] = QPointF(xs[begin + k], top + m_ascent);
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
