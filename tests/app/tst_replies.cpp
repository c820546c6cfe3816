#include "appfixture.h"
#include "document/ChildWin.h"
#include "receive/receiveui.h"
#include "send/sendui.h"
#include "sendbar/sendbar.h"
#include "textview/richedit.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

// A device that answers every command (bytes up to a line feed) with "OK" and,
// 5 ms later, CR LF, so that the answer reaches the program in two reads. It
// starts answering `delayMs` after the command's line feed arrived.
class ReplyingDevice
{
public:
    ReplyingDevice(int fd, int delayMs)
        : m_thread([this, fd, delayMs](std::stop_token stop) { run(fd, delayMs, stop); })
    { }

    int commands() const { return m_commands.load(); }
    int replies() const { return m_replies.load(); }

private:
    void run(int fd, int delayMs, const std::stop_token &stop)
    {
        char buffer[256];
        while (!stop.stop_requested()) {
            pollfd waiter { fd, POLLIN, 0 };
            if (::poll(&waiter, 1, 10) <= 0) {
                continue;
            }
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[i] != '\n') {
                    continue;
                }
                ++m_commands;
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                if (::write(fd, "OK", 2) == 2) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    if (::write(fd, "\r\n", 2) == 2) {
                        ++m_replies;
                    }
                }
            }
        }
    }

    std::atomic<int> m_commands { 0 };
    std::atomic<int> m_replies { 0 };
    std::jthread m_thread;
};

enum class Path { Toolbar, Timed, SendBar, QuickCommand };

// The document the exchanges must give: each command's echo on a Sending line, each
// answer on Receiving lines, which the reception's counted lines of `lineLength`
// bytes split further. A counted line that completes leaves its next header at the
// end even when a send follows.
QStringList ExpectedLines(int exchanges, int lineLength, const QStringList &sent,
    const QStringList &answer, qint64 &countedLines)
{
    const QString sending = QStringLiteral("Sending: ");
    const QString receiving = QStringLiteral("Receiving: ");
    QStringList lines;
    int received = 0;
    for (int i = 0; i < exchanges; ++i) {
        lines.append(sending + sent.join(QString()));
        bool open = false;
        for (const QString &item : answer) {
            if (!open) {
                lines.append(receiving);
                open = true;
            }
            lines.last() += item;
            if (++received % lineLength == 0) {
                lines.append(receiving);
            }
        }
    }
    countedLines = received / lineLength;
    return lines;
}

} // namespace

// Answers to commands sent on each of the real send paths, read in the three
// notations: no received byte appears on a Sending line, no sent byte on a
// Receiving line, each in its colour, and the summary counts the received bytes'
// lines.
class RepliesTest : public QObject
{
    Q_OBJECT

private slots:
    void answersStandOnReceivingLines_data();
    void answersStandOnReceivingLines();
};

void RepliesTest::answersStandOnReceivingLines_data()
{
    QTest::addColumn<Path>("path");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("notation");
    QTest::addColumn<bool>("splitLines");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QString>("command");
    // The send field's tokens are read in the notation; the send bar's hexadecimal
    // line is not.
    const struct
    {
        const char *name;
        QString command;
        QStringList sent;
        QStringList answer;
    } notations[] = {
        { "hex", "41 54 0D 0A", { "0x41 ", "0x54 ", "0x0D ", "0x0A " },
            { "0x4F ", "0x4B ", "0x0D ", "0x0A " } },
        { "decimal", "65 84 13 10", { "65 ", "84 ", "13 ", "10 " },
            { "79 ", "75 ", "13 ", "10 " } },
        { "chars", "AT\r\n", { "'A' ", "'T' ", "'\\x0D' ", "'\\x0A' " },
            { "'O' ", "'K' ", "'\\x0D' ", "'\\x0A' " } },
    };
    const struct
    {
        const char *name;
        Path path;
    } paths[] = { { "toolbar", Path::Toolbar }, { "timed", Path::Timed },
        { "send-bar", Path::SendBar }, { "quick-command", Path::QuickCommand } };
    for (const auto &path : paths) {
        for (const int delay : { 0, 1, 10 }) {
            for (int n = 0; n < 3; ++n) {
                // 收发分行 on in every other row, so that each path and notation meets both.
                const bool split = (delay + n) % 2 == 1;
                QTest::addRow(
                    "%s-%dms-%s%s", path.name, delay, notations[n].name, split ? "-split" : "")
                    << path.path << delay << n << split << notations[n].sent << notations[n].answer
                    << notations[n].command;
            }
        }
    }
}

