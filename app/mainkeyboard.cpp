// The main window by keyboard: the 串口 menu with the commands of the button bar
// and the control lines, Enter in Edit2 for 发送, a shortcut for every command, and
// Tab round Edit2, ComboDataType, the document and the send bar.
#include "Main.h"
#include "controllines/linestrip.h"
#include "document/ChildWin.h"
#include "maintexts.h"
#include "sendbar/sendbar.h"
#include "textview/richedit.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include <functional>
#include <utility>

namespace {

// Keeps a menu item in step with its button: enabled, and checked for a button
// that stays down. Choosing the item clicks the button, so that both run the same
// handler with the same state.
class ButtonMirror : public QObject
{
public:
    // Keeps only the item's enabled state in step with the button's.
    class EnabledFollower : public QObject
    {
    public:
        EnabledFollower(QAbstractButton *button, QAction *item)
            : QObject(item)
            , m_button(button)
            , m_item(item)
        {
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
        QAbstractButton *m_button;
        QAction *m_item;
    };

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
        } else if (watched == m_button
            && (event->type() == QEvent::DynamicPropertyChange
                || event->type() == QEvent::ToolTipChange)) {
            showKnown();
        }
        return false;
    }

private:
    // A control line the port cannot tell (LineStrip's "lineKnown") shows a question
    // mark in place of the check, with the strip's reason as the item's tooltip.
    void showKnown()
    {
        const QVariant known = m_button->property("lineKnown");
        if (!known.isValid()) {
            return;
        }
        const bool unknown = !known.toBool();
        m_item->setIcon(
            unknown ? m_button->style()->standardIcon(QStyle::SP_MessageBoxQuestion) : QIcon());
        m_item->setToolTip(unknown ? m_button->toolTip() : QString());
    }

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

// A menu item that runs `run` and is enabled while `button` is.
QAction *addFollower(QMenu *menu, const char *name, const QString &caption, QAbstractButton *button,
    const QKeySequence &shortcut, const std::function<void()> &run)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setShortcut(shortcut);
    item->setEnabled(button->isEnabled());
    QObject::connect(item, &QAction::triggered, button, run);
    auto *follow = new ButtonMirror::EnabledFollower(button, item);
    static_cast<void>(follow);
    return item;
}

// Shortcuts for the commands whose menu items have none of their own: together
// with the items made with one, every command of the menus has a key.
struct ItemKeys
{
    QAction *TMainForm::*item;
    QKeyCombination keys;
};

