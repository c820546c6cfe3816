// The send bar in the main window, against byteway-device: the bytes the device
// records for lines and commands with and without the delay between bytes, the
// echo in each notation, the keyboard (Enter, Up/Down, Ctrl+1), lines that are not
// sent, the history across a restart and the import of a file with broken lines.

#include "app/Main.h"
#include "app/startup.h"
#include "devicelog.h"
#include "deviceprocess.h"
#include "document/ChildWin.h"
#include "ptydevice.h"
#include "send/sendui.h"
#include "sendbar/sendbar.h"
#include "sendbar/sendbartexts.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "settings/option.h"
#include "textview/richedit.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QStatusBar>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

const QString kSending = QStringLiteral("Sending: ");

} // namespace

class SendBarTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void farSideBytes_data();
    void farSideBytes();
    void enterSendsUpRecallsWithoutDuplicates();
    void badLineIsMarkedAndNotSent_data();
    void badLineIsMarkedAndNotSent();
    void historyKeepsTheLimitAcrossARestart();
    void importKeepsGoodLinesAndCtrl1SendsTheFirst();
    void unreadableCommandFilesAreRefused_data();
    void unreadableCommandFilesAreRefused();
    void shortcutsCollideWithNothing();
    void emptyLineWithAChecksumSendsNothing();
    void longPasteIsKeptUpToTheLimit_data();
    void longPasteIsKeptUpToTheLimit();

private:
    void startMainWindow();
    QLineEdit *line() const { return MainForm->SendBarDock->findChild<QLineEdit *>("SendLine"); }
    QComboBox *combo(const char *name) const
    {
        return MainForm->SendBarDock->findChild<QComboBox *>(QLatin1String(name));
    }
    QStringList lines() const { return MainForm->ActiveChild()->RichEdit1->lines(); }
    // Waits for the device to have recorded `count` bytes and for the send to end.
    QByteArray waitForBytes(int count);

    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<DeviceProcess> m_device;
    QString m_log;
};

void SendBarTest::init()
{
    m_home = std::make_unique<TempConfigHome>();
    m_log = QString::fromStdString(m_home->root()) + QStringLiteral("/device.log");
    const std::string link = m_home->bytewayFolder() + "/com1";
    m_device = std::make_unique<DeviceProcess>(
        std::vector<std::string> { "--link", link, "--log", m_log.toStdString() });
    QVERIFY2(m_device->waitFor("linked " + link, 5000), m_device->text().c_str());
    startMainWindow();
}

void SendBarTest::startMainWindow()
{
    CreateMainObjects();
    MainForm->show();
    QTRY_VERIFY(MainForm->ActiveChild() != nullptr);
    QVERIFY(Port.isOpen());
    FrmOption->FAutoClear = false;
    if (!MainForm->SendBarDock->isVisible()) {
        MainForm->SendBarItem->trigger();
    }
    QVERIFY(line()->isVisible());
    line()->setFocus();
}

void SendBarTest::cleanup()
{
    DestroyMainObjects();
    Port.Close();
    m_device.reset();
    m_home.reset();
}

QByteArray SendBarTest::waitForBytes(int count)
{
    // A timeout shows as bytes missing in the caller's comparison.
    const bool arrived
        = QTest::qWaitFor([&] { return DeviceLogBytes(m_log).size() >= count; }, 10000);
    const bool ended = QTest::qWaitFor([] { return !MainForm->Sender->isSending(); }, 5000);
    if (!arrived || !ended) {
        qWarning("arrived %d, send ended %d", arrived, ended);
    }
    return DeviceLogBytes(m_log);
}

