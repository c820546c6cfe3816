#include "sendui.h"

#include "ChildWin.h"
#include "codepage.h"
#include "notationtexts.h"
#include "richedit.h"
#include "senddata.h"

#include <QComboBox>

Notation NotationOfCombo(const QComboBox &combo)
{
    return NotationFromText(ToCp936(NotationTexts::SourceText(combo.currentText())));
}

void SendToWindow(
    TMDIChild *child, const SettingsValues &settings, const QComboBox &combo, SerialPort &port)
{
    // The notation is read for every unit; converting the combo's text to code page
    // 936 opens a converter each time, so an unchanged text keeps its notation.
    QString lastText = combo.currentText();
    Notation lastNotation = NotationFromText(ToCp936(NotationTexts::SourceText(lastText)));
    const auto notation = [&] {
        const QString text = combo.currentText();
        if (text != lastText) {
            lastText = text;
            lastNotation = NotationFromText(ToCp936(NotationTexts::SourceText(text)));
        }
        return lastNotation;
    };
    SendData(child ? child->RichEdit1 : nullptr, settings, notation, port);
}
