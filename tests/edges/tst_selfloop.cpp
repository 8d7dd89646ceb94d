#include "common/testmain.h"
#include "routetestutil.h"

#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "edges/selfloop.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace routetest;

Q_DECLARE_METATYPE(routetest::Route)

namespace {

const QRectF entity(100, 100, 200, 120); // L 100, T 100, R 300, B 220

struct FakeEdge
{
    bool self;
};

} // namespace

class TestSelfLoop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loops_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<int>("fromSide");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<int>("toSide");
        QTest::addColumn<int>("index");
        QTest::addColumn<Route>("expected");
        const QPointF left(100, 160), right(300, 150), top(180, 100), bottom(220, 220);
        // Opposite sides: distance 20 (+12 per index step); left/right over
        // the top, top/bottom round the left.
        QTest::newRow("left to right") << left << 0 << right << 1 << 0
            << Route{left, {80, 160}, {80, 80}, {320, 80}, {320, 150}, right};
        QTest::newRow("right to left") << right << 1 << left << 0 << 0
            << Route{right, {320, 150}, {320, 80}, {80, 80}, {80, 160}, left};
        QTest::newRow("top to bottom, index 2") << top << 2 << bottom << 3 << 2
            << Route{top, {180, 56}, {56, 56}, {56, 264}, {220, 264}, bottom};
        QTest::newRow("bottom to top") << bottom << 3 << top << 2 << 0
            << Route{bottom, {220, 240}, {80, 240}, {80, 80}, {180, 80}, top};
        // Adjacent sides: distance 30 (+15 per index step), via the corner.
        QTest::newRow("top to right, index 2") << top << 2 << right << 1 << 2
            << Route{top, {180, 40}, {360, 40}, {360, 150}, right};
        QTest::newRow("right to top") << right << 1 << top << 2 << 0
            << Route{right, {330, 150}, {330, 70}, {180, 70}, top};
        QTest::newRow("top to left") << top << 2 << left << 0 << 0
            << Route{top, {180, 70}, {70, 70}, {70, 160}, left};
        QTest::newRow("left to top") << left << 0 << top << 2 << 0
            << Route{left, {70, 160}, {70, 70}, {180, 70}, top};
        QTest::newRow("bottom to right") << bottom << 3 << right << 1 << 0
            << Route{bottom, {220, 250}, {330, 250}, {330, 150}, right};
        QTest::newRow("right to bottom") << right << 1 << bottom << 3 << 0
            << Route{right, {330, 150}, {330, 250}, {220, 250}, bottom};
        QTest::newRow("bottom to left") << bottom << 3 << left << 0 << 0
            << Route{bottom, {220, 250}, {70, 250}, {70, 160}, left};
        QTest::newRow("left to bottom") << left << 0 << bottom << 3 << 0
            << Route{left, {70, 160}, {70, 250}, {220, 250}, bottom};
        // One side: 30, 60, 90 for the indices 0, 2, 4.
        QTest::newRow("both top, index 0") << top << 2 << QPointF(260, 100) << 2 << 0
            << Route{top, {180, 70}, {260, 70}, {260, 100}};
        QTest::newRow("both top, index 2") << top << 2 << QPointF(260, 100) << 2 << 2
            << Route{top, {180, 40}, {260, 40}, {260, 100}};
        QTest::newRow("both top, index 4") << top << 2 << QPointF(260, 100) << 2 << 4
            << Route{top, {180, 10}, {260, 10}, {260, 100}};
        QTest::newRow("both left") << left << 0 << QPointF(100, 200) << 0 << 0
            << Route{left, {70, 160}, {70, 200}, {100, 200}};
        QTest::newRow("both right") << right << 1 << QPointF(300, 110) << 1 << 0
            << Route{right, {330, 150}, {330, 110}, {300, 110}};
        QTest::newRow("both bottom") << bottom << 3 << QPointF(120, 220) << 3 << 0
            << Route{bottom, {220, 250}, {120, 250}, {120, 220}};
        QTest::newRow("negative index counts as 0") << top << 2 << QPointF(260, 100) << 2 << -1
            << Route{top, {180, 70}, {260, 70}, {260, 100}};
        QTest::newRow("unknown side") << top << 4 << right << 1 << 0 << Route{};
        QTest::newRow("unknown to-side") << top << 2 << right << -1 << 0 << Route{};
    }
    void loops()
    {
        QFETCH(QPointF, from);
        QFETCH(int, fromSide);
        QFETCH(QPointF, to);
        QFETCH(int, toSide);
        QFETCH(int, index);
        QFETCH(Route, expected);
        const Route route = selfLoopRoute(from, fromSide, to, toSide, entity, index);
        QVERIFY2(sameRoute(route, expected, 1e-9), describe(route));
    }

    void reversedPairIsTheSameLoop()
    {
        const QPointF left(100, 160), right(300, 150);
        Route there = selfLoopRoute(left, 0, right, 1, entity, 2);
        const Route back = selfLoopRoute(right, 1, left, 0, entity, 2);
        std::reverse(there.begin(), there.end());
        QVERIFY(sameRoute(there, back, 0.0));
    }

    void slotsAtOnePointCollapse()
    {
        const QPointF top(180, 100);
        const Route route = selfLoopRoute(top, 2, top, 2, entity, 0);
        QCOMPARE(route.size(), 4);
        QVERIFY(sameRoute(simplifyRoute(route), {top, top}, 0.0));
    }

    void nestingIndex()
    {
        FakeEdge a{true}, b{false}, c{true}, d{true};
        auto isSelf = [](const FakeEdge* e) { return e->self; };
        // Each self-relation stands in the list twice, next to each other.
        const QList<FakeEdge*> list = {&a, &a, &b, nullptr, &c, &c, &d, &d};
        QCOMPARE(selfLoopIndexIn(list, &a, isSelf), 0);
        QCOMPARE(selfLoopIndexIn(list, &c, isSelf), 2);
        QCOMPARE(selfLoopIndexIn(list, &d, isSelf), 4);
        QCOMPARE(selfLoopIndexIn(list, &b, isSelf), -1); // not a self-relation
        FakeEdge missing{true};
        QCOMPARE(selfLoopIndexIn(list, &missing, isSelf), -1);
        // Removing the first one moves the others in.
        QCOMPARE(selfLoopIndexIn(QList<FakeEdge*>{&b, &c, &c, &d, &d}, &d, isSelf), 2);
    }

    // Every loop leaves and arrives outward, stays right-angled and keeps
    // out of its own entity.
    void generatedLoops()
    {
        QRandomGenerator random(3);
        for (int i = 0; i < 4000; ++i) {
            const QRectF r(random.bounded(500), random.bounded(500), 30 + random.bounded(300), 26 + random.bounded(300));
            const int s0 = random.bounded(4), s1 = random.bounded(4);
            auto slot = [&](int side) {
                const QPointF target(r.left() + random.generateDouble() * r.width(), r.top() + random.generateDouble() * r.height());
                return pointOnSideInset(r, side, target);
            };
            const QPointF p0 = slot(s0), p1 = slot(s1);
            const int k = random.bounded(7);
            const Route route = simplifyRoute(selfLoopRoute(p0, s0, p1, s1, r, k));
            const QByteArray where = QByteArray::number(i) + ": " + describe(route);
            QVERIFY2(route.size() >= 2 && route.size() <= 6, where);
            QVERIFY2(route.first() == p0 && route.last() == p1, where);
            QVERIFY2(isRouteAxisAligned(route), where);
            if (route.size() > 2) {
                QVERIFY2(endsLeaveOutward(route, s0, s1, p0, p1), where);
                QCOMPARE(countInteriorHits(route, {insetObstacleRect(r)}), 0);
            }
        }
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestSelfLoop)
#include "tst_selfloop.moc"
