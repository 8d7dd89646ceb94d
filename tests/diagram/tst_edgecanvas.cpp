// Edges driven through the canvas view with real mouse events: dragging
// entities (alone and as a rigid group), slot handles and route segments,
// and the edge's context menu and dialog.

#include "../edges/edgetestutil.h"
#include "canvasfixture.h"
#include "common/contextmenus.h"
#include "common/testmain.h"

#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "dialogs/edgeeditdialog.h"
#include "edges/entityviewedgeitem.h"
#include "edges/routegeometry.h"

#include <QPointer>
#include <QtTest>

using namespace edgetest;

class TestEdgeCanvas : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
    }
    void init()
    {
        canvas = std::make_unique<Canvas>();
        QVERIFY(canvas->exposed);
        EdgeItem::resetRoutingCounters();
    }
    void cleanup()
    {
        canvas.reset();
        EdgeItem::setBatchMode(false);
        DialogHooks::resetHooks();
    }

    void dragCoalescesAndReroutesAtRelease();
    void rigidGroupMovesWithoutFullRoutes();
    void releaseBesideAnotherRoutesAround();
    void deleteDuringDragIsSafe();
    void slotHandleDragsAlongTheBorder();
    void innerSegmentDrags();
    void contextMenuSetsTheNearerEnd();
    void editOpensTheRelationshipDialog();
    void viewLinkHasNoMenu();

private:
    // A point of an entity's body away from its labels and slots.
    QPoint grip(const EntityItem* e) const { return canvas->toView(e->mapToScene(QPointF(14, 8))); }
    std::unique_ptr<Canvas> canvas;
};

void TestEdgeCanvas::dragCoalescesAndReroutesAtRelease()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 60});
    EntityItem* c = addEntity(scene, "c", "c", {60, 400});
    EdgeItem* ab = scene.createEdge(a, b, true);
    EdgeItem* bc = scene.createEdge(b, c, false);
    EdgeItem* loop = scene.createEdge(b, b, false);
    QCOMPARE(ab->toSlot()->side(), int(SlotLeft));
    EdgeItem::resetRoutingCounters();

    QPoint at = grip(b);
    canvas->press(at);
    QVERIFY(EdgeItem::isBatchMode());
    // Ten moves with no event loop in between: no routing yet, one flush.
    for (int i = 0; i < 10; ++i) {
        at += QPoint(-20, 16);
        canvas->moveHeld(at);
    }
    QCOMPARE(EdgeItem::routingCounters().fullUpdates, quint64(0));
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(0));
    QTRY_COMPARE_WITH_TIMEOUT(EdgeItem::routingCounters().timerFlushes, quint64(1), 1000);
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(3));
    // The loop followed its entity as a loop.
    QVERIFY(loop->route().size() >= 4);
    // Another burst: another single flush.
    for (int i = 0; i < 10; ++i) {
        at += QPoint(-20, 8);
        canvas->moveHeld(at);
    }
    QTRY_COMPARE_WITH_TIMEOUT(EdgeItem::routingCounters().timerFlushes, quint64(2), 1000);
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(6));

    // b now stands below a: at release the ends turn to face each other and
    // every edge is routed in full.
    QVERIFY(b->pos().y() > a->pos().y() + 200);
    EdgeItem::resetRoutingCounters();
    canvas->release(at);
    QVERIFY(!EdgeItem::isBatchMode());
    QVERIFY(EdgeItem::routingCounters().fullUpdates >= 3);
    QCOMPARE(ab->fromSlot()->side(), int(SlotBottom));
    QCOMPARE(ab->toSlot()->side(), int(SlotTop));
    for (EdgeItem* e : {ab, bc, loop}) {
        QCOMPARE(e->route().first(), e->fromSlot()->scenePos());
        QCOMPARE(e->route().last(), e->toSlot()->scenePos());
        QVERIFY(isRouteAxisAligned(e->route()));
    }
    QCOMPARE(loop->fromSlot()->side(), int(SlotLeft));
}

// A table dragged below two that stand close, one above the other: the
// line from the upper one's bottom would have to pass through the lower one,
// so the edge takes other sides.
void TestEdgeCanvas::releaseBesideAnotherRoutesAround()
{
    ERScene& scene = *canvas->scene;
    QList<Row> rows;
    for (int i = 0; i < 10; ++i)
        rows.append({QStringLiteral("c%1").arg(i), QStringLiteral("INT"), i == 0});
    EntityItem* a = addEntity(scene, "a", "a", {300, 20}, rows);
    EntityItem* b = addEntity(scene, "b", "b", {300, 0}, rows.mid(0, 7));
    b->setPos(300, a->sceneBoundingRect().bottom() + 12);
    EntityItem* c = addEntity(scene, "c", "c", {650, 40});
    EdgeItem* ac = scene.createEdge(a, c, true);
    QVERIFY(!ac->countEntityCrossings());
    const QPoint from = grip(c);
    const QPoint to = from + canvas->toView(QPointF(60, 500)) - canvas->toView(c->pos());
    canvas->press(from);
    canvas->moveHeld((from + to) / 2);
    canvas->moveHeld(to);
    canvas->release(to);
    QVERIFY(c->sceneBoundingRect().top() > b->sceneBoundingRect().bottom());
    QVERIFY(!ac->countEntityCrossings());
    QCOMPARE(ac->route().first(), ac->fromSlot()->scenePos());
    QCOMPARE(ac->route().last(), ac->toSlot()->scenePos());
}

