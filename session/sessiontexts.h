#pragma once

#include "text/uitext.h"

// Captions and messages of the session view and its menu item, in one place.
namespace SessionTexts {

inline constexpr const char *kContext = "SessionTexts";

inline constexpr UiText Caption { kContext, QT_TRANSLATE_NOOP("SessionTexts", "会话视图") };
inline constexpr UiText MenuItem { kContext, QT_TRANSLATE_NOOP("SessionTexts", "会话视图") };
inline constexpr UiText MenuHint { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "按时间和方向查看收发的每个字节: 文本、十六进制或帧") };
inline constexpr UiText Mode { kContext, QT_TRANSLATE_NOOP("SessionTexts", "显示方式") };
inline constexpr UiText ModeText { kContext, QT_TRANSLATE_NOOP("SessionTexts", "文本") };
inline constexpr UiText ModeHex { kContext, QT_TRANSLATE_NOOP("SessionTexts", "十六进制") };
inline constexpr UiText ModeFrames { kContext, QT_TRANSLATE_NOOP("SessionTexts", "帧") };
inline constexpr UiText Encoding { kContext, QT_TRANSLATE_NOOP("SessionTexts", "编码") };
inline constexpr UiText LineBreak { kContext, QT_TRANSLATE_NOOP("SessionTexts", "换行") };
inline constexpr UiText BreakAny { kContext, QT_TRANSLATE_NOOP("SessionTexts", "任意") };
inline constexpr UiText StripAnsi { kContext, QT_TRANSLATE_NOOP("SessionTexts", "去除 ANSI 序列") };
inline constexpr UiText Split { kContext, QT_TRANSLATE_NOOP("SessionTexts", "分帧") };
inline constexpr UiText SplitGapMs { kContext, QT_TRANSLATE_NOOP("SessionTexts", "间隔(毫秒)") };
inline constexpr UiText SplitGapChars { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "间隔(字符时间)") };
inline constexpr UiText SplitDelimiter { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "分隔符(十六进制)") };
inline constexpr UiText SplitLength { kContext, QT_TRANSLATE_NOOP("SessionTexts", "定长(字节)") };
inline constexpr UiText SplitValue { kContext, QT_TRANSLATE_NOOP("SessionTexts", "分帧的值") };
inline constexpr UiText Baud { kContext, QT_TRANSLATE_NOOP("SessionTexts", "波特率") };
inline constexpr UiText Checks { kContext, QT_TRANSLATE_NOOP("SessionTexts", "校验 CRC/NMEA") };
inline constexpr UiText Pause { kContext, QT_TRANSLATE_NOOP("SessionTexts", "暂停") };
inline constexpr UiText OpenCapture { kContext, QT_TRANSLATE_NOOP("SessionTexts", "打开记录…") };
inline constexpr UiText Clear { kContext, QT_TRANSLATE_NOOP("SessionTexts", "清空") };
inline constexpr UiText Search { kContext, QT_TRANSLATE_NOOP("SessionTexts", "查找") };
inline constexpr UiText SearchHex { kContext, QT_TRANSLATE_NOOP("SessionTexts", "十六进制") };
inline constexpr UiText CaseSensitive { kContext, QT_TRANSLATE_NOOP("SessionTexts", "区分大小写") };
inline constexpr UiText Previous { kContext, QT_TRANSLATE_NOOP("SessionTexts", "上一个") };
inline constexpr UiText Next { kContext, QT_TRANSLATE_NOOP("SessionTexts", "下一个") };
inline constexpr UiText Filter { kContext, QT_TRANSLATE_NOOP("SessionTexts", "只显示匹配") };
inline constexpr UiText Hits { kContext, QT_TRANSLATE_NOOP("SessionTexts", "%1 处") };
inline constexpr UiText HitsMore { kContext, QT_TRANSLATE_NOOP("SessionTexts", "超过 %1 处") };
inline constexpr UiText Copy { kContext, QT_TRANSLATE_NOOP("SessionTexts", "复制") };
inline constexpr UiText CopyText { kContext, QT_TRANSLATE_NOOP("SessionTexts", "复制为文本") };
inline constexpr UiText CopyHex { kContext, QT_TRANSLATE_NOOP("SessionTexts", "复制为十六进制") };
inline constexpr UiText CopyC { kContext, QT_TRANSLATE_NOOP("SessionTexts", "复制为 C 数组") };
inline constexpr UiText Export { kContext, QT_TRANSLATE_NOOP("SessionTexts", "导出") };
inline constexpr UiText ExportCapture { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "选中部分或全部存为记录文件…") };
inline constexpr UiText ExportCsv { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "选中部分或全部存为 CSV…") };
inline constexpr UiText Bound { kContext, QT_TRANSLATE_NOOP("SessionTexts", "内存上限(MiB)") };
inline constexpr UiText Rules { kContext, QT_TRANSLATE_NOOP("SessionTexts", "高亮规则…") };
inline constexpr UiText RulesHint { kContext,
    QT_TRANSLATE_NOOP(
        "SessionTexts", "每行一条: text、regex 或 hex, 颜色 #rrggbb, 模式, 以制表符分隔") };
