#pragma once

#include "settings/optiontexts.h"
#include "text/notationtexts.h"
#include "text/uitext.h"

#include <QString>

// Captions, hints and messages of the main window, in one place (a namespace of
// its own: other windows keep theirs in headers too). A hint may hold a
// "|": the part before it is the tooltip, the part after it the status bar text.
//
// The texts are the Chinese interface's own and the source texts of the
// translations (translations/byteway_en.ts). A new entry is written as
//     inline constexpr UiText Name { kContext, QT_TRANSLATE_NOOP("MainTexts", "源文本") };
// (tools/convert-texts.py turns `inline const QString Name = QStringLiteral(...)`
// entries into that form), then `make translations` adds it to the catalogue, where
// its English is filled in. Texts that are not words of the interface (the program's
// name, numbers, file name patterns) stay plain QStrings marked "untranslated".
namespace MainTexts {

inline constexpr const char *kContext = "MainTexts";

inline const QString MainCaption = QStringLiteral("Byteway"); // untranslated

// A typed or pasted character that code page 936 lacks, said once per document.
inline constexpr UiText ForeignCharacters { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "文档以 GBK 保存文字：其中没有的字符已换成“?”") };

inline constexpr UiText BtnSend { kContext, QT_TRANSLATE_NOOP("MainTexts", "发送") };
inline constexpr UiText BtnRecieve { kContext, QT_TRANSLATE_NOOP("MainTexts", "接收") };
inline constexpr UiText BtnOption { kContext, QT_TRANSLATE_NOOP("MainTexts", " 设置") };
inline constexpr UiText BtnClear { kContext, QT_TRANSLATE_NOOP("MainTexts", "清空") };
inline constexpr UiText BtnFind { kContext, QT_TRANSLATE_NOOP("MainTexts", "查找") };
inline constexpr UiText BtnCom { kContext, QT_TRANSLATE_NOOP("MainTexts", "开关串口") };
inline constexpr UiText BtnComHint { kContext, QT_TRANSLATE_NOOP("MainTexts", "按下时关闭串口") };

inline constexpr UiText Label1 { kContext, QT_TRANSLATE_NOOP("MainTexts", "当前发送数据：") };
inline constexpr UiText Label2 { kContext, QT_TRANSLATE_NOOP("MainTexts", "数据格式：") };
inline constexpr UiText ComboDataTypeName { kContext, QT_TRANSLATE_NOOP("MainTexts", "数据格式") };
inline const QString Edit2Initial = QStringLiteral("00"); // untranslated
// The notation words live with the code that reads them back.
inline constexpr UiText Hexadecimal = NotationTexts::Hexadecimal;
inline constexpr UiText Decimal = NotationTexts::Decimal;
inline constexpr UiText Characters = NotationTexts::Characters;

inline constexpr UiText File1 { kContext, QT_TRANSLATE_NOOP("MainTexts", "文件(&F)") };
inline constexpr UiText File1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "File related commands") };
inline constexpr UiText FileNewItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "新建(&N)") };
inline constexpr UiText FileNew1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "New|Create a new file") };
inline constexpr UiText FileOpenItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "打开(&O)") };
inline constexpr UiText FileOpen1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Open|Open a file") };
inline constexpr UiText FileCloseItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "关闭(&C)") };
inline constexpr UiText FileClose1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Close|Close current file") };
inline constexpr UiText FileSaveAsItem { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "保存为 (&A)...") };
inline constexpr UiText FileSaveAsHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Save As|Save current file with different name") };
inline constexpr UiText FileLogItem { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "记录到文件(&L)...") };
inline constexpr UiText FileLogHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Log to file|Record every byte received and sent to a file") };
inline constexpr UiText FileSendItem { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "发送文件(&S)...") };
inline constexpr UiText FileSendHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "发送文件|以原始方式或用 XMODEM、YMODEM 发送一个文件") };
inline constexpr UiText FileReceiveItem { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收文件(&R)...") };
inline constexpr UiText FileReceiveHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收文件|用 XMODEM 或 YMODEM 把文件接收到一个文件夹") };
inline constexpr UiText FileExitItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "退出(&X)") };
inline constexpr UiText FileExit1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Exit|Exit application") };

