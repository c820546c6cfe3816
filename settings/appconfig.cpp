#include "appconfig.h"

#include "settingsfile.h"

#include <QDir>

namespace {

const QString kHeaderTimes = QStringLiteral("document/headerTimes");
const QString kCaptureFolder = QStringLiteral("capture/lastFolder");
const QString kLanguage = QStringLiteral("language");
const QString kSendBarVisible = QStringLiteral("sendBar/visible");
const QString kSendLine = QStringLiteral("sendBar/line");
const QString kSendHistory = QStringLiteral("sendBar/history");
const QString kQuickCommands = QStringLiteral("sendBar/commands");

} // namespace

AppConfig::AppConfig()
    : AppConfig(defaultPath())
{ }

AppConfig::AppConfig(const QString &path)
    : m_settings(path, QSettings::IniFormat)
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

bool AppConfig::sendBarVisible() const
{
    return m_settings.value(kSendBarVisible, false).toBool();
}

void AppConfig::setSendBarVisible(bool on)
{
    m_settings.setValue(kSendBarVisible, on);
    m_settings.sync();
}

QString AppConfig::sendLineSettings() const
{
    return m_settings.value(kSendLine, QStringLiteral("text crlf none")).toString();
}

void AppConfig::setSendLineSettings(const QString &keys)
{
    m_settings.setValue(kSendLine, keys);
    m_settings.sync();
}

QStringList AppConfig::sendHistory() const
{
    return m_settings.value(kSendHistory).toStringList();
}

void AppConfig::setSendHistory(const QStringList &lines)
{
    m_settings.setValue(kSendHistory, lines);
    m_settings.sync();
}

QStringList AppConfig::quickCommands() const
{
    return m_settings.value(kQuickCommands).toStringList();
}

void AppConfig::setQuickCommands(const QStringList &lines)
{
    m_settings.setValue(kQuickCommands, lines);
    m_settings.sync();
}
