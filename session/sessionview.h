#pragma once

#include "sessionfind.h"
#include "sessionrows.h"
#include "sessionstore.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A rule that colours what it matches in the rows shown.
struct HighlightRule
{
    enum class Kind { Text, Regex, Hex } kind = Kind::Text;
    QColor colour;
    QString pattern;
    QRegularExpression regex; // for Regex
    bool disabled = false; // took too long on a row
};

// Reads one rule line of byteway.conf ("text|regex|hex", tab, colour, tab,
// pattern); an empty reason on success, else what is wrong with it.
QString ParseHighlightRule(const QString &line, HighlightRule &rule);

// The rows of a session store, painted as far as they are in view: the view keeps
// the start of its top row and finds the rows below from there, so neither opening
// nor switching the rendering reads more than a screen. The vertical scroll bar
// stands for the position in the session (or, filtered, the index of the row).
// At the end it follows new data; scrolled away it stays where it is.
class SessionView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit SessionView(const SessionStore &store, QWidget *parent = nullptr);

    void setRules(const SessionRules &rules, const TextOptions &text, bool checks);
    void setHits(SessionHits hits, std::size_t needleSize, bool filter);
    void setHighlights(std::vector<HighlightRule> rules) { m_highlights = std::move(rules); }
    // New data in the store (or data dropped): follows it when at the end.
    void storeChanged();
    // Shows the hit with `index` (into the hits given).
    void showHit(std::size_t index);
    bool following() const { return m_following; }
    void follow();

    // The selected bytes, or all when nothing is selected.
    std::pair<uint64_t, uint64_t> selection() const;
    const SessionRows &rows() const { return *m_rows; }
    // The text of the rows in view, one line each.
    QString visibleText() const;
    // The text of one row as shown.
    QString rowText(const SessionRow &row) const;

signals:
    void highlightFailed(const QString &pattern);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Shown
    {
        SessionRow row;
        QString text;
        std::vector<std::pair<int, int>> marks; // dimmed character ranges
    };
    int visibleRows() const;
    int lineHeight() const;
    void layoutRows();
    void scrollRows(int count);
    void placeScrollBar();
    uint64_t rowAtIndex(std::size_t index) const { return (*m_filtered)[index]; }
    Shown shape(const SessionRow &row) const;
    void paintHighlights(QPainter &painter, const Shown &shown, int x, int y);
    std::size_t filteredIndexOf(uint64_t start) const;

    const SessionStore &m_store;
    SessionRules m_rules;
    TextOptions m_text;
    bool m_checks = false;
    std::unique_ptr<SessionRows> m_rows;
    SessionHits m_hits;
    std::size_t m_needleSize = 0;
    std::unique_ptr<std::vector<uint64_t>> m_filtered; // rows with hits, when filtering
    std::size_t m_currentHit = SIZE_MAX;
    std::vector<HighlightRule> m_highlights;

    uint64_t m_top = 0; // start of the top row
    bool m_following = true;
    bool m_placing = false;
    std::vector<Shown> m_shown;
    uint64_t m_selectFrom = 0, m_selectTo = 0; // [from, to): empty when equal
    uint64_t m_anchor = 0;
};
