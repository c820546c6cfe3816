#include "documentfile.h"

#include "codepage.h"
#include "richedit.h"
#include "rtfreader.h"
#include "uitext.h"

#include <QDir>
#include <QFile>

#include <string_view>

namespace {

// The file errors of the general error report (the report adds the full stop).
// A new text is written as the others are, then `make translations` brings it
// into the catalogue.
namespace Texts {
inline constexpr const char *kContext = "DocumentFile";
inline constexpr UiText kCannotOpen { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "Cannot open file \"%1\": %2") };
inline constexpr UiText kCannotRead { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "Cannot read file \"%1\": %2") };
inline constexpr UiText kCannotCreate { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "Cannot create file \"%1\": %2") };
inline constexpr UiText kCannotWrite { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "Cannot write file \"%1\": %2") };
inline constexpr UiText kBadRtf { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "File \"%1\" is not valid rich text: %2") };
inline constexpr UiText kTooLarge { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "File \"%1\" is too large for a document") };

QString cannotOpen(const QString &path, const QString &reason)
{
    return kCannotOpen.arg(QDir::toNativeSeparators(path), reason);
}
QString cannotRead(const QString &path, const QString &reason)
{
    return kCannotRead.arg(QDir::toNativeSeparators(path), reason);
}
QString cannotCreate(const QString &path, const QString &reason)
{
    return kCannotCreate.arg(QDir::toNativeSeparators(path), reason);
}
QString cannotWrite(const QString &path, const QString &reason)
{
    return kCannotWrite.arg(QDir::toNativeSeparators(path), reason);
}
QString badRtf(const QString &path, const std::string &reason)
{
    return kBadRtf.arg(QDir::toNativeSeparators(path), QString::fromStdString(reason));
}
QString tooLarge(const QString &path)
{
    return kTooLarge.arg(QDir::toNativeSeparators(path));
}
} // namespace Texts

void setError(QString *error, const QString &message)
{
    if (error) {
        *error = message;
    }
}

QString plainText(const QByteArray &bytes)
{
    QString text = FromCp936(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool insertRtf(RichEdit *edit, const RtfDocument &doc)
{
    for (const RtfRun &run : doc.runs) {
        edit->SetInsertColor(run.color.value_or(Colors::Red));
        const QString text = run.encoding == RtfRun::Encoding::Utf8
            ? QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()))
            : FromCp936(run.text);
        if (!edit->insertTextAtCaret(text)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool LoadDocumentFile(RichEdit *edit, const QString &path, QString *error)
{
    edit->ClearDocument();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, Texts::cannotOpen(path, file.errorString()));
        return false;
    }
    // Plain text has at least one character per two bytes, so a file of more than
    // twice the capacity never fits; rich text that large is refused as well rather
    // than read into memory.
    if (file.size() / 2 > edit->capacity()) {
        setError(error, Texts::tooLarge(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, Texts::cannotRead(path, file.errorString()));
        return false;
    }

    const std::string_view data(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const Rgb colorBefore = edit->insertColor();
    edit->BeginBatch();
    bool ok = true;
    if (LooksLikeRtf(data)) {
        const RtfDocument doc = ReadRtf(data);
        if (!doc.ok) {
            setError(error, Texts::badRtf(path, doc.error));
            ok = false;
        } else if (!insertRtf(edit, doc)) {
            setError(error, Texts::tooLarge(path));
            ok = false;
        }
    } else {
        edit->SetInsertColor(Colors::Red);
        if (!edit->insertTextAtCaret(plainText(bytes))) {
            setError(error, Texts::tooLarge(path));
            ok = false;
        }
    }
    if (!ok) {
        edit->ClearDocument();
    }
    edit->SetInsertColor(colorBefore);
    edit->setSelStart(0);
    edit->EndBatch();
    return ok;
}

bool SaveDocumentPlain(const RichEdit *edit, const QString &path, QString *error)
{
    QByteArray bytes;
    for (const QString &line : edit->lines()) {
        const std::string encoded = ToCp936(line);
        bytes.append(encoded.data(), static_cast<qsizetype>(encoded.size()));
        bytes.append("\r\n", 2);
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setError(error, Texts::cannotCreate(path, file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        setError(error, Texts::cannotWrite(path, file.errorString()));
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        setError(error, Texts::cannotWrite(path, file.errorString()));
        return false;
    }
    return true;
}
