#include "sequencewindow.h"

#include "automationfiles.h"
#include "automationstore.h"
#include "automationtexts.h"
#include "sequencereport.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { StepColumn, TextColumn, ResultColumn, TimeColumn, DetailColumn, ColumnCount };

QString VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Passed:
        return AutomationTexts::VerdictPassed;
    case Verdict::Failed:
        return AutomationTexts::VerdictFailed;
    case Verdict::CouldNotRun:
        return AutomationTexts::VerdictCouldNotRun;
    case Verdict::Stopped:
    case Verdict::Running:
        break;
    }
    return AutomationTexts::VerdictStopped;
}

QPushButton *Button(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(text);
    return button;
}

} // namespace

SequenceWindow::SequenceWindow(AutomationStore &store, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
{
    setObjectName(QStringLiteral("SequenceWindow"));
    setWindowTitle(AutomationTexts::SequencesCaption);
    m_results = new QTableWidget(0, ColumnCount, this);
    m_results->setObjectName(QStringLiteral("SequenceResults"));
    m_results->setAccessibleName(AutomationTexts::Steps);
    m_results->setHorizontalHeaderLabels({ AutomationTexts::Step, AutomationTexts::Steps,
        AutomationTexts::Result, AutomationTexts::Time, AutomationTexts::Detail });
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->horizontalHeader()->setStretchLastSection(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("SequenceText"));
    m_text->setAccessibleName(AutomationTexts::FileText);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("SequenceStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_results);
    split->addWidget(m_text);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeButtons());
    layout->addWidget(m_status);
    layout->addWidget(split, 1);
    resize(760, 520);

    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &SequenceWindow::refresh);
    connect(&m_store, &AutomationStore::changed, this, &SequenceWindow::showSequences);
    showSequences();
}

SequenceWindow::~SequenceWindow()
{
    stopRun();
}

QWidget *SequenceWindow::makeButtons()
{
    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(AutomationTexts::Sequence, bar);
    m_choice = new QComboBox(bar);
    m_choice->setObjectName(QStringLiteral("SequenceChoice"));
    m_choice->setAccessibleName(AutomationTexts::Sequence);
    label->setBuddy(m_choice);
    m_start = Button(AutomationTexts::Start, "SequenceStart", bar);
    m_stop = Button(AutomationTexts::Stop, "SequenceStop", bar);
    m_stop->setEnabled(false);
    auto *apply = Button(AutomationTexts::Apply, "SequenceApply", bar);
    auto *importButton = Button(AutomationTexts::Import, "SequenceImport", bar);
    auto *exportButton = Button(AutomationTexts::Export, "SequenceExport", bar);
    row->addWidget(label);
    row->addWidget(m_choice, 1);
    for (QPushButton *button : { m_start, m_stop, apply, importButton, exportButton }) {
        row->addWidget(button);
    }
    connect(m_start, &QPushButton::clicked, this, &SequenceWindow::startRun);
    connect(m_stop, &QPushButton::clicked, this, &SequenceWindow::stopRun);
    connect(apply, &QPushButton::clicked, this, &SequenceWindow::apply);
    connect(importButton, &QPushButton::clicked, this,
        [this] { ImportAutomationFile(this, m_store, m_status); });
    connect(exportButton, &QPushButton::clicked, this,
        [this] { ExportAutomationFile(this, m_store, m_status); });
    return bar;
}

void SequenceWindow::showSequences()
{
    m_choice->clear();
    for (const Sequence &sequence : m_store.set().sequences) {
        m_choice->addItem(QString::fromStdString(sequence.name));
    }
    m_text->setPlainText(m_store.sequencesText());
}

void SequenceWindow::apply()
{
    ShowApplied(m_store.applySequences(m_text->toPlainText()), m_store, m_status);
}

void SequenceWindow::startRun()
{
    const int index = m_choice->currentIndex();
    if (m_runner || index < 0
        || static_cast<std::size_t>(index) >= m_store.set().sequences.size()) {
        if (!m_runner) {
            m_status->setText(AutomationTexts::NoSequence);
        }
        return;
    }
    m_running = m_store.set().sequences[static_cast<std::size_t>(index)];
    QString why;
    m_runner = makeRunner ? makeRunner(m_running, why) : nullptr;
    if (!m_runner) {
        m_status->setText(why);
        return;
    }
    m_results->setRowCount(0);
    m_runner->Start();
    m_start->setEnabled(false);
    m_stop->setEnabled(true);
    m_poll.start();
}

void SequenceWindow::stopRun()
{
    if (m_runner) {
        m_runner->Stop();
        m_runner->Wait();
        refresh();
    }
}

void SequenceWindow::refresh()
{
    if (!m_runner) {
        return;
    }
    const SequenceProgress progress = m_runner->progress();
    showResults(progress);
    if (progress.verdict == Verdict::Running) {
        m_status->setText(AutomationTexts::RunningStep.text()
                              .arg(progress.step + 1)
                              .arg(progress.stepSeconds, 0, 'f', 1)
                              .arg(QString::fromStdString(StepLabel(m_running, progress.step))));
        return;
    }
    m_runner->Wait();
    m_runner.reset();
    m_poll.stop();
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
    m_status->setText(AutomationTexts::Summary.text()
                          .arg(VerdictText(progress.verdict))
                          .arg(progress.passed)
                          .arg(progress.failed)
                          .arg(progress.seconds, 0, 'f', 3)
                          .arg(QString::fromStdString(progress.reason)));
    if (finished) {
        finished();
    }
}

void SequenceWindow::showResults(const SequenceProgress &progress)
{
    const int shown = m_results->rowCount();
    m_results->setRowCount(static_cast<int>(progress.results.size()));
    for (int row = shown; row < m_results->rowCount(); ++row) {
        const StepResult &result = progress.results[static_cast<std::size_t>(row)];
        const QString texts[ColumnCount] = { QString::number(result.step + 1),
            QString::fromStdString(StepLabel(m_running, result.step)),
            result.passed ? AutomationTexts::StepPassed.text() : AutomationTexts::StepFailed.text(),
            QString::number(result.seconds, 'f', 3), QString::fromStdString(result.detail) };
        for (int column = 0; column < ColumnCount; ++column) {
            m_results->setItem(row, column, new QTableWidgetItem(texts[column]));
        }
    }
    if (m_results->rowCount() > shown) {
        m_results->scrollToBottom();
    }
}
