// The rich-text control's view: layout of the lines it shows, painting, the caret,
// keys, the mouse and the input method.
#include "document/displaycolours.h"
#include "followview.h"
#include "richedit.h"
#include "richeditaccessible.h"
#include "text/codepage.h"
#include "textview/store/cp936chars.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextCharFormat>

#include <cctype>
#include <cmath>
#include <functional>
#include <limits>

namespace {

// The space between the text and the view's edges, as rich-text controls leave it.
constexpr int kMargin = 4;

QColor toQColor(Rgb color)
{
    return QColor(color.r, color.g, color.b);
}

QFont documentFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({ QStringLiteral("MS Sans Serif"),
        QFontDatabase::systemFont(QFontDatabase::GeneralFont).family() });
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    // Every character keeps its own advance wherever it stands, so that a column's
    // place never needs the line before it shaped.
    font.setKerning(false);
    return font;
}

} // namespace

RichEdit::RichEdit(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("RichEdit1"));
    InstallRichEditAccessibility();
    setUpFont();
    m_follow = new FollowView(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    // The view paints its own background, so that a repaint held back leaves what
    // was shown in place rather than an empty area.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, toQColor(Colors::Red));
    // The find dialogs keep the focus while the hit they selected must stay visible.
    pal.setColor(
        QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
        pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(static_cast<int>(m_advances['0'] * 4));
    m_paintLater = new QTimer(this);
    m_paintLater->setSingleShot(true);
    m_paintLater->setTimerType(Qt::PreciseTimer);
    connect(m_paintLater, &QTimer::timeout, this, [this] {
        viewport()->update(m_heldBack);
        m_heldBack = QRegion();
    });
    updateRanges();
}

void RichEdit::setUpFont()
{
    m_font = documentFont();
    setFont(m_font);
    const QFontMetricsF metrics(m_font);
    // A double-byte character is drawn over the advances of its two bytes.
    const double doubleByte = metrics.horizontalAdvance(QChar(0x4E2D)) / 2;
    m_narrowest = doubleByte;
    for (std::size_t byte = 0; byte < m_advances.size(); ++byte) {
        m_advances[byte] = byte < 0x80
            ? metrics.horizontalAdvance(QChar(static_cast<char16_t>(byte)))
            : byte == 0x80 ? metrics.horizontalAdvance(QChar(0x20AC))
                           : doubleByte;
        if (byte >= 0x20) {
            m_narrowest = std::min(m_narrowest, std::max(1.0, m_advances[byte]));
        }
        m_widestAdvance = std::max(m_widestAdvance, m_advances[byte]);
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
}

int RichEdit::visibleLines() const
{
    return std::max(1, (viewport()->height() - kMargin) / m_lineHeight);
}

void RichEdit::updateRanges()
{
    QScrollBar *vbar = verticalScrollBar();
    vbar->setPageStep(visibleLines());
    vbar->setRange(0, std::max(0, static_cast<int>(m_store.Lines()) - visibleLines()));
    QScrollBar *hbar = horizontalScrollBar();
    const double width = m_widest + 2 * kMargin + 1;
    hbar->setPageStep(viewport()->width());
    hbar->setRange(0,
        std::max(0,
            static_cast<int>(std::min(std::ceil(width), double { std::numeric_limits<int>::max() }))
                - viewport()->width()));
}

void RichEdit::changed(bool textChanged)
{
    m_dirty = false;
    updateRanges();
    updateCaretMode();
    // Text appended at the end leaves a view the user scrolled away where it is; a
    // caret or selection put anywhere else (a search, a click, typing) is scrolled to.
    if (!m_followCaret && m_shown.anchor == m_shown.position
        && m_shown.position == m_store.Size()) {
        m_follow->keepView([this] { ensureCaretVisible(); });
    } else {
        ensureCaretVisible();
    }
    m_followCaret = false;
    viewport()->update();
    if (textChanged) {
        emit this->textChanged();
    }
}

// Vertically, a caret above or below the view is brought to its top or bottom line;
// horizontally, a caret outside the view is centred in it.
void RichEdit::ensureCaretVisible()
{
    const std::size_t line = m_store.LineOf(m_shown.position);
    QScrollBar *vbar = verticalScrollBar();
    const auto first = static_cast<std::size_t>(vbar->value());
    const auto rows = static_cast<std::size_t>(visibleLines());
    if (line < first) {
        vbar->setValue(static_cast<int>(line));
    } else if (line >= first + rows) {
        vbar->setValue(static_cast<int>(line - rows + 1));
    }
    const double x = m_shown.position == m_store.Size()
        ? m_lastLineWidth
        : columnX(line, m_shown.position - m_store.LineStart(line));
    QScrollBar *hbar = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin;
    if (x < hbar->value() || x > hbar->value() + width - 1) {
        hbar->setValue(static_cast<int>(x) - width / 2);
    }
}

void RichEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void RichEdit::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        updateRanges();
        ensureCaretVisible();
    }
}

