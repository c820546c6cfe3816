#include "document/ChildWin.h"
#include "ptyport.h"
#include "receive/receiveui.h"
#include "settings/settingsvalues.h"
#include "textview/richedit.h"

#include <QMdiArea>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <memory>
#include <thread>

namespace {

const QString kHeader = QStringLiteral("Receiving: ");

QColor ColorAt(RichEdit *edit, int position)
{
    const Rgb color = edit->colorRuns(position, position + 1).at(0).second;
    return QColor(color.r, color.g, color.b);
}

} // namespace

class ReceiveControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pty = std::make_unique<PtyPort>();
        QVERIFY(m_pty->isOpen());
        m_settings = std::make_unique<SettingsValues>();
        m_area = std::make_unique<QMdiArea>();
        m_first = addChild();
        m_controller = std::make_unique<ReceiveController>(*m_settings, m_pty->port);
    }
    void cleanup()
    {
        m_controller.reset();
        m_area.reset();
        m_pty.reset();
    }

    void receivesIntoARichEdit_data();
    void receivesIntoARichEdit();
    void switchingWindowsKeepsTheTextInTheFirst();
    void closingTheWindowEndsTheThread();
    void announcesAnEndOfItsOwnOnce_data();
    void announcesAnEndOfItsOwnOnce();
    void destroyingDuringAReceptionDoesNotCrash();

private:
    TMDIChild *addChild()
    {
        auto *child = new TMDIChild;
        m_area->addSubWindow(child);
        child->show();
        m_area->setActiveSubWindow(child);
        return child;
    }

    std::unique_ptr<PtyPort> m_pty;
    std::unique_ptr<SettingsValues> m_settings;
    std::unique_ptr<QMdiArea> m_area;
    std::unique_ptr<ReceiveController> m_controller;
    TMDIChild *m_first = nullptr;
};

void ReceiveControllerTest::receivesIntoARichEdit_data()
{
    QTest::addColumn<QString>("comboText");
    QTest::addColumn<QString>("secondLine");
    QTest::newRow("hex") << QStringLiteral("16进制") << kHeader + "0x0A 0x0B ";
    QTest::newRow("decimal") << QStringLiteral("10进制") << kHeader + "10 11 ";
    QTest::newRow("chars") << QStringLiteral("ACSII字符") << kHeader + "'\\x0A' '\\x0B' ";
    QTest::newRow("decimal-with-space-is-hex")
        << QStringLiteral("10进制 ") << kHeader + "0x0A 0x0B ";
}

void ReceiveControllerTest::receivesIntoARichEdit()
{
    QFETCH(QString, comboText);
    QFETCH(QString, secondLine);
    m_controller->setNotationText(comboText);
    m_controller->start(m_first);
    QVERIFY(m_pty->send(std::string("\0\1\2\3\4\5\6\7\10\11\12\13", 12)));
    RichEdit *edit = m_first->RichEdit1;
    QTRY_COMPARE(edit->lines().size(), 2);
    QTRY_COMPARE(edit->lines().value(1), secondLine);
    m_controller->stop();
    m_controller->writeSummary(*edit, true);
    QCOMPARE(edit->lines().mid(2),
        QStringList({ QStringLiteral("正确，All data are correct!"),
            QStringLiteral("接收的行数是：1"), QStringLiteral("接收的段数是：0") }));
    QCOMPARE(ColorAt(edit, 0), QColor(0, 128, 0));
    QCOMPARE(ColorAt(edit, kHeader.size()), QColor(0, 0, 0));
    const int summary
        = static_cast<int>(edit->lines().mid(0, 2).join(QLatin1Char('\n')).size()) + 1;
    QCOMPARE(ColorAt(edit, summary), QColor(0, 0, 255));
}

