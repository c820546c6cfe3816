#pragma once

#include <QCoreApplication>
#include <QString>

#include <utility>

// One text of the user interface in a window's text table: its translation context
// and its source text (the Chinese interface's own text, UTF-8). The text is looked
// up in the installed translator whenever it is used, so a table entry can be a
// constant that exists before any translator does. It turns into a QString where
// one is expected; .text() says so explicitly where the conversion does not happen
// by itself (operator+, ternaries, QStringList initialisers).
//
// Entries are written so that lupdate finds them:
//     inline constexpr UiText Name { kContext, QT_TRANSLATE_NOOP("Context", "源文本") };
// where the literal "Context" is the table's kContext.
class UiText
{
public:
    constexpr UiText(const char *context, const char *source)
        : m_context(context)
        , m_source(source)
    { }

    // The text in the interface's language.
    QString text() const { return QCoreApplication::translate(m_context, m_source); }
    operator QString() const { return text(); }

    // The source text, whatever the interface's language.
    QString source() const { return QString::fromUtf8(m_source); }
    const char *context() const { return m_context; }

    template <typename... Args>
    QString arg(Args &&...args) const
    {
        return text().arg(std::forward<Args>(args)...);
    }

private:
    const char *m_context;
    const char *m_source;
};
