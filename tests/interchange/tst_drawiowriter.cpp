#include "interchange/drawioreader.h"
#include "interchange/drawiowriter.h"

#include "common/testfiles.h"
#include "common/testmain.h"
#include "drawiosummary.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}

// One fact of the written document per entry: "<cell>.<field>=<value>",
// the field being an attribute of the cell or of its geometry ("x", "y",
// "width", "height"; "-" when absent), or "style:<key>" for a style value.
// "<cell>!" says that no cell has that id; "count=<n>" counts the cells.
QStringList checkFacts(const QString& document, const QStringList& facts)
{
    QHash<QString, QHash<QString, QString>> cells;
    QStringList order;
    QXmlStreamReader xml(document);
    QString current;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("mxCell")) {
            current = xml.attributes().value(QLatin1String("id")).toString();
            order.append(current);
            for (const QXmlStreamAttribute& a : xml.attributes())
                cells[current].insert(a.name().toString(), a.value().toString());
        } else if (xml.name() == QLatin1String("mxGeometry")) {
            for (const QXmlStreamAttribute& a : xml.attributes())
                cells[current].insert(a.name().toString(), a.value().toString());
        }
    }
    QStringList wrong;
    if (xml.hasError())
        wrong.append(QStringLiteral("XML error: ") + xml.errorString());
    for (const QString& fact : facts) {
        if (fact.startsWith(QLatin1String("count="))) {
            if (QString::number(order.size()) != fact.mid(6))
                wrong.append(fact + QLatin1String(" but ") + QString::number(order.size()));
            continue;
        }
        if (fact.endsWith(QLatin1Char('!'))) {
            if (cells.contains(fact.chopped(1)))
                wrong.append(fact);
            continue;
        }
        const qsizetype dot = fact.indexOf(QLatin1Char('.'));
        const qsizetype eq = fact.indexOf(QLatin1Char('='), dot);
        const QString id = fact.left(dot);
        const QString field = fact.mid(dot + 1, eq - dot - 1);
        const QString expected = fact.mid(eq + 1);
        const auto& cell = cells.value(id);
        QString got = QStringLiteral("-");
        if (field.startsWith(QLatin1String("style:")))
            got = drawioStyleValue(cell.value(QStringLiteral("style")), field.mid(6));
        else if (cell.contains(field))
            got = cell.value(field);
        if (!cells.contains(id))
            got = QStringLiteral("(no cell)");
        if (got != expected)
            wrong.append(fact + QLatin1String(" but ") + got);
    }
    return wrong;
}

QJsonObject roundTrip(const QJsonObject& diagram, QString* error)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.drawio"));
    if (!writeDrawioFile(diagram, path, error))
        return {};
    return parseDrawioFile(path, error);
}

} // namespace

class TestDrawioWriter : public QObject
{
    Q_OBJECT

private slots:
    void workedExample();
    void facts_data();
    void facts();
    void fileFailures_data();
    void fileFailures();
    void roundTripOfGeneratedDiagrams();
};