void RichEdit::scrollContentsBy(int, int)
{
    viewport()->update();
    // The input method's candidate window follows the caret.
    updateMicroFocus();
}

// stops[k] is the x position of column k * kLongStride; they are added as far as
// needed, and for the last line again as it grows.
const std::vector<double> &RichEdit::stopsOf(std::size_t line, double x, std::size_t column) const
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
        stops.push_back(advanceOver(piece, stops.back()));
    }
    return stops;
}

double RichEdit::advanceOver(std::string_view bytes, double x) const
{
    for (const char c : bytes) {
        x += advanceAt(c, x);
    }
    return x;
}

double RichEdit::columnX(std::size_t line, std::size_t column) const
{
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
    return advanceOver(m_store.Slice(m_store.LineStart(line) + from, column - from), at);
}

// The first column of `line` that ends right of `x`, and where it starts.
std::pair<std::size_t, double> RichEdit::columnAt(std::size_t line, double x) const
{
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    std::size_t column = 0;
    double at = 0;
    if (length > kLongStride) {
        const std::vector<double> &stops = stopsOf(line, x, length);
        const auto after = std::upper_bound(stops.begin(), stops.end(), x);
        const auto stop
            = static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - stops.begin(), 1)) - 1;
        column = stop * kLongStride;
        at = stops[stop];
    }
    const std::string rest = m_store.Slice(start + column, std::min(length - column, kLongStride));
    for (const char c : rest) {
        const double next = at + advanceAt(c, at);
        if (next > x) {
            break;
        }
        at = next;
        ++column;
    }
    // A column is never the second byte of a character.
    if (column > 0 && column < length && !m_store.IsCharBoundary(start + column)) {
        --column;
        at -= m_advances[static_cast<unsigned char>(m_store.Slice(start + column, 1).at(0))];
    }
    return { column, at };
}

std::size_t RichEdit::positionAt(const QPoint &point) const
{
    const int row = (point.y() - kMargin) / m_lineHeight - (point.y() < kMargin ? 1 : 0);
    const long long wanted = static_cast<long long>(verticalScrollBar()->value()) + row;
    const auto line = static_cast<std::size_t>(
        std::clamp<long long>(wanted, 0, static_cast<long long>(m_store.Lines()) - 1));
    const double x = point.x() - kMargin + horizontalScrollBar()->value();
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    auto [column, at] = columnAt(line, x);
    if (column < length) {
        // Nearer to the character's right edge than to its left: after it.
        const std::string here = m_store.Slice(start + column, 2);
        const std::size_t width = Cp936::IsLead(here[0]) && here.size() == 2 ? 2 : 1;
        const double advance = advanceOver(std::string_view(here).substr(0, width), at) - at;
        if (x - at > advance / 2) {
            column += width;
        }
    }
    return start + std::min(column, length);
}

int RichEdit::cursorPositionAt(const QPoint &point) const
{
    return charOf(positionAt(point));
}

int RichEdit::characterAt(const QPoint &point) const
{
    if (point.y() < kMargin) {
        return -1;
    }
    const auto line = static_cast<std::size_t>(verticalScrollBar()->value())
        + static_cast<std::size_t>((point.y() - kMargin) / m_lineHeight);
    const double x = point.x() - kMargin + horizontalScrollBar()->value();
    if (line >= m_store.Lines() || x < 0) {
        return -1;
    }
    const auto [column, at] = columnAt(line, x);
    static_cast<void>(at);
    if (column >= m_store.LineLength(line)) {
        return -1;
    }
    return charOf(m_store.LineStart(line) + column);
}

