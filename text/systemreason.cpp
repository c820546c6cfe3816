#include "systemreason.h"

#include "localpath.h"
#include "systemcause.h"
#include "uitext.h"

namespace {

inline constexpr const char *kContext = "SystemReasonTexts";

inline constexpr UiText NoPermission { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "没有权限") };
inline constexpr UiText Busy { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "设备正被其他程序占用") };
inline constexpr UiText Missing { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "设备或文件不存在") };
inline constexpr UiText NotTerminal { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "这个设备不是串口，不支持这项操作") };
inline constexpr UiText Io { kContext, QT_TRANSLATE_NOOP("SystemReasonTexts", "读写出错") };
inline constexpr UiText Refused { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "对方拒绝了连接") };
inline constexpr UiText TimedOut { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "等待回应超时") };
inline constexpr UiText Unreachable { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "网络不通，到不了对方") };
inline constexpr UiText NameNotFound { kContext,
    QT_TRANSLATE_NOOP("SystemReasonTexts", "找不到这个主机名") };
inline constexpr UiText WithSystem { kContext, QT_TRANSLATE_NOOP("SystemReasonTexts", "%1（%2）") };

} // namespace

QString CauseInWords(const Status &failure)
{
    switch (CauseOf(failure)) {
    case SystemCause::NoPermission:
        return NoPermission;
    case SystemCause::Busy:
        return Busy;
    case SystemCause::Missing:
        return Missing;
    case SystemCause::NotTerminal:
        return NotTerminal;
    case SystemCause::Io:
        return Io;
    case SystemCause::Refused:
        return Refused;
    case SystemCause::TimedOut:
        return TimedOut;
    case SystemCause::Unreachable:
        return Unreachable;
    case SystemCause::NameNotFound:
        return NameNotFound;
    case SystemCause::None:
        break;
    }
    return {};
}

QString ReasonInWords(const Status &failure)
{
    const QString system = FromLocal(failure.reason());
    const QString cause = CauseInWords(failure);
    return cause.isEmpty() ? system : WithSystem.arg(cause, system);
}
