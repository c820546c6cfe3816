// The controls of the settings dialog, placed where the window layout had them.
#include "option.h"
#include "optiontexts.h"
#include "text/cp936guard.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace {

constexpr int kFieldHeight = 21;
constexpr int kCheckHeight = 17;

template <typename Widget>
Widget *Named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *AddLabel(QWidget *parent, const char *name, const UiText &caption, int x, int y)
{
    auto *label = Named(new QLabel(Texts::Text(caption), parent), name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A field's accessible name says what it holds: its label is a caption beside it,
// often with padding, and without a name an assistive client reads its value.
template <typename Widget>
Widget *Accessible(Widget *widget, const UiText &name)
{
    widget->setAccessibleName(Texts::Text(name));
    return widget;
}

// The editable combo box's line edit is what takes the focus: it is named too.
QComboBox *Accessible(QComboBox *combo, const UiText &name)
{
    combo->setAccessibleName(Texts::Text(name));
    if (combo->lineEdit() != nullptr) {
        combo->lineEdit()->setAccessibleName(Texts::Text(name));
    }
    return combo;
}

QLineEdit *AddEdit(QWidget *parent, const char *name, const char *text, int x, int y, int width,
    const UiText &accessibleName)
{
    auto *edit = Named(new QLineEdit(Texts::Text(text), parent), name);
    edit->setGeometry(x, y, width, kFieldHeight);
    return Accessible(edit, accessibleName);
}

QCheckBox *AddCheck(
    QWidget *parent, const char *name, const UiText &caption, int x, int y, int width)
{
    auto *check = Named(new QCheckBox(Texts::Text(caption), parent), name);
    check->setGeometry(x, y, width, kCheckHeight);
    return check;
}

QRadioButton *AddRadio(
    QWidget *parent, const char *name, const UiText &caption, int x, int y, int width)
{
    auto *radio = Named(new QRadioButton(Texts::Text(caption), parent), name);
    radio->setGeometry(x, y, width, kCheckHeight);
    return radio;
}

// An editable combo box: the user may pick an item or type any text. Typed text is
// never added to the items.
QComboBox *AddCombo(QWidget *parent, const char *name, const QStringList &items,
    const QString &text, int x, int y, int width)
{
    auto *combo = Named(new QComboBox(parent), name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setEditText(text);
    combo->setGeometry(x, y, width, kFieldHeight);
    return combo;
}

QPushButton *AddButton(QWidget *parent, const char *name, const UiText &caption, int x, int y)
{
    auto *button = Named(new QPushButton(Texts::Text(caption), parent), name);
    button->setGeometry(x, y, 75, 25);
    // Neither button is the default or the cancel button: Enter in another control
    // and Escape press neither.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The width a control needs for its text, or 0 for controls whose width does not
// follow a text.
int NeededWidth(QWidget *widget)
{
    if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget)
        || qobject_cast<QRadioButton *>(widget)) {
        return widget->sizeHint().width();
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        int text = 0;
        for (int i = 0; i < combo->count(); ++i) {
            text = std::max(text, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
        }
        // The frame, the text margins and the arrow button around the text.
        return text + 36;
    }
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        // The frame and the text margins around the caption.
        return button->fontMetrics().horizontalAdvance(button->text()) + 12;
    }
    return 0;
}

// The controls of `page` with their places on the page, left to right. The group
// box is a frame behind a row, not a member of it.
struct Placed
{
    QWidget *widget;
    QRect rect;
};

QList<Placed> PlacedControls(QWidget *page)
{
    QList<Placed> controls;
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        if (qobject_cast<QGroupBox *>(widget) || !widget->parentWidget()
            || !(widget->parentWidget() == page
                || qobject_cast<QGroupBox *>(widget->parentWidget()))) {
            continue;
        }
        controls.append({ widget, QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()) });
    }
    std::sort(controls.begin(), controls.end(),
        [](const Placed &a, const Placed &b) { return a.rect.x() < b.rect.x(); });
    return controls;
}

// Makes room for texts longer than the Chinese ones the places were made for: a
// control grows to its text and the controls to its right on the same row move
// along. Returns how far the page's contents now reach to the right.
int FitTexts(QWidget *page)
{
    constexpr int kGap = 4;
    QList<Placed> controls = PlacedControls(page);
    const auto sameRow = [](const QRect &a, const QRect &b) {
        return a.top() < b.bottom() && b.top() < a.bottom();
    };
    int reach = 0;
    for (qsizetype i = 0; i < controls.size(); ++i) {
        Placed &control = controls[i];
        const int needed = NeededWidth(control.widget);
        if (needed > control.rect.width()) {
            control.widget->resize(needed, control.widget->height());
            control.rect.setWidth(needed);
        }
        if (needed > 0) {
            // The nearest control to the right on the row must start after the text.
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                if (!sameRow(control.rect, controls[j].rect)) {
                    continue;
                }
                const int shift = control.rect.x() + needed + kGap - controls[j].rect.x();
                if (shift > 0) {
                    for (qsizetype k = j; k < controls.size(); ++k) {
                        if (sameRow(controls[j].rect, controls[k].rect)) {
                            controls[k].widget->move(controls[k].widget->pos() + QPoint(shift, 0));
                            controls[k].rect.translate(shift, 0);
                        }
                    }
                }
                break;
            }
        }
        reach = std::max(reach, control.rect.right() + 1);
    }
    // A group box keeps the controls it frames inside.
    for (QGroupBox *group : page->findChildren<QGroupBox *>()) {
        int right = group->geometry().right();
        for (const Placed &control : controls) {
            if (group->geometry().intersects(control.rect)) {
                right = std::max(right, control.rect.right() + 8);
            }
        }
        group->resize(right - group->x() + 1, group->height());
        reach = std::max(reach, right + 1);
    }
    return reach;
}

} // namespace

