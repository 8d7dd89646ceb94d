#include "common/testmain.h"
#include "routetestutil.h"

#include "edges/entityrouter.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "edges/sidechoice.h"

#include <QtTest>

using namespace routetest;

class TestSideChoice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scoreOfNaturalTwoBendRoute()
    {
        // Sides (1, 0) are the natural pair, match the centres and face each
        // other: length + 2 x 8000 - 14 - 48.
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 100, 100, 60);
        QCOMPARE(chooseSidePair(a, b), (SidePair{1, 0}));
        const Route z = {{100, 30}, {200, 30}, {200, 130}, {300, 130}};
        const QList<QRectF> ends = {insetObstacleRect(a), insetObstacleRect(b)};
        QCOMPARE(slotRouteScore({}, ends, a, b, z, 1, 0), 300.0 + 16000.0 - 14.0 - 48.0);
    }

    void scorePenalties()
    {
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 100, 100, 60);
        const QList<QRectF> ends = {insetObstacleRect(a), insetObstacleRect(b)};
        // Fewer than two points: a hit count of a million.
        QCOMPARE(slotRouteScore({}, ends, a, b, {{100, 30}}, 1, 0), 1e12 + 1e6 * 1000000);
        // Through another entity.
        const QList<QRectF> wall = {QRectF(150, 0, 20, 60)};
        QCOMPARE(slotRouteScore(wall, ends, a, b, {{100, 30}, {200, 30}, {200, 130}, {300, 130}}, 1, 0),
                 1e12 + 1e6 + 300.0);
        // Four bends.
        QCOMPARE(slotRouteScore({}, ends, a, b,
                                {{100, 30}, {126, 30}, {126, 90}, {250, 90}, {250, 130}, {300, 130}}, 1, 0),
                 1e15);
        // Backtracking at the start: a right slot whose route comes back
        // left of its stub point within the entity's band.
        QCOMPARE(slotRouteScore({}, ends, a, b, {{100, 30}, {126, 30}, {126, 40}, {110, 40}, {110, 130}, {300, 130}}, 1, 0),
                 1e15); // four bends come first
        QCOMPARE(slotRouteScore({}, ends, a, b, {{100, 30}, {126, 30}, {126, 50}, {110, 50}, {300, 50}}, 1, 0),
                 1e14);
        // A left slot turned away from b pays 4000 (and the pair is neither
        // natural nor consistent with the centres).
        const Route aroundTop = {{0, 30}, {-26, 30}, {-26, 130}, {300, 130}};
        QCOMPARE(slotRouteScore({}, ends, a, b, aroundTop, 0, 0),
                 routeLength(aroundTop) + 16000.0 + detourSidePenalty(aroundTop, 0, aroundTop.first(), aroundTop.last(), a, b) + 4000.0);
    }

    void bestPairSideBySide()
    {
        // Nothing in between: the facing pair is kept.
        QCOMPARE(chooseBestSidePair(QRectF(0, 0, 100, 60), QRectF(300, 0, 100, 60), {}), (SidePair{1, 0}));
        QCOMPARE(chooseBestSidePair(QRectF(0, 0, 100, 60), QRectF(20, 200, 100, 60), {}), (SidePair{3, 2}));
    }

    void bestPairAroundABlocker()
    {
        // A third entity across the direct lane: the route goes over the
        // top, and (2, 2) comes before the equally priced (3, 3).
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 0, 100, 60);
        const QList<QRectF> obstacles = {insetObstacleRect(QRectF(150, -20, 100, 100))};
        int hitsTop = -1, hitsBottom = -1;
        double costTop = 0.0, costBottom = 0.0;
        QVERIFY(evaluateSidePair(a, b, obstacles, 2, 2, &hitsTop, &costTop));
        QVERIFY(evaluateSidePair(a, b, obstacles, 3, 3, &hitsBottom, &costBottom));
        QCOMPARE(hitsTop, 0);
        QCOMPARE(hitsBottom, 0);
        QCOMPARE(costTop, costBottom);
        const SidePair best = chooseBestSidePair(a, b, obstacles);
        QCOMPARE(best, (SidePair{2, 2}));
        const Route route = laneSearchRoute(a, b, best.fromSide, best.toSide, obstacles);
        QCOMPARE(countObstacleHits(route, obstacles), 0);
    }

    void improveMovesSlotsAroundABlocker()
    {
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 0, 100, 60);
        const QList<QRectF> obstacles = {insetObstacleRect(QRectF(150, -20, 100, 100))};
        const Route current = {{100, 30}, {300, 30}}; // through the blocker
        const SlotSideAdvice advice = improveSlotSides(a, b, {100, 30}, {300, 30}, {1, 0}, current, obstacles);
        QCOMPARE(advice.action, SlotSideAdvice::MoveSlots);
        QVERIFY(advice.sides != (SidePair{1, 0}));
        QCOMPARE(countObstacleHits(advice.route, obstacles), 0);
    }

    void improveKeepsAGoodRoute()
    {
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 0, 100, 60);
        const SlotSideAdvice advice = improveSlotSides(a, b, {100, 30}, {300, 30}, {1, 0}, {{100, 30}, {300, 30}}, {});
        QCOMPARE(advice.action, SlotSideAdvice::KeepAll);
        QCOMPARE(advice.sides, (SidePair{1, 0}));
    }

    void improveReroutesOnTheSameSides()
    {
        // A hand-made detour on the facing sides: the straight line on the
        // same sides gains far more than 12.
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 0, 100, 60);
        const Route detour = {{100, 30}, {126, 30}, {126, 200}, {274, 200}, {274, 30}, {300, 30}};
        const SlotSideAdvice advice = improveSlotSides(a, b, {100, 30}, {300, 30}, {1, 0}, detour, {});
        QCOMPARE(advice.action, SlotSideAdvice::ApplyRoute);
        QVERIFY(identicalRoute(advice.route, {{100, 30}, {300, 30}}));
    }

    void improveNeedsMoreThan12()
    {
        // Facing entities with offset slots: the best route is the Z through
        // the gap, 220 long. A stored Z that overshoots by 6 and comes back
        // (12 longer) is kept; one 12.5 longer is replaced.
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 20, 100, 60);
        const QPointF p(100, 30), q(300, 50);
        const Route best = laneSearchRoute(a, b, 1, 0, {}, p, q);
        QVERIFY2(identicalRoute(best, {{100, 30}, {200, 30}, {200, 50}, {300, 50}}), describe(best));
        const Route by12 = {{100, 30}, {200, 30}, {200, 56}, {200, 50}, {300, 50}};
        QCOMPARE(routeLength(by12), 232.0);
        QCOMPARE(improveSlotSides(a, b, p, q, {1, 0}, by12, {}).action, SlotSideAdvice::KeepAll);
        const Route by12andAHalf = {{100, 30}, {200, 30}, {200, 56.25}, {200, 50}, {300, 50}};
        const SlotSideAdvice advice = improveSlotSides(a, b, p, q, {1, 0}, by12andAHalf, {});
        QCOMPARE(advice.action, SlotSideAdvice::ApplyRoute);
        QVERIFY(identicalRoute(advice.route, best));
    }

    void improveTakesAOneBendPair()
    {
        // b lies lower right: bottom -> left turns once instead of twice.
        const QRectF a(0, 0, 100, 60);
        const QRectF b(300, 100, 100, 60);
        const Route z = laneSearchRoute(a, b, 1, 0, {}, QPointF(100, 30), QPointF(300, 130));
        const SlotSideAdvice advice = improveSlotSides(a, b, {100, 30}, {300, 130}, {1, 0}, z, {});
        QCOMPARE(advice.action, SlotSideAdvice::MoveSlots);
        QCOMPARE(countRouteBends(advice.route), 1);
    }

    void facing()
    {
        QCOMPARE(facingSide({0, 0}, {10, 5}), int(SlotRight));
        QCOMPARE(facingSide({0, 0}, {-10, 5}), int(SlotLeft));
        QCOMPARE(facingSide({0, 0}, {5, 10}), int(SlotBottom));
        QCOMPARE(facingSide({0, 0}, {5, -10}), int(SlotTop));
        QCOMPARE(facingSide({0, 0}, {10, 10}), int(SlotBottom)); // a tie goes up or down
        QCOMPARE(facingSide({0, 0}, {0, 0}), int(SlotTop));
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestSideChoice)
#include "tst_sidechoice.moc"
