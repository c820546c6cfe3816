#pragma once

#include "text/uitext.h"

#include <QString>

// Captions and messages of the trigger and sequence windows and their menu items.
namespace AutomationTexts {

inline constexpr const char *kContext = "AutomationTexts";

inline constexpr UiText TriggersItem { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "自动应答…") };
inline constexpr UiText TriggersHint { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "收到的数据符合规则时自动回复") };
inline constexpr UiText SwitchItem { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "启用自动应答") };
inline constexpr UiText SwitchHint { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "打开或关闭全部自动应答规则 (每次启动都是关闭的)") };
inline constexpr UiText SequencesItem { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "序列…") };
inline constexpr UiText SequencesHint { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "按步骤运行测试: 发送、等待、检查应答、控制线") };
inline constexpr UiText TriggersCaption { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "自动应答") };
inline constexpr UiText SequencesCaption { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "序列") };
inline constexpr UiText Rules { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "规则") };
inline constexpr UiText Steps { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "步骤") };
inline constexpr UiText FileText { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "规则和序列 (文本)") };
inline constexpr UiText Apply { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "应用") };
inline constexpr UiText Import { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "导入…") };
inline constexpr UiText Export { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "导出…") };
inline constexpr UiText TurnOn { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "开启") };
inline constexpr UiText Resume { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "恢复暂停的规则") };
inline constexpr UiText Name { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "名称") };
inline constexpr UiText Match { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "匹配") };
inline constexpr UiText Reply { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "回复") };
inline constexpr UiText Matched { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "匹配次数") };
inline constexpr UiText Fired { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "回复次数") };
inline constexpr UiText State { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "状态") };
inline constexpr UiText Active { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "有效") };
inline constexpr UiText Disabled { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "停用") };
inline constexpr UiText Paused { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "已暂停") };
inline constexpr UiText Done { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "已完成") };
inline constexpr UiText RulePaused { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "自动应答: %1") };
inline constexpr UiText Sequence { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "序列:") };
inline constexpr UiText Start { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "开始") };
inline constexpr UiText Stop { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "停止") };
inline constexpr UiText Step { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "步骤") };
inline constexpr UiText Result { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "结果") };
inline constexpr UiText Time { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "时间(秒)") };
inline constexpr UiText Detail { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "说明") };
inline constexpr UiText StepPassed { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "通过") };
inline constexpr UiText StepFailed { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "失败") };
inline constexpr UiText RunningStep { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "正在运行第 %1 步 (%2 秒): %3") };
inline constexpr UiText Summary { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "%1: %2 步通过, %3 步失败, 用时 %4 秒 %5") };
inline constexpr UiText VerdictPassed { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "通过") };
inline constexpr UiText VerdictFailed { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "未通过") };
inline constexpr UiText VerdictCouldNotRun { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "无法运行") };
inline constexpr UiText VerdictStopped { kContext, QT_TRANSLATE_NOOP("AutomationTexts", "已停止") };
inline constexpr UiText NoSequence { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "没有序列: 先在文本中写一个 [sequence] 并应用") };
inline constexpr UiText PortNotOpen { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "端口未打开, 无法运行序列") };
inline constexpr UiText Applied { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "已应用: %1 条规则, %2 个序列") };
inline constexpr UiText FileFilter { kContext,
    QT_TRANSLATE_NOOP("AutomationTexts", "自动化文件 (*.ini *.txt);;所有文件 (*)") };

} // namespace AutomationTexts
