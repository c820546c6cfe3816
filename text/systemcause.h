#pragma once

#include "base/status.h"

// The common causes of a failure that the interface names in its own words, told
// from the system's reason text (the standard library's wording of an error code)
// and, where that says nothing, the failure's kind. Pure; any thread.
enum class SystemCause {
    None, // none of the common ones: the system's text stands alone
    NoPermission,
    Busy,
    Missing,
    NotTerminal,
    Io,
    Refused,
    TimedOut,
    Unreachable,
    NameNotFound,
};

[[nodiscard]] SystemCause CauseOf(const Status &failure);
