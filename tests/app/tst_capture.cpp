#include "app/maintexts.h"
#include "app/traffictext.h"
#include "appfixture.h"
#include "base/timestamp.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "settings/appconfig.h"
#include "textview/richedit.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QToolButton>

#include <csignal>
#include <thread>

Q_DECLARE_METATYPE(LineErrorCounts)

#include <sys/resource.h>

// Recording to a file, the header times and the traffic field, as the main window
// offers them: through the menus, the file dialog and the status bar, with the
// program's Port on a real pseudo-terminal.
class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void itemsAndFields();
    void recordThroughTheDialog_data();
    void recordThroughTheDialog();
    void cancelLeavesItUnchecked();
    void exitDuringAFlood();
    void fullMediumStopsTheRecording();
    void headerTimes_data();
    void headerTimes();
    void trafficFieldCounts();
    void trafficText_data();
    void trafficText();

private:
    // The next file dialog records its directory and proposed name, then accepts
    // `path` (or is cancelled when `path` is empty).
    void answerDialog(const QString &path);
    QByteArray readFile(const QString &path) const;
    // Reads what the device has been sent so far onto `into`; returns its size.
    qsizetype readMore(QByteArray &into) const;

    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ModalWatcher> m_watcher;
    std::function<void(QWidget *)> m_onDialog;
    QString m_dialogFolder;
    QString m_dialogName;
};

void CaptureTest::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_onDialog = nullptr;
    m_watcher = std::make_unique<ModalWatcher>([this](QWidget *modal) {
        if (m_onDialog) {
            m_onDialog(modal);
        }
    });
    QVERIFY(m_fixture->prepare("41 42", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(m_fixture->start());
    // One send per click of BtnSend.
    FrmOption->FTimedSend = false;
}

void CaptureTest::cleanup()
{
    m_fixture.reset();
    m_watcher.reset();
    HeaderTimes = false;
}

void CaptureTest::answerDialog(const QString &path)
{
    m_onDialog = [this, path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog || dialog->objectName() != QStringLiteral("LogDialog")) {
            return;
        }
        m_dialogFolder = dialog->directory().absolutePath();
        m_dialogName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept();
        }
    };
}

qsizetype CaptureTest::readMore(QByteArray &into) const
{
    char buffer[256];
    const int flags = fcntl(m_fixture->master(), F_GETFL);
    fcntl(m_fixture->master(), F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::read(m_fixture->master(), buffer, sizeof buffer);
    fcntl(m_fixture->master(), F_SETFL, flags);
    if (n > 0) {
        into.append(buffer, n);
    }
    return into.size();
}

QByteArray CaptureTest::readFile(const QString &path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CaptureTest::itemsAndFields()
{
    QAction *log = MainForm->FileLogItem;
    QCOMPARE(log->objectName(), QStringLiteral("FileLogItem"));
    QVERIFY(MainForm->File1->actions().contains(log));
    QVERIFY(log->isCheckable());
    QVERIFY(!log->isChecked());
    QCOMPARE(log->statusTip(), QStringLiteral("Record every byte received and sent to a file"));
    // It stands before the separator and Exit.
    const QList<QAction *> items = MainForm->File1->actions();
    QCOMPARE(items.indexOf(log) + 2, items.indexOf(MainForm->FileExitItem));

    QAction *times = MainForm->TimeStampItem;
    QVERIFY(MainForm->Edit1->actions().contains(times));
    QVERIFY(times->isCheckable());
    QVERIFY(!times->isChecked());

    auto *traffic = MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("Traffic"));
    QVERIFY(traffic);
    QCOMPARE(traffic->accessibleName(), QStringLiteral("收发统计"));
    QVERIFY(traffic->isVisible());
    auto *file = MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("CaptureFile"));
    QVERIFY(file);
    QVERIFY(!file->isVisible());
}

void CaptureTest::recordThroughTheDialog_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("text");
    QTest::newRow("log-is-text") << QStringLiteral("run.log") << true;
    QTest::newRow("txt-is-text") << QStringLiteral("run.TXT") << true;
    QTest::newRow("bin-is-raw") << QStringLiteral("run.bin") << false;
}

