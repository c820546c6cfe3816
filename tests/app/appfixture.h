#pragma once

// What the main window tests share: a settings folder of their own (XDG_CONFIG_HOME
// points into a temporary directory), COM1 linked to a real pseudo-terminal, the
// program's windows created as at start-up, and a watcher that answers modal boxes.

#include "app/Main.h"
#include "app/startup.h"
#include "modalwatcher.h"
#include "ptydevice.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

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
    int master() const { return m_device ? m_device->master() : -1; }

    ~AppFixture()
    {
        DestroyMainObjects();
        Port.Close();
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
        // The pseudo-terminal's own settings, and a blocking device end: the tests
        // write whole answers to it in one call.
        m_device = std::make_unique<PtyDevice>(false);
        const int flags = fcntl(m_device->master(), F_GETFL);
        fcntl(m_device->master(), F_SETFL, flags & ~O_NONBLOCK);
        return linkTo(QString::fromStdString(m_device->slaveName()));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<PtyDevice> m_device;
};
