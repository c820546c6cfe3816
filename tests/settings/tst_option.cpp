#include "modalwatcher.h"
#include "ptydevice.h"
#include "serial/portbinding.h"
#include "serial/serialport.h"
#include "settings/option.h"
#include "settings/optiontexts.h"
#include "settings/settingsfile.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <iterator>
#include <memory>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const QString kPortFailed = QStringLiteral("  串口初始化失败,\n请检查串口参数是否设定正确");
const QString kSendRange = QStringLiteral("自动发送数据时，发送数据范围应从小到大！");
const QString kParaRange = QStringLiteral("验证接收数据时，数据范围应从小到大！");

} // namespace

class OptionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void windowAndControls();
    void fieldsHaveNames_data();
    void fieldsHaveNames();
    void formShowFillsEveryControl();
    void opensOnTheLastActiveTab();
    void exitFallback_data();
    void exitFallback();
    void exitIgnoresWindowSwitch();
    void comboKeepsItem_data();
    void comboKeepsItem();
    void typingIntoStopBits();
    void okRangeChecks_data();
    void okRangeChecks();
    void okConversionError_data();
    void okConversionError();
    void okPortFailsThenCancelReopens_data();
    void okPortFailsThenCancelReopens();
    void storedPortFails_data();
    void storedPortFails();
    void okStoresEveryMember();
    void okAfterTypingLettersUsesFallback();
    void cancelRestoresControlsOnNextShow();
    void enterPressesNoButton();
    void portDeviceLabel_data();
    void portDeviceLabel();
    void deviceListShowsMappingAndSystemDevices();
    void okBindsTheChosenDevice_data();
    void okBindsTheChosenDevice();
    void deviceFieldDoesNotComplete();
    void okChecksTheDeviceName_data();
    void okChecksTheDeviceName();
    void unwritableLinkChangesNothing();
    void failedSaveIsReported();

private:
    termios slaveSettings(int index) const;
    speed_t outputSpeed(int index) const;
    void setSlaveSpeed(int index, speed_t speed) const;
    QWidget *showActive();
    void typeInto(QLineEdit *edit, const QString &text);

    QTemporaryDir m_home;
    QWidget m_other;
    std::unique_ptr<PtyDevice> m_devices[2];
    TFrmOption *m_dialog = nullptr;
};

void OptionTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    QApplication::setApplicationDisplayName(QStringLiteral("Byteway"));
    const std::filesystem::path folder = SettingsFolder();
    // Two pseudo-terminals stand for COM1 and COM2; their slave sides stay open here
    // so that the masters never see a hang-up. COM3 is a device that has gone.
    for (int i = 0; i < 2; ++i) {
        m_devices[i] = std::make_unique<PtyDevice>(false);
        std::filesystem::create_symlink(
            m_devices[i]->slaveName(), folder / ("com" + std::to_string(i + 1)));
    }
    std::filesystem::create_symlink(folder / "no-such-device", folder / "com3");
    m_dialog = new TFrmOption;
}

void OptionTest::cleanupTestCase()
{
    delete m_dialog;
    Port.Close();
    for (auto &device : m_devices) {
        device.reset();
    }
}

void OptionTest::init()
{
    m_dialog->hide();
    SetDefaultSettings(*m_dialog);
    QVERIFY(SaveSettings(*m_dialog));
    m_dialog->PageControl1->setCurrentIndex(0);
    Port.Close();
    QVERIFY(Port.Open(1, 57600, 0, 0, 8));
}

termios OptionTest::slaveSettings(int index) const
{
    return m_devices[index]->slaveSettings();
}

speed_t OptionTest::outputSpeed(int index) const
{
    const termios settings = slaveSettings(index);
    return cfgetospeed(&settings);
}

// Changes the line behind the dialog's back, so a test can tell whether the
// dialog reconfigured the port.
void OptionTest::setSlaveSpeed(int index, speed_t speed) const
{
    termios settings = slaveSettings(index);
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    m_devices[index]->setSlaveSettings(settings);
}

QWidget *OptionTest::showActive()
{
    // The offscreen platform keeps a hidden window marked active; activating another
    // window first makes the dialog's activation a real change.
    m_other.show();
    m_other.activateWindow();
    if (!QTest::qWaitForWindowActive(&m_other)) {
        return nullptr;
    }
    m_dialog->show();
    m_dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(m_dialog)) {
        return nullptr;
    }
    return m_dialog;
}

