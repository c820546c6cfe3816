#include "app/intervaltimer.h"
#include "appfixture.h"
#include "document/ChildWin.h"
#include "document/findreplace.h"
#include "textview/richedit.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolButton>

// Document windows as the main window handles them: numbering, loading a file named
// like a new window, the enabled states, the window menu and arrangements, the edit
// commands, the file dialogs and the find dialog's preset.
class DocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void numbering_data();
    void numbering();
    void newLoadsFileNamedLikeCaption_data();
    void newLoadsFileNamedLikeCaption();
    void enabledStates_data();
    void enabledStates();
    void windowMenuListsWindows();
    void arrangements_data();
    void arrangements();
    void editCommands_data();
    void editCommands();
    void cutAndPasteThroughMenu();
    void foreignCharacterToldOncePerDocument_data();
    void foreignCharacterToldOncePerDocument();
    void openDialog_data();
    void openDialog();
    void saveAs_data();
    void saveAs();
    void findDialogPreset();
    void bigFileLoadsBehindProgress_data();
    void bigFileLoadsBehindProgress();

private:
    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ModalWatcher> m_watcher;
    QString m_oldCurrent;
    // The next file dialog records its name and shown filter and accepts `path`.
    void answerFileDialog(const QString &path, QString *dialogName, QString *filterShown);

    std::function<void(QWidget *)> m_onDialog;
};

static QStringList titles()
{
    QStringList result;
    for (TMDIChild *child : MainForm->Children()) {
        result.append(child->windowTitle());
    }
    return result;
}

static void setDocumentText(TMDIChild *child, const QString &text)
{
    child->RichEdit1->setPlainText(text);
}

void DocumentsTest::init()
{
    m_oldCurrent = QDir::currentPath();
    m_fixture = std::make_unique<AppFixture>();
    m_onDialog = nullptr;
    m_watcher = std::make_unique<ModalWatcher>([this](QWidget *modal) {
        if (m_onDialog) {
            m_onDialog(modal);
        }
    });
    QVERIFY(m_fixture->prepare("00", AppFixture::PortKind::PseudoTerminal));
    QVERIFY(m_fixture->start());
}

void DocumentsTest::cleanup()
{
    m_watcher.reset();
    m_fixture.reset();
    QDir::setCurrent(m_oldCurrent);
}

void DocumentsTest::numbering_data()
{
    // Steps: "new", or "close N" for the N-th open window (from 0, creation order).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("nothing-closed")
        << QStringList { "new", "new" } << QStringList { "窗口1", "窗口2", "窗口3" };
    QTest::newRow("first-closed") << QStringList { "new", "close 0", "new" }
                                  << QStringList { "窗口2", "窗口2" };
    QTest::newRow("last-closed") << QStringList { "new", "close 1", "new" }
                                 << QStringList { "窗口1", "窗口2" };
    QTest::newRow("all-closed") << QStringList { "close 0", "new" } << QStringList { "窗口1" };
    QTest::newRow("middle-of-three-closed") << QStringList { "new", "new", "close 1", "new" }
                                            << QStringList { "窗口1", "窗口3", "窗口3" };
}

void DocumentsTest::numbering()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    for (const QString &step : steps) {
        if (step == QLatin1String("new")) {
            MainForm->FileNewItem->trigger();
        } else {
            MainForm->Children().at(step.section(QLatin1Char(' '), 1).toInt())->close();
        }
    }
    QCOMPARE(titles(), expected);
    // Deleting the closed windows changes nothing.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(titles(), expected);
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), expected.last());
}

void DocumentsTest::newLoadsFileNamedLikeCaption_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("plain-cp936") << QByteArray("abc\r\n\xD6\xD0\xCE\xC4\r\n") << false
                                 << QStringList { "abc", "中文" };
    QTest::newRow("rich-text") << QByteArray("{\\rtf1\\ansi hello\\par world}") << false
                               << QStringList { "hello", "world" };
    QTest::newRow("empty-file") << QByteArray() << false << QStringList {};
    QTest::newRow("folder-of-that-name") << QByteArray() << true << QStringList {};
}

