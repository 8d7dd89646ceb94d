#include "app/documentfile.h"
#include "common/testmain.h"

#include "common/testfiles.h"
#include "readonlydir.h"

#include <QFile>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <memory>

class TestDocumentFile : public QObject
{
    Q_OBJECT

private slots:
    void writeReplacesWholeFile();
    void writeFailureKeepsOldFile_data();
    void writeFailureKeepsOldFile();
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
}

void TestDocumentFile::readFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, log);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.json"));
    if (!bytes.isEmpty())
        writeFile(path, bytes);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^") + log));
    const JsonFileRead read = readJsonObjectFile(path);
    QVERIFY(!read.ok);
    QVERIFY(read.object.isEmpty());
    QVERIFY(read.errorText.contains(path));
}

QUILLMAP_TEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
