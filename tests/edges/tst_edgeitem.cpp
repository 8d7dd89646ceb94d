#include "common/testmain.h"
#include "edgetestutil.h"

#include "app/applicationsetup.h"
#include "app/thememanager.h"
#include "diagram/singlelinetextitem.h"
#include "edges/entityviewedgeitem.h"
#include "edges/routegeometry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace edgetest;

class TestEdgeItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setUpApplication();
        qRegisterMetaType<EdgeItem*>();
        ThemeManager::instance().setTheme(ThemeKind::Light);
    }
    void init()
    {
        EdgeItem::setBatchMode(false);
        EdgeItem::setRoutingSuspended(false);
        EdgeItem::resetRoutingCounters();
    }
    void cleanup()
    {
        EdgeItem::setBatchMode(false);
        EdgeItem::setRoutingSuspended(false);
        ThemeManager::instance().setTheme(ThemeKind::Light);
    }

    void newEdgeFacesItsPartner();
    void createEdgeRefusesBadEntities();
    void selfRelationLoopsOverTheTop();
    void selfRelationsNest_data();
    void selfRelationsNest();
    void foreignKeyRowsComeAndGoWithTheirEdge();
    void keptRowsWhenTheFlagIsCleared();
    void deletingAnEntityDeletesItsEdges();
    void removingRowsDeletesDependentEdges();
    void keyTypeFollowsIntoForeignKeys();
    void selectionLightsUpLinkedRows();
    void rowSelectionSelectsEdges();
    void quickUpdateShortcutsAndFallbacks();
    void quickUpdateKeepsLoopsOffTheirEntity();
    void movesCoalesceBehindOneTimer();
    void skipFlagDropsTheBatch();
    void suspendedRoutingLeavesEdgesAlone();
    void deletingQueuedEdgesIsSafe();
    void applyRouteKeepsOrRefits();
    void reassignSlotsFollowsTheFacingSides();
    void boundsAndPen();
    void viewLinkInheritsAndPaintsDashed();
    void jsonGoldenRoundTrip();
    void jsonReaderEdgeCases();
    void storedRouteIsReanchored();
    void sideChoiceForLayout();
    void sixTablesRenderInBothThemes();
    void edgesOnOneLineAllShow();

private:
    static QString goldenPath() { return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/edges/golden_edges.json"); }
    static void buildGoldenScene(ERScene& scene, bool withEdges);
};

void TestEdgeItem::newEdgeFacesItsPartner()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    QSignalSpy added(&scene, &ERScene::edgeAdded);
    EdgeItem* edge = scene.createEdge(a, b, false);
    QVERIFY(edge);
    QCOMPARE(added.count(), 1);
    QCOMPARE(edge->startCard(), int(CardinalityMany));
    QCOMPARE(edge->endCard(), int(CardinalityMany));
    QCOMPARE(edge->fromSlot()->side(), int(SlotRight));
    QCOMPARE(edge->toSlot()->side(), int(SlotLeft));
    QCOMPARE(edge->id().size(), 36);
    QCOMPARE(a->edges(), QList<EdgeItem*>{edge});
    QCOMPARE(b->edges(), QList<EdgeItem*>{edge});
    // Side by side at the same height: one straight segment between the
    // middles of the facing sides.
    QCOMPARE(edge->route().size(), 2);
    QCOMPARE(edge->route().first(), edge->fromSlot()->scenePos());
    QCOMPARE(edge->route().last(), edge->toSlot()->scenePos());
    QCOMPARE(edge->fromSlot()->pos(), QPointF(a->rect().right(), a->rect().center().y()));
    QCOMPARE(edge->zValue(), -1.0);
    QVERIFY(edge->flags() & QGraphicsItem::ItemIsSelectable);
}

void TestEdgeItem::createEdgeRefusesBadEntities()
{
    ERScene scene, other;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* foreign = addEntity(other, "f", "f", {0, 0});
    QTest::ignoreMessage(QtWarningMsg, "createEdge: null entity!");
    QVERIFY(!scene.createEdge(a, nullptr, true));
    QTest::ignoreMessage(QtWarningMsg, "createEdge: entity not in this scene!");
    QVERIFY(!scene.createEdge(a, foreign, true));
    QVERIFY(a->edges().isEmpty());
    QCOMPARE(a->attributeCount(), 1);
}

void TestEdgeItem::selfRelationLoopsOverTheTop()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {100, 100});
    EdgeItem* loop = scene.createEdge(a, a, false);
    QVERIFY(loop->isSelfRelation());
    QCOMPARE(a->edges().count(loop), 2);
    QCOMPARE(loop->fromSlot()->side(), int(SlotLeft));
    QCOMPARE(loop->toSlot()->side(), int(SlotRight));
    // The slots sit on the border, not inside the box.
    QCOMPARE(loop->fromSlot()->pos().x(), a->rect().left());
    QCOMPARE(loop->toSlot()->pos().x(), a->rect().right());
    const QRectF r = a->sceneBoundingRect();
    const QList<QPointF> route = loop->route();
    QCOMPARE(route.size(), 6);
    QCOMPARE(route[1].x(), r.left() - 20);
    QCOMPARE(route[2].y(), r.top() - 20);
    QCOMPARE(route[4].x(), r.right() + 20);
    QCOMPARE(loop->selfLoopIndex(), 0);
}

