// The control-line strip of the main window against the demo device playing the
// modem lines (ctest preloads libbyteway-modemsim into both): pulses and breaks
// measured on the far side, inputs the device drives, and a device that vanishes in
// the middle of a pulse.
#include "appfixture.h"
#include "controllines/linestrip.h"
#include "deviceprocess.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QRegularExpression>
#include <QToolButton>

#include <csignal>
#include <memory>

namespace {

// The times (ms) at which the device reported `event` ("DTR off", "break of").
QList<double> timesOf(const DeviceProcess &device, const QString &event)
{
    QList<double> times;
    const QRegularExpression line(
        QRegularExpression::escape(event) + QStringLiteral("[^\\n]* at ([0-9.]+) ms"));
    auto matches = line.globalMatch(QString::fromStdString(device.text()));
    while (matches.hasNext()) {
        times.append(matches.next().captured(1).toDouble());
    }
    return times;
}

double breakLength(const DeviceProcess &device)
{
    const QRegularExpression line(QStringLiteral("break of ([0-9.]+) ms"));
    const auto match = line.match(QString::fromStdString(device.text()));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

class MainLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void pulseMeasuredOnTheFarSide_data();
    void pulseMeasuredOnTheFarSide();
    void inputsFollowTheDevice();
    void breakSeenByTheDevice_data();
    void breakSeenByTheDevice();
    void menuItemsFollowTheLines();
    void deviceVanishesMidPulse();

private:
    std::unique_ptr<DeviceProcess> startDevice(const AppFixture &fixture)
    {
        const std::string link = fixture.path(QStringLiteral("byteway/com1")).toStdString();
        auto device = std::make_unique<DeviceProcess>(std::vector<std::string> {
            "--link", link, "--commands", fixture.path(QStringLiteral("commands")).toStdString() });
        if (!device->waitFor("lines DTR", 5000)) {
            qWarning("device did not start: %s", device->text().c_str());
        }
        return device;
    }
    bool command(const AppFixture &fixture, const QByteArray &text)
    {
        QFile fifo(fixture.path(QStringLiteral("commands")));
        return fifo.open(QIODevice::WriteOnly) && fifo.write(text) == text.size();
    }
};

void MainLinesTest::pulseMeasuredOnTheFarSide_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QKeySequence>("keys"); // empty: the strip's own menu
    QTest::newRow("DTR") << QStringLiteral("DTR") << QKeySequence();
    QTest::newRow("RTS") << QStringLiteral("RTS") << QKeySequence();
    QTest::newRow("DTR-F5") << QStringLiteral("DTR") << QKeySequence(Qt::Key_F5);
    QTest::newRow("RTS-Shift+F5") << QStringLiteral("RTS") << QKeySequence(Qt::SHIFT | Qt::Key_F5);
}

void MainLinesTest::pulseMeasuredOnTheFarSide()
{
    QFETCH(QString, line);
    QFETCH(QKeySequence, keys);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture);
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    QVERIFY(strip);
    QToolButton *button = line == QLatin1String("DTR") ? strip->LineDTR : strip->LineRTS;
    QTRY_VERIFY(button->isEnabled());
    QVERIFY(button->isChecked());
    if (keys.isEmpty()) {
        (line == QLatin1String("DTR") ? strip->LineDTRPulse : strip->LineRTSPulse)->trigger();
    } else {
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QTest::keySequence(MainForm, keys);
    }
    // Short looks at the device's output, so the window's timers run in between.
    const std::string restored = (line + QStringLiteral(" on")).toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor(restored, 2), 5000);
    const QList<double> off = timesOf(*device, line + QStringLiteral(" off"));
    const QList<double> on = timesOf(*device, line + QStringLiteral(" on"));
    QCOMPARE(off.size(), 1);
    QCOMPARE(on.size(), 1);
    const double length = on[0] - off[0];
    // The default length, 100 ms; the upper bound only catches a pulse that hangs.
    QVERIFY2(length >= 95 && length < 1000, qPrintable(QString::number(length)));
    QTRY_VERIFY(button->isChecked() && button->isEnabled());
}

