#pragma once

#include "base/status.h"
#include "sendbar/sendline.h"

class AutomationStore;
class QLabel;
class QWidget;

// The import and export of both automation windows: the file dialog, then the store;
// what happened goes into `status`.
void ImportAutomationFile(QWidget *parent, AutomationStore &store, QLabel *status);
void ExportAutomationFile(QWidget *parent, const AutomationStore &store, QLabel *status);
// What an Apply of either window did, in `status`: the reason it was refused, or how
// many rules and sequences the store holds now.
void ShowApplied(const Status &applied, const AutomationStore &store, QLabel *status);
// The characters of texts to send in code page 936, as the send bar sends them.
[[nodiscard]] CharacterEncoder Cp936Encoder();
