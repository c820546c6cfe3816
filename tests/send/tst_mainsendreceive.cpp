#include "app/Main.h"
#include "app/intervaltimer.h"
#include "app/startup.h"
#include "document/ChildWin.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "send/sendui.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "textview/richedit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const QString kSending = QStringLiteral("Sending: ");
const QString kReceiving = QStringLiteral("Receiving: ");

int CountOf(const QStringList &lines, const QString &prefix)
{
    int count = 0;
    for (const QString &line : lines) {
        count += line.startsWith(prefix) ? 1 : 0;
    }
    return count;
}

} // namespace

// The main window's sending and receiving handlers against the program's Port on
// a real pseudo-terminal: the settings folder's com1 link points at it, so the
// main window's first show opens it.
class MainSendReceiveTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void singleSendRaisesTheButton_data();
    void singleSendRaisesTheButton();
    void timedSendRepeatsUntilReleased();
    void timedSendWithZeroIntervalSendsOnce();
    void tickDueDuringASendStartsTheNextAtItsEnd();
    void nothingIsSentWithoutAWindow();
    void receptionGoesToTheFirstWindowAndTheSummaryToTheActive();
    void comboChangeAppliesDuringAReception();
    void receptionWithoutAWindowWritesNothing();
    void closingTheProgramDuringAReception();

private:
    RichEdit *activeEdit() const { return MainForm->ActiveChild()->RichEdit1; }
    void closeAllWindows();

    std::unique_ptr<PtyPort> m_pty;
};

void MainSendReceiveTest::init()
{
    m_pty = std::make_unique<PtyPort>(false);
    QVERIFY(m_pty->isOpen());
    CreateMainObjects();
    MainForm->show();
    QTRY_VERIFY(MainForm->ActiveChild() != nullptr);
    QVERIFY(Port.isOpen());
    FrmOption->FTwoCharDelay = 0;
}

void MainSendReceiveTest::cleanup()
{
    DestroyMainObjects();
    Port.Close();
    m_pty.reset();
}

void MainSendReceiveTest::closeAllWindows()
{
    for (TMDIChild *child : MainForm->Children()) {
        delete child;
    }
    QTRY_COMPARE(MainForm->ChildCount(), 0);
}

void MainSendReceiveTest::singleSendRaisesTheButton_data()
{
    QTest::addColumn<QString>("comboText");
    QTest::addColumn<QString>("sendText");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("echo");
    QTest::newRow("hex") << QStringLiteral("16进制") << "41 42" << QByteArray("AB")
                         << kSending + "0x41 0x42 ";
    QTest::newRow("decimal") << QStringLiteral("10进制") << "65,300" << QByteArray("A,")
                             << kSending + "65 300 ";
    QTest::newRow("chars") << QStringLiteral("ACSII字符") << "XY" << QByteArray("XY")
                           << kSending + "'X' 'Y' ";
    QTest::newRow("typed-text-is-hex")
        << QStringLiteral("decimal") << "41" << QByteArray("A") << kSending + "0x41 ";
}

void MainSendReceiveTest::singleSendRaisesTheButton()
{
    QFETCH(QString, comboText);
    QFETCH(QString, sendText);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, echo);
    FrmOption->FTimedSend = false;
    MainForm->ComboDataType->setCurrentText(comboText);
    MainForm->Edit2->setText(sendText);
    MainForm->BtnSend->click();
    QCOMPARE(QByteArray::fromStdString(m_pty->receive(bytes.size() + 1, 200)), bytes);
    // The send runs on its own thread: the button comes up when it has ended.
    QTRY_VERIFY(!MainForm->BtnSend->isChecked());
    QVERIFY(!MainForm->Timer1->isEnabled());
    QCOMPARE(activeEdit()->lines(), QStringList { echo });
}