void TestEdgeItem::selfRelationsNest_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("top") << int(SlotTop);
    QTest::newRow("left") << int(SlotLeft);
}

void TestEdgeItem::selfRelationsNest()
{
    QFETCH(int, side);
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {300, 300});
    QList<EdgeItem*> loops;
    for (int i = 0; i < 3; ++i)
        loops << scene.createEdge(a, a, false);
    QCOMPARE(loops[0]->selfLoopIndex(), 0);
    QCOMPARE(loops[1]->selfLoopIndex(), 2);
    QCOMPARE(loops[2]->selfLoopIndex(), 4);
    const QRectF r = a->sceneBoundingRect();
    for (int i = 0; i < 3; ++i) {
        EdgeItem* loop = loops[i];
        loop->fromSlot()->setSide(side);
        loop->fromSlot()->setPos(side == SlotTop ? QPointF(20, 0) : QPointF(0, 10));
        loop->toSlot()->setSide(side);
        loop->toSlot()->setPos(side == SlotTop ? QPointF(100, 0) : QPointF(0, 50));
        loop->updatePath();
        const QList<QPointF> route = loop->route();
        QCOMPARE(route.size(), 4);
        const double distance = side == SlotTop ? r.top() - route[1].y() : r.left() - route[1].x();
        QCOMPARE(distance, 30.0 * (i + 1)); // 30, 60, 90 out
    }
    // The middle loop goes: the outer one moves in.
    delete loops[1];
    QCOMPARE(loops[2]->selfLoopIndex(), 2);
    loops[2]->updatePath();
    const double distance = side == SlotTop ? r.top() - loops[2]->route()[1].y() : r.left() - loops[2]->route()[1].x();
    QCOMPARE(distance, 60.0);
}

void TestEdgeItem::foreignKeyRowsComeAndGoWithTheirEdge()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "orders", {0, 0},
                              {{"id", "BIGINT", true}, {"code", "TEXT", true}, {"note", "TEXT", false}});
    EntityItem* b = addEntity(scene, "b", "lines", {400, 0}, {{"id", "INT", true}, {"qty", "INT", false}});
    EdgeItem* edge = scene.createEdge(a, b, true);
    QCOMPARE(rowNames(b), (QStringList{"id", "qty", "id_2", "code"}));
    for (int row : {2, 3}) {
        QVERIFY(b->attributeIsForeignKey(row));
        QCOMPARE(b->attributeFkEdgeId(row), edge->id());
        QVERIFY(b->nameLabel(row)->font().italic());
        QVERIFY(b->typeLabel(row)->font().italic());
    }
    QCOMPARE(b->attributeType(2), QStringLiteral("BIGINT"));
    QCOMPARE(b->attributeType(3), QStringLiteral("TEXT"));
    QCOMPARE(b->rowsLinkedToEdge(edge), (QList<int>{2, 3}));
    QVERIFY(!b->nameLabel(0)->font().italic());

    // A hand-made row of the same name is not the edge's.
    b->addAttribute("code_3", "TEXT", false, false, true, false);
    delete edge;
    QCOMPARE(rowNames(b), (QStringList{"id", "qty", "code_3"}));
    QVERIFY(a->edges().isEmpty() && b->edges().isEmpty());
    for (SlotItem* slot : a->slotHandles())
        QVERIFY(!slot->edge());
}

void TestEdgeItem::keptRowsWhenTheFlagIsCleared()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {0, 300}, {{"bid", "INT", true}});
    EdgeItem* edge = scene.createEdge(a, b, true);
    QCOMPARE(rowNames(b), (QStringList{"bid", "id"}));
    edge->setRemoveFkRowsOnDestroy(false);
    delete edge;
    QCOMPARE(rowNames(b), (QStringList{"bid", "id"}));

    // Clearing the scene never strips rows either.
    EdgeItem* again = scene.createEdge(a, b, true);
    QVERIFY(again);
    scene.clearScene();
    QVERIFY(scene.items().isEmpty());
}

void TestEdgeItem::deletingAnEntityDeletesItsEdges()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0}, {{"bid", "INT", true}});
    EntityItem* c = addEntity(scene, "c", "c", {0, 300}, {{"cid", "INT", true}});
    QPointer<EdgeItem> ab = scene.createEdge(a, b, true);
    QPointer<EdgeItem> ca = scene.createEdge(c, a, true);
    QPointer<EdgeItem> loop = scene.createEdge(a, a, false);
    QPointer<EdgeItem> bc = scene.createEdge(b, c, false);
    QCOMPARE(rowNames(a), (QStringList{"id", "cid"}));
    QCOMPARE(rowNames(b), (QStringList{"bid", "id"}));
    delete a;
    QVERIFY(!ab && !ca && !loop);
    QVERIFY(bc);
    // The edge that started at the deleted table takes its rows out of b.
    QCOMPARE(rowNames(b), (QStringList{"bid"}));
    QCOMPARE(b->edges(), QList<EdgeItem*>{bc.data()});
    QCOMPARE(c->edges(), QList<EdgeItem*>{bc.data()});
    QCOMPARE(edgesOf(scene).size(), 1);
    // The freed slots are reused by the next edge.
    const int slotsBefore = static_cast<int>(b->slotHandles().size());
    scene.createEdge(c, b, false);
    QCOMPARE(b->slotHandles().size(), slotsBefore);
}

