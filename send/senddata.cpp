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
    WriteSendHeader(doc, settings.FAutoClear, settings.FClearLineNum, HeaderTimeNow());
}

SendEngine::HeaderFunction BeginSendHeader(DocumentOps &doc, const SettingsValues &settings)
{
    if (HeaderTimeNow() == 0) {
        WriteSendHeader(doc, settings.FAutoClear, settings.FClearLineNum, 0);
        return nullptr;
    }
    return [autoClear = settings.FAutoClear.load(), clearLineNum = settings.FClearLineNum.load()](
               DocumentOps &target, int32_t headerTime) {
        WriteSendHeader(target, autoClear, clearLineNum, headerTime);
    };
}

void WriteSendHeader(DocumentOps &doc, bool autoClear, int32_t clearLineNum, int32_t headerTime)
{
    if (autoClear && doc.LineCount() >= clearLineNum) {
        doc.ClearDocument();
    }
    doc.MoveCaretToEnd();
    doc.SetInsertColor(Colors::Blue);
    const std::string header = HeaderTimePrefix(headerTime).append(kSendingHeader);
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
    SendEngine::HeaderFunction header = BeginSendHeader(*doc, settings);
    SendEngine engine([&port](uint8_t byte,
                          const std::atomic<bool> &giveUp) { return port.WriteByte(byte, giveUp); },
        notation, nullptr);
    engine.Start(SendJob::FromSettings(settings), std::move(header));
    const SendResult result = engine.Wait(doc);
    doc->EndBatch();
    return result;
}
