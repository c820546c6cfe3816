#pragma once

#include "text/uitext.h"

#include <QString>

// Captions and messages of the line test window and its menu item, in one place.
namespace LineTestTexts {

inline constexpr const char *kContext = "LineTestTexts";

inline constexpr UiText Tools1 { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "工具(&T)") };
inline constexpr UiText Tools1Hint { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "测试线路的工具") };
inline constexpr UiText LineTestItem { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "线路测试") };
inline constexpr UiText LineTestHint { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "用测试图案测量线路: 速率、错误和误码率") };
inline constexpr UiText Caption { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "线路测试") };
inline constexpr UiText Pattern { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "图案:") };
inline constexpr UiText Counting { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "计数 0..255") };
inline constexpr UiText PatternFile { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "文件…") };
inline constexpr UiText Mode { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "方式:") };
inline constexpr UiText Loopback { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "环回") };
inline constexpr UiText ReceiveOnly { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "只收") };
inline constexpr UiText TransmitOnly { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "只发") };
inline constexpr UiText Duration { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "时长(秒):") };
inline constexpr UiText NoLimit { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "不限") };
inline constexpr UiText Rate { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "速率(字节/秒):") };
inline constexpr UiText LineSpeed { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "线路最快") };
// What assistive clients call the window's parts (captions with a colon are labels).
inline constexpr UiText PatternName { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "图案") };
inline constexpr UiText ModeName { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "方式") };
inline constexpr UiText DurationName { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "时长（秒）") };
inline constexpr UiText RateName { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "速率（字节/秒）") };
inline constexpr UiText ChartName { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "速率与错误的曲线") };
inline constexpr UiText ErrorTableName { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "错误位置") };
inline constexpr UiText Start { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "开始") };
inline constexpr UiText Stop { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "停止") };
inline constexpr UiText SaveJson { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "保存 JSON") };
inline constexpr UiText SaveCsv { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "保存 CSV") };
inline constexpr UiText CopySummary { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "复制摘要") };
inline constexpr UiText Traffic { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "发送 %1 字节, 接收 %2 字节, 已检查 %3 字节") };
inline constexpr UiText RateFigure { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "速率: 当前 %1 字节/秒, 平均 %2 字节/秒 (线路容量的 %3%)") };
inline constexpr UiText ErrorsFigure { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "错误: %1 (损坏 %2, 丢失 %3, 插入 %4)") };
inline constexpr UiText BerFigure { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "%1 个错误位 / %2 位: 误码率 < %3 (置信度 95%)") };
inline constexpr UiText LatencyFigure { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "往返延迟: 最小 %1 ms, 中位 %2 ms, p99 %3 ms") };
inline constexpr UiText LatencyNone { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "往返延迟: 无") };
inline constexpr UiText DriverFigure { kContext,
    QT_TRANSLATE_NOOP(
        "LineTestTexts", "驱动计数: 溢出 %1, 帧错误 %2, 校验错误 %3, 中断 %4, 缓冲区溢出 %5") };
inline constexpr UiText DriverNone { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "驱动计数: 驱动不提供") };
inline constexpr UiText Running { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "测试中…") };
inline constexpr UiText Passed { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "通过") };
inline constexpr UiText Failed { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "未通过") };
inline constexpr UiText PortNotOpen { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "端口未打开, 无法测试") };
inline constexpr UiText Interrupted { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "测试中断: %1") };
inline constexpr UiText Offset { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "偏移") };
inline constexpr UiText Kind { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "类型") };
inline constexpr UiText Expected { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "应为") };
inline constexpr UiText Received { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "实收") };
inline constexpr UiText Time { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "时间(秒)") };
inline constexpr UiText Corrupted { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "损坏") };
inline constexpr UiText Lost { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "丢失") };
inline constexpr UiText Inserted { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "插入") };
inline constexpr UiText RateSeries { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "速率 (KB/s)") };
inline constexpr UiText ErrorSeries { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "错误") };
inline constexpr UiText ChooseFile { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "选择图案文件") };
inline constexpr UiText SaveResult { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "保存结果") };
inline constexpr UiText CannotWrite { kContext, QT_TRANSLATE_NOOP("LineTestTexts", "无法写入 %1") };
inline constexpr UiText CannotRead { kContext,
    QT_TRANSLATE_NOOP("LineTestTexts", "无法读取图案文件: %1") };

} // namespace LineTestTexts
