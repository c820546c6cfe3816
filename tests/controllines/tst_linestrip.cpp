// The control-line strip on a fake port: what it shows, what it greys and why, and
// the timing of pulses and breaks as the port sees the calls.

#include "controllines/linestrip.h"
#include "controllines/linetexts.h"
#include "settings/appconfig.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace {

struct Call
{
    QString what; // "DTR", "RTS" or "break"
    bool on;
    qint64 atMs;
};

class FakeLines : public ControlLines
{
public:
    FakeLines() { clock.start(); }

    Result<ModemLines> lines() override
    {
        if (!refusal.ok()) {
            return refusal;
        }
        return state;
    }
    Status setLine(ModemLine line, bool on) override
    {
        if (!refusal.ok()) {
            return refusal;
        }
        calls.push_back({ line == ModemLine::Dtr ? QStringLiteral("DTR") : QStringLiteral("RTS"),
            on, clock.elapsed() });
        // A driver that ignores the request: the strip must show what it reads.
        if (!stuck) {
            state.set(line, on);
            state.setKnown(line, true);
        }
        return {};
    }
    Status setBreak(bool on) override
    {
        if (!breakRefusal.ok()) {
            return breakRefusal;
        }
        calls.push_back({ QStringLiteral("break"), on, clock.elapsed() });
        return {};
    }
    Result<FlowControl> flowControl() override { return flow; }

    ModemLines state;
    Status refusal;
    Status breakRefusal;
    FlowControl flow = FlowControl::None;
    bool stuck = false;
    std::vector<Call> calls;
    QElapsedTimer clock;
};

bool accessibleChecked(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face && face->state().checked;
}

} // namespace

class TestLineStrip : public QObject
{
    Q_OBJECT

private slots:
    void showsEachLine_data();
    void showsEachLine();
    void greysWhatTheDeviceRefuses_data();
    void greysWhatTheDeviceRefuses();
    void rtsBelongsToTheHandshake();
    void showsTheStateReadBack();
    void inputChangeShowsAtTheNextReading();
    void pulse_data();
    void pulse();
    void breakLastsItsLength();
    void refusedBreakGreysWithoutRetrying();
    void optionsKeptInByteWayConf_data();
    void optionsKeptInByteWayConf();
    void unknownLineShowsAsUnknown_data();
    void unknownLineShowsAsUnknown();
    void pulseOfUnknownLineDropsIt();
};

void TestLineStrip::showsEachLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("on");
    const char *names[] = { "DTR", "RTS", "CTS", "DSR", "DCD", "RI" };
    for (int line = 0; line < 6; ++line) {
        for (const bool on : { true, false }) {
            QTest::addRow("%s %s", names[line], on ? "on" : "off") << line << on;
        }
    }
}

// Each line in both states with the other five in the opposite one, so a widget
// wired to the wrong line shows it.
void TestLineStrip::showsEachLine()
{
    QFETCH(int, line);
    QFETCH(bool, on);
    FakeLines fake;
    const auto which = static_cast<ModemLine>(line);
    for (int other = 0; other < 6; ++other) {
        fake.state.set(static_cast<ModemLine>(other), !on);
    }
    fake.state.set(which, on);
    LineStrip strip(fake);
    const std::array<QAbstractButton *, 6> widgets { strip.LineDTR, strip.LineRTS, strip.LineCTS,
        strip.LineDSR, strip.LineDCD, strip.LineRI };
    const char *names[] = { "DTR", "RTS", "CTS", "DSR", "DCD", "RI" };
    for (int index = 0; index < 6; ++index) {
        QAbstractButton *widget = widgets[static_cast<std::size_t>(index)];
        const bool expected = index == line ? on : !on;
        QCOMPARE(widget->isChecked(), expected);
        QVERIFY(widget->isEnabled());
        QCOMPARE(widget->accessibleName(), QString::fromLatin1(names[index]));
        QCOMPARE(accessibleChecked(widget), expected);
    }
    // The indicators read as check boxes to a screen reader; the outputs are buttons.
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(strip.LineCTS);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::CheckBox);
    QVERIFY(face->state().checkable);
    QVERIFY(strip.LineDTR->isCheckable());
}