void MainSendReceiveTest::timedSendRepeatsUntilReleased()
{
    FrmOption->FTimedSend = true;
    FrmOption->FTimeInterval = 20;
    MainForm->Edit2->setText(QStringLiteral("41"));
    MainForm->BtnSend->click();
    // The first send happens in the click itself.
    QCOMPARE(CountOf(activeEdit()->lines(), kSending), 1);
    QVERIFY(MainForm->BtnSend->isChecked());
    QVERIFY(MainForm->Timer1->isEnabled());
    QCOMPARE(MainForm->Timer1->interval(), 20);
    QTRY_VERIFY(CountOf(activeEdit()->lines(), kSending) >= 3);
    MainForm->BtnSend->click();
    QVERIFY(!MainForm->BtnSend->isChecked());
    QVERIFY(!MainForm->Timer1->isEnabled());
    // A send that the release stopped before its byte went out keeps its header but
    // echoes nothing: the echoes are exactly the bytes that reached the line.
    const int sends = CountOf(activeEdit()->lines(), kSending);
    const int echoes
        = static_cast<int>(activeEdit()->lines().join(u' ').count(QStringLiteral("0x41")));
    QVERIFY(echoes >= sends - 1 && echoes <= sends);
    QCOMPARE(m_pty->receive(static_cast<std::size_t>(sends) + 1, 200),
        std::string(static_cast<std::size_t>(echoes), 'A'));
}

void MainSendReceiveTest::timedSendWithZeroIntervalSendsOnce()
{
    FrmOption->FTimedSend = true;
    FrmOption->FTimeInterval = 0;
    MainForm->Edit2->setText(QStringLiteral("41"));
    MainForm->BtnSend->click();
    QVERIFY(MainForm->BtnSend->isChecked());
    QCOMPARE(MainForm->Timer1->interval(), 0);
    QCOMPARE(m_pty->receive(2, 200), std::string("A"));
    QCOMPARE(CountOf(activeEdit()->lines(), kSending), 1);
}

void MainSendReceiveTest::tickDueDuringASendStartsTheNextAtItsEnd()
{
    FrmOption->FTimedSend = true;
    FrmOption->FTimeInterval = 50;
    // Each token waits its delay: a send lasts a little over 120 ms, so ticks fall due
    // during it and the next one after its end is about 30 ms away.
    FrmOption->FTwoCharDelay = 40000;
    MainForm->Edit2->setText(QStringLiteral("41 42 43"));
    // Queued behind the handlers of each end: whether the next send has begun.
    QList<bool> nextStarted;
    connect(MainForm->Sender, &SendController::finished, this, [this, &nextStarted] {
        QMetaObject::invokeMethod(
            this, [&nextStarted] { nextStarted.append(MainForm->Sender->isSending()); },
            Qt::QueuedConnection);
    });
    MainForm->BtnSend->click();
    QTRY_VERIFY_WITH_TIMEOUT(nextStarted.size() >= 2, 5000);
    const QList<bool> whileDown = nextStarted;
    MainForm->BtnSend->click();
    QCOMPARE(whileDown, QList<bool>(whileDown.size(), true));
    // The release drops the tick that was waiting.
    const int sends = CountOf(activeEdit()->lines(), kSending);
    QTest::qWait(100);
    QVERIFY(!MainForm->Sender->isSending());
    QCOMPARE(CountOf(activeEdit()->lines(), kSending), sends);
    QCOMPARE(activeEdit()->lines().value(0), kSending + "0x41 0x42 0x43 ");
}

void MainSendReceiveTest::nothingIsSentWithoutAWindow()
{
    closeAllWindows();
    MainForm->Edit2->setText(QStringLiteral("41"));
    MainForm->SendData();
    MainForm->Timer1Timer();
    QCOMPARE(m_pty->receive(1, 100), std::string());
}

