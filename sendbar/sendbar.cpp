#include "sendbar.h"

#include "linecontrols.h"
#include "quickcommanddialog.h"
#include "sendbartexts.h"
#include "settings/appconfig.h"
#include "text/cp936guard.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace {

std::vector<std::string> ToStrings(const QStringList &list)
{
    std::vector<std::string> strings;
    strings.reserve(static_cast<std::size_t>(list.size()));
    for (const QString &text : list) {
        strings.push_back(text.toStdString());
    }
    return strings;
}

QComboBox *addCombo(QWidget *parent, QHBoxLayout *row, const char *name, const QString &label)
{
    auto *caption = new QLabel(label, parent);
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    caption->setBuddy(combo);
    row->addWidget(caption);
    row->addWidget(combo);
    return combo;
}

} // namespace

SendBar::SendBar(AppConfig &config, QWidget *parent)
    : QDockWidget(SendBarTexts::Title, parent)
    , m_config(config)
    , m_history(ToStrings(config.sendHistory()))
{
    setObjectName(QStringLiteral("SendBar"));
    // Floating, its shortcuts would follow another window's activation.
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    auto *inside = new QWidget(this);
    auto *layout = new QHBoxLayout(inside);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(createLineArea(), 3);
    layout->addWidget(createCommandArea(), 2);
    inside->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    setWidget(inside);
    createShortcuts();

    std::vector<QuickCommand> commands;
    for (const QString &line : config.quickCommands()) {
        Result<QuickCommand> command = ParseCommand(line.toStdString());
        if (command) {
            commands.push_back(std::move(*command));
        }
    }
    setCommands(std::move(commands), 0, false);
    updatePreview();
}

QWidget *SendBar::createLineArea()
{
    auto *area = new QWidget(this);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    auto *lineRow = new QHBoxLayout;
    m_line = new QLineEdit(area);
    m_line->setObjectName(QStringLiteral("SendLine"));
    m_line->setAccessibleName(SendBarTexts::LineName);
    m_line->setToolTip(SendBarTexts::LineHint);
    m_line->installEventFilter(this);
    m_line->setMaxLength(kLineLimit);
    GuardCp936(m_line, SendBarTexts::LineOutsideCp936);
    auto *send = new QPushButton(SendBarTexts::Send, area);
    send->setObjectName(QStringLiteral("SendLineButton"));
    send->setAutoDefault(false);
    m_sendButton = send;
    lineRow->addWidget(m_line, 1);
    lineRow->addWidget(send);
    column->addLayout(lineRow);

    auto *comboRow = new QHBoxLayout;
    m_mode = addCombo(area, comboRow, "SendLineMode", SendBarTexts::Mode);
    FillModes(m_mode);
    m_ending = addCombo(area, comboRow, "SendLineEnding", SendBarTexts::Ending);
    FillEndings(m_ending);
    m_checksum = addCombo(area, comboRow, "SendLineChecksum", SendBarTexts::Checksum);
    FillChecksums(m_checksum);
    m_checksum->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_checksum->setMinimumContentsLength(6);
    m_checksum->view()->setMinimumWidth(m_checksum->view()->sizeHintForColumn(0) + 8);
    comboRow->addStretch(1);
    column->addLayout(comboRow);

    m_preview = new QLabel(area);
    m_preview->setObjectName(QStringLiteral("SendLinePreview"));
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_preview);

    // The line's settings as last used; unknown values keep the defaults.
    const QStringList settings = m_config.sendLineSettings().split(QLatin1Char(' '));
    const auto key = [&settings](int i) { return settings.value(i).toStdString(); };
    SelectValue(m_mode, static_cast<int>(LineModeFromKey(key(0)).value_or(LineMode::Text)));
    SelectValue(m_ending, static_cast<int>(LineEndingFromKey(key(1)).value_or(LineEnding::CrLf)));
    SelectValue(m_checksum, static_cast<int>(ChecksumFromKey(key(2)).value_or(Checksum::None)));

    connect(m_line, &QLineEdit::returnPressed, this, &SendBar::sendLine);
    connect(send, &QPushButton::clicked, this, &SendBar::sendLine);
    connect(m_line, &QLineEdit::textEdited, this, [this] {
        m_history.Reset();
        // The edit drops what goes beyond its length without a word.
        if (m_line->text().size() >= kLineLimit) {
            emit message(SendBarTexts::LineCut.arg(kLineLimit));
        }
    });
    connect(m_line, &QLineEdit::textChanged, this, &SendBar::updatePreview);
    for (QComboBox *combo : { m_mode, m_ending, m_checksum }) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this] {
            updatePreview();
            saveLineSettings();
        });
    }
    return area;
}