void SendBarTest::farSideBytes_data()
{
    QTest::addColumn<int>("mode"); // index in SendLineMode
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ending"); // index in SendLineEnding
    QTest::addColumn<int>("checksum"); // index in SendLineChecksum
    QTest::addColumn<int>("notation"); // index in ComboDataType
    QTest::addColumn<int>("delay"); // µs between bytes
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("echo");

    // Combo indexes: mode text 0 / hex 1; ending none 0, CR 1, LF 2, CR LF 3;
    // checksum none 0 ... CRC-16/MODBUS 4 ... CRC-32 7; notation hex 0, decimal 1,
    // characters 2.
    for (const int delay : { 0, 30000 }) {
        const QByteArray gap = delay == 0 ? "no-gap" : "gap";
        QTest::addRow("text-crlf-hex-echo %s", gap.constData())
            << 0 << "AT+CSQ" << 3 << 0 << 0 << delay << QByteArray("AT+CSQ\r\n")
            << "0x41 0x54 0x2B 0x43 0x53 0x51 0x0D 0x0A ";
        QTest::addRow("escapes-and-spaces-decimal-echo %s", gap.constData())
            << 0 << "a b\\t\\x00" << 1 << 0 << 1 << delay << QByteArray("a b\t\0\r", 6)
            << "97 32 98 9 0 13 ";
        QTest::addRow("modbus-crc-character-echo %s", gap.constData())
            << 1 << "01 03 00 00 00 0A" << 0 << 4 << 2 << delay
            << QByteArray("\x01\x03\0\0\0\x0A\xC5\xCD", 8)
            << "'\\x01' '\\x03' '\\x00' '\\x00' '\\x00' '\\x0A' '\\xC5' '\\xCD' ";
        QTest::addRow("crc32-lf %s", gap.constData())
            << 1 << "0x31 32" << 2 << 7 << 0 << delay << QByteArray("12\xCD\x44\x53\x4F\n")
            << "0x31 0x32 0xCD 0x44 0x53 0x4F 0x0A ";
    }
}

// The device receives exactly the bytes the preview showed, whatever the delay,
// and with a delay the send lasts at least one delay per byte after the first. The echo
// stands under one header in the notation of ComboDataType.
void SendBarTest::farSideBytes()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(int, ending);
    QFETCH(int, checksum);
    QFETCH(int, notation);
    QFETCH(int, delay);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, echo);

    FrmOption->FTwoCharDelay = delay;
    MainForm->ComboDataType->setCurrentIndex(notation);
    combo("SendLineMode")->setCurrentIndex(mode);
    combo("SendLineEnding")->setCurrentIndex(ending);
    combo("SendLineChecksum")->setCurrentIndex(checksum);
    line()->setText(text);
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(line(), Qt::Key_Return);

    QCOMPARE(waitForBytes(static_cast<int>(bytes.size())), bytes);
    // The send cannot end before every byte but the first has waited its delay. (The
    // device's own times are no measure: a device descheduled on a busy machine
    // reads several bytes at once.)
    const qint64 elapsedUs = clock.nsecsElapsed() / 1000;
    QVERIFY2(elapsedUs >= (bytes.size() - 1) * qint64 { delay },
        QByteArray::number(elapsedUs).constData());
    QCOMPARE(lines(), QStringList { kSending + echo });
    QCOMPARE(line()->text(), QString());
}

// The engineer types AT and Enter: AT CR LF goes out and the field empties; Up
// brings AT back and Enter repeats it; the history holds it once. Down after Up
// gives back what was being typed.
void SendBarTest::enterSendsUpRecallsWithoutDuplicates()
{
    QTest::keyClicks(line(), QStringLiteral("AT"));
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(waitForBytes(4), QByteArray("AT\r\n"));
    QCOMPARE(line()->text(), QString());
    QTest::keyClick(line(), Qt::Key_Up);
    QCOMPARE(line()->text(), QStringLiteral("AT"));
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(waitForBytes(8), QByteArray("AT\r\nAT\r\n"));
    QCOMPARE(lines(), QStringList(2, kSending + "0x41 0x54 0x0D 0x0A "));

    QTest::keyClicks(line(), QStringLiteral("ATI"));
    QTest::keyClick(line(), Qt::Key_Up);
    QCOMPARE(line()->text(), QStringLiteral("AT"));
    QTest::keyClick(line(), Qt::Key_Up);
    QCOMPARE(line()->text(), QStringLiteral("AT"));
    QTest::keyClick(line(), Qt::Key_Down);
    QCOMPARE(line()->text(), QStringLiteral("ATI"));
    QCOMPARE(AppConfig().sendHistory(), QStringList { "AT" });
}

void SendBarTest::badLineIsMarkedAndNotSent_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown-escape") << 0 << "AT\\q" << SendBarTexts::UnknownEscape.arg("\\q");
    QTest::newRow("lone-backslash") << 0 << "AT\\" << SendBarTexts::LoneBackslash.text();
    QTest::newRow("short-hex-escape") << 0 << "\\x4" << SendBarTexts::ShortHexEscape.arg("\\x4");
    QTest::newRow("bad-hex-digit") << 1 << "01 0G" << SendBarTexts::NotHexDigit.arg("G");
    QTest::newRow("odd-hex-digits") << 1 << "01 234" << SendBarTexts::OddDigits.arg("234");
    QTest::newRow("empty-0x") << 1 << "0x" << SendBarTexts::EmptyGroup.text();
}

