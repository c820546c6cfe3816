#include "notationcombo.h"

#include "codepage.h"
#include "notationtexts.h"

#include <QComboBox>

Notation NotationOfCombo(const QString &comboText)
{
    return NotationFromText(ToCp936(NotationTexts::SourceText(comboText)));
}

Notation NotationOfCombo(const QComboBox &combo)
{
    return NotationOfCombo(combo.currentText());
}
