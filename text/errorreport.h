#pragma once

#include "base/status.h"

#include <QString>

class QWidget;

// The general error report for failures that reach the event loop (a number that
// does not convert, a file that cannot be read or written): a modal message box
// with an error icon, the application's title as caption and the message with a
// full stop added. Returns when the user has closed it.
void ShowErrorReport(QWidget *parent, const QString &message);

// The same for a failure whose reason is the whole message, in the system's 8-bit
// text. Nothing is shown for a success, or for an operation the user cancelled.
void ShowErrorReport(QWidget *parent, const Status &failure);
