#include "docstesthelpers.h"
#include "document/documentfile.h"
#include "text/codepage.h"
#include "text/localpath.h"
#include "textview/richedit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(std::string)

namespace {

const QString kRed = QStringLiteral("#ff0000");
const QString kGreen = QStringLiteral("#008000");
const QString kBlue = QStringLiteral("#0000ff");

QByteArray Bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// A load or save as the window reports it: its message, empty on success and when
// it was cancelled.
bool Succeeds(const Status &status, QString *message)
{
    *message = FromLocal(status.reason());
    return status.ok();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Lowers the largest file this process may write for as long as it lives; a write
// beyond it fails with EFBIG, as one on a full disk fails with ENOSPC.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_handler = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isActive() const { return m_active; }

private:
    rlimit m_before {};
    void (*m_handler)(int) = SIG_DFL;
    bool m_active = false;
};

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
}

} // namespace

class DocumentFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void saveWritesLinesWithCrLf_data();
    void saveWritesLinesWithCrLf();
    void saveOverLongerFileLeavesNoOldBytes();
    void saveFailureGivesReason_data();
    void saveFailureGivesReason();
    void saveOnFullDiskKeepsTheOldFile_data();
    void saveOnFullDiskKeepsTheOldFile();
    void saveKeepsPermissionsAndFollowsLinks_data();
    void saveKeepsPermissionsAndFollowsLinks();
    void loadPlainText_data();
    void loadPlainText();
    void loadRtf_data();
    void loadRtf();
    void loadReplacesTextAndPutsCaretAtStart();
    void loadFailureLeavesDocumentEmpty_data();
    void loadFailureLeavesDocumentEmpty();
    void rtfSavedUnderItsOwnNameBecomesPlainText();
    void loadInStepsGivesTheSameDocument_data();
    void loadInStepsGivesTheSameDocument();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_mounted;
};

void DocumentFileTest::init()
{
    QVERIFY(m_dir.isValid());
}

void DocumentFileTest::cleanup()
{
    if (!m_mounted.isEmpty()) {
        umount(QFile::encodeName(m_mounted).constData());
        m_mounted.clear();
    }
}

void DocumentFileTest::saveOnFullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("tmpfs"); // else a file size limit
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("error");
    QTest::newRow("small-tmpfs-over-existing") << true << true << ENOSPC;
    QTest::newRow("small-tmpfs-new-file") << true << false << ENOSPC;
    QTest::newRow("size-limit-over-existing") << false << true << EFBIG;
    QTest::newRow("size-limit-new-file") << false << false << EFBIG;
}

void DocumentFileTest::saveOnFullDiskKeepsTheOldFile()
{
    QFETCH(bool, tmpfs);
    QFETCH(bool, existing);
    QFETCH(int, error);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    const QString folder = path(name);
    QVERIFY(QDir(m_dir.path()).mkpath(name));
    if (tmpfs) {
        if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0) {
            QSKIP("mounting is not allowed here");
        }
        m_mounted = folder;
    }
    const QString file = folder + QStringLiteral("/doc.txt");
    const QByteArray old(2000, 'o');
    if (existing) {
        QVERIFY(WriteFile(file, old));
    }
    RichEdit edit;
    QVERIFY(edit.insertTextAtCaret(QString(300 * 1024, QLatin1Char('n'))));

    QString message;
    bool saved = false;
    if (tmpfs) {
        saved = Succeeds(SaveDocumentPlain(&edit, file), &message);
    } else {
        FileSizeLimit limit(4096);
        QVERIFY(limit.isActive());
        saved = Succeeds(SaveDocumentPlain(&edit, file), &message);
    }
    QVERIFY(!saved);
    QVERIFY2(message.contains(QString::fromLocal8Bit(std::strerror(error))), qPrintable(message));
    QVERIFY2(!message.contains(QStringLiteral("Unknown error")), qPrintable(message));
    QCOMPARE(Entries(folder), existing ? QStringList { QStringLiteral("doc.txt") } : QStringList());
    if (existing) {
        QCOMPARE(ReadFile(file), old);
    }
}

void DocumentFileTest::saveKeepsPermissionsAndFollowsLinks_data()
{
    QTest::addColumn<QString>("link"); // what the saved name points to; "" for none
    QTest::newRow("plain-file") << QString();
    QTest::newRow("absolute-link") << QStringLiteral("ABSOLUTE");
    QTest::newRow("relative-link") << QStringLiteral("real/doc.txt");
}

