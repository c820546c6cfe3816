#pragma once

#include "textview/richedit.h"

#include <QColor>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>

#include <vector>

// What a document shows, as runs of one colour each ("" for text without a colour
// of its own), adjacent runs of the same colour merged, line breaks as "\n".
struct ColorRun
{
    QString text;
    QString color; // QColor::name() or ""
    friend bool operator==(const ColorRun &, const ColorRun &) = default;
};

inline std::vector<ColorRun> ColorRuns(const QTextDocument *doc)
{
    std::vector<ColorRun> runs;
    auto add = [&runs](const QString &text, const QString &color) {
        if (!runs.empty() && runs.back().color == color) {
            runs.back().text += text;
        } else {
            runs.push_back({ text, color });
        }
    };
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block != doc->begin()) {
            add(QStringLiteral("\n"), runs.empty() ? QString() : runs.back().color);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            add(fragment.text(),
                format.hasProperty(QTextFormat::ForegroundBrush)
                    ? format.foreground().color().name()
                    : QString());
        }
    }
    return runs;
}

// The same for the document control: a line break takes the colour of the text
// before it, as the document shows it.
inline std::vector<ColorRun> ColorRuns(const RichEdit &edit)
{
    std::vector<ColorRun> runs;
    const QString text = edit.toPlainText();
    const auto colored = edit.colorRuns(0, static_cast<int>(text.size()));
    for (std::size_t i = 0; i < colored.size(); ++i) {
        const int from = colored[i].first;
        const int to
            = i + 1 < colored.size() ? colored[i + 1].first : static_cast<int>(text.size());
        const Rgb c = colored[i].second;
        const QString color = QColor(c.r, c.g, c.b).name();
        for (int k = from; k < to; ++k) {
            const QString piece = text.mid(k, 1);
            const QString own
                = piece == QStringLiteral("\n") && !runs.empty() ? runs.back().color : color;
            if (!runs.empty() && runs.back().color == own) {
                runs.back().text += piece;
            } else {
                runs.push_back({ piece, own });
            }
        }
    }
    return runs;
}

inline QString DescribeRuns(const std::vector<ColorRun> &runs)
{
    QString out;
    for (const ColorRun &run : runs) {
        out += QStringLiteral("[%1]%2").arg(run.color, run.text);
    }
    return out;
}