void TestDrawioWriter::workedExample()
{
    const QJsonObject diagram = json(R"({"entities":[{"id":"c1","title":"Customer","x":60,"y":60,
        "attributes":[{"name":"id","type":"uuid","isPrimaryKey":true},{"name":"name","type":"text"}]}]})");
    const QByteArray golden = fileContents(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/customer_export.drawio"));
    QVERIFY(!golden.isEmpty());
    QCOMPARE(sceneJsonToDrawio(diagram).toUtf8(), golden);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.drawio"));
    writeFile(path, QByteArray(100000, 'x')); // replaced whole
    QString error;
    QVERIFY(writeDrawioFile(diagram, path, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(fileContents(path), golden);
}

void TestDrawioWriter::facts_data()
{
    QTest::addColumn<QByteArray>("diagram");
    QTest::addColumn<QStringList>("facts");

    QTest::newRow("entity without named attributes")
        << QByteArray(R"({"entities":[{"id":"e","title":"Empty","attributes":[{"name":"  ","type":"a-very-long-type-name-that-widens-the-table"}]}]})")
        << QStringList{"e.height=60.0", "e.width=425.5", "e_r0.y=30.0", "e_r0.style:bottom=1", "e_r0_k.value=",
                       "e_r0_c.value=", "e_r0_c.style:fontStyle=0", "e_r1!", "count=6"};
    QTest::newRow("three rows, key texts and font styles")
        << QByteArray(R"({"entities":[{"id":"t","title":"T","attributes":[
               {"name":"a","isPrimaryKey":true,"isForeignKey":true},{"name":"b","isForeignKey":true,"isUniqueKey":true},
               {"name":" c ","type":" int ","isUniqueKey":true}]}]})")
        << QStringList{"t_r0.style:bottom=0", "t_r1.style:bottom=0", "t_r2.style:bottom=1", "t_r2.y=90.0",
                       "t_r0_k.value=PK, FK", "t_r1_k.value=FK, UK", "t_r2_k.value=UK", "t_r0_c.style:fontStyle=5",
                       "t_r1_c.style:fontStyle=2", "t_r2_c.value=c : int", "t.height=120.0"};
    QTest::newRow("cell ids made from entity ids")
        << QByteArray(R"({"entities":[{"id":"1st","title":"A"},{"id":"a b.c","title":"B"},{"id":"a b.c","title":"C",
               "attributes":[{"name":"id","isPrimaryKey":true}]},{"id":"-","title":"D"},{"id":"ü→x","title":"E"},
               {"title":"no id"}],"edges":[{"from":"1st","to":"a b.c","id":""}]})")
        << QStringList{"n1st.value=A", "a_b_c.value=B", "a_b_c_2.value=C", "n-.value=D", "ü_x.value=E",
                       "n1st_a_b_c_2.target=a_b_c_2", "n1st_a_b_c_2.source=n1st", "count=23"};
    QTest::newRow("colours, defaults and entity views")
        << QByteArray(R"({"entities":[{"id":"v","title":"","kind":"entity-view","hdrLight":"#00ffffff","hdrDark":"#80FF0000",
               "bgLight":"nonsense","txtDark":"navy"},{"id":"t","title":"T","fgLight":"#12AbCdEf"}]})")
        << QStringList{"v.value=v", "v.style:quillKind=entity-view", "v.style:fillColor=#ff0000",
                       "v.style:swimlaneFillColor=#ffffff", "v.style:strokeColor=#82b366", "v.style:fontColor=#000080",
                       "v_r0_k.style:fontColor=#000080", "v_r0.style:fillColor=#ffffff", "t.style:quillKind=table",
                       "t.style:fillColor=#dae8fc", "t.style:strokeColor=#abcdef"};
    QTest::newRow("cardinalities and labels")
        << QByteArray(R"({"entities":[{"id":"a","title":"A"},{"id":"b","title":"B"}],"edges":[
               {"id":"e0","from":"a","to":"b","startCard":0,"endCard":3,"label":"has <many> & more"},
               {"id":"e1","from":"a","to":"b","endCard":2},{"id":"e2","from":"a","to":"b","startCard":7,"endCard":-1},
               {"id":"e3","from":"a","to":"b","startCard":1.5,"endCard":"2"},
               {"id":"e4","from":"a","to":"b","kind":"entity-view-edge"},{"id":"e5","from":"a","to":"zz"}]})")
        << QStringList{"e0.style:startArrow=ERmandOne", "e0.style:endArrow=ERzeroToMany", "e0.value=has &lt;many&gt; &amp; more",
                       "e0.parent=1", "e0.edge=1", "e0.relative=1", "e1.style:startArrow=ERoneToMany",
                       "e1.style:endArrow=ERzeroToOne", "e2.style:startArrow=ERoneToMany", "e2.style:endArrow=ERoneToMany",
                       "e3.style:startArrow=ERoneToMany", "e3.style:endArrow=ERoneToMany", "e4!", "e5!"};

    const QByteArray keyed = R"({"id":"c","title":"Customer","attributes":[{"name":"code"},{"name":"id","isPrimaryKey":true},
               {"name":"id2","isPrimaryKey":true}]},
        {"id":"o","title":"Order","attributes":[{"name":"x","isForeignKey":true},{"name":"cust","isForeignKey":true,"fkEdgeId":"r1"},
               {"name":"ID","isForeignKey":true},{"name":"customer_ref","isForeignKey":true}]},
        {"id":"p","title":"Pay","attributes":[{"name":"self","isForeignKey":true,"fkEdgeId":"r3"},{"name":"pid","isPrimaryKey":true}]})";
    QTest::newRow("rows that relationships attach to")
        << QByteArray(R"({"entities":[)" + keyed + R"(],"edges":[
               {"id":"r1","from":"c","to":"o"},{"id":"r2","from":"o","to":"c"},{"id":"r1","from":"o","to":"c"},
               {"id":"r3","from":"p","to":"p"},{"id":"r3","from":"c","to":"o"},{"id":"r4","from":"c","to":"o"},
               {"id":"r5","from":"p","to":"o"}]})")
        << QStringList{// its own foreign-key row, at the "to" end
                       "r1.source=c_r1", "r1.target=o_r1",
                       // no own row, no primary key, no name match
                       "r2.source=o", "r2.target=c",
                       // the row belongs to the "from" entity: the start moves there
                       "r1_2.source=o_r1", "r1_2.target=c",
                       // self relationship: the row is the target, the start the primary key
                       "r3.source=p_r1", "r3.target=p_r0",
                       // the row belongs to a third entity: start kept, end on the table
                       "r3_2.source=c_r1", "r3_2.target=o",
                       // name match: the primary key's name, case-insensitive, earliest row
                       "r4.target=o_r2",
                       // "Pay" has a primary key "pid" but no row of Order is named after it
                       "r5.source=p_r1", "r5.target=o"};
    QTest::newRow("name match on the title")
        << QByteArray(R"({"entities":[{"id":"c","title":"Customer"},{"id":"o","title":"Order","attributes":[
               {"name":"customerid"},{"name":"x","isForeignKey":true},{"name":"Customer_Ref","isForeignKey":true},
               {"name":"customer_id","isForeignKey":true}]}],"edges":[{"id":"r","from":"c","to":"o"}]})")
        << QStringList{"r.source=c", "r.target=o_r2"};
    QTest::newRow("no entity has an id")
        << QByteArray(R"({"entities":[{"title":"A"},{"id":"","title":"B"}],"edges":[{"from":"","to":""}]})")
        << QStringList{"count=2", "1.parent=0"};
    QTest::newRow("page grows with the entities")
        << QByteArray(R"({"entities":[{"id":"a","title":"A","x":1000.24,"y":2000,"attributes":[{"name":"x"},{"name":" "}]}]})")
        << QStringList{"a.x=1000.2", "count=6"};
}

