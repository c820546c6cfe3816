#include "sessionview.h"

#include "sessiontexts.h"
#include "text/codepage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kScrollSteps = 1000000;
constexpr int kFrameHexBytes = 48;
constexpr qint64 kRuleBudgetMs = 50;
constexpr int kRegexChars = 1024;

QString Decode(const std::string &bytes, bool mark, TextEncoding encoding)
{
    return !mark && encoding == TextEncoding::Gbk ? FromCp936(bytes) : QString::fromUtf8(bytes);
}

QString FunctionName(int function)
{
    switch (function) {
    case 1:
        return SessionTexts::Function1;
    case 2:
        return SessionTexts::Function2;
    case 3:
        return SessionTexts::Function3;
    case 4:
        return SessionTexts::Function4;
    case 5:
        return SessionTexts::Function5;
    case 6:
        return SessionTexts::Function6;
    case 15:
        return SessionTexts::Function15;
    case 16:
        return SessionTexts::Function16;
    default:
        return SessionTexts::FunctionOther.arg(function);
    }
}

// The view's text for assistive clients: the rows in view, read only.
class SessionViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit SessionViewAccessible(SessionView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    { }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface *>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) {
            return view()->visibleText();
        }
        return QAccessibleWidget::text(kind);
    }
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QString text(int start, int end) const override
    {
        return view()->visibleText().mid(start, end - start);
    }
    int characterCount() const override { return int(view()->visibleText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return 0; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int, int *start, int *end) const override
    {
        *start = *end = 0;
        return {};
    }

private:
    SessionView *view() const { return static_cast<SessionView *>(widget()); }
};

QAccessibleInterface *SessionViewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("SessionView") && object && object->isWidgetType()) {
        return new SessionViewAccessible(static_cast<SessionView *>(object));
    }
    return nullptr;
}

} // namespace

QString ParseHighlightRule(const QString &line, HighlightRule &rule)
{
    const QStringList parts = line.split(QLatin1Char('\t'));
    if (parts.size() != 3 || parts[2].isEmpty()) {
        return SessionTexts::RulesHint;
    }
    const QString kind = parts[0].trimmed();
    if (kind == QLatin1String("text")) {
        rule.kind = HighlightRule::Kind::Text;
    } else if (kind == QLatin1String("regex")) {
        rule.kind = HighlightRule::Kind::Regex;
    } else if (kind == QLatin1String("hex")) {
        rule.kind = HighlightRule::Kind::Hex;
    } else {
        return SessionTexts::RulesHint;
    }
    rule.colour = QColor(parts[1].trimmed());
    if (!rule.colour.isValid()) {
        return SessionTexts::RulesHint;
    }
    rule.pattern = parts[2];
    if (rule.kind == HighlightRule::Kind::Regex) {
        rule.regex = QRegularExpression(rule.pattern);
        if (!rule.regex.isValid()) {
            return rule.regex.errorString();
        }
    }
    if (rule.kind == HighlightRule::Kind::Hex) {
        const auto bytes = ParseHexBytes(rule.pattern.toStdString());
        if (!bytes) {
            return SessionTexts::BadHex.arg(rule.pattern);
        }
        // Matched in the hexadecimal the rows show.
        rule.pattern = QString::fromStdString(HexBytes(*bytes));
    }
    return {};
}

