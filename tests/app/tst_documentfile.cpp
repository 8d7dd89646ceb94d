#include "app/documentfile.h"
#include "common/testmain.h"

#include "common/testfiles.h"
#include "readonlydir.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

class TestDocumentFile : public QObject
{
    Q_OBJECT

private slots:
    void writeReplacesWholeFile();
    void writeFailureKeepsOldFile_data();
    void writeFailureKeepsOldFile();
    void writeFailureGivesReason_data();
    void writeFailureGivesReason();
    void readObject();
    void readFailures_data();
    void readFailures();
};

void TestDocumentFile::writeReplacesWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    writeFile(path, QByteArray(5000, 'x'));
    QString error;
    QVERIFY(writeFileAtomically(path, "{}\n", &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(fileContents(path), QByteArray("{}\n"));
    // No temporary file stays behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("p.json")});
}

void TestDocumentFile::writeFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("read-only directory") << QStringLiteral("readonly");
    QTest::newRow("missing directory") << QStringLiteral("missing");
    QTest::newRow("parent is a file") << QStringLiteral("file");
}

void TestDocumentFile::writeFailureKeepsOldFile()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<ReadOnlyDir> guard;
    if (where == QLatin1String("readonly")) {
        path = dir.filePath(QStringLiteral("old.json"));
        writeFile(path, "old content");
        guard = std::make_unique<ReadOnlyDir>(dir.path());
        if (!guard->ok())
            QSKIP("this machine cannot make a directory read-only");
    } else if (where == QLatin1String("missing")) {
        path = dir.filePath(QStringLiteral("no/such/dir/p.json"));
    } else {
        writeFile(dir.filePath(QStringLiteral("plain")), "x");
        path = dir.filePath(QStringLiteral("plain/p.json"));
    }

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot save file:")));
    QString error;
    QVERIFY(!writeFileAtomically(path, QByteArray(100000, 'n'), &error));
    QVERIFY(!error.isEmpty());
    if (where == QLatin1String("readonly")) {
        QCOMPARE(fileContents(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.json")});
    } else {
        QVERIFY(!QFile::exists(path));
    }
}

namespace {

// Lowers this process's file-size limit for as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
};

bool isCharacterDevice(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

// A write that fails tells the system's reason, and what is no regular file
// is never replaced by the temporary file.
void TestDocumentFile::writeFailureGivesReason_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file-size limit reached midway") << QStringLiteral("limit") << QStringLiteral("File too large");
    QTest::newRow("device node") << QStringLiteral("/dev/null") << QStringLiteral("not a regular file");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
}

void TestDocumentFile::writeFailureGivesReason()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = target;
    std::unique_ptr<FileSizeLimit> limit;
    if (target == QLatin1String("limit")) {
        path = dir.filePath(QStringLiteral("old.json"));
        writeFile(path, "old content");
        limit = std::make_unique<FileSizeLimit>(4096);
        if (!limit->ok())
            QSKIP("the file-size limit cannot be lowered here");
    } else if (target == QLatin1String("folder")) {
        path = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    } else if (!isCharacterDevice(path)) {
        QSKIP("no such device on this machine");
    }

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot save file:")));
    QString error;
    QVERIFY(!writeFileAtomically(path, QByteArray(100000, 'n'), &error));
    limit.reset();
    QVERIFY2(error.contains(reason), qPrintable(error));
    if (target == QLatin1String("limit")) {
        QCOMPARE(fileContents(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.json")});
    } else if (target == QLatin1String("folder")) {
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(QDir(path).isEmpty());
    } else {
        QVERIFY(isCharacterDevice(path));
        QVERIFY2(error.contains(path), qPrintable(error));
    }
}

void TestDocumentFile::readObject()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.json"));
    writeFile(path, R"({"type": "er-diagram", "entities": []})");
    const JsonFileRead read = readJsonObjectFile(path);
    QVERIFY(read.ok);
    QVERIFY(read.errorText.isEmpty());
    QCOMPARE(read.object.value(QStringLiteral("type")).toString(), QStringLiteral("er-diagram"));
}

void TestDocumentFile::readFailures_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
    QTest::addColumn<QString>("log");
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("Cannot open file:");
    QTest::newRow("not JSON") << QByteArray("erDiagram\n  A ||--o{ B : has\n") << QStringLiteral("Invalid JSON file:");
    QTest::newRow("truncated JSON") << QByteArray(R"({"type": "er-diagram", "entities": [)")
                                    << QStringLiteral("Invalid JSON file:");
    QTest::newRow("JSON array") << QByteArray(R"([{"type": "er-diagram"}])") << QStringLiteral("Invalid JSON file:");
    QTest::newRow("JSON string") << QByteArray(R"("er-diagram")") << QStringLiteral("Invalid JSON file:");
    // A device that never ends, and a folder.
    QTest::newRow("/dev/zero") << QByteArray("/dev/zero") << QStringLiteral("Cannot open file:");
    QTest::newRow("folder") << QByteArray("folder") << QStringLiteral("Cannot open file:");
}

void TestDocumentFile::readFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, log);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("in.json"));
    if (bytes == "/dev/zero") {
        path = QString::fromLatin1(bytes);
        if (!isCharacterDevice(path))
            QSKIP("no such device on this machine");
    } else if (bytes == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("in.json")));
    } else if (!bytes.isEmpty()) {
        writeFile(path, bytes);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^") + log));
    const JsonFileRead read = readJsonObjectFile(path);
    QVERIFY(!read.ok);
    QVERIFY(read.object.isEmpty());
    QVERIFY(read.errorText.contains(path));
}

QUILLMAP_TEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
