#include "Main.h"

#include "icons.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Byteway"));
    QApplication::setApplicationDisplayName(QStringLiteral("Byteway"));
    QApplication::setWindowIcon(Icons::ProgramIcon());

    CreateMainObjects();
    // Showing the main window queues its FormShow, which runs in the event loop.
    MainForm->show();
    const int result = QApplication::exec();
    DestroyMainObjects();
    return result;
}