void DocumentsTest::newLoadsFileNamedLikeCaption()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, isFolder);
    QFETCH(QStringList, lines);
    QDir::setCurrent(m_fixture->path(QString()));
    if (isFolder) {
        QVERIFY(QDir().mkdir(QStringLiteral("窗口2")));
    } else {
        QFile file(QStringLiteral("窗口2"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    MainForm->FileNewItem->trigger();

    TMDIChild *child = MainForm->ActiveChild();
    QCOMPARE(child->windowTitle(), QStringLiteral("窗口2"));
    QCOMPARE(child->RichEdit1->lines(), lines);
    QVERIFY(m_watcher->boxes.isEmpty());
}

void DocumentsTest::enabledStates_data()
{
    QTest::addColumn<int>("left");
    QTest::newRow("none-left") << 0;
    QTest::newRow("one-left") << 1;
    QTest::newRow("three-open") << 3;
}

void DocumentsTest::enabledStates()
{
    QFETCH(int, left);
    MainForm->FileNewItem->trigger();
    MainForm->FileNewItem->trigger();
    // Toggle states set from code, as the send and port handlers do.
    MainForm->BtnSend->setChecked(true);
    MainForm->BtnCom->setChecked(true);
    MainForm->Timer1->setInterval(1000000);
    MainForm->Timer1->setEnabled(true);
    while (MainForm->ChildCount() > left) {
        MainForm->FileCloseItem->trigger();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const bool any = left > 0;
    const QList<QToolButton *> buttons { MainForm->BtnSend, MainForm->BtnRecieve,
        MainForm->BtnOption, MainForm->BtnClear, MainForm->BtnFind, MainForm->BtnCom };
    for (QToolButton *button : buttons) {
        QVERIFY2(button->isEnabled() == any, qPrintable(button->objectName()));
    }
    QVERIFY(MainForm->BtnSend->isChecked());
    QVERIFY(MainForm->BtnCom->isChecked());
    QVERIFY(!MainForm->BtnRecieve->isChecked());
    QCOMPARE(MainForm->Timer1->isEnabled(), any);
    for (QAction *item : { MainForm->FileSaveAsItem, MainForm->ItemFind, MainForm->ItemReplace,
             MainForm->FileCloseItem, MainForm->WindowCascadeItem, MainForm->WindowTileItem,
             MainForm->WindowTileItem2 }) {
        QVERIFY2(item->isEnabled() == any, qPrintable(item->objectName()));
    }
    for (QAction *item : { MainForm->FileNewItem, MainForm->FileOpenItem, MainForm->FileExitItem,
             MainForm->HelpAboutItem }) {
        QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    }

    // A new window enables everything again; the timer stays as it is.
    MainForm->FileNewItem->trigger();
    for (QToolButton *button : buttons) {
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    }
    QVERIFY(MainForm->FileSaveAsItem->isEnabled());
    QCOMPARE(MainForm->Timer1->isEnabled(), any);
}

static QList<QAction *> windowListItems()
{
    emit MainForm->Window1->aboutToShow();
    QList<QAction *> items = MainForm->Window1->actions();
    const qsizetype fixed = items.indexOf(MainForm->WindowTileItem2) + 1;
    items = items.mid(fixed);
    if (!items.isEmpty() && items.first()->isSeparator()) {
        items.removeFirst();
    }
    return items;
}

void DocumentsTest::windowMenuListsWindows()
{
    MainForm->FileNewItem->trigger();
    MainForm->CreateDocumentWindow(QStringLiteral("a&b"));
    MainForm->MdiArea->setActiveSubWindow(MainForm->Children().at(1));

    QList<QAction *> items = windowListItems();
    QStringList texts;
    for (QAction *item : items) {
        texts.append(item->text());
    }
    QCOMPARE(texts, (QStringList { "&1 窗口1", "&2 窗口2", "&3 a&&b" }));
    QCOMPARE(items.at(1)->isChecked(), true);
    QCOMPARE(items.at(0)->isChecked() || items.at(2)->isChecked(), false);

    items.at(0)->trigger();
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), QStringLiteral("窗口1"));

    // The list is rebuilt each time, not added to.
    MainForm->Children().at(2)->close();
    QCOMPARE(windowListItems().size(), 2);
    MainForm->Children().at(1)->close();
    MainForm->Children().at(0)->close();
    QVERIFY(windowListItems().isEmpty());
}

using Check = std::function<bool(const QMdiSubWindow *, const QRect &)>;
Q_DECLARE_METATYPE(Check)

void DocumentsTest::arrangements_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<Check>("check");
    QTest::newRow("tile-one-above-other")
        << "WindowTileItem" << Check([](const QMdiSubWindow *w, const QRect &area) {
               return w->width() == area.width();
           });
    QTest::newRow("tile-side-by-side")
        << "WindowTileItem2" << Check([](const QMdiSubWindow *w, const QRect &area) {
               return w->height() == area.height();
           });
    QTest::newRow("cascade") << "WindowCascadeItem"
                             << Check([](const QMdiSubWindow *w, const QRect &area) {
                                    return w->width() < area.width() && w->height() < area.height();
                                });
}

