#include "app/maintexts.h"
#include "appfixture.h"
#include "document/ChildWin.h"
#include "receive/receiveui.h"
#include "text/codepage.h"
#include "textview/richedit.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QToolTip>

#include <functional>

// The main window when the world does not play along: receptions that end by
// themselves, an exit with the port gone, text that code page 936 cannot hold.
class MainRobustnessTest : public QObject
{
    Q_OBJECT

private slots:
    void selfEndedReception_data();
    void selfEndedReception();
    void exitWithThePortGoneShowsNoWarning();
    void charactersOutsideCp936AreRefused_data();
    void charactersOutsideCp936AreRefused();
};

namespace {

using Step = std::function<void(AppFixture &)>;

void SendBytes(AppFixture &fixture, const QByteArray &bytes)
{
    QCOMPARE(::write(fixture.master(), bytes.constData(), static_cast<std::size_t>(bytes.size())),
        ssize_t(bytes.size()));
}

// A second window, which becomes the active one.
void OpenSecondWindow(AppFixture &)
{
    MainForm->FileNew1Execute();
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), QStringLiteral("窗口2"));
}

TMDIChild *Window(const QString &title)
{
    for (TMDIChild *child : MainForm->Children()) {
        if (child->windowTitle() == title) {
            return child;
        }
    }
    return nullptr;
}

const QStringList kSummaryOfNothing { QStringLiteral("接收的行数是：0"),
    QStringLiteral("接收的段数是：0") };

} // namespace

Q_DECLARE_METATYPE(Step)

void MainRobustnessTest::selfEndedReception_data()
{
    QTest::addColumn<Step>("beforeStart");
    QTest::addColumn<Step>("afterStart");
    QTest::addColumn<QString>("state");
    // The window that takes the summary, or empty when none can.
    QTest::addColumn<QString>("summaryIn");
    QTest::addColumn<QStringList>("summary");

    QTest::newRow("zero-line-length")
        << Step([](AppFixture &) { FrmOption->FLineCharNum = 0; })
        << Step([](AppFixture &f) { SendBytes(f, "A"); }) << MainTexts::ReceiveEndedZeroLine.text()
        << QStringLiteral("窗口1") << kSummaryOfNothing;
    QTest::newRow("zero-paragraph-length")
        << Step([](AppFixture &) { FrmOption->FParaCharNum = 0; })
        << Step([](AppFixture &f) { SendBytes(f, "A"); })
        << MainTexts::ReceiveEndedZeroParagraph.text() << QStringLiteral("窗口1")
        << kSummaryOfNothing;
    // Closing the reception's window ends it at once, with no byte needed.
    QTest::newRow("window-closed") << Step([](AppFixture &) {}) << Step([](AppFixture &f) {
        OpenSecondWindow(f);
        Window(QStringLiteral("窗口1"))->close();
    }) << MainTexts::ReceiveEndedDocumentGone.text()
                                   << QStringLiteral("窗口2") << kSummaryOfNothing;
    // The reception's window refuses the next line header: the summary goes into
    // the active window, which has room.
    QTest::newRow("document-full-summary-in-the-active-window")
        << Step([](AppFixture &) {
               FrmOption->FAutoClear = false;
               MainForm->ActiveChild()->RichEdit1->setCapacity(60);
           })
        << Step([](AppFixture &f) {
               OpenSecondWindow(f);
               SendBytes(f, QByteArray(20, 'A'));
           })
        << MainTexts::ReceiveEndedDocumentFull.text() << QStringLiteral("窗口2")
        << QStringList { QStringLiteral("接收的行数是：1"), QStringLiteral("接收的段数是：0") };
    QTest::newRow("document-full-nowhere-to-write")
        << Step([](AppFixture &) {
               FrmOption->FAutoClear = false;
               MainForm->ActiveChild()->RichEdit1->setCapacity(60);
           })
        << Step([](AppFixture &f) { SendBytes(f, QByteArray(20, 'A')); })
        << MainTexts::ReceiveEndedDocumentFull + MainTexts::ReceiveSummaryNowhere << QString()
        << QStringList();
}

// A reception that ends by itself releases BtnRecieve, writes its summary where a
// window can take it and says why in the status bar.
void MainRobustnessTest::selfEndedReception()
{
    QFETCH(Step, beforeStart);
    QFETCH(Step, afterStart);
    QFETCH(QString, state);
    QFETCH(QString, summaryIn);
    QFETCH(QStringList, summary);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    beforeStart(fixture);
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QVERIFY(MainForm->BtnRecieve->isChecked());

    afterStart(fixture);

    QTRY_VERIFY(!MainForm->BtnRecieve->isChecked());
    QVERIFY(!MainForm->Receiver->isReceiving());
    QCOMPARE(MainForm->stateMessage(), state);
    if (!summaryIn.isEmpty()) {
        TMDIChild *target = Window(summaryIn);
        QVERIFY(target);
        const QStringList lines = target->RichEdit1->lines();
        QVERIFY2(lines.size() >= summary.size(), qPrintable(lines.join('\n')));
        QCOMPARE(lines.mid(lines.size() - summary.size()), summary);
    }
    for (TMDIChild *child : MainForm->Children()) {
        if (child->windowTitle() != summaryIn) {
            QVERIFY2(!child->RichEdit1->toPlainText().contains(QStringLiteral("接收的行数是")),
                qPrintable(child->windowTitle()));
        }
    }
    // A press afterwards starts a fresh reception as usual.
    FrmOption->FLineCharNum = 10;
    FrmOption->FParaCharNum = 100;
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QVERIFY(MainForm->BtnRecieve->isChecked());
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QVERIFY(!MainForm->BtnRecieve->isChecked());
    QVERIFY(watcher.boxes.isEmpty());
}

