// The controls, commands and menus of the main window.
#include "Main.h"
#include "editcommands.h"
#include "icons.h"
#include "intervaltimer.h"
#include "language.h"
#include "maintexts.h"
#include "text/cp936guard.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kButtonSize = 58;
constexpr int kButtonStep = 58;
constexpr int kButtonLeft = 5;
constexpr int kPanelHeight = 61;
constexpr int kToolBarIndent = 5;

// A hint "tip|status" shows "tip" as tooltip and "status" in the status bar; a hint
// without "|" shows the whole text in both.
void setHint(QWidget *widget, const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    widget->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void setHint(QAction *action, const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QToolButton *addButton(QWidget *panel, int index, const char *name, const QString &caption,
    const QString &hint, Icons::Button picture, bool toggle)
{
    auto *button = new QToolButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setIcon(Icons::ButtonIcon(picture));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setCheckable(toggle);
    button->setGeometry(kButtonLeft + index * kButtonStep, 0, kButtonSize, kButtonSize);
    setHint(button, hint);
    return button;
}

QFrame *addSeparator(QWidget *row, const char *name)
{
    auto *separator = new QFrame(row);
    separator->setObjectName(QLatin1String(name));
    separator->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    separator->setFixedWidth(8);
    row->layout()->addWidget(separator);
    return separator;
}

QLabel *addLabel(QWidget *row, const char *name, const QString &text, int width)
{
    auto *label = new QLabel(text, row);
    label->setObjectName(QLatin1String(name));
    label->setFixedWidth(width);
    row->layout()->addWidget(label);
    return label;
}

} // namespace

void TMainForm::nameToolBarOverflow(QToolBar *bar)
{
    // The button that shows what does not fit is the tool bar's own, without text.
    if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(MainTexts::ToolBarMoreName);
    }
}

void TMainForm::createButtonBar()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kPanelHeight);
    BtnSend = addButton(
        Panel1, 0, "BtnSend", MainTexts::BtnSend, MainTexts::BtnSend, Icons::Button::Send, true);
    BtnRecieve = addButton(Panel1, 1, "BtnRecieve", MainTexts::BtnRecieve, MainTexts::BtnRecieve,
        Icons::Button::Receive, true);
    BtnOption = addButton(Panel1, 2, "BtnOption", MainTexts::BtnOption, MainTexts::BtnOption,
        Icons::Button::Settings, false);
    BtnOption->setAccessibleName(MainTexts::BtnOptionName);
    BtnClear = addButton(Panel1, 3, "BtnClear", MainTexts::BtnClear, MainTexts::BtnClear,
        Icons::Button::Clear, false);
    BtnFind = addButton(
        Panel1, 4, "BtnFind", MainTexts::BtnFind, MainTexts::BtnFind, Icons::Button::Find, false);
    BtnCom = addButton(
        Panel1, 5, "BtnCom", MainTexts::BtnCom, MainTexts::BtnComHint, Icons::Button::Port, true);
}

void TMainForm::createToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setStyleSheet(
        QStringLiteral("QToolBar#ToolBar1 { border: 1px solid palette(mid); }"));
    nameToolBarOverflow(ToolBar1);

    // The controls stand side by side without gaps, the first one kToolBarIndent
    // pixels inside the border. QToolBar would put a margin and a spacing of its
    // own around each item, so they share one item and the indent takes off the
    // margin that QToolBar keeps around it.
    auto *row = new QWidget(ToolBar1);
    auto *rowLayout = new QHBoxLayout(row);
    const int itemMargin
        = ToolBar1->style()->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, ToolBar1);
    rowLayout->setContentsMargins(std::max(0, kToolBarIndent - itemMargin), 0, 0, 0);
    rowLayout->setSpacing(0);
    rowLayout->setSizeConstraint(QLayout::SetFixedSize);

    addSeparator(row, "ToolButton1");
    Label1 = addLabel(row, "Label1", MainTexts::Label1, 84);
    Edit2 = new QLineEdit(MainTexts::Edit2Initial, row);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setFixedSize(296, 22);
    GuardCp936(Edit2, MainTexts::Edit2OutsideCp936);
    rowLayout->addWidget(Edit2);
    Label1->setBuddy(Edit2);
    addSeparator(row, "ToolButton2");
    Label2 = addLabel(row, "Label2", MainTexts::Label2, 60);
    ComboDataType = new QComboBox(row);
    ComboDataType->setObjectName(QStringLiteral("ComboDataType"));
    ComboDataType->setEditable(true);
    ComboDataType->setInsertPolicy(QComboBox::NoInsert);
    ComboDataType->addItems({ MainTexts::Hexadecimal, MainTexts::Decimal, MainTexts::Characters });
    ComboDataType->setCurrentIndex(0);
    ComboDataType->setFixedWidth(104);
    ComboDataType->setAccessibleName(MainTexts::ComboDataTypeName);
    ComboDataType->lineEdit()->setAccessibleName(MainTexts::ComboDataTypeName);
    rowLayout->addWidget(ComboDataType);
    Label2->setBuddy(ComboDataType);
    if (CurrentInterfaceLanguage() == InterfaceLanguage::English) {
        fitEnglishToolBar();
    }
    ToolBar1->addWidget(row);
}

