#pragma once

#include "notation.h"

class QComboBox;
class QString;

// The notation that the text of the combo ComboDataType names: a translated word is
// first turned back into its Chinese source, then compared byte for byte in code
// page 936. User-interface thread only.
[[nodiscard]] Notation NotationOfCombo(const QString &comboText);
[[nodiscard]] Notation NotationOfCombo(const QComboBox &combo);
