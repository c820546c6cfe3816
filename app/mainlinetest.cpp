// The line test in the main window: 工具 → 线路测试 opens its window, and a run holds
// the port (porthold.h) so that sending and receiving keep off it.

#include "Main.h"
#include "linetest/linetesttexts.h"
#include "linetest/linetestwindow.h"
#include "porthold.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

#include <algorithm>

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
            // A window of its own is put where the system puts new windows (a
            // corner of the screen); this one opens over the window it belongs to.
            QRect place(QPoint(), LineTestForm->size());
            place.moveCenter(frameGeometry().center());
            if (const QScreen *screen = this->screen()) {
                const QRect room = screen->availableGeometry();
                place.moveLeft(std::clamp(place.left(), room.left(),
                    std::max(room.left(), room.right() - place.width())));
                place.moveTop(std::clamp(
                    place.top(), room.top(), std::max(room.top(), room.bottom() - place.height())));
            }
            LineTestForm->move(place.topLeft());
        }
        LineTestForm->show();
        LineTestForm->raise();
        LineTestForm->activateWindow();
    });
}
