// Routes found away from the GUI thread: what an edge's plain values give on
// several threads at once is what the edge itself stores, and an automatic
// layout large enough to share out its routing gives the same diagram every
// time.
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "layout/entityrectindex.h"

#include <QRandomGenerator>
#include <QTest>

#include <thread>
#include <vector>

namespace {

// Entities on a loose grid, a few pushed into the gaps so that some routes
// must go around, with relationships between near and far ones.
void buildDiagram(ERScene& scene, quint32 seed, int count)
{
    QRandomGenerator random(seed);
    QList<EntityItem*> entities;
    const int columns = 12;
    for (int i = 0; i < count; ++i) {
        const bool inGap = random.bounded(5) == 0;
        const QPointF at((i % columns) * 260 + (inGap ? 130 : random.bounded(40)),
                         (i / columns) * 220 + (inGap ? 110 : random.bounded(30)));
        EntityItem* e = scene.addTableAt(at);
        for (int r = random.bounded(4); r > 0; --r)
            e->addAttribute(QStringLiteral("c%1").arg(r), QStringLiteral("INTEGER"));
        entities.append(e);
    }
    for (int i = 1; i < count; ++i) {
        const int to = random.bounded(3) == 0 ? random.bounded(i) : std::max(0, i - 1 - random.bounded(columns + 1));
        scene.createEdge(entities.at(i), entities.at(to), false);
    }
    for (int i = 0; i < count / 4; ++i)
        scene.createEdge(entities.at(random.bounded(count)), entities.at(random.bounded(count)), false);
}

QList<EdgeItem*> edgesOf(const ERScene& scene)
{
    QList<EdgeItem*> edges;
    for (QGraphicsItem* item : scene.items(Qt::AscendingOrder)) {
        if (item->type() == EdgeItem::Type)
            edges.append(static_cast<EdgeItem*>(item));
    }
    return edges;
}

} // namespace

class TestRoutesOffThread : public QObject
{
    Q_OBJECT

private slots:
    void threadsAnswerAsTheEdge();
    void sharedLayoutIsRepeatable();
};

void TestRoutesOffThread::threadsAnswerAsTheEdge()
{
    ERScene scene;
    buildDiagram(scene, 7, 60);
    const QList<EdgeItem*> edges = edgesOf(scene);
    QVERIFY(edges.size() > 60);

    EntityRectIndex index;
    QList<const void*> keys;
    QList<QRectF> rects;
    // In the scene's own order of its entities, as the scene answers.
    for (const EntityItem* entity : scene.entityItems()) {
        keys.append(entity);
        rects.append(entity->sceneBoundingRect());
    }
    index.build(keys, rects);
    const EdgeItem::EntityRectLookup lookup = [&index](const QRectF& region, const void* a, const void* b) {
        return index.rectsIn(region, a, b);
    };

    std::vector<EdgeItem::RouteInputs> inputs;
    for (const EdgeItem* edge : edges)
        inputs.push_back(edge->routeInputs());
    const size_t n = inputs.size();
    std::vector<QList<QPointF>> routes(n);
    std::vector<SidePair> sides(n);
    std::vector<char> crossing(n);
    // Every thread answers every edge; the last one to write wins, so any
    // thread whose answer differs from the others shows up below as one
    // that differs from the edge.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < n; ++k) {
                const size_t i = (k + static_cast<size_t>(t) * n / 4) % n;
                if (!inputs[i].valid)
                    continue;
                routes[i] = EdgeItem::findRouteAround(inputs[i], lookup);
                sides[i] = EdgeItem::findBestSides(inputs[i], lookup);
                crossing[i] = EdgeItem::crossesEntities(inputs[i], routes[i], lookup);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();

    int aroundSomething = 0;
    for (size_t i = 0; i < n; ++i) {
        EdgeItem* edge = edges.at(static_cast<qsizetype>(i));
        if (!inputs[i].valid)
            continue;
        const QString where = QStringLiteral("edge %1").arg(i);
        edge->updatePath();
        QVERIFY2(edge->route() == routes[i], qPrintable(where));
        QCOMPARE(edge->countEntityCrossings(), crossing[i] != 0);
        if (edge->route().size() > 4)
            ++aroundSomething;
        edge->chooseBestSides();
        QCOMPARE(edge->fromSlot()->side(), sides[i].fromSide);
        QCOMPARE(edge->toSlot()->side(), sides[i].toSide);
    }
    // The diagram has routes that had to go around entities.
    QVERIFY(aroundSomething > 0);
}

void TestRoutesOffThread::sharedLayoutIsRepeatable()
{
    QList<QPointF> firstPositions;
    QList<QList<QPointF>> firstRoutes;
    for (int run = 0; run < 2; ++run) {
        ERScene scene;
        buildDiagram(scene, 11, 150);
        scene.autoLayout();
        QList<QPointF> positions;
        for (QGraphicsItem* item : scene.items(Qt::AscendingOrder)) {
            if (item->type() != EntityItem::Type)
                continue;
            positions.append(item->pos());
        }
        QList<QList<QPointF>> routes;
        for (const EdgeItem* edge : edgesOf(scene)) {
            QVERIFY(!edge->countEntityCrossings());
            routes.append(edge->route());
        }
        if (run == 0) {
            firstPositions = positions;
            firstRoutes = routes;
        } else {
            QCOMPARE(positions, firstPositions);
            QVERIFY(routes == firstRoutes);
        }
    }
}

QUILLMAP_TEST_MAIN(TestRoutesOffThread)
#include "tst_routesoffthread.moc"
