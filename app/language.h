#pragma once

#include <QLocale>
#include <QString>

// The language of the interface: Chinese (the texts in the sources) or English
// (translations/byteway_en.ts). By default the system's user-interface language
// decides; byteway.conf may hold a choice that overrides it from the next start.
enum class InterfaceLanguage { Chinese, English };

// What byteway.conf keeps under `language`: follow the system, or one of the two.
enum class LanguageChoice { System, Chinese, English };

LanguageChoice LanguageChoiceFromKey(const QString &key);
QString LanguageChoiceKey(LanguageChoice choice);

// English when the first of `locale`'s user-interface languages that Byteway has
// is English; Chinese for Chinese, for the C/POSIX locale and for languages it
// has no translation for.
InterfaceLanguage SystemInterfaceLanguage(const QLocale &locale = QLocale::system());
InterfaceLanguage ResolveLanguage(LanguageChoice choice, const QLocale &locale = QLocale::system());

// Reads the choice from byteway.conf and, for English, installs the translator.
// Call once with the application object made and before any window is built;
// returns the language in effect.
InterfaceLanguage InstallInterfaceLanguage();
// The language InstallInterfaceLanguage put in effect (Chinese before it ran).
InterfaceLanguage CurrentInterfaceLanguage();
