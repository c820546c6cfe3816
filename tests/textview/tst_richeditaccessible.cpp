#include "document/ChildWin.h"
#include "textview/richedit.h"
#include "textview/richeditaccessible.h"

#include <QAccessible>
#include <QTest>

#include <vector>

namespace {

// What an assistive client heard from the control under test.
struct Heard
{
    QAccessible::Event type;
    int position;
    QString removed;
    QString inserted;
};

QObject *g_watched = nullptr;
std::vector<Heard> g_heard;

void recordEvent(QAccessibleEvent *event)
{
    if (event->object() != g_watched) {
        return;
    }
    Heard heard { event->type(), -1, {}, {} };
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
        heard.position = e->changePosition();
        heard.inserted = e->textInserted();
        break;
    }
    case QAccessible::TextRemoved: {
        const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
        heard.position = e->changePosition();
        heard.removed = e->textRemoved();
        break;
    }
    case QAccessible::TextUpdated: {
        const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
        heard.position = e->changePosition();
        heard.removed = e->textRemoved();
        heard.inserted = e->textInserted();
        break;
    }
    case QAccessible::TextCaretMoved:
        heard.position = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
        break;
    case QAccessible::TextSelectionChanged: {
        const auto *e = static_cast<QAccessibleTextSelectionEvent *>(event);
        heard.position = e->selectionStart();
        heard.inserted = QString::number(e->selectionEnd());
        break;
    }
    default:
        return;
    }
    g_heard.push_back(heard);
}

void rootObject(QObject *) { }

// Qt hands events to an update handler only while a platform bridge is active,
// which the offscreen platform never has: the control's announcements are taken
// where they leave it, and go on to Qt as they would.
void announce(QAccessibleEvent *event)
{
    recordEvent(event);
    QAccessible::updateAccessibility(event);
}

// A received document as the receive path writes it: a green header, black data, a
// red paragraph end, a blue "Sending: " header with its echo.
void writeSession(RichEdit &edit)
{
    edit.BeginBatch();
    edit.SetInsertColor(Colors::Green);
    edit.InsertAtCaret("Receiving: ");
    edit.SetInsertColor(Colors::Black);
    edit.InsertAtCaret("Hello world. Next one.");
    edit.SetInsertColor(Colors::Red);
    edit.InsertAtCaret("\n");
    edit.SetInsertColor(Colors::Blue);
    edit.InsertAtCaret("Sending: ");
    edit.SetInsertColor(Colors::Black);
    edit.InsertAtCaret("41 42\n");
    edit.EndBatch();
}

QAccessibleTextInterface *textOf(RichEdit &edit)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&edit);
    return iface == nullptr ? nullptr : iface->textInterface();
}

} // namespace

class RichEditAccessibleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void roleStateAndText();
    void pieces_data();
    void pieces();
    void colourAttributes_data();
    void colourAttributes();
    void caretAndSelection();
    void characterPlaces();
    void editsWhereEditable();
    void batchIsOneAnnouncement();
    void editsAndMovesAreAnnounced();
};

void RichEditAccessibleTest::initTestCase()
{
    QAccessible::installUpdateHandler(recordEvent);
    QAccessible::installRootObjectHandler(rootObject);
    SetAccessibilityAnnouncer(announce);
}

void RichEditAccessibleTest::init()
{
    g_heard.clear();
    QAccessible::setActive(false);
}

void RichEditAccessibleTest::roleStateAndText()
{
    RichEdit edit;
    writeSession(edit);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&edit);
    QVERIFY(iface != nullptr);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QVERIFY(!iface->state().readOnly);
    QVERIFY(iface->editableTextInterface() != nullptr);
    QAccessibleTextInterface *text = iface->textInterface();
    QVERIFY(text != nullptr);
    const QString whole = QStringLiteral("Receiving: Hello world. Next one.\nSending: 41 42\n");
    QCOMPARE(text->characterCount(), whole.size());
    QCOMPARE(text->text(0, text->characterCount()), whole);
    QCOMPARE(text->text(11, 16), QStringLiteral("Hello"));

    edit.setReadOnly(true);
    QVERIFY(iface->state().readOnly);
    QVERIFY(iface->editableTextInterface() == nullptr);

    // A document window's text is named for what it is.
    TMDIChild window;
    QCOMPARE(QAccessible::queryAccessibleInterface(window.RichEdit1)->text(QAccessible::Name),
        QStringLiteral("文档内容"));

    // Offsets count UTF-16 units, a double-byte character one.
    RichEdit chinese;
    chinese.insertTextAtCaret(QStringLiteral("中文abc"));
    QCOMPARE(textOf(chinese)->characterCount(), 5);
    QCOMPARE(textOf(chinese)->text(1, 3), QStringLiteral("文a"));
}

