#include "edges/edgepaths.h"
#include "interchange/mermaidreader.h"
#include "interchange/mermaidscanner.h"
#include "interchange/mermaidtojson.h"

#include "common/testfiles.h"
#include "common/testmain.h"
#include "mermaidtestutil.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

class TestMermaidReader : public QObject
{
    Q_OBJECT

private slots:
    void syntaxForms_data();
    void syntaxForms();
    void inlineStatements_data();
    void inlineStatements();
    void foreignKeyMatching_data();
    void foreignKeyMatching();
    void gridAndKeys();
    void markdownChapters();
    void identifierBeforeTitle();
    void randomAndTruncatedInputsEnd();
    void threadsReadAlike();
};

namespace {

QString formsPath(const QString& name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/forms/") + name;
}

QString sharedPath(const QString& name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/") + name;
}

QString describeFile(const QString& path)
{
    return describeMermaidText(QString::fromUtf8(fileContents(path)));
}

} // namespace

void TestMermaidReader::syntaxForms_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("symbols") << "symbols.mmd"
                             << "A, B, C, D, E, F, G, H / A 0-0 B : one-one, A 2-2 C : zero or one both, "
                                "A 1-1 D : many, A 3-3 E : zero or many, A 0-1 F : flipped, "
                                "A 2-3 G : flipped too, H 0-1 A : parent";
    QTest::newRow("words") << "words.mmd"
                           << "A, B, C, D, E, F, G, H, I / A 0-3 B : w1, A 2-1 C : w2, A 2-1 D : w3, "
                              "A 0-3 E : w4, A 0-1 F : w5, A 1-3 G : w6, A 0-3 H : w7, I 0-3 A : w8";
    QTest::newRow("connectors") << "connectors.mmd"
                                << "A, B, C, D, E, F, G, H, I / A 0-3 B : dashes, A 0-3 C : dots, "
                                   "A 0-3 D : dot dash, A 0-3 E : dash dot, A 0-3 F : to, "
                                   "A 0-3 G : optionally to, A 0-3 H : symbols with a word, "
                                   "A 0-3 I : mixed forms";
    QTest::newRow("labels") << "labels.mmd"
                            << "A, B, C, D, E, F, G, H, I / A 0-3 B : places, A 0-3 C : places an order, "
                               "A 0-3 D : padded, A 0-3 E, F 0-3 G : bare words to the end, H 0-3 I";
    QTest::newRow("names and aliases")
        << "names-aliases.mmd"
        << "p[Person]{string name}, acct[Customer Account], DELIVERY ADDRESS{string city}, "
           "gift-card[Gift Card], ORDER_ITEM, BOLD_NAME, Italic, q[Queue], r / "
           "Person 0-3 Customer Account : has, Customer Account 0-3 DELIVERY ADDRESS : ships to, "
           "Person 0-3 ORDER_ITEM : found without regard to case, q 0-3 r : x, Queue 0-3 r : y, "
           "Queue 0-3 r : z";
    QTest::newRow("class suffixes and style statements")
        << "class-suffix.mmd" << "A, B, C{int id PK}, D[Dee], E[Eee] / A 0-3 B : has";
    QTest::newRow("attributes and keys")
        << "attributes.mmd"
        << "T{uuid id PK; varchar(120) full_name; varchar(254) email UK; int category_id PK; "
           "bigint order_id PK FK; bigint line_id PK FK; int other_id FK UK; decimal(12,2) total; "
           "string[] tags; list~string~ colours; string display name; string lonely_word_follows; "
           "string note; int a; int b PK; string c; int more} / ";
    QTest::newRow("statements") << "statements.mmd"
                                << "DEPARTMENT, EMPLOYEE, Directions{string heading}, DESK, BADGE / "
                                   "DEPARTMENT 0-3 EMPLOYEE : employs";
    QTest::newRow("repeated pairs and self-relations")
        << "duplicates.mmd"
        << "A, B / A 0-3 B : first, A 0-3 B : reversed, A 0-1 B : again, A 2-3 A : self, A 2-3 A : self again";
    const QString shop = QStringLiteral("CUSTOMER, ORDER{int id PK} / CUSTOMER 0-3 ORDER : places");
    QTest::newRow("byte order mark and CR LF") << "bom-crlf.mmd" << shop;
    QTest::newRow("lone CR") << "lone-cr.mmd" << shop;
    QTest::newRow("front matter naming the keyword")
        << "front-matter.mmd" << "CUSTOMER, ORDER / CUSTOMER 0-3 ORDER : places";
    QTest::newRow("every mermaid fence, each with its own front matter")
        << "fenced.md" << "CUSTOMER, ORDER, LATER, IGNORED / CUSTOMER 0-3 ORDER : places, LATER 0-3 IGNORED : x";
    QTest::newRow("backticks inside an alias and a label open no fence")
        << "backticks.mmd"
        << "fence[```erDiagram], CUSTOMER, ORDER / CUSTOMER 0-3 ORDER : quoted ```, ```erDiagram 0-3 ORDER : x";
    QTest::newRow("first fence holds another diagram")
        << "fenced-flowchart.md" << "NEVER, READ / NEVER 0-3 READ : x";
    QTest::newRow("keyword only") << "no-entities.mmd" << "error: The Mermaid file does not define any ER entities.";
    QTest::newRow("no diagram") << "not-mermaid.txt" << "error: No Mermaid erDiagram was found in the file.";
}

