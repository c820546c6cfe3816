#include "startup.h"

#include "Main.h"
#include "about.h"
#include "settings/option.h"
#include "text/accessiblewidgets.h"

#include <QAccessible>

#ifndef _WIN32
#include <QApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

void CreateMainObjects()
{
    static const bool combosNamed = [] {
        QAccessible::installFactory(AccessibleWidgetsFactory);
        return true;
    }();
    static_cast<void>(combosNamed);
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    FrmOption = new TFrmOption(MainForm);
    QObject::connect(
        FrmOption, &TFrmOption::settingsAccepted, MainForm, &TMainForm::SettingsAccepted);
    QObject::connect(FrmOption, &TFrmOption::portChangeStarting, MainForm, &TMainForm::holdSending);
    QObject::connect(
        FrmOption, &TFrmOption::portChangeFinished, MainForm, &TMainForm::resumeSending);
    MainForm->AttachLineOptions(FrmOption);
}

#ifndef _WIN32
namespace {

// [0] is read by the event loop, [1] written by the signal handler.
std::array<int, 2> g_signalSockets { -1, -1 };

extern "C" void OnTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: with the socket full a signal is already waiting to be seen.
    [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[1], &byte, 1);
    errno = savedErrno;
}

void CloseForSignal()
{
    char buffer[64];
    while (::read(g_signalSockets[0], buffer, sizeof buffer) > 0) { }
    // A modal box runs an event loop of its own, which would hold up the close:
    // each is closed as its close box would close it. The number of tries is bounded
    // so that a box that refuses cannot keep this going.
    for (int tries = 0; tries < 16; ++tries) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            break;
        }
        modal->close();
    }
    if (MainForm) {
        MainForm->close();
    }
    // Ends every event loop, the nested ones of boxes that refused to close included.
    QCoreApplication::exit(0);
}

} // namespace

void CloseOnTerminationSignals()
{
    int sockets[2] = { -1, -1 };
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0) {
        return;
    }
    for (int fd : sockets) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    g_signalSockets = { sockets[0], sockets[1] };
    auto *notifier = new QSocketNotifier(sockets[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { CloseForSignal(); });

    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int sig : { SIGTERM, SIGINT, SIGHUP }) {
        ::sigaction(sig, &action, nullptr);
    }
    // A pipe whose reader went away (a recording into a FIFO) is a failed write with
    // EPIPE, never the end of the program.
    ::signal(SIGPIPE, SIG_IGN);
}
#else
void CloseOnTerminationSignals() { }
#endif

void DestroyMainObjects()
{
    if (MainForm) {
        // The receive and send threads write into document windows: they must end
        // before the windows go.
        MainForm->ShutDownSendReceive();
    }
    // The About box and the settings dialog are children of the main window.
    delete MainForm;
    MainForm = nullptr;
    AboutBox = nullptr;
    FrmOption = nullptr;
}