SessionView::SessionView(const SessionStore &store, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_store(store)
    , m_rows(std::make_unique<SessionRows>(store, m_rules))
{
    static const bool installed = [] {
        QAccessible::installFactory(SessionViewFactory);
        return true;
    }();
    static_cast<void>(installed);
    setObjectName(QStringLiteral("SessionView"));
    setAccessibleName(SessionTexts::View);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
}

void SessionView::setRules(const SessionRules &rules, const TextOptions &text, bool checks)
{
    m_rules = rules;
    m_text = text;
    m_checks = checks;
    m_rows = std::make_unique<SessionRows>(m_store, m_rules);
    if (m_filtered) {
        // The filter's rows are rows of the rendering: found again.
        setHits(m_hits, m_needleSize, true);
        return;
    }
    if (m_top > m_store.begin() && m_top < m_store.end()) {
        m_top = m_rows->rowStart(m_top);
    }
    layoutRows();
}

void SessionView::setHits(SessionHits hits, std::size_t needleSize, bool filter)
{
    m_hits = std::move(hits);
    m_needleSize = needleSize;
    m_currentHit = SIZE_MAX;
    if (filter) {
        m_filtered = std::make_unique<std::vector<uint64_t>>(
            RowsWithHits(*m_rows, m_hits, needleSize, m_store.end()));
    } else {
        m_filtered.reset();
    }
    m_top = m_store.begin();
    layoutRows();
}

void SessionView::storeChanged()
{
    if (m_top < m_store.begin() || m_top > m_store.end()) {
        m_top = m_store.begin();
    }
    layoutRows();
}

void SessionView::follow()
{
    m_following = true;
    layoutRows();
}

std::size_t SessionView::filteredIndexOf(uint64_t start) const
{
    const auto at = std::lower_bound(m_filtered->begin(), m_filtered->end(), start);
    return static_cast<std::size_t>(at - m_filtered->begin());
}

void SessionView::showHit(std::size_t index)
{
    if (index >= m_hits.starts.size()) {
        return;
    }
    m_currentHit = index;
    m_following = false;
    const uint64_t start = m_rows->rowStart(m_hits.starts[index]);
    // A few rows above it, so that it is not on the edge.
    m_top = start;
    if (!m_filtered) {
        for (int i = 0; i < visibleRows() / 3 && m_top > m_store.begin(); ++i) {
            m_top = m_rows->previousStart(m_top);
        }
    } else {
        m_top = start;
    }
    m_selectFrom = m_hits.starts[index];
    m_selectTo = std::min(m_store.end(), m_selectFrom + m_needleSize);
    layoutRows();
}

std::pair<uint64_t, uint64_t> SessionView::selection() const
{
    if (m_selectFrom < m_selectTo && m_selectFrom >= m_store.begin()
        && m_selectTo <= m_store.end()) {
        return { m_selectFrom, m_selectTo };
    }
    return { m_store.begin(), m_store.end() };
}

int SessionView::lineHeight() const
{
    return fontMetrics().height();
}

int SessionView::visibleRows() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

void SessionView::layoutRows()
{
    m_shown.clear();
    const int count = visibleRows();
    if (m_filtered) {
        const std::size_t total = m_filtered->size();
        std::size_t first = filteredIndexOf(m_top);
        if (m_following) {
            first = total > std::size_t(count) ? total - std::size_t(count) : 0;
        }
        for (std::size_t i = first; i < total && m_shown.size() < std::size_t(count) + 1; ++i) {
            m_shown.push_back(shape(m_rows->row(rowAtIndex(i))));
        }
        m_top = first < total ? rowAtIndex(first) : m_store.begin();
    } else if (!m_store.empty()) {
        if (m_following) {
            m_top = m_rows->rowStart(m_store.end() - 1);
            for (int i = 1; i < count && m_top > m_store.begin(); ++i) {
                m_top = m_rows->previousStart(m_top);
            }
        }
        m_top = std::clamp(m_top, m_store.begin(), m_store.end() - 1);
        for (uint64_t at = m_top; at < m_store.end() && m_shown.size() < std::size_t(count) + 1;) {
            m_shown.push_back(shape(m_rows->row(at)));
            at = m_shown.back().row.end;
        }
    }
    placeScrollBar();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(this, 0, QString(), visibleText());
        QAccessible::updateAccessibility(&event);
    }
}

void SessionView::placeScrollBar()
{
    m_placing = true;
    QScrollBar *bar = verticalScrollBar();
    if (m_filtered) {
        const int total = int(std::min<std::size_t>(m_filtered->size(), INT_MAX));
        bar->setRange(0, std::max(0, total - visibleRows()));
        bar->setPageStep(visibleRows());
        bar->setValue(int(filteredIndexOf(m_top)));
    } else {
        const uint64_t size = m_store.end() - m_store.begin();
        bar->setRange(0, size == 0 ? 0 : kScrollSteps);
        bar->setPageStep(kScrollSteps / 20);
        bar->setValue(m_following ? bar->maximum()
                : size == 0       ? 0
                            : int(double(m_top - m_store.begin()) * kScrollSteps / double(size)));
    }
    int widest = 0;
    for (const Shown &shown : m_shown) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(shown.text));
    }
    horizontalScrollBar()->setRange(0, std::max(0, widest - viewport()->width() + 8));
    horizontalScrollBar()->setPageStep(viewport()->width());
    m_placing = false;
}