void DocumentFileTest::saveKeepsPermissionsAndFollowsLinks()
{
    QFETCH(QString, link);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("real")));
    const QString target = path(QStringLiteral("real/doc.txt"));
    QVERIFY(WriteFile(target, QByteArray(100, 'o')));
    QVERIFY(QFile::setPermissions(
        target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    QString saved = target;
    if (!link.isEmpty()) {
        saved = path(QString::fromLatin1(QTest::currentDataTag()));
        const QString pointsTo = link == QStringLiteral("ABSOLUTE") ? target : link;
        QCOMPARE(
            symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(saved).constData()),
            0);
    }
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("new"));
    QString error;
    QVERIFY2(Succeeds(SaveDocumentPlain(&edit, saved), &error), qPrintable(error));
    QCOMPARE(ReadFile(target), QByteArray("new\r\n"));
    // The owner, group and other bits; the "user" ones depend on who runs the test.
    const QFileDevice::Permissions notUser(0x7077);
    QCOMPARE(QFileInfo(target).permissions() & notUser,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    if (!link.isEmpty()) {
        QVERIFY(QFileInfo(saved).isSymLink());
    }
    QCOMPARE(Entries(path(QStringLiteral("real"))), QStringList { QStringLiteral("doc.txt") });
}

void DocumentFileTest::saveWritesLinesWithCrLf_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("bytes");
    QTest::newRow("empty-document") << std::string() << std::string();
    QTest::newRow("open-last-line") << std::string("a") << std::string("a\r\n");
    QTest::newRow("last-empty-line-not-written") << std::string("a\n") << std::string("a\r\n");
    QTest::newRow("two-lines") << std::string("ab\ncd") << std::string("ab\r\ncd\r\n");
    QTest::newRow("blank-lines-kept")
        << std::string("\n\na\n\n") << std::string("\r\n\r\na\r\n\r\n");
    QTest::newRow("cp936-chinese")
        << std::string("\xBD\xD3\xCA\xD5: 01\n") << std::string("\xBD\xD3\xCA\xD5: 01\r\n");
}

void DocumentFileTest::saveWritesLinesWithCrLf()
{
    QFETCH(std::string, text);
    QFETCH(std::string, bytes);
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret(text));
    QString error;
    QVERIFY2(Succeeds(SaveDocumentPlain(&edit, path("out.txt")), &error), qPrintable(error));
    QCOMPARE(ReadFile(path("out.txt")), Bytes(bytes));
}

void DocumentFileTest::saveOverLongerFileLeavesNoOldBytes()
{
    QVERIFY(WriteFile(path("old.txt"), QByteArray(1000, 'z')));
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("a"));
    QString error;
    QVERIFY(Succeeds(SaveDocumentPlain(&edit, path("old.txt")), &error));
    QCOMPARE(ReadFile(path("old.txt")), QByteArray("a\r\n"));
    edit.ClearDocument();
    QVERIFY(Succeeds(SaveDocumentPlain(&edit, path("old.txt")), &error));
    QCOMPARE(QFileInfo(path("old.txt")).size(), 0);
}

void DocumentFileTest::saveFailureGivesReason_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing-folder") << QStringLiteral("no/such/folder/x.txt");
    QTest::newRow("a-folder") << QStringLiteral("folder");
}

void DocumentFileTest::saveFailureGivesReason()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("a"));
    QString error;
    QVERIFY(!Succeeds(SaveDocumentPlain(&edit, path(name)), &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path(name))), qPrintable(error));
    QVERIFY2(!error.endsWith(QStringLiteral(": ")), qPrintable(error));
}

void DocumentFileTest::loadPlainText_data()
{
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty-file") << std::string() << QString() << 0;
    QTest::newRow("crlf") << std::string("a\r\nb\r\n") << QStringLiteral("a\nb\n") << 2;
    QTest::newRow("cr-only") << std::string("a\rb") << QStringLiteral("a\nb") << 2;
    QTest::newRow("lf-only") << std::string("a\nb") << QStringLiteral("a\nb") << 2;
    QTest::newRow("cr-then-crlf") << std::string("a\r\r\nb") << QStringLiteral("a\n\nb") << 3;
    QTest::newRow("cp936") << std::string("\xBD\xD3\xCA\xD5\r\n\xB7\xA2\xCB\xCD")
                           << QStringLiteral("接收\n发送") << 2;
    QTest::newRow("rtf-lookalike") << std::string("{\\rt") << QStringLiteral("{\\rt") << 1;
}