void MainLinesTest::inputsFollowTheDevice()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture);
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    // The device is a loopback plug: CTS follows RTS, DSR follows DTR.
    QTRY_VERIFY(strip->LineCTS->isChecked() && strip->LineDSR->isChecked());
    strip->LineRTS->click();
    QTRY_VERIFY(!strip->LineCTS->isChecked());
    QVERIFY(strip->LineDSR->isChecked());
    strip->LineDTR->click();
    QTRY_VERIFY(!strip->LineDSR->isChecked());
    strip->LineRTS->click();
    QTRY_VERIFY(strip->LineCTS->isChecked());
    QVERIFY(!strip->LineDCD->isChecked());
    QVERIFY(command(fixture, "dcd 1\nri 1\n"));
    QTRY_VERIFY(strip->LineDCD->isChecked() && strip->LineRI->isChecked());
    QVERIFY(command(fixture, "ri 0\n"));
    QTRY_VERIFY(!strip->LineRI->isChecked());
    QVERIFY(strip->LineDCD->isChecked());
}

void MainLinesTest::breakSeenByTheDevice_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("button") << false;
    QTest::newRow("F6") << true;
}

void MainLinesTest::breakSeenByTheDevice()
{
    QFETCH(bool, byKey);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture);
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    QTRY_VERIFY(strip->LineBreak->isEnabled());
    QTRY_VERIFY(MainForm->BreakItem->isEnabled());
    if (byKey) {
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QTest::keyClick(MainForm, Qt::Key_F6);
    } else {
        strip->LineBreak->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor("break of", 2), 5000);
    const double length = breakLength(*device);
    QVERIFY2(length >= 245 && length < 1500, qPrintable(QString::number(length)));
}

// The 串口 menu's DTR and RTS items show the lines as the device has them, F7 and
// F8 turn them, and with the port closed every line item is off and greyed.
void MainLinesTest::menuItemsFollowTheLines()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture);
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    QAction *dtr = MainForm->DtrItem;
    QAction *rts = MainForm->RtsItem;
    QTRY_VERIFY(dtr->isEnabled() && rts->isEnabled());
    QVERIFY(dtr->isCheckable() && rts->isCheckable());
    QVERIFY(dtr->isChecked() && rts->isChecked());
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));

    QTest::keyClick(MainForm, Qt::Key_F7);
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor("DTR off", 2), 5000);
    QTRY_VERIFY(!dtr->isChecked());
    QVERIFY(!strip->LineDTR->isChecked());
    QVERIFY(rts->isChecked());
    QTest::keyClick(MainForm, Qt::Key_F8);
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor("RTS off", 2), 5000);
    QTRY_VERIFY(!rts->isChecked());
    QTest::keyClick(MainForm, Qt::Key_F7);
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor("DTR on", 2), 5000);
    QTRY_VERIFY(dtr->isChecked());

    MainForm->PortItem->trigger();
    QTRY_VERIFY(!Port.isOpen());
    for (QAction *item :
        { dtr, rts, MainForm->DtrPulseItem, MainForm->RtsPulseItem, MainForm->BreakItem }) {
        QTRY_VERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    }
    QVERIFY(!dtr->isChecked() && !rts->isChecked());
}

void MainLinesTest::deviceVanishesMidPulse()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    QVERIFY(QFile::remove(fixture.path(QStringLiteral("byteway/com1"))));
    auto device = startDevice(fixture);
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    QTRY_VERIFY(strip->LineDTR->isEnabled());
    strip->LineDTRPulse->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(device->waitFor("DTR off", 2), 5000);
    device->stop(SIGKILL);
    // The pulse ends on a device that is gone; the window goes on.
    QTRY_VERIFY(!strip->pulsing(ModemLine::Dtr));
    QTRY_COMPARE(Port.state(), SerialPort::State::Lost);
    QVERIFY(!strip->LineDTR->isEnabled());
    // Back on the same link: the port watch reopens it, and the strip reads again.
    device = startDevice(fixture);
    QTRY_VERIFY_WITH_TIMEOUT(Port.isOpen(), 10000);
    QTRY_VERIFY(strip->LineDTR->isEnabled() && strip->LineDSR->isChecked());
}

QTEST_MAIN(MainLinesTest)
#include "tst_mainlines.moc"
