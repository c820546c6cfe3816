#include "sendui.h"

#include "document/ChildWin.h"
#include "senddata.h"
#include "serial/serialport.h"
#include "textview/richedit.h"

#include <QTextBlock>

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
    , m_pacer([this] { applyNow(); })
{
    m_showLater.setSingleShot(true);
    m_showLater.setTimerType(Qt::PreciseTimer);
    connect(&m_showLater, &QTimer::timeout, this, &SendController::showLaterDue);
}

SendController::~SendController() = default;

bool SendController::start(TMDIChild *child, const SettingsValues &settings)
{
    if (!child || m_engine.isStarted()) {
        return false;
    }
    if (m_edit != child->RichEdit1) {
        endShowing();
    }
    m_edit = child->RichEdit1;
    SendEngine::HeaderFunction header = BeginSendHeader(*m_edit, settings);
    openBatch();
    m_engine.Start(SendJob::FromSettings(settings), std::move(header));
    return true;
}

bool SendController::startBytes(TMDIChild *child, const SettingsValues &settings, std::string bytes)
{
    if (!child || m_engine.isStarted()) {
        return false;
    }
    SendJob job = SendJob::FromSettings(settings);
    job.bytes = std::move(bytes);
    if (m_edit != child->RichEdit1) {
        endShowing();
    }
    m_edit = child->RichEdit1;
    SendEngine::HeaderFunction header = BeginSendHeader(*m_edit, settings);
    openBatch();
    m_engine.Start(std::move(job), std::move(header));
    return true;
}

void SendController::stop()
{
    if (!m_engine.isStarted()) {
        return;
    }
    m_pacer.cancel();
    collect(m_engine.Stop(m_edit.data()), false);
}

void SendController::abandon()
{
    m_showLater.stop();
    m_pacer.cancel();
    if (m_engine.isStarted()) {
        static_cast<void>(m_engine.Stop(nullptr));
    }
    m_batchOpen = false;
    m_edit = nullptr;
}

void SendController::setSeries(bool series)
{
    m_series = series;
    if (!series && !m_engine.isStarted()) {
        endShowing();
    }
}

void SendController::pause()
{
    m_pacer.cancel();
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
    m_notation = NotationOfCombo(comboText);
}

void SendController::applyPending()
{
    // The spacing gathers the echo of a running send into fewer batches; a send
    // that has ended is collected at once, so that a timed send's next tick is
    // not put off by it.
    if (m_engine.hasEnded()) {
        m_pacer.cancel();
        applyNow();
        return;
    }
    m_pacer.request();
}

void SendController::applyNow()
{
    if (m_engine.isStarted() && m_engine.ApplyPending(m_edit.data())) {
        collect(m_engine.result(), true);
    } else {
        showProgress();
    }
    m_pacer.batchDone();
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
        || m_edit->lastLineLength() >= kShowLineLimit) {
        return;
    }
    closeBatch();
    openBatch();
}

void SendController::collect(SendResult result, bool mayLinger)
{
    const qint64 shownAgo = m_sinceShown.elapsed();
    if (mayLinger && m_series && m_batchOpen && m_edit && shownAgo < kShowSpacingMs) {
        m_showLater.start(static_cast<int>(kShowSpacingMs - shownAgo));
    } else {
        endShowing();
    }
    emit finished(result);
}

void SendController::endShowing()
{
    m_showLater.stop();
    closeBatch();
    m_edit = nullptr;
}

void SendController::showLaterDue()
{
    // A send of the series that runs now shows its text as any send does.
    if (m_engine.isStarted()) {
        showProgress();
    } else {
        endShowing();
    }
}
