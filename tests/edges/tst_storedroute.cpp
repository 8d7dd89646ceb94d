#include "common/testmain.h"
#include "routetestutil.h"

#include "edges/routegeometry.h"
#include "edges/storedroute.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

using namespace routetest;

Q_DECLARE_METATYPE(routetest::Route)

namespace {

bool exactlyEqual(const Route& a, const Route& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const QPointF& p, const QPointF& q) { return p.x() == q.x() && p.y() == q.y(); });
}

} // namespace

class TestStoredRoute : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reanchor_data()
    {
        QTest::addColumn<Route>("stored");
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<int>("fromSide");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<int>("toSide");
        QTest::addColumn<Route>("expected");
        QTest::newRow("two points become the slots") << Route{{5, 5}, {900, 5}} << QPointF(100, 30) << 1 << QPointF(300, 30) << 0
            << Route{{100, 30}, {300, 30}};
        QTest::newRow("collinear points go first") << Route{{100, 30}, {150, 30}, {300, 30}} << QPointF(100, 40) << 1 << QPointF(300, 40) << 0
            << Route{{100, 40}, {300, 40}};
        // Three points: the corner keeps the side the stored route turned on.
        QTest::newRow("three points, vertical first leg") << Route{{50, 60}, {50, 200}, {300, 200}} << QPointF(60, 60) << 3 << QPointF(300, 210) << 0
            << Route{{60, 60}, {60, 210}, {300, 210}};
        QTest::newRow("three points, horizontal first leg") << Route{{100, 30}, {350, 30}, {350, 100}} << QPointF(100, 40) << 1 << QPointF(360, 100) << 2
            << Route{{100, 40}, {360, 40}, {360, 100}};
        // Four points or more: ends moved, neighbours realigned, the middle
        // kept.
        QTest::newRow("z follows moved slots") << Route{{100, 30}, {200, 30}, {200, 130}, {300, 130}} << QPointF(100, 40) << 1 << QPointF(310, 120) << 0
            << Route{{100, 40}, {200, 40}, {200, 120}, {310, 120}};
        QTest::newRow("long route keeps its middle") << Route{{100, 30}, {126, 30}, {126, -40}, {400, -40}, {400, 60}, {374, 60}}
            << QPointF(100, 35) << 1 << QPointF(374, 70) << 1
            << Route{{100, 35}, {126, 35}, {126, -40}, {400, -40}, {400, 70}, {374, 70}};
        // The second point fell below a top slot: pulled 12 above it, and the
        // run after it moves up along, so the route stays right-angled.
        QTest::newRow("behind a top slot") << Route{{50, 0}, {50, 20}, {200, 20}, {200, 100}, {250, 100}}
            << QPointF(50, 0) << 2 << QPointF(250, 100) << 0
            << Route{{50, 0}, {50, -12}, {200, -12}, {200, 100}, {250, 100}};
        QTest::newRow("behind a left to-slot") << Route{{0, 0}, {0, 50}, {150, 50}, {150, 80}, {140, 80}}
            << QPointF(0, 0) << 3 << QPointF(140, 80) << 0
            << Route{{0, 0}, {0, 50}, {128, 50}, {128, 80}, {140, 80}};
    }
    void reanchor()
    {
        QFETCH(Route, stored);
        QFETCH(QPointF, from);
        QFETCH(int, fromSide);
        QFETCH(QPointF, to);
        QFETCH(int, toSide);
        QFETCH(Route, expected);
        const Route route = reanchorRoute(stored, from, fromSide, to, toSide);
        QVERIFY2(sameRoute(route, expected, 1e-9), describe(route));
    }

    void reanchorKeepsThePointCountWhenPullingOut()
    {
        const Route stored = {{50, 0}, {50, 20}, {200, 20}, {200, 100}, {250, 100}};
        QCOMPARE(reanchorRoute(stored, {50, 0}, 2, {250, 100}, 0).size(), stored.size());
    }

    void reanchorNothingToStore()
    {
        QVERIFY(reanchorRoute({}, {0, 0}, 1, {10, 0}, 0).isEmpty());
        QVERIFY(reanchorRoute({{1, 1}}, {0, 0}, 1, {10, 0}, 0).isEmpty());
    }

    void reanchorSquaresUpSlantedEnds()
    {
        // Slots no longer in line: [F, T] would be slanted; a corner goes in,
        // after a run along the from-side's normal.
        const Route two = reanchorRoute({{100, 30}, {300, 30}}, {100, 30}, 1, {300, 60}, 0);
        QVERIFY2(sameRoute(two, {{100, 30}, {300, 30}, {300, 60}}, 1e-9), describe(two));
        const Route fromTop = reanchorRoute({{100, 0}, {100, -200}}, {100, 0}, 2, {140, -200}, 3);
        QVERIFY2(sameRoute(fromTop, {{100, 0}, {100, -200}, {140, -200}}, 1e-9), describe(fromTop));
        // Both ends of a four-point route pulled out of their slots.
        const Route both = reanchorRoute({{0, 0}, {0, 40}, {300, 40}, {300, 0}}, {0, 0}, 2, {300, 0}, 2);
        QVERIFY2(isRouteAxisAligned(both), describe(both));
        QCOMPARE(both.first(), QPointF(0, 0));
        QCOMPARE(both.last(), QPointF(300, 0));
        QCOMPARE(both[1], QPointF(0, -12));
    }

    // Stored right-angled routes fitted to slots moved a little stay
    // right-angled and end on the slots.
    void generatedReanchoring()
    {
        QRandomGenerator random(11);
        for (int i = 0; i < 5000; ++i) {
            const int n = 2 + random.bounded(6);
            Route stored{QPointF(random.bounded(400), random.bounded(400))};
            bool horizontal = random.bounded(2) == 0;
            for (int k = 1; k < n; ++k) {
                const double step = random.bounded(300) - 150;
                QPointF p = stored.last();
                if (horizontal)
                    p.rx() += step;
                else
                    p.ry() += step;
                stored.append(p);
                horizontal = !horizontal;
            }
            const QPointF f = stored.first() + QPointF(random.bounded(60) - 30, random.bounded(60) - 30);
            const QPointF t = stored.last() + QPointF(random.bounded(60) - 30, random.bounded(60) - 30);
            const int fs = random.bounded(4), ts = random.bounded(4);
            const Route route = reanchorRoute(stored, f, fs, t, ts);
            const QByteArray where = QByteArray::number(i) + ": " + describe(stored) + " -> " + describe(route);
            QVERIFY2(route.size() >= 2, where);
            QVERIFY2(route.first() == f && route.last() == t, where);
            QVERIFY2(isRouteAxisAligned(route), where);
            QVERIFY2(exactlyEqual(reanchorRoute(route, f, fs, t, ts), route), where);
        }
    }

    // A fitted route, saved and read again, fits to itself to the last
    // digit, whatever was stored: repeated points, points at the origin
    // (what an empty point object reads as), points a hair off a line,
    // points behind the slots, unknown sides.
    void fittedRoutesFitToThemselves()
    {
        QRandomGenerator random(16);
        const auto coordinate = [&random](double around) {
            switch (random.bounded(5)) {
            case 0: return 0.0;
            case 1: return around;
            case 2: return around + (random.bounded(11) - 5) * 0.1;
            case 3: return around + random.bounded(13) - 6.0;
            default: return random.bounded(600.0) - 150.0;
            }
        };
        int failures = 0;
        QByteArray first;
        for (int i = 0; i < 200000; ++i) {
            const QPointF f(coordinate(0), coordinate(0));
            const QPointF t(coordinate(200), coordinate(100));
            const int fs = random.bounded(6) - 1, ts = random.bounded(6) - 1;
            Route stored;
            const int n = 2 + random.bounded(7);
            for (int k = 0; k < n; ++k) {
                const QPointF near = random.bounded(2) ? f : t;
                stored.append(random.bounded(4) == 0 && !stored.isEmpty() ? stored.last()
                                                                          : QPointF(coordinate(near.x()),
                                                                                    coordinate(near.y())));
            }
            const Route route = reanchorRoute(stored, f, fs, t, ts);
            const Route again = reanchorRoute(route, f, fs, t, ts);
            if (!exactlyEqual(again, route) && failures++ == 0)
                first = describe(stored) + " sides " + QByteArray::number(fs) + "/" + QByteArray::number(ts)
                    + " from " + describe({f}) + " to " + describe({t}) + ": " + describe(route) + " -> "
                    + describe(again);
        }
        QVERIFY2(failures == 0, QByteArray::number(failures) + " failures, first: " + first);
        // The file that once drifted: a route of mostly empty points.
        const Route drifted = reanchorRoute({{0, 0}, {269, 40}, {0, 0}, {0, 0}}, {150, 35}, 1, {200, 135}, 0);
        QVERIFY2(exactlyEqual(reanchorRoute(drifted, {150, 35}, 1, {200, 135}, 0), drifted), describe(drifted));
    }

    void segmentUnderPoint_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("expected");
        const Route six = {{0, 0}, {26, 0}, {26, 100}, {200, 100}, {200, 50}, {226, 50}};
        QTest::newRow("three points: nothing to drag") << Route{{0, 0}, {100, 0}, {100, 100}} << QPointF(100, 50) << -1;
        QTest::newRow("first segment never") << six << QPointF(13, 1) << -1;
        QTest::newRow("last segment never") << six << QPointF(213, 51) << -1;
        QTest::newRow("7.9 beside the third segment") << six << QPointF(100, 107.9) << 2;
        QTest::newRow("8.0 beside it") << six << QPointF(100, 108) << -1;
        QTest::newRow("vertical segment") << six << QPointF(30, 40) << 1;
        QTest::newRow("beyond its end by 8") << six << QPointF(22, 108) << 1;
        QTest::newRow("within 8 past the end of the run") << six << QPointF(20, 104) << 2;
        QTest::newRow("beyond both ends by more than 8") << six << QPointF(17, 100) << -1;
        QTest::newRow("nearest wins") << six << QPointF(197, 96) << 3;
        QTest::newRow("equal distances: first wins") << six << QPointF(196, 104) << 2;
    }
    void segmentUnderPoint()
    {
        QFETCH(Route, route);
        QFETCH(QPointF, point);
        QFETCH(int, expected);
        QCOMPARE(routeSegmentAt(route, point), expected);
    }

    void orientation()
    {
        const Route six = {{0, 0}, {26, 0}, {26, 100}, {200, 100}, {200, 50}, {226, 50}};
        QCOMPARE(routeSegmentOrientation(six, 1), Qt::Vertical);
        QCOMPARE(routeSegmentOrientation(six, 2), Qt::Horizontal);
        QCOMPARE(routeSegmentOrientation(six, 9), Qt::Horizontal);
    }

    void dragSegment()
    {
        const Route six = {{0, 0}, {26, 0}, {26, 100}, {200, 100}, {200, 50}, {226, 50}};
        Route r = six;
        QVERIFY(moveRouteSegment(r, 1, Qt::Vertical, 15));
        QVERIFY(sameRoute(r, {{0, 0}, {41, 0}, {41, 100}, {200, 100}, {200, 50}, {226, 50}}, 0.0));
        r = six;
        QVERIFY(moveRouteSegment(r, 2, Qt::Horizontal, -30));
        QVERIFY(sameRoute(r, {{0, 0}, {26, 0}, {26, 70}, {200, 70}, {200, 50}, {226, 50}}, 0.0));
        QVERIFY(isRouteAxisAligned(r));
        r = six;
        QVERIFY(!moveRouteSegment(r, 0, Qt::Horizontal, 10));
        QVERIFY(!moveRouteSegment(r, 4, Qt::Horizontal, 10));
        QVERIFY(!moveRouteSegment(r, 2, Qt::Horizontal, 0.0009));
        QVERIFY(!moveRouteSegment(r, 2, Qt::Horizontal, qQNaN()));
        QVERIFY(!moveRouteSegment(r, -1, Qt::Horizontal, 10));
        QVERIFY(sameRoute(r, six, 0.0));
        Route three = {{0, 0}, {10, 0}, {10, 10}};
        QVERIFY(!moveRouteSegment(three, 1, Qt::Vertical, 5));
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestStoredRoute)
#include "tst_storedroute.moc"