void SessionView::scrollContentsBy(int dx, int dy)
{
    if (m_placing) {
        return;
    }
    if (dx != 0) {
        viewport()->update();
    }
    if (dy == 0) {
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    m_following = bar->value() == bar->maximum();
    if (m_filtered) {
        if (!m_filtered->empty()) {
            m_top = rowAtIndex(std::min<std::size_t>(bar->value(), m_filtered->size() - 1));
        }
    } else if (!m_store.empty()) {
        const uint64_t size = m_store.end() - m_store.begin();
        const uint64_t at = m_store.begin()
            + std::min<uint64_t>(size - 1, uint64_t(double(bar->value()) / kScrollSteps * size));
        m_top = m_rows->rowStart(at);
    }
    layoutRows();
}

void SessionView::scrollRows(int count)
{
    m_following = false;
    if (m_filtered) {
        const std::size_t index = filteredIndexOf(m_top);
        const auto moved = std::clamp<long long>(static_cast<long long>(index) + count, 0,
            std::max<long long>(0, (long long)m_filtered->size() - 1));
        if (!m_filtered->empty()) {
            m_top = rowAtIndex(std::size_t(moved));
        }
    } else {
        for (; count < 0 && m_top > m_store.begin(); ++count) {
            m_top = m_rows->previousStart(m_top);
        }
        for (; count > 0 && m_top < m_store.end(); --count) {
            const uint64_t next = m_rows->rowEnd(m_top);
            if (next >= m_store.end()) {
                m_following = true;
                break;
            }
            m_top = next;
        }
    }
    layoutRows();
}

void SessionView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutRows();
}

void SessionView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 40;
    if (steps != 0) {
        scrollRows(-steps);
    }
    event->accept();
}

void SessionView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        scrollRows(-1);
        break;
    case Qt::Key_Down:
        scrollRows(1);
        break;
    case Qt::Key_PageUp:
        scrollRows(-visibleRows());
        break;
    case Qt::Key_PageDown:
        scrollRows(visibleRows());
        break;
    case Qt::Key_Home:
        m_following = false;
        m_top = m_store.begin();
        layoutRows();
        break;
    case Qt::Key_End:
        follow();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void SessionView::mousePressEvent(QMouseEvent *event)
{
    const int index = int(event->position().y()) / lineHeight();
    if (index < 0 || std::size_t(index) >= m_shown.size()) {
        m_selectFrom = m_selectTo = 0;
    } else {
        const SessionRow &row = m_shown[std::size_t(index)].row;
        if ((event->modifiers() & Qt::ShiftModifier) && m_selectFrom < m_selectTo) {
            m_selectFrom = std::min(m_anchor, row.start);
            m_selectTo = std::max(m_rows->rowEnd(m_anchor), row.end);
        } else {
            m_anchor = row.start;
            m_selectFrom = row.start;
            m_selectTo = row.end;
        }
    }
    viewport()->update();
}

SessionView::Shown SessionView::shape(const SessionRow &row) const
{
    Shown shown;
    shown.row = row;
    const QString direction = row.direction == CaptureDirection::Received
        ? SessionTexts::Received.text()
        : SessionTexts::Sent.text();
    const QString time = QString::fromStdString(FormatRowTime(row.timeUs));
    QString &text = shown.text;
    std::string scratch;
    const std::size_t ending = m_rows->ending(row);
    if (m_rules.mode == SessionMode::Hex) {
        text = row.blockStart ? time + QLatin1Char(' ') + direction + QLatin1Char(' ')
                              : QString(time.size() + direction.size() + 2, QLatin1Char(' '));
        text += QString::fromStdString(
            HexDumpLine(row.start, m_store.view(row.start, row.end, scratch)));
        return shown;
    }
    text = time + QLatin1Char(' ') + direction + QLatin1Char(' ');
    if (m_rules.mode == SessionMode::Text) {
        for (const TextSpan &span :
            DecodeText(m_store.view(row.start, row.end - ending, scratch), m_text)) {
            const QString piece = Decode(span.text, span.mark, m_text.encoding);
            if (span.mark) {
                shown.marks.emplace_back(int(text.size()), int(piece.size()));
            }
            text += piece;
        }
        return shown;
    }
    const std::string_view bytes = m_store.view(row.start, row.end, scratch);
    text += QStringLiteral("%1 %2 ")
                .arg(bytes.size(), 5)
                .arg(QString::fromStdString(FormatGap(row.gapUs)), 12);
    const std::string_view shownBytes = bytes.substr(0, kFrameHexBytes);
    text += QString::fromStdString(HexBytes(shownBytes));
    if (shownBytes.size() < bytes.size()) {
        text += QStringLiteral(" …");
    }
    text += QStringLiteral("  |") + QString::fromStdString(AsciiColumn(shownBytes))
        + QLatin1Char('|');
    if (m_checks) {
        const ModbusCheck modbus = CheckModbus(bytes);
        const CheckResult nmea = CheckNmea(bytes);
        if (nmea != CheckResult::None) {
            text += QLatin1String("  ")
                + (nmea == CheckResult::Good ? SessionTexts::NmeaGood : SessionTexts::NmeaBad)
                      .text();
        } else if (modbus.result != CheckResult::None) {
            text += QLatin1String("  ")
                + (modbus.result == CheckResult::Good ? SessionTexts::CrcGood
                                                      : SessionTexts::CrcBad)
                      .text();
            if (modbus.result == CheckResult::Good) {
                text += QLatin1String(" ") + FunctionName(modbus.function)
                    + (modbus.exception ? QLatin1String(" ") + SessionTexts::Exception.text()
                                        : QString());
            }
        }
    }
    return shown;
}