void TestEdgeItem::removingRowsDeletesDependentEdges()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0}, {{"bid", "INT", true}});
    EntityItem* c = addEntity(scene, "c", "c", {0, 300}, {{"cid", "INT", true}});
    QPointer<EdgeItem> ab = scene.createEdge(a, b, true);
    QPointer<EdgeItem> ac = scene.createEdge(a, c, true);
    QPointer<EdgeItem> ba = scene.createEdge(b, a, true);
    QCOMPARE(rowNames(a), (QStringList{"id", "bid"}));
    // The foreign-key row goes with its edge, and only that edge goes.
    b->removeAttribute("id");
    QVERIFY(!ab && ac && ba);
    QCOMPARE(rowNames(b), (QStringList{"bid"}));
    // A primary-key row takes every edge that starts at its entity.
    a->removeAttribute("id");
    QVERIFY(!ac);
    QVERIFY(ba);
    QCOMPARE(rowNames(c), (QStringList{"cid"}));
}

void TestEdgeItem::keyTypeFollowsIntoForeignKeys()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0}, {{"id", "INT", true}, {"code", "TEXT", true}});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0}, {{"id", "INT", true}});
    EntityItem* c = addEntity(scene, "c", "c", {800, 0}, {{"cid", "INT", true}});
    scene.createEdge(a, b, true);
    scene.createEdge(b, c, true);
    QCOMPARE(rowNames(b), (QStringList{"id", "id_2", "code"}));
    a->setAttributeType(0, "BIGINT");
    QCOMPARE(b->attributeType(rowNamed(b, "id_2")), QStringLiteral("BIGINT")); // by position
    a->setAttributeType(1, "VARCHAR(20)");
    QCOMPARE(b->attributeType(rowNamed(b, "code")), QStringLiteral("VARCHAR(20)")); // by name
    // A key row's change goes on through the next edge.
    b->setAttributeType(0, "UUID");
    QCOMPARE(c->attributeType(rowNamed(c, "id")), QStringLiteral("UUID"));
    // The default type of a blank foreign-key row is the referenced key's.
    QCOMPARE(b->defaultTypeForRow(rowNamed(b, "code")), QStringLiteral("VARCHAR(20)"));
}

void TestEdgeItem::selectionLightsUpLinkedRows()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0}, {{"bid", "INT", true}});
    EdgeItem* edge = scene.createEdge(a, b, true);
    const int row = rowNamed(b, "id");
    edge->setSelected(true);
    QVERIFY(!b->nameLabel(row)->highlighted); // deferred
    QCoreApplication::processEvents();
    QVERIFY(b->nameLabel(row)->highlighted && b->typeLabel(row)->highlighted);
    QVERIFY(!b->nameLabel(0)->highlighted);
    QVERIFY(edge->fromSlot()->isActive() && edge->toSlot()->isActive());
    QCOMPARE(edge->pen().color(), ThemeManager::instance().color(ThemeSlot::Highlight));
    edge->setSelected(false);
    QCoreApplication::processEvents();
    QVERIFY(!b->nameLabel(row)->highlighted);
    QVERIFY(!edge->fromSlot()->isActive());
    QCOMPARE(edge->pen().color(), ThemeManager::instance().color(ThemeSlot::RelationshipLine));

    // An edge deleted right after its selection changed: the deferred work
    // dies with it.
    edge->setSelected(true);
    delete edge;
    QCoreApplication::processEvents();
    QCOMPARE(rowNames(b), (QStringList{"bid"}));
}

void TestEdgeItem::rowSelectionSelectsEdges()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0}, {{"bid", "INT", true}});
    EntityItem* c = addEntity(scene, "c", "c", {0, 300}, {{"cid", "INT", true}});
    EdgeItem* ab = scene.createEdge(a, b, true);
    EdgeItem* ac = scene.createEdge(a, c, true);
    // The foreign-key row of b selects its edge only.
    b->onLabelSelectionChanged(b->nameLabel(rowNamed(b, "id")), true);
    QVERIFY(ab->isSelected() && !ac->isSelected());
    b->onLabelSelectionChanged(b->nameLabel(rowNamed(b, "id")), false);
    QVERIFY(!ab->isSelected());
    // The key row of a selects every edge starting there.
    a->onLabelSelectionChanged(a->nameLabel(0), true);
    QVERIFY(ab->isSelected() && ac->isSelected());
}

