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

// Opening a big file: the progress window and its button.
inline const QString LoadProgressTitle = QStringLiteral("打开文件");
inline const QString LoadProgressLabel = QStringLiteral("正在打开文件 %1 ……");
inline const QString LoadProgressCancel = QStringLiteral("取消");

inline const QString PortWarningTitle = QStringLiteral("警告");
inline const QString PortWarning = QStringLiteral("  串口初始化失败,\n请检查串口参数是否设定正确");

} // namespace MainTexts
