#include "app/intervaltimer.h"
#include "appfixture.h"
#include "document/ChildWin.h"
#include "linetest/linetestwindow.h"
#include "text/codepage.h"
#include "textview/richedit.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <memory>

// Start-up, shut-down and the port button of the main window, on real settings
// files and a real pseudo-terminal.
class MainFormTest : public QObject
{
    Q_OBJECT

private slots:
    void startUpWithPort_data();
    void startUpWithPort();
    void startUpWithoutPort();
    void controlsHaveNames();
    void settingsSavedOnClose_data();
    void settingsSavedOnClose();
    void edit2FollowsSettings();
    void btnComClosesAndReopens();
    void btnComReopenFailureIsSilent();
    void hints_data();
    void hints();
    void shortcutsRunCommands();
    void exitWhileReceiving();
    void barLayout_data();
    void barLayout();
    void lineTestOpensOverTheMainWindow();
};

static QList<QToolButton *> buttonBar()
{
    return { MainForm->BtnSend, MainForm->BtnRecieve, MainForm->BtnOption, MainForm->BtnClear,
        MainForm->BtnFind, MainForm->BtnCom };
}

// Sends one byte from the device end and reads it through Port.
static bool portCarriesByte(int master, uint8_t byte)
{
    if (::write(master, &byte, 1) != 1) {
        return false;
    }
    uint8_t received = 0;
    return Port.ReadByte(received) == 1 && received == byte;
}

void MainFormTest::startUpWithPort_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hex-default") << QByteArray("00") << QStringLiteral("00");
    QTest::newRow("cp936-text") << QByteArray("41 \xD6\xD0\xCE\xC4") << QStringLiteral("41 中文");
    QTest::newRow("empty") << QByteArray() << QString();
}

void MainFormTest::startUpWithPort()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    AppFixture fixture;
    QVERIFY(fixture.prepare(stored.toStdString(), AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());

    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(Port.isOpen());
    QVERIFY(portCarriesByte(fixture.master(), 0x5A));
    QVERIFY(!FrmOption->isVisible());
    // A maximised document window adds its caption, as multiple-document frames do.
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Byteway - [窗口1]"));
    QCOMPARE(MainForm->Edit2->text(), shown);
    // Showing the text must not rewrite the stored bytes.
    QCOMPARE(QByteArray::fromStdString(FrmOption->FSendChar), stored);
    QCOMPARE(MainForm->ChildCount(), 1);
    TMDIChild *child = MainForm->ActiveChild();
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), QStringLiteral("窗口1"));
    QVERIFY(child->isMaximized());
    for (QToolButton *button : buttonBar()) {
        QVERIFY2(button->isEnabled() && !button->isChecked(), qPrintable(button->objectName()));
    }
    QVERIFY(!MainForm->Timer1->isEnabled());
    // 584 x 408 with the frame, centred on the screen.
    QCOMPARE(MainForm->frameGeometry().size(), QSize(584, 408));
    QRect centred(QPoint(), QSize(584, 408));
    centred.moveCenter(MainForm->screen()->availableGeometry().center());
    QCOMPARE(MainForm->frameGeometry(), centred);
}

void MainFormTest::startUpWithoutPort()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("01 02", AppFixture::PortKind::Missing));
    ModalWatcher watcher;
    QVERIFY(fixture.start());

    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("警告"));
    QCOMPARE(
        watcher.boxes[0].text, QStringLiteral("  串口初始化失败,\n请检查串口参数是否设定正确"));
    QCOMPARE(watcher.boxes[0].icon, QMessageBox::Warning);
    QVERIFY(FrmOption->isVisible());
    QVERIFY(!Port.isOpen());
    QCOMPARE(MainForm->Edit2->text(), QStringLiteral("01 02"));
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), QStringLiteral("窗口1"));
    QVERIFY(!MainForm->BtnCom->isChecked());
}

// Controls whose caption, value or hint an assistive client would read as a name.
void MainFormTest::controlsHaveNames()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("01 02", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(fixture.start());
    const auto nameOf = [](QObject *object) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
        return iface != nullptr ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    QCOMPARE(MainForm->BtnOption->text(), QStringLiteral(" 设置"));
    QCOMPARE(nameOf(MainForm->BtnOption), QStringLiteral("设置"));

    MainForm->StatusBar->showMessage(QStringLiteral("一个提示"));
    QCOMPARE(nameOf(MainForm->StatusBar), QStringLiteral("状态栏"));
    // A combo box says what it is; its current item is its value.
    QCOMPARE(nameOf(MainForm->ComboDataType), QStringLiteral("数据格式"));
    QCOMPARE(
        QAccessible::queryAccessibleInterface(MainForm->ComboDataType)->text(QAccessible::Value),
        MainForm->ComboDataType->currentText());

    const QList<QToolBar *> bars = MainForm->findChildren<QToolBar *>();
    QVERIFY(!bars.isEmpty()); // the tool bar, and any the send bar has
    for (QToolBar *bar : bars) {
        auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
        QVERIFY(more);
        QCOMPARE(nameOf(more), QStringLiteral("工具栏的更多控件"));
    }
}