void TestDrawioWriter::facts()
{
    QFETCH(QByteArray, diagram);
    QFETCH(QStringList, facts);
    const QJsonDocument doc = QJsonDocument::fromJson(diagram);
    QVERIFY(doc.isObject());
    const QString document = sceneJsonToDrawio(doc.object());
    const QStringList wrong = checkFacts(document, facts);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n')) + QLatin1Char('\n') + document));
    if (QTest::currentDataTag() == QLatin1String("page grows with the entities")) {
        QVERIFY(document.contains(QLatin1String("pageWidth=\"1281\" pageHeight=\"2170\"")));
    }
}

void TestDrawioWriter::fileFailures_data()
{
    QTest::addColumn<QByteArray>("diagram");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("error");
    const QByteArray one = R"({"entities":[{"id":"a","title":"A"}]})";
    QTest::newRow("no destination") << one << "" << "No destination file was specified.";
    QTest::newRow("no entities, edges only")
        << QByteArray(R"({"entities":[],"edges":[{"from":"a","to":"b"}]})") << "file" << "Could not generate a draw.io ER diagram.";
    QTest::newRow("missing directory") << one << "missing" << "Could not write the draw.io file.";
    QTest::newRow("directory in the way") << one << "directory" << "Could not write the draw.io file.";
}

