// Document controls side by side under the receive path's own insertion
// pattern (the receive thread's changes carried out by ApplyPending in batches
// paced by BatchPacer, hex notation, automatic clearing off):
//   richedit  the document window's RichEdit (a TextStore under a view that
//             paints only what it shows);
//   textedit  a stock QTextEdit, wrapping off, a format per colour run;
//   plain     a stock QPlainTextEdit, wrapping off, a format per colour run;
// Each run measures one control in a process of its own, so that peak RSS is its own:
//   view_bench keep CONTROL [BYTES]   a flood through a pseudo-terminal (4,000,000
//                                     bytes unless told): MB/s, CPU per 100 KB, peak
//                                     RSS per received byte, the document checked;
//   view_bench growth CONTROL         the cost of a batch of 2,000 received bytes
//                                     (layout and repaint) with 100,000 and with
//                                     20,000,000 characters on screen, then steps of
//                                     scrolling with 20,000,000 on screen;
//   view_bench line CONTROL           one line of 16,900,000 characters appended in
//                                     batches of 1,000,000: peak RSS, the last batch,
//                                     a full repaint, a horizontal step;
//   view_bench open richedit [MB]     a plain text file of 50 MB (or MB) in
//                                     lines of 60 characters: the time until it is
//                                     loaded, then scrolled to its end and searched
//                                     through, and the peak RSS;
//   view_bench shot [SECONDS]         RichEdit with a few lines and a long line
//                                     scrolled right, shown for a screenshot.
// Prints figures; asserts nothing.

#include "benchmeter.h"
#include "benchwait.h"
#include "document/batchpacer.h"
#include "flood.h"
#include "ptyport.h"
#include "receive/receiveengine.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"
#include "textcontrols.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// RichEdit holds repaints back for up to 100 ms after a costly one: a step is timed
// only once no repaint can be held back, so that its paint is in the figure.
void Settle()
{
    Wait(120);
}

// One control under test, reached through what every control offers.
struct Control
{
    QAbstractScrollArea *widget = nullptr;
    DocumentOps *ops = nullptr;
    std::function<std::size_t()> characters;
    std::function<std::size_t()> capacity;
    std::function<qint64()> lastPaintNs;
    // The last `count` lines (fewer in a shorter document), the last one possibly empty.
    std::function<std::vector<std::string>(int count)> lastLines;
};

template <typename Edit>
std::vector<std::string> LastBlocks(const Edit *edit, int count)
{
    std::vector<std::string> lines;
    if constexpr (std::is_same_v<Edit, RichEdit>) {
        const QStringList all = edit->lines();
        for (qsizetype i = std::max<qsizetype>(0, all.size() - count); i < all.size(); ++i) {
            lines.push_back(all[i].toStdString());
        }
    } else {
        for (QTextBlock block = edit->document()->lastBlock();
             block.isValid() && static_cast<int>(lines.size()) < count; block = block.previous()) {
            lines.insert(lines.begin(), block.text().toStdString());
        }
    }
    return lines;
}

template <typename Edit>
Control QtControl(Edit *edit)
{
    return { edit, edit, [edit] { return static_cast<std::size_t>(edit->characterCount()); },
        [edit] { return static_cast<std::size_t>(edit->capacity()); },
        [edit] { return edit->lastPaintNs(); },
        [edit](int count) { return LastBlocks(edit, count); } };
}

Control MakeControl(const std::string &name)
{
    if (name == "richedit") {
        return QtControl(new RichEdit);
    }
    if (name == "textedit") {
        return QtControl(new TextControlDocument<QTextEdit>);
    }
    if (name == "plain") {
        return QtControl(new TextControlDocument<QPlainTextEdit>);
    }
    std::fprintf(stderr, "unknown control %s (richedit, textedit, plain)\n", name.c_str());
    std::exit(2);
}

void Show(Control &c)
{
    c.widget->resize(900, 700);
    c.widget->show();
    QApplication::processEvents();
}