void DocumentFileTest::loadPlainText()
{
    QFETCH(std::string, bytes);
    QFETCH(QString, text);
    QFETCH(int, lines);
    QVERIFY(WriteFile(path("in.txt"), Bytes(bytes)));
    RichEdit edit;
    QString error;
    QVERIFY2(Succeeds(LoadDocumentFile(&edit, path("in.txt")), &error), qPrintable(error));
    QCOMPARE(edit.toPlainText(), text);
    QCOMPARE(edit.LineCount(), lines);
    for (const ColorRun &run : ColorRuns(edit)) {
        QCOMPARE(run.color, kRed);
    }
}

void DocumentFileTest::loadRtf_data()
{
    QTest::addColumn<std::string>("rtf");
    QTest::addColumn<QString>("runs");
    const std::string table = R"({\colortbl;\red0\green128\blue0;\red0\green0\blue255;})";
    QTest::newRow("colours-and-default")
        << R"({\rtf1)" + table + R"(\cf1 Receiving: \cf0 01\par\cf2 end})"
        << QStringLiteral("[%1]Receiving: [%2]01\n[%3]end").arg(kGreen, kRed, kBlue);
    QTest::newRow("hex-bytes-in-cp936") << std::string(R"({\rtf1 \'bd\'d3\'ca\'d5\line x})")
                                        << QStringLiteral("[%1]接收\nx").arg(kRed);
    QTest::newRow("unicode-and-fallback")
        << std::string(R"({\rtf1\uc1 \u25509?\u25910?!})") << QStringLiteral("[%1]接收!").arg(kRed);
    QTest::newRow("tabs-and-paragraphs")
        << std::string(R"({\rtf1 a\tab b\par\par c})") << QStringLiteral("[%1]a\tb\n\nc").arg(kRed);
}

void DocumentFileTest::loadRtf()
{
    QFETCH(std::string, rtf);
    QFETCH(QString, runs);
    QVERIFY(WriteFile(path("in.rtf"), Bytes(rtf)));
    RichEdit edit;
    QString error;
    QVERIFY2(Succeeds(LoadDocumentFile(&edit, path("in.rtf")), &error), qPrintable(error));
    QCOMPARE(DescribeRuns(ColorRuns(edit)), runs);
}

void DocumentFileTest::loadReplacesTextAndPutsCaretAtStart()
{
    QVERIFY(WriteFile(path("in.txt"), "new\r\ntext"));
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("old text\n"));
    edit.SetInsertColor(Colors::Blue);
    QString error;
    QVERIFY(Succeeds(LoadDocumentFile(&edit, path("in.txt")), &error));
    QCOMPARE(edit.toPlainText(), QStringLiteral("new\ntext"));
    QCOMPARE(edit.selStart(), 0);
    QCOMPARE(edit.selLength(), 0);
    QCOMPARE(edit.insertColor(), Colors::Blue);
}

void DocumentFileTest::loadFailureLeavesDocumentEmpty_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::string>("content"); // none: the file is not created
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing-file") << "missing.txt" << std::string() << RichEdit::kDefaultCapacity
                                  << "No such file";
    QTest::newRow("folder") << "folder" << std::string() << RichEdit::kDefaultCapacity << "";
    QTest::newRow("fifo") << "fifo" << std::string() << RichEdit::kDefaultCapacity
                          << "not a regular file";
    QTest::newRow("malformed-rtf")
        << "bad.rtf" << std::string("{\\rtf1 abc") << RichEdit::kDefaultCapacity << "open group";
    QTest::newRow("plain-too-large") << "big.txt" << std::string("abcdefgh") << 5 << "too large";
    QTest::newRow("file-size-beyond-any-fit")
        << "huge.txt" << std::string(100, 'x') << 5 << "too large";
    QTest::newRow("rtf-too-large")
        << "big.rtf" << std::string("{\\rtf1 abcdef}") << 5 << "too large";
}

