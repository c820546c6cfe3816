#include "app/intervaltimer.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

// The timer is judged by counting its ticks against a reference QTimer, never by
// measuring time.
class IntervalTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void neverTicks_data();
    void neverTicks();
    void ticksRepeatedly_data();
    void ticksRepeatedly();
    void newIntervalRestartsCount_data();
    void newIntervalRestartsCount();
};

using Setup = std::function<void(IntervalTimer &)>;
Q_DECLARE_METATYPE(Setup)

// Runs the event loop until `reference` (a 10 ms QTimer) has ticked `ticks` times.
static void runReferenceTicks(int ticks, int periodMs, const std::function<void()> &onTick = {})
{
    QTimer reference;
    int seen = 0;
    QObject::connect(&reference, &QTimer::timeout, [&] {
        ++seen;
        if (onTick) {
            onTick();
        }
    });
    reference.start(periodMs);
    QTRY_VERIFY_WITH_TIMEOUT(seen >= ticks, 20000);
}

void IntervalTimerTest::neverTicks_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::newRow("zero-interval") << Setup([](IntervalTimer &t) {
        t.setInterval(0);
        t.setEnabled(true);
    });
    QTest::newRow("negative-interval") << Setup([](IntervalTimer &t) {
        t.setInterval(-5);
        t.setEnabled(true);
    });
    QTest::newRow("never-enabled") << Setup([](IntervalTimer &t) { t.setInterval(5); });
    QTest::newRow("disabled-after-enabling") << Setup([](IntervalTimer &t) {
        t.setInterval(5);
        t.setEnabled(true);
        t.setEnabled(false);
    });
    QTest::newRow("interval-set-to-zero-while-running") << Setup([](IntervalTimer &t) {
        t.setInterval(5);
        t.setEnabled(true);
        t.setInterval(0);
    });
}

void IntervalTimerTest::neverTicks()
{
    QFETCH(Setup, setup);
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    setup(timer);
    runReferenceTicks(10, 10);
    QCOMPARE(ticks.count(), 0);
}

void IntervalTimerTest::ticksRepeatedly_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::newRow("interval-then-enable") << Setup([](IntervalTimer &t) {
        t.setInterval(5);
        t.setEnabled(true);
    });
    QTest::newRow("enable-then-interval") << Setup([](IntervalTimer &t) {
        t.setInterval(0);
        t.setEnabled(true);
        t.setInterval(5);
    });
    QTest::newRow("enabled-again") << Setup([](IntervalTimer &t) {
        t.setInterval(5);
        t.setEnabled(true);
        t.setEnabled(false);
        t.setEnabled(true);
    });
    QTest::newRow("negative-then-positive") << Setup([](IntervalTimer &t) {
        t.setEnabled(true);
        t.setInterval(-1);
        t.setInterval(5);
    });
}

void IntervalTimerTest::ticksRepeatedly()
{
    QFETCH(Setup, setup);
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    setup(timer);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 20000);
}

void IntervalTimerTest::newIntervalRestartsCount_data()
{
    QTest::addColumn<bool>("changeValue");
    QTest::addColumn<bool>("expectTick");
    // A reference tick every 20 ms re-sets the interval of a 200 ms timer. A
    // different value restarts the count each time, so the timer never gets to 200;
    // re-setting the same value leaves the running count alone.
    QTest::newRow("new-interval-restarts") << true << false;
    QTest::newRow("same-interval-keeps-running") << false << true;
}

void IntervalTimerTest::newIntervalRestartsCount()
{
    QFETCH(bool, changeValue);
    QFETCH(bool, expectTick);
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(200);
    timer.setEnabled(true);
    int round = 0;
    runReferenceTicks(20, 20, [&] {
        ++round;
        timer.setInterval(changeValue && round % 2 ? 201 : 200);
    });
    QCOMPARE(ticks.count() > 0, expectTick);
}

QTEST_MAIN(IntervalTimerTest)
#include "tst_intervaltimer.moc"
