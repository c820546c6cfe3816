// The send bar in the main window: where it docks, its item in the 窗口 menu and
// the way its bytes reach the send thread.
#include "Main.h"
#include "document/ChildWin.h"
#include "maintexts.h"
#include "send/sendui.h"
#include "sendbar/sendbar.h"
#include "sendbar/sendbartexts.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "settings/option.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

void TMainForm::SetUpSendBar()
{
    SendBarDock = new SendBar(*m_config, this);
    addDockWidget(Qt::BottomDockWidgetArea, SendBarDock);
    for (QToolBar *bar : SendBarDock->findChildren<QToolBar *>()) {
        nameToolBarOverflow(bar);
    }
    SendBarDock->setVisible(m_config->sendBarVisible());
    SendBarDock->setSendFunction([this](const std::string &bytes) { return SendBarBytes(bytes); });
    connect(SendBarDock, &SendBar::message, this, &TMainForm::showStateMessage);

    SendBarItem = SendBarDock->toggleViewAction();
    SendBarItem->setObjectName(QStringLiteral("SendBarItem"));
    SendBarItem->setStatusTip(SendBarTexts::MenuHint);
    // The dock names its item after its title; the menu's caption has an access key.
    SendBarItem->setText(MainTexts::SendBarItem);
    connect(SendBarDock, &QWidget::windowTitleChanged, SendBarItem,
        [this] { SendBarItem->setText(MainTexts::SendBarItem); });
    QAction *first = Window1->actions().value(0);
    Window1->insertAction(first, SendBarItem);
    Window1->insertSeparator(first);
    // Only the user's choice is kept: the bar hides with the window on the way out.
    connect(SendBarItem, &QAction::triggered, this, [this](bool shown) {
        m_config->report(this, m_config->setSendBarVisible(shown));
        // Shown to be typed in: what is typed next goes into its line, not into
        // the document.
        if (shown) {
            SendBarDock->focusLine();
        }
    });
    connect(SendBarDock, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (!shown && SendBarDock->isHidden()) {
            m_config->report(this, m_config->setSendBarVisible(false));
        }
    });
}

bool TMainForm::SendBarBytes(const std::string &bytes)
{
    if (!FrmOption) {
        return false;
    }
    if (Sender->isSending()) {
        showStateMessage(SendBarTexts::Busy);
        return false;
    }
    TMDIChild *child = ActiveChild();
    if (!child) {
        showStateMessage(SendBarTexts::NoWindow);
        return false;
    }
    if (!Port.isOpen()) {
        showStateMessage(MainTexts::SendPortNotOpen);
        return false;
    }
    // The bar's echo line keeps received text out as the toolbar's send does.
    holdReceivedFor(child);
    if (!Sender->startBytes(child, *FrmOption, bytes)) {
        releaseReceived();
        return false;
    }
    return true;
}
