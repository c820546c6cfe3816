#include "status.h"

#include <cerrno>
#include <system_error>

ErrorKind KindOfErrno(int code)
{
    switch (static_cast<std::errc>(code)) {
    case std::errc::no_such_file_or_directory:
    case std::errc::not_a_directory:
    case std::errc::no_such_device:
    case std::errc::no_such_device_or_address:
        return ErrorKind::NotFound;
    case std::errc::permission_denied:
    case std::errc::operation_not_permitted:
    case std::errc::read_only_file_system:
        return ErrorKind::NoAccess;
    case std::errc::device_or_resource_busy:
    case std::errc::text_file_busy:
        return ErrorKind::Busy;
    default:
        return ErrorKind::Io;
    }
}

Status Status::FromErrno(ErrorKind kind, int code, const std::string &what)
{
    // generic_category's text is the portable strerror, safe on any thread.
    std::string reason = what;
    if (!reason.empty()) {
        reason += ": ";
    }
    reason += std::generic_category().message(code);
    return { kind, std::move(reason) };
}

Status Status::FromErrno(int code, const std::string &what)
{
    return FromErrno(KindOfErrno(code), code, what);
}

Status Status::FromErrorCode(const std::error_code &code, const std::string &what)
{
    // The standard library reports system errors in the system category; their values
    // are errno codes on POSIX. Elsewhere (Win32 codes) the kind is not told apart.
    const std::error_condition condition = code.default_error_condition();
    const ErrorKind kind = condition.category() == std::generic_category()
        ? KindOfErrno(condition.value())
        : ErrorKind::Io;
    std::string reason = what;
    if (!reason.empty()) {
        reason += ": ";
    }
    reason += code.message();
    return { kind, std::move(reason) };
}
