#include "tiling.h"

#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace {

enum class Direction { Vertical, Horizontal };

QList<QMdiSubWindow *> windowsToTile(QMdiArea *area)
{
    QList<QMdiSubWindow *> windows;
    const QList<QMdiSubWindow *> stacked = area->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacked.rbegin(); it != stacked.rend(); ++it) {
        if ((*it)->isVisible() && !(*it)->isMinimized()) {
            windows.append(*it);
        }
    }
    return windows;
}

QRect tilingRect(QMdiArea *area)
{
    QRect rect = area->viewport()->rect();
    int iconTop = rect.bottom() + 1;
    for (QMdiSubWindow *window : area->subWindowList()) {
        if (window->isVisible() && window->isMinimized()) {
            iconTop = std::min(iconTop, window->geometry().top());
        }
    }
    if (iconTop > rect.top()) {
        rect.setBottom(iconTop - 1);
    }
    return rect;
}

void tile(QMdiArea *area, Direction direction)
{
    const QList<QMdiSubWindow *> windows = windowsToTile(area);
    if (windows.isEmpty()) {
        return;
    }
    // A maximised sub-window keeps the others maximised too while it is active.
    for (QMdiSubWindow *window : windows) {
        if (window->isMaximized()) {
            window->showNormal();
        }
    }
    const QRect rect = tilingRect(area);
    const int count = static_cast<int>(windows.size());
    const int total = direction == Direction::Vertical ? rect.height() : rect.width();
    for (int i = 0; i < count; ++i) {
        // Integer boundaries, so the pieces add up to the whole area exactly.
        const int from = i * total / count;
        const int to = (i + 1) * total / count;
        if (direction == Direction::Vertical) {
            windows[i]->setGeometry(rect.left(), rect.top() + from, rect.width(), to - from);
        } else {
            windows[i]->setGeometry(rect.left() + from, rect.top(), to - from, rect.height());
        }
    }
}

} // namespace

void TileOneAboveOther(QMdiArea *area)
{
    tile(area, Direction::Vertical);
}

void TileSideBySide(QMdiArea *area)
{
    tile(area, Direction::Horizontal);
}
