// The document control's word rule, edits it must not half-do, the input method and
// characters code page 936 lacks.
#include "document/documentfile.h"
#include "textview/richedit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCharFormat>

#include <fstream>

namespace {

// A point inside the character at `position`.
QPoint inside(const RichEdit &edit, int position)
{
    const QRect rect = edit.characterRect(position);
    return QPoint(rect.left() + rect.width() / 3, rect.center().y());
}

// What the input method asks the control, as Qt asks it.
QVariant query(const QWidget &widget, Qt::InputMethodQuery what)
{
    return widget.inputMethodQuery(what);
}

void showFocused(RichEdit &edit)
{
    edit.resize(400, 200);
    edit.show();
    edit.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();
}

} // namespace

class RichEditInputTest : public QObject
{
    Q_OBJECT

private slots:
    void doubleClickSelectsWholeWords_data();
    void doubleClickSelectsWholeWords();
    void wordKeysFollowTheSameRule_data();
    void wordKeysFollowTheSameRule();
    void commitReplacesAroundTheCaret_data();
    void commitReplacesAroundTheCaret();
    void preeditCursorIsWhereTheInputMethodSays();
    void candidateWindowFollowsTheCaret();
    void surroundingTextOfALongLine();
    void foreignCharactersBecomeQuestionMarks();
    void pasteWithOneForeignCharacter();
    void richTextWithManyColoursLoads();
    void horizontalRangeShrinks();
    void caseBlindSearchAcrossBlocks_data();
    void caseBlindSearchAcrossBlocks();
};

void RichEditInputTest::doubleClickSelectsWholeWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("click");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("afterTyping");
    // 丂 is 81 40 in code page 936: its second byte is "@".
    QTest::newRow("trail-byte-is-ascii")
        << QStringLiteral("中丂x") << 0 << QStringLiteral("中丂x") << QStringLiteral("Z");
    QTest::newRow("punctuation-ends-a-word")
        << QStringLiteral("ab。cd") << 0 << QStringLiteral("ab") << QStringLiteral("Z。cd");
    QTest::newRow("after-punctuation")
        << QStringLiteral("ab。cd") << 4 << QStringLiteral("cd") << QStringLiteral("ab。Z");
}

void RichEditInputTest::doubleClickSelectsWholeWords()
{
    QFETCH(QString, text);
    QFETCH(int, click);
    QFETCH(QString, selected);
    QFETCH(QString, afterTyping);
    RichEdit edit;
    showFocused(edit);
    edit.insertTextAtCaret(text);
    QTest::mouseDClick(edit.viewport(), Qt::LeftButton, {}, inside(edit, click));
    QCOMPARE(edit.selectedText(), selected);
    QTest::keyClicks(&edit, QStringLiteral("Z"));
    QCOMPARE(edit.toPlainText(), afterTyping);
}

void RichEditInputTest::wordKeysFollowTheSameRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("previous");
    QTest::newRow("ascii") << QStringLiteral("ab cd") << 0 << 3 << 0;
    QTest::newRow("punctuation") << QStringLiteral("ab。cd") << 0 << 3 << 0;
    QTest::newRow("back-over-punctuation") << QStringLiteral("ab。cd") << 5 << 5 << 3;
    QTest::newRow("chinese-words") << QStringLiteral("中文，丂x") << 1 << 3 << 0;
}

void RichEditInputTest::wordKeysFollowTheSameRule()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, next);
    QFETCH(int, previous);
    RichEdit edit;
    edit.insertTextAtCaret(text);
    edit.setSelection(from, from);
    QTest::keyClick(&edit, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(edit.textCursor().position(), next);
    edit.setSelection(from, from);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(edit.textCursor().position(), previous);
    // Whole-word search agrees: the word ends where the keys stop.
    const int wordEnd = text.indexOf(QStringLiteral("。"));
    if (wordEnd > 0) {
        QCOMPARE(edit.findText(text.left(wordEnd), 0, true, true), 0);
    }
}

