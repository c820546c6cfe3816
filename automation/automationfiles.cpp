#include "automationfiles.h"

#include "automationstore.h"
#include "automationtexts.h"
#include "text/codepage.h"
#include "text/cp936guard.h"
#include "text/errorreport.h"

#include <QFileDialog>
#include <QLabel>

void ShowApplied(const Status &applied, const AutomationStore &store, QLabel *status)
{
    if (!applied) {
        status->setText(QString::fromStdString(applied.reason()));
        return;
    }
    status->setText(AutomationTexts::Applied.text()
                        .arg(store.set().rules.size())
                        .arg(store.set().sequences.size()));
}

void ImportAutomationFile(QWidget *parent, AutomationStore &store, QLabel *status)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, AutomationTexts::Import.text(), QString(), AutomationTexts::FileFilter.text());
    if (path.isEmpty()) {
        return;
    }
    const Status read = store.importFile(path);
    if (!read) {
        ShowErrorReport(parent, read);
        return;
    }
    status->setText(AutomationTexts::Applied.text()
                        .arg(store.set().rules.size())
                        .arg(store.set().sequences.size()));
}

void ExportAutomationFile(QWidget *parent, const AutomationStore &store, QLabel *status)
{
    const QString path = QFileDialog::getSaveFileName(
        parent, AutomationTexts::Export.text(), QString(), AutomationTexts::FileFilter.text());
    if (path.isEmpty()) {
        return;
    }
    if (const Status written = store.exportFile(path); !written) {
        ShowErrorReport(parent, written);
        return;
    }
    status->setText(path);
}

CharacterEncoder Cp936Encoder()
{
    return [](std::string_view utf8) -> std::optional<std::string> {
        const QString character
            = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        if (!CharactersOutsideCp936(character).isEmpty()) {
            return std::nullopt;
        }
        return ToCp936(character);
    };
}
