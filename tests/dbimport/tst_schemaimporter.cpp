#include "common/testmain.h"
#include "dbimport/schemaimporter.h"

#include "common/testfiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

// True while the process runs (a zombie, or no process at all, is not
// running).
bool processAlive(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = status.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && close + 2 < text.size() && text.at(close + 2) != 'Z' && text.at(close + 2) != 'X';
}

const QByteArray validJson = R"({"meta": {"dialect": "postgresql"}, "tables": [
    {"name": "customer", "columns": [{"name": "id", "type": "uuid"}]},
    {"name": "orders", "columns": [{"name": "id", "type": "bigint"}, {"name": "customer_id", "type": "uuid"}]}],
  "constraints": [{"type": "PRIMARY KEY", "name": "customer_pkey", "table": "customer", "columns": ["id"]},
    {"type": "FOREIGN KEY", "name": "orders_customer_fkey", "table": "orders", "columns": ["customer_id"],
     "ref_table": "customer"}], "extra": {"kept": true}})";

// Everything an importer reports during one run.
struct Outcome
{
    explicit Outcome(SchemaImporter* importer)
        : finished(importer, &SchemaImporter::finished)
        , failed(importer, &SchemaImporter::failed)
        , progress(importer, &SchemaImporter::progressMessage)
    {
    }
    int count() const { return int(finished.count() + failed.count()); }
    QString failure() const { return failed.isEmpty() ? QString() : failed.first().first().toString(); }
    QStringList progressTexts() const
    {
        QStringList texts;
        for (const auto& arguments : progress)
            texts << arguments.first().toString();
        return texts;
    }
    QSignalSpy finished;
    QSignalSpy failed;
    QSignalSpy progress;
};

} // namespace

class TestSchemaImporter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void passwordTravelsInEnvironment();
    void stopEndsChildAndItsChildrenSilently();
    void destroyingEndsChildSilently();
    void startWhileRunningReplacesRun();
    void standardErrorFloodIsDropped();

private:
    // Writes a /bin/sh script into the temporary folder; its path.
    QString script(const QString& name, const QByteArray& body);
    // Runs the script until the importer reports, or fails the test.
    void runToOutcome(SchemaImporter& importer, const Outcome& outcome, const QString& path,
                      const QStringList& args = {});

    QTemporaryDir m_dir;
};

void TestSchemaImporter::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestSchemaImporter::script(const QString& name, const QByteArray& body)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(body);
    return path;
}

void TestSchemaImporter::runToOutcome(SchemaImporter& importer, const Outcome& outcome, const QString& path,
                                      const QStringList& args)
{
    importer.start(QStringLiteral("/bin/sh"), path, args);
    QTRY_VERIFY_WITH_TIMEOUT(outcome.count() > 0, 30000);
    // Nothing more arrives after the outcome, whatever the process still says.
    QTest::qWait(200);
    QCOMPARE(outcome.count(), 1);
}

void TestSchemaImporter::outcomes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("failure");      // empty: finished
    QTest::addColumn<QStringList>("progress");

    QTest::newRow("valid JSON, progress on standard error")
        << QByteArray("echo 'Reading tables…' >&2\ncat <<'EOF'\n" + validJson + "\nEOF\n") << QString()
        << QStringList{QStringLiteral("Reading tables…")};
    QTest::newRow("nothing") << QByteArray("exit 0\n") << QStringLiteral("Python produced no output.") << QStringList();
    QTest::newRow("empty array") << QByteArray("echo '[]'\n")
                                 << QStringLiteral("Invalid JSON from Python: no error occurred") << QStringList();
    QTest::newRow("not JSON") << QByteArray("echo 'Traceback? no, just words'\n")
                              << QStringLiteral("Invalid JSON from Python: illegal value") << QStringList();
    QTest::newRow("truncated JSON") << QByteArray("printf '{\"tables\": ['\n")
                                    << QStringLiteral("Invalid JSON from Python: unterminated array") << QStringList();
    QTest::newRow("usage on standard error, exit 2")
        << QByteArray("printf 'usage: schema_inspector.py --dialect D\\nerror: --dialect is required\\n' >&2\nexit 2\n")
        << QStringLiteral("Python exited with code 2.\nerror: --dialect is required")
        << QStringList{QStringLiteral("usage: schema_inspector.py --dialect D\nerror: --dialect is required")};
    // The reason was relayed as progress long before the exit, in pieces;
    // the failure still quotes its line.
    QTest::newRow("reason shown before a late exit")
        << QByteArray("echo 'Connecting…' >&2\nsleep 0.3\nprintf 'Could not con' >&2\nsleep 0.3\n"
                      "printf 'nect: refused.\\n\\n' >&2\nsleep 0.3\nexit 1\n")
        << QStringLiteral("Python exited with code 1.\nCould not connect: refused.")
        << QStringList{QStringLiteral("Connecting…"), QStringLiteral("Could not con"),
                       QStringLiteral("nect: refused.")};
    QTest::newRow("last line without a line break")
        << QByteArray("printf 'Reading…\\nGave up' >&2\nexit 5\n") << QStringLiteral("Python exited with code 5.\nGave up")
        << QStringList{QStringLiteral("Reading…\nGave up")};
    QTest::newRow("JSON on standard output but a failing exit")
        << QByteArray("echo '{}'\nexit 3\n") << QStringLiteral("Python exited with code 3.\n") << QStringList();
    QTest::newRow("killed by a signal") << QByteArray("echo 'about to go' >&2\nsleep 0.2\nkill -9 $$\n")
                                        << QStringLiteral("Python process crashed.")
                                        << QStringList{QStringLiteral("about to go")};
    // A child that waits for input gets end-of-file at once instead.
    QTest::newRow("reads its standard input")
        << QByteArray("if read line; then echo \"got $line\" >&2; exit 4; fi\necho '{\"tables\": []}'\n") << QString()
        << QStringList();
}

