#include "documentfile.h"

#include "rtfreader.h"
#include "settings/wholefile.h"
#include "text/codepage.h"
#include "text/cp936cut.h"
#include "text/localpath.h"
#include "text/uitext.h"
#include "textview/richedit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTextBlock>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

// The file errors of the general error report (the report adds the full stop).
// A new text is written as the others are, then `make translations` brings it
// into the catalogue.
namespace Texts {
inline constexpr const char *kContext = "DocumentFile";
inline constexpr UiText kCannotOpen { kContext,
    QT_TRANSLATE_NOOP("DocumentFile", "Cannot open file \"%1\": %2") };
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

// The reason of a Status is local 8-bit text, the form the error report reads.
Status failure(ErrorKind kind, const QString &message)
{
    return { kind, ToLocal(message) };
}

// Text files are mostly ASCII, which reads the same in code page 936: that is widened
// with its line ends made "\n" in one pass, without the converter.
QString plainText(const QByteArray &bytes)
{
    const bool ascii = std::all_of(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        QString text = FromCp936(bytes);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\r') {
            *out++ = QLatin1Char('\n');
            if (i + 1 < bytes.size() && bytes.at(i + 1) == '\n') {
                ++i;
            }
        } else {
            *out++ = QLatin1Char(c);
        }
    }
    text.truncate(out - text.constData());
    return text;
}

// Characters inserted between two calls of the progress function, at least. A step
// ends a batch, and the control then takes its caret over, scrolls and repaints:
// on a fast machine that would cost more than the text, so after the first
// kPromptSteps (which show the text and the progress soon) a step also waits until
// kStepMs have passed since the last.
constexpr qsizetype kStepChars = qsizetype { 64 } * 1024;
constexpr int kPromptSteps = 2;
constexpr qint64 kStepMs = 50;

// Gone: the control was deleted while the progress function ran.
enum class Inserted { All, TooLarge, Cancelled, Malformed, Gone };

// Inserts the text of a file at the caret, in one or more pieces. With a progress
// function the text goes in steps of kStepChars, however it is cut into pieces:
// each step ends the batch, so that the control lays out what it got, and then the
// progress function runs (and may ask to stop).
class Inserter
{
public:
    Inserter(RichEdit *edit, qint64 total, const LoadProgress &progress)
        : m_edit(edit)
        , m_total(total)
        , m_progress(progress)
    { }

    Inserted insert(const QString &text)
    {
        if (!m_progress) {
            return m_edit->insertTextAtCaret(text) ? Inserted::All : Inserted::TooLarge;
        }
        qsizetype from = 0;
        while (from < text.size()) {
            qsizetype length = std::min(kStepChars, text.size() - from);
            if (from + length < text.size() && text.at(from + length - 1).isHighSurrogate()) {
                ++length;
            }
            if (!m_edit->insertTextAtCaret(text.mid(from, length))) {
                return Inserted::TooLarge;
            }
            from += length;
            m_done += length;
            m_sinceStep += length;
            const Inserted stepped = stepWhenDue();
            if (stepped != Inserted::All) {
                return stepped;
            }
        }
        return Inserted::All;
    }

    // Inserts `text` whole, counts it as `units` of the total, and ends a step.
    Inserted insertStep(const QString &text, qint64 units)
    {
        if (!m_edit->insertTextAtCaret(text)) {
            return Inserted::TooLarge;
        }
        m_done += units;
        m_sinceStep += text.size();
        return stepWhenDue();
    }

private:
    // A step lays out the last line again in full: inside a line longer than a step
    // the steps grow with the line, so that a file of one huge line is not laid out
    // over and over (each step at least doubles what was laid out).
    Inserted stepWhenDue()
    {
        const qsizetype lastLine = m_edit->lastLineLength();
        if (m_sinceStep < std::max(kStepChars, lastLine / 2)
            || (m_steps >= kPromptSteps && m_stepClock.elapsed() < kStepMs)) {
            return Inserted::All;
        }
        m_sinceStep = 0;
        m_edit->EndBatch();
        const QPointer<RichEdit> guard(m_edit);
        const bool goOn = m_progress(m_done, m_total);
        if (!guard) {
            return Inserted::Gone;
        }
        m_edit->BeginBatch();
        m_stepClock.start();
        ++m_steps;
        return goOn ? Inserted::All : Inserted::Cancelled;
    }

    RichEdit *m_edit;
    qint64 m_total;
    qint64 m_done = 0;
    qsizetype m_sinceStep = 0;
    QElapsedTimer m_stepClock;
    int m_steps = 0;
    const LoadProgress &m_progress;
};

