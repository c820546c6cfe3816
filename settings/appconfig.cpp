#include "appconfig.h"

#include "optiontexts.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

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
    : m_path(path)
    , m_settings(RegularFileOrNothing(path), QSettings::IniFormat)
{ }

QString AppConfig::defaultPath()
{
    const QString folder = QString::fromStdU16String(SettingsFolder().u16string());
    return QDir(folder).filePath(QStringLiteral("byteway.conf"));
}

Status AppConfig::write(const QString &key, const QVariant &value)
{
    m_settings.setValue(key, value);
    if (m_settings.fileName().isEmpty()) {
        // Kept for this run only (see RegularFileOrNothing).
        return { ErrorKind::Invalid, "not a regular file" };
    }
    m_settings.sync();
    if (m_settings.status() == QSettings::NoError) {
        return {};
    }
    // QSettings keeps the system's reason to itself; opening the file the same way
    // (without changing it) brings it out.
    QFile probe(m_path);
    const QString reason = probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)
        ? QStringLiteral("the file cannot be replaced")
        : probe.errorString();
    const ErrorKind kind
        = m_settings.status() == QSettings::AccessError ? ErrorKind::NoAccess : ErrorKind::Invalid;
    return { kind, reason.toLocal8Bit().toStdString() };
}

void AppConfig::report(QWidget *parent, const Status &written) const
{
    if (!written) {
        ShowSaveFailure(parent, m_path, written);
    }
}

bool AppConfig::headerTimes() const
{
    return m_settings.value(kHeaderTimes, false).toBool();
}

Status AppConfig::setHeaderTimes(bool on)
{
    return write(kHeaderTimes, on);
}

QString AppConfig::captureFolder() const
{
    return m_settings.value(kCaptureFolder).toString();
}

Status AppConfig::setCaptureFolder(const QString &folder)
{
    return write(kCaptureFolder, folder);
}

QString AppConfig::language() const
{
    return m_settings.value(kLanguage, QStringLiteral("system")).toString();
}

Status AppConfig::setLanguage(const QString &key)
{
    return write(kLanguage, key);
}

void ShowSaveFailure(QWidget *parent, const QString &file, const Status &failure)
{
    QMessageBox box(QMessageBox::Warning, Texts::Text(Texts::kWarningTitle),
        Texts::kSaveFailed.arg(
            QDir::toNativeSeparators(file), QString::fromLocal8Bit(failure.reason().c_str())),
        QMessageBox::Ok, parent);
    box.exec();
}
