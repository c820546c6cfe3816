#include "linestrip.h"

#include "linetexts.h"
#include "text/systemreason.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The indicators are check boxes (so a screen reader says "CTS, check box,
// checked") drawn as lamps, and the user cannot change them.
const char *const kLampStyle
    = "QCheckBox::indicator { width: 9px; height: 9px; border-radius: 5px;"
      " border: 1px solid palette(dark); background: palette(button); }"
      "QCheckBox::indicator:checked { background: #22b14c; border-color: #127a30; }"
      "QCheckBox::indicator:indeterminate { background: palette(window);"
      " border: 1px dashed palette(text); }"
      "QCheckBox::indicator:disabled { background: palette(window); border-color: palette(mid); }";

QString reasonText(const Status &status)
{
    return ReasonInWords(status);
}

// A closed or lost port is no reason to tell about: every control is then simply
// off. Any other failure comes from an open device that cannot do it.
bool portAway(const Status &status)
{
    return status.kind() == ErrorKind::Invalid || status.kind() == ErrorKind::Lost;
}

// An asserted output is filled green with white text, an idle one keeps the
// palette's button: plain at a glance in a light and a dark palette alike (white
// on this green is above 4.5:1).
// A line whose state the port does not know has a dashed frame and a question mark.
const char *const kOutputStyle
    = "QToolButton:checked { background: #1e7b34; color: white; border: 1px solid #0f4d20;"
      " border-radius: 2px; }"
      "QToolButton[lineKnown=\"false\"] { border: 1px dashed palette(text); border-radius: 2px; }";

} // namespace

LineStrip::LineStrip(ControlLines &lines, QWidget *parent)
    : QWidget(parent)
    , m_lines(lines)
{
    setObjectName(QStringLiteral("LineStrip"));
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 4, 0, 4);
    rows->setSpacing(4);
    auto *buttons = new QHBoxLayout;
    auto *lamps = new QHBoxLayout;
    buttons->setSpacing(4);
    lamps->setSpacing(6);
    rows->addLayout(buttons);
    rows->addLayout(lamps);

    const auto output = [this](const char *name, const QString &caption, QAction *&pulse) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setAccessibleName(caption);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setStyleSheet(QLatin1String(kOutputStyle));
        button->setPopupMode(QToolButton::MenuButtonPopup);
        auto *menu = new QMenu(button);
        pulse = menu->addAction(QString());
        pulse->setObjectName(QLatin1String(name) + QStringLiteral("Pulse"));
        button->setMenu(menu);
        return button;
    };
    LineDTR = output("LineDTR", LineTexts::Dtr, LineDTRPulse);
    LineRTS = output("LineRTS", LineTexts::Rts, LineRTSPulse);
    LineBreak = new QToolButton(this);
    LineBreak->setObjectName(QStringLiteral("LineBreak"));
    buttons->addWidget(LineDTR);
    buttons->addWidget(LineRTS);
    buttons->addWidget(LineBreak);
    buttons->addStretch(1);

    const auto lamp = [this, lamps](const char *name, const QString &caption) {
        auto *box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(caption);
        box->setStyleSheet(QLatin1String(kLampStyle));
        box->setTristate(true);
        box->setFocusPolicy(Qt::NoFocus);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        lamps->addWidget(box);
        return box;
    };
    LineCTS = lamp("LineCTS", LineTexts::Cts);
    LineDSR = lamp("LineDSR", LineTexts::Dsr);
    LineDCD = lamp("LineDCD", LineTexts::Dcd);
    LineRI = lamp("LineRI", LineTexts::Ri);
    lamps->addStretch(1);

    connect(LineDTR, &QToolButton::clicked, this, [this](bool on) { toggled(ModemLine::Dtr, on); });
    connect(LineRTS, &QToolButton::clicked, this, [this](bool on) { toggled(ModemLine::Rts, on); });
    connect(LineDTRPulse, &QAction::triggered, this, [this] { pulse(ModemLine::Dtr); });
    connect(LineRTSPulse, &QAction::triggered, this, [this] { pulse(ModemLine::Rts); });
    connect(LineBreak, &QToolButton::clicked, this, &LineStrip::sendBreak);

    retranslate();
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &LineStrip::refresh);
    m_poll->start();
    refresh();
}

void LineStrip::setPulseMs(int ms)
{
    m_pulseMs = ms;
    retranslate();
}

void LineStrip::setBreakMs(int ms)
{
    m_breakMs = ms;
    retranslate();
}

void LineStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
    }
    QWidget::changeEvent(event);
}

void LineStrip::retranslate()
{
    LineDTRPulse->setText(LineTexts::Pulse.arg(LineTexts::Dtr).arg(m_pulseMs));
    LineRTSPulse->setText(LineTexts::Pulse.arg(LineTexts::Rts).arg(m_pulseMs));
    LineBreak->setText(LineTexts::Break);
    LineBreak->setAccessibleName(LineTexts::Break);
    refresh();
}

QString LineStrip::hintOf(ModemLine line) const
{
    switch (line) {
    case ModemLine::Dtr:
        return LineTexts::DtrHint;
    case ModemLine::Rts:
        return LineTexts::RtsHint;
    case ModemLine::Cts:
        return LineTexts::CtsHint;
    case ModemLine::Dsr:
        return LineTexts::DsrHint;
    case ModemLine::Dcd:
        return LineTexts::DcdHint;
    case ModemLine::Ri:
        return LineTexts::RiHint;
    }
    return {};
}

