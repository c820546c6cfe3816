#include "app/about.h"
#include "app/language.h"
#include "appfixture.h"
#include "document/ChildWin.h"
#include "document/findreplace.h"
#include "settings/appconfig.h"
#include "textview/richedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <cstring>

Q_DECLARE_METATYPE(InterfaceLanguage)
Q_DECLARE_METATYPE(LanguageChoice)

// The interface language at start-up, run once per system language (ctest sets
// LANG and passes the language the windows must show: "zh" or "en").
static InterfaceLanguage g_expected = InterfaceLanguage::Chinese;

namespace {

// The text a control shows: a button's or label's text, a menu's title, a tab
// widget's tab titles or a combo box's items (joined by "|"), else a window title.
QString shownText(QObject *object)
{
    if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        return button->text();
    }
    if (auto *label = qobject_cast<QLabel *>(object)) {
        return label->text();
    }
    if (auto *menu = qobject_cast<QMenu *>(object)) {
        return menu->title();
    }
    QStringList items;
    if (auto *tabs = qobject_cast<QTabWidget *>(object)) {
        for (int i = 0; i < tabs->count(); ++i) {
            items.append(tabs->tabText(i));
        }
        return items.join(QLatin1Char('|'));
    }
    if (auto *combo = qobject_cast<QComboBox *>(object)) {
        for (int i = 0; i < combo->count(); ++i) {
            items.append(combo->itemText(i));
        }
        return items.join(QLatin1Char('|'));
    }
    if (auto *widget = qobject_cast<QWidget *>(object)) {
        return widget->windowTitle();
    }
    return QString();
}

QWidget *window(const QString &name)
{
    if (name == QLatin1String("MainForm")) {
        return MainForm;
    }
    if (name == QLatin1String("FrmOption")) {
        return FrmOption;
    }
    if (name == QLatin1String("DlgFind")) {
        return MainForm->DlgFind;
    }
    return AboutBox;
}

// The controls of `page` (on it or in a group box) with their places on it.
QList<QPair<QWidget *, QRect>> textControls(QWidget *page)
{
    QList<QPair<QWidget *, QRect>> controls;
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        QWidget *parent = widget->parentWidget();
        if (parent != page && !qobject_cast<QGroupBox *>(parent)) {
            continue;
        }
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget)
            || qobject_cast<QRadioButton *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QLineEdit *>(widget) || qobject_cast<QPushButton *>(widget)) {
            controls.append({ widget, QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()) });
        }
    }
    return controls;
}

} // namespace

class LanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void systemLanguage_data();
    void systemLanguage();
    void choiceKeys();
    void texts_data();
    void texts();
    void settingsTextsFit_data();
    void settingsTextsFit();
    void toolBarTextsFit();
    void receptionWritesTheSameDocument();
    void languageMenuKeepsTheChoice_data();
    void languageMenuKeepsTheChoice();

private:
    AppFixture m_app;
};

void LanguageTest::initTestCase()
{
    QVERIFY(m_app.prepare("00", AppFixture::PortKind::PseudoTerminal));
    QCOMPARE(InstallInterfaceLanguage(), g_expected);
    QCOMPARE(CurrentInterfaceLanguage(), g_expected);
    QVERIFY(m_app.start());
}

void LanguageTest::cleanupTestCase()
{
    DestroyMainObjects();
}

void LanguageTest::systemLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<LanguageChoice>("choice");
    QTest::addColumn<InterfaceLanguage>("language");
    const auto en = InterfaceLanguage::English;
    const auto zh = InterfaceLanguage::Chinese;
    const auto system = LanguageChoice::System;
    QTest::newRow("US English") << "en_US" << system << en;
    QTest::newRow("British English") << "en_GB" << system << en;
    QTest::newRow("simplified Chinese") << "zh_CN" << system << zh;
    QTest::newRow("traditional Chinese") << "zh_TW" << system << zh;
    QTest::newRow("C locale") << "C" << system << zh;
    QTest::newRow("POSIX locale") << "POSIX" << system << zh;
    QTest::newRow("German, no translation") << "de_DE" << system << zh;
    QTest::newRow("Chinese chosen on English") << "en_US" << LanguageChoice::Chinese << zh;
    QTest::newRow("English chosen on Chinese") << "zh_CN" << LanguageChoice::English << en;
    QTest::newRow("English chosen on C") << "C" << LanguageChoice::English << en;
}

void LanguageTest::systemLanguage()
{
    QFETCH(QString, locale);
    QFETCH(LanguageChoice, choice);
    QFETCH(InterfaceLanguage, language);
    QCOMPARE(ResolveLanguage(choice, QLocale(locale)), language);
}