void TestDrawioWriter::fileFailures()
{
    QFETCH(QByteArray, diagram);
    QFETCH(QString, where);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString path;
    if (where == QLatin1String("file")) {
        path = dir.filePath(QStringLiteral("old.drawio"));
        writeFile(path, "old");
    } else if (where == QLatin1String("missing")) {
        path = dir.filePath(QStringLiteral("no/such/x.drawio"));
    } else if (where == QLatin1String("directory")) {
        path = dir.filePath(QStringLiteral("sub"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    }
    QString got;
    QVERIFY(!writeDrawioFile(QJsonDocument::fromJson(diagram).object(), path, &got));
    QCOMPARE(got, error);
    QVERIFY(!writeDrawioFile(QJsonDocument::fromJson(diagram).object(), path, nullptr));
    if (where == QLatin1String("file"))
        QCOMPARE(fileContents(path), QByteArray("old"));
    // Nothing but what the test made is left in the directory.
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size() <= 1);
}

// Export then import gives back every table and view with its rows, keys
// and types, and every relationship with its ends and label, for random
// diagrams whose texts use the characters HTML and XML give meaning to.
void TestDrawioWriter::roundTripOfGeneratedDiagrams()
{
    const QStringList words{"id", "name", "map<string,int>", "a&b", "&lt;", "x>y", "\"q\"", "it's", "größe", "日本",
                            "varchar(20)", "decimal(10, 2)", "&amp;", "€", "tab\there", "😀"};
    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed);
        const auto word = [&]() { return words.at(int(random.bounded(words.size()))); };
        QJsonArray entities;
        const int entityCount = 1 + int(random.bounded(6));
        for (int e = 0; e < entityCount; ++e) {
            QJsonArray attributes;
            const int rows = int(random.bounded(5));
            for (int r = 0; r < rows; ++r) {
                QString name = QStringLiteral("c%1_").arg(r) + word();
                // Names may hold spaces, with or without a type after them.
                name.remove(QLatin1Char(':')).remove(QLatin1Char('\t'));
                QString type = random.bounded(3) == 0 ? QString() : word() + (random.bounded(2) ? QStringLiteral(" ") + word() : QString());
                type.replace(QLatin1Char('\t'), QLatin1Char(' '));
                attributes.append(QJsonObject{{"name", name}, {"type", type},
                                              {"isPrimaryKey", random.bounded(3) == 0},
                                              {"isForeignKey", random.bounded(3) == 0},
                                              {"isUniqueKey", random.bounded(4) == 0}});
            }
            QJsonObject entity{{"id", QStringLiteral("%1 e%2").arg(word()).arg(e)},
                               {"title", QStringLiteral("T%1 ").arg(e) + word()},
                               {"x", double(random.bounded(4000)) / 2}, {"y", double(random.bounded(4000)) / 2},
                               {"attributes", attributes}};
            if (random.bounded(4) == 0)
                entity.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));
            entities.append(entity);
        }
        QJsonArray edges;
        for (int i = 0; i < entityCount; ++i) {
            const int from = int(random.bounded(entityCount));
            const int to = int(random.bounded(entityCount));
            if (from == to)
                continue; // a link within one table is not read back as a relationship
            QJsonObject edge{{"id", QStringLiteral("r%1").arg(i)},
                             {"from", entities.at(from).toObject().value("id")},
                             {"to", entities.at(to).toObject().value("id")},
                             {"startCard", int(random.bounded(4))}, {"endCard", int(random.bounded(4))}};
            if (random.bounded(2))
                edge.insert(QStringLiteral("label"), word() + QStringLiteral(" ") + word());
            edges.append(edge);
        }
        const QJsonObject diagram{{"entities", entities}, {"edges", edges}};

        QString error;
        const QJsonObject back = roundTrip(diagram, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList expected = summarizeDiagram(diagram);
        for (QString& line : expected)
            line.replace(QLatin1Char('\t'), QLatin1Char(' '));
        QCOMPARE(summarizeDiagram(back), expected);
    }
}

QUILLMAP_TEST_GUILESS_MAIN(TestDrawioWriter)
#include "tst_drawiowriter.moc"