// A line that cannot be read: the tooltip says why, Enter sends nothing (the device
// records nothing, no header), the text stays and the history does not grow.
void SendBarTest::badLineIsMarkedAndNotSent()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    combo("SendLineMode")->setCurrentIndex(mode);
    QTest::keyClicks(line(), text);
    QCOMPARE(line()->toolTip(), reason);
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(MainForm->stateMessage(), SendBarTexts::NotSent.arg(reason));
    QVERIFY(!MainForm->Sender->isSending());
    QTest::qWait(200);
    QCOMPARE(DeviceLogBytes(m_log), QByteArray());
    QCOMPARE(lines(), QStringList());
    QCOMPARE(line()->text(), text);
    QCOMPARE(AppConfig().sendHistory(), QStringList());
    // Put right, it goes.
    line()->setText(mode == 0 ? QStringLiteral("ok") : QStringLiteral("4F 4B"));
    QCOMPARE(line()->toolTip(), SendBarTexts::LineHint.text());
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(waitForBytes(4), mode == 0 ? QByteArray("ok\r\n") : QByteArray("OK\r\n"));
}

// 100 lines are kept: with 100 stored, one more sent drops the oldest; after a
// restart of the window the newest comes first on Up, and the bar is shown again.
void SendBarTest::historyKeepsTheLimitAcrossARestart()
{
    QStringList stored;
    for (int i = 1; i <= 100; ++i) {
        stored.append(QStringLiteral("L%1").arg(i));
    }
    QVERIFY(AppConfig().setSendHistory(stored).ok());
    DestroyMainObjects();
    Port.Close();
    startMainWindow();
    line()->setText(QStringLiteral("new"));
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(waitForBytes(5), QByteArray("new\r\n"));
    stored.removeFirst();
    stored.append(QStringLiteral("new"));
    QCOMPARE(AppConfig().sendHistory(), stored);

    DestroyMainObjects();
    Port.Close();
    CreateMainObjects();
    MainForm->show();
    QTRY_VERIFY(MainForm->ActiveChild() != nullptr);
    QVERIFY(line()->isVisible());
    QTest::keyClick(line(), Qt::Key_Up);
    QCOMPARE(line()->text(), QStringLiteral("new"));
    QTest::keyClick(line(), Qt::Key_Up);
    QCOMPARE(line()->text(), QStringLiteral("L100"));
}

// A shared file with broken lines: the good commands come in, the report names
// each bad line. Ctrl+1 sends the first (a Modbus frame with its CRC in the echo),
// a click on the second sends that; hidden, the bar's shortcuts send nothing.
void SendBarTest::importKeepsGoodLinesAndCtrl1SendsTheFirst()
{
    const QString path = QString::fromStdString(m_home->root()) + QStringLiteral("/commands.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# shared\n"
               "read 10\thex\tnone\tcrc16-modbus\t01 03 00 00 00 0A\n"
               "broken\thex\tnone\tcrc16-modbus\t01 0\n"
               "only three\ttext\tcrlf\n"
               "AT\ttext\tcrlf\tnone\tAT\n");
    file.close();
    const Result<QString> imported = MainForm->SendBarDock->importCommands(path);
    QVERIFY2(imported, imported.status().reason().c_str());
    const QString &report = *imported;
    QVERIFY2(report.startsWith(SendBarTexts::ImportDone.arg(2)), qPrintable(report));
    QVERIFY2(report.contains(SendBarTexts::ImportBadLine.arg(3).arg(QString()))
            && report.contains(SendBarTexts::ImportBadLine.arg(4).arg(QString())),
        qPrintable(report));
    auto *list = MainForm->SendBarDock->findChild<QListWidget *>("QuickSendList");
    QCOMPARE(list->count(), 2);
    QCOMPARE(AppConfig().quickCommands().size(), 2);

    QTest::keyClick(MainForm, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(waitForBytes(8), QByteArray("\x01\x03\0\0\0\x0A\xC5\xCD", 8));
    QCOMPARE(lines(), QStringList { kSending + "0x01 0x03 0x00 0x00 0x00 0x0A 0xC5 0xCD " });

    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(waitForBytes(12).mid(8), QByteArray("AT\r\n"));

    MainForm->SendBarItem->trigger();
    QVERIFY(!MainForm->SendBarDock->isVisible());
    QTest::keyClick(MainForm, Qt::Key_1, Qt::ControlModifier);
    QTest::qWait(200);
    QCOMPARE(DeviceLogBytes(m_log).size(), 12);
    QCOMPARE(AppConfig().sendBarVisible(), false);
}
// A FIFO must not hold the window waiting for a writer; every refusal names the
// file and changes nothing.
void SendBarTest::unreadableCommandFilesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<bool>("import");
    QTest::newRow("import-fifo") << QStringLiteral("pipe") << true << true;
    QTest::newRow("import-missing") << QStringLiteral("none.txt") << false << true;
    QTest::newRow("export-missing-folder") << QStringLiteral("no/such.txt") << false << false;
}

