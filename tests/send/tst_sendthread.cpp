// The main window while a send runs on the send thread: the window answers, the
// release of BtnSend, closing and the settings dialog stop or hold the send at
// once, ticks are skipped, and the echo tells only what went out. The program's
// Port is on a pseudo-terminal, played by the test or by byteway-device.

#include "app/Main.h"
#include "app/intervaltimer.h"
#include "app/maintexts.h"
#include "app/startup.h"
#include "capture/traffic.h"
#include "devicelog.h"
#include "deviceprocess.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "send/sendui.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "textview/richedit.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

const QString kSending = QStringLiteral("Sending: ");
constexpr int32_t kLongestDelay = 2147483647; // µs, about 35 minutes
// A release or close must end a send within this. The window itself answers
// within it too, but on a machine this busy the whole process is now and then
// not scheduled for that long, so the window's answering is checked against
// kFreezeMs: far below the seconds to minutes a send on the window's own thread
// would hold it.
constexpr qint64 kAnswerMs = 100;
constexpr qint64 kFreezeMs = 500;

int CountOf(const QStringList &lines, const QString &prefix)
{
    int count = 0;
    for (const QString &line : lines) {
        count += line.startsWith(prefix) ? 1 : 0;
    }
    return count;
}

// The hexadecimal echo of the range values first..last.
QString RangeEcho(int first, int last)
{
    QString echo;
    for (int i = first; i <= last; ++i) {
        echo += QString::asprintf("0x%02X ", static_cast<unsigned>(i));
    }
    return echo;
}

// Runs the event loop for `ms` with a 10 ms timer, returning the longest time the
// window took to come back to the timer: how long it left input unanswered.
qint64 LongestUnansweredMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(10);
    while (clock.elapsed() < ms) {
        QTest::qWait(5);
    }
    return std::max(longest, clock.elapsed() - last);
}

} // namespace

class SendThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void releaseStopsTheLongestDelayAtOnce_data();
    void releaseStopsTheLongestDelayAtOnce();
    void stalledDeviceLeavesTheWindowAnswering();
    void killedDeviceEchoesWhatItReceived();
    void noPortNoEchoAndAReason_data();
    void noPortNoEchoAndAReason();
    void ticksDuringASendAreSkipped();
    void settingsOkHoldsTheSendWhileThePortReopens();
    void timedSendGoesOnAfterSettingsOk();
    void closingTheProgramEndsTheSend();

private:
    // The main window on a pseudo-terminal that the test plays.
    void startOnPty();
    // The main window on byteway-device run with `args` (linked as com1).
    void startOnDevice(const QStringList &args);
    void startMainWindow();
    void setRange(int32_t start, int32_t end, int32_t delay, bool timed);
    RichEdit *activeEdit() const { return MainForm->ActiveChild()->RichEdit1; }

    std::unique_ptr<PtyPort> m_pty;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<DeviceProcess> m_device;
};

void SendThreadTest::startOnPty()
{
    m_pty = std::make_unique<PtyPort>(false);
    QVERIFY(m_pty->isOpen());
    startMainWindow();
}

void SendThreadTest::startOnDevice(const QStringList &args)
{
    m_home = std::make_unique<TempConfigHome>();
    const std::string link = m_home->bytewayFolder() + "/com1";
    std::vector<std::string> all { "--link", link };
    for (const QString &arg : args) {
        all.push_back(arg.toStdString());
    }
    m_device = std::make_unique<DeviceProcess>(all);
    QVERIFY2(m_device->waitFor("linked " + link, 5000), m_device->text().c_str());
    startMainWindow();
}

void SendThreadTest::startMainWindow()
{
    CreateMainObjects();
    MainForm->show();
    QTRY_VERIFY(MainForm->ActiveChild() != nullptr);
    QVERIFY(Port.isOpen());
}

void SendThreadTest::cleanup()
{
    DestroyMainObjects();
    Port.Close();
    m_device.reset();
    m_home.reset();
    m_pty.reset();
}

void SendThreadTest::setRange(int32_t start, int32_t end, int32_t delay, bool timed)
{
    FrmOption->FAutoSend = true;
    FrmOption->FAutoClear = false;
    FrmOption->FSendStart = start;
    FrmOption->FSendEnd = end;
    FrmOption->FTwoCharDelay = delay;
    FrmOption->FTimedSend = timed;
    FrmOption->FTimeInterval = 50;
}

void SendThreadTest::releaseStopsTheLongestDelayAtOnce_data()
{
    QTest::addColumn<bool>("timed");
    QTest::newRow("single-send") << false;
    QTest::newRow("timed-send") << true;
}

