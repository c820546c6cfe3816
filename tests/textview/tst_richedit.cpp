#include "docstesthelpers.h"
#include "document/ChildWin.h"
#include "document/displaycolours.h"
#include "text/codepage.h"
#include "textview/richedit.h"

#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QMdiArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <string>

Q_DECLARE_METATYPE(std::string)

namespace {

const QString kRed = QStringLiteral("#ff0000");
const QString kGreen = QStringLiteral("#008000");
const QString kBlue = QStringLiteral("#0000ff");
const QString kBlack = QStringLiteral("#000000");

} // namespace

class RichEditTest : public QObject
{
    Q_OBJECT

private slots:
    void lineCount_data();
    void lineCount();
    void appendLine_data();
    void appendLine();
    void insertAtCaretReplacesSelectionAndDecodesCp936();
    void colorsOfRuns();
    void setInsertColorRecoloursSelection();
    void clearDocumentKeepsInsertColor();
    void capacityRefusesText_data();
    void capacityRefusesText();
    void batchIsOneChange();
    void batchHandsCaretOverAtOutermostEnd();
    void batchEndingOnLongLineScrollsLikeTheControl_data();
    void batchEndingOnLongLineScrollsLikeTheControl();
    void lines_data();
    void lines();
    void selection_data();
    void selection();
    void findText_data();
    void findText();
    void caretStandsStillInLongLines_data();
    void caretStandsStillInLongLines();
    void controlLooksAsItShould();
    void documentWindow();
    void editingKeys_data();
    void editingKeys();
    void typingTakesTheColourBeforeIt();
    void mouseSelects();
    void inputMethodComposesAtTheCaret();
    void textIsKeptInCodePage936_data();
    void textIsKeptInCodePage936();
    void coloursReadOnTheBase_data();
    void coloursReadOnTheBase();
};

void RichEditTest::lineCount_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << std::string() << 0;
    QTest::newRow("one-character") << std::string("a") << 1;
    QTest::newRow("line-with-break") << std::string("a\n") << 1;
    QTest::newRow("two-lines") << std::string("a\nb") << 2;
    QTest::newRow("only-a-break") << std::string("\n") << 1;
    QTest::newRow("blank-line-inside") << std::string("a\n\nb") << 3;
    QTest::newRow("two-breaks-at-end") << std::string("a\n\n") << 2;
}

void RichEditTest::lineCount()
{
    QFETCH(std::string, text);
    QFETCH(int, lines);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(text));
    QCOMPARE(edit.LineCount(), lines);
    QCOMPARE(edit.lines().size(), lines);
}

void RichEditTest::appendLine_data()
{
    QTest::addColumn<std::string>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("after");
    QTest::newRow("empty-document") << std::string() << 0 << QStringLiteral("x\n");
    QTest::newRow("ends-with-break") << std::string("a\n") << 0 << QStringLiteral("a\nx\n");
    QTest::newRow("open-last-line") << std::string("a") << 1 << QStringLiteral("a\nx");
    QTest::newRow("caret-at-start") << std::string("ab") << 0 << QStringLiteral("ab\nx");
    QTest::newRow("selection-untouched") << std::string("ab\n") << -1 << QStringLiteral("ab\nx\n");
}

void RichEditTest::appendLine()
{
    QFETCH(std::string, before);
    QFETCH(int, caret);
    QFETCH(QString, after);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(before));
    if (caret >= 0) {
        edit.setSelStart(caret);
    } else {
        edit.setSelStart(0);
        edit.setSelLength(2);
    }
    QVERIFY(edit.AppendLine("x"));
    QCOMPARE(edit.toPlainText(), after);
    QCOMPARE(edit.selStart(), static_cast<int>(after.size()));
    QCOMPARE(edit.selLength(), 0);
}

