#pragma once

#include "automationfile.h"

#include <QObject>
#include <QString>

#include <functional>

// The rules and sequences in use, shared by the trigger and the sequence window and
// kept (as the file's text) by `keep`, which the main window points at byteway.conf.
// User-interface thread.
class AutomationStore : public QObject
{
    Q_OBJECT
public:
    explicit AutomationStore(QObject *parent = nullptr);

    const AutomationSet &set() const { return m_set; }
    // Reads the text kept from the last session; a text that no longer reads is
    // dropped with the reason.
    [[nodiscard]] Status restore(const QString &text);
    // The rules (or the sequences) of `text`, which replace the ones in use; the
    // failure names the line and the reason.
    [[nodiscard]] Status applyRules(const QString &text);
    [[nodiscard]] Status applySequences(const QString &text);
    [[nodiscard]] Status importFile(const QString &path);
    [[nodiscard]] Status exportFile(const QString &path) const;
    // The file's text of the rules alone, or the sequences alone.
    QString rulesText() const;
    QString sequencesText() const;

    std::function<void(const QString &text)> keep;

signals:
    void changed();

private:
    void replace(AutomationSet set);
    AutomationSet m_set;
};