void TestSchemaImporter::outcomes()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, failure);
    QFETCH(QStringList, progress);
    SchemaImporter importer;
    Outcome outcome(&importer);
    runToOutcome(importer, outcome, script(QStringLiteral("fake.sh"), body));
    QCOMPARE(outcome.failure(), failure);
    QCOMPARE(outcome.finished.count(), failure.isEmpty() ? 1 : 0);
    QStringList texts = outcome.progressTexts();
    texts.removeAll(QString());
    if (progress.size() <= 1) {
        // One write arrives as one message, lines and all.
        QCOMPARE(texts, progress);
    } else {
        // Writes far apart may still be read together: everything arrives,
        // in order.
        static const QRegularExpression space(QStringLiteral("\\s"));
        QCOMPARE(texts.join(QString()).remove(space), progress.join(QString()).remove(space));
    }
    QVERIFY(!importer.isRunning());
}

void TestSchemaImporter::passwordTravelsInEnvironment()
{
    // The child prints its own command line and the variable as JSON.
    const QString path = script(QStringLiteral("args.sh"),
                                "tr '\\0' '\\n' < /proc/$$/cmdline > \"$0.args\"\n"
                                "printf '%s' \"$QUILLMAP_DB_PASSWORD\" > \"$0.password\"\n"
                                "echo '{\"tables\": []}'\n");
    const QString password = QStringLiteral(" s3cret with spaces ");
    qputenv(SchemaImporter::PasswordVariable, "inherited");
    SchemaImporter importer;
    Outcome outcome(&importer);
    runToOutcome(importer, outcome, path,
                 {"--dialect", "postgresql", "--host", "h", "--port", "5432", "--user", "u", "--password", password,
                  "--schema", "s", "--dbname", "d"});
    QCOMPARE(outcome.finished.count(), 1);
    QFile args(path + QStringLiteral(".args"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QStringList commandLine = QString::fromUtf8(args.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(commandLine,
             (QStringList{"/bin/sh", path, "--dialect", "postgresql", "--host", "h", "--port", "5432", "--user", "u",
                          "--password", "", "--schema", "s", "--dbname", "d", ""}));
    QFile passed(path + QStringLiteral(".password"));
    QVERIFY(passed.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(passed.readAll()), password);

    // The joined form the dialog passes loses its value the same way.
    Outcome joined(&importer);
    runToOutcome(importer, joined, path, {"--dialect=postgresql", "--password=" + password, "--user=u"});
    QCOMPARE(QString::fromUtf8(fileContents(args.fileName())).split(QLatin1Char('\n')),
             (QStringList{"/bin/sh", path, "--dialect=postgresql", "--password=", "--user=u", ""}));
    QCOMPARE(QString::fromUtf8(fileContents(passed.fileName())), password);

    // An empty password does not let a variable from outside through.
    Outcome second(&importer);
    runToOutcome(importer, second, path, {"--dialect", "postgresql", "--password", ""});
    passed.close();
    QVERIFY(passed.open(QIODevice::ReadOnly));
    QCOMPARE(passed.readAll(), QByteArray());
    qunsetenv(SchemaImporter::PasswordVariable);
}

void TestSchemaImporter::stopEndsChildAndItsChildrenSilently()
{
    // Like an inspector waiting on a dead host through a client program.
    const QString path = script(QStringLiteral("hang.sh"),
                                "sleep 600 &\necho $! > \"$0.child\"\necho 'Connecting…' >&2\nwait\n");
    QFile::remove(path + QStringLiteral(".child"));
    SchemaImporter importer;
    Outcome outcome(&importer);
    importer.start(QStringLiteral("/bin/sh"), path, {});
    QTRY_VERIFY_WITH_TIMEOUT(outcome.progress.count() > 0 && QFile::exists(path + QStringLiteral(".child")), 30000);
    const qint64 shell = importer.processId();
    QFile childFile(path + QStringLiteral(".child"));
    QVERIFY(childFile.open(QIODevice::ReadOnly));
    const qint64 child = childFile.readAll().trimmed().toLongLong();
    QVERIFY(processAlive(shell));
    QVERIFY(processAlive(child));
    QVERIFY(importer.isRunning());

    importer.stop();
    QVERIFY(!importer.isRunning());
    QVERIFY(!processAlive(shell));
    // The grandchild is gone too (it may stay a zombie until reaped).
    QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), 10000);
    QTest::qWait(200);
    QCOMPARE(outcome.count(), 0);
    importer.stop();   // a second stop is harmless
    QCOMPARE(outcome.count(), 0);
}

void TestSchemaImporter::destroyingEndsChildSilently()
{
    const QString path = script(QStringLiteral("hang2.sh"), "echo 'waiting' >&2\nexec sleep 600\n");
    qint64 pid = 0;
    {
        SchemaImporter importer;
        Outcome outcome(&importer);
        importer.start(QStringLiteral("/bin/sh"), path, {});
        QTRY_VERIFY_WITH_TIMEOUT(outcome.progress.count() > 0, 30000);
        pid = importer.processId();
        QVERIFY(processAlive(pid));
        QObject::connect(&importer, &SchemaImporter::failed, [] { QFAIL("failed emitted on destruction"); });
        QObject::connect(&importer, &SchemaImporter::finished, [] { QFAIL("finished emitted on destruction"); });
    }
    QVERIFY(!processAlive(pid));
}

void TestSchemaImporter::startWhileRunningReplacesRun()
{
    const QString hang = script(QStringLiteral("hang3.sh"), "echo 'first' >&2\nexec sleep 600\n");
    const QString valid = script(QStringLiteral("valid2.sh"), "cat <<'EOF'\n" + validJson + "\nEOF\n");
    SchemaImporter importer;
    Outcome outcome(&importer);
    importer.start(QStringLiteral("/bin/sh"), hang, {});
    QTRY_VERIFY_WITH_TIMEOUT(outcome.progress.count() > 0, 30000);
    const qint64 first = importer.processId();
    importer.start(QStringLiteral("/bin/sh"), valid, {});
    QVERIFY(!processAlive(first));
    QTRY_VERIFY_WITH_TIMEOUT(outcome.count() > 0, 30000);
    QTest::qWait(200);
    // Only the second run reports, and it succeeds.
    QCOMPARE(outcome.failed.count(), 0);
    QCOMPARE(outcome.finished.count(), 1);
}

void TestSchemaImporter::standardErrorFloodIsDropped()
{
    // What is relayed of megabytes of diagnostics stays bounded; the failure
    // quotes the last line.
    const QString path = script(QStringLiteral("chatty.sh"), "head -c 5000000 /dev/zero | tr '\\0' e >&2\n"
                                                             "printf '\\nlast words\\n' >&2\nexit 1\n");
    SchemaImporter importer;
    Outcome outcome(&importer);
    runToOutcome(importer, outcome, path);
    QCOMPARE(outcome.failure(), QStringLiteral("Python exited with code 1.\nlast words"));
    qsizetype relayed = 0;
    for (const QString& text : outcome.progressTexts())
        relayed += text.size();
    QVERIFY(relayed > 0);
    QVERIFY(relayed <= SchemaImporter::ErrorLimit);
}

QUILLMAP_TEST_GUILESS_MAIN(TestSchemaImporter)
#include "tst_schemaimporter.moc"
