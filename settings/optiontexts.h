#pragma once

#include "text/uitext.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

// Captions, items and messages of the settings dialog (UTF-8). Several captions end
// in blanks that the window layout had; they change nothing that the dialog does.
//
// The words are the Chinese interface's own and the source texts of the
// translations (translations/byteway_en.ts). A new entry is written as
//     inline constexpr UiText kName { kContext, QT_TRANSLATE_NOOP("Texts", "源文本") };
// (tools/convert-texts.py turns `inline constexpr const char *kName = "..."` entries
// into that form), then `make translations` adds it to the catalogue, where its
// English is filled in. Numbers and the texts of edits stay plain const char *
// marked "untranslated".
namespace Texts {

inline constexpr const char *kContext = "Texts";

inline constexpr UiText kCaption { kContext, QT_TRANSLATE_NOOP("Texts", "参数设定") };
inline constexpr UiText kSendingTab { kContext, QT_TRANSLATE_NOOP("Texts", "发送设定") };
inline constexpr UiText kReceivingTab { kContext, QT_TRANSLATE_NOOP("Texts", "接收设定") };
inline constexpr UiText kSystemTab { kContext, QT_TRANSLATE_NOOP("Texts", "系统设定") };
inline constexpr UiText kPortTab { kContext, QT_TRANSLATE_NOOP("Texts", "端口设定") };
inline constexpr UiText kOk { kContext, QT_TRANSLATE_NOOP("Texts", "确定") };
inline constexpr UiText kCancel { kContext, QT_TRANSLATE_NOOP("Texts", "取消") };

// Sending tab.
inline constexpr UiText kChkSendTimer { kContext, QT_TRANSLATE_NOOP("Texts", "定时发送") };
inline constexpr UiText kLabel1 { kContext, QT_TRANSLATE_NOOP("Texts", "发送时间间隔：    ") };
inline constexpr UiText kLabel11 { kContext, QT_TRANSLATE_NOOP("Texts", "毫秒    ") };
inline constexpr UiText kLabel18 { kContext,
    QT_TRANSLATE_NOOP("Texts", "每两个字符时间间隔：       ") };
inline constexpr UiText kLabel19 { kContext, QT_TRANSLATE_NOOP("Texts", "微秒   ") };
inline constexpr UiText kGroupBox1 { kContext, QT_TRANSLATE_NOOP("Texts", "发送字符串：") };
inline constexpr UiText kManSetting { kContext, QT_TRANSLATE_NOOP("Texts", "人工设定        ") };
inline constexpr UiText kAutoSetting { kContext, QT_TRANSLATE_NOOP("Texts", "自动设定") };
inline constexpr UiText kLabel2 { kContext, QT_TRANSLATE_NOOP("Texts", "从") };
inline constexpr UiText kLabel5 { kContext, QT_TRANSLATE_NOOP("Texts", "到") };

// Receiving tab.
inline constexpr UiText kLabel3 { kContext, QT_TRANSLATE_NOOP("Texts", "每行字数：      ") };
inline constexpr UiText kLabel4 { kContext, QT_TRANSLATE_NOOP("Texts", "每段字数：      ") };
inline constexpr UiText kChkRecOrder { kContext,
    QT_TRANSLATE_NOOP("Texts", "检测数据的正确性（此时设备有规律发送数据）     ") };
inline constexpr UiText kLabel8 { kContext, QT_TRANSLATE_NOOP("Texts", "每段数据从：     ") };
inline constexpr UiText kLabel17 { kContext, QT_TRANSLATE_NOOP("Texts", "到") };

// System tab.
inline constexpr UiText kChkAutoClear { kContext, QT_TRANSLATE_NOOP("Texts", "自动清除    ") };
inline constexpr UiText kLabel10 { kContext,
    QT_TRANSLATE_NOOP("Texts", "行之后自动清除         ") };

// Port tab.
inline constexpr UiText kLabel12 { kContext, QT_TRANSLATE_NOOP("Texts", "工作端口     ") };
inline constexpr UiText kLabel13 { kContext, QT_TRANSLATE_NOOP("Texts", "波特率     ") };
inline constexpr UiText kLabel14 { kContext, QT_TRANSLATE_NOOP("Texts", "数据位    ") };
inline constexpr UiText kLabel15 { kContext, QT_TRANSLATE_NOOP("Texts", "奇偶校验     ") };
inline constexpr UiText kLabel16 { kContext, QT_TRANSLATE_NOOP("Texts", "停止位    ") };
// Choosing the device of the port number (POSIX systems).
inline constexpr UiText kLabelComDevice { kContext, QT_TRANSLATE_NOOP("Texts", "设备") };
inline constexpr UiText kComDeviceName { kContext, QT_TRANSLATE_NOOP("Texts", "设备") };
inline constexpr UiText kComDeviceRefresh { kContext, QT_TRANSLATE_NOOP("Texts", "刷新") };
inline constexpr UiText kComDeviceRefreshTip { kContext,
    QT_TRANSLATE_NOOP("Texts", "重新列出本机的串口设备") };
// Details of a listed device: %1 serial number; %1:%2 USB vendor and product.
inline constexpr UiText kSerialNumber { kContext, QT_TRANSLATE_NOOP("Texts", "序列号 %1") };

// What assistive clients call the fields (their captions are labels beside them).
inline constexpr UiText kTimeIntervalName { kContext,
    QT_TRANSLATE_NOOP("Texts", "发送时间间隔（毫秒）") };
inline constexpr UiText kTwoCharDelayName { kContext,
    QT_TRANSLATE_NOOP("Texts", "两个字符间的延时（微秒）") };
inline constexpr UiText kSendCharName { kContext, QT_TRANSLATE_NOOP("Texts", "发送字符串") };
inline constexpr UiText kSendStartName { kContext, QT_TRANSLATE_NOOP("Texts", "自动发送从") };
inline constexpr UiText kSendEndName { kContext, QT_TRANSLATE_NOOP("Texts", "自动发送到") };
inline constexpr UiText kLineCharNumName { kContext, QT_TRANSLATE_NOOP("Texts", "每行字数") };
inline constexpr UiText kParaCharNumName { kContext, QT_TRANSLATE_NOOP("Texts", "每段字数") };
inline constexpr UiText kParaStartName { kContext, QT_TRANSLATE_NOOP("Texts", "每段数据从") };
inline constexpr UiText kParaEndName { kContext, QT_TRANSLATE_NOOP("Texts", "每段数据到") };
inline constexpr UiText kClearLineNumName { kContext,
    QT_TRANSLATE_NOOP("Texts", "自动清除的行数") };
inline constexpr UiText kComPortName { kContext, QT_TRANSLATE_NOOP("Texts", "工作端口") };
inline constexpr UiText kComBpsName { kContext, QT_TRANSLATE_NOOP("Texts", "波特率") };
inline constexpr UiText kComBitNumName { kContext, QT_TRANSLATE_NOOP("Texts", "数据位") };
inline constexpr UiText kComJOName { kContext, QT_TRANSLATE_NOOP("Texts", "奇偶校验") };
inline constexpr UiText kComBitStopName { kContext, QT_TRANSLATE_NOOP("Texts", "停止位") };

// The texts the edits and combo boxes have before FormShow fills them.
inline constexpr const char *kTimeIntervalText = "1000"; // untranslated
inline constexpr const char *kTwoCharDelayText = "100"; // untranslated
inline constexpr const char *kSendCharText = "0"; // untranslated
inline constexpr const char *kSendStartText = "0"; // untranslated
inline constexpr const char *kSendEndText = "128"; // untranslated
inline constexpr const char *kLineCharNumText = "10"; // untranslated
inline constexpr const char *kParaCharNumText = "100"; // untranslated
inline constexpr const char *kParaStartText = "0"; // untranslated
inline constexpr const char *kParaEndText = "128"; // untranslated
inline constexpr const char *kClearLineNumText = "100"; // untranslated

inline constexpr std::array kPortItems { "1", "2", "3", "4" };
// Thirteen items: 12800 after 115200, then the empty text.
inline constexpr std::array kBaudItems { "1200", "1800", "2400", "4800", "7200", "9600", "14400",
    "19200", "38400", "57600", "115200", "12800", "" };
inline constexpr std::array kDataBitItems { "4", "5", "6", "7", "8" };
inline constexpr std::array kParityItems { UiText { kContext, QT_TRANSLATE_NOOP("Texts", "无") },
    UiText { kContext, QT_TRANSLATE_NOOP("Texts", "奇") },
    UiText { kContext, QT_TRANSLATE_NOOP("Texts", "偶") },
    UiText { kContext, QT_TRANSLATE_NOOP("Texts", "标志") },
    UiText { kContext, QT_TRANSLATE_NOOP("Texts", "空格") } };
inline constexpr std::array kStopBitItems { "1", "1.5", "2" };
inline constexpr const char *kComPortText = "1"; // untranslated
inline constexpr const char *kComBpsText = "57600"; // untranslated
inline constexpr const char *kComBitNumText = "8"; // untranslated

// Messages.
inline constexpr UiText kWarningTitle { kContext, QT_TRANSLATE_NOOP("Texts", "警告") };
inline constexpr UiText kErrorTitle { kContext, QT_TRANSLATE_NOOP("Texts", "错误") };
inline constexpr UiText kBadChoice { kContext, QT_TRANSLATE_NOOP("Texts", "你的选择有误!") };
inline constexpr UiText kSendRangeReversed { kContext,
    QT_TRANSLATE_NOOP("Texts", "自动发送数据时，发送数据范围应从小到大！") };
inline constexpr UiText kParaRangeReversed { kContext,
    QT_TRANSLATE_NOOP("Texts", "验证接收数据时，数据范围应从小到大！") };
inline constexpr UiText kPortFailed { kContext,
    QT_TRANSLATE_NOOP("Texts", "  串口初始化失败,\n请检查串口参数是否设定正确") };
// Beside SendChar when typed text holds characters code page 936 lacks; %1 is them.
inline constexpr UiText kSendCharOutsideCp936 { kContext,
    QT_TRANSLATE_NOOP(
        "Texts", "“%1”无法用代码页936（GBK）保存，未输入。请只用汉字、ASCII等GBK字符。") };
// The settings file could not be written (the old one is left as it was); %1 the
// file, %2 the system's reason.
inline constexpr UiText kSaveFailed { kContext,
    QT_TRANSLATE_NOOP("Texts", "设置无法保存到 %1：\n%2\n原来的设置文件保持不变。") };
// %1 the link, %2 the system's reason.
inline constexpr UiText kBindFailed { kContext,
    QT_TRANSLATE_NOOP("Texts", "无法把所选设备写入端口链接 %1：\n%2") };
inline constexpr UiText kDeviceNameRefused { kContext,
    QT_TRANSLATE_NOOP("Texts", "这个设备名不能用作端口：\n%1") };
// For the general error report, which adds the full stop; %1 is the text.
inline constexpr UiText kNotAnInteger { kContext,
    QT_TRANSLATE_NOOP("Texts", "'%1' is not a valid integer value") };

inline QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

inline QString Text(const UiText &text)
{
    return text.text();
}

template <typename Item, std::size_t N>
QStringList Items(const std::array<Item, N> &items)
{
    QStringList list;
    for (const Item &item : items) {
        list.append(Text(item));
    }
    return list;
}

} // namespace Texts
