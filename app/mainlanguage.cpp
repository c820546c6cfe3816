// The language menu of the main window.
#include "Main.h"
#include "language.h"
#include "maintexts.h"
#include "settings/appconfig.h"

#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>

void TMainForm::SetUpLanguageMenu()
{
    Help1->addSeparator()->setObjectName(QStringLiteral("N5"));
    LanguageMenu = Help1->addMenu(MainTexts::LanguageMenu);
    LanguageMenu->setObjectName(QStringLiteral("LanguageMenu"));
    auto *group = new QActionGroup(LanguageMenu);
    const LanguageChoice stored = LanguageChoiceFromKey(AppConfig().language());
    const struct
    {
        const char *name;
        const QString &caption;
        LanguageChoice choice;
    } items[] = {
        { "LanguageSystemItem", MainTexts::LanguageSystem, LanguageChoice::System },
        { "LanguageChineseItem", MainTexts::LanguageChinese, LanguageChoice::Chinese },
        { "LanguageEnglishItem", MainTexts::LanguageEnglish, LanguageChoice::English },
    };
    for (const auto &item : items) {
        QAction *action = LanguageMenu->addAction(item.caption);
        action->setObjectName(QLatin1String(item.name));
        action->setCheckable(true);
        action->setChecked(item.choice == stored);
        group->addAction(action);
        const LanguageChoice choice = item.choice;
        connect(action, &QAction::triggered, this, [this, choice] {
            AppConfig config;
            if (LanguageChoiceFromKey(config.language()) == choice) {
                return;
            }
            if (const Status written = config.setLanguage(LanguageChoiceKey(choice)); !written) {
                // Not stored, so no change to come at the next start either.
                config.report(this, written);
                return;
            }
            QMessageBox box(QMessageBox::Information, MainTexts::MainCaption,
                MainTexts::LanguageChanged, QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("LanguageChanged"));
            box.exec();
        });
    }
}