void TestLineStrip::greysWhatTheDeviceRefuses_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("breakOffered");
    QTest::newRow("no modem lines")
        << int(ErrorKind::Refused)
        << QStringLiteral("reading the modem lines: Inappropriate ioctl for device") << true;
    QTest::newRow("port closed") << int(ErrorKind::Invalid) << QStringLiteral("串口未打开")
                                 << false;
    QTest::newRow("device gone") << int(ErrorKind::Lost) << QStringLiteral("串口未打开") << false;
}

void TestLineStrip::greysWhatTheDeviceRefuses()
{
    QFETCH(int, kind);
    QFETCH(QString, reason);
    QFETCH(bool, breakOffered);
    FakeLines fake;
    fake.refusal = Status(static_cast<ErrorKind>(kind), reason.toStdString());
    LineStrip strip(fake);
    for (QAbstractButton *widget : std::initializer_list<QAbstractButton *> { strip.LineDTR,
             strip.LineRTS, strip.LineCTS, strip.LineDSR, strip.LineDCD, strip.LineRI }) {
        QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
        QVERIFY2(widget->toolTip().contains(reason), qPrintable(widget->toolTip()));
        QVERIFY(!widget->isChecked());
    }
    QCOMPARE(strip.LineBreak->isEnabled(), breakOffered);
    // Clicks and polls on a refusing device never raise a window.
    strip.pulse(ModemLine::Dtr);
    QTest::qWait(3 * LineStrip::kPollMs);
    QVERIFY(fake.calls.empty());
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY(
        std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return w->isVisible(); }));
}

void TestLineStrip::rtsBelongsToTheHandshake()
{
    FakeLines fake;
    fake.flow = FlowControl::RtsCts;
    LineStrip strip(fake);
    QVERIFY(!strip.LineRTS->isEnabled());
    QVERIFY(strip.LineRTS->toolTip().contains(QStringLiteral("RTS/CTS")));
    QVERIFY(strip.LineDTR->isEnabled());
    fake.flow = FlowControl::XonXoff;
    QTRY_VERIFY(strip.LineRTS->isEnabled());
}

void TestLineStrip::showsTheStateReadBack()
{
    FakeLines fake;
    fake.stuck = true;
    LineStrip strip(fake);
    QVERIFY(!strip.LineDTR->isChecked());
    strip.LineDTR->click();
    QCOMPARE(fake.calls.size(), std::size_t(1));
    QVERIFY(fake.calls[0].on);
    // The driver kept DTR off: so does the button.
    QVERIFY(!strip.LineDTR->isChecked());
    fake.stuck = false;
    strip.LineDTR->click();
    QVERIFY(strip.LineDTR->isChecked());
    QVERIFY(fake.state.dtr);
}

void TestLineStrip::inputChangeShowsAtTheNextReading()
{
    FakeLines fake;
    LineStrip strip(fake);
    QVERIFY(!strip.LineRI->isChecked());
    fake.state.ri = true;
    QTRY_VERIFY(strip.LineRI->isChecked());
    QVERIFY(accessibleChecked(strip.LineRI));
}

void TestLineStrip::pulse_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("before");
    QTest::addColumn<int>("ms");
    QTest::newRow("DTR from on") << int(ModemLine::Dtr) << true << 100;
    QTest::newRow("DTR from off") << int(ModemLine::Dtr) << false << 100;
    QTest::newRow("RTS from on, 40 ms") << int(ModemLine::Rts) << true << 40;
}

void TestLineStrip::pulse()
{
    QFETCH(int, line);
    QFETCH(bool, before);
    QFETCH(int, ms);
    const auto which = static_cast<ModemLine>(line);
    FakeLines fake;
    fake.state.set(which, before);
    LineStrip strip(fake);
    strip.setPulseMs(ms);
    QToolButton *button = which == ModemLine::Dtr ? strip.LineDTR : strip.LineRTS;
    QAction *action = which == ModemLine::Dtr ? strip.LineDTRPulse : strip.LineRTSPulse;
    QVERIFY(action->text().contains(QString::number(ms)));
    action->trigger();
    QVERIFY(strip.pulsing(which));
    QVERIFY(!button->isEnabled());
    QCOMPARE(button->isChecked(), !before);
    // A second pulse while one runs is ignored.
    action->trigger();
    QTRY_VERIFY(!strip.pulsing(which));
    QCOMPARE(fake.calls.size(), std::size_t(2));
    QCOMPARE(fake.calls[0].on, !before);
    QCOMPARE(fake.calls[1].on, before);
    QVERIFY2(fake.calls[1].atMs - fake.calls[0].atMs >= ms,
        qPrintable(QString::number(fake.calls[1].atMs - fake.calls[0].atMs)));
    QCOMPARE(button->isChecked(), before);
    QVERIFY(button->isEnabled());
}

