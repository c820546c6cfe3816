#include "option.h"

#include "appconfig.h"
#include "optiontexts.h"
#include "serial/devicename.h"
#include "serial/portbinding.h"
#include "serial/serialport.h"
#include "settingsfile.h"
#include "text/codepage.h"
#include "text/errorreport.h"
#include "text/localpath.h"
#include "text/texttoint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <filesystem>

TFrmOption *FrmOption = nullptr;

namespace {

QString NumberText(int32_t value)
{
    return QString::fromStdString(IntToText(value));
}

// The position of the combo box's text among its items, compared exactly.
int ItemPosition(const QComboBox *combo)
{
    const QString text = combo->currentText();
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) == text) {
            return i;
        }
    }
    return -1;
}

// The item for a parity or stop-bits code; the first item for a code that has none
// (a value from an edited settings file), so the combo box always shows an item.
QString ItemForCode(const QComboBox *combo, int32_t code)
{
    return combo->itemText(code >= 0 && code < combo->count() ? code : 0);
}

// The port takes its line settings as bytes; a value that does not fit must not wrap
// round to a valid one (264 data bits are not 8), so it becomes 0xFF, which the port
// refuses.
uint8_t PortByte(int32_t value)
{
    return value >= 0 && value <= 0xFF ? static_cast<uint8_t>(value) : uint8_t { 0xFF };
}

bool OpenLine(const SerialPort::LineSettings &line)
{
    return Port.Open(line.port, line.baudRate, line.parity, line.stopBits, line.dataBits);
}

} // namespace

