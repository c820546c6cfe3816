#include "appfixture.h"
#include "document/ChildWin.h"
#include "receive/receiveui.h"
#include "sendbar/sendbar.h"
#include "textview/richedit.h"

#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

// The main window without the mouse, and what it keeps of its place in byteway.conf.
class KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void itemsMirrorTheirButtons_data();
    void itemsMirrorTheirButtons();
    void itemRunsItsButton();
    void noTwoCommandsShareAShortcut();
    void tabGoesRoundTheFieldsAndTheDocument();
    void tabGoesOnThroughTheSendBar();
    void sendBarTakesTheFocus_data();
    void sendBarTakesTheFocus();
    void placeAndSizeAreKept();

private:
    std::unique_ptr<AppFixture> m_app;
};

void KeyboardTest::init()
{
    m_app = std::make_unique<AppFixture>();
    QVERIFY(m_app->prepare("41", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(m_app->start());
    FrmOption->FTimedSend = false;
}

void KeyboardTest::cleanup()
{
    m_app.reset();
}

void KeyboardTest::itemsMirrorTheirButtons_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::newRow("send") << "SendItem"
                          << "BtnSend" << QKeySequence(Qt::CTRL | Qt::Key_Return);
    QTest::newRow("receive") << "ReceiveItem"
                             << "BtnRecieve" << QKeySequence(Qt::CTRL | Qt::Key_R);
    QTest::newRow("clear") << "ClearItem"
                           << "BtnClear" << QKeySequence(Qt::CTRL | Qt::Key_L);
    QTest::newRow("port") << "PortItem"
                          << "BtnCom" << QKeySequence(Qt::CTRL | Qt::Key_K);
    QTest::newRow("settings") << "OptionItem"
                              << "BtnOption" << QKeySequence(Qt::CTRL | Qt::Key_Comma);
}

void KeyboardTest::itemsMirrorTheirButtons()
{
    QFETCH(QString, item);
    QFETCH(QString, button);
    QFETCH(QKeySequence, shortcut);
    auto *action = MainForm->PortMenu->findChild<QAction *>(item);
    QVERIFY(action);
    auto *source = MainForm->findChild<QToolButton *>(button);
    QVERIFY(source);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isCheckable(), source->isCheckable());
    if (source->isCheckable()) {
        // Without running the handler: the state alone is mirrored.
        source->setChecked(true);
        QVERIFY(action->isChecked());
        source->setChecked(false);
        QVERIFY(!action->isChecked());
    }
    source->setEnabled(false);
    QVERIFY(!action->isEnabled());
    source->setEnabled(true);
    QVERIFY(action->isEnabled());
}

// The item runs the button's handler, and a second choice undoes the first, as a
// second click does.
void KeyboardTest::itemRunsItsButton()
{
    QAction *item = MainForm->ReceiveItem;
    const auto receiving = [] { return MainForm->Receiver && MainForm->Receiver->isReceiving(); };
    QVERIFY(!receiving());
    // By its shortcut, from the send field, as a user without the mouse does it.
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    MainForm->Edit2->setFocus();
    QTest::keySequence(MainForm->Edit2, item->shortcut());
    QVERIFY(MainForm->BtnRecieve->isChecked());
    QVERIFY(item->isChecked());
    QVERIFY(receiving());
    item->trigger();
    QVERIFY(!MainForm->BtnRecieve->isChecked());
    QVERIFY(!item->isChecked());
    QVERIFY(!receiving());
}

void KeyboardTest::noTwoCommandsShareAShortcut()
{
    QHash<QString, QString> owners;
    for (const QAction *action : MainForm->findChildren<QAction *>()) {
        const QString keys = action->shortcut().toString();
        if (keys.isEmpty()) {
            continue;
        }
        QVERIFY2(!owners.contains(keys),
            qPrintable(keys + QStringLiteral(": ") + owners.value(keys) + QStringLiteral(", ")
                + action->objectName()));
        owners.insert(keys, action->objectName());
    }
    QVERIFY(owners.size() >= 5);
}

