#pragma once

#include <QString>

// Captions, hints and messages of the main window, in one place (a namespace of
// its own: other windows keep theirs in headers too). A hint may hold a
// "|": the part before it is the tooltip, the part after it the status bar text.
namespace MainTexts {

inline const QString MainCaption = QStringLiteral("Byteway");

inline const QString BtnSend = QStringLiteral("发送");
inline const QString BtnRecieve = QStringLiteral("接收");
inline const QString BtnOption = QStringLiteral(" 设置");
inline const QString BtnClear = QStringLiteral("清空");
inline const QString BtnFind = QStringLiteral("查找");
inline const QString BtnCom = QStringLiteral("开关串口");
inline const QString BtnComHint = QStringLiteral("按下时关闭串口");

inline const QString Label1 = QStringLiteral("当前发送数据：");
inline const QString Label2 = QStringLiteral("数据格式：");
inline const QString Edit2Initial = QStringLiteral("00");
inline const QString Hexadecimal = QStringLiteral("16进制");
inline const QString Decimal = QStringLiteral("10进制");
inline const QString Characters = QStringLiteral("ACSII字符");

inline const QString File1 = QStringLiteral("文件(&F)");
inline const QString File1Hint = QStringLiteral("File related commands");
inline const QString FileNewItem = QStringLiteral("新建(&N)");
inline const QString FileNew1Hint = QStringLiteral("New|Create a new file");
inline const QString FileOpenItem = QStringLiteral("打开(&O)");
inline const QString FileOpen1Hint = QStringLiteral("Open|Open a file");
inline const QString FileCloseItem = QStringLiteral("关闭(&C)");
inline const QString FileClose1Hint = QStringLiteral("Close|Close current file");
inline const QString FileSaveAsItem = QStringLiteral("保存为 (&A)...");
inline const QString FileSaveAsHint
    = QStringLiteral("Save As|Save current file with different name");
inline const QString FileLogItem = QStringLiteral("记录到文件(&L)...");
inline const QString FileLogHint
    = QStringLiteral("Log to file|Record every byte received and sent to a file");
inline const QString FileExitItem = QStringLiteral("退出(&X)");
inline const QString FileExit1Hint = QStringLiteral("Exit|Exit application");

inline const QString Edit1 = QStringLiteral("编辑(&E)");
inline const QString Edit1Hint = QStringLiteral("Edit commands");
inline const QString CutItem = QStringLiteral("剪切(&T)");
inline const QString EditCut1Hint
    = QStringLiteral("Cut|Cuts the selection and puts it on the Clipboard");
inline const QString CopyItem = QStringLiteral("复制(&C)");
inline const QString EditCopy1Hint
    = QStringLiteral("Copy|Copies the selection and puts it on the Clipboard");
inline const QString PasteItem = QStringLiteral("粘贴(&P)");
inline const QString EditPaste1Hint = QStringLiteral("Paste|Inserts Clipboard contents");
inline const QString ItemFind = QStringLiteral("查找(&F)");
inline const QString ItemReplace = QStringLiteral("替换(&R)");
inline const QString TimeStampItem = QStringLiteral("时间标记(&M)");
inline const QString TimeStampHint
    = QStringLiteral("Time stamps|Put the time of day before every Receiving: and Sending: header");

inline const QString Window1 = QStringLiteral("窗口(&W)");
inline const QString Window1Hint = QStringLiteral("Window related commands");
inline const QString WindowCascadeItem = QStringLiteral("层叠(&C)");
inline const QString WindowCascade1Hint = QStringLiteral("Cascade");
inline const QString WindowTileItem = QStringLiteral("水平平铺(&H)");
inline const QString WindowTileHorizontal1Hint = QStringLiteral("Tile Horizontally");
inline const QString WindowTileItem2 = QStringLiteral("垂直平铺(&V)");
inline const QString WindowTileVertical1Hint = QStringLiteral("Tile Vertically");

inline const QString Help1 = QStringLiteral("帮助(&H)");
inline const QString Help1Hint = QStringLiteral("Help topics");
inline const QString HelpAboutItem = QStringLiteral("关于(&A)...");

// Dialog filters: what the user sees, then the pattern that really applies here
// ("*.*" would hide files without a dot on this platform).
inline const QString OpenFilter = QStringLiteral("All files (*.*) (*)");
inline const QString SaveFilter = QStringLiteral("All Files(*.*) (*)");

inline const QString DocumentPrefix = QStringLiteral("窗口");

inline const QString PortWarningTitle = QStringLiteral("警告");
inline const QString PortWarning = QStringLiteral("  串口初始化失败,\n请检查串口参数是否设定正确");

// Beside Edit2 when typed text holds characters code page 936 lacks; %1 is them.
inline const QString Edit2OutsideCp936
    = QStringLiteral("“%1”无法用代码页936（GBK）保存，未输入。请只用汉字、ASCII等GBK字符。");

// The status bar's word on a reception that ended by itself.
inline const QString ReceiveEndedDocumentFull = QStringLiteral("接收已停止：接收窗口已满");
inline const QString ReceiveEndedDocumentGone = QStringLiteral("接收已停止：接收窗口已关闭");
inline const QString ReceiveEndedZeroLine = QStringLiteral("接收已停止：每行字数为0");
inline const QString ReceiveEndedZeroParagraph = QStringLiteral("接收已停止：每段字数为0");
inline const QString ReceiveSummaryNowhere = QStringLiteral("（没有窗口能写入接收统计）");

// Sending: the port could not take a byte.
inline const QString SendPortNotOpen = QStringLiteral("串口未打开，未发送数据");
inline const QString WriteFailed = QStringLiteral("串口写入失败，发送已停止：已发送 %1 个字节");

// Recording to a file. %1 is the system's account of what failed, naming the file.
inline const QString LogDialogTitle = QStringLiteral("记录到文件");
inline const QString LogDefaultName = QStringLiteral("'byteway-'yyyyMMdd-HHmmss'.log'");
inline const QString LogOpenFailed = QStringLiteral("无法打开记录文件：%1");
inline const QString LogFailed = QStringLiteral("记录到文件已停止：%1");
inline const QString LogFieldName = QStringLiteral("记录文件");
inline const QString LogFieldTip = QStringLiteral("正在记录到 %1");

// The traffic field: counts since the port was opened, the receive rate over the
// last second, line errors where the driver counts them.
inline const QString TrafficName = QStringLiteral("收发统计");
inline const QString TrafficText = QStringLiteral("收 %1  发 %2  %3");
inline const QString TrafficErrors = QStringLiteral("  错误 %1");
inline const QString RateBytes = QStringLiteral("%1 B/s");
inline const QString RateKilobytes = QStringLiteral("%1 kB/s");
inline const QString TrafficTip = QStringLiteral("自打开串口起收到 %1 字节，发出 %2 字节\n"
                                                 "最近一秒的接收速率：%3");
inline const QString TrafficTipErrors = QStringLiteral("\n线路错误：\n帧错误 %1\n校验错误 %2\n"
                                                       "溢出 %3\n缓冲区溢出 %4\n中断 %5");

// The port's state, a field on the right of the status bar: "COM1 → /dev/ttyUSB0
// 9600,8,N,1  已打开". %1 in the failure the reason; %1 in the reasons the group or
// the processes.
inline const QString PortStateName = QStringLiteral("端口状态");
inline const QString PortOpen = QStringLiteral("已打开");
inline const QString PortClosedByUser = QStringLiteral("已关闭");
inline const QString PortNotOpen = QStringLiteral("未打开");
inline const QString PortLost = QStringLiteral("设备已断开，等待设备重新接入");
inline const QString PortFailed = QStringLiteral("打开失败：%1");
inline const QString ReasonMissing = QStringLiteral("设备不存在");
inline const QString ReasonNoAccessGroup = QStringLiteral("没有权限，用户须加入 %1 组");
inline const QString ReasonNoAccess = QStringLiteral("没有权限");
inline const QString ReasonBusyBy = QStringLiteral("设备被 %1 占用");
inline const QString ReasonBusy = QStringLiteral("设备被其他程序占用");
inline const QString ReasonBadNumber = QStringLiteral("端口号须在 1 到 8 之间");
inline const QString ReasonRefused = QStringLiteral("设备不接受这些设置");

} // namespace MainTexts