// With the device gone, Cancel in the settings dialog warns about the port and the
// dialog stays; choosing 退出 then closes the program without a second warning.
void MainRobustnessTest::exitWithThePortGoneShowsNoWarning()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(fixture.unplug());
    MainForm->BtnOption->click();
    QVERIFY(FrmOption->isVisible());
    FrmOption->Button2->click();
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(FrmOption->isVisible());

    MainForm->FileExitItem->trigger();
    // As the application does when its last window has gone: close what is left.
    QApplication::closeAllWindows();
    QTest::qWait(50);

    QVERIFY(!MainForm->isVisible());
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(!FrmOption->isVisible());
}

using Entry = std::function<void(QLineEdit *)>;
Q_DECLARE_METATYPE(Entry)

void MainRobustnessTest::charactersOutsideCp936AreRefused_data()
{
    QTest::addColumn<QString>("editName");
    QTest::addColumn<Entry>("entry");
    // The characters the hint names; empty when the entry is taken.
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("hint");

    // A key press that brings one character, as an input method delivers it.
    const auto type = [](QLineEdit *edit, const QString &character) {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, character, Qt::NoModifier);
    };
    const Entry typeKorean = [type](QLineEdit *edit) { type(edit, QStringLiteral("한")); };
    const Entry pasteEmoji
        = [](QLineEdit *edit) { edit->insert(QStringLiteral("A\U0001F600B\U0001F600")); };
    const Entry typeChinese = [type](QLineEdit *edit) { type(edit, QStringLiteral("中")); };
    const QString sendCharHint
        = QStringLiteral("“%1”无法用代码页936（GBK）保存，未输入。请只用汉字、ASCII等GBK字符。");
    QTest::newRow("edit2-korean-typed")
        << "Edit2" << typeKorean << QStringLiteral("한") << MainTexts::Edit2OutsideCp936.text();
    QTest::newRow("edit2-emoji-pasted") << "Edit2" << pasteEmoji << QStringLiteral("\U0001F600")
                                        << MainTexts::Edit2OutsideCp936.text();
    QTest::newRow("edit2-chinese-taken")
        << "Edit2" << typeChinese << QString() << MainTexts::Edit2OutsideCp936.text();
    QTest::newRow("sendchar-korean-typed")
        << "SendChar" << typeKorean << QStringLiteral("한") << sendCharHint;
    QTest::newRow("sendchar-emoji-pasted")
        << "SendChar" << pasteEmoji << QStringLiteral("\U0001F600") << sendCharHint;
    QTest::newRow("sendchar-chinese-taken")
        << "SendChar" << typeChinese << QString() << sendCharHint;
}

// Text that code page 936 cannot hold would be saved as "?": it is refused where
// it is typed, the text stays as it was, and a hint says why.
void MainRobustnessTest::charactersOutsideCp936AreRefused()
{
    QFETCH(QString, editName);
    QFETCH(Entry, entry);
    QFETCH(QString, refused);
    QFETCH(QString, hint);
    AppFixture fixture;
    QVERIFY(fixture.prepare("01", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QToolTip::hideText();
    const bool inDialog = editName == QStringLiteral("SendChar");
    if (inDialog) {
        MainForm->BtnOption->click();
    }
    QWidget *window = inDialog ? static_cast<QWidget *>(FrmOption) : MainForm;
    auto *edit = window->findChild<QLineEdit *>(editName);
    QVERIFY(edit);
    edit->setFocus();
    edit->end(false);
    const QString before = edit->text();

    entry(edit);

    if (refused.isEmpty()) {
        QCOMPARE(edit->text(), before + QStringLiteral("中"));
    } else {
        QCOMPARE(edit->text(), before);
        QTRY_COMPARE(QToolTip::text(), hint.arg(refused));
    }
    if (inDialog) {
        FrmOption->Button1->click();
        QVERIFY(!FrmOption->isVisible());
    }
    // What is stored is exactly what the edit shows.
    QCOMPARE(FromCp936(FrmOption->FSendChar), edit->text());
    QVERIFY(FrmOption->FSendChar.find('?') == std::string::npos);
    QVERIFY(watcher.boxes.isEmpty());
}

QTEST_MAIN(MainRobustnessTest)
#include "tst_mainrobust.moc"
