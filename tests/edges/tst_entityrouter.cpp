#include "common/testmain.h"
#include "routetestutil.h"

#include "edges/entityrouter.h"
#include "edges/sidechoice.h"
#include "edges/obstacleset.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"

#include <QDir>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace routetest;

Q_DECLARE_METATYPE(routetest::Route)

namespace {

const char* const fixturePath = QUILLMAP_TEST_DATA_DIR "/routing/two_entity_routes.json";

struct Layout
{
    QString name;
    QRectF from;
    QRectF to;
    int fromSide = 1;
    int toSide = 0;
    QPointF fromSlot;
    QPointF toSlot;
    QList<QRectF> obstacles; // entity rectangles as they stand, not inset
};

EntityRouteRequest requestFor(const Layout& layout, bool indexed = true)
{
    EntityRouteRequest r;
    r.from = layout.fromSlot;
    r.to = layout.toSlot;
    r.fromSide = layout.fromSide;
    r.toSide = layout.toSide;
    r.fromRect = layout.from;
    r.toRect = layout.to;
    r.obstacles = ObstacleSet::fromEntityRects(layout.obstacles, indexed);
    return r;
}

Layout layoutFromJson(const QJsonObject& o)
{
    Layout l;
    l.name = o.value("name").toString();
    l.from = rectFromJson(o.value("from"));
    l.to = rectFromJson(o.value("to"));
    l.fromSide = o.value("fromSide").toInt();
    l.toSide = o.value("toSide").toInt();
    l.fromSlot = o.contains("fromSlot") ? pointFromJson(o.value("fromSlot"))
                                        : pointOnSideInset(l.from, l.fromSide, l.to.center());
    l.toSlot = o.contains("toSlot") ? pointFromJson(o.value("toSlot"))
                                    : pointOnSideInset(l.to, l.toSide, l.from.center());
    for (const QJsonValue& r : o.value("obstacles").toArray())
        l.obstacles.append(rectFromJson(r));
    return l;
}

QJsonObject readFixture()
{
    QFile file(fixturePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString svgDirectory()
{
    return qEnvironmentVariable("QUILLMAP_ROUTE_SVG_DIR");
}

QString fileNameFor(const QString& name)
{
    QString s = name.toLower();
    for (QChar& c : s) {
        if (!c.isLetterOrNumber())
            c = '-';
    }
    return s;
}

// Far-away rectangles that change no route but make an obstacle set large
// enough to be indexed.
QList<QRectF> farAway(int count)
{
    QList<QRectF> rects;
    for (int i = 0; i < count; ++i)
        rects.append(QRectF(100000 + 150 * (i % 8), 100000 + 120 * (i / 8), 100, 60));
    return rects;
}

// Whether the segment a -> b leaves a slot on side straight outward (or
// arrives there from outside, seen from the slot).
bool leavesOutwardFrom(int side, const QPointF& slot, const QPointF& next)
{
    const QPointF d = next - slot;
    switch (side) {
    case SlotLeft: return std::abs(d.y()) <= 0.5 && d.x() <= 0.5;
    case SlotRight: return std::abs(d.y()) <= 0.5 && d.x() >= -0.5;
    case SlotTop: return std::abs(d.x()) <= 0.5 && d.y() <= 0.5;
    case SlotBottom: return std::abs(d.x()) <= 0.5 && d.y() >= -0.5;
    default: return true;
    }
}

bool allFinite(const Route& route)
{
    for (const QPointF& p : route) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return false;
    }
    return true;
}

// Every candidate the router knows, built with the public pieces; true when
// one of them passes the end checks and touches no entity at all.
bool someCandidateIsClean(const EntityRouteRequest& r)
{
    const QPointF p = r.from, q = r.to;
    const QPointF ps = fromStubPoint(r), qs = toStubPoint(r);
    const QList<QRectF> ends = {insetObstacleRect(r.fromRect), insetObstacleRect(r.toRect)};
    const double m = std::max(16.0, stubLength(r.fromSide, r.toSide, r.fromRect, r.toRect));
    const double top = std::min(r.fromRect.top(), r.toRect.top()) - m;
    const double bottom = std::max(r.fromRect.bottom(), r.toRect.bottom()) + m;
    const double left = std::min(r.fromRect.left(), r.toRect.left()) - m;
    const double right = std::max(r.fromRect.right(), r.toRect.right()) + m;
    const QList<Route> candidates = {
        {p, q},
        facingShortcutRoute(p, q, ps, qs, r.fromSide, r.toSide, r.fromRect, r.toRect, ends, r.obstacles),
        laneSearchRoute(r.fromRect, r.toRect, r.fromSide, r.toSide, r.obstacles, p, q),
        assembleRoute(p, ps, {QPointF(qs.x(), ps.y())}, qs, q),
        assembleRoute(p, ps, {QPointF(ps.x(), qs.y())}, qs, q),
        assembleRoute(p, ps, {QPointF(ps.x(), top), QPointF(qs.x(), top)}, qs, q),
        assembleRoute(p, ps, {QPointF(ps.x(), bottom), QPointF(qs.x(), bottom)}, qs, q),
        assembleRoute(p, ps, {QPointF(right, ps.y()), QPointF(right, qs.y())}, qs, q),
        assembleRoute(p, ps, {QPointF(left, ps.y()), QPointF(left, qs.y())}, qs, q),
    };
    for (const Route& c : candidates) {
        const Route route = simplifyRoute(c);
        if (route.size() < 2 || !isRouteAxisAligned(route))
            continue;
        if (!endsLeaveOutward(route, r.fromSide, r.toSide, ps, qs)
            || backtracksAtStart(r.fromSide, ps, route, r.fromRect)
            || backtracksAtEnd(r.toSide, qs, route, r.toRect))
            continue;
        if (countRouteHits(route, r.obstacles, ends) == 0)
            return true;
    }
    return false;
}

class LayoutGenerator
{
public:
    explicit LayoutGenerator(quint32 seed) : m_random(seed) {}

    double uniform(double low, double high) { return low + (high - low) * m_random.generateDouble(); }
    int below(int n) { return static_cast<int>(m_random.bounded(n)); }

    QRectF entity(double width, double height)
    {
        // Whole and half units, as entity boxes on a canvas mostly are, with
        // now and then an arbitrary fraction.
        auto snap = [&](double v) { return below(4) == 0 ? v : std::round(v * 2.0) / 2.0; };
        return QRectF(snap(uniform(0, width)), snap(uniform(0, height)), snap(uniform(50, 240)),
                      snap(uniform(26, 220)));
    }

    QPointF slotOn(const QRectF& rect, int side, const QRectF& other)
    {
        if (below(2) == 0)
            return pointOnSideInset(rect, side, other.center());
        const QPointF target(uniform(rect.left(), rect.right()), uniform(rect.top(), rect.bottom()));
        return pointOnSideInset(rect, side, target);
    }

    Layout layout(int maxObstacles, double width, double height)
    {
        Layout l;
        l.from = entity(width, height);
        l.to = entity(width, height);
        if (below(3) == 0) {
            const SidePair pair = chooseSidePair(l.from, l.to);
            l.fromSide = pair.fromSide;
            l.toSide = pair.toSide;
        } else {
            l.fromSide = below(4);
            l.toSide = below(4);
        }
        l.fromSlot = slotOn(l.from, l.fromSide, l.to);
        l.toSlot = slotOn(l.to, l.toSide, l.from);
        const int n = below(maxObstacles + 1);
        for (int i = 0; i < n; ++i)
            l.obstacles.append(entity(width, height));
        return l;
    }

private:
    QRandomGenerator m_random;
};

} // namespace

class TestEntityRouter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fixtureRoutes_data()
    {
        QTest::addColumn<QJsonObject>("layout");
        const QJsonArray layouts = readFixture().value("layouts").toArray();
        QVERIFY2(layouts.size() >= 20, fixturePath);
        for (const QJsonValue& v : layouts)
            QTest::newRow(qPrintable(v.toObject().value("name").toString())) << v.toObject();
    }

