#include "common/testmain.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "common/importedproject.h"
#include "common/temppostgrescluster.h"
#include "dbimport/dbimportdialog.h"
#include "dbimport/inspectorjson.h"
#include "explorer/tablesync.h"
#include "inspectorrun.h"

#include <QAction>
#include <QJsonArray>
#include <QLineEdit>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// The real inspector against a real PostgreSQL server holding the shop
// schema: what it reads must be what the server's information schema says,
// through either way of reaching the server.
namespace {

const QString modellerPassword = QStringLiteral(" pa'ss word ");

QStringList schemaList(const QString& text)
{
    QStringList names;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        names << part.trimmed();
    return names;
}

// A table as the diagram names it: bare when it belongs to the one schema
// imported, qualified otherwise.
QString displayName(const QStringList& schemas, const QString& schema, const QString& table)
{
    return schemas.size() == 1 && schemas.first() == schema ? table : schema + QLatin1Char('.') + table;
}

struct Key
{
    QString kind;   // "PRIMARY KEY", "UNIQUE" or "FOREIGN KEY"
    QString table;
    QStringList columns;
    QString ref;    // foreign keys: the referenced table

    QString text() const
    {
        return kind + QLatin1Char(' ') + table + QLatin1Char('(') + columns.join(QLatin1Char(',')) + QLatin1Char(')')
               + (ref.isEmpty() ? QString() : QStringLiteral("->") + ref);
    }
};

// Tables, columns and keys in a form both sides can be put into.
struct Catalogue
{
    QStringList tables;                          // sorted display names
    QHash<QString, QStringList> columns;         // table -> "name:type" in order
    QList<Key> keys;

    QStringList keyTexts() const
    {
        QStringList texts;
        for (const Key& key : keys)
            texts << key.text();
        texts.sort();
        return texts;
    }
};

// The type text format_type() gives, rebuilt from the information schema.
QString typeText(const QStringList& schemas, const QStringList& row)
{
    const QString dataType = row.at(3), length = row.at(4), precision = row.at(5), scale = row.at(6);
    const QString udtSchema = row.at(7), udtName = row.at(8);
    if (dataType == QLatin1String("character varying") || dataType == QLatin1String("character"))
        return length.isEmpty() ? dataType : QStringLiteral("%1(%2)").arg(dataType, length);
    if (dataType == QLatin1String("numeric"))
        return precision.isEmpty() ? dataType : QStringLiteral("numeric(%1,%2)").arg(precision, scale);
    if (dataType == QLatin1String("ARRAY")) {
        static const QHash<QString, QString> elements{{"_text", "text"}, {"_int4", "integer"}, {"_int8", "bigint"},
                                                      {"_varchar", "character varying"}, {"_bool", "boolean"}};
        return elements.value(udtName, udtName) + QStringLiteral("[]");
    }
    if (dataType == QLatin1String("USER-DEFINED"))
        return schemas.contains(udtSchema) ? udtName : udtSchema + QLatin1Char('.') + udtName;
    return dataType;
}

} // namespace

class TestInspectorPostgres : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void catalogueMatches_data();
    void catalogueMatches();
    void mainWindowImportsShop();
    void password_data();
    void password();
    void failures_data();
    void failures();

private:
    Catalogue serverCatalogue(const QStringList& schemas);
    static Catalogue inspectorCatalogue(const QJsonObject& schema);
    QStringList connection(const QString& schema, const QString& user = TempPostgresCluster::superuser(),
                           const QString& database = QStringLiteral("shop")) const;
    void requireDriver(const QString& driver);

    TempPostgresCluster m_cluster;
};

void TestInspectorPostgres::initTestCase()
{
    QString error;
    if (!m_cluster.start(&error, {QStringLiteral("host all modeller 127.0.0.1/32 scram-sha-256")})) {
        if (TempPostgresCluster::required())
            QFAIL(qPrintable(QStringLiteral("cannot start a PostgreSQL server: ") + error));
        QSKIP(qPrintable(QStringLiteral("no PostgreSQL server: ") + error));
    }
    QString output;
    QVERIFY2(m_cluster.psql(QStringLiteral("postgres"), {"-c", "CREATE DATABASE shop"}, &output), qPrintable(output));
    QVERIFY2(m_cluster.psql(QStringLiteral("shop"), {"-f", QUILLMAP_TEST_DATA_DIR "/dbimport/shop.sql"}, &output),
             qPrintable(output));
    const QString role = QStringLiteral("CREATE ROLE modeller LOGIN PASSWORD '%1'")
                             .arg(QString(modellerPassword).replace(QLatin1Char('\''), QStringLiteral("''")));
    QVERIFY2(m_cluster.psql(QStringLiteral("postgres"), {"-c", role}, &output), qPrintable(output));
}

