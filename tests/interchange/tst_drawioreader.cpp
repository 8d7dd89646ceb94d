#include "interchange/drawioreader.h"

#include "common/testfiles.h"
#include "common/testmain.h"
#include "deflatehelpers.h"
#include "drawioroundtrip.h"
#include "drawiosummary.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString dataDir = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/");

QByteArray escapedXml(const QByteArray& xml)
{
    return QString::fromUtf8(xml).toHtmlEscaped().toUtf8();
}

// A page model around cells, with the usual root cells "0" and "1".
QByteArray model(const QByteArray& cells)
{
    return "<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>" + cells
           + "</root></mxGraphModel>";
}

QByteArray mxfile(const QByteArray& diagrams)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mxfile host=\"test\">" + diagrams + "</mxfile>";
}

QByteArray diagram(const QByteArray& content)
{
    return "<diagram id=\"p\" name=\"Page\">" + content + "</diagram>";
}

// The page as the editor compresses it: percent-encoded, deflated with the
// given framing, Base64.
QByteArray compressed(const QByteArray& page, int windowBits)
{
    return deflateBytes(page.toPercentEncoding(), windowBits).toBase64();
}

const QByteArray tableStyle = "shape=table;startSize=30;container=1;childLayout=tableLayout;";
const QByteArray rowStyle = "shape=tableRow;horizontal=0;startSize=0;";
const QByteArray partStyle = "shape=partialRectangle;connectable=0;";
const QByteArray brokenPage = "<diagram name=\"Broken\">bm90IGEgcGFnZQ==</diagram>";

QByteArray vertex(const QByteArray& id, const QByteArray& parent, const QByteArray& value, const QByteArray& style,
                  double x, double y, double w = 160, double h = 30)
{
    return "<mxCell id=\"" + id + "\" value=\"" + escapedXml(value) + "\" style=\"" + style + "\" vertex=\"1\" parent=\"" + parent
           + "\"><mxGeometry x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y) + "\" width=\""
           + QByteArray::number(w) + "\" height=\"" + QByteArray::number(h) + "\" as=\"geometry\"/></mxCell>";
}

QByteArray edge(const QByteArray& id, const QByteArray& source, const QByteArray& target, const QByteArray& style,
                const QByteArray& value = {})
{
    return "<mxCell id=\"" + id + "\" value=\"" + escapedXml(value) + "\" style=\"" + style + "\" edge=\"1\" parent=\"1\" source=\""
           + source + "\" target=\"" + target + "\"><mxGeometry relative=\"1\" as=\"geometry\"/></mxCell>";
}

// A table of tableRow rows, each a key cell and a name cell.
QByteArray table(const QByteArray& id, const QByteArray& title, double x, double y,
                 const QList<QPair<QByteArray, QByteArray>>& rows, const QByteArray& parent = "1")
{
    QByteArray out = vertex(id, parent, title, tableStyle, x, y, 200, 30 * (rows.size() + 1));
    for (int i = 0; i < rows.size(); ++i) {
        const QByteArray row = id + "_r" + QByteArray::number(i);
        out += vertex(row, id, "", rowStyle, 0, 30 * (i + 1), 200, 30);
        out += vertex(row + "_k", row, rows.at(i).first, partStyle, 0, 0, 40, 30);
        out += vertex(row + "_c", row, rows.at(i).second, partStyle, 40, 0, 160, 30);
    }
    return out;
}

QJsonObject parseBytes(const QByteArray& bytes, QString* error)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.drawio"));
    writeFile(path, bytes);
    return parseDrawioFile(path, error);
}

} // namespace

class TestDrawioReader : public QObject
{
    Q_OBJECT

private slots:
    void realFiles_data();
    void realFiles();
    void pages_data();
    void pages();
    void containers_data();
    void containers();
    void multiplePages();
    void keyTypeNameRows();
    void failures_data();
    void failures();
    void cellRecords();
    void deepNestingIsSkipped();
    void percentDecoding_data();
    void percentDecoding();
};