void TestMermaidReader::syntaxForms()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(describeFile(formsPath(file)), expected);
}

void TestMermaidReader::inlineStatements_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("keyword in any case") << "ERDIAGRAM\n A" << "A / ";
    QTest::newRow("longer word is not the keyword") << "erDiagramX\n A" << "error: No Mermaid erDiagram was found in the file.";
    QTest::newRow("text before the keyword") << "notes first\nerDiagram\n A" << "A / ";
    QTest::newRow("statements across lines") << "erDiagram A\n||--o{\n%% note\nB : x" << "A, B / A 0-3 B : x";
    QTest::newRow("colon without label") << "erDiagram\n A ||--o{ B :\n C ||--o{ D : y"
                                         << "A, B, C, D / A 0-3 B, C 0-3 D : y";
    QTest::newRow("unclosed quoted label") << "erDiagram\n A ||--o{ B : \"open\n C" << "A, B, C / A 0-3 B : open";
    QTest::newRow("no right side") << "erDiagram\n A ||--\n B" << "A, B / ";
    QTest::newRow("cardinality without connector") << "erDiagram\n A ||\n B {\n int x\n }" << "A, B{int x} / ";
    QTest::newRow("word names after a bare entity")
        << "erDiagram\n BADGE\n many_things\n Many-To-Many\n oneway\n zero" << "BADGE, many_things, Many-To-Many, oneway, zero / ";
    QTest::newRow("emphasis around names") << "erDiagram\n ***x***\n `yz`\n _id\n __" << "x, yz, _id, __ / ";
    QTest::newRow("quoted keyword is a name") << "erDiagram\n \"style\" {\n int x\n }" << "style{int x} / ";
    QTest::newRow("keyword followed by a relationship")
        << "erDiagram\n class ||--o{ B : x" << "class, B / class 0-3 B : x";
    QTest::newRow("direction word starting a name") << "erDiagram\n directions ||--o{ B : x"
                                                    << "directions, B / directions 0-3 B : x";
    QTest::newRow("quoted name escapes") << "erDiagram\n \"say \\\"hi\\\"\" ||--o{ \"a\\\\b\" : x"
                                         << "say \"hi\", a\\b / say \"hi\" 0-3 a\\b : x";
    QTest::newRow("quoted alias kept as written") << "erDiagram\n e[\"  **x_y**  \"]" << "e[  **x_y**  ] / ";
    QTest::newRow("bare alias cleaned") << "erDiagram\n e[ **x_y** ]" << "e[x_y] / ";
    QTest::newRow("names differing in underscores stay apart")
        << "erDiagram\n ORDER_ITEM\n ORDERITEM" << "ORDER_ITEM, ORDERITEM / ";
    QTest::newRow("alias used as a name") << "erDiagram\n p[Person]\n Person ||--o{ X : r"
                                          << "p[Person], X / Person 0-3 X : r";
    QTest::newRow("stray characters") << "erDiagram\n } | : ; A" << "A / ";
    QTest::newRow("attribute lines") << "erDiagram\n T {\n int a PK , UK int b\n int \"x\"\n word\n int *\n }"
                                     << "T{int a PK UK; int b} / ";
    QTest::newRow("empty block") << "erDiagram\n SKILL { }\n LOCATION {\n }" << "SKILL, LOCATION / ";
    QTest::newRow("unclosed block") << "erDiagram\n A {\n int x" << "A{int x} / ";
    QTest::newRow("unclosed directive") << "erDiagram\n A\n %%{ never closed" << "A / ";
    QTest::newRow("lone 1 before a connector") << "erDiagram\n A 1--0+ B : x" << "A, B / A 0-3 B : x";
}

