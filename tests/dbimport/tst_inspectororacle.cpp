#include "common/testmain.h"
#include "inspectorrun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

// The inspector's Oracle road without an Oracle server: a stand-in
// "oracledb" module first on the Python path answers the catalogue queries
// with rows as Oracle's dictionary views give them, and records how it was
// called.
namespace {

const QByteArray fakeModule = R"py(import json, os

class Error(Exception):
    pass

_rows = json.load(open(os.environ["FAKE_ORACLE_ROWS"]))

class _Cursor:
    def execute(self, sql, **binds):
        with open(os.environ["FAKE_ORACLE_LOG"], "a") as log:
            log.write(json.dumps({"binds": binds}) + "\n")
        if "all_tables" in sql and "all_tab_columns" not in sql:
            self._rows = _rows["tables"]
        elif "all_tab_columns" in sql:
            self._rows = _rows["columns"]
        else:
            self._rows = _rows["constraints"]

    def __iter__(self):
        return iter(tuple(row) for row in self._rows)

class _Connection:
    def cursor(self):
        return _Cursor()

    def close(self):
        pass

def connect(**kwargs):
    with open(os.environ["FAKE_ORACLE_LOG"], "a") as log:
        log.write(json.dumps({"connect": kwargs}) + "\n")
    if _rows.get("refuse"):
        raise Error("DPY-6005: cannot connect to database.\nConnection refused")
    return _Connection()
)py";

// SCOTT's tables: every kind of type text and key, a foreign key into
// another owner's table.
const QByteArray scottRows = R"json({
 "tables": [["DEPT"], ["EMP"]],
 "columns": [
  ["DEPT", "DEPTNO", "NUMBER", 22, 0, null, 2, 0, "N"],
  ["DEPT", "DNAME", "VARCHAR2", 14, 14, "B", null, null, "Y"],
  ["DEPT", "CODE", "CHAR", 12, 3, "C", null, null, "Y"],
  ["EMP", "EMPNO", "NUMBER", 22, 0, null, null, 0, "N"],
  ["EMP", "ENAME", "NVARCHAR2", 20, 10, "C", null, null, "Y"],
  ["EMP", "SAL", "NUMBER", 22, 0, null, 7, 2, "Y"],
  ["EMP", "RATIO", "NUMBER", 22, 0, null, null, null, "Y"],
  ["EMP", "HIRED", "DATE", 7, 0, null, null, null, "Y"],
  ["EMP", "STAMP", "TIMESTAMP(6)", 11, 0, null, null, 6, "Y"],
  ["EMP", "SCORE", "FLOAT", 22, 0, null, 126, null, "Y"],
  ["EMP", "TOKEN", "RAW", 16, 0, null, null, null, "Y"],
  ["EMP", "DEPTNO", "NUMBER", 22, 0, null, 2, 0, "Y"],
  ["EMP", "MGR", "NUMBER", 22, 0, null, null, 0, "Y"],
  ["EMP", "LOC_ID", "NUMBER", 22, 0, null, 4, 0, "Y"]],
 "constraints": [
  ["DEPT", "PK_DEPT", "P", "DEPTNO", null, null, null],
  ["DEPT", "UQ_DEPT", "U", "DNAME", null, null, null],
  ["DEPT", "UQ_DEPT", "U", "CODE", null, null, null],
  ["EMP", "PK_EMP", "P", "EMPNO", null, null, null],
  ["EMP", "FK_DEPTNO", "R", "DEPTNO", "SCOTT", "DEPT", "NO ACTION"],
  ["EMP", "FK_MGR", "R", "MGR", "SCOTT", "EMP", "SET NULL"],
  ["EMP", "FK_LOC", "R", "LOC_ID", "HR", "LOCATIONS", "CASCADE"],
  ["BIN$x", "PK_GONE", "P", "ID", null, null, null]]
})json";

} // namespace

class TestInspectorOracle : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void scottSchema();
    void connectionRefused();
    void moduleMissing();

private:
    InspectorRun run(const QString& rowsJson, const QStringList& extra, const QString& module = fakeModule);
    QStringList log() const;

    QTemporaryDir m_dir;
};

void TestInspectorOracle::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

InspectorRun TestInspectorOracle::run(const QString& rowsJson, const QStringList& extra, const QString& module)
{
    QDir().mkpath(m_dir.filePath(QStringLiteral("python")));
    QFile moduleFile(m_dir.filePath(QStringLiteral("python/oracledb.py")));
    if (moduleFile.open(QIODevice::WriteOnly))
        moduleFile.write(module.toUtf8());
    moduleFile.close();
    QFile rows(m_dir.filePath(QStringLiteral("rows.json")));
    if (rows.open(QIODevice::WriteOnly))
        rows.write(rowsJson.toUtf8());
    rows.close();
    QFile::remove(m_dir.filePath(QStringLiteral("log.jsonl")));
    QStringList args{"--dialect", "oracle", "--host", "db.example", "--port", "1522", "--user", "scott"};
    args << extra;
    return runInspector(args, {{"PYTHONPATH", m_dir.filePath(QStringLiteral("python")).toUtf8()},
                               {"FAKE_ORACLE_ROWS", rows.fileName().toUtf8()},
                               {"FAKE_ORACLE_LOG", m_dir.filePath(QStringLiteral("log.jsonl")).toUtf8()}});
}

