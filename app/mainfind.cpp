// Find and replace on the active document window, through the two modeless dialogs.
#include "Main.h"
#include "document/ChildWin.h"
#include "document/findreplace.h"
#include "textview/richedit.h"

#include <QScreen>

#include <algorithm>

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

// A dialog standing over the hit it selected is moved just below it, or above it
// where the screen has no room below, as editors do; its height and left edge stay.
void MoveAwayFromSelection(QWidget *dialog, const RichEdit &edit)
{
    if (!dialog->isVisible()) {
        return;
    }
    const TextCaret caret = edit.textCursor();
    const QRect local
        = edit.cursorRect(caret.selectionStart()).united(edit.cursorRect(caret.selectionEnd()));
    if (!edit.viewport()->rect().intersects(local)) {
        return;
    }
    const QRect hit(edit.viewport()->mapToGlobal(local.topLeft()), local.size());
    constexpr int kGap = 12;
    const QRect frame = dialog->frameGeometry();
    if (!frame.intersects(hit.adjusted(-kGap, -kGap, kGap, kGap))) {
        return;
    }
    const QScreen *screen = dialog->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    int top = hit.bottom() + kGap;
    if (room.isValid() && top + frame.height() > room.bottom()) {
        top = std::max(room.top(), hit.top() - kGap - frame.height());
    }
    dialog->move(frame.left(), top);
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
    const bool down = dialog != DlgFind || DlgFind->searchDown();
    FindStep(dialog, child->RichEdit1, dialog->findText(), dialog->matchCase(), dialog->wholeWord(),
        down);
    if (child->RichEdit1->selLength() > 0) {
        MoveAwayFromSelection(dialog, *child->RichEdit1);
    }
}

void TMainForm::Replace(bool all)
{
    if (TMDIChild *child = ActiveChild()) {
        ReplaceStep(DlgReplace, child->RichEdit1, *DlgReplace, all);
    }
}
