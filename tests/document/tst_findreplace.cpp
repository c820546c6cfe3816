#include "docstesthelpers.h"
#include "document/findreplace.h"
#include "modalwatcher.h"
#include "text/codepage.h"
#include "textview/richedit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kDoneTitle = QStringLiteral("查找");
const QString kDoneText = QStringLiteral("文档搜索完毕！");

// A search step outcome: the selected hit, or -1 for the end-of-search message.
QList<int> StepsOf(RichEdit &edit, ModalWatcher &watcher, const QString &what, bool matchCase,
    bool wholeWord, int steps)
{
    QList<int> outcome;
    for (int i = 0; i < steps; ++i) {
        const qsizetype messagesBefore = watcher.boxes.size();
        FindStep(nullptr, &edit, what, matchCase, wholeWord);
        if (watcher.boxes.size() > messagesBefore) {
            outcome.append(-1);
            if (edit.selStart() != 0 || edit.selLength() != 0) {
                outcome.append(-100); // the caret did not go back to the start
            }
        } else {
            outcome.append(edit.selStart());
            if (edit.selLength() != what.size()) {
                outcome.append(-200); // the hit is not selected over its length
            }
        }
    }
    return outcome;
}

} // namespace

class FindReplaceTest : public QObject
{
    Q_OBJECT

private slots:
    void findStep_data();
    void findStep();
    void endMessage();
    void findKeepsFocus();
    void replace_data();
    void replace();
    void replaceAllWithEmptySearchEnds();
    void findDialogFields();
    void replaceDialogFields();
    void presetIsCutTo255Bytes_data();
    void presetIsCutTo255Bytes();
    void typingStopsAt255Bytes();
    void tabOrder_data();
    void tabOrder();
};

void FindReplaceTest::findStep_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QList<int>>("outcome");
    QTest::newRow("overlapping-hits-then-wrap")
        << "aaaa" << 0 << 0 << "aa" << false << false << QList<int> { 0, 1, 2, -1, 0 };
    QTest::newRow("caret-mid-text-skips-earlier")
        << "ab ab ab" << 4 << 0 << "ab" << false << false << QList<int> { 6, -1, 0 };
    QTest::newRow("caret-on-a-hit-finds-it")
        << "ab ab" << 3 << 0 << "ab" << false << false << QList<int> { 3, -1 };
    QTest::newRow("selection-start-plus-one")
        << "hello" << 1 << 3 << "l" << false << false << QList<int> { 2, 3, -1 };
    QTest::newRow("case-ignored") << "xABC abc" << 0 << 0 << "abc" << false << false
                                  << QList<int> { 1, 5, -1 };
    QTest::newRow("case-matched") << "xABC abc" << 0 << 0 << "abc" << true << false
                                  << QList<int> { 5, -1 };
    QTest::newRow("whole-words") << "abc ab" << 0 << 0 << "ab" << false << true
                                 << QList<int> { 4, -1 };
    QTest::newRow("not-found") << "abc" << 1 << 0 << "z" << false << false << QList<int> { -1, -1 };
    QTest::newRow("empty-search") << "abc" << 2 << 0 << "" << false << false << QList<int> { -1 };
    QTest::newRow("chinese") << QStringLiteral("接收接收") << 0 << 0 << QStringLiteral("收")
                             << false << false << QList<int> { 1, 3, -1 };
    QTest::newRow("hit-on-later-line")
        << "a\nxb\nb" << 0 << 0 << "b" << false << false << QList<int> { 3, 5, -1 };
}

void FindReplaceTest::findStep()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, what);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QList<int>, outcome);
    ModalWatcher watcher;
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(ToCp936(text)));
    edit.setSelStart(selStart);
    edit.setSelLength(selLength);
    QCOMPARE(StepsOf(edit, watcher, what, matchCase, wholeWord, static_cast<int>(outcome.size())),
        outcome);
    QCOMPARE(edit.toPlainText(), text);
}

void FindReplaceTest::endMessage()
{
    ModalWatcher watcher;
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("abc"));
    FindStep(&edit, &edit, QStringLiteral("z"), false, false);
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].title, kDoneTitle);
    QCOMPARE(watcher.boxes[0].text, kDoneText);
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Information);
}

void FindReplaceTest::findKeepsFocus()
{
    QWidget window;
    auto *edit = new RichEdit(&window);
    auto *field = new QLineEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(edit->InsertAtCaret("find me"));
    edit->setSelStart(0);
    FindStep(&window, edit, QStringLiteral("me"), false, false);
    QCOMPARE(edit->selectedText(), QStringLiteral("me"));
    QVERIFY(field->hasFocus());
    QVERIFY(!edit->hasFocus());
}