void RichEditTest::insertAtCaretReplacesSelectionAndDecodesCp936()
{
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("hello world"));
    edit.setSelStart(6);
    edit.setSelLength(5);
    QVERIFY(edit.InsertAtCaret("\xBD\xD3\xCA\xD5")); // "接收"
    QCOMPARE(edit.toPlainText(), QStringLiteral("hello 接收"));
    QCOMPARE(edit.selStart(), 8);
    QCOMPARE(edit.selLength(), 0);
    edit.setSelStart(0);
    QVERIFY(edit.InsertAtCaret(">"));
    QCOMPARE(edit.toPlainText(), QStringLiteral(">hello 接收"));
    QCOMPARE(edit.textCursor().position(), 1);
}

void RichEditTest::colorsOfRuns()
{
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("red "));
    edit.SetInsertColor(Colors::Green);
    QVERIFY(edit.InsertAtCaret("Receiving: "));
    edit.SetInsertColor(Colors::Black);
    QVERIFY(edit.InsertAtCaret("01 02"));
    edit.SetInsertColor(Colors::Blue);
    QVERIFY(edit.AppendLine("sum"));
    const std::vector<ColorRun> expected { { "red ", kRed }, { "Receiving: ", kGreen },
        { "01 02\n", kBlack }, { "sum", kBlue } };
    QCOMPARE(DescribeRuns(ColorRuns(edit)), DescribeRuns(expected));
}

void RichEditTest::setInsertColorRecoloursSelection()
{
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("abcd"));
    edit.setSelStart(1);
    edit.setSelLength(2);
    edit.SetInsertColor(Colors::Blue);
    QCOMPARE(edit.insertColor(), Colors::Blue);
    edit.MoveCaretToEnd();
    QVERIFY(edit.InsertAtCaret("e"));
    const std::vector<ColorRun> expected { { "a", kRed }, { "bc", kBlue }, { "d", kRed },
        { "e", kBlue } };
    QCOMPARE(DescribeRuns(ColorRuns(edit)), DescribeRuns(expected));
}

void RichEditTest::clearDocumentKeepsInsertColor()
{
    RichEdit edit;
    edit.SetInsertColor(Colors::Green);
    QVERIFY(edit.AppendLine("one"));
    QVERIFY(edit.AppendLine("two"));
    edit.ClearDocument();
    QCOMPARE(edit.LineCount(), 0);
    QCOMPARE(edit.toPlainText(), QString());
    QCOMPARE(edit.selStart(), 0);
    QVERIFY(edit.InsertAtCaret("x"));
    const std::vector<ColorRun> expected { { "x", kGreen } };
    QCOMPARE(DescribeRuns(ColorRuns(edit)), DescribeRuns(expected));
}

void RichEditTest::capacityRefusesText_data()
{
    QTest::addColumn<std::string>("operation");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("after");
    // The document holds "abc" with capacity 5.
    QTest::newRow("insert-up-to-capacity") << std::string("insert:de") << true << "abcde";
    QTest::newRow("insert-past-capacity") << std::string("insert:def") << false << "abc";
    QTest::newRow("append-counts-the-break") << std::string("append:d") << true << "abc\nd";
    QTest::newRow("append-past-capacity") << std::string("append:de") << false << "abc";
    QTest::newRow("replacing-frees-room") << std::string("replace:vwxyz") << true << "vwxyz";
    QTest::newRow("multibyte-counts-characters")
        << std::string("insert:\xBD\xD3\xCA\xD5") << true << QStringLiteral("abc接收");
}

void RichEditTest::capacityRefusesText()
{
    QFETCH(std::string, operation);
    QFETCH(bool, accepted);
    QFETCH(QString, after);
    RichEdit edit;
    edit.setCapacity(5);
    QVERIFY(edit.InsertAtCaret("abc"));
    const auto colon = operation.find(':');
    const std::string kind = operation.substr(0, colon);
    const std::string text = operation.substr(colon + 1);
    bool result = false;
    if (kind == "append") {
        result = edit.AppendLine(text);
    } else {
        if (kind == "replace") {
            edit.setSelStart(0);
            edit.setSelLength(3);
        }
        result = edit.InsertAtCaret(text);
    }
    QCOMPARE(result, accepted);
    QCOMPARE(edit.toPlainText(), after);
}

