#include "app/applicationsetup.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "model/itemid.h"

#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "jsoncompare.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QSet>
#include <QTest>

namespace {

QStringList titles(const QList<EntityItem*>& entities)
{
    QStringList list;
    for (const EntityItem* e : entities)
        list << e->title();
    return list;
}

// Tables, an entity view with its link, a relationship with foreign-key
// rows, a self-relation, text items and groups, every item with a fixed id.
void buildSampleDiagram(ERScene& scene)
{
    scene.setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* customers = scene.addTableAt(QPointF(40, 60));
    customers->setId(QStringLiteral("e-customers"));
    customers->setTitle(QStringLiteral("customers"));
    customers->addAttribute(QStringLiteral("email"), QStringLiteral("VARCHAR(320)"), false, true, false);
    EntityItem* orders = scene.addTableAt(QPointF(420, 80));
    orders->setId(QStringLiteral("e-orders"));
    orders->setTitle(QStringLiteral("orders"));
    orders->setDisplayMode(EntityItem::NamePrimaryForeignMode);
    EntityItem* view = scene.addViewAt(QPointF(420, 400));
    view->setId(QStringLiteral("e-recent"));
    view->addAttribute(QStringLiteral("age_days"), QStringLiteral("INTEGER"));

    EdgeItem* placed = scene.createEdge(customers, orders, true);
    placed->setId(QStringLiteral("r-placed"));
    placed->setStartCard(0);
    placed->setEndCard(3);
    EdgeItem* parent = scene.createEdge(orders, orders, true);
    parent->setId(QStringLiteral("r-parent"));
    parent->setStartCard(2);
    EdgeItem* link = scene.createEdge(orders, view, true);
    link->setId(QStringLiteral("r-link"));

    TextItem* note = scene.addTextAt(QPointF(-200, -80));
    note->setId(QStringLiteral("t-note"));
    note->setText(QStringLiteral("Customer area"));
    note->setColors(QColor(0x10, 0x20, 0x30), QColor(0xe0, 0xd0, 0xc0, 0x80));
    TextItem* second = scene.addTextAt(QPointF(700, 500));
    second->setId(QStringLiteral("t-second"));
    GroupItem* billing = scene.addGroupAt(QPointF(0, 0));
    billing->setId(QStringLiteral("g-billing"));
    billing->setRect(QRectF(0, 0, 820, 560));
    GroupItem* other = scene.addGroupAt(QPointF(-300, 700));
    other->setId(QStringLiteral("g-other"));
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
    void roundTripThroughTheScene();
    void writerArrays();
    void edgesToUnknownEntitiesAreSkipped();
    void duplicateIdsResolveToTheLaterEntity();
    void sharedIdsStayApart();
    void onlyEdgesWithoutStoredRouteAreRouted();
    void unknownAnnotationKindsAreSkipped();
    void canvasIsRepaintedOnceTheDiagramIsComplete();
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
    const QList<EntityItem*> entities = itemsOfType<EntityItem>(scene);
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
    QCOMPARE(titles(itemsOfType<EntityItem>(copy)), (QStringList{"c", "b", "a"}));
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
    const QJsonObject in = testDataJson(QStringLiteral("diagram/") + input).object();
    const QJsonObject want = testDataJson(QStringLiteral("diagram/") + expected).object();
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

void TestDiagramJson::roundTripThroughTheScene()
{
    ERScene scene;
    buildSampleDiagram(scene);
    const QJsonObject first = scene.toJson();
    QCOMPARE(first.value(QStringLiteral("entities")).toArray().size(), 3);
    QCOMPARE(first.value(QStringLiteral("edges")).toArray().size(), 3);
    QCOMPARE(first.value(QStringLiteral("annotations")).toArray().size(), 4);

    scene.clearScene();
    QVERIFY(scene.items().isEmpty());
    QSignalSpy entities(&scene, &ERScene::entityAdded);
    QSignalSpy edges(&scene, &ERScene::edgeAdded);
    QVERIFY(scene.loadFromJson(first));
    QCOMPARE(entities.count(), 3);
    QCOMPARE(edges.count(), 3);
    QCOMPARE(scene.toJson(), first);
    QVERIFY(!EdgeItem::isRoutingSuspended());

    // The same through a second scene, and once more from the text.
    ERScene copy;
    QVERIFY(copy.loadFromJson(QJsonDocument::fromJson(QJsonDocument(first).toJson()).object()));
    QCOMPARE(copy.toJson(), first);
}

void TestDiagramJson::writerArrays()
{
    ERScene scene;
    buildSampleDiagram(scene);
    const QJsonObject root = scene.toJson();

    // The view link says so; the others carry no kind.
    int viewEdges = 0;
    for (const QJsonValue& v : root.value(QStringLiteral("edges")).toArray()) {
        const QJsonObject edge = v.toObject();
        if (edge.value(QStringLiteral("id")).toString() == QLatin1String("r-link")) {
            QCOMPARE(edge.value(QStringLiteral("kind")).toString(), QStringLiteral("entity-view-edge"));
            ++viewEdges;
        } else {
            QVERIFY(!edge.contains(QStringLiteral("kind")));
        }
        QVERIFY(edge.value(QStringLiteral("points")).toArray().size() >= 2);
    }
    QCOMPARE(viewEdges, 1);

    // Text items lie above everything, groups below: texts come first.
    QStringList kinds;
    for (const QJsonValue& v : root.value(QStringLiteral("annotations")).toArray())
        kinds << v.toObject().value(QStringLiteral("kind")).toString();
    QCOMPARE(kinds, (QStringList{"text-item", "text-item", "group-item", "group-item"}));
}

void TestDiagramJson::edgesToUnknownEntitiesAreSkipped()
{
    const QJsonObject root{
        {"entities", QJsonArray{QJsonObject{{"id", "a"}, {"title", "a"}},
                                QJsonObject{{"id", "b"}, {"title", "b"}, {"x", 400}, {"y", 0}}}},
        {"edges", QJsonArray{QJsonObject{{"id", "ok"}, {"from", "a"}, {"to", "b"}},
                             QJsonObject{{"id", "bad"}, {"from", "a"}, {"to", "ghost"}},
                             QJsonObject{{"id", "no-ends"}}}}};
    QTest::ignoreMessage(QtWarningMsg, R"(Edge references unknown entity: "a" -> "ghost")");
    QTest::ignoreMessage(QtWarningMsg, R"(Edge references unknown entity: "" -> "")");
    ERScene scene;
    QVERIFY(scene.loadFromJson(root));
    const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(edges.first()->id(), QStringLiteral("ok"));
}

void TestDiagramJson::duplicateIdsResolveToTheLaterEntity()
{
    const QJsonObject root{
        {"entities", QJsonArray{QJsonObject{{"id", "dup"}, {"title", "earlier"}},
                                QJsonObject{{"id", "dup"}, {"title", "later"}, {"x", 400}, {"y", 0}},
                                QJsonObject{{"id", "c"}, {"title", "c"}, {"x", 0}, {"y", 400}}}},
        {"edges", QJsonArray{QJsonObject{{"id", "e"}, {"from", "c"}, {"to", "dup"}}}}};
    ERScene scene;
    QVERIFY(scene.loadFromJson(root));
    QCOMPARE(itemsOfType<EntityItem>(scene).size(), 3);
    const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(edges.first()->toEntity()->title(), QStringLiteral("later"));
    // The later one keeps the id; the earlier one gets a fresh one, so the
    // model never takes the two for one table.
    QSet<QString> ids;
    for (const EntityItem* entity : itemsOfType<EntityItem>(scene)) {
        ids.insert(entity->id());
        if (entity->title() == QLatin1String("earlier"))
            QVERIFY(isGeneratedItemId(entity->id()));
    }
    QCOMPARE(ids.size(), 3);
}

// Many boxes and edges sharing one id stay as many, each under its own id,
// and what is written reads back to the same text.
void TestDiagramJson::sharedIdsStayApart()
{
    constexpr int count = 500;
    QJsonArray entities;
    QJsonArray edges;
    for (int i = 0; i < count; ++i) {
        entities.append(QJsonObject{{"id", "same"}, {"title", QStringLiteral("t%1").arg(i)}, {"x", i * 10}, {"y", 0}});
        edges.append(QJsonObject{{"id", "e"}, {"from", "same"}, {"to", "same"}});
    }
    ERScene scene;
    QVERIFY(scene.loadFromJson(QJsonObject{{"entities", entities}, {"edges", edges}}));
    QSet<QString> ids;
    for (const EntityItem* entity : itemsOfType<EntityItem>(scene))
        ids.insert(entity->id());
    QCOMPARE(ids.size(), count);
    QSet<QString> edgeIds;
    for (const EdgeItem* edge : itemsOfType<EdgeItem>(scene))
        edgeIds.insert(edge->id());
    QCOMPARE(edgeIds.size(), count);
    const QJsonObject written = scene.toJson();
    QVERIFY(scene.loadFromJson(written));
    QCOMPARE(scene.toJson(), written);
}

void TestDiagramJson::onlyEdgesWithoutStoredRouteAreRouted()
{
    // One edge with a stored detour that no router would choose, one with
    // too few points, one without any.
    const QJsonObject root{
        {"entities", QJsonArray{QJsonObject{{"id", "a"}, {"title", "a"}, {"x", 0}, {"y", 0}},
                                QJsonObject{{"id", "b"}, {"title", "b"}, {"x", 500}, {"y", 0}}}},
        {"edges",
         QJsonArray{QJsonObject{{"id", "stored"}, {"from", "a"}, {"to", "b"},
                                {"fromSlot", QJsonObject{{"side", 3}, {"x", 70}, {"y", 70}}},
                                {"toSlot", QJsonObject{{"side", 3}, {"x", 70}, {"y", 70}}},
                                {"points", QJsonArray{QJsonObject{{"x", 70}, {"y", 70}}, QJsonObject{{"x", 70}, {"y", 300}},
                                                      QJsonObject{{"x", 570}, {"y", 300}},
                                                      QJsonObject{{"x", 570}, {"y", 70}}}}},
                    QJsonObject{{"id", "one-point"}, {"from", "a"}, {"to", "b"},
                                {"points", QJsonArray{QJsonObject{{"x", 1}, {"y", 2}}}}},
                    QJsonObject{{"id", "none"}, {"from", "b"}, {"to", "a"}}}}};
    ERScene scene;
    QVERIFY(scene.loadFromJson(root));
    const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
    QCOMPARE(edges.size(), 3);
    for (EdgeItem* edge : edges) {
        QVERIFY2(edge->route().size() >= 2, qPrintable(edge->id()));
        if (edge->id() == QLatin1String("stored")) {
            // The detour below both boxes is kept.
            double lowest = 0;
            for (const QPointF& p : edge->route())
                lowest = std::max(lowest, p.y());
            QCOMPARE(lowest, 300.0);
        }
    }
}

void TestDiagramJson::unknownAnnotationKindsAreSkipped()
{
    const QJsonObject root{{"annotations", QJsonArray{QJsonObject{{"kind", "note"}, {"text", "x"}},
                                                      QJsonObject{{"text", "no kind"}},
                                                      QJsonObject{{"kind", "text-item"}, {"id", "t"}}}}};
    ERScene scene;
    QVERIFY(scene.loadFromJson(root));
    const QJsonArray annotations = scene.toJson().value(QStringLiteral("annotations")).toArray();
    QCOMPARE(annotations.size(), 1);
    QCOMPARE(annotations.at(0).toObject().value(QStringLiteral("id")).toString(), QStringLiteral("t"));
}

namespace {

class PaintCounter : public QObject
{
public:
    using QObject::QObject;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// The event loop runs while a diagram is read (the busy indicator turns);
// the canvas must not be repainted with half a diagram on it at each such
// pass, and must be repainted, with its update mode as before, at the end.
void TestDiagramJson::canvasIsRepaintedOnceTheDiagramIsComplete()
{
    ERScene source;
    buildSampleDiagram(source);
    const QJsonObject root = source.toJson();

    ERScene scene;
    ERView view(&scene);
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QGraphicsView::ViewportUpdateMode mode = view.viewportUpdateMode();
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;

    int paintsWhileReading = 0;
    connect(&scene, &ERScene::entityAdded, &counter, [&] {
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 30)
            QCoreApplication::processEvents();
        paintsWhileReading += counter.paints;
        counter.paints = 0;
    });
    QVERIFY(scene.loadFromJson(root));
    QCOMPARE(paintsWhileReading, 0);
    QCOMPARE(view.viewportUpdateMode(), mode);
    QTRY_VERIFY(counter.paints > 0);
}

QUILLMAP_TEST_MAIN(TestDiagramJson)
#include "tst_diagramjson.moc"