void TestMermaidReader::inlineStatements()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(describeMermaidText(text), expected);
}

void TestMermaidReader::foreignKeyMatching_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // per child attribute: name, or name->parent when claimed

    QTest::newRow("exact match beats nothing")
        << "erDiagram\n CUSTOMER ||--o{ ORDER : x\n ORDER {\n int id PK\n int customer_id\n }"
        << "id, customer_id->CUSTOMER";
    QTest::newRow("inner match beats prefix")
        << "erDiagram\n ORDER ||--o{ LINE : x\n LINE {\n int order_line_id\n int parent_order_id\n }"
        << "order_line_id, parent_order_id->ORDER";
    QTest::newRow("marked FK when nothing matches")
        << "erDiagram\n customers ||--o{ T : x\n T {\n int id\n int cust_no FK\n }" << "id, cust_no->customers";
    QTest::newRow("no match, no flag")
        << "erDiagram\n customers ||--o{ T : x\n T {\n int id\n int cust_no\n }" << "id, cust_no";
    QTest::newRow("an attribute serves one relationship")
        << "erDiagram\n CUSTOMER ||--o{ T : x\n CUSTOMER ||--o{ T : y\n T {\n int customer_id\n int other FK\n }"
        << "customer_id->CUSTOMER, other->CUSTOMER";
    // A key is no reference to itself: rather no link than a wrong one.
    QTest::newRow("self-relation without a reference column")
        << "erDiagram\n EMPLOYEE |o--o{ EMPLOYEE : manages\n EMPLOYEE {\n int employee_id PK\n }" << "employee_id";
    QTest::newRow("self-reference beside another reference")
        << "erDiagram\n country {\n char code PK\n }\n customer |o--o{ customer : \"\"\n country ||--o{ customer : \"\"\n"
           " customer {\n uuid customer_id PK\n char code FK\n uuid referred_by FK\n }"
        << "customer_id, code->country, referred_by->customer";
    QTest::newRow("composite reference links every column")
        << "erDiagram\n line ||--o{ item : \"\"\n line {\n int order_id PK\n int line_no PK\n }\n"
           " item {\n int item_id PK\n int order_id FK\n int line_no FK\n }"
        << "item_id, order_id->line, line_no->line";
    QTest::newRow("label names the column")
        << "erDiagram\n person ||--o{ T : \"owner_ref\"\n person ||--o{ T : \"person_id\"\n"
           " T {\n int id PK\n int person_id FK\n int owner_ref FK\n }"
        << "id, person_id->person, owner_ref->person";
    QTest::newRow("two unsettled references stay unlinked")
        << "erDiagram\n A\n B\n A ||--o{ T : \"\"\n B ||--o{ T : \"\"\n T {\n int id PK\n int x FK\n int y FK\n }"
        << "id, x, y";
}

void TestMermaidReader::foreignKeyMatching()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QVERIFY(parseMermaidText(text, entities, relationships, nullptr));
    const QJsonObject json = mermaidModelToSceneJson(entities, relationships);

    QHash<QString, QString> parentOfEdge;
    QHash<QString, QString> titleOfId;
    for (const QJsonValue& v : json.value(QStringLiteral("entities")).toArray())
        titleOfId.insert(v[QStringLiteral("id")].toString(), v[QStringLiteral("title")].toString());
    for (const QJsonValue& v : json.value(QStringLiteral("edges")).toArray())
        parentOfEdge.insert(v[QStringLiteral("id")].toString(), titleOfId.value(v[QStringLiteral("from")].toString()));

    const QJsonArray entityArray = json.value(QStringLiteral("entities")).toArray();
    const QJsonObject child = entityArray.last().toObject();
    QStringList found;
    for (const QJsonValue& v : child.value(QStringLiteral("attributes")).toArray()) {
        QString text = v[QStringLiteral("name")].toString();
        if (v.toObject().contains(QStringLiteral("fkEdgeId"))) {
            QVERIFY(v[QStringLiteral("isForeignKey")].toBool());
            text += QLatin1String("->") + parentOfEdge.value(v[QStringLiteral("fkEdgeId")].toString());
        }
        found << text;
    }
    QCOMPARE(found.join(QLatin1String(", ")), expected);
}

