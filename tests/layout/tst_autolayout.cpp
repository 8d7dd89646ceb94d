// Automatic layout on a live scene: a 40-entity diagram (a star of 8, a
// chain with a self-relation, parallel relationships, a cycle and isolated
// entities) laid out offscreen, checked as a user would look at it: no
// entity on another, groups apart, the diagram where it was, every route
// right-angled and clear of the entities, the same result every time.

#include "common/testmain.h"
#include "app/applicationsetup.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/itemreadwatch.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "interchange/mermaidreader.h"
#include "layout/entityrectindex.h"
#include "layout/layoutquality.h"
#include "layout/routeseparation.h"
#include "layout/sceneseparation.h"
#include "layout/slotspread.h"

#include "common/scenequality.h"
#include "common/sceneitems.h"
#include "edges/edgetestutil.h"

#include <QApplication>
#include <QGraphicsView>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using edgetest::addEntity;
using edgetest::Row;

namespace {

QList<Row> rows(int count)
{
    QList<Row> list{{QStringLiteral("id"), QStringLiteral("INT"), true}};
    for (int i = 1; i < count; ++i)
        list.append({QStringLiteral("column_%1").arg(i), QStringLiteral("VARCHAR(40)"), false});
    return list;
}

struct Diagram
{
    QList<EntityItem*> entities;
    EntityItem* hub = nullptr;
    EntityItem* looped = nullptr; // carries a self-relation
    EdgeItem* loop = nullptr;
};

// 40 entities of 1 to 7 rows scattered (overlapping) over the canvas.
Diagram buildDiagram(ERScene& scene)
{
    QRandomGenerator random(2024);
    Diagram d;
    auto entity = [&](const QString& name) {
        const QPointF at(random.bounded(2400), random.bounded(1600));
        EntityItem* e = addEntity(scene, name, name, at, rows(1 + random.bounded(7)));
        d.entities.append(e);
        return e;
    };
    d.hub = entity(QStringLiteral("hub"));
    for (int i = 0; i < 8; ++i)
        scene.createEdge(d.hub, entity(QStringLiteral("leaf_%1").arg(i)), false);
    EntityItem* previous = entity(QStringLiteral("chain_0"));
    for (int i = 1; i < 10; ++i) {
        EntityItem* next = entity(QStringLiteral("chain_%1").arg(i));
        scene.createEdge(previous, next, false);
        if (i == 4) {
            d.looped = next;
            d.loop = scene.createEdge(next, next, false);
        }
        previous = next;
    }
    EntityItem* p0 = entity(QStringLiteral("orders"));
    EntityItem* p1 = entity(QStringLiteral("customers"));
    EntityItem* p2 = entity(QStringLiteral("addresses"));
    scene.createEdge(p0, p1, false);
    scene.createEdge(p0, p1, false);
    scene.createEdge(p1, p0, false);
    scene.createEdge(p1, p2, false);
    QList<EntityItem*> cycle;
    for (int i = 0; i < 4; ++i)
        cycle.append(entity(QStringLiteral("cycle_%1").arg(i)));
    for (int i = 0; i < 4; ++i)
        scene.createEdge(cycle.at(i), cycle.at((i + 1) % 4), false);
    scene.createEdge(cycle.at(0), cycle.at(2), false);
    while (d.entities.size() < 40)
        entity(QStringLiteral("single_%1").arg(d.entities.size()));
    scene.createEdge(d.entities.last(), d.entities.last(), false);
    return d;
}

QRectF entityRect(const EntityItem* e)
{
    return e->sceneBoundingRect();
}

// Whether any stretch of the route lies inside rect shrunk by inset
// (checked at points 1 apart along every segment).
bool routeEntersRect(const QList<QPointF>& route, const QRectF& rect, double inset = 2.0)
{
    const QRectF inner = rect.adjusted(inset, inset, -inset, -inset);
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const QLineF segment(route.at(i), route.at(i + 1));
        const int steps = std::max(1, static_cast<int>(std::ceil(segment.length())));
        for (int s = 0; s <= steps; ++s) {
            const QPointF p = segment.pointAt(static_cast<double>(s) / steps);
            if (p.x() > inner.left() && p.x() < inner.right() && p.y() > inner.top() && p.y() < inner.bottom())
                return true;
        }
    }
    return false;
}

bool rightAngled(const QList<QPointF>& route)
{
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const QPointF d = route.at(i + 1) - route.at(i);
        if (std::abs(d.x()) > 0.5 && std::abs(d.y()) > 0.5)
            return false;
    }
    return route.size() >= 2;
}