void ReceiveControllerTest::switchingWindowsKeepsTheTextInTheFirst()
{
    m_controller->start(m_first);
    QVERIFY(m_pty->send("A"));
    QTRY_COMPARE(m_first->RichEdit1->lines(), QStringList { kHeader + "0x41 " });
    TMDIChild *second = addChild();
    QVERIFY(m_pty->send("B"));
    QTRY_COMPARE(m_first->RichEdit1->lines(), QStringList { kHeader + "0x41 0x42 " });
    m_controller->stop();
    m_controller->writeSummary(*second->RichEdit1, false);
    QCOMPARE(second->RichEdit1->lines(),
        QStringList({ QStringLiteral("接收的行数是：0"), QStringLiteral("接收的段数是：0") }));
    QCOMPARE(m_first->RichEdit1->lines().size(), 1);
}

void ReceiveControllerTest::closingTheWindowEndsTheThread()
{
    m_controller->start(m_first);
    QVERIFY(m_pty->send("A"));
    QTRY_COMPARE(m_first->RichEdit1->lines().size(), 1);
    QPointer<TMDIChild> first = m_first;
    m_first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(m_pty->send("BC"));
    QTRY_COMPARE(m_controller->engine().exitCode(), 0);
    QVERIFY(m_controller->isReceiving());
    m_controller->stop();
    QVERIFY(!m_controller->isReceiving());
    QCOMPARE(m_controller->engine().RecvByteCount, 1);
}

void ReceiveControllerTest::announcesAnEndOfItsOwnOnce_data()
{
    QTest::addColumn<int>("lineCharNum");
    QTest::addColumn<bool>("closeWindow");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("announcements");
    using Reason = ReceiveEngine::EndReason;
    QTest::newRow("window-closed") << 10 << true << int(Reason::DocumentGone) << 1;
    QTest::newRow("zero-line-length") << 0 << false << int(Reason::ZeroLineLength) << 1;
    QTest::newRow("bytes-received") << 10 << false << int(Reason::Running) << 0;
}

// The owner learns once that a reception ended by itself, and why; a reception that
// goes on is not announced, nor is the stop that the owner makes.
void ReceiveControllerTest::announcesAnEndOfItsOwnOnce()
{
    QFETCH(int, lineCharNum);
    QFETCH(bool, closeWindow);
    QFETCH(int, reason);
    QFETCH(int, announcements);
    m_settings->FLineCharNum = lineCharNum;
    QSignalSpy spy(m_controller.get(), &ReceiveController::receptionEnded);
    m_controller->start(m_first);
    QVERIFY(m_pty->send("A"));
    QTRY_COMPARE(m_first->RichEdit1->lines().size(), 1);
    if (closeWindow) {
        m_first->close();
    }
    QVERIFY(m_pty->send("BC"));
    QTRY_COMPARE(spy.size(), announcements);
    // The bytes after the end meet the failed reception again: still one word.
    QTest::qWait(200);
    QCOMPARE(spy.size(), announcements);
    if (announcements > 0) {
        QCOMPARE(int(spy.at(0).at(0).value<ReceiveEngine::EndReason>()), reason);
    }
    QVERIFY(m_controller->isReceiving());
    m_controller->stop();
    QTest::qWait(50);
    QCOMPARE(spy.size(), announcements);
}

// Destroying the controller while its thread waits for room in a full queue ends
// the thread: afterwards nobody else takes bytes from the port, so the test reads
// the rest of the flood without a gap.
void ReceiveControllerTest::destroyingDuringAReceptionDoesNotCrash()
{
    m_controller->start(m_first);
    std::string flood;
    for (int i = 0; i < 100000; ++i) {
        flood.push_back(static_cast<char>(i % 251));
    }
    std::thread writer([&] { m_pty->send(flood); });
    QTest::qSleep(300);
    m_controller.reset();
    uint8_t previous = 0;
    QCOMPARE(m_pty->port.ReadByte(previous), 1);
    int gaps = 0;
    int count = 1;
    uint8_t byte = 0;
    while (m_pty->port.ReadByte(byte) == 1) {
        gaps += byte != (previous + 1) % 251 ? 1 : 0;
        previous = byte;
        ++count;
    }
    writer.join();
    QCOMPARE(gaps, 0);
    QCOMPARE(previous, static_cast<uint8_t>((100000 - 1) % 251));
    QVERIFY(count > 1000);
}

QTEST_MAIN(ReceiveControllerTest)
#include "tst_receiveui.moc"
