#pragma once

#include "text/uitext.h"

#include <QString>

// Captions and messages of the file transfer dialogs and their progress, in one
// place; English in translations/byteway_en.ts.
namespace TransferTexts {

inline constexpr const char *kContext = "TransferTexts";

inline constexpr UiText SendCaption { kContext, QT_TRANSLATE_NOOP("TransferTexts", "发送文件") };
inline constexpr UiText ReceiveCaption { kContext, QT_TRANSLATE_NOOP("TransferTexts", "接收文件") };
inline constexpr UiText FileLabel { kContext, QT_TRANSLATE_NOOP("TransferTexts", "文件：") };
inline constexpr UiText FolderLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "保存到文件夹：") };
inline constexpr UiText NameLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "文件名 (XMODEM)：") };
inline constexpr UiText Browse { kContext, QT_TRANSLATE_NOOP("TransferTexts", "浏览...") };
inline constexpr UiText ProtocolLabel { kContext, QT_TRANSLATE_NOOP("TransferTexts", "协议：") };
inline constexpr UiText Raw { kContext, QT_TRANSLATE_NOOP("TransferTexts", "原始数据") };
inline constexpr UiText GapLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "字节间隔 (微秒)：") };
inline constexpr UiText ChunkLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "分块大小 (字节, 0 = 逐字节)：") };
inline constexpr UiText ChunkDelayLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "块间延时 (毫秒)：") };
inline constexpr UiText WaitPrompt { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "每行之后等待提示符") };
inline constexpr UiText PromptLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "提示符 (空 = 任意回应)：") };
inline constexpr UiText PromptTimeoutLabel { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "等待超时 (毫秒)：") };
inline constexpr UiText EchoSmall { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "小文件逐字节显示在窗口中") };
inline constexpr UiText ChooseFile { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "选择要发送的文件") };
inline constexpr UiText ChooseFolder { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "选择保存接收文件的文件夹") };
inline constexpr UiText NoFile { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "请选择一个存在的文件。") };
inline constexpr UiText NoFolder { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "请选择一个存在的文件夹。") };
inline constexpr UiText Sending { kContext, QT_TRANSLATE_NOOP("TransferTexts", "正在发送 %1") };
inline constexpr UiText Receiving { kContext, QT_TRANSLATE_NOOP("TransferTexts", "正在接收 %1") };
inline constexpr UiText Waiting { kContext, QT_TRANSLATE_NOOP("TransferTexts", "等待对方...") };
inline constexpr UiText ProgressLine { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "%1 / %2 字节, %3 字节/秒, 剩余 %4 秒, 重发 %5 次") };
inline constexpr UiText ProgressOpen { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "%1 字节, %2 字节/秒, 重发 %3 次") };
inline constexpr UiText Ok { kContext, QT_TRANSLATE_NOOP("TransferTexts", "确定") };
inline constexpr UiText Cancel { kContext, QT_TRANSLATE_NOOP("TransferTexts", "取消") };
inline constexpr UiText Done { kContext, QT_TRANSLATE_NOOP("TransferTexts", "文件传输完成: %1") };
inline constexpr UiText Failed { kContext, QT_TRANSLATE_NOOP("TransferTexts", "文件传输失败: %1") };
inline constexpr UiText Figures { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "%1 (%2 字节, %3 秒, %4 字节/秒)") };
inline constexpr UiText ShortFile { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "%1 不完整: 声明 %2 字节, 只收到 %3 字节") };
inline constexpr UiText ReceivedPart { kContext, QT_TRANSLATE_NOOP("TransferTexts", "已收到: %1") };
inline constexpr UiText Exists { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "文件 %1 已存在。是否替换？选择“否”则以新名称 %2 保存。") };
inline constexpr UiText Title { kContext, QT_TRANSLATE_NOOP("TransferTexts", "文件传输") };
inline constexpr UiText PortClosed { kContext,
    QT_TRANSLATE_NOOP("TransferTexts", "串口未打开，无法传输文件。") };

} // namespace TransferTexts