void RichEditInputTest::commitReplacesAroundTheCaret_data()
{
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("caretAfter");
    QTest::newRow("before-the-caret") << 3 << -2 << 2 << "X"
                                      << "aX" << 2;
    QTest::newRow("after-the-caret") << 0 << 1 << 1 << "中"
                                     << "a中c" << 2;
    QTest::newRow("delete-only") << 3 << -1 << 1 << ""
                                 << "ab" << 2;
    QTest::newRow("plain-commit") << 1 << 0 << 0 << "Y"
                                  << "aYbc" << 2;
}

void RichEditInputTest::commitReplacesAroundTheCaret()
{
    QFETCH(int, caret);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, commit);
    QFETCH(QString, result);
    QFETCH(int, caretAfter);
    RichEdit edit;
    edit.insertTextAtCaret(QStringLiteral("abc"));
    edit.setSelection(caret, caret);
    QInputMethodEvent event;
    event.setCommitString(commit, start, length);
    QCoreApplication::sendEvent(&edit, &event);
    QCOMPARE(edit.toPlainText(), result);
    QCOMPARE(edit.textCursor().position(), caretAfter);
}

void RichEditInputTest::preeditCursorIsWhereTheInputMethodSays()
{
    RichEdit edit;
    showFocused(edit);
    edit.insertTextAtCaret(QStringLiteral("ab"));
    const auto cursorX = [&edit](int at) {
        QTextCharFormat format;
        format.setBackground(Qt::yellow);
        const QList<QInputMethodEvent::Attribute> attributes {
            { QInputMethodEvent::Cursor, at, 1, QVariant() },
            { QInputMethodEvent::TextFormat, 0, 2, format },
        };
        QInputMethodEvent event(QStringLiteral("zhong"), attributes);
        QCoreApplication::sendEvent(&edit, &event);
        return query(edit, Qt::ImCursorRectangle).toRectF().x();
    };
    const double atStart = cursorX(0);
    const double inside = cursorX(3);
    const double atEnd = cursorX(5);
    QCOMPARE(atStart, QRectF(edit.cursorRect().translated(edit.viewport()->pos())).x());
    QVERIFY(atStart < inside);
    QVERIFY(inside < atEnd);
    // The composing text is not part of the document.
    QCOMPARE(edit.toPlainText(), QStringLiteral("ab"));
}

void RichEditInputTest::candidateWindowFollowsTheCaret()
{
    RichEdit edit;
    showFocused(edit);
    QCOMPARE(QGuiApplication::focusObject(), &edit);
    QString lines;
    for (int i = 0; i < 100; ++i) {
        lines += QStringLiteral("line %1\n").arg(i);
    }
    edit.insertTextAtCaret(lines);
    QSignalSpy moved(QGuiApplication::inputMethod(), &QInputMethod::cursorRectangleChanged);
    QTest::keyClick(&edit, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(moved.count() > 0);
    moved.clear();
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->value() + 5);
    QVERIFY(moved.count() > 0);
}

void RichEditInputTest::surroundingTextOfALongLine()
{
    RichEdit edit;
    QString line;
    for (int i = 0; i < 6000; ++i) {
        line += QChar(u'a' + i % 26);
    }
    edit.insertTextAtCaret(QStringLiteral("first\n") + line);
    const int caret = 6 + 4000;
    edit.setSelection(caret - 3, caret);
    const QString around = query(edit, Qt::ImSurroundingText).toString();
    const int at = query(edit, Qt::ImCursorPosition).toInt();
    const int anchor = query(edit, Qt::ImAnchorPosition).toInt();
    QVERIFY(!around.isEmpty());
    QVERIFY(around.size() <= RichEdit::kLongLine);
    QCOMPARE(around.mid(at, 10), line.mid(4000, 10));
    QCOMPARE(at - anchor, 3);
}

void RichEditInputTest::foreignCharactersBecomeQuestionMarks()
{
    RichEdit edit;
    showFocused(edit);
    QSignalSpy told(&edit, &RichEdit::foreignCharactersReplaced);
    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("😀"));
    QCoreApplication::sendEvent(&edit, &typed);
    QCOMPARE(edit.toPlainText(), QStringLiteral("?"));
    QCOMPARE(told.count(), 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("中😀x"));
    edit.paste();
    QCOMPARE(edit.toPlainText(), QStringLiteral("?中?x"));
    QCOMPARE(told.count(), 1); // once per document
}