QRect RichEdit::characterRect(int position) const
{
    const std::size_t at = byteOf(position);
    const QRect left = caretRect(at);
    const std::size_t line = m_store.LineOf(at);
    const std::size_t end = m_store.LineStart(line) + m_store.LineLength(line);
    double width = m_advances[' '];
    if (at < end) {
        const std::size_t next = Cp936::IsLead(m_store.Slice(at, 1).at(0)) ? at + 2 : at + 1;
        width = columnX(line, next - m_store.LineStart(line))
            - columnX(line, at - m_store.LineStart(line));
    }
    return QRect(
        left.x(), left.y(), std::max(1, static_cast<int>(std::lround(width))), left.height());
}

void RichEdit::scrollToRange(int from, int to)
{
    const QRect first = characterRect(from);
    const QRect last = characterRect(std::max(from, to - 1));
    QScrollBar *vbar = verticalScrollBar();
    const int rows = visibleLines();
    const int top = (first.y() - kMargin) / m_lineHeight;
    const int bottom = (last.y() - kMargin) / m_lineHeight;
    if (top < 0 || bottom >= rows) {
        vbar->setValue(vbar->value() + (top < 0 || bottom - top >= rows ? top : bottom - rows + 1));
    }
    QScrollBar *hbar = horizontalScrollBar();
    const int width = viewport()->width() - 2 * kMargin;
    if (first.x() < kMargin || first.x() > kMargin + width - 1) {
        hbar->setValue(hbar->value() + first.x() - kMargin);
    }
}

QRect RichEdit::caretRect(std::size_t position) const
{
    const std::size_t line = m_store.LineOf(position);
    const double x = position == m_store.Size() ? m_lastLineWidth
                                                : columnX(line, position - m_store.LineStart(line));
    const long long row = static_cast<long long>(line) - verticalScrollBar()->value();
    return QRect(static_cast<int>(std::floor(x)) + kMargin - horizontalScrollBar()->value(),
        static_cast<int>(kMargin + row * m_lineHeight), 1, m_lineHeight);
}

QRect RichEdit::cursorRect() const
{
    return caretRect(m_shown.position);
}

QRect RichEdit::cursorRect(int position) const
{
    return caretRect(byteOf(position));
}

void RichEdit::paintEvent(QPaintEvent *event)
{
    if (m_sincePaint.isValid()) {
        const qint64 left = m_paintHoldNs - m_sincePaint.nsecsElapsed();
        if (left > 0) {
            m_heldBack += event->region();
            if (!m_paintLater->isActive()) {
                m_paintLater->start(static_cast<int>((left + 999999) / 1000000));
            }
            return;
        }
    }
    QElapsedTimer cost;
    cost.start();
    QPainter painter(viewport());
    for (const QRect &rect : event->region()) {
        painter.fillRect(rect, palette().brush(QPalette::Base));
    }
    painter.setFont(m_font);
    const int x0 = horizontalScrollBar()->value();
    const auto firstLine = static_cast<std::size_t>(verticalScrollBar()->value());
    const int rows = viewport()->height() / m_lineHeight + 1;
    for (int row = 0; row < rows; ++row) {
        const std::size_t line = firstLine + static_cast<std::size_t>(row);
        const int top = kMargin + row * m_lineHeight;
        if (line >= m_store.Lines()) {
            break;
        }
        if (top + m_lineHeight <= event->rect().top() || top > event->rect().bottom()) {
            continue;
        }
        paintLine(painter, line, top, x0);
    }
    if (!m_preedit.isEmpty()) {
        paintPreedit(painter);
    } else if (hasFocus() && (m_caretOn || m_steadyCaret)) {
        const QRect caret = cursorRect();
        if (event->rect().intersects(caret)) {
            // The blinking caret inverts what it covers, as the platform's text controls
            // draw it; the steady one in a long line is a line in the text's colour.
            if (!m_steadyCaret && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
                painter.setCompositionMode(QPainter::RasterOp_NotDestination);
            }
            painter.fillRect(caret, palette().color(QPalette::Text));
        }
    }
    m_lastPaintNs = cost.nsecsElapsed();
    constexpr qint64 kNsPerMs = 1000000;
    m_paintHoldNs = m_lastPaintNs < kCostlyPaintMs * kNsPerMs
        ? 0
        : std::min(m_lastPaintNs * kPaintCostFactor, kMaxPaintHoldMs * kNsPerMs);
    m_sincePaint.start();
}