void OptionTest::typeInto(QLineEdit *edit, const QString &text)
{
    m_dialog->PageControl1->setCurrentWidget(edit->parentWidget());
    edit->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void OptionTest::fieldsHaveNames_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    const std::pair<const char *, const char *> rows[] = {
        { "TimeInterval", "发送时间间隔（毫秒）" },
        { "TwoCharDelay", "两个字符间的延时（微秒）" },
        { "SendChar", "发送字符串" },
        { "SendStart", "自动发送从" },
        { "SendEnd", "自动发送到" },
        { "LineCharNum", "每行字数" },
        { "ParaCharNum", "每段字数" },
        { "ParaStart", "每段数据从" },
        { "ParaEnd", "每段数据到" },
        { "ClearLineNum", "自动清除的行数" },
        { "ComPort", "工作端口" },
        { "ComBps", "波特率" },
        { "ComDevice", "设备" },
    };
    for (const auto &[field, name] : rows) {
        QTest::newRow(field) << QString::fromLatin1(field) << QString::fromUtf8(name);
    }
}

// What an assistive client reads for a field is its name, never its value. Of an
// editable combo box that is the line edit, which takes the focus (on Linux Qt gives
// the box itself its text as name and its label as a relation).
void OptionTest::fieldsHaveNames()
{
    QFETCH(QString, field);
    QFETCH(QString, name);
    m_dialog->show();
    auto *widget = m_dialog->findChild<QWidget *>(field);
    QVERIFY(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QVERIFY(combo->lineEdit());
        widget = combo->lineEdit();
    }
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), name);
}

void OptionTest::windowAndControls()
{
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("参数设定"));
    QCOMPARE(m_dialog->size(), QSize(312, 270));
    QVERIFY(m_dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!m_dialog->isModal());

    const QStringList tabs { QStringLiteral("发送设定"), QStringLiteral("接收设定"),
        QStringLiteral("系统设定"), QStringLiteral("端口设定") };
    QCOMPARE(m_dialog->PageControl1->count(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(m_dialog->PageControl1->tabText(i), tabs[i]);
        QCOMPARE(m_dialog->PageControl1->widget(i)->objectName(),
            QStringLiteral("TabSheet%1").arg(i + 1));
    }
    const QStringList names { "PageControl1", "ChkSendTimer", "Label1", "TimeInterval", "Label11",
        "Label18", "TwoCharDelay", "Label19", "GroupBox1", "ManSetting", "SendChar", "AutoSetting",
        "Label2", "SendStart", "Label5", "SendEnd", "Label3", "LineCharNum", "Label4",
        "ParaCharNum", "ChkRecOrder", "Label8", "ParaStart", "Label17", "ParaEnd", "ChkAutoClear",
        "ClearLineNum", "Label10", "Label12", "ComPort", "Label13", "ComBps", "Label14",
        "ComBitNum", "Label15", "ComJO", "Label16", "ComBitStop", "Button1", "Button2" };
    for (const QString &name : names) {
        QVERIFY2(m_dialog->findChild<QWidget *>(name) != nullptr, qPrintable(name));
    }

    QComboBox *bps = m_dialog->ComBps;
    QCOMPARE(bps->count(), 13);
    QCOMPARE(bps->itemText(10), QStringLiteral("115200"));
    QCOMPARE(bps->itemText(11), QStringLiteral("12800"));
    QCOMPARE(bps->itemText(12), QString());
    QVERIFY(bps->isEditable());
    QCOMPARE(m_dialog->ComJO->itemText(3), QStringLiteral("标志"));
    QCOMPARE(m_dialog->ComBitStop->itemText(1), QStringLiteral("1.5"));

    for (QPushButton *button : { m_dialog->Button1, m_dialog->Button2 }) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }
    QCOMPARE(m_dialog->Button1->text(), QStringLiteral("确定"));
    QCOMPARE(m_dialog->Button2->text(), QStringLiteral("取消"));
}

