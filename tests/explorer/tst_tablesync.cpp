#include "common/testmain.h"
#include "explorer/tablesync.h"
#include "model/columnitem.h"
#include "model/columnnameindex.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

namespace {

// "name:type:marks" with marks P (primary), U (unique) and @edge (foreign
// key of that edge); "name:type" alone for a plain row.
EntityRow row(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    EntityRow r;
    r.name = parts.value(0);
    r.type = parts.value(1);
    const QString marks = parts.value(2);
    r.primaryKey = marks.contains(QLatin1Char('P'));
    r.uniqueKey = marks.contains(QLatin1Char('U'));
    const qsizetype at = marks.indexOf(QLatin1Char('@'));
    if (at >= 0)
        r.fkEdgeId = marks.mid(at + 1);
    return r;
}

QList<EntityRow> rows(const QStringList& texts)
{
    QList<EntityRow> list;
    for (const QString& text : texts)
        list.append(row(text));
    return list;
}

QJsonArray jsonRows(const QStringList& texts)
{
    QJsonArray array;
    for (const EntityRow& r : rows(texts)) {
        QJsonObject object{{"name", r.name}, {"type", r.type}, {"isPrimaryKey", r.primaryKey},
                           {"isUniqueKey", r.uniqueKey}, {"isForeignKey", !r.fkEdgeId.isEmpty()}};
        if (!r.fkEdgeId.isEmpty())
            object.insert("fkEdgeId", r.fkEdgeId);
        array.append(object);
    }
    return array;
}

QStringList texts(const QJsonArray& array)
{
    QStringList list;
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        QString marks;
        if (object.value("isPrimaryKey").toBool())
            marks += 'P';
        if (object.value("isUniqueKey").toBool())
            marks += 'U';
        if (object.value("isForeignKey").toBool())
            marks += '@' + object.value("fkEdgeId").toString();
        QString text = object.value("name").toString() + ':' + object.value("type").toString();
        if (!marks.isEmpty())
            text += ':' + marks;
        list << text;
    }
    return list;
}

QStringList columnNames(const TableItem* table)
{
    QStringList names;
    for (const ColumnItem* column : table->columns())
        names << column->name() + ':' + column->displayType();
    return names;
}

QStringList namesOf(const TableItem* table, const QStringList& ids)
{
    QStringList names;
    for (const QString& id : ids)
        names << (table->column(id) ? table->column(id)->name() : QStringLiteral("?"));
    return names;
}

} // namespace

