#include "Main.h"
#include "commandline.h"
#include "icons.h"
#include "language.h"
#include "serial/serialport.h"
#include "startup.h"

#include <QApplication>

#include <iostream>

int main(int argc, char *argv[])
{
    // Before the application object, which would need a display.
    if (const auto status
        = HandleCommandLine({ argv, static_cast<std::size_t>(argc) }, std::cout, std::cerr)) {
        return *status;
    }
    QApplication app(argc, argv);
    // The display name stays unset: Qt would append it to every title bar
    // ("关于 — Byteway"), and the windows' captions are exactly their own. Where a
    // display name is asked for, Qt falls back to the application name.
    QApplication::setApplicationName(QStringLiteral("Byteway"));
    QApplication::setWindowIcon(Icons::ProgramIcon());
    // The desktop entry's id, which the packaging installs.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.byteway.Byteway"));
    // Before any window: every text is looked up as the windows are built.
    InstallInterfaceLanguage();

    // Before the windows, whose creation writes the settings file: once that file is
    // there, a termination signal closes the program normally.
    CloseOnTerminationSignals();
    CreateMainObjects();
    // Showing the main window queues its FormShow, which runs in the event loop.
    MainForm->show();
    const int result = QApplication::exec();
    DestroyMainObjects();
    // Here rather than in the port's destructor, which runs among the static objects
    // at exit, when the device table it needs may already be gone.
    Port.Close();
    return result;
}