void TestEdgeItem::quickUpdateShortcutsAndFallbacks()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {0, 400});
    EdgeItem* edge = scene.createEdge(a, b, false);
    QCOMPARE(edge->fromSlot()->side(), int(SlotBottom));
    QCOMPARE(edge->toSlot()->side(), int(SlotTop));

    // Slots lined up (x within 0.5) with nothing between: a straight line.
    b->setPos(0.3, 400);
    EdgeItem::resetRoutingCounters();
    edge->quickUpdatePath();
    QCOMPARE(edge->route().size(), 2);
    QCOMPARE(edge->route().last(), edge->toSlot()->scenePos());
    QCOMPARE(EdgeItem::routingCounters().straightShortcuts, quint64(1));

    // An entity in the corridor: a full route around it.
    EntityItem* middle = addEntity(scene, "m", "m", {-20, 180});
    edge->quickUpdatePath();
    QVERIFY(edge->route().size() > 2);
    QCOMPARE(EdgeItem::routingCounters().straightShortcuts, quint64(1));
    QVERIFY(!edge->countEntityCrossings());
    delete middle;

    // Nothing to do without a route yet.
    EntityItem* c = addEntity(scene, "c", "c", {600, 0});
    EntityItem* d = addEntity(scene, "d", "d", {600, 400});
    EdgeItem::setRoutingSuspended(true);
    auto* bare = new EdgeItem(c, d, false);
    scene.addItem(bare);
    EdgeItem::setRoutingSuspended(false);
    bare->quickUpdatePath();
    QVERIFY(bare->route().isEmpty());
}

void TestEdgeItem::quickUpdateKeepsLoopsOffTheirEntity()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EdgeItem* loop = scene.createEdge(a, a, false);
    // Both slots at the same height on opposite sides: a straight line
    // between them would run through the entity.
    loop->toSlot()->setPos(loop->toSlot()->pos().x(), loop->fromSlot()->pos().y());
    loop->quickUpdatePath();
    QCOMPARE(loop->route().size(), 6);
    const QRectF inner = a->mapRectToScene(a->rect()).adjusted(1, 1, -1, -1);
    for (const QPointF& p : loop->route())
        QVERIFY(!inner.contains(p));

    // Likewise a two-entity edge whose aligned slots face away: no straight
    // line back through its own entity.
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EdgeItem* edge = scene.createEdge(a, b, false);
    edge->fromSlot()->setSide(SlotLeft);
    edge->fromSlot()->snapToBorder();
    edge->quickUpdatePath();
    QVERIFY(edge->route().size() > 2);
    QCOMPARE(edge->route()[1].x() < edge->route()[0].x(), true);
}

void TestEdgeItem::movesCoalesceBehindOneTimer()
{
    ERScene scene;
    EntityItem* hub = addEntity(scene, "h", "h", {400, 400});
    QList<EdgeItem*> edges;
    for (int i = 0; i < 4; ++i) {
        EntityItem* other = addEntity(scene, QString::number(i), QString::number(i), {i * 300.0, 0});
        edges << scene.createEdge(hub, other, false);
    }
    edges << scene.createEdge(hub, hub, false);
    const int n = static_cast<int>(edges.size());
    EdgeItem::resetRoutingCounters();

    // Outside batch mode every move routes at once.
    hub->setPos(410, 400);
    QCOMPARE(EdgeItem::routingCounters().fullUpdates, quint64(n));

    EdgeItem::resetRoutingCounters();
    EdgeItem::setBatchMode(true);
    for (int i = 1; i <= 5; ++i)
        hub->setPos(410 + i, 400 + i);
    QCOMPARE(EdgeItem::routingCounters().fullUpdates, quint64(0));
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), n);
    QVERIFY(EdgeItem::isFlushTimerActive());
    QTRY_COMPARE_WITH_TIMEOUT(EdgeItem::routingCounters().timerFlushes, quint64(1), 1000);
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(n));
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 0);
    // The edges followed: each route ends at its slot again.
    for (EdgeItem* e : std::as_const(edges))
        QCOMPARE(e->route().first(), e->fromSlot()->scenePos());

    // More moves: the next flush; then the end of the batch flushes the
    // timer at once and routes every queued edge in full, once.
    hub->setPos(450, 450);
    hub->setPos(460, 460);
    EdgeItem::resetRoutingCounters();
    EdgeItem::setBatchMode(false);
    const EdgeItem::RoutingCounters c = EdgeItem::routingCounters();
    QCOMPARE(c.timerFlushes, quint64(1));
    QCOMPARE(c.batchFlushes, quint64(1));
    QCOMPARE(c.quickUpdates, quint64(n));
    QVERIFY(c.fullUpdates >= quint64(n)); // self-loop quick updates count as full ones too
    QCOMPARE(EdgeItem::pendingBatchEdgeCount(), 0);
    QVERIFY(!EdgeItem::isFlushTimerActive());
}

void TestEdgeItem::skipFlagDropsTheBatch()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    scene.createEdge(a, b, false);
    EdgeItem::setSkipBatchFlush(true);
    EdgeItem::setBatchMode(true);
    a->setPos(5, 5);
    EdgeItem::resetRoutingCounters();
    EdgeItem::setBatchMode(false);
    QCOMPARE(EdgeItem::routingCounters().batchFlushes, quint64(0));
    QCOMPARE(EdgeItem::routingCounters().fullUpdates, quint64(0));
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(1)); // the timer's edges still go
}

void TestEdgeItem::suspendedRoutingLeavesEdgesAlone()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EdgeItem* edge = scene.createEdge(a, b, false);
    const QList<QPointF> before = edge->route();
    const QPointF slotBefore = edge->fromSlot()->pos();
    EdgeItem::setRoutingSuspended(true);
    a->setPos(50, 80);
    a->addAttribute("more", "INT");
    QCOMPARE(edge->route(), before);
    QCOMPARE(edge->fromSlot()->pos(), slotBefore);
    EdgeItem::setRoutingSuspended(false);
    a->setPos(50, 81);
    QVERIFY(edge->route() != before);
}

