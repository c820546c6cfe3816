#include "quickcommanddialog.h"

#include "linecontrols.h"
#include "sendbartexts.h"
#include "text/cp936guard.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QuickCommandDialog::QuickCommandDialog(const QuickCommand &command, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("QuickCommandDialog"));
    setWindowTitle(SendBarTexts::DialogTitle);
    auto *form = new QFormLayout(this);
    m_name = new QLineEdit(QString::fromStdString(command.name), this);
    m_name->setObjectName(QStringLiteral("QuickCommandName"));
    m_mode = new QComboBox(this);
    m_mode->setObjectName(QStringLiteral("QuickCommandMode"));
    FillModes(m_mode);
    SelectValue(m_mode, static_cast<int>(command.mode));
    m_data = new QLineEdit(QString::fromStdString(command.data), this);
    m_data->setObjectName(QStringLiteral("QuickCommandData"));
    m_data->setMinimumWidth(260);
    GuardCp936(m_data, SendBarTexts::LineOutsideCp936);
    m_ending = new QComboBox(this);
    m_ending->setObjectName(QStringLiteral("QuickCommandEnding"));
    FillEndings(m_ending);
    SelectValue(m_ending, static_cast<int>(command.ending));
    m_checksum = new QComboBox(this);
    m_checksum->setObjectName(QStringLiteral("QuickCommandChecksum"));
    FillChecksums(m_checksum);
    SelectValue(m_checksum, static_cast<int>(command.checksum));
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("QuickCommandPreview"));
    m_preview->setWordWrap(true);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Qt's own button texts are not translated here: they come from the window's texts.
    m_buttons->button(QDialogButtonBox::Ok)->setText(SendBarTexts::Ok);
    m_buttons->button(QDialogButtonBox::Cancel)->setText(SendBarTexts::Cancel);

    form->addRow(SendBarTexts::Name, m_name);
    form->addRow(SendBarTexts::Mode, m_mode);
    form->addRow(SendBarTexts::Data, m_data);
    form->addRow(SendBarTexts::Ending, m_ending);
    form->addRow(SendBarTexts::Checksum, m_checksum);
    form->addRow(m_preview);
    form->addRow(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_name, &QLineEdit::textChanged, this, &QuickCommandDialog::check);
    connect(m_data, &QLineEdit::textChanged, this, &QuickCommandDialog::check);
    for (QComboBox *combo : { m_mode, m_ending, m_checksum }) {
        connect(combo, &QComboBox::currentIndexChanged, this, &QuickCommandDialog::check);
    }
    check();
}

QuickCommand QuickCommandDialog::command() const
{
    QuickCommand command;
    command.name = m_name->text().trimmed().toStdString();
    command.mode = ModeOf(*m_mode);
    command.data = m_data->text().toStdString();
    command.ending = EndingOf(*m_ending);
    command.checksum = ChecksumOf(*m_checksum);
    return command;
}

void QuickCommandDialog::check()
{
    const QuickCommand current = command();
    const LineCheck line = CheckCommandLine(current);
    MarkFault(m_data, line.start, line.bytes ? 0 : line.length, line.reason);
    const bool named = CheckCommand(QuickCommand { current.name, LineMode::Text, {} }).ok();
    if (!line.bytes) {
        m_preview->setText(SendBarTexts::NotSent.arg(line.reason));
    } else if (!named) {
        m_preview->setText(SendBarTexts::NameEmpty);
    } else {
        m_preview->setText(line.bytes->empty()
                ? SendBarTexts::PreviewNothing.text()
                : SendBarTexts::Preview.arg(QString::fromStdString(HexPreview(*line.bytes))));
    }
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(line.bytes.has_value() && named);
}
