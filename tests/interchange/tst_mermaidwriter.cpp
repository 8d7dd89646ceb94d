#include "interchange/mermaidreader.h"
#include "interchange/mermaidwriter.h"

#include "common/testfiles.h"
#include "common/testmain.h"
#include "mermaidtestutil.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

class TestMermaidWriter : public QObject
{
    Q_OBJECT

private slots:
    void declarations_data();
    void declarations();
    void attributeWords_data();
    void attributeWords();
    void relationshipLines_data();
    void relationshipLines();
    void blocksAndSkippedEntities();
    void fenceBySuffix();
    void writeFailures();
    void roundTripKeepsTheDiagram();
};

namespace {

QJsonObject entity(const QString& id, const QString& title, const QJsonArray& attributes = {})
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("title"), title},
                       {QStringLiteral("attributes"), attributes}};
}

// The lines of a text indented by exactly four spaces, without them.
QStringList topLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("    ")) && !line.startsWith(QLatin1String("     ")))
            lines << line.mid(4);
    }
    return lines;
}

// What a title comes back as: trimmed, with the characters a quoted
// Mermaid name cannot hold replaced, and without the zero-width space that
// keeps "direction TB" from being read as a statement.
QString expectedTitle(const QString& title)
{
    QString t = title.trimmed();
    for (QChar& c : t) {
        if (c.unicode() < 32)
            c = QLatin1Char(' ');
    }
    t.replace(QLatin1Char('"'), QLatin1Char('\''));
    t.replace(QLatin1Char('%'), QChar(0xFF05));
    t.replace(QLatin1Char('\\'), QChar(0xFF3C));
    return t;
}

QString withoutZeroWidthSpace(QString text)
{
    return text.remove(QChar(0x200B));
}

QString unquoted(QString word)
{
    return word.remove(QLatin1Char('`'));
}

} // namespace

void TestMermaidWriter::declarations_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("duplicates ignoring case")
        << QStringList{"Customer", "customer", "CUSTOMER"}
        << QStringList{"Customer", "customer_2[\"customer\"]", "CUSTOMER_3[\"CUSTOMER\"]"};
    QTest::newRow("space") << QStringList{"Order Item"} << QStringList{"Order_Item[\"Order Item\"]"};
    QTest::newRow("reserved words")
        << QStringList{"class", "Direction", "end", "accTitle", "to", "erDiagram"}
        << QStringList{"class_[\"class\"]", "Direction_[\"Direction\"]", "end_[\"end\"]",
                       "accTitle_[\"accTitle\"]", "to_[\"to\"]", "erDiagram_[\"erDiagram\"]"};
    QTest::newRow("words Mermaid reads at the start of a name")
        << QStringList{"one-to-many", "u-boat", "Classé", "Many", "many_things"}
        << QStringList{"eone-to-many[\"one-to-many\"]", "eu-boat[\"u-boat\"]", "eClassé[\"Classé\"]",
                       "Many_[\"Many\"]", "many_things"};
    QTest::newRow("digits, dashes, dropped characters")
        << QStringList{"123", "-x-", "###", "?!", "x.y"}
        << QStringList{"e123[\"123\"]", "x-[\"-x-\"]", "Entity[\"###\"]", "Entity_2[\"?!\"]", "xy[\"x.y\"]"};
    QTest::newRow("names the reader would clean")
        << QStringList{"_tmp_", "**bold**", "wind direction"}
        << QStringList{"e_tmp_[\"_tmp_\"]", "bold[\"**bold**\"]", "wind_direction_[\"wind direction\"]"};
    QTest::newRow("non-ASCII") << QStringList{"Straße", "日本語", "𝔸lpha", "µ"}
                               << QStringList{"Straße", "日本語", "𝔸lpha", "µ"};
    QTest::newRow("characters a quoted name cannot hold")
        << QStringList{"say \"hi\"", "50% off", "back\\slash", "line\nbreak"}
        << QStringList{"say_hi[\"say 'hi'\"]", "e50_off[\"50％ off\"]", "backslash[\"back＼slash\"]",
                       "line_break[\"line break\"]"};
    QTest::newRow("a title made from an earlier identifier")
        << QStringList{"Order Item", "Order_Item", "order_item_2"}
        << QStringList{"Order_Item[\"Order Item\"]", "Order_Item_2[\"Order_Item\"]",
                       "order_item_2_2[\"order_item_2\"]"};
    QTest::newRow("direction words in an alias")
        << QStringList{"Set direction LR"} << QStringList{QStringLiteral("Set_direction_LR[\"Set direction\u200B LR\"]")};
}

