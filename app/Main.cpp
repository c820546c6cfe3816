#include "Main.h"

#include "about.h"
#include "base/linecodes.h"
#include "capture/traffic.h"
#include "document/ChildWin.h"
#include "icons.h"
#include "intervaltimer.h"
#include "mainstatus.h"
#include "maintexts.h"
#include "send/sendui.h"
#include "sendbar/sendbar.h"
#include "serial/portaddress.h"
#include "serial/portbinding.h"
#include "serial/portcontrollines.h"
#include "serial/portwatch.h"
#include "serial/serialport.h"
#include "settings/appconfig.h"
#include "settings/option.h"
#include "settings/settingsfile.h"
#include "text/codepage.h"
#include "textview/richedit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdint>

TMainForm *MainForm = nullptr;

namespace {

constexpr QSize kMainSize(584, 408);
constexpr int kStatusBarHeight = 19;

// The controls' face: the platform's default face at 11 pixels.
QFont controlFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(11);
    return font;
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(MainTexts::MainCaption);
    setWindowIcon(Icons::ProgramIcon());
    setFont(controlFont());

    createActions();
    createMenus();
    createButtonBar();
    createToolBar();
    createSearchDialogs();

    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    // QMdiArea's default background is the palette's dark shade, the workspace grey.
    MdiArea->setBackground(palette().brush(QPalette::Dark));

    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(ToolBar1);
    layout->addWidget(MdiArea, 1);
    setCentralWidget(client);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(kStatusBarHeight);
    setStatusBar(StatusBar);
    PortState = new QLabel(StatusBar);
    PortState->setObjectName(QStringLiteral("PortState"));
    PortState->setAccessibleName(MainTexts::PortStateName);
    StatusBar->addPermanentWidget(PortState);
    SetUpStatus();
    m_portStateTimer = new QTimer(this);
    m_portStateTimer->setInterval(500);
    connect(m_portStateTimer, &QTimer::timeout, this, &TMainForm::updatePortState);

    Timer1 = new IntervalTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    placeOuterFrame();

    connectHandlers();
    FormCreate();
}

TMainForm::~TMainForm()
{
    m_portWatch.reset();
    // The windows below go away with this one: no handler may run on the way.
    disconnect(MdiArea, nullptr, this, nullptr);
    if (SendBarDock) {
        disconnect(SendBarDock, nullptr, this, nullptr);
    }
    if (Sender) {
        Sender->abandon();
    }
    ShutDownSendReceive();
    // The recording outlives the window: it must not call back into it.
    StopCapture(false);
}

void TMainForm::connectHandlers()
{
    connect(BtnSend, &QToolButton::clicked, this, &TMainForm::BtnSendClick);
    connect(BtnRecieve, &QToolButton::clicked, this, &TMainForm::BtnRecieveClick);
    connect(BtnOption, &QToolButton::clicked, this, &TMainForm::BtnOptionClick);
    connect(BtnClear, &QToolButton::clicked, this, &TMainForm::BtnClearClick);
    connect(BtnFind, &QToolButton::clicked, this, &TMainForm::BtnFindClick);
    connect(BtnCom, &QToolButton::clicked, this, &TMainForm::BtnComClick);
    connect(Edit2, &QLineEdit::textChanged, this, &TMainForm::Edit2Change);
    connect(Timer1, &IntervalTimer::timeout, this, &TMainForm::Timer1Timer);

    connect(FileNew1, &QAction::triggered, this, &TMainForm::FileNew1Execute);
    connect(FileOpen1, &QAction::triggered, this, &TMainForm::FileOpen1Execute);
    connect(FileClose1, &QAction::triggered, this, &TMainForm::FileClose1Execute);
    connect(FileSaveAsItem, &QAction::triggered, this, &TMainForm::FileSaveAsItemClick);
    connect(FileExit1, &QAction::triggered, this, &TMainForm::FileExit1Execute);
    connect(ItemFind, &QAction::triggered, this, &TMainForm::BtnFindClick);
    connect(ItemReplace, &QAction::triggered, this, &TMainForm::BtnReplaceClick);
    connect(WindowCascade1, &QAction::triggered, this, &TMainForm::WindowCascade1Execute);
    connect(
        WindowTileHorizontal1, &QAction::triggered, this, &TMainForm::WindowTileHorizontal1Execute);
    connect(WindowTileVertical1, &QAction::triggered, this, &TMainForm::WindowTileVertical1Execute);
    connect(HelpAbout1, &QAction::triggered, this, &TMainForm::HelpAbout1Execute);
    connect(Window1, &QMenu::aboutToShow, this, &TMainForm::fillWindowMenu);
}