void TestInspectorPostgres::cleanupTestCase()
{
    m_cluster.stop();
}

QStringList TestInspectorPostgres::connection(const QString& schema, const QString& user,
                                              const QString& database) const
{
    return {"--dialect", "postgresql", "--host", m_cluster.host(), "--port", QString::number(m_cluster.port()),
            "--user", user, "--password", "", "--schema", schema, "--dbname", database};
}

void TestInspectorPostgres::requireDriver(const QString& driver)
{
    if (driver != QLatin1String("psql") && !pythonHasModule(driver)) {
        if (TempPostgresCluster::required())
            QFAIL(qPrintable(SchemaImporter::defaultPythonExecutable() + QStringLiteral(" cannot import ") + driver));
        QSKIP(qPrintable(QStringLiteral("no ") + driver));
    }
}

Catalogue TestInspectorPostgres::serverCatalogue(const QStringList& schemas)
{
    QStringList quoted;
    for (const QString& schema : schemas)
        quoted << QLatin1Char('\'') + schema + QLatin1Char('\'');
    const QString in = quoted.join(QLatin1Char(','));
    Catalogue catalogue;
    bool ok = false;
    const auto tables = m_cluster.query(
        QStringLiteral("shop"),
        QStringLiteral("SELECT table_schema, table_name FROM information_schema.tables "
                       "WHERE table_type = 'BASE TABLE' AND table_schema IN (%1)")
            .arg(in),
        &ok);
    if (!ok)
        qFatal("information_schema.tables could not be read");
    for (const QStringList& row : tables)
        catalogue.tables << displayName(schemas, row.at(0), row.at(1));
    std::sort(catalogue.tables.begin(), catalogue.tables.end());

    const auto columns = m_cluster.query(
        QStringLiteral("shop"),
        QStringLiteral("SELECT c.table_schema, c.table_name, c.column_name, c.data_type, "
                       "coalesce(c.character_maximum_length::text, ''), coalesce(c.numeric_precision::text, ''), "
                       "coalesce(c.numeric_scale::text, ''), c.udt_schema, c.udt_name "
                       "FROM information_schema.columns c JOIN information_schema.tables t "
                       "USING (table_catalog, table_schema, table_name) "
                       "WHERE t.table_type = 'BASE TABLE' AND c.table_schema IN (%1) "
                       "ORDER BY c.table_schema, c.table_name, c.ordinal_position")
            .arg(in));
    for (const QStringList& row : columns)
        catalogue.columns[displayName(schemas, row.at(0), row.at(1))]
            << row.at(2) + QLatin1Char(':') + typeText(schemas, row);

    const auto keys = m_cluster.query(
        QStringLiteral("shop"),
        QStringLiteral("SELECT tc.constraint_type, tc.table_schema, tc.table_name, "
                       "string_agg(k.column_name, ',' ORDER BY k.ordinal_position), "
                       "coalesce(max(rt.table_schema), ''), coalesce(max(rt.table_name), '') "
                       "FROM information_schema.table_constraints tc "
                       "JOIN information_schema.key_column_usage k ON k.constraint_schema = tc.constraint_schema "
                       " AND k.constraint_name = tc.constraint_name AND k.table_name = tc.table_name "
                       "LEFT JOIN information_schema.referential_constraints rc "
                       " ON rc.constraint_schema = tc.constraint_schema AND rc.constraint_name = tc.constraint_name "
                       "LEFT JOIN information_schema.table_constraints rt "
                       " ON rt.constraint_schema = rc.unique_constraint_schema "
                       " AND rt.constraint_name = rc.unique_constraint_name "
                       "WHERE tc.constraint_type IN ('PRIMARY KEY', 'UNIQUE', 'FOREIGN KEY') "
                       " AND tc.table_schema IN (%1) "
                       "GROUP BY tc.constraint_type, tc.table_schema, tc.table_name, tc.constraint_name")
            .arg(in));
    for (const QStringList& row : keys) {
        const QString ref = row.at(5).isEmpty() ? QString() : displayName(schemas, row.at(4), row.at(5));
        catalogue.keys.append(
            Key{row.at(0), displayName(schemas, row.at(1), row.at(2)), row.at(3).split(QLatin1Char(',')), ref});
    }
    return catalogue;
}