// Connected groups of entities by their relationships, those of at least
// smallest entities.
QList<QRectF> groupRects(const QList<EntityItem*>& entities, int smallest = 1)
{
    QHash<EntityItem*, int> group;
    QList<QRectF> rects;
    for (EntityItem* start : entities) {
        if (group.contains(start))
            continue;
        const int g = static_cast<int>(rects.size());
        QList<EntityItem*> queue{start};
        group.insert(start, g);
        QRectF r = entityRect(start);
        int members = 1;
        for (qsizetype head = 0; head < queue.size(); ++head) {
            for (EdgeItem* edge : queue.at(head)->edges()) {
                for (EntityItem* next : {edge->fromEntity(), edge->toEntity()}) {
                    if (next && !group.contains(next)) {
                        group.insert(next, g);
                        queue.append(next);
                        ++members;
                        r = r.united(entityRect(next));
                    }
                }
            }
        }
        if (members >= smallest)
            rects.append(r);
    }
    return rects;
}

QRectF entitiesBounds(const QList<EntityItem*>& entities)
{
    QRectF r;
    for (const EntityItem* e : entities)
        r = r.isNull() ? entityRect(e) : r.united(entityRect(e));
    return r;
}

QHash<QString, QPointF> positions(const ERScene& scene)
{
    QHash<QString, QPointF> found;
    for (const EntityItem* e : itemsOfType<EntityItem>(scene))
        found.insert(e->id(), e->pos());
    return found;
}

// The point counts of the scene's routes, sorted.
QList<qsizetype> routeShapes(const ERScene& scene)
{
    QList<qsizetype> shapes;
    for (const EdgeItem* edge : itemsOfType<EdgeItem>(scene))
        shapes.append(edge->route().size());
    std::sort(shapes.begin(), shapes.end());
    return shapes;
}

enum Shape { OneGroup, SmallGroups, Dense, Chain, Star, Tree, ManyHubs, SelfRelations, Parallel };

// Whether the edge's slot at one end is the only one with an edge on its
// side of that entity.
bool aloneOnSide(const EdgeItem* edge, bool atFrom)
{
    const SlotItem* slot = atFrom ? edge->fromSlot() : edge->toSlot();
    const EntityItem* entity = atFrom ? edge->fromEntity() : edge->toEntity();
    if (!slot || !entity)
        return false;
    int onSide = 0;
    for (const SlotItem* s : entity->slotHandles()) {
        if (s->edge() && s->side() == slot->side())
            ++onSide;
    }
    return onSide == 1;
}

// A generated diagram of the given shape. Many hubs: hubs in a ring, each
// with its own leaves; parallel: a ring of pairs joined two and three times.
QList<EntityItem*> buildGenerated(ERScene& scene, int shape, int count, quint32 seed)
{
    QRandomGenerator random(seed * 31 + static_cast<quint32>(shape));
    QList<EntityItem*> entities;
    for (int i = 0; i < count; ++i) {
        const QPointF at(random.bounded(3000), random.bounded(2000));
        const QString name = QStringLiteral("table_%1").arg(i);
        entities.append(addEntity(scene, name, name, at, rows(1 + random.bounded(8))));
    }
    auto link = [&](int a, int b) { scene.createEdge(entities.at(a), entities.at(b), false); };
    switch (shape) {
    case Chain:
    case SelfRelations:
    case Star:
    case Tree:
        for (int i = 1; i < count; ++i) {
            link(shape == Star ? 0 : shape == Tree ? (i - 1) / 2 : i - 1, i);
            if (shape == SelfRelations && i % 3 == 0)
                link(i, i);
        }
        return entities;
    case ManyHubs: {
        const int hubs = std::max(2, count / 9);
        for (int h = 0; h < hubs; ++h)
            link(h, (h + 1) % hubs);
        for (int i = hubs; i < count; ++i)
            link(i % hubs, i);
        return entities;
    }
    case Parallel:
        for (int i = 0; i < count; ++i) {
            link(i, (i + 1) % count);
            if (i % 2 == 0)
                link((i + 1) % count, i);
            if (i % 4 == 0)
                link(i, (i + 1) % count);
        }
        return entities;
    default:
        break;
    }
    if (shape == OneGroup) {
        for (int i = 1; i < count; ++i)
            link(i, random.bounded(3) == 0 ? random.bounded(std::min(i, 4)) : random.bounded(i));
        for (int k = 0; k < count * 3 / 10; ++k)
            link(random.bounded(count), random.bounded(count));
    } else if (shape == SmallGroups) {
        for (int start = 0; start < count;) {
            const int size = std::min(2 + random.bounded(6), count - start);
            for (int i = 1; i < size; ++i)
                link(start + i, start + random.bounded(i));
            if (size > 2)
                link(start, start + size - 1);
            start += size;
        }
    } else {
        for (int k = 0; k < count * 3; ++k)
            link(random.bounded(count), random.bounded(count));
    }
    return entities;
}

} // namespace

class TestAutoLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { setUpApplication(); }
    void init()
    {
        EdgeItem::setBatchMode(false);
        EdgeItem::setRoutingSuspended(false);
    }

    void fortyEntities()
    {
        ERScene scene;
        QGraphicsView view(&scene);
        view.setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
        const Diagram d = buildDiagram(scene);
        const QPointF oldCentre = scene.itemsBoundingRect().center();
        EdgeItem::resetRoutingCounters();

        scene.autoLayout();

        // Every edge got its routes from the passes alone: no queued quick
        // update (a straight line or plain route) came after them.
        QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(0));
        QCOMPARE(EdgeItem::routingCounters().timerFlushes, quint64(0));

        // The views and the cursor are back as they were.
        QVERIFY(view.isInteractive());
        QVERIFY(view.updatesEnabled());
        QCOMPARE(view.viewportUpdateMode(), QGraphicsView::FullViewportUpdate);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!EdgeItem::isBatchMode());
        QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 0);

        for (qsizetype a = 0; a < d.entities.size(); ++a) {
            for (qsizetype b = a + 1; b < d.entities.size(); ++b)
                QVERIFY2(!entityRect(d.entities.at(a)).intersects(entityRect(d.entities.at(b))),
                         qPrintable(d.entities.at(a)->title() + " on " + d.entities.at(b)->title()));
        }

        const QList<QRectF> groups = groupRects(d.entities);
        QCOMPARE(groups.size(), 1 + 1 + 1 + 1 + 14); // star, chain, trio, cycle, singles
        for (qsizetype a = 0; a < groups.size(); ++a) {
            for (qsizetype b = a + 1; b < groups.size(); ++b) {
                const QRectF& r = groups.at(a);
                const QRectF& s = groups.at(b);
                const double gap = std::max(std::max(r.left() - s.right(), s.left() - r.right()),
                                            std::max(r.top() - s.bottom(), s.top() - r.bottom()));
                QVERIFY2(gap >= 150 - 1e-6, qPrintable(QString::number(gap)));
            }
        }

        const QPointF centre = entitiesBounds(d.entities).center();
        QVERIFY(std::abs(centre.x() - oldCentre.x()) < 1e-6);
        QVERIFY(std::abs(centre.y() - oldCentre.y()) < 1e-6);

        const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
        QCOMPARE(edges.size(), 8 + 9 + 1 + 4 + 5 + 1);
        for (const EdgeItem* edge : edges) {
            const QString name = edge->fromEntity()->title() + " -> " + edge->toEntity()->title();
            QVERIFY2(rightAngled(edge->route()), qPrintable(name));
            QVERIFY2(!edge->countEntityCrossings(), qPrintable(name));
            for (const EntityItem* e : d.entities) {
                if (e != edge->fromEntity() && e != edge->toEntity())
                // The box itself (the bounding rectangle less its margin of
                // 3): a route may run along the border, not through it.
                    QVERIFY2(!routeEntersRect(edge->route(), entityRect(e), 3.0), qPrintable(name + " over " + e->title()));
            }
            // Each end starts on its slot.
            QVERIFY(QLineF(edge->route().first(), edge->fromSlot()->scenePos()).length() < 1.0);
            QVERIFY(QLineF(edge->route().last(), edge->toSlot()->scenePos()).length() < 1.0);
        }
        // Self-loops go round the outside of their entity.
        for (const EdgeItem* edge : edges) {
            if (!edge->isSelfRelation())
                continue;
            QVERIFY(edge->route().size() >= 4);
            const EntityItem* e = edge->fromEntity();
            QVERIFY2(!routeEntersRect(edge->route(), e->mapRectToScene(e->rect())), qPrintable(e->title()));
        }
        // Parallel relationships each have their own slots.
        QSet<const SlotItem*> used;
        for (const EdgeItem* edge : edges) {
            QVERIFY(!used.contains(edge->fromSlot()));
            used.insert(edge->fromSlot());
            QVERIFY(!used.contains(edge->toSlot()));
            used.insert(edge->toSlot());
        }
        // The scene rectangle holds everything with 120 to spare.
        QCOMPARE(scene.sceneRect(), scene.itemsBoundingRect().adjusted(-120, -120, 120, 120));
    }

    // The same diagram gives the same arrangement: loaded again from the
    // same file, and laid out again in place (where only the old centre,
    // which now includes the new routes, may shift the whole).
    void sameDiagramSameArrangement()
    {
        ERScene scene;
        buildDiagram(scene);
        const QJsonObject json = scene.toJson();
        scene.autoLayout();
        const QHash<QString, QPointF> first = positions(scene);

        ERScene other;
        other.loadFromJson(json);
        other.autoLayout();
        const QHash<QString, QPointF> second = positions(other);
        QCOMPARE(second.size(), first.size());
        for (auto it = first.cbegin(); it != first.cend(); ++it)
            QCOMPARE(second.value(it.key()), it.value());

        scene.autoLayout();
        const QHash<QString, QPointF> third = positions(scene);
        const QPointF shift = third.value(QStringLiteral("hub")) - first.value(QStringLiteral("hub"));
        for (auto it = first.cbegin(); it != first.cend(); ++it) {
            const QPointF moved = third.value(it.key()) - it.value();
            QVERIFY2(QLineF(moved, shift).length() < 1e-6, qPrintable(it.key()));
        }
    }

    // Generated diagrams of the shapes real schemas take, looked at as a
    // reader would: no entity on another, every route right-angled and clear
    // of the entities, no two routes on one line, none hugging an entity, no
    // two edge ends at one point, no group of 15 or more much wider than a
    // page, few crossings;
    // and a second run
    // on a copy gives the same positions and routes.
    void generatedDiagrams_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("count");
        QTest::addColumn<quint32>("seed");
        // Crossings per edge at most, a little above what the layout gives.
        QTest::addColumn<double>("crossingsPerEdge");
        for (quint32 seed = 1; seed <= 3; ++seed) {
            QTest::addRow("one group of 60, seed %u", seed) << int(OneGroup) << 60 << seed << 0.85;
            QTest::addRow("small groups of 60, seed %u", seed) << int(SmallGroups) << 60 << seed << 0.05;
            QTest::addRow("dense cluster of 24, seed %u", seed) << int(Dense) << 24 << seed << 2.8;
        }
        // Large groups: hubs ordered and columns arranged by line length,
        // then boxes trading places in rounds.
        QTest::addRow("one group of 200, seed 1") << int(OneGroup) << 200 << 1u << 2.25;
        QTest::addRow("one group of 200, seed 2") << int(OneGroup) << 200 << 2u << 2.3;
        QTest::addRow("chain of 30") << int(Chain) << 30 << 1u << 0.1;
        QTest::addRow("star of 16") << int(Star) << 16 << 1u << 0.05;
        QTest::addRow("tree of 31") << int(Tree) << 31 << 1u << 0.1;
        QTest::addRow("many hubs, 90") << int(ManyHubs) << 90 << 1u << 0.35;
        QTest::addRow("self-relations, 20") << int(SelfRelations) << 20 << 1u << 0.3;
        QTest::addRow("parallel relationships, 16") << int(Parallel) << 16 << 1u << 0.12;
    }

    void generatedDiagrams()
    {
        QFETCH(int, shape);
        QFETCH(int, count);
        QFETCH(quint32, seed);
        QFETCH(double, crossingsPerEdge);
        ERScene scene;
        const QList<EntityItem*> entities = buildGenerated(scene, shape, count, seed);
        scene.autoLayout();

        const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
        for (const EdgeItem* edge : edges) {
            const QString name = edge->fromEntity()->title() + " -> " + edge->toEntity()->title();
            QVERIFY2(rightAngled(edge->route()), qPrintable(name));
            QVERIFY2(!edge->countEntityCrossings(), qPrintable(name + " runs through an entity"));
        }
        const LayoutQuality quality = shownLayoutQuality(entities, edges);
        QCOMPARE(quality.overlappingPairs, 0);
        QCOMPARE(quality.edgesThroughEntities, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
        QVERIFY2(quality.crossings <= crossingsPerEdge * edges.size(),
                 qPrintable(QStringLiteral("%1 crossings of %2 edges").arg(quality.crossings).arg(edges.size())));
        // Nor do routes run along an entity they pass, nearer than 5, so
        // that they look like its border, but where there is no room (one
        // in twenty edges at most, one in ten in a group of 200, which is
        // crowded).
        // A relationship alone on its side at both ends, between entities
        // that face each other, meets the other end straight, without a
        // jog, but where something stands in the way (one in twenty edges
        // at most).
        int jogs = 0;
        for (const EdgeItem* edge : edges) {
            if (edge->isSelfRelation() || aloneOnSide(edge, true) + aloneOnSide(edge, false) < 2)
                continue;
            const QRectF a = edge->fromEntity()->sceneBoundingRect();
            const QRectF b = edge->toEntity()->sceneBoundingRect();
            const bool sideBySide = (b.left() > a.right() || a.left() > b.right()) && std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) > 40;
            const bool stacked = (b.top() > a.bottom() || a.top() > b.bottom()) && std::min(a.right(), b.right()) - std::max(a.left(), b.left()) > 40;
            if ((sideBySide || stacked) && edge->route().size() > 2)
                ++jogs;
        }
        QVERIFY2(jogs * 20 <= edges.size(), qPrintable(QString::number(jogs)));
        const int alongEntities = segmentsAlongOtherEntities(entities, edges, 5.0);
        QVERIFY2(alongEntities * (count >= 200 ? 10 : 20) <= edges.size(), qPrintable(QString::number(alongEntities)));
        for (const QRectF& group : groupRects(entities, 15))
            QVERIFY2(group.width() <= 2.0 * group.height(), qPrintable(QStringLiteral("a group %1 wide and %2 high").arg(group.width()).arg(group.height())));
        // Only a dense cluster, whose routes crowd narrow gaps, may keep a
        // few routes on one line (about one in ten edges at most).
        if (shape == Dense)
            QVERIFY2(quality.coincidentPairs * 10 <= edges.size(), qPrintable(QString::number(quality.coincidentPairs)));
        else
            QCOMPARE(quality.coincidentPairs, 0);

        // The same diagram built again is laid out the same. Relationships
        // of equal length are routed in the order of their addresses, which
        // may shift where parallel segments are pushed apart, so the routes
        // are compared only by their number and shape.
        ERScene other;
        buildGenerated(other, shape, count, seed);
        other.autoLayout();
        QCOMPARE(positions(other), positions(scene));
        QCOMPARE(routeShapes(other), routeShapes(scene));
    }

    // The routing shares its searches out to helper threads; a dense
    // cluster of 60 leaves several routes on one line with others, whose
    // searches for other ways run on them too. The helpers see values
    // only: every read of an item is made on the GUI thread.
    void helpersReadNoItem()
    {
        ERScene scene;
        buildGenerated(scene, Dense, 60, 2);
        ItemReadWatch::setWatching(true);
        scene.autoLayout();
        ItemReadWatch::setWatching(false);
        QVERIFY(ItemReadWatch::counts().reads > 0);
        QCOMPARE(ItemReadWatch::counts().offThread, 0);
    }

    // Relationships of an entity with itself loop round its top right
    // corner, nested, and cross no other line (the file's employees have a
    // manager and a mentor, its departments a parent).
    void selfRelationsLoopAtACorner()
    {
        ERScene scene;
        scene.loadFromJson(parseMermaidFile(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/08-styles-and-self-references.mmd"), nullptr));
        scene.autoLayout();
        const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
        QList<LaidOutEdge> routes;
        int loops = 0;
        for (const EdgeItem* edge : edges) {
            routes.append({edge->route(), int(routes.size()), -1}); // every route its own ends
            if (!edge->isSelfRelation())
                continue;
            ++loops;
            QCOMPARE(edge->fromSlot()->side(), int(SlotRight));
            QCOMPARE(edge->toSlot()->side(), int(SlotTop));
        }
        QCOMPARE(loops, 3);
        QCOMPARE(countRouteCrossings(routes), 0);
    }

    // A group of 14 whose routes, once placed, cross nowhere: trying other
    // sides for a route must not take one that runs across the others
    // because it is shorter or bends less.
    void otherSidesAddNoCrossing()
    {
        ERScene scene;
        const QList<EntityItem*> entities = buildGenerated(scene, OneGroup, 14, 1);
        scene.autoLayout();
        const LayoutQuality quality = shownLayoutQuality(entities, itemsOfType<EdgeItem>(scene));
        QCOMPARE(quality.crossings, 0);
    }

    // A rental schema of 15 tables around a few central ones (films,
    // stores, staff, customers, addresses): the hubs' satellite columns are
    // arranged by the crossings of their likely routes, so the drawn routes
    // cross at most twice, where stacking the columns by height alone left
    // three or more.
    void rentalSchemaColumnsCrossLittle()
    {
        ERScene scene;
        enum { Actor, Film, FilmActor, Category, FilmCategory, Language, Inventory, Store, Staff, Customer, Address,
               City, Country, Rental, Payment, Count };
        QRandomGenerator random(15);
        QList<EntityItem*> entities;
        for (int i = 0; i < Count; ++i) {
            const QString name = QStringLiteral("table_%1").arg(i);
            entities.append(addEntity(scene, name, name, QPointF(random.bounded(3000), random.bounded(2000)),
                                      rows(2 + random.bounded(7))));
        }
        const QList<std::pair<int, int>> keys{
            {FilmActor, Actor}, {FilmActor, Film},    {FilmCategory, Film}, {FilmCategory, Category},
            {Film, Language},   {Film, Language},     {Inventory, Film},    {Inventory, Store},
            {Store, Staff},     {Store, Address},     {Staff, Store},       {Staff, Address},
            {Customer, Store},  {Customer, Address},  {Address, City},      {City, Country},
            {Rental, Inventory}, {Rental, Customer},  {Rental, Staff},      {Payment, Customer},
            {Payment, Staff},   {Payment, Rental}};
        for (const auto& [owner, referenced] : keys)
            scene.createEdge(entities.at(owner), entities.at(referenced), false);
        scene.autoLayout();
        const LayoutQuality quality = shownLayoutQuality(entities, itemsOfType<EdgeItem>(scene));
        QVERIFY2(quality.crossings <= 2, qPrintable(QStringLiteral("%1 crossings").arg(quality.crossings)));
        QCOMPARE(quality.edgesThroughEntities, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
    }

    void tooFewEntitiesChangeNothing_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << 0;
        QTest::newRow("one with a self-relation") << 1;
    }
    void tooFewEntitiesChangeNothing()
    {
        QFETCH(int, count);
        ERScene scene;
        QGraphicsView view(&scene);
        view.setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
        EdgeItem* loop = nullptr;
        if (count == 1) {
            EntityItem* e = addEntity(scene, QStringLiteral("only"), QStringLiteral("only"), QPointF(333, 444));
            loop = scene.createEdge(e, e, false);
        }
        const QRectF rect = scene.sceneRect();
        const QList<QPointF> route = loop ? loop->route() : QList<QPointF>();
        scene.autoLayout();
        QCOMPARE(scene.sceneRect(), rect);
        if (loop) {
            QCOMPARE(loop->fromEntity()->pos(), QPointF(333, 444));
            QCOMPARE(loop->route(), route);
        }
        QVERIFY(view.isInteractive());
        QCOMPARE(view.viewportUpdateMode(), QGraphicsView::SmartViewportUpdate);
        QVERIFY(!QApplication::overrideCursor());
    }

    // Longest first, a missing end last: a strict weak ordering (never a
    // before itself, never both ways, transitive) on any mix of edges.
    void edgeLengthOrdering()
    {
        ERScene scene;
        QList<EntityItem*> entities;
        QRandomGenerator random(9);
        for (int i = 0; i < 6; ++i)
            entities.append(addEntity(scene, QString::number(i), QString::number(i),
                                      QPointF(300 * (i % 3), 250 * (i / 3))));
        QList<EdgeItem*> edges;
        for (int i = 0; i < 14; ++i) {
            EntityItem* a = entities.at(random.bounded(6));
            EntityItem* b = entities.at(random.bounded(6));
            edges.append(scene.createEdge(a, b, false));
        }
        // Three edges lose an end.
        for (int i : {2, 7, 11}) {
            EntityItem* gone = edges.at(i)->toEntity();
            edges.at(i)->forgetEntity(gone);
            gone->removeEdge(edges.at(i));
        }
        for (EdgeItem* a : edges) {
            QVERIFY(!ERScene::edgeLengthGreater(a, a));
            for (EdgeItem* b : edges) {
                if (a != b)
                    QVERIFY(ERScene::edgeLengthGreater(a, b) != ERScene::edgeLengthGreater(b, a));
                for (EdgeItem* c : edges) {
                    if (ERScene::edgeLengthGreater(a, b) && ERScene::edgeLengthGreater(b, c))
                        QVERIFY(ERScene::edgeLengthGreater(a, c));
                }
            }
        }
        std::sort(edges.begin(), edges.end(), &ERScene::edgeLengthGreater);
        for (qsizetype i = 0; i < edges.size(); ++i) {
            const bool missing = !edges.at(i)->fromEntity() || !edges.at(i)->toEntity();
            QCOMPARE(missing, i >= edges.size() - 3);
        }
        // A layout over such edges still places every entity apart.
        scene.autoLayout();
        for (qsizetype a = 0; a < entities.size(); ++a) {
            for (qsizetype b = a + 1; b < entities.size(); ++b)
                QVERIFY(!entityRect(entities.at(a)).intersects(entityRect(entities.at(b))));
        }
    }

    // Three edges leaving the right side of an entity: spread along it in
    // the order of the entities they lead to, free slots left alone.
    void slotsSpreadAlongASide()
    {
        ERScene scene;
        EntityItem* a = addEntity(scene, QStringLiteral("a"), QStringLiteral("a"), QPointF(0, 0), rows(2));
        const double ys[3] = {400, -300, 30};
        QList<EdgeItem*> edges;
        for (int i = 0; i < 3; ++i) {
            EntityItem* b = addEntity(scene, QString::number(i), QString::number(i), QPointF(600, ys[i]));
            EdgeItem* e = scene.createEdge(a, b, false);
            e->setSlotSides(SlotRight, SlotLeft);
            edges.append(e);
        }
        SlotItem* free = a->acquireFreeSlot();
        const QPointF freeAt = free->pos();
        ERScene::assignEdgeSlots(a);
        const QRectF box = a->rect();
        const double margin = slotSideMargin(box.height());
        // Ordered by the other entity: -300, 30, 400.
        const QList<double> y{edges.at(1)->fromSlot()->pos().y(), edges.at(2)->fromSlot()->pos().y(),
                              edges.at(0)->fromSlot()->pos().y()};
        QVERIFY2(y.at(0) + SlotSpacing - 1 <= y.at(1) && y.at(1) + SlotSpacing - 1 <= y.at(2),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(y.at(0)).arg(y.at(1)).arg(y.at(2))));
        QVERIFY(y.first() >= box.top() + margin - 0.5);
        QVERIFY(y.last() <= box.bottom() - margin + 0.5);
        for (const EdgeItem* e : edges)
            QCOMPARE(e->fromSlot()->pos().x(), box.right());
        QCOMPARE(free->pos(), freeAt);
        ERScene::assignEdgeSlots(nullptr);
    }

    // Three routes from entities of a column back to the top one, on one
    // line in the gap between the column and a tall entity beside it: too
    // narrow for the pushing apart's spacing, so the pushing leaves two of
    // them on one line, but wide enough for lines a little nearer, where the
    // nudge that follows still parts them.
    void narrowGapStillParts()
    {
        ERScene scene;
        EdgeItem::setRoutingSuspended(true);
        QList<EntityItem*> column;
        for (int i = 0; i < 4; ++i)
            column.append(addEntity(scene, QString::number(i), QString::number(i), QPointF(0, 150.0 * i), rows(2)));
        const double boxLeft = column.first()->sceneBoundingRect().left() + 3;
        // The tall entity's box ends 24 left of the column's boxes.
        EntityItem* tall = addEntity(scene, QStringLiteral("t"), QStringLiteral("t"), QPointF(0, -100), rows(30));
        tall->setPos(tall->pos().x() + boxLeft - 24 - (tall->sceneBoundingRect().right() - 3), -100);
        QList<EdgeItem*> edges;
        for (int i = 1; i < 4; ++i) {
            EdgeItem* e = scene.createEdge(column.at(i), column.first(), false);
            e->setSlotSides(SlotLeft, SlotLeft);
            edges.append(e);
        }
        ERScene::assignEdgeSlots(column.first());
        for (EdgeItem* e : edges) {
            const QPointF p = e->fromSlot()->scenePos();
            const QPointF q = e->toSlot()->scenePos();
            const double x = boxLeft - 10;
            e->setRoutePoints({p, {x, p.y()}, {x, q.y()}, q});
        }
        EdgeItem::setRoutingSuspended(false);
        const QList<EntityItem*> entities = scene.entityItems();
        EntityRectIndex index;
        indexEntityRects(index, entities);
        separateSceneRoutes(entities, edges, index, [&index](const QRectF& region, const void* a, const void* b) {
            return index.rectsIn(region, a, b);
        });
        const QList<RoutePoints> routes{edges.at(0)->route(), edges.at(1)->route(), edges.at(2)->route()};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(coincidentSegmentPairs(routes, i), 0);
        for (const EdgeItem* e : edges)
            QVERIFY(!e->countEntityCrossings());
    }

    // Repeated relationships between two entities leave them on shared
    // sides in nested order, so that their routes do not cross, whichever
    // way each relationship points and whichever sides the pair uses.
    void repeatedRelationshipsNest_data()
    {
        QTest::addColumn<QPointF>("otherAt");
        QTest::addColumn<int>("fromSide");
        QTest::addColumn<int>("toSide");
        QTest::addRow("facing") << QPointF(600, 40) << int(SlotRight) << int(SlotLeft);
        QTest::addRow("down, then right") << QPointF(500, 400) << int(SlotBottom) << int(SlotLeft);
        QTest::addRow("right, then up") << QPointF(500, -400) << int(SlotRight) << int(SlotBottom);
        QTest::addRow("left, then down") << QPointF(-500, 400) << int(SlotLeft) << int(SlotTop);
        QTest::addRow("up, then left") << QPointF(-500, -400) << int(SlotTop) << int(SlotRight);
        QTest::addRow("below, a little to the right") << QPointF(60, 300) << int(SlotBottom) << int(SlotTop);
        QTest::addRow("beside, a little lower") << QPointF(-600, 50) << int(SlotLeft) << int(SlotRight);
    }

    void repeatedRelationshipsNest()
    {
        QFETCH(QPointF, otherAt);
        QFETCH(int, fromSide);
        QFETCH(int, toSide);
        ERScene scene;
        EntityItem* a = addEntity(scene, QStringLiteral("a"), QStringLiteral("a"), QPointF(0, 0), rows(6));
        EntityItem* b = addEntity(scene, QStringLiteral("b"), QStringLiteral("b"), otherAt, rows(6));
        QList<EdgeItem*> edges;
        for (int i = 0; i < 3; ++i) {
            EdgeItem* e = i == 1 ? scene.createEdge(b, a, false) : scene.createEdge(a, b, false);
            if (i == 1)
                e->setSlotSides(toSide, fromSide);
            else
                e->setSlotSides(fromSide, toSide);
            edges.append(e);
        }
        ERScene::assignEdgeSlots(a);
        ERScene::assignEdgeSlots(b);
        for (EdgeItem* e : std::as_const(edges))
            e->rerouteIfConnected();
        const LayoutQuality quality = shownLayoutQuality({a, b}, edges);
        QCOMPARE(quality.crossings, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
        // Entities that face each other with room for all of them: straight.
        const QRectF ra = a->sceneBoundingRect();
        const QRectF rb = b->sceneBoundingRect();
        const bool overlapAlong = fromSide == SlotTop || fromSide == SlotBottom
            ? std::min(ra.right(), rb.right()) - std::max(ra.left(), rb.left()) > 3 * SlotSpacing
            : std::min(ra.bottom(), rb.bottom()) - std::max(ra.top(), rb.top()) > 3 * SlotSpacing;
        if (overlapAlong && (fromSide ^ toSide) == 1) {
            for (const EdgeItem* e : std::as_const(edges))
                QCOMPARE(e->route().size(), 2);
        }
    }

    // Entities stacked in a column beside an entity, all reached from one
    // of its sides: the routes leave that side and turn the same way, and
    // nest rather than cross.
    void routesTurningOneWayNest_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("otherSide");
        QTest::addColumn<double>("columnX");
        QTest::addColumn<double>("step");
        QTest::addRow("top, turning left") << int(SlotTop) << int(SlotRight) << -600.0 << -200.0;
        QTest::addRow("top, turning right") << int(SlotTop) << int(SlotLeft) << 600.0 << -200.0;
        QTest::addRow("bottom, turning left") << int(SlotBottom) << int(SlotRight) << -600.0 << 200.0;
        QTest::addRow("bottom, turning right") << int(SlotBottom) << int(SlotLeft) << 600.0 << 200.0;
    }

    void routesTurningOneWayNest()
    {
        QFETCH(int, side);
        QFETCH(int, otherSide);
        QFETCH(double, columnX);
        QFETCH(double, step);
        ERScene scene;
        EntityItem* hub = addEntity(scene, QStringLiteral("hub"), QStringLiteral("hub"), QPointF(0, 0), rows(3));
        QList<EntityItem*> entities{hub};
        QList<EdgeItem*> edges;
        for (int i = 1; i <= 3; ++i) {
            EntityItem* other = addEntity(scene, QString::number(i), QString::number(i), QPointF(columnX, i * step), rows(2));
            EdgeItem* e = scene.createEdge(hub, other, false);
            e->setSlotSides(side, otherSide);
            entities.append(other);
            edges.append(e);
        }
        for (EntityItem* entity : std::as_const(entities))
            ERScene::assignEdgeSlots(entity);
        for (EdgeItem* e : std::as_const(edges))
            e->rerouteIfConnected();
        const LayoutQuality quality = shownLayoutQuality(entities, edges);
        QCOMPARE(quality.crossings, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
    }
};

QUILLMAP_TEST_MAIN(TestAutoLayout)
#include "tst_autolayout.moc"