void TestDrawioReader::realFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("entityCount");
    QTest::addColumn<int>("edgeCount");
    QTest::addColumn<QStringList>("expected"); // the first lines of the summary, without positions

    QTest::newRow("erd") << "erd" << 3 << 2
                         << QStringList{
                                "Orders: order_id:int NOT NULL[P] | customer_id:int NOT NULL[F] | order_date:date NOT NULL",
                                "Shipments: shipment_id:int NOT NULL[P] | order_id:int NOT NULL[F] | "
                                "shipment_date:date NOT NULL",
                                "Customers: customer_id:int NOT NULL[P] | customer_name:char(50) NOT NULL",
                                "Customers -> Orders 0/3",
                                "Orders -> Shipments 0/3",
                            };
    QTest::newRow("entity_relationship")
        << "entity_relationship" << 9 << 10
        << QStringList{"Table: row:1[PF] | row_2:2[PF] | row_3:1", "Table: uniqueId[P] | row:1 | row_2:2 | row_3:3"};
    QTest::newRow("database_1") << "database_1" << 17 << 21
                                << QStringList{"Role: IdCompany | Name | Description | CreatedAt | UpdatedAt | Enabled",
                                               "Company: Name | Description | CreatedAt | UpdatedAt | Enabled"};
    QTest::newRow("database_2") << "database_2" << 15 << 21
                                << QStringList{"Object:Type: field1:= value1 | field2:= value2 | field3:= value3 | "
                                               "field4:= value4 | field5:= value5 | field6:= value6 | field7:= value7 | "
                                               "field8:= value8 | field9:= value9 | field10:= value10"};
    QTest::newRow("database_3") << "database_3" << 12 << 9
                                << QStringList{"Tablename: uniqueId[P] | foreignKey[F] | fieldname",
                                               "Tablename: uniqueId[P] | foreignKey[F] | fieldname | fieldname_2"};
}