inline constexpr UiText Edit1 { kContext, QT_TRANSLATE_NOOP("MainTexts", "编辑(&E)") };
inline constexpr UiText Edit1Hint { kContext, QT_TRANSLATE_NOOP("MainTexts", "Edit commands") };
inline constexpr UiText CutItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "剪切(&T)") };
inline constexpr UiText EditCut1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Cut|Cuts the selection and puts it on the Clipboard") };
inline constexpr UiText CopyItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "复制(&C)") };
inline constexpr UiText EditCopy1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Copy|Copies the selection and puts it on the Clipboard") };
inline constexpr UiText PasteItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "粘贴(&P)") };
inline constexpr UiText EditPaste1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Paste|Inserts Clipboard contents") };
inline constexpr UiText ItemFind { kContext, QT_TRANSLATE_NOOP("MainTexts", "查找(&F)") };
inline constexpr UiText ItemReplace { kContext, QT_TRANSLATE_NOOP("MainTexts", "替换(&R)") };
inline constexpr UiText TimeStampItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "时间标记(&M)") };
inline constexpr UiText TimeStampHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts",
        "Time stamps|Put the time of day before every Receiving: and Sending: header") };

inline constexpr UiText SplitLinesItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "收发分行(&L)") };
inline constexpr UiText SplitLinesHint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "每次在发送和接收之间切换时，另起一行并写上该方向的标题") };

inline constexpr UiText PortMenu { kContext, QT_TRANSLATE_NOOP("MainTexts", "串口(&P)") };
inline constexpr UiText PortMenuHint { kContext, QT_TRANSLATE_NOOP("MainTexts", "串口命令") };
inline constexpr UiText SendItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "发送(&S)") };
inline constexpr UiText ReceiveItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "接收(&R)") };
inline constexpr UiText ClearItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "清空(&E)") };
inline constexpr UiText PortItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "开关串口(&C)") };
inline constexpr UiText OptionItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "设置(&O)...") };
inline constexpr UiText DtrItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "DTR(&D)") };
inline constexpr UiText RtsItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "RTS(&T)") };
inline constexpr UiText BreakItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "发送中断(&B)") };
inline constexpr UiText SendBarItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "发送栏(&B)") };
inline constexpr UiText SendLineItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "转到发送栏(&G)") };
inline constexpr UiText MessageFieldName { kContext, QT_TRANSLATE_NOOP("MainTexts", "消息") };
// Accessible names where the caption cannot serve: " 设置" is padded, the status bar
// would take its last hint, a tool bar's overflow button has no text.
inline constexpr UiText BtnOptionName { kContext, QT_TRANSLATE_NOOP("MainTexts", "设置") };
inline constexpr UiText StatusBarName { kContext, QT_TRANSLATE_NOOP("MainTexts", "状态栏") };
inline constexpr UiText ToolBarMoreName { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "工具栏的更多控件") };
inline constexpr UiText MessageHistory { kContext, QT_TRANSLATE_NOOP("MainTexts", "最近的消息：") };
inline constexpr UiText SystemSays { kContext, QT_TRANSLATE_NOOP("MainTexts", "系统的说明：%1") };
inline constexpr UiText NoAccessRemedy { kContext,
    QT_TRANSLATE_NOOP(
        "MainTexts", "把当前用户加入 %1 组，然后注销并重新登录：\nsudo usermod -aG %1 $USER") };

inline constexpr UiText Window1 { kContext, QT_TRANSLATE_NOOP("MainTexts", "窗口(&W)") };
inline constexpr UiText Window1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Window related commands") };
inline constexpr UiText WindowCascadeItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "层叠(&C)") };
inline constexpr UiText WindowCascade1Hint { kContext, QT_TRANSLATE_NOOP("MainTexts", "Cascade") };
inline constexpr UiText WindowTileItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "水平平铺(&H)") };
inline constexpr UiText WindowTileHorizontal1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Tile Horizontally") };
inline constexpr UiText WindowTileItem2 { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "垂直平铺(&V)") };
inline constexpr UiText WindowTileVertical1Hint { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "Tile Vertically") };