void CaptureTest::recordThroughTheDialog()
{
    QFETCH(QString, name);
    QFETCH(bool, text);
    const QString path = m_fixture->path(name);
    answerDialog(path);
    MainForm->FileLogItem->trigger();
    QVERIFY(MainForm->FileLogItem->isChecked());
    // The first time: the home folder and a name with the date and time.
    QCOMPARE(m_dialogFolder, QDir::homePath());
    QVERIFY2(QRegularExpression(QStringLiteral("^byteway-\\d{8}-\\d{6}\\.log$"))
                 .match(m_dialogName)
                 .hasMatch(),
        qPrintable(m_dialogName));
    auto *field = MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("CaptureFile"));
    QVERIFY(field->isVisible());
    QCOMPARE(field->text(), name);

    // The send loop writes 41 42; the device answers 10 20 30.
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
    QByteArray sent;
    QTRY_VERIFY(readMore(sent) == 2);
    QCOMPARE(sent, QByteArray("AB"));
    const char answer[] = { 0x10, 0x20, 0x30 };
    QCOMPARE(::write(m_fixture->master(), answer, sizeof answer), ssize_t(sizeof answer));
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    QTRY_VERIFY(edit->toPlainText().contains(QStringLiteral("0x10 0x20 0x30")));
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);

    MainForm->FileLogItem->trigger();
    QVERIFY(!MainForm->FileLogItem->isChecked());
    QVERIFY(!field->isVisible());
    const QByteArray captured = readFile(path);
    if (text) {
        const QStringList lines = QString::fromLatin1(captured).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral(" TX 41 42")), qPrintable(lines[0]));
        QVERIFY2(lines[1].endsWith(QStringLiteral(" RX 10 20 30")), qPrintable(lines[1]));
    } else {
        QCOMPARE(captured, QByteArray(answer, sizeof answer));
    }
    // The folder is kept for the next time, in byteway.conf.
    QCOMPARE(AppConfig().captureFolder(), QFileInfo(path).absolutePath());
    answerDialog(QString());
    MainForm->FileLogItem->trigger();
    QCOMPARE(m_dialogFolder, QFileInfo(path).absolutePath());
    QVERIFY(!MainForm->FileLogItem->isChecked());
}

void CaptureTest::cancelLeavesItUnchecked()
{
    answerDialog(QString());
    MainForm->FileLogItem->trigger();
    QVERIFY(!m_dialogName.isEmpty());
    QVERIFY(!MainForm->FileLogItem->isChecked());
    QVERIFY(!Traffic.recorder.isRecording());
    QVERIFY(!MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("CaptureFile"))->isVisible());
    QVERIFY(m_watcher->boxes.isEmpty());
}

// The window closes while a flood comes in: everything the receive thread read is
// in the file, in order, and nothing else.
void CaptureTest::exitDuringAFlood()
{
    const QString path = m_fixture->path(QStringLiteral("flood.bin"));
    answerDialog(path);
    MainForm->FileLogItem->trigger();
    QVERIFY(MainForm->FileLogItem->isChecked());
    QByteArray flood(400000, '\0');
    for (int i = 0; i < flood.size(); ++i) {
        flood[i] = static_cast<char>(i * 13 + i / 256);
        // The pseudo-terminal keeps its software flow control: XON and XOFF would
        // never reach the port.
        if (flood[i] == '\x11' || flood[i] == '\x13') {
            flood[i] = 'x';
        }
    }
    const uint64_t before = Traffic.receivedTotal();
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    const int master = m_fixture->master();
    std::thread device([&] {
        // Stops once the port is gone and the pseudo-terminal's buffer is full.
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        qsizetype done = 0;
        int idle = 0;
        while (done < flood.size() && idle < 200) {
            const ssize_t n = ::write(master, flood.constData() + done, flood.size() - done);
            if (n > 0) {
                done += n;
                idle = 0;
            } else {
                ++idle;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    });
    QTRY_VERIFY(Traffic.receivedTotal() - before > 50000);
    MainForm->close();
    DestroyMainObjects();
    const uint64_t read = Traffic.receivedTotal() - before;
    device.join();
    QVERIFY(!Traffic.recorder.isRecording());
    const QByteArray captured = readFile(path);
    QCOMPARE(uint64_t(captured.size()), read);
    QVERIFY(captured == flood.left(captured.size()));
}

// A medium that fills up: here a file size limit on this process. The recording
// stops with a message naming the file and the reason; reception goes on.
void CaptureTest::fullMediumStopsTheRecording()
{
    constexpr rlim_t kLimit = 4096;
    const QString path = m_fixture->path(QStringLiteral("full.bin"));
    answerDialog(path);
    MainForm->FileLogItem->trigger();
    QVERIFY(MainForm->FileLogItem->isChecked());
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited { kLimit, saved.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limited);
    const QByteArray bytes(10000, 'x');
    QCOMPARE(::write(m_fixture->master(), bytes.constData(), bytes.size()), ssize_t(bytes.size()));
    QTRY_COMPARE(m_watcher->boxes.size(), 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    const SeenBox box = m_watcher->boxes.constFirst();
    QVERIFY2(box.text.contains(path) && box.text.contains(QStringLiteral("File too large")),
        qPrintable(box.text));
    QVERIFY(!MainForm->FileLogItem->isChecked());
    QVERIFY(!MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("CaptureFile"))->isVisible());
    QCOMPARE(readFile(path), bytes.left(kLimit));
    // Reception goes on.
    QVERIFY(MainForm->BtnRecieve->isChecked());
    const char more[] = { 0x7E };
    QCOMPARE(::write(m_fixture->master(), more, 1), ssize_t(1));
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    QTRY_VERIFY(edit->toPlainText().endsWith(QStringLiteral("0x7E ")));
}

void CaptureTest::headerTimes_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("off-as-before") << false;
    QTest::newRow("on") << true;
}

void CaptureTest::headerTimes()
{
    QFETCH(bool, on);
    if (on) {
        MainForm->TimeStampItem->trigger();
    }
    QCOMPARE(MainForm->TimeStampItem->isChecked(), on);
    QCOMPARE(QSettings(AppConfig::defaultPath(), QSettings::IniFormat)
                 .value(QStringLiteral("document/headerTimes"), false)
                 .toBool(),
        on);
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    const char answer[] = { 0x01, 0x02 };
    QCOMPARE(::write(m_fixture->master(), answer, sizeof answer), ssize_t(sizeof answer));
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    QTRY_VERIFY(edit->toPlainText().contains(QStringLiteral("0x02")));
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
    // A single send runs on the send thread; the button comes up when it is over.
    QTRY_VERIFY(!MainForm->BtnSend->isChecked());
    QTRY_VERIFY(edit->toPlainText().contains(QStringLiteral("0x42")));

    const QString time = on ? QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\] ") : QString();
    const QStringList lines = edit->toPlainText().split(u'\n');
    QCOMPARE(lines.size(), 4); // items, the two summary lines, the send
    QVERIFY2(
        QRegularExpression(QStringLiteral("^") + time + QStringLiteral("Receiving: 0x01 0x02 $"))
            .match(lines[0])
            .hasMatch(),
        qPrintable(lines[0]));
    QVERIFY2(QRegularExpression(QStringLiteral("^") + time + QStringLiteral("Sending: 0x41 0x42 $"))
                 .match(lines[3])
                 .hasMatch(),
        qPrintable(lines[3]));
}

