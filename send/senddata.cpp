#include "senddata.h"

#include "base/timestamp.h"
#include "serial/serialport.h"
#include "settings/settingsvalues.h"

#include <string_view>

namespace {

constexpr std::string_view kSendingHeader = "Sending: ";

} // namespace

void WriteSendHeader(DocumentOps &doc, const SettingsValues &settings)
{
    if (settings.FAutoClear && doc.LineCount() >= settings.FClearLineNum) {
        doc.ClearDocument();
    }
    doc.MoveCaretToEnd();
    doc.SetInsertColor(Colors::Blue);
    const std::string header = HeaderTimePrefix(HeaderTimeNow()).append(kSendingHeader);
    // A window without room for the header does not stop the sending: the bytes go
    // out whatever the window shows, and the echoes that still fit are shown.
    static_cast<void>(doc.LineCount() != 0 ? doc.AppendLine(header) : doc.InsertAtCaret(header));
    doc.SetInsertColor(Colors::Black);
}

SendResult SendData(DocumentOps *doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    if (!doc) {
        return {};
    }
    doc->BeginBatch();
    WriteSendHeader(*doc, settings);
    SendEngine engine([&port](uint8_t byte,
                          const std::atomic<bool> &giveUp) { return port.WriteByte(byte, giveUp); },
        notation, nullptr);
    engine.Start(SendJob::FromSettings(settings));
    const SendResult result = engine.Wait(doc);
    doc->EndBatch();
    return result;
}
