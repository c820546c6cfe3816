#include "appconfig.h"

#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kHeaderTimes = QStringLiteral("document/headerTimes");
const QString kCaptureFolder = QStringLiteral("capture/lastFolder");
const QString kLanguage = QStringLiteral("language");

// QSettings reads its file with a blocking open and to its end: anything but a
// regular file (a FIFO, a link to /dev/zero) would hold up the start for good. Such a
// file is left alone, and the options live in memory for this run.
QString RegularFileOrNothing(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile() ? path : QString();
}

} // namespace

AppConfig::AppConfig()
    : AppConfig(defaultPath())
{ }

AppConfig::AppConfig(const QString &path)
    : m_settings(RegularFileOrNothing(path), QSettings::IniFormat)
{ }

QString AppConfig::defaultPath()
{
    const QString folder = QString::fromStdU16String(SettingsFolder().u16string());
    return QDir(folder).filePath(QStringLiteral("byteway.conf"));
}

bool AppConfig::headerTimes() const
{
    return m_settings.value(kHeaderTimes, false).toBool();
}

void AppConfig::setHeaderTimes(bool on)
{
    m_settings.setValue(kHeaderTimes, on);
    m_settings.sync();
}

QString AppConfig::captureFolder() const
{
    return m_settings.value(kCaptureFolder).toString();
}

void AppConfig::setCaptureFolder(const QString &folder)
{
    m_settings.setValue(kCaptureFolder, folder);
    m_settings.sync();
}

QString AppConfig::language() const
{
    return m_settings.value(kLanguage, QStringLiteral("system")).toString();
}

void AppConfig::setLanguage(const QString &key)
{
    m_settings.setValue(kLanguage, key);
    m_settings.sync();
}
