// byteway.conf replaced by something that is not a regular file: the program starts
// with the defaults, keeps what is set for the run and leaves the thing alone.

#include "settings/appconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class AppConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void notARegularFileIsNeverRead_data();
    void notARegularFileIsNeverRead();
};

using Make = std::function<bool(const QString &path, const QDir &scratch)>;
Q_DECLARE_METATYPE(Make)

void AppConfigTest::notARegularFileIsNeverRead_data()
{
    QTest::addColumn<Make>("make");
    QTest::newRow("fifo") << Make([](const QString &path, const QDir &) {
        return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    });
    QTest::newRow("link-to-fifo") << Make([](const QString &path, const QDir &scratch) {
        const QString fifo = scratch.filePath(QStringLiteral("fifo"));
        return mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 && QFile::link(fifo, path);
    });
    QTest::newRow("link-to-dev-zero")
        << Make([](const QString &path, const QDir &) { return QFile::link("/dev/zero", path); });
    QTest::newRow("folder") << Make([](const QString &path, const QDir &scratch) {
        return scratch.mkdir(QFileInfo(path).fileName());
    });
}

void AppConfigTest::notARegularFileIsNeverRead()
{
    QFETCH(Make, make);
    QTemporaryDir scratch;
    const QString path = QDir(scratch.path()).filePath(QStringLiteral("byteway.conf"));
    QVERIFY(make(path, QDir(scratch.path())));
    const QFileInfo before(path);
    // In a child under an alarm: a read that blocks or never ends fails the row.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        alarm(5);
        AppConfig config(path);
        const bool defaults
            = config.language() == QStringLiteral("system") && !config.headerTimes();
        static_cast<void>(config.setHeaderTimes(true));
        _exit(defaults && config.headerTimes() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), "the child hung on byteway.conf and was killed");
    QCOMPARE(WEXITSTATUS(status), 0);
    const QFileInfo after(path);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isDir(), before.isDir());
    QCOMPARE(after.isFile(), before.isFile());
}

QTEST_GUILESS_MAIN(AppConfigTest)
#include "tst_appconfig.moc"