Catalogue TestInspectorPostgres::inspectorCatalogue(const QJsonObject& schema)
{
    Catalogue catalogue;
    for (const auto& table : schema[QLatin1String("tables")].toArray()) {
        const QString name = table[QLatin1String("name")].toString();
        catalogue.tables << name;
        for (const auto& column : table[QLatin1String("columns")].toArray())
            catalogue.columns[name] << column[QLatin1String("name")].toString() + QLatin1Char(':') + column[QLatin1String("type")].toString();
    }
    std::sort(catalogue.tables.begin(), catalogue.tables.end());
    for (const auto& value : schema[QLatin1String("constraints")].toArray()) {
        const QString type = value[QLatin1String("type")].toString();
        if (type == QLatin1String("CHECK"))
            continue;
        QStringList columns;
        for (const auto& column : value[QLatin1String("columns")].toArray())
            columns << column.toString();
        catalogue.keys.append(Key{type, value[QLatin1String("table")].toString(), columns, value[QLatin1String("ref_table")].toString()});
    }
    return catalogue;
}

void TestInspectorPostgres::catalogueMatches_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("schema");      // as typed into the dialog
    QTest::addColumn<QString>("imported");    // the schemas the import must cover
    QTest::addColumn<int>("tableCount");
    QTest::addColumn<int>("edgeCount");       // foreign keys with both tables imported
    QTest::addColumn<QString>("summary");     // the status line after the import
    for (const char* driver : {"psycopg2", "psql"}) {
        const QString both = QStringLiteral("Imported 21 tables and 28 relationships from schemas inventory and sales");
        QTest::addRow("%s, both schemas", driver) << driver << "inventory, sales" << "inventory,sales" << 21 << 28 << both;
        QTest::addRow("%s, every schema", driver) << driver << "" << "inventory,sales" << 21 << 28 << both;
        // Three foreign keys of sales point into inventory: no edge, rows
        // still marked, and the status line says so.
        QTest::addRow("%s, sales alone", driver)
            << driver << "sales" << "sales" << 11 << 13
            << QStringLiteral("Imported 11 tables and 13 relationships from schema sales; 3 foreign keys refer to "
                              "tables outside schema sales and have no edge");
        QTest::addRow("%s, inventory alone", driver)
            << driver << "inventory" << "inventory" << 10 << 12
            << QStringLiteral("Imported 10 tables and 12 relationships from schema inventory");
    }
}

