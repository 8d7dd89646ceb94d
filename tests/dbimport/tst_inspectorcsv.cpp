#include "common/testmain.h"
#include "dbimport/inspectorjson.h"
#include "inspectorrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString csvFolder()
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/dbimport/csv");
}

// "name:type" for every column of every table of the inspector's object,
// one list per table name.
QHash<QString, QStringList> columnsByTable(const QJsonObject& schema)
{
    QHash<QString, QStringList> tables;
    for (const auto& table : schema[QLatin1String("tables")].toArray()) {
        QStringList columns;
        for (const auto& column : table[QLatin1String("columns")].toArray())
            columns << column[QLatin1String("name")].toString() + QLatin1Char(':') + column[QLatin1String("type")].toString();
        tables.insert(table[QLatin1String("name")].toString(), columns);
    }
    return tables;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString csvField(const QString& value)
{
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n')))
        return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return value;
}

} // namespace

class TestInspectorCsv : public QObject
{
    Q_OBJECT
private slots:
    void filesWrittenByPostgres();
    void generatedColumns();
    void oddFiles_data();
    void oddFiles();
    void failures_data();
    void failures();
};

void TestInspectorCsv::filesWrittenByPostgres()
{
    const InspectorRun run = runInspector({"--dialect", "csv", "--csv-dir", csvFolder()});
    QVERIFY2(run.finished, qPrintable(run.failure));
    QCOMPARE(run.schema[QLatin1String("meta")][QLatin1String("dialect")].toString(), QStringLiteral("csv"));
    QCOMPARE(inspectorDialectName(run.schema[QLatin1String("meta")][QLatin1String("dialect")].toString()), QStringLiteral("CSV files"));

    // The column names are the header lines (none of them quoted).
    const QHash<QString, QStringList> tables = columnsByTable(run.schema);
    QCOMPARE(tables.size(), 4);
    QCOMPARE(tables.value("customers"),
             (QStringList{"customer_id:text", "email:text", "full_name:text", "phone:text", "birth_date:date",
                          "marketing_opt_in:boolean", "preferences:text", "referred_by:text", "last_login_ip:text",
                          "created_at:timestamp"}));
    QCOMPARE(tables.value("orders"),
             (QStringList{"order_id:integer", "order_no:text", "customer_id:text", "shipping_address_id:integer",
                          "status:text", "placed_at:timestamp", "currency:text", "total_amount:numeric",
                          "notes:text"}));
    QCOMPARE(tables.value("products"),
             (QStringList{"product_id:text", "sku:text", "name:text", "description:text", "category_id:integer",
                          "supplier_id:integer", "unit_price:numeric", "weight_kg:numeric", "tags:text",
                          "attributes:text", "is_active:boolean", "created_at:timestamp"}));
    // A header without rows gives text columns.
    QCOMPARE(tables.value("return_requests"),
             (QStringList{"return_id:text", "order_id:text", "line_no:text", "quantity:text", "reason:text",
                          "requested_at:text", "approved:text"}));
    // Rows are counted as records, not lines: quoted fields hold line breaks.
    QHash<QString, int> rows;
    for (const auto& table : run.schema[QLatin1String("tables")].toArray())
        rows.insert(table[QLatin1String("name")].toString(), table[QLatin1String("rows")].toInt(-1));
    QCOMPARE(rows, (QHash<QString, int>{{"customers", 3}, {"orders", 3}, {"products", 4}, {"return_requests", 0}}));

    // The diagram: four tables, no keys, no edges.
    QCOMPARE(run.erJson[QLatin1String("entities")].toArray().size(), 4);
    QVERIFY(run.erJson[QLatin1String("edges")].toArray().isEmpty());
    QCOMPARE(run.erJson[QLatin1String("dialect")].toString(), QStringLiteral("csv"));
}

