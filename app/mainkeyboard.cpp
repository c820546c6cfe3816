// The main window by keyboard: the 串口 menu with the commands of the button bar,
// Enter in Edit2 for 发送, and Tab between Edit2, ComboDataType and the document.
#include "Main.h"
#include "document/ChildWin.h"
#include "maintexts.h"
#include "textview/richedit.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

// Keeps a menu item in step with its button: enabled, and checked for a button
// that stays down. Choosing the item clicks the button, so that both run the same
// handler with the same state.
class ButtonMirror : public QObject
{
public:
    ButtonMirror(QToolButton *button, QAction *item)
        : QObject(item)
        , m_button(button)
        , m_item(item)
    {
        item->setCheckable(button->isCheckable());
        item->setChecked(button->isChecked());
        item->setEnabled(button->isEnabled());
        connect(button, &QToolButton::toggled, item, [item](bool down) {
            const QSignalBlocker blocker(item);
            item->setChecked(down);
        });
        connect(item, &QAction::triggered, button, [button, item] {
            // The item has toggled itself; the button's click decides.
            {
                const QSignalBlocker blocker(item);
                item->setChecked(button->isChecked());
            }
            button->click();
        });
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::EnabledChange) {
            m_item->setEnabled(m_button->isEnabled());
        }
        return false;
    }

private:
    QToolButton *m_button;
    QAction *m_item;
};

QAction *addMirror(QMenu *menu, const char *name, const QString &caption, QToolButton *button,
    const QKeySequence &shortcut)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setShortcut(shortcut);
    item->setStatusTip(button->statusTip());
    new ButtonMirror(button, item);
    return item;
}

} // namespace

void TMainForm::SetUpKeyboard()
{
    PortMenu = new QMenu(MainTexts::PortMenu, this);
    PortMenu->setObjectName(QStringLiteral("PortMenu"));
    PortMenu->menuAction()->setStatusTip(MainTexts::PortMenuHint);
    menuBar()->insertMenu(Window1->menuAction(), PortMenu);
    // F5 to F8 stay free for the control lines, as terminals use them.
    SendItem = addMirror(PortMenu, "SendItem", MainTexts::SendItem, BtnSend,
        QKeySequence(Qt::CTRL | Qt::Key_Return));
    ReceiveItem = addMirror(PortMenu, "ReceiveItem", MainTexts::ReceiveItem, BtnRecieve,
        QKeySequence(Qt::CTRL | Qt::Key_R));
    ClearItem = addMirror(
        PortMenu, "ClearItem", MainTexts::ClearItem, BtnClear, QKeySequence(Qt::CTRL | Qt::Key_L));
    PortMenu->addSeparator();
    PortItem = addMirror(
        PortMenu, "PortItem", MainTexts::PortItem, BtnCom, QKeySequence(Qt::CTRL | Qt::Key_K));
    OptionItem = addMirror(PortMenu, "OptionItem", MainTexts::OptionItem, BtnOption,
        QKeySequence(Qt::CTRL | Qt::Key_Comma));

    connect(Edit2, &QLineEdit::returnPressed, BtnSend, &QToolButton::click);
    for (QWidget *widget : { static_cast<QWidget *>(Edit2), static_cast<QWidget *>(ComboDataType),
             static_cast<QWidget *>(ComboDataType->lineEdit()) }) {
        widget->installEventFilter(this);
    }
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] {
        if (TMDIChild *child = ActiveChild()) {
            child->RichEdit1->installEventFilter(this);
        }
    });
}

// Tab and Shift+Tab go round Edit2, ComboDataType and the active document, and
// nowhere else: the buttons and menus have their shortcuts.
bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool forward = key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier;
    const bool backward = key->key() == Qt::Key_Backtab
        || (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ShiftModifier);
    if (!forward && !backward) {
        return QMainWindow::eventFilter(watched, event);
    }
    TMDIChild *child = ActiveChild();
    QWidget *document = child ? child->RichEdit1 : nullptr;
    QList<QWidget *> ring { Edit2, ComboDataType };
    if (document) {
        ring.append(document);
    }
    qsizetype at = -1;
    if (watched == Edit2) {
        at = 0;
    } else if (watched == ComboDataType || watched == ComboDataType->lineEdit()) {
        at = 1;
    } else if (watched == document) {
        at = 2;
    } else {
        return QMainWindow::eventFilter(watched, event);
    }
    const qsizetype next = (at + (forward ? 1 : ring.size() - 1)) % ring.size();
    ring[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}
