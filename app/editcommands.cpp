#include "editcommands.h"

#include "textview/richedit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>

EditCommands::EditCommands(QAction *cut, QAction *copy, QAction *paste, QObject *parent)
    : QObject(parent)
    , m_cut(cut)
    , m_copy(copy)
    , m_paste(paste)
{
    connect(qApp, &QApplication::focusChanged, this,
        [this](QWidget *, QWidget *now) { focusChanged(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &EditCommands::updateStates);
    connect(m_cut, &QAction::triggered, this, &EditCommands::cut);
    connect(m_copy, &QAction::triggered, this, &EditCommands::copy);
    connect(m_paste, &QAction::triggered, this, &EditCommands::paste);
    setTarget(QApplication::focusWidget());
}

QWidget *EditCommands::target() const
{
    if (m_lineEdit) {
        return m_lineEdit;
    }
    return m_textEdit;
}

void EditCommands::focusChanged(QWidget *now)
{
    // Focus leaves every widget while the application is inactive; the commands
    // keep their control until another widget takes the focus.
    if (now != nullptr) {
        setTarget(now);
    }
}

void EditCommands::setTarget(QWidget *widget)
{
    disconnect(m_selectionConnection);
    m_lineEdit = qobject_cast<QLineEdit *>(widget);
    m_textEdit = qobject_cast<RichEdit *>(widget);
    if (m_lineEdit) {
        m_selectionConnection
            = connect(m_lineEdit, &QLineEdit::selectionChanged, this, &EditCommands::updateStates);
    } else if (m_textEdit) {
        m_selectionConnection
            = connect(m_textEdit, &RichEdit::selectionChanged, this, &EditCommands::updateStates);
    }
    updateStates();
}

void EditCommands::updateStates()
{
    bool selection = false;
    bool writable = false;
    if (m_lineEdit) {
        selection = m_lineEdit->hasSelectedText();
        writable = !m_lineEdit->isReadOnly();
    } else if (m_textEdit) {
        selection = m_textEdit->hasSelection();
        writable = !m_textEdit->isReadOnly();
    }
    const QMimeData *clipboard = QApplication::clipboard()->mimeData();
    const bool clipboardText = clipboard != nullptr && clipboard->hasText();
    m_cut->setEnabled(selection && writable);
    m_copy->setEnabled(selection);
    m_paste->setEnabled(writable && clipboardText);
}

void EditCommands::cut()
{
    if (m_lineEdit) {
        m_lineEdit->cut();
    } else if (m_textEdit) {
        m_textEdit->cut();
    }
}

void EditCommands::copy()
{
    if (m_lineEdit) {
        m_lineEdit->copy();
    } else if (m_textEdit) {
        m_textEdit->copy();
    }
}

void EditCommands::paste()
{
    if (m_lineEdit) {
        m_lineEdit->paste();
    } else if (m_textEdit) {
        m_textEdit->paste();
    }
}