// What the input method is composing stands over the text at the caret until it is
// committed: in the formats the input method gives for its parts (underlined where
// it gives none), with its own cursor.
void RichEdit::paintPreedit(QPainter &painter)
{
    const QRect caret = caretRect(m_shown.position);
    const QColor text
        = toQColor(m_shown.start() > 0 ? colorBefore(m_shown.start()) : m_insertColor);
    const QFontMetricsF metrics(m_font);
    painter.fillRect(
        QRectF(caret.x(), caret.y(), metrics.horizontalAdvance(m_preedit) + 1, m_lineHeight),
        palette().brush(QPalette::Base));
    // Each character of the preedit text takes the format of the last range over it.
    std::vector<QTextCharFormat> formats(static_cast<std::size_t>(m_preedit.size()));
    for (const PreeditFormat &range : m_preeditFormats) {
        for (int i = std::max(range.start, 0);
             i < std::min(range.start + range.length, static_cast<int>(m_preedit.size())); ++i) {
            formats[static_cast<std::size_t>(i)] = range.format;
        }
    }
    double x = caret.x();
    for (qsizetype i = 0; i < m_preedit.size();) {
        qsizetype end = i + 1;
        while (end < m_preedit.size()
            && formats[static_cast<std::size_t>(end)] == formats[static_cast<std::size_t>(i)]) {
            ++end;
        }
        const QString piece = m_preedit.mid(i, end - i);
        const QTextCharFormat &format = formats[static_cast<std::size_t>(i)];
        QFont font = m_font;
        font.setUnderline(format.isEmpty() || format.fontUnderline()
            || format.underlineStyle() != QTextCharFormat::NoUnderline);
        const double width = QFontMetricsF(font).horizontalAdvance(piece);
        if (format.background().style() != Qt::NoBrush) {
            painter.fillRect(QRectF(x, caret.y(), width, m_lineHeight), format.background());
        }
        painter.setFont(font);
        painter.setPen(
            format.foreground().style() != Qt::NoBrush ? format.foreground().color() : text);
        painter.drawText(QPointF(x, caret.y() + m_ascent), piece);
        x += width;
        i = end;
    }
    painter.setFont(m_font);
    if (m_preeditCursorVisible && hasFocus()) {
        painter.fillRect(preeditCursorRect(), text);
    }
}

QRect RichEdit::preeditCursorRect() const
{
    const QRect caret = caretRect(m_shown.position);
    const double x = QFontMetricsF(m_font).horizontalAdvance(
        m_preedit.left(std::clamp<qsizetype>(m_preeditCursor, 0, m_preedit.size())));
    return caret.translated(static_cast<int>(std::lround(x)), 0);
}