// The range's first byte goes out, then a delay of 35 minutes begins; releasing
// the button ends it within a tenth of a second, and the echo shows that byte.
void SendThreadTest::releaseStopsTheLongestDelayAtOnce()
{
    QFETCH(bool, timed);
    startOnPty();
    setRange(0, 10, kLongestDelay, timed);
    MainForm->BtnSend->click();
    QCOMPARE(m_pty->receive(1, 1000), std::string(1, '\0'));
    QVERIFY(MainForm->Sender->isSending());
    QVERIFY(LongestUnansweredMs(200) < kFreezeMs);
    QElapsedTimer release;
    release.start();
    MainForm->BtnSend->click();
    QVERIFY(release.elapsed() < kAnswerMs);
    QVERIFY(!MainForm->Sender->isSending());
    QVERIFY(!MainForm->BtnSend->isChecked());
    QVERIFY(!MainForm->Timer1->isEnabled());
    QCOMPARE(activeEdit()->lines(), QStringList { kSending + "0x00 " });
    QCOMPARE(m_pty->receive(1, 100), std::string());
    QCOMPARE(MainForm->stateMessage(), QString());
}

// A device that takes nothing: a long range send goes on filling the line while
// the window answers; the release ends it, and the echo holds exactly the bytes
// the port took.
void SendThreadTest::stalledDeviceLeavesTheWindowAnswering()
{
    startOnDevice({ QStringLiteral("--stall") });
    setRange(0, 199999, 1000, false);
    SendResult result;
    connect(MainForm->Sender, &SendController::finished, this,
        [&](const SendResult &r) { result = r; });
    MainForm->BtnSend->click();
    QVERIFY(MainForm->BtnSend->isChecked());
    QVERIFY(LongestUnansweredMs(500) < kFreezeMs);
    QVERIFY(MainForm->Sender->isSending());
    QElapsedTimer release;
    release.start();
    MainForm->BtnSend->click();
    QVERIFY(release.elapsed() < kAnswerMs);
    QCOMPARE(result.outcome, SendOutcome::Stopped);
    QVERIFY(result.bytesSent > 0);
    QCOMPARE(activeEdit()->lines(),
        QStringList { kSending + RangeEcho(0, static_cast<int>(result.bytesSent) - 1) });
}

