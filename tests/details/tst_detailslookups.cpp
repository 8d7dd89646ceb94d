#include "common/testmain.h"
#include "details/detailslookups.h"
#include "details/projectnameindex.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

TableItem* addTable(ModelItem* model, const QString& name, const QStringList& columns)
{
    TableItem* table = model->addTable();
    table->setName(name);
    for (const QString& columnName : columns)
        table->addColumn()->setName(columnName);
    return table;
}

QString idOf(const TableItem* table, const QString& columnName)
{
    const ColumnItem* column = table->columnByName(columnName);
    return column ? column->id() : QStringLiteral("<none>");
}

} // namespace

class TestDetailsLookups : public QObject
{
    Q_OBJECT

private slots:
    void sizeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("blank") << "   " << true << -1;
        QTest::newRow("number") << "20" << true << 20;
        QTest::newRow("padded") << " 7 " << true << 7;
        QTest::newRow("negative") << "-5" << true << -1;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("decimal") << "1.5" << false << 0;
        QTest::newRow("hex is not decimal") << "0x10" << false << 0;
        QTest::newRow("int max") << "2147483647" << true << 2147483647;
        QTest::newRow("beyond int") << "2147483648" << false << 0;
        QTest::newRow("inner blank") << "1 0" << false << 0;
    }

    void sizeTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        bool parsedOk = !ok;
        QCOMPARE(parseSizeText(text, &parsedOk), value);
        QCOMPARE(parsedOk, ok);
    }

    // The name is free ignoring case, and no smaller number from the count
    // of names + 1 on would have done, over generated name lists too.
    void columnNamesAreFreeAndSmallest()
    {
        QCOMPARE(nextColumnName({"column_1", "Column_3"}), QStringLiteral("column_4"));
        QRandomGenerator random(17);
        for (int round = 0; round < 300; ++round) {
            QStringList names;
            const int count = random.bounded(8);
            for (int i = 0; i < count; ++i) {
                const QString prefix = random.bounded(2) ? QStringLiteral("column_") : QStringLiteral("COLUMN_");
                names << prefix + QString::number(random.bounded(1, 12));
            }
            const QString next = nextColumnName(names);
            QVERIFY(next.startsWith(QLatin1String("column_")));
            const int n = next.mid(7).toInt();
            QVERIFY(n >= names.size() + 1);
            const auto taken = [&names](int k) {
                return names.contains(QStringLiteral("column_") + QString::number(k), Qt::CaseInsensitive);
            };
            QVERIFY2(!taken(n), qPrintable(names.join(',') + " -> " + next));
            for (int k = names.size() + 1; k < n; ++k)
                QVERIFY(taken(k));
        }
    }

    void constraintKinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::newRow("Primary Key") << "Primary Key" << 0;
        QTest::newRow("primaryKey") << "primaryKey" << 0;
        QTest::newRow("lower case with blank") << "primary key" << 2;
        QTest::newRow("Foreign Key") << "Foreign Key" << 1;
        QTest::newRow("foreignKey") << "foreignKey" << 1;
        QTest::newRow("Check") << "Check" << 3;
        QTest::newRow("check") << "check" << 3;
        QTest::newRow("CHECK") << "CHECK" << 2;
        QTest::newRow("unique") << "unique" << 2;
        QTest::newRow("anything") << "whatever" << 2;
    }

    void constraintKinds()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QCOMPARE(constraintKindFromText(text), kind);
        // The grid's own texts come back as the kind they show.
        QCOMPARE(constraintKindFromText(constraintKindText(kind)), kind);
    }

    void firstUnusedColumn()
    {
        ModelItem model;
        TableItem* table = addTable(&model, "t", {"a", "b", "c"});
        const QString a = idOf(table, "a");
        const QString b = idOf(table, "b");
        const QString c = idOf(table, "c");
        QCOMPARE(firstUnusedColumnId(table, {}), a);
        QCOMPARE(firstUnusedColumnId(table, {a, c}), b);
        QCOMPARE(firstUnusedColumnId(table, {a, b, c}), QString());
        // Ids compare exactly: an upper-cased id does not count as used.
        table->column(a)->setId(QStringLiteral("id-a"));
        QCOMPARE(firstUnusedColumnId(table, {QStringLiteral("ID-A"), b}), QStringLiteral("id-a"));
        QCOMPARE(firstUnusedColumnId(nullptr, {}), QString());
    }

    void mappingEndpoints_data()
    {
        QTest::addColumn<QString>("modelName");
        QTest::addColumn<QString>("tableName");
        QTest::addColumn<QString>("columnName");
        QTest::addColumn<bool>("found");
        QTest::newRow("exact") << "Sales" << "orders" << "total" << true;
        QTest::newRow("case and blanks ignored") << " sales " << "ORDERS" << " Total" << true;
        QTest::newRow("unknown model") << "Stock" << "orders" << "total" << false;
        QTest::newRow("table of another model") << "Sales" << "items" << "sku" << false;
        QTest::newRow("unknown column") << "Sales" << "orders" << "sku" << false;
        QTest::newRow("blank column") << "Sales" << "orders" << "  " << false;
    }

    void mappingEndpoints()
    {
        QFETCH(QString, modelName);
        QFETCH(QString, tableName);
        QFETCH(QString, columnName);
        QFETCH(bool, found);
        ProjectItem project;
        ModelItem* sales = project.addModel();
        sales->setName("Sales");
        ModelItem* stock = project.addModel();
        stock->setName("Stock");
        TableItem* orders = addTable(sales, "orders", {"id", "total"});
        addTable(stock, "items", {"sku"});

        const MappingEndpoint endpoint = resolveMappingEndpoint(&project, modelName, tableName, columnName);
        QCOMPARE(endpoint.found, found);
        if (found) {
            QCOMPARE(endpoint.modelId, sales->id());
            QCOMPARE(endpoint.tableId, orders->id());
            QCOMPARE(endpoint.columnId, idOf(orders, "total"));
        } else {
            QVERIFY(endpoint.columnId.isEmpty());
        }
        QVERIFY(!resolveMappingEndpoint(nullptr, modelName, tableName, columnName).found);
    }

    void mappingsAreFoundByOwnerAndId()
    {
        ProjectItem project;
        ModelItem* model = project.addModel();
        model->setName("M");
        MappingItem* top = project.addMapping();
        MappingItem* inModel = model->addMapping();
        // Ids may repeat between owners in a file; the owner tells them apart.
        inModel->setId(top->id());
        QCOMPARE(findMapping(&project, QString(), top->id()), top);
        QCOMPARE(findMapping(&project, model->id(), top->id()), nullptr);
        QCOMPARE(allMappings(&project), (QList<MappingItem*>{top, inModel}));
        QCOMPARE(findMapping(&project, QStringLiteral("no such model"), top->id()), nullptr);
        QCOMPARE(findMapping(&project, QString(), QString()), nullptr);
    }

    void nameIndexAgreesWithLookups()
    {
        ProjectItem project;
        QRandomGenerator random(5);
        QList<TableItem*> tables;
        for (int m = 0; m < 4; ++m) {
            ModelItem* model = project.addModel();
            model->setName(QStringLiteral("model %1").arg(random.bounded(3)));
            for (int t = 0; t < 5; ++t) {
                TableItem* table = addTable(model, QStringLiteral("t%1").arg(t), {"a", "b", "c"});
                tables << table;
            }
        }
        const ProjectNameIndex index(&project);
        for (const TableItem* table : std::as_const(tables)) {
            const TableItem* expected = findTableInProject(&project, table->id());
            QCOMPARE(index.table(table->id()), expected);
            QCOMPARE(index.tableName(table->id()), expected->name());
            for (const ColumnItem* column : expected->columns())
                QCOMPARE(index.columnName(table->id(), column->id()), column->name());
            QCOMPARE(index.columnName(table->id(), QStringLiteral("missing")), QString());
        }
        for (const ModelItem* model : project.models())
            QCOMPARE(index.modelName(model->id()), model->name());
        QCOMPARE(index.table(QStringLiteral("missing")), nullptr);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestDetailsLookups)
#include "tst_detailslookups.moc"
