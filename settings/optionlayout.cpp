// The controls of the settings dialog, placed where the window layout had them.
#include "option.h"
#include "optiontexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

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

QLineEdit *AddEdit(QWidget *parent, const char *name, const char *text, int x, int y, int width)
{
    auto *edit = Named(new QLineEdit(Texts::Text(text), parent), name);
    edit->setGeometry(x, y, width, kFieldHeight);
    return edit;
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

} // namespace

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
}

void TFrmOption::createSendingTab()
{
    QWidget *tab = TabSheet1;
    // The frame comes first so that it is drawn behind the radio buttons and edits.
    GroupBox1 = Named(new QGroupBox(Texts::Text(Texts::kGroupBox1), tab), "GroupBox1");
    GroupBox1->setGeometry(8, 96, 289, 97);

    ChkSendTimer = AddCheck(tab, "ChkSendTimer", Texts::kChkSendTimer, 14, 29, 73);
    Label1 = AddLabel(tab, "Label1", Texts::kLabel1, 88, 32);
    TimeInterval = AddEdit(tab, "TimeInterval", Texts::kTimeIntervalText, 183, 28, 65);
    Label11 = AddLabel(tab, "Label11", Texts::kLabel11, 256, 32);
    Label18 = AddLabel(tab, "Label18", Texts::kLabel18, 13, 68);
    TwoCharDelay = AddEdit(tab, "TwoCharDelay", Texts::kTwoCharDelayText, 154, 65, 65);
    Label19 = AddLabel(tab, "Label19", Texts::kLabel19, 224, 69);

    ManSetting = AddRadio(tab, "ManSetting", Texts::kManSetting, 17, 123, 73);
    ManSetting->setChecked(true);
    SendChar = AddEdit(tab, "SendChar", Texts::kSendCharText, 96, 123, 169);
    AutoSetting = AddRadio(tab, "AutoSetting", Texts::kAutoSetting, 17, 158, 73);
    // The two labels belong to the frame; their places are those on the tab.
    Label2 = AddLabel(GroupBox1, "Label2", Texts::kLabel2, 96 - 8, 160 - 96);
    SendStart = AddEdit(tab, "SendStart", Texts::kSendStartText, 114, 159, 33);
    Label5 = AddLabel(GroupBox1, "Label5", Texts::kLabel5, 152 - 8, 160 - 96);
    SendEnd = AddEdit(tab, "SendEnd", Texts::kSendEndText, 169, 159, 97);
}

void TFrmOption::createReceivingTab()
{
    QWidget *tab = TabSheet2;
    Label3 = AddLabel(tab, "Label3", Texts::kLabel3, 24, 40);
    LineCharNum = AddEdit(tab, "LineCharNum", Texts::kLineCharNumText, 112, 40, 121);
    Label4 = AddLabel(tab, "Label4", Texts::kLabel4, 24, 72);
    ParaCharNum = AddEdit(tab, "ParaCharNum", Texts::kParaCharNumText, 112, 72, 121);
    ChkRecOrder = AddCheck(tab, "ChkRecOrder", Texts::kChkRecOrder, 16, 112, 273);
    Label8 = AddLabel(tab, "Label8", Texts::kLabel8, 16, 144);
    ParaStart = AddEdit(tab, "ParaStart", Texts::kParaStartText, 104, 136, 57);
    Label17 = AddLabel(tab, "Label17", Texts::kLabel17, 176, 144);
    ParaEnd = AddEdit(tab, "ParaEnd", Texts::kParaEndText, 192, 136, 65);
}

void TFrmOption::createSystemTab()
{
    QWidget *tab = TabSheet3;
    ChkAutoClear = AddCheck(tab, "ChkAutoClear", Texts::kChkAutoClear, 24, 32, 97);
    ClearLineNum = AddEdit(tab, "ClearLineNum", Texts::kClearLineNumText, 24, 64, 81);
    Label10 = AddLabel(tab, "Label10", Texts::kLabel10, 112, 72);
}

void TFrmOption::createPortTab()
{
    QWidget *tab = TabSheet4;
    Label12 = AddLabel(tab, "Label12", Texts::kLabel12, 16, 40);
    ComPort = AddCombo(tab, "ComPort", Texts::Items(Texts::kPortItems),
        Texts::Text(Texts::kComPortText), 80, 36, 65);
    Label13 = AddLabel(tab, "Label13", Texts::kLabel13, 24, 80);
    ComBps = AddCombo(tab, "ComBps", Texts::Items(Texts::kBaudItems),
        Texts::Text(Texts::kComBpsText), 79, 77, 65);
    Label14 = AddLabel(tab, "Label14", Texts::kLabel14, 24, 128);
    ComBitNum = AddCombo(tab, "ComBitNum", Texts::Items(Texts::kDataBitItems),
        Texts::Text(Texts::kComBitNumText), 80, 124, 65);
    Label15 = AddLabel(tab, "Label15", Texts::kLabel15, 152, 80);
    ComJO = AddCombo(tab, "ComJO", Texts::Items(Texts::kParityItems),
        Texts::Text(Texts::kParityItems[0]), 208, 76, 49);
    Label16 = AddLabel(tab, "Label16", Texts::kLabel16, 160, 128);
    ComBitStop = AddCombo(tab, "ComBitStop", Texts::Items(Texts::kStopBitItems),
        Texts::Text(Texts::kStopBitItems[0]), 208, 124, 49);
#ifndef _WIN32
    ComPortDevice = Named(new QLabel(tab), "ComPortDevice");
    ComPortDevice->setGeometry(150, 36, 150, kFieldHeight);
#endif
}