void RichEditAccessibleTest::pieces_data()
{
    QTest::addColumn<int>("boundary");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    // "Receiving: Hello world. Next one.\nSending: 41 42\n"
    QTest::newRow("char") << int(QAccessible::CharBoundary) << 11 << "H"
                          << " "
                          << "e";
    QTest::newRow("word") << int(QAccessible::WordBoundary) << 13 << "Hello"
                          << " "
                          << " ";
    QTest::newRow("word-start") << int(QAccessible::WordBoundary) << 17 << "world"
                                << " "
                                << ".";
    QTest::newRow("word-second-line") << int(QAccessible::WordBoundary) << 44 << "41"
                                      << " "
                                      << " ";
    QTest::newRow("sentence") << int(QAccessible::SentenceBoundary) << 14
                              << "Receiving: Hello world. "
                              << ""
                              << "Next one.";
    QTest::newRow("line") << int(QAccessible::LineBoundary) << 40 << "Sending: 41 42\n"
                          << "Receiving: Hello world. Next one.\n"
                          << "";
    QTest::newRow("paragraph") << int(QAccessible::ParagraphBoundary) << 3
                               << "Receiving: Hello world. Next one.\n"
                               << ""
                               << "Sending: 41 42\n";
}

void RichEditAccessibleTest::pieces()
{
    QFETCH(int, boundary);
    QFETCH(int, offset);
    QFETCH(QString, at);
    QFETCH(QString, before);
    QFETCH(QString, after);
    RichEdit edit;
    writeSession(edit);
    QAccessibleTextInterface *text = textOf(edit);
    const auto type = static_cast<QAccessible::TextBoundaryType>(boundary);
    int start = -5;
    int end = -5;
    QCOMPARE(text->textAtOffset(offset, type, &start, &end), at);
    QVERIFY(start <= offset && offset < end);
    QCOMPARE(text->text(start, end), at);
    QCOMPARE(text->textBeforeOffset(offset, type, &start, &end), before);
    if (!before.isEmpty()) {
        QCOMPARE(text->text(start, end), before);
    }
    QCOMPARE(text->textAfterOffset(offset, type, &start, &end), after);
    if (!after.isEmpty()) {
        QCOMPARE(text->text(start, end), after);
    }
}

void RichEditAccessibleTest::colourAttributes_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("color");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("receiving-header") << 4 << "rgb(0,128,0)" << 0 << 11;
    QTest::newRow("data") << 20 << "rgb(0,0,0)" << 11 << 33;
    QTest::newRow("paragraph-end") << 33 << "rgb(255,0,0)" << 33 << 34;
    QTest::newRow("sending-header") << 34 << "rgb(0,0,255)" << 34 << 43;
    QTest::newRow("echo") << 48 << "rgb(0,0,0)" << 43 << 49;
}

void RichEditAccessibleTest::colourAttributes()
{
    QFETCH(int, offset);
    QFETCH(QString, color);
    QFETCH(int, start);
    QFETCH(int, end);
    RichEdit edit;
    writeSession(edit);
    int from = -5;
    int to = -5;
    const QString attributes = textOf(edit)->attributes(offset, &from, &to);
    QVERIFY2(attributes.split(QLatin1Char(';')).contains(QStringLiteral("color:") + color),
        qPrintable(attributes));
    QVERIFY(attributes.endsWith(QLatin1Char(';')));
    QCOMPARE(from, start);
    QCOMPARE(to, end);
    QCOMPARE(textOf(edit)->attributes(textOf(edit)->characterCount(), &from, &to), QString());
    QCOMPARE(from, -1);
}

void RichEditAccessibleTest::caretAndSelection()
{
    RichEdit edit;
    writeSession(edit);
    QAccessibleTextInterface *text = textOf(edit);
    QCOMPARE(text->cursorPosition(), text->characterCount());
    QCOMPARE(text->selectionCount(), 0);

    text->setCursorPosition(11);
    QCOMPARE(edit.textCursor().position(), 11);
    QCOMPARE(text->cursorPosition(), 11);

    text->setSelection(0, 11, 16);
    QCOMPARE(text->selectionCount(), 1);
    QCOMPARE(edit.selectedText(), QStringLiteral("Hello"));
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    QCOMPARE(start, 11);
    QCOMPARE(end, 16);

    // A new selection takes the place of the one there is.
    text->addSelection(17, 22);
    QCOMPARE(text->selectionCount(), 1);
    QCOMPARE(edit.selectedText(), QStringLiteral("world"));

    text->removeSelection(0);
    QCOMPARE(text->selectionCount(), 0);
    QCOMPARE(text->cursorPosition(), 22);
}

