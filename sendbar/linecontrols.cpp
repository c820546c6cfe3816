#include "linecontrols.h"

#include "sendbartexts.h"
#include "text/codepage.h"
#include "text/cp936guard.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTextCharFormat>

namespace {

// The code page 936 bytes of one character, or none when GBK lacks it.
std::optional<std::string> Cp936Character(std::string_view utf8)
{
    const QString character = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    if (!CharactersOutsideCp936(character).isEmpty()) {
        return std::nullopt;
    }
    return ToCp936(character);
}

QString Reason(const LineProblem &problem, const QString &part)
{
    using Kind = LineProblem::Kind;
    switch (problem.kind) {
    case Kind::LoneBackslash:
        return SendBarTexts::LoneBackslash;
    case Kind::UnknownEscape:
        return SendBarTexts::UnknownEscape.arg(part);
    case Kind::ShortHexEscape:
        return SendBarTexts::ShortHexEscape.arg(part);
    case Kind::NotInCodePage:
        return SendBarTexts::NotInCodePage.arg(part);
    case Kind::NotHexDigit:
        return SendBarTexts::NotHexDigit.arg(part);
    case Kind::OddDigits:
        return SendBarTexts::OddDigits.arg(part);
    case Kind::EmptyGroup:
        return SendBarTexts::EmptyGroup;
    case Kind::None:
        break;
    }
    return {};
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void FillModes(QComboBox *combo)
{
    combo->addItem(SendBarTexts::ModeText, static_cast<int>(LineMode::Text));
    combo->addItem(SendBarTexts::ModeHex, static_cast<int>(LineMode::Hex));
}

void FillEndings(QComboBox *combo)
{
    combo->addItem(SendBarTexts::EndingNone, static_cast<int>(LineEnding::None));
    combo->addItem(QStringLiteral("CR"), static_cast<int>(LineEnding::Cr));
    combo->addItem(QStringLiteral("LF"), static_cast<int>(LineEnding::Lf));
    combo->addItem(QStringLiteral("CR LF"), static_cast<int>(LineEnding::CrLf));
}

void FillChecksums(QComboBox *combo)
{
    const auto add = [combo](const QString &text, Checksum checksum) {
        combo->addItem(text, static_cast<int>(checksum));
    };
    add(SendBarTexts::ChecksumNone, Checksum::None);
    add(QStringLiteral("SUM-8"), Checksum::Sum8);
    add(QStringLiteral("XOR-8"), Checksum::Xor8);
    add(QStringLiteral("CRC-8"), Checksum::Crc8);
    add(SendBarTexts::LowFirst.arg(QStringLiteral("CRC-16/MODBUS")), Checksum::Crc16Modbus);
    add(SendBarTexts::HighFirst.arg(QStringLiteral("CRC-16/CCITT-FALSE")),
        Checksum::Crc16CcittFalse);
    add(SendBarTexts::HighFirst.arg(QStringLiteral("CRC-16/XMODEM")), Checksum::Crc16Xmodem);
    add(SendBarTexts::LowFirst.arg(QStringLiteral("CRC-32")), Checksum::Crc32);
}

LineMode ModeOf(const QComboBox &combo)
{
    return static_cast<LineMode>(combo.currentData().toInt());
}

LineEnding EndingOf(const QComboBox &combo)
{
    return static_cast<LineEnding>(combo.currentData().toInt());
}

Checksum ChecksumOf(const QComboBox &combo)
{
    return static_cast<Checksum>(combo.currentData().toInt());
}

void SelectValue(QComboBox *combo, int value)
{
    const int index = combo->findData(value);
    if (index >= 0) {
        combo->setCurrentIndex(index);
    }
}

LineCheck CheckLine(const QString &text, LineMode mode, Checksum checksum, LineEnding ending)
{
    const QByteArray utf8 = text.toUtf8();
    const std::string_view view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    LineProblem problem;
    Result<std::string> data = ParseLine(view, mode, Cp936Character, &problem);
    LineCheck check;
    if (data) {
        check.bytes = FrameLine(std::move(*data), checksum, ending);
        return check;
    }
    // Offsets count UTF-8 bytes; the edit counts UTF-16 units.
    check.start = static_cast<int>(FromUtf8(view.substr(0, problem.offset)).size());
    const QString part = FromUtf8(view.substr(problem.offset, problem.length));
    check.length = static_cast<int>(part.size());
    check.reason = Reason(problem, part);
    return check;
}

LineCheck CheckCommandLine(const QuickCommand &command)
{
    return CheckLine(FromUtf8(command.data), command.mode, command.checksum, command.ending);
}

void MarkFault(QLineEdit *edit, int start, int length, const QString &reason)
{
    // A line edit shows formats only as input method attributes, relative to the
    // cursor; an empty commit string leaves its text alone.
    QList<QInputMethodEvent::Attribute> attributes;
    if (length > 0) {
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(Qt::red);
        format.setForeground(Qt::red);
        attributes.append(QInputMethodEvent::Attribute(
            QInputMethodEvent::TextFormat, start - edit->cursorPosition(), length, format));
    }
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(edit, &event);
    edit->setToolTip(reason);
}
