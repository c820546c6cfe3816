#include "documentfile.h"

#include "codepage.h"
#include "richedit.h"
#include "rtfreader.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <string_view>

namespace {

namespace Texts {
QString cannotOpen(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\": %2")
        .arg(QDir::toNativeSeparators(path), reason);
}
QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write file \"%1\": %2")
        .arg(QDir::toNativeSeparators(path), reason);
}
QString badRtf(const QString &path, const std::string &reason)
{
    return QStringLiteral("File \"%1\" is not valid rich text: %2")
        .arg(QDir::toNativeSeparators(path), QString::fromStdString(reason));
}
QString tooLarge(const QString &path)
{
    return QStringLiteral("File \"%1\" is too large for a document")
        .arg(QDir::toNativeSeparators(path));
}
} // namespace Texts

std::filesystem::path toFilePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString toReason(const std::string &reason)
{
    return QString::fromLocal8Bit(reason.data(), static_cast<qsizetype>(reason.size()));
}

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
    // Plain text has at least one character per two bytes, so a file of more than
    // twice the capacity never fits; rich text that large is refused as well rather
    // than read into memory. Only that much (and a byte more, to tell) is read.
    const std::size_t limit = 2 * static_cast<std::size_t>(edit->capacity());
    std::string read;
    std::string reason;
    if (!ReadRegularFile(toFilePath(path), limit + 1, FileAccess::Read, read, &reason)) {
        setError(error, Texts::cannotOpen(path, toReason(reason)));
        return false;
    }
    if (read.size() > limit) {
        setError(error, Texts::tooLarge(path));
        return false;
    }
    const QByteArray bytes = QByteArray::fromStdString(read);
    read = std::string();

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

    std::string reason;
    if (!ReplaceFileAtomically(toFilePath(path),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &reason)) {
        setError(error, Texts::cannotWrite(path, toReason(reason)));
        return false;
    }
    return true;
}
