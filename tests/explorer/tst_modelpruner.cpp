#include "common/testmain.h"
#include "explorer/modelpruner.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/indexitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text).replace('\'', '"'), &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s", qPrintable(error.errorString()));
    return document.object();
}

QSet<QString> ids(const QString& list)
{
    QSet<QString> set;
    for (const QString& id : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        set.insert(id);
    return set;
}

// A diagram of three tables a, b, c: edge e1 from a to b with one foreign
// key row in b, edge e2 from b to c with one in c, and extra keys that must
// survive every prune.
const char* const threeTables = R"({
  'version': '1.0', 'type': 'er-diagram', 'dialect': 'PostgreSQL', 'annotations': [{'kind': 'text-item'}],
  'entities': [
    {'id': 'a', 'title': 'A', 'x': 1, 'attributes': [{'name': 'a_id', 'isPrimaryKey': true}]},
    {'id': 'b', 'title': 'B', 'attributes': [{'name': 'b_id'}, {'name': 'a_id', 'fkEdgeId': 'e1', 'extra': 1},
                                             {'name': 'note', 'fkEdgeId': 7}]},
    {'id': 'c', 'title': 'C', 'attributes': [{'name': 'b_id', 'fkEdgeId': 'e2'}, {'name': 'c_id'}]}
  ],
  'edges': [{'id': 'e1', 'from': 'a', 'to': 'b', 'startCard': 0, 'route': [1, 2]},
            {'id': 'e2', 'from': 'b', 'to': 'c', 'endCard': 3}]
})";

} // namespace

