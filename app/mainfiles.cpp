// Sending and receiving files from the 文件 menu: the dialogs, the port handed to
// the transfer while it runs, the header line in the document and the received
// files given their names.

#include "Main.h"
#include "document/ChildWin.h"
#include "maintexts.h"
#include "porthold.h"
#include "send/senddata.h"
#include "send/sendui.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "settings/option.h"
#include "text/codepage.h"
#include "text/localpath.h"
#include "text/notation.h"
#include "textview/richedit.h"
#include "transfer/filedialogs.h"
#include "transfer/transferlink.h"
#include "transfer/transferprogress.h"
#include "transfer/transfertexts.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>

namespace {

// Files up to this size may be echoed byte by byte; a longer echo would bury the
// document.
constexpr qint64 kEchoLimit = 4096;

QString ReasonOf(const Status &status)
{
    return QString::fromStdString(status.reason());
}

// "Sending: file <name> (<n> bytes)" in the active window, as a 发送 header; with
// `echo`, the file's bytes follow in the window's notation.
void WriteFileHeader(TMainForm &form, const QString &path, bool echo)
{
    TMDIChild *child = form.ActiveChild();
    if (!child || !FrmOption) {
        return;
    }
    const QFileInfo info(path);
    RichEdit &doc = *child->RichEdit1;
    WriteSendHeader(doc, *FrmOption);
    doc.InsertAtCaret(
        ToCp936(QStringLiteral("file %1 (%2 bytes)").arg(info.fileName()).arg(info.size())));
    if (!echo || info.size() > kEchoLimit) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const Notation notation = NotationOfCombo(*form.ComboDataType);
    std::string items;
    char number[8];
    for (const char c : file.readAll()) {
        const auto byte = static_cast<uint8_t>(c);
        if (notation == Notation::Chars) {
            items += ByteAsCharacter(byte);
            continue;
        }
        std::snprintf(number, sizeof number, notation == Notation::Hex ? "%02X " : "%d ", byte);
        items += number;
    }
    doc.AppendLine(items);
}

// "name (bytes, seconds, rate)": what a finished transfer leaves in the message
// history.
QString FiguresOf(const QString &names, int64_t bytes, double seconds)
{
    const double rate = seconds > 0 ? double(bytes) / seconds : 0;
    return TransferTexts::Figures.text()
        .arg(names)
        .arg(bytes)
        .arg(seconds, 0, 'f', 1)
        .arg(qRound64(rate));
}

// Runs `work` on the transfer thread with the port owned by it, behind the
// progress dialog; `after` runs on this thread at the end, the port still held,
// with how it went and how long it took.
void StartTransfer(TMainForm &form, TransferJob::Work work, bool sending,
    std::function<void(const Status &, double seconds, int64_t bytes)> after)
{
    auto hold = std::make_shared<TransferHold>(form);
    auto job = std::make_unique<TransferJob>(std::make_unique<PortLink>(Port), std::move(work));
    auto *dialog = new TransferProgressDialog(std::move(job), sending, &form);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(dialog, &TransferProgressDialog::ended, &form,
        [dialog, hold, clock, after = std::move(after)](const Status &status) mutable {
            after(status, double(clock->elapsed()) / 1000.0, dialog->job().progress.done.load());
            hold.reset();
        });
    dialog->open();
}

// Gives each received file its name in `folder`, asking before one replaces a
// file that is there. The names given; what went wrong goes to `failures`.
QStringList CommitAll(QWidget *parent, const std::vector<ReceivedFile> &files,
    const QString &folder, QStringList &failures, int64_t &bytes)
{
    QStringList names;
    const std::filesystem::path target = LocalPath(folder);
    for (ReceivedFile file : files) {
        bool replace = false;
        const QString name = QString::fromStdString(file.name);
        if (QFileInfo::exists(QDir(folder).filePath(name))) {
            const QString other = QString::fromStdString(FreeName(target, file.name));
            replace = QMessageBox::question(parent, TransferTexts::Title,
                          TransferTexts::Exists.text().arg(name, other))
                == QMessageBox::Yes;
            if (!replace) {
                file.name = other.toStdString();
            }
        }
        if (const Status committed = CommitReceived(file, target, replace); !committed) {
            std::error_code ignored;
            std::filesystem::remove(file.temporary, ignored);
            failures << ReasonOf(committed);
            continue;
        }
        const QString given = QString::fromStdString(file.name);
        if (file.isShort()) {
            // Kept, as what came may be of use, but not reported as complete.
            failures
                << TransferTexts::ShortFile.text().arg(given).arg(file.declared).arg(file.size);
        }
        names << given;
        bytes += file.size;
    }
    return names;
}

} // namespace