// Where the piece of plain text that starts at `from` ends: about kStepChars bytes
// on, just after a line feed where the piece has one, else never inside a
// double-byte character or between CR and LF (those decode and read the same in
// pieces as at once).
qsizetype pieceEnd(const QByteArray &bytes, qsizetype from)
{
    const qsizetype limit = std::min(bytes.size(), from + kStepChars);
    if (limit == bytes.size()) {
        return limit;
    }
    const qsizetype lineFeed = bytes.lastIndexOf('\n', limit - 1);
    if (lineFeed >= from) {
        return lineFeed + 1;
    }
    const std::string_view rest(
        bytes.constData() + from, static_cast<std::size_t>(bytes.size() - from));
    qsizetype end = from
        + static_cast<qsizetype>(Cp936PrefixLength(rest, static_cast<std::size_t>(limit - from)));
    if (bytes.at(end - 1) == '\r') {
        --end;
    }
    return end;
}

// Plain text decoded and inserted a piece at a time, so that even the decoding of a
// big file does not hold the event loop up.
Inserted insertPlainInSteps(RichEdit *edit, const QByteArray &bytes, const LoadProgress &progress)
{
    Inserter inserter(edit, bytes.size(), progress);
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype end = pieceEnd(bytes, from);
        const Inserted result = inserter.insertStep(
            plainText(QByteArray::fromRawData(bytes.constData() + from, end - from)), end - from);
        if (result != Inserted::All) {
            return result;
        }
        from = end;
    }
    return Inserted::All;
}

Inserted insertRtf(RichEdit *edit, const RtfDocument &doc, const LoadProgress &progress)
{
    std::vector<QString> texts;
    texts.reserve(doc.runs.size());
    qint64 total = 0;
    for (const RtfRun &run : doc.runs) {
        texts.push_back(run.encoding == RtfRun::Encoding::Utf8
                ? QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size()))
                : FromCp936(run.text));
        total += texts.back().size();
    }
    Inserter inserter(edit, total, progress);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        edit->SetInsertColor(doc.runs[i].color.value_or(Colors::Red));
        const Inserted result = inserter.insert(texts[i]);
        if (result != Inserted::All) {
            return result;
        }
    }
    return Inserted::All;
}

} // namespace

Status LoadDocumentFile(RichEdit *edit, const QString &path, const LoadProgress &progress)
{
    edit->ClearDocument();
    // Plain text has at least one character per two bytes, so a file of more than
    // twice the capacity never fits; rich text that large is refused as well rather
    // than read into memory. Only that much (and a byte more, to tell) is read.
    const std::size_t limit = 2 * static_cast<std::size_t>(edit->capacity());
    Result<std::string> file = ReadRegularFile(LocalPath(path), limit + 1, FileAccess::Read);
    if (!file) {
        return failure(
            file.status().kind(), Texts::cannotOpen(path, FromLocal(file.status().reason())));
    }
    std::string &read = *file;
    if (read.size() > limit) {
        return failure(ErrorKind::Refused, Texts::tooLarge(path));
    }
    const QByteArray bytes = QByteArray::fromStdString(read);
    read = std::string();

    const std::string_view data(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const Rgb colorBefore = edit->insertColor();
    edit->BeginBatch();
    Inserted result = Inserted::All;
    Status outcome;
    if (LooksLikeRtf(data)) {
        const RtfDocument doc = ReadRtf(data);
        if (!doc.status) {
            outcome = failure(ErrorKind::Invalid, Texts::badRtf(path, doc.status.reason()));
            result = Inserted::Malformed;
        } else {
            result = insertRtf(edit, doc, progress);
        }
    } else {
        edit->SetInsertColor(Colors::Red);
        result = progress ? insertPlainInSteps(edit, bytes, progress)
                          : Inserter(edit, 0, progress).insert(plainText(bytes));
    }
    if (result == Inserted::Gone) {
        return { ErrorKind::Cancelled, {} };
    }
    if (result == Inserted::TooLarge) {
        outcome = failure(ErrorKind::Refused, Texts::tooLarge(path));
    } else if (result == Inserted::Cancelled) {
        outcome = Status(ErrorKind::Cancelled, {});
    }
    if (result != Inserted::All) {
        edit->ClearDocument();
    }
    edit->SetInsertColor(colorBefore);
    edit->setSelStart(0);
    edit->EndBatch();
    return outcome;
}

Status SaveDocumentPlain(const RichEdit *edit, const QString &path)
{
    QByteArray bytes;
    for (const QString &line : edit->lines()) {
        const std::string encoded = ToCp936(line);
        bytes.append(encoded.data(), static_cast<qsizetype>(encoded.size()));
        bytes.append("\r\n", 2);
    }

    const Status written = ReplaceFileAtomically(LocalPath(path),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!written) {
        return failure(written.kind(), Texts::cannotWrite(path, FromLocal(written.reason())));
    }
    return {};
}