void TestEdgeItem::deletingQueuedEdgesIsSafe()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EntityItem* c = addEntity(scene, "c", "c", {0, 400});
    EdgeItem* ab = scene.createEdge(a, b, false);
    scene.createEdge(a, c, false);
    EdgeItem::setBatchMode(true);
    a->setPos(20, 20);
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 2);
    QCOMPARE(EdgeItem::pendingBatchEdgeCount(), 2);
    // Delete pressed during the drag: the edge leaves both queues.
    delete ab;
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 1);
    QCOMPARE(EdgeItem::pendingBatchEdgeCount(), 1);
    // The diagram cleared while the flush is pending.
    scene.clearScene();
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 0);
    QTest::qWait(60);
    EdgeItem::setBatchMode(false);
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(0));

    // An entity deleted in the middle of a batch takes its edges out too.
    EntityItem* d = addEntity(scene, "d", "d", {0, 0});
    EntityItem* e = addEntity(scene, "e", "e", {400, 0});
    scene.createEdge(d, e, true);
    EdgeItem::setBatchMode(true);
    d->setPos(10, 10);
    delete e;
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 0);
    QTest::qWait(60);
    EdgeItem::setBatchMode(false);
}

void TestEdgeItem::applyRouteKeepsOrRefits()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 200});
    EdgeItem* edge = scene.createEdge(a, b, false);
    const QPointF p = edge->fromSlot()->scenePos();
    const QPointF q = edge->toSlot()->scenePos();
    const double midX = (p.x() + q.x()) / 2;
    // Within 0.5 of both slots: kept as given (collinear points dropped).
    edge->applyRoute({p, QPointF(midX - 20, p.y()), QPointF(midX, p.y()), QPointF(midX, q.y()), q + QPointF(0.4, 0)});
    QCOMPARE(edge->route().size(), 4);
    QCOMPARE(edge->route()[1], QPointF(midX, p.y()));
    // One unit away from its slot: routed afresh.
    edge->applyRoute({p, QPointF(midX + 50, p.y()), QPointF(midX + 50, q.y()), q + QPointF(1, 0)});
    QCOMPARE(edge->route().last(), q);
    QVERIFY(isRouteAxisAligned(edge->route()));
    // Fewer than two points change nothing.
    const QList<QPointF> kept = edge->route();
    edge->applyRoute({p});
    QCOMPARE(edge->route(), kept);
}

void TestEdgeItem::reassignSlotsFollowsTheFacingSides()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EdgeItem* edge = scene.createEdge(a, b, false);
    SlotItem* oldFrom = edge->fromSlot();
    // A move that keeps the facing sides changes no slot.
    b->setPos(420, 30);
    edge->reassignSlots();
    QCOMPARE(edge->fromSlot(), oldFrom);
    QCOMPARE(edge->fromSlot()->side(), int(SlotRight));
    // From the right to below: both ends turn to bottom and top.
    b->setPos(0, 400);
    edge->reassignSlots();
    QCOMPARE(edge->fromSlot()->side(), int(SlotBottom));
    QCOMPARE(edge->toSlot()->side(), int(SlotTop));
    QCOMPARE(edge->route().first(), edge->fromSlot()->scenePos());
    QCOMPARE(edge->route().last(), edge->toSlot()->scenePos());
    // The slot given up is free for the next edge.
    QVERIFY(!oldFrom->edge() || oldFrom == edge->fromSlot());
}

void TestEdgeItem::boundsAndPen()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EdgeItem* edge = scene.createEdge(a, b, false);
    QCOMPARE(edge->route().size(), 2);
    // A horizontal line: the pen's width, 5 more, then 20 on every side.
    const double length = edge->route().last().x() - edge->route().first().x();
    const QRectF bounds = edge->boundingRect();
    QCOMPARE(bounds.height(), 2.0 + 5 + 40);
    QCOMPARE(bounds.width(), length + 2 + 40);
    QVERIFY(bounds.contains(edge->shape().boundingRect()));
    QCOMPARE(edge->pen().widthF(), 2.0);
    QCOMPARE(edge->pen().capStyle(), Qt::RoundCap);
    QCOMPARE(edge->pen().color(), QColor("#000000"));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(edge->pen().color(), QColor("#d2d2d2"));
    // The wide shape makes a thin line easy to hit.
    QVERIFY(edge->shape().contains(edge->route().first() + QPointF(40, 10)));

    // The slot-drag preview: straight, dashed, accent; the route stays.
    const QList<QPointF> route = edge->route();
    edge->setStraightPath();
    QVERIFY(edge->isHighlighted());
    QCOMPARE(edge->pen().style(), Qt::DashLine);
    QCOMPARE(edge->pen().color(), QColor("#50aaff"));
    QVERIFY(edge->fromSlot()->isHighlighted());
    QCOMPARE(edge->route(), route);
    edge->updatePath();
    QVERIFY(!edge->isHighlighted());
    QCOMPARE(edge->pen().style(), Qt::SolidLine);
}