void OptionTest::formShowFillsEveryControl()
{
    ModalWatcher watcher;
    TFrmOption &d = *m_dialog;
    d.FTimedSend = false;
    d.FAutoClear = false;
    d.FCheckOrder = true;
    d.FAutoSend = true;
    d.FComPort = 2;
    d.FComBitNum = 7;
    d.FStopBits = 2;
    d.FComBps = 115200;
    d.FClearLineNum = 33;
    d.FParaStart = -4;
    d.FParaEnd = 44;
    d.FLineCharNum = 55;
    d.FParaCharNum = 66;
    d.FTwoCharDelay = 77;
    d.FTimeInterval = 88;
    d.FSendStart = 9;
    d.FSendEnd = 99;
    d.FSendChar = "\xBD\xD3\xCA\xD5 0A";
    d.FParity = 3;
    d.show();

    QVERIFY(!d.ChkSendTimer->isChecked());
    QVERIFY(!d.ChkAutoClear->isChecked());
    QVERIFY(d.ChkRecOrder->isChecked());
    QVERIFY(d.AutoSetting->isChecked());
    QVERIFY(!d.ManSetting->isChecked());
    QCOMPARE(d.ComPort->currentText(), QStringLiteral("2"));
    QCOMPARE(d.ComBitNum->currentText(), QStringLiteral("7"));
    QCOMPARE(d.ComBitStop->currentText(), QStringLiteral("2"));
    QCOMPARE(d.ComBps->currentText(), QStringLiteral("115200"));
    QCOMPARE(d.ClearLineNum->text(), QStringLiteral("33"));
    QCOMPARE(d.ParaStart->text(), QStringLiteral("-4"));
    QCOMPARE(d.ParaEnd->text(), QStringLiteral("44"));
    QCOMPARE(d.LineCharNum->text(), QStringLiteral("55"));
    QCOMPARE(d.ParaCharNum->text(), QStringLiteral("66"));
    QCOMPARE(d.TwoCharDelay->text(), QStringLiteral("77"));
    QCOMPARE(d.TimeInterval->text(), QStringLiteral("88"));
    QCOMPARE(d.SendStart->text(), QStringLiteral("9"));
    QCOMPARE(d.SendEnd->text(), QStringLiteral("99"));
    QCOMPARE(d.SendChar->text(), QStringLiteral("接收 0A"));
    QCOMPARE(d.ComJO->currentText(), QStringLiteral("标志"));

    // A code from an edited file that has no item shows the first item, quietly.
    d.hide();
    d.FParity = 9;
    d.FStopBits = -1;
    d.show();
    QCOMPARE(d.ComJO->currentText(), QStringLiteral("无"));
    QCOMPARE(d.ComBitStop->currentText(), QStringLiteral("1"));
    QApplication::processEvents();
    QCOMPARE(watcher.boxes.size(), 0);
}

void OptionTest::opensOnTheLastActiveTab()
{
    m_dialog->show();
    QCOMPARE(m_dialog->PageControl1->currentIndex(), 0);
    m_dialog->PageControl1->setCurrentIndex(2);
    m_dialog->Button2->click();
    QVERIFY(!m_dialog->isVisible());
    m_dialog->show();
    QCOMPARE(m_dialog->PageControl1->currentIndex(), 2);
}

void OptionTest::exitFallback_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("interval-letters-100-not-1000") << "TimeInterval"
                                                   << "abc"
                                                   << "100";
    QTest::newRow("interval-hex") << "TimeInterval"
                                  << "$1F"
                                  << "31";
    QTest::newRow("interval-leading-blanks-zeros") << "TimeInterval"
                                                   << "  0042"
                                                   << "42";
    QTest::newRow("delay-empty") << "TwoCharDelay"
                                 << ""
                                 << "100";
    QTest::newRow("delay-minus-one-hex") << "TwoCharDelay"
                                         << "$FFFFFFFF"
                                         << "-1";
    QTest::newRow("send-start-letters") << "SendStart"
                                        << "x"
                                        << "0";
    QTest::newRow("send-start-trailing-blank") << "SendStart"
                                               << "12 "
                                               << "0";
    QTest::newRow("send-end-letters-128") << "SendEnd"
                                          << "zz"
                                          << "128";
    QTest::newRow("send-end-0x") << "SendEnd"
                                 << "0x80"
                                 << "128";
    QTest::newRow("line-negative-kept") << "LineCharNum"
                                        << "-5"
                                        << "-5";
    QTest::newRow("line-letters") << "LineCharNum"
                                  << "ten"
                                  << "10";
    QTest::newRow("para-fraction") << "ParaCharNum"
                                   << "1.5"
                                   << "100";
    QTest::newRow("para-start-overflow") << "ParaStart"
                                         << "2147483648"
                                         << "0";
    QTest::newRow("para-end-letters-100-not-128") << "ParaEnd"
                                                  << "end"
                                                  << "100";
    QTest::newRow("para-end-plus") << "ParaEnd"
                                   << "+7"
                                   << "7";
    QTest::newRow("clear-lines-empty") << "ClearLineNum"
                                       << ""
                                       << "100";
    QTest::newRow("clear-lines-min") << "ClearLineNum"
                                     << "-2147483648"
                                     << "-2147483648";
}

void OptionTest::exitFallback()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    ModalWatcher watcher;
    QVERIFY(showActive());
    auto *field = m_dialog->findChild<QLineEdit *>(edit);
    QVERIFY(field);
    typeInto(field, typed);
    QCOMPARE(field->text(), typed);
    m_dialog->Button2->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!field->hasFocus());
    QCOMPARE(field->text(), expected);
    QCOMPARE(watcher.boxes.size(), 0);
    QVERIFY(m_dialog->Button2->hasFocus());
}

