#pragma once

#include <QObject>

class QAbstractScrollArea;
class QToolButton;

// The terminal's rule for a document that grows while it is read: a view at the
// end follows the text appended there; a view the user has scrolled away from the
// end stays where it is, and once text arrives there that it does not show, a small
// button in its corner says so. Scrolling back
// to the end (or Ctrl+End, or the button) follows again. Only the view is kept: the
// document operations move the caret as they always do.
// User-interface thread only.
class FollowView : public QObject
{
    Q_OBJECT

public:
    explicit FollowView(QAbstractScrollArea *area);

    bool following() const { return m_following; }
    // Runs `handOver`, which may scroll the view to the caret; a view that is not
    // following is put back where it was.
    template <typename HandOver>
    void keepView(HandOver handOver)
    {
        if (m_following) {
            handOver();
            return;
        }
        const int horizontal = horizontalValue();
        const int vertical = verticalValue();
        m_restoring = true;
        handOver();
        restore(horizontal, vertical);
        m_restoring = false;
        showIndicator();
    }
    // Goes to the end and follows from now on.
    void follow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int horizontalValue() const;
    int verticalValue() const;
    void restore(int horizontal, int vertical);
    void scrolled();
    void placeIndicator();
    void showIndicator();

    QAbstractScrollArea *m_area;
    QToolButton *m_indicator;
    bool m_following = true;
    bool m_restoring = false;
    bool m_userScroll = false; // the next scroll comes from the user
};