void TestInspectorPostgres::catalogueMatches()
{
    QFETCH(QString, driver);
    QFETCH(QString, schema);
    QFETCH(QString, imported);
    QFETCH(int, tableCount);
    QFETCH(int, edgeCount);
    QFETCH(QString, summary);
    requireDriver(driver);
    const InspectorRun run = runInspector(connection(schema), {{"QUILLMAP_INSPECTOR_PG_DRIVER", driver.toUtf8()}});
    QVERIFY2(run.finished, qPrintable(run.failure));
    QCOMPARE(run.schema[QLatin1String("meta")][QLatin1String("driver")].toString(), driver);
    QCOMPARE(run.schema[QLatin1String("meta")][QLatin1String("dialect")].toString(), QStringLiteral("postgresql"));
    QVERIFY(!run.progress.isEmpty());
    QCOMPARE(inspectorImportSummary(run.schema), summary);

    const QStringList schemas = schemaList(imported);
    const Catalogue expected = serverCatalogue(schemas);
    const Catalogue actual = inspectorCatalogue(run.schema);
    QCOMPARE(actual.tables, expected.tables);
    QCOMPARE(actual.tables.size(), tableCount);
    for (const QString& table : std::as_const(expected.tables))
        QCOMPARE(actual.columns.value(table), expected.columns.value(table));
    QCOMPARE(actual.keyTexts(), expected.keyTexts());

    // Constraint names are there and unique, so no two foreign keys can be
    // taken for one.
    QSet<QString> names;
    for (const auto& value : run.schema[QLatin1String("constraints")].toArray()) {
        const QString name = value[QLatin1String("name")].toString();
        QVERIFY(!name.isEmpty());
        QVERIFY2(!names.contains(name), qPrintable(name));
        names.insert(name);
    }

    // The diagram: every table, every column with its marks, one edge per
    // foreign key whose both ends were imported, each key row on its edge.
    const QJsonObject diagram = run.erJson;
    QHash<QString, QString> idOf;
    QHash<QString, QJsonObject> entityOf;
    for (const auto& entity : diagram[QLatin1String("entities")].toArray()) {
        idOf.insert(entity[QLatin1String("title")].toString(), entity[QLatin1String("id")].toString());
        entityOf.insert(entity[QLatin1String("title")].toString(), entity.toObject());
    }
    QCOMPARE(idOf.size(), tableCount);
    QHash<QString, QJsonObject> edges;
    for (const auto& edge : diagram[QLatin1String("edges")].toArray())
        edges.insert(edge[QLatin1String("id")].toString(), edge.toObject());
    QCOMPARE(edges.size(), edgeCount);
    QHash<QString, QSet<QString>> marked;   // "P table" etc. -> columns
    QHash<QString, QStringList> fkRefs;     // "table.column" -> referenced tables of its foreign keys
    for (const Key& key : std::as_const(expected.keys)) {
        for (const QString& column : key.columns) {
            marked[key.kind.left(1) + QLatin1Char(' ') + key.table].insert(column);
            if (key.kind == QLatin1String("FOREIGN KEY"))
                fkRefs[key.table + QLatin1Char('.') + column] << key.ref;
        }
    }
    int markedForeignRows = 0;
    for (auto it = entityOf.cbegin(); it != entityOf.cend(); ++it) {
        const QString& table = it.key();
        QStringList rows;
        for (const auto& row : it.value()[QLatin1String("attributes")].toArray()) {
            const QString column = row[QLatin1String("name")].toString();
            rows << column + QLatin1Char(':') + row[QLatin1String("type")].toString();
            const QString where = table + QLatin1Char('.') + column;
            QVERIFY2(row[QLatin1String("isPrimaryKey")].toBool() == marked.value("P " + table).contains(column), qPrintable(where));
            QVERIFY2(row[QLatin1String("isUniqueKey")].toBool() == marked.value("U " + table).contains(column), qPrintable(where));
            QVERIFY2(row[QLatin1String("isForeignKey")].toBool() == fkRefs.contains(where), qPrintable(where));
            if (!row[QLatin1String("isForeignKey")].toBool())
                continue;
            ++markedForeignRows;
            const QJsonObject edge = edges.value(row[QLatin1String("fkEdgeId")].toString());
            if (edge.isEmpty()) {
                // Only a key into a schema left out has no edge.
                for (const QString& ref : fkRefs.value(where))
                    QVERIFY2(!idOf.contains(ref), qPrintable(where));
                continue;
            }
            QCOMPARE(edge[QLatin1String("to")].toString(), idOf.value(table));
            const QString from = edge[QLatin1String("from")].toString();
            bool known = false;
            for (const QString& ref : fkRefs.value(where))
                known = known || idOf.value(ref) == from;
            QVERIFY2(known, qPrintable(where));
        }
        QCOMPARE(rows, expected.columns.value(table));
    }
    QVERIFY(markedForeignRows >= edgeCount);
}

// File > Import from Database through the window, both schemas: the saved
// project holds every table with its typed columns and its keys.
void TestInspectorPostgres::mainWindowImportsShop()
{
    DialogHooks::ScopedReset resetHooks;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("shop.json"));
    QStringList messages;
    DialogHooks::setMessageHook([&](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        messages << title + QStringLiteral(": ") + text;
        return QMessageBox::Ok;
    });
    DialogHooks::setSaveFileNameHook([&](QWidget*, const QString&, const QString&, const QString&) { return path; });
    DialogHooks::setExecHook([this](QDialog* dialog) {
        const auto set = [dialog](const char* name, const QString& text) {
            dialog->findChild<QLineEdit*>(QLatin1String(name))->setText(text);
        };
        set("scriptEdit", inspectorScript());
        set("hostEdit", m_cluster.host());
        set("userEdit", TempPostgresCluster::superuser());
        set("databaseEdit", QStringLiteral("shop"));
        set("schemaEdit", QStringLiteral("inventory, sales"));
        dialog->findChild<QSpinBox*>(QStringLiteral("portSpin"))->setValue(m_cluster.port());
        return int(QDialog::Accepted);
    });
    MainWindow window;
    window.show();
    window.findChild<QAction*>(QStringLiteral("actionImport_from_Database"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path) || !messages.isEmpty(), 120000);
    const auto* busy = window.findChild<BusySpinnerWidget*>();
    QTRY_VERIFY_WITH_TIMEOUT(!busy->isBusy(), 30000);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));

    const ImportedProject saved(path);
    QVERIFY(saved.model);
    QCOMPARE(saved.project->name(), QStringLiteral("Imported model"));
    QCOMPARE(saved.model->dialect(), QStringLiteral("PostgreSQL"));
    const QStringList schemas{QStringLiteral("inventory"), QStringLiteral("sales")};
    const Catalogue expected = serverCatalogue(schemas);
    QCOMPARE(saved.tableNames(), expected.tables);
    for (const QString& name : expected.tables) {
        const TableItem* table = saved.table(name);
        QVERIFY(table);
        QStringList columns;
        for (const QString& column : expected.columns.value(name))
            columns << column.section(QLatin1Char(':'), 0, 0) + QLatin1Char(':')
                           + TableSync::canonicalType(column.section(QLatin1Char(':'), 1));
        QCOMPARE(ImportedProject::columns(table), columns);
        // The model keeps one primary key, one unique constraint for the
        // unique columns, and every foreign key with its columns.
        QStringList keys;
        QStringList unique;
        for (const Key& key : std::as_const(expected.keys)) {
            if (key.table != name)
                continue;
            if (key.kind == QLatin1String("PRIMARY KEY"))
                keys << QStringLiteral("P(%1)").arg(key.columns.join(QLatin1Char(',')));
            else if (key.kind == QLatin1String("FOREIGN KEY"))
                keys << QStringLiteral("F(%1)->%2").arg(key.columns.join(QLatin1Char(',')), key.ref);
            else
                for (const QString& column : key.columns)
                    if (!unique.contains(column))
                        unique << column;
        }
        if (!unique.isEmpty()) {
            QStringList ordered;   // in column order
            for (const ColumnItem* column : table->columns())
                if (unique.contains(column->name()))
                    ordered << column->name();
            keys << QStringLiteral("U(%1)").arg(ordered.join(QLatin1Char(',')));
        }
        keys.sort();
        QCOMPARE(saved.keys(table), keys);
    }
}

