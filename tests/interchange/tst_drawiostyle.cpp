#include "interchange/drawiostyle.h"

#include "common/testmain.h"

#include <QTest>

class TestDrawioStyle : public QObject
{
    Q_OBJECT

private slots:
    void styleValue_data();
    void styleValue();
    void shapes_data();
    void shapes();
    void plainText_data();
    void plainText();
    void rowText_data();
    void rowText();
    void arrows_data();
    void arrows();
    void rowCellsAndChildTexts();
    void childTextsSurviveCyclesAndDepth();
};

void TestDrawioStyle::styleValue_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "shape=table;startSize=30;" << "shape" << "table";
    QTest::newRow("blanks around") << "shape = table ;" << "shape" << "table";
    QTest::newRow("later wins") << "shape=a;shape=b" << "shape" << "b";
    QTest::newRow("case-sensitive key") << "shape=table;" << "Shape" << "";
    QTest::newRow("bare names carry nothing") << "swimlane;text;html=1" << "swimlane" << "";
    QTest::newRow("value with '='") << "points=[[0,0.5]];label=a=b" << "label" << "a=b";
    QTest::newRow("part starting with '='") << "=x;k=v" << "" << "";
    QTest::newRow("absent") << "html=1;" << "fontStyle" << "";
}

void TestDrawioStyle::styleValue()
{
    QFETCH(QString, style);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(drawioStyleValue(style, key), value);
}

void TestDrawioStyle::shapes_data()
{
    // Expected predicates as letters: T table, R row, P partial rectangle,
    // L relationship, E edge label.
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("expected");
    QTest::newRow("table") << "shape=table;startSize=30;" << "T";
    QTest::newRow("stack layout") << "swimlane;childLayout=stackLayout;" << "T";
    QTest::newRow("bare swimlane") << "swimlane;" << "";
    QTest::newRow("swimlane shape") << "shape=swimlane;" << "T";
    QTest::newRow("er entity") << "shape=mxgraph.er.entity;" << "T";
    QTest::newRow("table row") << "shape=tableRow;horizontal=0;" << "R";
    QTest::newRow("list item, any case") << "shape=ListItem;" << "R";
    QTest::newRow("partial rectangle") << "shape=partialRectangle;top=0;" << "P";
    QTest::newRow("bare rhombus") << "rhombus;whiteSpace=wrap;" << "";
    QTest::newRow("rhombus shape") << "shape=rhombus;" << "L";
    QTest::newRow("er relationship") << "shape=mxgraph.er.relationship;" << "L";
    QTest::newRow("edge label") << "edgeLabel;html=1;" << "E";
    QTest::newRow("text") << "text;html=1;" << "E";
    QTest::newRow("rectangle") << "rounded=0;whiteSpace=wrap;html=1;" << "";
}

void TestDrawioStyle::shapes()
{
    QFETCH(QString, style);
    QFETCH(QString, expected);
    QString got;
    if (isDrawioTableShape(style))
        got += QLatin1Char('T');
    if (isDrawioRowShape(style))
        got += QLatin1Char('R');
    if (isDrawioPartialRectangle(style))
        got += QLatin1Char('P');
    if (isDrawioRelationshipShape(style))
        got += QLatin1Char('L');
    if (isDrawioEdgeLabel(style))
        got += QLatin1Char('E');
    QCOMPARE(got, expected);
}

void TestDrawioStyle::plainText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("plain");
    QTest::newRow("two divs") << "<div>id&nbsp;<b>int</b></div><div>name</div>" << "id int\nname";
    QTest::newRow("breaks and rules") << "<p>Role</p><hr/><p>a<br/>b<BR >c</p><hr size=\"1\">d" << "Role\n\na\nb\nc\nd";
    QTest::newRow("headings") << "<h1>T</h1>x" << "T\nx";
    QTest::newRow("entities") << "a &amp; b &lt;c&gt; &quot;d&quot;" << "a & b <c> \"d\"";
    QTest::newRow("escaped entity decoded once") << "map&amp;lt;k&amp;gt;" << "map&lt;k&gt;";
    QTest::newRow("numeric line feeds") << "a&#xA;b&#10;c" << "a\nb\nc";
    QTest::newRow("other numeric references") << "it&#39;s &#x263A;" << QString::fromUtf8("it's \u263A");
    QTest::newRow("no-break space") << QString::fromUtf8("\u00a0a\u00a0b\u00a0") << "a b";
    QTest::newRow("table cells stay apart") << "<table><tr><td>PK</td><td>id</td></tr><tr><td>FK1</td><td>c</td></tr></table>"
                                            << "PK id \nFK1 c";
    QTest::newRow("unclosed tag is text") << "a < b" << "a < b";
    QTest::newRow("empty angle brackets stay") << "<>x" << "<>x";
    QTest::newRow("unknown entity stays") << "&copy; &#xZZ;" << "&copy; &#xZZ;";
    QTest::newRow("references to no character stay") << "&#1;&#xD800;&#0;&#xFFFF;" << "&#1;&#xD800;&#0;&#xFFFF;";
}

void TestDrawioStyle::plainText()
{
    QFETCH(QString, html);
    QFETCH(QString, plain);
    QCOMPARE(htmlToPlainText(html), plain);
}