void TMainForm::FormCreate()
{
    StatusBar->clearMessage();
    connect(MdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::UpdateMenuItems);
    updateWindowCommands();
    SetUpSendReceive();
    SetUpCapture();
    SetUpLines();
    SetUpSendBar();
    SetUpAutomation();
    SetUpEchoOrder();
    SetUpKeyboard();
    SetUpPlacement();
    SetUpFiles();
}

// 584 x 408 is the size of the window with its frame, centred on the screen. The
// frame's width is known only once the platform has framed the window: until then
// the inside takes the whole size, and it shrinks by the frame once that is known.
void TMainForm::placeOuterFrame()
{
    // The place and size the user left the window in, from the second run on.
    if (restorePlacement()) {
        m_outerSizeFitted = true;
        return;
    }
    QSize inside = kMainSize;
    if (const QWindow *window = windowHandle()) {
        const QMargins frame = window->frameMargins();
        if (!frame.isNull()) {
            m_outerSizeFitted = true;
            inside = kMainSize.shrunkBy(frame);
        }
    }
    resize(inside);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect outer(QPoint(), kMainSize);
        outer.moveCenter(screen->availableGeometry().center());
        // A top-level window's position is that of its frame.
        move(outer.topLeft());
    }
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        placeOuterFrame();
        // Queued, so that a warning at start comes up over a window that is shown;
        // by then a platform that frames windows late has done so.
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Closed before the event loop came round (a termination signal):
                // nothing to open or show any more.
                if (!isVisible()) {
                    return;
                }
                if (!m_outerSizeFitted && windowState() == Qt::WindowNoState) {
                    placeOuterFrame();
                }
                FormShow();
            },
            Qt::QueuedConnection);
    }
}

void TMainForm::FormShow()
{
    const bool opened = openPortWithSettings();
    m_portWatch = std::make_unique<PortWatch>(Port, [this] {
        QMetaObject::invokeMethod(this, &TMainForm::updatePortState, Qt::QueuedConnection);
    });
    updatePortState();
    m_portStateTimer->start();
    if (!opened) {
        QMessageBox warning(QMessageBox::Warning, MainTexts::PortWarningTitle,
            MainTexts::PortWarning, QMessageBox::Ok, this);
        warning.setInformativeText(PortFailureAdvice(Port.lastFailure()));
        warning.exec();
        if (FrmOption) {
            // What failed is on the port tab.
            FrmOption->PageControl1->setCurrentWidget(FrmOption->TabSheet4);
            FrmOption->show();
        }
    }
    if (FrmOption) {
        // Blocked, so that FSendChar keeps its exact bytes rather than a round trip
        // through the edit's text.
        const QSignalBlocker blocker(Edit2);
        Edit2->setText(FromCp936(FrmOption->FSendChar));
    }
    CreateDocumentWindow(nextDocumentName());
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    savePlacement();
    // The windows go with the program: a send's echo line is not laid out first.
    if (Sender) {
        Sender->abandon();
    }
    ShutDownSendReceive();
    StopCapture(true);
    if (FrmOption) {
        // A failed save is reported; the old file stays as it was.
        FrmOption->saveSettings();
        // The dialog goes with the program; closing it the usual way would reopen
        // the port and could warn about it on the way out.
        FrmOption->closeForExit();
    }
}

void TMainForm::FileExit1Execute()
{
    close();
}

void TMainForm::HelpAbout1Execute()
{
    if (AboutBox) {
        AboutBox->exec();
    }
}

void TMainForm::BtnOptionClick()
{
    if (FrmOption) {
        FrmOption->show();
        FrmOption->raise();
        FrmOption->activateWindow();
    }
}

void TMainForm::BtnClearClick()
{
    if (TMDIChild *child = ActiveChild()) {
        child->RichEdit1->ClearDocument();
    }
}

