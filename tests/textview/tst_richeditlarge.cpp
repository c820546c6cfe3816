// The document control where only the lines in view are laid out: what it paints
// and counts.
#include "textview/richedit.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(std::string)

namespace {

// Lines of filler that put what follows far below the start of the document.
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
    void findsAsTheDocumentDoes_data();
    void findsAsTheDocumentDoes();
    void capacityHoldsThroughABatch_data();
    void capacityHoldsThroughABatch();
    void clicksLandWhereTheCaretIsDrawn_data();
    void clicksLandWhereTheCaretIsDrawn();
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
    const std::vector<Rgb> colors { Colors::Green, Colors::Black, Colors::Blue, Colors::Red };
    edit.BeginBatch();
    for (const Rgb &color : colors) {
        if (batches) {
            edit.EndBatch();
            edit.BeginBatch();
        }
        edit.SetInsertColor(color);
        QVERIFY(edit.InsertAtCaret("HHHHHH"));
    }
    edit.EndBatch();
    // Past any repaint held back after a costly one (a loaded machine makes any
    // paint costly): the grab below paints, and a held paint would draw nothing.
    QTest::qWait(RichEdit::kMaxPaintHoldMs + 50);

    const QImage shown = edit.viewport()->grab().toImage();
    int at = edit.characterCount() - edit.lastLineLength();
    for (const Rgb &color : colors) {
        const QRect left = edit.cursorRect(at);
        at += 6;
        const QRect run(
            left.x() + 1, left.y(), edit.cursorRect(at).x() - left.x() - 2, left.height());
        QVERIFY(shown.rect().contains(run));
        std::vector<int> seen(colors.size());
        for (int y = run.top(); y <= run.bottom(); ++y) {
            for (int x = run.left(); x <= run.right(); ++x) {
                for (std::size_t i = 0; i < colors.size(); ++i) {
                    seen[i]
                        += shown.pixelColor(x, y) == QColor(colors[i].r, colors[i].g, colors[i].b);
                }
            }
        }
        for (std::size_t i = 0; i < colors.size(); ++i) {
            QVERIFY((seen[i] > 0) == (colors[i] == color));
        }
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

// The search reads big documents in chunks and copies the rest at once; it finds
// what the document's own search finds, wherever the text lies.
void RichEditLargeTest::findsAsTheDocumentDoes_data()
{
    QTest::addColumn<int>("fillerLines");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    // 66 lines end just before the first chunk does, 34000 beyond the chunks.
    QTest::newRow("words-past-the-first-chunk") << 66 << "ab abc\nxab ab"
                                                << "ab" << false << true;
    QTest::newRow("part-of-a-word-at-a-line-end") << 66 << "xab\nab"
                                                  << "ab" << false << true;
    QTest::newRow("no-break-space")
        << 66 << QStringLiteral("a\u00A0b\na b") << "a b" << false << false;
    QTest::newRow("case-in-the-copied-rest") << 34000 << "AB ab\nAb"
                                             << "ab" << true << false;
    QTest::newRow("words-in-the-copied-rest") << 34000 << "ab1 ab\n_ab"
                                              << "ab" << false << true;
    QTest::newRow("across-the-last-line-break") << 34000 << "xa\nb"
                                                << "a\nb" << false << false;
}

void RichEditLargeTest::findsAsTheDocumentDoes()
{
    QFETCH(int, fillerLines);
    QFETCH(QString, tail);
    QFETCH(QString, what);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(Filler(fillerLines)));
    const int tailStart = edit.characterCount();
    QVERIFY(edit.insertTextAtCaret(tail));
    QTextDocument reference;
    reference.setPlainText(edit.toPlainText());
    QTextDocument::FindFlags flags;
    flags.setFlag(QTextDocument::FindCaseSensitively, matchCase);
    flags.setFlag(QTextDocument::FindWholeWords, wholeWord);
    int hits = 0;
    for (int from : { 0, tailStart + 1 }) {
        while (from >= 0) {
            const QTextCursor hit = reference.find(what, from, flags);
            const int expected = hit.isNull() ? -1 : hit.selectionStart();
            QCOMPARE(edit.findText(what, from, matchCase, wholeWord), expected);
            hits += expected >= 0 ? 1 : 0;
            from = expected < 0 ? -1 : expected + 1;
        }
    }
    QCOMPARE(hits > 0, !what.contains(QLatin1Char('\n')));
}

void RichEditLargeTest::capacityHoldsThroughABatch_data()
{
    QTest::addColumn<QString>("typed"); // before the batch
    // In one batch, each with whether it is accepted: "insert:TEXT=1", "append:TEXT=0",
    // "clear", "select:FROM,LENGTH".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("after");
    // Capacity 6.
    QTest::newRow("typed-text-counts")
        << "abcd" << QStringList { "insert:xyz=0", "insert:xy=1" } << "abcdxy";
    QTest::newRow("clearing-frees-all")
        << "" << QStringList { "insert:abcdef=1", "clear", "insert:123456=1", "insert:7=0" }
        << "123456";
    QTest::newRow("replacing-frees-room") << ""
                                          << QStringList { "insert:abcdef=1", "select:0,3",
                                                 "insert:xy=1", "insert:z=1", "insert:w=0" }
                                          << "xyzdef";
    QTest::newRow("line-breaks-count")
        << "ab" << QStringList { "append:c=1", "append:d=1", "insert:e=0", "append:=0" }
        << "ab\nc\nd";
}

// The control counts what it inserts inside a batch rather than asking the document.
void RichEditLargeTest::capacityHoldsThroughABatch()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, steps);
    QFETCH(QString, after);
    RichEdit edit;
    edit.setCapacity(6);
    edit.show();
    QTest::keyClicks(&edit, typed);
    edit.BeginBatch();
    for (const QString &step : steps) {
        const QString text = step.section(QLatin1Char(':'), 1).section(QLatin1Char('='), 0, 0);
        const bool accepted = step.endsWith(QLatin1String("=1"));
        if (step == QLatin1String("clear")) {
            edit.ClearDocument();
        } else if (step.startsWith(QLatin1String("select:"))) {
            edit.setSelStart(text.section(QLatin1Char(','), 0, 0).toInt());
            edit.setSelLength(text.section(QLatin1Char(','), 1).toInt());
        } else if (step.startsWith(QLatin1String("append:"))) {
            QCOMPARE(edit.AppendLine(text.toStdString()), accepted);
        } else {
            QCOMPARE(edit.InsertAtCaret(text.toStdString()), accepted);
        }
    }
    edit.EndBatch();
    QCOMPARE(edit.toPlainText(), after);
    QVERIFY(!edit.InsertAtCaret(std::string(static_cast<std::size_t>(7 - after.size()), 'x')));
}

