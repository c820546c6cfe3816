#include "status.h"

#include <system_error>

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
