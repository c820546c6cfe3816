#include "triggerwindow.h"

#include "automationfiles.h"
#include "automationstore.h"
#include "automationtexts.h"
#include "triggercontroller.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column {
    NameColumn,
    MatchColumn,
    ReplyColumn,
    MatchedColumn,
    FiredColumn,
    StateColumn,
    ColumnCount
};

QPushButton *Button(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(text);
    return button;
}

} // namespace

TriggerWindow::TriggerWindow(AutomationStore &store, TriggerController &controller, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("TriggerWindow"));
    setWindowTitle(AutomationTexts::TriggersCaption);
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("TriggerRules"));
    m_table->setAccessibleName(AutomationTexts::Rules);
    m_table->setHorizontalHeaderLabels(
        { AutomationTexts::Name, AutomationTexts::Match, AutomationTexts::Reply,
            AutomationTexts::Matched, AutomationTexts::Fired, AutomationTexts::State });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("TriggerText"));
    m_text->setAccessibleName(AutomationTexts::FileText);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("TriggerStatus"));
    m_status->setWordWrap(true);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    split->addWidget(m_text);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeButtons());
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    resize(720, 480);

    connect(&m_store, &AutomationStore::changed, this, &TriggerWindow::showRules);
    connect(&m_controller, &TriggerController::switched, m_switch, &QPushButton::setChecked);
    connect(&m_controller, &TriggerController::message, m_status, &QLabel::setText);
    connect(&m_refresh, &QTimer::timeout, this, &TriggerWindow::refreshCounts);
    m_refresh.start(200);
    showRules();
}

QWidget *TriggerWindow::makeButtons()
{
    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_switch = Button(AutomationTexts::TurnOn, "TriggerSwitch", bar);
    m_switch->setCheckable(true);
    m_switch->setChecked(m_controller.isOn());
    auto *apply = Button(AutomationTexts::Apply, "TriggerApply", bar);
    auto *resume = Button(AutomationTexts::Resume, "TriggerResume", bar);
    auto *importButton = Button(AutomationTexts::Import, "TriggerImport", bar);
    auto *exportButton = Button(AutomationTexts::Export, "TriggerExport", bar);
    for (QPushButton *button : { m_switch, apply, resume, importButton, exportButton }) {
        row->addWidget(button);
    }
    row->addStretch(1);
    connect(m_switch, &QPushButton::clicked, &m_controller, &TriggerController::setOn);
    connect(apply, &QPushButton::clicked, this, &TriggerWindow::apply);
    connect(resume, &QPushButton::clicked, this, [this] {
        m_controller.resumeAll();
        refreshCounts();
    });
    connect(importButton, &QPushButton::clicked, this, &TriggerWindow::importFile);
    connect(exportButton, &QPushButton::clicked, this, &TriggerWindow::exportFile);
    return bar;
}

void TriggerWindow::showRules()
{
    const std::vector<TriggerRule> &rules = m_store.set().rules;
    m_text->setPlainText(m_store.rulesText());
    m_table->setRowCount(static_cast<int>(rules.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const TriggerRule &rule = rules[static_cast<std::size_t>(row)];
        m_table->setItem(row, NameColumn, new QTableWidgetItem(QString::fromStdString(rule.name)));
        m_table->setItem(row, MatchColumn,
            new QTableWidgetItem(QString::fromStdString(PatternText(rule.match))));
        m_table->setItem(row, ReplyColumn,
            new QTableWidgetItem(QString::fromStdString(PayloadText(rule.reply))));
        for (const int column : { MatchedColumn, FiredColumn, StateColumn }) {
            m_table->setItem(row, column, new QTableWidgetItem);
        }
    }
    refreshCounts();
}

void TriggerWindow::refreshCounts()
{
    const std::vector<TriggerRule> &rules = m_store.set().rules;
    for (int row = 0; row < m_table->rowCount() && static_cast<std::size_t>(row) < rules.size();
         ++row) {
        const TriggerEngine::Counts counts = m_controller.counts(static_cast<std::size_t>(row));
        m_table->item(row, MatchedColumn)->setText(QString::number(counts.matched));
        m_table->item(row, FiredColumn)->setText(QString::number(counts.fired));
        const QString state = !rules[static_cast<std::size_t>(row)].enabled
            ? AutomationTexts::Disabled.text()
            : counts.paused ? AutomationTexts::Paused.text()
            : counts.done   ? AutomationTexts::Done.text()
                            : AutomationTexts::Active.text();
        m_table->item(row, StateColumn)->setText(state);
    }
}

void TriggerWindow::apply()
{
    ShowApplied(m_store.applyRules(m_text->toPlainText()), m_store, m_status);
}

void TriggerWindow::importFile()
{
    ImportAutomationFile(this, m_store, m_status);
}

void TriggerWindow::exportFile()
{
    ExportAutomationFile(this, m_store, m_status);
}
