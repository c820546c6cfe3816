#include "language.h"

#include "settings/appconfig.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

InterfaceLanguage g_current = InterfaceLanguage::Chinese;

} // namespace

LanguageChoice LanguageChoiceFromKey(const QString &key)
{
    if (key == QLatin1String("zh")) {
        return LanguageChoice::Chinese;
    }
    if (key == QLatin1String("en")) {
        return LanguageChoice::English;
    }
    return LanguageChoice::System;
}

QString LanguageChoiceKey(LanguageChoice choice)
{
    switch (choice) {
    case LanguageChoice::Chinese:
        return QStringLiteral("zh");
    case LanguageChoice::English:
        return QStringLiteral("en");
    case LanguageChoice::System:
        break;
    }
    return QStringLiteral("system");
}

InterfaceLanguage SystemInterfaceLanguage(const QLocale &locale)
{
    if (locale.language() == QLocale::C) {
        return InterfaceLanguage::Chinese;
    }
    for (const QString &name : locale.uiLanguages()) {
        const QLocale::Language language = QLocale(name).language();
        if (language == QLocale::English) {
            return InterfaceLanguage::English;
        }
        if (language == QLocale::Chinese) {
            return InterfaceLanguage::Chinese;
        }
    }
    return InterfaceLanguage::Chinese;
}

InterfaceLanguage ResolveLanguage(LanguageChoice choice, const QLocale &locale)
{
    switch (choice) {
    case LanguageChoice::Chinese:
        return InterfaceLanguage::Chinese;
    case LanguageChoice::English:
        return InterfaceLanguage::English;
    case LanguageChoice::System:
        break;
    }
    return SystemInterfaceLanguage(locale);
}

InterfaceLanguage InstallInterfaceLanguage()
{
    const LanguageChoice choice = LanguageChoiceFromKey(AppConfig().language());
    InterfaceLanguage language = ResolveLanguage(choice);
    if (language == InterfaceLanguage::English) {
        // Lives as long as the application; the Chinese interface needs none.
        static QTranslator translator;
        if (translator.isEmpty() && !translator.load(QStringLiteral(":/i18n/byteway_en.qm"))) {
            language = InterfaceLanguage::Chinese;
        } else {
            QCoreApplication::installTranslator(&translator);
        }
    }
    if (language == InterfaceLanguage::Chinese) {
        // Qt's own texts (message box and file dialog buttons, the edit fields'
        // menus) would otherwise stay in English among ours. Without Qt's catalogue
        // (qt6-translations-l10n) they do.
        static QTranslator qtTexts;
        if (qtTexts.isEmpty()
            && qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(&qtTexts);
        }
    }
    g_current = language;
    return language;
}

InterfaceLanguage CurrentInterfaceLanguage()
{
    return g_current;
}
