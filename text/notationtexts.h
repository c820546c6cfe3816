#pragma once

#include "uitext.h"

#include <QString>

// The words of the notation combo box ComboDataType. The notation is told by the
// combo's text compared with the Chinese words, so a translated word is first
// turned back into its Chinese source; any other text, typed by the user, is
// taken as it is.
namespace NotationTexts {

inline constexpr const char *kContext = "MainTexts";
inline constexpr UiText Hexadecimal { kContext, QT_TRANSLATE_NOOP("MainTexts", "16进制") };
inline constexpr UiText Decimal { kContext, QT_TRANSLATE_NOOP("MainTexts", "10进制") };
inline constexpr UiText Characters { kContext, QT_TRANSLATE_NOOP("MainTexts", "ACSII字符") };

inline QString SourceText(const QString &comboText)
{
    for (const UiText &word : { Hexadecimal, Decimal, Characters }) {
        if (comboText == word.text()) {
            return word.source();
        }
    }
    return comboText;
}

} // namespace NotationTexts
