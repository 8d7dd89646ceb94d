// The scene-free halves of automatic layout: groups, packing and centring
// of a whole diagram's nodes, the separation of parallel route segments and
// the spreading of slots along a side.

#include "common/testmain.h"
#include "layout/componentlayout.h"
#include "layout/crossingswaps.h"
#include "layout/diagramlayout.h"
#include "layout/entityrectindex.h"
#include "layout/layoutquality.h"
#include "layout/parallelmap.h"
#include "layout/routepreview.h"
#include "layout/routeseparation.h"
#include "layout/slotspread.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// count boxes of random widths, each with up to rows rows.
LayoutNodes randomBoxes(QRandomGenerator& random, int count, int rows)
{
    LayoutNodes nodes(count);
    for (LayoutNode& node : nodes) {
        node.width = 140 + random.bounded(150);
        node.height = 46 + 18 * random.bounded(rows);
    }
    return nodes;
}

// The plain placement of one group: the component layout, then the swaps.
LayoutNodes plainPlacement(LayoutNodes nodes, const LayoutEdges& edges)
{
    layoutComponent(nodes, edges);
    reduceCrossingsBySwaps(nodes, edges, 52.0, 40.0);
    return nodes;
}

// Several groups of random shape and size, with isolated nodes, repeated
// relationships and self-relations among them.
void randomDiagram(quint32 seed, int n, LayoutNodes& nodes, LayoutEdges& edges)
{
    QRandomGenerator random(seed);
    nodes = LayoutNodes(n);
    for (LayoutNode& node : nodes) {
        node.x = random.bounded(4000);
        node.y = random.bounded(3000);
        node.width = 140 + random.bounded(150);
        node.height = 46 + 18 * random.bounded(10);
    }
    edges.clear();
    for (int i = 1; i < n; ++i) {
        if (random.bounded(4) != 0)
            edges.append({i - 1 - random.bounded(std::min(i, 6)), i});
    }
    for (int extra = 0; extra < n / 5; ++extra) {
        const int a = random.bounded(n);
        edges.append({a, random.bounded(3) == 0 ? a : std::max(0, a - random.bounded(4))});
    }
}

double gapBetween(const QRectF& a, const QRectF& b)
{
    const double dx = std::max(a.left() - b.right(), b.left() - a.right());
    const double dy = std::max(a.top() - b.bottom(), b.top() - a.bottom());
    return std::max(dx, dy);
}

} // namespace

class TestDiagramLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void componentsInDiscoveryOrder()
    {
        // 0-3-1 and 2, 4-5 (twice), a self-relation on 2, one bad index.
        const LayoutEdges edges{{3, 1}, {0, 3}, {2, 2}, {5, 4}, {4, 5}, {4, 9}};
        const QList<LayoutComponent> components = findLayoutComponents(6, edges);
        QCOMPARE(components.size(), 3);
        QCOMPARE(components.at(0).members, (QList<int>{0, 3, 1}));
        QCOMPARE(components.at(1).members, (QList<int>{2}));
        QCOMPARE(components.at(2).members, (QList<int>{4, 5}));
    }

    // Entities without relationships: one row after another, tallest first,
    // 150 apart, the whole centred on the given point.
    void isolatedNodesPackedTallestFirst()
    {
        LayoutNodes nodes(4);
        const double heights[4] = {50, 120, 80, 120};
        for (int i = 0; i < 4; ++i) {
            nodes[i].width = 200;
            nodes[i].height = heights[i];
        }
        const QList<LayoutComponent> packed = layoutDiagramNodes(nodes, {}, QPointF(1000, -500));
        QCOMPARE(packed.size(), 4);
        // area 74000: rows limited to 1.2 x sqrt = 326.4, so one per row.
        QCOMPARE(packed.at(0).members.first(), 1);
        QCOMPARE(packed.at(1).members.first(), 3);
        QCOMPARE(packed.at(2).members.first(), 2);
        QCOMPARE(packed.at(3).members.first(), 0);
        QCOMPARE(nodes.at(1).y + 60 + 150, nodes.at(3).y - 60);
        QCOMPARE(nodes.at(3).y + 60 + 150, nodes.at(2).y - 40);
        QCOMPARE(nodes.at(2).y + 40 + 150, nodes.at(0).y - 25);
        QCOMPARE(nodesBoundingRect(nodes).center(), QPointF(1000, -500));
    }

    void widerThanTheRowStandsAlone()
    {
        QList<LayoutComponent> components(3);
        components[0].bounds = QRectF(0, 0, 2000, 100);
        components[1].bounds = QRectF(0, 0, 100, 50);
        components[2].bounds = QRectF(0, 0, 100, 50);
        packComponents(components);
        QCOMPARE(components.at(0).offset, QPointF(0, 0));
        // The limit is the widest group: the next two share the second row.
        QCOMPARE(components.at(1).offset, QPointF(0, 250));
        QCOMPARE(components.at(2).offset, QPointF(250, 250));
    }

    // Whatever the diagram: nodes never overlap, groups keep 150 apart, the
    // centre is kept, and the same input gives the same positions.
    void generatedDiagrams_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("count");
        for (int count : {2, 7, 30, 80, 160}) {
            for (quint32 seed : {3u, 11u})
                QTest::addRow("%d nodes, seed %u", count, seed) << seed << count;
        }
    }
    void generatedDiagrams()
    {
        QFETCH(quint32, seed);
        QFETCH(int, count);
        LayoutNodes nodes;
        LayoutEdges edges;
        randomDiagram(seed, count, nodes, edges);
        LayoutNodes again = nodes;
        const QPointF centre(-321.5, 77.25);
        const QList<LayoutComponent> components = layoutDiagramNodes(nodes, edges, centre);
        layoutDiagramNodes(again, edges, centre);
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            QCOMPARE(again.at(i).x, nodes.at(i).x);
            QCOMPARE(again.at(i).y, nodes.at(i).y);
        }
        const QPointF middle = nodesBoundingRect(nodes).center();
        QVERIFY(std::abs(middle.x() - centre.x()) < 1e-6 && std::abs(middle.y() - centre.y()) < 1e-6);
        for (qsizetype a = 0; a < nodes.size(); ++a) {
            for (qsizetype b = a + 1; b < nodes.size(); ++b)
                QVERIFY2(!nodes.at(a).rect().intersects(nodes.at(b).rect()),
                         qPrintable(QStringLiteral("%1 and %2 overlap").arg(a).arg(b)));
        }
        QList<QRectF> placed;
        for (const LayoutComponent& c : components) {
            LayoutNodes members;
            for (int m : c.members)
                members.append(nodes.at(m));
            placed.append(nodesBoundingRect(members));
        }
        for (qsizetype a = 0; a < placed.size(); ++a) {
            for (qsizetype b = a + 1; b < placed.size(); ++b)
                QVERIFY(gapBetween(placed.at(a), placed.at(b)) >= ComponentGap - 1e-6);
        }
    }

    // The preview sees two lines that have to cross, and none where two
    // pairs stand side by side.
    void previewCountsCrossings_data()
    {
        QTest::addColumn<QList<QPointF>>("centres");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        // Edges join 0 with 1 and 2 with 3.
        QTest::addRow("side by side") << QList<QPointF>{{0, 0}, {500, 0}, {0, 300}, {500, 300}} << 0 << 0;
        QTest::addRow("crossed") << QList<QPointF>{{0, 0}, {700, 420}, {450, 40}, {-150, 380}} << 1 << 2;
    }

    void previewCountsCrossings()
    {
        QFETCH(QList<QPointF>, centres);
        QFETCH(int, least);
        QFETCH(int, most);
        LayoutNodes nodes;
        for (const QPointF& c : centres) {
            LayoutNode node;
            node.x = c.x();
            node.y = c.y();
            node.width = 150;
            node.height = 80 + 10 * nodes.size();
            nodes.append(node);
        }
        const int crossings = previewRouteCrossings(nodes, {{0, 1}, {2, 3}, {1, 1}, {0, 9}});
        QVERIFY2(crossings >= least && crossings <= most, qPrintable(QString::number(crossings)));
    }

    // A group tried in several ways never ends with more previewed
    // crossings than its plain placement: the hub layout followed by the
    // swaps.
    void triedPlacementsCrossNoMore_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("count");
        for (int count : {12, 30, 60}) {
            for (quint32 seed : {5u, 8u, 13u})
                QTest::addRow("%d nodes, seed %u", count, seed) << seed << count;
        }
    }

    void triedPlacementsCrossNoMore()
    {
        QFETCH(quint32, seed);
        QFETCH(int, count);
        // One connected group with a few busy nodes.
        QRandomGenerator random(seed);
        LayoutNodes nodes = randomBoxes(random, count, 10);
        LayoutEdges edges;
        for (int i = 1; i < count; ++i)
            edges.append({random.bounded(3) == 0 ? random.bounded(i) : random.bounded(std::min(i, 3)), i});
        for (int extra = 0; extra < count / 3; ++extra)
            edges.append({random.bounded(count), random.bounded(count)});
        const LayoutNodes plain = plainPlacement(nodes, edges);
        layoutDiagramNodes(nodes, edges, QPointF());
        QVERIFY(previewRouteCrossings(nodes, edges) <= previewRouteCrossings(plain, edges));
    }

    // Small groups without hubs, placed by forces: where the plain start
    // leaves crossing routes, other starts are tried, so that over many
    // such groups far fewer routes cross (not a tenth of those of the plain
    // placement followed by the swaps).
    void smallGroupsTryOtherStarts()
    {
        QRandomGenerator random(29);
        int plainCrossings = 0;
        int triedCrossings = 0;
        for (int round = 0; round < 60; ++round) {
            const int count = 4 + random.bounded(5);
            LayoutNodes nodes = randomBoxes(random, count, 8);
            LayoutEdges edges;
            for (int i = 1; i < count; ++i)
                edges.append({i, random.bounded(i)});
            for (int extra = 0; extra < count * 3 / 10 + 1; ++extra) {
                const int a = random.bounded(count);
                const int b = random.bounded(count);
                if (a != b)
                    edges.append({a, b});
            }
            LayoutNodes probe = nodes;
            buildAdjacency(probe, edges);
            if (!findHubs(probe).isEmpty())
                continue;
            LayoutNodes plain = plainPlacement(nodes, edges);
            const QPointF centre = nodesBoundingRect(plain).center();
            for (LayoutNode& node : plain) {
                node.x -= centre.x();
                node.y -= centre.y();
            }
            layoutDiagramNodes(nodes, edges, QPointF());
            plainCrossings += previewRouteCrossings(plain, edges);
            triedCrossings += previewRouteCrossings(nodes, edges);
        }
        QVERIFY2(10 * triedCrossings < plainCrossings, qPrintable(QStringLiteral("%1 and %2").arg(triedCrossings).arg(plainCrossings)));
    }

    // In a group too large to try its swaps one after another, the swaps
    // run in rounds: the likely routes cross less than before, no two boxes
    // come nearer than the gaps, and the same group always ends the same.
    void largeGroupSwapsInRounds_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("count");
        QTest::addRow("150 nodes") << 4u << 150;
        QTest::addRow("400 nodes") << 9u << 400;
    }
    void largeGroupSwapsInRounds()
    {
        QFETCH(quint32, seed);
        QFETCH(int, count);
        QRandomGenerator random(seed);
        LayoutNodes nodes = randomBoxes(random, count, 10);
        LayoutEdges edges;
        for (int i = 1; i < count; ++i)
            edges.append({i, random.bounded(3) == 0 ? random.bounded(std::min(i, 4)) : random.bounded(i)});
        for (int extra = 0; extra < count * 3 / 10; ++extra) {
            const int a = random.bounded(count);
            edges.append({a, std::max(0, a - 1 - random.bounded(20))});
        }
        layoutComponent(nodes, edges);
        const int before = estimateLikelyCrossings(nodes, edges);
        LayoutNodes again = nodes;
        reduceCrossingsBySwaps(nodes, edges, 52.0, 40.0);
        reduceCrossingsBySwaps(again, edges, 52.0, 40.0);
        const int after = estimateLikelyCrossings(nodes, edges);
        QVERIFY2(after < before, qPrintable(QStringLiteral("%1 before, %2 after").arg(before).arg(after)));
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            QCOMPARE(again.at(i).x, nodes.at(i).x);
            QCOMPARE(again.at(i).y, nodes.at(i).y);
        }
        for (qsizetype a = 0; a < nodes.size(); ++a) {
            for (qsizetype b = a + 1; b < nodes.size(); ++b) {
                const LayoutNode& p = nodes.at(a);
                const LayoutNode& q = nodes.at(b);
                QVERIFY2(std::abs(p.x - q.x) >= (p.width + q.width) / 2.0 + 52.0 - 1e-6
                             || std::abs(p.y - q.y) >= (p.height + q.height) / 2.0 + 40.0 - 1e-6,
                         qPrintable(QStringLiteral("%1 and %2 too near").arg(a).arg(b)));
            }
        }
    }

    // The index answers exactly as a scan of the rectangles would, order
    // and exclusions included, for any rectangles and regions.
    // Maps made from the work of another map share its threads: the answers
    // are those of plain loops, and an inner map never waits for a thread
    // that the outer one holds.
    void nestedParallelMaps()
    {
        auto inner = [](qsizetype i) {
            const std::vector<qsizetype> parts = mapInParallel<qsizetype>(64, [i](qsizetype j) { return i * j; });
            return std::accumulate(parts.begin(), parts.end(), qsizetype(0));
        };
        const std::vector<qsizetype> sums = mapInParallel<qsizetype>(200, inner);
        QCOMPARE(qsizetype(sums.size()), qsizetype(200));
        for (qsizetype i = 0; i < 200; ++i)
            QCOMPARE(sums[static_cast<size_t>(i)], i * (63 * 64 / 2));
    }

    void rectIndexMatchesAScan()
    {
        QRandomGenerator random(17);
        for (int round = 0; round < 40; ++round) {
            const int count = random.bounded(1, 300);
            QList<const void*> keys;
            QList<QRectF> rects;
            std::vector<int> owners(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                keys.append(&owners[static_cast<size_t>(i)]);
                rects.append(QRectF(random.bounded(-3000, 3000), random.bounded(-2000, 2000),
                                    random.bounded(1, 400), random.bounded(1, 300)));
            }
            EntityRectIndex index;
            index.build(keys, rects);
            for (int q = 0; q < 50; ++q) {
                const QRectF region(random.bounded(-4000, 4000), random.bounded(-3000, 3000),
                                    random.bounded(0, 3000), random.bounded(0, 2000));
                const void* a = keys.at(random.bounded(count));
                const void* b = q % 3 == 0 ? nullptr : keys.at(random.bounded(count));
                QList<QRectF> scan;
                for (int i = 0; i < count; ++i) {
                    if (keys.at(i) != a && keys.at(i) != b && region.intersects(rects.at(i)))
                        scan.append(rects.at(i));
                }
                QCOMPARE(index.rectsIn(region, a, b), scan);
            }
        }
        EntityRectIndex empty;
        empty.build({}, {});
        QVERIFY(empty.rectsIn(QRectF(0, 0, 100, 100)).isEmpty());

        // Regions far beyond the grid, over all of it or undefined, among
        // rectangles near each other, or too far apart for doubles and
        // undefined; compared bit for bit (an undefined one equals nothing).
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const QList<QList<QRectF>> sets{{QRectF(0, 0, 100, 50), QRectF(200, 0, 100, 50), QRectF(0, 200, 100, 50)},
                                        {QRectF(-1.7e308, 0, 100, 50), QRectF(1.7e308, 0, 100, 50), QRectF(nan, 0, 9, 9)}};
        const int owners[3] = {};
        const QList<const void*> keys{&owners[0], &owners[1], &owners[2]};
        auto bits = [](const QList<QRectF>& l) {
            return QByteArray(reinterpret_cast<const char*>(l.constData()), l.size() * qsizetype(sizeof(QRectF)));
        };
        for (const QList<QRectF>& rects : sets) {
            EntityRectIndex index;
            index.build(keys, rects);
            for (const QRectF& region : {QRectF(1e12, 1e12, 9, 9), QRectF(-1e12, -1e12, 2e12, 2e12), QRectF(nan, 0, 9, 9)}) {
                QList<QRectF> scan;
                std::copy_if(rects.cbegin(), rects.cend(), std::back_inserter(scan), [&](const QRectF& r) { return region.intersects(r); });
                QCOMPARE(bits(index.rectsIn(region)), bits(scan));
            }
        }
    }

    // Swaps among boxes too far apart for the cells of a grid to number:
    // the boxes only trade places, and the likely routes cross no more.
    void swapsOfFarBoxes()
    {
        LayoutNodes nodes(3, LayoutNode{});
        nodes[1].x = 1e20;
        nodes[2].x = -1e20;
        nodes[2].y = 100;
        for (LayoutNode& node : nodes)
            node.width = node.height = 50;
        const LayoutEdges edges{{0, 1}, {1, 2}, {0, 2}};
        const LayoutNodes before = nodes;
        const int crossings = estimateLikelyCrossings(nodes, edges);
        reduceCrossingsBySwaps(nodes, edges, 52.0, 40.0);
        QVERIFY(estimateLikelyCrossings(nodes, edges) <= crossings);
        for (const LayoutNode& node : std::as_const(nodes))
            QVERIFY(std::any_of(before.cbegin(), before.cend(), [&](const LayoutNode& was) { return was.x == node.x && was.y == node.y; }));
    }

    // Two routes with a vertical inner segment each (x = a and x = b from
    // y 0 to 100, or shifted along by `along`), whose first and last
    // segments lead away from each other (route 0 towards smaller x when a
    // is not right of b), so that they cross nowhere; or, with `facing`,
    // towards each other, so that the two cross unless they trade places.
    void parallelSeparation_data()
    {
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("along");
        QTest::addColumn<bool>("facing");
        QTest::addColumn<double>("aAfter");
        QTest::addColumn<double>("bAfter");
        QTest::newRow("10 apart end 14 apart") << 100.0 << 110.0 << 0.0 << false << 98.0 << 112.0;
        QTest::newRow("order does not matter") << 110.0 << 100.0 << 0.0 << false << 112.0 << 98.0;
        QTest::newRow("1 apart") << 50.0 << 51.0 << 0.0 << false << 43.5 << 57.5;
        QTest::newRow("nearly on top") << 50.0 << 50.3 << 0.0 << false << 43.15 << 57.15;
        QTest::newRow("on one line: the first goes left") << 50.0 << 50.0 << 0.0 << false << 43.0 << 57.0;
        QTest::newRow("14 apart: left alone") << 50.0 << 64.0 << 0.0 << false << 50.0 << 64.0;
        QTest::newRow("overlapping along") << 50.0 << 60.0 << 90.0 << false << 48.0 << 62.0;
        QTest::newRow("touching ends: left alone") << 50.0 << 60.0 << 100.0 << false << 50.0 << 60.0;
        QTest::newRow("facing: they trade places") << 100.0 << 110.0 << 0.0 << true << 112.0 << 98.0;
        QTest::newRow("facing on one line") << 50.0 << 50.0 << 0.0 << true << 57.0 << 43.0;
        QTest::newRow("facing, overlapping along") << 50.0 << 60.0 << 50.0 << true << 62.0 << 48.0;
    }
    void parallelSeparation()
    {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, along);
        QFETCH(bool, facing);
        QFETCH(double, aAfter);
        QFETCH(double, bAfter);
        const double away = (a <= b ? -50.0 : 50.0) * (facing ? -1.0 : 1.0);
        QList<RoutePoints> routes{
            {{a + away, -50}, {a, -50}, {a, 100}, {a + away, 100}},
            {{b - away, along}, {b, along}, {b, along + 100}, {b - away, along + 100}},
        };
        const QList<RoutePoints> before = routes;
        separateParallelSegments(routes);
        QCOMPARE(routes.at(0).at(1).x(), aAfter);
        QCOMPARE(routes.at(0).at(2).x(), aAfter);
        QCOMPARE(routes.at(1).at(1).x(), bAfter);
        QCOMPARE(routes.at(1).at(2).x(), bAfter);
        // The end points (first and last segments' outer ends) never move.
        QCOMPARE(routes.at(0).first(), before.at(0).first());
        QCOMPARE(routes.at(0).last(), before.at(0).last());
        QCOMPARE(routes.at(1).first(), before.at(1).first());
        QCOMPARE(routes.at(1).last(), before.at(1).last());
        QCOMPARE(countRouteCrossings({{routes.at(0), 0, 1}, {routes.at(1), 2, 3}}), 0);
    }

    // An inner segment beside another route's first segment, which holds a
    // slot, moves the whole way itself.
    void innerSegmentLeavesAnEndSegment()
    {
        QList<RoutePoints> routes{{{50, 0}, {50, 100}, {200, 100}}, {{0, 20}, {55, 20}, {55, 80}, {100, 80}}};
        separateParallelSegments(routes);
        QCOMPARE(routes.at(0), (RoutePoints{{50, 0}, {50, 100}, {200, 100}}));
        QCOMPARE(routes.at(1), (RoutePoints{{0, 20}, {64, 20}, {64, 80}, {100, 80}}));
    }

    // Three tracks 10 apart: each pass parts neighbours to 14 in pair
    // order, and the four passes leave them nearly, not exactly, 14 apart.
    void fourPassesOverThreeTracks()
    {
        QList<RoutePoints> routes;
        for (double x : {100.0, 110.0, 120.0})
            routes.append({{0, 0}, {x, 0}, {x, 300}, {500, 300}});
        separateParallelSegments(routes);
        const double after[3] = {96.03125, 109.984375, 123.984375};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(routes.at(i).at(1).x(), after[i]);
            QCOMPARE(routes.at(i).at(2).x(), after[i]);
        }
    }

    // Two segments on one line beside an entity: moving apart evenly would
    // put one into it, so the other moves the whole way.
    void separationPassesBesideAnEntity()
    {
        QList<RoutePoints> routes{{{0, 0}, {50, 0}, {50, 300}, {100, 300}}, {{0, 10}, {50, 10}, {50, 290}, {100, 290}}};
        const SegmentBlocked entityRight = [](int, const QPointF& a, const QPointF& b) {
            return std::max(a.x(), b.x()) > 52 && std::min(a.y(), b.y()) < 200;
        };
        separateParallelSegments(routes, {}, entityRight);
        QCOMPARE(routes.at(0).at(1).x(), 36.0);
        QCOMPARE(routes.at(1).at(1).x(), 50.0);
    }

    // What the pushing leaves on one line goes to the nearest free line
    // that meets no entity; a first segment goes only where its slot may.
    void nudgeToAFreeLine_data()
    {
        QTest::addColumn<bool>("entityRight");
        QTest::addColumn<RoutePoints>("expected");
        QTest::newRow("free both ways: the first step") << false << RoutePoints{{0, 0}, {108, 0}, {108, 300}, {200, 300}};
        QTest::newRow("entity on the right: the other way") << true << RoutePoints{{0, 0}, {92, 0}, {92, 300}, {200, 300}};
    }
    void nudgeToAFreeLine()
    {
        QFETCH(bool, entityRight);
        QFETCH(RoutePoints, expected);
        QList<RoutePoints> routes{{{0, 0}, {100, 0}, {100, 300}, {200, 300}}, {{0, 20}, {100, 20}, {100, 280}, {180, 280}}};
        const SegmentBlocked blocked = [entityRight](int, const QPointF& a, const QPointF& b) {
            return entityRight && std::max(a.x(), b.x()) > 104 && std::max(a.y(), b.y()) > 10 && std::min(a.y(), b.y()) < 290;
        };
        nudgeCoincidentSegments(routes, {}, blocked);
        QCOMPARE(routes.at(0), expected);
        QCOMPARE(routes.at(1), (RoutePoints{{0, 20}, {100, 20}, {100, 280}, {180, 280}}));
    }

    // A route running 3 along the side of an entity it does not end at moves
    // off it to the first step; one ending at that entity stays, and so does
    // one whose move would cross another route.
    void nudgeOffAnEntitySide_data()
    {
        QTest::addColumn<int>("endsAt");
        QTest::addColumn<bool>("crossingBelow");
        QTest::addColumn<double>("expected");
        QTest::newRow("passing by: moves off") << -1 << false << 111.0;
        QTest::newRow("ending there: stays") << 0 << false << 103.0;
        QTest::newRow("the move would cross: stays") << -1 << true << 103.0;
    }
    void nudgeOffAnEntitySide()
    {
        QFETCH(int, endsAt);
        QFETCH(bool, crossingBelow);
        QFETCH(double, expected);
        // Entity 0 spans x 0..100: the inner segment at y 103 runs along its
        // bottom side from x 10 to 90.
        QList<RoutePoints> routes{{{10, 160}, {10, 103}, {90, 103}, {90, 160}}};
        if (crossingBelow)
            routes.append(RoutePoints{{50, 105}, {50, 140}}); // a route every move below would cut
        const QList<SeparationWall> walls{{{0, 0}, {100, 0}, 0}, {{0, 100}, {100, 100}, 0},
                                          {{0, 0}, {0, 100}, 0}, {{100, 0}, {100, 100}, 0}};
        const SegmentBlocked blocked = [](int, const QPointF& a, const QPointF& b) {
            return std::min(a.y(), b.y()) < 100 && std::max(a.x(), b.x()) > 0 && std::min(a.x(), b.x()) < 100;
        };
        nudgeCoincidentSegments(routes, {}, blocked, {}, NudgeClearance, walls, {{endsAt, 1}, {-1, -1}});
        QCOMPARE(routes.at(0).at(1).y(), expected);
        QCOMPARE(routes.at(0).at(2).y(), expected);
    }

    // A first segment on another route's line moves with its slot, when
    // the slot may go there.
    void nudgeMovesASlot()
    {
        for (bool may : {false, true}) {
            QList<RoutePoints> routes{{{50, 0}, {50, 100}, {200, 100}}, {{0, 20}, {50, 20}, {50, 80}, {100, 80}}};
            nudgeCoincidentSegments(routes, {}, {}, [may](const QList<RoutePoints>&, int route, bool atStart, const QPointF&) {
                return may && route == 0 && atStart;
            });
            QCOMPARE(routes.at(0), may ? (RoutePoints{{58, 0}, {58, 100}, {200, 100}}) : (RoutePoints{{50, 0}, {50, 100}, {200, 100}}));
            QCOMPARE(routes.at(1), may ? (RoutePoints{{0, 20}, {50, 20}, {50, 80}, {100, 80}}) : (RoutePoints{{0, 20}, {58, 20}, {58, 80}, {100, 80}}));
        }
    }

    void slotSpreading_data()
    {
        QTest::addColumn<QList<double>>("wanted");
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<QList<double>>("expected");
        // A side of 60 at y 0: range [7.2, 52.8].
        QTest::newRow("three apart already") << QList<double>{10, 30, 50} << 7.2 << 52.8 << QList<double>{10, 30, 50};
        QTest::newRow("three pushed down") << QList<double>{20, 25, 40} << 7.2 << 52.8 << QList<double>{20, 36, 52};
        // Pushed past the end of the range, with room enough: settled
        // against that end, not spread over the whole side.
        QTest::newRow("three bunched") << QList<double>{30, 30, 30} << 7.2 << 52.8 << QList<double>{20.8, 36.8, 52.8};
        QTest::newRow("three at the bottom")
            << QList<double>{52.8, 52.8, 52.8} << 7.2 << 52.8 << QList<double>{20.8, 36.8, 52.8};
        QTest::newRow("two near the bottom of a long side")
            << QList<double>{171, 171} << 12.0 << 172.0 << QList<double>{156, 172};
        // Five on a side of 50: 63 > 38, spread evenly 9.5 apart.
        QTest::newRow("five on 50") << QList<double>{6, 6, 25, 44, 44} << 6.0 << 44.0
                                    << QList<double>{6, 15.5, 25, 34.5, 44};
        QTest::newRow("one slot stays") << QList<double>{33} << 6.0 << 44.0 << QList<double>{33};
    }
    void slotSpreading()
    {
        QFETCH(QList<double>, wanted);
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(QList<double>, expected);
        const QList<double> positions = spreadSlotPositions(wanted, lo, hi);
        QCOMPARE(positions.size(), expected.size());
        for (qsizetype i = 0; i < positions.size(); ++i)
            QVERIFY2(std::abs(positions.at(i) - expected.at(i)) < 1e-9,
                     qPrintable(QStringLiteral("slot %1 at %2").arg(i).arg(positions.at(i))));
    }

    // Any wanted positions: the slots stay in order within the range, and
    // (nearly) 16 apart whenever the range has room for it.
    void slotSpreadingProperties()
    {
        QRandomGenerator random(5);
        for (int round = 0; round < 500; ++round) {
            const int count = 2 + random.bounded(7);
            const double lo = random.bounded(50);
            const double hi = lo + 10 + random.bounded(200);
            QList<double> wanted;
            for (int i = 0; i < count; ++i)
                wanted.append(lo + random.bounded(hi - lo));
            std::sort(wanted.begin(), wanted.end());
            const QList<double> p = spreadSlotPositions(wanted, lo, hi);
            const bool room = (count - 1) * SlotSpacing - 1 <= hi - lo;
            for (int i = 0; i < count; ++i) {
                QVERIFY(p.at(i) >= lo - 0.5 && p.at(i) <= hi + 0.5);
                if (i > 0) {
                    QVERIFY(p.at(i) > p.at(i - 1));
                    if (room)
                        QVERIFY(p.at(i) - p.at(i - 1) >= SlotSpacing - 1.0 - 1e-9);
                }
            }
        }
    }
};

QUILLMAP_TEST_APPLESS_MAIN(TestDiagramLayout)
#include "tst_diagramlayout.moc"
