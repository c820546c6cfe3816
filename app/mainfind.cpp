// Find and replace on the active document window, through the two modeless dialogs.
#include "ChildWin.h"
#include "Main.h"
#include "findreplace.h"
#include "richedit.h"

void TMainForm::createSearchDialogs()
{
    DlgFind = new TFindDialog(this);
    DlgReplace = new TReplaceDialog(this);
    connect(DlgFind, &TFindDialog::findNext, this, [this] { Find(DlgFind); });
    connect(DlgReplace, &TReplaceDialog::findNext, this, [this] { Find(DlgReplace); });
    connect(DlgReplace, &TReplaceDialog::replace, this, &TMainForm::Replace);
}

namespace {

// Presets the search field from the document's selection, unless the dialog is
// already open: then its field keeps what the user sees.
void openSearchDialog(TSearchDialog *dialog, const TMDIChild *child)
{
    if (!dialog->isVisible()) {
        dialog->setFindText(child->RichEdit1->selectedText());
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void TMainForm::BtnFindClick()
{
    if (TMDIChild *child = ActiveChild()) {
        openSearchDialog(DlgFind, child);
    }
}

void TMainForm::BtnReplaceClick()
{
    if (TMDIChild *child = ActiveChild()) {
        openSearchDialog(DlgReplace, child);
    }
}

void TMainForm::Find(TSearchDialog *dialog)
{
    TMDIChild *child = ActiveChild();
    if (!child) {
        return;
    }
    FindStep(
        dialog, child->RichEdit1, dialog->findText(), dialog->matchCase(), dialog->wholeWord());
}

void TMainForm::Replace(bool all)
{
    if (TMDIChild *child = ActiveChild()) {
        ReplaceStep(DlgReplace, child->RichEdit1, *DlgReplace, all);
    }
}