bool LineStrip::pulsing(ModemLine line) const
{
    return line == ModemLine::Dtr ? m_pulsingDtr : line == ModemLine::Rts && m_pulsingRts;
}

void LineStrip::toggled(ModemLine line, bool on)
{
    // A refusal shows at the read-back below: the button greys with the reason.
    (void)m_lines.setLine(line, on);
    refresh();
}

void LineStrip::pulse(ModemLine line)
{
    if (!IsOutputLine(line) || pulsing(line)) {
        return;
    }
    const Result<ModemLines> now = m_lines.lines();
    if (!now) {
        refresh();
        return;
    }
    // A line the port does not know is taken as asserted, as ports are opened: the
    // pulse then drops it for its length.
    const bool before = now->known(line) ? now->get(line) : true;
    if (!m_lines.setLine(line, !before).ok()) {
        refresh();
        return;
    }
    (line == ModemLine::Dtr ? m_pulsingDtr : m_pulsingRts) = true;
    QTimer::singleShot(
        m_pulseMs, Qt::PreciseTimer, this, [this, line, before] { endPulse(line, before); });
    refresh();
}

void LineStrip::endPulse(ModemLine line, bool restore)
{
    (line == ModemLine::Dtr ? m_pulsingDtr : m_pulsingRts) = false;
    // A device gone meanwhile refuses; the port counts as lost and the watch brings
    // it back, with the lines as Open leaves them.
    (void)m_lines.setLine(line, restore);
    refresh();
}

void LineStrip::sendBreak()
{
    if (m_breaking) {
        return;
    }
    const Status started = m_lines.setBreak(true);
    if (!started.ok()) {
        if (!portAway(started)) {
            m_breakRefusal = reasonText(started);
        }
        refresh();
        return;
    }
    m_breaking = true;
    QTimer::singleShot(m_breakMs, Qt::PreciseTimer, this, &LineStrip::endBreak);
    refresh();
}

void LineStrip::endBreak()
{
    m_breaking = false;
    (void)m_lines.setBreak(false);
    refresh();
}

void LineStrip::display(const Result<ModemLines> &lines)
{
    const bool open = lines.ok() || !portAway(lines.status());
    if (open && !m_portWasOpen) {
        m_breakRefusal.clear();
    }
    m_portWasOpen = open;
    const QString reason = lines.ok() ? QString()
        : open                        ? reasonText(lines.status())
                                      : LineTexts::PortClosed.text();
    // RTS/CTS flow control drives RTS itself: a click would be undone at once.
    const Result<FlowControl> flow
        = lines.ok() ? m_lines.flowControl() : Result<FlowControl>(FlowControl::None);
    const bool rtsOwned = flow.ok() && *flow == FlowControl::RtsCts;

    const auto showLine = [&](QAbstractButton *widget, ModemLine line) {
        const bool pulse = pulsing(line);
        bool enabled = lines.ok() && !pulse;
        QString tip = hintOf(line);
        if (!lines.ok()) {
            tip = LineTexts::Unsupported.arg(tip, reason);
        } else if (line == ModemLine::Rts && rtsOwned) {
            enabled = false;
            tip = LineTexts::RtsOwned.arg(tip);
        }
        const bool known = !lines.ok() || lines->known(line);
        if (!known) {
            tip = LineTexts::Unknown.arg(tip);
        }
        showKnown(widget, line, known);
        if (auto *lamp = qobject_cast<QCheckBox *>(widget); lamp && !known) {
            lamp->setCheckState(Qt::PartiallyChecked);
        } else {
            widget->setChecked(lines.ok() && lines->get(line));
        }
        if (IsOutputLine(line)) {
            widget->setEnabled(enabled);
        } else {
            widget->setEnabled(lines.ok());
        }
        if (widget->toolTip() != tip) {
            widget->setToolTip(tip);
        }
    };
    showLine(LineDTR, ModemLine::Dtr);
    showLine(LineRTS, ModemLine::Rts);
    showLine(LineCTS, ModemLine::Cts);
    showLine(LineDSR, ModemLine::Dsr);
    showLine(LineDCD, ModemLine::Dcd);
    showLine(LineRI, ModemLine::Ri);

    QString breakTip = LineTexts::BreakHint.arg(m_breakMs);
    if (!open) {
        breakTip = LineTexts::Unsupported.arg(breakTip, reason);
    } else if (!m_breakRefusal.isEmpty()) {
        breakTip = LineTexts::Unsupported.arg(breakTip, m_breakRefusal);
    }
    LineBreak->setEnabled(open && m_breakRefusal.isEmpty() && !m_breaking);
    if (LineBreak->toolTip() != breakTip) {
        LineBreak->setToolTip(breakTip);
    }
}

void LineStrip::showKnown(QAbstractButton *widget, ModemLine line, bool known)
{
    const QString caption = LineTexts::NameOf(line);
    const QString text = known ? caption : LineTexts::UnknownCaption.arg(caption);
    if (widget->text() == text) {
        return;
    }
    widget->setText(text);
    widget->setAccessibleDescription(known ? QString() : LineTexts::UnknownState.text());
    if (IsOutputLine(line)) {
        widget->setProperty("lineKnown", known);
        // A dynamic property takes effect in the style sheet only when polished again.
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
    }
}

void LineStrip::refresh()
{
    display(m_lines.lines());
}
