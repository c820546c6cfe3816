#include "appconfig.h"

#include "optiontexts.h"
#include "settingsfile.h"
#include "text/localpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {

const QString kHeaderTimes = QStringLiteral("document/headerTimes");
const QString kSessionBound = QStringLiteral("session/boundMiB");
const QString kSessionHighlights = QStringLiteral("session/highlights");
const QString kCaptureFolder = QStringLiteral("capture/lastFolder");
const QString kSendFilePath = QStringLiteral("transfer/lastFile");
const QString kSendFileProtocol = QStringLiteral("transfer/lastProtocol");
const QString kLanguage = QStringLiteral("language");
const QString kFlow = QStringLiteral("lines/flowControl");
const QString kDtrAtOpen = QStringLiteral("lines/dtrAtOpen");
const QString kRtsAtOpen = QStringLiteral("lines/rtsAtOpen");
const QString kPulseMs = QStringLiteral("lines/pulseMs");
const QString kBreakMs = QStringLiteral("lines/breakMs");
const QString kRs485 = QStringLiteral("rs485/");
constexpr int kDefaultPulseMs = 100;
constexpr int kDefaultBreakMs = 250;

const QStringList kFlowKeys { QStringLiteral("leave"), QStringLiteral("none"),
    QStringLiteral("rtscts"), QStringLiteral("xonxoff") };
const QStringList kAtOpenKeys { QStringLiteral("leave"), QStringLiteral("on"),
    QStringLiteral("off") };

// An unknown or missing key reads as the first entry, which leaves the device alone.
int keyIndex(const QSettings &settings, const QString &key, const QStringList &keys)
{
    return std::max(0, static_cast<int>(keys.indexOf(settings.value(key).toString())));
}

int boundedMs(const QSettings &settings, const QString &key, int fallback)
{
    bool ok = false;
    const int ms = settings.value(key, fallback).toInt(&ok);
    return ok && ms >= 1 && ms <= 60000 ? ms : fallback;
}
const QString kWindowGeometry = QStringLiteral("window/geometry");
const QString kSplitLines = QStringLiteral("document/splitLines");

// QSettings reads its file with a blocking open and to its end: anything but a
// regular file (a FIFO, a link to /dev/zero) would hold up the start for good. Such a
// file is left alone, and the options live in memory for this run.
QString RegularFileOrNothing(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile() ? path : QString();
}
const QString kSendBarVisible = QStringLiteral("sendBar/visible");
const QString kSendLine = QStringLiteral("sendBar/line");
const QString kSendHistory = QStringLiteral("sendBar/history");
const QString kQuickCommands = QStringLiteral("sendBar/commands");
const QString kAutomation = QStringLiteral("automation/file");

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
    return commit();
}

Status AppConfig::commit()
{
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
    return { kind, ToLocal(reason) };
}

