#pragma once

#include "quickcommands.h"
#include "sendhistory.h"

#include <QDockWidget>
#include <QList>

#include <functional>
#include <string>
#include <vector>

class AppConfig;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The send bar 发送栏: a line of its own sent with Enter, in text (with escapes) or
// hexadecimal, with an ending and a checksum, the history of sent lines on Up and
// Down, and the quick-send commands, sent with a click or Ctrl+1 … Ctrl+9 (while
// the bar is shown). A line that cannot be read is marked and nothing is sent. The
// bytes go to the send function, which sends them the way the send button does
// and says whether the send started; only then do the field clear and the history
// grow. The history, the commands and the line's settings are kept in byteway.conf.
// User-interface thread only.
class SendBar : public QDockWidget
{
    Q_OBJECT

public:
    using SendFunction = std::function<bool(const std::string &bytes)>;

    SendBar(AppConfig &config, QWidget *parent = nullptr);

    void setSendFunction(SendFunction send) { m_send = std::move(send); }

    // Sends the line in the field; false when it cannot be read or did not start.
    bool sendLine();
    // Sends the command at `row` of the list; false when there is none, it cannot
    // be read or it did not start.
    bool sendCommand(int row);

    const std::vector<QuickCommand> &commands() const { return m_commands; }
    // Adds the good commands of a command file to the list; the report says how
    // many came in and which lines were bad. Fails with the file's name and the
    // system's reason when the file cannot be read.
    [[nodiscard]] Result<QString> importCommands(const QString &path);
    // Writes the commands to `path`, replacing the file atomically; fails with the
    // file's name and the system's reason.
    [[nodiscard]] Status exportCommands(const QString &path) const;

    // The bar's widgets in the order Tab visits them, the line first.
    QList<QWidget *> focusChain() const;
    // Shows the bar when hidden and puts the caret into its line.
    void focusLine();

    static constexpr int kShortcutCount = 9;
    // The longest line the field takes, in characters; a paste beyond it is cut
    // and the bar says so.
    static constexpr int kLineLimit = 1 << 18;
    // The preview shows this many bytes and then their count.
    static constexpr std::size_t kPreviewBytes = 64;

signals:
    // Something the status bar should tell (a line that cannot go).
    void message(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createLineArea();
    QWidget *createCommandArea();
    void createShortcuts();
    void updatePreview();
    bool sendBytes(const std::string &bytes);
    void saveLineSettings();
    void recall(bool older);
    // Shows `commands` with the one at `current` selected, and keeps them in
    // byteway.conf unless they came from there.
    void setCommands(std::vector<QuickCommand> commands, int current, bool store = true);
    void addCommand();
    void editCommand();
    void removeCommand();
    void moveCommand(int step);
    void importFromFile();
    void exportToFile();
    void showCommandMenu(const QPoint &position);

    AppConfig &m_config;
    SendFunction m_send;
    SendHistory m_history;
    std::vector<QuickCommand> m_commands;
    QLineEdit *m_line = nullptr;
    QComboBox *m_mode = nullptr;
    QComboBox *m_ending = nullptr;
    QComboBox *m_checksum = nullptr;
    QLabel *m_preview = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_sendButton = nullptr;
    std::vector<QPushButton *> m_commandButtons; // 添加 … 导出…, in Tab order
    bool m_recalling = false;
};
