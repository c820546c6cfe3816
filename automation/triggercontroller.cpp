#include "triggercontroller.h"

#include "automationtexts.h"

#include <QDateTime>

namespace {

// The ring lives as long as the program: the receive thread may hold it while the
// switch goes off.
ByteRing &Ring()
{
    static ByteRing ring;
    return ring;
}

qint64 NowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

TriggerController::TriggerController(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &TriggerController::tick);
}

TriggerController::~TriggerController()
{
    Traffic.observer.store(nullptr);
}

Status TriggerController::setRules(
    const std::vector<TriggerRule> &rules, const CharacterEncoder &encode)
{
    Result<std::unique_ptr<TriggerEngine>> engine = TriggerEngine::Create(rules, encode);
    if (!engine) {
        return engine.status();
    }
    m_engine = std::move(*engine);
    m_names.clear();
    for (const TriggerRule &rule : rules) {
        m_names.push_back(QString::fromStdString(rule.name));
    }
    m_waiting.clear();
    return {};
}

void TriggerController::setOn(bool on)
{
    if (on == m_on) {
        return;
    }
    m_on = on;
    std::string stale;
    Ring().TakeAll(stale); // what came while off is not answered
    Traffic.observer.store(on ? &Ring() : nullptr);
    if (on) {
        if (m_engine) {
            m_engine->Reset();
        }
        m_timer.start();
    } else {
        m_timer.stop();
        m_waiting.clear();
    }
    emit switched(on);
}

TriggerEngine::Counts TriggerController::counts(std::size_t rule) const
{
    return m_engine && rule < m_engine->ruleCount() ? m_engine->counts(rule)
                                                    : TriggerEngine::Counts();
}

void TriggerController::resumeAll()
{
    for (std::size_t rule = 0; rule < ruleCount(); ++rule) {
        m_engine->Resume(rule);
    }
}

void TriggerController::tick()
{
    if (!m_engine) {
        return;
    }
    const qint64 now = NowMs();
    m_received.clear();
    Ring().TakeAll(m_received);
    if (!m_received.empty()) {
        m_engine->Feed(m_received, now);
    }
    for (TriggerEngine::Reply &reply : m_engine->TakeDue(now)) {
        m_waiting.push_back({ std::move(reply.bytes), m_names.at(reply.rule), now });
    }
    for (const std::string &text : m_engine->TakeMessages()) {
        emit message(AutomationTexts::RulePaused.text().arg(QString::fromStdString(text)));
    }
    while (!m_waiting.empty()) {
        const Waiting &front = m_waiting.front();
        // A reply that could not go out for kReplyWaitMs is dropped: it answers
        // something long past.
        const bool gone
            = (send && send(front.bytes, front.rule)) || now - front.sinceMs > kReplyWaitMs;
        if (!gone) {
            break;
        }
        m_waiting.pop_front();
    }
}