TFrmOption::TFrmOption(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , m_exitHandlers { {
          { &TimeInterval, &TFrmOption::TimeIntervalExit },
          { &TwoCharDelay, &TFrmOption::TwoCharDelayExit },
          { &SendStart, &TFrmOption::SendStartExit },
          { &SendEnd, &TFrmOption::SendEndExit },
          { &LineCharNum, &TFrmOption::LineCharNumExit },
          { &ParaCharNum, &TFrmOption::ParaCharNumExit },
          { &ParaStart, &TFrmOption::ParaStartExit },
          { &ParaEnd, &TFrmOption::ParaEndExit },
          { &ClearLineNum, &TFrmOption::ClearLineNumExit },
      } }
{
    createControls();
    connectHandlers();
    FormCreate();
}

void TFrmOption::connectHandlers()
{
    connect(Button1, &QPushButton::clicked, this, &TFrmOption::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmOption::Button2Click);
    connect(ComJO, &QComboBox::editTextChanged, this, &TFrmOption::ComJOChange);
    connect(ComBitStop, &QComboBox::editTextChanged, this, &TFrmOption::ComBitStopChange);
    if (ComDevice) {
        connect(ComPort, &QComboBox::editTextChanged, this, &TFrmOption::fillDeviceList);
        connect(ComDevice, &QComboBox::editTextChanged, this, &TFrmOption::updatePortDevice);
        connect(ComDevice, &QComboBox::activated, this, &TFrmOption::deviceChosen);
        connect(ComDeviceRefresh, &QPushButton::clicked, this, &TFrmOption::fillDeviceList);
    } else {
        connect(ComPort, &QComboBox::editTextChanged, this, &TFrmOption::updatePortDevice);
    }
    for (const ExitHandler &exit : m_exitHandlers) {
        (*exit.edit)->installEventFilter(this);
    }
}

void TFrmOption::FormCreate()
{
    for (int32_t i = 0; i < 5; ++i) {
        FParityCodes[i] = i;
    }
    for (int32_t i = 0; i < 3; ++i) {
        FStopBitCodes[i] = i;
    }
    LoadSettings(*this);
}

void TFrmOption::FormShow()
{
    const QSignalBlocker blockPort(ComPort);
    const QSignalBlocker blockBitNum(ComBitNum);
    const QSignalBlocker blockBitStop(ComBitStop);
    const QSignalBlocker blockBps(ComBps);
    const QSignalBlocker blockParity(ComJO);
    ChkSendTimer->setChecked(FTimedSend);
    ChkAutoClear->setChecked(FAutoClear);
    ChkRecOrder->setChecked(FCheckOrder);
    (FAutoSend ? AutoSetting : ManSetting)->setChecked(true);
    ComPort->setEditText(NumberText(FComPort));
    ComBitNum->setEditText(NumberText(FComBitNum));
    ComBitStop->setEditText(ItemForCode(ComBitStop, FStopBits));
    ComBps->setEditText(NumberText(FComBps));
    ClearLineNum->setText(NumberText(FClearLineNum));
    ParaStart->setText(NumberText(FParaStart));
    ParaEnd->setText(NumberText(FParaEnd));
    LineCharNum->setText(NumberText(FLineCharNum));
    ParaCharNum->setText(NumberText(FParaCharNum));
    TwoCharDelay->setText(NumberText(FTwoCharDelay));
    TimeInterval->setText(NumberText(FTimeInterval));
    SendStart->setText(NumberText(FSendStart));
    SendEnd->setText(NumberText(FSendEnd));
    SendChar->setText(FromCp936(FSendChar));
    ComJO->setEditText(ItemForCode(ComJO, FParity));
    fillDeviceList();
    updatePortDevice();
}

void TFrmOption::showEvent(QShowEvent *event)
{
    // Only the dialog's own showing refills the controls, not a window that the
    // system merely brings back (restored from minimised).
    if (!event->spontaneous()) {
        FormShow();
    }
    QDialog::showEvent(event);
}

bool TFrmOption::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Switching to another window or opening a context menu leaves the focus in
        // the edit as far as this dialog is concerned.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const ExitHandler &exit : m_exitHandlers) {
                if (*exit.edit == watched) {
                    (this->*exit.handler)();
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmOption::applyExit(QLineEdit *edit, int32_t fallback)
{
    const std::optional<int32_t> value = TextToInt(ToCp936(edit->text()));
    edit->setText(NumberText(value.value_or(fallback)));
}

void TFrmOption::TimeIntervalExit()
{
    applyExit(TimeInterval, 100);
}

void TFrmOption::TwoCharDelayExit()
{
    applyExit(TwoCharDelay, 100);
}

void TFrmOption::SendStartExit()
{
    applyExit(SendStart, 0);
}

void TFrmOption::SendEndExit()
{
    applyExit(SendEnd, 128);
}

void TFrmOption::LineCharNumExit()
{
    applyExit(LineCharNum, 10);
}

void TFrmOption::ParaCharNumExit()
{
    applyExit(ParaCharNum, 100);
}

void TFrmOption::ParaStartExit()
{
    applyExit(ParaStart, 0);
}

void TFrmOption::ParaEndExit()
{
    applyExit(ParaEnd, 100);
}

void TFrmOption::ClearLineNumExit()
{
    applyExit(ClearLineNum, 100);
}

void TFrmOption::keepOnItem(QComboBox *combo)
{
    if (ItemPosition(combo) >= 0) {
        return;
    }
    showWarning(Texts::Text(Texts::kBadChoice), Texts::Text(Texts::kErrorTitle));
    const QSignalBlocker block(combo);
    combo->setEditText(combo->itemText(0));
}

void TFrmOption::ComJOChange()
{
    keepOnItem(ComJO);
}

void TFrmOption::ComBitStopChange()
{
    keepOnItem(ComBitStop);
}

namespace {

// One serial device as the system describes it.
struct ListedDevice
{
    QString path; // the name to bind: a /dev/serial/by-id name where udev made one
    QString real; // the device file it leads to
    QString details;
};

QList<ListedDevice> SystemDevices()
{
    QList<ListedDevice> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        ListedDevice device;
        const std::string location = ToLocal(info.systemLocation());
        device.path = FromLocal(PortBinding::stableName(location));
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(location, error);
        device.real = error ? info.systemLocation() : FromLocal(real.string());
        QStringList details;
        for (const QString &part : { info.description(), info.manufacturer() }) {
            if (!part.isEmpty() && !details.contains(part)) {
                details.append(part);
            }
        }
        if (!info.serialNumber().isEmpty()) {
            details.append(Texts::Text(Texts::kSerialNumber).arg(info.serialNumber()));
        }
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            details.append(QStringLiteral("%1:%2")
                               .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                               .arg(info.productIdentifier(), 4, 16, QLatin1Char('0')));
        }
        device.details = details.join(QStringLiteral(", "));
        devices.append(device);
    }
    return devices;
}

QString RealPath(const QString &path)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(ToLocal(path), error);
    return error ? path : FromLocal(real.string());
}

} // namespace

