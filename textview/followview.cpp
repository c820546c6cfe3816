#include "followview.h"

#include "richedit.h"
#include "text/uitext.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>
#include <QToolButton>

#include <utility>

namespace {

namespace Texts {
inline constexpr const char *kContext = "FollowView";
inline constexpr UiText NotFollowing { kContext,
    QT_TRANSLATE_NOOP("FollowView", "▼ 未跟随新数据") };
inline constexpr UiText NotFollowingHint { kContext,
    QT_TRANSLATE_NOOP("FollowView", "新数据仍在末尾添加。单击或按 Ctrl+End 回到末尾并跟随。") };
} // namespace Texts

// A view this close to the end still counts as at the end: scrolling to the caret
// leaves the document's bottom margin below the last line.
constexpr int kEndSlackLines = 1;

} // namespace

FollowView::FollowView(QAbstractScrollArea *area)
    : QObject(area)
    , m_area(area)
    , m_indicator(new QToolButton(area))
{
    m_indicator->setObjectName(QStringLiteral("FollowIndicator"));
    m_indicator->setText(Texts::NotFollowing);
    m_indicator->setToolTip(Texts::NotFollowingHint);
    m_indicator->setFocusPolicy(Qt::NoFocus);
    m_indicator->setCursor(Qt::ArrowCursor);
    m_indicator->hide();
    connect(m_indicator, &QToolButton::clicked, this, &FollowView::follow);
    // Only the user's own scrolling (the wheel, the scroll bar, the keys) takes the view
    // away from the end; the program placing it elsewhere does not.
    connect(area->verticalScrollBar(), &QScrollBar::actionTriggered, this,
        [this] { m_userScroll = true; });
    connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, &FollowView::scrolled);
    area->installEventFilter(this);
}

int FollowView::horizontalValue() const
{
    return m_area->horizontalScrollBar()->value();
}

int FollowView::verticalValue() const
{
    return m_area->verticalScrollBar()->value();
}

void FollowView::restore(int horizontal, int vertical)
{
    m_area->horizontalScrollBar()->setValue(horizontal);
    m_area->verticalScrollBar()->setValue(vertical);
}

void FollowView::follow()
{
    QScrollBar *bar = m_area->verticalScrollBar();
    bar->setValue(bar->maximum());
    m_following = true;
    m_indicator->hide();
}

void FollowView::scrolled()
{
    if (m_restoring) {
        return;
    }
    const QScrollBar *bar = m_area->verticalScrollBar();
    // A document's scroll bar counts lines; any other area's counts pixels.
    const int slack = qobject_cast<const RichEdit *>(m_area)
        ? kEndSlackLines
        : kEndSlackLines * m_area->fontMetrics().height();
    const bool atEnd = bar->value() >= bar->maximum() - slack;
    const bool user = std::exchange(m_userScroll, false);
    if (atEnd) {
        m_following = true;
        m_indicator->hide();
    } else if (user) {
        m_following = false;
    }
}

void FollowView::showIndicator()
{
    if (m_indicator->isVisible()) {
        return;
    }
    placeIndicator();
    m_indicator->show();
    m_indicator->raise();
}

void FollowView::placeIndicator()
{
    m_indicator->adjustSize();
    const QRect view = m_area->viewport()->geometry();
    m_indicator->move(
        view.right() - m_indicator->width() - 2, view.bottom() - m_indicator->height() - 2);
}

bool FollowView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && event->type() == QEvent::Resize && m_indicator->isVisible()) {
        placeIndicator();
    }
    if (watched == m_area && event->type() == QEvent::KeyPress) {
        // A key that moves the caret scrolls while it is handled; the mark goes once
        // the key is done, whether it scrolled or not.
        m_userScroll = true;
        QMetaObject::invokeMethod(
            this, [this] { m_userScroll = false; }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