void RichEdit::paintLine(QPainter &painter, std::size_t line, int top, int x0)
{
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    const double left = kMargin - x0;
    const std::size_t selFrom = m_shown.start();
    const std::size_t selTo = m_shown.end();
    if (selFrom < selTo && selFrom <= start + length && selTo > start) {
        const std::size_t from = std::max(selFrom, start) - start;
        const std::size_t to = std::min(selTo, start + length) - start;
        const double x1 = columnX(line, from);
        // A selected line break shows as the width of a space.
        const double x2 = (to == length && selTo > start + length ? m_advances[' '] : 0)
            + (to == length && line == m_store.Lines() - 1 ? m_lastLineWidth : columnX(line, to));
        painter.fillRect(QRectF(left + x1, top, x2 - x1, m_lineHeight),
            palette().brush(QPalette::Active, QPalette::Highlight));
    }
    const std::size_t columns
        = static_cast<std::size_t>(std::ceil(viewport()->width() / m_narrowest)) + 2;
    const auto [firstColumn, firstX] = columnAt(line, x0 - kMargin);
    if (firstColumn >= length) {
        return;
    }
    const std::size_t from = start + firstColumn;
    std::size_t count = std::min(columns, length - firstColumn);
    if (firstColumn + count < length && !m_store.IsCharBoundary(from + count)) {
        ++count;
    }
    const std::string text = m_store.Slice(from, count);
    std::vector<double> xs(count + 1, left + firstX);
    for (std::size_t k = 0; k < count; ++k) {
        xs[k + 1] = xs[k] + advanceAt(text[k], xs[k] - left);
    }
    const double baseline = top + m_ascent;
    const QColor selectedColor = palette().color(QPalette::Active, QPalette::HighlightedText);
    // The store keeps the document's colours; a dark background only changes how they are drawn.
    const QColor base = palette().color(QPalette::Base);
    const Rgb background { static_cast<uint8_t>(base.red()), static_cast<uint8_t>(base.green()),
        static_cast<uint8_t>(base.blue()) };
    QList<quint32> glyphs;
    QList<QPointF> positions;
    const auto flush = [&] {
        if (glyphs.isEmpty()) {
            return;
        }
        QGlyphRun run;
        run.setRawFont(m_rawFont);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
        glyphs.clear();
        positions.clear();
    };
    const std::vector<TextStore::Run> runs = m_store.RunsIn(from, from + count);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::size_t runFrom = runs[i].start - from;
        const std::size_t runTo = i + 1 < runs.size() ? runs[i + 1].start - from : count;
        // The run in up to three pieces: before, inside and after the selection.
        const std::size_t cuts[] = { runFrom,
            std::clamp(selFrom < selTo ? selFrom : from, from + runFrom, from + runTo) - from,
            std::clamp(selFrom < selTo ? selTo : from, from + runFrom, from + runTo) - from,
            runTo };
        for (int piece = 0; piece < 3; ++piece) {
            const std::size_t b = cuts[piece];
            const std::size_t e = cuts[piece + 1];
            if (b >= e) {
                continue;
            }
            painter.setPen(
                piece == 1 ? selectedColor : toQColor(DisplayColour(runs[i].color, background)));
            for (std::size_t k = b; k < e;) {
                const auto byte = static_cast<unsigned char>(text[k]);
                if (byte >= 0x20 && byte < 0x7F && m_rawFont.isValid()) {
                    glyphs.append(m_glyphs[byte]);
                    positions.append(QPointF(xs[k], baseline));
                    ++k;
                    continue;
                }
                flush();
                const std::size_t width = Cp936::IsLead(text[k]) && k + 1 < count ? 2 : 1;
                if (byte >= 0x20) {
                    painter.drawText(QPointF(xs[k], baseline),
                        FromCp936(std::string_view(text).substr(k, width)));
                }
                k += width;
            }
            flush();
        }
    }
}

void RichEdit::updateCaretMode()
{
    const std::size_t line = m_store.LineOf(m_shown.position);
    const bool steady = m_store.LineLength(line) > static_cast<std::size_t>(kLongLine);
    if (steady != m_steadyCaret) {
        m_steadyCaret = steady;
        viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
    }
}

void RichEdit::restartBlink()
{
    if (m_blinkTimer != 0) {
        killTimer(m_blinkTimer);
        m_blinkTimer = 0;
    }
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0) {
        m_blinkTimer = startTimer(flash / 2);
    }
    viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
}

void RichEdit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blinkTimer) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    // A steady caret costs no repaint at all.
    if (m_steadyCaret) {
        return;
    }
    m_caretOn = !m_caretOn;
    viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
}

void RichEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
}

void RichEdit::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (m_blinkTimer != 0) {
        killTimer(m_blinkTimer);
        m_blinkTimer = 0;
    }
    viewport()->update(cursorRect().adjusted(-1, 0, 1, 0));
}

void RichEdit::caretMoved(const Caret &before)
{
    const bool announce = AccessibilityClientActive();
    if (before.position != m_shown.position) {
        emit cursorPositionChanged();
        if (announce) {
            AnnounceCaret(this, charOf(m_shown.position));
        }
    }
    const bool hadSelection = before.anchor != before.position;
    if ((hadSelection || hasSelection()) && !(before == m_shown)) {
        emit selectionChanged();
        if (announce) {
            AnnounceSelection(
                this, charOf(m_shown.start()), charOf(m_shown.end()), charOf(m_shown.position));
        }
    }
    m_goalX = -1;
    updateCaretMode();
    restartBlink();
    updateMicroFocus();
}

void RichEdit::moveCaretTo(std::size_t position, bool keepAnchor)
{
    const Caret before = m_shown;
    m_shown.position = std::min(position, m_store.Size());
    if (!keepAnchor) {
        m_shown.anchor = m_shown.position;
    }
    ensureCaretVisible();
    const double goal = m_goalX;
    caretMoved(before);
    m_goalX = goal;
    if (before.anchor != before.position || hasSelection()) {
        viewport()->update();
    }
}