void MainSendReceiveTest::receptionGoesToTheFirstWindowAndTheSummaryToTheActive()
{
    FrmOption->FCheckOrder = true;
    RichEdit *first = activeEdit();
    MainForm->BtnRecieve->click();
    QVERIFY(MainForm->Receiver->isReceiving());
    QVERIFY(m_pty->send(std::string("\0\1\2\3\4\5\6\7\10\11\12\13", 12)));
    QTRY_COMPARE(first->lines().value(1), kReceiving + "0x0A 0x0B ");
    MainForm->CreateDocumentWindow(QStringLiteral("second"));
    QTRY_VERIFY(activeEdit() != first);
    QVERIFY(m_pty->send("\x0C"));
    QTRY_COMPARE(first->lines().value(1), kReceiving + "0x0A 0x0B 0x0C ");
    MainForm->BtnRecieve->click();
    QVERIFY(!MainForm->Receiver->isReceiving());
    QCOMPARE(first->lines().size(), 2);
    QCOMPARE(activeEdit()->lines(),
        QStringList({ QStringLiteral("正确，All data are correct!"),
            QStringLiteral("接收的行数是：1"), QStringLiteral("接收的段数是：0") }));
}

void MainSendReceiveTest::comboChangeAppliesDuringAReception()
{
    MainForm->BtnRecieve->click();
    QVERIFY(m_pty->send("A"));
    QTRY_COMPARE(activeEdit()->lines().value(0), kReceiving + "0x41 ");
    MainForm->ComboDataType->setCurrentText(QStringLiteral("10进制"));
    QVERIFY(m_pty->send("A"));
    QTRY_COMPARE(activeEdit()->lines().value(0), kReceiving + "0x41 65 ");
    // While BtnSend is down the thread pauses before every read, but still reads.
    MainForm->BtnSend->setChecked(true);
    QVERIFY(m_pty->send("B"));
    QTRY_COMPARE(activeEdit()->lines().value(0), kReceiving + "0x41 65 66 ");
    MainForm->BtnSend->setChecked(false);
    MainForm->BtnRecieve->click();
}

// Closing the reception's window ends it at once or at its next byte, whichever the
// window's thread sees first; either way nothing is written and the button comes up.
void MainSendReceiveTest::receptionWithoutAWindowWritesNothing()
{
    MainForm->BtnRecieve->click();
    closeAllWindows();
    QVERIFY(m_pty->send("A"));
    QTRY_VERIFY(!MainForm->BtnRecieve->isChecked());
    QVERIFY(!MainForm->Receiver->isReceiving());
    QCOMPARE(MainForm->Receiver->engine().RecvByteCount, 0);
    QCOMPARE(MainForm->ChildCount(), 0);
}

void MainSendReceiveTest::closingTheProgramDuringAReception()
{
    MainForm->BtnRecieve->click();
    // The device floods until the reader below has checked enough of the rest: a
    // flood of fixed length could be taken up whole by the reception before the
    // program closes.
    std::atomic<bool> stop { false };
    std::thread writer([&] {
        std::string chunk(4096, '\0');
        long next = 0;
        while (!stop.load()) {
            for (char &byte : chunk) {
                byte = static_cast<char>(next++ % 251);
            }
            if (!m_pty->send(chunk)) {
                break;
            }
        }
    });
    QTRY_VERIFY(activeEdit()->characterCount() > 1000);
    MainForm->close();
    DestroyMainObjects();
    QVERIFY(!MainForm);
    // The reception is over: the rest of the flood reaches this reader without a gap.
    uint8_t previous = 0;
    const bool more = Port.ReadByte(previous) == 1;
    int gaps = 0;
    long checked = 0;
    uint8_t byte = 0;
    while (more && Port.ReadByte(byte) == 1) {
        gaps += byte != (previous + 1) % 251 ? 1 : 0;
        previous = byte;
        if (++checked == 100000) {
            stop.store(true);
        }
    }
    stop.store(true);
    writer.join();
    QVERIFY(more);
    QCOMPARE(gaps, 0);
    QVERIFY(checked >= 100000);
}

QTEST_MAIN(MainSendReceiveTest)
#include "tst_mainsendreceive.moc"