QStringList TestInspectorOracle::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("log.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestInspectorOracle::scottSchema()
{
    // The importer moves the password into the environment; the inspector
    // must find it there.
    const InspectorRun result = run(QString::fromUtf8(scottRows),
                                    {"--password", "tiger", "--schema", "scott", "--dsn", ""});
    QVERIFY2(result.finished, qPrintable(result.failure));
    const QJsonObject connect = QJsonDocument::fromJson(log().value(0).toUtf8()).object()[QLatin1String("connect")].toObject();
    QCOMPARE(connect[QLatin1String("user")].toString(), QStringLiteral("scott"));
    QCOMPARE(connect[QLatin1String("password")].toString(), QStringLiteral("tiger"));
    QCOMPARE(connect[QLatin1String("dsn")].toString(), QStringLiteral("db.example:1522"));   // no DSN: host and port
    QVERIFY(connect[QLatin1String("tcp_connect_timeout")].toDouble() > 0);
    for (const QString& line : log().mid(1))
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8()).object()[QLatin1String("binds")].toObject()[QLatin1String("owner")].toString(),
                 QStringLiteral("SCOTT"));

    QCOMPARE(result.schema[QLatin1String("meta")].toObject()[QLatin1String("dialect")].toString(), QStringLiteral("oracle"));
    QStringList columns;
    for (const auto& table : result.schema[QLatin1String("tables")].toArray())
        for (const auto& column : table.toObject()[QLatin1String("columns")].toArray())
            columns << table.toObject()[QLatin1String("name")].toString() + QLatin1Char('.') + column.toObject()[QLatin1String("name")].toString()
                           + QLatin1Char(':') + column.toObject()[QLatin1String("type")].toString();
    QCOMPARE(columns, (QStringList{"DEPT.DEPTNO:NUMBER(2)", "DEPT.DNAME:VARCHAR2(14)", "DEPT.CODE:CHAR(3 CHAR)",
                                   "EMP.EMPNO:INTEGER", "EMP.ENAME:NVARCHAR2(10)", "EMP.SAL:NUMBER(7,2)",
                                   "EMP.RATIO:NUMBER", "EMP.HIRED:DATE", "EMP.STAMP:TIMESTAMP(6)",
                                   "EMP.SCORE:FLOAT(126)", "EMP.TOKEN:RAW(16)", "EMP.DEPTNO:NUMBER(2)",
                                   "EMP.MGR:INTEGER", "EMP.LOC_ID:NUMBER(4)"}));
    QStringList keys;
    for (const auto& value : result.schema[QLatin1String("constraints")].toArray()) {
        const QJsonObject key = value.toObject();
        QStringList names;
        for (const auto& column : key[QLatin1String("columns")].toArray())
            names << column.toString();
        keys << QStringLiteral("%1 %2 %3(%4)%5")
                    .arg(key[QLatin1String("type")].toString(), key[QLatin1String("name")].toString(), key[QLatin1String("table")].toString(),
                         names.join(QLatin1Char(',')),
                         key.contains(QLatin1String("ref_table")) ? QStringLiteral("->") + key[QLatin1String("ref_table")].toString() : QString());
    }
    QCOMPARE(keys, (QStringList{"PRIMARY KEY PK_DEPT DEPT(DEPTNO)", "UNIQUE UQ_DEPT DEPT(DNAME,CODE)",
                                "PRIMARY KEY PK_EMP EMP(EMPNO)", "FOREIGN KEY FK_DEPTNO EMP(DEPTNO)->DEPT",
                                "FOREIGN KEY FK_MGR EMP(MGR)->EMP", "FOREIGN KEY FK_LOC EMP(LOC_ID)->HR.LOCATIONS"}));

    // In the diagram: two edges, the key into HR marked without one.
    QCOMPARE(result.erJson[QLatin1String("edges")].toArray().size(), 2);
    const QJsonArray empRows = result.erJson[QLatin1String("entities")].toArray().at(1).toObject()[QLatin1String("attributes")].toArray();
    QVERIFY(empRows.last().toObject()[QLatin1String("isForeignKey")].toBool());
}

void TestInspectorOracle::connectionRefused()
{
    const InspectorRun result = run(QStringLiteral("{\"refuse\": true}"),
                                    {"--password", "", "--schema", "", "--dsn", "db.example:1522/ORCL"});
    QVERIFY(!result.finished);
    QCOMPARE(result.failure, QStringLiteral("Python exited with code 1.\n"
                                            "Could not connect to Oracle: DPY-6005: cannot connect to database. "
                                            "Connection refused"));
    const QJsonObject connect = QJsonDocument::fromJson(log().value(0).toUtf8()).object()[QLatin1String("connect")].toObject();
    QCOMPARE(connect[QLatin1String("dsn")].toString(), QStringLiteral("db.example:1522/ORCL"));
    QVERIFY(connect[QLatin1String("password")].isNull());
}

void TestInspectorOracle::moduleMissing()
{
    const InspectorRun result = run(QStringLiteral("{}"), {"--password", "", "--schema", "", "--dsn", ""},
                                    QStringLiteral("raise ImportError('No module named oracledb')\n"));
    QVERIFY(!result.finished);
    QCOMPARE(result.failure, QStringLiteral("Python exited with code 1.\nReading Oracle needs the python3-oracledb "
                                            "module, which this Python (%1) cannot import.")
                                 .arg(SchemaImporter::defaultPythonExecutable()));
}

QUILLMAP_TEST_GUILESS_MAIN(TestInspectorOracle)
#include "tst_inspectororacle.moc"