// The templates saved by the editor itself, compressed and decompressed,
// give the same tables, rows and relationships.
void TestDrawioReader::realFiles()
{
    QFETCH(QString, name);
    QFETCH(int, entityCount);
    QFETCH(int, edgeCount);
    QFETCH(QStringList, expected);

    QString error;
    const QJsonObject packed = parseDrawioFile(dataDir + name + QLatin1String(".xml"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QJsonObject plain = parseDrawioFile(dataDir + QLatin1String("plain/") + name + QLatin1String(".drawio"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QCOMPARE(summarizeDiagram(packed), summarizeDiagram(plain));
    QCOMPARE(packed.value(QLatin1String("entities")).toArray().size(), entityCount);
    QCOMPARE(packed.value(QLatin1String("edges")).toArray().size(), edgeCount);
    const QStringList lines = summarizeDiagram(packed, false);
    for (const QString& line : expected)
        QVERIFY2(lines.contains(line), qPrintable(line + QLatin1String("\nnot in:\n") + lines.join(QLatin1Char('\n'))));
    const DrawioRoundTrip trip = drawioRoundTrip(fileContents(dataDir + name + QLatin1String(".xml")));
    QVERIFY(trip.read());
    QCOMPARE(trip.second, trip.first);
}

void TestDrawioReader::pages_data()
{
    QTest::addColumn<QByteArray>("cells");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("table rows and a crow's-foot edge between rows")
        << table("a", "Customer", 40, 40, {{"PK", "id int"}, {"", "name text"}})
               + table("b", "Order", 400, 40, {{"PK", "id int"}, {"FK1", "customer_id int"}})
               + edge("e", "a_r0", "b_r1_c", "edgeStyle=entityRelationEdgeStyle;startArrow=ERmandOne;endArrow=ERmany;",
                      "places")
        << QStringList{"Customer @40,40: id:int[P] | name:text", "Order @400,40: id:int[P] | customer_id:int[F]",
                       "Customer -> Order 0/3 places"};

    QTest::newRow("stack layout of text cells merged into lines")
        << vertex("t", "1", "Item", "swimlane;childLayout=stackLayout;", 0, 80, 160, 120)
               + vertex("t1", "t", "id", "text;", 0, 30) + vertex("t2", "t", "int", "text;", 60, 32)
               + vertex("t3", "t", "name", "text;", 0, 57) + vertex("t4", "t", "text", "text;", 60, 60)
               + vertex("t5", "t", "ITEM", "text;", 0, 90)
        << QStringList{"Item @0,80: id:int | name | text"};

    QTest::newRow("partial rectangle rows with underline and italic")
        << vertex("p", "1", "Shipment", "shape=table;", 10, 20, 200, 120)
               + vertex("p1", "p", "", partStyle + "fontStyle=4;", 0, 60) + vertex("p1a", "p1", "order_id int", partStyle, 30, 0)
               + vertex("p2", "p", "", partStyle + "fontStyle=2;", 0, 90) + vertex("p2a", "p2", "ship_id", partStyle, 30, 0)
               + vertex("p3", "p", "", partStyle, 0, 30) + vertex("p3a", "p3", "<b>when</b> date", partStyle, 30, 0)
               + vertex("p4", "p", "", partStyle, 0, 120)
        << QStringList{"Shipment @10,20: when:date | order_id:int[P] | ship_id[F]"};

    QTest::newRow("plain rectangles with label lines")
        << vertex("r1", "1", "<b>Customer</b><hr/>id int PK<br>name text", "rounded=0;html=1;", 0, 0)
               + vertex("r2", "1", "Note", "html=1;", 300, 0) + vertex("d", "1", "has", "shape=rhombus;", 150, 0)
               + edge("e1", "r1", "r2", "endArrow=ERzeroToOne;") + edge("e2", "r1", "d", "")
        << QStringList{"Customer @0,0: id:int[P] | name:text", "Note @300,0: ", "Customer -> Note 0/2"};

    QTest::newRow("object wrappers with placeholders and key attributes")
        << QByteArray("<object label=\"%name% (%type%)\" name=\"Customer\" type=\"table\" id=\"c\">"
                      "<mxCell style=\"" + tableStyle + "\" vertex=\"1\" parent=\"1\">"
                      "<mxGeometry x=\"5\" y=\"6\" width=\"200\" height=\"90\" as=\"geometry\"/></mxCell></object>"
                      "<UserObject name=\"id\" dataType=\"int\" pk=\"TRUE\" id=\"c1\">"
                      "<mxCell style=\"" + rowStyle + "\" vertex=\"1\" parent=\"c\">"
                      "<mxGeometry y=\"30\" width=\"200\" height=\"30\" as=\"geometry\"/></mxCell></UserObject>"
                      "<object name=\"code\" uk=\"yes\" id=\"c2\"><mxCell style=\"" + rowStyle + "\" vertex=\"1\" parent=\"c\">"
                      "<mxGeometry y=\"60\" width=\"200\" height=\"30\" as=\"geometry\"/></mxCell></object>")
        << QStringList{"Customer (table) @5,6: id:int[P] | code[U]"};

    // Values go in as they are: a value naming another placeholder is not
    // filled again (three attributes would otherwise make the label grow
    // without end), and text between percent signs that names no attribute
    // stays.
    QTest::newRow("placeholders filled once")
        << QByteArray("<object label=\"%a%%a% 5%%b%x%%c%\" a=\"%b%%b%\" b=\"%c%\" c=\"Ok\" id=\"p\">"
                      "<mxCell style=\"" + tableStyle + "\" vertex=\"1\" parent=\"1\">"
                      "<mxGeometry width=\"200\" height=\"30\" as=\"geometry\"/></mxCell></object>")
        << QStringList{"%b%%b%%b%%b% 5%%c%x%Ok @0,0: "};

    QTest::newRow("relative geometry inside containers")
        << vertex("g", "1", "", "group;", 100, 200, 500, 500) + vertex("h", "g", "", "container=1;", 30, 40, 400, 400)
               + table("a", "Inner", 10, 20, {{"", "x"}}, "h")
        << QStringList{"Inner @140,260: x"};

    QTest::newRow("edges that lead to no second table are dropped")
        << table("a", "A", 0, 0, {{"", "x"}, {"", "y"}}) + table("b", "B", 300, 0, {{"", "z"}})
               + vertex("d", "1", "rel", "shape=rhombus;", 150, 200) + vertex("t", "1", "free text", "text;", 0, 300)
               + edge("e1", "a_r0", "a_r1", "") + edge("e2", "a", "d", "") + edge("e3", "a", "t", "")
               + edge("e4", "a", "", "") + edge("e5", "a_r1_k", "b", "startArrow=ERzeroToMany;endArrow=ERone;")
               + edge("e6", "a", "nowhere", "")
        << QStringList{"A @0,0: x | y", "B @300,0: z", "A -> B 3/0"};

    // A stack whose first text repeats the title takes it for a header; a
    // table this program wrote has no header rows, so there a column named
    // like its table stays; of two rows named alike but for case, the second
    // is numbered, as the model would make one column of them.
    QTest::newRow("rows named like the table")
        << vertex("s", "1", "Tag", "swimlane;childLayout=stackLayout;", 0, 0)
               + vertex("s1", "s", "TAG", "text;", 0, 30) + vertex("s2", "s", "tag : int", "text;", 0, 60)
               + vertex("s3", "s", "label", "text;", 0, 90)
               + table("w", "Status", 300, 0, {{"", "status"}, {"PK", "STATUS : int"}}).replace(
                   "childLayout=tableLayout;", "childLayout=tableLayout;quillKind=table;")
        << QStringList{"Tag @0,0: label", "Status @300,0: status | STATUS_2:int[P]"};
    // The label lines of a plain box make no such test, and what they give
    // is written back and read again unchanged (a fuzzer's find).
    QTest::newRow("box with a line named like it")
        << vertex("n", "1", "Note<br>note<br>text", "html=1;", 0, 0) << QStringList{"Note @0,0: note | text"};

    QTest::newRow("entity views and tables marked by their kind")
        << vertex("v", "1", "Active customers", "rounded=1;quillKind=entity-view;", 0, 0)
               + vertex("w", "1", "Plain", "quillKind=entity;", 300, 0)
               + vertex("x", "1", "Not a table", "rounded=1;", 600, 0)
        << QStringList{"Active customers @0,0:  (view)", "Plain @300,0: "};

    // Rows left on the page after being dragged: those lying on a table go
    // back to it in their place; one lying on no table stays out. An edge
    // attached to a returned row reaches its table.
    QTest::newRow("rows dragged onto the page")
        << table("a", "A", 100, 100, {{"PK", "id int"}, {"", "z last"}}) + table("b", "B", 500, 100, {{"", "a_id"}})
               + vertex("lost", "1", "", rowStyle, 100, 145, 200, 30) + vertex("lost_c", "lost", "middle text", partStyle, 40, 0)
               + vertex("far", "1", "", rowStyle, 900, 900, 200, 30) + vertex("far_c", "far", "gone", partStyle, 40, 0)
               + edge("e", "lost", "b", "endArrow=ERmany;")
        << QStringList{"A @100,100: id:int[P] | middle:text | z:last", "B @500,100: a_id", "A -> B 0/3"};

    // A relationship from a table to itself drawn with ER ends is one; a
    // link between two rows of one table without them is decoration. A
    // label added to a connector is a cell inside it.
    QTest::newRow("self-relationships and label cells")
        << table("a", "Part", 0, 0, {{"PK", "id int"}, {"FK", "parent_id int"}, {"", "name"}})
               + edge("self", "a_r0", "a_r1", "edgeStyle=entityRelationEdgeStyle;startArrow=ERmandOne;endArrow=ERmany;")
               + vertex("l1", "self", "made of", "edgeLabel;html=1;align=center;", 0, 0)
               + vertex("l2", "self", "<i>parts</i>", "edgeLabel;html=1;align=center;", 0, 0)
               + edge("deco", "a_r1", "a_r2", "endArrow=classic;")
        << QStringList{"Part @0,0: id:int[P] | parent_id:int[F] | name", "Part -> Part 0/3 made of parts"};

    // The name cell of a row with a key cell names the column, however it
    // reads; a type cell may stand before the name cell or after it.
    QTest::newRow("columns named like key markers")
        << table("k", "Keys", 0, 0, {{"PK", "pk : int"}, {"", "fk1"}, {"UK", "uq : text"}, {"", "PKEY int"},
                                     {"FK2", "FK2 : int"}})
        << QStringList{"Keys @0,0: pk:int[P] | fk1 | uq:text[U] | PKEY:int | FK2:int[F]"};
    // Coordinates far beyond any drawing stay within a diagram's reach, so
    // that the import can be written out again (a fuzzer's find).
    QTest::newRow("coordinates out of reach")
        << table("f", "Far", 5e83, -1e300, {{"", "a"}}) << QStringList{"Far @1e+06,-1e+06: a"};
    // Key markers in a type are keys, as in a name cell: in a type cell of
    // their own, or glued to the name by a colon (fuzzers' finds).
    QTest::newRow("key markers in a type")
        << table("t", "Typed", 0, 0, {{"PK", "id"}, {"", "owner_id"}})
               + vertex("t_r0_t", "t_r0", "PK", partStyle, 200, 0, 60, 30)
               + vertex("t_r1_t", "t_r1", "int FK", partStyle, 200, 0, 60, 30)
               + vertex("t_r2", "t", "", rowStyle, 0, 90, 200, 30) + vertex("t_r2_c", "t_r2", "ref:FK1", partStyle, 0, 0)
        << QStringList{"Typed @0,0: id[P] | owner_id:int[F] | ref[F]"};

    // A row directly on a second layer does not make the layer a table; the
    // rectangles of that layer are boxes when there is no table.
    QTest::newRow("second layer")
        << QByteArray("<mxCell id=\"L2\" value=\"Layer 2\" parent=\"0\"/>") + vertex("r", "L2", "", rowStyle, 900, 0)
               + vertex("q", "L2", "Box<br>a int", "html=1;", 0, 0)
        << QStringList{"Box @0,0: a:int"};
}

void TestDrawioReader::pages()
{
    QFETCH(QByteArray, cells);
    QFETCH(QStringList, expected);
    QString error;
    const QJsonObject result = parseBytes(mxfile(diagram(model(cells))), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(summarizeDiagram(result), expected);
    const DrawioRoundTrip trip = drawioRoundTrip(mxfile(diagram(model(cells))));
    QCOMPARE(trip.second, trip.first);
}

// Every page holding tables is read, each beside the page before; pages
// without tables or that cannot be decoded are named in the note.
void TestDrawioReader::multiplePages()
{
    QString error;
    const QJsonObject real = parseDrawioFile(dataDir + QLatin1String("two-pages.drawio"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(summarizeDiagram(real), summarizeDiagram(parseDrawioFile(dataDir + QLatin1String("erd.xml"), nullptr)));
    QCOMPARE(real.value(QLatin1String("importNotes")).toArray(),
             QJsonArray({"Imported 3 entities and 2 relationships from page \"Schema\"",
                         "page \"Context\" holds no tables"}));

    const QByteArray tableA = table("a", "A", 0, 0, {{"PK", "id int"}});
    const QByteArray tableB = table("b", "B", 0, 0, {{"PK", "id int"}, {"FK", "a_id int"}});
    const QByteArray file = mxfile("<diagram name=\"One\">" + model(tableA) + "</diagram>"
                                   + "<diagram name=\"Sketch\">" + compressed(model(vertex("n", "1", "Idea", "html=1;", 0, 0)), -15)
                                   + "</diagram><diagram name=\"Two\">" + compressed(model(tableB), -15) + "</diagram>" + brokenPage);
    const QJsonObject read = parseBytes(file, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QJsonArray entities = read.value(QLatin1String("entities")).toArray();
    QCOMPARE(entities.size(), 2);
    QVERIFY(entities.at(1)[QLatin1String("x")].toDouble() >= 200 + kDrawioPageGap);
    QCOMPARE(entities.at(1)[QLatin1String("y")].toDouble(), 0.0);
    QCOMPARE(read.value(QLatin1String("importNotes")).toArray(),
             QJsonArray({"Imported 2 entities and 0 relationships from pages \"One\" and \"Two\"",
                         "page \"Sketch\" holds no tables", "page \"Broken\" could not be decoded"}));
}

// Tables whose rows hold a key cell, a type cell and a name cell.
void TestDrawioReader::keyTypeNameRows()
{
    QString error;
    const QJsonObject read = parseDrawioFile(dataDir + QLatin1String("key-type-name.drawio"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(summarizeDiagram(read, false),
             QStringList{"Users: ID:string[P] | Email:string | CreatedAt:date | TenantID:string[F] | pk:int"});
}

void TestDrawioReader::containers_data()
{
    const QByteArray page = model(table("a", "Customer &amp; Co", 0, 0, {{"PK", "id"}}));
    QByteArray wrapped = compressed(page, -15);
    for (int i = 60; i < wrapped.size(); i += 61)
        wrapped.insert(i, i % 2 ? "\r\n  " : "\n ");

    QTest::addColumn<QByteArray>("file");
    QTest::newRow("bare model") << page;
    QTest::newRow("plain page") << mxfile(diagram(page));
    QTest::newRow("raw deflate") << mxfile(diagram(compressed(page, -15)));
    QTest::newRow("zlib header") << mxfile(diagram(compressed(page, 15)));
    QTest::newRow("gzip header") << mxfile(diagram(compressed(page, 31)));
    QTest::newRow("wrapped Base64") << mxfile(diagram(wrapped));
    QTest::newRow("Base64 of plain XML") << mxfile(diagram(page.toBase64()));
    QTest::newRow("escaped XML") << mxfile(diagram(escapedXml(page)));
    QTest::newRow("undecodable page skipped")
        << mxfile(diagram("@@@@") + diagram("bm90IGEgZGlhZ3JhbQ==") + diagram(compressed(page, -15)));
    QTest::newRow("a page without tables beside one with tables")
        << mxfile(diagram(escapedXml(model(vertex("b", "1", "Other", "html=1;", 0, 0)))) + diagram(compressed(page, -15)));
}

void TestDrawioReader::containers()
{
    QFETCH(QByteArray, file);
    QString error;
    const QJsonObject result = parseBytes(file, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(summarizeDiagram(result), QStringList{QStringLiteral("Customer & Co @0,0: id[P]")});
}

void TestDrawioReader::failures_data()
{
    // About 300 KiB that would inflate to 100 MiB: refused, not exhausted.
    qsizetype left = qsizetype(100) << 20;
    const QByteArray bomb = deflateStream(
                                [&]() {
                                    const qsizetype n = std::min<qsizetype>(left, 1 << 20);
                                    left -= n;
                                    return QByteArray(n, 'A');
                                },
                                -15, Z_BEST_SPEED)
                                .toBase64();

    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    const QString noDiagram = QStringLiteral("No draw.io diagram was found in the file.");
    const QString noEntities = QStringLiteral("No ER entities were recognized in the draw.io file.");
    QTest::newRow("empty file") << QByteArray() << noDiagram;
    QTest::newRow("not XML") << QByteArray("erDiagram\n  A ||--o{ B : x\n") << noDiagram;
    QTest::newRow("empty root") << QByteArray("<mxGraphModel><root></root></mxGraphModel>") << noDiagram;
    QTest::newRow("decompression bomb")
        << mxfile(diagram(bomb))
        << QStringLiteral("The file is too large to open: page \"Page\" holds over 64 MiB once inflated; at most 64 "
                          "MiB are supported.");
    QTest::newRow("no page holds a table")
        << mxfile(diagram(model({})) + diagram(model(vertex("a", "1", "", "ellipse;", 0, 0)))) << noEntities;
    QTest::newRow("only connectors")
        << mxfile(diagram(model(edge("e", "x", "y", "")))) << noEntities;
    // A page that cannot be decoded is never silently replaced.
    QTest::newRow("only an undecodable page")
        << mxfile(brokenPage) << noDiagram.chopped(1) + QStringLiteral(": page \"Broken\" could not be decoded.");
    QTest::newRow("undecodable page beside an empty one")
        << mxfile(diagram(model({})) + brokenPage) << noEntities.chopped(1) + QStringLiteral(": page \"Broken\" could not be decoded.");
}

void TestDrawioReader::failures()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QString got = QStringLiteral("stale");
    QVERIFY(parseBytes(file, &got).isEmpty());
    QCOMPARE(got, error);

    QVERIFY(parseDrawioFile(QStringLiteral("/nonexistent/dir/x.drawio"), &got).isEmpty());
    QCOMPARE(got, QStringLiteral("Could not open the draw.io file."));
    QVERIFY(parseBytes(file, nullptr).isEmpty()); // no error holder is fine
}

void TestDrawioReader::cellRecords()
{
    const QByteArray xml = model(
        "<mxCell id=\"a\" value=\"\" label=\"from label\" vertex=\"true\" edge=\"1\" parent=\"1\"/>"
        "<mxCell id=\"b\" parent=\"1\" vertex=\"1\">text <b>child</b> after<mxGeometry x=\"oops\" y=\"nan\" "
        "width=\"inf\" as=\"geometry\"/></mxCell>"
        "<mxCell vertex=\"1\"><mxCell id=\"n\" vertex=\"1\"/></mxCell>"
        "<object name=\" id \" type=\" int \" primaryKey=\"1\" foreignKey=\"TRUE\" unique=\"Yes\" id=\"o\" "
        "parent=\"b\"><mxCell vertex=\"1\"/></object>");
    QList<DrawioCell> cells;
    QVERIFY(readDrawioModel(xml, cells));
    QCOMPARE(cells.size(), 6);

    const DrawioCell& a = cells.at(2);
    QCOMPARE(a.id, QStringLiteral("a"));
    QCOMPARE(a.value, QStringLiteral("from label"));
    QVERIFY(!a.vertex); // only "1" makes a vertex
    QVERIFY(a.edge);
    QCOMPARE(QSizeF(a.width, a.height), QSizeF(180, 40));

    const DrawioCell& b = cells.at(3);
    QCOMPARE(b.value, QStringLiteral("text ")); // the first run of text only
    QCOMPARE(QRectF(b.x, b.y, b.width, b.height), QRectF(0, 0, 0, 40)); // unreadable numbers

    // A cell without an id is dropped; the cell inside it takes nothing
    // from it but still counts.
    QCOMPARE(cells.at(4).id + '/' + cells.at(4).parent, QStringLiteral("n/"));

    const DrawioCell& o = cells.at(5);
    QCOMPARE(o.id + '/' + o.parent, QStringLiteral("o/b"));
    QCOMPARE(o.value, QStringLiteral("id : int PK FK UK"));
    QVERIFY(o.primaryKey && o.foreignKey && o.unique);
}

// Cells nested 100,000 deep are read to the nesting cap and the rest of
// the element skipped; the tables around them still come through.
void TestDrawioReader::deepNestingIsSkipped()
{
    const int depth = 100000;
    QByteArray nest;
    nest.reserve(depth * 40);
    for (int i = 0; i < depth; ++i)
        nest += "<mxCell id=\"d" + QByteArray::number(i) + "\" vertex=\"1\">";
    for (int i = 0; i < depth; ++i)
        nest += "</mxCell>";
    const QByteArray cells = table("a", "Before", 0, 0, {{"", "x"}}) + nest + table("b", "After", 300, 0, {{"", "y"}});

    QList<DrawioCell> read;
    QVERIFY(readDrawioModel(model(cells), read));
    QCOMPARE(read.size(), 2 + 4 + kMaxDrawioNesting + 4);

    QString error;
    const QJsonObject result = parseBytes(mxfile(diagram(model(cells))), &error);
    QCOMPARE(summarizeDiagram(result), (QStringList{"Before @0,0: x", "After @300,0: y"}));

    // A page element holding no model but elements as deep, before a
    // compressed page: its text is gathered without recursion, and the
    // next page is read.
    const QByteArray deepPage = QByteArray("<a>").repeated(depth) + "text" + QByteArray("</a>").repeated(depth);
    const QByteArray page = model(table("c", "Compressed", 0, 0, {{"", "z"}}));
    const QJsonObject second = parseBytes(mxfile(diagram(deepPage) + diagram(compressed(page, -15))), &error);
    QCOMPARE(summarizeDiagram(second), QStringList{"Compressed @0,0: z"});
    // Left open, it fails with the reader's sentence.
    QVERIFY(parseBytes(mxfile(diagram(QByteArray("<a>").repeated(depth))), &error).isEmpty());
    QCOMPARE(error, QStringLiteral("No draw.io diagram was found in the file."));
}

void TestDrawioReader::percentDecoding_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("decoded");
    QTest::newRow("escapes in any case") << QByteArray("%3CmxCell%20id%3d%221%22%2F%3E") << QByteArray("<mxCell id=\"1\"/>");
    QTest::newRow("UTF-8 bytes") << QByteArray("gr%C3%B6%C3%9Fe") << QByteArray("gr\xc3\xb6\xc3\x9f" "e");
    QTest::newRow("no escapes") << QByteArray("plain text+more") << QByteArray("plain text+more");
    QTest::newRow("broken escapes stay") << QByteArray("%zz%4%") << QByteArray("%zz%4%");
    QTest::newRow("percent before an escape") << QByteArray("%%41%2") << QByteArray("%A%2");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestDrawioReader::percentDecoding()
{
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, decoded);
    QCOMPARE(percentDecodeDrawio(encoded), decoded);
    // Whatever the escapes, decoding undoes the encoding.
    QCOMPARE(percentDecodeDrawio(decoded.toPercentEncoding()), decoded);
}

QUILLMAP_TEST_GUILESS_MAIN(TestDrawioReader)
#include "tst_drawioreader.moc"
