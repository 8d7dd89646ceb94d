// The string, geometry and decision rules of diagram recognition: attribute
// lines, name scores, text runs to entities, box merging, link orientation
// and the diagram JSON made of a result.

#include "common/testmain.h"
#include "recognition/attributelines.h"
#include "recognition/diagramrecognition.h"
#include "recognition/glyphrecognition.h"
#include "recognition/rasterrecognition.h"
#include "recognition/recognitiongeometry.h"
#include "recognition/textentities.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QtTest>

namespace {

RecognizedEntity entity(const QString& title, const QStringList& attributeNames = {})
{
    RecognizedEntity e;
    e.title = title;
    for (const QString& name : attributeNames)
        e.attributes.append({name, QStringLiteral("int")});
    return e;
}

RecognizedLink lineLink(int from, int to, QLineF line)
{
    RecognizedLink link;
    link.from = from;
    link.to = to;
    link.line = line;
    link.hasLine = true;
    return link;
}

QRectF around(QPointF c, double size = 8)
{
    return QRectF(c.x() - size / 2, c.y() - size / 2, size, size);
}

} // namespace

class TestRecognitionRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void splitsAttributeLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::newRow("colon") << "customer_id : uuid" << "customer_id" << "uuid";
        QTest::newRow("bar") << "email | varchar(255)" << "email" << "varchar(255)";
        QTest::newRow("wide gap") << "name    text" << "name" << "text";
        QTest::newRow("primary key marker") << "PK id uuid" << "id" << "uuid";
        QTest::newRow("two markers") << "pk fk order_id int" << "order_id" << "int";
        QTest::newRow("markers in order") << "UK FK x" << "FK x" << "";
        QTest::newRow("no type word") << "first name" << "first name" << "";
        QTest::newRow("type last") << "created at timestamp" << "created at" << "timestamp";
        QTest::newRow("type alone") << "text" << "text" << "";
        QTest::newRow("parenthesis") << "Status(active)" << "Status(active)" << "";
        QTest::newRow("no-break spaces") << QString::fromUtf8("a\u00a0\u00a0:\u00a0int") << "a" << "int";
        QTest::newRow("ruled table, type first") << "varchar(254) | email | UK" << "email" << "varchar(254)";
        QTest::newRow("ruled table, name first") << "email | varchar(254) | UK" << "email" << "varchar(254) UK";
        QTest::newRow("type first, unruled") << "varchar(80) title" << "title" << "varchar(80)";
        QTest::newRow("type first with key") << "uuid customer_id FK" << "customer_id" << "uuid";
        QTest::newRow("type in brackets") << "created_at [timestamp without time zone]" << "created_at"
                                          << "timestamp without time zone";
        QTest::newRow("brackets after a gap") << "status | [enum('a','b')]" << "status" << "enum('a','b')";
        QTest::newRow("array in brackets") << "tags [text[]]" << "tags" << "text[]";
        QTest::newRow("empty brackets") << "tags []" << "tags []" << "";
        QTest::newRow("key icon read as a letter") << "m period_id bigint" << "period_id" << "bigint";
        QTest::newRow("key icon read as strokes") << "e- id uuid" << "id" << "uuid";
        QTest::newRow("one-letter name kept") << "x int" << "x" << "int";
        QTest::newRow("type with its size") << "rating mpaa_rating[2147483647]" << "rating" << "mpaa_rating[2147483647]";
    }
    void splitsAttributeLines()
    {
        QFETCH(QString, line);
        const auto split = splitAttributeLine(line);
        QTEST(split.first, "name");
        QTEST(split.second, "type");
    }

    void nameRules()
    {
        QVERIFY(isIdColumnName(" ID "));
        QVERIFY(isIdColumnName("id_customer"));
        QVERIFY(isIdColumnName("customer_id"));
        QVERIFY(!isIdColumnName("uuid"));
        QVERIFY(!isIdColumnName("identity"));
        for (const char* word : {"varchar(40)", "int4", "timestamp", "internal", "datetime2", "UUID"})
            QVERIFY2(isColumnTypeWord(word), word);
        for (const char* word : {"name", "in", "email", ""})
            QVERIFY2(!isColumnTypeWord(word), word);
        QCOMPARE(nameStem("Customer_IDs"), QString("customerid"));
        QCOMPARE(nameStem("Orders"), QString("order"));
        QCOMPARE(nameStem("bus"), QString("bus"));
        QCOMPARE(nameStem("id"), QString("id"));
        QCOMPARE(sanitizeIdentifier(QString::fromUtf8("Größe_Klasse 2!")), QString::fromUtf8("größeklasse2"));
        QCOMPARE(nameOverlapScore("user", "superuser"), 8.0);
        QCOMPARE(nameOverlapScore("usr", "superusr"), 0.0);
        QCOMPARE(nameOverlapScore("", "anything"), 0.0);
        QCOMPARE(withoutTableKind("public.users [BASE TABLE]"), QString("public.users"));
        QCOMPARE(withoutTableKind("users | [VIEW]"), QString("users"));
        QCOMPARE(withoutTableKind("[VIEW]"), QString("[VIEW]"));
        QCOMPARE(withoutTableKind("totals [2024]"), QString("totals [2024]"));
        // Also as read from a picture, whose templates have no angle brackets.
        for (const char* footer : {"< 1 | 1,643 rows | 2 >", "< 0 16 rows 1 >", "< 1    2 >", "203112 rows", "1 row",
                                   "-c 0 | 16,044 rows | 1:-", "-:Z | 0 rbws"})
            QVERIFY2(isRowCountFooter(footer), footer);
        for (const char* row : {"rows int", "row_count | int4[10]", "12", "< a", "rows_read int4"})
            QVERIFY2(!isRowCountFooter(row), row);
    }

    // Misread rows settle on the type words and key names they stand for;
    // words that are no near miss stay as read.
    void settlesRecognizedRows_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("settled");
        QTest::newRow("type one letter off") << "order_id biqint" << "order_id bigint";
        QTest::newRow("long type two off, size kept") << "email vacchr(255)" << "email varchar(255)";
        QTest::newRow("three letters stay") << "account_id inr4" << "account_id inr4";
        QTest::newRow("width digits kept") << "total numerlc8" << "total numeric8";
        QTest::newRow("short word not stretched") << "due_on dale" << "due_on date";
        QTest::newRow("name alone untouched") << "title" << "title";
        QTest::newRow("no near type") << "first name" << "first name";
        QTest::newRow("key name") << "ld uuid" << "id uuid";
        QTest::newRow("key suffix") << "customer_ld uuid" << "customer_id uuid";
        QTest::newRow("column gaps at the ends") << "| id | uuid |" << "id | uuid";
        QTest::newRow("key marker before a gap") << "PK | ld | uuid" << "PK id | uuid";
        QTest::newRow("empty key cell") << "| | total_2 | decimal" << "total_2 | decimal";
        QTest::newRow("type first, misread") << "brgint audit_ld" << "bigint audit_id";
        QTest::newRow("name near a type, type last") << "data int" << "data int";
        QTest::newRow("name near a type, type in brackets") << "book_id [bigint]" << "book_id [bigint]";
        QTest::newRow("comma of a size not read") << "total_2 decimal(12 2)" << "total_2 decimal(12,2)";
    }
    void settlesRecognizedRows()
    {
        QFETCH(QString, row);
        QTEST(settleRecognizedRow(row), "settled");
    }

    void foreignKeyScores_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<double>("score");
        QTest::newRow("same stem and id ending") << "customer_id" << "Customers" << QStringList() << 14.0;
        QTest::newRow("prefix") << "order_ref" << "Orders" << QStringList() << 5.0;
        QTest::newRow("short key stem") << "owner_id" << "User" << QStringList{"id"} << 2.0;
        QTest::newRow("key name") << "buyer_ref" << "Person" << QStringList{"buyer_ref"} << 12.0;
        QTest::newRow("containment") << "main_address_line" << "Address" << QStringList() << 8.0;
    }
    void foreignKeyScores()
    {
        QFETCH(QString, attribute);
        QFETCH(QString, title);
        QFETCH(QStringList, keys);
        QList<QPair<QString, QString>> keyAttributes;
        for (const QString& key : keys)
            keyAttributes.append({key, QStringLiteral("int")});
        QTEST(foreignKeyMatchScore(attribute, title, keyAttributes), "score");
    }

    void letterNoise_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("noise");
        QTest::newRow("capitals") << "IIII" << true;
        QTest::newRow("small") << "llll" << true;
        QTest::newRow("mixed case counts once") << "IiIi" << true;
        QTest::newRow("two letters") << "IlIl" << false;
        QTest::newRow("three letters") << "III" << false;
        QTest::newRow("digits") << "1111" << false;
        QTest::newRow("a word") << "Order" << false;
    }
    void letterNoise()
    {
        QFETCH(QString, text);
        QTEST(looksLikeLetterNoise(text), "noise");
    }

    void geometryHelpers()
    {
        QVERIFY(!isRectangleOutline({{0, 0}, {27, 0}, {27, 40}, {0, 40}}));
        QVERIFY(!isRectangleOutline({{0, 0}, {40, 0}, {40, 17}, {0, 17}}));
        QVERIFY(!isRectangleOutline({{0, 0}, {40, 0}, {40, 30}}));
        QVERIFY(isRectangleOutline({{0, 0}, {40, 0}, {40, 30}, {0, 30}, {0, 0}}));
        QVERIFY(!isRectangleOutline({{0, 0}, {20, 15}, {40, 0}, {21, 30}, {20, 14}, {20, 16}, {19, 15}}));

        const QList<QRectF> boxes{QRectF(0, 0, 10, 10), QRectF(30, 0, 10, 10)};
        QCOMPARE(nearestBoxIndex(boxes, QPointF(20, 5), 50), 0);  // equal distance: earlier box
        QCOMPARE(nearestBoxIndex(boxes, QPointF(20, 5), 10), -1); // exactly at the limit
        QCOMPARE(nearestBoxIndex(boxes, QPointF(35, 5), 1), 1);
    }

    // Whatever the rectangle and view box, the pixels stay inside the image.
    void mappedRectanglesStayInTheImage()
    {
        QRandomGenerator random(7);
        const auto between = [&](double low, double high) { return low + random.generateDouble() * (high - low); };
        const QSize size(640, 480);
        for (int i = 0; i < 2000; ++i) {
            const QRectF viewBox(between(-50.0, 50.0), between(-50.0, 50.0),
                                 between(0.5, 900.0), between(0.5, 900.0));
            const QRectF r(between(-400.0, 1200.0), between(-400.0, 1200.0),
                           between(0.0, 900.0), between(0.0, 900.0));
            const QRect mapped = mapBoxToImageRect(r, size, viewBox, random.bounded(0, 5));
            QVERIFY(mapped.isEmpty() || QRect(QPoint(0, 0), size).contains(mapped));
        }
        // The unscaled case rounds halves away from zero.
        QCOMPARE(mapBoxToImageRect(QRectF(10.5, 20, 30, 40), QSize(100, 100), QRectF(0, 0, 100, 100), 0),
                 QRect(11, 20, 30, 40));
    }

    void otsuAndClamping()
    {
        qint64 histogram[256] = {};
        histogram[20] = 500;
        histogram[230] = 500;
        const int t = otsuThreshold(histogram, 1000);
        QVERIFY(t >= 20 && t < 230);
        qint64 flat[256] = {};
        flat[100] = 10;
        QCOMPARE(otsuThreshold(flat, 10), 128); // one value: no split qualifies
    }

    void mergesCandidateBoxes_data()
    {
        QTest::addColumn<QList<QRectF>>("candidates");
        QTest::addColumn<QList<QRectF>>("boxes");
        QTest::newRow("too narrow") << QList<QRectF>{QRectF(0, 0, 35, 100)} << QList<QRectF>{};
        QTest::newRow("too low") << QList<QRectF>{QRectF(0, 0, 100, 21)} << QList<QRectF>{};
        QTest::newRow("too flat alone") << QList<QRectF>{QRectF(0, 0, 400, 30)} << QList<QRectF>{};
        QTest::newRow("overlap 0.8 joins")
            << QList<QRectF>{QRectF(0, 0, 100, 100), QRectF(0, 0, 100, 80)} << QList<QRectF>{QRectF(0, 0, 100, 100)};
        QTest::newRow("nested dropped")
            << QList<QRectF>{QRectF(0, 0, 200, 200), QRectF(10, 10, 100, 30)} << QList<QRectF>{QRectF(0, 0, 200, 200)};
        QTest::newRow("header above body")
            << QList<QRectF>{QRectF(0, 0, 120, 30), QRectF(0, 40, 120, 100)} << QList<QRectF>{QRectF(0, 0, 120, 140)};
        QTest::newRow("gap of 15 keeps two")
            << QList<QRectF>{QRectF(0, 0, 120, 30), QRectF(0, 45, 120, 100)}
            << QList<QRectF>{QRectF(0, 45, 120, 100), QRectF(0, 0, 120, 30)};
        // Grid columns share the rule between them (the candidates, two
        // pixels beyond each paper region, overlap or meet); separate
        // outlines leave paper between them and stay apart.
        QTest::newRow("columns of one grid")
            << QList<QRectF>{QRectF(0, 0, 80, 100), QRectF(81, 0, 60, 100), QRectF(140, 0, 70, 100)}
            << QList<QRectF>{QRectF(0, 0, 210, 100)};
        QTest::newRow("wide title cell over its grid")
            << QList<QRectF>{QRectF(0, 0, 400, 30), QRectF(0, 32, 200, 100), QRectF(201, 32, 199, 100)}
            << QList<QRectF>{QRectF(0, 0, 400, 132)};
        QTest::newRow("neighbours 3 apart stay apart")
            << QList<QRectF>{QRectF(0, 0, 100, 100), QRectF(103, 0, 100, 100)}
            << QList<QRectF>{QRectF(0, 0, 100, 100), QRectF(103, 0, 100, 100)};
        QTest::newRow("separate boxes stay")
            << QList<QRectF>{QRectF(0, 0, 100, 60), QRectF(200, 0, 100, 60)}
            << QList<QRectF>{QRectF(0, 0, 100, 60), QRectF(200, 0, 100, 60)};
    }
    void mergesCandidateBoxes()
    {
        QFETCH(QList<QRectF>, candidates);
        QTEST(mergeCandidateBoxes(candidates), "boxes");
    }

    // Rows read without the space before their type, in a table whose
    // other rows give one.
    void gluedTypesSplitInTypedTables()
    {
        QList<RecognizedEntity> entities(2);
        entities[0].box = QRectF(0, 0, 200, 160);
        entities[1].box = QRectF(300, 0, 200, 120);
        QList<RecognizedText> texts{
            {QRectF(5, 5, 60, 10), "orders"},
            {QRectF(5, 25, 90, 10), "id bigint"},
            {QRectF(5, 125, 90, 10), "customer_id uuid"},
            {QRectF(5, 45, 90, 10), "placed_ondate"},
            {QRectF(5, 65, 90, 10), "amountdecimal(12 2)"},
            {QRectF(5, 85, 90, 10), "is_bit"},          // a type after "_" is part of the name
            {QRectF(5, 105, 90, 10), "total numeric"},
            {QRectF(305, 5, 60, 10), "notes"},
            {QRectF(305, 25, 90, 10), "update"},        // no typed rows: names stay whole
            {QRectF(305, 45, 90, 10), "context"},
        };
        buildEntitiesFromText(entities, texts);
        QStringList got;
        for (const RecognizedEntity& e : entities) {
            for (const RecognizedAttribute& a : e.attributes)
                got << a.name + ':' + a.type;
        }
        QCOMPARE(got, (QStringList{"id:bigint", "placed_on:date", "amount:decimal(12,2)", "is_bit:undefined",
                                   "total:numeric", "customer_id:uuid", "update:undefined", "context:undefined"}));
    }

    void textRunsBecomeTitlesAndRows()
    {
        QList<RecognizedEntity> entities(3);
        entities[0].box = QRectF(0, 0, 200, 120);
        entities[1].box = QRectF(300, 0, 200, 120);
        entities[2].box = QRectF(20, 40, 100, 60); // nested in the first
        QList<RecognizedText> texts{
            {QRectF(310, 30, 60, 10), "id"},
            {QRectF(310, 5, 60, 10), "Orders"},
            {QRectF(310, 50, 60, 10), "customer_id"},
            {QRectF(380, 51, 60, 10), "uuid"},  // same row, within 7
            {QRectF(10, 5, 60, 10), "Customer"},
            {QRectF(30, 50, 40, 10), "inner"},   // nested box wins
            {QRectF(203, 70, 10, 10), "near"},   // 3 outside the first box
            {QRectF(600, 300, 10, 10), "far"},
            {QRectF(310, 90, 60, 10), "   "},
        };
        buildEntitiesFromText(entities, texts);
        QStringList got;
        for (const RecognizedEntity& e : entities) {
            QStringList rows;
            for (const RecognizedAttribute& a : e.attributes)
                rows << a.name + ':' + a.type;
            got << e.title + (e.attributesSynthesized ? "*: " : ": ") + rows.join(", ");
        }
        QCOMPARE(got.mid(0, 2), (QStringList{"Customer: near:undefined", "Orders: id:uuid, customer_id:uuid"}));
        QVERIFY2(got.value(2).startsWith("inner*:"), qPrintable(got.value(2))); // the nested box wins, keys made up
    }

    void rowTolerance_data()
    {
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("rows");
        QTest::newRow("height 10, 7.0 apart") << 10.0 << 7.0 << 1;
        QTest::newRow("height 10, 7.01 apart") << 10.0 << 7.01 << 2;
        QTest::newRow("height 20, 11.0 apart") << 20.0 << 11.0 << 1;
        QTest::newRow("height 20, 11.01 apart") << 20.0 << 11.01 << 2;
    }
    void rowTolerance()
    {
        QFETCH(double, height);
        QFETCH(double, step);
        QList<RecognizedEntity> entities(1);
        entities[0].box = QRectF(0, 0, 400, 400);
        QList<RecognizedText> texts{{QRectF(10, 100, 40, height), "a"}, {QRectF(60, 100 + step, 40, height), "b"}};
        buildEntitiesFromText(entities, texts);
        QFETCH(int, rows);
        QCOMPARE(entities[0].title, rows == 1 ? QString("a b") : QString("a"));
        QCOMPARE(entities[0].attributes.size(), rows - 1);
    }

    void titlesAndSynthesisedKeys()
    {
        QList<RecognizedEntity> entities{entity("Order", {"id"}), entity(""), entity("llll"), entity("Tag")};
        completeRecognizedEntities(entities);
        QCOMPARE(entities[0].title, QString("Order"));
        QVERIFY(!entities[0].attributesSynthesized);
        QCOMPARE(entities[1].title, QString("table_2"));
        QCOMPARE(entities[1].attributes.size(), 1);
        QCOMPARE(entities[1].attributes[0].name + ':' + entities[1].attributes[0].type, QString("table_2_id:uuid"));
        QVERIFY(entities[1].attributesSynthesized);
        QCOMPARE(entities[2].title, QString("table_3"));
        QCOMPARE(entities[3].attributes[0].name, QString("Tag_id"));
    }

    void orientation_data()
    {
        QTest::addColumn<QList<QRectF>>("arrows");
        QTest::addColumn<QList<QRectF>>("bars");
        QTest::addColumn<int>("from");
        // One link from entity 0 (line start (100, 0)) to entity 1 (end (200, 0)).
        QTest::newRow("arrowhead 27 from the start") << QList<QRectF>{around({100, 27})} << QList<QRectF>{} << 1;
        // Ignored, yet any arrowhead in the drawing reverses an undecided link.
        QTest::newRow("arrowhead 28 away is ignored") << QList<QRectF>{around({100, 28})} << QList<QRectF>{} << 1;
        QTest::newRow("arrowhead at the end") << QList<QRectF>{around({195, 0})} << QList<QRectF>{} << 0;
        QTest::newRow("closer arrowhead wins")
            << QList<QRectF>{around({190, 0}), around({101, 0})} << QList<QRectF>{} << 1;
        QTest::newRow("bar marks the One end") << QList<QRectF>{} << QList<QRectF>{around({198, 0}, 2)} << 1;
        QTest::newRow("bar marks the start") << QList<QRectF>{} << QList<QRectF>{around({100, 20}, 2)} << 0;
        QTest::newRow("bar near an arrowhead is ignored")
            << QList<QRectF>{around({100, 32})} << QList<QRectF>{around({100, 20}, 2)} << 1;
    }
    void orientation()
    {
        RecognizedDiagram diagram;
        diagram.entities = {entity("Alpha", {"x"}), entity("Beta", {"y"})};
        diagram.links = {lineLink(0, 1, QLineF(100, 0, 200, 0))};
        QFETCH(QList<QRectF>, arrows);
        QFETCH(QList<QRectF>, bars);
        diagram.arrowMarkers = arrows;
        diagram.barMarkers = bars;
        orientRecognizedLinks(diagram);
        QFETCH(int, from);
        QCOMPARE(diagram.links[0].from, from);
        QCOMPARE(diagram.links[0].to, 1 - from);
        QCOMPARE(diagram.links[0].line.p1(), from == 0 ? QPointF(100, 0) : QPointF(200, 0));
    }

    void orientationByNames()
    {
        RecognizedDiagram diagram;
        diagram.entities = {entity("Orders", {"id", "customer_id"}), entity("Customers", {"id"})};
        diagram.links = {RecognizedLink{0, 1, QLineF(), false}};
        orientRecognizedLinks(diagram);
        QCOMPARE(diagram.links[0].from, 1); // orders refer to customers: customers are the One end
        // Equal scores keep the direction without arrowheads, reverse with one.
        diagram.entities = {entity("Alpha", {"x"}), entity("Beta", {"y"})};
        diagram.links = {RecognizedLink{0, 1, QLineF(), false}};
        orientRecognizedLinks(diagram);
        QCOMPARE(diagram.links[0].from, 0);
        diagram.arrowMarkers = {QRectF(900, 900, 8, 8)};
        orientRecognizedLinks(diagram);
        QCOMPARE(diagram.links[0].from, 1);
    }

    void erJsonLayoutAndLinks_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("scale");
        QTest::newRow("median 90") << 90.0 << 2.0;
        QTest::newRow("median 40") << 40.0 << 2.8;
        QTest::newRow("median 1000") << 1000.0 << 0.35;
    }
    void erJsonLayoutAndLinks()
    {
        QFETCH(double, width);
        QFETCH(double, scale);
        RecognizedDiagram diagram;
        diagram.entities = {entity("A", {"code", "b_id"}), entity("B")};
        diagram.entities[0].box = QRectF(100, 50, width, 60);
        diagram.entities[1].box = QRectF(100 + 2 * width, 80, width, 60);
        diagram.links = {RecognizedLink{1, 0, {}, false}, RecognizedLink{0, 5, {}, false}};
        const QJsonObject json = buildErJson(diagram);
        QCOMPARE(json["edges"].toArray().size(), 0);
        QCOMPARE(json["_linkCount"].toInt(), 2);
        const QJsonArray links = json["_links"].toArray();
        QCOMPARE(links.size(), 1);
        QCOMPARE(links[0].toObject()["one"].toString(), QString("B"));
        QCOMPARE(links[0].toObject()["many"].toString(), QString("A"));
        const QJsonArray entities = json["entities"].toArray();
        QCOMPARE(entities.size(), 2);
        const QJsonObject a = entities[0].toObject(), b = entities[1].toObject();
        QCOMPARE(a["x"].toDouble(), 40.0);
        QCOMPARE(a["y"].toDouble(), 40.0);
        QCOMPARE(b["x"].toDouble(), 2 * width * scale + 40);
        QCOMPARE(b["y"].toDouble(), 30 * scale + 40);
        QCOMPARE(a["id"].toString().size(), 36);
        QVERIFY(a["id"] != b["id"]);
        const QJsonArray attributes = a["attributes"].toArray();
        QVERIFY(attributes[0].toObject()["isPrimaryKey"].toBool());  // the first row
        QVERIFY(attributes[1].toObject()["isPrimaryKey"].toBool());  // an id name
        QVERIFY(!attributes[1].toObject()["isForeignKey"].toBool());
    }
};

QUILLMAP_TEST_MAIN(TestRecognitionRules)
#include "tst_recognitionrules.moc"
