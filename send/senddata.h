#pragma once

#include "document/documentops.h"
#include "sendengine.h"
#include "text/notation.h"

#include <functional>

class SerialPort;
struct SettingsValues;

// The start of a send in `doc`: the automatic clearing, then the blue "Sending: "
// header (appended as a line when the document has lines, else inserted), after
// which text is inserted in black. The thread that owns `doc`.
void WriteSendHeader(DocumentOps &doc, const SettingsValues &settings);
// The same with the time `headerTime` (a value of HeaderTimeNow(), 0 for none).
void WriteSendHeader(DocumentOps &doc, bool autoClear, int32_t clearLineNum, int32_t headerTime);

// The header of a send about to start in `doc`. With header times off it is
// written now, as it always was, and the result is empty; with them on, the result
// writes it (SendEngine::Start), so that it carries the time of the first byte's
// write rather than that of the button.
SendEngine::HeaderFunction BeginSendHeader(DocumentOps &doc, const SettingsValues &settings);

// One complete send into `doc` (nothing at all when it is null): the header, then
// the automatic range or the tokens of FSendChar, run by a send thread (see
// SendEngine) while the calling thread carries out the echo; it returns when the
// send is over. The settings are read when it starts, the notation once per unit
// (on the send thread). The thread that owns `doc`.
SendResult SendData(DocumentOps *doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port);
