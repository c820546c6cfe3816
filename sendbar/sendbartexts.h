#pragma once

#include "text/uitext.h"

#include <QString>

// Captions, hints and messages of the send bar and its command dialog, in one
// place. Entries are written as in app/maintexts.h; the check names and byte
// orders beside them are not translated except for the order's words.
namespace SendBarTexts {

inline constexpr const char *kContext = "SendBarTexts";

inline constexpr UiText Ok { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "确定") };
inline constexpr UiText Cancel { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "取消") };
inline constexpr UiText Title { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "发送栏") };
inline constexpr UiText MenuHint { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "显示或隐藏发送栏：按回车发送一行，保存常用命令") };
inline constexpr UiText LineName { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "发送文本") };
inline constexpr UiText LineHint { kContext,
    QT_TRANSLATE_NOOP(
        "SendBarTexts", "回车发送，上下键翻出发送过的行。文本方式可用 \\r \\n \\t \\\\ \\xHH") };
inline constexpr UiText LineOutsideCp936 { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "GBK 中没有这些字符，不能发送：%1") };
inline constexpr UiText Mode { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "方式") };
inline constexpr UiText Ending { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "行尾") };
inline constexpr UiText Checksum { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "校验") };
inline constexpr UiText ModeText { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "文本") };
inline constexpr UiText ModeHex { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "十六进制") };
inline constexpr UiText EndingNone { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "无") };
inline constexpr UiText ChecksumNone { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "无") };
inline constexpr UiText LowFirst { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "%1（低字节在前）") };
inline constexpr UiText HighFirst { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "%1（高字节在前）") };
inline constexpr UiText Send { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "发送") };
inline constexpr UiText Preview { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "字节：%1") };
inline constexpr UiText PreviewNothing { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "字节：（无）") };
inline constexpr UiText PreviewLong { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "字节（共 %1 个）：%2 …") };
inline constexpr UiText NothingToSend { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "没有要发送的字节：行是空的，行尾为“无”") };
inline constexpr UiText LineCut { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "一行最多 %L1 个字符，超出的部分没有放进发送栏") };
inline constexpr UiText NotSent { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "不能发送：%1") };

inline constexpr UiText LoneBackslash { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "末尾的 \\ 后面缺少转义字符（要发送 \\ 请写 \\\\）") };
inline constexpr UiText UnknownEscape { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "不认识的转义 %1：只有 \\r \\n \\t \\\\ \\xHH") };
inline constexpr UiText ShortHexEscape { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "%1：\\x 后面要有两位十六进制数字") };
inline constexpr UiText NotInCodePage { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "GBK 中没有字符 %1") };
inline constexpr UiText NotHexDigit { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "%1 不是十六进制数字") };
inline constexpr UiText OddDigits { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "%1 的数字个数是奇数：每个字节两位") };
inline constexpr UiText EmptyGroup { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "0x 后面没有数字") };

inline constexpr UiText Commands { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "常用命令") };
inline constexpr UiText CommandsHint { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "单击发送；Ctrl+1 … Ctrl+9 发送前九条；右键编辑") };
inline constexpr UiText Add { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "添加(&A)") };
inline constexpr UiText AddHint { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "把发送栏当前的内容存为命令") };
inline constexpr UiText Edit { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "编辑(&D)") };
inline constexpr UiText Remove { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "删除(&M)") };
inline constexpr UiText Up { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "上移(&U)") };
inline constexpr UiText Down { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "下移(&N)") };
inline constexpr UiText Import { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "导入(&I)…") };
inline constexpr UiText Export { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "导出(&X)…") };
inline constexpr UiText FileFilter { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "命令文件 (*.txt);;所有文件 (*)") };
inline constexpr UiText ImportTitle { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "导入命令") };
inline constexpr UiText ExportTitle { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "导出命令") };
inline constexpr UiText ImportDone { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "导入了 %1 条命令。") };
inline constexpr UiText ImportBadLines { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "有 %1 行有错，没有导入：") };
inline constexpr UiText ImportBadLine { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "第 %1 行：%2") };
inline constexpr UiText ImportMoreBadLines { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "……另外还有 %1 行有错") };
inline constexpr UiText CommandNotSent { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "命令“%1”不能发送：%2") };

inline constexpr UiText DialogTitle { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "命令") };
inline constexpr UiText Name { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "名称") };
inline constexpr UiText Data { kContext, QT_TRANSLATE_NOOP("SendBarTexts", "数据") };
inline constexpr UiText NameEmpty { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "请填写名称（不能含制表符）") };

inline constexpr UiText Busy { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "正在发送，请等这次发送结束") };
inline constexpr UiText NoWindow { kContext,
    QT_TRANSLATE_NOOP("SendBarTexts", "没有显示回显的窗口：请先新建一个窗口") };

} // namespace SendBarTexts
