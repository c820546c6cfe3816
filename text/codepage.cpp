#include "codepage.h"

#include "cp936cut.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString FromCp936(std::string_view bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QString FromCp936(const QByteArray &bytes)
{
    return FromCp936(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::string ToCp936(const QString &text)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string ToCp936Bounded(const QString &text, std::size_t maxBytes)
{
    std::string bytes = ToCp936(text);
    bytes.resize(Cp936PrefixLength(bytes, maxBytes));
    return bytes;
}
