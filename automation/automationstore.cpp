#include "automationstore.h"

#include "text/localpath.h"

namespace {

Result<AutomationSet> Parse(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return ParseAutomation(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString Text(const AutomationSet &set)
{
    return QString::fromStdString(WriteAutomation(set));
}

} // namespace

AutomationStore::AutomationStore(QObject *parent)
    : QObject(parent)
{ }

Status AutomationStore::restore(const QString &text)
{
    Result<AutomationSet> set = Parse(text);
    if (!set) {
        return set.status();
    }
    m_set = std::move(*set);
    emit changed();
    return {};
}

void AutomationStore::replace(AutomationSet set)
{
    m_set = std::move(set);
    if (keep) {
        keep(Text(m_set));
    }
    emit changed();
}

Status AutomationStore::applyRules(const QString &text)
{
    Result<AutomationSet> read = Parse(text);
    if (!read) {
        return read.status();
    }
    AutomationSet next = m_set;
    next.rules = std::move(read->rules);
    replace(std::move(next));
    return {};
}

Status AutomationStore::applySequences(const QString &text)
{
    Result<AutomationSet> read = Parse(text);
    if (!read) {
        return read.status();
    }
    AutomationSet next = m_set;
    next.sequences = std::move(read->sequences);
    replace(std::move(next));
    return {};
}

Status AutomationStore::importFile(const QString &path)
{
    Result<AutomationSet> read = ImportAutomation(LocalPath(path));
    if (!read) {
        return read.status();
    }
    replace(std::move(*read));
    return {};
}

Status AutomationStore::exportFile(const QString &path) const
{
    return ExportAutomation(LocalPath(path), m_set);
}

QString AutomationStore::rulesText() const
{
    return Text(AutomationSet { m_set.rules, {} });
}

QString AutomationStore::sequencesText() const
{
    return Text(AutomationSet { {}, m_set.sequences });
}
