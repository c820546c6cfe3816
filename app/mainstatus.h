#pragma once

#include <QString>

class QFontMetrics;
struct OpenFailure;

// Why opening the port failed, in a few words for the status bar.
QString PortReason(const OpenFailure &failure);
// The reason, the system's own text and, where there is one, what the user can do
// about it: the informative text of the start-up port warning.
QString PortFailureAdvice(const OpenFailure &failure);
// PortState's text "COM1 → device  settings  state" within its width: only the
// device path is cut.
QString FitPortState(
    const QFontMetrics &metrics, const QString &port, const QString &device, const QString &rest);