void SendBarTest::unreadableCommandFilesAreRefused()
{
    QFETCH(QString, name);
    QFETCH(bool, fifo);
    QFETCH(bool, import);
    const QString path = QString::fromStdString(m_home->root()) + QLatin1Char('/') + name;
    if (fifo) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    SendBar *bar = MainForm->SendBarDock;
    const std::size_t before = bar->commands().size();
    const Status outcome = import ? bar->importCommands(path).status() : bar->exportCommands(path);
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.reason().find(QFile::encodeName(QDir::toNativeSeparators(path)).toStdString())
            != std::string::npos,
        outcome.reason().c_str());
    QCOMPARE(bar->commands().size(), before);
}

// Ctrl+1 … Ctrl+9 belong to the bar alone: no other action or shortcut of the
// main window uses them.
void SendBarTest::shortcutsCollideWithNothing()
{
    QList<QKeySequence> ours;
    for (int i = 0; i < SendBar::kShortcutCount; ++i) {
        ours.append(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
    }
    for (const QAction *action : MainForm->findChildren<QAction *>()) {
        if (action->parent() == MainForm->SendBarDock) {
            continue;
        }
        for (const QKeySequence &keys : action->shortcuts()) {
            QVERIFY2(!ours.contains(keys), qPrintable(action->objectName()));
        }
    }
    for (const QShortcut *shortcut : MainForm->findChildren<QShortcut *>()) {
        QVERIFY2(!ours.contains(shortcut->key()), qPrintable(shortcut->objectName()));
    }
    QCOMPARE(MainForm->SendBarDock->actions().size(), SendBar::kShortcutCount);
}

// Enter on an empty line with a checksum and no ending sends nothing (not the
// checksum of nothing), and the field says why; with an ending, the ending alone.
void SendBarTest::emptyLineWithAChecksumSendsNothing()
{
    combo("SendLineChecksum")->setCurrentIndex(4); // CRC-16/MODBUS
    combo("SendLineEnding")->setCurrentIndex(0);
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(line()->placeholderText(), SendBarTexts::NothingToSend.text());
    QCOMPARE(MainForm->stateMessage(), SendBarTexts::NothingToSend.text());
    QTest::qWait(200);
    QCOMPARE(DeviceLogBytes(m_log), QByteArray());
    QCOMPARE(lines(), QStringList());
    combo("SendLineEnding")->setCurrentIndex(2); // LF
    QTest::keyClick(line(), Qt::Key_Return);
    QCOMPARE(waitForBytes(1), QByteArray("\n"));
}

void SendBarTest::longPasteIsKeptUpToTheLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("beyond-the-old-limit") << 40000;
    QTest::newRow("beyond-the-limit") << SendBar::kLineLimit + 10;
}

// A paste longer than the line edit's own 32,767 characters comes in whole, and
// the preview counts all of it; one beyond the bar's limit is cut, and the bar
// says so.
void SendBarTest::longPasteIsKeptUpToTheLimit()
{
    QFETCH(int, length);
    combo("SendLineEnding")->setCurrentIndex(0);
    QGuiApplication::clipboard()->setText(QString(length, u'A'));
    line()->setFocus();
    QTest::keySequence(line(), QKeySequence::Paste);
    const int kept = std::min(length, SendBar::kLineLimit);
    QCOMPARE(line()->text().size(), kept);
    auto *preview = MainForm->SendBarDock->findChild<QLabel *>("SendLinePreview");
    QVERIFY2(preview->text().contains(QString::number(kept)), qPrintable(preview->text()));
    const bool cut = length > SendBar::kLineLimit;
    QCOMPARE(MainForm->stateMessage() == SendBarTexts::LineCut.arg(SendBar::kLineLimit), cut);
}

QTEST_MAIN(SendBarTest)
#include "tst_sendbar.moc"
