#include "commandline.h"

#include <QTest>

#include <sstream>
#include <string>
#include <vector>

// The arguments are read before any window exists.
class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
};

void CommandLineTest::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status"); // -1: the window starts
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("none") << QStringList {} << -1 << QString() << QString();
    QTest::newRow("help") << QStringList { "--help" } << 0 << "Usage: byteway" << QString();
    QTest::newRow("help-after-qt-option")
        << QStringList { "-style", "fusion", "--help" } << 0 << "Usage: byteway" << QString();
    QTest::newRow("version") << QStringList { "--version" } << 0 << "byteway 1." << QString();
    QTest::newRow("qt-options") << QStringList { "-platform", "offscreen", "-reverse" } << -1
                                << QString() << QString();
    QTest::newRow("unknown") << QStringList { "--verbose" } << 2 << QString()
                             << "unknown argument '--verbose'";
    QTest::newRow("file") << QStringList { "capture.txt" } << 2 << QString()
                          << "unknown argument 'capture.txt'";
}

void CommandLineTest::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    std::vector<std::string> storage { "byteway" };
    for (const QString &arg : args) {
        storage.push_back(arg.toStdString());
    }
    std::vector<char *> argv;
    for (std::string &arg : storage) {
        argv.push_back(arg.data());
    }
    std::ostringstream printed;
    std::ostringstream complained;
    const std::optional<int> result = HandleCommandLine(argv, printed, complained);
    QCOMPARE(result.value_or(-1), status);
    QVERIFY(QString::fromStdString(printed.str()).contains(out));
    QVERIFY(QString::fromStdString(complained.str()).contains(err));
    QCOMPARE(printed.str().empty(), out.isEmpty());
    QCOMPARE(complained.str().empty(), err.isEmpty());
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
