#include "common/testmain.h"
#include "model/classificationitem.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/indexitem.h"
#include "model/itemid.h"
#include "model/mappingitem.h"
#include "model/relationshipitem.h"
#include "model/sequenceitem.h"
#include "model/viewitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QtTest>

#include <limits>

namespace {

// A value of another JSON type than the one given.
QJsonValue mistyped(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return 5;
    case QJsonValue::Bool:
        return QStringLiteral("true");
    case QJsonValue::Double:
        return QStringLiteral("7");
    case QJsonValue::Array:
        return QJsonObject{{"0", "x"}};
    case QJsonValue::Object:
        return QJsonArray{"x"};
    default:
        return QStringLiteral("x");
    }
}

QJsonObject withoutId(QJsonObject object)
{
    object.remove("id");
    return object;
}

QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Reading an object whose keys are all of the wrong type, an empty object or
// one with unknown keys gives the constructor values and keeps the id; keys
// that are not part of the object are never written back.
template <typename T>
void checkLenientReading()
{
    T fresh;
    const QJsonObject defaults = fresh.toJson();

    QJsonObject damaged;
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        damaged.insert(it.key(), mistyped(it.value()));

    const QList<QJsonObject> inputs{damaged, QJsonObject(),
                                    QJsonObject{{"unknownKey", 1}, {"Name", "upper-case key"}}};
    for (const QJsonObject& input : inputs) {
        T item;
        const QString id = item.id();
        item.fromJson(input);
        QCOMPARE(item.id(), id);
        QCOMPARE(text(withoutId(item.toJson())), text(withoutId(defaults)));
    }
}

// A new item takes its parent and a fresh id of the canonical form, which
// its JSON object carries.
template <typename T>
void checkFreshId(QSet<QString>& seen)
{
    QObject owner;
    auto* item = new T(&owner);
    QCOMPARE(item->parent(), &owner);
    QVERIFY2(isGeneratedItemId(item->id()), qPrintable(item->id()));
    QVERIFY(!seen.contains(item->id()));
    seen.insert(item->id());
    QCOMPARE(item->toJson().value("id"), QJsonValue(item->id()));
}

} // namespace