using CloseWay = std::function<void()>;
Q_DECLARE_METATYPE(CloseWay)

void MainFormTest::settingsSavedOnClose_data()
{
    QTest::addColumn<CloseWay>("closeWay");
    QTest::newRow("menu-exit") << CloseWay([] { MainForm->FileExitItem->trigger(); });
    QTest::newRow("close-box") << CloseWay([] { MainForm->close(); });
    QTest::newRow("window-system-close") << CloseWay([] { MainForm->windowHandle()->close(); });
}

void MainFormTest::settingsSavedOnClose()
{
    QFETCH(CloseWay, closeWay);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    // Typed text reaches FSendChar in code page 936; the close must write it out.
    MainForm->Edit2->setText(QStringLiteral("7F 中"));
    QCOMPARE(FrmOption->FSendChar, std::string("7F \xD6\xD0"));
    FrmOption->FComBps = 9600;
    QVERIFY(QFile::remove(fixture.settingsFile()));

    closeWay();

    QVERIFY(!MainForm->isVisible());
    QFile file(fixture.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    SettingsValues saved;
    DecodeSettings(file.readAll().toStdString(), saved);
    QCOMPARE(saved.FSendChar, std::string("7F \xD6\xD0"));
    QCOMPARE(saved.FComBps.load(), 9600);
    QVERIFY(watcher.boxes.isEmpty());
}

void MainFormTest::edit2FollowsSettings()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    MainForm->Timer1->setEnabled(true);

    FrmOption->FSendChar = "\xB0\xA1 41"; // "啊 41"
    FrmOption->FTimeInterval = 250;
    emit FrmOption->settingsAccepted();

    QCOMPARE(MainForm->Edit2->text(), QStringLiteral("啊 41"));
    QCOMPARE(MainForm->Timer1->interval(), 250);
    // The interval changes; whether the timer runs does not.
    QVERIFY(MainForm->Timer1->isEnabled());
}

void MainFormTest::btnComClosesAndReopens()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QVERIFY(Port.isOpen());

    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QVERIFY(MainForm->BtnCom->isChecked());
    QVERIFY(!Port.isOpen());

    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QVERIFY(!MainForm->BtnCom->isChecked());
    QVERIFY(Port.isOpen());
    QVERIFY(portCarriesByte(fixture.master(), 0xA5));
    QVERIFY(watcher.boxes.isEmpty());
}

void MainFormTest::btnComReopenFailureIsSilent()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());

    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);
    QVERIFY(fixture.unplug());
    QTest::mouseClick(MainForm->BtnCom, Qt::LeftButton);

    QVERIFY(!MainForm->BtnCom->isChecked());
    QVERIFY(!Port.isOpen());
    QTest::qWait(50); // give a wrongly queued message box the chance to show
    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(!FrmOption->isVisible());
}

void MainFormTest::hints_data()
{
    // Widgets and menu items by objectName; a hint "tip|status" splits at the bar.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("statusTip");
    QTest::newRow("port-button") << "BtnCom"
                                 << "按下时关闭串口"
                                 << "按下时关闭串口";
    QTest::newRow("settings-button-leading-space") << "BtnOption"
                                                   << " 设置"
                                                   << " 设置";
    QTest::newRow("new-item") << "FileNewItem" << QString() << "Create a new file";
    QTest::newRow("save-as-item") << "FileSaveAsItem" << QString()
                                  << "Save current file with different name";
    QTest::newRow("exit-item") << "FileExitItem" << QString() << "Exit application";
    QTest::newRow("tile-item") << "WindowTileItem" << QString() << "Tile Horizontally";
}