void TestLineStrip::breakLastsItsLength()
{
    FakeLines fake;
    LineStrip strip(fake);
    strip.setBreakMs(60);
    QVERIFY(strip.LineBreak->toolTip().contains(QStringLiteral("60")));
    strip.LineBreak->click();
    QVERIFY(strip.breaking());
    QVERIFY(!strip.LineBreak->isEnabled());
    QTRY_VERIFY(!strip.breaking());
    QCOMPARE(fake.calls.size(), std::size_t(2));
    QVERIFY(fake.calls[0].on);
    QVERIFY(!fake.calls[1].on);
    QVERIFY(fake.calls[1].atMs - fake.calls[0].atMs >= 60);
    QVERIFY(strip.LineBreak->isEnabled());
}

void TestLineStrip::refusedBreakGreysWithoutRetrying()
{
    FakeLines fake;
    fake.breakRefusal = Status(ErrorKind::Refused, "sending a break: Operation not supported");
    LineStrip strip(fake);
    QVERIFY(strip.LineBreak->isEnabled());
    strip.LineBreak->click();
    QVERIFY(!strip.LineBreak->isEnabled());
    QVERIFY(strip.LineBreak->toolTip().contains(QStringLiteral("Operation not supported")));
    QTest::qWait(2 * LineStrip::kPollMs);
    QVERIFY(!strip.LineBreak->isEnabled());
    // The port closed and opened again: the next device may do it.
    fake.refusal = Status(ErrorKind::Invalid, "the port is not open");
    QTRY_VERIFY(!strip.LineDTR->isEnabled());
    fake.refusal = Status();
    fake.breakRefusal = Status();
    QTRY_VERIFY(strip.LineBreak->isEnabled());
}

void TestLineStrip::optionsKeptInByteWayConf_data()
{
    QTest::addColumn<int>("flow");
    QTest::addColumn<int>("dtr");
    QTest::addColumn<int>("rts");
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<int>("pulseMs");
    QTest::newRow("defaults") << int(FlowControl::Leave) << int(LineAtOpen::Leave)
                              << int(LineAtOpen::Leave) << false << 100;
    QTest::newRow("board that resets on DTR")
        << int(FlowControl::None) << int(LineAtOpen::Off) << int(LineAtOpen::On) << false << 20;
    QTest::newRow("handshake and RS-485") << int(FlowControl::RtsCts) << int(LineAtOpen::Leave)
                                          << int(LineAtOpen::Off) << true << 100;
    QTest::newRow("software flow") << int(FlowControl::XonXoff) << int(LineAtOpen::On)
                                   << int(LineAtOpen::Leave) << false << 60000;
}

// What is stored comes back, and the defaults store nothing at all.
void TestLineStrip::optionsKeptInByteWayConf()
{
    QFETCH(int, flow);
    QFETCH(int, dtr);
    QFETCH(int, rts);
    QFETCH(bool, rs485);
    QFETCH(int, pulseMs);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("byteway.conf"));
    OpenLineOptions options;
    options.flow = static_cast<FlowControl>(flow);
    options.dtr = static_cast<LineAtOpen>(dtr);
    options.rts = static_cast<LineAtOpen>(rts);
    if (rs485) {
        Rs485Settings settings;
        settings.enabled = true;
        settings.rtsOnSend = false;
        settings.delayAfterSendMs = 12;
        options.rs485 = settings;
    }
    {
        AppConfig config(path);
        QVERIFY(config.setLineOptions(options).ok());
        QVERIFY(config.setPulseMs(pulseMs).ok());
        QVERIFY(config.setBreakMs(250).ok());
    }
    const AppConfig reread(path);
    QVERIFY(reread.lineOptions() == options);
    QCOMPARE(reread.pulseMs(), pulseMs);
    QCOMPARE(reread.breakMs(), 250);
    const bool defaults = options == OpenLineOptions() && pulseMs == 100;
    QFile file(path);
    QCOMPARE(file.exists() && file.size() > 0, !defaults);
}

