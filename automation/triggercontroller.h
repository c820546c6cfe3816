#pragma once

#include "bytering.h"
#include "triggers.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

// The triggers in the main window: while on, the received bytes come through the
// traffic tap's ring, the engine matches them, and each reply due goes out through
// `send` (the main window's send path, so it is echoed under its own "Sending: "
// line). A reply that `send` cannot take now (another send runs) waits for the
// next tick, at most kReplyWaitMs. Off at every start. User-interface thread.
class TriggerController : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 10;
    static constexpr int kReplyWaitMs = 2000;

    explicit TriggerController(QObject *parent = nullptr);
    ~TriggerController() override;

    // The rules to use from now on (the counts start again); the failure names the
    // rule. Bytes of text go through `encode`.
    [[nodiscard]] Status setRules(
        const std::vector<TriggerRule> &rules, const CharacterEncoder &encode);
    void setOn(bool on);
    bool isOn() const { return m_on; }
    std::size_t ruleCount() const { return m_engine ? m_engine->ruleCount() : 0; }
    TriggerEngine::Counts counts(std::size_t rule) const;
    void resumeAll();

    // Sends the reply bytes of the rule named; false when they cannot go now.
    std::function<bool(const std::string &bytes, const QString &rule)> send;

signals:
    void switched(bool on);
    void message(const QString &text);

private:
    void tick();

    struct Waiting
    {
        std::string bytes;
        QString rule;
        qint64 sinceMs;
    };
    std::unique_ptr<TriggerEngine> m_engine;
    std::vector<QString> m_names;
    std::deque<Waiting> m_waiting;
    std::string m_received;
    QTimer m_timer;
    bool m_on = false;
};
