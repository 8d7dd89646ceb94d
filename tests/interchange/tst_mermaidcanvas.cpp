// Mermaid text through the canvas and out again: what the scene loads
// from an import, and writes for an export, keeps every entity, attribute,
// relationship end and label.

#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "interchange/mermaidreader.h"
#include "interchange/mermaidwriter.h"

#include "common/testfiles.h"
#include "mermaidtestutil.h"

#include <QJsonArray>
#include <QTest>

class TestMermaidCanvas : public QObject
{
    Q_OBJECT

private slots:
    void throughTheCanvas_data();
    void throughTheCanvas();
    void edgeLabelKept();
};

namespace {

// Titles with their attribute names, and relationships end by end, each
// list sorted: the scene writes items in stacking order.
QStringList entityLines(const QList<MermaidEntity>& entities)
{
    QStringList lines;
    for (const MermaidEntity& e : entities) {
        QStringList names;
        for (const MermaidAttribute& a : e.attributes)
            names << a.type + QLatin1Char(' ') + a.name;
        lines << e.title + QLatin1String(" {") + names.join(QLatin1String("; ")) + QLatin1Char('}');
    }
    lines.sort();
    return lines;
}

QStringList relationshipLines(const QList<MermaidRelationship>& relationships)
{
    QStringList lines;
    for (const MermaidRelationship& r : relationships) {
        lines << QStringLiteral("%1(%2) %3(%4) : %5")
                     .arg(r.from)
                     .arg(r.fromCardinality)
                     .arg(r.to)
                     .arg(r.toCardinality)
                     .arg(r.label);
    }
    lines.sort();
    return lines;
}

} // namespace

void TestMermaidCanvas::throughTheCanvas_data()
{
    QTest::addColumn<QString>("file");
    for (const char* file : {"01-cardinality-symbols.mmd", "02-cardinality-words.mmd", "03-attributes-and-keys.mmd",
                             "04-names-and-aliases.mmd", "05-front-matter-direction.mmd", "06-markdown-fence.md",
                             "07-marketplace-large.mmd", "08-styles-and-self-references.mmd"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

void TestMermaidCanvas::throughTheCanvas()
{
    QFETCH(QString, file);
    const QString path = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/") + file;
    QString error;
    const QJsonObject imported = parseMermaidFile(path, &error);
    QVERIFY2(!imported.isEmpty(), qPrintable(error));

    ERScene scene;
    QVERIFY(scene.loadFromJson(imported));
    const QString exported = sceneJsonToMermaid(scene.toJson());

    QList<MermaidEntity> before;
    QList<MermaidRelationship> beforeRelationships;
    QVERIFY(parseMermaidText(QString::fromUtf8(fileContents(path)), before, beforeRelationships, nullptr));
    QList<MermaidEntity> after;
    QList<MermaidRelationship> afterRelationships;
    QVERIFY(parseMermaidText(exported, after, afterRelationships, nullptr));

    QCOMPARE(entityLines(after), entityLines(before));
    QCOMPARE(relationshipLines(afterRelationships), relationshipLines(beforeRelationships));
}

void TestMermaidCanvas::edgeLabelKept()
{
    const QJsonObject diagram{
        {QStringLiteral("entities"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), "a"}, {QStringLiteral("title"), "A"}},
                    QJsonObject{{QStringLiteral("id"), "b"}, {QStringLiteral("title"), "B"}}}},
        {QStringLiteral("edges"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), "e1"}, {QStringLiteral("from"), "a"}, {QStringLiteral("to"), "b"},
                                {QStringLiteral("label"), "places"}},
                    QJsonObject{{QStringLiteral("id"), "e2"}, {QStringLiteral("from"), "b"}, {QStringLiteral("to"), "a"}}}},
    };
    ERScene scene;
    QVERIFY(scene.loadFromJson(diagram));
    QHash<QString, QJsonObject> edges;
    for (const QJsonValue& v : scene.toJson().value(QStringLiteral("edges")).toArray())
        edges.insert(v[QStringLiteral("id")].toString(), v.toObject());
    QCOMPARE(edges.size(), 2);
    QCOMPARE(edges.value("e1").value(QStringLiteral("label")).toString(), QStringLiteral("places"));
    QVERIFY(!edges.value("e2").contains(QStringLiteral("label")));

    // A label set on the canvas is written too, and an emptied one is not.
    for (QGraphicsItem* item : scene.items()) {
        if (auto* edge = dynamic_cast<EdgeItem*>(item))
            edge->setLabel(edge->id() == QLatin1String("e1") ? QString() : QStringLiteral("belongs to"));
    }
    edges.clear();
    for (const QJsonValue& v : scene.toJson().value(QStringLiteral("edges")).toArray())
        edges.insert(v[QStringLiteral("id")].toString(), v.toObject());
    QVERIFY(!edges.value("e1").contains(QStringLiteral("label")));
    QCOMPARE(edges.value("e2").value(QStringLiteral("label")).toString(), QStringLiteral("belongs to"));
}

QTEST_MAIN(TestMermaidCanvas)
#include "tst_mermaidcanvas.moc"
