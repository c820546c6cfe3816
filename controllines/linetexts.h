#pragma once

#include "serial/controllines.h"
#include "text/uitext.h"

#include <QString>

// Captions, hints and messages of the control-line strip and its options (see
// app/maintexts.h for how an entry is added and translated).
namespace LineTexts {

inline constexpr const char *kContext = "LineTexts";

inline const QString Dtr = QStringLiteral("DTR"); // untranslated
inline const QString Rts = QStringLiteral("RTS"); // untranslated
inline const QString Cts = QStringLiteral("CTS"); // untranslated
inline const QString Dsr = QStringLiteral("DSR"); // untranslated
inline const QString Dcd = QStringLiteral("DCD"); // untranslated
inline const QString Ri = QStringLiteral("RI"); // untranslated

// The caption of a line: its name.
inline QString NameOf(ModemLine line)
{
    const QString names[] = { Dtr, Rts, Cts, Dsr, Dcd, Ri };
    return names[static_cast<int>(line)];
}

inline constexpr UiText DtrHint { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "DTR（数据终端就绪）：按下为有效，显示驱动程序读回的状态") };
inline constexpr UiText RtsHint { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "RTS（请求发送）：按下为有效，显示驱动程序读回的状态") };
inline constexpr UiText CtsHint { kContext, QT_TRANSLATE_NOOP("LineTexts", "CTS（清除发送）") };
inline constexpr UiText DsrHint { kContext, QT_TRANSLATE_NOOP("LineTexts", "DSR（数据设备就绪）") };
inline constexpr UiText DcdHint { kContext, QT_TRANSLATE_NOOP("LineTexts", "DCD（载波检测）") };
inline constexpr UiText RiHint { kContext, QT_TRANSLATE_NOOP("LineTexts", "RI（振铃指示）") };
inline constexpr UiText Pulse { kContext, QT_TRANSLATE_NOOP("LineTexts", "%1 脉冲（%2 毫秒）") };
inline constexpr UiText Break { kContext, QT_TRANSLATE_NOOP("LineTexts", "发送中断") };
inline constexpr UiText BreakHint { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "在发送线上发出 %1 毫秒的中断信号") };
inline constexpr UiText Unsupported { kContext, QT_TRANSLATE_NOOP("LineTexts", "%1\n不可用：%2") };
inline constexpr UiText RtsOwned { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "%1\nRTS/CTS 流控掌管着 RTS") };
inline constexpr UiText Unknown { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "%1\n状态未知：服务器没有报告这条线的状态") };
inline constexpr UiText UnknownState { kContext, QT_TRANSLATE_NOOP("LineTexts", "状态未知") };
inline constexpr UiText UnknownCaption { kContext, QT_TRANSLATE_NOOP("LineTexts", "%1 ?") };
inline constexpr UiText PortClosed { kContext, QT_TRANSLATE_NOOP("LineTexts", "串口未打开") };

// The settings dialog's port tab and the options dialog.
inline constexpr UiText FlowLabel { kContext, QT_TRANSLATE_NOOP("LineTexts", "流控") };
inline constexpr UiText FlowLeave { kContext, QT_TRANSLATE_NOOP("LineTexts", "保持原样") };
inline constexpr UiText FlowNone { kContext, QT_TRANSLATE_NOOP("LineTexts", "无") };
inline const QString FlowRtsCts = QStringLiteral("RTS/CTS"); // untranslated
inline const QString FlowXonXoff = QStringLiteral("XON/XOFF"); // untranslated
inline constexpr UiText FlowHint { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "打开串口时设置的流控；“保持原样”不改动设备的设置") };
inline constexpr UiText OptionsButton { kContext, QT_TRANSLATE_NOOP("LineTexts", "控制线…") };
inline constexpr UiText OptionsTitle { kContext, QT_TRANSLATE_NOOP("LineTexts", "控制线设置") };
inline constexpr UiText DtrAtOpen { kContext, QT_TRANSLATE_NOOP("LineTexts", "打开时 DTR") };
inline constexpr UiText RtsAtOpen { kContext, QT_TRANSLATE_NOOP("LineTexts", "打开时 RTS") };
inline constexpr UiText AtOpenLeave { kContext, QT_TRANSLATE_NOOP("LineTexts", "保持原样") };
inline constexpr UiText AtOpenOn { kContext, QT_TRANSLATE_NOOP("LineTexts", "有效") };
inline constexpr UiText AtOpenOff { kContext, QT_TRANSLATE_NOOP("LineTexts", "无效") };
inline constexpr UiText PulseLength { kContext, QT_TRANSLATE_NOOP("LineTexts", "脉冲时长") };
inline constexpr UiText BreakLength { kContext, QT_TRANSLATE_NOOP("LineTexts", "中断时长") };
inline constexpr UiText Milliseconds { kContext, QT_TRANSLATE_NOOP("LineTexts", " 毫秒") };
inline const QString Rs485Group = QStringLiteral("RS-485"); // untranslated
inline constexpr UiText Rs485Apply { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "打开串口时写入以下 RS-485 设置") };
inline constexpr UiText Rs485Enabled { kContext, QT_TRANSLATE_NOOP("LineTexts", "启用 RS-485") };
inline constexpr UiText Rs485RtsOnSend { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "发送时 RTS 有效") };
inline constexpr UiText Rs485RtsAfterSend { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "发送后 RTS 有效") };
inline constexpr UiText Rs485DelayBefore { kContext, QT_TRANSLATE_NOOP("LineTexts", "发送前延时") };
inline constexpr UiText Rs485DelayAfter { kContext, QT_TRANSLATE_NOOP("LineTexts", "发送后延时") };
inline constexpr UiText Rs485RxDuringTx { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "发送时也接收") };
inline constexpr UiText Rs485Unavailable { kContext,
    QT_TRANSLATE_NOOP("LineTexts", "当前设备不支持 RS-485：%1") };

} // namespace LineTexts