void CaptureTest::trafficFieldCounts()
{
    auto *field = MainForm->StatusBar->findChild<QLabel *>(QStringLiteral("Traffic"));
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    const QByteArray bytes(1000, 'z');
    QCOMPARE(::write(m_fixture->master(), bytes.constData(), bytes.size()), ssize_t(bytes.size()));
    QTest::mouseClick(MainForm->BtnSend, Qt::LeftButton);
    QTRY_VERIFY2(
        field->text().startsWith(QStringLiteral("收 1000  发 2  ")), qPrintable(field->text()));
    // A pseudo-terminal counts no line errors: none are shown.
    QVERIFY(!field->text().contains(QStringLiteral("错误")));
    QVERIFY(!field->toolTip().contains(QStringLiteral("错误")));
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    // Opening the port anew starts the counts again.
    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QTRY_VERIFY2(
        field->text().startsWith(QStringLiteral("收 0  发 0  ")), qPrintable(field->text()));
}

void CaptureTest::trafficText_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<bool>("driverCounts");
    QTest::addColumn<LineErrorCounts>("errors");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("errorTip");
    const LineErrorCounts none;
    QTest::newRow("no-driver-counts")
        << 0.0 << false << none << QStringLiteral("收 12  发 3  0 B/s") << QString();
    QTest::newRow("driver-counts-zero")
        << 999.4 << true << none << QStringLiteral("收 12  发 3  999 B/s")
        << QStringLiteral("\n线路错误：\n帧错误 0\n校验错误 0\n溢出 0\n缓冲区溢出 0\n中断 0");
    QTest::newRow("each-counter-in-its-place")
        << 11520.0 << true << LineErrorCounts { 1, 2, 3, 4, 5 }
        << QStringLiteral("收 12  发 3  11.5 kB/s  错误 15")
        << QStringLiteral("\n线路错误：\n帧错误 1\n校验错误 2\n溢出 3\n缓冲区溢出 4\n中断 5");
    QTest::newRow("large-counters-do-not-wrap")
        << 1.0e6 << true << LineErrorCounts { 0xFFFFFFFFU, 1, 0, 0, 0 }
        << QStringLiteral("收 12  发 3  1000.0 kB/s  错误 4294967296")
        << QStringLiteral(
               "\n线路错误：\n帧错误 4294967295\n校验错误 1\n溢出 0\n缓冲区溢出 0\n中断 0");
}

void CaptureTest::trafficText()
{
    QFETCH(double, rate);
    QFETCH(bool, driverCounts);
    QFETCH(LineErrorCounts, errors);
    QFETCH(QString, text);
    QFETCH(QString, errorTip);
    TrafficSnapshot snapshot;
    snapshot.received = 12;
    snapshot.sent = 3;
    snapshot.receiveRate = rate;
    if (driverCounts) {
        snapshot.errors = errors;
    }
    QCOMPARE(TrafficText(snapshot), text);
    const QString tip = TrafficToolTip(snapshot);
    QVERIFY2(
        tip.startsWith(QStringLiteral("自打开串口起收到 12 字节，发出 3 字节\n")), qPrintable(tip));
    QCOMPARE(tip.contains(QStringLiteral("线路错误")), driverCounts);
    QVERIFY2(errorTip.isEmpty() || tip.endsWith(errorTip), qPrintable(tip));
}

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
