#pragma once

#include "base/status.h"

#include <QString>

// A failure's reason for the interface: a sentence of our own for the common
// causes (systemcause.h), with the system's text after it in brackets; the
// system's text alone for the rest. UI thread (it translates).
QString ReasonInWords(const Status &failure);
// The sentence alone, empty for a failure without a common cause.
QString CauseInWords(const Status &failure);