void MainFormTest::hints()
{
    QFETCH(QString, name);
    QFETCH(QString, toolTip);
    QFETCH(QString, statusTip);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    if (auto *button = MainForm->findChild<QToolButton *>(name)) {
        QCOMPARE(button->toolTip(), toolTip);
        QCOMPARE(button->statusTip(), statusTip);
        // Moving the pointer onto the button puts its hint into the status bar.
        QTest::mouseMove(button);
        QTRY_COMPARE(MainForm->StatusBar->currentMessage(), statusTip);
    } else {
        auto *item = MainForm->findChild<QAction *>(name);
        QVERIFY(item);
        QCOMPARE(item->statusTip(), statusTip);
        // Highlighting the item in its open menu puts its hint into the status bar.
        auto *menu = qobject_cast<QMenu *>(item->parent());
        QVERIFY(menu);
        MainForm->menuBar()->setActiveAction(menu->menuAction());
        QTRY_VERIFY(menu->isVisible());
        menu->setActiveAction(item);
        QTRY_COMPARE(MainForm->StatusBar->currentMessage(), statusTip);
        menu->hide();
    }
}

void MainFormTest::shortcutsRunCommands()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));

    QTest::keyClick(MainForm, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(MainForm->ChildCount(), 2);
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), QStringLiteral("窗口2"));
}

void MainFormTest::exitWhileReceiving()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    RichEdit *edit = MainForm->ActiveChild()->RichEdit1;
    QTest::mouseClick(MainForm->BtnRecieve, Qt::LeftButton);
    QVERIFY(MainForm->BtnRecieve->isChecked());
    const char bytes[] = { 0x10, 0x20, 0x30 };
    QCOMPARE(::write(fixture.master(), bytes, sizeof bytes), ssize_t(sizeof bytes));
    QTRY_VERIFY2(edit->toPlainText().contains(QStringLiteral("0x10 0x20 0x30")),
        qPrintable(edit->toPlainText()));

    // Closing with the reception running: the thread must end before the windows go,
    // or the next bytes would be written into a deleted document.
    MainForm->close();
    QVERIFY(!MainForm->BtnRecieve->isChecked());
    DestroyMainObjects();
    QCOMPARE(::write(fixture.master(), bytes, sizeof bytes), ssize_t(sizeof bytes));
    QTest::qWait(100);
}

void MainFormTest::barLayout_data()
{
    // Places in the bar that holds the control: the button bar's buttons from its
    // left edge; the toolbar's controls side by side from 5 pixels inside its
    // 1-pixel border.
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::newRow("send-button") << "BtnSend" << 5 << 58;
    QTest::newRow("port-button") << "BtnCom" << 295 << 58;
    QTest::newRow("first-separator-indented") << "ToolButton1" << 6 << 8;
    QTest::newRow("send-data-label") << "Label1" << 14 << 84;
    QTest::newRow("send-data-edit") << "Edit2" << 98 << 296;
    QTest::newRow("second-separator") << "ToolButton2" << 394 << 8;
    QTest::newRow("format-label") << "Label2" << 402 << 60;
    QTest::newRow("format-combo") << "ComboDataType" << 462 << 104;
}

void MainFormTest::barLayout()
{
    QFETCH(QString, name);
    QFETCH(int, x);
    QFETCH(int, width);
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::PseudoTerminal));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    QCOMPARE(MainForm->Panel1->height(), 61);
    QCOMPARE(MainForm->ToolBar1->height(), 28);
    auto *control = MainForm->findChild<QWidget *>(name);
    QVERIFY(control);
    QWidget *bar = MainForm->Panel1->isAncestorOf(control)
        ? MainForm->Panel1
        : static_cast<QWidget *>(MainForm->ToolBar1);
    QCOMPARE(control->mapTo(bar, QPoint()).x(), x);
    QCOMPARE(control->width(), width);
}

// The line test's window opens over the main window, not where the system puts new
// windows; the main window stands in the screen's middle, where the line test's
// window fits across.
void MainFormTest::lineTestOpensOverTheMainWindow()
{
    AppFixture fixture;
    QVERIFY(fixture.prepare("00", AppFixture::PortKind::Missing));
    ModalWatcher watcher;
    QVERIFY(fixture.start());
    const QRect room = MainForm->screen()->availableGeometry();
    QRect main = MainForm->frameGeometry();
    main.moveCenter(room.center());
    MainForm->move(main.topLeft());
    QTRY_COMPARE(MainForm->frameGeometry().center(), room.center());
    MainForm->LineTestItem->trigger();
    QVERIFY(MainForm->LineTestForm);
    QVERIFY(QTest::qWaitForWindowExposed(MainForm->LineTestForm));
    const QRect form = MainForm->LineTestForm->frameGeometry();
    QVERIFY2(std::abs(form.center().x() - room.center().x()) <= 2,
        qPrintable(QStringLiteral("%1,%2").arg(form.x()).arg(form.y())));
    QVERIFY(form.top() >= room.top());
    MainForm->LineTestForm->close();
}

QTEST_MAIN(MainFormTest)
#include "tst_mainform.moc"