void RichEditLargeTest::clicksLandWhereTheCaretIsDrawn_data()
{
    QTest::addColumn<QString>("piece"); // repeated into one long line
    QTest::addColumn<int>("editAt"); // where "xy" goes in afterwards, -1 for nowhere
    QTest::newRow("ascii") << QStringLiteral("0x41 ") << -1;
    QTest::newRow("double-byte") << QStringLiteral("接收a") << -1;
    QTest::newRow("ascii-edited-early") << QStringLiteral("0x41 ") << 100;
    QTest::newRow("double-byte-edited-early") << QStringLiteral("接收a") << 99;
}

// The x position of a column and the column under an x position come from the same
// advances, kept every few thousand columns of a long line; an edit must not leave
// stale ones behind.
void RichEditLargeTest::clicksLandWhereTheCaretIsDrawn()
{
    QFETCH(QString, piece);
    QFETCH(int, editAt);
    RichEdit edit;
    edit.resize(400, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(edit.insertTextAtCaret(piece.repeated(4000) + QStringLiteral("\nend")));
    for (const int position : { 3, 5000, 11999 }) {
        edit.cursorRect(position); // keeps the advances up to there
    }
    if (editAt >= 0) {
        edit.setSelStart(editAt);
        QVERIFY(edit.insertTextAtCaret(QStringLiteral("xy")));
    }
    for (const int position : { 13, 4097, 9000, 11999 }) {
        edit.setSelStart(position);
        QCoreApplication::processEvents();
        const QRect caret = edit.cursorRect(position);
        QVERIFY2(edit.viewport()->rect().contains(caret.center()),
            qPrintable(QString::number(position)));
        QCOMPARE(edit.cursorPositionAt(caret.center() + QPoint(1, 0)), position);
        // Ten characters before it are as wide as their advances say.
        const QString text = edit.toPlainText();
        const QFontMetricsF metrics(edit.font());
        double width = 0;
        for (int k = position - 10; k < position; ++k) {
            width += metrics.horizontalAdvance(text.at(k));
        }
        const int shown = caret.x() - edit.cursorRect(position - 10).x();
        QVERIFY2(std::abs(shown - width) <= 1.5, qPrintable(QString::number(position)));
    }
}

QTEST_MAIN(RichEditLargeTest)
#include "tst_richeditlarge.moc"
