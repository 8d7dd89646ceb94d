// Segments of different routes left on one line by the pushing apart: in a
// corridor between two entities too narrow for all of them at the usual
// clearance a second look with a smaller clearance still parts them,
// without entering either entity, a segment between two short jogs moves
// past them, and a long segment with no free lane moves short ones aside.
#include "common/testmain.h"
#include "edges/gridroutesearch.h"
#include "layout/routeseparation.h"

#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

// Entities left of x = left and right of x = right, from y = 0 to y = end: a
// segment meets them where it runs in that stretch outside the corridor.
SegmentBlocked corridorBetween(double left, double right, double end)
{
    return [=](int, const QPointF& a, const QPointF& b) {
        const bool acrossBoxes = std::max(a.y(), b.y()) > 0 && std::min(a.y(), b.y()) < end;
        return acrossBoxes && (std::min(a.x(), b.x()) < left || std::max(a.x(), b.x()) > right);
    };
}

} // namespace

class TestRouteSeparation : public QObject
{
    Q_OBJECT

private slots:
    void crowdedCorridor();
    void lineBetweenShortJogs();
    void longLineMovesShortOnesAside();
    void crowdedLaneMadeBySmallMoves();
    void searchKeepsOffTakenLine();
};

void TestRouteSeparation::crowdedCorridor()
{
    // Entities left of x = 0 and right of x = 15, from y = 0 to 300; three
    // routes come down the corridor between them, less than 1 apart.
    const SegmentBlocked blocked = corridorBetween(0, 15, 300);
    QList<RoutePoints> start;
    for (int k = 0; k < 3; ++k) {
        const double x = 7 + 0.5 * k;
        start.append({{-100, -50.0 - 10 * k}, {x, -50.0 - 10 * k}, {x, 350.0 + 10 * k}, {150, 350.0 + 10 * k}});
    }
    auto closest = [](const QList<RoutePoints>& routes) {
        double gap = 1e9;
        for (int i = 0; i < routes.size(); ++i) {
            for (int j = i + 1; j < routes.size(); ++j)
                gap = std::min(gap, std::abs(routes.at(i).at(1).x() - routes.at(j).at(1).x()));
        }
        return gap;
    };

    // Three lines 8 apart do not fit into 15.
    QList<RoutePoints> routes = start;
    nudgeCoincidentSegments(routes, {}, blocked);
    QVERIFY(closest(routes) < 6.0);

    nudgeCoincidentSegments(routes, {}, blocked, {}, 6.5);
    QVERIFY2(closest(routes) >= 6.5, qPrintable(QString::number(closest(routes))));
    for (int k = 0; k < 3; ++k) {
        const RoutePoints& route = routes.at(k);
        // Still right-angled, in the corridor, the first and last segments
        // where they were.
        QCOMPARE(route.size(), 4);
        QCOMPARE(route.at(1).x(), route.at(2).x());
        QVERIFY(route.at(1).x() >= 0 && route.at(1).x() <= 15);
        QCOMPARE(route.at(0), start.at(k).at(0));
        QCOMPARE(route.at(1).y(), start.at(k).at(1).y());
        QCOMPARE(route.at(3), start.at(k).at(3));
    }
}

// A segment on another route's line between two jogs shorter than any free
// line is away: it moves all the same, one jog then turning the other way.
void TestRouteSeparation::lineBetweenShortJogs()
{
    QList<RoutePoints> routes{{{0, 0}, {100, 0}, {100, 4}, {300, 4}, {300, 8}, {400, 8}},
                              {{0, 40}, {50, 40}, {50, 4}, {350, 4}, {350, 40}, {400, 40}}};
    // The second route stands still.
    nudgeCoincidentSegments(routes, {SeparationFree, SeparationFrozen});
    QCOMPARE(routes.at(0), (RoutePoints{{0, 0}, {100, 0}, {100, 12}, {300, 12}, {300, 8}, {400, 8}}));
    QCOMPARE(routes.at(1), (RoutePoints{{0, 40}, {50, 40}, {50, 4}, {350, 4}, {350, 40}, {400, 40}}));
}

