#pragma once

#include <QTimer>
#include <QWidget>

class AutomationStore;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TriggerController;

// 工具 → 自动应答: the rules with how often each matched and fired, the switch that
// turns them all on or off, and the rules' text with apply, import and export.
class TriggerWindow : public QWidget
{
    Q_OBJECT
public:
    TriggerWindow(AutomationStore &store, TriggerController &controller, QWidget *parent = nullptr);

private:
    QWidget *makeButtons();
    void showRules();
    void refreshCounts();
    void apply();
    void importFile();
    void exportFile();

    AutomationStore &m_store;
    TriggerController &m_controller;
    QTableWidget *m_table = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QPushButton *m_switch = nullptr;
    QLabel *m_status = nullptr;
    QTimer m_refresh;
};