void DocumentsTest::arrangements()
{
    QFETCH(QString, item);
    QFETCH(Check, check);
    MainForm->FileNewItem->trigger();
    MainForm->FileNewItem->trigger();
    QVERIFY(MainForm->ActiveChild()->isMaximized());

    MainForm->findChild<QAction *>(item)->trigger();

    const QRect area = MainForm->MdiArea->viewport()->rect();
    QSet<QPoint> corners;
    for (TMDIChild *child : MainForm->Children()) {
        QVERIFY(!child->isMaximized());
        QVERIFY(check(child, area));
        corners.insert(child->pos());
    }
    QCOMPARE(corners.size(), 3);
}

enum class Focus { Edit2, Document, Combo };
Q_DECLARE_METATYPE(Focus)

void DocumentsTest::editCommands_data()
{
    QTest::addColumn<Focus>("focus");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("clipboardText");
    QTest::addColumn<bool>("cutCopy");
    QTest::addColumn<bool>("paste");
    QTest::newRow("edit2-selection") << Focus::Edit2 << true << false << true << false;
    QTest::newRow("edit2-caret-only") << Focus::Edit2 << false << false << false << false;
    QTest::newRow("edit2-clipboard-text") << Focus::Edit2 << false << true << false << true;
    QTest::newRow("document-selection") << Focus::Document << true << true << true << true;
    QTest::newRow("document-caret-only") << Focus::Document << false << true << false << true;
    QTest::newRow("combo-is-no-edit-control") << Focus::Combo << true << true << false << false;
}

void DocumentsTest::editCommands()
{
    QFETCH(Focus, focus);
    QFETCH(bool, select);
    QFETCH(bool, clipboardText);
    QFETCH(bool, cutCopy);
    QFETCH(bool, paste);
    QApplication::clipboard()->clear();
    if (clipboardText) {
        QApplication::clipboard()->setText(QStringLiteral("clip"));
    }
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    TMDIChild *child = MainForm->ActiveChild();
    setDocumentText(child, QStringLiteral("some text"));
    QWidget *target = focus == Focus::Edit2 ? static_cast<QWidget *>(MainForm->Edit2)
        : focus == Focus::Document          ? static_cast<QWidget *>(child->RichEdit1)
                                            : static_cast<QWidget *>(MainForm->ComboDataType);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus() || target->isAncestorOf(QApplication::focusWidget()));
    if (select) {
        if (focus == Focus::Document) {
            child->RichEdit1->selectAll();
        } else if (focus == Focus::Edit2) {
            MainForm->Edit2->selectAll();
        } else {
            MainForm->ComboDataType->lineEdit()->selectAll();
        }
    } else if (focus == Focus::Edit2) {
        MainForm->Edit2->deselect();
    } else if (focus == Focus::Document) {
        child->RichEdit1->MoveCaretToEnd();
    }

    QCOMPARE(MainForm->CutItem->isEnabled(), cutCopy);
    QCOMPARE(MainForm->CopyItem->isEnabled(), cutCopy);
    QCOMPARE(MainForm->PasteItem->isEnabled(), paste);

    // The clipboard's content alone switches paste.
    QApplication::clipboard()->setText(QStringLiteral("more"));
    QCOMPARE(MainForm->PasteItem->isEnabled(), focus != Focus::Combo);
    QApplication::clipboard()->clear();
    QVERIFY(!MainForm->PasteItem->isEnabled());
}

