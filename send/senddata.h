#pragma once

#include "documentops.h"
#include "notation.h"

#include <functional>

class SerialPort;
struct SettingsValues;

// One complete send into `doc` (nothing at all when it is null): the automatic
// clearing, the blue "Sending: " header, then the automatic range or the tokens of
// FSendChar, each byte written to `port` and echoed in black at the end of the
// document, with the FTwoCharDelay busy-wait after every range byte and before
// every token. The settings are read afresh, the notation once per unit. The
// document changes form one batch. User-interface thread (the thread that owns
// `doc`); it returns only when the send is over.
void SendData(DocumentOps *doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port);
