#include "sendui.h"

#include "ChildWin.h"
#include "codepage.h"
#include "richedit.h"
#include "senddata.h"

#include <QComboBox>

Notation NotationOfCombo(const QComboBox &combo)
{
    return NotationFromText(ToCp936(combo.currentText()));
}

void SendToWindow(
    TMDIChild *child, const SettingsValues &settings, const QComboBox &combo, SerialPort &port)
{
    SendData(
        child ? child->RichEdit1 : nullptr, settings, [&combo] { return NotationOfCombo(combo); },
        port);
}