std::size_t RichEdit::wordBoundary(std::size_t from, bool forward) const
{
    const std::size_t line = m_store.LineOf(from);
    const std::size_t start = m_store.LineStart(line);
    const std::size_t end = start + m_store.LineLength(line);
    if (forward && from == end) {
        return std::min(from + 1, m_store.Size());
    }
    if (!forward && from == start) {
        return from == 0 ? 0 : from - 1;
    }
    const std::vector<WordChar> chars = wordChars(m_store.Slice(start, end - start));
    const std::size_t last = chars.size() - 1; // the entry for the end of the line
    std::size_t k = static_cast<std::size_t>(
        std::lower_bound(chars.begin(), chars.end(), from - start,
            [](const WordChar &c, std::size_t at) { return c.start < at; })
        - chars.begin());
    if (forward) {
        while (k < last && chars[k].word) {
            ++k;
        }
        while (k < last && !chars[k].word) {
            ++k;
        }
    } else {
        while (k > 0 && !chars[k - 1].word) {
            --k;
        }
        while (k > 0 && chars[k - 1].word) {
            --k;
        }
    }
    return start + chars[k].start;
}

void RichEdit::deleteAround(bool forward, bool wholeWord)
{
    if (m_readOnly) {
        return;
    }
    if (!hasSelection()) {
        const std::size_t at = m_shown.position;
        std::size_t other = at;
        if (wholeWord) {
            other = wordBoundary(at, forward);
        } else if (forward && at < m_store.Size()) {
            other = at + 1;
            if (!m_store.IsCharBoundary(other)) {
                ++other;
            }
        } else if (!forward && at > 0) {
            other = at - 1;
            if (other > 0 && !m_store.IsCharBoundary(other)) {
                --other;
            }
        }
        m_shown.anchor = other;
    }
    typeText(QString());
}

void RichEdit::keyPressEvent(QKeyEvent *event)
{
    const std::size_t at = m_shown.position;
    const std::size_t line = m_store.LineOf(at);
    const std::size_t lineStart = m_store.LineStart(line);
    const auto moveLines = [&](long long by, bool keep) {
        if (m_goalX < 0) {
            m_goalX = columnX(line, at - lineStart);
        }
        const auto target = static_cast<std::size_t>(std::clamp<long long>(
            static_cast<long long>(line) + by, 0, static_cast<long long>(m_store.Lines()) - 1));
        const auto [column, x] = columnAt(target, m_goalX);
        static_cast<void>(x);
        moveCaretTo(m_store.LineStart(target) + std::min(column, m_store.LineLength(target)), keep);
    };
    const auto nextChar = [&] {
        std::size_t next = std::min(at + 1, m_store.Size());
        if (!m_store.IsCharBoundary(next)) {
            ++next;
        }
        return next;
    };
    const auto previousChar = [&] {
        std::size_t previous = at == 0 ? 0 : at - 1;
        if (previous > 0 && !m_store.IsCharBoundary(previous)) {
            --previous;
        }
        return previous;
    };
    const long long page = visibleLines();
    const struct
    {
        QKeySequence::StandardKey key;
        bool keep;
        std::function<void(bool)> move;
    } moves[] = {
        { QKeySequence::MoveToNextChar, false,
            [&](bool keep) { moveCaretTo(hasSelection() ? m_shown.end() : nextChar(), keep); } },
        { QKeySequence::SelectNextChar, true, [&](bool keep) { moveCaretTo(nextChar(), keep); } },
        { QKeySequence::MoveToPreviousChar, false,
            [&](bool keep) {
                moveCaretTo(hasSelection() ? m_shown.start() : previousChar(), keep);
            } },
        { QKeySequence::SelectPreviousChar, true,
            [&](bool keep) { moveCaretTo(previousChar(), keep); } },
        { QKeySequence::MoveToNextWord, false,
            [&](bool keep) { moveCaretTo(wordBoundary(at, true), keep); } },
        { QKeySequence::SelectNextWord, true,
            [&](bool keep) { moveCaretTo(wordBoundary(at, true), keep); } },
        { QKeySequence::MoveToPreviousWord, false,
            [&](bool keep) { moveCaretTo(wordBoundary(at, false), keep); } },
        { QKeySequence::SelectPreviousWord, true,
            [&](bool keep) { moveCaretTo(wordBoundary(at, false), keep); } },
        { QKeySequence::MoveToStartOfLine, false,
            [&](bool keep) { moveCaretTo(lineStart, keep); } },
        { QKeySequence::SelectStartOfLine, true, [&](bool keep) { moveCaretTo(lineStart, keep); } },
        { QKeySequence::MoveToEndOfLine, false,
            [&](bool keep) { moveCaretTo(lineStart + m_store.LineLength(line), keep); } },
        { QKeySequence::SelectEndOfLine, true,
            [&](bool keep) { moveCaretTo(lineStart + m_store.LineLength(line), keep); } },
        { QKeySequence::MoveToStartOfDocument, false, [&](bool keep) { moveCaretTo(0, keep); } },
        { QKeySequence::SelectStartOfDocument, true, [&](bool keep) { moveCaretTo(0, keep); } },
        { QKeySequence::MoveToEndOfDocument, false,
            [&](bool keep) { moveCaretTo(m_store.Size(), keep); } },
        { QKeySequence::SelectEndOfDocument, true,
            [&](bool keep) { moveCaretTo(m_store.Size(), keep); } },
        { QKeySequence::MoveToNextLine, false, [&](bool keep) { moveLines(1, keep); } },
        { QKeySequence::SelectNextLine, true, [&](bool keep) { moveLines(1, keep); } },
        { QKeySequence::MoveToPreviousLine, false, [&](bool keep) { moveLines(-1, keep); } },
        { QKeySequence::SelectPreviousLine, true, [&](bool keep) { moveLines(-1, keep); } },
        { QKeySequence::MoveToNextPage, false, [&](bool keep) { moveLines(page, keep); } },
        { QKeySequence::SelectNextPage, true, [&](bool keep) { moveLines(page, keep); } },
        { QKeySequence::MoveToPreviousPage, false, [&](bool keep) { moveLines(-page, keep); } },
        { QKeySequence::SelectPreviousPage, true, [&](bool keep) { moveLines(-page, keep); } },
    };
    for (const auto &move : moves) {
        if (event->matches(move.key)) {
            move.move(move.keep);
            event->accept();
            return;
        }
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Delete)) {
        deleteAround(true, false);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        deleteAround(true, true);
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        deleteAround(false, true);
    } else if (event->key() == Qt::Key_Backspace
        && (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
        deleteAround(false, false);
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        if (!m_readOnly) {
            typeText(QStringLiteral("\n"));
        }
    } else if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::NoModifier) {
        if (!m_readOnly) {
            typeText(QStringLiteral("\t"));
        }
    } else {
        const QString text = event->text();
        // Judged by code point: a character beyond the BMP (an emoji) is two units.
        const QList<uint> codes = text.toUcs4();
        const bool printable = !codes.isEmpty()
            && std::all_of(codes.begin(), codes.end(), [](uint c) { return QChar::isPrint(c); })
            && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (!printable || m_readOnly) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        typeText(text);
    }
    event->accept();
}