class TestTableSync : public QObject
{
    Q_OBJECT

private slots:
    void typeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bare") << "INTEGER" << "INTEGER";
        QTest::newRow("padded") << "  text " << "text";
        QTest::newRow("length") << "VARCHAR(50)" << "VARCHAR(50)";
        QTest::newRow("precision and scale") << "DECIMAL(10, 2)" << "DECIMAL(10,2)";
        QTest::newRow("unrecognised size stays") << "VARCHAR(MAX)" << "VARCHAR(MAX)";
        QTest::newRow("empty") << "" << "";
    }

    void typeTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        ColumnItem column;
        column.setDataType(QStringLiteral("NUMERIC(8,3)"));
        TableSync::applyTypeText(&column, text);
        QCOMPARE(column.displayType(), shown);
        QCOMPARE(TableSync::canonicalType(text), shown);
        if (!shown.contains('('))
            QVERIFY(column.length() == -1 && column.precision() == -1 && column.scale() == -1);
    }

    void registrationBuildsColumnsAndKeys()
    {
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t1", "orders", rows({"id:INTEGER:P", "note:TEXT"}));
        QCOMPARE(model.table("t1"), table);
        QCOMPARE(table->name(), QStringLiteral("orders"));
        QCOMPARE(columnNames(table), (QStringList{"id:INTEGER", "note:TEXT"}));
        QVERIFY(!table->columnByName("id")->nullable());
        QVERIFY(table->columnByName("note")->nullable());
        const ConstraintItem* key = table->constraintOfType(ConstraintItem::PrimaryKey);
        QVERIFY(key);
        QCOMPARE(key->name(), QStringLiteral("pk_orders"));
        QCOMPARE(namesOf(table, key->columns()), QStringList{"id"});

        // Again, with another title: the same items, renamed.
        const QString columnId = table->columnByName("id")->id();
        TableSync::registerTable(&model, "t1", "Orders", rows({"ID:BIGINT:P", "note:TEXT", "extra:DATE"}));
        QCOMPARE(model.tables().size(), 1);
        QCOMPARE(table->name(), QStringLiteral("Orders"));
        QCOMPARE(columnNames(table), (QStringList{"id:BIGINT", "note:TEXT", "extra:DATE"}));
        QCOMPARE(table->columnByName("id")->id(), columnId);
        QCOMPARE(table->constraints().size(), 1);
        QCOMPARE(key->name(), QStringLiteral("pk_orders"));  // named only when made

        // Registration never removes a column.
        TableSync::registerTable(&model, "t1", "Orders", rows({"note:TEXT"}));
        QCOMPARE(table->columns().size(), 3);
        QVERIFY(!table->constraintOfType(ConstraintItem::PrimaryKey));

        QVERIFY(!TableSync::registerTable(nullptr, "t2", "x", {}));
        ViewItem* view = TableSync::registerView(&model, "v1", "v_top");
        QCOMPARE(model.view("v1"), view);
        QCOMPARE(view->name(), QStringLiteral("v_top"));
    }

    void primaryKeyFollowsTheFlags()
    {
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t", "t", rows({"a:INT:P", "b:INT"}));
        const QString firstKey = table->constraintOfType(ConstraintItem::PrimaryKey)->id();
        TableSync::syncPrimaryKey(table, rows({"a:INT:P", "b:INT:P"}));
        QCOMPARE(namesOf(table, table->constraintOfType(ConstraintItem::PrimaryKey)->columns()),
                 (QStringList{"a", "b"}));
        QCOMPARE(table->constraintOfType(ConstraintItem::PrimaryKey)->id(), firstKey);
        TableSync::syncPrimaryKey(table, rows({"a:INT", "b:INT"}));
        QVERIFY(!table->constraintOfType(ConstraintItem::PrimaryKey));
        TableSync::syncPrimaryKey(table, rows({"a:INT", "b:INT:P", "gone:INT:P"}));
        const ConstraintItem* again = table->constraintOfType(ConstraintItem::PrimaryKey);
        QVERIFY(again && again->id() != firstKey);
        QCOMPARE(namesOf(table, again->columns()), QStringList{"b"});
    }

    // Whether a key of a few rows or of many, each of its rows names the
    // first column of its name but for case, as the column index finds it;
    // names that fold alike in other scripts included.
    void keyColumnsMatchTheIndex()
    {
        const QStringList names{"id", "ID", "Id", "stra\u00dfe", "STRASSE", "\u00c4rger", "\u00e4rger",
                                "\u01c5", "\u01c6", "\u01c4", "\u03a3", "\u03c3", "\u03c2"};
        QRandomGenerator random(7);
        for (int round = 0; round < 200; ++round) {
            QStringList texts;
            const int count = 1 + random.bounded(12);
            const int keys = 1 + random.bounded(count);
            for (int i = 0; i < count; ++i)
                texts << names.at(random.bounded(names.size())) + (i < keys ? ":INT:P" : ":INT");
            ModelItem model;
            const QList<EntityRow> picked = rows(texts);
            TableItem* table = TableSync::registerTable(&model, "t", "t", picked);
            const ColumnNameIndex index(table->columns());
            QStringList expected;
            for (const EntityRow& row : picked) {
                if (row.primaryKey)
                    expected << index.first(row.name)->id();
            }
            const ConstraintItem* key = table->constraintOfType(ConstraintItem::PrimaryKey);
            QVERIFY2(key, qPrintable(texts.join(',')));
            QCOMPARE(key->columns(), expected);
        }
    }

    void uniqueConstraintsOnlyGrow()
    {
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t", "items", rows({"a:INT", "b:INT:U", "c:INT"}));
        TableSync::syncUnique(table, rows({"a:INT", "b:INT:U", "c:INT"}));
        QCOMPARE(table->constraints().size(), 1);
        const ConstraintItem* first = table->constraints().first();
        QCOMPARE(first->name(), QStringLiteral("uk_items"));
        QCOMPARE(first->type(), int(ConstraintItem::Unique));

        // Flag cleared: the constraint stays.
        TableSync::syncUnique(table, rows({"a:INT", "b:INT", "c:INT"}));
        QCOMPARE(table->constraints().size(), 1);
        // Two more flagged, one of them covered: one new constraint.
        TableSync::syncUnique(table, rows({"a:INT:U", "b:INT:U", "c:INT:U"}));
        QCOMPARE(table->constraints().size(), 2);
        QCOMPARE(namesOf(table, table->constraints().at(1)->columns()), (QStringList{"a", "c"}));
        QCOMPARE(table->constraints().at(1)->name(), QStringLiteral("uk_items"));
    }

    void columnsFollowTheRows()
    {
        ProjectItem project;
        ModelItem* model = project.addModel();
        TableItem* parent =
            TableSync::registerTable(model, "p", "parent", rows({"id:INT:P", "code:TEXT:P", "gone:TEXT"}));
        TableItem* child = TableSync::registerTable(model, "c", "child", rows({"id:INT:P"}));
        ConstraintItem* fk = child->addConstraint();
        fk->setType(ConstraintItem::ForeignKey);
        const ColumnItem* childId = child->columnByName("id");
        fk->setColumns({childId->id(), "other"});
        fk->setReferencedColumns({parent->columnByName("id")->id(), parent->columnByName("code")->id()});
        IndexItem* index = parent->addIndex();
        index->setColumns({parent->columnByName("gone")->id(), parent->columnByName("code")->id()});
        const QString codeId = parent->columnByName("code")->id();
        const QString idId = parent->columnByName("id")->id();

        // "gone" and "id" go: every reference to them, pairwise in the
        // other table's foreign key; "code" moves first and keeps its id.
        const QStringList removed =
            TableSync::syncColumns(parent, rows({"code:VARCHAR(9):P", "", "Added:INT", "ADDED:INT"}), &project);
        QCOMPARE(removed.size(), 2);
        QCOMPARE(columnNames(parent), (QStringList{"code:VARCHAR(9)", "Added:INT", "ADDED:INT"}));
        QCOMPARE(parent->columnByName("code")->id(), codeId);
        QVERIFY(!parent->column(idId));
        QCOMPARE(parent->constraintOfType(ConstraintItem::PrimaryKey)->columns(), QStringList{codeId});
        QCOMPARE(index->columns(), QStringList{codeId});
        QCOMPARE(fk->columns(), QStringList{"other"});
        QCOMPARE(fk->referencedColumns(), QStringList{codeId});
        // Two rows of one name, differing in case, hold two columns.
        QVERIFY(parent->columns().at(1)->id() != parent->columns().at(2)->id());
    }

    void anEditedRowKeepsItsColumn()
    {
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t", "t", rows({"id:INT:P", "name:TEXT"}));
        const QString nameId = table->columnByName("name")->id();
        const QList<EntityRow> edited = rows({"id:INT:P", "title:VARCHAR(80)"});
        ColumnItem* column = TableSync::applyRowEdit(table, edited, 1, "name", "title", "VARCHAR(80)");
        QCOMPARE(column->id(), nameId);
        QCOMPARE(column->displayType(), QStringLiteral("VARCHAR(80)"));
        QCOMPARE(TableSync::syncColumns(table, edited, nullptr), QStringList());
        QCOMPARE(table->columnByName("title")->id(), nameId);

        // A type edit (old name equals the new one) and a row unknown to
        // the model.
        TableSync::applyRowEdit(table, edited, 1, "title", "title", "TEXT");
        QCOMPARE(table->columnByName("title")->displayType(), QStringLiteral("TEXT"));
        ColumnItem* made = TableSync::applyRowEdit(table, rows({"k:INT:P"}), 0, "", "k", "INT");
        QVERIFY(made && made->name() == "k" && !made->nullable());
    }

    void relationshipsAndTheirForeignKeys()
    {
        ModelItem model;
        TableItem* parent = TableSync::registerTable(&model, "p", "customer", rows({"id:INT:P"}));
        TableItem* child = TableSync::registerTable(&model, "c", "order", rows({"id:INT:P", "customer_id:INT:@e1"}));
        const QList<EntityRow> childRows = rows({"id:INT:P", "customer_id:INT:@e1", "x:INT:@e9"});
        RelationshipItem* relationship =
            TableSync::registerRelationship(&model, "e1", "p", "c", "customer", "order", false, childRows);
        QCOMPARE(relationship->id(), QStringLiteral("e1"));
        QCOMPARE(relationship->name(), QStringLiteral("customer_order"));
        QCOMPARE(relationship->fromTableId(), QStringLiteral("p"));
        QCOMPARE(relationship->toTableId(), QStringLiteral("c"));
        ConstraintItem* fk = child->constraint(relationship->constraintId());
        QVERIFY(fk);
        QCOMPARE(fk->type(), int(ConstraintItem::ForeignKey));
        QCOMPARE(fk->name(), QStringLiteral("fk_customer_order"));
        QCOMPARE(fk->referencedTableId(), QStringLiteral("p"));
        QCOMPARE(namesOf(child, fk->columns()), QStringList{"customer_id"});
        QCOMPARE(fk->referencedColumns(), parent->constraintOfType(ConstraintItem::PrimaryKey)->columns());

        // A new title renames the relationship, not its constraint.
        TableSync::registerRelationship(&model, "e1", "p", "c", "client", "order", false, childRows);
        QCOMPARE(relationship->name(), QStringLiteral("client_order"));
        QCOMPARE(child->constraint(relationship->constraintId()), fk);
        QCOMPARE(fk->name(), QStringLiteral("fk_customer_order"));
        QCOMPARE(child->constraints().size(), 2);

        // Links of entity views and edges to unknown tables get none.
        RelationshipItem* viewLink =
            TableSync::registerRelationship(&model, "e2", "p", "v", "customer", "v_top", true, {});
        QVERIFY(viewLink->constraintId().isEmpty());
        RelationshipItem* dangling =
            TableSync::registerRelationship(&model, "e3", "c", "nowhere", "order", "x", false, {});
        QVERIFY(dangling->constraintId().isEmpty());
        QCOMPARE(model.relationships().size(), 3);
    }

    void rowsFollowTheTable_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("changed");

        // The model: id INT (primary key), name VARCHAR(40) (unique),
        // customer_id INT (foreign key of relationship r1), total DECIMAL(9,2).
        const QStringList inStep{"id:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"};
        QTest::newRow("in step") << inStep << inStep << false;
        QTest::newRow("own order kept") << QStringList{"total:DECIMAL(9,2)", "id:INT:P", "customer_id:INT:@r1",
                                                       "name:VARCHAR(40):U"}
                                        << QStringList{"total:DECIMAL(9,2)", "id:INT:P", "customer_id:INT:@r1",
                                                       "name:VARCHAR(40):U"}
                                        << false;
        QTest::newRow("same type written differently")
            << QStringList{"id:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9, 2)"}
            << QStringList{"id:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9, 2)"} << false;
        QTest::newRow("a column added elsewhere")
            << QStringList{"id:INT:P", "customer_id:INT:@r1", "total:DECIMAL(9,2)"} << inStep << true;
        QTest::newRow("first column added elsewhere")
            << QStringList{"name:VARCHAR(40):U", "customer_id:INT:@r1"}
            << QStringList{"id:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"} << true;
        QTest::newRow("a column removed elsewhere")
            << QStringList{"id:INT:P", "name:VARCHAR(40):U", "dropped:INT", "customer_id:INT:@r1",
                           "total:DECIMAL(9,2)"}
            << inStep << true;
        QTest::newRow("a column renamed elsewhere")
            << QStringList{"id:INT:P", "title:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}
            << inStep << true;
        QTest::newRow("types and keys follow the model")
            << QStringList{"id:TEXT", "name:VARCHAR(40):P", "customer_id:INT", "total:DECIMAL:U"} << inStep << true;
        QTest::newRow("case-insensitive names keep their spelling")
            << QStringList{"ID:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}
            << QStringList{"ID:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"} << false;
        QTest::newRow("foreign-key marks of the model's relationships only")
            << QStringList{"id:INT:P@r2", "name:VARCHAR(40):U@elsewhere", "customer_id:INT:@r1",
                           "total:DECIMAL(9,2)"}
            << QStringList{"id:INT:P", "name:VARCHAR(40):U@elsewhere", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}
            << true;
        QTest::newRow("a row without a name stays")
            << QStringList{"id:INT:P", ":INT", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}
            << QStringList{"id:INT:P", ":INT", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}
            << false;
        QTest::newRow("no rows at all") << QStringList{} << inStep << true;
    }

    void rowsFollowTheTable()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        QFETCH(bool, changed);

        ModelItem model;
        TableItem* customers = TableSync::registerTable(&model, "cu", "customers", rows({"id:INT:P"}));
        TableItem* orders = TableSync::registerTable(
            &model, "or", "orders",
            rows({"id:INT:P", "name:VARCHAR(40):U", "customer_id:INT:@r1", "total:DECIMAL(9,2)"}));
        TableSync::registerRelationship(&model, "r1", "cu", "or", "customers", "orders", false,
                                        rows({"customer_id:INT:@r1"}));
        // r2 also ends at orders but its foreign key lists no column.
        TableSync::registerRelationship(&model, "r2", "cu", "or", "customers", "orders", false, {});
        QVERIFY(customers && orders);

        QJsonArray array = jsonRows(stored);
        QCOMPARE(TableSync::alignRows(array, orders, &model), changed);
        QCOMPARE(texts(array), expected);
        // Once aligned, nothing more to do.
        QVERIFY(!TableSync::alignRows(array, orders, &model));
    }

    // A column without a name (made from a row without one) is stood for
    // by one row without a name: aligning again adds no row each time.
    void unnamedColumnTakesOneUnnamedRow_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("row there") << QStringList{"id:INT:P", ":TEXT"} << QStringList{"id:INT:P", ":TEXT"};
        QTest::newRow("row missing") << QStringList{"id:INT:P"} << QStringList{"id:INT:P", ":TEXT"};
        QTest::newRow("type follows") << QStringList{":INT", "id:INT:P"} << QStringList{":TEXT", "id:INT:P"};
        QTest::newRow("a second one stays as it is")
            << QStringList{"id:INT:P", ":TEXT", ":INT"} << QStringList{"id:INT:P", ":TEXT", ":INT"};
    }

    void unnamedColumnTakesOneUnnamedRow()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t", "t", rows({"id:INT:P", ":TEXT"}));
        QCOMPARE(table->columns().size(), 2);
        QJsonArray array = jsonRows(stored);
        TableSync::alignRows(array, table, &model);
        QCOMPARE(texts(array), expected);
        QVERIFY(!TableSync::alignRows(array, table, &model));
    }

    // Rows of one name, and rows without a name, read back to the columns
    // they were written for, also when a row made for a column without one
    // lands before them: a second reading changes nothing.
    void rowsSharingANameKeepTheirColumns_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");

        // The table: an unnamed INT, id INT (primary key), code DATE, name
        // TEXT, an unnamed VARCHAR(120) (unique) and a second code, BLOB.
        const QStringList inStep{":INT", "id:INT:P", "code:DATE", "name:TEXT", ":VARCHAR(120):U", "CODE:BLOB"};
        QTest::newRow("in step") << inStep << inStep;
        QTest::newRow("unnamed row after the named ones")
            << QStringList{"id:INT:P", "code:DATE", ":INT:@e9"}
            << QStringList{"id:INT:P", "code:DATE", "name:TEXT", ":INT:@e9", "CODE:BLOB", ":VARCHAR(120):U"};
        QTest::newRow("unnamed rows paired by position")
            << QStringList{"id:INT:P", ":VARCHAR(120):U", ":INT"}
            << QStringList{"id:INT:P", "code:DATE", "name:TEXT", ":INT", ":VARCHAR(120):U", "CODE:BLOB"};
        QTest::newRow("an unnamed row more than there are columns")
            << QStringList{":INT", "id:INT:P", ":VARCHAR(120):U", ":BLOB", "code:DATE", "CODE:BLOB"}
            << QStringList{":INT", "id:INT:P", ":VARCHAR(120):U", ":BLOB", "code:DATE", "name:TEXT", "CODE:BLOB"};
        QTest::newRow("shared names out of step")
            << QStringList{"name:TEXT", "Code:DATE"}
            << QStringList{"name:TEXT", ":INT", "Code:DATE", ":VARCHAR(120):U", "id:INT:P", "CODE:BLOB"};
        QTest::newRow("no rows at all") << QStringList{} << inStep;
    }

    void rowsSharingANameKeepTheirColumns()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        ModelItem model;
        TableItem* table = model.ensureTable(QStringLiteral("t"));
        for (const EntityRow& r : rows({":INT", "id:INT", "code:DATE", "name:TEXT", ":VARCHAR(120)", "CODE:BLOB"})) {
            ColumnItem* column = table->addColumn();
            column->setName(r.name);
            column->setDataType(r.type);
        }
        TableSync::syncPrimaryKey(table, rows({"id:INT:P"}));
        ConstraintItem* unique = table->addConstraint();
        unique->setType(ConstraintItem::Unique);
        unique->setColumns({table->columns().at(4)->id()});

        QJsonArray array = jsonRows(stored);
        TableSync::alignRows(array, table, &model);
        QCOMPARE(texts(array), expected);
        const QJsonArray once = array;
        QVERIFY(!TableSync::alignRows(array, table, &model));
        QCOMPARE(array, once);
    }

    void alignRowsKeepsOtherKeys()
    {
        ModelItem model;
        TableItem* table = TableSync::registerTable(&model, "t", "t", rows({"id:INT:P"}));
        QJsonArray array{QJsonObject{{"name", "id"}, {"type", "TEXT"}, {"isPrimaryKey", true}, {"note", "kept"}}};
        QVERIFY(TableSync::alignRows(array, table, &model));
        QCOMPARE(array.at(0).toObject().value("note").toString(), QStringLiteral("kept"));
        QCOMPARE(array.at(0).toObject().value("type").toString(), QStringLiteral("INT"));
        QVERIFY(!TableSync::alignRows(array, nullptr, &model));
    }

    void diagramsFollowTheModelWideLookUp()
    {
        ProjectItem project;
        ModelItem* current = project.addModel();
        current->setName(QStringLiteral("Current"));
        ModelItem* other = project.addModel();
        other->setName(QStringLiteral("Other"));
        TableSync::registerTable(current, "here", "here_table", rows({"a:INT"}));
        TableSync::registerTable(other, "there", "there_table", rows({"b:INT"}));
        TableSync::registerView(current, "v", "v_renamed");

        QJsonObject diagram{
            {"entities",
             QJsonArray{QJsonObject{{"id", "here"}, {"title", "here_table"}, {"attributes", jsonRows({"a:INT"})}},
                        QJsonObject{{"id", "there"}, {"title", "old"}, {"attributes", jsonRows({"c:INT"})}},
                        QJsonObject{{"id", "unknown"}, {"title", "u"}, {"attributes", jsonRows({"z:INT"})}},
                        QJsonObject{{"id", "v"}, {"kind", "entity-view"}, {"title", "v"},
                                    {"attributes", jsonRows({"inherited:INT"})}}}},
            {"edges", QJsonArray{}}};
        const QJsonObject inStep = diagram.value("entities").toArray().at(0).toObject();
        QCOMPARE(TableSync::alignDiagram(diagram, current, &project), 2);
        const QJsonArray entities = diagram.value("entities").toArray();
        QCOMPARE(entities.at(0).toObject(), inStep);
        QCOMPARE(entities.at(1).toObject().value("title").toString(), QStringLiteral("there_table"));
        QCOMPARE(texts(entities.at(1).toObject().value("attributes").toArray()), QStringList{"b:INT"});
        QCOMPARE(texts(entities.at(2).toObject().value("attributes").toArray()), QStringList{"z:INT"});
        QCOMPARE(entities.at(3).toObject().value("title").toString(), QStringLiteral("v_renamed"));
        // A view's rows are never columns.
        QCOMPARE(texts(entities.at(3).toObject().value("attributes").toArray()), QStringList{"inherited:INT"});
        QCOMPARE(TableSync::alignDiagram(diagram, current, &project), 0);

        QJsonObject empty;
        QCOMPARE(TableSync::alignDiagram(empty, current, &project), 0);
        QVERIFY(empty.isEmpty());
    }

    void modelWideLookUp()
    {
        ProjectItem project;
        ModelItem* a = project.addModel();
        a->setName(QStringLiteral("A"));
        ModelItem* b = project.addModel();
        b->setName(QStringLiteral("B"));
        TableItem* inB = b->ensureTable(QStringLiteral("t"));
        ModelItem* owner = nullptr;
        QCOMPARE(TableSync::findTable(a, &project, "t", &owner), inB);
        QCOMPARE(owner, b);
        QCOMPARE(TableSync::findTable(a, nullptr, "t", &owner), nullptr);
        QCOMPARE(owner, nullptr);
        TableItem* inA = a->ensureTable(QStringLiteral("t"));
        QCOMPARE(TableSync::findTable(a, &project, "t", &owner), inA);
        QCOMPARE(TableSync::findTable(nullptr, &project, "t", &owner), inA);  // models by name
        QCOMPARE(owner, a);
        QCOMPARE(TableSync::findTable(a, &project, "", &owner), nullptr);
        QCOMPARE(TableSync::findView(a, &project, "t"), nullptr);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestTableSync)
#include "tst_tablesync.moc"