class TestItems : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newItemsHaveFreshIds()
    {
        QSet<QString> ids;
        checkFreshId<ClassificationItem>(ids);
        checkFreshId<ColumnItem>(ids);
        checkFreshId<ConstraintItem>(ids);
        checkFreshId<IndexItem>(ids);
        checkFreshId<ViewItem>(ids);
        checkFreshId<RelationshipItem>(ids);
        checkFreshId<SequenceItem>(ids);
        checkFreshId<DiagramItem>(ids);
        checkFreshId<MappingItem>(ids);
        checkFreshId<DocumentItem>(ids);
    }

    // Every key is written for a new item, empty values included; the sizes
    // of a column only while they are set.
    void newItemsWriteEveryKey()
    {
        QCOMPARE(ClassificationItem().toJson().keys(),
                 QStringList({"description", "id", "name", "regulation"}));
        QCOMPARE(ColumnItem().toJson().keys(),
                 QStringList({"classification", "classifications", "comment", "dataType",
                              "defaultValue", "id", "name", "nullable", "personal", "sensible"}));
        QCOMPARE(ConstraintItem().toJson().keys(),
                 QStringList({"columns", "description", "expression", "id", "name",
                              "referencedColumns", "referencedTableId", "type"}));
        QCOMPARE(IndexItem().toJson().keys(), QStringList({"columns", "description", "id", "name", "unique"}));
        QCOMPARE(ViewItem().toJson().keys(), QStringList({"comment", "definition", "id", "name", "schema"}));
        QCOMPARE(RelationshipItem().toJson().keys(),
                 QStringList({"constraintId", "description", "fromTableId", "id", "name", "toTableId"}));
        QCOMPARE(SequenceItem().toJson().keys(),
                 QStringList({"columnId", "comment", "cycle", "id", "increment", "maxValue", "minValue",
                              "name", "startValue", "tableId"}));
        QCOMPARE(DiagramItem().toJson().keys(), QStringList({"id", "modelId", "name"}));
        QCOMPARE(MappingItem().toJson().keys(),
                 QStringList({"description", "id", "name", "sourceColumnId", "sourceModelId",
                              "sourceTableId", "targetColumnId", "targetModelId", "targetTableId"}));
        QCOMPARE(DocumentItem().toJson().keys(), QStringList({"description", "fileName", "fileType", "id"}));

        // Values written are the values held, empty ones as "".
        const QJsonObject column = ColumnItem().toJson();
        QCOMPARE(column.value("name"), QJsonValue(""));
        QCOMPARE(column.value("personal"), QJsonValue(false));
        const QJsonObject index = IndexItem().toJson();
        QCOMPARE(index.value("unique"), QJsonValue(false));
        QCOMPARE(index.value("columns"), QJsonValue(QJsonArray()));
    }

    void writtenValuesReadBack()
    {
        ColumnItem column;
        column.setName("email");
        column.setDataType("VARCHAR(120)");
        column.setNullable(false);
        column.setComment("Login");
        column.setDefaultValue("''");
        column.setPersonal(true);
        column.setSensible(true);
        column.setClassification("Personal");
        column.addClassification()->setName("Personal");
        ColumnItem copy;
        copy.fromJson(column.toJson());
        QCOMPARE(copy.toJson(), column.toJson());
        QCOMPARE(copy.displayType(), QString("VARCHAR(120)"));
        QVERIFY(!copy.nullable() && copy.personal() && copy.sensible());

        // Sizes are written only while set, a scale of 0 included.
        ColumnItem decimal;
        decimal.setDataType("DECIMAL");
        decimal.setPrecision(10);
        decimal.setScale(0);
        const QJsonObject sized = decimal.toJson();
        QCOMPARE(sized.value("precision"), QJsonValue(10));
        QCOMPARE(sized.value("scale"), QJsonValue(0));
        QVERIFY(!sized.contains("length"));
        ColumnItem decimalCopy;
        decimalCopy.fromJson(sized);
        QCOMPARE(decimalCopy.toJson(), sized);

        SequenceItem sequence;
        sequence.setName("s");
        sequence.setStartValue(-7);
        sequence.setIncrement(3);
        sequence.setCycle(true);
        sequence.setMinValue("-7");
        SequenceItem sequenceCopy;
        sequenceCopy.fromJson(sequence.toJson());
        QCOMPARE(sequenceCopy.toJson(), sequence.toJson());
        QCOMPARE(sequenceCopy.startValue(), qint64(-7));
        QVERIFY(sequenceCopy.cycle());

        IndexItem index;
        index.setUnique(true);
        index.setColumns({"a", "b"});
        IndexItem indexCopy;
        indexCopy.fromJson(index.toJson());
        QVERIFY(indexCopy.unique());
        QCOMPARE(indexCopy.columns(), QStringList({"a", "b"}));
    }

    void lenientReading()
    {
        checkLenientReading<ClassificationItem>();
        checkLenientReading<ColumnItem>();
        checkLenientReading<ConstraintItem>();
        checkLenientReading<IndexItem>();
        checkLenientReading<ViewItem>();
        checkLenientReading<RelationshipItem>();
        checkLenientReading<SequenceItem>();
        checkLenientReading<DiagramItem>();
        checkLenientReading<MappingItem>();
        checkLenientReading<DocumentItem>();
    }

    void idIsTakenOnlyFromAString()
    {
        ViewItem view;
        const QString fresh = view.id();
        view.fromJson(QJsonObject{{"id", 42}});
        QCOMPARE(view.id(), fresh);
        view.fromJson(QJsonObject{{"id", QJsonValue::Null}});
        QCOMPARE(view.id(), fresh);
        view.fromJson(QJsonObject{{"id", "Some-Other-ID"}});
        QCOMPARE(view.id(), QString("Some-Other-ID"));
        view.fromJson(QJsonObject{{"id", ""}});
        QCOMPARE(view.id(), QString(""));
    }


    // Each row: the type a column had, its sizes, then the text set.
    void setDataType_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("display");

        QTest::newRow("length") << "" << "varchar(50)" << "varchar" << 50 << -1 << -1 << "varchar(50)";
        QTest::newRow("pair") << "" << "DECIMAL(10, 2)" << "DECIMAL" << -1 << 10 << 2 << "DECIMAL(10,2)";
        QTest::newRow("precision") << "" << "NUMERIC(8)" << "NUMERIC" << -1 << 8 << -1 << "NUMERIC(8)";
        QTest::newRow("pair on text type, was numeric") << "DECIMAL(10,2)" << "VARCHAR(10,2)"
            << "VARCHAR(10,2)" << -1 << -1 << -1 << "VARCHAR(10,2)";
        QTest::newRow("numeric to integer") << "DECIMAL(10,2)" << "INTEGER" << "INTEGER" << -1 << -1 << -1 << "INTEGER";
        QTest::newRow("text to text keeps length") << "VARCHAR(50)" << "TEXT" << "TEXT" << 50 << -1 << -1 << "TEXT(50)";
        QTest::newRow("text to numeric drops length") << "VARCHAR(50)" << "NUMBER" << "NUMBER" << -1 << -1 << -1 << "NUMBER";
        QTest::newRow("numeric to numeric keeps sizes") << "NUMBER(10,2)" << "DECIMAL" << "DECIMAL" << -1 << 10 << 2 << "DECIMAL(10,2)";
        QTest::newRow("empty keeps sizes") << "VARCHAR(50)" << "" << "" << 50 << -1 << -1 << "";
        QTest::newRow("blank keeps sizes") << "NUMBER(4,1)" << "   " << "" << -1 << 4 << 1 << "";
        QTest::newRow("sized replaces sized") << "NUMBER(10,2)" << "CHAR(3)" << "CHAR" << 3 << -1 << -1 << "CHAR(3)";
        QTest::newRow("too large figure") << "VARCHAR(20)" << "CHAR(99999999999)"
            << "CHAR(99999999999)" << 20 << -1 << -1 << "CHAR(99999999999)";
    }
    void setDataType()
    {
        QFETCH(QString, before);
        QFETCH(QString, text);
        ColumnItem column;
        column.setDataType(before);
        column.setDataType(text);
        QTEST(column.dataType(), "type");
        QTEST(column.length(), "length");
        QTEST(column.precision(), "precision");
        QTEST(column.scale(), "scale");
        QTEST(column.displayType(), "display");
    }


    void readColumn_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");

        QTest::newRow("plain sizes as read") << QByteArray(R"j({"dataType":"VARCHAR","precision":5,"length":20})j")
                                             << "VARCHAR" << 20 << 5 << -1;
        QTest::newRow("suffix wins over length") << QByteArray(R"j({"dataType":"VARCHAR(50)","length":20})j")
                                                 << "VARCHAR" << 50 << -1 << -1;
        QTest::newRow("numeric suffix clears length") << QByteArray(R"j({"dataType":"DECIMAL(10,2)","length":5})j")
                                                      << "DECIMAL" << -1 << 10 << 2;
        QTest::newRow("trimmed") << QByteArray(R"j({"dataType":"  TEXT "})j") << "TEXT" << -1 << -1 << -1;
        QTest::newRow("fractional size") << QByteArray(R"j({"dataType":"CHAR","length":2.5})j") << "CHAR" << -1 << -1 << -1;
        QTest::newRow("size beyond int") << QByteArray(R"j({"dataType":"CHAR","length":3000000000})j") << "CHAR" << -1 << -1 << -1;
        QTest::newRow("size as text") << QByteArray(R"j({"dataType":"CHAR","length":"12"})j") << "CHAR" << -1 << -1 << -1;
    }
    void readColumn()
    {
        QFETCH(QByteArray, json);
        ColumnItem column;
        column.fromJson(QJsonDocument::fromJson(json).object());
        QTEST(column.dataType(), "type");
        QTEST(column.length(), "length");
        QTEST(column.precision(), "precision");
        QTEST(column.scale(), "scale");
    }

    void columnClassifications()
    {
        const QJsonObject withList{
            {"classifications", QJsonArray{QJsonObject{{"name", "Confidential"}, {"regulation", "GDPR"}},
                                           "not an object"}}};
        ColumnItem column;
        column.fromJson(withList);
        QCOMPARE(column.classification(), QString("Confidential"));
        QCOMPARE(column.classifications().size(), 2);
        QCOMPARE(column.classifications().at(0)->regulation(), QString("GDPR"));
        QVERIFY(isGeneratedItemId(column.classifications().at(1)->id()));
        QCOMPARE(column.classifications().at(0)->parent(), &column);

        // Reading again replaces the children, destroying the old ones at once.
        QPointer<ClassificationItem> old = column.classifications().at(0);
        column.fromJson(withList);
        QVERIFY(old.isNull());
        QCOMPARE(column.classifications().size(), 2);

        QJsonObject explicitEmpty = withList;
        explicitEmpty.insert("classification", "");
        column.fromJson(explicitEmpty);
        QCOMPARE(column.classification(), QString());

        ClassificationItem* added = column.addClassification();
        QCOMPARE(added->parent(), &column);
        QCOMPARE(column.classifications().last(), added);
    }

    void constraintTypes_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("type");
        QTest::newRow("primaryKey") << QJsonValue("primaryKey") << 0;
        QTest::newRow("foreignKey") << QJsonValue("foreignKey") << 1;
        QTest::newRow("check") << QJsonValue("check") << 3;
        QTest::newRow("unique") << QJsonValue("unique") << 2;
        QTest::newRow("upper case") << QJsonValue("PRIMARYKEY") << 2;
        QTest::newRow("capitalised") << QJsonValue("PrimaryKey") << 2;
        QTest::newRow("pk") << QJsonValue("pk") << 2;
        QTest::newRow("number") << QJsonValue(0) << 2;
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 2;
    }
    void constraintTypes()
    {
        QFETCH(QJsonValue, value);
        QFETCH(int, type);
        QJsonObject object;
        if (!value.isUndefined())
            object.insert("type", value);
        ConstraintItem constraint;
        constraint.setType(ConstraintItem::Check);
        constraint.fromJson(object);
        QCOMPARE(constraint.type(), type);
        QCOMPARE(ConstraintItem::typeFromString(ConstraintItem::typeToString(type)), type);
    }

    void constraintWriting()
    {
        // An unknown type number is written as the default type.
        ConstraintItem constraint;
        constraint.setType(7);
        QCOMPARE(constraint.toJson().value("type"), QJsonValue("unique"));

        constraint.setType(ConstraintItem::Check);
        constraint.setExpression("qty > 0");
        constraint.setType(ConstraintItem::PrimaryKey);
        const QJsonObject json = constraint.toJson();
        QCOMPARE(json.value("type"), QJsonValue("primaryKey"));
        QCOMPARE(json.value("expression"), QJsonValue("qty > 0"));
    }

    void idListsAreReplacedOnEachRead()
    {
        ConstraintItem constraint;
        constraint.fromJson(QJsonObject{{"columns", QJsonArray{"a", 5, "b"}},
                                        {"referencedColumns", QJsonArray{"x"}}});
        QCOMPARE(constraint.columns(), QStringList({"a", "", "b"}));
        constraint.fromJson(QJsonObject{{"columns", QJsonArray{"c"}}});
        QCOMPARE(constraint.columns(), QStringList({"c"}));
        QVERIFY(constraint.referencedColumns().isEmpty());

        IndexItem index;
        index.fromJson(QJsonObject{{"unique", true}, {"columns", QJsonArray{"a", "b"}}});
        QVERIFY(index.unique());
        index.fromJson(QJsonObject{{"columns", QJsonArray{"b"}}});
        QVERIFY(!index.unique());
        QCOMPARE(index.columns(), QStringList({"b"}));
    }

    void relationshipDisplayName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fromTable");
        QTest::addColumn<QString>("toTable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("named") << "orders_customers" << "a" << "b" << "orders_customers";
        QTest::newRow("blank name") << " " << "a" << "b" << " ";
        QTest::newRow("ids") << "" << "1f0c2a9e-0000-4000-8000-000000000001"
                             << "77b1d4c0-0000-4000-8000-000000000002"
                             << QString::fromUtf8("1f0c2a9e \u2192 77b1d4c0");
        QTest::newRow("short id whole") << "" << "t1" << "77b1d4c0-aaaa" << QString::fromUtf8("t1 \u2192 77b1d4c0");
        QTest::newRow("no from table") << "" << "" << "77b1d4c0" << "Relationship";
        QTest::newRow("no to table") << "" << "1f0c2a9e" << "" << "Relationship";
    }
    void relationshipDisplayName()
    {
        QFETCH(QString, name);
        QFETCH(QString, fromTable);
        QFETCH(QString, toTable);
        RelationshipItem relationship;
        relationship.setName(name);
        relationship.setFromTableId(fromTable);
        relationship.setToTableId(toTable);
        QTEST(relationship.displayName(), "expected");
        QVERIFY(!relationship.toJson().contains("displayName"));
    }

    void sequenceNumbers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<qint64>("startValue");
        QTest::addColumn<qint64>("increment");
        QTest::newRow("missing") << QByteArray("{}") << qint64(1) << qint64(1);
        QTest::newRow("whole") << QByteArray(R"j({"startValue":100,"increment":-5})j") << qint64(100) << qint64(-5);
        QTest::newRow("fraction truncated") << QByteArray(R"j({"startValue":2.9,"increment":-2.9})j") << qint64(2) << qint64(-2);
        QTest::newRow("string") << QByteArray(R"j({"startValue":"10","increment":true})j") << qint64(1) << qint64(1);
        QTest::newRow("beyond 2^53 exact") << QByteArray(R"j({"startValue":9007199254740993})j")
                                           << qint64(9007199254740993LL) << qint64(1);
        QTest::newRow("saturates") << QByteArray(R"j({"startValue":1e30,"increment":-1e30})j")
                                   << std::numeric_limits<qint64>::max() << std::numeric_limits<qint64>::min();
    }
    void sequenceNumbers()
    {
        QFETCH(QByteArray, json);
        SequenceItem sequence;
        sequence.fromJson(QJsonDocument::fromJson(json).object());
        QTEST(sequence.startValue(), "startValue");
        QTEST(sequence.increment(), "increment");
    }

    // The largest start value survives writing, the text and reading.
    void sequenceLargestStartRoundTrip()
    {
        SequenceItem sequence;
        sequence.setStartValue(std::numeric_limits<qint64>::max());
        SequenceItem copy;
        copy.fromJson(QJsonDocument::fromJson(QJsonDocument(sequence.toJson()).toJson()).object());
        QCOMPARE(copy.startValue(), std::numeric_limits<qint64>::max());
    }

    void diagramKeepsItsContentApart()
    {
        DiagramItem diagram;
        const QJsonObject scene{{"version", "1.0"}, {"type", "er-diagram"},
                                {"entities", QJsonArray{QJsonObject{{"id", "t1"}, {"title", "orders"}}}},
                                {"edges", QJsonArray()}, {"annotations", QJsonArray()},
                                {"dialect", "PostgreSQL"}};
        diagram.setData(scene);
        diagram.setName("Main");
        const QJsonObject json = diagram.toJson();
        QCOMPARE(json.keys(), QStringList({"id", "modelId", "name"}));

        diagram.fromJson(QJsonObject{{"id", "d1"}, {"name", "Other"}});
        QCOMPARE(diagram.data(), scene);
        QCOMPARE(diagram.modelId(), QString());
        QCOMPARE(diagram.name(), QString("Other"));
    }


    void mappingWithOnlyAnId()
    {
        MappingItem mapping;
        mapping.setName("old");
        mapping.setTargetColumnId("c");
        mapping.fromJson(QJsonObject{{"id", "m1"}});
        QCOMPARE(mapping.id(), QString("m1"));
        for (const QString& field : {mapping.name(), mapping.sourceModelId(), mapping.sourceTableId(),
                                     mapping.sourceColumnId(), mapping.targetModelId(),
                                     mapping.targetTableId(), mapping.targetColumnId(),
                                     mapping.description()})
            QVERIFY(field.isEmpty());
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestItems)
#include "tst_items.moc"