void RepliesTest::answersStandOnReceivingLines()
{
    QFETCH(Path, path);
    QFETCH(int, delayMs);
    QFETCH(int, notation);
    QFETCH(bool, splitLines);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, answer);
    QFETCH(QString, command);
    AppFixture app;
    QVERIFY(app.prepare("41 54 0D 0A", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(app.start());
    QVERIFY(Port.isOpen());
    // Six bytes a counted line: the second answer ends one in its middle.
    constexpr int kLineLength = 6;
    FrmOption->FLineCharNum = kLineLength;
    FrmOption->FTwoCharDelay = 0;
    FrmOption->FTimedSend = path == Path::Timed;
    FrmOption->FTimeInterval = 150;
    MainForm->ComboDataType->setCurrentIndex(notation);
    MainForm->Edit2->setText(command);
    QCOMPARE(FrmOption->FSendChar, command.toStdString());
    MainForm->SplitLinesItem->setChecked(splitLines);
    SendBar *bar = MainForm->SendBarDock;
    if (path == Path::SendBar || path == Path::QuickCommand) {
        bar->show();
        bar->findChild<QComboBox *>(QStringLiteral("SendLineMode"))->setCurrentIndex(1);
        bar->findChild<QComboBox *>(QStringLiteral("SendLineEnding"))->setCurrentIndex(0);
    }
    if (path == Path::QuickCommand) {
        QFile file(app.path(QStringLiteral("commands.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("AT\thex\tnone\tnone\t41 54 0D 0A\n");
        file.close();
        QVERIFY(bar->importCommands(file.fileName()).ok());
    }
    ReplyingDevice device(app.master(), delayMs);
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;

    MainForm->BtnRecieve->click();
    QVERIFY(MainForm->Receiver->isReceiving());
    constexpr int kExchanges = 3;
    if (path == Path::Timed) {
        MainForm->BtnSend->click();
        QTRY_VERIFY_WITH_TIMEOUT(device.replies() >= kExchanges, 10000);
        MainForm->BtnSend->click();
    } else {
        for (int i = 1; i <= kExchanges; ++i) {
            if (path == Path::Toolbar) {
                MainForm->BtnSend->click();
            } else if (path == Path::SendBar) {
                auto *line = bar->findChild<QLineEdit *>(QStringLiteral("SendLine"));
                line->setText(QStringLiteral("41 54 0D 0A"));
                QTest::keyClick(line, Qt::Key_Return);
            } else {
                bar->findChild<QAction *>(QStringLiteral("QuickSend1"))->trigger();
            }
            QTRY_VERIFY(!MainForm->Sender->isSending());
            // The whole answer is in the document before the next command goes.
            QTRY_VERIFY(edit->toPlainText().count(answer.last()) >= 2 * i);
        }
    }
    QTRY_VERIFY(!MainForm->BtnSend->isChecked());
    QTRY_COMPARE(device.replies(), device.commands());
    const int exchanges = device.commands();
    QTRY_VERIFY(edit->toPlainText().count(answer.last()) >= 2 * exchanges);
    QTest::qWait(50);
    MainForm->BtnRecieve->click();
    QVERIFY(!MainForm->Receiver->isReceiving());

    qint64 countedLines = 0;
    QStringList expected = ExpectedLines(exchanges, kLineLength, sent, answer, countedLines);
    const QStringList lines = edit->lines();
    QCOMPARE(lines.mid(0, expected.size()), expected);
    // The summary counts the lines of the received bytes, not the Receiving lines
    // shown: an answer after a send starts a line of the display only.
    QCOMPARE(lines.size(), expected.size() + 2);
    QVERIFY(lines[expected.size()].endsWith(QString::number(countedLines)));
    QVERIFY(lines[expected.size() + 1].endsWith(QStringLiteral("0")));

    // Colours: blue and green headers, black items, a blue summary.
    int start = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        const auto runs = edit->colorRuns(start, start + static_cast<int>(line.size()));
        QVERIFY(!runs.empty());
        QCOMPARE(runs.front().first, start);
        if (i >= expected.size()) {
            QCOMPARE(runs.size(), std::size_t { 1 });
            QCOMPARE(runs.front().second, Colors::Blue);
        } else {
            const bool sending = line.startsWith(QStringLiteral("Sending: "));
            const int headerLength = sending ? 9 : 11;
            QCOMPARE(runs.front().second, sending ? Colors::Blue : Colors::Green);
            if (line.size() > headerLength) {
                QCOMPARE(runs.size(), std::size_t { 2 });
                QCOMPARE(runs[1].first, start + headerLength);
                QCOMPARE(runs[1].second, Colors::Black);
            } else {
                QCOMPARE(runs.size(), std::size_t { 1 });
            }
        }
        start += static_cast<int>(line.size()) + 1;
    }
}

QTEST_MAIN(RepliesTest)
#include "tst_replies.moc"
