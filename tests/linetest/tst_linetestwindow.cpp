// The line test window in the main window: a run over the program's port with a
// far side that echoes (and spoils one byte), the held buttons, the figures, the
// chart and the table.

#include "appfixture.h"
#include "linetest/linetestwindow.h"

#include <QAccessible>
#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include <atomic>
#include <thread>

#include <poll.h>
#include <termios.h>

namespace {

// Echoes what arrives on the far side of the pseudo-terminal, flipping bit 0 of the
// byte at `flipAt` (-1: none).
class Echo
{
public:
    Echo(int fd, long long flipAt)
        : m_thread([this, fd, flipAt] {
            long long offset = 0;
            unsigned char buffer[4096];
            while (!m_stop) {
                pollfd waiter { fd, POLLIN, 0 };
                if (::poll(&waiter, 1, 20) <= 0) {
                    continue;
                }
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) {
                    continue;
                }
                for (ssize_t i = 0; i < n; ++i, ++offset) {
                    if (offset == flipAt) {
                        buffer[i] ^= 1;
                    }
                }
                for (ssize_t done = 0; done < n && !m_stop;) {
                    const ssize_t w = ::write(fd, buffer + done, static_cast<size_t>(n - done));
                    done += w > 0 ? w : 0;
                }
            }
        })
    { }
    ~Echo()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace

class TestLineTestWindow : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void partsHaveNames_data();
    void partsHaveNames();
};

void TestLineTestWindow::partsHaveNames_data()
{
    QTest::addColumn<QString>("part"); // object name; empty: the window
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::newRow("window") << QString() << int(QAccessible::Window) << QStringLiteral("线路测试");
    QTest::newRow("duration") << QStringLiteral("SecondsBox") << int(QAccessible::SpinBox)
                              << QStringLiteral("时长（秒）");
    QTest::newRow("rate") << QStringLiteral("RateBox") << int(QAccessible::SpinBox)
                          << QStringLiteral("速率（字节/秒）");
    QTest::newRow("chart") << QStringLiteral("RateChart") << -1
                           << QStringLiteral("速率与错误的曲线");
    QTest::newRow("errors") << QStringLiteral("ErrorTable") << int(QAccessible::Table)
                            << QStringLiteral("错误位置");
}

// What an assistive client reads: a window (not a filler) and a name for every part
// that says what it is, not what it shows.
void TestLineTestWindow::partsHaveNames()
{
    QFETCH(QString, part);
    QFETCH(int, role);
    QFETCH(QString, name);
    LineTestWindow window;
    QWidget *widget = part.isEmpty() ? &window : window.findChild<QWidget *>(part);
    QVERIFY(widget);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), name);
    if (role >= 0) {
        QCOMPARE(int(iface->role()), role);
    }
}

void TestLineTestWindow::run_data()
{
    QTest::addColumn<int>("pattern"); // index in the pattern box
    QTest::addColumn<long long>("flipAt");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("stale"); // bytes waiting in the port before the start
    QTest::newRow("clean counting") << 0 << -1LL << QStringLiteral("通过") << 0;
    QTest::newRow("one fault prbs15") << 2 << 700LL << QStringLiteral("未通过") << 0;
    QTest::newRow("stale input counting") << 0 << -1LL << QStringLiteral("通过") << 300;
}

void TestLineTestWindow::run()
{
    QFETCH(int, pattern);
    QFETCH(long long, flipAt);
    QFETCH(QString, verdict);
    QFETCH(int, stale);

    AppFixture app;
    QVERIFY(app.prepare("", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(app.start());
    QVERIFY(Port.isOpen());
    // The port keeps the pseudo-terminal's software flow control, which would take
    // the pattern's bytes 0x11 and 0x13 for itself (as on a real port set that way).
    const int line = ::open(QFile::encodeName(app.path(QStringLiteral("byteway/com1"))).constData(),
        O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(line >= 0);
    termios settings {};
    QCOMPARE(tcgetattr(line, &settings), 0);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    QCOMPARE(tcsetattr(line, TCSANOW, &settings), 0);
    ::close(line);
    const QByteArray old(stale, '\x55');
    QCOMPARE(::write(app.master(), old.constData(), size_t(old.size())), ssize_t(old.size()));
    const Echo echo(app.master(), flipAt);

    QVERIFY(MainForm->LineTestItem);
    MainForm->LineTestItem->trigger();
    LineTestWindow *window = MainForm->LineTestForm;
    QVERIFY(window);
    QVERIFY(window->isVisible());
    window->patternBox->setCurrentIndex(pattern);
    window->secondsBox->setValue(2);
    QSignalSpy finished(window, &LineTestWindow::finished);
    QTest::mouseClick(window->startButton, Qt::LeftButton);

    QVERIFY(window->isRunning());
    QVERIFY(!MainForm->BtnSend->isEnabled());
    QVERIFY(!MainForm->BtnRecieve->isEnabled());
    QVERIFY(!window->startButton->isEnabled());
    QVERIFY(finished.wait(20000));

    QVERIFY(MainForm->BtnSend->isEnabled());
    QVERIFY(MainForm->BtnRecieve->isEnabled());
    QString table;
    for (int row = 0; row < std::min(window->errorTable->rowCount(), 5); ++row) {
        for (int column = 0; column < 4; ++column) {
            table += window->errorTable->item(row, column)->text() + QLatin1Char(' ');
        }
        table += QLatin1Char('\n');
    }
    QVERIFY2(window->stateLabel->text() == verdict,
        qPrintable(window->errorsLabel->text() + QLatin1Char('\n') + window->trafficLabel->text()
            + QLatin1Char('\n') + table));
    const int faults = flipAt < 0 ? 0 : 1;
    QCOMPARE(window->errorTable->rowCount(), faults);
    QVERIFY2(window->errorsLabel->text().startsWith(QStringLiteral("错误: %1 (").arg(faults)),
        qPrintable(window->errorsLabel->text()));
    if (faults) {
        QCOMPARE(window->errorTable->item(0, 0)->text(), QString::number(flipAt));
        QCOMPARE(window->errorTable->item(0, 1)->text(), QStringLiteral("损坏"));
    }
    const auto series = window->chartView->chart()->series();
    QCOMPARE(series.size(), 2);
    QVERIFY(static_cast<QLineSeries *>(series.at(0))->count() >= 2);
    QVERIFY(window->latencyLabel->text().contains(QLatin1String("p99")));
    QVERIFY(window->saveJsonButton->isEnabled());
}

QTEST_MAIN(TestLineTestWindow)
#include "tst_linetestwindow.moc"