void OptionTest::exitIgnoresWindowSwitch()
{
    m_dialog->show();
    m_dialog->TimeInterval->setText(QStringLiteral("abc"));
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(m_dialog->TimeInterval, &away);
    QCOMPARE(m_dialog->TimeInterval->text(), QStringLiteral("abc"));
    QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(m_dialog->TimeInterval, &tab);
    QCOMPARE(m_dialog->TimeInterval->text(), QStringLiteral("100"));
}

void OptionTest::comboKeepsItem_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("expected");

    QTest::newRow("stop-bits-3") << "ComBitStop"
                                 << "3" << true << "1";
    QTest::newRow("stop-bits-one-and-a-half") << "ComBitStop"
                                              << "1.5" << false << "1.5";
    QTest::newRow("stop-bits-trailing-blank") << "ComBitStop"
                                              << "2 " << true << "1";
    QTest::newRow("stop-bits-empty") << "ComBitStop"
                                     << "" << true << "1";
    QTest::newRow("parity-odd") << "ComJO"
                                << "奇" << false << "奇";
    QTest::newRow("parity-space") << "ComJO"
                                  << "空格" << false << "空格";
    QTest::newRow("parity-half-an-item") << "ComJO"
                                         << "标" << true << "无";
    QTest::newRow("parity-letters") << "ComJO"
                                    << "odd" << true << "无";
}

void OptionTest::comboKeepsItem()
{
    QFETCH(QString, combo);
    QFETCH(QString, text);
    QFETCH(bool, refused);
    QFETCH(QString, expected);
    ModalWatcher watcher;
    m_dialog->show();
    auto *box = m_dialog->findChild<QComboBox *>(combo);
    QVERIFY(box);
    // Start from another item so that every row is a change of the text.
    box->setEditText(box->itemText(2));
    box->setEditText(text);
    QCOMPARE(box->currentText(), expected);
    QCOMPARE(watcher.boxes.size(), refused ? 1 : 0);
    if (refused) {
        QCOMPARE(watcher.boxes[0].title, QStringLiteral("错误"));
        QCOMPARE(watcher.boxes[0].text, QStringLiteral("你的选择有误!"));
        QCOMPARE(watcher.boxes[0].icon, QMessageBox::Warning);
    }
}

void OptionTest::typingIntoStopBits()
{
    ModalWatcher watcher;
    QVERIFY(showActive());
    m_dialog->PageControl1->setCurrentWidget(m_dialog->TabSheet4);
    QLineEdit *field = m_dialog->ComBitStop->lineEdit();
    field->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("3"));
    QCOMPARE(m_dialog->ComBitStop->currentText(), QStringLiteral("1"));
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].text, QStringLiteral("你的选择有误!"));
}

void OptionTest::okRangeChecks_data()
{
    QTest::addColumn<QString>("sendStart");
    QTest::addColumn<QString>("sendEnd");
    QTest::addColumn<QString>("paraStart");
    QTest::addColumn<QString>("paraEnd");
    QTest::addColumn<QString>("message");

    QTest::newRow("send-reversed") << "20"
                                   << "10"
                                   << "0"
                                   << "127" << kSendRange;
    QTest::newRow("para-reversed") << "0"
                                   << "127"
                                   << "50"
                                   << "5" << kParaRange;
    QTest::newRow("both-reversed-first-wins") << "20"
                                              << "10"
                                              << "50"
                                              << "5" << kSendRange;
    QTest::newRow("equal-values-pass") << "10"
                                       << "10"
                                       << "7"
                                       << "7" << QString();
    QTest::newRow("negative-ranges-pass") << "-9"
                                          << "-1"
                                          << "-3"
                                          << "0" << QString();
}

void OptionTest::okRangeChecks()
{
    QFETCH(QString, sendStart);
    QFETCH(QString, sendEnd);
    QFETCH(QString, paraStart);
    QFETCH(QString, paraEnd);
    QFETCH(QString, message);
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ManSetting->setChecked(true);
    m_dialog->ChkRecOrder->setChecked(false);
    m_dialog->SendStart->setText(sendStart);
    m_dialog->SendEnd->setText(sendEnd);
    m_dialog->ParaStart->setText(paraStart);
    m_dialog->ParaEnd->setText(paraEnd);
    const std::string before = EncodeSettings(*m_dialog);
    setSlaveSpeed(0, B1200);

    m_dialog->Button1->click();

    if (message.isEmpty()) {
        QCOMPARE(watcher.boxes.size(), 0);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->FSendStart.load(), sendStart.toInt());
        QCOMPARE(m_dialog->FParaEnd.load(), paraEnd.toInt());
        QCOMPARE(outputSpeed(0), speed_t(B57600));
        return;
    }
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].text, message);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("警告"));
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Warning);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(EncodeSettings(*m_dialog), before);
    QVERIFY(Port.isOpen());
    QCOMPARE(outputSpeed(0), speed_t(B1200)); // the port was not touched
}

