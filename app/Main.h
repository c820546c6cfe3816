#pragma once

#include "base/status.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <string>

class AppConfig;
class EditCommands;
class IntervalTimer;
class LineTestWindow;
class SessionWindow;
class AutomationStore;
class TriggerController;
class TriggerWindow;
class SequenceWindow;
class LineOptionsRow;
class LineStrip;
class PortControlLines;
class TFrmOption;
class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QToolBar;
class QTimer;
class QToolButton;
class PortWatch;
class ReceiveController;
class SendBar;
class SendController;
class TFindDialog;
class TMDIChild;
class TReplaceDialog;
class TSearchDialog;
struct SendResult;
class TrafficMeter;

// The main window "Byteway": the button bar Panel1, the toolbar with the send text
// Edit2 and the notation ComboDataType, the menus, the status bar and the
// multiple-document area MdiArea that holds the document windows. It owns the
// controls that sending and receiving read and drive, and the send timer Timer1.
//
// The handlers keep the names of the window's events; the sending and receiving
// ones are defined in mainsendreceive.cpp. User-interface thread only.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the controls and runs FormCreate.
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // The button bar.
    QWidget *Panel1 = nullptr;
    QToolButton *BtnSend = nullptr;
    QToolButton *BtnRecieve = nullptr;
    QToolButton *BtnOption = nullptr;
    QToolButton *BtnClear = nullptr;
    QToolButton *BtnFind = nullptr;
    QToolButton *BtnCom = nullptr;

    // The toolbar.
    QToolBar *ToolBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ComboDataType = nullptr;

    QStatusBar *StatusBar = nullptr;
    // A permanent field on the right of the status bar: the port number, the device it
    // reached, the line settings and the port's state (open, closed, why opening
    // failed, lost and waiting for the device). Its tooltip holds the whole text and
    // the system's own words.
    QLabel *PortState = nullptr;
    QMdiArea *MdiArea = nullptr;
    IntervalTimer *Timer1 = nullptr;
    TFindDialog *DlgFind = nullptr;
    TReplaceDialog *DlgReplace = nullptr;

    // The menus and their items.
    QMenu *File1 = nullptr;
    QAction *FileNewItem = nullptr;
    QAction *FileOpenItem = nullptr;
    QAction *FileCloseItem = nullptr;
    QAction *FileSaveAsItem = nullptr;
    QAction *FileLogItem = nullptr; // checkable: recording to a file
    QAction *FileSendItem = nullptr; // 发送文件: raw, XMODEM or YMODEM (mainfiles.cpp)
    QAction *FileReceiveItem = nullptr; // 接收文件: XMODEM or YMODEM into a folder
    QAction *FileExitItem = nullptr;
    QMenu *Edit1 = nullptr;
    QAction *CutItem = nullptr;
    QAction *CopyItem = nullptr;
    QAction *PasteItem = nullptr;
    QAction *ItemFind = nullptr;
    QAction *ItemReplace = nullptr;
    QAction *TimeStampItem = nullptr; // checkable: the time before every header
    QMenu *Window1 = nullptr;
    QAction *WindowCascadeItem = nullptr;
    QAction *WindowTileItem = nullptr;
    QAction *WindowTileItem2 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *HelpAboutItem = nullptr;
    // 语言 / Language after 关于: follow the system, 中文, English (mainlanguage.cpp).
    QMenu *LanguageMenu = nullptr;

    // The commands behind the menu items (ActionList1); an item with an action
    // shows the action's enabled state and runs the action.
    QAction *FileNew1 = nullptr;
    QAction *FileOpen1 = nullptr;
    QAction *FileClose1 = nullptr;
    QAction *FileExit1 = nullptr;
    QAction *EditCut1 = nullptr;
    QAction *EditCopy1 = nullptr;
    QAction *EditPaste1 = nullptr;
    QAction *WindowCascade1 = nullptr;
    QAction *WindowTileHorizontal1 = nullptr;
    QAction *WindowTileVertical1 = nullptr;
    QAction *HelpAbout1 = nullptr;
    QList<QIcon> ImageList1;

    // The active document window (the one last active in the area, also while
    // another top-level window has the focus), or nullptr.
    TMDIChild *ActiveChild() const;
    // The open document windows.
    int ChildCount() const;
    QList<TMDIChild *> Children() const;

    void FormCreate();
    // Opens the port, puts the stored send text into Edit2, creates 窗口1. Runs once,
    // queued after the window is first shown.
    void FormShow();
    // Stops a running reception and saves the settings.
    void FormClose();

    void CreateDocumentWindow(const QString &name);
    // Files of this size or more load behind a progress window with a way out.
    static constexpr qint64 kLoadInStepsFrom = qint64 { 1024 } * 1024;
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSaveAsItemClick();
    void FileClose1Execute();
    void FileExit1Execute();
    void HelpAbout1Execute();
    void WindowCascade1Execute();
    void WindowTileHorizontal1Execute();
    void WindowTileVertical1Execute();
    void UpdateMenuItems();

    void BtnOptionClick();
    void BtnClearClick();
    void BtnComClick();
    void BtnFindClick();
    void BtnReplaceClick();
    // The search step of `dialog` (DlgFind or DlgReplace) on the active document.
    void Find(TSearchDialog *dialog);
    // Replace or Replace All of DlgReplace on the active document.
    void Replace(bool all);
    void Edit2Change();
    // The settings dialog's OK: Edit2 and Timer1 take the accepted values.
    void SettingsAccepted();
    // Tells the user about a failure or the state of the port or of a reception in
    // MessageField, a status bar place that hints do not overwrite; it stays until the
    // next message, and the field's tooltip keeps the last few with their times
    // (mainstatus.cpp).
    void showStateMessage(const QString &text);
    void SetUpStatus();
    const QStringList &recentMessages() const;
    // The message MessageField shows, whole; empty before the first one.
    QString stateMessage() const;
    QLabel *MessageField = nullptr;
    // Shows the port's present state in PortState. Runs on a timer, whenever the
    // port watch sees a change and after the window's own opening and closing.
    void updatePortState();

    // Sending and receiving (mainsendreceive.cpp).
    void SetUpSendReceive();
    void ShutDownSendReceive();
    void BtnSendClick();
    void Timer1Timer();
    void SendData();
    void BtnRecieveClick();
    ReceiveController *Receiver = nullptr;
    SendController *Sender = nullptr;
    // The settings dialog closes and reopens the port: the send in progress is held
    // between two bytes meanwhile, then goes on with the new settings.
    void holdSending();
    void resumeSending();

    // Recording to a file, header times, the traffic field (maincapture.cpp). The
    // status bar shows the file's name in CaptureField while a recording runs, and
    // the traffic since the port was opened in TrafficField.
    void SetUpCapture();
    void FileLogItemClick(bool checked);
    void TimeStampItemClick(bool checked);
    // A recording ended through a failure: tells the user `reason`.
    void CaptureFailed(const QString &reason);
    // Ends a recording (flushed and closed); `report` tells the user of a failure.
    void StopCapture(bool report);
    void UpdateTraffic();
    QLabel *CaptureField = nullptr;
    QLabel *TrafficField = nullptr;

    // The send bar 发送栏, shown from the 窗口 menu (mainsendbar.cpp). Its bytes go
    // out through Sender as a press of BtnSend would send; false when the send did
    // not start (a send runs, no window, the port closed), which the status bar says.
    void SetUpSendBar();
    bool SendBarBytes(const std::string &bytes);
    SendBar *SendBarDock = nullptr;
    QAction *SendBarItem = nullptr;

    // Sending and receiving files (mainfiles.cpp); the transfer owns the port
    // (PortHold) until it ends.
    void SetUpFiles();
    void FileSendItemClick();
    void FileReceiveItemClick();
    // The language menu; a choice is kept in byteway.conf for the next start.
    void SetUpLanguageMenu();

    // The order of sent and received text (mainechoorder.cpp): 收发分行 in the 编辑
    // menu, kept in byteway.conf; a send into the reception's window holds the
    // received text until its echo line is complete.
    void SetUpEchoOrder();
    void holdReceivedFor(const TMDIChild *child);
    void releaseReceived();
    QAction *SplitLinesItem = nullptr; // checkable: each direction on lines of its own

    // The keyboard (mainkeyboard.cpp): the 串口 menu between 编辑 and 窗口, whose items
    // mirror the buttons and the control lines (enabled, down) and click them; Enter
    // in Edit2 clicks BtnSend; Tab goes round Edit2, ComboDataType, the active
    // document and the send bar when shown.
    void SetUpKeyboard();
    QMenu *PortMenu = nullptr;
    QAction *SendItem = nullptr;
    QAction *ReceiveItem = nullptr;
    QAction *ClearItem = nullptr;
    QAction *PortItem = nullptr;
    QAction *OptionItem = nullptr;
    QAction *DtrItem = nullptr; // checkable: mirrors Lines->LineDTR (F7)
    QAction *RtsItem = nullptr; // checkable: mirrors Lines->LineRTS (F8)
    QAction *DtrPulseItem = nullptr; // F5
    QAction *RtsPulseItem = nullptr; // Shift+F5
    QAction *BreakItem = nullptr; // F6
    QAction *SendLineItem = nullptr; // 窗口: the send bar's line, from anywhere (Ctrl+E)
    // What Tab goes round, in order.
    QList<QWidget *> tabRing() const;

    // The window's place and size kept in byteway.conf; Edit2 takes the toolbar's
    // width beyond the default window's (mainplacement.cpp).
    void SetUpPlacement();
    void savePlacement();

    // 工具 → 自动应答 and 序列, their windows and the triggers' switch
    // (mainautomation.cpp).
    void SetUpAutomation();
    QAction *TriggersItem = nullptr;
    QAction *TriggerSwitchItem = nullptr;
    QAction *SequencesItem = nullptr;
    AutomationStore *Automation = nullptr;
    TriggerController *Triggers = nullptr;
    QPointer<TriggerWindow> TriggerForm;
    QPointer<SequenceWindow> SequenceForm;
    // 工具 → 线路测试 and its window (mainlinetest.cpp).
    void SetUpLineTest();
    QAction *LineTestItem = nullptr;
    QPointer<LineTestWindow> LineTestForm;
    // 窗口 → 会话视图 and its window (mainsession.cpp).
    void SetUpSession();
    SessionWindow *SessionForm = nullptr;
    // The control-line strip in the button bar and its options in the settings
    // dialog's port tab (mainlines.cpp).
    void SetUpLines();
    void AttachLineOptions(TFrmOption *dialog);
    LineStrip *Lines = nullptr;
    LineOptionsRow *LineOptionsPlace = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    static constexpr int kProgressSteps = 1000;
    [[nodiscard]] Status loadWithProgress(TMDIChild *child, const QString &path);
    void createButtonBar();
    // Gives the overflow button of a tool bar its accessible name.
    static void nameToolBarOverflow(QToolBar *bar);
    void createToolBar();
    void fitEnglishToolBar();
    void createActions();
    void createMenus();
    void createSearchDialogs();
    void connectHandlers();
    void fillWindowMenu();
    void updateWindowCommands();
    bool openPortWithSettings();
    QString nextDocumentName() const;
    // The end of a send: a failed write ends timed sending, a single send raises
    // BtnSend.
    void sendFinished(const SendResult &result);
    void fitMessageField();
    // Applies the kept place and size; false when there is none.
    bool restorePlacement();
    void fitSendField();
    int m_sendFieldBase = 0;
    void noteStateChange(const QString &port, const QString &state);
    QStringList m_messages;
    QString m_lastPortState;
    // Sizes and centres the window so that its frame measures 584 x 408.
    void placeOuterFrame();

    // Notices a device that went away and reopens it when it returns (from the
    // first opening at show on).
    std::unique_ptr<PortWatch> m_portWatch;
    QTimer *m_portStateTimer = nullptr;
    EditCommands *m_editCommands = nullptr;
    std::unique_ptr<AppConfig> m_config;
    std::unique_ptr<PortControlLines> m_portLines;
    std::unique_ptr<TrafficMeter> m_trafficMeter;
    QElapsedTimer m_trafficClock;
    QTimer *m_trafficTimer = nullptr;
    int m_captureRun = 0; // counts the recordings started, so a late failure finds its own
    QList<QAction *> m_windowListItems;
    bool m_shown = false;
    bool m_outerSizeFitted = false;
    // The send running was started by a click with timed sending off.
    bool m_singleSend = false;
    // A tick of Timer1 fell due while a send ran: the next send starts when it ends.
    bool m_tickWaiting = false;
};

extern TMainForm *MainForm;