void TestEdgeItem::viewLinkInheritsAndPaintsDashed()
{
    ERScene scene;
    EntityItem* t = addEntity(scene, "t", "t", {0, 0}, {{"id", "INT", true}, {"name", "TEXT", false}});
    EntityItem* v = addEntity(scene, "v", "v", {400, 0}, {}, EntityItem::ViewKind);
    EdgeItem* link = scene.createEdge(t, v, true);
    QVERIFY(link->isViewEdge());
    QVERIFY(dynamic_cast<EntityViewEdgeItem*>(link));
    QVERIFY(!link->drawsCardinality());
    QCOMPARE(rowNames(v), (QStringList{"id", "name"}));
    QVERIFY(v->attributeIsInherited(0));
    QCOMPARE(v->attributeFkEdgeId(1), link->id());
    QCOMPARE(rowNames(t), (QStringList{"id", "name"})); // nothing added to the table
    QCOMPARE(link->pen().style(), Qt::CustomDashLine);
    QCOMPARE(link->pen().dashPattern(), (QList<qreal>{6, 4}));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(link->pen().dashPattern(), (QList<qreal>{6, 4}));
    // Selecting the link lights up the inherited rows.
    link->setSelected(true);
    QCoreApplication::processEvents();
    QVERIFY(v->nameLabel(0)->highlighted && v->nameLabel(1)->highlighted);
    link->setSelected(false);
    QCoreApplication::processEvents();

    // The arrowhead sits at the table's end, whichever way the link runs.
    EntityItem* v2 = addEntity(scene, "v2", "v2", {400, 300}, {}, EntityItem::ViewKind);
    EntityItem* t2 = addEntity(scene, "t2", "t2", {0, 300});
    EdgeItem* back = scene.createEdge(v2, t2, true);
    const QRectF source(-50, -50, 700, 500);
    QImage image(source.size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(0, 0), source.size()), source);
    painter.end();
    const auto inked = [&](QPointF scenePoint) {
        return image.pixelColor((scenePoint - source.topLeft()).toPoint()) != ThemeManager::instance().color(ThemeSlot::SceneBackground);
    };
    // Beside the line, 13 in from each end: inside the head only there.
    const QPointF tableEnd = link->route().first();
    const QPointF viewEnd = link->route().last();
    QVERIFY(inked(tableEnd + QPointF(13, 2)));
    QVERIFY(!inked(viewEnd + QPointF(-13, 2)));
    QCOMPARE(back->route().last().x(), t2->mapToScene(t2->rect().topRight()).x());
    QVERIFY(inked(back->route().last() + QPointF(13, 2)));
    QVERIFY(!inked(back->route().first() + QPointF(-13, 2)));
}

void TestEdgeItem::buildGoldenScene(ERScene& scene, bool withEdges)
{
    EntityItem* customers = addEntity(scene, "00000000-0000-4000-8000-00000000000c", "customers", {0, 0},
                                      {{"id", "INT", true}, {"name", "TEXT", false}});
    EntityItem* orders = addEntity(scene, "00000000-0000-4000-8000-00000000000a", "orders", {400, 60},
                                   {{"oid", "INT", true}});
    EntityItem* lines = addEntity(scene, "00000000-0000-4000-8000-00000000000b", "lines", {380, 360},
                                  {{"lid", "INT", true}});
    addEntity(scene, "00000000-0000-4000-8000-00000000000d", "block", {200, 200}, {{"x", "INT", true}});
    EntityItem* view = addEntity(scene, "00000000-0000-4000-8000-00000000000e", "v", {-300, 300}, {},
                                 EntityItem::ViewKind);
    if (!withEdges)
        return;
    EdgeItem* e1 = scene.createEdge(customers, orders, true);
    e1->setId("10000000-0000-4000-8000-000000000001");
    e1->setStartCard(CardinalityOne);
    e1->setEndCard(CardinalityZeroOrMany);
    EdgeItem* e2 = scene.createEdge(orders, lines, false);
    e2->setId("10000000-0000-4000-8000-000000000002");
    e2->setStartCard(CardinalityZeroOrOne);
    EdgeItem* e3 = scene.createEdge(customers, lines, false);
    e3->setId("10000000-0000-4000-8000-000000000003");
    EdgeItem* loop = scene.createEdge(lines, lines, false);
    loop->setId("10000000-0000-4000-8000-000000000004");
    EdgeItem* link = scene.createEdge(customers, view, false);
    link->setId("10000000-0000-4000-8000-000000000005");
}