void RichEditTest::batchIsOneChange()
{
    RichEdit edit;
    QSignalSpy changes(&edit, &RichEdit::textChanged);
    edit.BeginBatch();
    edit.BeginBatch();
    for (int i = 0; i < 100; ++i) {
        edit.SetInsertColor(i % 2 ? Colors::Black : Colors::Green);
        QVERIFY(edit.InsertAtCaret("12 "));
    }
    edit.EndBatch();
    QVERIFY(edit.AppendLine("end"));
    edit.EndBatch();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(edit.LineCount(), 2);
    QCOMPARE(edit.lines().constFirst().size(), 300);
}

void RichEditTest::batchHandsCaretOverAtOutermostEnd()
{
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("abc"));
    edit.setSelStart(1);
    edit.BeginBatch();
    edit.MoveCaretToEnd();
    QVERIFY(edit.InsertAtCaret("de"));
    QCOMPARE(edit.selStart(), 5); // the operations see their own caret
    QCOMPARE(edit.textCursor().position(), 1); // the control's one is untouched yet
    edit.EndBatch();
    QCOMPARE(edit.textCursor().position(), 5);
}

void RichEditTest::batchEndingOnLongLineScrollsLikeTheControl_data()
{
    QTest::addColumn<std::string>("before");
    QTest::addColumn<std::string>("batch");
    QTest::addColumn<bool>("scrolledRight");
    const auto items = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += "0x" + std::to_string(10 + i % 90) + ' ';
        }
        return text;
    };
    std::string manyLines;
    for (int i = 0; i < 300; ++i) {
        manyLines += "Receiving: 0x01 0x02\n";
    }
    QTest::newRow("one long line in an empty document") << std::string() << items(2000) << true;
    QTest::newRow("long line under many short ones") << manyLines << items(2000) << true;
    QTest::newRow("long line under a longer one") << items(3000) + "\n" << items(2000) << true;
    QTest::newRow("long line grown further") << items(2000) << items(500) << true;
    QTest::newRow("short line after a long one") << items(2000) << std::string("\nab") << false;
}

// Reference: the control itself scrolling to a caret at the end.
void RichEditTest::batchEndingOnLongLineScrollsLikeTheControl()
{
    QFETCH(std::string, before);
    QFETCH(std::string, batch);
    QFETCH(bool, scrolledRight);
    RichEdit edit;
    RichEdit reference;
    for (RichEdit *e : { &edit, &reference }) {
        e->resize(300, 200);
        e->show();
        QVERIFY(e->InsertAtCaret(before));
        e->horizontalScrollBar()->setValue(0);
        e->verticalScrollBar()->setValue(0);
    }
    edit.BeginBatch();
    edit.MoveCaretToEnd();
    QVERIFY(edit.InsertAtCaret(batch));
    edit.EndBatch();
    QVERIFY(reference.InsertAtCaret(batch));
    reference.setSelStart(0);
    reference.setSelStart(reference.characterCount());

    QCOMPARE(edit.textCursor().position(), edit.characterCount());
    QCOMPARE(edit.toPlainText(), reference.toPlainText());
    QCOMPARE(edit.horizontalScrollBar()->value() > 0, scrolledRight);
    QCOMPARE(edit.horizontalScrollBar()->value(), reference.horizontalScrollBar()->value());
    QCOMPARE(edit.verticalScrollBar()->value(), reference.verticalScrollBar()->value());
}

void RichEditTest::lines_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << std::string() << QStringList();
    QTest::newRow("last-line-open") << std::string("a\nb") << QStringList { "a", "b" };
    QTest::newRow("last-break-dropped") << std::string("a\nb\n") << QStringList { "a", "b" };
    QTest::newRow("blank-lines-kept") << std::string("\na\n\n") << QStringList { "", "a", "" };
}

void RichEditTest::lines()
{
    QFETCH(std::string, text);
    QFETCH(QStringList, expected);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(text));
    QCOMPARE(edit.lines(), expected);
}

