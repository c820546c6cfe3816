#include "document/batchpacer.h"

#include <QElapsedTimer>
#include <QTest>

// The spacing of the batches a thread's changes come in: a turn asked for soon after
// a batch waits for the spacing, which follows what the batch cost unless it came
// from a flood.
class BatchPacerTest : public QObject
{
    Q_OBJECT

private slots:
    void turnAfterABatch_data();
    void turnAfterABatch();
    void cancelledTurnNeverComes();
};

void BatchPacerTest::turnAfterABatch_data()
{
    QTest::addColumn<bool>("reported"); // false: the owner reports no cost (sending)
    QTest::addColumn<qint64>("costMs");
    QTest::addColumn<bool>("flood");
    QTest::addColumn<bool>("atOnce"); // a turn asked for 30 ms after the batch
    QTest::addColumn<int>("atLeastMs"); // else the least time from the batch to the turn
    QTest::newRow("fixed-spacing") << false << qint64(0) << false << true << 0;
    QTest::newRow("cheap-batch") << true << qint64(1) << false << true << 0;
    QTest::newRow("dear-batch") << true << qint64(25) << false << false << 90;
    QTest::newRow("dearer-than-the-cap") << true << qint64(5000) << false << false << 200;
    QTest::newRow("flood") << true << qint64(5000) << true << true << 0;
}

void BatchPacerTest::turnAfterABatch()
{
    QFETCH(bool, reported);
    QFETCH(qint64, costMs);
    QFETCH(bool, flood);
    QFETCH(bool, atOnce);
    QFETCH(int, atLeastMs);
    int applied = 0;
    BatchPacer pacer([&] { ++applied; });
    pacer.request();
    QCOMPARE(applied, 1); // the first turn ever comes at once
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    if (reported) {
        pacer.batchDone(costMs * 1000000, flood);
    } else {
        pacer.batchDone();
    }
    QTest::qWait(30);
    pacer.request();
    if (atOnce) {
        QCOMPARE(applied, 2);
        return;
    }
    QCOMPARE(applied, 1);
    pacer.request(); // asked again while put off: still one turn
    QTRY_COMPARE(applied, 2);
    QVERIFY2(sinceBatch.elapsed() >= atLeastMs, qPrintable(QString::number(sinceBatch.elapsed())));
    QTest::qWait(BatchPacer::kMaxSpacingMs + 50);
    QCOMPARE(applied, 2);
}

void BatchPacerTest::cancelledTurnNeverComes()
{
    int applied = 0;
    BatchPacer pacer([&] { ++applied; });
    pacer.batchDone(qint64(1000) * 1000000, false);
    pacer.request();
    pacer.cancel();
    QTest::qWait(BatchPacer::kMaxSpacingMs + 100);
    QCOMPARE(applied, 0);
    pacer.request(); // the spacing has passed
    QCOMPARE(applied, 1);
}

QTEST_MAIN(BatchPacerTest)
#include "tst_batchpacer.moc"
