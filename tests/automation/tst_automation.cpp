// Triggers and sequences in the main window, with the test as the device on a
// pseudo-terminal: a rule answers every poll through the send path, the switch is off
// at every start, and a sequence passes, then fails at the changed answer.

#include "app/porthold.h"
#include "appfixture.h"
#include "automation/automationstore.h"
#include "automation/automationtexts.h"
#include "automation/sequencewindow.h"
#include "automation/triggercontroller.h"
#include "automation/triggerwindow.h"
#include "document/ChildWin.h"
#include "textview/richedit.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <poll.h>

namespace {

const QString kRule
    = QStringLiteral("[rule]\nname = at\nmatch = text:AT\\r\nreply = ending=crlf text:OK\n");

// What the device side reads within `ms`, until it holds `count` bytes.
std::string ReadDevice(int fd, std::size_t count, int ms)
{
    std::string got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < ms) {
        QCoreApplication::processEvents();
        pollfd waiter { fd, POLLIN, 0 };
        if (::poll(&waiter, 1, 5) > 0) {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            got.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
    }
    return got;
}

bool WriteDevice(int fd, const std::string &bytes)
{
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

} // namespace

class AutomationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void triggerAnswersEachPollThroughTheSendPath();
    void switchIsOffAtEveryStartAndTheSetIsKept();
    void sequencePassesAndFailsAtTheChangedAnswer_data();
    void sequencePassesAndFailsAtTheChangedAnswer();

private:
    std::unique_ptr<AppFixture> m_app;
};

void AutomationTest::init()
{
    m_app = std::make_unique<AppFixture>();
    QVERIFY(m_app->prepare("", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(m_app->start());
    QVERIFY(Port.isOpen());
}

void AutomationTest::cleanup()
{
    m_app.reset();
}

void AutomationTest::triggerAnswersEachPollThroughTheSendPath()
{
    QVERIFY(MainForm->Automation->applyRules(kRule).ok());
    QVERIFY(!MainForm->TriggerSwitchItem->isChecked());
    QVERIFY(!MainForm->TriggerSwitchItem->shortcut().isEmpty());
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    MainForm->TriggerSwitchItem->trigger();
    QVERIFY(MainForm->Triggers->isOn());
    for (int poll = 0; poll < 3; ++poll) {
        QVERIFY(WriteDevice(m_app->master(), "AT\r"));
        QCOMPARE(ReadDevice(m_app->master(), 4, 5000), std::string("OK\r\n"));
    }
    QTRY_COMPARE(MainForm->Triggers->counts(0).fired, 3u);
    QCOMPARE(MainForm->Triggers->counts(0).matched, 3u);
    QTRY_COMPARE(
        MainForm->ActiveChild()->RichEdit1->lines().filter(QStringLiteral("Sending: ")).size(), 3);
    MainForm->TriggersItem->trigger();
    QTRY_VERIFY(MainForm->TriggerForm != nullptr);
    auto *rules = MainForm->TriggerForm->findChild<QTableWidget *>(QStringLiteral("TriggerRules"));
    QCOMPARE(rules->rowCount(), 1);
    QTRY_COMPARE(rules->item(0, 4)->text(), QStringLiteral("3"));
    auto *button = MainForm->TriggerForm->findChild<QPushButton *>(QStringLiteral("TriggerSwitch"));
    QVERIFY(button->isChecked());
    // Off, by the window's button: the menu item follows, and a poll goes unanswered.
    button->click();
    QVERIFY(!MainForm->TriggerSwitchItem->isChecked());
    QVERIFY(WriteDevice(m_app->master(), "AT\r"));
    QCOMPARE(ReadDevice(m_app->master(), 4, 300), std::string());
}

void AutomationTest::switchIsOffAtEveryStartAndTheSetIsKept()
{
    QVERIFY(MainForm->Automation->applyRules(kRule).ok());
    MainForm->TriggerSwitchItem->trigger();
    QVERIFY(MainForm->Triggers->isOn());
    DestroyMainObjects();
    Port.Close();
    QVERIFY(m_app->start());
    QVERIFY(!MainForm->TriggerSwitchItem->isChecked());
    QVERIFY(!MainForm->Triggers->isOn());
    QCOMPARE(MainForm->Automation->set().rules.size(), 1u);
    QCOMPARE(MainForm->Triggers->ruleCount(), 1u);
}

void AutomationTest::sequencePassesAndFailsAtTheChangedAnswer_data()
{
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<int>("rows");
    QTest::newRow("passes") << QStringLiteral("OK") << true << 4;
    QTest::newRow("changed-answer") << QStringLiteral("FINE") << false << 2;
}

void AutomationTest::sequencePassesAndFailsAtTheChangedAnswer()
{
    QFETCH(QString, expected);
    QFETCH(bool, passes);
    QFETCH(int, rows);
    MainForm->SequencesItem->trigger();
    QTRY_VERIFY(MainForm->SequenceForm != nullptr);
    SequenceWindow *window = MainForm->SequenceForm;
    auto *text = window->findChild<QPlainTextEdit *>(QStringLiteral("SequenceText"));
    text->setPlainText(
        QStringLiteral("[sequence]\nname = check\nsend = ending=cr text:AT\n"
                       "expect = 2000 text:%1\nsend = ending=cr text:AT\nexpect = 2000 text:OK\n")
            .arg(expected));
    window->findChild<QPushButton *>(QStringLiteral("SequenceApply"))->click();
    QCOMPARE(window->findChild<QComboBox *>(QStringLiteral("SequenceChoice"))->count(), 1);

    window->findChild<QPushButton *>(QStringLiteral("SequenceStart"))->click();
    QVERIFY(window->isRunning());
    for (int answer = 0; answer < (passes ? 2 : 1); ++answer) {
        QCOMPARE(ReadDevice(m_app->master(), 3, 3000), std::string("AT\r"));
        QVERIFY(WriteDevice(m_app->master(), "OK\r\n"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 5000);
    auto *results = window->findChild<QTableWidget *>(QStringLiteral("SequenceResults"));
    QCOMPARE(results->rowCount(), rows);
    const QString status = window->findChild<QLabel *>(QStringLiteral("SequenceStatus"))->text();
    QVERIFY2(status.startsWith(passes ? AutomationTexts::VerdictPassed.text()
                                      : AutomationTexts::VerdictFailed.text()),
        qPrintable(status));
    if (!passes) {
        QVERIFY2(
            results->item(1, 4)->text().contains(QStringLiteral("\"OK\\r\\n\" hex 4F 4B 0D 0A")),
            qPrintable(results->item(1, 4)->text()));
    }
    QVERIFY(!PortHold::Held(*MainForm));
}

QTEST_MAIN(AutomationTest)
#include "tst_automation.moc"
