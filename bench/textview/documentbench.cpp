// Documents with big files and long lines, with the real pieces, offscreen. Three
// figures (prints only, asserts nothing):
//  1. opening a plain text file of 2, 10, 35 and 50 MB (lines of 60 characters) in a
//     document window through the main window's CreateDocumentWindow: the time until
//     the document first paints text, until it is all loaded, and the longest time
//     the event loop did not answer meanwhile (MB=n runs one size only);
//  2. CPU used per second while nothing happens, with the caret (focused) at the
//     end of a single line of 100 KB, 1 MB and 5 MB;
//  3. receiving at about 20 KB/s through a pseudo-terminal into a document with
//     10, 1000 and 10000 characters a line (hex notation, so three times as many
//     characters shown): user-interface thread CPU per received byte (PER_LINE=n
//     runs one only);
//  4. a document of 20 million characters received as a reception writes them
//     (coloured runs, 61 characters a line): the longest and the median time of a
//     step of scrolling (Page Down, a jump of the scroll bar) and of typing (at the
//     end, in the middle), each step painted; then its idle cost.
// Run: build/bin/document_bench [1|2|3|4]   (QT_QPA_PLATFORM=offscreen)

#include "app/Main.h"
#include "app/startup.h"
#include "benchmeter.h"
#include "benchwait.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "settings/settingsvalues.h"
#include "textview/richedit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMdiArea>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// The longest gap between two turns of the event loop, seen from a watchdog thread
// that posts a ping and waits for the answer.
class Responsiveness
{
public:
    Responsiveness()
        : m_thread([this] { run(); })
    { }
    ~Responsiveness()
    {
        m_stop = true;
        m_thread.join();
    }
    double worstMs() const { return m_worst / 1e6; }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        while (!m_stop) {
            const auto sent = Clock::now();
            m_answered = false;
            QMetaObject::invokeMethod(
                qApp, [this] { m_answered = true; }, Qt::QueuedConnection);
            // The gap counts while it grows, so that a reading taken during a
            // freeze already shows it.
            do {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                const long long gap
                    = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - sent)
                          .count();
                m_worst = std::max<long long>(m_worst, gap);
            } while (!m_answered && !m_stop);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_answered { false };
    std::atomic<long long> m_worst { 0 };
    std::thread m_thread;
};

// The time from its start until a document control first paints some text.
class FirstPaint : public QObject
{
public:
    FirstPaint()
    {
        qApp->installEventFilter(this);
        m_clock.start();
    }
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_ms < 0 && event->type() == QEvent::Paint) {
            auto *edit = qobject_cast<RichEdit *>(watched->parent());
            if (edit && edit->viewport() == watched && edit->characterCount() > 0) {
                m_ms = m_clock.nsecsElapsed() / 1e6;
            }
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    double m_ms = -1;
};

// Lines of 60 characters of text, CR LF after each.
QByteArray TextFile(qint64 bytes)
{
    QByteArray line
        = QByteArray("The quick brown fox jumps over the lazy dog 0123456789 abcd") + "\r\n";
    QByteArray out;
    out.reserve(bytes + line.size());
    while (out.size() < bytes) {
        out += line;
    }
    out.truncate(bytes);
    return out;
}

void OpenBigFiles()
{
    QTemporaryDir dir;
    std::printf("1. Opening big plain text files through CreateDocumentWindow:\n");
    for (int mb : { 2, 10, 35, 50 }) {
        if (std::getenv("MB") && std::atoi(std::getenv("MB")) != mb) {
            continue;
        }
        const QString path = dir.filePath(QStringLiteral("big%1.txt").arg(mb));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(TextFile(qint64(mb) << 20)) < 0) {
            std::printf("   cannot write %s\n", qPrintable(path));
            return;
        }
        file.close();
        PtyPort pty(false);
        CreateMainObjects();
        MainForm->show();
        QApplication::processEvents();
        // Any question the window asks about a big file is answered with yes.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click()
                                              : box->accept();
            }
        });
        answer.start(50);
        QElapsedTimer timer;
        timer.start();
        double worst = 0;
        double firstPaint = -1;
        {
            FirstPaint paint;
            Responsiveness watch;
            MainForm->CreateDocumentWindow(path);
            QApplication::processEvents();
            worst = watch.worstMs();
            firstPaint = paint.ms();
        }
        const double shownMs = timer.nsecsElapsed() / 1e6;
        TMDIChild *child = MainForm->ActiveChild();
        // Then to the end of it, painted, and a search through all of it that finds nothing.
        if (child) {
            child->RichEdit1->verticalScrollBar()->setValue(
                child->RichEdit1->verticalScrollBar()->maximum());
            child->RichEdit1->viewport()->repaint();
            child->RichEdit1->findText(QStringLiteral("absent"), 0, false, false);
        }
        const double usableMs = timer.nsecsElapsed() / 1e6;
        std::printf("   %2d MB: first text painted after %5.0f ms, all loaded after %6.0f ms (%d "
                    "lines), scrolled to the end and searched through after %6.0f ms; event "
                    "loop answered within %4.0f ms at worst; RSS %ld MB, peak %ld MB\n",
            mb, firstPaint, shownMs, child ? child->RichEdit1->LineCount() : -1, usableMs, worst,
            (CurrentRssKb() / 1024), PeakRssKb() / 1024);
        std::fflush(stdout);
        DestroyMainObjects();
    }
}