class TestModelPruner : public QObject
{
    Q_OBJECT

private slots:
    void pruneDiagramJson_data()
    {
        QTest::addColumn<QString>("entityIds");
        QTest::addColumn<QString>("edgeIds");
        QTest::addColumn<QString>("expected");

        QTest::newRow("an entity takes its edges, rows stay") << "a" << "" << R"({
          'version': '1.0', 'type': 'er-diagram', 'dialect': 'PostgreSQL', 'annotations': [{'kind': 'text-item'}],
          'entities': [
            {'id': 'b', 'title': 'B', 'attributes': [{'name': 'b_id'}, {'name': 'a_id', 'fkEdgeId': 'e1', 'extra': 1},
                                                     {'name': 'note', 'fkEdgeId': 7}]},
            {'id': 'c', 'title': 'C', 'attributes': [{'name': 'b_id', 'fkEdgeId': 'e2'}, {'name': 'c_id'}]}],
          'edges': [{'id': 'e2', 'from': 'b', 'to': 'c', 'endCard': 3}]})";
        QTest::newRow("the middle entity takes both edges") << "b" << "" << R"({
          'version': '1.0', 'type': 'er-diagram', 'dialect': 'PostgreSQL', 'annotations': [{'kind': 'text-item'}],
          'entities': [
            {'id': 'a', 'title': 'A', 'x': 1, 'attributes': [{'name': 'a_id', 'isPrimaryKey': true}]},
            {'id': 'c', 'title': 'C', 'attributes': [{'name': 'b_id', 'fkEdgeId': 'e2'}, {'name': 'c_id'}]}],
          'edges': []})";
        QTest::newRow("an edge takes its foreign-key rows only") << "" << "e1" << R"({
          'version': '1.0', 'type': 'er-diagram', 'dialect': 'PostgreSQL', 'annotations': [{'kind': 'text-item'}],
          'entities': [
            {'id': 'a', 'title': 'A', 'x': 1, 'attributes': [{'name': 'a_id', 'isPrimaryKey': true}]},
            {'id': 'b', 'title': 'B', 'attributes': [{'name': 'b_id'}, {'name': 'note', 'fkEdgeId': 7}]},
            {'id': 'c', 'title': 'C', 'attributes': [{'name': 'b_id', 'fkEdgeId': 'e2'}, {'name': 'c_id'}]}],
          'edges': [{'id': 'e2', 'from': 'b', 'to': 'c', 'endCard': 3}]})";
        QTest::newRow("entity and edge together") << "c" << "e1" << R"({
          'version': '1.0', 'type': 'er-diagram', 'dialect': 'PostgreSQL', 'annotations': [{'kind': 'text-item'}],
          'entities': [
            {'id': 'a', 'title': 'A', 'x': 1, 'attributes': [{'name': 'a_id', 'isPrimaryKey': true}]},
            {'id': 'b', 'title': 'B', 'attributes': [{'name': 'b_id'}, {'name': 'note', 'fkEdgeId': 7}]}],
          'edges': []})";
        QTest::newRow("unknown ids change nothing but the arrays") << "zz" << "e9" << threeTables;
        QTest::newRow("ids are case-sensitive") << "A,B" << "E1" << threeTables;
    }

    void pruneDiagramJson()
    {
        QFETCH(QString, entityIds);
        QFETCH(QString, edgeIds);
        QFETCH(QString, expected);
        QJsonObject diagram = parse(threeTables);
        ModelPruner::pruneDiagramJson(diagram, ids(entityIds), ids(edgeIds));
        QCOMPARE(QJsonDocument(diagram).toJson(QJsonDocument::Compact),
                 QJsonDocument(parse(expected.toUtf8().constData())).toJson(QJsonDocument::Compact));
    }

    void pruneLeavesEmptyInputAlone()
    {
        QJsonObject diagram = parse(R"({'entities': [{'id': 'a'}]})");
        const QJsonObject before = diagram;
        ModelPruner::pruneDiagramJson(diagram, {}, {});
        QCOMPARE(diagram, before);  // no "edges" array added

        QJsonObject empty;
        ModelPruner::pruneDiagramJson(empty, ids("a"), ids("e"));
        QVERIFY(empty.isEmpty());

        // Any id at all writes both arrays back.
        ModelPruner::pruneDiagramJson(diagram, ids("x"), {});
        QCOMPARE(diagram, parse(R"({'entities': [{'id': 'a'}], 'edges': []})"));
    }

    void pruneSkipsTheLiveDiagram()
    {
        ModelItem model;
        DiagramItem* live = model.addDiagram();
        live->setName(QStringLiteral("Live"));
        DiagramItem* other = model.addDiagram();
        other->setName(QStringLiteral("Other"));
        DiagramItem* never = model.addDiagram();
        never->setName(QStringLiteral("Never stored"));
        live->setData(parse(threeTables));
        other->setData(parse(threeTables));

        QCOMPARE(ModelPruner::pruneModelDiagrams(&model, live, ids("a"), ids("e2")), 1);
        QCOMPARE(live->data(), parse(threeTables));
        QVERIFY(never->data().isEmpty());
        const QJsonObject pruned = other->data();
        QCOMPARE(pruned.value("entities").toArray().size(), 2);
        QCOMPARE(pruned.value("edges").toArray().size(), 0);
        // c lost its row of e2.
        QCOMPARE(pruned.value("entities").toArray().at(1).toObject().value("attributes").toArray().size(), 1);

        QCOMPARE(ModelPruner::pruneModelDiagrams(nullptr, nullptr, ids("a"), {}), 0);
        // Without a live diagram every stored one is pruned.
        QCOMPARE(ModelPruner::pruneModelDiagrams(&model, nullptr, ids("b"), {}), 2);
        QCOMPARE(live->data().value("entities").toArray().size(), 2);
    }

    // A foreign key of orders (customer_id, region) -> customers (id, region)
    // and one of invoices that references the same region column.
    void forgetColumnReferencesKeepsPairs_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("ordersFkColumns");
        QTest::addColumn<QStringList>("ordersFkReferenced");
        QTest::addColumn<QStringList>("customersKey");
        QTest::addColumn<QStringList>("ordersIndex");

        QTest::newRow("a referenced column takes its pair")
            << "customers.region" << QStringList{"orders.customer_id"} << QStringList{"customers.id"}
            << QStringList{"customers.id"} << QStringList{"orders.region", "orders.customer_id", "orders.region"};
        QTest::newRow("an own column takes its pair")
            << "orders.customer_id" << QStringList{"orders.region"} << QStringList{"customers.region"}
            << QStringList{"customers.id", "customers.region"} << QStringList{"orders.region", "orders.region"};
        QTest::newRow("every occurrence leaves an index")
            << "orders.region" << QStringList{"orders.customer_id"} << QStringList{"customers.id"}
            << QStringList{"customers.id", "customers.region"} << QStringList{"orders.customer_id"};
        QTest::newRow("an unknown column changes nothing")
            << "nothing" << QStringList{"orders.customer_id", "orders.region"}
            << QStringList{"customers.id", "customers.region"} << QStringList{"customers.id", "customers.region"}
            << QStringList{"orders.region", "orders.customer_id", "orders.region"};
    }

    void forgetColumnReferencesKeepsPairs()
    {
        QFETCH(QString, removed);
        QFETCH(QStringList, ordersFkColumns);
        QFETCH(QStringList, ordersFkReferenced);
        QFETCH(QStringList, customersKey);
        QFETCH(QStringList, ordersIndex);

        ProjectItem project;
        ModelItem* sales = project.addModel();
        sales->setName(QStringLiteral("Sales"));
        TableItem* customers = sales->addTable();
        customers->setName(QStringLiteral("customers"));
        ConstraintItem* key = customers->addConstraint();
        key->setType(ConstraintItem::PrimaryKey);
        key->setColumns({"customers.id", "customers.region"});
        TableItem* orders = sales->addTable();
        orders->setName(QStringLiteral("orders"));
        ConstraintItem* fk = orders->addConstraint();
        fk->setType(ConstraintItem::ForeignKey);
        fk->setColumns({"orders.customer_id", "orders.region"});
        fk->setReferencedColumns({"customers.id", "customers.region"});
        IndexItem* index = orders->addIndex();
        index->setColumns({"orders.region", "orders.customer_id", "orders.region"});

        ModelPruner::forgetColumnReferences(&project, removed);
        QCOMPARE(fk->columns(), ordersFkColumns);
        QCOMPARE(fk->referencedColumns(), ordersFkReferenced);
        QCOMPARE(key->columns(), customersKey);
        QCOMPARE(index->columns(), ordersIndex);
    }

    void forgetColumnReferencesReachesEveryModelAndMapping()
    {
        ProjectItem project;
        ModelItem* first = project.addModel();
        first->setName(QStringLiteral("First"));
        ModelItem* second = project.addModel();
        second->setName(QStringLiteral("Second"));
        ConstraintItem* unique = second->addTable()->addConstraint();
        unique->setColumns({"col", "other", "col"});
        MappingItem* both = project.addMapping();
        both->setSourceColumnId(QStringLiteral("col"));
        both->setTargetColumnId(QStringLiteral("col"));
        MappingItem* modelMapping = first->addMapping();
        modelMapping->setTargetColumnId(QStringLiteral("col"));
        modelMapping->setSourceColumnId(QStringLiteral("kept"));
        modelMapping->setSourceTableId(QStringLiteral("t"));

        QCOMPARE(ModelPruner::forgetColumnReferences(&project, QStringLiteral("col")), 3);
        QCOMPARE(unique->columns(), QStringList{"other"});
        QVERIFY(both->sourceColumnId().isEmpty() && both->targetColumnId().isEmpty());
        QCOMPARE(modelMapping->sourceColumnId(), QStringLiteral("kept"));
        QVERIFY(modelMapping->targetColumnId().isEmpty());
        QCOMPARE(modelMapping->sourceTableId(), QStringLiteral("t"));  // the mapping row stays

        QCOMPARE(ModelPruner::forgetColumnReferences(&project, QStringLiteral("col")), 0);
        QCOMPARE(ModelPruner::forgetColumnReferences(&project, QString()), 0);
        QCOMPARE(ModelPruner::forgetColumnReferences(nullptr, QStringLiteral("other")), 0);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestModelPruner)
#include "tst_modelpruner.moc"