void TestLineStrip::unknownLineShowsAsUnknown_data()
{
    QTest::addColumn<int>("line");
    const char *names[] = { "DTR", "RTS", "CTS", "DSR", "DCD", "RI" };
    for (int line = 0; line < 6; ++line) {
        QTest::addRow("%s", names[line]) << line;
    }
}

// A line the port cannot tell is neither on nor off, and only that line; once the
// port reports it, it is shown like the others again. The others are on, so an
// unknown line shown as off would pass for known.
void TestLineStrip::unknownLineShowsAsUnknown()
{
    QFETCH(int, line);
    const auto which = static_cast<ModemLine>(line);
    FakeLines fake;
    for (int other = 0; other < 6; ++other) {
        fake.state.set(static_cast<ModemLine>(other), true);
    }
    fake.state.set(which, false);
    fake.state.setKnown(which, false);
    LineStrip strip(fake);
    const std::array<QAbstractButton *, 6> widgets { strip.LineDTR, strip.LineRTS, strip.LineCTS,
        strip.LineDSR, strip.LineDCD, strip.LineRI };
    const char *names[] = { "DTR", "RTS", "CTS", "DSR", "DCD", "RI" };
    const QString unknownTip = LineTexts::UnknownState.text();
    for (int index = 0; index < 6; ++index) {
        QAbstractButton *widget = widgets[static_cast<std::size_t>(index)];
        const QString name = QString::fromLatin1(names[index]);
        const bool unknown = index == line;
        QCOMPARE(widget->text(), unknown ? LineTexts::UnknownCaption.arg(name) : name);
        QCOMPARE(widget->toolTip().contains(unknownTip), unknown);
        QCOMPARE(widget->accessibleDescription().isEmpty(), !unknown);
        QCOMPARE(widget->accessibleName(), name);
        QVERIFY(widget->isEnabled());
        if (auto *lamp = qobject_cast<QCheckBox *>(widget)) {
            QCOMPARE(lamp->checkState(), unknown ? Qt::PartiallyChecked : Qt::Checked);
        } else {
            QCOMPARE(widget->isChecked(), !unknown);
            QCOMPARE(widget->property("lineKnown") == QVariant(false), unknown);
        }
    }
    fake.state.setKnown(which, true);
    strip.refresh();
    QAbstractButton *widget = widgets[static_cast<std::size_t>(line)];
    QCOMPARE(widget->text(), QString::fromLatin1(names[line]));
    QVERIFY(!widget->toolTip().contains(unknownTip));
    QVERIFY(widget->accessibleDescription().isEmpty());
    if (auto *lamp = qobject_cast<QCheckBox *>(widget)) {
        QCOMPARE(lamp->checkState(), Qt::Unchecked);
    } else {
        QCOMPARE(widget->property("lineKnown"), QVariant(true));
    }
}

// Ports are opened with DTR and RTS asserted, so a pulse of a line the port cannot
// tell drops it and raises it again.
void TestLineStrip::pulseOfUnknownLineDropsIt()
{
    FakeLines fake;
    fake.state.setKnown(ModemLine::Dtr, false);
    LineStrip strip(fake);
    strip.setPulseMs(20);
    strip.LineDTRPulse->trigger();
    QTRY_VERIFY(!strip.pulsing(ModemLine::Dtr));
    QCOMPARE(fake.calls.size(), std::size_t(2));
    QCOMPARE(fake.calls[0].on, false);
    QCOMPARE(fake.calls[1].on, true);
    QVERIFY(strip.LineDTR->isChecked());
    QCOMPARE(strip.LineDTR->text(), QStringLiteral("DTR"));
}

QTEST_MAIN(TestLineStrip)
#include "tst_linestrip.moc"
