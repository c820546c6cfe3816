#pragma once

#include "sequencerunner.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class AutomationStore;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// 工具 → 序列: runs a sequence on the open port, showing the step going on and its
// time, each step's result and the verdict with the summary; the sequences' text
// with apply, import and export.
class SequenceWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SequenceWindow(AutomationStore &store, QWidget *parent = nullptr);
    ~SequenceWindow() override;

    // A runner of `sequence` on the program's port, or none (the reason shown) when
    // the port cannot be used. Set by the main window.
    std::function<std::unique_ptr<SequenceRunner>(const Sequence &sequence, QString &why)>
        makeRunner;
    // Called when a run ends (the port may be handed back).
    std::function<void()> finished;

    void startRun();
    void stopRun();
    bool isRunning() const { return m_runner != nullptr; }

private:
    QWidget *makeButtons();
    void showSequences();
    void refresh();
    void showResults(const SequenceProgress &progress);
    void apply();

    AutomationStore &m_store;
    QComboBox *m_choice = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_status = nullptr;
    QTableWidget *m_results = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QTimer m_poll;
    Sequence m_running;
    std::unique_ptr<SequenceRunner> m_runner;
};