void RichEditTest::selection_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expectedStart");
    QTest::addColumn<QString>("selected");
    // The document holds "hello\nworld" (11 characters).
    QTest::newRow("inside-line") << 6 << 5 << 6 << QStringLiteral("world");
    QTest::newRow("across-break") << 3 << 5 << 3 << QStringLiteral("lo\nwo");
    QTest::newRow("caret-only") << 4 << 0 << 4 << QString();
    QTest::newRow("length-clamped") << 9 << 50 << 9 << QStringLiteral("ld");
    QTest::newRow("start-clamped") << 99 << 3 << 11 << QString();
    QTest::newRow("negative-start") << -4 << 2 << 0 << QStringLiteral("he");
    QTest::newRow("negative-length") << 5 << -3 << 5 << QString();
}

void RichEditTest::selection()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, expectedStart);
    QFETCH(QString, selected);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("hello\nworld"));
    edit.setSelStart(start);
    QCOMPARE(edit.selLength(), 0);
    edit.setSelLength(length);
    QCOMPARE(edit.selStart(), expectedStart);
    QCOMPARE(edit.selLength(), static_cast<int>(selected.size()));
    QCOMPARE(edit.selectedText(), selected);
    QCOMPARE(edit.textCursor().selectionStart(), expectedStart);
}

void RichEditTest::findText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<int>("found");
    QTest::newRow("ignoring-case") << "xABC abc"
                                   << "abc" << 0 << false << false << 1;
    QTest::newRow("matching-case") << "xABC abc"
                                   << "abc" << 0 << true << false << 5;
    QTest::newRow("whole-word-skips-part") << "abc ab"
                                           << "ab" << 0 << false << true << 4;
    QTest::newRow("part-of-word-without-option") << "abc ab"
                                                 << "ab" << 0 << false << false << 0;
    QTest::newRow("hit-at-start-position") << "xab"
                                           << "ab" << 1 << false << false << 1;
    QTest::newRow("nothing-after-start") << "abx"
                                         << "ab" << 1 << false << false << -1;
    QTest::newRow("later-line") << "a\nb\nab"
                                << "ab" << 0 << false << false << 4;
    QTest::newRow("empty-search") << "abc"
                                  << "" << 0 << false << false << -1;
    QTest::newRow("chinese") << QStringLiteral("接收接收") << QStringLiteral("收") << 2 << false
                             << false << 3;
    QTest::newRow("start-past-end") << "abc"
                                    << "c" << 10 << false << false << -1;
}

void RichEditTest::findText()
{
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, from);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(int, found);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(ToCp936(text)));
    QCOMPARE(edit.findText(what, from, matchCase, wholeWord), found);
}

void RichEditTest::controlLooksAsItShould()
{
    RichEdit edit;
    QCOMPARE(edit.objectName(), QStringLiteral("RichEdit1"));
    // Tabs reach the next stop of 80 pixels from the start of the line.
    QVERIFY(edit.InsertAtCaret("a\tb\t\tc"));
    QCOMPARE(edit.cursorRect(2).x() - edit.cursorRect(0).x(), 80);
    QCOMPARE(edit.cursorRect(5).x() - edit.cursorRect(0).x(), 240);
    edit.ClearDocument();
    QCOMPARE(edit.font().pixelSize(), 13);
    QCOMPARE(edit.font().families().value(0), QStringLiteral("MS Sans Serif"));
    const QPalette pal = edit.palette();
    QCOMPARE(pal.color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    QCOMPARE(pal.color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
        pal.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::HighlightedText),
        pal.color(QPalette::Active, QPalette::HighlightedText));
    QCOMPARE(edit.insertColor(), Colors::Red);
}

void RichEditTest::documentWindow()
{
    QMdiArea area;
    area.resize(800, 600);
    auto *child = new TMDIChild;
    area.addSubWindow(child);
    area.show();
    child->show();
    QCOMPARE(child->widget(), child->RichEdit1);
    QCOMPARE(child->RichEdit1->objectName(), QStringLiteral("RichEdit1"));
    QCOMPARE(child->focusProxy(), child->RichEdit1);
    QCOMPARE(child->size(), QSize(290, 207));
    QVERIFY(child->testAttribute(Qt::WA_DeleteOnClose));
    QPointer<RichEdit> edit = child->RichEdit1;
    child->close();
    QTRY_VERIFY(edit.isNull());
    QVERIFY(area.subWindowList().isEmpty());
}

