#include "systemcause.h"

#include <array>
#include <string>
#include <system_error>
#include <utility>

namespace {

// The codes behind each cause. Their texts are the portable ones Status uses.
constexpr std::array<std::pair<std::errc, SystemCause>, 13> kCodes { {
    { std::errc::permission_denied, SystemCause::NoPermission },
    { std::errc::operation_not_permitted, SystemCause::NoPermission },
    { std::errc::device_or_resource_busy, SystemCause::Busy },
    { std::errc::no_such_file_or_directory, SystemCause::Missing },
    { std::errc::no_such_device, SystemCause::Missing },
    { std::errc::no_such_device_or_address, SystemCause::Missing },
    { std::errc::inappropriate_io_control_operation, SystemCause::NotTerminal },
    { std::errc::io_error, SystemCause::Io },
    { std::errc::connection_refused, SystemCause::Refused },
    { std::errc::timed_out, SystemCause::TimedOut },
    { std::errc::network_unreachable, SystemCause::Unreachable },
    { std::errc::host_unreachable, SystemCause::Unreachable },
    { std::errc::connection_reset, SystemCause::Io },
} };

} // namespace

SystemCause CauseOf(const Status &failure)
{
    if (failure.ok()) {
        return SystemCause::None;
    }
    const std::string &reason = failure.reason();
    // The network layer's own wording for a name the resolver does not know.
    if (reason.starts_with("host not found")) {
        return SystemCause::NameNotFound;
    }
    for (const auto &[code, cause] : kCodes) {
        // Where the system has no text of its own for a code (Windows' C library for
        // most network codes) it says "Unknown error", which would match any other.
        const std::string text = std::make_error_code(code).message();
        if (!text.empty() && !text.starts_with("Unknown error")
            && reason.find(text) != std::string::npos) {
            return cause;
        }
    }
    switch (failure.kind()) {
    case ErrorKind::NoAccess:
        return SystemCause::NoPermission;
    case ErrorKind::Busy:
        return SystemCause::Busy;
    case ErrorKind::NotSerial:
        return SystemCause::NotTerminal;
    case ErrorKind::Timeout:
        return SystemCause::TimedOut;
    default:
        return SystemCause::None;
    }
}
