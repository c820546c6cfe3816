#include "codepage.h"

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
    if (bytes.size() <= maxBytes) {
        return bytes;
    }
    // A lead byte of a double-byte character is 0x81..0xFE; walk from the start so
    // that a trail byte in that range is never taken for a lead byte.
    std::size_t end = 0;
    while (end < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[end]);
        const std::size_t width = (lead >= 0x81 && lead <= 0xFE && end + 1 < bytes.size()) ? 2 : 1;
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    bytes.resize(end);
    return bytes;
}