void DocumentFileTest::loadFailureLeavesDocumentEmpty()
{
    QFETCH(QString, name);
    QFETCH(std::string, content);
    QFETCH(int, capacity);
    QFETCH(QString, reason);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
    if (!QFileInfo::exists(path(QStringLiteral("fifo")))) {
        QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0600), 0);
    }
    if (!content.empty()) {
        QVERIFY(WriteFile(path(name), Bytes(content)));
    }
    RichEdit edit;
    QVERIFY(edit.InsertAtCaret("before"));
    edit.setCapacity(capacity);
    QString error;
    QVERIFY(!Succeeds(LoadDocumentFile(&edit, path(name)), &error));
    QCOMPARE(edit.toPlainText(), QString());
    QVERIFY2(error.contains(QDir::toNativeSeparators(path(name))), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void DocumentFileTest::rtfSavedUnderItsOwnNameBecomesPlainText()
{
    const QString file = path("doc.rtf");
    QVERIFY(WriteFile(
        file, R"({\rtf1{\colortbl;\red0\green0\blue255;}\cf1 \'bd\'d3\'ca\'d5\par two\par})"));
    RichEdit edit;
    QString error;
    QVERIFY(Succeeds(LoadDocumentFile(&edit, file), &error));
    QVERIFY(Succeeds(SaveDocumentPlain(&edit, file), &error));
    QCOMPARE(ReadFile(file), QByteArray("\xBD\xD3\xCA\xD5\r\ntwo\r\n"));
}

void DocumentFileTest::loadInStepsGivesTheSameDocument_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("stopAtCall"); // 0: never
    QByteArray plain;
    for (int i = 0; plain.size() < 300000; ++i) {
        plain += "line " + QByteArray::number(i) + " \xD6\xD0\xCE\xC4\r\n";
    }
    // Many short runs of alternating colours, as a saved reception looks.
    QByteArray rtf = R"({\rtf1{\colortbl;\red0\green128\blue0;\red0\green0\blue255;})";
    for (int i = 0; rtf.size() < 300000; ++i) {
        rtf += (i % 2 ? "\\cf1 " : "\\cf2 ") + QByteArray::number(i) + (i % 7 ? " " : "\\par ");
    }
    rtf += "}";
    QTest::newRow("plain-text") << plain << 0;
    // No line feed to cut after: the pieces must not split a double-byte character.
    QTest::newRow("one-long-line-of-cp936") << ("x" + QByteArray(300000, '\xD6')) << 0;
    // Nor a CR from the LF after it, nor merge CR-only breaks.
    QTest::newRow("cr-line-breaks") << QByteArray(300000, '\r').append("a\r\nb") << 0;
    QTest::newRow("rich-text-of-short-runs") << rtf << 0;
    QTest::newRow("plain-text-stopped") << plain << 2;
    QTest::newRow("rich-text-stopped") << rtf << 1;
}

// Loading in steps (as for a big file, with the event loop running in between)
// must give exactly what loading at once gives, colours included.
void DocumentFileTest::loadInStepsGivesTheSameDocument()
{
    QFETCH(QByteArray, content);
    QFETCH(int, stopAtCall);
    QVERIFY(WriteFile(path("steps.txt"), content));
    RichEdit whole;
    QString error;
    QVERIFY2(Succeeds(LoadDocumentFile(&whole, path("steps.txt")), &error), qPrintable(error));

    RichEdit stepped;
    QList<qint64> done;
    qint64 total = -1;
    const bool loaded = Succeeds(LoadDocumentFile(&stepped, path("steps.txt"),
                                     [&](qint64 soFar, qint64 all) {
                                         done.append(soFar);
                                         total = all;
                                         return done.size() != stopAtCall;
                                     }),
        &error);
    if (stopAtCall > 0) {
        QVERIFY(!loaded);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(done.size(), stopAtCall);
        QCOMPARE(stepped.characterCount(), 0);
        return;
    }
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(DescribeRuns(ColorRuns(stepped)), DescribeRuns(ColorRuns(whole)));
    QCOMPARE(stepped.selStart(), 0);
    // Steps of a fixed size however the text is cut into runs: a few, not one a run.
    QVERIFY(done.size() >= 2);
    QVERIFY2(done.size() <= total / (32 * 1024) + 1, qPrintable(QString::number(done.size())));
    QVERIFY(std::is_sorted(done.begin(), done.end()));
    QVERIFY(done.last() <= total);
}

QTEST_MAIN(DocumentFileTest)
#include "tst_documentfile.moc"
