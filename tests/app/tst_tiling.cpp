#include "app/tiling.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <memory>

// The two tilings: the visible, non-minimised sub-windows must cover the free part
// of the area exactly (no gap, no overlap), each spanning its full width (one above
// the other) or full height (side by side), none left maximised.
class TilingTest : public QObject
{
    Q_OBJECT

private slots:
    void tiling_data();
    void tiling();
    void emptyAreaIsLeftAlone();
};

enum class Kind { OneAboveOther, SideBySide };
Q_DECLARE_METATYPE(Kind)

void TilingTest::tiling_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("windows");
    QTest::addColumn<int>("minimised");
    QTest::addColumn<bool>("maximiseActive");

    for (Kind kind : { Kind::OneAboveOther, Kind::SideBySide }) {
        const char *name = kind == Kind::OneAboveOther ? "above" : "beside";
        QTest::addRow("%s-one-window", name) << kind << 1 << 0 << false;
        QTest::addRow("%s-one-maximised", name) << kind << 1 << 0 << true;
        QTest::addRow("%s-three-maximised", name) << kind << 3 << 0 << true;
        // 7 does not divide the area's size: the remainder must not leave a gap.
        QTest::addRow("%s-seven-uneven", name) << kind << 7 << 0 << false;
        QTest::addRow("%s-two-with-one-minimised", name) << kind << 3 << 1 << false;
        QTest::addRow("%s-all-minimised", name) << kind << 2 << 2 << false;
    }
}

void TilingTest::tiling()
{
    QFETCH(Kind, kind);
    QFETCH(int, windows);
    QFETCH(int, minimised);
    QFETCH(bool, maximiseActive);

    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QList<QMdiSubWindow *> subs;
    for (int i = 0; i < windows; ++i) {
        QMdiSubWindow *sub = area.addSubWindow(new QWidget);
        sub->setMinimumSize(0, 0);
        sub->widget()->setMinimumSize(0, 0);
        sub->resize(200, 150);
        sub->show();
        subs.append(sub);
    }
    for (int i = 0; i < minimised; ++i) {
        subs[i]->showMinimized();
    }
    if (maximiseActive) {
        subs.last()->showMaximized();
    }
    QList<QRect> minimisedBefore;
    for (int i = 0; i < minimised; ++i) {
        minimisedBefore.append(subs[i]->geometry());
    }

    kind == Kind::OneAboveOther ? TileOneAboveOther(&area) : TileSideBySide(&area);

    QRect free = area.viewport()->rect();
    for (int i = 0; i < minimised; ++i) {
        QVERIFY(subs[i]->isMinimized());
        QCOMPARE(subs[i]->geometry(), minimisedBefore[i]);
        free.setBottom(std::min(free.bottom(), subs[i]->geometry().top() - 1));
    }
    if (minimised == windows) {
        return;
    }
    long long covered = 0;
    for (int i = minimised; i < windows; ++i) {
        const QRect g = subs[i]->geometry();
        QVERIFY2(!subs[i]->isMaximized(), qPrintable(QString::number(i)));
        QVERIFY2(free.contains(g),
            qPrintable(QStringLiteral("window %1 at %2,%3 %4x%5")
                           .arg(i)
                           .arg(g.x())
                           .arg(g.y())
                           .arg(g.width())
                           .arg(g.height())));
        if (kind == Kind::OneAboveOther) {
            QCOMPARE(g.width(), free.width());
        } else {
            QCOMPARE(g.height(), free.height());
        }
        for (int j = minimised; j < i; ++j) {
            QVERIFY(!g.intersects(subs[j]->geometry()));
        }
        covered += static_cast<long long>(g.width()) * g.height();
    }
    QCOMPARE(covered, static_cast<long long>(free.width()) * free.height());
}

void TilingTest::emptyAreaIsLeftAlone()
{
    QMdiArea area;
    area.resize(400, 300);
    TileOneAboveOther(&area);
    TileSideBySide(&area);
    QVERIFY(area.subWindowList().isEmpty());
}

QTEST_MAIN(TilingTest)
#include "tst_tiling.moc"