void DocumentsTest::cutAndPasteThroughMenu()
{
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    MainForm->Edit2->setFocus();
    QTRY_VERIFY(MainForm->Edit2->hasFocus());
    MainForm->Edit2->setText(QStringLiteral("41 42"));
    MainForm->Edit2->selectAll();
    MainForm->CutItem->trigger();
    QCOMPARE(MainForm->Edit2->text(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("41 42"));
    QVERIFY(!MainForm->CutItem->isEnabled());

    TMDIChild *child = MainForm->ActiveChild();
    child->RichEdit1->setFocus();
    QTRY_VERIFY(child->RichEdit1->hasFocus());
    MainForm->PasteItem->trigger();
    QCOMPARE(child->RichEdit1->lines(), QStringList { "41 42" });
}

void DocumentsTest::foreignCharacterToldOncePerDocument_data()
{
    QTest::addColumn<bool>("pasted");
    QTest::newRow("typed") << false;
    QTest::newRow("pasted") << true;
}

// A character GBK lacks becomes "?" whether typed or pasted, and the message field
// says so the first time in each document only.
void DocumentsTest::foreignCharacterToldOncePerDocument()
{
    QFETCH(bool, pasted);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const auto enter = [&](RichEdit *edit) {
        if (pasted) {
            QApplication::clipboard()->setText(emoji);
            edit->paste();
        } else {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, emoji, Qt::NoModifier);
        }
    };
    MainForm->showStateMessage(QStringLiteral("-"));
    RichEdit *first = MainForm->ActiveChild()->RichEdit1;
    enter(first);
    QCOMPARE(first->lines(), QStringList { "?" });
    QVERIFY(MainForm->stateMessage().contains(QStringLiteral("?")));
    MainForm->showStateMessage(QStringLiteral("-"));
    enter(first);
    QCOMPARE(first->lines(), QStringList { "??" });
    QCOMPARE(MainForm->stateMessage(), QStringLiteral("-"));

    MainForm->FileNew1Execute();
    enter(MainForm->ActiveChild()->RichEdit1);
    QVERIFY(MainForm->stateMessage().contains(QStringLiteral("?")));
}

void DocumentsTest::openDialog_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing-file") << false;
    QTest::newRow("existing-file") << true;
}

void DocumentsTest::openDialog()
{
    QFETCH(bool, exists);
    const QString path = m_fixture->path(QStringLiteral("notes.txt"));
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("line one\r\n");
    }
    QString filterShown;
    QString dialogName;
    answerFileDialog(path, &dialogName, &filterShown);

    MainForm->FileOpenItem->trigger();

    QCOMPARE(dialogName, QStringLiteral("OpenDialog"));
    QCOMPARE(filterShown, QStringLiteral("All files (*.*)"));
    QCOMPARE(MainForm->ChildCount(), 2);
    TMDIChild *child = MainForm->ActiveChild();
    QCOMPARE(child->windowTitle(), path);
    QVERIFY(child->isMaximized());
    QCOMPARE(child->RichEdit1->lines(), exists ? QStringList { "line one" } : QStringList {});
    QVERIFY(m_watcher->boxes.isEmpty());
}

void DocumentsTest::answerFileDialog(const QString &path, QString *dialogName, QString *filterShown)
{
    m_onDialog = [=](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            *dialogName = dialog->objectName();
            *filterShown
                = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->currentText();
            dialog->selectFile(path);
            static_cast<QDialog *>(dialog)->accept();
        }
    };
}

void DocumentsTest::saveAs_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::newRow("new-file") << QByteArray();
    QTest::newRow("longer-file-replaced") << QByteArray(200, 'x');
}