// The receive path of the main window without its window: the engine's changes are
// carried out on the control as ReceiveController carries them out on a RichEdit.
class Receiver : public QObject
{
public:
    // `paced`: batches come when the engine asks for them, as in the program; else
    // only when applyNow is called.
    Receiver(const SettingsValues &settings, Control &control,
        ReceiveEngine::ReadByteFunction readByte, bool paced = true)
        : m_control(control)
        , m_engine(settings, std::move(readByte),
              [this, paced] {
                  if (paced) {
                      QMetaObject::invokeMethod(
                          this, [this] { m_pacer.request(); }, Qt::QueuedConnection);
                  }
              })
        , m_pacer([this] { applyNow(); })
    { }
    ReceiveEngine &engine() { return m_engine; }
    std::size_t room() const
    {
        return m_control.capacity() - std::min(m_control.capacity(), m_control.characters());
    }
    // Carries out what waits; returns the changes taken.
    std::size_t applyNow()
    {
        QElapsedTimer cost;
        cost.start();
        const std::size_t taken = m_engine.ApplyPending(m_control.ops, [this] { return room(); });
        m_pacer.batchDone(
            cost.nsecsElapsed() + m_control.lastPaintNs(), taken >= m_engine.queueCapacity() / 2);
        ++m_batches;
        return taken;
    }
    void stop()
    {
        m_pacer.cancel();
        m_engine.Stop(m_control.ops, [this] { return room(); });
    }
    long batches() const { return m_batches; }

private:
    Control &m_control;
    ReceiveEngine m_engine;
    BatchPacer m_pacer;
    long m_batches = 0;
};

// The document after `total` bytes of the flood pattern: a header and ten items a
// line, "End of one Paragraph" after every hundred, the next header last.
bool DocumentIsRight(const Control &c, long total)
{
    const std::vector<std::string> lines = c.lastLines(12);
    if (lines.size() < 12 || c.ops->LineCount() != total / 10 + total / 100 + 1) {
        return false;
    }
    for (int line = 0; line < 10; ++line) {
        std::string items = "Receiving: ";
        for (int i = 0; i < 10; ++i) {
            char item[8];
            std::snprintf(item, sizeof item, "0x%02X ", line * 10 + i);
            items += item;
        }
        if (lines[static_cast<std::size_t>(line)] != items) {
            return false;
        }
    }
    return lines[10] == "End of one Paragraph" && lines[11] == "Receiving: ";
}

void Keep(const std::string &name, long total)
{
    PtyPort pty { false };
    Port.Open(1, 115200, 0, 0, 8);
    SettingsValues settings;
    settings.FAutoClear = false;
    Control c = MakeControl(name);
    Show(c);
    Receiver r(settings, c, [](uint8_t &byte) { return Port.ReadByte(byte); });
    r.engine().SetReadsLine([] { return !Port.hasReadAhead(); });
    const std::string bytes = FloodPattern(total);
    const long rssBefore = CurrentRssKb();
    r.engine().Start();
    const double cpuStart = CpuMs(RUSAGE_SELF);
    const double uiCpuStart = CpuMs(RUSAGE_THREAD);
    FloodReport flood;
    const auto start = Clock::now();
    std::thread feeder([&] { flood = Flood(pty.farSide(), bytes); });
    while (r.engine().shownCounts().RecvByteCount < total) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const auto end = Clock::now();
    feeder.join();
    const double uiCpu = CpuMs(RUSAGE_THREAD) - uiCpuStart;
    const double cpu = CpuMs(RUSAGE_SELF) - cpuStart - flood.cpuMs;
    r.stop();
    Port.Close();
    const double s = std::chrono::duration<double>(end - start).count();
    const long peak = PeakRssKb();
    std::printf("keep %s, %ld bytes (hex, 10/line, 100/paragraph, no automatic clearing):\n",
        name.c_str(), total);
    std::printf("   %.3f s: %.2f MB/s; CPU %.0f ms, %.1f ms per 100 KB; %ld batches\n", s,
        total / s / 1e6, cpu, cpu / (total / 100000.0), r.batches());
    std::printf(
        "   of which the user-interface thread %.1f ms per 100 KB, the receive thread %.1f\n",
        uiCpu / (total / 100000.0), (cpu - uiCpu) / (total / 100000.0));
    std::printf("   RSS before the flood %ld KB, peak %ld KB: %.1f bytes per received byte "
                "(%.1f above the start)\n",
        rssBefore, peak, peak * 1024.0 / total, (peak - rssBefore) * 1024.0 / total);
    std::printf("   document %zu characters, %d lines: %s; flood writer %s\n", c.characters(),
        c.ops->LineCount(), DocumentIsRight(c, total) ? "right" : "WRONG",
        DescribeFlood(flood).c_str());
    if (auto *edit = dynamic_cast<RichEdit *>(c.widget)) {
        std::printf("   the store holds %.1f MB\n", static_cast<double>(edit->storedBytes()) / 1e6);
    }
}