void TFrmOption::fillDeviceList()
{
    if (ComDevice == nullptr) {
        return;
    }
    {
        const QSignalBlocker block(ComDevice);
        ComDevice->clear();
        const std::optional<int32_t> port = TextToInt(ToCp936(ComPort->currentText()));
        const QString mapped = port ? FromLocal(PortBinding::mappedDevice(*port)) : QString();
        const QList<ListedDevice> devices = SystemDevices();
        const auto add = [this](const QString &path, const QString &details) {
            const QString text
                = details.isEmpty() ? path : QStringLiteral("%1  \u2014 %2").arg(path, details);
            ComDevice->addItem(text, path);
            ComDevice->setItemData(ComDevice->count() - 1, text, Qt::ToolTipRole);
        };
        // First what the port number maps to now, with what the system knows of it.
        const QString mappedReal = RealPath(mapped);
        if (!mapped.isEmpty()) {
            QString details;
            for (const ListedDevice &device : devices) {
                if (device.real == mappedReal) {
                    details = device.details;
                }
            }
            add(mapped, details);
        }
        for (const ListedDevice &device : devices) {
            if (mapped.isEmpty() || device.real != mappedReal) {
                add(device.path, device.details);
            }
        }
        ComDevice->setEditText(mapped);
    }
    updatePortDevice();
}

void TFrmOption::deviceChosen(int index)
{
    // The field holds the path alone; the details stay in the list.
    ComDevice->setEditText(ComDevice->itemData(index).toString());
}

QString TFrmOption::deviceChoice() const
{
    const QString text = ComDevice->currentText().trimmed();
    const int index = ComDevice->findText(text, Qt::MatchExactly);
    return index >= 0 ? ComDevice->itemData(index).toString() : text;
}

void TFrmOption::updatePortDevice()
{
    if (ComPortDevice == nullptr) {
        return;
    }
    const std::optional<int32_t> port = TextToInt(ToCp936(ComPort->currentText()));
    QString text;
    if (port && !PortBinding::systemDevice(*port).empty()) {
        // The same binding as the device field: the link and where it leads, or the
        // system's device where there is (or will be) no link.
        const QString choice
            = ComDevice ? deviceChoice() : FromLocal(PortBinding::mappedDevice(*port));
        const QString system = FromLocal(PortBinding::systemDevice(*port));
        if (choice.isEmpty() || (choice == system && !PortBinding::hasLink(*port))) {
            text = system;
        } else {
            text = QStringLiteral("com%1 \u2192 %2").arg(*port).arg(choice);
        }
    }
    ComPortDevice->setToolTip(text);
    ComPortDevice->setText(
        ComPortDevice->fontMetrics().elidedText(text, Qt::ElideMiddle, ComPortDevice->width()));
}

bool TFrmOption::bindChosenDevice()
{
    if (ComDevice == nullptr) {
        return true;
    }
    const std::optional<int32_t> port = TextToInt(ToCp936(ComPort->currentText()));
    if (!port || PortBinding::linkPath(*port).empty()) {
        // Step 5 reports a port number that does not read; others have no link.
        return true;
    }
    const QString choice = deviceChoice();
    const bool linked = PortBinding::hasLink(*port);
    if (choice == FromLocal(PortBinding::mappedDevice(*port)) && (linked || !choice.isEmpty())) {
        return true; // bound as it is
    }
    const Result<std::string> checked = CheckDeviceName(ToLocal(choice));
    if (!checked) {
        showWarning(
            Texts::Text(Texts::kDeviceNameRefused).arg(FromLocal(checked.status().reason())),
            Texts::Text(Texts::kWarningTitle));
        return false;
    }
    const Status bound = PortBinding::bind(*port, *checked);
    if (!bound) {
        showWarning(Texts::Text(Texts::kBindFailed)
                        .arg(FromLocal(PortBinding::linkPath(*port)), FromLocal(bound.reason())),
            Texts::Text(Texts::kWarningTitle));
        return false;
    }
    return true;
}

std::optional<int32_t> TFrmOption::convert(const QString &text)
{
    const std::optional<int32_t> value = TextToInt(ToCp936(text));
    if (!value) {
        ShowErrorReport(this, Texts::Text(Texts::kNotAnInteger).arg(text));
    }
    return value;
}

void TFrmOption::showWarning(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}

bool TFrmOption::checkRange(const QLineEdit &start, const QLineEdit &end, const UiText &reversed)
{
    const std::optional<int32_t> first = convert(start.text());
    if (!first) {
        return false;
    }
    const std::optional<int32_t> last = convert(end.text());
    if (!last) {
        return false;
    }
    if (*first > *last) {
        showWarning(Texts::Text(reversed), Texts::Text(Texts::kWarningTitle));
        return false;
    }
    return true;
}

bool TFrmOption::checkRanges()
{
    return checkRange(*SendStart, *SendEnd, Texts::kSendRangeReversed)
        && checkRange(*ParaStart, *ParaEnd, Texts::kParaRangeReversed);
}