void OptionTest::okConversionError_data()
{
    QTest::addColumn<QString>("bitNum");
    QTest::addColumn<int>("bpsItem"); // -1: type "9600"
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty-baud-item") << "8" << 12 << "1"
                                     << "'' is not a valid integer value.";
    QTest::newRow("data-bits-letters") << "eight" << 5 << "1"
                                       << "'eight' is not a valid integer value.";
    QTest::newRow("port-name") << "8" << 5 << "COM1"
                               << "'COM1' is not a valid integer value.";
    QTest::newRow("data-bits-before-baud") << "x" << 12 << "1"
                                           << "'x' is not a valid integer value.";
    QTest::newRow("baud-before-port") << "8" << 12 << "?"
                                      << "'' is not a valid integer value.";
}

void OptionTest::okConversionError()
{
    QFETCH(QString, bitNum);
    QFETCH(int, bpsItem);
    QFETCH(QString, port);
    QFETCH(QString, message);
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ComBitNum->setEditText(bitNum);
    m_dialog->ComBps->setCurrentIndex(bpsItem);
    m_dialog->ComPort->setEditText(port);
    m_dialog->TimeInterval->setText(QStringLiteral("5"));
    const std::string before = EncodeSettings(*m_dialog);
    const std::string file = ReadFile(SettingsFilePath());
    QSignalSpy accepted(m_dialog, &TFrmOption::settingsAccepted);

    m_dialog->Button1->click();

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].text, message);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("Byteway"));
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Critical);
    QVERIFY(!Port.isOpen());
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(EncodeSettings(*m_dialog), before);
    QCOMPARE(ReadFile(SettingsFilePath()), file);
    QCOMPARE(accepted.size(), 0);
}

void OptionTest::okPortFailsThenCancelReopens_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("bitNum");

    QTest::newRow("device-gone") << "3"
                                 << "8";
    QTest::newRow("port-9-outside-range") << "9"
                                          << "8";
    QTest::newRow("data-bits-4") << "2"
                                 << "4";
}

void OptionTest::okPortFailsThenCancelReopens()
{
    QFETCH(QString, port);
    QFETCH(QString, bitNum);
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ComPort->setEditText(port);
    m_dialog->ComBitNum->setEditText(bitNum);
    m_dialog->ComBps->setEditText(QStringLiteral("9600"));
    const std::string before = EncodeSettings(*m_dialog);

    m_dialog->Button1->click();

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].text, kPortFailed);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("警告"));
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Warning);
    QVERIFY(!Port.isOpen());
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(EncodeSettings(*m_dialog), before);

    setSlaveSpeed(0, B1200);
    m_dialog->Button2->click();
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(Port.isOpen());
    QCOMPARE(Port.currentPort(), 1);
    QCOMPARE(outputSpeed(0), speed_t(B57600));
}

void OptionTest::storedPortFails_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel") << "cancel";
    QTest::newRow("close-box") << "close";
    QTest::newRow("escape") << "escape";
}

void OptionTest::storedPortFails()
{
    QFETCH(QString, how);
    ModalWatcher watcher;
    m_dialog->FComPort = 3;
    QVERIFY(showActive());
    const auto dismiss = [&] {
        if (how == QLatin1String("cancel")) {
            m_dialog->Button2->click();
        } else if (how == QLatin1String("close")) {
            m_dialog->close();
        } else {
            QTest::keyClick(m_dialog, Qt::Key_Escape);
        }
    };
    dismiss();
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].text, kPortFailed);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(!Port.isOpen());

    m_dialog->FComPort = 1;
    dismiss();
    QCOMPARE(watcher.boxes.size(), 1);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(Port.isOpen());
    QCOMPARE(Port.currentPort(), 1);
}

