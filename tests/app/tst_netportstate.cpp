// The port's state field for a port bound to a network address: the remote, the line
// settings (or why they do not apply), the state, and the reasons of failures in plain
// words, with servers on the loopback address.

#include "app/maintexts.h"
#include "appfixture.h"
#include "controllines/linestrip.h"
#include "controllines/linetexts.h"
#include "netservers.h"
#include "serial/portio.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include <memory>

using netservers::ScriptedServer;

class NetPortStateTest : public QObject
{
    Q_OBJECT

private slots:
    void stateField_data();
    void stateField();
    void droppedConnectionIsShownAndComesBack();
    void silentServerIsNamedAsNotAnswering();
    void unknownLinesInTheStripAndTheMenu();
};

void NetPortStateTest::stateField_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("state");

    const QString line = QStringLiteral("57600,8,N,1");
    QTest::newRow("rfc2217-open") << "accepting"
                                  << "rfc2217" << line << MainTexts::PortOpen.text();
    QTest::newRow("raw-tcp-open") << "echo"
                                  << "tcp" << MainTexts::LineNotApplied.text()
                                  << MainTexts::PortOpen.text();
    // A failure shows as a failed open, or, where the machine was too slow for the
    // server to answer within Open's wait, as a lost port retrying: the reason is
    // the same.
    QTest::newRow("connection-refused")
        << "none"
        << "rfc2217" << line << MainTexts::ReasonConnectionRefused.text();
    QTest::newRow("setting-refused")
        << "9600-only"
        << "rfc2217" << line << MainTexts::ReasonSettingRefused.arg(QStringLiteral("57600 baud"));
}

void NetPortStateTest::stateField()
{
    QFETCH(QString, server);
    QFETCH(QString, scheme);
    QFETCH(QString, line);
    QFETCH(QString, state);
    std::unique_ptr<ScriptedServer> listener;
    uint16_t tcpPort = netservers::FreePort();
    if (server == "accepting") {
        listener = std::make_unique<ScriptedServer>(
            [](int fd, const std::atomic<bool> &stop) { netservers::AcceptingRfc2217(fd, stop); });
    } else if (server == "9600-only") {
        listener = std::make_unique<ScriptedServer>([](int fd, const std::atomic<bool> &stop) {
            netservers::AcceptingRfc2217(fd, stop, 9600);
        });
    } else if (server == "echo") {
        listener = std::make_unique<ScriptedServer>([](int fd, const std::atomic<bool> &stop) {
            char buffer[256];
            while (!stop) {
                pollfd waiter { fd, POLLIN, 0 };
                if (::poll(&waiter, 1, 20) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
                    return;
                }
            }
        });
    }
    if (listener) {
        tcpPort = listener->port();
    }
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    const QString address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(tcpPort);
    const QString link = fixture.path(QStringLiteral("byteway/com1"));
    QFile::remove(link);
    QVERIFY(QFile::link(address, link));
    ModalWatcher watcher;
    QVERIFY(fixture.start());

    const QString expected = QStringLiteral("COM1 \u2192 %1  %2  ").arg(address, line);
    QTRY_VERIFY2(MainForm->PortState->toolTip().startsWith(expected)
            && MainForm->PortState->toolTip().section(QLatin1Char('\n'), 0, 0).contains(state),
        qPrintable(MainForm->PortState->toolTip() + " / " + expected + state));
    if (state == MainTexts::PortOpen.text()) {
        QCOMPARE(watcher.boxes.size(), 0);
    }
}