bool RichEdit::focusNextPrevChild(bool next)
{
    // Tab is typed into the text, as in any editable text control.
    if (!m_readOnly) {
        return false;
    }
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void RichEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const bool replaces = event->replacementStart() != 0 || event->replacementLength() != 0;
    if ((!event->commitString().isEmpty() || replaces) && !m_readOnly) {
        if (replaces) {
            // The commit takes the place of text around the caret (after the
            // selection goes, as in Qt's own controls): its offsets count characters
            // from the caret.
            if (hasSelection()) {
                typeText(QString());
            }
            const int caret = charOf(m_shown.position);
            const int from = std::clamp(caret + event->replacementStart(), 0, characterCount());
            const int to = std::clamp(from + event->replacementLength(), from, characterCount());
            m_shown = Caret { byteOf(from), byteOf(to) };
        }
        typeText(event->commitString());
    }
    m_preeditCursor = static_cast<int>(event->preeditString().size());
    m_preeditCursorVisible = true;
    m_preeditFormats.clear();
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            m_preeditCursor = attribute.start;
            m_preeditCursorVisible = attribute.length > 0;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            if (format.isValid()) {
                m_preeditFormats.push_back({ attribute.start, attribute.length, format });
            }
        }
    }
    m_preedit = event->preeditString();
    viewport()->update();
    updateMicroFocus();
    event->accept();
}

std::size_t RichEdit::surroundingStart() const
{
    const std::size_t line = m_store.LineOf(m_shown.position);
    const std::size_t start = m_store.LineStart(line);
    const std::size_t length = m_store.LineLength(line);
    if (length <= static_cast<std::size_t>(kLongLine)) {
        return start;
    }
    // Of a long line, the kLongLine bytes around the caret.
    const std::size_t half = static_cast<std::size_t>(kLongLine) / 2;
    std::size_t from = std::clamp(m_shown.position, start + half, start + length - half) - half;
    if (!m_store.IsCharBoundary(from)) {
        ++from;
    }
    return from;
}