void OptionTest::okStoresEveryMember()
{
    ModalWatcher watcher;
    TFrmOption &d = *m_dialog;
    d.show();
    d.ChkSendTimer->setChecked(false);
    d.ChkAutoClear->setChecked(false);
    d.ChkRecOrder->setChecked(true);
    d.AutoSetting->setChecked(true);
    d.ComPort->setEditText(QStringLiteral("2"));
    d.ComBitNum->setEditText(QStringLiteral("7"));
    d.ComBitStop->setEditText(QStringLiteral("2"));
    d.ComBps->setEditText(QStringLiteral("9600"));
    d.ClearLineNum->setText(QStringLiteral("500"));
    d.ParaStart->setText(QStringLiteral("3"));
    d.ParaEnd->setText(QStringLiteral("90"));
    d.LineCharNum->setText(QStringLiteral("16"));
    d.ParaCharNum->setText(QStringLiteral("64"));
    d.TimeInterval->setText(QStringLiteral("250"));
    d.SendChar->setText(QStringLiteral("接收 41"));
    d.ComJO->setEditText(QStringLiteral("奇"));
    d.TwoCharDelay->setText(QStringLiteral("7"));
    d.SendStart->setText(QStringLiteral("5"));
    d.SendEnd->setText(QStringLiteral("200"));
    const std::string oldFile = ReadFile(SettingsFilePath());

    // What the main window sees when it is told: the new members, the file not yet
    // written.
    int32_t intervalSeen = 0;
    std::string textSeen;
    std::string fileSeen;
    connect(&d, &TFrmOption::settingsAccepted, this, [&] {
        intervalSeen = d.FTimeInterval;
        textSeen = d.FSendChar;
        fileSeen = ReadFile(SettingsFilePath());
    });
    QSignalSpy accepted(&d, &TFrmOption::settingsAccepted);

    d.Button1->click();
    disconnect(&d, &TFrmOption::settingsAccepted, this, nullptr);

    QCOMPARE(watcher.boxes.size(), 0);
    QVERIFY(!d.isVisible());
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(intervalSeen, 250);
    QCOMPARE(textSeen, std::string("\xBD\xD3\xCA\xD5 41"));
    QCOMPARE(fileSeen, oldFile);

    QCOMPARE(d.FTimedSend.load(), false);
    QCOMPARE(d.FAutoClear.load(), false);
    QCOMPARE(d.FCheckOrder.load(), true);
    QCOMPARE(d.FAutoSend.load(), true);
    QCOMPARE(d.FComPort.load(), 2);
    QCOMPARE(d.FComBitNum.load(), 7);
    QCOMPARE(d.FStopBits.load(), 2);
    QCOMPARE(d.FComBps.load(), 9600);
    QCOMPARE(d.FClearLineNum.load(), 500);
    QCOMPARE(d.FParaStart.load(), 3);
    QCOMPARE(d.FParaEnd.load(), 90);
    QCOMPARE(d.FLineCharNum.load(), 16);
    QCOMPARE(d.FParaCharNum.load(), 64);
    QCOMPARE(d.FTimeInterval.load(), 250);
    QCOMPARE(d.FParity.load(), 1);
    QCOMPARE(d.FTwoCharDelay.load(), 7);
    QCOMPARE(d.FSendStart.load(), 5);
    QCOMPARE(d.FSendEnd.load(), 200);

    QCOMPARE(ReadFile(SettingsFilePath()), EncodeSettings(d));
    SettingsValues loaded;
    LoadSettings(loaded);
    QCOMPARE(EncodeSettings(loaded), EncodeSettings(d));

    QVERIFY(Port.isOpen());
    QCOMPARE(Port.currentPort(), 2);
    const termios line = slaveSettings(1);
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QVERIFY(line.c_cflag & CSTOPB);
    QVERIFY(line.c_cflag & PARODD);
}

void OptionTest::okAfterTypingLettersUsesFallback()
{
    ModalWatcher watcher;
    QVERIFY(showActive());
    typeInto(m_dialog->TimeInterval, QStringLiteral("soon"));
    // A real click: the edit loses the focus to the button before the button acts.
    QTest::mouseClick(m_dialog->Button1, Qt::LeftButton);
    QCOMPARE(watcher.boxes.size(), 0);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->FTimeInterval.load(), 100);
}

void OptionTest::cancelRestoresControlsOnNextShow()
{
    ModalWatcher watcher;
    m_dialog->show();
    QVERIFY(m_dialog->ManSetting->isChecked());
    m_dialog->AutoSetting->setChecked(true);
    m_dialog->TimeInterval->setText(QStringLiteral("5"));
    m_dialog->ComJO->setEditText(QStringLiteral("偶"));
    m_dialog->Button2->click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->FAutoSend.load(), false);

    m_dialog->show();
    QVERIFY(m_dialog->ManSetting->isChecked());
    QVERIFY(!m_dialog->AutoSetting->isChecked());
    QCOMPARE(m_dialog->TimeInterval->text(), QStringLiteral("1000"));
    QCOMPARE(m_dialog->ComJO->currentText(), QStringLiteral("无"));
    QCOMPARE(watcher.boxes.size(), 0);
}

void OptionTest::enterPressesNoButton()
{
    ModalWatcher watcher;
    QVERIFY(showActive());
    QSignalSpy accepted(m_dialog, &TFrmOption::settingsAccepted);
    typeInto(m_dialog->TimeInterval, QStringLiteral("300"));
    QTest::keyClick(m_dialog->TimeInterval, Qt::Key_Return);
    QTest::keyClick(m_dialog->TimeInterval, Qt::Key_Enter);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(accepted.size(), 0);
    QCOMPARE(m_dialog->FTimeInterval.load(), 1000);
    QCOMPARE(watcher.boxes.size(), 0);
}