inline constexpr UiText RuleBad { kContext, QT_TRANSLATE_NOOP("SessionTexts", "第 %1 行: %2") };
inline constexpr UiText RuleSlow { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "高亮规则太慢, 已停用: %1") };
inline constexpr UiText Dropped { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "已丢弃最早的 %1 字节") };
inline constexpr UiText Lost { kContext, QT_TRANSLATE_NOOP("SessionTexts", "%1 字节未能记下") };
inline constexpr UiText Size { kContext, QT_TRANSLATE_NOOP("SessionTexts", "%1 字节") };
inline constexpr UiText View { kContext, QT_TRANSLATE_NOOP("SessionTexts", "会话内容") };
inline constexpr UiText Refused { kContext, QT_TRANSLATE_NOOP("SessionTexts", "无法分帧: %1") };
inline constexpr UiText BadHex { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "不是十六进制字节: %1") };
inline constexpr UiText OpenFailed { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "无法打开记录文件") };
inline constexpr UiText SaveFailed { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "无法保存文件 %1") };
inline constexpr UiText CaptureFilter { kContext,
    QT_TRANSLATE_NOOP("SessionTexts", "记录文件 (*.log *.txt);;原始记录 (*)") };
inline constexpr UiText CsvFilter { kContext, QT_TRANSLATE_NOOP("SessionTexts", "CSV (*.csv)") };
inline constexpr UiText Exception { kContext, QT_TRANSLATE_NOOP("SessionTexts", "异常") };
inline constexpr UiText CrcGood { kContext, QT_TRANSLATE_NOOP("SessionTexts", "CRC 正确") };
inline constexpr UiText CrcBad { kContext, QT_TRANSLATE_NOOP("SessionTexts", "CRC 错误") };
inline constexpr UiText NmeaGood { kContext, QT_TRANSLATE_NOOP("SessionTexts", "校验和正确") };
inline constexpr UiText NmeaBad { kContext, QT_TRANSLATE_NOOP("SessionTexts", "校验和错误") };
inline constexpr UiText Function1 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "读线圈") };
inline constexpr UiText Function2 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "读离散输入") };
inline constexpr UiText Function3 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "读保持寄存器") };
inline constexpr UiText Function4 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "读输入寄存器") };
inline constexpr UiText Function5 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "写单个线圈") };
inline constexpr UiText Function6 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "写单个寄存器") };
inline constexpr UiText Function15 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "写多个线圈") };
inline constexpr UiText Function16 { kContext, QT_TRANSLATE_NOOP("SessionTexts", "写多个寄存器") };
inline constexpr UiText FunctionOther { kContext, QT_TRANSLATE_NOOP("SessionTexts", "功能 %1") };
inline constexpr UiText Received { kContext, QT_TRANSLATE_NOOP("SessionTexts", "收") };
inline constexpr UiText Sent { kContext, QT_TRANSLATE_NOOP("SessionTexts", "发") };

} // namespace SessionTexts