const ItemKeys kItemKeys[] = {
    { &TMainForm::FileCloseItem, Qt::CTRL | Qt::Key_W },
    { &TMainForm::FileSaveAsItem, Qt::CTRL | Qt::Key_S },
    { &TMainForm::FileSendItem, Qt::CTRL | Qt::SHIFT | Qt::Key_S },
    { &TMainForm::FileReceiveItem, Qt::CTRL | Qt::SHIFT | Qt::Key_R },
    { &TMainForm::FileLogItem, Qt::CTRL | Qt::SHIFT | Qt::Key_L },
    { &TMainForm::FileExitItem, Qt::CTRL | Qt::Key_Q },
    { &TMainForm::ItemFind, Qt::CTRL | Qt::Key_F },
    { &TMainForm::ItemReplace, Qt::CTRL | Qt::Key_H },
    { &TMainForm::TimeStampItem, Qt::CTRL | Qt::Key_T },
    { &TMainForm::SplitLinesItem, Qt::CTRL | Qt::Key_J },
    { &TMainForm::WindowCascadeItem, Qt::CTRL | Qt::SHIFT | Qt::Key_C },
    { &TMainForm::WindowTileItem, Qt::CTRL | Qt::SHIFT | Qt::Key_H },
    { &TMainForm::WindowTileItem2, Qt::CTRL | Qt::SHIFT | Qt::Key_V },
    { &TMainForm::SendBarItem, Qt::CTRL | Qt::Key_B },
    { &TMainForm::LineTestItem, Qt::CTRL | Qt::SHIFT | Qt::Key_T },
    { &TMainForm::HelpAboutItem, Qt::Key_F1 },
};

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

    // The control lines, with the keys terminal users know: F7 and F8 for DTR and
    // RTS, F5 and F6 for a pulse and a break.
    PortMenu->addSeparator();
    PortMenu->setToolTipsVisible(true);
    DtrItem = addMirror(
        PortMenu, "DtrItem", MainTexts::DtrItem, Lines->LineDTR, QKeySequence(Qt::Key_F7));
    RtsItem = addMirror(
        PortMenu, "RtsItem", MainTexts::RtsItem, Lines->LineRTS, QKeySequence(Qt::Key_F8));
    DtrPulseItem = addFollower(PortMenu, "DtrPulseItem", Lines->LineDTRPulse->text(),
        Lines->LineDTR, QKeySequence(Qt::Key_F5), [this] { Lines->pulse(ModemLine::Dtr); });
    RtsPulseItem
        = addFollower(PortMenu, "RtsPulseItem", Lines->LineRTSPulse->text(), Lines->LineRTS,
            QKeySequence(Qt::SHIFT | Qt::Key_F5), [this] { Lines->pulse(ModemLine::Rts); });
    BreakItem = addMirror(
        PortMenu, "BreakItem", MainTexts::BreakItem, Lines->LineBreak, QKeySequence(Qt::Key_F6));
    // The pulse's length is in its text.
    for (auto [item, source] : { std::pair { DtrPulseItem, Lines->LineDTRPulse },
             std::pair { RtsPulseItem, Lines->LineRTSPulse } }) {
        connect(source, &QAction::changed, item,
            [item = item, source = source] { item->setText(source->text()); });
    }

    for (const ItemKeys &entry : kItemKeys) {
        if (QAction *item = this->*entry.item; item && item->shortcut().isEmpty()) {
            item->setShortcut(entry.keys);
        }
    }
    // From anywhere in the window to the send bar's line, the bar shown first.
    SendLineItem = new QAction(MainTexts::SendLineItem, this);
    SendLineItem->setObjectName(QStringLiteral("SendLineItem"));
    SendLineItem->setShortcut(Qt::CTRL | Qt::Key_E);
    Window1->insertAction(SendBarItem, SendLineItem);
    connect(SendLineItem, &QAction::triggered, this, [this] {
        if (SendBarDock->isVisible()) {
            SendBarDock->focusLine();
        } else {
            // Shown as by its own item, which keeps the choice and focuses the line.
            SendBarItem->trigger();
        }
    });

    connect(Edit2, &QLineEdit::returnPressed, BtnSend, &QToolButton::click);
    for (QWidget *widget : { static_cast<QWidget *>(Edit2), static_cast<QWidget *>(ComboDataType),
             static_cast<QWidget *>(ComboDataType->lineEdit()) }) {
        widget->installEventFilter(this);
    }
    for (QWidget *widget : SendBarDock->focusChain()) {
        widget->installEventFilter(this);
    }
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] {
        if (TMDIChild *child = ActiveChild()) {
            child->RichEdit1->installEventFilter(this);
        }
    });
}

// Tab and Shift+Tab go round Edit2, ComboDataType, the active document and, while
// it is shown, every control of the send bar; the buttons of the button bar and
// the menus have their shortcuts.
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
    const QList<QWidget *> ring = tabRing();
    qsizetype at = ring.indexOf(watched);
    if (at < 0 && watched == ComboDataType->lineEdit()) {
        at = ring.indexOf(ComboDataType);
    }
    if (at < 0) {
        return QMainWindow::eventFilter(watched, event);
    }
    // A control that cannot take the focus now (a disabled button) is passed by.
    for (qsizetype step = 1; step < ring.size(); ++step) {
        const qsizetype next = (at + (forward ? step : ring.size() - step)) % ring.size();
        QWidget *widget = ring[next];
        if (widget->isEnabled() && widget->isVisible()) {
            widget->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return true;
}

QList<QWidget *> TMainForm::tabRing() const
{
    QList<QWidget *> ring { Edit2, ComboDataType };
    if (TMDIChild *child = ActiveChild()) {
        ring.append(child->RichEdit1);
    }
    if (SendBarDock && SendBarDock->isVisible()) {
        ring.append(SendBarDock->focusChain());
    }
    return ring;
}
