// byteway-linetest as a script runs it: exit status, summary and the JSON file,
// checked against the schema in the README, with the demo device as the far side.

#include "deviceprocess.h"
#include "ptydevice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

// The parts of JSON Schema the README's schema uses: type (one or a list), enum,
// required, properties and items. Returns what does not fit, empty when it all does.
QString Violation(const QJsonValue &value, const QJsonObject &schema, const QString &where)
{
    if (schema.contains(QLatin1String("enum"))
        && !schema.value(QLatin1String("enum")).toArray().contains(value)) {
        return where + QLatin1String(": not one of the allowed values");
    }
    if (schema.contains(QLatin1String("type"))) {
        const QJsonValue type = schema.value(QLatin1String("type"));
        const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray { type };
        bool matches = false;
        for (const QJsonValue &t : types) {
            const QString name = t.toString();
            matches = matches || (name == QLatin1String("object") && value.isObject())
                || (name == QLatin1String("array") && value.isArray())
                || (name == QLatin1String("string") && value.isString())
                || (name == QLatin1String("boolean") && value.isBool())
                || (name == QLatin1String("null") && value.isNull())
                || (name == QLatin1String("number") && value.isDouble())
                || (name == QLatin1String("integer") && value.isDouble()
                    && value.toDouble() == std::floor(value.toDouble()));
        }
        if (!matches) {
            return where + QLatin1String(": not of type ")
                + QString::fromUtf8(QJsonDocument(types).toJson(QJsonDocument::Compact));
        }
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (const QJsonValue &key : schema.value(QLatin1String("required")).toArray()) {
            if (!object.contains(key.toString())) {
                return where + QLatin1String(": lacks ") + key.toString();
            }
        }
        const QJsonObject properties = schema.value(QLatin1String("properties")).toObject();
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            if (object.contains(it.key())) {
                const QString inner = Violation(object.value(it.key()), it.value().toObject(),
                    where + QLatin1Char('.') + it.key());
                if (!inner.isEmpty()) {
                    return inner;
                }
            }
        }
    }
    if (value.isArray() && schema.contains(QLatin1String("items"))) {
        const QJsonArray items = value.toArray();
        for (int i = 0; i < items.size(); ++i) {
            const QString inner
                = Violation(items.at(i), schema.value(QLatin1String("items")).toObject(),
                    where + QStringLiteral("[%1]").arg(i));
            if (!inner.isEmpty()) {
                return inner;
            }
        }
    }
    return {};
}

QJsonObject ReadmeSchema()
{
    QFile readme(QStringLiteral(BYTEWAY_README));
    if (!readme.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype marker = text.indexOf(QLatin1String("<!-- linetest-json-schema -->"));
    const qsizetype start = text.indexOf(QLatin1String("```json\n"), marker) + 8;
    const qsizetype end = text.indexOf(QLatin1String("```"), start);
    return QJsonDocument::fromJson(text.mid(start, end - start).toUtf8()).object();
}

} // namespace

class TestLineTestCommand : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

void TestLineTestCommand::run_data()
{
    QTest::addColumn<QStringList>("device"); // byteway-device's options; empty: no device
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("corrupted");
    QTest::addColumn<int>("lost");
    QTest::addColumn<QList<int>>("offsets");
    QTest::addColumn<QString>("failure"); // in the JSON and on stderr; empty: none

    QTest::newRow("clean passes") << QStringList { "--echo" } << QStringList { "--bytes", "20000" }
                                  << 0 << 0 << 0 << QList<int>() << QString();
    QTest::newRow("errors fail") << QStringList { "--echo", "--corrupt", "1000" }
                                 << QStringList { "--bytes", "5000", "--pattern", "counting" } << 1
                                 << 5 << 0 << QList<int> { 999, 1999, 2999, 3999, 4999 }
                                 << QString();
    QTest::newRow("within max errors") << QStringList { "--echo", "--drop", "300:2" }
                                       << QStringList { "--bytes", "5000", "--max-errors", "2" }
                                       << 0 << 0 << 2 << QList<int> { 300, 301 } << QString();
    QTest::newRow("too short for max ber")
        << QStringList { "--echo" } << QStringList { "--bytes", "20000", "--max-ber", "1e-9" } << 1
        << 0 << 0 << QList<int>() << QString();
    QTest::newRow("nothing comes back")
        << QStringList { "--stall" } << QStringList { "--bytes", "20000", "--timeout", "1" } << 1
        << 0 << 0 << QList<int>() << QStringLiteral("no data came back");
    QTest::newRow("far end loses more than is under way")
        << QStringList { "--echo", "--drop", "2000:100000" }
        << QStringList { "--bytes", "20000", "--timeout", "1" } << 1 << 0 << 0 << QList<int>()
        << QStringLiteral("lost the rest");
    QTest::newRow("pattern is a folder")
        << QStringList() << QStringList { "--bytes", "100", "--pattern", "file:@" } << 2 << 0 << 0
        << QList<int>() << QStringLiteral("not a regular file");
    QTest::newRow("missing device") << QStringList() << QStringList { "--bytes", "100" } << 2 << 0
                                    << 0 << QList<int>() << QStringLiteral("No such file");
}

