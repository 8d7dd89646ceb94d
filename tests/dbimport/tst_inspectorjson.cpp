#include "common/testmain.h"
#include "dbimport/inspectorjson.h"
#include "diagramdescription.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cmath>

namespace {

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test input: %s", qPrintable(error.errorString()));
    return document.object();
}

bool isUuidText(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return pattern.match(text).hasMatch();
}

} // namespace

class TestInspectorJson : public QObject
{
    Q_OBJECT
private slots:
    void conversion_data();
    void conversion();
    void documentShape();
    void generatedSchemas();
};

void TestInspectorJson::conversion_data()
{
    QTest::addColumn<QJsonObject>("inspector");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no tables, a foreign key listed") << parse(R"({"meta": {"dialect": "postgresql"},
        "constraints": [{"type": "FOREIGN KEY", "name": "f", "table": "a", "columns": ["x"], "ref_table": "b"}]})")
                                                     << QStringLiteral(" | ");
    QTest::newRow("five tables on three columns, in name order")
        << parse(R"({"tables": [{"name": "e"}, {"name": "d"}, {"name": "c"}, {"name": "b"}, {"name": "a"}]})")
        << QStringLiteral("a(60,60)[] b(380,60)[] c(700,60)[] d(60,320)[] e(380,320)[] | ");
    // Nine rows fit the 260 step; twelve need 45 + 12 x 18 + 40 = 301.
    QTest::newRow("a tall table pushes the next grid row down")
        << parse(R"({"tables": [
                {"name": "a", "columns": [{"name": "1"}, {"name": "2"}, {"name": "3"}, {"name": "4"}, {"name": "5"},
                    {"name": "6"}, {"name": "7"}, {"name": "8"}, {"name": "9"}]},
                {"name": "b"}, {"name": "c"}, {"name": "d"},
                {"name": "e", "columns": [{"name": "1"}, {"name": "2"}, {"name": "3"}, {"name": "4"}, {"name": "5"},
                    {"name": "6"}, {"name": "7"}, {"name": "8"}, {"name": "9"}, {"name": "10"}, {"name": "11"},
                    {"name": "12"}]},
                {"name": "f"}, {"name": "g"}]})")
        << QStringLiteral("a(60,60)[1:, 2:, 3:, 4:, 5:, 6:, 7:, 8:, 9:] b(380,60)[] c(700,60)[] "
                          "d(60,320)[] e(380,320)[1:, 2:, 3:, 4:, 5:, 6:, 7:, 8:, 9:, 10:, 11:, 12:] f(700,320)[] "
                          "g(60,621)[] | ");
    // 42 + 8 x (10 + 24) = 314, and 40 to spare: the second column starts
    // 354 further on, in both rows.
    QTest::newRow("a wide table pushes the next grid column right")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "created_at", "type": "timestamp with time zone"}]},
                                {"name": "b"}, {"name": "c"}, {"name": "d"}]})")
        << QStringLiteral("a(60,60)[created_at:timestamp with time zone] b(414,60)[] c(60,320)[] d(414,320)[] | ");
    QTest::newRow("composite foreign key: one edge for all its columns")
        << parse(R"({"tables": [
                {"name": "line", "columns": [{"name": "order_id", "type": "bigint"}, {"name": "line_no", "type": "smallint"}]},
                {"name": "ship", "columns": [{"name": "order_id", "type": "bigint"}, {"name": "line_no", "type": "smallint"},
                                             {"name": "qty", "type": "integer"}]}],
            "constraints": [
                {"type": "PRIMARY KEY", "name": "line_pkey", "table": "line", "columns": ["order_id", "line_no"]},
                {"type": "FOREIGN KEY", "name": "ship_line_fkey", "table": "ship", "columns": ["order_id", "line_no"],
                 "ref_table": "line"}]})")
        << QStringLiteral("line(60,60)[order_id:bigint P, line_no:smallint P] "
                          "ship(380,60)[order_id:bigint Fe0, line_no:smallint Fe0, qty:integer] | e0:line>ship");
    QTest::newRow("foreign key without columns still gives its edge")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}]}, {"name": "b"}],
            "constraints": [{"type": "FOREIGN KEY", "name": "f", "table": "a", "columns": [], "ref_table": "b"}]})")
        << QStringLiteral("a(60,60)[x:int] b(380,60)[] | e0:b>a");
    QTest::newRow("one constraint name on two tables is two foreign keys")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}]},
                                {"name": "b", "columns": [{"name": "y", "type": "int"}]},
                                {"name": "c", "columns": [{"name": "id", "type": "int"}]}],
            "constraints": [{"type": "FOREIGN KEY", "name": "fk_c", "table": "b", "columns": ["y"], "ref_table": "c"},
                            {"type": "FOREIGN KEY", "name": "fk_c", "table": "a", "columns": ["x"], "ref_table": "c"}]})")
        << QStringLiteral("a(60,60)[x:int Fe0] b(380,60)[y:int Fe1] c(60,320)[id:int] | e0:c>a e1:c>b");
    QTest::newRow("one name twice on one table is one foreign key")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}, {"name": "y", "type": "int"}]},
                                {"name": "b"}, {"name": "c"}],
            "constraints": [{"type": "FOREIGN KEY", "name": "f", "table": "a", "columns": ["x"], "ref_table": "b"},
                            {"type": "FOREIGN KEY", "name": "f", "table": "a", "columns": ["y"], "ref_table": "c"}]})")
        << QStringLiteral("a(60,60)[x:int Fe0, y:int Fe0] b(380,60)[] c(60,320)[] | e0:b>a");
    QTest::newRow("unnamed foreign keys stand apart")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}, {"name": "y", "type": "int"}]},
                                {"name": "b"}, {"name": "c"}],
            "constraints": [{"type": "FOREIGN KEY", "table": "a", "columns": ["x"], "ref_table": "b"},
                            {"type": "FOREIGN KEY", "name": "", "table": "a", "columns": ["y"], "ref_table": "c"}]})")
        << QStringLiteral("a(60,60)[x:int Fe0, y:int Fe1] b(380,60)[] c(60,320)[] | e0:b>a e1:c>a");
    QTest::newRow("referenced table outside the import: no edge, the column still marked")
        << parse(R"({"tables": [{"name": "order_line", "columns": [{"name": "product_id", "type": "uuid"}]}],
            "constraints": [{"type": "FOREIGN KEY", "name": "f", "table": "order_line", "columns": ["product_id"],
                             "ref_table": "inventory.product"}]})")
        << QStringLiteral("order_line(60,60)[product_id:uuid F?0] | ");
    QTest::newRow("self reference")
        << parse(R"({"tables": [{"name": "category", "columns": [{"name": "id", "type": "integer"},
                                                                 {"name": "parent_id", "type": "integer"}]}],
            "constraints": [{"type": "FOREIGN KEY", "name": "category_parent_fkey", "table": "category",
                             "columns": ["parent_id"], "ref_table": "category"}]})")
        << QStringLiteral("category(60,60)[id:integer, parent_id:integer Fe0] | e0:category>category");
    QTest::newRow("a key column that is also a foreign key carries both marks")
        << parse(R"({"tables": [{"name": "h", "columns": [{"name": "product_id", "type": "uuid"}, {"name": "from", "type": "date"}]},
                                {"name": "p", "columns": [{"name": "id", "type": "uuid"}]}],
            "constraints": [{"type": "PRIMARY KEY", "name": "h_pkey", "table": "h", "columns": ["product_id", "from"]},
                            {"type": "FOREIGN KEY", "name": "h_fkey", "table": "h", "columns": ["product_id"], "ref_table": "p"},
                            {"type": "PRIMARY KEY", "name": "p_pkey", "table": "p", "columns": ["id"]}]})")
        << QStringLiteral("h(60,60)[product_id:uuid P Fe0, from:date P] p(380,60)[id:uuid P] | e0:p>h");
    QTest::newRow("constraint types in any case; others ignored")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "t"}, {"name": "y", "type": "t"},
                                                          {"name": "z", "type": "t"}]}],
            "constraints": [{"type": "primary key", "table": "a", "columns": ["x"]},
                            {"type": "Unique", "table": "a", "columns": ["y"]},
                            {"type": "PK", "table": "a", "columns": ["z"]},
                            {"type": "CHECK", "name": "c", "table": "a", "columns": ["z"]},
                            {"type": "FOREIGNKEY", "name": "f", "table": "a", "columns": ["z"], "ref_table": "a"}]})")
        << QStringLiteral("a(60,60)[x:t P, y:t U, z:t] | ");
    QTest::newRow("two tables of one name: one entity with the later columns")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "old", "type": "int"}]},
                                {"name": "a", "columns": [{"name": "new", "type": "text"}]}]})")
        << QStringLiteral("a(60,60)[new:text] | ");
    QTest::newRow("constraints on unknown tables and columns mark nothing")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}]}],
            "constraints": [{"type": "PRIMARY KEY", "table": "A", "columns": ["x"]},
                            {"type": "UNIQUE", "table": "a", "columns": ["X"]},
                            {"type": "FOREIGN KEY", "name": "f", "table": "b", "columns": ["x"], "ref_table": "a"}]})")
        << QStringLiteral("a(60,60)[x:int] | ");
    QTest::newRow("a column in two foreign keys follows the later one")
        << parse(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}]}, {"name": "b"}, {"name": "c"}],
            "constraints": [{"type": "FOREIGN KEY", "name": "f1", "table": "a", "columns": ["x"], "ref_table": "b"},
                            {"type": "FOREIGN KEY", "name": "f2", "table": "a", "columns": ["x"], "ref_table": "c"}]})")
        << QStringLiteral("a(60,60)[x:int Fe1] b(380,60)[] c(60,320)[] | e0:b>a e1:c>a");
    QTest::newRow("mistyped members read as empty")
        << parse(R"({"meta": [], "tables": [7, {"name": 5, "columns": "x"}, {"name": "t", "columns": [3, {"name": "c"}]}],
            "constraints": {"type": "PRIMARY KEY"}})")
        << QStringLiteral("(60,60)[] t(380,60)[:, c:] | ");
    QTest::newRow("tables not an array")
        << parse(R"({"tables": {"name": "a"}, "constraints": [5, "x", {"type": 1}]})") << QStringLiteral(" | ");
}

