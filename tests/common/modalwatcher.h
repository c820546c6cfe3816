#pragma once

// Answers the modal boxes a Qt Test brings up, the way a user pressing OK would.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <functional>
#include <utility>

// One message box that came up and was closed by the watcher.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// While it lives, closes every QMessageBox that becomes the active modal widget
// (with OK) and records what it said; other modal widgets (file dialogs, progress
// dialogs) are handed to `onOther` when given, else left alone.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QWidget *)> onOther = {})
        : m_onOther(std::move(onOther))
        , m_baseLevel(QThread::currentThread()->loopLevel())
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { check(); });
        m_poll.start(5);
    }

    QList<SeenBox> boxes;

private:
    void check()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (!box->isVisible()) {
                return;
            }
            boxes.append({ box->windowTitle(), box->text(), box->icon() });
            if (QAbstractButton *ok = box->button(QMessageBox::Ok)) {
                ok->click();
            } else {
                box->done(QMessageBox::Ok);
            }
        } else if (modal && m_onOther) {
            // A file dialog can be modal before exec() has started its event loop
            // (its show() may let timers run); answered then, it would hide before
            // the loop starts and exec() would wait for good.
            if (qobject_cast<QFileDialog *>(modal)
                && QThread::currentThread()->loopLevel() <= m_baseLevel) {
                return;
            }
            m_onOther(modal);
        }
    }

    QTimer m_poll;
    std::function<void(QWidget *)> m_onOther;
    int m_baseLevel = 0;
};