void DocumentsTest::saveAs()
{
    QFETCH(QByteArray, before);
    const QString path = m_fixture->path(QStringLiteral("out.txt"));
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    setDocumentText(MainForm->ActiveChild(), QStringLiteral("ab\n中"));
    QString filterShown;
    QString dialogName;
    answerFileDialog(path, &dialogName, &filterShown);

    MainForm->FileSaveAsItem->trigger();

    QCOMPARE(dialogName, QStringLiteral("SaveDialog1"));
    QCOMPARE(filterShown, QStringLiteral("All Files(*.*)"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("ab\r\n\xD6\xD0\r\n"));
    // No question before overwriting, and the caption stays.
    QVERIFY(m_watcher->boxes.isEmpty());
    QCOMPARE(MainForm->ActiveChild()->windowTitle(), QStringLiteral("窗口1"));
}

void DocumentsTest::findDialogPreset()
{
    TMDIChild *child = MainForm->ActiveChild();
    setDocumentText(child, QStringLiteral("abcabc"));
    child->RichEdit1->setSelStart(1);
    child->RichEdit1->setSelLength(2);

    QTest::mouseClick(MainForm->BtnFind, Qt::LeftButton);
    QVERIFY(MainForm->DlgFind->isVisible());
    QCOMPARE(MainForm->DlgFind->findText(), QStringLiteral("bc"));

    // Open already: its field keeps what it shows.
    child->RichEdit1->setSelStart(0);
    MainForm->ItemFind->trigger();
    QCOMPARE(MainForm->DlgFind->findText(), QStringLiteral("bc"));

    // Find Next searches the active document from the caret.
    emit MainForm->DlgFind->findNext();
    QCOMPARE(child->RichEdit1->selStart(), 1);
    emit MainForm->DlgFind->findNext();
    QCOMPARE(child->RichEdit1->selStart(), 4);

    // Closed and opened again with nothing selected: the field is emptied.
    MainForm->DlgFind->hide();
    child->RichEdit1->setSelStart(0);
    MainForm->ItemReplace->trigger();
    QVERIFY(MainForm->DlgReplace->isVisible());
    QCOMPARE(MainForm->DlgReplace->findText(), QString());
}

void DocumentsTest::bigFileLoadsBehindProgress_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("loaded-to-the-end") << false;
    QTest::newRow("cancelled") << true;
}

// A file that takes the control seconds to lay out loads in steps behind a progress
// window: the event loop keeps running (the watcher's timer sees the window) and
// 取消 is a way out that leaves the window open and empty, without an error.
void DocumentsTest::bigFileLoadsBehindProgress()
{
    QFETCH(bool, cancel);
    const QString path = m_fixture->path(QStringLiteral("big.txt"));
    QStringList lines;
    QByteArray bytes;
    for (int i = 0; bytes.size() <= TMainForm::kLoadInStepsFrom; ++i) {
        lines.append(QStringLiteral("line %1 of a big file").arg(i));
        bytes += lines.last().toLatin1() + "\r\n";
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    QString title;
    QString label;
    QString button;
    m_onDialog = [&](QWidget *modal) {
        auto *progress = qobject_cast<QProgressDialog *>(modal);
        if (!progress || !title.isEmpty()) {
            return;
        }
        QCOMPARE(progress->objectName(), QStringLiteral("LoadProgress"));
        title = progress->windowTitle();
        label = progress->labelText();
        QPushButton *cancelButton = progress->findChild<QPushButton *>();
        QVERIFY(cancelButton);
        button = cancelButton->text();
        if (cancel) {
            cancelButton->click();
        }
    };
    MainForm->CreateDocumentWindow(path);

    QCOMPARE(title, QStringLiteral("打开文件"));
    QCOMPARE(label, QStringLiteral("正在打开文件 %1 ……").arg(QDir::toNativeSeparators(path)));
    QCOMPARE(button, QStringLiteral("取消"));
    TMDIChild *child = MainForm->ActiveChild();
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), path);
    if (cancel) {
        QCOMPARE(child->RichEdit1->LineCount(), 0);
    } else {
        QCOMPARE(child->RichEdit1->lines(), lines);
        QCOMPARE(child->RichEdit1->selStart(), 0);
    }
    QVERIFY(m_watcher->boxes.isEmpty());
}

QTEST_MAIN(DocumentsTest)
#include "tst_documents.moc"
