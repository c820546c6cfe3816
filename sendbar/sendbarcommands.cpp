// The quick-send commands of the send bar: the list, its editing and the command
// file.
#include "linecontrols.h"
#include "quickcommanddialog.h"
#include "sendbar.h"
#include "sendbartexts.h"
#include "settings/appconfig.h"
#include "settings/wholefile.h"
#include "text/errorreport.h"
#include "text/localpath.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>

#include <algorithm>
#include <cerrno>

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
        m_config.report(this, m_config.setQuickCommands(stored));
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

Result<QString> SendBar::importCommands(const QString &path)
{
    // A command file is a few kilobytes; one far larger is not one, and a FIFO or
    // device is refused without waiting on it.
    constexpr std::size_t kLargest = std::size_t { 4 } << 20;
    const std::string where = ToLocal(QDir::toNativeSeparators(path));
    Result<std::string> text = ReadRegularFile(LocalPath(path), kLargest + 1, FileAccess::Read);
    if (!text) {
        return Status(text.status().kind(), where + ": " + text.status().reason());
    }
    if (text->size() > kLargest) {
        return Status::FromErrno(ErrorKind::Invalid, EFBIG, where);
    }
    const CommandFile read = ParseCommandFile(*text);
    std::vector<QuickCommand> commands = m_commands;
    commands.insert(commands.end(), read.commands.begin(), read.commands.end());
    setCommands(std::move(commands), static_cast<int>(m_commands.size()));
    QString report = SendBarTexts::ImportDone.arg(read.commands.size());
    if (read.badLines > 0) {
        report += QLatin1Char('\n') + SendBarTexts::ImportBadLines.arg(read.badLines);
        for (const CommandFileProblem &problem : read.problems) {
            report += QLatin1Char('\n')
                + SendBarTexts::ImportBadLine.arg(problem.line)
                      .arg(QString::fromStdString(problem.status.reason()));
        }
        if (read.badLines > read.problems.size()) {
            report += QLatin1Char('\n')
                + SendBarTexts::ImportMoreBadLines.arg(read.badLines - read.problems.size());
        }
    }
    return report;
}

Status SendBar::exportCommands(const QString &path) const
{
    const Status written = ReplaceFileAtomically(LocalPath(path), FormatCommandFile(m_commands));
    if (!written) {
        return { written.kind(),
            ToLocal(QDir::toNativeSeparators(path)) + ": " + written.reason() };
    }
    return {};
}

void SendBar::importFromFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, SendBarTexts::ImportTitle, QString(), SendBarTexts::FileFilter);
    if (path.isEmpty()) {
        return;
    }
    const Result<QString> report = importCommands(path);
    if (!report) {
        ShowErrorReport(this, report.status());
        return;
    }
    QMessageBox::information(this, SendBarTexts::ImportTitle, *report);
}

void SendBar::exportToFile()
{
    const QString path = QFileDialog::getSaveFileName(
        this, SendBarTexts::ExportTitle, QString(), SendBarTexts::FileFilter);
    if (path.isEmpty()) {
        return;
    }
    ShowErrorReport(this, exportCommands(path));
}