// Columns of generated values of one kind each, with empty fields sprinkled
// in and text that needs quoting; each must come back with its type.
void TestInspectorCsv::generatedColumns()
{
    QRandomGenerator random(7031);
    using Generator = std::function<QString()>;
    auto digits = [&](int count) {
        QString text = QString::number(1 + random.bounded(9));
        for (int i = 1; i < count; ++i)
            text += QString::number(random.bounded(10));
        return text;
    };
    const QList<std::pair<QString, Generator>> kinds{
        {"boolean", [&] { return QStringList{"t", "f", "true", "FALSE", "yes", "No"}.at(random.bounded(6)); }},
        {"integer", [&] { return (random.bounded(2) ? "-" : "") + QString::number(random.bounded(2147483647)); }},
        {"bigint", [&] { return random.bounded(3) ? digits(12) : QStringLiteral("9223372036854775807"); }},
        {"numeric", [&] { return QString::number(random.bounded(100000)) + QLatin1Char('.') + digits(2); }},
        {"numeric", [&] { return random.bounded(2) ? digits(25) : QString::number(random.bounded(50)); }},
        {"date", [&] { return QDate(1990 + random.bounded(40), 1 + random.bounded(12), 1 + random.bounded(28))
                              .toString(Qt::ISODate); }},
        {"timestamp", [&] {
             const QString date = QDate(2000 + random.bounded(30), 1 + random.bounded(12), 1 + random.bounded(28))
                                      .toString(Qt::ISODate);
             const QString time = QStringLiteral("%1:%2:%3")
                                      .arg(random.bounded(24), 2, 10, QLatin1Char('0'))
                                      .arg(random.bounded(60), 2, 10, QLatin1Char('0'))
                                      .arg(random.bounded(60), 2, 10, QLatin1Char('0'));
             const QStringList zones{"", "+00", "Z", "+05:30", ".123-08"};
             return date + QLatin1Char(random.bounded(2) ? 'T' : ' ') + time + zones.at(random.bounded(5));
         }},
        {"text", [&] { return QStringList{"plain", "with, comma", "two\nlines", "say \"hi\"", "Zoë"}.at(random.bounded(5)); }},
        // One value that fits no narrower type makes the column text.
        {"text", [&] { return random.bounded(10) ? QString::number(random.bounded(100)) : QStringLiteral("n/a"); }},
        {"text", [&] { return random.bounded(2) ? QStringLiteral("2024-02-30") : QStringLiteral("2024-01-01"); }},
        {"text", [&] { return random.bounded(2) ? QStringLiteral("t") : QStringLiteral("1"); }},
        {"text", [] { return QString(); }},   // never a value
    };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList header;
    QStringList expected;
    for (int i = 0; i < kinds.size(); ++i) {
        header << QStringLiteral("c%1").arg(i);
        expected << QStringLiteral("c%1:%2").arg(i).arg(kinds.at(i).first);
    }
    QString text = header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    const int rowCount = 200;
    for (int row = 0; row < rowCount; ++row) {
        QStringList fields;
        for (const auto& kind : kinds)
            fields << (random.bounded(8) == 0 ? QString() : csvField(kind.second()));
        text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    writeBytes(dir.filePath(QStringLiteral("generated.csv")), text.toUtf8());
    const InspectorRun run = runInspector({"--dialect", "csv", "--csv-dir", dir.path()});
    QVERIFY2(run.finished, qPrintable(run.failure));
    QCOMPARE(columnsByTable(run.schema).value(QStringLiteral("generated")), expected);
    QCOMPARE(run.schema[QLatin1String("tables")][0][QLatin1String("rows")].toInt(), rowCount);
}

void TestInspectorCsv::oddFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("columns");

    QTest::newRow("byte order mark and semicolons") << QByteArray("\xEF\xBB\xBFid;amount\n1;2.5\n2;3\n")
                                                    << QStringList{"id:integer", "amount:numeric"};
    QTest::newRow("tabs") << QByteArray("a\tb\nx\t2024-05-01 10:00\n") << QStringList{"a:text", "b:timestamp"};
    QTest::newRow("a comma inside a quoted header beats semicolons elsewhere")
        << QByteArray("\"x;y\",z\n1,2\n") << QStringList{"x;y:integer", "z:integer"};
    QTest::newRow("repeated and empty header names") << QByteArray("id,id,,name\n1,2,3,x\n")
                                                     << QStringList{"id:integer", "id_2:integer", "column_3:integer",
                                                                    "name:text"};
    QTest::newRow("short and long records") << QByteArray("a,b\n1\n2,3,4\n") << QStringList{"a:integer", "b:integer"};
    QTest::newRow("header only, no line break") << QByteArray("only") << QStringList{"only:text"};
}

void TestInspectorCsv::oddFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, columns);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeBytes(dir.filePath(QStringLiteral("t.csv")), content);
    writeBytes(dir.filePath(QStringLiteral("empty.csv")), QByteArray());     // skipped
    writeBytes(dir.filePath(QStringLiteral("notes.txt")), "not a table\n");   // not a .csv file
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.csv")));               // a folder, not a file
    const InspectorRun run = runInspector({"--dialect", "csv", "--csv-dir", dir.path()});
    QVERIFY2(run.finished, qPrintable(run.failure));
    const QHash<QString, QStringList> tables = columnsByTable(run.schema);
    QCOMPARE(tables.keys(), QStringList{"t"});
    QCOMPARE(tables.value("t"), columns);
}

void TestInspectorCsv::failures_data()
{
    QTest::addColumn<QString>("file");       // written into the folder; empty: none
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("folder");     // relative to the temporary folder
    QTest::addColumn<QString>("reason");     // the failure's last line, with %1 for the folder

    QTest::newRow("no folder") << QString() << QByteArray() << "missing"
                               << "The CSV folder \"%1\" does not exist.";
    QTest::newRow("no .csv files") << "readme.txt" << QByteArray("x") << "."
                                   << "The folder \"%1\" holds no .csv files.";
    QTest::newRow("only empty files") << "e.csv" << QByteArray("\n") << "."
                                      << "No .csv file in \"%1\" has a header line.";
    QTest::newRow("not UTF-8") << "latin.csv" << QByteArray("name\nZo\xEB\n") << "."
                               << "\"latin.csv\" is not UTF-8 text.";
}

void TestInspectorCsv::failures()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!file.isEmpty())
        writeBytes(dir.filePath(file), content);
    const QString path = QDir::cleanPath(dir.filePath(folder));
    const InspectorRun run = runInspector({"--dialect", "csv", "--csv-dir", path});
    QVERIFY(!run.finished);
    const QString expected = reason.contains(QLatin1String("%1")) ? reason.arg(path) : reason;
    QCOMPARE(run.failure, QStringLiteral("Python exited with code 1.\n") + expected);
}

QUILLMAP_TEST_GUILESS_MAIN(TestInspectorCsv)
#include "tst_inspectorcsv.moc"
