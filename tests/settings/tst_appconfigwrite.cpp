#include "modalwatcher.h"
#include "settings/appconfig.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <vector>

namespace {

// Every setter, each changing its option away from the default.
const std::vector<std::function<Status(AppConfig &)>> &Setters()
{
    static const std::vector<std::function<Status(AppConfig &)>> setters {
        [](AppConfig &c) { return c.setHeaderTimes(true); },
        [](AppConfig &c) { return c.setCaptureFolder(QStringLiteral("/tmp")); },
        [](AppConfig &c) { return c.setLanguage(QStringLiteral("en")); },
        [](AppConfig &c) {
            OpenLineOptions options;
            options.dtr = LineAtOpen::On;
            return c.setLineOptions(options);
        },
        [](AppConfig &c) { return c.setPulseMs(300); },
        [](AppConfig &c) { return c.setBreakMs(500); },
        [](AppConfig &c) { return c.setSendBarVisible(true); },
        [](AppConfig &c) { return c.setSendLineSettings(QStringLiteral("hex lf none")); },
        [](AppConfig &c) { return c.setSendHistory({ QStringLiteral("AT") }); },
        [](AppConfig &c) {
            return c.setQuickCommands({ QStringLiteral("AT\ttext\tcrlf\tnone\tAT") });
        },
        [](AppConfig &c) { return c.setSplitLines(true); },
        [](AppConfig &c) { return c.setWindowGeometry(QByteArray("geometry")); },
    };
    return setters;
}

} // namespace

// byteway.conf that cannot be written: each setter fails with the system's reason,
// the file stays as it was, and the report names the file and the reason.
class AppConfigWriteTest : public QObject
{
    Q_OBJECT

private slots:
    void unwritableFileIsReported_data();
    void unwritableFileIsReported();
    void writableFileIsNotReported();
};

void AppConfigWriteTest::unwritableFileIsReported_data()
{
    QTest::addColumn<QString>("blocker"); // what stands in the way, made first
    QTest::addColumn<QString>("conf"); // the file's path, below the folder
    QTest::addColumn<int>("setter");
    // A file where its folder should be, and a folder where the file should be, stop
    // any writer, root included.
    for (int setter = 0; setter < static_cast<int>(Setters().size()); ++setter) {
        const QByteArray tag = QByteArray::number(setter);
        QTest::newRow("folder_is_a_file_" + tag) << "file:x"
                                                 << "x/byteway.conf" << setter;
        QTest::newRow("file_is_a_folder_" + tag) << "folder:byteway.conf"
                                                 << "byteway.conf" << setter;
    }
}

void AppConfigWriteTest::unwritableFileIsReported()
{
    QFETCH(QString, blocker);
    QFETCH(QString, conf);
    QFETCH(int, setter);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString name = blocker.section(QLatin1Char(':'), 1);
    if (blocker.startsWith(QLatin1String("file:"))) {
        QFile file(root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir(root.path()).mkdir(name));
    }
    AppConfig config(root.filePath(conf));
    const Status written = Setters().at(static_cast<std::size_t>(setter))(config);
    QVERIFY(!written);
    QVERIFY(!written.reason().empty());

    ModalWatcher watcher;
    config.report(nullptr, written);
    // Every later change fails alike: it is not reported again.
    config.report(nullptr, written);
    QCOMPARE(watcher.boxes.size(), 1);
    const QString text = watcher.boxes.constFirst().text;
    QVERIFY2(text.contains(QDir::toNativeSeparators(root.filePath(conf))), qPrintable(text));
    QVERIFY2(text.contains(QString::fromLocal8Bit(written.reason().c_str())), qPrintable(text));
    QCOMPARE(watcher.boxes.constFirst().icon, QMessageBox::Warning);
}

void AppConfigWriteTest::writableFileIsNotReported()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    AppConfig config(root.filePath(QStringLiteral("byteway.conf")));
    const Status written = config.setHeaderTimes(true);
    QVERIFY2(written, written.reason().c_str());
    ModalWatcher watcher;
    config.report(nullptr, written);
    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(AppConfig(config.path()).headerTimes());
}

QTEST_MAIN(AppConfigWriteTest)
#include "tst_appconfigwrite.moc"