void SessionView::paintHighlights(QPainter &painter, const Shown &shown, int x, int y)
{
    const QFontMetrics metrics = fontMetrics();
    auto mark = [&](int from, int length, const QColor &colour) {
        const int left = metrics.horizontalAdvance(shown.text.left(from));
        const int width = metrics.horizontalAdvance(shown.text.mid(from, length));
        painter.fillRect(x + left, y, width, lineHeight(), colour);
    };
    for (HighlightRule &rule : m_highlights) {
        if (rule.disabled) {
            continue;
        }
        if (rule.kind == HighlightRule::Kind::Regex) {
            QElapsedTimer clock;
            clock.start();
            auto matches = rule.regex.globalMatch(shown.text.left(kRegexChars));
            while (matches.hasNext()) {
                const QRegularExpressionMatch match = matches.next();
                if (match.capturedLength() > 0) {
                    mark(int(match.capturedStart()), int(match.capturedLength()), rule.colour);
                }
                if (clock.elapsed() > kRuleBudgetMs) {
                    break;
                }
            }
            if (clock.elapsed() > kRuleBudgetMs) {
                rule.disabled = true;
                emit highlightFailed(rule.pattern);
            }
            continue;
        }
        for (qsizetype at = shown.text.indexOf(rule.pattern); at >= 0;
             at = shown.text.indexOf(rule.pattern, at + rule.pattern.size())) {
            mark(int(at), int(rule.pattern.size()), rule.colour);
        }
    }
}

void SessionView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int x = 4 - horizontalScrollBar()->value();
    const int height = lineHeight();
    const QColor sent(30, 80, 200);
    const QColor dim(140, 140, 140);
    const auto hitBegin = m_hits.starts.begin();
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        const Shown &shown = m_shown[i];
        const int y = int(i) * height;
        const SessionRow &row = shown.row;
        // A hit in the row: it is tinted, the current hit's row more.
        const auto hit = std::lower_bound(hitBegin, m_hits.starts.end(),
            row.start >= m_needleSize ? row.start - m_needleSize + 1 : 0);
        if (hit != m_hits.starts.end() && *hit < row.end) {
            painter.fillRect(0, y, viewport()->width(), height, QColor(255, 245, 170));
        }
        if (m_currentHit < m_hits.starts.size() && m_hits.starts[m_currentHit] < row.end
            && m_hits.starts[m_currentHit] + m_needleSize > row.start) {
            painter.fillRect(0, y, viewport()->width(), height, QColor(255, 200, 120));
        }
        if (m_selectFrom < m_selectTo && row.start < m_selectTo && row.end > m_selectFrom) {
            painter.fillRect(
                0, y, viewport()->width(), height, palette().highlight().color().lighter(160));
        }
        if (row.blockStart && i > 0) {
            painter.setPen(dim);
            painter.drawLine(0, y, viewport()->width(), y);
        }
        paintHighlights(painter, shown, x, y);
        painter.setPen(row.direction == CaptureDirection::Sent ? sent : palette().text().color());
        const int baseline = y + fontMetrics().ascent();
        if (shown.marks.empty()) {
            painter.drawText(x, baseline, shown.text);
            continue;
        }
        int from = 0;
        int left = x;
        auto draw = [&](int start, int length, const QColor &colour) {
            const QString piece = shown.text.mid(start, length);
            painter.setPen(colour);
            painter.drawText(left, baseline, piece);
            left += fontMetrics().horizontalAdvance(piece);
        };
        const QColor colour
            = row.direction == CaptureDirection::Sent ? sent : palette().text().color();
        for (const auto &[start, length] : shown.marks) {
            draw(from, start - from, colour);
            draw(start, length, dim);
            from = start + length;
        }
        draw(from, int(shown.text.size()) - from, colour);
    }
    if (m_store.dropped() > 0 && !m_shown.empty() && m_shown.front().row.start == m_store.begin()) {
        painter.setPen(Qt::red);
        painter.drawText(QRect(0, 0, viewport()->width() - 4, height), Qt::AlignRight,
            SessionTexts::Dropped.arg(m_store.dropped()));
    }
}

QString SessionView::rowText(const SessionRow &row) const
{
    return shape(row).text;
}

QString SessionView::visibleText() const
{
    QStringList lines;
    for (const Shown &shown : m_shown) {
        lines << shown.text;
    }
    return lines.join(QLatin1Char('\n'));
}