// A documentation page with one erDiagram block per chapter becomes one
// diagram; a block of another diagram type is passed over.
void TestMermaidReader::markdownChapters()
{
    QString error;
    const QJsonObject json = parseMermaidFile(sharedPath(QStringLiteral("09-documentation-chapters.md")), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList titles;
    for (const QJsonValue& v : json.value(QStringLiteral("entities")).toArray()) {
        QStringList names;
        for (const QJsonValue& a : v[QStringLiteral("attributes")].toArray())
            names << a[QStringLiteral("name")].toString();
        titles << v[QStringLiteral("title")].toString() + QLatin1String(": ") + names.join(QLatin1Char(' '));
    }
    QCOMPARE(titles, QStringList({"Customer account: customer_id email referred_by full_name",
                                  "address: address_id customer_id street", "sales_order: order_id customer_id placed_at",
                                  "order_line: order_id line_no product_id amount",
                                  "product: product_id category_id name", "category: category_id parent_id name"}));
    // The reference to product stated in two chapters is one relationship.
    QCOMPARE(json.value(QStringLiteral("edges")).toArray().size(), 7);
    QCOMPARE(json.value(QStringLiteral("importNotes")).toArray(),
             QJsonArray({"Imported 6 entities and 7 relationships from 3 diagram blocks",
                         "1 block of other diagram types not read"}));
}

void TestMermaidReader::gridAndKeys()
{
    QString text = QStringLiteral("erDiagram\n");
    for (int i = 0; i < 5; ++i)
        text += QStringLiteral(" E%1\n").arg(i);
    text += QStringLiteral(" E0 {\n int a\n int b\n }\n E1 {\n int a\n int b UK, PK\n }\n");
    text += QStringLiteral(" E3 ||--o{ E4 : x\n E4 ||--o{ E3\n");
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QVERIFY(parseMermaidText(text, entities, relationships, nullptr));
    const QJsonObject json = mermaidModelToSceneJson(entities, relationships);
    const QJsonArray edges = json.value(QStringLiteral("edges")).toArray();
    QCOMPARE(edges.size(), 2);
    QCOMPARE(edges[0][QStringLiteral("label")].toString(), QStringLiteral("x"));
    QVERIFY(!edges[1].toObject().contains(QStringLiteral("label")));
    QCOMPARE(edges[0][QStringLiteral("startCard")].toInt(), 0);
    QCOMPARE(edges[0][QStringLiteral("endCard")].toInt(), 3);
    QVERIFY(edges[0][QStringLiteral("id")] != edges[1][QStringLiteral("id")]);
    const QJsonArray array = json.value(QStringLiteral("entities")).toArray();
    QCOMPARE(array.size(), 5);
    const QList<QPointF> expected = {{60, 60}, {380, 60}, {700, 60}, {60, 300}, {380, 300}};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(QPointF(array[i][QStringLiteral("x")].toDouble(), array[i][QStringLiteral("y")].toDouble()), expected[i]);
    // Without a marked key the first attribute is the primary key.
    QCOMPARE(array[0][QStringLiteral("attributes")][0][QStringLiteral("isPrimaryKey")].toBool(), true);
    QCOMPARE(array[0][QStringLiteral("attributes")][1][QStringLiteral("isPrimaryKey")].toBool(), false);
    QCOMPARE(array[1][QStringLiteral("attributes")][0][QStringLiteral("isPrimaryKey")].toBool(), false);
    QCOMPARE(array[1][QStringLiteral("attributes")][1][QStringLiteral("isPrimaryKey")].toBool(), true);
    QCOMPARE(array[1][QStringLiteral("attributes")][1][QStringLiteral("isUniqueKey")].toBool(), true);
    QCOMPARE(array[2][QStringLiteral("attributes")].toArray().size(), 0);
}

// A name is looked up among identifiers first: y stays its own entity
// although x took the title "y" before the relationship names it.
void TestMermaidReader::identifierBeforeTitle()
{
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QVERIFY(parseMermaidText(QStringLiteral("erDiagram\n x\n y\n x[\"y\"]\n y ||--o{ z : r\n"), entities,
                             relationships, nullptr));
    QCOMPARE(describeMermaidModel(entities, relationships), QStringLiteral("x[y], y, z / y 0-3 z : r"));
    QCOMPARE(relationships.first().fromIndex, 1);
    QCOMPARE(findMermaidEntity(entities, QStringLiteral("Y")), 1);
    QCOMPARE(findMermaidEntity(entities, QStringLiteral("Z")), 2);
    QCOMPARE(findMermaidEntity(entities, QStringLiteral("w")), -1);

    // The public look-ups agree.
    QList<MermaidEntity> byHand;
    QCOMPARE(findOrAddMermaidEntity(byHand, QStringLiteral("x"), QString()), 0);
    QCOMPARE(findOrAddMermaidEntity(byHand, QStringLiteral("X"), QStringLiteral("y")), 0);
    QCOMPARE(findOrAddMermaidEntity(byHand, QString(), QString()), -1);
    QCOMPARE(findOrAddMermaidEntity(byHand, QString(), QStringLiteral("Only alias")), 1);
    QCOMPARE(describeMermaidModel(byHand, {}), QStringLiteral("x[y], Only alias / "));
}

// Random bytes, random mixes of the notation's pieces and every prefix of
// a real file: the reader ends and gives either entities or an error.
void TestMermaidReader::randomAndTruncatedInputsEnd()
{
    const QString full = QString::fromUtf8(fileContents(sharedPath(QStringLiteral("03-attributes-and-keys.mmd"))));
    QVERIFY(!full.isEmpty());
    QList<QString> inputs;
    for (int cut = 0; cut <= full.size(); cut += 3)
        inputs << full.left(cut);

    static const QStringList pieces = {
        QStringLiteral("erDiagram"), QStringLiteral("\n"), QStringLiteral(" "), QStringLiteral("{"),
        QStringLiteral("}"), QStringLiteral("["), QStringLiteral("]"), QStringLiteral("\""), QStringLiteral(":"),
        QStringLiteral(":::"), QStringLiteral("%%"), QStringLiteral("%%{"), QStringLiteral("}%%"),
        QStringLiteral("||"), QStringLiteral("o{"), QStringLiteral("--"), QStringLiteral(".."),
        QStringLiteral("to"), QStringLiteral("only one"), QStringLiteral("1"), QStringLiteral("u"),
        QStringLiteral("A"), QStringLiteral("class"), QStringLiteral("direction TB"), QStringLiteral("accDescr"),
        QStringLiteral("`"), QStringLiteral("\\"), QStringLiteral("PK,FK"), QStringLiteral("---"),
        QStringLiteral("```mermaid"), QStringLiteral("```"), QStringLiteral("\r"), QStringLiteral("é"),
    };
    QRandomGenerator random(20240607);
    for (int i = 0; i < 400; ++i) {
        QString text = QStringLiteral("erDiagram\n");
        const int count = random.bounded(60);
        for (int p = 0; p < count; ++p)
            text += pieces.at(random.bounded(pieces.size()));
        inputs << text;
        QString noise;
        for (int p = 0; p < 200; ++p)
            noise += QChar(static_cast<char16_t>(random.bounded(1, 0x3000)));
        inputs << QStringLiteral("erDiagram ") + noise;
    }

    for (const QString& text : std::as_const(inputs)) {
        QList<MermaidEntity> entities;
        QList<MermaidRelationship> relationships;
        QString error;
        const bool ok = parseMermaidText(text, entities, relationships, &error);
        QVERIFY2(ok ? (!entities.isEmpty() && error.isEmpty()) : (entities.isEmpty() && !error.isEmpty()),
                 qPrintable(text.left(200)));
        for (const MermaidRelationship& r : std::as_const(relationships)) {
            QVERIFY(r.fromIndex >= 0 && r.fromIndex < entities.size());
            QVERIFY(r.toIndex >= 0 && r.toIndex < entities.size());
            QVERIFY(r.fromCardinality >= 0 && r.fromCardinality <= 3);
            QVERIFY(r.toCardinality >= 0 && r.toCardinality <= 3);
        }
        for (const MermaidEntity& e : std::as_const(entities))
            QVERIFY(!e.identifier.isEmpty());
    }
}

// The reader runs on a worker thread; several at once share nothing but
// their compiled expressions and read the same.
void TestMermaidReader::threadsReadAlike()
{
    const QString text = QString::fromUtf8(fileContents(sharedPath(QStringLiteral("07-marketplace-large.mmd"))));
    const QString expected = describeMermaidText(text);
    QList<QStringList> results(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&text, &results, t] {
            for (int round = 0; round < 20; ++round)
                results[t] << describeMermaidText(text);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const QStringList& found : std::as_const(results))
        QCOMPARE(found, QStringList(QList<QString>(20, expected)));
}

QUILLMAP_TEST_GUILESS_MAIN(TestMermaidReader)
#include "tst_mermaidreader.moc"
