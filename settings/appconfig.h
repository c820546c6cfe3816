#pragma once

#include "base/status.h"
#include "serial/controllines.h"

#include <QSettings>
#include <QString>
#include <QStringList>

class QWidget;

// Options that the settings file has no place for, kept in byteway.conf (INI
// format) beside it in the settings folder, so that Byteway.ini keeps its exact
// layout. Each setter writes the file at once and fails, with the system's reason,
// when it cannot be written (the file is then as it was). User-interface thread only.
class AppConfig
{
public:
    // byteway.conf in the settings folder, or the file at `path`.
    AppConfig();
    explicit AppConfig(const QString &path);

    static QString defaultPath();
    QString path() const { return m_settings.fileName(); }

    // Whether the receive and send headers start with the time of day (off).
    bool headerTimes() const;
    [[nodiscard]] Status setHeaderTimes(bool on);
    // The folder the last capture file was chosen in (empty when none yet).
    QString captureFolder() const;
    [[nodiscard]] Status setCaptureFolder(const QString &folder);
    // The interface language chosen in the 帮助 menu: "system" (also when unset or
    // unknown), "zh" or "en". Read at start-up only.
    QString language() const;
    [[nodiscard]] Status setLanguage(const QString &key);

    // Shows a failed write of this file as a failed save of the settings file is
    // shown; nothing when `written` is a success. Once a run for each file: every
    // later change fails for the same reason, and some (the send history) are made
    // at every line sent.
    void report(QWidget *parent, const Status &written) const;

    // Control lines: what Open does to flow control, DTR, RTS and RS-485 (all left as
    // the device has them by default), and the lengths of a pulse (100 ms) and of a
    // break (250 ms).
    OpenLineOptions lineOptions() const;
    [[nodiscard]] Status setLineOptions(const OpenLineOptions &options);
    int pulseMs() const;
    [[nodiscard]] Status setPulseMs(int ms);
    int breakMs() const;
    [[nodiscard]] Status setBreakMs(int ms);
    // The send bar: shown (no), its line's "mode ending checksum" keys ("text crlf
    // none"), the lines sent from it (oldest first) and its commands (one line of
    // the command file each).
    bool sendBarVisible() const;
    [[nodiscard]] Status setSendBarVisible(bool on);
    QString sendLineSettings() const;
    [[nodiscard]] Status setSendLineSettings(const QString &keys);
    QStringList sendHistory() const;
    [[nodiscard]] Status setSendHistory(const QStringList &lines);
    QStringList quickCommands() const;
    [[nodiscard]] Status setQuickCommands(const QStringList &lines);
    // The last used triggers and sequences, as their file's text (empty: none).
    QString automationText() const;
    [[nodiscard]] Status setAutomationText(const QString &text);
    // Whether each change between sending and receiving starts a line of its own
    // (off: received text continues a line behind a finished send's echo).
    bool splitLines() const;
    [[nodiscard]] Status setSplitLines(bool on);

    // The session view: the bound of its store in MiB (256) and its highlight
    // rules, one a line: "text|regex|hex", a tab, "#rrggbb", a tab, the pattern.
    int sessionBoundMiB() const;
    [[nodiscard]] Status setSessionBoundMiB(int mib);
    QStringList sessionHighlights() const;
    [[nodiscard]] Status setSessionHighlights(const QStringList &rules);

    // 文件 → 发送文件: the file sent last and its protocol's name ("XMODEM-1K";
    // empty: raw), offered the next time (both empty at first).
    QString sendFilePath() const;
    QString sendFileProtocol() const;
    [[nodiscard]] Status setSendFile(const QString &path, const QString &protocol);

    // The main window's place and size (QWidget::saveGeometry); empty: centred at
    // the default size.
    QByteArray windowGeometry() const;
    [[nodiscard]] Status setWindowGeometry(const QByteArray &geometry);

private:
    Status write(const QString &key, const QVariant &value);
    // Writes what was set to the file.
    Status commit();

    QString m_path;
    QSettings m_settings;
};

// The warning for a settings file (Byteway.ini, byteway.conf) that could not be
// written: the file and the system's reason; the old file is left as it was.
void ShowSaveFailure(QWidget *parent, const QString &file, const Status &failure);
