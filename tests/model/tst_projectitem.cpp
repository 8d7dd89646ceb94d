#include "common/testmain.h"
#include "model/classificationitem.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/indexitem.h"
#include "model/itemid.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/sequenceitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPointer>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

#include <cmath>

namespace {

QByteArray indented(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QJsonObject parse(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("unparsable test document: %s", qPrintable(error.errorString()));
    return document.object();
}

ColumnItem* addColumn(TableItem* table, const QString& name, const QString& type, bool nullable = true)
{
    ColumnItem* column = table->addColumn();
    column->setName(name);
    column->setDataType(type);
    column->setNullable(nullable);
    return column;
}

ConstraintItem* addConstraint(TableItem* table, int type, const QString& name, const QStringList& columns)
{
    ConstraintItem* constraint = table->addConstraint();
    constraint->setType(type);
    constraint->setName(name);
    constraint->setColumns(columns);
    return constraint;
}

// A foreign key of child on parent, bound to a new relationship.
RelationshipItem* relate(ModelItem* model, TableItem* parent, TableItem* child,
                         const QList<ColumnItem*>& keyColumns, const QList<ColumnItem*>& fkColumns)
{
    RelationshipItem* relationship = model->addRelationship();
    relationship->setName(parent->name() + "_" + child->name());
    relationship->setFromTableId(parent->id());
    relationship->setToTableId(child->id());
    QStringList keys;
    QStringList fks;
    for (const ColumnItem* column : keyColumns)
        keys.append(column->id());
    for (const ColumnItem* column : fkColumns)
        fks.append(column->id());
    ConstraintItem* foreignKey = addConstraint(child, ConstraintItem::ForeignKey,
                                               "fk_" + relationship->name(), fks);
    foreignKey->setReferencedTableId(parent->id());
    foreignKey->setReferencedColumns(keys);
    relationship->setConstraintId(foreignKey->id());
    return relationship;
}

// The canvas's diagram JSON showing the given tables.
QJsonObject sceneOf(const QList<TableItem*>& tables, const QList<RelationshipItem*>& relationships,
                    const QString& dialect)
{
    QJsonArray entities;
    double x = 40;
    for (const TableItem* table : tables) {
        QJsonArray attributes;
        for (const ColumnItem* column : table->columns())
            attributes.append(QJsonObject{{"name", column->name()}, {"type", column->displayType()},
                                          {"isPrimaryKey", false}, {"isUniqueKey", false},
                                          {"isForeignKey", false}});
        entities.append(QJsonObject{{"id", table->id()}, {"title", table->name()}, {"x", x},
                                    {"y", 120.5}, {"kind", 0}, {"attributes", attributes},
                                    {"lightBackground", "#FFF5F5F5"}});
        x += 260.25;
    }
    QJsonArray edges;
    for (const RelationshipItem* relationship : relationships)
        edges.append(QJsonObject{{"id", relationship->id()}, {"from", relationship->fromTableId()},
                                 {"to", relationship->toTableId()}, {"startCard", 0}, {"endCard", 3},
                                 {"points", QJsonArray{QJsonArray{10.0, 20.0}, QJsonArray{10.0, 80.0}}}});
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                       {"edges", edges},
                       {"annotations", QJsonArray{QJsonObject{{"type", "text-item"}, {"text", "Note"}}}},
                       {"dialect", dialect}};
}

// A project with two models holding every kind of item, three diagrams with
// content, and project-level mappings and documents.
void buildSampleProject(ProjectItem& project)
{
    // Project-level documents enter only from files.
    project.fromJson(QJsonObject{
        {"name", "Round Trip"},
        {"documents", QJsonArray{QJsonObject{{"id", "doc-project"}, {"fileName", "charter.pdf"},
                                             {"fileType", "pdf"}, {"description", "Why"}}}}});
    MappingItem* projectMapping = project.addMapping();
    projectMapping->setName("legacy_customer");
    projectMapping->setDescription("from the old CRM");

    ModelItem* sales = project.addModel();
    sales->setName("Sales");
    sales->setDialect("PostgreSQL");
    sales->setDescription("Order intake");

    TableItem* customers = sales->addTable();
    customers->setName("customers");
    customers->setSchema("crm");
    customers->setComment("People who order");
    customers->setProperty("tablespace", "fast");
    customers->setProperty("fillfactor", "90");
    ColumnItem* customerId = addColumn(customers, "customer_id", "BIGINT", false);
    ColumnItem* email = addColumn(customers, "email", "VARCHAR(255)");
    email->setPersonal(true);
    email->setSensible(true);
    email->setDefaultValue("''");
    ClassificationItem* gdpr = email->addClassification();
    gdpr->setName("Personal");
    gdpr->setRegulation("GDPR");
    gdpr->setDescription("Contact data");
    email->setClassification("Personal");
    addConstraint(customers, ConstraintItem::PrimaryKey, "pk_customers", {customerId->id()});
    addConstraint(customers, ConstraintItem::Unique, "uk_customers", {email->id()});
    IndexItem* emailIndex = customers->addIndex();
    emailIndex->setName("ix_customers");
    emailIndex->setUnique(true);
    emailIndex->setColumns({email->id()});

    TableItem* orders = sales->addTable();
    orders->setName("orders");
    ColumnItem* orderId = addColumn(orders, "order_id", "BIGINT", false);
    ColumnItem* region = addColumn(orders, "region", "CHAR(2)", false);
    ColumnItem* orderCustomer = addColumn(orders, "customer_id", "BIGINT", false);
    ColumnItem* total = addColumn(orders, "total", "DECIMAL(12,2)");
    total->setComment("Gross, with tax");
    addConstraint(orders, ConstraintItem::PrimaryKey, "pk_orders", {orderId->id(), region->id()});
    ConstraintItem* positive = addConstraint(orders, ConstraintItem::Check, "ck_orders", {total->id()});
    positive->setExpression("total >= 0");
    positive->setDescription("No credit notes here");
    RelationshipItem* placed = relate(sales, customers, orders, {customerId}, {orderCustomer});
    placed->setDescription("A customer places orders");

    TableItem* lines = sales->addTable();
    lines->setName("order_lines");
    ColumnItem* lineOrder = addColumn(lines, "order_id", "BIGINT", false);
    ColumnItem* lineRegion = addColumn(lines, "region", "CHAR(2)", false);
    ColumnItem* lineNo = addColumn(lines, "line_no", "INT(11)", false);
    addColumn(lines, "note", "VARCHAR(MAX)");
    addConstraint(lines, ConstraintItem::PrimaryKey, "pk_order_lines",
                  {lineOrder->id(), lineRegion->id(), lineNo->id()});
    RelationshipItem* composite = relate(sales, orders, lines, {orderId, region}, {lineOrder, lineRegion});
    IndexItem* byOrder = lines->addIndex();
    byOrder->setName("ix_order_lines");
    byOrder->setColumns({lineOrder->id(), lineRegion->id()});
    byOrder->setDescription("Join path");

    ViewItem* openOrders = sales->addView();
    openOrders->setName("open_orders");
    openOrders->setSchema("reporting");
    openOrders->setDefinition("SELECT * FROM orders WHERE total > 0");
    openOrders->setComment("Dashboard");

    MappingItem* mapping = sales->addMapping();
    mapping->setName("email_from_crm");
    mapping->setSourceModelId(sales->id());
    mapping->setSourceTableId(customers->id());
    mapping->setSourceColumnId(email->id());
    mapping->setTargetModelId(sales->id());
    mapping->setTargetTableId(orders->id());
    mapping->setTargetColumnId(orderCustomer->id());

    // Sequences and documents enter only from files: add them through the
    // model's own object.
    // The model's reader replaces every item, so keep ids, not pointers.
    const QString customersId = customers->id();
    const QString ordersId = orders->id();
    const QString linesId = lines->id();
    const QString compositeId = composite->id();
    QJsonObject salesJson = sales->toJson();
    salesJson.insert("sequences", QJsonArray{QJsonObject{
        {"id", "seq-orders"}, {"name", "orders_seq"}, {"tableId", orders->id()},
        {"columnId", orderId->id()}, {"startValue", 1000}, {"increment", 10},
        {"minValue", "1000"}, {"maxValue", "9999999"}, {"cycle", true}, {"comment", "Order numbers"}}});
    salesJson.insert("documents", QJsonArray{QJsonObject{{"id", "doc-sales"}, {"fileName", "glossary.md"},
                                                         {"fileType", "markdown"}}});
    sales->fromJson(salesJson);

    TableItem* readCustomers = sales->table(customersId);
    TableItem* readOrders = sales->table(ordersId);
    TableItem* readLines = sales->table(linesId);
    const QList<RelationshipItem*> relationships = sales->relationships();
    DiagramItem* overview = sales->addDiagram();
    overview->setName("Overview");
    overview->setData(sceneOf({readCustomers, readOrders, readLines}, relationships, "PostgreSQL"));
    DiagramItem* detail = sales->addDiagram();
    detail->setName("Order detail");
    detail->setData(sceneOf({readOrders, readLines}, {sales->relationship(compositeId)}, "PostgreSQL"));

    ModelItem* archive = project.addModel();
    archive->setName("Archive");
    archive->setDialect("Oracle");
    TableItem* history = archive->addTable();
    history->setName("order_history");
    addColumn(history, "amount", "NUMBER(10,2)");
    DiagramItem* archived = archive->addDiagram();
    archived->setName("Diagram 1");
    archived->setData(sceneOf({history}, {}, "Oracle"));
}

// Random JSON for the robustness test: objects use the keys the readers
// know, so that damaged values reach every reader.
QJsonValue randomValue(QRandomGenerator& random, int depth)
{
    static const QStringList keys{
        "id", "name", "type", "data", "diagrams", "models", "mappings", "documents", "tables",
        "views", "relationships", "sequences", "columns", "constraints", "indexes", "properties",
        "classifications", "classification", "dataType", "length", "precision", "scale",
        "nullable", "referencedColumns", "startValue", "increment", "cycle", "unique", "modelId",
        "fileName", "version"};
    const int kind = int(random.bounded(depth > 0 ? 8 : 5));
    switch (kind) {
    case 0:
        return QJsonValue();
    case 1:
        return random.bounded(2) == 1;
    case 2:
        return (random.bounded(10.0) - 5.0) * std::pow(10.0, random.bounded(0, 20));
    case 3:
        return QStringList{"", "x", "primaryKey", "foreignKey", "VARCHAR(10)", "DECIMAL(99999999999,2)",
                           "quill-project", "id-1"}.at(int(random.bounded(8)));
    case 4:
        return QJsonValue(QJsonValue::Null);
    case 5:
    case 6: {
        QJsonObject object;
        const int count = int(random.bounded(6));
        for (int i = 0; i < count; ++i)
            object.insert(keys.at(int(random.bounded(keys.size()))), randomValue(random, depth - 1));
        return object;
    }
    default: {
        QJsonArray array;
        const int count = int(random.bounded(5));
        for (int i = 0; i < count; ++i)
            array.append(randomValue(random, depth - 1));
        return array;
    }
    }
}

} // namespace

class TestProjectItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Name lists, and so the order of stored diagrams, use the locale's
        // collation; pin it.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void newProjectDocument()
    {
        ProjectItem project;
        QVERIFY(isGeneratedItemId(project.id()));
        QCOMPARE(project.name(), QString("Untitled Project"));
        QVERIFY(project.models().isEmpty());

        const QJsonObject root = project.toDocumentJson();
        QCOMPARE(root.keys(), QStringList({"data", "diagrams", "type", "version"}));
        QCOMPARE(root.value("version"), QJsonValue("2.0"));
        QCOMPARE(root.value("type"), QJsonValue("quill-project"));
        QCOMPARE(root.value("diagrams"), QJsonValue(QJsonArray()));
        const QJsonObject data = root.value("data").toObject();
        QCOMPARE(data.keys(), QStringList({"documents", "id", "mappings", "models", "name"}));
        QCOMPARE(data.value("id"), QJsonValue(project.id()));
        QCOMPARE(data.value("name"), QJsonValue("Untitled Project"));
        for (const char* key : {"documents", "mappings", "models"})
            QCOMPARE(data.value(key), QJsonValue(QJsonArray()));
    }

    void recognisesProjectFiles_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("expected");
        QTest::newRow("minimal") << QByteArray(R"j({"type":"quill-project","data":{}})j") << true;
        QTest::newRow("null data") << QByteArray(R"j({"type":"quill-project","data":null})j") << true;
        QTest::newRow("data of another type") << QByteArray(R"j({"type":"quill-project","data":3})j") << true;
        QTest::newRow("other version") << QByteArray(R"j({"version":"9","type":"quill-project","data":{}})j") << true;
        QTest::newRow("numeric version") << QByteArray(R"j({"version":2,"type":"quill-project","data":{}})j") << true;
        QTest::newRow("no data") << QByteArray(R"j({"type":"quill-project","diagrams":[]})j") << false;
        QTest::newRow("letter case") << QByteArray(R"j({"type":"Quill-Project","data":{}})j") << false;
        QTest::newRow("leading blank") << QByteArray(R"j({"type":" quill-project","data":{}})j") << false;
        QTest::newRow("trailing blank") << QByteArray(R"j({"type":"quill-project ","data":{}})j") << false;
        QTest::newRow("not a string") << QByteArray(R"j({"type":["quill-project"],"data":{}})j") << false;
        QTest::newRow("bare diagram") << QByteArray(R"j({"version":"1.0","type":"er-diagram","entities":[]})j") << false;
        QTest::newRow("empty") << QByteArray("{}") << false;
    }
    void recognisesProjectFiles()
    {
        QFETCH(QByteArray, json);
        const QJsonObject root = parse(json);
        QTEST(ProjectItem::isProjectJson(root), "expected");

        ProjectItem project;
        ModelItem* model = project.addModel();
        const QString id = project.id();
        const bool loaded = project.loadDocumentJson(root);
        QTEST(loaded, "expected");
        if (!loaded) {
            QCOMPARE(project.model(model->id()), model);  // untouched
            QCOMPARE(project.id(), id);
        } else {
            QVERIFY(project.models().isEmpty());
            QCOMPARE(project.id(), id);  // no "id" in the file: kept
            QCOMPARE(project.name(), QString("Untitled Project"));
        }
    }

    void roundTripGivesIdenticalText()
    {
        ProjectItem original;
        buildSampleProject(original);
        const QByteArray first = indented(original.toDocumentJson());

        ProjectItem fresh;
        QVERIFY(fresh.loadDocumentJson(parse(first)));
        const QByteArray second = indented(fresh.toDocumentJson());
        QCOMPARE(second, first);

        // Loading into a project that already holds content replaces it all.
        ProjectItem reused;
        reused.addModel()->addTable()->setName("leftover");
        reused.addMapping();
        QVERIFY(reused.loadDocumentJson(parse(first)));
        QCOMPARE(indented(reused.toDocumentJson()), first);

        // What came back, beyond the text.
        QCOMPARE(fresh.id(), original.id());
        QCOMPARE(fresh.name(), QString("Round Trip"));
        const QList<ModelItem*> models = fresh.models();
        QCOMPARE(models.size(), 2);
        QCOMPARE(models.at(0)->name(), QString("Archive"));
        ModelItem* sales = models.at(1);
        QCOMPARE(sales->dialect(), QString("PostgreSQL"));
        QCOMPARE(sales->tables().size(), 3);
        QCOMPARE(sales->sequences().size(), 1);
        QCOMPARE(sales->sequences().first()->startValue(), qint64(1000));
        QCOMPARE(sales->documents().first()->name(), QString("glossary.md"));
        QCOMPARE(fresh.mappings().first()->name(), QString("legacy_customer"));

        const QList<DiagramItem*> diagrams = sales->diagrams();
        QCOMPARE(diagrams.size(), 2);
        QCOMPARE(diagrams.at(0)->name(), QString("Order detail"));
        QCOMPARE(diagrams.at(1)->name(), QString("Overview"));
        QCOMPARE(diagrams.at(1)->modelId(), sales->id());
        const DiagramItem* originalOverview = original.findDiagram(diagrams.at(1)->id());
        QVERIFY(originalOverview);
        QCOMPARE(diagrams.at(1)->data(), originalOverview->data());
        QVERIFY(!diagrams.at(1)->data().contains("id"));

        TableItem* lines = nullptr;
        for (TableItem* table : sales->tables()) {
            if (table->name() == QLatin1String("order_lines"))
                lines = table;
        }
        QVERIFY(lines);
        const ConstraintItem* foreignKey = lines->constraintOfType(ConstraintItem::ForeignKey);
        QVERIFY(foreignKey);
        QCOMPARE(foreignKey->columns().size(), 2);
        QCOMPARE(foreignKey->referencedColumns().size(), 2);
        QCOMPARE(lines->columnByName("note")->displayType(), QString("VARCHAR(MAX)"));
        QCOMPARE(lines->columnByName("line_no")->length(), 11);

        // The envelope carries one content element per diagram, each with its id.
        const QJsonArray contents = parse(first).value("diagrams").toArray();
        QCOMPARE(contents.size(), 3);
        for (const QJsonValue& content : contents)
            QVERIFY(fresh.findDiagram(content.toObject().value("id").toString()));
    }

    // Save writes the file straight from the items; the bytes must be those
    // of the document's JSON written out, whatever the project holds.
    void fileTextFromItemsIsTheDocumentText()
    {
        // The compact form, kept only for comparing, is Qt's compact text.
        const auto check = [](const ProjectItem& project, const QString& what) {
            QVERIFY2(ProjectItem::documentText(project.documentParts()) == indented(project.toDocumentJson()),
                     qPrintable(what));
            QVERIFY2(project.documentParts(true).data
                         == QJsonDocument(project.toJson()).toJson(QJsonDocument::Compact),
                     qPrintable(what));
        };
        ProjectItem sample;
        buildSampleProject(sample);
        TableItem* odd = sample.models().at(1)->addTable();
        odd->setName(QString::fromUtf8("t\u00e4ble \"q\"\t\xf0\x9f\x98\x80"));
        ColumnItem* column = odd->addColumn();
        column->setName(QString::fromUtf8("\u00fcber"));
        column->setDefaultValue("'a\\b'");
        column->setNullable(false);
        column->setPersonal(true);
        column->setSensible(true);
        column->setPrecision(0);
        column->setScale(2147483647);
        column->setLength(12);
        column->addClassification()->setName("GDPR");
        odd->addColumn();
        check(sample, "sample project");

        int files = 0;
        QDirIterator it(QStringLiteral(QUILLMAP_TEST_DATA_DIR), {QStringLiteral("*.json")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            ProjectItem project;
            if (!project.loadDocumentJson(parse(file.readAll())))
                continue;
            ++files;
            check(project, file.fileName());
        }
        QVERIFY(files >= 3);

        QRandomGenerator random(20251210);
        for (int round = 0; round < 300; ++round) {
            QJsonObject root{{"type", "quill-project"}, {"data", randomValue(random, 6)}};
            if (round % 2)
                root.insert("data", QJsonObject{{"models", QJsonArray{randomValue(random, 5), randomValue(random, 5)}}});
            ProjectItem project;
            QVERIFY(project.loadDocumentJson(root));
            check(project, QStringLiteral("random document %1").arg(round));
        }
    }

    void diagramContentElements()
    {
        ProjectItem project;
        ModelItem* model = project.addModel();
        DiagramItem* stored = model->addDiagram();
        stored->setName("Stored");
        stored->setData(QJsonObject{{"id", "stale"}, {"type", "er-diagram"}});
        DiagramItem* never = model->addDiagram();
        never->setName("Never captured");

        const QJsonArray contents = project.toDocumentJson().value("diagrams").toArray();
        QCOMPARE(contents.size(), 2);
        // Name order: "Never captured" first.
        QCOMPARE(contents.at(0).toObject(), (QJsonObject{{"id", never->id()}}));
        QCOMPARE(contents.at(1).toObject(),
                 (QJsonObject{{"id", stored->id()}, {"type", "er-diagram"}}));
    }

    void readingDiagramElements()
    {
        const QString modelId = "m-1";
        QJsonObject root{
            {"type", "quill-project"},
            {"data", QJsonObject{{"id", "p"}, {"name", "P"},
                                 {"models", QJsonArray{QJsonObject{
                                     {"id", modelId},
                                     {"diagrams", QJsonArray{QJsonObject{{"id", "d-known"}, {"name", "Known"}},
                                                             QJsonObject{{"id", "d-empty"}, {"name", "Empty"}}}}}}}}},
            {"diagrams", QJsonArray{
                QJsonObject{{"entities", QJsonArray()}},                      // no id
                QJsonObject{{"id", ""}, {"entities", QJsonArray()}},          // empty id
                QJsonObject{{"id", 7}},                                       // id not a string
                "not an object",
                QJsonObject{{"id", "d-known"}, {"name", "Ignored"}, {"dialect", "first"}},
                QJsonObject{{"id", "d-known"}, {"dialect", "second"}},
                QJsonObject{{"id", "d-named"}, {"name", "From file"}, {"dialect", "x"}},
                QJsonObject{{"id", "d-unnamed"}, {"name", 5}}}}};

        ProjectItem project;
        QVERIFY(project.loadDocumentJson(root));
        ModelItem* model = project.model(modelId);
        QVERIFY(model);
        QCOMPARE(model->diagrams().size(), 5);
        DiagramItem* known = model->diagram("d-known");
        QCOMPARE(known->name(), QString("Known"));
        QCOMPARE(known->data(), (QJsonObject{{"name", "Ignored"}, {"dialect", "first"}}));
        // A second content under a taken id becomes a diagram of its own.
        const QList<DiagramItem*> diagrams = model->diagrams();
        const auto extra = std::find_if(diagrams.cbegin(), diagrams.cend(), [](const DiagramItem* d) {
            return d->data() == QJsonObject{{"dialect", "second"}};
        });
        QVERIFY(extra != diagrams.cend());
        QVERIFY(isGeneratedItemId((*extra)->id()));
        QCOMPARE((*extra)->name(), QString("Diagram"));
        QVERIFY(model->diagram("d-empty")->data().isEmpty());
        DiagramItem* named = model->diagram("d-named");
        QCOMPARE(named->name(), QString("From file"));
        QCOMPARE(named->modelId(), modelId);
        QCOMPARE(named->data(), (QJsonObject{{"name", "From file"}, {"dialect", "x"}}));
        QCOMPARE(model->diagram("d-unnamed")->name(), QString("Diagram"));

        // Without models, unplaced elements are dropped.
        root.insert("data", QJsonObject());
        QVERIFY(project.loadDocumentJson(root));
        QVERIFY(project.models().isEmpty());
        QCOMPARE(project.findDiagram("d-named"), nullptr);
        QCOMPARE(project.id(), QString("p"));  // kept from the previous file
    }

    // Models that share a diagram id: the first model by id keeps it, the
    // other diagram gets a fresh one, and the stored contents under that id
    // go to them in the order a writer lists them, so none is lost or
    // written over.
    void sharedDiagramIdsAcrossModels_data()
    {
        QTest::addColumn<QJsonArray>("contents");
        QTest::addColumn<QStringList>("expected");  // content of m1's, then m2's diagram
        const QJsonObject a{{"id", "d"}, {"dialect", "A"}};
        const QJsonObject b{{"id", "d"}, {"dialect", "B"}};
        QTest::newRow("one content") << QJsonArray{a} << QStringList{"A", ""};
        QTest::newRow("one content each") << QJsonArray{a, b} << QStringList{"A", "B"};
        QTest::newRow("no content") << QJsonArray{} << QStringList{"", ""};
    }

    void sharedDiagramIdsAcrossModels()
    {
        QFETCH(QJsonArray, contents);
        QFETCH(QStringList, expected);
        const QJsonObject root{
            {"type", "quill-project"},
            {"data", QJsonObject{{"models", QJsonArray{
                QJsonObject{{"id", "m2"}, {"diagrams", QJsonArray{QJsonObject{{"id", "d"}, {"name", "Two"}}}}},
                QJsonObject{{"id", "m1"}, {"diagrams", QJsonArray{QJsonObject{{"id", "d"}, {"name", "One"}}}}}}}}},
            {"diagrams", contents}};
        ProjectItem project;
        QVERIFY(project.loadDocumentJson(root));
        DiagramItem* one = project.model("m1")->diagrams().value(0);
        DiagramItem* two = project.model("m2")->diagrams().value(0);
        QVERIFY(one && two);
        QCOMPARE(one->id(), QString("d"));
        QVERIFY(isGeneratedItemId(two->id()));
        QCOMPARE(two->name(), QString("Two"));
        QCOMPARE(two->modelId(), QString("m2"));
        QCOMPARE(project.findDiagram(two->id()), two);
        QCOMPARE(one->data().value("dialect").toString(), expected.at(0));
        QCOMPARE(two->data().value("dialect").toString(), expected.at(1));

        // Written and read again, each content stays with its diagram.
        const QByteArray written = indented(project.toDocumentJson());
        ProjectItem again;
        QVERIFY(again.loadDocumentJson(parse(written)));
        QCOMPARE(again.findDiagram("d")->data(), one->data());
        QCOMPARE(again.findDiagram(two->id())->data(), two->data());
        QCOMPARE(indented(again.toDocumentJson()), written);
    }

    // Two models of one id stay two; the diagrams of the one that gets a
    // fresh id name it as their model.
    void modelsSharingAnIdStayApart()
    {
        const QJsonObject root{
            {"type", "quill-project"},
            {"data", QJsonObject{{"models", QJsonArray{
                QJsonObject{{"id", "m"}, {"name", "First"}, {"diagrams", QJsonArray{QJsonObject{{"id", "d1"}}}}},
                QJsonObject{{"id", "m"}, {"name", "Second"},
                            {"diagrams", QJsonArray{QJsonObject{{"id", "d2"}, {"modelId", "m"}}}}}}}}}};
        ProjectItem project;
        QVERIFY(project.loadDocumentJson(root));
        QCOMPARE(project.models().size(), 2);
        QCOMPARE(project.model("m")->name(), QString("First"));
        const ModelItem* second = project.models().at(1);
        QCOMPARE(second->name(), QString("Second"));
        QVERIFY(isGeneratedItemId(second->id()));
        QCOMPARE(second->diagram("d2")->modelId(), second->id());
        QCOMPARE(project.model("m")->diagram("d1")->modelId(), QString("m"));
    }

    void nullDataEmptiesTheProject()
    {
        ProjectItem project;
        project.setName("Kept");
        QPointer<ModelItem> model = project.addModel();
        QPointer<MappingItem> mapping = project.addMapping();
        QVERIFY(project.loadDocumentJson(QJsonObject{{"type", "quill-project"}, {"data", QJsonValue::Null}}));
        QVERIFY(model.isNull() && mapping.isNull());  // destroyed at once
        QVERIFY(project.models().isEmpty() && project.mappings().isEmpty());
        QCOMPARE(project.name(), QString("Kept"));
    }

    void modelsAndLookUps()
    {
        ProjectItem project;
        ModelItem* beta = project.addModel();
        beta->setName("beta");
        ModelItem* alpha = project.addModel();
        alpha->setName("Alpha");
        ModelItem* upper = project.addModel();
        upper->setName("BETA");
        QCOMPARE(beta->parent(), &project);
        QCOMPARE(project.models().first(), alpha);
        QCOMPARE(project.model(alpha->id()), alpha);
        QCOMPARE(project.modelByName("ALPHA"), alpha);
        QCOMPARE(project.modelByName(" alpha"), nullptr);
        ModelItem* found = project.modelByName("Beta");
        QVERIFY(found == beta || found == upper);
        QCOMPARE(project.modelByName("Beta"), found);  // the same one every time

        DiagramItem* diagram = upper->addDiagram();
        QCOMPARE(project.findDiagram(diagram->id()), diagram);
        QPointer<ModelItem> removed = upper;
        project.removeModel(upper->id());
        QCOMPARE(project.model(removed->id()), nullptr);
        QCOMPARE(project.findDiagram(diagram->id()), nullptr);
        QCOMPARE(project.models().size(), 2);
        QVERIFY(!removed.isNull());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(removed.isNull());

        MappingItem* mapping = project.addMapping();
        QCOMPARE(mapping->parent(), &project);
        project.removeMapping("unknown");
        QCOMPARE(project.mappings().size(), 1);
        project.removeMapping(mapping->id());
        QVERIFY(project.mappings().isEmpty());
    }

    void uniqueModelName()
    {
        ProjectItem project;
        QCOMPARE(project.uniqueModelName(), QString("Model 1"));
        project.addModel()->setName("model 1");
        QCOMPARE(project.uniqueModelName(), QString("Model 1"));
        project.addModel()->setName("Model 1");
        project.addModel()->setName("Model 3");
        project.addModel();  // nameless
        QCOMPARE(project.uniqueModelName(), QString("Model 2"));
    }

    void damagedDocumentsLoadLeniently()
    {
        const QByteArray text = R"j({
            "type": "quill-project",
            "data": {
                "id": 17, "name": ["x"],
                "models": [5, "x", null,
                           {"id": "m-tables-object", "tables": {"a": 1}},
                           {"id": "m-odd", "tables": [1, {"id": "t", "columns": "x",
                                                           "constraints": [{"columns": {"a": 1}, "type": 0}],
                                                           "indexes": [[], {"unique": "yes"}]}],
                            "diagrams": [{"id": "d", "modelId": 3}]}],
                "mappings": {"id": "x"},
                "documents": [[]]
            },
            "diagrams": [5, {"id": 5}, {"id": ""}, {"id": "ghost", "name": 7}, {"id": "d", "x": 1}]
        })j";
        ProjectItem project;
        const QString id = project.id();
        QVERIFY(project.loadDocumentJson(parse(text)));
        QCOMPARE(project.id(), id);
        QCOMPARE(project.name(), QString("Untitled Project"));
        QCOMPARE(project.models().size(), 5);
        QVERIFY(project.mappings().isEmpty());
        ModelItem* odd = project.model("m-odd");
        QVERIFY(odd);
        QCOMPARE(odd->tables().size(), 2);
        TableItem* table = odd->table("t");
        QVERIFY(table->columns().isEmpty());
        QCOMPARE(table->constraints().first()->type(), int(ConstraintItem::Unique));
        QVERIFY(table->constraints().first()->columns().isEmpty());
        QCOMPARE(table->indexes().size(), 2);
        QVERIFY(!table->indexes().at(1)->unique());
        QCOMPARE(odd->diagram("d")->modelId(), QString("m-odd"));
        QCOMPARE(odd->diagram("d")->data(), (QJsonObject{{"x", 1}}));
        DiagramItem* ghost = project.findDiagram("ghost");
        QVERIFY(ghost);
        QCOMPARE(ghost->name(), QString("Diagram"));

        // Whatever came in, what goes out reads back to the same text.
        const QByteArray written = indented(project.toDocumentJson());
        ProjectItem again;
        QVERIFY(again.loadDocumentJson(parse(written)));
        QCOMPARE(indented(again.toDocumentJson()), written);
    }

    void randomDocumentsNeverBreakTheReader()
    {
        QRandomGenerator random(20240611);
        for (int round = 0; round < 400; ++round) {
            QJsonObject root = randomValue(random, 5).toObject();
            root.insert("type", "quill-project");
            if (random.bounded(4) != 0)
                root.insert("data", randomValue(random, 6));
            else
                root.insert("data", QJsonObject{{"models", QJsonArray{randomValue(random, 5)}}});
            ProjectItem project;
            QVERIFY(project.loadDocumentJson(root));
            const QJsonObject written = project.toDocumentJson();
            ProjectItem again;
            QVERIFY(again.loadDocumentJson(written));
            QCOMPARE(again.models().size(), project.models().size());
        }
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestProjectItem)
#include "tst_projectitem.moc"
