#include "cp936guard.h"

#include <QLineEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QToolTip>
#include <QValidator>

namespace {

// The encoder does not always report a character it cannot convert (it puts in a
// "?" of its own): a text is held when it also comes back unchanged.
bool RoundTrips(const QString &text)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        return false;
    }
    QStringDecoder decoder("GBK");
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

} // namespace

QString CharactersOutsideCp936(const QString &text)
{
    if (RoundTrips(text)) {
        return {};
    }
    QString refused;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width
            = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                               : 1;
        const QString character = text.mid(i, width);
        if (!RoundTrips(character) && !refused.contains(character)) {
            refused += character;
        }
        i += width;
    }
    return refused;
}

namespace {

// Accepts exactly the texts code page 936 holds and remembers what it refused last.
class Cp936Validator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        const QString refused = CharactersOutsideCp936(input);
        if (refused.isEmpty()) {
            return Acceptable;
        }
        m_refused = refused;
        return Invalid;
    }

    QString refused() const { return m_refused; }

private:
    mutable QString m_refused;
};

} // namespace

void GuardCp936(QLineEdit *edit, const QString &hint)
{
    auto *validator = new Cp936Validator(edit);
    edit->setValidator(validator);
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit, validator, hint] {
        const QString text = hint.arg(validator->refused());
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), text, edit);
    });
}