QWidget *SendBar::createCommandArea()
{
    auto *area = new QWidget(this);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_list = new QListWidget(area);
    m_list->setObjectName(QStringLiteral("QuickSendList"));
    m_list->setAccessibleName(SendBarTexts::Commands);
    m_list->setToolTip(SendBarTexts::CommandsHint);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);
    // Four rows: the bar must leave the documents most of the window.
    m_list->setMaximumHeight(m_list->fontMetrics().height() * 4 + 2 * m_list->frameWidth() + 4);
    column->addWidget(m_list, 1);
    // Buttons, not a tool bar: Tab reaches each of them and none hides behind an
    // extension button. Two rows keep the column narrow.
    auto *buttons = new QGridLayout;
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setHorizontalSpacing(2);
    buttons->setVerticalSpacing(2);
    constexpr int kButtonsPerRow = 4;
    const auto tool = [this, area, buttons](const char *name, const QString &text) {
        auto *button = new QPushButton(text, area);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        const int at = static_cast<int>(m_commandButtons.size());
        buttons->addWidget(button, at / kButtonsPerRow, at % kButtonsPerRow);
        m_commandButtons.push_back(button);
        return button;
    };
    QPushButton *add = tool("QuickSendAdd", SendBarTexts::Add);
    add->setToolTip(SendBarTexts::AddHint);
    QPushButton *edit = tool("QuickSendEdit", SendBarTexts::Edit);
    QPushButton *remove = tool("QuickSendRemove", SendBarTexts::Remove);
    QPushButton *up = tool("QuickSendUp", SendBarTexts::Up);
    QPushButton *down = tool("QuickSendDown", SendBarTexts::Down);
    QPushButton *import = tool("QuickSendImport", SendBarTexts::Import);
    QPushButton *exporting = tool("QuickSendExport", SendBarTexts::Export);
    column->addLayout(buttons);

    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { sendCommand(m_list->row(item)); });
    connect(m_list, &QListWidget::customContextMenuRequested, this, &SendBar::showCommandMenu);
    connect(add, &QPushButton::clicked, this, &SendBar::addCommand);
    connect(edit, &QPushButton::clicked, this, &SendBar::editCommand);
    connect(remove, &QPushButton::clicked, this, &SendBar::removeCommand);
    connect(up, &QPushButton::clicked, this, [this] { moveCommand(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveCommand(1); });
    connect(import, &QPushButton::clicked, this, &SendBar::importFromFile);
    connect(exporting, &QPushButton::clicked, this, &SendBar::exportToFile);
    return area;
}

void SendBar::createShortcuts()
{
    for (int i = 0; i < kShortcutCount; ++i) {
        auto *action = new QAction(this);
        action->setObjectName(QStringLiteral("QuickSend%1").arg(i + 1));
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, i] { sendCommand(i); });
        addAction(action);
    }
}

