#pragma once

#include <QSettings>
#include <QString>

// Options that the settings file has no place for, kept in byteway.conf (INI
// format) beside it in the settings folder, so that Byteway.ini keeps its exact
// layout. Each setter writes the file at once. User-interface thread only.
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
    void setHeaderTimes(bool on);
    // The folder the last capture file was chosen in (empty when none yet).
    QString captureFolder() const;
    void setCaptureFolder(const QString &folder);
    // The interface language chosen in the 帮助 menu: "system" (also when unset or
    // unknown), "zh" or "en". Read at start-up only.
    QString language() const;
    void setLanguage(const QString &key);

    // Whether each change between sending and receiving starts a line of its own
    // (off: received text continues a line behind a finished send's echo).
    bool splitLines() const;
    void setSplitLines(bool on);

    // The main window's place and size (QWidget::saveGeometry); empty: centred at
    // the default size.
    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray &geometry);

private:
    QSettings m_settings;
};