inline constexpr UiText Help1 { kContext, QT_TRANSLATE_NOOP("MainTexts", "帮助(&H)") };
inline constexpr UiText Help1Hint { kContext, QT_TRANSLATE_NOOP("MainTexts", "Help topics") };
inline constexpr UiText HelpAboutItem { kContext, QT_TRANSLATE_NOOP("MainTexts", "关于(&A)...") };

// Dialog filters: what the user sees, then the pattern that really applies here
// ("*.*" would hide files without a dot on this platform).
inline constexpr UiText OpenFilter { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "All files (*.*) (*)") };
inline constexpr UiText SaveFilter { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "All Files(*.*) (*)") };

inline constexpr UiText DocumentPrefix { kContext, QT_TRANSLATE_NOOP("MainTexts", "窗口") };

// The port failure at start-up is the settings dialog's message (its texts live in
// settings/optiontexts.h, the one home of the port-failure texts).
inline constexpr UiText PortWarningTitle = Texts::kWarningTitle;
inline constexpr UiText PortWarning = Texts::kPortFailed;

// Beside Edit2 when typed text holds characters code page 936 lacks; %1 is them.
// The dialog's SendChar says the same of the same text.
inline constexpr UiText Edit2OutsideCp936 = Texts::kSendCharOutsideCp936;

// The status bar's word on a reception that ended by itself.
inline constexpr UiText ReceiveEndedDocumentFull { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收已停止：接收窗口已满") };
inline constexpr UiText ReceiveEndedDocumentGone { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收已停止：接收窗口已关闭") };
inline constexpr UiText ReceiveEndedZeroLine { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收已停止：每行字数为0") };
inline constexpr UiText ReceiveEndedZeroParagraph { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "接收已停止：每段字数为0") };
inline constexpr UiText ReceiveSummaryNowhere { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "（没有窗口能写入接收统计）") };

// Sending: the port could not take a byte.
inline constexpr UiText SendPortNotOpen { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "串口未打开，未发送数据") };
inline constexpr UiText WriteFailed { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "串口写入失败，发送已停止：已发送 %1 个字节") };

// Recording to a file. %1 is the system's account of what failed, naming the file.
inline constexpr UiText LogDialogTitle { kContext, QT_TRANSLATE_NOOP("MainTexts", "记录到文件") };
inline const QString LogDefaultName
    = QStringLiteral("'byteway-'yyyyMMdd-HHmmss'.log'"); // untranslated
inline constexpr UiText LogOpenFailed { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "无法打开记录文件：%1") };
inline constexpr UiText LogFailed { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "记录到文件已停止：%1") };
inline constexpr UiText LogFieldName { kContext, QT_TRANSLATE_NOOP("MainTexts", "记录文件") };
inline constexpr UiText LogFieldTip { kContext, QT_TRANSLATE_NOOP("MainTexts", "正在记录到 %1") };

// The traffic field: counts since the port was opened, the receive rate over the
// last second, line errors where the driver counts them.
inline constexpr UiText TrafficName { kContext, QT_TRANSLATE_NOOP("MainTexts", "收发统计") };
inline constexpr UiText TrafficText { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "收 %1  发 %2  %3") };
inline constexpr UiText TrafficErrors { kContext, QT_TRANSLATE_NOOP("MainTexts", "  错误 %1") };
inline const QString RateBytes = QStringLiteral("%1 B/s"); // untranslated
inline const QString RateKilobytes = QStringLiteral("%1 kB/s"); // untranslated
inline constexpr UiText TrafficTip { kContext,
    QT_TRANSLATE_NOOP("MainTexts",
        "自打开串口起收到 %1 字节，发出 %2 字节\n"
        "最近一秒的接收速率：%3") };
inline constexpr UiText TrafficTipErrors { kContext,
    QT_TRANSLATE_NOOP("MainTexts",
        "\n线路错误：\n帧错误 %1\n校验错误 %2\n"
        "溢出 %3\n缓冲区溢出 %4\n中断 %5") };