// What byteway.conf holds; an unknown value follows the system.
void LanguageTest::choiceKeys()
{
    for (LanguageChoice choice :
        { LanguageChoice::System, LanguageChoice::Chinese, LanguageChoice::English }) {
        QCOMPARE(LanguageChoiceFromKey(LanguageChoiceKey(choice)), choice);
    }
    QCOMPARE(LanguageChoiceKey(LanguageChoice::English), QStringLiteral("en"));
    QCOMPARE(LanguageChoiceKey(LanguageChoice::Chinese), QStringLiteral("zh"));
    QCOMPARE(LanguageChoiceFromKey(QStringLiteral("fr")), LanguageChoice::System);
    QCOMPARE(LanguageChoiceFromKey(QString()), LanguageChoice::System);
}

void LanguageTest::texts_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");

    const auto row
        = [](const char *window, const char *name, const char *chinese, const char *english) {
              QTest::addRow("%s %s", window, name)
                  << QString::fromUtf8(window) << QString::fromUtf8(name)
                  << QString::fromUtf8(chinese) << QString::fromUtf8(english);
          };
    // The first document window is maximised: the frame shows its name.
    row("MainForm", "MainForm", "Byteway - [窗口1]", "Byteway - [Window1]");
    row("MainForm", "BtnSend", "发送", "Send");
    row("MainForm", "BtnRecieve", "接收", "Receive");
    row("MainForm", "BtnOption", " 设置", "Settings");
    row("MainForm", "BtnClear", "清空", "Clear");
    row("MainForm", "BtnFind", "查找", "Find");
    row("MainForm", "BtnCom", "开关串口", "Port");
    row("MainForm", "Label1", "当前发送数据：", "Data to send:");
    row("MainForm", "Label2", "数据格式：", "Data format:");
    row("MainForm", "ComboDataType", "16进制|10进制|ACSII字符", "Hex|Decimal|ASCII characters");
    row("MainForm", "File1", "文件(&F)", "&File");
    row("MainForm", "Edit1", "编辑(&E)", "&Edit");
    row("MainForm", "Window1", "窗口(&W)", "&Window");
    row("MainForm", "Help1", "帮助(&H)", "&Help");
    row("MainForm", "LanguageMenu", "语言 / Language", "语言 / Language");
    row("FrmOption", "FrmOption", "参数设定", "Settings");
    row("FrmOption", "PageControl1", "发送设定|接收设定|系统设定|端口设定",
        "Sending|Receiving|System|Port");
    row("FrmOption", "ChkSendTimer", "定时发送", "Timed send");
    row("FrmOption", "Label18", "每两个字符时间间隔：       ", "Delay between bytes:");
    row("FrmOption", "ChkRecOrder", "检测数据的正确性（此时设备有规律发送数据）     ",
        "Check the data (the device sends a pattern)");
    row("FrmOption", "Label13", "波特率     ", "Baud rate");
    row("FrmOption", "ComJO", "无|奇|偶|标志|空格", "None|Odd|Even|Mark|Space");
    row("FrmOption", "ComBps",
        "1200|1800|2400|4800|7200|9600|14400|19200|38400|57600|115200|12800|",
        "1200|1800|2400|4800|7200|9600|14400|19200|38400|57600|115200|12800|");
    row("FrmOption", "Button1", "确定", "OK");
    row("FrmOption", "Button2", "取消", "Cancel");
    row("DlgFind", "DlgFind", "查找", "Find");
    row("DlgFind", "FindNext", "查找下一个(&F)", "&Find Next");
    row("DlgFind", "WholeWord", "全字匹配(&W)", "Match &whole word only");
    row("DlgFind", "Cancel", "取消", "Cancel");
    row("AboutBox", "AboutBox", "关于", "About");
    row("AboutBox", "Version", "Version1.00   ", "Version1.00   ");
}

void LanguageTest::texts()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QWidget *top = ::window(window);
    QVERIFY(top);
    QObject *object = top->objectName() == name ? top : top->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(shownText(object), g_expected == InterfaceLanguage::English ? english : chinese);
}

void LanguageTest::settingsTextsFit_data()
{
    QTest::addColumn<int>("tab");
    QTest::newRow("Sending") << 0;
    QTest::newRow("Receiving") << 1;
    QTest::newRow("System") << 2;
    QTest::newRow("Port") << 3;
}

// Every text has the room it needs and no two controls of a row overlap. The
// Chinese layout keeps its places whatever the fonts, so only English is held to it.
void LanguageTest::settingsTextsFit()
{
    if (g_expected != InterfaceLanguage::English) {
        QCOMPARE(FrmOption->size(), QSize(312, 270));
        return;
    }
    QFETCH(int, tab);
    FrmOption->PageControl1->setCurrentIndex(tab);
    FrmOption->show();
    QVERIFY(QTest::qWaitForWindowExposed(FrmOption));
    QWidget *page = FrmOption->PageControl1->widget(tab);
    const auto controls = textControls(page);
    QVERIFY(controls.size() > 2);
    for (const auto &[widget, rect] : controls) {
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            // A button's size hint has a minimum width; its caption is what must fit.
            QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 8,
                qPrintable(widget->objectName()));
        } else if (!qobject_cast<QLineEdit *>(widget) && !qobject_cast<QComboBox *>(widget)) {
            QVERIFY2(
                widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
        }
        QVERIFY2(rect.right() < page->width(), qPrintable(widget->objectName()));
        for (const auto &[other, otherRect] : controls) {
            QVERIFY2(other == widget || !rect.intersects(otherRect),
                qPrintable(widget->objectName() + QLatin1Char('/') + other->objectName()));
        }
    }
    FrmOption->hide();
}

