#include "lineoptions.h"

#include "linetexts.h"
#include "settings/appconfig.h"
#include "settings/optiontexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *msBox(QWidget *parent, const char *name, int low, int high)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setSuffix(LineTexts::Milliseconds);
    return box;
}

QComboBox *atOpenBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    // In the order of LineAtOpen.
    box->addItems({ LineTexts::AtOpenLeave, LineTexts::AtOpenOn, LineTexts::AtOpenOff });
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &text)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

LineOptionsDialog::LineOptionsDialog(ControlLines &lines, QWidget *parent)
    : QDialog(parent)
    , m_lines(lines)
{
    setObjectName(QStringLiteral("LineOptionsDialog"));
    setWindowTitle(LineTexts::OptionsTitle);
    auto *form = new QFormLayout;
    LineDtrAtOpen = atOpenBox(this, "LineDtrAtOpen");
    LineRtsAtOpen = atOpenBox(this, "LineRtsAtOpen");
    LinePulseMs = msBox(this, "LinePulseMs", 1, 60000);
    LineBreakMs = msBox(this, "LineBreakMs", 1, 60000);
    form->addRow(LineTexts::DtrAtOpen.text(), LineDtrAtOpen);
    form->addRow(LineTexts::RtsAtOpen.text(), LineRtsAtOpen);
    form->addRow(LineTexts::PulseLength.text(), LinePulseMs);
    form->addRow(LineTexts::BreakLength.text(), LineBreakMs);

    LineRs485 = new QGroupBox(LineTexts::Rs485Group, this);
    LineRs485->setObjectName(QStringLiteral("LineRs485"));
    LineRs485->setCheckable(true);
    auto *rs485 = new QFormLayout(LineRs485);
    auto *apply = new QLabel(LineTexts::Rs485Apply, LineRs485);
    rs485->addRow(apply);
    LineRs485Enabled = checkBox(LineRs485, "LineRs485Enabled", LineTexts::Rs485Enabled);
    LineRs485RtsOnSend = checkBox(LineRs485, "LineRs485RtsOnSend", LineTexts::Rs485RtsOnSend);
    LineRs485RtsAfterSend
        = checkBox(LineRs485, "LineRs485RtsAfterSend", LineTexts::Rs485RtsAfterSend);
    LineRs485RxDuringTx = checkBox(LineRs485, "LineRs485RxDuringTx", LineTexts::Rs485RxDuringTx);
    LineRs485DelayBefore = msBox(LineRs485, "LineRs485DelayBefore", 0, 10000);
    LineRs485DelayAfter = msBox(LineRs485, "LineRs485DelayAfter", 0, 10000);
    rs485->addRow(LineRs485Enabled);
    rs485->addRow(LineRs485RtsOnSend);
    rs485->addRow(LineRs485RtsAfterSend);
    rs485->addRow(LineTexts::Rs485DelayBefore.text(), LineRs485DelayBefore);
    rs485->addRow(LineTexts::Rs485DelayAfter.text(), LineRs485DelayAfter);
    rs485->addRow(LineRs485RxDuringTx);

    // The settings dialog's own words for its buttons, rather than Qt's.
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(Texts::Text(Texts::kOk), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("LineOptionsOk"));
    buttons->addButton(Texts::Text(Texts::kCancel), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("LineOptionsCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LineRs485);
    layout->addWidget(buttons);
}

void LineOptionsDialog::setValues(const OpenLineOptions &options, int pulseMs, int breakMs)
{
    LineDtrAtOpen->setCurrentIndex(static_cast<int>(options.dtr));
    LineRtsAtOpen->setCurrentIndex(static_cast<int>(options.rts));
    LinePulseMs->setValue(pulseMs);
    LineBreakMs->setValue(breakMs);
    // What the device has now stands in for settings never stored.
    const Result<Rs485Settings> device = m_lines.rs485();
    const Rs485Settings shown = options.rs485 ? *options.rs485
        : device.ok()                         ? *device
                                              : Rs485Settings();
    LineRs485->setChecked(options.rs485.has_value());
    LineRs485Enabled->setChecked(shown.enabled);
    LineRs485RtsOnSend->setChecked(shown.rtsOnSend);
    LineRs485RtsAfterSend->setChecked(shown.rtsAfterSend);
    LineRs485DelayBefore->setValue(static_cast<int>(shown.delayBeforeSendMs));
    LineRs485DelayAfter->setValue(static_cast<int>(shown.delayAfterSendMs));
    LineRs485RxDuringTx->setChecked(shown.receiveDuringSend);
    const bool offered = device.ok();
    LineRs485->setEnabled(offered);
    const QString reason = offered ? QString()
        : device.status().kind() == ErrorKind::Invalid || device.status().kind() == ErrorKind::Lost
        ? LineTexts::PortClosed.text()
        : QString::fromLocal8Bit(device.status().reason().c_str());
    LineRs485->setToolTip(offered ? QString() : LineTexts::Rs485Unavailable.arg(reason));
}

OpenLineOptions LineOptionsDialog::values(FlowControl flow) const
{
    OpenLineOptions options;
    options.flow = flow;
    options.dtr = static_cast<LineAtOpen>(LineDtrAtOpen->currentIndex());
    options.rts = static_cast<LineAtOpen>(LineRtsAtOpen->currentIndex());
    // Settings the device was not asked about are not written to it.
    if (LineRs485->isEnabled() && LineRs485->isChecked()) {
        Rs485Settings rs485;
        rs485.enabled = LineRs485Enabled->isChecked();
        rs485.rtsOnSend = LineRs485RtsOnSend->isChecked();
        rs485.rtsAfterSend = LineRs485RtsAfterSend->isChecked();
        rs485.delayBeforeSendMs = static_cast<uint32_t>(LineRs485DelayBefore->value());
        rs485.delayAfterSendMs = static_cast<uint32_t>(LineRs485DelayAfter->value());
        rs485.receiveDuringSend = LineRs485RxDuringTx->isChecked();
        options.rs485 = rs485;
    }
    return options;
}

int LineOptionsDialog::pulseMs() const
{
    return LinePulseMs->value();
}

int LineOptionsDialog::breakMs() const
{
    return LineBreakMs->value();
}

LineOptionsRow::LineOptionsRow(AppConfig &config, ControlLines &lines, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
{
    setObjectName(QStringLiteral("LineOptionsRow"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    LineFlowLabel = new QLabel(LineTexts::FlowLabel, this);
    LineFlowLabel->setObjectName(QStringLiteral("LineFlowLabel"));
    LineFlow = new QComboBox(this);
    LineFlow->setObjectName(QStringLiteral("LineFlow"));
    // In the order of FlowControl.
    LineFlow->addItems({ LineTexts::FlowLeave, LineTexts::FlowNone, LineTexts::FlowRtsCts,
        LineTexts::FlowXonXoff });
    LineFlow->setToolTip(LineTexts::FlowHint);
    LineFlow->setAccessibleName(LineTexts::FlowLabel);
    LineFlowLabel->setBuddy(LineFlow);
    LineOptions = new QPushButton(LineTexts::OptionsButton, this);
    LineOptions->setObjectName(QStringLiteral("LineOptions"));
    LineOptions->setAutoDefault(false);
    // The columns of the tab's other rows: label, the field, then the button.
    row->setSpacing(0);
    LineFlowLabel->setFixedWidth(55);
    LineFlow->setFixedWidth(80);
    row->addWidget(LineFlowLabel);
    row->addWidget(LineFlow);
    row->addSpacing(8);
    row->addWidget(LineOptions, 1);
    // A window of the settings dialog's own, not a child of the tab page, whose
    // controls are the tab's alone.
    Dialog = new LineOptionsDialog(lines, parent ? parent->window() : nullptr);
    connect(LineOptions, &QPushButton::clicked, this, &LineOptionsRow::openDialog);
    window()->installEventFilter(this);
    load();
}

void LineOptionsRow::load()
{
    m_options = m_config.lineOptions();
    m_pulseMs = m_config.pulseMs();
    m_breakMs = m_config.breakMs();
    LineFlow->setCurrentIndex(static_cast<int>(m_options.flow));
}

OpenLineOptions LineOptionsRow::options() const
{
    OpenLineOptions options = m_options;
    options.flow = static_cast<FlowControl>(LineFlow->currentIndex());
    return options;
}

void LineOptionsRow::save()
{
    Status saved = m_config.setLineOptions(options());
    if (saved) {
        saved = m_config.setPulseMs(m_pulseMs);
    }
    if (saved) {
        saved = m_config.setBreakMs(m_breakMs);
    }
    m_config.report(window(), saved);
}

bool LineOptionsRow::eventFilter(QObject *watched, QEvent *event)
{
    // The settings dialog opens again: what a Cancel left behind goes.
    if (watched == window() && event->type() == QEvent::Show) {
        load();
    }
    return QWidget::eventFilter(watched, event);
}

void LineOptionsRow::openDialog()
{
    Dialog->setValues(options(), m_pulseMs, m_breakMs);
    if (Dialog->exec() != QDialog::Accepted) {
        return;
    }
    m_options = Dialog->values(options().flow);
    m_pulseMs = Dialog->pulseMs();
    m_breakMs = Dialog->breakMs();
}
