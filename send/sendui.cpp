#include "sendui.h"

#include "ChildWin.h"
#include "codepage.h"
#include "notationtexts.h"
#include "richedit.h"
#include "senddata.h"
#include "serialport.h"

#include <QComboBox>
#include <QTextBlock>
#include <QTextDocument>

Notation NotationOfCombo(const QComboBox &combo)
{
    return NotationFromText(ToCp936(NotationTexts::SourceText(combo.currentText())));
}

SendController::SendController(SerialPort &port, QObject *parent)
    : QObject(parent)
    , m_engine([&port](uint8_t byte,
                   const std::atomic<bool> &giveUp) { return port.WriteByte(byte, giveUp); },
          [this] { return m_notation.load(); },
          [this] {
              // Runs on the send thread; the call is carried out by this object's
              // thread, and dropped if the object is gone by then.
              QMetaObject::invokeMethod(this, &SendController::applyPending, Qt::QueuedConnection);
          })
{
    m_pace.setSingleShot(true);
    connect(&m_pace, &QTimer::timeout, this, &SendController::applyNow);
}

SendController::~SendController() = default;

bool SendController::start(TMDIChild *child, const SettingsValues &settings)
{
    if (!child || m_engine.isStarted()) {
        return false;
    }
    m_edit = child->RichEdit1;
    WriteSendHeader(*m_edit, settings);
    openBatch();
    m_engine.Start(SendJob::FromSettings(settings));
    return true;
}

bool SendController::startBytes(TMDIChild *child, const SettingsValues &settings, std::string bytes)
{
    if (!child || m_engine.isStarted()) {
        return false;
    }
    SendJob job = SendJob::FromSettings(settings);
    job.bytes = std::move(bytes);
    m_edit = child->RichEdit1;
    WriteSendHeader(*m_edit, settings);
    openBatch();
    m_engine.Start(std::move(job));
    return true;
}

void SendController::stop()
{
    if (!m_engine.isStarted()) {
        return;
    }
    m_pace.stop();
    collect(m_engine.Stop(m_edit.data()));
}

void SendController::abandon()
{
    if (!m_engine.isStarted()) {
        return;
    }
    m_pace.stop();
    static_cast<void>(m_engine.Stop(nullptr));
    m_batchOpen = false;
    m_edit = nullptr;
}

void SendController::pause()
{
    m_pace.stop();
    m_engine.Pause(m_edit.data());
}

void SendController::resume(int32_t twoCharDelay)
{
    m_engine.Resume(twoCharDelay);
    // pause() cancelled a pending turn, and the engine notifies only when its queue
    // fills from empty or when it ends: a send that ended meanwhile would never be
    // collected, and a timed send would skip every tick from then on.
    if (m_engine.isStarted()) {
        applyPending();
    }
}

void SendController::setNotationText(const QString &comboText)
{
    m_notation = NotationFromText(ToCp936(NotationTexts::SourceText(comboText)));
}

void SendController::applyPending()
{
    // The spacing gathers the echo of a running send into fewer batches; a send
    // that has ended is collected at once, so that a timed send's next tick is
    // not put off by it.
    if (m_engine.hasEnded()) {
        m_pace.stop();
        applyNow();
        return;
    }
    if (m_pace.isActive()) {
        return;
    }
    const qint64 since = m_sinceBatch.isValid() ? m_sinceBatch.elapsed() : kBatchSpacingMs;
    if (since < kBatchSpacingMs) {
        m_pace.start(static_cast<int>(kBatchSpacingMs - since));
        return;
    }
    applyNow();
}

void SendController::applyNow()
{
    if (m_engine.isStarted() && m_engine.ApplyPending(m_edit.data())) {
        collect(m_engine.result());
    } else {
        showProgress();
    }
    m_sinceBatch.start();
}

void SendController::openBatch()
{
    if (m_edit && !m_batchOpen) {
        m_edit->BeginBatch();
        m_batchOpen = true;
        m_sinceShown.start();
    }
}

void SendController::closeBatch()
{
    if (m_edit && m_batchOpen) {
        m_edit->EndBatch();
    }
    m_batchOpen = false;
}

void SendController::showProgress()
{
    if (!m_edit || !m_batchOpen || m_sinceShown.elapsed() < kShowSpacingMs
        || m_edit->document()->lastBlock().length() > kShowLineLimit) {
        return;
    }
    closeBatch();
    openBatch();
}

void SendController::collect(SendResult result)
{
    closeBatch();
    m_edit = nullptr;
    emit finished(result);
}