void IdleWithLongLine()
{
    std::printf("2. Idle CPU with the focused caret at the end of one long line:\n");
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    for (int size : { 100000, 1000000, 5000000 }) {
        auto *child = new TMDIChild;
        area.addSubWindow(child);
        child->showMaximized();
        area.activateWindow();
        child->RichEdit1->InsertAtCaret(std::string(static_cast<std::size_t>(size), 'a'));
        child->RichEdit1->setFocus();
        Wait(1000);
        const double before = CpuMs(RUSAGE_SELF);
        Wait(5000);
        const double cpu = CpuMs(RUSAGE_SELF) - before;
        std::printf("   line of %7d characters: %.2f%% of a core (over 5 s); RSS %ld MB\n", size,
            cpu / 50.0, (CurrentRssKb() / 1024));
        std::fflush(stdout);
        delete child;
    }
}

void ReceiveLongLines()
{
    std::printf("3. Receiving 100 KB at about 20 KB/s, hex notation, automatic clearing at "
                "100 lines:\n");
    for (int perLine : { 10, 1000, 10000 }) {
        if (std::getenv("PER_LINE") && std::atoi(std::getenv("PER_LINE")) != perLine) {
            continue;
        }
        PtyPort pty(false);
        Port.Open(1, 115200, 0, 0, 8);
        SettingsValues settings;
        settings.FLineCharNum = perLine;
        settings.FParaCharNum = 100000;
        QMdiArea area;
        area.resize(800, 600);
        auto *child = new TMDIChild;
        area.addSubWindow(child);
        child->showMaximized();
        area.show();
        ReceiveController controller(settings, Port);
        controller.start(child);
        constexpr long kBytes = 100000;
        std::atomic<bool> fed { false };
        std::thread feeder([&] {
            // 200 bytes every 10 ms.
            std::string chunk(200, '\0');
            for (long sent = 0; sent < kBytes; sent += 200) {
                for (std::size_t i = 0; i < chunk.size(); ++i) {
                    chunk[i] = static_cast<char>((sent + static_cast<long>(i)) & 0xFF);
                }
                pty.send(chunk);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            fed = true;
        });
        const double uiBefore = CpuMs(RUSAGE_THREAD);
        QElapsedTimer timer;
        timer.start();
        while (controller.engine().shownCounts().RecvByteCount < kBytes) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const double ui = CpuMs(RUSAGE_THREAD) - uiBefore;
        const double seconds = timer.nsecsElapsed() / 1e9;
        feeder.join();
        controller.stop();
        Port.Close();
        std::printf("   %5d characters a line: %.2f us of user-interface CPU per byte, %.0f%% "
                    "of a core over %.1f s\n",
            perLine, ui * 1000.0 / kBytes, ui / seconds / 10.0, seconds);
        std::fflush(stdout);
    }
}

// Runs `step` `count` times, each followed by a repaint of the document, and prints
// the longest and the median time of one.
template <typename Step>
void TimeSteps(RichEdit *edit, const char *what, int count, Step step)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        step(i);
        edit->viewport()->repaint();
        QApplication::processEvents();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("   %-34s longest %6.1f ms, median %6.1f ms (%d steps)\n", what, ms.back(),
        ms[ms.size() / 2], count);
    std::fflush(stdout);
}

void ScrollAndTypeInBigDocument()
{
    constexpr int kCharacters = 20000000;
    QMdiArea area;
    area.resize(900, 700);
    auto *child = new TMDIChild;
    area.addSubWindow(child);
    child->showMaximized();
    area.show();
    RichEdit *edit = child->RichEdit1;
    QElapsedTimer fill;
    fill.start();
    const std::string items = "0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 \n";
    while (edit->characterCount() < kCharacters) {
        edit->BeginBatch();
        for (int line = 0; line < 1000; ++line) {
            edit->MoveCaretToEnd();
            edit->SetInsertColor(Colors::Green);
            edit->InsertAtCaret("Receiving: ");
            edit->SetInsertColor(Colors::Black);
            edit->InsertAtCaret(items);
        }
        edit->EndBatch();
        QApplication::processEvents();
    }
    std::printf("4. A document of %d characters (%d lines), filled in %.1f s; RSS %ld MB:\n",
        edit->characterCount(), edit->LineCount(), fill.nsecsElapsed() / 1e9,
        CurrentRssKb() / 1024);
    edit->setFocus();
    edit->setSelStart(0);
    TimeSteps(edit, "Page Down from the start:", 30,
        [edit](int) { QTest::keyClick(edit, Qt::Key_PageDown); });
    QScrollBar *bar = edit->verticalScrollBar();
    TimeSteps(edit, "scroll bar jumps:", 30,
        [bar](int i) { bar->setValue(static_cast<int>(bar->maximum() * ((i * 37) % 100) / 100)); });
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    TimeSteps(edit, "typing at the end:", 30, [edit](int) { QTest::keyClick(edit, Qt::Key_A); });
    edit->setSelStart(edit->characterCount() / 2);
    TimeSteps(edit, "typing in the middle:", 30, [edit](int) { QTest::keyClick(edit, Qt::Key_B); });
    TimeSteps(edit, "Ctrl+End and Ctrl+Home:", 20, [edit](int i) {
        QTest::keyClick(edit, i % 2 ? Qt::Key_Home : Qt::Key_End, Qt::ControlModifier);
    });
    Wait(1000);
    const double before = CpuMs(RUSAGE_SELF);
    Wait(5000);
    std::printf("   idle with the focused caret in it: %.2f%% of a core (over 5 s); peak RSS %ld "
                "MB\n",
        (CpuMs(RUSAGE_SELF) - before) / 50.0, PeakRssKb() / 1024);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int only = argc > 1 ? std::atoi(argv[1]) : 0;
    if (only == 0 || only == 1) {
        OpenBigFiles();
    }
    if (only == 0 || only == 2) {
        IdleWithLongLine();
    }
    if (only == 0 || only == 3) {
        ReceiveLongLines();
    }
    if (only == 0 || only == 4) {
        ScrollAndTypeInBigDocument();
    }
    return 0;
}
