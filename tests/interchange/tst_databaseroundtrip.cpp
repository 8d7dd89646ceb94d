// A diagram shaped like a database import (composite keys, composite and
// self-referencing foreign keys, columns named like key markers, names with
// spaces and quotes) written as draw.io and as Mermaid and read back keeps
// what each format can carry, and never links a column to the wrong
// relationship.

#include "interchange/drawioreader.h"
#include "interchange/drawiowriter.h"
#include "interchange/mermaidreader.h"
#include "interchange/mermaidtojson.h"
#include "interchange/mermaidwriter.h"

#include "drawiosummary.h"

#include <QJsonDocument>
#include <QTest>

namespace {

// Column: name, type, key letters (P, U, F) and the relationship it refers
// through.
QJsonObject column(const char* name, const char* type, const char* keys = "", const char* edge = "")
{
    QJsonObject object{{"name", QString::fromUtf8(name)},
                       {"type", QString::fromUtf8(type)},
                       {"isPrimaryKey", QByteArray(keys).contains('P')},
                       {"isUniqueKey", QByteArray(keys).contains('U')},
                       {"isForeignKey", QByteArray(keys).contains('F')}};
    if (*edge)
        object.insert("fkEdgeId", QString::fromUtf8(edge));
    return object;
}

QJsonObject table(const char* id, const char* title, double x, const QJsonArray& columns)
{
    return QJsonObject{{"id", id}, {"title", QString::fromUtf8(title)}, {"x", x}, {"y", 60}, {"attributes", columns}};
}

QJsonObject edge(const char* id, const char* from, const char* to)
{
    return QJsonObject{{"id", id}, {"from", from}, {"to", to}, {"startCard", 0}, {"endCard", 1}};
}

QJsonObject databaseDiagram()
{
    const QJsonArray entities{
        table("country", "country", 0, {column("country_code", "char(2)", "P"), column("name", "text")}),
        table("customer", "customer", 300, {column("customer_id", "uuid", "P"),
                                            column("country_code", "char(2)", "F", "r_country"),
                                            column("referred_by", "uuid", "F", "r_referral"),
                                            column("pk", "int", "U"), column("uk", "text"),
                                            column("fk1", "text")}),
        table("order", "sales order", 600, {column("order_id", "bigint", "P"),
                                            column("customer_id", "uuid", "F", "r_orders"),
                                            column("PK", "text"), column("FK2", "int")}),
        table("line", "order_line", 900, {column("order_id", "bigint", "PF", "r_lines"),
                                          column("line_no", "int", "P"), column("amount", "numeric(12,2)")}),
        table("shipment", "shipment \"item\"", 1200, {column("shipment_id", "bigint", "P"),
                                                    column("order_id", "bigint", "F", "r_shipped"),
                                                    column("line_no", "int", "F", "r_shipped"),
                                                    column("packed by", "text")}),
        table("category", "category", 1500, {column("category_id", "int", "P"),
                                             column("parent_id", "int", "F", "r_parent"),
                                             column("uq", "text", "U"), column("pkey", "text")}),
    };
    const QJsonArray edges{edge("r_country", "country", "customer"), edge("r_referral", "customer", "customer"),
                           edge("r_orders", "customer", "order"),    edge("r_lines", "order", "line"),
                           edge("r_shipped", "line", "shipment"),    edge("r_parent", "category", "category")};
    return QJsonObject{{"entities", entities}, {"edges", edges}};
}

// "table.column -> from table/to table" for every linked column.
QStringList foreignKeyLinks(const QJsonObject& diagram)
{
    QHash<QString, QString> titles;
    for (const QJsonValue& value : diagram.value("entities").toArray())
        titles.insert(value["id"].toString(), value["title"].toString());
    QHash<QString, QString> ends;
    for (const QJsonValue& value : diagram.value("edges").toArray())
        ends.insert(value["id"].toString(), titles.value(value["from"].toString()) + QLatin1Char('/')
                                                 + titles.value(value["to"].toString()));
    QStringList links;
    for (const QJsonValue& value : diagram.value("entities").toArray()) {
        for (const QJsonValue& attribute : value["attributes"].toArray()) {
            const QString edgeId = attribute["fkEdgeId"].toString();
            if (!edgeId.isEmpty())
                links << value["title"].toString() + QLatin1Char('.') + attribute["name"].toString() + " -> "
                             + ends.value(edgeId, QStringLiteral("?"));
        }
    }
    links.sort();
    return links;
}

} // namespace

class TestDatabaseRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void throughDrawio();
    void throughMermaid();
};

void TestDatabaseRoundTrip::throughDrawio()
{
    const QJsonObject diagram = databaseDiagram();
    QString error;
    const QJsonObject back = parseDrawioBytes(sceneJsonToDrawio(diagram).toUtf8(), &error);
    QVERIFY2(!back.isEmpty(), qPrintable(error));
    // Every table, column, type, key and relationship, the self-references
    // and the columns named like key markers included.
    QCOMPARE(summarizeDiagram(back, false), summarizeDiagram(diagram, false));
}

void TestDatabaseRoundTrip::throughMermaid()
{
    const QJsonObject diagram = databaseDiagram();
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QString error;
    QVERIFY2(parseMermaidText(sceneJsonToMermaid(diagram), entities, relationships, &error), qPrintable(error));
    const QJsonObject back = mermaidModelToSceneJson(entities, relationships);

    // Mermaid carries no double quote in a title and no space in a column
    // name: those come back as a single quote and an underscore.
    QStringList expected = summarizeDiagram(diagram, false);
    expected.replaceInStrings(QStringLiteral("\"item\""), QStringLiteral("'item'"));
    expected.replaceInStrings(QStringLiteral("packed by"), QStringLiteral("packed_by"));
    QCOMPARE(summarizeDiagram(back, false), expected);

    // Each column comes back linked to its own relationship: both columns
    // of the composite reference, the self-references, the reference whose
    // column is named after another table's key. None is linked elsewhere.
    QStringList links = foreignKeyLinks(diagram);
    links.replaceInStrings(QStringLiteral("\"item\""), QStringLiteral("'item'"));
    QCOMPARE(foreignKeyLinks(back), links);
}

QTEST_GUILESS_MAIN(TestDatabaseRoundTrip)
#include "tst_databaseroundtrip.moc"
