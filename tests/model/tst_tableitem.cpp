#include "common/testmain.h"
#include "model/columnitem.h"
#include "model/columnnameindex.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/tableitem.h"

#include <QJsonArray>
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// A table with columns named c0 .. c<count-1>, their ids "id0" .. .
void addColumns(TableItem& table, int count)
{
    for (int i = 0; i < count; ++i) {
        ColumnItem* column = table.addColumn();
        column->setId(QStringLiteral("id%1").arg(i));
        column->setName(QStringLiteral("c%1").arg(i));
    }
}

QStringList columnIds(const TableItem& table)
{
    QStringList ids;
    for (const ColumnItem* column : table.columns())
        ids.append(column->id());
    return ids;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestTableItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lookUps()
    {
        TableItem table;
        addColumns(table, 2);
        ColumnItem* idColumn = table.addColumn();
        idColumn->setName("id");

        QCOMPARE(table.columnByName("ID"), idColumn);
        QCOMPARE(table.columnByName("C1"), table.columns().at(1));
        QCOMPARE(table.columnByName("missing"), nullptr);
        QCOMPARE(table.column(idColumn->id()), idColumn);
        QCOMPARE(table.column(idColumn->id().toUpper()), nullptr);
        QCOMPARE(table.column(QString()), nullptr);

        QCOMPARE(table.constraintOfType(ConstraintItem::PrimaryKey), nullptr);
        ConstraintItem* first = table.addConstraint();
        ConstraintItem* second = table.addConstraint();
        QCOMPARE(first->type(), int(ConstraintItem::Unique));
        QCOMPARE(table.constraintOfType(ConstraintItem::Unique), first);
        second->setType(ConstraintItem::PrimaryKey);
        QCOMPARE(table.constraintOfType(ConstraintItem::PrimaryKey), second);
        QCOMPARE(table.constraint(second->id()), second);

        IndexItem* index = table.addIndex();
        QCOMPARE(table.index(index->id()), index);
        QCOMPARE(index->parent(), &table);
    }

    void columnOrder_data()
    {
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty list") << QStringList() << QStringList{"id0", "id1", "id2", "id3"};
        QTest::newRow("named first") << QStringList{"id2", "id0"} << QStringList{"id2", "id0", "id1", "id3"};
        QTest::newRow("full reverse") << QStringList{"id3", "id2", "id1", "id0"}
                                      << QStringList{"id3", "id2", "id1", "id0"};
        QTest::newRow("unknown and repeated") << QStringList{"x", "id1", "id1", "ID3", "id3"}
                                              << QStringList{"id1", "id3", "id0", "id2"};
    }
    void columnOrder()
    {
        QFETCH(QStringList, order);
        TableItem table;
        addColumns(table, 4);
        table.setColumnOrder(order);
        QTEST(columnIds(table), "expected");
    }

    // The index finds by name exactly what the table's own look-up finds,
    // ignoring case the same way, also for letters whose cases do not map
    // one to one (sharp s, final sigma, dotted and dotless i, the Kelvin
    // sign, letters beyond 16 bits, a lone surrogate); and taking hands out
    // the columns of one name in table order, each once.
    void nameIndexAgreesWithTheTable()
    {
        const QList<char32_t> letters{'a',    'A',    'k',    'K',    0x212A, 0xDF,   0x1E9E, 0x3C3,
                                      0x3C2,  0x3A3,  0x130,  0x131,  'i',    'I',    0x1F600, 0x10428,
                                      0x10400, 0xD800, 0xDC00, 0xFB00, 0x1C4,  0x1C5,  0x1C6,  0x345};
        QRandomGenerator random(7);
        const auto name = [&] {
            QString text;
            for (int n = random.bounded(1, 4); n > 0; --n) {
                const char32_t c = letters.at(random.bounded(int(letters.size())));
                if (QChar::requiresSurrogates(c))
                    text.append(QString::fromUcs4(&c, 1));
                else
                    text.append(QChar(char16_t(c)));
            }
            return text;
        };
        for (int round = 0; round < 300; ++round) {
            TableItem table;
            for (int i = random.bounded(40); i > 0; --i)
                table.addColumn()->setName(name());
            ColumnNameIndex index(table.columns());
            QHash<ColumnItem*, bool> taken;
            for (int probe = 0; probe < 40; ++probe) {
                const QString wanted = name();
                QCOMPARE(index.first(wanted), table.columnByName(wanted));
                ColumnItem* expected = nullptr;
                for (ColumnItem* column : table.columns()) {
                    if (!taken.value(column) && column->name().compare(wanted, Qt::CaseInsensitive) == 0) {
                        expected = column;
                        break;
                    }
                }
                QCOMPARE(index.takeFirst(wanted), expected);
                if (expected)
                    taken.insert(expected, true);
            }
            // A column added later comes after those of its name.
            ColumnItem* added = table.addColumn();
            added->setName(name());
            index.add(added);
            QCOMPARE(index.first(added->name()), table.columnByName(added->name()));
        }
    }

    void removeColumnStripsReferences()
    {
        TableItem table;
        addColumns(table, 3);
        ConstraintItem* unique = table.addConstraint();
        unique->setColumns({"id1", "id0", "id1"});
        ConstraintItem* primary = table.addConstraint();
        primary->setType(ConstraintItem::PrimaryKey);
        primary->setColumns({"id1"});
        IndexItem* index = table.addIndex();
        index->setColumns({"id1", "id2", "id1"});

        QPointer<ColumnItem> removed = table.columns().at(1);
        table.removeColumn("id1");
        QCOMPARE(columnIds(table), QStringList({"id0", "id2"}));
        QCOMPARE(table.column("id1"), nullptr);
        QCOMPARE(unique->columns(), QStringList({"id0"}));
        QVERIFY(primary->columns().isEmpty());
        QCOMPARE(table.constraints().size(), 2);  // an emptied key stays
        QCOMPARE(index->columns(), QStringList({"id2"}));

        // Still valid until the event loop runs, then gone.
        QVERIFY(!removed.isNull());
        QCOMPARE(removed->parent(), &table);
        processDeferredDeletes();
        QVERIFY(removed.isNull());
    }

    void removeUnknownColumnChangesNothing()
    {
        TableItem table;
        addColumns(table, 2);
        ConstraintItem* constraint = table.addConstraint();
        constraint->setColumns({"id0", ""});
        table.removeColumn("");
        table.removeColumn("nope");
        table.removeColumn("ID0");
        QCOMPARE(columnIds(table), QStringList({"id0", "id1"}));
        QCOMPARE(constraint->columns(), QStringList({"id0", ""}));
    }

    // A foreign key loses whole pairs, so later columns keep their partners.
    void removeColumnFromForeignKey_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("referenced");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("expectedColumns");
        QTest::addColumn<QStringList>("expectedReferenced");

        QTest::newRow("middle pair") << QStringList{"id0", "id1", "id2"} << QStringList{"p0", "p1", "p2"}
                                     << "id1" << QStringList{"id0", "id2"} << QStringList{"p0", "p2"};
        QTest::newRow("first pair") << QStringList{"id0", "id1"} << QStringList{"p0", "p1"}
                                    << "id0" << QStringList{"id1"} << QStringList{"p1"};
        QTest::newRow("self reference, referenced side") << QStringList{"id0", "id1"} << QStringList{"id2", "id0"}
                                                         << "id2" << QStringList{"id1"} << QStringList{"id0"};
        QTest::newRow("self reference, both sides") << QStringList{"id0", "id1"} << QStringList{"id1", "id2"}
                                                    << "id1" << QStringList() << QStringList();
        QTest::newRow("unpaired tail") << QStringList{"id0", "id1", "id2"} << QStringList{"p0"}
                                       << "id1" << QStringList{"id0", "id2"} << QStringList{"p0"};
        QTest::newRow("referenced longer") << QStringList{"id1"} << QStringList{"p0", "p1", "p2"}
                                           << "id1" << QStringList() << QStringList{"p1", "p2"};
    }
    void removeColumnFromForeignKey()
    {
        QFETCH(QStringList, columns);
        QFETCH(QStringList, referenced);
        QFETCH(QString, removed);
        TableItem table;
        addColumns(table, 3);
        ConstraintItem* foreignKey = table.addConstraint();
        foreignKey->setType(ConstraintItem::ForeignKey);
        foreignKey->setReferencedTableId("parent");
        foreignKey->setColumns(columns);
        foreignKey->setReferencedColumns(referenced);

        table.removeColumn(removed);
        QTEST(foreignKey->columns(), "expectedColumns");
        QTEST(foreignKey->referencedColumns(), "expectedReferenced");
        QCOMPARE(foreignKey->referencedTableId(), QString("parent"));
        QCOMPARE(table.constraints().size(), 1);
    }

    void removeConstraintAndIndexDeferred()
    {
        TableItem table;
        QPointer<ConstraintItem> a = table.addConstraint();
        ConstraintItem* b = table.addConstraint();
        QPointer<IndexItem> index = table.addIndex();
        table.removeConstraint("");
        table.removeConstraint("unknown");
        QCOMPARE(table.constraints().size(), 2);
        table.removeConstraint(a->id());
        table.removeIndex(index->id());
        QCOMPARE(table.constraints(), QList<ConstraintItem*>{b});
        QVERIFY(table.indexes().isEmpty());
        QVERIFY(!a.isNull() && !index.isNull());
        processDeferredDeletes();
        QVERIFY(a.isNull() && index.isNull());
    }

    void properties()
    {
        TableItem table;
        table.setProperty("", "ignored");
        QVERIFY(table.properties().isEmpty());
        table.setProperty("engine", "InnoDB");
        table.setProperty("charset", QString());
        QCOMPARE(table.property("engine"), QString("InnoDB"));
        QCOMPARE(table.properties().value("charset"), QJsonValue(""));
        QCOMPARE(table.property("missing"), QString());

        table.fromJson(QJsonObject{{"properties", QJsonObject{{"fillfactor", 70}, {"custom", "x"}}}});
        QCOMPARE(table.property("fillfactor"), QString());
        QCOMPARE(table.property("custom"), QString("x"));
        const QJsonObject written = table.toJson().value("properties").toObject();
        QCOMPARE(written.value("fillfactor"), QJsonValue(70));
        QVERIFY(!written.contains("engine"));

        table.fromJson(QJsonObject{{"properties", "not an object"}});
        QVERIFY(table.properties().isEmpty());
    }

    void emptyTableObject()
    {
        TableItem table;
        const QJsonObject json = table.toJson();
        QCOMPARE(json.keys(), QStringList({"columns", "comment", "constraints", "id", "indexes",
                                           "name", "properties", "schema"}));
        QCOMPARE(json.value("properties"), QJsonValue(QJsonObject()));
        QCOMPARE(json.value("columns"), QJsonValue(QJsonArray()));
        QCOMPARE(json.value("constraints"), QJsonValue(QJsonArray()));
        QCOMPARE(json.value("indexes"), QJsonValue(QJsonArray()));
    }

    void readingReplacesChildrenAtOnce()
    {
        TableItem table;
        addColumns(table, 2);
        QPointer<ColumnItem> oldColumn = table.columns().at(0);
        QPointer<ConstraintItem> oldConstraint = table.addConstraint();
        QPointer<IndexItem> oldIndex = table.addIndex();

        table.fromJson(QJsonObject{{"name", "orders"},
                                   {"constraints", QJsonArray{QJsonObject{{"type", "primaryKey"}}, 3}},
                                   {"indexes", QJsonObject()}});
        QVERIFY(oldColumn.isNull() && oldConstraint.isNull() && oldIndex.isNull());
        QVERIFY(table.columns().isEmpty());
        QVERIFY(table.indexes().isEmpty());
        QCOMPARE(table.constraints().size(), 2);
        QCOMPARE(table.constraints().at(0)->type(), int(ConstraintItem::PrimaryKey));
        QCOMPARE(table.constraints().at(1)->type(), int(ConstraintItem::Unique));
        QCOMPARE(table.constraints().at(1)->parent(), &table);
        QCOMPARE(table.name(), QString("orders"));
    }

    void childrenKeepListOrderInJson()
    {
        TableItem table;
        addColumns(table, 3);
        table.setColumnOrder({"id2"});
        TableItem copy;
        copy.fromJson(table.toJson());
        QCOMPARE(columnIds(copy), QStringList({"id2", "id0", "id1"}));
        QCOMPARE(copy.id(), table.id());
        QCOMPARE(copy.toJson(), table.toJson());
    }

    void generatedNames()
    {
        TableItem table;
        table.setName("Orders");
        QCOMPARE(table.uniqueConstraintName("pk_"), QString("pk_Orders"));
        table.addConstraint()->setName("PK_ORDERS");
        QCOMPARE(table.uniqueConstraintName("pk_"), QString("pk_Orders_2"));
        table.addConstraint()->setName("pk_orders_2");
        QCOMPARE(table.uniqueConstraintName("pk_"), QString("pk_Orders_3"));
        QCOMPARE(table.uniqueConstraintName("fk_"), QString("fk_Orders"));

        QCOMPARE(table.uniqueIndexName(), QString("ix_Orders"));
        table.addIndex()->setName("ix_orders");
        QCOMPARE(table.uniqueIndexName(), QString("ix_Orders_2"));
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestTableItem)
#include "tst_tableitem.moc"
