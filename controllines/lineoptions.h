#pragma once

#include "serial/controllines.h"

#include <QDialog>
#include <QWidget>

class AppConfig;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The options behind the port tab's 控制线… button: DTR and RTS at open, the pulse
// and break lengths, and the RS-485 settings written at open. RS-485 is offered
// only when the open device answers for it; otherwise the group is greyed with the
// reason. Its OK keeps the values for the settings dialog's OK; Cancel drops them.
class LineOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    LineOptionsDialog(ControlLines &lines, QWidget *parent);

    // Shows `options` and the lengths, and asks the device about RS-485.
    void setValues(const OpenLineOptions &options, int pulseMs, int breakMs);
    OpenLineOptions values(FlowControl flow) const;
    int pulseMs() const;
    int breakMs() const;

    QComboBox *LineDtrAtOpen = nullptr;
    QComboBox *LineRtsAtOpen = nullptr;
    QSpinBox *LinePulseMs = nullptr;
    QSpinBox *LineBreakMs = nullptr;
    QGroupBox *LineRs485 = nullptr; // checkable: write these at open
    QCheckBox *LineRs485Enabled = nullptr;
    QCheckBox *LineRs485RtsOnSend = nullptr;
    QCheckBox *LineRs485RtsAfterSend = nullptr;
    QSpinBox *LineRs485DelayBefore = nullptr;
    QSpinBox *LineRs485DelayAfter = nullptr;
    QCheckBox *LineRs485RxDuringTx = nullptr;

private:
    ControlLines &m_lines;
};

// The row in the settings dialog's port tab: flow control (LineFlow) and the
// button (LineOptions) that opens LineOptionsDialog. What it shows is loaded from
// byteway.conf whenever the window it sits in is shown; save() keeps it there.
class LineOptionsRow : public QWidget
{
    Q_OBJECT

public:
    LineOptionsRow(AppConfig &config, ControlLines &lines, QWidget *parent);

    void load();
    // The options as the controls show them (not yet stored).
    OpenLineOptions options() const;
    int pulseMs() const { return m_pulseMs; }
    int breakMs() const { return m_breakMs; }
    void save();

    QLabel *LineFlowLabel = nullptr;
    QComboBox *LineFlow = nullptr;
    QPushButton *LineOptions = nullptr;
    LineOptionsDialog *Dialog = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openDialog();

    AppConfig &m_config;
    OpenLineOptions m_options;
    int m_pulseMs = 100;
    int m_breakMs = 250;
};
