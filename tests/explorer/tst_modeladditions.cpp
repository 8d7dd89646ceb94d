// Tables, views and relationships added to a model from the explorer: their
// names, key columns and foreign keys.

#include "common/testmain.h"
#include "explorer/modeladditions.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/modelitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QTest>

namespace {

TableItem* makeTable(ModelItem& model, const QString& name, const QStringList& columns,
                     const QStringList& keyColumns = {})
{
    TableItem* table = model.addTable();
    table->setName(name);
    QStringList keyIds;
    for (const QString& columnName : columns) {
        ColumnItem* column = table->addColumn();
        column->setName(columnName);
        column->setDataType(columnName.endsWith(QLatin1String("code")) ? QStringLiteral("VARCHAR(12)")
                                                                          : QStringLiteral("BIGINT"));
        if (keyColumns.contains(columnName))
            keyIds << column->id();
    }
    if (!keyIds.isEmpty()) {
        ConstraintItem* primary = table->addConstraint();
        primary->setType(0);
        // Key order differs from column order on purpose.
        std::reverse(keyIds.begin(), keyIds.end());
        primary->setColumns(keyIds);
    }
    return table;
}

QStringList names(const TableItem* table, const QStringList& ids)
{
    QStringList result;
    for (const QString& id : ids)
        result << (table->column(id) ? table->column(id)->name() : QStringLiteral("?"));
    return result;
}

} // namespace

class TestModelAdditions : public QObject
{
    Q_OBJECT

private slots:
    void tablesAndViewsGetFreeNamesAndAKey_data()
    {
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keyType");
        QTest::newRow("first") << "PostgreSQL" << QStringList{} << "table_1" << "BIGINT";
        QTest::newRow("case ignored") << "postgresql" << QStringList{"table_1", "TABLE_2"} << "table_3" << "BIGINT";
        QTest::newRow("gap") << "Oracle" << QStringList{"table_2"} << "table_1" << "NUMBER";
        QTest::newRow("conceptual") << "Conceptual ER" << QStringList{"orders"} << "table_1" << "undefined";
    }

    void tablesAndViewsGetFreeNamesAndAKey()
    {
        QFETCH(QString, dialect);
        QFETCH(QStringList, existing);
        QFETCH(QString, name);
        QFETCH(QString, keyType);
        ModelItem model;
        model.setDialect(dialect);
        for (const QString& other : existing)
            model.addTable()->setName(other);

        const TableItem* table = ModelAdditions::addTable(&model);
        QVERIFY(table);
        QCOMPARE(table->name(), name);
        QCOMPARE(table->columns().size(), 1);
        const ColumnItem* key = table->columns().first();
        QCOMPARE(key->name(), name + "_id");
        QCOMPARE(key->dataType(), keyType);
        QVERIFY(!key->nullable());
        const ConstraintItem* primary = table->constraintOfType(0);
        QVERIFY(primary);
        QCOMPARE(primary->name(), "pk_" + name);
        QCOMPARE(primary->columns(), QStringList{key->id()});

        // Views count among views only.
        model.addView()->setName(QStringLiteral("view_1"));
        QCOMPARE(ModelAdditions::addView(&model)->name(), QStringLiteral("view_2"));
        QVERIFY(!ModelAdditions::addTable(nullptr) && !ModelAdditions::addView(nullptr));
    }

    void relationshipsCopyTheParentKey_data()
    {
        QTest::addColumn<QStringList>("parentColumns");
        QTest::addColumn<QStringList>("parentKey");
        QTest::addColumn<QStringList>("childColumns");
        QTest::addColumn<QStringList>("foreignKey");
        // Key columns in key order; a name the child has already is prefixed
        // with the parent's name, then numbered.
        QTest::newRow("free name") << QStringList{"order_id"} << QStringList{"order_id"} << QStringList{"item_id"}
                                   << QStringList{"order_id"};
        QTest::newRow("taken") << QStringList{"order_id"} << QStringList{"order_id"}
                               << QStringList{"item_id", "order_id"} << QStringList{"orders_order_id"};
        QTest::newRow("taken twice") << QStringList{"order_id"} << QStringList{"order_id"}
                                     << QStringList{"ORDER_ID", "orders_order_id"}
                                     << QStringList{"orders_order_id_2"};
        QTest::newRow("compound key") << QStringList{"region_code", "order_no", "note"}
                                      << QStringList{"region_code", "order_no"} << QStringList{}
                                      << QStringList{"order_no", "region_code"};
        QTest::newRow("no key: first column") << QStringList{"a", "b"} << QStringList{} << QStringList{"x"}
                                              << QStringList{"a"};
        QTest::newRow("no columns") << QStringList{} << QStringList{} << QStringList{"x"} << QStringList{};
    }

    void relationshipsCopyTheParentKey()
    {
        QFETCH(QStringList, parentColumns);
        QFETCH(QStringList, parentKey);
        QFETCH(QStringList, childColumns);
        QFETCH(QStringList, foreignKey);
        ModelItem model;
        TableItem* parent = makeTable(model, QStringLiteral("orders"), parentColumns, parentKey);
        TableItem* child = makeTable(model, QStringLiteral("items"), childColumns);

        const RelationshipItem* relationship = ModelAdditions::addRelationship(&model, parent, child);
        QVERIFY(relationship);
        QCOMPARE(model.relationships(), QList<RelationshipItem*>{const_cast<RelationshipItem*>(relationship)});
        QCOMPARE(relationship->name(), QStringLiteral("orders_items"));
        QCOMPARE(relationship->fromTableId(), parent->id());
        QCOMPARE(relationship->toTableId(), child->id());
        const ConstraintItem* constraint = child->constraint(relationship->constraintId());
        QVERIFY(constraint);
        QCOMPARE(constraint->type(), 1);
        QCOMPARE(constraint->name(), QStringLiteral("fk_orders_items"));
        QCOMPARE(constraint->referencedTableId(), parent->id());
        QCOMPARE(names(child, constraint->columns()), foreignKey);
        // Both lists pair up column for column, with equal types and sizes.
        QCOMPARE(constraint->referencedColumns().size(), constraint->columns().size());
        QCOMPARE(child->columns().size(), childColumns.size() + foreignKey.size());
        for (int i = 0; i < constraint->columns().size(); ++i) {
            const ColumnItem* copy = child->column(constraint->columns().at(i));
            const ColumnItem* key = parent->column(constraint->referencedColumns().at(i));
            QVERIFY(copy && key);
            QCOMPARE(copy->displayType(), key->displayType());
            QVERIFY(copy->nullable());
        }
    }

    void selfRelationshipsAndNamelessTables()
    {
        ModelItem model;
        TableItem* employee = makeTable(model, QString(), {"id"}, {"id"});
        const RelationshipItem* self = ModelAdditions::addRelationship(&model, employee, employee);
        QVERIFY(self);
        QCOMPARE(self->name(), QStringLiteral("table_table"));
        const ConstraintItem* constraint = employee->constraint(self->constraintId());
        // The copy of the key is not taken for a key itself.
        QCOMPARE(names(employee, constraint->columns()), QStringList{"table_id"});
        QCOMPARE(names(employee, constraint->referencedColumns()), QStringList{"id"});
        QVERIFY(!ModelAdditions::addRelationship(&model, employee, nullptr));
        QCOMPARE(model.relationships().size(), 1);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestModelAdditions)
#include "tst_modeladditions.moc"
