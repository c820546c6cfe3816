#pragma once

#include "notation.h"

class QComboBox;
class SerialPort;
class TMDIChild;
struct SettingsValues;

// The notation that the text of `combo` names, compared byte for byte in code
// page 936. User-interface thread only.
Notation NotationOfCombo(const QComboBox &combo);

// One send into the document window `child` (nothing at all when it is null),
// reading the notation from `combo` for every unit. User-interface thread only;
// returns when the send is over.
void SendToWindow(
    TMDIChild *child, const SettingsValues &settings, const QComboBox &combo, SerialPort &port);
