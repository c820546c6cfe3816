#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

// Captions, items and messages of the settings dialog (UTF-8). Several captions end
// in blanks that the window layout had; they change nothing that the dialog does.
namespace Texts {

inline constexpr const char *kCaption = "参数设定";
inline constexpr const char *kSendingTab = "发送设定";
inline constexpr const char *kReceivingTab = "接收设定";
inline constexpr const char *kSystemTab = "系统设定";
inline constexpr const char *kPortTab = "端口设定";
inline constexpr const char *kOk = "确定";
inline constexpr const char *kCancel = "取消";

// Sending tab.
inline constexpr const char *kChkSendTimer = "定时发送";
inline constexpr const char *kLabel1 = "发送时间间隔：    ";
inline constexpr const char *kLabel11 = "毫秒    ";
inline constexpr const char *kLabel18 = "每两个字符时间间隔：       ";
inline constexpr const char *kLabel19 = "微秒   ";
inline constexpr const char *kGroupBox1 = "发送字符串：";
inline constexpr const char *kManSetting = "人工设定        ";
inline constexpr const char *kAutoSetting = "自动设定";
inline constexpr const char *kLabel2 = "从";
inline constexpr const char *kLabel5 = "到";

// Receiving tab.
inline constexpr const char *kLabel3 = "每行字数：      ";
inline constexpr const char *kLabel4 = "每段字数：      ";
inline constexpr const char *kChkRecOrder = "检测数据的正确性（此时设备有规律发送数据）     ";
inline constexpr const char *kLabel8 = "每段数据从：     ";
inline constexpr const char *kLabel17 = "到";

// System tab.
inline constexpr const char *kChkAutoClear = "自动清除    ";
inline constexpr const char *kLabel10 = "行之后自动清除         ";

// Port tab.
inline constexpr const char *kLabel12 = "工作端口     ";
inline constexpr const char *kLabel13 = "波特率     ";
inline constexpr const char *kLabel14 = "数据位    ";
inline constexpr const char *kLabel15 = "奇偶校验     ";
inline constexpr const char *kLabel16 = "停止位    ";
// Choosing the device of the port number (POSIX systems).
inline constexpr const char *kLabelComDevice = "设备";
inline constexpr const char *kComDeviceName = "设备";
inline constexpr const char *kComDeviceRefresh = "刷新";
inline constexpr const char *kComDeviceRefreshTip = "重新列出本机的串口设备";
// Details of a listed device: %1 serial number; %1:%2 USB vendor and product.
inline constexpr const char *kSerialNumber = "序列号 %1";

// The texts the edits and combo boxes have before FormShow fills them.
inline constexpr const char *kTimeIntervalText = "1000";
inline constexpr const char *kTwoCharDelayText = "100";
inline constexpr const char *kSendCharText = "0";
inline constexpr const char *kSendStartText = "0";
inline constexpr const char *kSendEndText = "128";
inline constexpr const char *kLineCharNumText = "10";
inline constexpr const char *kParaCharNumText = "100";
inline constexpr const char *kParaStartText = "0";
inline constexpr const char *kParaEndText = "128";
inline constexpr const char *kClearLineNumText = "100";

inline constexpr std::array kPortItems { "1", "2", "3", "4" };
// Thirteen items: 12800 after 115200, then the empty text.
inline constexpr std::array kBaudItems { "1200", "1800", "2400", "4800", "7200", "9600", "14400",
    "19200", "38400", "57600", "115200", "12800", "" };
inline constexpr std::array kDataBitItems { "4", "5", "6", "7", "8" };
inline constexpr std::array kParityItems { "无", "奇", "偶", "标志", "空格" };
inline constexpr std::array kStopBitItems { "1", "1.5", "2" };
inline constexpr const char *kComPortText = "1";
inline constexpr const char *kComBpsText = "57600";
inline constexpr const char *kComBitNumText = "8";

// Messages.
inline constexpr const char *kWarningTitle = "警告";
inline constexpr const char *kErrorTitle = "错误";
inline constexpr const char *kBadChoice = "你的选择有误!";
inline constexpr const char *kSendRangeReversed = "自动发送数据时，发送数据范围应从小到大！";
inline constexpr const char *kParaRangeReversed = "验证接收数据时，数据范围应从小到大！";
inline constexpr const char *kPortFailed = "  串口初始化失败,\n请检查串口参数是否设定正确";
// Beside SendChar when typed text holds characters code page 936 lacks; %1 is them.
inline constexpr const char *kSendCharOutsideCp936
    = "“%1”无法用代码页936（GBK）保存，未输入。请只用汉字、ASCII等GBK字符。";
// %1 the link, %2 the system's reason.
inline constexpr const char *kBindFailed = "无法把所选设备写入端口链接 %1：\n%2";
// For the general error report, which adds the full stop; %1 is the text.
inline constexpr const char *kNotAnInteger = "'%1' is not a valid integer value";

inline QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

template <std::size_t N>
QStringList Items(const std::array<const char *, N> &items)
{
    QStringList list;
    for (const char *item : items) {
        list.append(QString::fromUtf8(item));
    }
    return list;
}

} // namespace Texts