void NetPortStateTest::droppedConnectionIsShownAndComesBack()
{
    auto listener = std::make_unique<ScriptedServer>(
        [](int fd, const std::atomic<bool> &stop) { netservers::AcceptingRfc2217(fd, stop); });
    const uint16_t tcpPort = listener->port();
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(tcpPort);
    const QString link = fixture.path(QStringLiteral("byteway/com1"));
    QFile::remove(link);
    QVERIFY(QFile::link(address, link));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    const QString prefix = QStringLiteral("COM1 \u2192 %1  57600,8,N,1  ").arg(address);
    QTRY_VERIFY(MainForm->PortState->toolTip().startsWith(prefix + MainTexts::PortOpen.text()));

    listener.reset();
    // Lost, and the watch's attempts to connect again are refused meanwhile.
    QTRY_VERIFY2_WITH_TIMEOUT(MainForm->PortState->toolTip().startsWith(prefix
                                  + MainTexts::PortLostNet.arg(MainTexts::ReasonConnectionRefused)),
        qPrintable(MainForm->PortState->toolTip()), 10000);

    ScriptedServer back(
        [](int fd, const std::atomic<bool> &stop) { netservers::AcceptingRfc2217(fd, stop); });
    // The same port number again: SO_REUSEADDR lets the new listener take it.
    if (back.port() != tcpPort) {
        QFile::remove(link);
        QVERIFY(QFile::link(QStringLiteral("rfc2217://127.0.0.1:%1").arg(back.port()), link));
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        MainForm->PortState->toolTip().contains(MainTexts::PortOpen.text()), 10000);
}

// A server that takes the connection and never answers the negotiation: the state
// says so (and the message field keeps it) before the port connects again; it never
// reads as a device that went away.
void NetPortStateTest::silentServerIsNamedAsNotAnswering()
{
    ScriptedServer silent([](int, const std::atomic<bool> &stop) {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    port_io::SetNetTimeouts(std::chrono::milliseconds(5000), std::chrono::milliseconds(500));
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    const QString link = fixture.path(QStringLiteral("byteway/com1"));
    QFile::remove(link);
    QVERIFY(QFile::link(QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.port()), link));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    const QString said
        = QStringLiteral("COM1: ") + MainTexts::PortLostNet.arg(MainTexts::ReasonNoNegotiation);
    QTRY_VERIFY2_WITH_TIMEOUT(MainForm->recentMessages().join(QLatin1Char('\n')).contains(said),
        qPrintable(MainForm->recentMessages().join(QLatin1Char('\n'))), 10000);
    QVERIFY(!MainForm->recentMessages().join(QLatin1Char('\n')).contains(MainTexts::PortLost));
    port_io::SetNetTimeouts(std::chrono::milliseconds(5000), std::chrono::milliseconds(5000));
}

// A server that leaves the questions for DTR and RTS unanswered: both show as
// unknown, in the strip and in the 串口 menu, until F7 sets DTR and the server's
// answer makes it known.
void NetPortStateTest::unknownLinesInTheStripAndTheMenu()
{
    ScriptedServer listener(
        [](int fd, const std::atomic<bool> &stop) { netservers::AcceptingRfc2217(fd, stop); });
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    const QString link = fixture.path(QStringLiteral("byteway/com1"));
    QFile::remove(link);
    QVERIFY(QFile::link(QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.port()), link));
    QVERIFY(fixture.start());
    LineStrip *strip = MainForm->Lines;
    const QString unknown = LineTexts::UnknownState.text();
    for (auto [button, item] : { std::pair { strip->LineDTR, MainForm->DtrItem },
             std::pair { strip->LineRTS, MainForm->RtsItem } }) {
        QTRY_VERIFY(button->isEnabled() && button->toolTip().contains(unknown));
        QVERIFY(!button->isChecked());
        QVERIFY(!item->isChecked());
        QVERIFY2(!item->icon().isNull(), qPrintable(item->objectName()));
        QVERIFY(item->toolTip().contains(unknown));
    }
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    QTest::keyClick(MainForm, Qt::Key_F7);
    QTRY_VERIFY(MainForm->DtrItem->isChecked());
    QVERIFY(MainForm->DtrItem->icon().isNull());
    QVERIFY(!MainForm->DtrItem->toolTip().contains(unknown));
    QCOMPARE(strip->LineDTR->text(), LineTexts::Dtr);
    QVERIFY(!MainForm->RtsItem->icon().isNull());
}

QTEST_MAIN(NetPortStateTest)
#include "tst_netportstate.moc"
