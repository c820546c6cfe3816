// The quick-send commands of the send bar: the list, its editing and the command
// file.
#include "appconfig.h"
#include "errorreport.h"
#include "linecontrols.h"
#include "quickcommanddialog.h"
#include "sendbar.h"
#include "sendbartexts.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>

void SendBar::setCommands(std::vector<QuickCommand> commands, int current, bool store)
{
    m_commands = std::move(commands);
    m_list->clear();
    QStringList stored;
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        const QuickCommand &command = m_commands[i];
        QString text = QString::fromStdString(command.name);
        if (i < kShortcutCount) {
            const QKeySequence keys(
                Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + static_cast<int>(i)));
            text = keys.toString(QKeySequence::NativeText) + QStringLiteral("  ") + text;
        }
        auto *item = new QListWidgetItem(text, m_list);
        const LineCheck check = CheckCommandLine(command);
        item->setToolTip(check.bytes
                ? SendBarTexts::Preview.arg(QString::fromStdString(HexPreview(*check.bytes)))
                : SendBarTexts::NotSent.arg(check.reason));
        stored.append(QString::fromStdString(FormatCommand(command)));
    }
    if (!m_commands.empty()) {
        m_list->setCurrentRow(std::clamp(current, 0, static_cast<int>(m_commands.size()) - 1));
    }
    if (store) {
        m_config.setQuickCommands(stored);
    }
}

void SendBar::addCommand()
{
    QuickCommand command;
    command.mode = ModeOf(*m_mode);
    command.data = m_line->text().toStdString();
    command.ending = EndingOf(*m_ending);
    command.checksum = ChecksumOf(*m_checksum);
    QuickCommandDialog dialog(command, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::vector<QuickCommand> commands = m_commands;
    commands.push_back(dialog.command());
    setCommands(std::move(commands), static_cast<int>(m_commands.size()));
}

void SendBar::editCommand()
{
    const int row = m_list->currentRow();
    if (row < 0) {
        return;
    }
    QuickCommandDialog dialog(m_commands[static_cast<std::size_t>(row)], this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::vector<QuickCommand> commands = m_commands;
    commands[static_cast<std::size_t>(row)] = dialog.command();
    setCommands(std::move(commands), row);
}

void SendBar::removeCommand()
{
    const int row = m_list->currentRow();
    if (row < 0) {
        return;
    }
    std::vector<QuickCommand> commands = m_commands;
    commands.erase(commands.begin() + row);
    setCommands(std::move(commands), row);
}

void SendBar::moveCommand(int step)
{
    const int row = m_list->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= static_cast<int>(m_commands.size())) {
        return;
    }
    std::vector<QuickCommand> commands = m_commands;
    std::swap(commands[static_cast<std::size_t>(row)], commands[static_cast<std::size_t>(to)]);
    setCommands(std::move(commands), to);
}

void SendBar::showCommandMenu(const QPoint &position)
{
    const bool onItem = m_list->itemAt(position) != nullptr;
    if (onItem) {
        m_list->setCurrentItem(m_list->itemAt(position));
    }
    QMenu menu(this);
    menu.addAction(SendBarTexts::Add, this, &SendBar::addCommand);
    menu.addAction(SendBarTexts::Edit, this, &SendBar::editCommand)->setEnabled(onItem);
    menu.addAction(SendBarTexts::Remove, this, &SendBar::removeCommand)->setEnabled(onItem);
    menu.addAction(SendBarTexts::Up, this, [this] { moveCommand(-1); })->setEnabled(onItem);
    menu.addAction(SendBarTexts::Down, this, [this] { moveCommand(1); })->setEnabled(onItem);
    menu.exec(m_list->viewport()->mapToGlobal(position));
}

bool SendBar::importCommands(const QString &path, QString *report)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *report = file.errorString();
        return false;
    }
    const QByteArray text = file.readAll();
    const CommandFile read = ParseCommandFile(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    std::vector<QuickCommand> commands = m_commands;
    commands.insert(commands.end(), read.commands.begin(), read.commands.end());
    setCommands(std::move(commands), static_cast<int>(m_commands.size()));
    *report = SendBarTexts::ImportDone.arg(read.commands.size());
    if (!read.problems.empty()) {
        *report += QLatin1Char('\n') + SendBarTexts::ImportBadLines.arg(read.problems.size());
        for (const CommandFileProblem &problem : read.problems) {
            *report += QLatin1Char('\n')
                + SendBarTexts::ImportBadLine.arg(problem.line)
                      .arg(QString::fromStdString(problem.status.reason()));
        }
    }
    return true;
}

bool SendBar::exportCommands(const QString &path, QString *error) const
{
    const std::string text = FormatCommandFile(m_commands);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(text.data(), static_cast<qint64>(text.size()))
            != static_cast<qint64>(text.size())
        || !file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

void SendBar::importFromFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, SendBarTexts::ImportTitle, QString(), SendBarTexts::FileFilter);
    if (path.isEmpty()) {
        return;
    }
    QString report;
    if (!importCommands(path, &report)) {
        ShowErrorReport(this, report);
        return;
    }
    QMessageBox::information(this, SendBarTexts::ImportTitle, report);
}

void SendBar::exportToFile()
{
    const QString path = QFileDialog::getSaveFileName(
        this, SendBarTexts::Export, QString(), SendBarTexts::FileFilter);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!exportCommands(path, &error)) {
        ShowErrorReport(this, error);
    }
}
