#pragma once

#include <QString>

class QLineEdit;

// The characters of `text` that code page 936 (GBK) cannot hold, each once, in the
// order they first appear; empty when the whole text converts. A lone surrogate
// counts as such a character.
QString CharactersOutsideCp936(const QString &text);

// Keeps `edit` to text that code page 936 holds: an edit (typing, pasting,
// dropping) that would bring in another character is refused, the text stays as it
// was, and a tooltip at the edit shows `hint` with %1 replaced by the refused
// characters. Text set by the program is not checked.
void GuardCp936(QLineEdit *edit, const QString &hint);