    // Every layout of the fixture routes exactly as recorded, with the
    // obstacles indexed or scanned.
    void fixtureRoutes()
    {
        QFETCH(QJsonObject, layout);
        const Layout l = layoutFromJson(layout);
        const Route expected = routeFromJson(layout.value("route"));
        const Route route = routeTwoEntities(requestFor(l));
        QVERIFY2(!expected.isEmpty(), "no expected route recorded");
        QVERIFY2(sameRoute(route, expected, 1e-6), describe(route));
        QVERIFY(route.first() == l.fromSlot && route.last() == l.toSlot);
        QVERIFY(isRouteAxisAligned(route));
        if (route.size() > 1 && route.first() != route.last()) {
            QVERIFY(leavesOutwardFrom(l.fromSide, route[0], route[1]));
            QVERIFY(leavesOutwardFrom(l.toSide, route[route.size() - 1], route[route.size() - 2]));
        }
        // How many times the route touches another entity (0 unless no clean
        // route was found).
        QCOMPARE(countObstacleHits(route, requestFor(l).obstacles), layout.value("hits").toInt());

        // The same with many far-away obstacles added, which makes the
        // obstacle set indexed; the result must not move by a bit.
        Layout padded = l;
        padded.obstacles += farAway(60);
        const EntityRouteRequest indexedRequest = requestFor(padded, true);
        QVERIFY(indexedRequest.obstacles.isIndexed());
        QVERIFY2(identicalRoute(routeTwoEntities(indexedRequest), route), "indexed obstacles changed the route");
        QVERIFY2(identicalRoute(routeTwoEntities(requestFor(padded, false)), route), "far obstacles changed the route");

        const QString dir = svgDirectory();
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            writeLayoutSvg(dir + "/" + fileNameFor(l.name) + ".svg", l.name, l.from, l.to, l.obstacles, route);
        }
    }

    // Regenerates the expected routes of the fixture (only on request:
    // QUILLMAP_WRITE_ROUTE_FIXTURE=1). Every change must be looked at.
    void writeFixture()
    {
        if (qEnvironmentVariable("QUILLMAP_WRITE_ROUTE_FIXTURE") != "1")
            QSKIP("set QUILLMAP_WRITE_ROUTE_FIXTURE=1 to record the routes");
        QJsonObject root = readFixture();
        QJsonArray layouts = root.value("layouts").toArray();
        for (qsizetype i = 0; i < layouts.size(); ++i) {
            QJsonObject o = layouts[i].toObject();
            const EntityRouteRequest request = requestFor(layoutFromJson(o));
            const Route route = routeTwoEntities(request);
            o.insert("route", routeToJson(route));
            o.insert("hits", countObstacleHits(route, request.obstacles));
            layouts[i] = o;
        }
        root.insert("layouts", layouts);
        QFile file(fixturePath);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    }

    void straightWhenFacingAndAligned()
    {
        Layout l;
        l.from = QRectF(0, 0, 100, 60);
        l.to = QRectF(300, 0, 100, 60);
        l.fromSlot = QPointF(100, 30);
        l.toSlot = QPointF(300, 30.4);
        const Route route = routeTwoEntities(requestFor(l));
        QVERIFY2(identicalRoute(route, {{100, 30}, {300, 30.4}}), describe(route));
    }

    void noFacingShortcutWhenCentresDisagree()
    {
        const QRectF a(300, 0, 100, 60);
        const QRectF b(0, 0, 100, 60);
        const QPointF p(400, 30), q(0, 30);
        const Route r = facingShortcutRoute(p, q, p + QPointF(26, 0), q - QPointF(26, 0), 1, 0, a, b,
                                            {insetObstacleRect(a), insetObstacleRect(b)}, {});
        QVERIFY(r.isEmpty());
        // The facing shortcut for the mirrored pair exists.
        const Route mirrored = facingShortcutRoute(q + QPointF(100, 0), p - QPointF(100, 0), q + QPointF(126, 0),
                                                   p - QPointF(126, 0), 1, 0, b, a,
                                                   {insetObstacleRect(b), insetObstacleRect(a)}, {});
        QCOMPARE(mirrored.size(), 2);
    }

    void costs()
    {
        RouteCostContext c;
        c.fromRect = QRectF(0, 0, 100, 60);
        c.toRect = QRectF(300, 0, 100, 60);
        c.endRects = {insetObstacleRect(c.fromRect), insetObstacleRect(c.toRect)};
        c.from = QPointF(100, 30);
        c.to = QPointF(300, 30);
        QCOMPARE(twoEntityRouteCost(c, {{100, 30}}), 2e12);
        QCOMPARE(twoEntityRouteCost(c, {{100, 30}, {300, 30}}), 200.0);
        QCOMPARE(twoEntityRouteCost(c, {{100, 30}, {126, 30}, {126, 50}, {300, 50}}), 8000.0 * 2 + 26 + 20 + 174);
        c.obstacles = QList<QRectF>{QRectF(180, 0, 40, 60)};
        QCOMPARE(twoEntityRouteCost(c, {{100, 30}, {300, 30}}), 1e12 + 1e6 + 200);
        // Four bends through an entity: 1e15. Four bends clean: 1e11, below
        // any route that touches an entity.
        QCOMPARE(twoEntityRouteCost(c, {{100, 30}, {126, 30}, {126, 40}, {250, 40}, {250, 30}, {300, 30}}), 1e15);
        const Route cleanFourBends = {{100, 30}, {126, 30}, {126, -40}, {250, -40}, {250, 30}, {300, 30}};
        QCOMPARE(countRouteBends(cleanFourBends), 4);
        QCOMPARE(twoEntityRouteCost(c, cleanFourBends), 1e11);
        QVERIFY(twoEntityRouteCost(c, cleanFourBends) < twoEntityRouteCost(c, {{100, 30}, {300, 30}}));
    }

    void detourPenalty_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<QRectF>("a");
        QTest::addColumn<QRectF>("b");
        QTest::addColumn<QPointF>("p");
        QTest::addColumn<QPointF>("q");
        QTest::addColumn<Route>("route");
        QTest::addColumn<double>("expected");
        const QRectF a(0, 0, 100, 60);
        const QRectF stacked(0, 200, 100, 60);
        const QRectF beside(300, 0, 100, 60);
        // Left slots of a stacked pair: the midpoint (y 130) equals the
        // pair's centre, so the wanted bulge is downward (positive).
        QTest::newRow("left, stacked, bulge left is no y bulge") << 0 << a << stacked << QPointF(0, 30) << QPointF(0, 230)
            << Route{{0, 30}, {-26, 30}, {-26, 230}, {0, 230}} << 0.0;
        // Left slots of a side-by-side pair bulging up although the slots lie
        // low: 1600.
        QTest::newRow("left, beside, bulge up, slots low") << 0 << a << beside << QPointF(0, 50) << QPointF(300, 50)
            << Route{{0, 50}, {-26, 50}, {-26, -40}, {274, -40}, {274, 50}, {300, 50}} << 1600.0;
        QTest::newRow("left, beside, bulge down, slots low") << 0 << a << beside << QPointF(0, 50) << QPointF(300, 50)
            << Route{{0, 50}, {-26, 50}, {-26, 100}, {274, 100}, {274, 50}, {300, 50}} << 0.0;
        // Top slots of a stacked, horizontally overlapping pair: x test.
        QTest::newRow("top, stacked, bulge right, slots left") << 2 << a << stacked << QPointF(20, 0) << QPointF(20, 200)
            << Route{{20, 0}, {20, -26}, {140, -26}, {140, 174}, {20, 174}, {20, 200}} << 1600.0;
        // Unknown side: no penalty.
        QTest::newRow("unknown side") << 9 << a << beside << QPointF(0, 50) << QPointF(300, 50)
            << Route{{0, 50}, {-26, 50}, {-26, -40}, {274, -40}, {274, 50}, {300, 50}} << 0.0;
        // Within 2 on both sides: no bulge.
        QTest::newRow("balanced") << 0 << a << beside << QPointF(0, 50) << QPointF(300, 50)
            << Route{{0, 50}, {-26, 50}, {-26, -10}, {-30, -10}, {-30, 71}, {300, 71}} << 0.0;
    }
    void detourPenalty()
    {
        QFETCH(int, side);
        QFETCH(QRectF, a);
        QFETCH(QRectF, b);
        QFETCH(QPointF, p);
        QFETCH(QPointF, q);
        QFETCH(Route, route);
        QFETCH(double, expected);
        QCOMPARE(detourSidePenalty(route, side, p, q, a, b), expected);
    }

    void lanes_data()
    {
        QTest::addColumn<QList<QRectF>>("obstacles");
        QTest::addColumn<double>("above");
        QTest::addColumn<double>("below");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        // U = (100, 100, 200, 100).
        QTest::newRow("none: 36 away") << QList<QRectF>{} << 64.0 << 236.0 << 64.0 << 336.0;
        QTest::newRow("gap 40: half-way") << QList<QRectF>{QRectF(150, 0, 50, 60), QRectF(150, 240, 50, 60), QRectF(0, 120, 60, 20), QRectF(340, 120, 60, 20)}
                                          << 80.0 << 220.0 << 80.0 << 320.0;
        QTest::newRow("gap 20: at least 12") << QList<QRectF>{QRectF(150, 0, 50, 80), QRectF(150, 220, 50, 60), QRectF(0, 120, 80, 20), QRectF(320, 120, 60, 20)}
                                             << 88.0 << 212.0 << 88.0 << 312.0;
        QTest::newRow("gap 10: ignored") << QList<QRectF>{QRectF(150, 0, 50, 90), QRectF(150, 210, 50, 60), QRectF(0, 120, 90, 20), QRectF(310, 120, 60, 20)}
                                         << 64.0 << 236.0 << 64.0 << 336.0;
        QTest::newRow("gap 100: 36") << QList<QRectF>{QRectF(150, -50, 50, 50), QRectF(150, 300, 50, 60)} << 64.0 << 236.0 << 64.0 << 336.0;
        QTest::newRow("beyond the extent widened by 8") << QList<QRectF>{QRectF(0, 0, 91, 60), QRectF(309, 240, 50, 60)} << 64.0 << 236.0 << 64.0 << 336.0;
        QTest::newRow("within the extent widened by 8") << QList<QRectF>{QRectF(0, 0, 92, 60), QRectF(308, 240, 50, 60)} << 80.0 << 220.0 << 64.0 << 336.0;
        QTest::newRow("nearest lane wins") << QList<QRectF>{QRectF(150, 0, 50, 60), QRectF(220, 30, 50, 40)} << 85.0 << 236.0 << 64.0 << 336.0;
        QTest::newRow("overlapping U is not above it") << QList<QRectF>{QRectF(150, 50, 50, 60)} << 64.0 << 236.0 << 64.0 << 336.0;
    }
    void lanes()
    {
        QFETCH(QList<QRectF>, obstacles);
        QFETCH(double, above);
        QFETCH(double, below);
        QFETCH(double, left);
        QFETCH(double, right);
        const QRectF u(100, 100, 200, 100);
        for (bool indexed : {false, true}) {
            QList<QRectF> rects = obstacles;
            if (indexed)
                rects += farAway(40);
            const ObstacleSet set(rects, indexed);
            QCOMPARE(set.isIndexed(), indexed);
            QCOMPARE(laneAbove(u, set), above);
            QCOMPARE(laneBelow(u, set), below);
            QCOMPARE(laneLeft(u, set), left);
            QCOMPARE(laneRight(u, set), right);
        }
    }

    void laneSearchWithoutSlots()
    {
        // Without slot points the lane search places them toward the other
        // entity's centre: straight across between facing sides.
        const Route r = laneSearchRoute(QRectF(0, 0, 100, 60), QRectF(300, 0, 100, 60), 1, 0, {});
        QVERIFY2(identicalRoute(r, {{100, 30}, {300, 30}}), describe(r));
        // Two right sides side by side have no usable lane route.
        QVERIFY(laneSearchRoute(QRectF(0, 0, 100, 60), QRectF(300, 0, 100, 60), 1, 1, {}).isEmpty());
    }

    void fitKeepsOrReroutes()
    {
        Layout l;
        l.from = QRectF(0, 0, 100, 60);
        l.to = QRectF(300, 100, 100, 60);
        l.fromSlot = QPointF(100, 30);
        l.toSlot = QPointF(300, 130);
        const EntityRouteRequest request = requestFor(l);
        // Ends within 0.5 of the slots and right-angled: kept (simplified).
        const Route stored = {{100.4, 30}, {150, 30}, {200, 30}, {200, 130}, {300.3, 130}};
        const Route kept = fitRouteToEntities(stored, request);
        QVERIFY2(identicalRoute(kept, {{100.4, 30}, {200, 30}, {200, 130}, {300.3, 130}}), describe(kept));
        // An end 1 away from its slot: routed afresh.
        const Route moved = {{101, 30}, {200, 30}, {200, 130}, {300, 130}};
        QVERIFY(identicalRoute(fitRouteToEntities(moved, request), routeTwoEntities(request)));
        // A diagonal route: routed afresh.
        QVERIFY(identicalRoute(fitRouteToEntities({{100, 30}, {300, 130}}, request), routeTwoEntities(request)));
        // Fewer than two points: nothing to store.
        QVERIFY(fitRouteToEntities({{100, 30}}, request).isEmpty());
    }

    void quickStraight()
    {
        const QPointF a(100, 60), b(100.3, 300);
        QVERIFY(identicalRoute(quickStraightRoute(a, b, {}), {a, b}));
        QVERIFY(quickStraightRoute(a, b, {QRectF(50, 150, 100, 60)}).isEmpty());
        // Beside the corridor by more than 2: not blocking.
        QVERIFY(!quickStraightRoute(a, b, {QRectF(103, 150, 100, 60)}).isEmpty());
        // Within 2 of the corridor: blocking.
        QVERIFY(quickStraightRoute(a, b, {QRectF(101.5, 150, 100, 60)}).isEmpty());
        // Horizontal case.
        QVERIFY(!quickStraightRoute({0, 50}, {300, 50.2}, {QRectF(100, 60, 50, 50)}).isEmpty());
        QVERIFY(quickStraightRoute({0, 50}, {300, 50.2}, {QRectF(100, 40, 50, 50)}).isEmpty());
        // Not lined up.
        QVERIFY(quickStraightRoute({0, 0}, {10, 10}, {}).isEmpty());
    }

    // Properties over thousands of generated layouts.
    void generatedLayouts()
    {
        LayoutGenerator gen(20261209);
        int routed = 0, cleanExpected = 0, clean = 0, withObstacles = 0, manyBends = 0;
        for (int i = 0; i < 6000; ++i) {
            const Layout l = gen.layout(i % 3 == 0 ? 3 : 12, 900, 700);
            const EntityRouteRequest request = requestFor(l);
            const Route route = routeTwoEntities(request);
            QByteArray where = "layout " + QByteArray::number(i) + ": " + describe(route);
            where += QString(" from (%1 %2 %3 %4) side %5 to (%6 %7 %8 %9) side %10 obstacles %11")
                         .arg(l.from.x()).arg(l.from.y()).arg(l.from.width()).arg(l.from.height()).arg(l.fromSide)
                         .arg(l.to.x()).arg(l.to.y()).arg(l.to.width()).arg(l.to.height()).arg(l.toSide)
                         .arg(l.obstacles.size()).toUtf8();
            ++routed;
            withObstacles += l.obstacles.isEmpty() ? 0 : 1;

            QVERIFY2(route.size() >= 2, where);
            QVERIFY2(allFinite(route), where);
            QVERIFY2(route.first() == l.fromSlot && route.last() == l.toSlot, where);
            QVERIFY2(isRouteAxisAligned(route), where);
            QVERIFY2(leavesOutwardFrom(l.fromSide, route[0], route[1]), where);
            QVERIFY2(leavesOutwardFrom(l.toSide, route[route.size() - 1], route[route.size() - 2]), where);

            const QList<QRectF> ends = {insetObstacleRect(l.from), insetObstacleRect(l.to)};
            if (someCandidateIsClean(request)) {
                ++cleanExpected;
                QVERIFY2(countObstacleHits(route, request.obstacles) == 0, where);
                QVERIFY2(countRouteHits(route, request.obstacles, ends) == 0, where);
            }
            if (countObstacleHits(route, request.obstacles) == 0)
                ++clean;
            if (countRouteBends(route) > 5)
                ++manyBends;

            if (i < 12 && !svgDirectory().isEmpty()) {
                QDir().mkpath(svgDirectory());
                writeLayoutSvg(svgDirectory() + QString("/generated-%1.svg").arg(i),
                               QString("generated %1").arg(i), l.from, l.to, l.obstacles, route);
            }
        }
        qInfo("%d layouts (%d with obstacles); a clean candidate existed for %d; %d routes clean, %d of more than 5 bends",
              routed, withObstacles, cleanExpected, clean, manyBends);
        QVERIFY(cleanExpected > routed / 2);
        // The search of last resort weaves round every entity near the
        // straight way unless its path is straightened: few routes need more
        // than five bends.
        QVERIFY2(manyBends * 100 <= routed, qPrintable(QString::number(manyBends)));
    }

    // Crowded layouts give the same route to the last bit whether the
    // obstacles are indexed or scanned.
    void indexedObstaclesChangeNothing()
    {
        LayoutGenerator gen(7);
        for (int i = 0; i < 1500; ++i) {
            const Layout l = gen.layout(90, 1600, 1200);
            const EntityRouteRequest scanned = requestFor(l, false);
            const EntityRouteRequest indexed = requestFor(l, true);
            const Route a = routeTwoEntities(scanned);
            const Route b = routeTwoEntities(indexed);
            QVERIFY2(identicalRoute(a, b), "layout " + QByteArray::number(i) + ": " + describe(a) + " / " + describe(b));
            // The counters agree on arbitrary routes too.
            const Route probe = {l.fromSlot, QPointF(l.fromSlot.x(), l.toSlot.y()), l.toSlot};
            QCOMPARE(countObstacleHits(probe, indexed.obstacles), countObstacleHits(probe, scanned.obstacles));
        }
    }

    // An edge gathers only the entities that meet routeObstacleRegion; in
    // crowded diagrams that must give exactly the route (and the side
    // choice) that all of the entities give.
    void obstacleRegionChangesNothing()
    {
        LayoutGenerator gen(424242);
        int leftOut = 0;
        for (int i = 0; i < 1500; ++i) {
            const Layout l = gen.layout(120, 2400, 1800);
            const QRectF region = routeObstacleRegion(l.from, l.to);
            Layout near = l;
            near.obstacles.clear();
            for (const QRectF& r : l.obstacles) {
                if (r.intersects(region))
                    near.obstacles.append(r);
            }
            leftOut += static_cast<int>(l.obstacles.size() - near.obstacles.size());
            const Route all = routeTwoEntities(requestFor(l));
            const Route some = routeTwoEntities(requestFor(near));
            QVERIFY2(identicalRoute(all, some),
                     "layout " + QByteArray::number(i) + ": " + describe(all) + " / " + describe(some));
            if (i % 10 == 0) {
                const ObstacleSet allSet = ObstacleSet::fromEntityRects(l.obstacles);
                const ObstacleSet someSet = ObstacleSet::fromEntityRects(near.obstacles);
                QCOMPARE(chooseBestSidePair(l.from, l.to, someSet), chooseBestSidePair(l.from, l.to, allSet));
            }
        }
        // The region really leaves most of a large diagram out.
        QVERIFY(leftOut > 1500 * 20);
    }

    // Odd input never hangs or crashes the router, and both ends present
    // always give a route.
    void degenerateInputs_data()
    {
        QTest::addColumn<QRectF>("from");
        QTest::addColumn<QRectF>("to");
        QTest::addColumn<int>("fromSide");
        QTest::addColumn<int>("toSide");
        QTest::addColumn<QPointF>("p");
        QTest::addColumn<QPointF>("q");
        QTest::addColumn<bool>("finite");
        const QRectF a(0, 0, 100, 60);
        QTest::newRow("same rectangle") << a << a << 1 << 0 << QPointF(100, 30) << QPointF(0, 30) << true;
        QTest::newRow("same slot") << a << a << 1 << 1 << QPointF(100, 30) << QPointF(100, 30) << true;
        QTest::newRow("empty rectangles") << QRectF(5, 5, 0, 0) << QRectF(50, 50, 0, 0) << 1 << 0 << QPointF(5, 5) << QPointF(50, 50) << true;
        QTest::newRow("far away") << a << QRectF(1e9, -1e9, 100, 60) << 3 << 2 << QPointF(50, 60) << QPointF(1e9 + 50, -1e9) << true;
        QTest::newRow("unknown sides") << a << QRectF(300, 0, 100, 60) << -3 << 12 << QPointF(100, 30) << QPointF(300, 30) << true;
        QTest::newRow("not-a-number slot") << a << QRectF(300, 0, 100, 60) << 1 << 0 << QPointF(qQNaN(), 30) << QPointF(300, 30) << false;
        QTest::newRow("infinite rectangle") << QRectF(0, 0, qInf(), 60) << QRectF(300, 0, 100, 60) << 1 << 0 << QPointF(100, 30) << QPointF(300, 30) << false;
    }
    void degenerateInputs()
    {
        QFETCH(QRectF, from);
        QFETCH(QRectF, to);
        QFETCH(int, fromSide);
        QFETCH(int, toSide);
        QFETCH(QPointF, p);
        QFETCH(QPointF, q);
        QFETCH(bool, finite);
        EntityRouteRequest r;
        r.from = p;
        r.to = q;
        r.fromSide = fromSide;
        r.toSide = toSide;
        r.fromRect = from;
        r.toRect = to;
        r.obstacles = ObstacleSet::fromEntityRects(farAway(30) << QRectF(40, 40, 30, 30));
        const Route route = routeTwoEntities(r);
        QVERIFY(route.size() >= 2);
        if (finite) {
            QVERIFY2(allFinite(route), describe(route));
            QVERIFY2(isRouteAxisAligned(route), describe(route));
            QCOMPARE(route.first(), p);
            QCOMPARE(route.last(), q);
        }
        laneSearchRoute(from, to, fromSide, toSide, r.obstacles);
        int hits = 0;
        double cost = 0.0;
        evaluateSidePair(from, to, r.obstacles, fromSide, toSide, &hits, &cost);
    }

    void obstacleSetViews()
    {
        QList<QRectF> rects = farAway(30);
        rects[3] = QRectF(0, 0, 10, 10);
        rects[7] = QRectF(5, 5, 10, 10);
        const ObstacleSet all(rects);
        QVERIFY(all.isIndexed());
        QCOMPARE(all.count(), 30);
        int seen = 0;
        all.forEachIn(QRectF(0, 0, 20, 20), [&](const QRectF&) { ++seen; });
        QCOMPARE(seen, 2);
        const ObstacleSet view = all.excluding(3, 7);
        QCOMPARE(view.count(), 28);
        seen = 0;
        view.forEachIn(QRectF(0, 0, 20, 20), [&](const QRectF&) { ++seen; });
        QCOMPARE(seen, 0);
        QCOMPARE(all.excluding(3, 3).count(), 29);
        QCOMPARE(view.toList().size(), 28);
        // A region touching a rectangle's border counts.
        seen = 0;
        all.forEachIn(QRectF(15, 15, 5, 5), [&](const QRectF&) { ++seen; });
        QCOMPARE(seen, 1);
        // Non-finite rectangles do not break the set; it scans instead.
        QList<QRectF> odd = farAway(30);
        odd.append(QRectF(qQNaN(), 0, 10, 10));
        const ObstacleSet scanned(odd);
        QVERIFY(!scanned.isIndexed());
        QCOMPARE(countObstacleHits({{100050, -50}, {100050, 200000}}, scanned), 4);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestEntityRouter)
#include "tst_entityrouter.moc"