void TestEdgeCanvas::rigidGroupMovesWithoutFullRoutes()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 60});
    EntityItem* c = addEntity(scene, "c", "c", {60, 420});
    EdgeItem* ab = scene.createEdge(a, b, false);
    EdgeItem* ac = scene.createEdge(a, c, false);
    a->setSelected(true);
    b->setSelected(true);
    ab->setSelected(true);
    QVERIFY(EntityItem::canMoveSelectionAsBatch(&scene));
    EdgeItem::resetRoutingCounters();

    QPoint at = grip(a);
    canvas->press(at);
    for (int i = 0; i < 5; ++i) {
        at += QPoint(6, 4);
        canvas->moveHeld(at);
    }
    QCOMPARE(b->pos(), QPointF(490, 80)); // moved along with a
    canvas->release(at);
    const EdgeItem::RoutingCounters counters = EdgeItem::routingCounters();
    // The edge inside the group was only shifted; the edge to c, which
    // stayed, got a full route.
    QCOMPARE(counters.batchFlushes, quint64(0));
    QCOMPARE(ab->route().size(), 2);
    QCOMPARE(ab->route().first(), ab->fromSlot()->scenePos());
    QCOMPARE(ac->route().first(), ac->fromSlot()->scenePos());
    QVERIFY(counters.fullUpdates >= 1);
}

void TestEdgeCanvas::deleteDuringDragIsSafe()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 60});
    QPointer<EdgeItem> edge = scene.createEdge(a, b, true);
    QPoint at = grip(a);
    canvas->press(at);
    at += QPoint(30, 30);
    canvas->moveHeld(at);
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 1);
    delete edge.data();
    QCOMPARE(EdgeItem::pendingTimerEdgeCount(), 0);
    QTest::qWait(60);
    at += QPoint(10, 10);
    canvas->moveHeld(at);
    canvas->release(at);
    // The entity under the mouse goes mid-drag: the batch ends with it.
    scene.createEdge(a, b, false);
    at = grip(a);
    canvas->press(at);
    canvas->moveHeld(at + QPoint(10, 0));
    delete a;
    QVERIFY(!EdgeItem::isBatchMode());
    QTest::qWait(60);
    QVERIFY(b->edges().isEmpty());
}

void TestEdgeCanvas::slotHandleDragsAlongTheBorder()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 260});
    EdgeItem* edge = scene.createEdge(a, b, false);
    SlotItem* slot = edge->fromSlot();
    QCOMPARE(slot->opacity(), SlotItem::HiddenOpacity);
    QPoint at = canvas->toView(slot->scenePos());
    canvas->press(at);
    QVERIFY(edge->isHighlighted()); // the straight dashed preview
    // Beyond the bottom-right corner: the corner, on the right side.
    const QPointF corner = a->mapToScene(a->rect().bottomRight());
    canvas->moveHeld(canvas->toView(corner + QPointF(40, 30)));
    QCOMPARE(slot->pos(), a->rect().bottomRight());
    QCOMPARE(slot->side(), int(SlotRight));
    QCOMPARE(edge->path().elementCount(), 2);
    // Along the bottom: the bottom side.
    canvas->moveHeld(canvas->toView(a->mapToScene(QPointF(60, a->rect().bottom() + 20))));
    QCOMPARE(slot->side(), int(SlotBottom));
    QCOMPARE(slot->pos(), QPointF(60, a->rect().bottom()));
    const QPoint end = canvas->toView(a->mapToScene(QPointF(60, a->rect().bottom() + 20)));
    canvas->release(end);
    QVERIFY(!edge->isHighlighted());
    QCOMPARE(edge->route().first(), slot->scenePos());
    QVERIFY(isRouteAxisAligned(edge->route()));
    QVERIFY(!(slot->flags() & QGraphicsItem::ItemIsMovable));
    // A free slot can be dragged too; its release routes nothing.
    SlotItem* spare = a->acquireFreeSlot();
    QVERIFY(!spare->edge());
    const QList<QPointF> before = edge->route();
    canvas->press(canvas->toView(spare->scenePos()));
    canvas->moveHeld(canvas->toView(spare->scenePos() + QPointF(0, -200)));
    canvas->release(canvas->toView(spare->scenePos()));
    QCOMPARE(spare->side(), int(SlotTop));
    QCOMPARE(edge->route(), before);
}

