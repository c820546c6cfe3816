#include "ptydevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

#include <unistd.h>

// The program itself, run as a user runs it, ended by a termination signal: the
// close must be the normal one, which saves the settings file.
class SignalCloseTest : public QObject
{
    Q_OBJECT

private slots:
    void signalClosesNormally_data();
    void signalClosesNormally();
};

void SignalCloseTest::signalClosesNormally_data()
{
    QTest::addColumn<int>("signal");
    // With no port the start-up warning is up (a modal box) when the signal comes.
    QTest::addColumn<bool>("withPort");
    QTest::newRow("sigterm-port-warning-up") << int(SIGTERM) << false;
    QTest::newRow("sigint-port-warning-up") << int(SIGINT) << false;
    QTest::newRow("sighup-port-warning-up") << int(SIGHUP) << false;
    QTest::newRow("sigterm-port-open") << int(SIGTERM) << true;
}

void SignalCloseTest::signalClosesNormally()
{
    QFETCH(int, signal);
    QFETCH(bool, withPort);
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString folder = config.filePath(QStringLiteral("byteway"));
    QVERIFY(QDir().mkpath(folder));
    std::optional<PtyDevice> pty;
    QString device = config.filePath(QStringLiteral("gone"));
    if (withPort) {
        pty.emplace(false);
        device = QString::fromStdString(pty->slaveName());
    }
    QCOMPARE(::symlink(QFile::encodeName(device).constData(),
                 QFile::encodeName(folder + QStringLiteral("/com1")).constData()),
        0);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(BYTEWAY_PROGRAM), {});
    QVERIFY(program.waitForStarted());

    // The program writes the default settings at start-up; taking the file away
    // leaves only the close to write it again.
    const QString settings = folder + QStringLiteral("/Byteway.ini");
    // 18 values of 4 bytes and the default send text "00".
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(settings).size(), qint64(74), 10000);
    QFile written(settings);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray atStart = written.readAll();
    written.close();
    // Time for the window and, without a port, its warning to come up.
    QTest::qWait(500);
    QVERIFY(QFile::remove(settings));

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    const bool finished = program.waitForFinished(10000);
    if (!finished) {
        program.kill();
        program.waitForFinished();
    }
    QVERIFY(finished);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QFile saved(settings);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), atStart);
}

QTEST_MAIN(SignalCloseTest)
#include "tst_signalclose.moc"