namespace {

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

} // namespace

void RichEditTest::caretStandsStillInLongLines_data()
{
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<int>("caretAt"); // -1: the end
    QTest::addColumn<bool>("blinks");
    QTest::newRow("short-line-blinks") << 100 << -1 << true;
    QTest::newRow("line-at-the-limit-blinks") << RichEdit::kLongLine - 1 << -1 << true;
    QTest::newRow("long-line-caret-at-end") << 200000 << -1 << false;
    QTest::newRow("long-line-caret-inside") << 200000 << 100 << false;
}

// A blink repaints the caret's line, which for a long line means shaping all of it
// again: with a long line nothing may be repainted while nothing happens, and the
// caret must still be seen.
void RichEditTest::caretStandsStillInLongLines()
{
    QFETCH(int, lineLength);
    QFETCH(int, caretAt);
    QFETCH(bool, blinks);
    RichEdit edit;
    edit.resize(300, 200);
    // Spaces draw nothing, so that any pixel of the text colour is the caret.
    QVERIFY(edit.InsertAtCaret(std::string(static_cast<std::size_t>(lineLength), ' ')));
    if (caretAt >= 0) {
        edit.setSelStart(caretAt);
    }
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    QTRY_VERIFY(edit.hasFocus());
    QTest::qWait(200);

    PaintCounter paints(edit.viewport());
    // Two and a half blink periods of the platform's caret.
    QTest::qWait(QGuiApplication::styleHints()->cursorFlashTime() * 5 / 4);
    if (blinks) {
        QVERIFY2(paints.count > 0, "the caret of a short line blinks as before");
    } else {
        QCOMPARE(paints.count, 0);
        const QImage shown = edit.viewport()->grab().toImage();
        const QRect caret = edit.cursorRect();
        QVERIFY(shown.rect().contains(caret.center()));
        QCOMPARE(QColor(shown.pixel(caret.x(), caret.center().y())), QColor(255, 0, 0));
    }
}

// One key of a row: the key, its modifiers and the text it types.
struct KeyPress
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QString text;
};
Q_DECLARE_METATYPE(std::vector<KeyPress>)

void RichEditTest::editingKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<std::vector<KeyPress>>("keys");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("afterStart");
    QTest::addColumn<int>("afterLength");
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return KeyPress { k, m, QString() };
    };
    const QString twoLines = QStringLiteral("abc\ndef");
    QTest::newRow("typing-replaces-selection")
        << QStringLiteral("abc") << 1 << 1 << std::vector { KeyPress { Qt::Key_X, {}, "X" } }
        << QStringLiteral("aXc") << 2 << 0;
    QTest::newRow("backspace-takes-a-double-byte-character")
        << QStringLiteral("a接b") << 2 << 0 << std::vector { key(Qt::Key_Backspace) }
        << QStringLiteral("ab") << 1 << 0;
    QTest::newRow("delete-joins-lines") << twoLines << 3 << 0 << std::vector { key(Qt::Key_Delete) }
                                        << QStringLiteral("abcdef") << 3 << 0;
    QTest::newRow("enter-breaks-the-line")
        << QStringLiteral("ab") << 1 << 0 << std::vector { key(Qt::Key_Return) }
        << QStringLiteral("a\nb") << 2 << 0;
    QTest::newRow("shift-right-selects-a-double-byte-character")
        << QStringLiteral("接收") << 0 << 0 << std::vector { key(Qt::Key_Right, Qt::ShiftModifier) }
        << QStringLiteral("接收") << 0 << 1;
    QTest::newRow("left-collapses-a-selection-to-its-start")
        << QStringLiteral("abcd") << 1 << 2 << std::vector { key(Qt::Key_Left) }
        << QStringLiteral("abcd") << 1 << 0;
    QTest::newRow("end-then-shift-home-selects-the-line")
        << twoLines << 5 << 0
        << std::vector { key(Qt::Key_End), key(Qt::Key_Home, Qt::ShiftModifier) } << twoLines << 4
        << 3;
    QTest::newRow("down-keeps-the-column-across-a-short-line")
        << QStringLiteral("abcd\nx\nabcd") << 3 << 0
        << std::vector { key(Qt::Key_Down), key(Qt::Key_Down) } << QStringLiteral("abcd\nx\nabcd")
        << 10 << 0;
    QTest::newRow("up-from-the-first-line-stays")
        << twoLines << 2 << 0 << std::vector { key(Qt::Key_Up) } << twoLines << 2 << 0;
    QTest::newRow("ctrl-right-goes-to-the-next-word")
        << QStringLiteral("ab cd") << 0 << 0
        << std::vector { key(Qt::Key_Right, Qt::ControlModifier) } << QStringLiteral("ab cd") << 3
        << 0;
    QTest::newRow("ctrl-end-then-backspace")
        << twoLines << 0 << 0
        << std::vector { key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Backspace) }
        << QStringLiteral("abc\nde") << 6 << 0;
}

