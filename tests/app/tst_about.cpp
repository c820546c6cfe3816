#include "app/about.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

// How the About box can be closed, and what it shows.
class AboutBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void closes_data();
    void closes();
    void texts();
};

using Closer = std::function<void(TAboutBox &)>;
Q_DECLARE_METATYPE(Closer)

void AboutBoxTest::closes_data()
{
    QTest::addColumn<Closer>("closer");
    QTest::addColumn<int>("result");
    QTest::newRow("enter") << Closer([](TAboutBox &box) { QTest::keyClick(&box, Qt::Key_Return); })
                           << int(QDialog::Accepted);
    QTest::newRow("keypad-enter") << Closer([](TAboutBox &box) {
        QTest::keyClick(&box, Qt::Key_Enter);
    }) << int(QDialog::Accepted);
    QTest::newRow("ok-button") << Closer([](TAboutBox &box) {
        QTest::mouseClick(box.OKButton, Qt::LeftButton);
    }) << int(QDialog::Accepted);
    QTest::newRow("close-box") << Closer([](TAboutBox &box) { box.close(); })
                               << int(QDialog::Rejected);
}

void AboutBoxTest::closes()
{
    QFETCH(Closer, closer);
    QFETCH(int, result);
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    TAboutBox box(&owner);
    bool hadFocus = false;
    bool closed = false;
    // exec() blocks: act from inside its event loop once the box is the modal window.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != &box || closed) {
            return;
        }
        hadFocus = box.OKButton->hasFocus();
        closed = true;
        closer(box);
    });
    poll.start(10);
    QCOMPARE(box.exec(), result);
    QVERIFY(hadFocus);
    QVERIFY(!box.isVisible());
}

void AboutBoxTest::texts()
{
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("关于"));
    QCOMPARE(box.size(), QSize(304, 218));
    QCOMPARE(box.ProductName->text(), QStringLiteral("Byteway"));
    QCOMPARE(box.Version->text(), QStringLiteral("Version1.00   "));
    QVERIFY(box.OKButton->isDefault());
    QCOMPARE(box.ProductName->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(box.ProductName->font().bold());
}

QTEST_MAIN(AboutBoxTest)
#include "tst_about.moc"
