#include "common/testmain.h"
#include "model/columnitem.h"
#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/itemid.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/relationshipitem.h"
#include "model/sequenceitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPointer>
#include <QtTest>

namespace {

template <typename T>
QStringList namesOf(const QList<T*>& items)
{
    QStringList names;
    for (const T* item : items)
        names.append(item->name());
    return names;
}

QStringList idsOf(const QJsonArray& array)
{
    QStringList ids;
    for (const QJsonValue& value : array)
        ids.append(value.toObject().value("id").toString());
    return ids;
}

} // namespace

class TestModelItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Name lists use the locale's collation; pin it.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void newModel()
    {
        ModelItem model;
        QVERIFY(isGeneratedItemId(model.id()));
        QVERIFY(model.name().isEmpty() && model.dialect().isEmpty() && model.description().isEmpty());
        const QJsonObject json = model.toJson();
        QCOMPARE(json.keys(), QStringList({"description", "diagrams", "dialect", "documents", "id",
                                           "mappings", "name", "relationships", "sequences",
                                           "tables", "views"}));
        for (const char* key : {"diagrams", "documents", "mappings", "relationships", "sequences",
                                "tables", "views"})
            QCOMPARE(json.value(key), QJsonValue(QJsonArray()));
    }

    void ensureAndAdd()
    {
        ModelItem model;
        TableItem* table = model.ensureTable("t-1");
        QCOMPARE(model.ensureTable("t-1"), table);
        QCOMPARE(model.tables().size(), 1);
        QCOMPARE(table->id(), QString("t-1"));
        QCOMPARE(table->parent(), &model);
        QCOMPARE(model.table("T-1"), nullptr);

        TableItem* fresh = model.addTable();
        QVERIFY(isGeneratedItemId(fresh->id()));
        QCOMPARE(model.table(fresh->id()), fresh);
        QVERIFY(fresh->name().isEmpty());

        ViewItem* spaced = model.ensureView(" v ");
        QCOMPARE(model.view(" v "), spaced);
        QVERIFY(model.view("v") == nullptr);
        QCOMPARE(model.ensureView(QString())->id(), QString());
        QCOMPARE(model.view(QString())->parent(), &model);
        RelationshipItem* relationship = model.ensureRelationship("r");
        QCOMPARE(model.relationship("r"), relationship);
        QVERIFY(isGeneratedItemId(model.addRelationship()->id()));
        QVERIFY(isGeneratedItemId(model.addView()->id()));

        DiagramItem* diagram = model.ensureDiagram("d");
        QCOMPARE(diagram->modelId(), model.id());
        diagram->setModelId("elsewhere");
        QCOMPARE(model.ensureDiagram("d")->modelId(), QString("elsewhere"));
        QCOMPARE(model.addDiagram()->modelId(), model.id());

        MappingItem* mapping = model.addMapping();
        QVERIFY(isGeneratedItemId(mapping->id()));
        QCOMPARE(model.mappings(), QList<MappingItem*>{mapping});
    }

    void removalIsImmediateForLookUpsAndDeferredForTheObject()
    {
        ModelItem model;
        QPointer<TableItem> table = model.addTable();
        QPointer<ViewItem> view = model.addView();
        QPointer<RelationshipItem> relationship = model.addRelationship();
        QPointer<DiagramItem> diagram = model.addDiagram();
        QPointer<MappingItem> mapping = model.addMapping();

        model.removeTable(table->id());
        model.removeView(view->id());
        model.removeRelationship(relationship->id());
        model.removeDiagram(diagram->id());
        model.removeMapping(mapping->id());
        QCOMPARE(model.table(table->id()), nullptr);
        QVERIFY(model.tables().isEmpty() && model.views().isEmpty() && model.relationships().isEmpty()
                && model.diagrams().isEmpty() && model.mappings().isEmpty());
        QVERIFY(!table.isNull() && !view.isNull() && !relationship.isNull() && !diagram.isNull()
                && !mapping.isNull());

        model.removeTable(table->id());  // again: nothing
        model.removeTable("never there");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(table.isNull() && view.isNull() && relationship.isNull() && diagram.isNull()
                && mapping.isNull());
    }

    void namesSortLocaleAware()
    {
        ModelItem model;
        for (const char* name : {"table_2", "Beta", "alpha", "table_10", "", "Ärger"})
            model.addTable()->setName(name);
        QCOMPARE(namesOf(model.tables()),
                 QStringList({"", "alpha", QString::fromUtf8("Ärger"), "Beta", "table_10", "table_2"}));

        // Equal names are both listed, and twice in the same order.
        model.addView()->setName("same");
        model.addView()->setName("same");
        QCOMPARE(namesOf(model.views()), QStringList({"same", "same"}));
        QCOMPARE(model.views(), model.views());

        // Relationships sort by their stored name, documents by file name.
        RelationshipItem* unnamed = model.addRelationship();
        unnamed->setFromTableId("zzzzzzzz");
        unnamed->setToTableId("zzzzzzzz");
        model.addRelationship()->setName("a_rel");
        QCOMPARE(model.relationships().first(), unnamed);

        model.fromJson(QJsonObject{{"documents", QJsonArray{QJsonObject{{"fileName", "z.pdf"}},
                                                            QJsonObject{{"fileName", "A.txt"}}}}});
        QCOMPARE(namesOf(model.documents()), QStringList({"A.txt", "z.pdf"}));
    }

    void arraysInIdOrderIgnoringCase()
    {
        ModelItem model;
        model.ensureTable("B-table");
        model.ensureTable("a-table");
        model.ensureTable("c-table");
        model.ensureView("b");
        model.ensureView("A");
        const QJsonObject json = model.toJson();
        QCOMPARE(idsOf(json.value("tables").toArray()), QStringList({"a-table", "B-table", "c-table"}));
        QCOMPARE(idsOf(json.value("views").toArray()), QStringList({"A", "b"}));
    }

    void readingAnEmptyObject()
    {
        ModelItem model;
        const QString id = model.id();
        model.setName("n");
        model.setDialect("MySQL");
        model.setDescription("d");
        QPointer<TableItem> table = model.addTable();
        model.addDiagram();
        model.fromJson(QJsonObject());
        QCOMPARE(model.id(), id);
        QVERIFY(model.name().isEmpty() && model.dialect().isEmpty() && model.description().isEmpty());
        QVERIFY(table.isNull());  // destroyed at once
        QVERIFY(model.tables().isEmpty() && model.diagrams().isEmpty());
        QCOMPARE(model.toJson().value("tables"), QJsonValue(QJsonArray()));
    }

    void readingMistypedAndRepeatedEntries()
    {
        ModelItem model;
        model.fromJson(QJsonObject{
            {"id", "m1"},
            {"name", 12},
            {"dialect", "postgres"},
            {"tables", QJsonArray{QJsonObject{{"id", "t"}, {"name", "first"}},
                                  QJsonObject{{"id", "t"}, {"name", "second"}}}},
            {"views", QJsonArray{5}},
            {"relationships", "not an array"},
            {"diagrams", QJsonArray{QJsonObject{{"id", "d1"}},
                                    QJsonObject{{"id", "d2"}, {"modelId", ""}},
                                    QJsonObject{{"id", "d3"}, {"modelId", "other"}}}},
        });
        QCOMPARE(model.id(), QString("m1"));
        QCOMPARE(model.name(), QString());
        QCOMPARE(model.dialect(), QString("postgres"));  // held verbatim
        // A repeated id: the later table keeps its content under a fresh id.
        QCOMPARE(model.tables().size(), 2);
        QCOMPARE(model.table("t")->name(), QString("first"));
        QCOMPARE(model.tables().at(1)->name(), QString("second"));
        QVERIFY(isGeneratedItemId(model.tables().at(1)->id()));
        QCOMPARE(model.findChildren<TableItem*>().size(), 2);
        QCOMPARE(model.views().size(), 1);
        QVERIFY(isGeneratedItemId(model.views().first()->id()));
        QVERIFY(model.relationships().isEmpty());
        QCOMPARE(model.diagram("d1")->modelId(), QString("m1"));
        QCOMPARE(model.diagram("d2")->modelId(), QString("m1"));
        QCOMPARE(model.diagram("d3")->modelId(), QString("other"));
    }

    void modelObjectRoundTrip()
    {
        ModelItem model;
        model.setName("Sales");
        model.setDialect("PostgreSQL");
        model.setDescription("orders and customers");
        TableItem* table = model.addTable();
        table->setName("orders");
        table->addColumn()->setName("id");
        model.addView()->setName("v");
        model.addRelationship()->setName("r");
        DiagramItem* diagram = model.addDiagram();
        diagram->setName("Main");
        diagram->setData(QJsonObject{{"type", "er-diagram"}});
        model.addMapping()->setName("m");

        ModelItem copy;
        copy.fromJson(model.toJson());
        QCOMPARE(copy.id(), model.id());
        QCOMPARE(QJsonDocument(copy.toJson()).toJson(), QJsonDocument(model.toJson()).toJson());
        QCOMPARE(copy.diagram(diagram->id())->name(), QString("Main"));
        QVERIFY(copy.diagram(diagram->id())->data().isEmpty());  // content travels apart
    }

    void generatedNames()
    {
        ModelItem model;
        QCOMPARE(model.uniqueDiagramName(), QString("Diagram 1"));
        model.addDiagram()->setName("Diagram 1");
        model.addDiagram()->setName("Diagram 3");
        model.addDiagram()->setName("diagram 2");
        QCOMPARE(model.uniqueDiagramName(), QString("Diagram 2"));

        QCOMPARE(model.uniqueObjectName("table_"), QString("table_1"));
        model.addTable()->setName("TABLE_1");
        model.addTable()->setName("table_2");
        QCOMPARE(model.uniqueObjectName("table_"), QString("table_3"));
        QCOMPARE(model.uniqueObjectName("view_"), QString("view_1"));
        model.addView()->setName("View_1");
        QCOMPARE(model.uniqueObjectName("view_"), QString("view_2"));
        QCOMPARE(model.uniqueObjectName("table_"), QString("table_3"));
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestModelItem)
#include "tst_modelitem.moc"
