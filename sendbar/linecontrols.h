#pragma once

#include "quickcommands.h"
#include "sendline.h"

#include <QString>

#include <optional>
#include <string>

class QComboBox;
class QLineEdit;

// What the send bar and its command dialog share: the three combos, the reading of
// a line typed in a widget and the marking of its fault. User-interface thread only.

void FillModes(QComboBox *combo);
void FillEndings(QComboBox *combo);
// The names with their byte order, as the user must know it to read the frame.
void FillChecksums(QComboBox *combo);
LineMode ModeOf(const QComboBox &combo);
LineEnding EndingOf(const QComboBox &combo);
Checksum ChecksumOf(const QComboBox &combo);
// Selects the item that holds `value` (an enum of the combo's kind).
void SelectValue(QComboBox *combo, int value);

// A typed line read into the bytes that go out, or the reason it cannot go and the
// characters at fault (as positions in the typed text).
struct LineCheck
{
    std::optional<std::string> bytes; // framed: checksum and ending included
    QString reason;
    int start = 0;
    int length = 0;
};

LineCheck CheckLine(const QString &text, LineMode mode, Checksum checksum, LineEnding ending);
LineCheck CheckCommandLine(const QuickCommand &command);

// Underlines characters of `edit` in red (nothing when `length` is 0), without
// touching its text, and puts `reason` into its tooltip.
void MarkFault(QLineEdit *edit, int start, int length, const QString &reason);