void KeyboardTest::tabGoesRoundTheFieldsAndTheDocument()
{
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QWidget *document = MainForm->ActiveChild()->RichEdit1;
    const QList<QWidget *> ring { MainForm->Edit2, MainForm->ComboDataType, document };
    MainForm->Edit2->setFocus();
    for (int step = 1; step <= 6; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        QWidget *wanted = ring[step % 3];
        QVERIFY2(focus == wanted || focus->focusProxy() == wanted || wanted->isAncestorOf(focus),
            qPrintable(QStringLiteral("step %1: %2").arg(step).arg(focus->objectName())));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), document);
    // The document still has no tab character in it.
    QVERIFY(!MainForm->ActiveChild()->RichEdit1->toPlainText().contains(u'\t'));
}

// With the send bar shown, Tab goes from the document into its line and on through
// every control of the bar, the command buttons included, and back to Edit2;
// Shift+Tab retraces the way.
void KeyboardTest::tabGoesOnThroughTheSendBar()
{
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    MainForm->SendBarItem->trigger();
    QVERIFY(MainForm->SendBarDock->isVisible());
    QStringList visited;
    MainForm->Edit2->setFocus();
    for (int step = 0; step < 30 && (step == 0 || QApplication::focusWidget() != MainForm->Edit2);
         ++step) {
        visited.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), MainForm->Edit2);
    const QStringList wanted { "Edit2", "ComboDataType", "RichEdit1", "SendLine", "SendLineButton",
        "SendLineMode", "SendLineEnding", "SendLineChecksum", "QuickSendList", "QuickSendAdd",
        "QuickSendEdit", "QuickSendRemove", "QuickSendUp", "QuickSendDown", "QuickSendImport",
        "QuickSendExport" };
    QCOMPARE(visited, wanted);
    for (qsizetype i = wanted.size() - 1; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), wanted[i]);
    }
}

void KeyboardTest::sendBarTakesTheFocus_data()
{
    QTest::addColumn<bool>("byItem"); // else by Ctrl+E
    QTest::newRow("menu-item") << true;
    QTest::newRow("ctrl-e") << false;
}

// From the document, showing the bar (or Ctrl+E) puts the caret into its line:
// what is typed next goes there, not into the document.
void KeyboardTest::sendBarTakesTheFocus()
{
    QFETCH(bool, byItem);
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QVERIFY(!MainForm->SendBarDock->isVisible());
    QWidget *document = MainForm->ActiveChild()->RichEdit1;
    document->setFocus();
    if (byItem) {
        MainForm->SendBarItem->trigger();
    } else {
        QTest::keyClick(document, Qt::Key_E, Qt::ControlModifier);
    }
    QVERIFY(MainForm->SendBarDock->isVisible());
    auto *line = MainForm->SendBarDock->findChild<QLineEdit *>("SendLine");
    QCOMPARE(QApplication::focusWidget(), line);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("AT"));
    QCOMPARE(line->text(), QStringLiteral("AT"));
    QVERIFY(!MainForm->ActiveChild()->RichEdit1->toPlainText().contains(QStringLiteral("AT")));
    // Ctrl+E from the document again, with the bar already shown.
    document->setFocus();
    QTest::keyClick(document, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), line);
    QVERIFY(MainForm->SendBarItem->text().contains(u'&'));
}

void KeyboardTest::placeAndSizeAreKept()
{
    const int defaultField = MainForm->Edit2->width();
    const QRect placed(40, 30, 700, 500);
    MainForm->setGeometry(placed);
    QTRY_COMPARE(MainForm->geometry(), placed);
    // The field has what the window has beyond the default 584 pixels, frame included.
    const auto grown = [] { return MainForm->frameGeometry().width() - 584; };
    QCOMPARE(MainForm->Edit2->width(), defaultField + grown());
    MainForm->close();
    DestroyMainObjects();
    // As when the program ends: the next start opens the port anew.
    Port.Close();
    QVERIFY(m_app->start());
    QTRY_COMPARE(MainForm->geometry(), placed);
    QCOMPARE(MainForm->Edit2->width(), defaultField + grown());
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
