#include "text/systemcause.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>

namespace {

struct CauseRow
{
    std::string name;
    Status failure;
    SystemCause cause;
};

Status FromCode(ErrorKind kind, std::errc code, const std::string &what)
{
    return Status::FromErrno(kind, static_cast<int>(code), what);
}

class CauseTest : public ::testing::TestWithParam<CauseRow>
{
};

// Each reason as the port, the control lines and the network put it, and the
// cause the interface names for it.
TEST_P(CauseTest, Named)
{
    EXPECT_EQ(CauseOf(GetParam().failure), GetParam().cause);
}

INSTANTIATE_TEST_SUITE_P(Reasons, CauseTest,
    ::testing::Values(
        CauseRow { "permission",
            FromCode(ErrorKind::NoAccess, std::errc::permission_denied, "open /dev/ttyS0"),
            SystemCause::NoPermission },
        CauseRow { "busy",
            FromCode(ErrorKind::Busy, std::errc::device_or_resource_busy, "open /dev/ttyUSB0"),
            SystemCause::Busy },
        CauseRow { "missing",
            FromCode(
                ErrorKind::NotFound, std::errc::no_such_file_or_directory, "open /dev/ttyUSB9"),
            SystemCause::Missing },
        CauseRow { "no_device", FromCode(ErrorKind::Lost, std::errc::no_such_device, "read"),
            SystemCause::Missing },
        CauseRow { "not_a_terminal",
            FromCode(ErrorKind::Io, std::errc::inappropriate_io_control_operation,
                "reading the modem lines"),
            SystemCause::NotTerminal },
        CauseRow {
            "io_error", FromCode(ErrorKind::Io, std::errc::io_error, "write"), SystemCause::Io },
        CauseRow { "timed_out", FromCode(ErrorKind::Timeout, std::errc::timed_out, "connect"),
            SystemCause::TimedOut },
        CauseRow { "no_answer", Status(ErrorKind::Timeout, "no answer within the time-out"),
            SystemCause::TimedOut },
        CauseRow { "name_not_found",
            Status(ErrorKind::NotFound, "host not found: lab-pi (Name or service not known)"),
            SystemCause::NameNotFound },
        CauseRow { "kind_only_no_access", Status(ErrorKind::NoAccess, "access refused by policy"),
            SystemCause::NoPermission },
        CauseRow { "uncommon", FromCode(ErrorKind::Io, std::errc::file_too_large, "write"),
            SystemCause::None },
        CauseRow { "success", Status(), SystemCause::None }),
    [](const ::testing::TestParamInfo<CauseRow> &row) { return row.param.name; });

#ifndef _WIN32
// The network codes by the C library's texts, which Windows' C library does not have
// (its network reasons are Winsock's own texts, and go by their kind).
INSTANTIATE_TEST_SUITE_P(NetworkReasons, CauseTest,
    ::testing::Values(
        CauseRow { "refused",
            FromCode(ErrorKind::Refused, std::errc::connection_refused, "connect lab-pi:3333"),
            SystemCause::Refused },
        CauseRow { "network_unreachable",
            FromCode(ErrorKind::NotFound, std::errc::network_unreachable, "connect"),
            SystemCause::Unreachable },
        CauseRow { "host_unreachable",
            FromCode(ErrorKind::NotFound, std::errc::host_unreachable, "connect"),
            SystemCause::Unreachable }),
    [](const ::testing::TestParamInfo<CauseRow> &row) { return row.param.name; });
#endif

} // namespace
