// The port's state field of the main window, and a device that goes away and comes
// back during a reception or while idle: the demo device on a real pseudo-terminal,
// stopped and started again on the same link.

#include "app/maintexts.h"
#include "appfixture.h"
#include "deviceprocess.h"
#include "document/ChildWin.h"
#include "ptydevice.h"
#include "receive/receiveui.h"
#include "textview/richedit.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>

#include <filesystem>
#include <memory>

#include <sys/resource.h>

namespace {

// CPU time (user + system) of the whole process so far, in milliseconds.
double ProcessCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

QString stateTip()
{
    return MainForm->PortState->toolTip();
}

QString realPath(const QString &path)
{
    std::error_code error;
    const auto real = std::filesystem::canonical(path.toStdString(), error);
    return error ? path : QString::fromStdString(real.string());
}

} // namespace

class PortStateTest : public QObject
{
    Q_OBJECT

private slots:
    void stateField_data();
    void stateField();
    void receptionGoesOnAfterReplug();
    void idlePortSendsAfterReplug();
    void timedSendGoesOnAfterReplug();
    void closedWhileLostStaysClosed();

private:
    // Runs the demo device on the fixture's com1 link.
    std::unique_ptr<DeviceProcess> startDevice(
        const AppFixture &fixture, const std::vector<std::string> &mode);
};

std::unique_ptr<DeviceProcess> PortStateTest::startDevice(
    const AppFixture &fixture, const std::vector<std::string> &mode)
{
    const std::string link = fixture.path(QStringLiteral("byteway/com1")).toStdString();
    std::vector<std::string> args { "--link", link };
    args.insert(args.end(), mode.begin(), mode.end());
    auto device = std::make_unique<DeviceProcess>(args);
    if (!device->waitFor("linked " + link, 5000)) {
        qWarning("device did not start: %s", device->text().c_str());
    }
    return device;
}

void PortStateTest::stateField_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("alsoContains");

    QTest::newRow("open") << "open" << MainTexts::PortOpen.text() << QString();
    QTest::newRow("closed-by-btncom")
        << "closed" << MainTexts::PortClosedByUser.text() << QString();
    QTest::newRow("missing-device")
        << "missing" << MainTexts::PortFailed.arg(MainTexts::ReasonMissing) << QString();
    // The holder is this process itself (another open of the same device).
    QTest::newRow("busy-names-the-holder")
        << "busy" << MainTexts::PortFailed.arg(MainTexts::ReasonBusyBy.text().section('%', 0, 0))
        << QStringLiteral("(%1) ").arg(::getpid());
    // The link points at something that is no terminal; the system's reason is in the tip.
    QTest::newRow("not-a-serial-device")
        << "not-serial" << MainTexts::PortFailed.arg(MainTexts::ReasonNotSerial)
        << QStringLiteral("Inappropriate ioctl for device");
    // The link is pointed elsewhere while the port is open: the field names the device
    // the port reads, and the new one as pending until the next open.
    QTest::newRow("link-retargeted-while-open")
        << "retarget" << MainTexts::PortOpen.text() << QStringLiteral("<pending>");
}

void PortStateTest::stateField()
{
    QFETCH(QString, situation);
    QFETCH(QString, state);
    QFETCH(QString, alsoContains);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00",
        situation == "missing" ? AppFixture::PortKind::Missing
                               : AppFixture::PortKind::PseudoTerminal));
    const QString link = fixture.path(QStringLiteral("byteway/com1"));
    if (situation == "not-serial") {
        QVERIFY(QFile::remove(link) && QFile::link(QStringLiteral("/dev/null"), link));
    }
    const QString device = situation == "missing" ? fixture.path(QStringLiteral("gone"))
                                                  : realPath(QFile::symLinkTarget(link));
    SerialPort holder;
    if (situation == "busy") {
        QVERIFY(holder.Open(1, 57600, 0, 0, 8));
    }
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    if (situation == "closed") {
        QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    }
    const PtyDevice other(false);
    if (situation == "retarget") {
        const QString next = QString::fromStdString(other.slaveName());
        QVERIFY(QFile::remove(link) && QFile::link(next, link));
        alsoContains = MainTexts::PortPending.arg(realPath(next));
    }

    QLabel *field = MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("PortState"));
    QVERIFY(field);
    QCOMPARE(field->accessibleName(), QStringLiteral("端口状态"));
    const QString expected = QStringLiteral("COM1 \u2192 %1  57600,8,N,1  %2").arg(device, state);
    QTRY_VERIFY2(stateTip().startsWith(expected) && stateTip().contains(alsoContains),
        qPrintable(stateTip() + " / " + expected + " / " + alsoContains));
    // A failure at start still brings the same warning as ever; the field adds the why.
    const bool failed = situation == "missing" || situation == "busy" || situation == "not-serial";
    QCOMPARE(watcher.boxes.size(), failed ? 1 : 0);
    if (failed) {
        QCOMPARE(watcher.boxes[0].text, MainTexts::PortWarning);
        QCOMPARE(watcher.boxes[0].title, MainTexts::PortWarningTitle);
    }
    // Hints take the status bar's message area; the field stays.
    MainForm->StatusBar->showMessage(QStringLiteral("hint"));
    QVERIFY(field->isVisible());
    QCOMPARE(MainForm->StatusBar->currentMessage(), QStringLiteral("hint"));
}

