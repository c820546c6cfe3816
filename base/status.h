#pragma once

#include <optional>
#include <string>
#include <system_error>
#include <utility>

// The one shape of an operation that can fail for a reason the user must see: the
// kind of failure (what the caller may act on) and the reason in the system's own
// words (what the user reads). A default Status is success. `std::optional` stays
// for "no value", outcome enums for outcomes that are not failures.
enum class ErrorKind {
    None, // success
    Invalid, // the request itself is wrong (a bad number, a bad name, a bad file)
    NotFound, // the file, device or host does not exist
    NoAccess, // the user may not use it
    Busy, // someone else holds it
    Refused, // it is there but refused the request or a setting
    NotSerial, // it is there but is not a serial device
    Io, // reading or writing failed
    Timeout, // no answer within the time allowed
    Cancelled, // the user or the far side cancelled
    Lost, // it went away while in use
};

// The kind an errno-style code stands for: NotFound, NoAccess, Busy, else Io.
[[nodiscard]] ErrorKind KindOfErrno(int code);

class [[nodiscard]] Status
{
public:
    Status() = default;
    Status(ErrorKind kind, std::string reason)
        : m_kind(kind)
        , m_reason(std::move(reason))
    { }

    // A failure from an errno-style code: `what` names the action ("open /dev/ttyS0"),
    // the code's text is appended.
    [[nodiscard]] static Status FromErrno(ErrorKind kind, int code, const std::string &what);
    // The same with the kind the code stands for (see KindOfErrno).
    [[nodiscard]] static Status FromErrno(int code, const std::string &what);
    // A failure from a std::error_code of the standard library (std::filesystem).
    [[nodiscard]] static Status FromErrorCode(const std::error_code &code, const std::string &what);

    [[nodiscard]] bool ok() const { return m_kind == ErrorKind::None; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] ErrorKind kind() const { return m_kind; }
    [[nodiscard]] const std::string &reason() const { return m_reason; }

private:
    ErrorKind m_kind = ErrorKind::None;
    std::string m_reason;
};

// A value, or the Status saying why there is none.
template <class T>
class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    { } // NOLINT(google-explicit-constructor)
    Result(Status failure)
        : m_status(std::move(failure))
    { } // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const Status &status() const { return m_status; }
    [[nodiscard]] T &value() { return *m_value; }
    [[nodiscard]] const T &value() const { return *m_value; }
    [[nodiscard]] T &operator*() { return *m_value; }
    [[nodiscard]] const T &operator*() const { return *m_value; }
    [[nodiscard]] T *operator->() { return &*m_value; }
    [[nodiscard]] const T *operator->() const { return &*m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};
