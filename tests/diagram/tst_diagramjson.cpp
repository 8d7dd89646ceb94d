#include "app/applicationsetup.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"

#include "jsoncompare.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

QJsonObject readData(const QString& name)
{
    QFile file(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/diagram/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QList<EntityItem*> entitiesTopmostFirst(const QGraphicsScene& scene)
{
    QList<EntityItem*> list;
    const QList<QGraphicsItem*> all = scene.items(Qt::DescendingOrder);
    for (QGraphicsItem* item : all) {
        if (item->type() == DiagramItemType::Entity)
            list << static_cast<EntityItem*>(item);
    }
    return list;
}

QStringList titles(const QList<EntityItem*>& entities)
{
    QStringList list;
    for (const EntityItem* e : entities)
        list << e->title();
    return list;
}

} // namespace

class TestDiagramJson : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void envelopeOfAnEmptyScene();
    void emptyObjectClearsTheScene();
    void entityDefaults();
    void stackingOrderSurvivesTheRoundTrip();
    void goldenDiagram_data();
    void goldenDiagram();
};

void TestDiagramJson::initTestCase()
{
    setUpApplication();
}

void TestDiagramJson::envelopeOfAnEmptyScene()
{
    ERScene scene;
    scene.setDialect(QStringLiteral("DuckDB"));
    const QJsonObject root = scene.toJson();
    QCOMPARE(root, (QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", QJsonArray()},
                                {"edges", QJsonArray()}, {"annotations", QJsonArray()}, {"dialect", "DuckDB"}}));
}

void TestDiagramJson::emptyObjectClearsTheScene()
{
    ERScene scene;
    scene.addTableAt(QPointF(0, 0));
    scene.addViewAt(QPointF(300, 0));
    QVERIFY(scene.loadFromJson(QJsonObject()));
    QVERIFY(scene.items().isEmpty());
    QCOMPARE(scene.dialect(), QString());
}

void TestDiagramJson::entityDefaults()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    const QJsonObject root{
        {"entities", QJsonArray{QJsonObject{{"x", 10}, {"y", 20}},          // no title, no id
                                QJsonObject{{"id", "t"}},                    // no title
                                QJsonValue(7)}},                            // not an object at all
        {"dialect", QJsonValue(5)}};
    QVERIFY(scene.loadFromJson(root));
    QCOMPARE(added.count(), 3);
    const QList<EntityItem*> entities = entitiesTopmostFirst(scene);
    QCOMPARE(titles(entities), (QStringList{"Entity", "Entity", "Entity"}));
    QCOMPARE(entities.at(0)->pos(), QPointF(10, 20));
    QCOMPARE(entities.at(0)->id(), QString::number(reinterpret_cast<quintptr>(entities.at(0))));
    QCOMPARE(entities.at(1)->id(), QStringLiteral("t"));
    QCOMPARE(scene.dialect(), QString());
}

void TestDiagramJson::stackingOrderSurvivesTheRoundTrip()
{
    // Three overlapping tables: c on top of b on top of a.
    ERScene scene;
    scene.addTableAt(QPointF(0, 0))->setTitle(QStringLiteral("a"));
    scene.addTableAt(QPointF(20, 10))->setTitle(QStringLiteral("b"));
    scene.addTableAt(QPointF(40, 20))->setTitle(QStringLiteral("c"));
    const QJsonObject first = scene.toJson();
    QStringList written;
    for (const QJsonValue& v : first.value(QStringLiteral("entities")).toArray())
        written << v.toObject().value(QStringLiteral("title")).toString();
    QCOMPARE(written, (QStringList{"c", "b", "a"}));

    ERScene copy;
    QVERIFY(copy.loadFromJson(first));
    QCOMPARE(titles(entitiesTopmostFirst(copy)), (QStringList{"c", "b", "a"}));
    QCOMPARE(copy.toJson(), first);

    // Loading into the same scene again changes nothing either.
    QVERIFY(copy.loadFromJson(copy.toJson()));
    QCOMPARE(copy.toJson(), first);
}

void TestDiagramJson::goldenDiagram_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("current keys") << "golden_diagram.json"
                                  << "golden_diagram.json";
    QTest::newRow("older spellings") << "legacy_diagram.json"
                                     << "legacy_diagram.expected.json";
}

void TestDiagramJson::goldenDiagram()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QJsonObject in = readData(input);
    const QJsonObject want = readData(expected);
    QVERIFY(!in.isEmpty());
    QVERIFY(!want.isEmpty());

    ERScene scene;
    QVERIFY(scene.loadFromJson(in));
    const QJsonObject out = scene.toJson();
    const QString difference = jsonDifference(want, out);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // A second generation writes the same again, array order included.
    ERScene again;
    QVERIFY(again.loadFromJson(out));
    QCOMPARE(again.toJson(), out);
}

QTEST_MAIN(TestDiagramJson)
#include "tst_diagramjson.moc"