void TFrmOption::fitTranslatedTexts()
{
    constexpr int kMargin = 12;
    int reach = 0;
    for (QWidget *page : { TabSheet1, TabSheet2, TabSheet3, TabSheet4 }) {
        reach = std::max(reach, FitTexts(page));
    }
    const int tabs = PageControl1->tabBar()->sizeHint().width();
    const int grow = std::max({ 0, reach + kMargin - PageControl1->width(), tabs - width() });
    if (grow == 0) {
        return;
    }
    setFixedSize(width() + grow, height());
    PageControl1->resize(PageControl1->width() + grow, PageControl1->height());
    for (QWidget *button : { static_cast<QWidget *>(Button1), static_cast<QWidget *>(Button2) }) {
        button->move(button->pos() + QPoint(grow, 0));
    }
}

void TFrmOption::createControls()
{
    setObjectName(QStringLiteral("FrmOption"));
    setWindowTitle(Texts::Text(Texts::kCaption));
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    // The client area of a 320 x 297 window with the classic frame and caption.
    setFixedSize(312, 270);

    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    PageControl1->setGeometry(0, 0, 312, 231);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    TabSheet3 = Named(new QWidget, "TabSheet3");
    TabSheet4 = Named(new QWidget, "TabSheet4");
    PageControl1->addTab(TabSheet1, Texts::Text(Texts::kSendingTab));
    PageControl1->addTab(TabSheet2, Texts::Text(Texts::kReceivingTab));
    PageControl1->addTab(TabSheet3, Texts::Text(Texts::kSystemTab));
    PageControl1->addTab(TabSheet4, Texts::Text(Texts::kPortTab));
    createSendingTab();
    createReceivingTab();
    createSystemTab();
    createPortTab();
    PageControl1->setCurrentIndex(0);

    Button1 = AddButton(this, "Button1", Texts::kOk, 152, 240);
    Button2 = AddButton(this, "Button2", Texts::kCancel, 232, 240);
    // The places fit the Chinese texts; a translation may need more room.
    if (Texts::kCaption.text() != Texts::kCaption.source()) {
        fitTranslatedTexts();
    }
}

void TFrmOption::createSendingTab()
{
    QWidget *tab = TabSheet1;
    // The frame comes first so that it is drawn behind the radio buttons and edits.
    GroupBox1 = Named(new QGroupBox(Texts::Text(Texts::kGroupBox1), tab), "GroupBox1");
    GroupBox1->setGeometry(8, 96, 289, 97);

    ChkSendTimer = AddCheck(tab, "ChkSendTimer", Texts::kChkSendTimer, 14, 29, 73);
    Label1 = AddLabel(tab, "Label1", Texts::kLabel1, 88, 32);
    TimeInterval = AddEdit(
        tab, "TimeInterval", Texts::kTimeIntervalText, 183, 28, 65, Texts::kTimeIntervalName);
    Label11 = AddLabel(tab, "Label11", Texts::kLabel11, 256, 32);
    Label18 = AddLabel(tab, "Label18", Texts::kLabel18, 13, 68);
    TwoCharDelay = AddEdit(
        tab, "TwoCharDelay", Texts::kTwoCharDelayText, 154, 65, 65, Texts::kTwoCharDelayName);
    Label19 = AddLabel(tab, "Label19", Texts::kLabel19, 224, 69);

    ManSetting = AddRadio(tab, "ManSetting", Texts::kManSetting, 17, 123, 73);
    ManSetting->setChecked(true);
    SendChar = AddEdit(tab, "SendChar", Texts::kSendCharText, 96, 123, 169, Texts::kSendCharName);
    GuardCp936(SendChar, Texts::Text(Texts::kSendCharOutsideCp936));
    AutoSetting = AddRadio(tab, "AutoSetting", Texts::kAutoSetting, 17, 158, 73);
    // The two labels belong to the frame; their places are those on the tab.
    Label2 = AddLabel(GroupBox1, "Label2", Texts::kLabel2, 96 - 8, 160 - 96);
    SendStart
        = AddEdit(tab, "SendStart", Texts::kSendStartText, 114, 159, 33, Texts::kSendStartName);
    Label5 = AddLabel(GroupBox1, "Label5", Texts::kLabel5, 152 - 8, 160 - 96);
    SendEnd = AddEdit(tab, "SendEnd", Texts::kSendEndText, 169, 159, 97, Texts::kSendEndName);
}