void AppConfig::report(QWidget *parent, const Status &written) const
{
    static QSet<QString> reported;
    if (!written && !reported.contains(m_path)) {
        reported.insert(m_path);
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

QString AppConfig::sendFilePath() const
{
    return m_settings.value(kSendFilePath).toString();
}

QString AppConfig::sendFileProtocol() const
{
    return m_settings.value(kSendFileProtocol).toString();
}

Status AppConfig::setSendFile(const QString &path, const QString &protocol)
{
    m_settings.setValue(kSendFilePath, path);
    return write(kSendFileProtocol, protocol);
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

OpenLineOptions AppConfig::lineOptions() const
{
    OpenLineOptions options;
    options.flow = static_cast<FlowControl>(keyIndex(m_settings, kFlow, kFlowKeys));
    options.dtr = static_cast<LineAtOpen>(keyIndex(m_settings, kDtrAtOpen, kAtOpenKeys));
    options.rts = static_cast<LineAtOpen>(keyIndex(m_settings, kRtsAtOpen, kAtOpenKeys));
    if (m_settings.value(kRs485 + QStringLiteral("apply"), false).toBool()) {
        Rs485Settings rs485;
        const auto flag = [this](const char *name, bool fallback) {
            return m_settings.value(kRs485 + QLatin1String(name), fallback).toBool();
        };
        rs485.enabled = flag("enabled", false);
        rs485.rtsOnSend = flag("rtsOnSend", true);
        rs485.rtsAfterSend = flag("rtsAfterSend", false);
        rs485.receiveDuringSend = flag("receiveDuringSend", false);
        rs485.delayBeforeSendMs
            = m_settings.value(kRs485 + QStringLiteral("delayBeforeSendMs"), 0).toUInt();
        rs485.delayAfterSendMs
            = m_settings.value(kRs485 + QStringLiteral("delayAfterSendMs"), 0).toUInt();
        options.rs485 = rs485;
    }
    return options;
}

Status AppConfig::setLineOptions(const OpenLineOptions &options)
{
    // A default is stored as no key, so that byteway.conf stays as it was for those
    // who never change these.
    const auto store = [this](const QString &key, const QString &value, const QString &fallback) {
        if (value == fallback) {
            m_settings.remove(key);
        } else {
            m_settings.setValue(key, value);
        }
    };
    store(kFlow, kFlowKeys.value(static_cast<int>(options.flow)), kFlowKeys.first());
    store(kDtrAtOpen, kAtOpenKeys.value(static_cast<int>(options.dtr)), kAtOpenKeys.first());
    store(kRtsAtOpen, kAtOpenKeys.value(static_cast<int>(options.rts)), kAtOpenKeys.first());
    m_settings.remove(kRs485.chopped(1));
    if (options.rs485) {
        m_settings.setValue(kRs485 + QStringLiteral("apply"), true);
        const Rs485Settings &rs485 = *options.rs485;
        m_settings.setValue(kRs485 + QStringLiteral("enabled"), rs485.enabled);
        m_settings.setValue(kRs485 + QStringLiteral("rtsOnSend"), rs485.rtsOnSend);
        m_settings.setValue(kRs485 + QStringLiteral("rtsAfterSend"), rs485.rtsAfterSend);
        m_settings.setValue(kRs485 + QStringLiteral("receiveDuringSend"), rs485.receiveDuringSend);
        m_settings.setValue(kRs485 + QStringLiteral("delayBeforeSendMs"), rs485.delayBeforeSendMs);
        m_settings.setValue(kRs485 + QStringLiteral("delayAfterSendMs"), rs485.delayAfterSendMs);
    }
    return commit();
}

int AppConfig::pulseMs() const
{
    return boundedMs(m_settings, kPulseMs, kDefaultPulseMs);
}

Status AppConfig::setPulseMs(int ms)
{
    if (ms == kDefaultPulseMs) {
        m_settings.remove(kPulseMs);
    } else {
        m_settings.setValue(kPulseMs, ms);
    }
    return commit();
}

int AppConfig::breakMs() const
{
    return boundedMs(m_settings, kBreakMs, kDefaultBreakMs);
}

Status AppConfig::setBreakMs(int ms)
{
    if (ms == kDefaultBreakMs) {
        m_settings.remove(kBreakMs);
    } else {
        m_settings.setValue(kBreakMs, ms);
    }
    return commit();
}

bool AppConfig::sendBarVisible() const
{
    return m_settings.value(kSendBarVisible, false).toBool();
}

Status AppConfig::setSendBarVisible(bool on)
{
    return write(kSendBarVisible, on);
}

QString AppConfig::sendLineSettings() const
{
    return m_settings.value(kSendLine, QStringLiteral("text crlf none")).toString();
}

Status AppConfig::setSendLineSettings(const QString &keys)
{
    return write(kSendLine, keys);
}

QStringList AppConfig::sendHistory() const
{
    return m_settings.value(kSendHistory).toStringList();
}

Status AppConfig::setSendHistory(const QStringList &lines)
{
    return write(kSendHistory, lines);
}

QStringList AppConfig::quickCommands() const
{
    return m_settings.value(kQuickCommands).toStringList();
}

Status AppConfig::setQuickCommands(const QStringList &lines)
{
    return write(kQuickCommands, lines);
}

QString AppConfig::automationText() const
{
    return m_settings.value(kAutomation).toString();
}

Status AppConfig::setAutomationText(const QString &text)
{
    return write(kAutomation, text);
}

bool AppConfig::splitLines() const
{
    return m_settings.value(kSplitLines, false).toBool();
}

Status AppConfig::setSplitLines(bool on)
{
    return write(kSplitLines, on);
}

int AppConfig::sessionBoundMiB() const
{
    bool ok = false;
    const int mib = m_settings.value(kSessionBound, 256).toInt(&ok);
    return ok && mib >= 1 && mib <= 4096 ? mib : 256;
}

Status AppConfig::setSessionBoundMiB(int mib)
{
    return write(kSessionBound, mib);
}

QStringList AppConfig::sessionHighlights() const
{
    return m_settings.value(kSessionHighlights).toStringList();
}

Status AppConfig::setSessionHighlights(const QStringList &rules)
{
    return write(kSessionHighlights, rules);
}

QByteArray AppConfig::windowGeometry() const
{
    return m_settings.value(kWindowGeometry).toByteArray();
}

Status AppConfig::setWindowGeometry(const QByteArray &geometry)
{
    return write(kWindowGeometry, geometry);
}
