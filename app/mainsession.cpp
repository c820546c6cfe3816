// The session view in the main window: 窗口 → 会话视图 (Ctrl+Shift+W) opens its
// window, made on first use and kept (closing hides it) so that it goes on keeping
// the session.

#include "Main.h"
#include "session/sessiontexts.h"
#include "session/sessionwindow.h"

#include <QAction>
#include <QMenu>

void TMainForm::SetUpSession()
{
    QAction *item = new QAction(SessionTexts::MenuItem, Window1);
    item->setObjectName(QStringLiteral("SessionItem"));
    item->setStatusTip(SessionTexts::MenuHint);
    item->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    QAction *first = Window1->actions().value(0);
    Window1->insertAction(first, item);
    connect(item, &QAction::triggered, this, [this] {
        if (!SessionForm) {
            SessionForm = new SessionWindow(*m_config, this);
        }
        SessionForm->show();
        SessionForm->raise();
        SessionForm->activateWindow();
    });
}
