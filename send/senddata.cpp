#include "senddata.h"

#include "delay.h"
#include "sendconvert.h"
#include "serialport.h"
#include "settingsvalues.h"

#include <cstdint>
#include <string_view>

namespace {

constexpr std::string_view kSendingHeader = "Sending: ";

void WriteHeader(DocumentOps &doc, const SettingsValues &settings)
{
    if (settings.FAutoClear && doc.LineCount() >= settings.FClearLineNum) {
        doc.ClearDocument();
    }
    doc.MoveCaretToEnd();
    doc.SetInsertColor(Colors::Blue);
    if (doc.LineCount() != 0) {
        doc.AppendLine(kSendingHeader);
    } else {
        doc.InsertAtCaret(kSendingHeader);
    }
    doc.SetInsertColor(Colors::Black);
}

void SendRange(DocumentOps &doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    // 64-bit so that a range ending at the largest 32-bit value stops after it.
    const int64_t last = settings.FSendEnd;
    const int32_t delay = settings.FTwoCharDelay;
    for (int64_t i = settings.FSendStart; i <= last; ++i) {
        const auto value = static_cast<int32_t>(i);
        port.WriteByte(static_cast<uint8_t>(value & 0xFF));
        DelayMicroseconds(delay);
        doc.MoveCaretToEnd();
        doc.InsertAtCaret(ConvertRangeValue(value, notation()).echo);
    }
}

void SendTokens(DocumentOps &doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    const int32_t delay = settings.FTwoCharDelay;
    for (const std::string &token : SplitSendText(settings.FSendChar)) {
        DelayMicroseconds(delay);
        doc.MoveCaretToEnd();
        for (const SendPiece &piece : ConvertToken(token, notation())) {
            port.WriteByte(piece.byte);
            doc.InsertAtCaret(piece.echo);
        }
    }
}

} // namespace

void SendData(DocumentOps *doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    if (!doc) {
        return;
    }
    doc->BeginBatch();
    WriteHeader(*doc, settings);
    if (settings.FAutoSend) {
        SendRange(*doc, settings, notation, port);
    } else {
        SendTokens(*doc, settings, notation, port);
    }
    doc->EndBatch();
}
