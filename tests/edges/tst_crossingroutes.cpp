// Routes that an entity comes to lie on: an entity dragged onto an edge, or
// read from a file onto a stored route, has that edge go around it, while
// every other edge keeps its route to the last digit.
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"

#include "diagram/canvasfixture.h"

#include <QGraphicsSceneMouseEvent>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <map>

namespace {

// Whether the route runs through the entity's box.
bool crosses(const QList<QPointF>& route, const EntityItem* entity)
{
    return countObstacleHits(route, ObstacleSet::fromEntityRects({entity->sceneBoundingRect()})) > 0;
}

QPointF routeMiddle(const EdgeItem* edge)
{
    const QList<QPointF>& r = edge->route();
    const qsizetype i = (r.size() - 1) / 2;
    return (r.at(i) + r.at(i + 1)) / 2;
}

// The release of a drag of entity to a new place, as the scene delivers it
// after the moves: the entity is where the pointer took it.
void dropEntity(ERScene& scene, EntityItem* entity, QPointF to)
{
    const QPointF from = entity->pos();
    scene.clearSelection();
    entity->setSelected(true);
    EdgeItem::setSkipBatchFlush(EntityItem::canMoveSelectionAsBatch(&scene));
    EdgeItem::setBatchMode(true);
    entity->setPos(to);
    QGraphicsSceneMouseEvent release(QEvent::GraphicsSceneMouseRelease);
    release.setButton(Qt::LeftButton);
    release.setScenePos(to + QPointF(5, 5));
    release.setButtonDownScenePos(Qt::LeftButton, from + QPointF(5, 5));
    scene.sendEvent(entity, &release);
}

} // namespace

class TestCrossingRoutes : public QObject
{
    Q_OBJECT

private slots:
    void draggedOntoAnEdge_data();
    void draggedOntoAnEdge();
    void dropsOnGeneratedDiagrams();
    void readOntoAStoredRoute();
};

void TestCrossingRoutes::draggedOntoAnEdge_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("onto the upper edge") << QStringLiteral("upper");
    QTest::newRow("onto the lower edge") << QStringLiteral("lower");
    QTest::newRow("into empty space") << QStringLiteral("none");
}

void TestCrossingRoutes::draggedOntoAnEdge()
{
    QFETCH(QString, target);
    Canvas canvas;
    QVERIFY(canvas.exposed);
    canvas.view->setSceneRect(0, 0, 1400, 1000);
    ERScene& scene = *canvas.scene;
    EntityItem* a = scene.addTableAt(QPointF(20, 40));
    EntityItem* b = scene.addTableAt(QPointF(620, 40));
    EntityItem* c = scene.addTableAt(QPointF(20, 330));
    EntityItem* d = scene.addTableAt(QPointF(620, 330));
    EntityItem* moving = scene.addTableAt(QPointF(320, 560));
    EdgeItem* upper = scene.createEdge(a, b, false);
    EdgeItem* lower = scene.createEdge(c, d, false);
    const QList<QPointF> upperBefore = upper->route();
    const QList<QPointF> lowerBefore = lower->route();
    QVERIFY(!crosses(upperBefore, moving) && !crosses(lowerBefore, moving));

    // Pressed in the box's lower right corner, where no label is, and let
    // go with the box's centre over the middle of the edge.
    const QPointF grip = moving->mapToScene(moving->rect().bottomRight() - QPointF(4, 4));
    QPointF centreTo = QPointF(900, 700);
    if (target == QLatin1String("upper"))
        centreTo = routeMiddle(upper);
    else if (target == QLatin1String("lower"))
        centreTo = routeMiddle(lower);
    const QPointF shift = centreTo - moving->sceneBoundingRect().center();
    canvas.press(canvas.toView(grip));
    for (int step = 1; step <= 4; ++step)
        canvas.moveHeld(canvas.toView(grip + shift * step / 4));
    canvas.release(canvas.toView(grip + shift));
    QTest::qWait(2 * EdgeItem::FlushIntervalMs);

    QVERIFY(moving->sceneBoundingRect().contains(centreTo) || target == QLatin1String("none"));
    QVERIFY(!crosses(upper->route(), moving));
    QVERIFY(!crosses(lower->route(), moving));
    QCOMPARE(upper->route() != upperBefore, target == QLatin1String("upper"));
    QCOMPARE(lower->route() != lowerBefore, target == QLatin1String("lower"));
}

