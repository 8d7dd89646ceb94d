#include "common/testmain.h"
#include "details/dialects.h"

#include <QSet>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QStringList optionKeys(const PhysicalOptionList& options)
{
    QStringList keys;
    for (const PhysicalOption& option : options)
        keys.append(option.first);
    return keys;
}

QStringList optionLabels(const PhysicalOptionList& options)
{
    QStringList labels;
    for (const PhysicalOption& option : options)
        labels.append(option.second);
    return labels;
}

} // namespace

class TestDialects : public QObject
{
    Q_OBJECT
private Q_SLOTS:

    void normalize_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");

        // Every alias, as stored.
        QTest::newRow("conceptual er") << "conceptual er" << "Conceptual ER";
        QTest::newRow("conceptual") << "conceptual" << "Conceptual ER";
        QTest::newRow("csv files") << "csv files" << "CSV files";
        QTest::newRow("csv") << "csv" << "CSV files";
        QTest::newRow("parquet") << "parquet" << "Parquet";
        QTest::newRow("databricks") << "databricks" << "Databricks";
        QTest::newRow("duckdb") << "duckdb" << "DuckDB";
        QTest::newRow("mysql") << "mysql" << "MySQL";
        QTest::newRow("oracle") << "oracle" << "Oracle";
        QTest::newRow("postgresql") << "postgresql" << "PostgreSQL";
        QTest::newRow("postgres") << "postgres" << "PostgreSQL";
        QTest::newRow("sqlite") << "sqlite" << "SQLite";
        QTest::newRow("sql server") << "sql server" << "SQL Server";
        QTest::newRow("sqlserver") << "sqlserver" << "SQL Server";
        QTest::newRow("mssql") << "mssql" << "SQL Server";

        // Every canonical name maps to itself.
        for (const QString& name : dialectNames())
            QTest::addRow("canonical %s", qPrintable(name)) << name << name;