void TestInspectorJson::conversion()
{
    QFETCH(QJsonObject, inspector);
    QFETCH(QString, expected);
    const QJsonObject first = convertInspectorJson(inspector);
    QCOMPARE(describeDiagram(first), expected);
    // The same input again: the same diagram under new ids.
    const QJsonObject second = convertInspectorJson(inspector);
    QCOMPARE(describeDiagram(second), expected);
    const QJsonArray a = first[QStringLiteral("entities")].toArray();
    const QJsonArray b = second[QStringLiteral("entities")].toArray();
    for (qsizetype i = 0; i < a.size(); ++i)
        QVERIFY(a[i][QStringLiteral("id")] != b[i][QStringLiteral("id")]);
}

void TestInspectorJson::documentShape()
{
    const QJsonObject diagram = convertInspectorJson(parse(R"({"meta": {"dialect": "csv", "extra": 1},
        "tables": [{"name": "a", "comment": "kept elsewhere", "columns": [{"name": "x", "type": "integer", "nullable": false}]},
                   {"name": "b", "columns": [{"name": "a_x", "type": "integer"}]}],
        "constraints": [{"type": "FOREIGN KEY", "name": "f", "table": "b", "columns": ["a_x"], "ref_table": "a",
                         "ref_columns": ["x"], "on_delete": "CASCADE"}]})"));
    QCOMPARE(diagram[QLatin1String("type")].toString(), QStringLiteral("er-diagram"));
    QCOMPARE(diagram[QLatin1String("dialect")].toString(), QStringLiteral("csv"));

    const QJsonObject a = diagram[QLatin1String("entities")][0].toObject();
    const QJsonObject keyRow = diagram[QLatin1String("entities")][1][QLatin1String("attributes")][0].toObject();
    const QJsonObject edge = diagram[QLatin1String("edges")][0].toObject();
    QCOMPARE(edge[QLatin1String("startCard")].toInt(-1), 0);
    QCOMPARE(edge[QLatin1String("endCard")].toInt(-1), 1);
    QCOMPARE(edge[QLatin1String("from")].toString(), a[QLatin1String("id")].toString());
    QCOMPARE(keyRow[QLatin1String("fkEdgeId")].toString(), edge[QLatin1String("id")].toString());
    const QStringList ids{a[QLatin1String("id")].toString(), diagram[QLatin1String("entities")][1][QLatin1String("id")].toString(), edge[QLatin1String("id")].toString()};
    for (const QString& id : ids)
        QVERIFY2(isUuidText(id), qPrintable(id));
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 3);
}