void OptionTest::portDeviceLabel_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("expected");

    QTest::newRow("com1-link") << "1" << QStringLiteral("com1 \u2192 %1");
    QTest::newRow("com2-link") << "2" << QStringLiteral("com2 \u2192 %2");
    QTest::newRow("no-link") << "5" << QStringLiteral("/dev/ttyS4");
    QTest::newRow("not-a-number") << "x" << QString();
}

void OptionTest::portDeviceLabel()
{
    QFETCH(QString, port);
    QFETCH(QString, expected);
    expected.replace(QLatin1String("%1"), QString::fromStdString(m_devices[0]->slaveName()));
    expected.replace(QLatin1String("%2"), QString::fromStdString(m_devices[1]->slaveName()));
    m_dialog->show();
    m_dialog->ComPort->setEditText(QStringLiteral("4"));
    m_dialog->ComPort->setEditText(port);
    QLabel *label = m_dialog->findChild<QLabel *>(QStringLiteral("ComPortDevice"));
    QVERIFY(label);
    QCOMPARE(label->toolTip(), expected);
}

void OptionTest::deviceListShowsMappingAndSystemDevices()
{
    m_dialog->show();
    QComboBox *devices = m_dialog->findChild<QComboBox *>(QStringLiteral("ComDevice"));
    QVERIFY(devices);
    QVERIFY(devices->isEditable());
    QCOMPARE(devices->accessibleName(), QStringLiteral("设备"));
    auto *label = m_dialog->findChild<QLabel *>(QStringLiteral("LabelComDevice"));
    QVERIFY(label);
    QCOMPARE(label->buddy(), devices);

    // First the device that COM1 maps to, also in the field.
    const QString first = QString::fromStdString(m_devices[0]->slaveName());
    QVERIFY(devices->count() >= 1);
    QCOMPARE(devices->itemData(0).toString(), first);
    QCOMPARE(devices->currentText(), first);
    // Then whatever the system reports, by its stable name where it has one.
    QStringList paths;
    for (int i = 0; i < devices->count(); ++i) {
        paths.append(devices->itemData(i).toString());
        QVERIFY2(devices->itemText(i).startsWith(paths.last()), qPrintable(devices->itemText(i)));
    }
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name
            = QString::fromStdString(PortBinding::stableName(info.systemLocation().toStdString()));
        QVERIFY2(paths.contains(name), qPrintable(name));
    }

    // Another number shows its own mapping; the button lists anew without losing it.
    m_dialog->ComPort->setEditText(QStringLiteral("2"));
    QCOMPARE(devices->currentText(), QString::fromStdString(m_devices[1]->slaveName()));
    m_dialog->ComDeviceRefresh->click();
    QCOMPARE(devices->itemData(0).toString(), QString::fromStdString(m_devices[1]->slaveName()));

    // A typed device: the device label shows the same binding.
    const PtyDevice typed(false);
    const QString name = QString::fromStdString(typed.slaveName());
    devices->setEditText(name);
    QCOMPARE(m_dialog->ComPortDevice->toolTip(), QStringLiteral("com2 \u2192 %1").arg(name));
}

void OptionTest::okBindsTheChosenDevice_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("typePty"); // else the field is emptied
    QTest::addColumn<bool>("linkAfter");

    QTest::newRow("new-link-for-com4") << "4" << true << true;
    QTest::newRow("replaces-com2") << "2" << true << true;
    QTest::newRow("empty-removes-com5") << "5" << false << false;
}

void OptionTest::okBindsTheChosenDevice()
{
    QFETCH(QString, port);
    QFETCH(bool, typePty);
    QFETCH(bool, linkAfter);
    const int number = port.toInt();
    const std::filesystem::path link = SettingsFolder() / ("com" + port.toStdString());
    const std::string previous = std::filesystem::is_symlink(link)
        ? std::filesystem::read_symlink(link).string()
        : std::string();
    if (!typePty) {
        std::filesystem::create_symlink("/dev/no-such-adapter", link);
    }
    const PtyDevice typed(false);
    const QString name = QString::fromStdString(typed.slaveName());

    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ComPort->setEditText(port);
    m_dialog->ComDevice->setEditText(typePty ? name : QString());
    m_dialog->Button1->click();

    QCOMPARE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)), linkAfter);
    if (linkAfter) {
        QCOMPARE(QString::fromStdString(std::filesystem::read_symlink(link).string()), name);
        // The port reopened on the newly bound device and OK went through.
        QVERIFY(watcher.boxes.isEmpty());
        QVERIFY(Port.isOpen());
        QCOMPARE(Port.currentPort(), number);
        QCOMPARE(m_dialog->FComPort.load(), number);
        QVERIFY(!m_dialog->isVisible());
    }
    Port.Close();
    std::filesystem::remove(link);
    if (!previous.empty()) {
        std::filesystem::create_symlink(previous, link);
    }
}