void RichEditAccessibleTest::characterPlaces()
{
    RichEdit edit;
    edit.resize(400, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    writeSession(edit);
    edit.setSelection(0, 0);
    QAccessibleTextInterface *text = textOf(edit);
    for (const int offset : { 0, 11, 20, 40 }) {
        const QRect rect = text->characterRect(offset);
        QVERIFY(rect.width() > 0 && rect.height() > 0);
        QCOMPARE(text->offsetAtPoint(rect.center()), offset);
    }
    // The second line lies below the first, a later column right of an earlier one.
    QVERIFY(text->characterRect(40).top() > text->characterRect(11).bottom());
    QVERIFY(text->characterRect(12).left() > text->characterRect(11).left());
    QCOMPARE(text->characterRect(text->characterCount()), QRect());
    // Right of the end of a line there is no character.
    const QRect lineEnd = text->characterRect(48);
    QCOMPARE(text->offsetAtPoint(lineEnd.center() + QPoint(200, 0)), -1);
}

void RichEditAccessibleTest::editsWhereEditable()
{
    RichEdit edit;
    edit.insertTextAtCaret(QStringLiteral("abc def"));
    QAccessibleEditableTextInterface *editable
        = QAccessible::queryAccessibleInterface(&edit)->editableTextInterface();
    QVERIFY(editable != nullptr);
    editable->insertText(3, QStringLiteral("X"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("abcX def"));
    editable->deleteText(0, 2);
    QCOMPARE(edit.toPlainText(), QStringLiteral("cX def"));
    editable->replaceText(3, 6, QStringLiteral("中文"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("cX 中文"));
}

void RichEditAccessibleTest::batchIsOneAnnouncement()
{
    RichEdit edit;
    g_watched = &edit;
    edit.InsertAtCaret("Receiving: ");
    QVERIFY(g_heard.empty()); // no client, no announcements

    QAccessible::setActive(true);
    const std::string byteByByte = "41 42 43 44 45 46 47 48 49 4A ";
    edit.BeginBatch();
    for (const char c : byteByByte) {
        edit.InsertAtCaret(std::string_view(&c, 1));
    }
    edit.AppendLine("end");
    edit.EndBatch();

    std::vector<Heard> texts;
    int carets = 0;
    for (const Heard &heard : g_heard) {
        if (heard.type == QAccessible::TextCaretMoved) {
            ++carets;
        } else {
            texts.push_back(heard);
        }
    }
    QCOMPARE(texts.size(), std::size_t { 1 });
    QCOMPARE(texts[0].type, QAccessible::TextInserted);
    QCOMPARE(texts[0].position, 11);
    QCOMPARE(texts[0].inserted, QString::fromStdString(byteByByte) + QStringLiteral("\nend"));
    QCOMPARE(carets, 1);
    QAccessible::setActive(false);
    g_watched = nullptr;
}

void RichEditAccessibleTest::editsAndMovesAreAnnounced()
{
    RichEdit edit;
    edit.insertTextAtCaret(QStringLiteral("abc def"));
    g_watched = &edit;
    QAccessible::setActive(true);

    edit.setSelection(7, 4);
    QCOMPARE(g_heard.size(), std::size_t { 2 });
    QCOMPARE(g_heard[0].type, QAccessible::TextCaretMoved);
    QCOMPARE(g_heard[0].position, 4);
    QCOMPARE(g_heard[1].type, QAccessible::TextSelectionChanged);
    QCOMPARE(g_heard[1].position, 4);
    QCOMPARE(g_heard[1].inserted, QStringLiteral("7"));

    g_heard.clear();
    edit.setSelection(4, 7);
    g_heard.clear();
    QTest::keyClicks(&edit, QStringLiteral("X"));
    QVERIFY(!g_heard.empty());
    QCOMPARE(g_heard[0].type, QAccessible::TextUpdated);
    QCOMPARE(g_heard[0].position, 4);
    QCOMPARE(g_heard[0].removed, QStringLiteral("def"));
    QCOMPARE(g_heard[0].inserted, QStringLiteral("X"));

    g_heard.clear();
    edit.ClearDocument();
    QVERIFY(!g_heard.empty());
    QCOMPARE(g_heard[0].type, QAccessible::TextRemoved);
    QCOMPARE(g_heard[0].position, 0);
    QCOMPARE(g_heard[0].removed, QStringLiteral("abc X"));
    QAccessible::setActive(false);
    g_watched = nullptr;
}

QTEST_MAIN(RichEditAccessibleTest)
#include "tst_richeditaccessible.moc"
