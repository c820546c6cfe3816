#include "receiveui.h"

#include "ChildWin.h"
#include "codepage.h"
#include "receivesummary.h"
#include "richedit.h"
#include "serialport.h"

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
{
    m_pace.setSingleShot(true);
    connect(&m_pace, &QTimer::timeout, this, &ReceiveController::applyNow);
}

ReceiveController::~ReceiveController() = default;

void ReceiveController::start(TMDIChild *doc)
{
    m_edit = doc ? doc->RichEdit1 : nullptr;
    m_engine.Start();
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
    m_pace.stop();
    m_engine.Stop(m_edit.data(), [this] { return room(); });
    m_edit = nullptr;
}

void ReceiveController::writeSummary(DocumentOps &doc, bool checkOrder) const
{
    WriteReceiveSummary(
        doc, checkOrder, m_engine.ReceiveHasError, m_engine.RecvLineCount, m_engine.RecvParaCount);
}

void ReceiveController::setNotationText(const QString &comboText)
{
    m_engine.notation = NotationFromText(ToCp936(comboText));
}

void ReceiveController::applyPending()
{
    if (m_pace.isActive()) {
        return;
    }
    const qint64 since = m_sinceBatch.isValid() ? m_sinceBatch.elapsed() : m_spacingMs;
    if (since < m_spacingMs) {
        m_pace.start(static_cast<int>(m_spacingMs - since));
        return;
    }
    applyNow();
}

void ReceiveController::applyNow()
{
    QElapsedTimer cost;
    cost.start();
    if (m_engine.isStarted()) {
        m_engine.ApplyPending(m_edit.data(), [this] { return room(); });
    }
    // A batch costs its layout, measured here, and the repaint that follows, which
    // costs about what the last one did.
    const qint64 costNs = cost.nsecsElapsed() + (m_edit ? m_edit->lastPaintNs() : 0);
    m_spacingMs
        = std::clamp<qint64>(costNs * kCostFactor / 1000000, kBatchSpacingMs, kMaxBatchSpacingMs);
    m_sinceBatch.start();
}
