#pragma once

#include "serial/serialport.h"
#include "settingsvalues.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class UiText;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The settings dialog "参数设定". It holds the program's settings values (the one
// instance FrmOption is what every part reads them from), shows them on four tabs,
// checks entries and applies them: OK reopens the serial port with the new line
// settings, stores every control into the members, tells the main window and saves
// the settings file. Cancel and closing reopen the port with the stored members.
//
// Modeless and on top of the main window. User-interface thread only; the receive
// thread reads the atomic members in place while OK may rewrite them.
class TFrmOption : public QDialog, public SettingsValues
{
    Q_OBJECT

public:
    // Builds the controls and runs FormCreate.
    explicit TFrmOption(QWidget *parent = nullptr);

    // Fills the code tables and loads the settings file (defaults when it is missing
    // or unreadable, see LoadSettings).
    void FormCreate();
    // Copies every member into its control, raising no change handling.
    void FormShow();
    // Reopens the port with the stored members; true when the window may close.
    bool FormCloseQuery();

    // The line settings the stored members stand for. A value that does not fit in
    // a byte becomes 0xFF, which the port refuses, rather than wrapping round to a
    // valid one.
    SerialPort::LineSettings storedLine() const;
    // Opens the port with the stored members (the one place that does, for this
    // window and the main window); false when the port refused, its reason then in
    // Port.lastFailure(). Shows nothing.
    bool openStoredPort();
    // Writes the settings file from the members; when that fails, tells the user
    // why in a warning (the old file stays as it was). False when it failed.
    bool saveSettings();

    // The program is closing: hides the dialog and lets any later close through
    // without touching the port, so that no port warning holds up the exit.
    void closeForExit();

    void Button1Click();
    void Button2Click();
    // Keep the two combo boxes on one of their items.
    void ComJOChange();
    void ComBitStopChange();

    // Run when the edit loses the focus: its text becomes the integer's decimal text,
    // or the handler's fallback when the text is not an integer.
    void TimeIntervalExit();
    void TwoCharDelayExit();
    void SendStartExit();
    void SendEndExit();
    void LineCharNumExit();
    void ParaCharNumExit();
    void ParaStartExit();
    void ParaEndExit();
    void ClearLineNumExit();

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    QWidget *TabSheet3 = nullptr;
    QWidget *TabSheet4 = nullptr;

    // Sending.
    QCheckBox *ChkSendTimer = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *TimeInterval = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label18 = nullptr;
    QLineEdit *TwoCharDelay = nullptr;
    QLabel *Label19 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *ManSetting = nullptr;
    QLineEdit *SendChar = nullptr;
    QRadioButton *AutoSetting = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *SendStart = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *SendEnd = nullptr;

    // Receiving.
    QLabel *Label3 = nullptr;
    QLineEdit *LineCharNum = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *ParaCharNum = nullptr;
    QCheckBox *ChkRecOrder = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *ParaStart = nullptr;
    QLabel *Label17 = nullptr;
    QLineEdit *ParaEnd = nullptr;

    // System.
    QCheckBox *ChkAutoClear = nullptr;
    QLineEdit *ClearLineNum = nullptr;
    QLabel *Label10 = nullptr;

    // Port.
    QLabel *Label12 = nullptr;
    QComboBox *ComPort = nullptr;
    QLabel *Label13 = nullptr;
    QComboBox *ComBps = nullptr;
    QLabel *Label14 = nullptr;
    QComboBox *ComBitNum = nullptr;
    QLabel *Label15 = nullptr;
    QComboBox *ComJO = nullptr;
    QLabel *Label16 = nullptr;
    QComboBox *ComBitStop = nullptr;
    // Beside ComPort on POSIX systems: the device its number stands for.
    QLabel *ComPortDevice = nullptr;
    // POSIX systems: the device to bind to the port number (the serial devices of the
    // system listed, any path may be typed) and the button that lists them anew.
    QLabel *LabelComDevice = nullptr;
    QComboBox *ComDevice = nullptr;
    QPushButton *ComDeviceRefresh = nullptr;

    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

signals:
    // Emitted by OK after the members are stored and before the file is saved: the
    // main window then puts FSendChar into Edit2 and FTimeInterval into Timer1.
    void settingsAccepted();
    // Around closing and reopening the port (OK, Cancel, close): the port's other
    // users hold off from the first until the second, which comes once the dialog
    // is done with the port and, for OK, the new settings are stored.
    void portChangeStarting();
    void portChangeFinished();
    // OK, after portChangeStarting and before the port reopens with the new settings:
    // the options kept outside the settings file take effect for that Open.
    void portSettingsAccepting();

public slots:
    // Escape and the window's close box end up here: the close query decides.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ExitHandler
    {
        QLineEdit **edit;
        void (TFrmOption::*handler)();
    };

    struct EditValues
    {
        int32_t clearLineNum;
        int32_t paraStart;
        int32_t paraEnd;
        int32_t lineCharNum;
        int32_t paraCharNum;
        int32_t timeInterval;
        int32_t twoCharDelay;
        int32_t sendStart;
        int32_t sendEnd;
    };

    void createControls();
    void createSendingTab();
    void createReceivingTab();
    void createSystemTab();
    void createPortTab();
    void fitTranslatedTexts();
    void connectHandlers();

    void applyExit(QLineEdit *edit, int32_t fallback);
    void keepOnItem(QComboBox *combo);
    void updatePortDevice();
    // Lists the system's serial devices in ComDevice, the device the port number
    // maps to now first and in the field.
    void fillDeviceList();
    void deviceChosen(int index);
    QString deviceChoice() const;
    // Writes ComDevice's choice as the link of the port number in ComPort; false
    // (after a message) when the link cannot be written.
    bool bindChosenDevice();
    bool checkRanges();
    bool checkRange(const QLineEdit &start, const QLineEdit &end, const UiText &reversed);
    std::optional<SerialPort::LineSettings> openPortFromControls();
    std::optional<EditValues> readEdits();
    bool reopenStoredPort();
    std::optional<int32_t> convert(const QString &text);
    void showWarning(const QString &text, const QString &title);

    const std::array<ExitHandler, 9> m_exitHandlers;
    bool m_closingForExit = false;
};

extern TFrmOption *FrmOption;