std::optional<SerialPort::LineSettings> TFrmOption::openPortFromControls()
{
    // The change handlers keep both combo boxes on an item; the first item stands in
    // should a text have been set around them.
    SerialPort::LineSettings line;
    line.parity = PortByte(FParityCodes[std::max(ItemPosition(ComJO), 0)]);
    line.stopBits = PortByte(FStopBitCodes[std::max(ItemPosition(ComBitStop), 0)]);
    Port.Close();
    const std::optional<int32_t> bitNum = convert(ComBitNum->currentText());
    if (!bitNum) {
        return std::nullopt;
    }
    const std::optional<int32_t> bps = convert(ComBps->currentText());
    if (!bps) {
        return std::nullopt;
    }
    const std::optional<int32_t> port = convert(ComPort->currentText());
    if (!port) {
        return std::nullopt;
    }
    // A value that does not fit the port's byte is refused by Open, so whatever is
    // returned stores back unchanged.
    line.dataBits = PortByte(*bitNum);
    line.baudRate = *bps;
    line.port = *port;
    if (!OpenLine(line)) {
        showWarning(Texts::Text(Texts::kPortFailed), Texts::Text(Texts::kWarningTitle));
        return std::nullopt;
    }
    return line;
}

std::optional<TFrmOption::EditValues> TFrmOption::readEdits()
{
    // Every edit has been through its exit handler, so these conversions normally
    // succeed; doing them all before anything is stored keeps a failure from leaving
    // half of the members changed.
    const std::array<QLineEdit *, 9> edits { ClearLineNum, ParaStart, ParaEnd, LineCharNum,
        ParaCharNum, TimeInterval, TwoCharDelay, SendStart, SendEnd };
    std::array<int32_t, 9> numbers {};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const std::optional<int32_t> value = convert(edits[i]->text());
        if (!value) {
            return std::nullopt;
        }
        numbers[i] = *value;
    }
    return EditValues { numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5],
        numbers[6], numbers[7], numbers[8] };
}

void TFrmOption::Button1Click()
{
    if (!checkRanges()) {
        return;
    }
    // The chosen device is bound before the port closes, so the port reopens on it.
    if (!bindChosenDevice()) {
        return;
    }
    emit portChangeStarting();
    const auto finished = qScopeGuard([this] { emit portChangeFinished(); });
    emit portSettingsAccepting();
    const std::optional<SerialPort::LineSettings> port = openPortFromControls();
    if (!port) {
        return;
    }
    const std::optional<EditValues> edits = readEdits();
    if (!edits) {
        return;
    }
    FTimedSend = ChkSendTimer->isChecked();
    FAutoClear = ChkAutoClear->isChecked();
    FCheckOrder = ChkRecOrder->isChecked();
    FAutoSend = AutoSetting->isChecked();
    FComPort = port->port;
    FComBitNum = port->dataBits;
    FStopBits = port->stopBits;
    FComBps = port->baudRate;
    FClearLineNum = edits->clearLineNum;
    FParaStart = edits->paraStart;
    FParaEnd = edits->paraEnd;
    FLineCharNum = edits->lineCharNum;
    FParaCharNum = edits->paraCharNum;
    FTimeInterval = edits->timeInterval;
    FSendChar = ToCp936(SendChar->text());
    FParity = port->parity;
    FTwoCharDelay = edits->twoCharDelay;
    FSendStart = edits->sendStart;
    FSendEnd = edits->sendEnd;
    emit settingsAccepted();
    saveSettings();
    hide();
}

SerialPort::LineSettings TFrmOption::storedLine() const
{
    return { FComPort, FComBps, PortByte(FParity), PortByte(FStopBits), PortByte(FComBitNum) };
}

bool TFrmOption::openStoredPort()
{
    return OpenLine(storedLine());
}

bool TFrmOption::saveSettings()
{
    const Status saved = SaveSettings(*this);
    if (!saved) {
        ShowSaveFailure(this, QString::fromStdU16String(SettingsFilePath().u16string()), saved);
    }
    return saved.ok();
}

bool TFrmOption::reopenStoredPort()
{
    emit portChangeStarting();
    const auto finished = qScopeGuard([this] { emit portChangeFinished(); });
    Port.Close();
    if (openStoredPort()) {
        return true;
    }
    showWarning(Texts::Text(Texts::kPortFailed), Texts::Text(Texts::kWarningTitle));
    return false;
}

void TFrmOption::Button2Click()
{
    if (reopenStoredPort()) {
        hide();
    }
}

bool TFrmOption::FormCloseQuery()
{
    return reopenStoredPort();
}

void TFrmOption::closeForExit()
{
    m_closingForExit = true;
    hide();
}

void TFrmOption::reject()
{
    if (m_closingForExit || FormCloseQuery()) {
        QDialog::reject();
    }
}
