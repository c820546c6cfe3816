// The document control with much text in it: what it paints, counts and finds where
// only the lines in view are laid out.
#include "docstesthelpers.h"
#include "richedit.h"

#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <string>
#include <vector>

Q_DECLARE_METATYPE(std::string)

namespace {

struct Piece
{
    Rgb color;
    std::string text;
    bool newBatch = false; // the piece starts a batch of its own
};

// Lines of filler that put the pieces far below the start of the document.
std::string Filler(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "Receiving: 0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09\n";
    }
    return text;
}

} // namespace

class RichEditLargeTest : public QObject
{
    Q_OBJECT

private slots:
    void runsArePaintedInTheirColours_data();
    void runsArePaintedInTheirColours();
    void lineCountAfterClearing_data();
    void lineCountAfterClearing();
    void findAtTheEndOfALargeDocument_data();
    void findAtTheEndOfALargeDocument();
};

void RichEditLargeTest::runsArePaintedInTheirColours_data()
{
    QTest::addColumn<int>("fillerLines");
    QTest::addColumn<bool>("batches");
    QTest::newRow("one batch") << 0 << false;
    QTest::newRow("a batch per run") << 0 << true;
    QTest::newRow("below 20000 lines") << 20000 << true;
}

// The colour of every run must reach the screen, also where runs meet at the edge
// of a batch and at the end of a long document.
void RichEditLargeTest::runsArePaintedInTheirColours()
{
    QFETCH(int, fillerLines);
    QFETCH(bool, batches);
    RichEdit edit;
    edit.resize(700, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(edit.InsertAtCaret(Filler(fillerLines)));
    const std::vector<Piece> pieces { { Colors::Green, "HHHHHH", false },
        { Colors::Black, "HHHHHH", batches }, { Colors::Blue, "HHHHHH", batches },
        { Colors::Red, "HHHHHH", false } };
    edit.BeginBatch();
    for (const Piece &piece : pieces) {
        if (piece.newBatch) {
            edit.EndBatch();
            edit.BeginBatch();
        }
        edit.SetInsertColor(piece.color);
        QVERIFY(edit.InsertAtCaret(piece.text));
    }
    edit.EndBatch();
    QTest::qWait(50);

    const QImage shown = edit.viewport()->grab().toImage();
    const int lineStart = edit.document()->lastBlock().position();
    int offset = 0;
    for (const Piece &piece : pieces) {
        QTextCursor from(edit.document());
        from.setPosition(lineStart + offset);
        offset += static_cast<int>(piece.text.size());
        QTextCursor to(edit.document());
        to.setPosition(lineStart + offset);
        const QRect left = edit.cursorRect(from);
        const QRect area(
            left.x() + 1, left.y(), edit.cursorRect(to).x() - left.x() - 2, left.height());
        QVERIFY(shown.rect().contains(area));
        int own = 0;
        int other = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor pixel = shown.pixelColor(x, y);
                for (const Piece &run : pieces) {
                    if (pixel == QColor(run.color.r, run.color.g, run.color.b)) {
                        ++(run.color == piece.color ? own : other);
                    }
                }
            }
        }
        QVERIFY2(own > 0 && other == 0, qPrintable(QString::number(offset)));
    }
}

void RichEditLargeTest::lineCountAfterClearing_data()
{
    QTest::addColumn<std::string>("before");
    QTest::addColumn<std::string>("after"); // appended after clearing, in the same batch
    QTest::addColumn<int>("lineCount");
    QTest::newRow("in a line, then nothing") << std::string("a\nbc") << std::string() << 0;
    QTest::newRow("in a line, then part of one") << std::string("a\nbc") << std::string("d") << 1;
    QTest::newRow("in a line, then two lines")
        << Filler(3000) + "Receiving: 0x" << std::string("a\nb") << 2;
    QTest::newRow("after a break, then a break") << std::string("a\n") << std::string("\n") << 1;
}

void RichEditLargeTest::lineCountAfterClearing()
{
    QFETCH(std::string, before);
    QFETCH(std::string, after);
    QFETCH(int, lineCount);
    RichEdit edit;
    edit.resize(300, 200);
    edit.show();
    QVERIFY(edit.InsertAtCaret(before));
    edit.BeginBatch();
    edit.ClearDocument();
    QVERIFY(edit.InsertAtCaret(after));
    edit.EndBatch();
    QCOMPARE(edit.LineCount(), lineCount);
    QCOMPARE(edit.lines().size(), lineCount);
    QCOMPARE(edit.characterCount(), static_cast<int>(after.size()));
}

void RichEditLargeTest::findAtTheEndOfALargeDocument_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<int>("fromEnd"); // where it is found, counted from the end; 0: not found
    // The document ends "...tail one\ntail two".
    QTest::newRow("last word") << QStringLiteral("two") << false << 3;
    QTest::newRow("last word backward") << QStringLiteral("two") << true << 3;
    QTest::newRow("before the break") << QStringLiteral("one") << false << 12;
    QTest::newRow("across the break") << QStringLiteral("one\ntail") << false << 0;
    QTest::newRow("across the break backward") << QStringLiteral("one\ntail") << true << 0;
}

void RichEditLargeTest::findAtTheEndOfALargeDocument()
{
    QFETCH(QString, what);
    QFETCH(bool, backward);
    QFETCH(int, fromEnd);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(Filler(100000) + "tail one\ntail two"));
    const int end = edit.characterCount();
    const int hit = backward ? edit.findTextBefore(what, end, false, false)
                             : edit.findText(what, end - 20, false, false);
    QCOMPARE(hit, fromEnd == 0 ? -1 : end - fromEnd);
    if (hit >= 0) {
        edit.setSelStart(hit);
        edit.setSelLength(static_cast<int>(what.size()));
        QCOMPARE(edit.selectedText(), what);
    }
}

QTEST_MAIN(RichEditLargeTest)
#include "tst_richeditlarge.moc"