void LanguageTest::toolBarTextsFit()
{
    for (QLabel *label : { MainForm->Label1, MainForm->Label2 }) {
        if (g_expected == InterfaceLanguage::English) {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
        }
    }
    const QComboBox *combo = MainForm->ComboDataType;
    for (int i = 0; i < combo->count() && g_expected == InterfaceLanguage::English; ++i) {
        QVERIFY(combo->fontMetrics().horizontalAdvance(combo->itemText(i)) < combo->width() - 20);
    }
    // The bar keeps the window's width in either language.
    QVERIFY(MainForm->ToolBar1->sizeHint().width() <= MainForm->width());
}

// The document is data: its headers and summary are the same in either language,
// and the combo's words, translated or not, pick the same notation.
void LanguageTest::receptionWritesTheSameDocument()
{
    const bool checkOrder = FrmOption->FCheckOrder;
    FrmOption->FCheckOrder = true;
    MainForm->FileNew1->trigger();
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    MainForm->ComboDataType->setCurrentIndex(0);
    MainForm->BtnRecieve->click();
    const char bytes[] = "\0\1\2\3\4\5\6\7\10\11\12\13";
    QCOMPARE(::write(m_app.master(), bytes, 12), ssize_t(12));
    QTRY_COMPARE(edit->lines().value(1), QStringLiteral("Receiving: 0x0A 0x0B "));
    MainForm->ComboDataType->setCurrentIndex(1);
    QCOMPARE(::write(m_app.master(), "\14\15", 2), ssize_t(2));
    QTRY_COMPARE(edit->lines().value(1), QStringLiteral("Receiving: 0x0A 0x0B 12 13 "));
    MainForm->BtnRecieve->click();
    QCOMPARE(edit->lines(),
        QStringList(
            { QStringLiteral("Receiving: 0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 "),
                QStringLiteral("Receiving: 0x0A 0x0B 12 13 "),
                QStringLiteral("正确，All data are correct!"), QStringLiteral("接收的行数是：1"),
                QStringLiteral("接收的段数是：0") }));
    MainForm->ComboDataType->setCurrentIndex(0);
    FrmOption->FCheckOrder = checkOrder;
}

void LanguageTest::languageMenuKeepsTheChoice_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("told");
    // The stored choice starts as "system"; choosing it again changes nothing.
    QTest::newRow("system again") << "LanguageSystemItem"
                                  << "system" << false;
    QTest::newRow("English") << "LanguageEnglishItem"
                             << "en" << true;
    QTest::newRow("Chinese") << "LanguageChineseItem"
                             << "zh" << true;
    QTest::newRow("back to the system") << "LanguageSystemItem"
                                        << "system" << true;
}

void LanguageTest::languageMenuKeepsTheChoice()
{
    QFETCH(QString, item);
    QFETCH(QString, key);
    QFETCH(bool, told);
    auto *action = MainForm->LanguageMenu->findChild<QAction *>(item);
    QVERIFY(action);
    ModalWatcher watcher;
    action->trigger();
    QCOMPARE(AppConfig().language(), key);
    QVERIFY(action->isChecked());
    QCOMPARE(watcher.boxes.size(), told ? 1 : 0);
    if (told) {
        QVERIFY(watcher.boxes.first().text.contains(QStringLiteral("下次启动")));
        QVERIFY(watcher.boxes.first().text.contains(QStringLiteral("next time")));
    }
    // The interface itself changes only at the next start.
    QCOMPARE(CurrentInterfaceLanguage(), g_expected);
}

int main(int argc, char *argv[])
{
    // The first argument is the language the windows must show; QTest gets the rest.
    if (argc < 2 || (std::strcmp(argv[1], "zh") != 0 && std::strcmp(argv[1], "en") != 0)) {
        std::fprintf(stderr, "usage: %s zh|en [QTest options]\n", argv[0]);
        return 2;
    }
    g_expected
        = std::strcmp(argv[1], "en") == 0 ? InterfaceLanguage::English : InterfaceLanguage::Chinese;
    argv[1] = argv[0];
    int qtArgc = argc - 1;
    QApplication app(qtArgc, argv + 1);
    LanguageTest test;
    return QTest::qExec(&test, qtArgc, argv + 1);
}

#include "tst_language.moc"
