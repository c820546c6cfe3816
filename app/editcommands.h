#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QLineEdit;
class RichEdit;
class QWidget;

// Cut, copy and paste for the edit control that has the keyboard focus: a one-line
// edit or a document's text control (an editable combo box keeps the focus itself, so its
// text field does not count).
// Cut and copy are enabled while that control has a non-empty selection, paste
// while the clipboard holds text; with no such control all three are disabled.
// The states follow focus changes, selection changes and clipboard changes, so a
// disabled command's shortcut never fires. User-interface thread only.
class EditCommands : public QObject
{
    Q_OBJECT

public:
    EditCommands(QAction *cut, QAction *copy, QAction *paste, QObject *parent = nullptr);

    // The control the commands act on now, or nullptr.
    QWidget *target() const;
    void updateStates();

private:
    void focusChanged(QWidget *now);
    void setTarget(QWidget *widget);
    void cut();
    void copy();
    void paste();

    QAction *m_cut;
    QAction *m_copy;
    QAction *m_paste;
    QPointer<QLineEdit> m_lineEdit;
    QPointer<RichEdit> m_textEdit;
    QMetaObject::Connection m_selectionConnection;
};