// Bytes of the flood pattern handed to the engine a quota at a time, so that every
// batch holds exactly the bytes asked for.
class MeteredBytes
{
public:
    int read(uint8_t &byte)
    {
        const long given = m_given.load();
        if (given < m_quota.load()) {
            byte = static_cast<uint8_t>(given % 100);
            m_given = given + 1;
            return 1;
        }
        // Back here, the last byte handed out has been handled and queued.
        m_idleAt = given;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        return 0;
    }
    void give(long count)
    {
        const long target = m_quota.load() + count;
        m_quota = target;
        while (m_idleAt.load() != target) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }

private:
    std::atomic<long> m_quota { 0 };
    std::atomic<long> m_given { 0 };
    std::atomic<long> m_idleAt { -1 };
};

struct BatchCost
{
    double medianUs = 0; // carried out and repainted
    double worstUs = 0;
    double applyUs = 0; // of the median batch, carried out only
};

BatchCost TimeBatches(Receiver &r, MeteredBytes &bytes, Control &c, int batches, long perBatch)
{
    std::vector<std::pair<double, double>> us;
    for (int i = 0; i < batches; ++i) {
        bytes.give(perBatch);
        Settle();
        QElapsedTimer timer;
        timer.start();
        r.applyNow();
        const double applied = timer.nsecsElapsed() / 1e3;
        c.widget->viewport()->repaint();
        us.emplace_back(timer.nsecsElapsed() / 1e3, applied);
        QApplication::processEvents();
    }
    std::sort(us.begin(), us.end());
    return { us[us.size() / 2].first, us.back().first, us[us.size() / 2].second };
}

template <typename Step>
void TimeSteps(Control &c, const char *what, int count, Step step)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        Settle();
        QElapsedTimer timer;
        timer.start();
        step(i);
        c.widget->viewport()->repaint();
        QApplication::processEvents();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("   %-26s longest %7.2f ms, median %7.2f ms (%d steps)\n", what, ms.back(),
        ms[ms.size() / 2], count);
}

