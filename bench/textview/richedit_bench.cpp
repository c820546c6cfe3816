// Throughput of the document operations as the receive path uses them: bursts of
// short insertions in alternating colours, one batch per burst, on a shown control
// whose events are processed after every batch (so layout and painting count).
// Prints figures; asserts nothing. Run: build/bin/richedit_bench [items [batch size]]
#include "textview/richedit.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Figures
{
    double seconds;
    int lines;
    int characters;
};

// A hex-notation reception: 16 items a line, a green header before each line.
Figures receive(RichEdit &edit, int items, int batchSize)
{
    QElapsedTimer timer;
    timer.start();
    int item = 0;
    while (item < items) {
        edit.BeginBatch();
        for (int i = 0; i < batchSize && item < items; ++i, ++item) {
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
        // Receiving hands over one batch per event; sending echoes without
        // returning to the event loop until the send ends.
        if (batchSize > 1 || item % 1000 == 0) {
            QApplication::processEvents();
        }
    }
    return { timer.nsecsElapsed() / 1e9, edit.LineCount(), edit.characterCount() };
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int items = argc > 1 ? std::stoi(argv[1]) : 500000;
    std::vector<int> batchSizes { 1, 100, 4096 };
    if (argc > 2) {
        batchSizes = { std::stoi(argv[2]) };
    }
    for (const int batchSize : batchSizes) {
        RichEdit edit;
        edit.resize(600, 400);
        edit.show();
        const int count = batchSize == 1 ? items / 20 : items;
        const Figures f = receive(edit, count, batchSize);
        std::printf("batch %5d: %8d items in %7.3f s = %9.0f items/s, %7.3f us/item; "
                    "%d lines, %d characters\n",
            batchSize, count, f.seconds, count / f.seconds, f.seconds * 1e6 / count, f.lines,
            f.characters);

        QElapsedTimer timer;
        timer.start();
        long sum = 0;
        for (int i = 0; i < 1000000; ++i) {
            sum += edit.LineCount();
        }
        std::printf("             LineCount: %.1f ns per call (sum %ld)\n",
            timer.nsecsElapsed() / 1e6, sum);
        timer.restart();
        edit.ClearDocument();
        QApplication::processEvents();
        std::printf("             ClearDocument: %.2f ms\n", timer.nsecsElapsed() / 1e6);
    }
    return 0;
}