// Typing the start of a listed device leaves exactly what was typed in the field.
void OptionTest::deviceFieldDoesNotComplete()
{
    m_dialog->show();
    QComboBox *devices = m_dialog->ComDevice;
    const QString listed = devices->itemData(0).toString();
    QVERIFY(listed.size() > 2);
    devices->setEditText(QString());
    const QString typed = listed.left(listed.size() - 1);
    QTest::keyClicks(devices->lineEdit(), typed);
    QCOMPARE(devices->currentText(), typed);
    QCOMPARE(devices->lineEdit()->text(), typed);
}

void OptionTest::okChecksTheDeviceName_data()
{
    QTest::addColumn<QString>("typed"); // "%1": the slave of a fresh pty, without /dev/
    QTest::addColumn<bool>("bound");

    QTest::newRow("relative-is-under-dev") << "%1" << true;
    QTest::newRow("pasted-line-break") << "/dev/%1\n/dev/ttyS0" << false;
    QTest::newRow("controlling-terminal") << "/dev/tty" << false;
}

void OptionTest::okChecksTheDeviceName()
{
    QFETCH(QString, typed);
    QFETCH(bool, bound);
    const std::filesystem::path link = SettingsFolder() / "com4";
    const PtyDevice device(false);
    const QString slave = QString::fromStdString(device.slaveName());
    const QString name = typed.arg(slave.mid(5));
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ComPort->setEditText(QStringLiteral("4"));
    m_dialog->ComDevice->setEditText(name);
    m_dialog->Button1->click();
    if (bound) {
        QVERIFY(watcher.boxes.isEmpty());
        QCOMPARE(QString::fromStdString(std::filesystem::read_symlink(link).string()), slave);
        QVERIFY(Port.isOpen());
    } else {
        QCOMPARE(watcher.boxes.size(), 1);
        QVERIFY2(watcher.boxes[0].text.startsWith(
                     Texts::Text(Texts::kDeviceNameRefused).section('%', 0, 0)),
            qPrintable(watcher.boxes[0].text));
        QVERIFY(!std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
        QVERIFY(m_dialog->isVisible());
    }
    Port.Close();
    std::filesystem::remove(link);
}

void OptionTest::unwritableLinkChangesNothing()
{
    // Something that is not a link stands where com6 would go.
    const std::filesystem::path blocker = SettingsFolder() / "com6" / "inside";
    std::filesystem::create_directories(blocker);
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->ComPort->setEditText(QStringLiteral("6"));
    m_dialog->ComDevice->setEditText(QString::fromStdString(m_devices[1]->slaveName()));
    const std::string before = EncodeSettings(*m_dialog);
    m_dialog->Button1->click();

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("警告"));
    QVERIFY2(
        watcher.boxes[0].text.contains(QStringLiteral("com6")), qPrintable(watcher.boxes[0].text));
    // The port was not touched, no member changed, the dialog stays.
    QVERIFY(Port.isOpen());
    QCOMPARE(Port.currentPort(), 1);
    QCOMPARE(EncodeSettings(*m_dialog), before);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(std::filesystem::is_directory(blocker));
    std::filesystem::remove_all(SettingsFolder() / "com6");
}

// OK with a FIFO where the settings file goes: the values apply, the user is told
// that they could not be saved and why, and what stood there is left alone.
void OptionTest::failedSaveIsReported()
{
    const std::filesystem::path file = SettingsFilePath();
    std::filesystem::remove(file);
    QCOMPARE(mkfifo(file.c_str(), 0600), 0);
    ModalWatcher watcher;
    m_dialog->show();
    m_dialog->TimeInterval->setText(QStringLiteral("321"));
    m_dialog->Button1->click();

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("警告"));
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Warning);
    QVERIFY2(watcher.boxes[0].text.startsWith(QStringLiteral("设置无法保存到 ")),
        qPrintable(watcher.boxes[0].text));
    QVERIFY2(watcher.boxes[0].text.contains(QString::fromStdString(file.string())),
        qPrintable(watcher.boxes[0].text));
    QCOMPARE(m_dialog->FTimeInterval.load(), 321);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(std::filesystem::is_fifo(file));
    std::filesystem::remove(file);
}

QTEST_MAIN(OptionTest)
#include "tst_option.moc"