        QTest::newRow("blanks around") << "  Postgres  " << "PostgreSQL";
        QTest::newRow("upper case") << "MSSQL" << "SQL Server";
        QTest::newRow("mixed case") << "SqlServer" << "SQL Server";
        QTest::newRow("capitalised") << "Conceptual" << "Conceptual ER";
        QTest::newRow("shouting") << "SQL SERVER" << "SQL Server";
        QTest::newRow("tab around") << "\tduckDB\n" << "DuckDB";
        QTest::newRow("two inner blanks") << "sql  server" << "sql  server";
        QTest::newRow("unknown trimmed, case kept") << "  DB2 " << "DB2";
        QTest::newRow("empty") << "" << "";
    }
    void normalize()
    {
        QFETCH(QString, input);
        QTEST(normalizeDialect(input), "expected");
    }

    void keyType_data()
    {
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PostgreSQL") << "PostgreSQL" << "BIGINT";
        QTest::newRow("postgres alias") << "postgres" << "BIGINT";
        QTest::newRow("MySQL") << "MySQL" << "BIGINT";
        QTest::newRow("SQL Server") << "mssql" << "BIGINT";
        QTest::newRow("Databricks") << "Databricks" << "BIGINT";
        QTest::newRow("DuckDB") << "duckdb" << "BIGINT";
        QTest::newRow("Oracle") << "Oracle" << "NUMBER";
        QTest::newRow("SQLite") << "SQLite" << "INTEGER";
        QTest::newRow("CSV files") << "csv" << "INTEGER";
        QTest::newRow("Parquet") << "PARQUET" << "INT64";
        QTest::newRow("Conceptual ER") << "Conceptual ER" << "undefined";
        QTest::newRow("unknown") << "DB2" << "undefined";
        QTest::newRow("empty") << "" << "undefined";
    }
    void keyType()
    {
        QFETCH(QString, dialect);
        QTEST(defaultKeyType(dialect), "expected");
    }

    void physicalOptions_data()
    {
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("PostgreSQL") << "postgres"
            << QStringList{"tablespace", "fillfactor", "unlogged", "partition_by", "inherits"}
            << QStringList{"Tablespace", "Fillfactor", "Unlogged", "Partition By", "Inherits"};
        QTest::newRow("MySQL any case") << "mYsQl"
            << QStringList{"engine", "charset", "collation", "row_format", "auto_increment"}
            << QStringList{"Engine", "Character Set", "Collation", "Row Format", "Auto Increment"};
        QTest::newRow("Oracle") << "Oracle"
            << QStringList{"tablespace", "pctfree", "logging", "compression"}
            << QStringList{"Tablespace", "Pctfree", "Logging", "Compression"};
        QTest::newRow("SQL Server") << "sqlserver"
            << QStringList{"filegroup", "data_compression", "lock_escalation"}
            << QStringList{"Filegroup", "Data Compression", "Lock Escalation"};
        QTest::newRow("SQLite") << "SQLite"
            << QStringList{"without_rowid", "strict"} << QStringList{"Without Rowid", "Strict"};
        QTest::newRow("CSV files") << "csv"
            << QStringList{"delimiter", "encoding", "header", "quote"}
            << QStringList{"Delimiter", "Encoding", "Header", "Quote"};
        QTest::newRow("Parquet") << "Parquet"
            << QStringList{"compression", "row_group_size"}
            << QStringList{"Compression", "Row Group Size"};
        QTest::newRow("Databricks") << "Databricks"
            << QStringList{"location", "data_format", "partitioned_by", "clustered_by"}
            << QStringList{"Location", "Format", "Partitioned By", "Clustered By"};
        QTest::newRow("Conceptual ER") << "Conceptual ER" << QStringList() << QStringList();
        QTest::newRow("DuckDB") << "DuckDB" << QStringList() << QStringList();
        QTest::newRow("unknown") << "DB2" << QStringList() << QStringList();
        QTest::newRow("empty") << "" << QStringList() << QStringList();
    }
    void physicalOptions()
    {
        QFETCH(QString, dialect);
        const PhysicalOptionList options = physicalOptionsForDialect(dialect);
        QTEST(optionKeys(options), "keys");
        QTEST(optionLabels(options), "labels");
    }

    void makeOptionListKeepsOrderAndLatin1()
    {
        const OptionText pairs[] = {{"b", "Beta"}, {"a", "\xC4lpha"}};
        const PhysicalOptionList options = makeOptionList(pairs, 2);
        QCOMPARE(options.size(), 2);
        QCOMPARE(options.at(0), PhysicalOption("b", "Beta"));
        QCOMPARE(options.at(1).second, QString::fromUtf8("\xC3\x84lpha"));
        QVERIFY(makeOptionList(pairs, 0).isEmpty());
    }

    void handOrderedListsKeepTheirOrder()
    {
        const QStringList parquet = dataTypesForDialect("Parquet");
        QVERIFY(parquet.indexOf("INT_64") < parquet.indexOf("INTEGER"));
        QVERIFY(parquet.indexOf("INT96") < parquet.indexOf("INT_8"));
        const QStringList postgres = dataTypesForDialect("PostgreSQL");
        QCOMPARE(postgres.indexOf("SMALLSERIAL") + 1, postgres.indexOf("SMALLINT"));
        QCOMPARE(dataTypesForDialect("CSV files"), QStringList({"INTEGER", "REAL", "TEXT"}));
    }

    void noTypesForConceptualOrUnknown()
    {
        QVERIFY(dataTypesForDialect("Conceptual ER").isEmpty());
        QVERIFY(dataTypesForDialect("conceptual").isEmpty());
        QVERIFY(dataTypesForDialect("DB2").isEmpty());
        QVERIFY(dataTypesForDialect("").isEmpty());
    }

    void catalogueIsWellFormed()
    {
        const QHash<QString, QStringList>& catalog = dataTypeCatalog();
        QCOMPARE(catalog.size(), 10);
        qsizetype total = 0;
        for (const QString& dialect : dialectNames()) {
            QVERIFY2(catalog.contains(dialect), qPrintable(dialect));
            const QStringList types = catalog.value(dialect);
            total += types.size();
            QCOMPARE(QSet<QString>(types.begin(), types.end()).size(), types.size());
            for (const QString& type : types) {
                QCOMPARE(type, type.toUpper());
                QVERIFY2(!type.contains('(') && type == type.trimmed(), qPrintable(type));
            }
            if (dialect != QLatin1String("Conceptual ER"))
                QVERIFY2(types.contains(defaultKeyType(dialect)), qPrintable(dialect));
        }
        QCOMPARE(total, qsizetype(368));
    }

    // The tables are built on first use; concurrent first calls from worker
    // threads must all see the complete tables.
    void safeFromSeveralThreads()
    {
        std::vector<std::unique_ptr<QThread>> threads;
        QAtomicInt failures = 0;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back(QThread::create([&failures] {
                for (int round = 0; round < 200; ++round) {
                    if (dataTypesForDialect("postgres").size() != 81
                        || normalizeDialect("mssql") != QLatin1String("SQL Server")
                        || physicalOptionsForDialect("MySQL").size() != 5)
                        failures.fetchAndAddRelaxed(1);
                }
            }));
        }
        for (auto& thread : threads)
            thread->start();
        for (auto& thread : threads)
            QVERIFY(thread->wait(30000));
        QCOMPARE(failures.loadRelaxed(), 0);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestDialects)
#include "tst_dialects.moc"