void TFrmOption::createReceivingTab()
{
    QWidget *tab = TabSheet2;
    Label3 = AddLabel(tab, "Label3", Texts::kLabel3, 24, 40);
    LineCharNum = AddEdit(
        tab, "LineCharNum", Texts::kLineCharNumText, 112, 40, 121, Texts::kLineCharNumName);
    Label4 = AddLabel(tab, "Label4", Texts::kLabel4, 24, 72);
    ParaCharNum = AddEdit(
        tab, "ParaCharNum", Texts::kParaCharNumText, 112, 72, 121, Texts::kParaCharNumName);
    ChkRecOrder = AddCheck(tab, "ChkRecOrder", Texts::kChkRecOrder, 16, 112, 273);
    Label8 = AddLabel(tab, "Label8", Texts::kLabel8, 16, 144);
    ParaStart
        = AddEdit(tab, "ParaStart", Texts::kParaStartText, 104, 136, 57, Texts::kParaStartName);
    Label17 = AddLabel(tab, "Label17", Texts::kLabel17, 176, 144);
    ParaEnd = AddEdit(tab, "ParaEnd", Texts::kParaEndText, 192, 136, 65, Texts::kParaEndName);
}

void TFrmOption::createSystemTab()
{
    QWidget *tab = TabSheet3;
    ChkAutoClear = AddCheck(tab, "ChkAutoClear", Texts::kChkAutoClear, 24, 32, 97);
    ClearLineNum = AddEdit(
        tab, "ClearLineNum", Texts::kClearLineNumText, 24, 64, 81, Texts::kClearLineNumName);
    Label10 = AddLabel(tab, "Label10", Texts::kLabel10, 112, 72);
}

void TFrmOption::createPortTab()
{
    QWidget *tab = TabSheet4;
    Label12 = AddLabel(tab, "Label12", Texts::kLabel12, 16, 40);
    ComPort = AddCombo(tab, "ComPort", Texts::Items(Texts::kPortItems),
        Texts::Text(Texts::kComPortText), 80, 36, 65);
    Accessible(ComPort, Texts::kComPortName);
    Label13 = AddLabel(tab, "Label13", Texts::kLabel13, 24, 80);
    ComBps = AddCombo(tab, "ComBps", Texts::Items(Texts::kBaudItems),
        Texts::Text(Texts::kComBpsText), 79, 77, 65);
    Accessible(ComBps, Texts::kComBpsName);
    Label14 = AddLabel(tab, "Label14", Texts::kLabel14, 24, 128);
    ComBitNum = AddCombo(tab, "ComBitNum", Texts::Items(Texts::kDataBitItems),
        Texts::Text(Texts::kComBitNumText), 80, 124, 65);
    Accessible(ComBitNum, Texts::kComBitNumName);
    Label15 = AddLabel(tab, "Label15", Texts::kLabel15, 152, 80);
    ComJO = AddCombo(tab, "ComJO", Texts::Items(Texts::kParityItems),
        Texts::Text(Texts::kParityItems[0]), 208, 76, 49);
    Accessible(ComJO, Texts::kComJOName);
    Label16 = AddLabel(tab, "Label16", Texts::kLabel16, 160, 128);
    ComBitStop = AddCombo(tab, "ComBitStop", Texts::Items(Texts::kStopBitItems),
        Texts::Text(Texts::kStopBitItems[0]), 208, 124, 49);
    Accessible(ComBitStop, Texts::kComBitStopName);
#ifndef _WIN32
    ComPortDevice = Named(new QLabel(tab), "ComPortDevice");
    ComPortDevice->setGeometry(150, 36, 150, kFieldHeight);
    LabelComDevice = AddLabel(tab, "LabelComDevice", Texts::kLabelComDevice, 16, 168);
    ComDevice = Named(new QComboBox(tab), "ComDevice");
    ComDevice->setEditable(true);
    ComDevice->setInsertPolicy(QComboBox::NoInsert);
    // The field takes exactly what was typed or chosen: completing "/dev/tty" to
    // "/dev/ttyS0" would bind a real line the user never named.
    ComDevice->setCompleter(nullptr);
    ComDevice->setGeometry(48, 164, 208, kFieldHeight);
    Accessible(ComDevice, Texts::kComDeviceName);
    // The entries carry their details; the list may be wider than the field.
    ComDevice->view()->setMinimumWidth(360);
    ComDevice->view()->setTextElideMode(Qt::ElideMiddle);
    LabelComDevice->setBuddy(ComDevice);
    ComDeviceRefresh
        = Named(new QPushButton(Texts::Text(Texts::kComDeviceRefresh), tab), "ComDeviceRefresh");
    ComDeviceRefresh->setGeometry(260, 163, 40, kFieldHeight + 2);
    ComDeviceRefresh->setAutoDefault(false);
    ComDeviceRefresh->setToolTip(Texts::Text(Texts::kComDeviceRefreshTip));
#endif
}