QVariant RichEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return QRectF((m_preedit.isEmpty() ? cursorRect() : preeditCursorRect())
                          .translated(viewport()->pos()));
    case Qt::ImFont:
        return m_font;
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition: {
        // Offsets into the surrounding text, the anchor kept inside it.
        const std::size_t from = surroundingStart();
        const std::size_t line = m_store.LineOf(m_shown.position);
        const std::size_t end = std::min(m_store.LineStart(line) + m_store.LineLength(line),
            from + static_cast<std::size_t>(kLongLine));
        const std::size_t of = query == Qt::ImCursorPosition ? m_shown.position : m_shown.anchor;
        return charOf(std::clamp(of, from, end)) - charOf(from);
    }
    case Qt::ImSurroundingText: {
        const std::size_t from = surroundingStart();
        const std::size_t line = m_store.LineOf(m_shown.position);
        const std::size_t lineEnd = m_store.LineStart(line) + m_store.LineLength(line);
        std::size_t end = std::min(lineEnd, from + static_cast<std::size_t>(kLongLine));
        if (!m_store.IsCharBoundary(end)) {
            --end;
        }
        return decode(from, end - from);
    }
    case Qt::ImCurrentSelection:
        return selectedText();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void RichEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_selecting = true;
    moveCaretTo(
        positionAt(event->position().toPoint()), (event->modifiers() & Qt::ShiftModifier) != 0);
    viewport()->update();
}

void RichEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (m_selecting && (event->buttons() & Qt::LeftButton)) {
        moveCaretTo(positionAt(event->position().toPoint()), true);
        viewport()->update();
    }
}

void RichEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_selecting = false;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void RichEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const std::size_t at = positionAt(event->position().toPoint());
    const std::size_t line = m_store.LineOf(at);
    const std::size_t start = m_store.LineStart(line);
    const std::size_t end = start + m_store.LineLength(line);
    const std::vector<WordChar> chars = wordChars(m_store.Slice(start, end - start));
    const std::size_t last = chars.size() - 1;
    const auto k = static_cast<std::size_t>(
        std::lower_bound(chars.begin(), chars.end(), at - start,
            [](const WordChar &c, std::size_t pos) { return c.start < pos; })
        - chars.begin());
    std::size_t from = k;
    std::size_t to = k;
    while (from > 0 && chars[from - 1].word) {
        --from;
    }
    while (to < last && chars[to].word) {
        ++to;
    }
    const Caret before = m_shown;
    m_shown = Caret { start + chars[from].start, start + chars[to].start };
    caretMoved(before);
    viewport()->update();
}

void RichEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // The same menu, in the same words, as the platform's text controls offer.
    const auto tr
        = [](const char *text) { return QCoreApplication::translate("QWidgetTextControl", text); };
    const auto shortcut = [](QKeySequence::StandardKey key) {
        const QString keys = QKeySequence(key).toString(QKeySequence::NativeText);
        return keys.isEmpty() ? QString() : QLatin1Char('\t') + keys;
    };
    QMenu menu(this);
    menu.addAction(tr("&Undo") + shortcut(QKeySequence::Undo))->setEnabled(false);
    menu.addAction(tr("&Redo") + shortcut(QKeySequence::Redo))->setEnabled(false);
    menu.addSeparator();
    QAction *cutAction
        = menu.addAction(tr("Cu&t") + shortcut(QKeySequence::Cut), this, &RichEdit::cut);
    cutAction->setEnabled(hasSelection() && !m_readOnly);
    menu.addAction(tr("&Copy") + shortcut(QKeySequence::Copy), this, &RichEdit::copy)
        ->setEnabled(hasSelection());
    menu.addAction(tr("&Paste") + shortcut(QKeySequence::Paste), this, &RichEdit::paste)
        ->setEnabled(!m_readOnly);
    menu.addAction(tr("Delete"), this, [this] { deleteAround(true, false); })
        ->setEnabled(hasSelection() && !m_readOnly);
    menu.addSeparator();
    menu.addAction(tr("Select All") + shortcut(QKeySequence::SelectAll), this, &RichEdit::selectAll)
        ->setEnabled(m_store.Size() > 0);
    menu.exec(event->globalPos());
}
