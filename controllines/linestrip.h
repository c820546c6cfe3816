#pragma once

#include "serial/controllines.h"

#include <QWidget>

#include <array>

class QAbstractButton;
class QAction;
class QCheckBox;
class QTimer;
class QToolButton;

// The control-line strip of the main window: DTR and RTS as toggle buttons (with a
// pulse in their menus), the break button, and CTS, DSR, DCD and RI as indicators.
// Everything it shows is read back from the port every 100 ms and after each action,
// never assumed from the click. A control the port cannot carry is greyed with the
// system's reason in its tooltip; nothing here ever opens a message box.
//
// A pulse turns the line to the other state and back after pulseMs; a break holds
// the transmit line for breakMs. Both end on a timer, so the window never waits.
// A line whose state the port cannot tell (a network server that has not reported
// it) shows neither on nor off: a dashed frame, a question mark, and why in its
// tooltip; the indicators are then partly checked.
class LineStrip : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 100;

    explicit LineStrip(ControlLines &lines, QWidget *parent = nullptr);

    void setPulseMs(int ms);
    void setBreakMs(int ms);
    int pulseMs() const { return m_pulseMs; }
    int breakMs() const { return m_breakMs; }

    // Reads the lines again and shows them.
    void refresh();
    // Pulses DTR or RTS (ignored for the inputs and while a pulse of it runs).
    void pulse(ModemLine line);
    void sendBreak();
    bool pulsing(ModemLine line) const;
    bool breaking() const { return m_breaking; }

    QToolButton *LineDTR = nullptr;
    QToolButton *LineRTS = nullptr;
    QToolButton *LineBreak = nullptr;
    QAction *LineDTRPulse = nullptr;
    QAction *LineRTSPulse = nullptr;
    QCheckBox *LineCTS = nullptr;
    QCheckBox *LineDSR = nullptr;
    QCheckBox *LineDCD = nullptr;
    QCheckBox *LineRI = nullptr;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void toggled(ModemLine line, bool on);
    void endPulse(ModemLine line, bool restore);
    void endBreak();
    void display(const Result<ModemLines> &lines);
    QString hintOf(ModemLine line) const;
    // Marks a line the port does not know: its caption, look and description.
    static void showKnown(QAbstractButton *widget, ModemLine line, bool known);

    ControlLines &m_lines;
    QTimer *m_poll = nullptr;
    int m_pulseMs = 100;
    int m_breakMs = 250;
    bool m_pulsingDtr = false;
    bool m_pulsingRts = false;
    bool m_breaking = false;
    // Why the last break was refused; cleared when the port opens again.
    QString m_breakRefusal;
    bool m_portWasOpen = false;
};
