#pragma once

// What the main window tests share: a settings folder of their own (XDG_CONFIG_HOME
// points into a temporary directory), COM1 linked to a real pseudo-terminal, the
// program's windows created as at start-up, and a watcher that answers modal boxes.

#include "Main.h"
#include "option.h"
#include "serialport.h"
#include "settingsfile.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// One modal box that came up and was closed by the watcher.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Closes every QMessageBox that becomes the modal widget (with OK) and records it;
// other modal widgets are handed to `onOther` when given.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QWidget *)> onOther = {})
        : m_onOther(std::move(onOther))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { check(); });
        m_poll.start(10);
    }

    QList<SeenBox> boxes;

private:
    void check()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes.append({ box->windowTitle(), box->text(), box->icon() });
            box->done(QMessageBox::Ok);
        } else if (modal && m_onOther) {
            m_onOther(modal);
        }
    }

    QTimer m_poll;
    std::function<void(QWidget *)> m_onOther;
};

class AppFixture
{
public:
    enum class PortKind { PseudoTerminal, Missing };

    // Points XDG_CONFIG_HOME at a fresh folder, writes the default settings with
    // `sendText` (code page 936 bytes) as the settings file and links com1 to a new
    // pseudo-terminal or to a path that does not exist.
    bool prepare(const std::string &sendText, PortKind port)
    {
        if (!m_dir.isValid()) {
            return false;
        }
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        SettingsValues values;
        SetDefaultSettings(values);
        values.FSendChar = sendText;
        if (!SaveSettings(values)) {
            return false;
        }
        return port == PortKind::PseudoTerminal ? linkPseudoTerminal()
                                                : linkTo(m_dir.filePath(QStringLiteral("gone")));
    }

    // Replaces the com1 link by one to a path that does not exist.
    bool unplug() { return linkTo(m_dir.filePath(QStringLiteral("gone"))); }

    // Start-up as the program does it; returns once FormShow has created 窗口1.
    bool start()
    {
        CreateMainObjects();
        MainForm->show();
        return QTest::qWaitFor([] { return MainForm->ChildCount() == 1; }, 10000);
    }

    QString settingsFile() const { return QString::fromStdString(SettingsFilePath().string()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    int master() const { return m_master; }

    ~AppFixture()
    {
        DestroyMainObjects();
        Port.Close();
        for (int fd : { m_master, m_slave }) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

private:
    QString comLink() const { return m_dir.filePath(QStringLiteral("byteway/com1")); }

    bool linkTo(const QString &target)
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("byteway")));
        QFile::remove(comLink());
        return ::symlink(
                   QFile::encodeName(target).constData(), QFile::encodeName(comLink()).constData())
            == 0;
    }

    bool linkPseudoTerminal()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            return false;
        }
        return linkTo(QString::fromLocal8Bit(name));
    }

    QTemporaryDir m_dir;
    int m_master = -1;
    int m_slave = -1;
};
