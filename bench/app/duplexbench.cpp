// The main window as the user drives it, offscreen: COM1 is a pseudo-terminal whose
// far side either sends every byte back (echo) or only drains the line (sink), and
// 发送 runs the range 0..255 with FTwoCharDelay 0 on a 1 ms timer. Figures for a few
// seconds of that: bytes sent and received per second, the CPU of the window's
// thread and of the whole process, how long the window takes to show what was
// received once the send is released, and how long the release itself takes.
//
//   duplex_bench [echo|sink|both] [seconds]

#include "app/Main.h"
#include "app/startup.h"
#include "benchmeter.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "ptydevice.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "settings/settingsfile.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The far side of the line: reads what the program sends and, when `echo`, writes
// it back as it came.
class FarSide
{
public:
    FarSide(int master, bool echo)
        : m_thread([this, master, echo] { run(master, echo); })
    { }
    ~FarSide()
    {
        m_stop = true;
        m_thread.join();
    }
    uint64_t bytes() const { return m_bytes; }

private:
    void run(int master, bool echo)
    {
        char buffer[4096];
        while (!m_stop) {
            pollfd waiter { master, POLLIN, 0 };
            if (poll(&waiter, 1, 20) <= 0) {
                continue;
            }
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            m_bytes += static_cast<uint64_t>(n);
            for (ssize_t done = 0; echo && done < n && !m_stop;) {
                const ssize_t w = write(master, buffer + done, static_cast<size_t>(n - done));
                if (w > 0) {
                    done += w;
                } else {
                    pollfd room { master, POLLOUT, 0 };
                    poll(&room, 1, 20);
                }
            }
        }
    }

    std::atomic<bool> m_stop { false };
    std::atomic<uint64_t> m_bytes { 0 };
    std::thread m_thread;
};

// Runs the event loop for `ms` as the program does: it sleeps while nothing is due,
// so the window thread's CPU is what the window costs.
void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Run(bool echo, int seconds)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    PtyDevice device(true);
    SettingsValues values;
    SetDefaultSettings(values);
    values.FTimedSend = true;
    values.FTimeInterval = 1;
    values.FAutoSend = true;
    values.FSendStart = 0;
    values.FSendEnd = 255;
    values.FTwoCharDelay = 0;
    if (!SaveSettings(values)) {
        return false;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("byteway")));
    if (::symlink(device.slaveName().c_str(),
            QFile::encodeName(dir.filePath(QStringLiteral("byteway/com1"))).constData())
        != 0) {
        return false;
    }
    CreateMainObjects();
    MainForm->show();
    Spin(300);
    if (!Port.isOpen()) {
        std::printf("COM1 did not open\n");
        DestroyMainObjects();
        return false;
    }
    bool ok = true;
    {
        FarSide far(device.master(), echo);
        if (echo) {
            MainForm->BtnRecieve->click();
        }
        const uint64_t sent0 = Traffic.sentTotal();
        const uint64_t received0 = Traffic.receivedTotal();
        const double uiCpu0 = CpuMs(RUSAGE_THREAD);
        const double cpu0 = CpuMs(RUSAGE_SELF);
        const auto start = Clock::now();
        MainForm->BtnSend->click();
        Spin(seconds * 1000);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double uiCpu = CpuMs(RUSAGE_THREAD) - uiCpu0;
        const double cpu = CpuMs(RUSAGE_SELF) - cpu0;
        const uint64_t sent = Traffic.sentTotal() - sent0;
        const uint64_t received = Traffic.receivedTotal() - received0;
        const bool stillSending = MainForm->BtnSend->isChecked();
        const auto releaseStart = Clock::now();
        MainForm->BtnSend->click();
        const double releaseMs
            = std::chrono::duration<double, std::milli>(Clock::now() - releaseStart).count();
        std::printf("%s, %d s: sent %.1f kB/s, received %.1f kB/s (far side saw %.1f kB/s); "
                    "window thread %.0f %% CPU, process %.0f %%; 发送 %s; release took %.1f ms\n",
            echo ? "echo, reception on" : "sink, reception off", seconds, sent / wall / 1000,
            received / wall / 1000, far.bytes() / wall / 1000, uiCpu / wall / 10, cpu / wall / 10,
            stillSending ? "still down" : "came up by itself", releaseMs);
        ok = stillSending;
        if (echo) {
            // The echo still in flight arrives; the window catches up with it.
            const auto catchStart = Clock::now();
            uint64_t last = Traffic.receivedTotal();
            auto lastChange = Clock::now();
            while (Clock::now() - lastChange < std::chrono::milliseconds(500)
                && Clock::now() - catchStart < std::chrono::seconds(60)) {
                Spin(50);
                if (Traffic.receivedTotal() != last) {
                    last = Traffic.receivedTotal();
                    lastChange = Clock::now();
                }
            }
            std::printf("   after the release: %.0f bytes more arrived within %.2f s; far side "
                        "sent %llu, the program received %llu\n",
                static_cast<double>(last - received0 - received),
                std::chrono::duration<double>(lastChange - catchStart).count(),
                static_cast<unsigned long long>(far.bytes()),
                static_cast<unsigned long long>(last - received0));
            MainForm->BtnRecieve->click();
        }
        Spin(100);
    }
    DestroyMainObjects();
    Port.Close();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string which = argc > 1 ? argv[1] : "both";
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    bool ok = true;
    if (which == "both" || which == "echo") {
        ok = Run(true, seconds) && ok;
    }
    if (which == "both" || which == "sink") {
        ok = Run(false, seconds) && ok;
    }
    return ok ? 0 : 1;
}