void TestLineTestCommand::run()
{
    QFETCH(QStringList, device);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(int, corrupted);
    QFETCH(int, lost);
    QFETCH(QList<int>, offsets);
    QFETCH(QString, failure);

    const TempConfigHome home;
    const QString link = QString::fromStdString(home.root()) + QStringLiteral("/line");
    const QString json = QString::fromStdString(home.root()) + QStringLiteral("/result.json");
    std::unique_ptr<DeviceProcess> far;
    if (!device.isEmpty()) {
        std::vector<std::string> args { "--link", link.toStdString() };
        for (const QString &arg : device) {
            args.push_back(arg.toStdString());
        }
        far = std::make_unique<DeviceProcess>(args);
        QVERIFY(far->waitFor("linked", 5000));
    }
    // "@" in an option is the test's own folder.
    for (QString &option : options) {
        option.replace(QLatin1Char('@'), QString::fromStdString(home.root()) + QLatin1Char('/'));
    }
    QProcess command;
    command.start(QStringLiteral(BYTEWAY_LINETEST),
        QStringList { "--device", link, "--json", json } + options);
    QVERIFY(command.waitForFinished(60000));
    const QString out = QString::fromUtf8(command.readAllStandardOutput());
    const QString err = QString::fromUtf8(command.readAllStandardError());
    QCOMPARE(command.exitCode(), status);

    QFile file(json);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject result = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject schema = ReadmeSchema();
    QVERIFY(!schema.isEmpty());
    QCOMPARE(Violation(result, schema, QStringLiteral("result")), QString());

    QCOMPARE(result.value(QLatin1String("passed")).toBool(), status == 0);
    if (!failure.isEmpty()) {
        const QLatin1String field(status == 2 ? "failure" : "stopped");
        QVERIFY2(result.value(field).toString().contains(failure), qPrintable(err));
        QVERIFY2(err.contains(failure), qPrintable(err));
        return;
    }
    QVERIFY(result.value(QLatin1String("failure")).isNull());
    QVERIFY(result.value(QLatin1String("stopped")).isNull());
    QVERIFY(out.contains(status == 0 ? QLatin1String("PASSED") : QLatin1String("FAILED")));
    QCOMPARE(result.value(QLatin1String("corrupted")).toInt(), corrupted);
    QCOMPARE(result.value(QLatin1String("lost")).toInt(), lost);
    QCOMPARE(result.value(QLatin1String("inserted")).toInt(), 0);
    const QJsonArray errors = result.value(QLatin1String("errors")).toArray();
    QCOMPARE(errors.size(), offsets.size());
    for (int i = 0; i < offsets.size(); ++i) {
        QCOMPARE(errors.at(i).toObject().value(QLatin1String("offset")).toInt(), offsets.at(i));
    }
    QCOMPARE(qint64(result.value(QLatin1String("bytes_checked")).toDouble()),
        qint64(result.value(QLatin1String("bytes_sent")).toDouble()));
}

QTEST_GUILESS_MAIN(TestLineTestCommand)
#include "tst_linetestcommand.moc"
