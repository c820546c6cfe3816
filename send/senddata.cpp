#include "senddata.h"

#include "delay.h"
#include "sendconvert.h"
#include "serialport.h"
#include "settingsvalues.h"
#include "traffic.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kSendingHeader = "Sending: ";

// Collects the echo pieces of a send and inserts them at the end of the document
// in large pieces. Nothing can look at the document while a send runs, and every
// piece would go to the end of the text, so one insertion of many pieces leaves the
// same text as one insertion per piece; a document that refuses the whole is given
// the pieces one by one, so that exactly the pieces that fit are kept.
class EchoWriter
{
public:
    explicit EchoWriter(DocumentOps &doc)
        : m_doc(doc)
    { }
    ~EchoWriter() { flush(); }
    EchoWriter(const EchoWriter &) = delete;
    EchoWriter &operator=(const EchoWriter &) = delete;

    void add(std::string_view echo)
    {
        m_text.append(echo);
        m_sizes.push_back(static_cast<uint8_t>(echo.size()));
        if (m_text.size() >= kFlushBytes) {
            flush();
        }
    }

    void flush()
    {
        if (m_text.empty()) {
            return;
        }
        m_doc.MoveCaretToEnd();
        if (!m_doc.InsertAtCaret(m_text)) {
            std::size_t offset = 0;
            for (const uint8_t size : m_sizes) {
                m_doc.MoveCaretToEnd();
                m_doc.InsertAtCaret(std::string_view(m_text).substr(offset, size));
                offset += size;
            }
        }
        m_text.clear();
        m_sizes.clear();
    }

private:
    static constexpr std::size_t kFlushBytes = 1 << 16;

    DocumentOps &m_doc;
    std::string m_text;
    std::vector<uint8_t> m_sizes;
};

void WriteHeader(DocumentOps &doc, const SettingsValues &settings)
{
    if (settings.FAutoClear && doc.LineCount() >= settings.FClearLineNum) {
        doc.ClearDocument();
    }
    doc.MoveCaretToEnd();
    doc.SetInsertColor(Colors::Blue);
    const std::string header = HeaderTimePrefix(HeaderTimeNow()).append(kSendingHeader);
    if (doc.LineCount() != 0) {
        doc.AppendLine(header);
    } else {
        doc.InsertAtCaret(header);
    }
    doc.SetInsertColor(Colors::Black);
}

void SendRange(DocumentOps &doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    // 64-bit so that a range ending at the largest 32-bit value stops after it.
    const int64_t last = settings.FSendEnd;
    const int32_t delay = settings.FTwoCharDelay;
    EchoWriter echo(doc);
    for (int64_t i = settings.FSendStart; i <= last; ++i) {
        const auto value = static_cast<int32_t>(i);
        if (port.WriteByte(static_cast<uint8_t>(value & 0xFF)) == 1) {
            Traffic.sent(static_cast<uint8_t>(value & 0xFF));
        }
        DelayMicroseconds(delay);
        echo.add(ConvertRangeValue(value, notation()).echo);
    }
}

void SendTokens(DocumentOps &doc, const SettingsValues &settings,
    const std::function<Notation()> &notation, SerialPort &port)
{
    const int32_t delay = settings.FTwoCharDelay;
    EchoWriter echo(doc);
    for (const std::string &token : SplitSendText(settings.FSendChar)) {
        DelayMicroseconds(delay);
        for (const SendPiece &piece : ConvertToken(token, notation())) {
            if (port.WriteByte(piece.byte) == 1) {
                Traffic.sent(piece.byte);
            }
            echo.add(piece.echo);
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