void TestMermaidWriter::declarations()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, expected);
    QJsonArray entities;
    for (int i = 0; i < titles.size(); ++i)
        entities.append(entity(QStringLiteral("id%1").arg(i), titles.at(i)));
    const QString text = sceneJsonToMermaid(QJsonObject{{QStringLiteral("entities"), entities}});
    QVERIFY(text.startsWith(QLatin1String("erDiagram\n")));
    QCOMPARE(topLines(text), expected);
    for (const QString& title : titles)
        QVERIFY(isValidMermaidIdentifier(sanitizeMermaidEntityName(title)));

    // Read back, every entity is its own, under its title.
    QList<MermaidEntity> read;
    QList<MermaidRelationship> relationships;
    QVERIFY(parseMermaidText(text, read, relationships, nullptr));
    QCOMPARE(read.size(), titles.size());
    for (int i = 0; i < titles.size(); ++i)
        QCOMPARE(withoutZeroWidthSpace(read.at(i).title), expectedTitle(titles.at(i)));
}

void TestMermaidWriter::attributeWords_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expectedType");
    QTest::newRow("space") << "order id" << "order_id" << "double precision" << "double_precision";
    QTest::newRow("parentheses and commas") << "(x)" << "_(x)" << "decimal(10, 2)" << "decimal(10,2)";
    QTest::newRow("comma kept in types only") << "a,b" << "ab" << "decimal(12,2)" << "decimal(12,2)";
    QTest::newRow("digit first") << "2fa" << "_2fa" << "2d" << "t2d";
    QTest::newRow("underscore first") << "_x" << "_x" << "_x" << "t_x";
    QTest::newRow("empty") << "  " << "" << "" << "string";
    QTest::newRow("nothing kept") << "#?" << "" << "<>" << "string";
    QTest::newRow("key words") << "pk" << "`pk`" << "FK" << "`FK`";
    QTest::newRow("key word then dash") << "uk-code" << "`uk-code`" << "Pk-x" << "`Pk-x`";
    QTest::newRow("key word inside a word") << "pk_ok" << "pk_ok" << "ukulele" << "ukulele";
    QTest::newRow("non-ASCII") << "größe" << "größe" << "ñ" << "ñ";
    QTest::newRow("characters Mermaid leaves out") << "ª²x" << "x" << "x°" << "x";
    QTest::newRow("micro sign") << "µs" << "µs" << "µ" << "µ";
    QTest::newRow("generics") << "*star" << "star" << "list~string~" << "list~string~";
    QTest::newRow("other brackets dropped") << "a~b" << "ab" << "list<string>" << "liststring";
    QTest::newRow("a lone tilde dropped") << "x" << "x" << "a~b" << "ab";
}

void TestMermaidWriter::attributeWords()
{
    QFETCH(QString, name);
    QFETCH(QString, expectedName);
    QFETCH(QString, type);
    QFETCH(QString, expectedType);
    QCOMPARE(sanitizeMermaidAttributeName(name), expectedName);
    QCOMPARE(sanitizeMermaidType(type), expectedType);
}