void FindReplaceTest::replace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("with");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("presses"); // one letter a press: r = Replace, a = Replace All
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("finalSelStart");
    QTest::addColumn<int>("messages");
    QTest::newRow("replace-without-selection-only-selects") << "a b a" << 0 << 0 << "a"
                                                            << "x" << false << false << "r"
                                                            << "a b a" << 0 << 0;
    QTest::newRow("replace-twice-replaces-and-selects-next") << "a b a" << 0 << 0 << "a"
                                                             << "x" << false << false << "rr"
                                                             << "x b a" << 4 << 0;
    QTest::newRow("arbitrary-selection-is-replaced") << "hello world" << 0 << 5 << "o"
                                                     << "X" << false << false << "r"
                                                     << "X world" << 3 << 0;
    QTest::newRow("last-replace-ends-with-message") << "ab" << 0 << 1 << "a"
                                                    << "c" << false << false << "r"
                                                    << "cb" << 0 << 1;
    QTest::newRow("replace-all-growing-text") << "aaa" << 0 << 0 << "a"
                                              << "aa" << false << false << "a"
                                              << "aaaaaa" << 0 << 1;
    QTest::newRow("replace-all-leaves-text-before-caret") << "a-a-a" << 2 << 0 << "a"
                                                          << "b" << false << false << "a"
                                                          << "a-b-b" << 0 << 1;
    QTest::newRow("replace-all-replaces-selection-first") << "xyz a" << 0 << 3 << "a"
                                                          << "b" << false << false << "a"
                                                          << "b b" << 0 << 1;
    QTest::newRow("replace-all-with-nothing") << "aXaXa" << 0 << 0 << "a"
                                              << "" << false << false << "a"
                                              << "XX" << 0 << 1;
    QTest::newRow("replace-all-whole-words-matching-case") << "ab abc AB ab" << 0 << 0 << "ab"
                                                           << "z" << true << true << "a"
                                                           << "z abc AB z" << 0 << 1;
    QTest::newRow("replace-all-overlapping") << "aaaa" << 0 << 0 << "aa"
                                             << "b" << false << false << "a"
                                             << "bb" << 0 << 1;
    QTest::newRow("replace-all-chinese")
        << QStringLiteral("接收a接收") << 0 << 0 << QStringLiteral("接收") << QStringLiteral("收")
        << false << false << "a" << QStringLiteral("收a收") << 0 << 1;
    // One pass over a long line gives what one replacement at a time gave.
    QTest::newRow("replace-all-one-long-line")
        << QStringLiteral("ab ").repeated(20000) + QStringLiteral("ab") << 0 << 0 << "ab"
        << "xyz" << false << false << "a"
        << QStringLiteral("xyz ").repeated(20000) + QStringLiteral("xyz") << 0 << 1;
    QTest::newRow("replace-all-case-blind-greek")
        << QStringLiteral("Σα σα\nΣΑ") << 0 << 0 << QStringLiteral("σα") << QStringLiteral("ω")
        << false << false << "a" << QStringLiteral("ω ω\nω") << 0 << 1;
    // A whole word's left edge is the replacement's last character.
    QTest::newRow("replace-all-whole-word-edge-changes") << "-x-x" << 0 << 0 << "-x"
                                                         << "-" << false << true << "a"
                                                         << "--" << 0 << 1;
    QTest::newRow("replace-all-whole-word-edge-removed") << "x-x -x" << 0 << 0 << "-x"
                                                         << "" << false << true << "a"
                                                         << "x-x " << 0 << 1;
}

void FindReplaceTest::replace()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, what);
    QFETCH(QString, with);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QString, presses);
    QFETCH(QString, after);
    QFETCH(int, finalSelStart);
    QFETCH(int, messages);
    ModalWatcher watcher;
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(ToCp936(text)));
    edit.setSelStart(selStart);
    edit.setSelLength(selLength);
    TReplaceDialog dlg;
    dlg.setFindText(what);
    dlg.setReplaceText(with);
    dlg.findChild<QCheckBox *>(QStringLiteral("MatchCase"))->setChecked(matchCase);
    dlg.findChild<QCheckBox *>(QStringLiteral("WholeWord"))->setChecked(wholeWord);
    for (const QChar press : presses) {
        ReplaceStep(&dlg, &edit, dlg, press == QLatin1Char('a'));
    }
    QCOMPARE(edit.toPlainText(), after);
    QCOMPARE(edit.selStart(), finalSelStart);
    QCOMPARE(static_cast<int>(watcher.boxes.size()), messages);
}

void FindReplaceTest::replaceAllWithEmptySearchEnds()
{
    ModalWatcher watcher;
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("abc"));
    edit.setSelStart(0);
    edit.setSelLength(1);
    TReplaceDialog dlg;
    dlg.setReplaceText(QStringLiteral("X"));
    ReplaceStep(&dlg, &edit, dlg, true);
    QCOMPARE(edit.toPlainText(), QStringLiteral("Xbc"));
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(edit.selStart(), 0);
}