void TMainForm::BtnComClick()
{
    if (BtnCom->isChecked()) {
        Port.Close();
    } else {
        openPortWithSettings();
    }
    updatePortState();
}

bool TMainForm::openPortWithSettings()
{
    if (!FrmOption) {
        return false;
    }
    const bool opened = FrmOption->openStoredPort();
    // The traffic field counts from here, not from its next turn.
    UpdateTraffic();
    return opened;
}

void TMainForm::Edit2Change()
{
    if (FrmOption) {
        FrmOption->FSendChar = ToCp936(Edit2->text());
    }
}

void TMainForm::SettingsAccepted()
{
    {
        const QSignalBlocker blocker(Edit2);
        Edit2->setText(FromCp936(FrmOption->FSendChar));
    }
    Timer1->setInterval(FrmOption->FTimeInterval);
}

namespace {

// "9600,8,N,1": baud rate, data bits, parity letter, stop bits.
QString LineSettingsText(const SerialPort::LineSettings &line)
{
    const QString parity = line.parity < kParityCodeCount
        ? QString(QLatin1Char(kParityLetters.at(line.parity)))
        : QString::number(line.parity);
    const QString stop = line.stopBits < kStopBitsCodeCount
        ? QString::fromLatin1(kStopBitsNames.at(line.stopBits))
        : QString::number(line.stopBits);
    return QStringLiteral("%1,%2,%3,%4").arg(line.baudRate).arg(line.dataBits).arg(parity, stop);
}

} // namespace

void TMainForm::updatePortState()
{
    SerialPort::LineSettings line = Port.lastSettings();
    if (line.port == 0 && FrmOption) {
        // Nothing opened yet: the stored settings are what will be opened.
        line = FrmOption->storedLine();
    }
    const SerialPort::State portState = Port.state();
    const QString port = QStringLiteral("COM%1").arg(line.port);
    // An open or lost port shows the device it has, whatever the number maps to
    // meanwhile; a new mapping shows as pending until the next open.
    const QString mapped = QString::fromLocal8Bit(PortBinding::resolvedDevice(line.port).c_str());
    QString device = portState == SerialPort::State::Closed
        ? mapped
        : QString::fromLocal8Bit(Port.openedDevice().c_str());
    if (device == port) {
        device.clear();
    }
    QString pending;
    if (portState == SerialPort::State::Open && !mapped.isEmpty() && mapped != device) {
        pending = MainTexts::PortPending.arg(mapped);
    }
    QString state;
    QString detail;
    switch (portState) {
    case SerialPort::State::Open:
        state = MainTexts::PortOpen;
        break;
    case SerialPort::State::Lost:
        if (const OpenFailure failure = Port.lastFailure();
            failure.kind != OpenFailure::Kind::None && IsPortAddress(device.toStdString())) {
            state = MainTexts::PortLostNet.arg(PortReason(failure));
            detail = QString::fromLocal8Bit(failure.detail.c_str());
        } else {
            state = MainTexts::PortLost;
        }
        break;
    case SerialPort::State::Connecting:
        state = MainTexts::PortConnecting;
        break;
    case SerialPort::State::Closed:
        if (BtnCom->isChecked()) {
            state = MainTexts::PortClosedByUser;
        } else if (const OpenFailure failure = Port.lastFailure();
                   failure.kind != OpenFailure::Kind::None) {
            state = MainTexts::PortFailed.arg(PortReason(failure));
            detail = QString::fromLocal8Bit(failure.detail.c_str());
        } else {
            state = MainTexts::PortNotOpen;
        }
        break;
    }
    const QString where = device.isEmpty() ? port : port + QStringLiteral(" \u2192 ") + device;
    // Raw TCP carries bytes only: no line settings reach the far side.
    const QString lineText = device.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)
        ? QString(MainTexts::LineNotApplied)
        : LineSettingsText(line);
    const QString text = QStringLiteral("%1  %2  %3").arg(where, lineText, state) + pending;
    const QString tip = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
    if (PortState->toolTip() == tip) {
        return;
    }
    PortState->setToolTip(tip);
    PortState->setAccessibleDescription(tip);
    PortState->setText(FitPortState(PortState->fontMetrics(), port, device,
        QStringLiteral("  %1  %2").arg(lineText, state) + pending));
    noteStateChange(port, state);
}