void TestEdgeItem::jsonGoldenRoundTrip()
{
    ERScene scene;
    buildGoldenScene(scene, true);
    // Sorted by id: the scene's item order is not a contract.
    QList<EdgeItem*> edges = edgesOf(scene);
    std::sort(edges.begin(), edges.end(), [](EdgeItem* x, EdgeItem* y) { return x->id() < y->id(); });
    QCOMPARE(edges.size(), 5);
    QJsonArray written;
    for (EdgeItem* e : std::as_const(edges))
        written.append(e->toJson());

    const QByteArray text = QJsonDocument(written).toJson(QJsonDocument::Indented);
    if (qEnvironmentVariableIsSet("QUILLMAP_WRITE_GOLDEN")) {
        QFile out(goldenPath());
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
    }
    QFile file(goldenPath());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(goldenPath()));
    const QJsonArray golden = QJsonDocument::fromJson(file.readAll()).array();
    QCOMPARE(written.size(), golden.size());
    for (qsizetype i = 0; i < golden.size(); ++i)
        QVERIFY2(written.at(i) == golden.at(i), QJsonDocument(written.at(i).toObject()).toJson().constData());

    // Read back onto edges made as the loader makes them, and written again.
    ERScene again;
    buildGoldenScene(again, false);
    QHash<QString, EntityItem*> byId;
    for (EntityItem* entity : itemsOfType<EntityItem>(again))
        byId.insert(entity->id(), entity);
    // The loader carries the rows the edges made in the entity objects.
    byId.value("00000000-0000-4000-8000-00000000000a")->addAttribute("id", "INT", false, false, true, false);
    EdgeItem::setRoutingSuspended(true);
    for (const QJsonValue& v : golden) {
        const QJsonObject obj = v.toObject();
        EdgeItem* edge = again.createEdge(byId.value(obj.value("from").toString()),
                                          byId.value(obj.value("to").toString()), false);
        QVERIFY(edge);
        edge->fromJson(obj);
        QCOMPARE(edge->toJson(), obj);
    }
    EdgeItem::setRoutingSuspended(false);
}

void TestEdgeItem::jsonReaderEdgeCases()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});

    EdgeItem* bare = scene.createEdge(a, b, false);
    const QString oldId = bare->id();
    bare->fromJson(QJsonObject{{"from", "a"}, {"to", "b"}});
    QCOMPARE(bare->startCard(), int(CardinalityMany));
    QCOMPARE(bare->endCard(), int(CardinalityMany));
    QCOMPARE(bare->id().size(), 36);
    QVERIFY(bare->id() != oldId); // a fresh id each time it is read

    EdgeItem* odd = scene.createEdge(a, b, false);
    odd->fromJson(QJsonObject{{"id", ""}, {"startCard", 7}, {"endCard", "x"}, {"kind", "entity-view-edge"},
                              {"points", QJsonArray{QJsonObject{{"x", 1}, {"y", 2}}}}});
    QCOMPARE(odd->id(), QString());
    QCOMPARE(odd->startCard(), 7);
    QCOMPARE(odd->endCard(), 0);
    QCOMPARE(odd->route().size(), 2); // one stored point is dropped: the computed route stays

    // A slot object with a side but no y: the handle keeps its place and
    // snaps onto the new side.
    EdgeItem* slotted = scene.createEdge(a, b, false);
    const QPointF before = slotted->fromSlot()->pos();
    slotted->fromJson(QJsonObject{{"fromSlot", QJsonObject{{"side", 3}, {"x", 12}}}});
    QCOMPARE(slotted->fromSlot()->side(), int(SlotBottom));
    QCOMPARE(slotted->fromSlot()->pos(), QPointF(before.x(), a->rect().bottom()));

    // An edge without a route is written without points.
    EdgeItem::setRoutingSuspended(true);
    auto* unrouted = new EdgeItem(a, b, false);
    scene.addItem(unrouted);
    EdgeItem::setRoutingSuspended(false);
    QVERIFY(!unrouted->toJson().contains("points"));
    QVERIFY(unrouted->toJson().contains("fromSlot"));
    // No ends: a warning and nothing written.
    unrouted->forgetEntity(a);
    QTest::ignoreMessage(QtWarningMsg, "EdgeItem::toJson() called with null entities");
    QVERIFY(unrouted->toJson().isEmpty());
    delete unrouted;
    QCOMPARE(a->edges().count(unrouted), 1); // cut from a, so not removed from its list by the edge
    a->removeEdge(unrouted);
}

void TestEdgeItem::storedRouteIsReanchored()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 200});
    EdgeItem* edge = scene.createEdge(a, b, false);
    const QPointF p = edge->fromSlot()->scenePos();
    const QPointF q = edge->toSlot()->scenePos();
    // A stored two-point route runs from slot to slot whatever its stored
    // coordinates, with a corner put in when the slots do not line up.
    edge->reanchorStoredRoute({QPointF(-5, -5), QPointF(999, 999)});
    QCOMPARE(edge->route().first(), p);
    QCOMPARE(edge->route().last(), q);
    QVERIFY(isRouteAxisAligned(edge->route()));
    QCOMPARE(edge->route().size(), 3);
    // A hand-shaped route keeps its middle.
    edge->reanchorStoredRoute({p + QPointF(0, 3), QPointF(250, p.y() + 3), QPointF(250, q.y() - 2), q + QPointF(0, -2)});
    QCOMPARE(edge->route().size(), 4);
    QCOMPARE(edge->route()[1], QPointF(250, p.y()));
    QCOMPARE(edge->route()[2], QPointF(250, q.y()));
    // Without a dragged segment a move changes nothing.
    edge->moveSegment(15);
    QCOMPARE(edge->route()[1], QPointF(250, p.y()));
}