void SendBar::updatePreview()
{
    const LineCheck check
        = CheckLine(m_line->text(), ModeOf(*m_mode), ChecksumOf(*m_checksum), EndingOf(*m_ending));
    if (!m_line->text().isEmpty()) {
        m_line->setPlaceholderText(QString());
    }
    if (check.bytes) {
        MarkFault(m_line, 0, 0, SendBarTexts::LineHint);
        m_preview->setStyleSheet(QString());
        const std::string_view bytes = *check.bytes;
        if (bytes.empty()) {
            m_preview->setText(SendBarTexts::PreviewNothing);
        } else if (bytes.size() <= kPreviewBytes) {
            m_preview->setText(
                SendBarTexts::Preview.arg(QString::fromStdString(HexPreview(bytes))));
        } else {
            // A label laid out over megabytes would stall every key typed.
            m_preview->setText(
                SendBarTexts::PreviewLong.arg(bytes.size())
                    .arg(QString::fromStdString(HexPreview(bytes.substr(0, kPreviewBytes)))));
        }
        return;
    }
    MarkFault(m_line, check.start, check.length, check.reason);
    m_preview->setStyleSheet(QStringLiteral("color: red"));
    m_preview->setText(SendBarTexts::NotSent.arg(check.reason));
}

bool SendBar::sendBytes(const std::string &bytes)
{
    return !bytes.empty() && m_send && m_send(bytes);
}

bool SendBar::sendLine()
{
    const QString text = m_line->text();
    const LineCheck check
        = CheckLine(text, ModeOf(*m_mode), ChecksumOf(*m_checksum), EndingOf(*m_ending));
    if (!check.bytes) {
        emit message(SendBarTexts::NotSent.arg(check.reason));
        return false;
    }
    if (check.bytes->empty()) {
        // An empty line without an ending: the field itself says why nothing went.
        m_line->setPlaceholderText(SendBarTexts::NothingToSend);
        emit message(SendBarTexts::NothingToSend);
        return false;
    }
    if (!sendBytes(*check.bytes)) {
        return false;
    }
    m_history.Add(text.toStdString());
    QStringList lines;
    for (const std::string &line : m_history.lines()) {
        lines.append(QString::fromStdString(line));
    }
    m_config.report(this, m_config.setSendHistory(lines));
    m_line->clear();
    return true;
}

bool SendBar::sendCommand(int row)
{
    if (row < 0 || row >= static_cast<int>(m_commands.size())) {
        return false;
    }
    const QuickCommand &command = m_commands[static_cast<std::size_t>(row)];
    const LineCheck check = CheckCommandLine(command);
    if (!check.bytes) {
        emit message(
            SendBarTexts::CommandNotSent.arg(QString::fromStdString(command.name), check.reason));
        return false;
    }
    return sendBytes(*check.bytes);
}

QList<QWidget *> SendBar::focusChain() const
{
    QList<QWidget *> chain { m_line, m_sendButton, m_mode, m_ending, m_checksum, m_list };
    for (QPushButton *button : m_commandButtons) {
        chain.append(button);
    }
    return chain;
}

void SendBar::focusLine()
{
    if (!isVisible()) {
        show();
    }
    m_line->setFocus(Qt::ShortcutFocusReason);
    m_line->selectAll();
}

bool SendBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        // The list's own keys for the buttons beside it.
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain
            = key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            sendCommand(m_list->currentRow());
            return true;
        }
        if (plain && key->key() == Qt::Key_Insert) {
            addCommand();
            return true;
        }
        if (plain && key->key() == Qt::Key_F2) {
            editCommand();
            return true;
        }
        if (plain && key->key() == Qt::Key_Delete) {
            removeCommand();
            return true;
        }
        if (key->modifiers() == Qt::AltModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveCommand(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    if (watched == m_line && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::NoModifier
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            recall(key->key() == Qt::Key_Up);
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void SendBar::recall(bool older)
{
    const std::optional<std::string> line
        = older ? m_history.Older(m_line->text().toStdString()) : m_history.Newer();
    if (line) {
        // setText, not an edit: the walk goes on.
        m_line->setText(QString::fromStdString(*line));
    }
}

void SendBar::saveLineSettings()
{
    const auto text = [](std::string_view key) {
        return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    };
    m_config.report(this,
        m_config.setSendLineSettings(
            QStringLiteral("%1 %2 %3")
                .arg(text(LineModeKey(ModeOf(*m_mode))), text(LineEndingKey(EndingOf(*m_ending))),
                    text(ChecksumKey(ChecksumOf(*m_checksum))))));
}