void Growth(const std::string &name)
{
    constexpr long kPerBatch = 2000;
    SettingsValues settings;
    settings.FAutoClear = false;
    Control c = MakeControl(name);
    Show(c);
    MeteredBytes bytes;
    Receiver r(
        settings, c, [&bytes](uint8_t &byte) { return bytes.read(byte); }, false);
    r.engine().Start();
    std::printf("growth %s: a batch of %ld received bytes, carried out and repainted:\n",
        name.c_str(), kPerBatch);
    for (const std::size_t size : { std::size_t { 100000 }, std::size_t { 20000000 } }) {
        while (c.characters() < size) {
            bytes.give(std::min<long>(50000, static_cast<long>(size - c.characters()) / 6 + 10));
            r.applyNow();
            QApplication::processEvents();
        }
        const std::size_t before = c.characters();
        const BatchCost cost = TimeBatches(r, bytes, c, 20, kPerBatch);
        std::printf("   %9zu characters on screen: median %7.0f us (%.2f us per byte; carried out "
                    "%.0f us, repainted %.0f us), worst %7.0f us; RSS %ld MB\n",
            before, cost.medianUs, cost.medianUs / kPerBatch, cost.applyUs,
            cost.medianUs - cost.applyUs, cost.worstUs, CurrentRssKb() / 1024);
        std::fflush(stdout);
    }
    r.stop();
    QScrollBar *bar = c.widget->verticalScrollBar();
    bar->setValue(0);
    QApplication::processEvents();
    TimeSteps(c, "page down from the start:", 30,
        [bar](int) { bar->triggerAction(QAbstractSlider::SliderPageStepAdd); });
    TimeSteps(c, "scroll bar jumps:", 30,
        [bar](int i) { bar->setValue(static_cast<int>(bar->maximum() * ((i * 37) % 100) / 100)); });
    TimeSteps(c, "a line down:", 30,
        [bar](int) { bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
    std::printf("   peak RSS %ld MB\n", PeakRssKb() / 1024);
}

// Numbers as a long range's echo writes them, "0 1 2 ...", `count` characters.
std::string RangeEcho(std::size_t count, long &next)
{
    std::string out;
    out.reserve(count + 16);
    while (out.size() < count) {
        out += std::to_string(next++);
        out += ' ';
    }
    out.resize(count);
    return out;
}

void OneLine(const std::string &name)
{
    constexpr std::size_t kLine = 16900000;
    constexpr std::size_t kPerBatch = 1000000;
    Control c = MakeControl(name);
    Show(c);
    const long rssBefore = CurrentRssKb();
    long next = 0;
    QElapsedTimer total;
    total.start();
    c.ops->BeginBatch();
    c.ops->MoveCaretToEnd();
    c.ops->SetInsertColor(Colors::Blue);
    (void)c.ops->InsertAtCaret("Sending: ");
    c.ops->SetInsertColor(Colors::Black);
    c.ops->EndBatch();
    double lastBatchMs = 0;
    qint64 settled = 0;
    for (std::size_t done = 0; done < kLine; done += kPerBatch) {
        const std::string text = RangeEcho(std::min(kPerBatch, kLine - done), next);
        QElapsedTimer settle;
        settle.start();
        Settle();
        settled += settle.nsecsElapsed();
        QElapsedTimer batch;
        batch.start();
        c.ops->BeginBatch();
        c.ops->MoveCaretToEnd();
        const bool ok = c.ops->InsertAtCaret(text);
        c.ops->EndBatch();
        c.widget->viewport()->repaint();
        QApplication::processEvents();
        lastBatchMs = batch.nsecsElapsed() / 1e6;
        if (!ok) {
            std::printf("   refused at %zu characters\n", done);
            break;
        }
    }
    const double appendS = (total.nsecsElapsed() - settled) / 1e9;
    Settle();
    QElapsedTimer paint;
    paint.start();
    c.widget->viewport()->update();
    c.widget->viewport()->repaint();
    const double repaintMs = paint.nsecsElapsed() / 1e6;
    QScrollBar *hbar = c.widget->horizontalScrollBar();
    Settle();
    paint.start();
    hbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    c.widget->viewport()->repaint();
    const double stepMs = paint.nsecsElapsed() / 1e6;
    Settle();
    paint.start();
    hbar->setValue(hbar->maximum() / 2);
    c.widget->viewport()->repaint();
    const double jumpMs = paint.nsecsElapsed() / 1e6;
    std::printf("line %s: one line of %zu characters in batches of %zu:\n", name.c_str(),
        c.characters(), kPerBatch);
    std::printf("   appended in %.2f s (the pauses between batches not counted), the last batch "
                "with its paint %.1f ms; a full repaint "
                "after it %.1f ms; a page left %.1f ms; a jump to the middle %.1f ms\n",
        appendS, lastBatchMs, repaintMs, stepMs, jumpMs);
    std::printf("   RSS before %ld MB, now %ld MB, peak %ld MB (%.1f bytes per character above the "
                "start)\n",
        rssBefore / 1024, CurrentRssKb() / 1024, PeakRssKb() / 1024,
        (PeakRssKb() - rssBefore) * 1024.0 / static_cast<double>(kLine));
    QElapsedTimer clear;
    clear.start();
    c.ops->ClearDocument();
    c.widget->viewport()->repaint();
    std::printf("   clearing it, repainted: %.1f ms, RSS after %ld MB\n",
        clear.nsecsElapsed() / 1e6, CurrentRssKb() / 1024);
}

// A plain text file of `mb` MB (lines of 60 characters, CR LF after each) taken in
// as a file is loaded, a megabyte a batch, then scrolled to its end, painted and
// searched through for a word it lacks. RichEdit only.
void OpenFile(const std::string &name, int mb)
{
    Control c = MakeControl(name);
    auto *view = dynamic_cast<RichEdit *>(c.widget);
    if (!view) {
        std::fprintf(stderr, "open measures richedit only\n");
        std::exit(2);
    }
    Show(c);
    const std::string line = "The quick brown fox jumps over the lazy dog 0123456789 abcd\r\n";
    std::string file;
    file.reserve((static_cast<std::size_t>(mb) << 20) + line.size());
    while (file.size() < static_cast<std::size_t>(mb) << 20) {
        file += line;
    }
    file.resize(static_cast<std::size_t>(mb) << 20);
    const long rssBefore = CurrentRssKb();
    QElapsedTimer timer;
    timer.start();
    constexpr std::size_t kStep = std::size_t { 1 } << 20;
    std::string text;
    for (std::size_t at = 0; at < file.size(); at += kStep) {
        // Line breaks as the document keeps them: CR LF becomes one "\n".
        text.clear();
        const std::string_view piece = std::string_view(file).substr(at, kStep);
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (piece[i] != '\r' || i + 1 >= piece.size() || piece[i + 1] != '\n') {
                text.push_back(piece[i]);
            }
        }
        c.ops->BeginBatch();
        (void)c.ops->InsertAtCaret(text);
        c.ops->EndBatch();
        QApplication::processEvents();
    }
    const double loadedMs = timer.nsecsElapsed() / 1e6;
    c.widget->verticalScrollBar()->setValue(c.widget->verticalScrollBar()->maximum());
    c.widget->viewport()->repaint();
    // As the find dialog searches by default: either case, parts of words too.
    const bool found = view->findText(QStringLiteral("absent"), 0, false, false) >= 0;
    std::printf("open %s: %d MB of plain text (%d lines): loaded after %.0f ms, scrolled to the "
                "end and searched through (%s) after %.0f ms; RSS before %ld MB, peak %ld MB\n",
        name.c_str(), mb, c.ops->LineCount(), loadedMs, found ? "found" : "not found",
        timer.nsecsElapsed() / 1e6, rssBefore / 1024, PeakRssKb() / 1024);
}

void Shot(int seconds)
{
    RichEdit lines;
    RichEdit longLine;
    for (RichEdit *view : { &lines, &longLine }) {
        view->resize(620, 300);
    }
    lines.setWindowTitle(QStringLiteral("lines"));
    longLine.setWindowTitle(QStringLiteral("long line, scrolled right"));
    for (int line = 0; line < 30; ++line) {
        lines.SetInsertColor(Colors::Green);
        (void)lines.AppendLine("Receiving: ");
        lines.SetInsertColor(Colors::Black);
        std::string items;
        for (int i = 0; i < 10; ++i) {
            char item[8];
            std::snprintf(item, sizeof item, "0x%02X ", (line * 10 + i) % 100);
            items += item;
        }
        (void)lines.InsertAtCaret(items);
        if (line % 10 == 9) {
            lines.SetInsertColor(Colors::Red);
            (void)lines.AppendLine("End of one Paragraph");
        }
    }
    lines.verticalScrollBar()->setValue(0);
    long next = 0;
    longLine.SetInsertColor(Colors::Blue);
    (void)longLine.InsertAtCaret("Sending: ");
    for (int i = 0; i < 200; ++i) {
        longLine.SetInsertColor(i % 2 ? Colors::Black : Colors::Red);
        (void)longLine.InsertAtCaret(RangeEcho(5000, next));
    }
    longLine.SetInsertColor(Colors::Green);
    (void)longLine.AppendLine("a short line under it");
    longLine.move(0, 0);
    lines.move(0, 340);
    longLine.show();
    lines.show();
    QApplication::processEvents();
    // Where the second run starts (column 5009), a little right of the left edge.
    QScrollBar *hbar = longLine.horizontalScrollBar();
    hbar->setValue(longLine.cursorRect(5009).x() + hbar->value() - 20);
    longLine.verticalScrollBar()->setValue(0);
    Wait(seconds * 1000);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string control = argc > 2 ? argv[2] : "richedit";
    if (mode == "keep") {
        Keep(control, argc > 3 ? std::atol(argv[3]) : 4000000);
    } else if (mode == "growth") {
        Growth(control);
    } else if (mode == "line") {
        OneLine(control);
    } else if (mode == "open") {
        OpenFile(control, argc > 3 ? std::atoi(argv[3]) : 50);
    } else if (mode == "shot") {
        Shot(argc > 2 ? std::atoi(argv[2]) : 30);
    } else {
        std::fprintf(stderr, "view_bench keep|growth|line CONTROL | open richedit [MB] | shot\n");
        return 2;
    }
    std::fflush(stdout);
    // Tearing a big document down is not what is measured.
    std::_Exit(0);
}