void TestEdgeItem::sideChoiceForLayout()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {500, 0});
    EdgeItem* edge = scene.createEdge(a, b, false);
    edge->fromSlot()->setSide(SlotTop);
    edge->fromSlot()->snapToBorder();
    edge->chooseBestSides();
    QCOMPARE(edge->fromSlot()->side(), int(SlotRight));
    QCOMPARE(edge->toSlot()->side(), int(SlotLeft));
    edge->updatePath();
    // Already the best: nothing to improve.
    QVERIFY(!edge->tryImproveSlotSides());
    // Facing away on purpose: the layout's improvement moves the slots.
    edge->setSlotSides(SlotLeft, SlotRight);
    edge->updatePath();
    QVERIFY(edge->tryImproveSlotSides());
    QCOMPARE(edge->fromSlot()->side(), int(SlotRight));
    EdgeItem* loop = scene.createEdge(a, a, false);
    loop->fromSlot()->setSide(SlotBottom);
    loop->chooseBestSides();
    QCOMPARE(loop->fromSlot()->side(), int(SlotLeft));
    QCOMPARE(loop->toSlot()->side(), int(SlotRight));
}

void TestEdgeItem::sixTablesRenderInBothThemes()
{
    ERScene scene;
    EntityItem* customers = addEntity(scene, "c", "customers", {40, 40},
                                      {{"id", "BIGINT", true}, {"name", "VARCHAR(80)", false}, {"email", "TEXT", false}});
    EntityItem* orders = addEntity(scene, "o", "orders", {420, 60}, {{"id", "BIGINT", true}, {"placed", "DATE", false}});
    EntityItem* lines = addEntity(scene, "l", "order_lines", {440, 360}, {{"line_no", "INT", true}});
    EntityItem* products = addEntity(scene, "p", "products", {60, 380}, {{"sku", "TEXT", true}, {"price", "NUMERIC", false}});
    EntityItem* staff = addEntity(scene, "s", "staff", {820, 60}, {{"id", "INT", true}});
    EntityItem* block = addEntity(scene, "b", "warehouse", {250, 230}, {{"code", "TEXT", true}});
    scene.createEdge(customers, orders, true)->setStartCard(CardinalityOne);
    scene.createEdge(orders, lines, true)->setStartCard(CardinalityOne);
    EdgeItem* sold = scene.createEdge(products, lines, true);
    sold->setStartCard(CardinalityOne);
    sold->setEndCard(CardinalityZeroOrMany);
    EdgeItem* manager = scene.createEdge(staff, staff, true);
    manager->setStartCard(CardinalityZeroOrOne);
    scene.createEdge(staff, orders, true)->setEndCard(CardinalityZeroOrMany);
    scene.createEdge(block, products, false);
    for (EdgeItem* e : edgesOf(scene))
        QVERIFY(!e->countEntityCrossings());

    const QRectF source = scene.itemsBoundingRect().adjusted(-30, -30, 30, 30);
    for (ThemeKind kind : {ThemeKind::Light, ThemeKind::Dark}) {
        ThemeManager::instance().setTheme(kind);
        QImage image(source.size().toSize(), QImage::Format_ARGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(QPointF(0, 0), source.size()), source);
        painter.end();
        // The loop's top run is drawn in the theme's line colour.
        const QList<QPointF> loop = manager->route();
        const QPointF onLine = (loop[2] + loop[3]) / 2 - source.topLeft();
        const QColor expected = ThemeManager::instance().color(ThemeSlot::RelationshipLine);
        const QColor got = image.pixelColor(onLine.toPoint());
        QVERIFY2(std::abs(got.red() - expected.red()) < 40 && std::abs(got.blue() - expected.blue()) < 40,
                 qPrintable(got.name()));
        const QString dir = qEnvironmentVariable("QUILLMAP_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            image.save(dir + (kind == ThemeKind::Light ? "/edges-light.png" : "/edges-dark.png"));
    }
}

// Edges drawn exactly over one another are drawn once per pass; a second
// pass draws them again, a selected one among them shows as selected, and
// the hit shape follows a new route.
void TestEdgeItem::edgesOnOneLineAllShow()
{
    ERScene scene;
    EntityItem* a = addEntity(scene, "a", "a", {0, 0});
    EntityItem* b = addEntity(scene, "b", "b", {400, 0});
    EdgeItem* first = scene.createEdge(a, b, false);
    EdgeItem* second = scene.createEdge(a, b, false);
    QVERIFY(first && second);
    const QList<QPointF> line = first->route();
    QVERIFY(line.size() >= 2);
    second->setRoutePoints(line);
    QCOMPARE(second->shape(), first->shape());

    const QRectF source = scene.itemsBoundingRect().adjusted(-20, -20, 20, 20);
    auto render = [&] {
        QImage image(source.size().toSize(), QImage::Format_ARGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        scene.render(&painter, QRectF(QPointF(0, 0), source.size()), source);
        return image;
    };
    const QImage plain = render();
    QCOMPARE(render(), plain);
    // The one left to draw is drawn, though the other was drawn last time.
    first->setVisible(false);
    QCOMPARE(render(), plain);
    first->setVisible(true);
    second->setSelected(true);
    const QImage selected = render();
    QVERIFY(selected != plain);
    second->setSelected(false);
    QCOMPARE(render(), plain);

    const QRectF before = second->shape().boundingRect();
    second->setRoutePoints({line.first(), QPointF(line.first().x(), 200), QPointF(line.last().x(), 200), line.last()});
    QVERIFY(second->shape().boundingRect().bottom() > before.bottom() + 100);
    QCOMPARE(first->shape().boundingRect(), before);
}

QUILLMAP_TEST_MAIN(TestEdgeItem)
#include "tst_edgeitem.moc"