// Random schemas over small name sets, so that repeated table names, shared
// constraint names, unknown tables and columns and odd type spellings all
// come up; the diagram must keep its promises for each.
void TestInspectorJson::generatedSchemas()
{
    QRandomGenerator random(20240611);
    const QStringList tableNames{"a", "b", "B", "c", "d", "e_1", "x.y"};
    // Up to 14 columns, so that some tables are too tall for one grid step.
    const QStringList columnNames{"id", "x", "y", "z", "c4", "c5", "c6", "c7", "c8", "c9", "c10", "c11", "c12",
                                  "last_modified_timestamp"};
    const QStringList types{"PRIMARY KEY", "primary key", "UNIQUE", "FOREIGN KEY", "foreign key", "CHECK", "FK"};
    const QStringList constraintNames{"", "f", "g", "h"};
    // Long type texts make some tables too wide for one grid step.
    const QStringList typeTexts{"int", "text", "timestamp with time zone", "character varying(120)",
                                "double precision[]", "numeric(12,2)"};
    for (int round = 0; round < 300; ++round) {
        QJsonArray tables;
        QHash<QString, QStringList> lastColumns;   // what the diagram must show per name
        const int tableCount = random.bounded(8);
        for (int t = 0; t < tableCount; ++t) {
            const QString name = tableNames.at(random.bounded(tableNames.size()));
            QJsonArray columns;
            QStringList names;
            const int keep = 1 + random.bounded(8);   // out of 8
            for (const QString& column : columnNames) {
                if (random.bounded(8) >= keep)
                    continue;
                columns.append(QJsonObject{{"name", column}, {"type", typeTexts.at(random.bounded(typeTexts.size()))}});
                names << column;
            }
            tables.append(QJsonObject{{"name", name}, {"columns", columns}});
            lastColumns.insert(name, names);
        }
        QJsonArray constraints;
        const int constraintCount = random.bounded(10);
        for (int k = 0; k < constraintCount; ++k) {
            QJsonArray columns;
            for (const QString& column : columnNames.mid(0, 6))
                if (random.bounded(3) == 0)
                    columns.append(column);
            constraints.append(QJsonObject{{"type", types.at(random.bounded(types.size()))},
                                           {"name", constraintNames.at(random.bounded(constraintNames.size()))},
                                           {"table", tableNames.at(random.bounded(tableNames.size()))},
                                           {"ref_table", tableNames.at(random.bounded(tableNames.size()))},
                                           {"columns", columns}});
        }
        const QJsonObject inspector{{"tables", tables}, {"constraints", constraints}};
        const QJsonObject diagram = convertInspectorJson(inspector);
        const QString context = QStringLiteral("round %1: %2")
                                    .arg(round)
                                    .arg(QString::fromUtf8(QJsonDocument(inspector).toJson(QJsonDocument::Compact)));

        // One entity per distinct name, in ascending order, on the grid.
        const QJsonArray entities = diagram[QLatin1String("entities")].toArray();
        QStringList titles;
        QHash<QString, QString> idOf;
        for (const auto& entity : entities) {
            titles << entity[QLatin1String("title")].toString();
            idOf.insert(entity[QLatin1String("title")].toString(), entity[QLatin1String("id")].toString());
        }
        QStringList expectedTitles = lastColumns.keys();
        std::sort(expectedTitles.begin(), expectedTitles.end());
        QVERIFY2(titles == expectedTitles, qPrintable(context));
        // Columns at least 320 apart and clear of the widest box before
        // (42 + 8 per character of its longest name and type, or title);
        // rows at least 260 apart and clear of the tallest box above (45 +
        // 18 per row).
        const int gridColumns = std::max(1, int(std::ceil(std::sqrt(double(titles.size())))));
        for (int i = 0; i < entities.size(); ++i) {
            const int x = entities[i][QLatin1String("x")].toInt();
            if (i % gridColumns == 0) {
                QVERIFY2(x == 60, qPrintable(context));
            } else {
                const int left = entities[i - 1][QLatin1String("x")].toInt();
                QVERIFY2(x - left >= 320, qPrintable(context));
                for (int j = i - 1 - gridColumns * (i / gridColumns); j < entities.size(); j += gridColumns) {
                    qsizetype name = 0, type = 0;
                    for (const auto& row : entities[j][QLatin1String("attributes")].toArray()) {
                        name = std::max(name, row[QLatin1String("name")].toString().size());
                        type = std::max(type, row[QLatin1String("type")].toString().size());
                    }
                    const qsizetype chars = std::max(name + type, entities[j][QLatin1String("title")].toString().size());
                    QVERIFY2(x >= left + 42 + 8 * chars + 40, qPrintable(context));
                }
            }
            if (i >= gridColumns)
                QVERIFY2(x == entities[i - gridColumns][QLatin1String("x")].toInt(), qPrintable(context));
            const int y = entities[i][QLatin1String("y")].toInt();
            if (i < gridColumns) {
                QVERIFY2(y == 60, qPrintable(context));
                continue;
            }
            const int above = entities[i - gridColumns][QLatin1String("y")].toInt();
            QVERIFY2(y - above >= 260, qPrintable(context));
            for (int j = i - i % gridColumns - gridColumns; j < i - i % gridColumns; ++j) {
                const int rows = int(entities[j][QLatin1String("attributes")].toArray().size());
                QVERIFY2(y >= entities[j][QLatin1String("y")].toInt() + 45 + rows * 18 + 40, qPrintable(context));
            }
        }

        // The foreign keys the diagram must draw: one per owning table and
        // name (each unnamed one apart) whose both tables are present.
        QHash<QString, int> edgeCount;
        QSet<std::pair<QString, QString>> seenNamed;
        QHash<QString, QSet<QString>> primary, unique, foreign;
        for (const auto& value : constraints) {
            const QString type = value[QLatin1String("type")].toString().toUpper();
            const QString table = value[QLatin1String("table")].toString();
            QSet<QString> cols;
            for (const auto& c : value[QLatin1String("columns")].toArray())
                cols.insert(c.toString());
            if (type == QLatin1String("PRIMARY KEY"))
                primary[table] += cols;
            else if (type == QLatin1String("UNIQUE"))
                unique[table] += cols;
            else if (type == QLatin1String("FOREIGN KEY")) {
                foreign[table] += cols;
                const QString name = value[QLatin1String("name")].toString();
                if (!name.isEmpty() && seenNamed.contains({table, name}))
                    continue;
                seenNamed.insert({table, name});
                if (lastColumns.contains(table) && lastColumns.contains(value[QLatin1String("ref_table")].toString()))
                    ++edgeCount[value[QLatin1String("ref_table")].toString() + QLatin1Char('>') + table];
            }
        }
        QHash<QString, int> actualEdges;
        QSet<QString> edgeIds;
        QHash<QString, QString> edgeEnds;   // id -> "from>to"
        QHash<QString, QString> titleOf;
        for (auto it = idOf.cbegin(); it != idOf.cend(); ++it)
            titleOf.insert(it.value(), it.key());
        for (const auto& edge : diagram[QLatin1String("edges")].toArray()) {
            const QString ends = titleOf.value(edge[QLatin1String("from")].toString(), "!") + QLatin1Char('>')
                                 + titleOf.value(edge[QLatin1String("to")].toString(), "!");
            ++actualEdges[ends];
            QVERIFY2(!edgeIds.contains(edge[QLatin1String("id")].toString()), qPrintable(context));
            edgeIds.insert(edge[QLatin1String("id")].toString());
            edgeEnds.insert(edge[QLatin1String("id")].toString(), ends);
        }
        QVERIFY2(actualEdges == edgeCount, qPrintable(context));

        // Rows: the later table's columns, each flag exactly when a
        // constraint of its kind names the column, a drawn foreign key's
        // rows pointing at an edge that ends on their table.
        for (const auto& entity : entities) {
            const QString title = entity[QLatin1String("title")].toString();
            QStringList rowNames;
            for (const auto& row : entity[QLatin1String("attributes")].toArray()) {
                const QString name = row[QLatin1String("name")].toString();
                rowNames << name;
                QVERIFY2(row[QLatin1String("isPrimaryKey")].toBool() == primary.value(title).contains(name), qPrintable(context));
                QVERIFY2(row[QLatin1String("isUniqueKey")].toBool() == unique.value(title).contains(name), qPrintable(context));
                QVERIFY2(row[QLatin1String("isForeignKey")].toBool() == foreign.value(title).contains(name), qPrintable(context));
                const QString edgeId = row[QLatin1String("fkEdgeId")].toString();
                QVERIFY2(row[QLatin1String("isForeignKey")].toBool() == !edgeId.isEmpty(), qPrintable(context));
                if (edgeIds.contains(edgeId))
                    QVERIFY2(edgeEnds.value(edgeId).endsWith(QLatin1Char('>') + title), qPrintable(context));
            }
            QVERIFY2(rowNames == lastColumns.value(title), qPrintable(context));
        }
    }
}

QUILLMAP_TEST_GUILESS_MAIN(TestInspectorJson)
#include "tst_inspectorjson.moc"