// Two long routes on one line down a corridor 28 wide, whose other lanes
// short segments of other routes take, each over a stretch of its own: one
// long route takes a short one's lane and that one moves to a lane free
// where it runs.
void TestRouteSeparation::longLineMovesShortOnesAside()
{
    const SegmentBlocked blocked = corridorBetween(0, 28, 1000);
    QList<RoutePoints> routes{{{-60, -100}, {16, -100}, {16, 1100}, {90, 1100}},
                              {{-60, -90}, {16, -90}, {16, 1090}, {90, 1090}},
                              {{27, 390}, {24, 390}, {24, 510}, {27, 510}},
                              {{1, 600}, {8, 600}, {8, 700}, {1, 700}},
                              {{1, 200}, {2, 200}, {2, 300}, {1, 300}}};
    const QList<RoutePoints> start = routes;
    nudgeCoincidentSegments(routes, {}, blocked);
    for (int k = 0; k < routes.size(); ++k) {
        QCOMPARE(coincidentSegmentPairs(routes, k), 0);
        const RoutePoints& route = routes.at(k);
        QCOMPARE(route.size(), 4);
        QCOMPARE(route.first(), start.at(k).first());
        QCOMPARE(route.last(), start.at(k).last());
        QCOMPARE(route.at(1).x(), route.at(2).x());
        for (int i = 0; i + 1 < route.size(); ++i)
            QVERIFY(!blocked(k, route.at(i), route.at(i + 1)));
    }
}

// In a corridor 14 wide at the crowded clearance, a long route on another's
// line fits only just clear of it, where short segments run on either
// side; one of those has room only just clear of the other side, where no
// fixed step reaches.
void TestRouteSeparation::crowdedLaneMadeBySmallMoves()
{
    const SegmentBlocked blocked = corridorBetween(3, 17, 1000);
    QList<RoutePoints> routes{{{-60, -100}, {10, -100}, {10, 1100}, {90, 1100}},
                              {{-60, -90}, {10, -90}, {10, 1090}, {90, 1090}},
                              {{3, 200}, {3.2, 200}, {3.2, 300}, {3, 300}},
                              {{17, 600}, {16.8, 600}, {16.8, 700}, {17, 700}}};
    nudgeCoincidentSegments(routes, {}, blocked, {}, 6.5);
    for (int k = 0; k < routes.size(); ++k) {
        QCOMPARE(coincidentSegmentPairs(routes, k), 0);
        for (int i = 0; i + 1 < routes.at(k).size(); ++i)
            QVERIFY(!blocked(k, routes.at(k).at(i), routes.at(k).at(i + 1)));
    }
    QVERIFY(std::abs(routes.at(0).at(1).x() - routes.at(1).at(1).x()) >= 6.5);
}

// A search asked to keep off the line of another route finds a way beside
// it through the same corridor, where the plain search would run on it;
// the same question without the line still gets the straight route.
void TestRouteSeparation::searchKeepsOffTakenLine()
{
    GridRouteQuery query;
    query.from = QPointF(0, 0);
    query.to = QPointF(400, 0);
    query.bounds = QRectF(-100, -100, 600, 200);
    // A corridor from y = -30 to 30 between two long entities.
    query.blocked = {QRectF(-50, -90, 500, 60), QRectF(-50, 30, 500, 60)};
    const QList<QPointF> plain = searchGridRoute(query);
    QCOMPARE(plain, (QList<QPointF>{{0, 0}, {400, 0}}));

    const QLineF taken(QPointF(50, 0), QPointF(350, 0));
    query.avoid = {taken};
    query.sidestep = {taken};
    const QList<QPointF> route = searchGridRoute(query);
    QVERIFY(route.size() >= 4);
    QCOMPARE(route.constFirst(), query.from);
    QCOMPARE(route.constLast(), query.to);
    QList<RoutePoints> both{route, {taken.p1(), taken.p2()}};
    QCOMPARE(coincidentSegmentPairs(both, 0), 0);
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const QPointF a = route.at(i), b = route.at(i + 1);
        QVERIFY(a.x() == b.x() || a.y() == b.y());
        // Along the taken stretch, at least the clearance away.
        const double overlap = std::min(std::max(a.x(), b.x()), 350.0) - std::max(std::min(a.x(), b.x()), 50.0);
        if (a.y() == b.y() && overlap > 0.5)
            QVERIFY2(std::abs(a.y()) >= query.avoidClearance, qPrintable(QString::number(a.y())));
        QVERIFY(std::abs(a.y()) < 30 && std::abs(b.y()) < 30);
    }

    query.avoid.clear();
    query.sidestep.clear();
    QCOMPARE(searchGridRoute(query), plain);
}

QUILLMAP_TEST_MAIN(TestRouteSeparation)
#include "tst_routeseparation.moc"
