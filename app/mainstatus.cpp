// The status bar's own places: the last failures and state changes in MessageField,
// which menu and toolbar hints do not overwrite, and the port's state in PortState.
#include "mainstatus.h"

#include "Main.h"
#include "maintexts.h"
#include "serial/openfailure.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>
#include <QStringList>

#include <algorithm>

namespace {

// How many messages the field's tooltip keeps, newest last.
constexpr int kMessageHistory = 5;
// The field gives the hints on its left at least this much of the bar.
constexpr int kHintRoom = 80;
constexpr int kMessageMaxWidth = 320;
// PortState's text at most, unless the state word alone needs more.
constexpr int kPortStateWidth = 360;

} // namespace

QString PortReason(const OpenFailure &failure)
{
    switch (failure.kind) {
    case OpenFailure::Kind::Missing:
        return MainTexts::ReasonMissing;
    case OpenFailure::Kind::NoAccess:
        return failure.group.empty()
            ? MainTexts::ReasonNoAccess
            : MainTexts::ReasonNoAccessGroup.arg(QString::fromStdString(failure.group));
    case OpenFailure::Kind::Busy:
        return failure.holders.empty()
            ? MainTexts::ReasonBusy
            : MainTexts::ReasonBusyBy.arg(QString::fromLocal8Bit(failure.holders.c_str()));
    case OpenFailure::Kind::BadNumber:
        return MainTexts::ReasonBadNumber;
    case OpenFailure::Kind::HostNotFound:
        return MainTexts::ReasonHostNotFound;
    case OpenFailure::Kind::ConnectionRefused:
        return MainTexts::ReasonConnectionRefused;
    case OpenFailure::Kind::NoAnswer:
        return MainTexts::ReasonNoAnswer;
    case OpenFailure::Kind::NoNegotiation:
        return MainTexts::ReasonNoNegotiation;
    case OpenFailure::Kind::SettingRefused:
        return MainTexts::ReasonSettingRefused.arg(QString::fromStdString(failure.setting));
    case OpenFailure::Kind::Dropped:
        return MainTexts::ReasonDropped;
    case OpenFailure::Kind::NetworkError:
        return MainTexts::ReasonNetwork;
    case OpenFailure::Kind::NotSerial:
        return MainTexts::ReasonNotSerial;
    case OpenFailure::Kind::Console:
        return MainTexts::ReasonConsole;
    case OpenFailure::Kind::Refused:
    case OpenFailure::Kind::None:
        break;
    }
    return MainTexts::ReasonRefused;
}

QString PortFailureAdvice(const OpenFailure &failure)
{
    QStringList lines;
    QString device = QString::fromLocal8Bit(failure.device.c_str());
    lines << (device.isEmpty() ? PortReason(failure)
                               : QStringLiteral("%1: %2").arg(device, PortReason(failure)));
    if (!failure.detail.empty()) {
        lines << MainTexts::SystemSays.arg(QString::fromLocal8Bit(failure.detail.c_str()));
    }
    if (failure.kind == OpenFailure::Kind::NoAccess) {
        // Debian's serial devices belong to dialout; the system named the real group
        // where it could.
        const QString group = failure.group.empty() ? QStringLiteral("dialout")
                                                    : QString::fromStdString(failure.group);
        lines << MainTexts::NoAccessRemedy.arg(group);
    }
    return lines.join(QLatin1Char('\n'));
}

void TMainForm::SetUpStatus()
{
    // Without a name of its own the bar is read by the hint it shows last.
    StatusBar->setAccessibleName(MainTexts::StatusBarName);
    MessageField = new QLabel(StatusBar);
    MessageField->setObjectName(QStringLiteral("MessageField"));
    MessageField->setAccessibleName(MainTexts::MessageFieldName);
    MessageField->hide();
    // Left of the permanent fields, so that a temporary hint never covers it.
    StatusBar->insertPermanentWidget(0, MessageField);
}

void TMainForm::showStateMessage(const QString &text)
{
    const QString stamped = QStringLiteral("%1  %2").arg(
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text);
    m_messages.append(stamped);
    while (m_messages.size() > kMessageHistory) {
        m_messages.removeFirst();
    }
    MessageField->setProperty("fullText", text);
    MessageField->setToolTip(
        MainTexts::MessageHistory + QLatin1Char('\n') + m_messages.join(QLatin1Char('\n')));
    MessageField->setAccessibleDescription(text);
    MessageField->show();
    fitMessageField();
}

// The message is cut at its end to what the bar has left beside the other fields
// and some room for hints; the tooltip keeps all of it.
void TMainForm::fitMessageField()
{
    if (!MessageField || MessageField->isHidden()) {
        return;
    }
    int others = 0;
    for (const QWidget *field : { static_cast<QWidget *>(PortState),
             static_cast<QWidget *>(CaptureField), static_cast<QWidget *>(TrafficField) }) {
        if (field && !field->isHidden()) {
            others += field->sizeHint().width() + 8;
        }
    }
    const int width = std::clamp(StatusBar->width() - others - kHintRoom, 60, kMessageMaxWidth);
    const QString full = MessageField->property("fullText").toString();
    MessageField->setText(MessageField->fontMetrics().elidedText(full, Qt::ElideRight, width));
}

QString TMainForm::stateMessage() const
{
    return MessageField->property("fullText").toString();
}

const QStringList &TMainForm::recentMessages() const
{
    return m_messages;
}

// Only the device path gives way, in its middle where paths differ least: the port,
// the line settings and the state word always show whole.
QString FitPortState(
    const QFontMetrics &metrics, const QString &port, const QString &device, const QString &rest)
{
    if (device.isEmpty()) {
        return port + rest;
    }
    const QString arrow = QStringLiteral(" \u2192 ");
    const int fixed = metrics.horizontalAdvance(port + arrow + rest);
    const int minimum = metrics.horizontalAdvance(QStringLiteral("/dev/\u2026"));
    const int room = std::max(minimum, kPortStateWidth - fixed);
    return port + arrow + metrics.elidedText(device, Qt::ElideMiddle, room) + rest;
}

// A change of the port's state goes into the messages too, so that a device that
// went away and came back stays on record; the first state shown is no change.
void TMainForm::noteStateChange(const QString &port, const QString &state)
{
    if (!m_lastPortState.isEmpty() && m_lastPortState != state) {
        showStateMessage(QStringLiteral("%1: %2").arg(port, state));
    }
    m_lastPortState = state;
    fitMessageField();
}
