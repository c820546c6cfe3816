// Edits that once grew faster than the text: Replace All on one long line, a large
// paste with one character code page 936 lacks, case-blind search beyond ASCII;
// and the receive path's flood with and without an assistive client listening.
// Prints figures; asserts nothing. Run: build/bin/edit_bench
#include "textview/richedit.h"
#include "textview/richeditaccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>

#include <cstdio>
#include <string>

namespace {

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The keep-everything flood of hex items, one batch per 4096 items, as received.
double flood(int items)
{
    RichEdit edit;
    edit.resize(800, 600);
    edit.show();
    QElapsedTimer timer;
    timer.start();
    for (int item = 0; item < items;) {
        edit.BeginBatch();
        for (int i = 0; i < 4096 && item < items; ++i, ++item) {
            if (item % 16 == 0) {
                edit.SetInsertColor(Colors::Green);
                edit.AppendLine("Receiving: ");
            }
            edit.SetInsertColor(Colors::Black);
            char text[4];
            std::snprintf(text, sizeof text, "%02X ", item & 0xFF);
            edit.InsertAtCaret(text);
        }
        edit.EndBatch();
        QApplication::processEvents();
    }
    return seconds(timer);
}

int announced = 0;
void countAnnouncement(QAccessibleEvent *event)
{
    ++announced;
    QAccessible::updateAccessibility(event);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    {
        // 60,000 hits on one 180 KB line.
        RichEdit edit;
        edit.insertTextAtCaret(QStringLiteral("ab ").repeated(60000));
        QElapsedTimer timer;
        timer.start();
        const bool ok
            = edit.replaceAll(QStringLiteral("ab"), QStringLiteral("xyz"), 0, false, false);
        std::printf("replace all, 60000 hits on one line: %.3f s (%s)\n", seconds(timer),
            ok ? "done" : "refused");
    }
    {
        RichEdit edit;
        const QString half = QStringLiteral("中文 text, ").repeated(500000);
        QApplication::clipboard()->setText(half + QStringLiteral("😀") + half);
        QElapsedTimer timer;
        timer.start();
        edit.paste();
        std::printf("paste of %lld characters with one outside code page 936: %.3f s\n",
            static_cast<long long>(edit.characterCount()), seconds(timer));
    }
    {
        RichEdit edit;
        edit.insertTextAtCaret(
            QStringLiteral("line with some text\n").repeated(1500000) + QStringLiteral("ΣΙΓΜΑ"));
        QElapsedTimer timer;
        timer.start();
        int found = 0;
        for (int i = 0; i < 10; ++i) {
            found = edit.findText(QStringLiteral("σιγμα"), 0, false, false);
        }
        std::printf("case-blind Greek search over %d characters: %.3f s a search (hit %d)\n",
            edit.characterCount(), seconds(timer) / 10, found);
    }
    constexpr int kItems = 4 * 1024 * 1024 / 3; // about 4 MB of hex items
    const double without = flood(kItems);
    SetAccessibilityAnnouncer(countAnnouncement);
    QAccessible::setActive(true);
    const double with = flood(kItems);
    std::printf("flood of %d items: %.3f s without a client, %.3f s with one (%d announcements),"
                " ratio %.2f\n",
        kItems, without, with, announced, without / with);
    return 0;
}
