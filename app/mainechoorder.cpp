// The order of sent and received text in a document window: received text never
// lands inside the echo line of a send that is still running, and what arrives
// after it starts a line under its own header (the receive controller sees the
// document's end moved; 收发分行 asks for the same explicitly).
#include "Main.h"
#include "document/ChildWin.h"
#include "maintexts.h"
#include "receive/receiveui.h"
#include "settings/appconfig.h"
#include "textview/richedit.h"

#include <QAction>
#include <QMenu>

void TMainForm::SetUpEchoOrder()
{
    Edit1->addSeparator();
    SplitLinesItem = Edit1->addAction(MainTexts::SplitLinesItem);
    SplitLinesItem->setObjectName(QStringLiteral("SplitLinesItem"));
    SplitLinesItem->setStatusTip(MainTexts::SplitLinesHint);
    SplitLinesItem->setCheckable(true);
    SplitLinesItem->setChecked(m_config->splitLines());
    connect(SplitLinesItem, &QAction::triggered, this,
        [this](bool checked) { m_config->report(this, m_config->setSplitLines(checked)); });
}

void TMainForm::holdReceivedFor(const TMDIChild *child)
{
    // A reception into another window cannot meet this send's echo line.
    if (!Receiver || !Receiver->isReceiving() || !child
        || Receiver->document() != child->RichEdit1) {
        return;
    }
    Receiver->hold();
    if (SplitLinesItem->isChecked()) {
        Receiver->startLineNext();
    }
}

void TMainForm::releaseReceived()
{
    if (Receiver) {
        Receiver->release();
    }
}