void RichEditTest::editingKeys()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(std::vector<KeyPress>, keys);
    QFETCH(QString, after);
    QFETCH(int, afterStart);
    QFETCH(int, afterLength);
    RichEdit edit;
    QVERIFY(edit.insertTextAtCaret(text));
    edit.setSelStart(selStart);
    edit.setSelLength(selLength);
    for (const KeyPress &press : keys) {
        QKeyEvent event(QEvent::KeyPress, press.key, press.modifiers, press.text);
        QCoreApplication::sendEvent(&edit, &event);
    }
    QCOMPARE(edit.toPlainText(), after);
    QCOMPARE(edit.selStart(), afterStart);
    QCOMPARE(edit.selLength(), afterLength);
}

void RichEditTest::typingTakesTheColourBeforeIt()
{
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("a"));
    edit.SetInsertColor(Colors::Green);
    QVERIFY(edit.InsertAtCaret("b"));
    edit.SetInsertColor(Colors::Blue);
    QTest::keyClicks(&edit, QStringLiteral("xy"));
    edit.setSelStart(1);
    QTest::keyClicks(&edit, QStringLiteral("z"));
    const std::vector<ColorRun> expected { { "az", kRed }, { "bxy", kGreen } };
    QCOMPARE(DescribeRuns(ColorRuns(edit)), DescribeRuns(expected));
}

void RichEditTest::mouseSelects()
{
    RichEdit edit;
    edit.resize(300, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(edit.InsertAtCaret("one two\nthree"));
    const auto point
        = [&edit](int position) { return edit.cursorRect(position).center() + QPoint(1, 0); };
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, point(2));
    QCOMPARE(edit.selStart(), 2);
    QCOMPARE(edit.selLength(), 0);
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::ShiftModifier, point(10));
    QCOMPARE(edit.selectedText(), QStringLiteral("e two\nth"));
    QTest::mouseDClick(edit.viewport(), Qt::LeftButton, {}, point(5));
    QCOMPARE(edit.selectedText(), QStringLiteral("two"));
}

void RichEditTest::inputMethodComposesAtTheCaret()
{
    RichEdit edit;
    edit.resize(300, 100);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(edit.InsertAtCaret("ab"));
    edit.setSelStart(1);
    const auto inkRightOfCaret = [&edit] {
        QTest::qWait(RichEdit::kMaxPaintHoldMs + 20);
        const QImage shown = edit.viewport()->grab().toImage();
        const QRect caret = edit.cursorRect();
        int ink = 0;
        for (int x = caret.right() + 12; x < caret.right() + 40; ++x) {
            for (int y = caret.top(); y <= caret.bottom(); ++y) {
                ink += QColor(shown.pixel(x, y)) != QColor(Qt::white) ? 1 : 0;
            }
        }
        return ink;
    };
    QCOMPARE(inkRightOfCaret(), 0); // only "b" is there
    QInputMethodEvent composing(QStringLiteral("zhong"), {});
    QCoreApplication::sendEvent(&edit, &composing);
    QVERIFY(inkRightOfCaret() > 0);
    QCOMPARE(edit.toPlainText(), QStringLiteral("ab"));
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("中"));
    QCoreApplication::sendEvent(&edit, &committed);
    QCOMPARE(edit.toPlainText(), QStringLiteral("a中b"));
    QCOMPARE(edit.selStart(), 2);
}

