// A diagram shaped like a database import, written as draw.io and as
// Mermaid and read back, keeps what each format can carry and never links a
// column to the wrong relationship.

#include "interchange/drawioreader.h"
#include "interchange/drawiowriter.h"
#include "interchange/mermaidreader.h"
#include "interchange/mermaidtojson.h"
#include "interchange/mermaidwriter.h"

#include "drawiosummary.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

// Columns as "name/type/keys/relationship", keys being P, U and F.
QJsonObject table(const char* id, const char* title, const QStringList& columns)
{
    QJsonArray attributes;
    for (const QString& text : columns) {
        const QStringList f = text.split(QLatin1Char('/'));
        QJsonObject column{{"name", f.at(0)}, {"type", f.at(1)}, {"isPrimaryKey", f.value(2).contains('P')},
                           {"isUniqueKey", f.value(2).contains('U')}, {"isForeignKey", f.value(2).contains('F')}};
        if (!f.value(3).isEmpty())
            column.insert("fkEdgeId", f.at(3));
        attributes.append(column);
    }
    static int placed = 0;
    return QJsonObject{{"id", id}, {"title", QString::fromUtf8(title)}, {"x", 300 * placed++}, {"y", 60}, {"attributes", attributes}};
}

// Composite keys, composite and self-referencing foreign keys, columns named
// like key markers, names with spaces and quotes.
QJsonObject databaseDiagram()
{
    const QJsonArray entities{
        table("country", "country", {"country_code/char(2)/P", "name/text"}),
        table("customer", "customer", {"customer_id/uuid/P", "country_code/char(2)/F/r_country", "referred_by/uuid/F/r_referral",
                                       "pk/int/U", "uk/text", "fk1/text"}),
        table("order", "sales order", {"order_id/bigint/P", "customer_id/uuid/F/r_orders", "PK/text", "FK2/int"}),
        table("line", "order_line", {"order_id/bigint/PF/r_lines", "line_no/int/P", "amount/numeric(12,2)"}),
        table("shipment", "shipment \"item\"", {"shipment_id/bigint/P", "order_id/bigint/F/r_shipped",
                                                 "line_no/int/F/r_shipped", "packed by/text"}),
        table("category", "category", {"category_id/int/P", "parent_id/int/F/r_parent", "uq/text/U", "pkey/text"}),
    };
    QJsonArray edges;
    for (const char* text : {"r_country:country>customer", "r_referral:customer>customer", "r_orders:customer>order",
                             "r_lines:order>line", "r_shipped:line>shipment", "r_parent:category>category"}) {
        const QStringList f = QString::fromLatin1(text).split(QRegularExpression(QStringLiteral("[:>]")));
        edges.append(QJsonObject{{"id", f[0]}, {"from", f[1]}, {"to", f[2]}, {"startCard", 0}, {"endCard", 1}});
    }
    return QJsonObject{{"entities", entities}, {"edges", edges}};
}

// The summary of the diagram, then "table.column -> from/to" for every
// linked column.
QStringList diagramWithLinks(const QJsonObject& diagram)
{
    QHash<QString, QString> titles, ends;
    for (const QJsonValue& value : diagram.value("entities").toArray())
        titles.insert(value["id"].toString(), value["title"].toString());
    for (const QJsonValue& value : diagram.value("edges").toArray())
        ends.insert(value["id"].toString(), titles.value(value["from"].toString()) + '/' + titles.value(value["to"].toString()));
    QStringList links;
    for (const QJsonValue& value : diagram.value("entities").toArray()) {
        for (const QJsonValue& attribute : value["attributes"].toArray()) {
            if (attribute["fkEdgeId"].isString())
                links << value["title"].toString() + '.' + attribute["name"].toString() + " -> "
                             + ends.value(attribute["fkEdgeId"].toString(), QStringLiteral("?"));
        }
    }
    links.sort();
    return summarizeDiagram(diagram, false) + links;
}

} // namespace

class TestDatabaseRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<bool>("mermaid");
        QTest::newRow("draw.io") << false;
        QTest::newRow("Mermaid") << true;
    }

    // Every table, column, type, key and relationship comes back, and every
    // column linked to its own relationship.
    void roundTrip()
    {
        QFETCH(bool, mermaid);
        const QJsonObject diagram = databaseDiagram();
        QString error;
        QJsonObject back;
        // A draw.io file keeps no link from a column to its relationship.
        const auto described = [mermaid](const QJsonObject& d) { return mermaid ? diagramWithLinks(d) : summarizeDiagram(d, false); };
        QStringList expected = described(diagram);
        if (mermaid) {
            QList<MermaidEntity> entities;
            QList<MermaidRelationship> relationships;
            QVERIFY2(parseMermaidText(sceneJsonToMermaid(diagram), entities, relationships, &error), qPrintable(error));
            back = mermaidModelToSceneJson(entities, relationships);
            // Mermaid carries no double quote in a title and no space in a
            // column name.
            expected.replaceInStrings(QStringLiteral("\"item\""), QStringLiteral("'item'"));
            expected.replaceInStrings(QStringLiteral("packed by"), QStringLiteral("packed_by"));
        } else {
            back = parseDrawioBytes(sceneJsonToDrawio(diagram).toUtf8(), &error);
        }
        QVERIFY2(!back.isEmpty(), qPrintable(error));
        QCOMPARE(described(back), expected);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseRoundTrip)
#include "tst_databaseroundtrip.moc"
