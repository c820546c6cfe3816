// Memory of a reception whose order check spans the whole integer range
// (FParaStart INT_MIN, FParaEnd INT_MAX) with one byte per paragraph, so that every
// byte writes billions of error lines: the real pieces (Port on a pseudo-terminal,
// the receive thread, a RichEdit in a document window, offscreen).
//  1. automatic clearing on (at 100 lines): resident memory every 3 s for 15 s;
//  2. automatic clearing off, with the document's capacity cut to 4 Mi characters:
//     how long until the document is full, the memory it then takes and the memory
//     per character, from which the bound at the default capacity follows.
// Usage: receive_ordercheck_bench [on|off|all]

#include "benchmeter.h"
#include "benchwait.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <string>

namespace {

struct Bench
{
    explicit Bench(bool autoClear)
    {
        Port.Open(1, 115200, 0, 0, 8);
        settings.FCheckOrder = true;
        settings.FParaStart = INT_MIN;
        settings.FParaEnd = INT_MAX;
        settings.FParaCharNum = 1;
        settings.FAutoClear = autoClear;
        settings.FClearLineNum = 100;
        area.resize(900, 700);
        child = new TMDIChild;
        area.addSubWindow(child);
        child->show();
        area.show();
    }
    ~Bench() { Port.Close(); }

    PtyPort pty { false };
    SettingsValues settings;
    QMdiArea area;
    TMDIChild *child = nullptr;
    ReceiveController controller { settings, Port };
};

void ClearingOn()
{
    Bench b(true);
    const long before = CurrentRssKb();
    b.controller.start(b.child);
    b.pty.send(std::string("\x05\x06\x07", 3));
    std::printf("1. Automatic clearing at 100 lines, check range INT_MIN..INT_MAX:\n");
    std::printf("   before the reception: %ld KB resident\n", before);
    for (int second = 3; second <= 15; second += 3) {
        Wait(3000);
        std::printf("   after %2d s: %ld KB resident, document %d lines\n", second, CurrentRssKb(),
            b.child->RichEdit1->LineCount());
    }
    b.controller.stop();
}

void ClearingOff()
{
    constexpr int kCapacity = 4 * 1024 * 1024;
    Bench b(false);
    b.child->RichEdit1->setCapacity(kCapacity);
    const long before = CurrentRssKb();
    QElapsedTimer timer;
    timer.start();
    b.controller.start(b.child);
    b.pty.send(std::string("\x05", 1));
    while (b.controller.engine().endReason() == ReceiveEngine::EndReason::Running
        && timer.elapsed() < 300000) {
        Wait(200);
    }
    const long after = CurrentRssKb();
    const int characters = b.child->RichEdit1->characterCount();
    const double perCharacter = static_cast<double>(after - before) * 1024.0 / characters;
    std::printf("2. No automatic clearing, capacity %d characters:\n", kCapacity);
    std::printf("   full after %.1f s (%s): %d characters in %d lines, %ld KB more resident, "
                "%.1f bytes per character\n",
        timer.elapsed() / 1000.0,
        b.controller.engine().endReason() == ReceiveEngine::EndReason::DocumentFull
            ? "the document refused a line"
            : "NOT FULL",
        characters, b.child->RichEdit1->LineCount(), after - before, perCharacter);
    std::printf("   at the default capacity of %d characters that is about %.0f MB\n",
        RichEdit::kDefaultCapacity, perCharacter * RichEdit::kDefaultCapacity / 1e6);
    b.controller.stop();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string which = argc > 1 ? argv[1] : "all";
    if (which == "all" || which == "on") {
        ClearingOn();
    }
    if (which == "all" || which == "off") {
        ClearingOff();
    }
    return 0;
}