// The language menu in 帮助, the same in both languages so that either reader finds it.
inline const QString LanguageMenu = QStringLiteral("语言 / Language"); // untranslated
inline const QString LanguageSystem = QStringLiteral("跟随系统 / System"); // untranslated
inline const QString LanguageChinese = QStringLiteral("中文"); // untranslated
inline const QString LanguageEnglish = QStringLiteral("English"); // untranslated
inline const QString LanguageChanged = QStringLiteral( // untranslated
    "新的界面语言在下次启动 Byteway 时生效。\n"
    "The new language takes effect the next time Byteway starts.");

// The port's state, a field on the right of the status bar: "COM1 → /dev/ttyUSB0
// 9600,8,N,1  已打开". %1 in the failure the reason; %1 in the reasons the group or
// the processes.
inline constexpr UiText PortStateName { kContext, QT_TRANSLATE_NOOP("MainTexts", "端口状态") };
inline constexpr UiText PortOpen { kContext, QT_TRANSLATE_NOOP("MainTexts", "已打开") };
inline constexpr UiText PortClosedByUser { kContext, QT_TRANSLATE_NOOP("MainTexts", "已关闭") };
inline constexpr UiText PortNotOpen { kContext, QT_TRANSLATE_NOOP("MainTexts", "未打开") };
inline constexpr UiText PortLost { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "设备已断开，等待设备重新接入") };
inline constexpr UiText PortFailed { kContext, QT_TRANSLATE_NOOP("MainTexts", "打开失败：%1") };
inline constexpr UiText ReasonMissing { kContext, QT_TRANSLATE_NOOP("MainTexts", "设备不存在") };
inline constexpr UiText ReasonNoAccessGroup { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "没有权限，用户须加入 %1 组") };
inline constexpr UiText ReasonNoAccess { kContext, QT_TRANSLATE_NOOP("MainTexts", "没有权限") };
inline constexpr UiText ReasonBusyBy { kContext, QT_TRANSLATE_NOOP("MainTexts", "设备被 %1 占用") };
inline constexpr UiText ReasonBusy { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "设备被其他程序占用") };
inline constexpr UiText ReasonBadNumber { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "端口号须在 1 到 8 之间") };
inline constexpr UiText ReasonRefused { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "设备不接受这些设置") };
// A network port: its state while connecting, the reasons of its failures (%1 in
// ReasonSettingRefused the setting), and what stands for the line settings of raw TCP.
inline constexpr UiText PortConnecting { kContext, QT_TRANSLATE_NOOP("MainTexts", "正在连接") };
inline constexpr UiText PortLostNet { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "%1，正在重新连接") };
inline constexpr UiText ReasonHostNotFound { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "找不到主机") };
inline constexpr UiText ReasonConnectionRefused { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "连接被拒绝") };
inline constexpr UiText ReasonNoAnswer { kContext, QT_TRANSLATE_NOOP("MainTexts", "超时无应答") };
inline constexpr UiText ReasonNoNegotiation { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "服务器未在时限内应答 RFC 2217 协商") };
inline constexpr UiText ReasonSettingRefused { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "服务器拒绝了 %1") };
inline constexpr UiText ReasonDropped { kContext, QT_TRANSLATE_NOOP("MainTexts", "连接已断开") };
inline constexpr UiText ReasonNetwork { kContext, QT_TRANSLATE_NOOP("MainTexts", "网络错误") };
inline constexpr UiText LineNotApplied { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "原始 TCP，线路设置不适用") };
inline constexpr UiText ReasonNotSerial { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "不是串口设备") };
inline constexpr UiText ReasonConsole { kContext, QT_TRANSLATE_NOOP("MainTexts", "是系统控制台") };
inline constexpr UiText PortPending { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "（下次打开：%1）") };

// Opening a big file: the progress window and its button.
inline constexpr UiText LoadProgressTitle { kContext, QT_TRANSLATE_NOOP("MainTexts", "打开文件") };
inline constexpr UiText LoadProgressLabel { kContext,
    QT_TRANSLATE_NOOP("MainTexts", "正在打开文件 %1 ……") };
inline constexpr UiText LoadProgressCancel { kContext, QT_TRANSLATE_NOOP("MainTexts", "取消") };

} // namespace MainTexts