void TestInspectorPostgres::password_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    for (const char* driver : {"psycopg2", "psql"}) {
        QTest::addRow("%s, right password", driver) << driver << modellerPassword << true;
        QTest::addRow("%s, wrong password", driver) << driver << QStringLiteral("pass word") << false;
    }
}

// The password goes through the importer as the dialog hands it over; the
// server accepts the right one and refuses another with its own reason.
void TestInspectorPostgres::password()
{
    QFETCH(QString, driver);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    requireDriver(driver);
    QStringList args = connection(QStringLiteral("sales"), QStringLiteral("modeller"));
    args[args.indexOf(QStringLiteral("--password")) + 1] = password;
    const InspectorRun run = runInspector(args, {{"QUILLMAP_INSPECTOR_PG_DRIVER", driver.toUtf8()}});
    QCOMPARE(run.finished, accepted);
    if (accepted) {
        QCOMPARE(run.erJson[QLatin1String("entities")].toArray().size(), 11);
    } else {
        QVERIFY2(run.failure.startsWith(QStringLiteral("Python exited with code 1.\n")), qPrintable(run.failure));
        QVERIFY2(run.failure.contains(QStringLiteral("password authentication failed for user \"modeller\"")),
                 qPrintable(run.failure));
    }
}

void TestInspectorPostgres::failures_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("reason");   // contained in the failure
    for (const char* driver : {"psycopg2", "psql"}) {
        QTest::addRow("%s, missing schema", driver)
            << driver << "schema" << "\nSchema \"nowhere\" was not found in database \"shop\".";
        QTest::addRow("%s, empty schema", driver) << driver << "public"
                                                  << "\nSchema \"public\" of database \"shop\" holds no tables.";
        QTest::addRow("%s, missing database", driver) << driver << "database"
                                                      << "database \"nowhere\" does not exist";
        QTest::addRow("%s, nobody listening", driver) << driver << "port" << "Connection refused";
    }
}

void TestInspectorPostgres::failures()
{
    QFETCH(QString, driver);
    QFETCH(QString, what);
    QFETCH(QString, reason);
    requireDriver(driver);
    QStringList args = connection(what == QLatin1String("schema") ? QStringLiteral("sales, nowhere")
                                                                   : QStringLiteral("public"));
    if (what == QLatin1String("schema"))
        args[args.indexOf(QStringLiteral("--schema")) + 1] = QStringLiteral("nowhere");
    if (what == QLatin1String("database"))
        args[args.indexOf(QStringLiteral("--dbname")) + 1] = QStringLiteral("nowhere");
    if (what == QLatin1String("port"))
        args[args.indexOf(QStringLiteral("--port")) + 1] = QString::number(m_cluster.port() == 1 ? 2 : 1);
    const InspectorRun run = runInspector(args, {{"QUILLMAP_INSPECTOR_PG_DRIVER", driver.toUtf8()}});
    QVERIFY(!run.finished);
    QVERIFY2(run.failure.startsWith(QStringLiteral("Python exited with code 1.\n")), qPrintable(run.failure));
    QVERIFY2(run.failure.contains(reason), qPrintable(run.failure));
}

QUILLMAP_TEST_MAIN(TestInspectorPostgres)
#include "tst_inspectorpostgres.moc"