void TMainForm::SetUpFiles()
{
    connect(FileSendItem, &QAction::triggered, this, &TMainForm::FileSendItemClick);
    connect(FileReceiveItem, &QAction::triggered, this, &TMainForm::FileReceiveItemClick);
}

void TMainForm::FileSendItemClick()
{
    if (PortHold::Held(*this)) {
        return;
    }
    if (!Port.isOpen()) {
        showStateMessage(TransferTexts::PortClosed);
        return;
    }
    FileSendDialog dialog(FrmOption ? FrmOption->FTwoCharDelay.load() : 0, this);
    {
        const AppConfig config;
        dialog.offer(config.sendFilePath(), config.sendFileProtocol());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const FileSendChoice choice = dialog.choice();
    const std::filesystem::path path = LocalPath(choice.path);
    WriteFileHeader(*this, choice.path, choice.echo && !choice.protocol);
    TransferJob::Work work;
    if (choice.protocol) {
        work = [path, kind = *choice.protocol](
                   TransferLink &link, InterruptibleWait &, TransferProgress &progress) {
            return ModemSend(link, kind, { path }, ModemTimeouts(), progress);
        };
    } else {
        work = [path, pacing = choice.pacing](
                   TransferLink &link, InterruptibleWait &wait, TransferProgress &progress) {
            return RawSend(link, path, pacing, wait, progress);
        };
    }
    AppConfig config;
    config.report(this, config.setSendFile(choice.path, dialog.protocolName()));
    StartTransfer(*this, std::move(work), true,
        [this, name = QFileInfo(choice.path).fileName()](
            const Status &status, double seconds, int64_t bytes) {
            showStateMessage(status.ok()
                    ? TransferTexts::Done.text().arg(FiguresOf(name, bytes, seconds))
                    : TransferTexts::Failed.text().arg(ReasonOf(status)));
        });
}

void TMainForm::FileReceiveItemClick()
{
    if (PortHold::Held(*this)) {
        return;
    }
    if (!Port.isOpen()) {
        showStateMessage(TransferTexts::PortClosed);
        return;
    }
    FileReceiveDialog dialog(QDir::currentPath(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const FileReceiveChoice choice = dialog.choice();
    auto received = std::make_shared<std::vector<ReceivedFile>>();
    const std::filesystem::path folder = LocalPath(choice.folder);
    TransferJob::Work work
        = [folder, received, kind = choice.protocol, name = choice.xmodemName.toStdString()](
              TransferLink &link, InterruptibleWait &, TransferProgress &progress) {
              return ModemReceive(link, kind, folder, name, ModemTimeouts(), progress, *received);
          };
    StartTransfer(*this, std::move(work), false,
        [this, received, folderText = choice.folder](
            const Status &status, double seconds, int64_t) {
            // Files that came complete are kept even when a later one of the batch
            // failed; the batch is complete only when nothing failed.
            QStringList failures;
            if (!status.ok()) {
                failures << ReasonOf(status);
            }
            int64_t bytes = 0;
            const QStringList names = CommitAll(this, *received, folderText, failures, bytes);
            const QString figures = FiguresOf(names.join(QStringLiteral(", ")), bytes, seconds);
            if (failures.isEmpty()) {
                showStateMessage(TransferTexts::Done.text().arg(figures));
                return;
            }
            QString message = TransferTexts::Failed.text().arg(failures.join(QStringLiteral("; ")));
            if (!names.isEmpty()) {
                message += QStringLiteral("; ") + TransferTexts::ReceivedPart.text().arg(figures);
            }
            showStateMessage(message);
        });
}
