#include "../edges/edgetestutil.h"
#include "common/testmain.h"

#include "app/applicationsetup.h"
#include "app/thememanager.h"

#include <QtTest>

using namespace edgetest;

class TestSlotItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
    }

    void newSlotLook()
    {
        ERScene scene;
        EntityItem* e = addEntity(scene, "e", "e", {0, 0});
        SlotItem* slot = e->acquireFreeSlot();
        QCOMPARE(slot->type(), int(DiagramItemType::Slot));
        QCOMPARE(slot->rect(), QRectF(-5, -5, 10, 10));
        QCOMPARE(slot->zValue(), 11.0);
        QCOMPARE(slot->opacity(), SlotItem::HiddenOpacity);
        QCOMPARE(slot->brush().color(), QColor(Qt::lightGray));
        QVERIFY(!(slot->flags() & QGraphicsItem::ItemIsMovable));
        QCOMPARE(slot->parentRect(), e->rect());
        // Active or highlighted: fully visible; highlighted in the accent.
        slot->setActive(true);
        QCOMPARE(slot->opacity(), 1.0);
        slot->setActive(false);
        QCOMPARE(slot->opacity(), SlotItem::HiddenOpacity);
        slot->applyTheme(true);
        QCOMPARE(slot->opacity(), 1.0);
        QCOMPARE(slot->brush().color(), QColor("#0078d7"));
        QCOMPARE(slot->pen().widthF(), 1.5);
        slot->applyTheme(false);
        QCOMPARE(slot->opacity(), SlotItem::HiddenOpacity);
        QCOMPARE(slot->pen().widthF(), 1.0);
    }

    void snapping_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("expected");
        // The box is 140 x 63 (one row).
        QTest::newRow("left") << int(SlotLeft) << QPointF(30, 20) << QPointF(0, 20);
        QTest::newRow("right, clamped") << int(SlotRight) << QPointF(30, 90) << QPointF(140, 63);
        QTest::newRow("top, clamped") << int(SlotTop) << QPointF(-40, 20) << QPointF(0, 0);
        QTest::newRow("bottom") << int(SlotBottom) << QPointF(70, 5) << QPointF(70, 63);
        QTest::newRow("unknown side stays") << 9 << QPointF(30, 20) << QPointF(30, 20);
        QTest::newRow("within 0.01 stays") << int(SlotLeft) << QPointF(0.005, 20) << QPointF(0.005, 20);
    }

    void snapping()
    {
        QFETCH(int, side);
        QFETCH(QPointF, from);
        QFETCH(QPointF, expected);
        ERScene scene;
        EntityItem* e = addEntity(scene, "e", "e", {0, 0});
        QCOMPARE(e->rect(), QRectF(0, 0, 140, 63));
        SlotItem* slot = e->acquireFreeSlot();
        slot->setSide(side);
        slot->setPos(from);
        slot->snapToBorder();
        QCOMPARE(slot->pos(), expected);
        QCOMPARE(slot->side(), side);
    }

    void clampKeepsTheSide()
    {
        ERScene scene;
        EntityItem* e = addEntity(scene, "e", "e", {0, 0});
        SlotItem* slot = e->acquireFreeSlot();
        slot->setSide(SlotTop);
        slot->setPos(200, -30);
        slot->snapToBorderAt();
        QCOMPARE(slot->pos(), QPointF(140, 0));
        QCOMPARE(slot->side(), int(SlotTop));
    }

    void nearestBorderPoint()
    {
        const QRectF r(0, 0, 150, 70);
        // Beyond the bottom-right corner: the corner, and right wins the tie
        // with bottom.
        const QPointF corner = SlotItem::nearestBorderPoint(r, QPointF(190, 110));
        QCOMPARE(corner, QPointF(150, 70));
        QCOMPARE(SlotItem::nearestSide(r, corner), int(SlotRight));
        QCOMPARE(SlotItem::nearestSide(r, QPointF(0, 0)), int(SlotLeft));
        QCOMPARE(SlotItem::nearestSide(r, QPointF(80, 0)), int(SlotTop));
        QCOMPARE(SlotItem::nearestBorderPoint(r, QPointF(80, 60)), QPointF(80, 70));
    }

    void freeSlotsAreReused()
    {
        ERScene scene;
        QList<Row> rows;
        for (int i = 0; i < 6; ++i)
            rows.append({QStringLiteral("c%1").arg(i), QStringLiteral("INT"), i == 0});
        EntityItem* e = addEntity(scene, "e", "e", {0, 0}, rows);
        SlotItem* first = e->acquireFreeSlot();
        QCOMPARE(e->acquireFreeSlot(), first); // still free
        first->setEdge(reinterpret_cast<EdgeItem*>(first)); // any non-null mark
        SlotItem* second = e->acquireFreeSlot();
        second->setEdge(reinterpret_cast<EdgeItem*>(second));
        SlotItem* third = e->acquireFreeSlot();
        QCOMPARE(third->pos(), QPointF(8, 78));
        QCOMPARE(e->slotHandles().size(), 3);
        e->releaseSlot(first);
        QVERIFY(!first->edge());
        QCOMPARE(e->acquireFreeSlot(), first);
        // A slot of another entity is not released here.
        EntityItem* other = addEntity(scene, "o", "o", {400, 0});
        SlotItem* foreign = other->acquireFreeSlot();
        foreign->setEdge(reinterpret_cast<EdgeItem*>(foreign));
        e->releaseSlot(foreign);
        e->releaseSlot(nullptr);
        QVERIFY(foreign->edge());
        foreign->setEdge(nullptr);
        second->setEdge(nullptr);
    }

    void facingSlots_data()
    {
        QTest::addColumn<QPointF>("target");
        QTest::addColumn<int>("side");
        QTest::addColumn<QPointF>("pos");
        // The entity's box is (100, 100) to (240, 163), centre (170, 131.5).
        QTest::newRow("right") << QPointF(400, 140) << int(SlotRight) << QPointF(140, 31.5);
        QTest::newRow("left") << QPointF(-100, 100) << int(SlotLeft) << QPointF(0, 31.5);
        QTest::newRow("below") << QPointF(180, 400) << int(SlotBottom) << QPointF(70, 63);
        QTest::newRow("above") << QPointF(170, 0) << int(SlotTop) << QPointF(70, 0);
        // Exactly diagonal: top or bottom, never left or right.
        QTest::newRow("diagonal below") << QPointF(270, 231.5) << int(SlotBottom) << QPointF(70, 63);
        QTest::newRow("diagonal above") << QPointF(70, 31.5) << int(SlotTop) << QPointF(70, 0);
    }

    void facingSlots()
    {
        QFETCH(QPointF, target);
        QFETCH(int, side);
        QFETCH(QPointF, pos);
        ERScene scene;
        EntityItem* e = addEntity(scene, "e", "e", {100, 100});
        SlotItem* slot = e->slotForEdgeAt(target);
        QCOMPARE(slot->side(), side);
        QCOMPARE(slot->pos(), pos);
    }

    void slotsFollowResizes()
    {
        ERScene scene;
        EntityItem* a = addEntity(scene, "a", "a", {0, 0});
        EntityItem* b = addEntity(scene, "b", "b", {0, 300});
        EdgeItem* edge = scene.createEdge(a, b, false);
        QCOMPARE(edge->fromSlot()->side(), int(SlotBottom));
        const double bottom = a->rect().bottom();
        a->addAttribute("more", "INT");
        a->addAttribute("again", "INT");
        QVERIFY(a->rect().bottom() > bottom);
        // The slot moved down with the bottom side, and the edge with it.
        QCOMPARE(edge->fromSlot()->pos().y(), a->rect().bottom());
        QCOMPARE(edge->route().first(), edge->fromSlot()->scenePos());
    }
};

QUILLMAP_TEST_MAIN(TestSlotItem)
#include "tst_slotitem.moc"