void PortStateTest::receptionGoesOnAfterReplug()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture, { "--pattern", "100", "--rate", "500" });
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QVERIFY(Port.isOpen());
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QTRY_VERIFY(edit->toPlainText().size() > 200);

    const QString pty
        = realPath(QFile::symLinkTarget(fixture.path(QStringLiteral("byteway/com1"))));
    QCOMPARE(device->stop(SIGTERM), 0);
    QTRY_VERIFY2(stateTip().endsWith(MainTexts::PortLost), qPrintable(stateTip()));
    // The field names the device it waits for, not what the number falls back to.
    QVERIFY2(stateTip().startsWith(QStringLiteral("COM1 \u2192 %1  57600,8,N,1  ").arg(pty)),
        qPrintable(stateTip()));
    // While the device is away the program waits without spinning.
    const double cpuBefore = ProcessCpuMs();
    QElapsedTimer window;
    window.start();
    QTest::qWait(1000);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    QVERIFY2(cpuMs < 0.2 * window.elapsed(), qPrintable(QString::number(cpuMs)));
    QVERIFY(MainForm->Receiver->isReceiving());
    QVERIFY(watcher.boxes.isEmpty());

    const qsizetype before = edit->toPlainText().size();
    device = startDevice(fixture, { "--pattern", "100", "--rate", "500" });
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(edit->toPlainText().size() > before + 50, 5000);
    // The watch looks every 500 ms; the bound leaves room for a loaded machine.
    QVERIFY2(back.elapsed() < 2000, qPrintable(QString::number(back.elapsed())));
    QTRY_VERIFY2(stateTip().endsWith(MainTexts::PortOpen), qPrintable(stateTip()));
    QVERIFY(MainForm->BtnRecieve->isChecked());
    QVERIFY(watcher.boxes.isEmpty());
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QVERIFY(!MainForm->BtnRecieve->isChecked());
}

void PortStateTest::idlePortSendsAfterReplug()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture, { "--echo" });
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QVERIFY(Port.isOpen());

    QCOMPARE(device->stop(SIGTERM), 0);
    QTRY_VERIFY2(stateTip().endsWith(MainTexts::PortLost), qPrintable(stateTip()));
    device = startDevice(fixture, { "--echo" });
    QTRY_VERIFY_WITH_TIMEOUT(stateTip().endsWith(MainTexts::PortOpen), 5000);

    // A send through the send button reaches the device again; its echo comes back.
    MainForm->Edit2->setText(QStringLiteral("5A"));
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
    // Read once per try: the condition is evaluated again after it held.
    bool echoed = false;
    const auto readEcho = [&] {
        uint8_t byte = 0;
        echoed = echoed || (Port.ReadByte(byte) == 1 && byte == 0x5A);
        return echoed;
    };
    QTRY_VERIFY(readEcho());
    QVERIFY(watcher.boxes.isEmpty());
}

// What the device logged receiving ("<microseconds> <hex byte>" per line).
static QByteArray loggedBytes(const QString &log)
{
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PortStateTest::timedSendGoesOnAfterReplug()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    const QString before = fixture.path(QStringLiteral("before.log"));
    const QString after = fixture.path(QStringLiteral("after.log"));
    auto device = startDevice(fixture, { "--log", before.toStdString() });
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    FrmOption->FTimedSend = true;
    FrmOption->FTimeInterval = 100;
    MainForm->Edit2->setText(QStringLiteral("5A"));
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
    QVERIFY(MainForm->BtnSend->isChecked());
    QTRY_VERIFY(loggedBytes(before).contains(" 5A"));

    QCOMPARE(device->stop(SIGTERM), 0);
    QTRY_VERIFY2(stateTip().endsWith(MainTexts::PortLost), qPrintable(stateTip()));
    device = startDevice(fixture, { "--log", after.toStdString() });
    // The timer kept sending into the void; now the bytes reach the device again.
    QTRY_VERIFY_WITH_TIMEOUT(loggedBytes(after).count(" 5A") >= 3, 5000);
    QVERIFY(MainForm->BtnSend->isChecked());
    QVERIFY(watcher.boxes.isEmpty());
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
}

void PortStateTest::closedWhileLostStaysClosed()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture, { "--echo" });
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QCOMPARE(device->stop(SIGTERM), 0);
    QTRY_VERIFY2(stateTip().endsWith(MainTexts::PortLost), qPrintable(stateTip()));

    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QVERIFY(MainForm->BtnCom->isChecked());
    QVERIFY2(stateTip().endsWith(MainTexts::PortClosedByUser), qPrintable(stateTip()));
    device = startDevice(fixture, { "--echo" });
    QTest::qWait(1500);
    QCOMPARE(Port.state(), SerialPort::State::Closed);
    QVERIFY2(stateTip().endsWith(MainTexts::PortClosedByUser), qPrintable(stateTip()));
    // Releasing the button opens the returned device as ever.
    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QVERIFY(Port.isOpen());
    QVERIFY2(stateTip().endsWith(MainTexts::PortOpen), qPrintable(stateTip()));
}

QTEST_MAIN(PortStateTest)
#include "tst_portstate.moc"