// The device dies in the middle of a send: the send ends with the first byte the
// port refuses, the echo lists exactly what the device recorded, and the user is
// told.
void SendThreadTest::killedDeviceEchoesWhatItReceived()
{
    const QString log = QDir::tempPath()
        + QStringLiteral("/byteway-send-killed-%1.log").arg(QCoreApplication::applicationPid());
    startOnDevice({ QStringLiteral("--log"), log });
    setRange(0, 127, 50000, false);
    MainForm->BtnSend->click();
    // Killed right after a byte was recorded, well inside the 50 ms before the next.
    QTRY_VERIFY_WITH_TIMEOUT(DeviceLogBytes(log).size() >= 5, 10000);
    m_device->stop(SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(!MainForm->BtnSend->isChecked(), 5000);
    const QByteArray received = DeviceLogBytes(log);
    QFile::remove(log);
    QVERIFY(received.size() >= 5 && received.size() < 128);
    for (int i = 0; i < received.size(); ++i) {
        QCOMPARE(static_cast<uint8_t>(received[i]), static_cast<uint8_t>(i));
    }
    QCOMPARE(activeEdit()->lines(), QStringList { kSending + RangeEcho(0, received.size() - 1) });
    QCOMPARE(MainForm->stateMessage(), MainTexts::WriteFailed.arg(received.size()));
    QVERIFY(!MainForm->Sender->isSending());
}

void SendThreadTest::noPortNoEchoAndAReason_data()
{
    QTest::addColumn<bool>("timed");
    QTest::newRow("single-send") << false;
    QTest::newRow("timed-send") << true;
}

// With the port closed by BtnCom, 发送 writes nothing at all into the document and
// says why in the status bar; a timed send does not start.
void SendThreadTest::noPortNoEchoAndAReason()
{
    QFETCH(bool, timed);
    startOnPty();
    FrmOption->FAutoSend = false;
    FrmOption->FTimedSend = timed;
    MainForm->Edit2->setText(QStringLiteral("41 42"));
    MainForm->BtnCom->click();
    QVERIFY(!Port.isOpen());
    MainForm->BtnSend->click();
    QCOMPARE(MainForm->stateMessage(), MainTexts::SendPortNotOpen);
    QVERIFY(!MainForm->BtnSend->isChecked());
    QVERIFY(!MainForm->Timer1->isEnabled());
    QVERIFY(!MainForm->Sender->isSending());
    QCOMPARE(activeEdit()->toPlainText(), QString());
    QCOMPARE(m_pty->receive(1, 100), std::string());
}

// A timed send with a 1 ms interval whose send waits for minutes: every tick that
// falls due meanwhile is skipped, and so is a direct call.
void SendThreadTest::ticksDuringASendAreSkipped()
{
    startOnPty();
    setRange(0, 10, kLongestDelay, true);
    FrmOption->FTimeInterval = 1;
    MainForm->BtnSend->click();
    QVERIFY(MainForm->Timer1->isEnabled());
    QTest::qWait(150);
    MainForm->Timer1Timer();
    MainForm->SendData();
    QCOMPARE(CountOf(activeEdit()->lines(), kSending), 1);
    QCOMPARE(m_pty->receive(2, 200), std::string(1, '\0'));
    MainForm->BtnSend->click();
    QVERIFY(!MainForm->Sender->isSending());
    QCOMPARE(activeEdit()->lines(), QStringList { kSending + "0x00 " });
}

// OK in the settings dialog closes and reopens the port in the middle of a send
// that writes without a pause: the send is held meanwhile and then goes on with
// the delay just accepted; no write meets the closed port, and every byte is out
// once and echoed once.
void SendThreadTest::settingsOkHoldsTheSendWhileThePortReopens()
{
    startOnPty();
    setRange(0, 999999, 0, false);
    std::atomic<bool> draining { true };
    std::string received;
    std::thread drain([&] {
        while (draining) {
            received += m_pty->receive(1 << 16, 20);
        }
    });
    MainForm->BtnSend->click();
    QTest::qWait(100);
    FrmOption->show();
    FrmOption->TwoCharDelay->setText(QStringLiteral("200"));
    FrmOption->Button1->click();
    QCOMPARE(FrmOption->FTwoCharDelay.load(), 200);
    QTest::qWait(100);
    QVERIFY(MainForm->Sender->isSending());
    MainForm->BtnSend->click();
    QTest::qWait(200);
    draining = false;
    drain.join();
    QCOMPARE(MainForm->stateMessage(), QString());
    QVERIFY(received.size() > 10);
    int wrong = 0;
    for (std::size_t i = 0; i < received.size(); ++i) {
        wrong += static_cast<uint8_t>(received[i]) == i % 256 ? 0 : 1;
    }
    QCOMPARE(wrong, 0);
    QCOMPARE(activeEdit()->lines(),
        QStringList { kSending + RangeEcho(0, static_cast<int>(received.size()) - 1) });
}

// A timed send of short ranges every 1 ms, with OK pressed in the settings dialog
// again and again: each hold may meet a send that has just ended, and the sends go
// on after every one of them.
void SendThreadTest::timedSendGoesOnAfterSettingsOk()
{
    startOnPty();
    setRange(0, 15, 0, true);
    FrmOption->FTimeInterval = 1;
    std::atomic<bool> draining { true };
    std::thread drain([&] {
        while (draining) {
            m_pty->receive(1 << 16, 20);
        }
    });
    MainForm->BtnSend->click();
    for (int round = 0; round < 30; ++round) {
        QTest::qWait(7);
        FrmOption->show();
        FrmOption->Button1->click();
    }
    const uint64_t before = Traffic.sentTotal();
    QTRY_VERIFY_WITH_TIMEOUT(Traffic.sentTotal() > before + 160, 3000);
    MainForm->BtnSend->click();
    draining = false;
    drain.join();
    QVERIFY(!MainForm->Sender->isSending());
}

// Closing the main window in the middle of a long wait ends the send before the
// windows go; nothing more reaches the line.
void SendThreadTest::closingTheProgramEndsTheSend()
{
    startOnPty();
    setRange(0, 10, kLongestDelay, true);
    MainForm->BtnSend->click();
    QCOMPARE(m_pty->receive(1, 1000), std::string(1, '\0'));
    QElapsedTimer closing;
    closing.start();
    MainForm->close();
    QVERIFY(!MainForm->Sender->isSending());
    DestroyMainObjects();
    QVERIFY(closing.elapsed() < 1000);
    QCOMPARE(m_pty->receive(1, 100), std::string());
}

QTEST_MAIN(SendThreadTest)
#include "tst_sendthread.moc"