void TestMermaidWriter::relationshipLines_data()
{
    QTest::addColumn<QJsonValue>("startCard");
    QTest::addColumn<QJsonValue>("endCard");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one to zero or many") << QJsonValue(0) << QJsonValue(3) << "places" << "A ||--o{ B : \"places\"";
    QTest::newRow("zero or one to one") << QJsonValue(2) << QJsonValue(0) << "" << "A |o--|| B : \"\"";
    QTest::newRow("zero or many to zero or one") << QJsonValue(3) << QJsonValue(2) << "" << "A }o--o| B : \"\"";
    QTest::newRow("out of range or not integers") << QJsonValue(7) << QJsonValue(1.5) << "" << "A }|--|{ B : \"\"";
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QJsonValue("0") << "" << "A }|--|{ B : \"\"";
    QTest::newRow("quotes and backslashes") << QJsonValue(0) << QJsonValue(0) << "say \"x\" \\ y"
                                            << "A ||--|| B : \"say 'x' \\ y\"";
    QTest::newRow("line break") << QJsonValue(0) << QJsonValue(0) << "a\nb" << "A ||--|| B : \"a b\"";
    QTest::newRow("directive") << QJsonValue(0) << QJsonValue(0) << "%%{x}%%" << "A ||--|| B : \"%％{x}%%\"";
    QTest::newRow("not trimmed") << QJsonValue(0) << QJsonValue(0) << " x " << "A ||--|| B : \" x \"";
}

void TestMermaidWriter::relationshipLines()
{
    QFETCH(QJsonValue, startCard);
    QFETCH(QJsonValue, endCard);
    QFETCH(QString, label);
    QFETCH(QString, expected);
    QJsonObject edge{{QStringLiteral("from"), "a"}, {QStringLiteral("to"), "b"}, {QStringLiteral("label"), label}};
    if (!startCard.isUndefined())
        edge.insert(QStringLiteral("startCard"), startCard);
    if (!endCard.isUndefined())
        edge.insert(QStringLiteral("endCard"), endCard);
    const QJsonObject diagram{{QStringLiteral("entities"), QJsonArray{entity("a", "A"), entity("b", "B")}},
                              {QStringLiteral("edges"), QJsonArray{edge}}};
    QCOMPARE(topLines(sceneJsonToMermaid(diagram)).last(), expected);
}

void TestMermaidWriter::blocksAndSkippedEntities()
{
    const QJsonArray attributes{
        QJsonObject{{QStringLiteral("name"), "id"}, {QStringLiteral("type"), "int"},
                    {QStringLiteral("isPrimaryKey"), true}, {QStringLiteral("isUniqueKey"), true}},
        QJsonObject{{QStringLiteral("name"), "###"}, {QStringLiteral("type"), "int"}},
        QJsonObject{{QStringLiteral("name"), "ref"}, {QStringLiteral("isForeignKey"), true}},
    };
    const QJsonObject diagram{
        {QStringLiteral("entities"),
         QJsonArray{entity("a", "  A  ", attributes), entity("", "No id"), entity("c", ""),
                    entity("d", "D", QJsonArray{QJsonObject{{QStringLiteral("name"), "?"}}})}},
        {QStringLiteral("edges"),
         QJsonArray{QJsonObject{{QStringLiteral("from"), "a"}, {QStringLiteral("to"), "nowhere"}},
                    QJsonObject{{QStringLiteral("from"), "a"}, {QStringLiteral("to"), "c"},
                                {QStringLiteral("kind"), "entity-view-edge"}},
                    QJsonObject{{QStringLiteral("from"), "c"}, {QStringLiteral("to"), "a"},
                                {QStringLiteral("startCard"), 0}}}},
    };
    QCOMPARE(sceneJsonToMermaid(diagram), QStringLiteral("erDiagram\n"
                                                         "    A {\n"
                                                         "        int id PK, UK\n"
                                                         "        string ref FK\n"
                                                         "    }\n"
                                                         "    c\n"
                                                         "    D {\n"
                                                         "    }\n"
                                                         "    c ||--|{ A : \"\"\n"));
    QCOMPARE(sceneJsonToMermaid(QJsonObject()), QStringLiteral("erDiagram\n"));
}

void TestMermaidWriter::fenceBySuffix()
{
    QTemporaryDir dir;
    const QJsonObject diagram{{QStringLiteral("entities"), QJsonArray{entity("a", "Ä")}}};
    const QByteArray body = QByteArrayLiteral("erDiagram\n    \xc3\x84\n");
    const std::pair<const char*, bool> names[] = {
        {"out.md", true}, {"out.MD", true}, {"out.markdown", true}, {"out.mmd", false}, {"out", false}};
    for (const auto& [name, fenced] : names) {
        const QString path = dir.filePath(QLatin1String(name));
        QString error = QStringLiteral("untouched");
        QVERIFY(writeMermaidFile(diagram, path, &error));
        QCOMPARE(error, QStringLiteral("untouched"));
        QCOMPARE(fileContents(path), fenced ? QByteArrayLiteral("```mermaid\n") + body + "```\n" : body);
        // The file reads back, fenced or not.
        QCOMPARE(parseMermaidFile(path, nullptr).value(QStringLiteral("entities")).toArray().size(), 1);
    }
    // Nothing but the files themselves is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
}

void TestMermaidWriter::writeFailures()
{
    QString error;
    QVERIFY(!writeMermaidFile(QJsonObject(), QString(), &error));
    QCOMPARE(error, QStringLiteral("No destination file was specified."));
    QVERIFY(!writeMermaidFile(QJsonObject(), QString(), nullptr));

    QTemporaryDir dir;
    QVERIFY(!writeMermaidFile(QJsonObject(), dir.filePath(QStringLiteral("missing/out.mmd")), &error));
    QCOMPARE(error, QStringLiteral("Could not write the Mermaid file."));
    const QString folder = dir.filePath(QStringLiteral("folder.mmd"));
    QVERIFY(QDir().mkdir(folder));
    error.clear();
    QVERIFY(!writeMermaidFile(QJsonObject(), folder, &error));
    QCOMPARE(error, QStringLiteral("Could not write the Mermaid file."));

    // An empty diagram is still a diagram.
    const QString empty = dir.filePath(QStringLiteral("empty.mmd"));
    QVERIFY(writeMermaidFile(QJsonObject(), empty, nullptr));
    QCOMPARE(fileContents(empty), QByteArrayLiteral("erDiagram\n"));
}

// Generated diagrams written and read again keep their entities, titles,
// attributes, keys, relationship ends, cardinalities and labels.
void TestMermaidWriter::roundTripKeepsTheDiagram()
{
    for (quint32 seed = 1; seed <= 60; ++seed) {
        MermaidDiagramGenerator generator(seed);
        const QJsonObject diagram = generator.diagram(1 + generator.bounded(25));
        const QString text = sceneJsonToMermaid(diagram);
        QList<MermaidEntity> entities;
        QList<MermaidRelationship> relationships;
        QVERIFY(parseMermaidText(text, entities, relationships, nullptr));

        const QJsonArray sourceEntities = diagram.value(QStringLiteral("entities")).toArray();
        QCOMPARE(entities.size(), sourceEntities.size());
        for (int i = 0; i < entities.size(); ++i) {
            const QJsonObject source = sourceEntities.at(i).toObject();
            const QString context = QStringLiteral("seed %1, entity %2").arg(seed).arg(i);
            QVERIFY2(withoutZeroWidthSpace(entities.at(i).title) == expectedTitle(source[QStringLiteral("title")].toString()),
                     qPrintable(context + QLatin1String(": ") + entities.at(i).title));
            QStringList expectedAttributes;
            for (const QJsonValue& a : source.value(QStringLiteral("attributes")).toArray()) {
                MermaidAttribute attribute;
                attribute.name = unquoted(sanitizeMermaidAttributeName(a[QStringLiteral("name")].toString()));
                if (attribute.name.isEmpty())
                    continue;
                attribute.type = unquoted(sanitizeMermaidType(a[QStringLiteral("type")].toString()));
                attribute.isPrimaryKey = a[QStringLiteral("isPrimaryKey")].toBool();
                attribute.isForeignKey = a[QStringLiteral("isForeignKey")].toBool();
                attribute.isUniqueKey = a[QStringLiteral("isUniqueKey")].toBool();
                expectedAttributes << describeMermaidAttribute(attribute);
            }
            QStringList readAttributes;
            for (const MermaidAttribute& a : entities.at(i).attributes)
                readAttributes << describeMermaidAttribute(a);
            QVERIFY2(readAttributes == expectedAttributes, qPrintable(context));
        }

        const QJsonArray edges = diagram.value(QStringLiteral("edges")).toArray();
        QCOMPARE(relationships.size(), edges.size());
        for (int i = 0; i < edges.size(); ++i) {
            const QJsonObject edge = edges.at(i).toObject();
            int from = edge[QStringLiteral("from")].toString().mid(3).toInt();
            int to = edge[QStringLiteral("to")].toString().mid(3).toInt();
            int startCard = edge[QStringLiteral("startCard")].toInt();
            int endCard = edge[QStringLiteral("endCard")].toInt();
            // The reader puts the one side of a one-to-many relationship first.
            if ((startCard == 1 || startCard == 3) && (endCard == 0 || endCard == 2)) {
                std::swap(from, to);
                std::swap(startCard, endCard);
            }
            const MermaidRelationship& r = relationships.at(i);
            const QString context = QStringLiteral("seed %1, edge %2").arg(seed).arg(i);
            QVERIFY2(r.fromIndex == from && r.toIndex == to, qPrintable(context));
            QVERIFY2(r.fromCardinality == startCard && r.toCardinality == endCard, qPrintable(context));
            QString label = edge[QStringLiteral("label")].toString();
            label.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('"'), QLatin1Char('\''));
            label.replace(QLatin1String("%%{"), QStringLiteral("%\uFF05{"));
            QVERIFY2(withoutZeroWidthSpace(r.label) == label.trimmed(), qPrintable(context + QLatin1String(": ") + r.label));
        }
    }
}

QUILLMAP_TEST_GUILESS_MAIN(TestMermaidWriter)
#include "tst_mermaidwriter.moc"