void TestCrossingRoutes::dropsOnGeneratedDiagrams()
{
    for (quint32 seed = 1; seed <= 25; ++seed) {
        QRandomGenerator random(seed);
        ERScene scene;
        scene.setSceneRect(-400, -400, 2400, 2000);
        QList<EntityItem*> entities;
        for (int i = 0; i < 16; ++i) {
            EntityItem* e = scene.addTableAt(QPointF((i % 4) * 380 + random.bounded(80), (i / 4) * 300 + random.bounded(60)));
            for (int r = random.bounded(4); r > 0; --r)
                e->addAttribute(QStringLiteral("c%1").arg(r), QStringLiteral("INTEGER"));
            entities.append(e);
        }
        for (int i = 0; i < 20; ++i) {
            EntityItem* from = entities.at(random.bounded(16));
            EntityItem* to = entities.at(random.bounded(16));
            scene.createEdge(from, to, false);
        }
        EntityItem* moving = entities.at(random.bounded(16));
        const QPointF to(random.bounded(1500), random.bounded(1100));

        std::map<EdgeItem*, QList<QPointF>> before;
        for (EntityItem* e : std::as_const(entities)) {
            for (EdgeItem* edge : e->edges())
                before[edge] = edge->route();
        }
        dropEntity(scene, moving, to);

        // A neighbour's edges may move with its spread slots, routed afresh.
        QSet<const EntityItem*> neighbours;
        for (const EdgeItem* edge : moving->edges())
            neighbours << edge->fromEntity() << edge->toEntity();
        for (const auto& [edge, old] : before) {
            if (edge->fromEntity() == moving || edge->toEntity() == moving || edge->isSelfRelation())
                continue;
            const QString where = QStringLiteral("seed %1, edge %2").arg(seed).arg(edge->id());
            if ((neighbours.contains(edge->fromEntity()) || neighbours.contains(edge->toEntity())) && edge->route() != old) {
                const QList<QPointF> now = edge->route();
                edge->updatePath();
                QVERIFY2(edge->route() == now, qPrintable(where));
                continue;
            }
            if (!crosses(old, moving)) {
                // Left alone, to the last digit.
                QVERIFY2(edge->route() == old, qPrintable(where));
            } else {
                // Routed in the scene as it is now: a new route changes nothing.
                const QList<QPointF> now = edge->route();
                edge->updatePath();
                QVERIFY2(edge->route() == now, qPrintable(where));
                QVERIFY2(now != old || !crosses(now, moving), qPrintable(where));
            }
        }
    }
}

void TestCrossingRoutes::readOntoAStoredRoute()
{
    ERScene source;
    EntityItem* a = source.addTableAt(QPointF(0, 0));
    EntityItem* b = source.addTableAt(QPointF(700, 0));
    EntityItem* c = source.addTableAt(QPointF(0, 500));
    EntityItem* d = source.addTableAt(QPointF(700, 500));
    EntityItem* wanderer = source.addTableAt(QPointF(350, 1000));
    source.createEdge(a, b, false);
    source.createEdge(c, d, false);
    const QJsonObject written = source.toJson();

    // Another program put the wanderer onto the route between a and b.
    QJsonObject moved = written;
    QJsonArray entities = moved.value(QStringLiteral("entities")).toArray();
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QJsonObject entity = entities.at(i).toObject();
        if (entity.value(QStringLiteral("id")).toString() == wanderer->id()) {
            entity.insert(QStringLiteral("y"), a->sceneBoundingRect().center().y() - 20);
            entities.replace(i, entity);
        }
    }
    moved.insert(QStringLiteral("entities"), entities);

    ERScene asWritten;
    asWritten.loadFromJson(written);
    ERScene asMoved;
    asMoved.loadFromJson(moved);

    const auto edgeBetween = [](const ERScene& scene, const QString& fromId) -> EdgeItem* {
        for (EntityItem* e : scene.entityItems()) {
            for (EdgeItem* edge : e->edges()) {
                if (edge->fromEntity()->id() == fromId)
                    return edge;
            }
        }
        return nullptr;
    };
    const auto entityOf = [](const ERScene& scene, const QString& id) -> EntityItem* {
        for (EntityItem* e : scene.entityItems()) {
            if (e->id() == id)
                return e;
        }
        return nullptr;
    };
    EdgeItem* crossed = edgeBetween(asMoved, a->id());
    EdgeItem* untouched = edgeBetween(asMoved, c->id());
    QVERIFY(crossed && untouched);
    QVERIFY(crosses(edgeBetween(asWritten, a->id())->route(), entityOf(asMoved, wanderer->id())));
    QVERIFY(!crosses(crossed->route(), entityOf(asMoved, wanderer->id())));
    QCOMPARE(untouched->route(), edgeBetween(asWritten, c->id())->route());
}

QUILLMAP_TEST_MAIN(TestCrossingRoutes)
#include "tst_crossingroutes.moc"