void TestEdgeCanvas::innerSegmentDrags()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 300});
    EdgeItem* edge = scene.createEdge(a, b, false);
    const QList<QPointF> route = edge->route();
    QCOMPARE(route.size(), 4);
    const double x = route[1].x();
    const double midY = (route[1].y() + route[2].y()) / 2;
    // 8 beside the inner segment is too far to grab it: the press selects.
    canvas->press(canvas->toView(QPointF(x + 8.0, midY)));
    QVERIFY(!edge->isSegmentDragActive());
    canvas->release(canvas->toView(QPointF(x + 8.0, midY)));
    QVERIFY(edge->isSelected());
    // Closer: the segment follows the mouse sideways.
    canvas->press(canvas->toView(QPointF(x + 5, midY)));
    QVERIFY(edge->isSegmentDragActive());
    QCOMPARE(edge->draggedSegment(), 1);
    canvas->moveHeld(canvas->toView(QPointF(x + 20, midY + 30)));
    QCOMPARE(edge->route()[1].x(), x + 15);
    QCOMPARE(edge->route()[2].x(), x + 15);
    QCOMPARE(edge->route().first(), route.first());
    QVERIFY(edge->isRouteEditedByHand());
    canvas->release(canvas->toView(QPointF(x + 20, midY + 30)));
    QVERIFY(!edge->isSegmentDragActive());
    QCOMPARE(edge->draggedSegment(), -1);
    // Releasing does not re-route; the next drag of an entity uses the
    // quick update for this edge.
    QCOMPARE(edge->route()[1].x(), x + 15);
    EdgeItem::resetRoutingCounters();
    edge->refreshRoute();
    QCOMPARE(EdgeItem::routingCounters().quickUpdates, quint64(1));
}

void TestEdgeCanvas::contextMenuSetsTheNearerEnd()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "a", {60, 60});
    EntityItem* b = addEntity(scene, "b", "b", {460, 60});
    EdgeItem* edge = scene.createEdge(a, b, false);
    const QPointF p = edge->fromSlot()->scenePos();
    const QPointF q = edge->toSlot()->scenePos();
    chooseMenuEntry("Zero or One");
    canvas->press(canvas->toView(q - QPointF(40, 0)), Qt::RightButton);
    QCOMPARE(edge->endCard(), int(CardinalityZeroOrOne));
    QCOMPARE(edge->startCard(), int(CardinalityMany));
    QVERIFY(edge->isSelected());
    chooseMenuEntry("One");
    canvas->press(canvas->toView(p + QPointF(40, 0)), Qt::RightButton);
    QCOMPARE(edge->startCard(), int(CardinalityOne));
    // Exactly halfway: the end.
    chooseMenuEntry("Zero or Many");
    canvas->press(canvas->toView((p + q) / 2), Qt::RightButton);
    QCOMPARE(edge->endCard(), int(CardinalityZeroOrMany));
    QCOMPARE(edge->startCard(), int(CardinalityOne));
    // Dismissed: nothing changes.
    chooseMenuEntry("no such entry");
    canvas->press(canvas->toView(p + QPointF(40, 0)), Qt::RightButton);
    QCOMPARE(edge->startCard(), int(CardinalityOne));
}

void TestEdgeCanvas::editOpensTheRelationshipDialog()
{
    ERScene& scene = *canvas->scene;
    EntityItem* a = addEntity(scene, "a", "orders", {60, 60});
    EntityItem* b = addEntity(scene, "b", "customers", {460, 60});
    EdgeItem* edge = scene.createEdge(a, b, false);
    QString title, label;
    QWidget* parent = nullptr;
    DialogHooks::setExecHook([&](QDialog* dialog) {
        title = dialog->windowTitle();
        label = static_cast<EdgeEditDialog*>(dialog)->labelText();
        parent = dialog->parentWidget();
        return int(QDialog::Rejected);
    });
    chooseMenuEntry("Edit");
    canvas->press(canvas->toView((edge->fromSlot()->scenePos() + edge->toSlot()->scenePos()) / 2),
                  Qt::RightButton);
    QCOMPARE(title, QStringLiteral("Edit Relationship"));
    QCOMPARE(label, QString::fromUtf8("Relationship: orders \u2014 customers"));
    QCOMPARE(parent, static_cast<QWidget*>(canvas->view.get()));
    QCOMPARE(edge->startCard(), int(CardinalityMany));
}

void TestEdgeCanvas::viewLinkHasNoMenu()
{
    ERScene& scene = *canvas->scene;
    EntityItem* t = addEntity(scene, "t", "t", {60, 60});
    EntityItem* v = addEntity(scene, "v", "v", {460, 60}, {}, EntityItem::ViewKind);
    EdgeItem* link = scene.createEdge(v, t, true);
    bool menuShown = true;
    chooseMenuEntry("One", nullptr, &menuShown);
    canvas->press(canvas->toView((link->fromSlot()->scenePos() + link->toSlot()->scenePos()) / 2),
                  Qt::RightButton);
    QCoreApplication::processEvents();
    QVERIFY(!menuShown);
    QVERIFY(link->isSelected());
    QCOMPARE(link->startCard(), int(CardinalityMany));
}

QUILLMAP_TEST_MAIN(TestEdgeCanvas)
#include "tst_edgecanvas.moc"