void RichEditTest::textIsKeptInCodePage936_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("carriage-return-and-line-feed") << QStringLiteral("a\r\nb") << "a\nb";
    QTest::newRow("lone-carriage-return") << QStringLiteral("a\rb\r") << "a\nb\n";
    QTest::newRow("paragraph-separator") << QStringLiteral("a\u2029b") << "a\nb";
    QTest::newRow("double-byte") << QStringLiteral("收到€") << QStringLiteral("收到€");
    QTest::newRow("beyond-the-code-page") << QStringLiteral("a😀b한") << "a?b?";
}

void RichEditTest::textIsKeptInCodePage936()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    RichEdit edit;
    QVERIFY(edit.insertTextAtCaret(text));
    QCOMPARE(edit.toPlainText(), shown);
    QCOMPARE(edit.characterCount(), shown.size());
    QCOMPARE(edit.findText(shown.mid(2, 1), 0, true, false), 2);
}

void RichEditTest::coloursReadOnTheBase_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("color");
    const QColor dark(30, 30, 30);
    const QColor white(Qt::white);
    QTest::newRow("dark-black") << dark << QColor(0, 0, 0);
    QTest::newRow("dark-blue") << dark << QColor(0, 0, 255);
    QTest::newRow("dark-green") << dark << QColor(0, 128, 0);
    QTest::newRow("dark-red") << dark << QColor(255, 0, 0);
    QTest::newRow("white-blue") << white << QColor(0, 0, 255);
    QTest::newRow("white-green") << white << QColor(0, 128, 0);
}

// Painting draws a run in its colour as the base shows it best, and the document keeps
// the colour it was given (a saved file takes that one).
void RichEditTest::coloursReadOnTheBase()
{
    QFETCH(QColor, base);
    QFETCH(QColor, color);
    const auto rgb = [](const QColor &c) {
        return Rgb { static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
            static_cast<uint8_t>(c.blue()) };
    };
    RichEdit edit;
    QPalette pal = edit.palette();
    pal.setColor(QPalette::Base, base);
    edit.setPalette(pal);
    edit.resize(300, 100);
    edit.SetInsertColor(rgb(color));
    QVERIFY(edit.InsertAtCaret("MMMM HHHH"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.clearFocus(); // the caret inverts the base
    QTest::qWait(RichEdit::kMaxPaintHoldMs + 20);
    const QImage shown = edit.viewport()->grab().toImage();
    // The pixel furthest from the base is one the text covers wholly.
    QColor ink = base;
    int furthest = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QColor pixel(shown.pixel(x, y));
            const int distance = std::abs(pixel.red() - base.red())
                + std::abs(pixel.green() - base.green()) + std::abs(pixel.blue() - base.blue());
            if (distance > furthest) {
                furthest = distance;
                ink = pixel;
            }
        }
    }
    const Rgb expected = DisplayColour(rgb(color), rgb(base));
    QVERIFY2(std::abs(ink.red() - expected.r) <= 8 && std::abs(ink.green() - expected.g) <= 8
            && std::abs(ink.blue() - expected.b) <= 8,
        qPrintable(ink.name()));
    const std::vector<ColorRun> kept { { "MMMM HHHH", color.name() } };
    QCOMPARE(DescribeRuns(ColorRuns(edit)), DescribeRuns(kept));
}

QTEST_MAIN(RichEditTest)
#include "tst_richedit.moc"
