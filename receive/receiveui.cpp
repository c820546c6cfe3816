#include "receiveui.h"

#include "document/ChildWin.h"
#include "receivesummary.h"
#include "serial/serialport.h"
#include "text/notationcombo.h"
#include "textview/richedit.h"

#include <QElapsedTimer>

#include <algorithm>

ReceiveController::ReceiveController(
    const SettingsValues &settings, SerialPort &port, QObject *parent)
    : QObject(parent)
    , m_engine(
          settings, [&port](uint8_t &byte) { return port.ReadByte(byte); },
          [this] {
              // Runs on the receive thread; the call is carried out by this object's
              // thread, and dropped if the object is gone by then.
              QMetaObject::invokeMethod(
                  this, &ReceiveController::applyPending, Qt::QueuedConnection);
          })
    , m_pacer([this] { applyNow(); })
{
    m_engine.SetReadsLine([&port] { return !port.hasReadAhead(); });
}

ReceiveController::~ReceiveController() = default;

void ReceiveController::start(TMDIChild *doc)
{
    disconnect(m_closedWatch);
    m_edit = doc ? doc->RichEdit1 : nullptr;
    m_endAnnounced = false;
    ++m_reception;
    markEnd();
    m_engine.Start();
    // Closing the window ends the reception now rather than at its next byte,
    // which might never come. Queued (the window is being destroyed), and meant for
    // this reception only.
    const auto gone = [this, reception = m_reception] {
        if (reception == m_reception) {
            announceEnd(ReceiveEngine::EndReason::DocumentGone);
        }
    };
    if (m_edit) {
        m_closedWatch = connect(m_edit, &QObject::destroyed, this, gone, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(this, gone, Qt::QueuedConnection);
    }
}

void ReceiveController::announceEnd(ReceiveEngine::EndReason reason)
{
    if (!m_engine.isStarted() || m_endAnnounced) {
        return;
    }
    m_endAnnounced = true;
    emit receptionEnded(reason);
}

// Receive text is ASCII: one character per byte.
std::size_t ReceiveController::room() const
{
    return m_edit
        ? static_cast<std::size_t>(std::max(0, m_edit->capacity() - m_edit->characterCount()))
        : 0;
}

void ReceiveController::stop()
{
    disconnect(m_closedWatch);
    m_pacer.cancel();
    if (m_edit && m_engine.isStarted() && endOfDocument() != m_end) {
        m_engine.StartLineNext();
    }
    m_engine.Stop(m_edit.data(), [this] { return room(); });
    m_edit = nullptr;
}

void ReceiveController::writeSummary(DocumentOps &doc, bool checkOrder) const
{
    WriteReceiveSummary(
        doc, checkOrder, m_engine.ReceiveHasError, m_engine.RecvLineCount, m_engine.RecvParaCount);
}

RichEdit *ReceiveController::document() const
{
    return m_edit.data();
}

bool ReceiveController::summaryFits(const RichEdit &edit, bool checkOrder) const
{
    // The size in bytes of code page 936 is at least the number of characters.
    const std::size_t size = ReceiveSummarySize(
        checkOrder, m_engine.ReceiveHasError, m_engine.RecvLineCount, m_engine.RecvParaCount);
    const int room = std::max(0, edit.capacity() - edit.characterCount());
    return size <= static_cast<std::size_t>(room);
}

void ReceiveController::setNotationText(const QString &comboText)
{
    m_engine.notation = NotationOfCombo(comboText);
}

void ReceiveController::applyPending()
{
    m_pacer.request();
}

void ReceiveController::hold()
{
    if (m_held) {
        return;
    }
    m_pacer.cancel();
    applyNow();
    m_held = true;
}

void ReceiveController::release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    applyPending();
}

void ReceiveController::applyNow()
{
    if (m_held) {
        return;
    }
    QElapsedTimer cost;
    cost.start();
    std::size_t taken = 0;
    if (m_engine.isStarted()) {
        taken = applyToDocument();
        if (m_engine.endedByItself()) {
            announceEnd(m_engine.endReason());
        }
    }
    // A batch costs its layout, measured here, and the repaint that follows, which
    // costs about what the last one did.
    const qint64 costNs = cost.nsecsElapsed() + (m_edit ? m_edit->lastPaintNs() : 0);
    m_pacer.batchDone(costNs, taken >= m_engine.queueCapacity() / 2);
}

ReceiveController::EndMark ReceiveController::endOfDocument() const
{
    if (!m_edit) {
        return {};
    }
    return { m_edit->characterCount(), m_edit->LineCount(), m_edit->lastLineLength() };
}

void ReceiveController::markEnd()
{
    m_end = endOfDocument();
}

std::size_t ReceiveController::applyToDocument()
{
    // The mark is taken again after every batch, an empty one too: the engine keeps
    // the news until an item is carried out.
    if (m_edit && endOfDocument() != m_end) {
        m_engine.StartLineNext();
    }
    const std::size_t taken = m_engine.ApplyPending(m_edit.data(), [this] { return room(); });
    markEnd();
    return taken;
}