// The widths above fit the Chinese texts. The English ones may need more: the
// labels and the notation combo box grow to their texts and Edit2 gives up what
// they take, so that the bar keeps its width.
void TMainForm::fitEnglishToolBar()
{
    int grown = 0;
    for (QLabel *label : { Label1, Label2 }) {
        const int needed = label->sizeHint().width();
        if (needed > label->width()) {
            grown += needed - label->width();
            label->setFixedWidth(needed);
        }
    }
    int itemWidth = 0;
    for (int i = 0; i < ComboDataType->count(); ++i) {
        itemWidth = std::max(
            itemWidth, ComboDataType->fontMetrics().horizontalAdvance(ComboDataType->itemText(i)));
    }
    // The frame, the text margins and the arrow button around the text.
    const int comboWidth = itemWidth + 36;
    if (comboWidth > ComboDataType->width()) {
        grown += comboWidth - ComboDataType->width();
        ComboDataType->setFixedWidth(comboWidth);
    }
    Edit2->setFixedWidth(std::max(Edit2->width() - grown, 160));
}

void TMainForm::createActions()
{
    ImageList1 = Icons::MenuImages();
    auto action = [this](const char *name, const QString &hint, int image = -1,
                      const QKeySequence &shortcut = {}) {
        auto *created = new QAction(this);
        created->setObjectName(QLatin1String(name));
        setHint(created, hint);
        if (image >= 0) {
            created->setIcon(ImageList1.value(image));
        }
        created->setShortcut(shortcut);
        return created;
    };
    FileNew1 = action(
        "FileNew1", MainTexts::FileNew1Hint, Icons::kNew, QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen1 = action(
        "FileOpen1", MainTexts::FileOpen1Hint, Icons::kOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
    FileClose1 = action("FileClose1", MainTexts::FileClose1Hint);
    FileExit1 = action("FileExit1", MainTexts::FileExit1Hint);
    EditCut1 = action(
        "EditCut1", MainTexts::EditCut1Hint, Icons::kCut, QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy1 = action(
        "EditCopy1", MainTexts::EditCopy1Hint, Icons::kCopy, QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste1 = action(
        "EditPaste1", MainTexts::EditPaste1Hint, Icons::kPaste, QKeySequence(Qt::CTRL | Qt::Key_V));
    WindowCascade1 = action("WindowCascade1", MainTexts::WindowCascade1Hint, Icons::kCascade);
    WindowTileHorizontal1 = action(
        "WindowTileHorizontal1", MainTexts::WindowTileHorizontal1Hint, Icons::kTileHorizontally);
    WindowTileVertical1
        = action("WindowTileVertical1", MainTexts::WindowTileVertical1Hint, Icons::kTileVertically);
    HelpAbout1 = action("HelpAbout1", QString());
    m_editCommands = new EditCommands(EditCut1, EditCopy1, EditPaste1, this);
}

namespace {

// A menu item showing `source`'s picture, shortcut and hint, following its enabled
// state and running it when chosen. The shortcut lives on the item, which is in the
// menu bar and therefore reachable, and fires only while the item is enabled.
QAction *addItem(QMenu *menu, const char *name, const QString &caption, QAction *source)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setIcon(source->icon());
    item->setShortcut(source->shortcut());
    item->setStatusTip(source->statusTip());
    item->setEnabled(source->isEnabled());
    source->setShortcut(QKeySequence());
    QObject::connect(
        source, &QAction::changed, item, [item, source] { item->setEnabled(source->isEnabled()); });
    QObject::connect(item, &QAction::triggered, source, [source] { source->trigger(); });
    return item;
}

QAction *addPlainItem(QMenu *menu, const char *name, const QString &caption, const QString &hint)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    setHint(item, hint);
    return item;
}

QMenu *addMenu(QMenuBar *bar, const char *name, const QString &caption, const QString &hint)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setStatusTip(hint);
    return menu;
}

} // namespace

void TMainForm::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // The menus keep the platform's menu font; the 11-pixel face is the controls'.
    bar->setFont(QFont());

    File1 = addMenu(bar, "File1", MainTexts::File1, MainTexts::File1Hint);
    FileNewItem = addItem(File1, "FileNewItem", MainTexts::FileNewItem, FileNew1);
    FileOpenItem = addItem(File1, "FileOpenItem", MainTexts::FileOpenItem, FileOpen1);
    FileCloseItem = addItem(File1, "FileCloseItem", MainTexts::FileCloseItem, FileClose1);
    FileSaveAsItem = addPlainItem(
        File1, "FileSaveAsItem", MainTexts::FileSaveAsItem, MainTexts::FileSaveAsHint);
    FileSendItem
        = addPlainItem(File1, "FileSendItem", MainTexts::FileSendItem, MainTexts::FileSendHint);
    FileReceiveItem = addPlainItem(
        File1, "FileReceiveItem", MainTexts::FileReceiveItem, MainTexts::FileReceiveHint);
    FileLogItem
        = addPlainItem(File1, "FileLogItem", MainTexts::FileLogItem, MainTexts::FileLogHint);
    FileLogItem->setCheckable(true);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    FileExitItem = addItem(File1, "FileExitItem", MainTexts::FileExitItem, FileExit1);

    Edit1 = addMenu(bar, "Edit1", MainTexts::Edit1, MainTexts::Edit1Hint);
    CutItem = addItem(Edit1, "CutItem", MainTexts::CutItem, EditCut1);
    CopyItem = addItem(Edit1, "CopyItem", MainTexts::CopyItem, EditCopy1);
    PasteItem = addItem(Edit1, "PasteItem", MainTexts::PasteItem, EditPaste1);
    Edit1->addSeparator()->setObjectName(QStringLiteral("N3"));
    ItemFind = addPlainItem(Edit1, "ItemFind", MainTexts::ItemFind, QString());
    ItemReplace = addPlainItem(Edit1, "ItemReplace", MainTexts::ItemReplace, QString());
    Edit1->addSeparator()->setObjectName(QStringLiteral("N4"));
    TimeStampItem
        = addPlainItem(Edit1, "TimeStampItem", MainTexts::TimeStampItem, MainTexts::TimeStampHint);
    TimeStampItem->setCheckable(true);

    Window1 = addMenu(bar, "Window1", MainTexts::Window1, MainTexts::Window1Hint);
    WindowCascadeItem
        = addItem(Window1, "WindowCascadeItem", MainTexts::WindowCascadeItem, WindowCascade1);
    WindowTileItem
        = addItem(Window1, "WindowTileItem", MainTexts::WindowTileItem, WindowTileHorizontal1);
    WindowTileItem2
        = addItem(Window1, "WindowTileItem2", MainTexts::WindowTileItem2, WindowTileVertical1);

    Help1 = addMenu(bar, "Help1", MainTexts::Help1, MainTexts::Help1Hint);
    HelpAboutItem = addItem(Help1, "HelpAboutItem", MainTexts::HelpAboutItem, HelpAbout1);
    SetUpLineTest();
    SetUpSession();
    SetUpLanguageMenu();
}
