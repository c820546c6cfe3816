#include "textview/followview.h"
#include "textview/richedit.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

// A document that grows while the user reads it: appended text moves the view only
// while the view is at the end.
class FollowViewTest : public QObject
{
    Q_OBJECT

private slots:
    void appendedText_data();
    void appendedText();
    void searchHitIsShown();
    void backToTheEnd_data();
    void backToTheEnd();

private:
    static void fill(RichEdit &edit, int lines);
    static bool atEnd(const RichEdit &edit);
};

void FollowViewTest::fill(RichEdit &edit, int lines)
{
    for (int i = 0; i < lines; ++i) {
        // As a reception writes: to the end, whatever the caret.
        edit.MoveCaretToEnd();
        edit.SetInsertColor(Colors::Black);
        QVERIFY(edit.AppendLine("Receiving: 0x00 0x01 0x02 0x03"));
    }
    QCoreApplication::processEvents();
}

bool FollowViewTest::atEnd(const RichEdit &edit)
{
    const QScrollBar *bar = edit.verticalScrollBar();
    return bar->value() >= bar->maximum() - edit.fontMetrics().height();
}

void FollowViewTest::appendedText_data()
{
    QTest::addColumn<int>("scrollTo"); // -1: stay at the end; else a fraction in percent
    QTest::addColumn<bool>("batch"); // the send's way: one long batch
    QTest::newRow("at-end") << -1 << false;
    QTest::newRow("at-end-batch") << -1 << true;
    QTest::newRow("top") << 0 << false;
    QTest::newRow("middle") << 50 << false;
    QTest::newRow("middle-batch") << 50 << true;
}

void FollowViewTest::appendedText()
{
    QFETCH(int, scrollTo);
    QFETCH(bool, batch);
    RichEdit edit;
    edit.resize(320, 200);
    edit.show();
    fill(edit, 100);
    QVERIFY(atEnd(edit));
    QScrollBar *bar = edit.verticalScrollBar();
    int kept = bar->value();
    if (scrollTo >= 0) {
        // As the wheel or the scroll bar's slider moves it.
        bar->setSliderPosition(bar->maximum() * scrollTo / 100);
        kept = bar->value();
    }
    if (batch) {
        edit.BeginBatch();
        fill(edit, 50);
        edit.EndBatch();
    } else {
        fill(edit, 50);
    }
    QCoreApplication::processEvents();
    // The operations themselves still put the caret at the end.
    QVERIFY(edit.textCursor().atEnd());
    const auto *indicator = edit.findChild<QToolButton *>(QStringLiteral("FollowIndicator"));
    QVERIFY(indicator);
    if (scrollTo < 0) {
        QVERIFY(atEnd(edit));
        QVERIFY(edit.follow()->following());
        QVERIFY(!indicator->isVisible());
    } else {
        QCOMPARE(bar->value(), kept);
        QVERIFY(!atEnd(edit));
        QVERIFY(!edit.follow()->following());
        QVERIFY(indicator->isVisible());
    }
}

// Only appended text leaves the view alone: a hit a search selects is scrolled to.
void FollowViewTest::searchHitIsShown()
{
    RichEdit edit;
    edit.resize(320, 200);
    edit.show();
    fill(edit, 100);
    edit.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QVERIFY(!edit.follow()->following());
    const int line60 = static_cast<int>(edit.lines().mid(0, 60).join(QLatin1Char('\n')).size()) + 1;
    edit.setSelStart(line60);
    edit.setSelLength(5);
    QCoreApplication::processEvents();
    const QRect hit = edit.cursorRect();
    QVERIFY(edit.viewport()->rect().contains(hit.center()));
}

void FollowViewTest::backToTheEnd_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("scroll-bar") << QStringLiteral("bar");
    QTest::newRow("ctrl-end") << QStringLiteral("key");
}

void FollowViewTest::backToTheEnd()
{
    QFETCH(QString, how);
    RichEdit edit;
    edit.resize(320, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    fill(edit, 100);
    QScrollBar *bar = edit.verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QVERIFY(!edit.follow()->following());
    if (how == QStringLiteral("bar")) {
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QTest::keyClick(&edit, Qt::Key_End, Qt::ControlModifier);
    }
    QVERIFY(edit.follow()->following());
    fill(edit, 50);
    QVERIFY(atEnd(edit));
}

QTEST_MAIN(FollowViewTest)
#include "tst_followview.moc"
