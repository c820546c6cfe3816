// The line test in the main window: 工具 → 线路测试 opens its window, and a run holds
// the port (porthold.h) so that sending and receiving keep off it.

#include "Main.h"
#include "linetest/linetesttexts.h"
#include "linetest/linetestwindow.h"
#include "porthold.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>

void TMainForm::SetUpLineTest()
{
    // The 工具 menu, beside 窗口 (other tools may have made it already).
    QMenu *tools = menuBar()->findChild<QMenu *>(QStringLiteral("Tools1"));
    if (!tools) {
        tools = new QMenu(LineTestTexts::Tools1, menuBar());
        tools->setObjectName(QStringLiteral("Tools1"));
        tools->menuAction()->setStatusTip(LineTestTexts::Tools1Hint);
        menuBar()->insertMenu(Help1->menuAction(), tools);
    }
    LineTestItem = tools->addAction(LineTestTexts::LineTestItem);
    LineTestItem->setObjectName(QStringLiteral("LineTestItem"));
    LineTestItem->setStatusTip(LineTestTexts::LineTestHint);
    connect(LineTestItem, &QAction::triggered, this, [this] {
        if (!LineTestForm) {
            LineTestForm = new LineTestWindow(this);
            LineTestForm->setAttribute(Qt::WA_DeleteOnClose);
            LineTestForm->claimPort = [this] {
                PortHold::Claim(*this);
                return true;
            };
            LineTestForm->releasePort = [this] { PortHold::Release(*this); };
        }
        LineTestForm->show();
        LineTestForm->raise();
        LineTestForm->activateWindow();
    });
}
