// The command dialog: OK only for a command that can be sent and saved, the bytes
// shown as they will go out, and the command read back as entered.

#include "sendbar/quickcommanddialog.h"
#include "sendbar/sendbartexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class QuickCommandDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void okOnlyForASendableCommand_data();
    void okOnlyForASendableCommand();
};

void QuickCommandDialogTest::okOnlyForASendableCommand_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode"); // 0 text, 1 hex
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("checksum"); // index: 4 CRC-16/MODBUS
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("preview");

    QTest::newRow("modbus") << "read 10" << 1 << "01 03 00 00 00 0A" << 4 << true
                            << SendBarTexts::Preview.arg("01 03 00 00 00 0A C5 CD 0D 0A");
    QTest::newRow("text-escape") << "esc" << 0 << "A\\x1B" << 0 << true
                                 << SendBarTexts::Preview.arg("41 1B 0D 0A");
    QTest::newRow("bad-hex") << "x" << 1 << "0G" << 0 << false
                             << SendBarTexts::NotSent.arg(SendBarTexts::NotHexDigit.arg("G"));
    QTest::newRow("bad-escape") << "x" << 0 << "\\q" << 0 << false
                                << SendBarTexts::NotSent.arg(
                                       SendBarTexts::UnknownEscape.arg("\\q"));
    QTest::newRow("no-name") << "  " << 0 << "AT" << 0 << false << SendBarTexts::NameEmpty.text();
    QTest::newRow("tab-in-name") << "a\tb" << 0 << "AT" << 0 << false
                                 << SendBarTexts::NameEmpty.text();
}

void QuickCommandDialogTest::okOnlyForASendableCommand()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(QString, data);
    QFETCH(int, checksum);
    QFETCH(bool, ok);
    QFETCH(QString, preview);

    QuickCommandDialog dialog(QuickCommand {});
    dialog.findChild<QLineEdit *>("QuickCommandName")->setText(name);
    dialog.findChild<QComboBox *>("QuickCommandMode")->setCurrentIndex(mode);
    dialog.findChild<QLineEdit *>("QuickCommandData")->setText(data);
    dialog.findChild<QComboBox *>("QuickCommandChecksum")->setCurrentIndex(checksum);

    QCOMPARE(dialog.findChild<QLabel *>("QuickCommandPreview")->text(), preview);
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled(), ok);
    if (ok) {
        const QuickCommand command = dialog.command();
        QCOMPARE(QString::fromStdString(command.name), name);
        QCOMPARE(command.mode, mode == 0 ? LineMode::Text : LineMode::Hex);
        QCOMPARE(QString::fromStdString(command.data), data);
        QCOMPARE(command.ending, LineEnding::CrLf);
    }
}

QTEST_MAIN(QuickCommandDialogTest)
#include "tst_quickcommanddialog.moc"
