// Document windows, the file and window commands, and the enabled states that
// follow the number of open document windows.
#include "Main.h"
#include "document/ChildWin.h"
#include "document/documentfile.h"
#include "intervaltimer.h"
#include "maintexts.h"
#include "porthold.h"
#include "text/errorreport.h"
#include "textview/richedit.h"
#include "tiling.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QProgressDialog>
#include <QToolButton>

namespace {

// The platform's own dialogs cannot be driven from tests and may not show the
// filter text as given; Qt's dialog can and does.
QString chooseFile(
    QWidget *parent, const QString &name, QFileDialog::AcceptMode mode, const QString &filter)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(name);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().constFirst();
}

// "&" in a caption would turn into an access key in the window menu.
QString menuCaption(int number, const QString &title)
{
    QString escaped = title;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    if (number <= 9) {
        return QStringLiteral("&%1 %2").arg(number).arg(escaped);
    }
    return QStringLiteral("%1 %2").arg(number).arg(escaped);
}

} // namespace

QList<TMDIChild *> TMainForm::Children() const
{
    QList<TMDIChild *> children;
    for (QMdiSubWindow *window : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
        // A closed window is hidden at once and deleted later: it no longer counts.
        auto *child = qobject_cast<TMDIChild *>(window);
        if (child && !child->isHidden()) {
            children.append(child);
        }
    }
    return children;
}

int TMainForm::ChildCount() const
{
    return static_cast<int>(Children().size());
}

TMDIChild *TMainForm::ActiveChild() const
{
    // currentSubWindow(), unlike activeSubWindow(), still names the window while the
    // find dialog or the settings dialog has the focus.
    auto *child = qobject_cast<TMDIChild *>(MdiArea->currentSubWindow());
    return child && !child->isHidden() ? child : nullptr;
}

QString TMainForm::nextDocumentName() const
{
    return MainTexts::DocumentPrefix + QString::number(ChildCount() + 1);
}

void TMainForm::CreateDocumentWindow(const QString &name)
{
    auto *child = new TMDIChild;
    child->setWindowTitle(name);
    connect(child->RichEdit1, &RichEdit::foreignCharactersReplaced, this,
        [this] { showStateMessage(MainTexts::ForeignCharacters); });
    MdiArea->addSubWindow(child);
    child->showMaximized();
    MdiArea->setActiveSubWindow(child);
    const QFileInfo file(name);
    if (!file.isFile()) {
        return;
    }
    ShowErrorReport(this,
        file.size() < kLoadInStepsFrom ? LoadDocumentFile(child->RichEdit1, name)
                                       : loadWithProgress(child, name));
}

// The control lays out a big file for seconds (about one per megabyte): it goes in
// in steps behind a progress window whose 取消 stops it, and the window keeps
// answering in between. A cancelled window stays open and empty.
Status TMainForm::loadWithProgress(TMDIChild *child, const QString &path)
{
    QProgressDialog progress(MainTexts::LoadProgressLabel.arg(QDir::toNativeSeparators(path)),
        MainTexts::LoadProgressCancel, 0, kProgressSteps, this);
    progress.setObjectName(QStringLiteral("LoadProgress"));
    progress.setWindowTitle(MainTexts::LoadProgressTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    return LoadDocumentFile(child->RichEdit1, path, [&](qint64 done, qint64 total) {
        progress.setValue(static_cast<int>(total > 0 ? done * kProgressSteps / total : 0));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
}

void TMainForm::FileNew1Execute()
{
    CreateDocumentWindow(nextDocumentName());
}

void TMainForm::FileOpen1Execute()
{
    const QString path = chooseFile(
        this, QStringLiteral("OpenDialog"), QFileDialog::AcceptOpen, MainTexts::OpenFilter);
    if (!path.isEmpty()) {
        CreateDocumentWindow(path);
    }
}

void TMainForm::FileSaveAsItemClick()
{
    const QString path = chooseFile(
        this, QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave, MainTexts::SaveFilter);
    if (path.isEmpty()) {
        return;
    }
    TMDIChild *child = ActiveChild();
    if (!child) {
        return;
    }
    ShowErrorReport(this, SaveDocumentPlain(child->RichEdit1, path));
}

void TMainForm::FileClose1Execute()
{
    if (TMDIChild *child = ActiveChild()) {
        child->close();
    }
}

void TMainForm::WindowCascade1Execute()
{
    MdiArea->cascadeSubWindows();
}

void TMainForm::WindowTileHorizontal1Execute()
{
    TileOneAboveOther(MdiArea);
}

void TMainForm::WindowTileVertical1Execute()
{
    TileSideBySide(MdiArea);
}

void TMainForm::UpdateMenuItems()
{
    const bool any = ChildCount() > 0;
    for (QToolButton *button : { BtnSend, BtnRecieve, BtnOption, BtnClear, BtnFind, BtnCom }) {
        button->setEnabled(any);
    }
    if (PortHold::Held(*this)) {
        BtnSend->setEnabled(false);
        BtnRecieve->setEnabled(false);
    }
    if (FileSendItem) {
        FileSendItem->setEnabled(!PortHold::Held(*this));
        FileReceiveItem->setEnabled(!PortHold::Held(*this));
    }
    FileSaveAsItem->setEnabled(any);
    ItemFind->setEnabled(any);
    ItemReplace->setEnabled(any);
    if (!any) {
        Timer1->setEnabled(false);
    }
    updateWindowCommands();
}

void TMainForm::updateWindowCommands()
{
    const bool any = ChildCount() > 0;
    FileClose1->setEnabled(ActiveChild() != nullptr);
    WindowCascade1->setEnabled(any);
    WindowTileHorizontal1->setEnabled(any);
    WindowTileVertical1->setEnabled(any);
}

void TMainForm::fillWindowMenu()
{
    qDeleteAll(m_windowListItems);
    m_windowListItems.clear();
    const QList<TMDIChild *> children = Children();
    if (children.isEmpty()) {
        return;
    }
    m_windowListItems.append(Window1->addSeparator());
    const TMDIChild *active = ActiveChild();
    int number = 0;
    for (TMDIChild *child : children) {
        QAction *item = Window1->addAction(menuCaption(++number, child->windowTitle()));
        item->setCheckable(true);
        item->setChecked(child == active);
        connect(item, &QAction::triggered, child, [this, child] {
            if (child->isMinimized()) {
                child->showNormal();
            }
            MdiArea->setActiveSubWindow(child);
        });
        m_windowListItems.append(item);
    }
}