void FindReplaceTest::findDialogFields()
{
    QWidget parent;
    TFindDialog dlg(&parent);
    QCOMPARE(dlg.objectName(), QStringLiteral("DlgFind"));
    QVERIFY(!dlg.isModal());
    QVERIFY(dlg.searchDown());
    QVERIFY(dlg.findChild<QRadioButton *>(QStringLiteral("Down"))->isChecked());
    QVERIFY(!dlg.matchCase());
    QVERIFY(!dlg.wholeWord());

    QSignalSpy findNext(&dlg, &TFindDialog::findNext);
    dlg.show();
    dlg.setFindText(QStringLiteral("abc"));
    dlg.findChild<QCheckBox *>(QStringLiteral("MatchCase"))->setChecked(true);
    dlg.findChild<QCheckBox *>(QStringLiteral("WholeWord"))->setChecked(true);
    dlg.findChild<QRadioButton *>(QStringLiteral("Up"))->setChecked(true);
    dlg.findChild<QPushButton *>(QStringLiteral("FindNext"))->click();
    QCOMPARE(findNext.count(), 1);
    QVERIFY(dlg.isVisible());

    dlg.findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
    QVERIFY(!dlg.isVisible());
    dlg.show();
    QCOMPARE(dlg.findText(), QStringLiteral("abc"));
    QVERIFY(dlg.matchCase());
    QVERIFY(dlg.wholeWord());
    QVERIFY(!dlg.searchDown());
}

void FindReplaceTest::replaceDialogFields()
{
    TReplaceDialog dlg;
    QCOMPARE(dlg.objectName(), QStringLiteral("DlgReplace"));
    QVERIFY(!dlg.isModal());
    QSignalSpy replace(&dlg, &TReplaceDialog::replace);
    QSignalSpy findNext(&dlg, &TReplaceDialog::findNext);
    dlg.show();
    dlg.findChild<QPushButton *>(QStringLiteral("ReplaceAll"))->click();
    QVERIFY(dlg.replaceAll());
    dlg.findChild<QPushButton *>(QStringLiteral("Replace"))->click();
    QVERIFY(!dlg.replaceAll());
    dlg.findChild<QPushButton *>(QStringLiteral("FindNext"))->click();
    QCOMPARE(replace.count(), 2);
    QCOMPARE(replace.at(0).at(0).toBool(), true);
    QCOMPARE(replace.at(1).at(0).toBool(), false);
    QCOMPARE(findNext.count(), 1);
    QVERIFY(dlg.isVisible());
}

void FindReplaceTest::presetIsCutTo255Bytes_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("kept");
    const QString chinese = QString(200, QChar(0x6536)); // 收, two bytes each
    QTest::newRow("ascii-255-kept") << QString(255, 'a') << QString(255, 'a');
    QTest::newRow("ascii-300-cut") << QString(300, 'a') << QString(255, 'a');
    QTest::newRow("double-byte-not-split") << chinese << chinese.left(127);
    QTest::newRow("odd-start-fills-255") << "a" + chinese << "a" + chinese.left(127);
    QTest::newRow("empty") << QString() << QString();
}

void FindReplaceTest::presetIsCutTo255Bytes()
{
    QFETCH(QString, preset);
    QFETCH(QString, kept);
    TFindDialog find;
    find.setFindText(preset);
    QCOMPARE(find.findText(), kept);
    TReplaceDialog replace;
    replace.setFindText(preset);
    replace.setReplaceText(preset);
    QCOMPARE(replace.findText(), kept);
    QCOMPARE(replace.replaceText(), kept);
}

void FindReplaceTest::typingStopsAt255Bytes()
{
    TReplaceDialog dlg;
    dlg.show();
    auto *field = dlg.findChild<QLineEdit *>(QStringLiteral("ReplaceText"));
    field->setText(QString(254, 'a'));
    field->end(false);
    field->insert(QStringLiteral("收"));
    QCOMPARE(ToCp936(field->text()).size(), std::size_t(254));
    QTest::keyClicks(field, QStringLiteral("bcd"));
    QCOMPARE(field->text(), QString(254, 'a') + QLatin1Char('b'));
}

void FindReplaceTest::tabOrder_data()
{
    QTest::addColumn<bool>("replaceDialog");
    QTest::addColumn<QStringList>("chain");
    QTest::newRow("find") << false
                          << QStringList { "FindText", "WholeWord", "MatchCase", "Up", "Down",
                                 "FindNext", "Cancel", "FindText" };
    QTest::newRow("replace") << true
                             << QStringList { "FindText", "ReplaceText", "WholeWord", "MatchCase",
                                    "FindNext", "Replace", "ReplaceAll", "Cancel", "FindText" };
}

// Tab walks the fields, then the options, then the buttons, as the dialogs read.
void FindReplaceTest::tabOrder()
{
    QFETCH(bool, replaceDialog);
    QFETCH(QStringList, chain);
    TFindDialog find;
    TReplaceDialog replace;
    QDialog &dlg = replaceDialog ? static_cast<QDialog &>(replace) : find;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto *first = dlg.findChild<QWidget *>(chain.first());
    first->setFocus();
    QStringList walked { first->objectName() };
    QWidget *widget = first;
    for (qsizetype i = 1; i < chain.size(); ++i) {
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty()) {
            widget = widget->nextInFocusChain();
        }
        walked.append(widget->objectName());
    }
    QCOMPARE(walked, chain);
}

QTEST_MAIN(FindReplaceTest)
#include "tst_findreplace.moc"
