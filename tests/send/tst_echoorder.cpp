#include "app/Main.h"
#include "app/startup.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "send/sendui.h"
#include "sendbar/sendbar.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "textview/richedit.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <memory>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

// The far side answers every byte b with b | 0x80 as soon as it arrives, so that
// the document tells the send's echo (below 0x80) from the answers.
class AnsweringDevice
{
public:
    explicit AnsweringDevice(int fd)
        : m_thread([this, fd](std::stop_token stop) { run(fd, stop); })
    { }

    int answered() const { return m_answered.load(); }

private:
    void run(int fd, const std::stop_token &stop)
    {
        unsigned char buffer[256];
        while (!stop.stop_requested()) {
            pollfd waiter { fd, POLLIN, 0 };
            if (::poll(&waiter, 1, 10) <= 0) {
                continue;
            }
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i) {
                buffer[i] |= 0x80;
            }
            if (got > 0 && ::write(fd, buffer, static_cast<std::size_t>(got)) == got) {
                m_answered += static_cast<int>(got);
            }
        }
    }

    std::atomic<int> m_answered { 0 };
    std::jthread m_thread;
};

struct Line
{
    bool sending = false;
    QList<int> values;
};

QList<Line> ParseLines(const QStringList &lines)
{
    QList<Line> parsed;
    for (const QString &text : lines) {
        Line line;
        line.sending = text.startsWith(QStringLiteral("Sending: "));
        for (const QString &token : text.split(u' ', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int value
                = token.startsWith(QStringLiteral("0x")) ? token.mid(2).toInt(&ok, 16) : -1;
            if (ok) {
                line.values.append(value);
            }
        }
        parsed.append(line);
    }
    return parsed;
}

} // namespace

// Received text and a running send's echo in one document window, with a device
// that answers during the send.
class EchoOrderTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answersNeverLandInsideAnEchoLine_data();
    void answersNeverLandInsideAnEchoLine();

private:
    std::unique_ptr<PtyPort> m_pty;
};

void EchoOrderTest::init()
{
    m_pty = std::make_unique<PtyPort>(false);
    QVERIFY(m_pty->isOpen());
    CreateMainObjects();
    MainForm->show();
    QTRY_VERIFY(MainForm->ActiveChild() != nullptr);
    QVERIFY(Port.isOpen());
}

void EchoOrderTest::cleanup()
{
    DestroyMainObjects();
    Port.Close();
    m_pty.reset();
}

void EchoOrderTest::answersNeverLandInsideAnEchoLine_data()
{
    QTest::addColumn<bool>("range");
    QTest::addColumn<bool>("timed");
    QTest::addColumn<bool>("splitLines");
    QTest::addColumn<bool>("sendBar");
    for (const bool split : { false, true }) {
        const char *suffix = split ? "-split" : "";
        QTest::addRow("long-text%s", suffix) << false << false << split << false;
        QTest::addRow("range%s", suffix) << true << false << split << false;
        QTest::addRow("timed-range%s", suffix) << true << true << split << false;
        QTest::addRow("send-bar%s", suffix) << false << false << split << true;
    }
}

void EchoOrderTest::answersNeverLandInsideAnEchoLine()
{
    QFETCH(bool, range);
    QFETCH(bool, timed);
    QFETCH(bool, splitLines);
    QFETCH(bool, sendBar);
    // 96 bytes with 300 µs after each: the answers of the first ones come back long
    // before the send ends.
    QList<int> expected;
    QStringList tokens;
    for (int i = 0; i < 96; ++i) {
        const int value = range ? i : (i % 3 == 0 ? 0x41 : (i % 3 == 1 ? 0x54 : 0x0D));
        expected.append(value);
        tokens.append(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')));
    }
    FrmOption->FTwoCharDelay = 300;
    FrmOption->FAutoSend = range;
    FrmOption->FSendStart = 0;
    FrmOption->FSendEnd = 95;
    FrmOption->FTimedSend = timed;
    FrmOption->FTimeInterval = 20;
    MainForm->Edit2->setText(tokens.join(u' '));
    MainForm->SplitLinesItem->setChecked(splitLines);
    AnsweringDevice device(m_pty->farSide());
    const uint64_t sentBefore = Traffic.sentTotal();

    MainForm->BtnRecieve->click();
    if (sendBar) {
        SendBar *bar = MainForm->SendBarDock;
        bar->show();
        bar->findChild<QComboBox *>(QStringLiteral("SendLineMode"))->setCurrentIndex(1);
        bar->findChild<QComboBox *>(QStringLiteral("SendLineEnding"))->setCurrentIndex(0);
        auto *line = bar->findChild<QLineEdit *>(QStringLiteral("SendLine"));
        line->setText(tokens.join(u' '));
        QTest::keyClick(line, Qt::Key_Return);
        QVERIFY(MainForm->Sender->isSending());
        QTRY_VERIFY(!MainForm->Sender->isSending());
    } else {
        MainForm->BtnSend->click();
    }
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    if (timed) {
        QTRY_VERIFY(edit->lines().join(u'\n').count(QStringLiteral("Sending: ")) >= 3);
        MainForm->BtnSend->click();
    }
    QTRY_VERIFY(!MainForm->BtnSend->isChecked());
    const int sent = static_cast<int>(Traffic.sentTotal() - sentBefore);
    QTRY_COMPARE(device.answered(), sent);
    QTest::qWait(100);
    MainForm->BtnRecieve->click();

    int echoes = 0;
    int answers = 0;
    const QList<Line> lines = ParseLines(edit->lines());
    qsizetype lastSend = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        lastSend = lines[i].sending ? i : lastSend;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        qsizetype echoed = 0;
        while (echoed < line.values.size() && line.values[echoed] < 0x80) {
            ++echoed;
        }
        for (qsizetype k = echoed; k < line.values.size(); ++k) {
            QVERIFY2(line.values[k] >= 0x80,
                qPrintable(QStringLiteral("line %1: a sent byte behind an answer").arg(i)));
        }
        if (line.sending) {
            // Only the last send of timed sending may have been cut short by the release.
            const bool whole = !timed || i != lastSend;
            QCOMPARE(line.values.mid(0, echoed), expected.mid(0, whole ? expected.size() : echoed));
            if (splitLines) {
                QCOMPARE(echoed, line.values.size());
            }
        } else {
            QCOMPARE(echoed, 0);
        }
        echoes += static_cast<int>(echoed);
        answers += static_cast<int>(line.values.size() - echoed);
    }
    QCOMPARE(echoes, sent);
    QCOMPARE(answers, sent);
}

QTEST_MAIN(EchoOrderTest)
#include "tst_echoorder.moc"