// A large paste with one character the code page lacks keeps all the rest.
void RichEditInputTest::pasteWithOneForeignCharacter()
{
    const QString half = QStringLiteral("中文 text，").repeated(50000);
    RichEdit edit;
    QGuiApplication::clipboard()->setText(half + QStringLiteral("😀") + half);
    edit.paste();
    QCOMPARE(edit.characterCount(), static_cast<int>(2 * half.size() + 1));
    QCOMPARE(edit.toPlainText(), half + QStringLiteral("?") + half);
}

void RichEditInputTest::richTextWithManyColoursLoads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("colours.rtf"));
    constexpr int kColours = 300;
    {
        std::ofstream file(path.toStdString(), std::ios::binary);
        file << "{\\rtf1\\ansi{\\colortbl;";
        for (int i = 0; i < kColours; ++i) {
            file << "\\red" << i % 256 << "\\green" << i / 256 << "\\blue7;";
        }
        file << "}";
        for (int i = 1; i <= kColours; ++i) {
            file << "\\cf" << i << " x";
        }
        file << "}";
    }
    RichEdit edit;
    const Status loaded = LoadDocumentFile(&edit, path);
    QVERIFY2(loaded.ok(), loaded.reason().c_str());
    QCOMPARE(edit.toPlainText().count(QLatin1Char('x')), kColours);
    const auto runs = edit.colorRuns(0, edit.characterCount());
    QCOMPARE(static_cast<int>(runs.size()), kColours);
    QCOMPARE(runs.back().second, (Rgb { (kColours - 1) % 256, (kColours - 1) / 256, 7 }));
}

void RichEditInputTest::horizontalRangeShrinks()
{
    RichEdit edit;
    edit.resize(300, 200);
    edit.show();
    const QString wide(2000, QLatin1Char('W'));
    edit.insertTextAtCaret(QStringLiteral("short\n") + wide + QStringLiteral("\nshort"));
    QVERIFY(edit.horizontalScrollBar()->maximum() > 0);
    QVERIFY(edit.replaceText(6, 6 + wide.size() + 1, QString()));
    QCOMPARE(edit.toPlainText(), QStringLiteral("short\nshort"));
    QCOMPARE(edit.horizontalScrollBar()->maximum(), 0);
}

void RichEditInputTest::caseBlindSearchAcrossBlocks_data()
{
    QTest::addColumn<int>("hitLine");
    QTest::newRow("first-block") << 3;
    QTest::newRow("later-block") << 3000; // beyond the first kSearchBlock bytes
}

void RichEditInputTest::caseBlindSearchAcrossBlocks()
{
    QFETCH(int, hitLine);
    QString text;
    int hit = -1;
    for (int i = 0; i < 4000; ++i) {
        if (i == hitLine) {
            hit = static_cast<int>(text.size()) + 4;
            text += QStringLiteral("xxx ΣΙΓΜΑ yyy\n");
        } else {
            text += QStringLiteral("line %1 with some ascii text\n").arg(i, 6);
        }
    }
    QVERIFY(text.size() > static_cast<qsizetype>(2 * RichEdit::kSearchBlock));
    RichEdit edit;
    edit.insertTextAtCaret(text);
    QCOMPARE(edit.findText(QStringLiteral("σιγμα"), 0, false, false), hit);
    QCOMPARE(edit.findText(QStringLiteral("σιγμα"), 0, false, true), hit);
    QCOMPARE(edit.findText(QStringLiteral("σιγμα"), hit + 1, false, false), -1);
    QCOMPARE(
        edit.findTextBefore(QStringLiteral("σιγμα"), edit.characterCount(), false, false), hit);
    QCOMPARE(edit.findTextBefore(QStringLiteral("σιγμα"), hit, false, false), -1);
    QCOMPARE(edit.findTextBefore(QStringLiteral("ιγμ"), hit + 10, false, true), -1);
}

QTEST_MAIN(RichEditInputTest)
#include "tst_richeditinput.moc"
