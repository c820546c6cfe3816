#pragma once

#include "quickcommands.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Adds or edits one quick-send command: its name, mode, data, ending and checksum,
// with the bytes it sends shown as they are typed. OK is refused while the command
// cannot be sent or saved. User-interface thread only.
class QuickCommandDialog : public QDialog
{
    Q_OBJECT

public:
    explicit QuickCommandDialog(const QuickCommand &command, QWidget *parent = nullptr);

    QuickCommand command() const;

private:
    void check();

    QLineEdit *m_name = nullptr;
    QComboBox *m_mode = nullptr;
    QLineEdit *m_data = nullptr;
    QComboBox *m_ending = nullptr;
    QComboBox *m_checksum = nullptr;
    QLabel *m_preview = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
