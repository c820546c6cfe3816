#include "filedialogs.h"

#include "transfertexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

struct ProtocolEntry
{
    const char *name; // the protocols' own names stay untranslated
    ModemKind kind;
};
constexpr ProtocolEntry kProtocols[] = {
    { "XMODEM", ModemKind::XmodemChecksum },
    { "XMODEM-CRC", ModemKind::XmodemCrc },
    { "XMODEM-1K", ModemKind::Xmodem1k },
    { "YMODEM", ModemKind::Ymodem },
};

QSpinBox *NumberField(QWidget *parent, const char *name, int maximum, int value)
{
    auto *field = new QSpinBox(parent);
    field->setObjectName(QLatin1String(name));
    field->setRange(0, maximum);
    field->setValue(value);
    return field;
}

// A line edit with a browse button beside it.
QWidget *PathRow(QWidget *parent, QLineEdit *&edit, const char *name,
    const std::function<QString(const QString &)> &browse)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(row);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(280);
    auto *button = new QPushButton(TransferTexts::Browse, row);
    button->setObjectName(QStringLiteral("BrowseButton"));
    layout->addWidget(edit);
    layout->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, row, [edit, browse] {
        const QString chosen = browse(edit->text());
        if (!chosen.isEmpty()) {
            edit->setText(QDir::toNativeSeparators(chosen));
        }
    });
    return row;
}

QDialogButtonBox *Buttons(QDialog *dialog)
{
    // Qt's own button texts are not translated here: they come from the window's texts.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(TransferTexts::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(TransferTexts::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

FileSendDialog::FileSendDialog(int gapUs, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FileSendDialog"));
    setWindowTitle(TransferTexts::SendCaption);
    auto *form = new QFormLayout(this);
    form->addRow(
        TransferTexts::FileLabel, PathRow(this, m_path, "FilePath", [this](const QString &start) {
            return QFileDialog::getOpenFileName(this, TransferTexts::ChooseFile, start);
        }));
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("ProtocolCombo"));
    m_protocol->addItem(TransferTexts::Raw);
    for (const ProtocolEntry &entry : kProtocols) {
        m_protocol->addItem(QString::fromLatin1(entry.name));
    }
    form->addRow(TransferTexts::ProtocolLabel, m_protocol);
    m_gap = NumberField(this, "GapEdit", 10'000'000, std::max(0, gapUs));
    form->addRow(TransferTexts::GapLabel, m_gap);
    m_chunk = NumberField(this, "ChunkEdit", 1 << 20, 0);
    form->addRow(TransferTexts::ChunkLabel, m_chunk);
    m_chunkDelay = NumberField(this, "ChunkDelayEdit", 600'000, 0);
    form->addRow(TransferTexts::ChunkDelayLabel, m_chunkDelay);
    m_waitPrompt = new QCheckBox(TransferTexts::WaitPrompt, this);
    m_waitPrompt->setObjectName(QStringLiteral("WaitPromptCheck"));
    form->addRow(m_waitPrompt);
    m_prompt = new QLineEdit(this);
    m_prompt->setObjectName(QStringLiteral("PromptEdit"));
    form->addRow(TransferTexts::PromptLabel, m_prompt);
    m_promptTimeout = NumberField(this, "PromptTimeoutEdit", 600'000, 1000);
    form->addRow(TransferTexts::PromptTimeoutLabel, m_promptTimeout);
    m_echo = new QCheckBox(TransferTexts::EchoSmall, this);
    m_echo->setObjectName(QStringLiteral("EchoCheck"));
    form->addRow(m_echo);
    form->addRow(Buttons(this));
    connect(m_protocol, &QComboBox::currentIndexChanged, this, &FileSendDialog::updateRawFields);
    connect(m_waitPrompt, &QCheckBox::toggled, this, &FileSendDialog::updateRawFields);
    updateRawFields();
}

void FileSendDialog::updateRawFields()
{
    const bool raw = m_protocol->currentIndex() == 0;
    for (QWidget *field : { static_cast<QWidget *>(m_gap), static_cast<QWidget *>(m_chunk),
             static_cast<QWidget *>(m_chunkDelay), static_cast<QWidget *>(m_waitPrompt),
             static_cast<QWidget *>(m_echo) }) {
        field->setEnabled(raw);
    }
    m_prompt->setEnabled(raw && m_waitPrompt->isChecked());
    m_promptTimeout->setEnabled(raw && m_waitPrompt->isChecked());
}

FileSendChoice FileSendDialog::choice() const
{
    FileSendChoice choice;
    choice.path = m_path->text();
    const int index = m_protocol->currentIndex();
    if (index > 0) {
        choice.protocol = kProtocols[index - 1].kind;
    }
    choice.pacing.gapUs = m_gap->value();
    choice.pacing.chunkSize = m_chunk->value();
    choice.pacing.chunkDelayMs = m_chunkDelay->value();
    choice.pacing.waitAfterLine = m_waitPrompt->isChecked();
    choice.pacing.prompt = m_prompt->text().toStdString();
    choice.pacing.promptTimeoutMs = m_promptTimeout->value();
    choice.echo = m_echo->isChecked();
    return choice;
}

void FileSendDialog::offer(const QString &path, const QString &protocol)
{
    m_path->setText(QDir::toNativeSeparators(path));
    const int index = m_protocol->findText(protocol, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    m_protocol->setCurrentIndex(protocol.isEmpty() || index < 1 ? 0 : index);
}

QString FileSendDialog::protocolName() const
{
    const int index = m_protocol->currentIndex();
    return index > 0 ? QString::fromLatin1(kProtocols[index - 1].name) : QString();
}

void FileSendDialog::accept()
{
    if (!QFileInfo(m_path->text()).isFile()) {
        QMessageBox::warning(this, TransferTexts::Title, TransferTexts::NoFile);
        return;
    }
    QDialog::accept();
}

FileReceiveDialog::FileReceiveDialog(const QString &folder, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FileReceiveDialog"));
    setWindowTitle(TransferTexts::ReceiveCaption);
    auto *form = new QFormLayout(this);
    form->addRow(TransferTexts::FolderLabel,
        PathRow(this, m_folder, "FolderPath", [this](const QString &start) {
            return QFileDialog::getExistingDirectory(this, TransferTexts::ChooseFolder, start);
        }));
    m_folder->setText(QDir::toNativeSeparators(folder));
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("ProtocolCombo"));
    for (const ProtocolEntry &entry : kProtocols) {
        m_protocol->addItem(QString::fromLatin1(entry.name));
    }
    m_protocol->setCurrentIndex(3);
    form->addRow(TransferTexts::ProtocolLabel, m_protocol);
    m_name = new QLineEdit(QStringLiteral("xmodem.bin"), this);
    m_name->setObjectName(QStringLiteral("XmodemName"));
    form->addRow(TransferTexts::NameLabel, m_name);
    form->addRow(Buttons(this));
    const auto update = [this] { m_name->setEnabled(m_protocol->currentIndex() != 3); };
    connect(m_protocol, &QComboBox::currentIndexChanged, this, update);
    update();
}

FileReceiveChoice FileReceiveDialog::choice() const
{
    return { m_folder->text(), kProtocols[m_protocol->currentIndex()].kind, m_name->text() };
}

void FileReceiveDialog::accept()
{
    if (m_folder->text().isEmpty() || !QFileInfo(m_folder->text()).isDir()) {
        QMessageBox::warning(this, TransferTexts::Title, TransferTexts::NoFolder);
        return;
    }
    QDialog::accept();
}