void TestDrawioStyle::rowText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("keys");
    QTest::newRow("pk at end") << "id int PK" << "id" << "int" << "P";
    QTest::newRow("colon and parenthesised fk") << "customer_id : int (FK)" << "customer_id" << "int" << "F";
    QTest::newRow("numbered fk first") << "fk1 order_id" << "order_id" << "" << "F";
    QTest::newRow("marker alone") << "PK" << "" << "" << "P";
    QTest::newRow("type with comma") << "price decimal(10, 2)" << "price" << "decimal(10, 2)" << "";
    QTest::newRow("markers joined by a comma") << "PK,FK1 row 1" << "row" << "1" << "PF";
    QTest::newRow("pkey and unique") << "email text pkey uq" << "email" << "text" << "PU";
    QTest::newRow("fkey is no marker") << "fkey x" << "fkey" << "x" << "";
    QTest::newRow("plain text is not decoded again") << "m <b>x</b> &lt;PK&gt;" << "m" << "<b>x</b> &lt;PK&gt;" << "";
    QTest::newRow("line feeds and blank runs") << "\n id \t int\nFK " << "id" << "int" << "F";
    QTest::newRow("blank") << "   " << "" << "" << "";
}

void TestDrawioStyle::rowText()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, keys);
    const DrawioAttribute attribute = parseRowText(text, 7.5);
    QCOMPARE(attribute.name, name);
    QCOMPARE(attribute.type, type);
    QCOMPARE(attribute.primaryKey, keys.contains(QLatin1Char('P')));
    QCOMPARE(attribute.foreignKey, keys.contains(QLatin1Char('F')));
    QCOMPARE(attribute.unique, keys.contains(QLatin1Char('U')));
    QCOMPARE(attribute.order, 7.5);
}

void TestDrawioStyle::arrows_data()
{
    QTest::addColumn<QString>("arrow");
    QTest::addColumn<int>("cardinality");
    QTest::newRow("zero to many") << "ERzeroToMany" << 3;
    QTest::newRow("many, blanks, lower case") << " ermany " << 3;
    QTest::newRow("one to many") << "ERoneToMany" << 1;
    QTest::newRow("mandatory one to many") << "ERmandOneToMany" << 1;
    QTest::newRow("zero to one") << "ERzeroToOne" << 2;
    QTest::newRow("mandatory one") << "ERmandOne" << 0;
    QTest::newRow("one") << "ERone" << 0;
    QTest::newRow("classic") << "classic" << 0;
    QTest::newRow("none") << "none" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestDrawioStyle::arrows()
{
    QFETCH(QString, arrow);
    QFETCH(int, cardinality);
    QCOMPARE(arrowToCardinality(arrow), cardinality);
}

static DrawioCell cell(const QString& id, const QString& parent, const QString& value, const QString& style = {},
                       double x = 0, double y = 0)
{
    DrawioCell c;
    c.id = id;
    c.parent = parent;
    c.value = value;
    c.style = style;
    c.vertex = true;
    c.x = x;
    c.y = y;
    return c;
}

void TestDrawioStyle::rowCellsAndChildTexts()
{
    const QString partial = QStringLiteral("shape=partialRectangle;");
    QList<DrawioCell> cells{
        cell("row", "t", "", partial, 0, 30),
        cell("name", "row", "id <b>int</b>", partial, 30, 0),
        cell("key", "row", "PK", partial, 0, 0),
        cell("note", "name", "sub", {}, 0, 5),
        cell("lonely", "t", "x", partial),
    };
    DrawioCell link = cell("link", "lonely", "");
    link.vertex = false;
    link.edge = true;
    cells.append(link);

    QVERIFY(isDrawioRowCell(cells.at(0), cells));
    QVERIFY(!isDrawioRowCell(cells.at(4), cells)); // only an edge inside
    QVERIFY(isDrawioRowCell(cell("r", "t", "", "shape=tableRow;"), cells));
    // Siblings by y then x, each followed by its own children.
    QCOMPARE(drawioRowText(cells.at(0), cells), QStringLiteral("PK id int sub"));
}

void TestDrawioStyle::childTextsSurviveCyclesAndDepth()
{
    // A parent cycle through a row: a -> b -> a, and a cell that is its own
    // parent; each text comes once.
    const QList<DrawioCell> cycle{cell("a", "b", "A"), cell("b", "a", "B"), cell("s", "s", "S")};
    QCOMPARE(drawioRowText(cycle.at(0), cycle), QStringLiteral("A B"));
    QCOMPARE(drawioRowText(cycle.at(2), cycle), QStringLiteral("S"));

    // A chain 100,000 deep is walked without running out of stack.
    QList<DrawioCell> chain;
    const int depth = 100000;
    for (int i = 0; i < depth; ++i)
        chain.append(cell(QString::number(i), QString::number(i - 1), i % 1000 == 0 ? QStringLiteral("x") : QString()));
    QStringList texts;
    collectDrawioChildTexts(chain.at(0), chain, texts);
    QCOMPARE(texts.size(), depth / 1000 - 1);
}

QUILLMAP_TEST_GUILESS_MAIN(TestDrawioStyle)
#include "tst_drawiostyle.moc"
