// Placement of one connected group: hub choice, the hub layout's rows and
// columns, the force-directed placement and the clean-up passes, all on
// plain node lists.

#include "common/testmain.h"
#include "layout/componentlayout.h"
#include "layout/hublayout.h"
#include "layout/likelyroutes.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {

LayoutNodes makeNodes(int n, double width = 150, double height = 70)
{
    LayoutNodes nodes(n);
    for (LayoutNode& node : nodes) {
        node.width = width;
        node.height = height;
    }
    return nodes;
}

LayoutEdges star(int leaves, int centre = 0)
{
    LayoutEdges edges;
    for (int i = 0, leaf = 0; leaf < leaves; ++i) {
        if (i == centre)
            continue;
        edges.append({centre, i});
        ++leaf;
    }
    return edges;
}

LayoutEdges chain(int n)
{
    LayoutEdges edges;
    for (int i = 0; i + 1 < n; ++i)
        edges.append({i, i + 1});
    return edges;
}

// A connected graph: a random spanning tree plus extra edges, sizes varied.
void randomGraph(quint32 seed, int n, LayoutNodes& nodes, LayoutEdges& edges)
{
    QRandomGenerator random(seed);
    nodes = LayoutNodes(n);
    for (LayoutNode& node : nodes) {
        node.width = 140 + random.bounded(120);
        node.height = 46 + 18 * random.bounded(8);
    }
    edges.clear();
    for (int i = 1; i < n; ++i)
        edges.append({random.bounded(i), i});
    for (int extra = 0; extra < n / 3; ++extra)
        edges.append({random.bounded(n), random.bounded(n)});
}

int overlappingPairs(const LayoutNodes& nodes)
{
    int count = 0;
    for (qsizetype a = 0; a < nodes.size(); ++a) {
        for (qsizetype b = a + 1; b < nodes.size(); ++b) {
            if (nodes.at(a).rect().intersects(nodes.at(b).rect()))
                ++count;
        }
    }
    return count;
}

} // namespace

class TestComponentLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hubChoice_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<LayoutEdges>("edges");
        QTest::addColumn<QList<int>>("hubs");
        // Centre degree 5: threshold max(ceil(2.75), 4) = 4, room for 1.
        QTest::newRow("star of 6") << 6 << star(5) << QList<int>{0};
        QTest::newRow("star of 6, centre last") << 6 << star(5, 5) << QList<int>{5};
        QTest::newRow("chain of 6") << 6 << chain(6) << QList<int>{};
        QTest::newRow("star of 5") << 5 << star(4) << QList<int>{};
        QTest::newRow("complete 5") << 5
                                    << LayoutEdges{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                                   {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}
                                    << QList<int>{};
        // Repeated relationships count once.
        QTest::newRow("parallel edges") << 6 << (star(3) + star(3)) << QList<int>{};
        // Degrees 6, 5, 4 with room for two (8 / 4): the two highest.
        LayoutEdges three{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {1, 2}, {1, 3}, {1, 4},
                          {1, 7}, {2, 3}, {2, 7}};
        QTest::newRow("three candidates, room for two") << 8 << three << QList<int>{0, 1};
        // Threshold 0.55 x 8 rounds up to 5: a degree-4 node is no hub.
        LayoutEdges big = star(8);
        big += LayoutEdges{{9, 10}, {9, 11}, {9, 12}, {1, 9}};
        QTest::newRow("threshold follows the largest degree") << 13 << big << QList<int>{0};
    }
    void hubChoice()
    {
        QFETCH(int, count);
        QFETCH(LayoutEdges, edges);
        QFETCH(QList<int>, hubs);
        LayoutNodes nodes = makeNodes(count);
        buildAdjacency(nodes, edges);
        QCOMPARE(findHubs(nodes), hubs);
    }

    // The five leaves of a hub go left, right, left, right, left; each
    // column is centred on the hub with gaps of 78, 108 from the hub.
    void starOfSixColumns()
    {
        LayoutNodes nodes = makeNodes(6, 120, 60);
        nodes[0].width = 200;
        layoutComponent(nodes, star(5));
        QCOMPARE(nodes.at(0).x, 0.0);
        QCOMPARE(nodes.at(0).y, 0.0);
        const double leftX = -100 - 108 - 60;
        const double rightX = 100 + 108 + 60;
        QList<double> leftYs;
        QList<double> rightYs;
        for (int i = 1; i < 6; ++i) {
            const LayoutNode& leaf = nodes.at(i);
            if (qFuzzyCompare(leaf.x, leftX))
                leftYs.append(leaf.y);
            else if (qFuzzyCompare(leaf.x, rightX))
                rightYs.append(leaf.y);
            else
                QFAIL(qPrintable(QStringLiteral("leaf %1 at x %2").arg(i).arg(leaf.x)));
        }
        // Leaves 1, 3, 5 on the left, 2 and 4 on the right, top to bottom.
        QCOMPARE(leftYs, (QList<double>{-138, 0, 138}));
        QCOMPARE(rightYs, (QList<double>{-69, 69}));
    }

    void twoHubsRowCentred()
    {
        // Hub 0 (degree 6, width 100) and hub 1 (degree 5, width 200).
        LayoutNodes nodes = makeNodes(11, 40, 30);
        nodes[0].width = 100;
        nodes[1].width = 200;
        LayoutEdges edges{{0, 1}};
        for (int leaf = 2; leaf < 7; ++leaf)
            edges.append({0, leaf});
        for (int leaf = 7; leaf < 11; ++leaf)
            edges.append({1, leaf});
        layoutComponent(nodes, edges);
        QCOMPARE(nodes.at(0).x, -265.0);
        QCOMPARE(nodes.at(1).x, 265.0);
        QCOMPARE(nodes.at(0).y, 0.0);
        QCOMPARE(nodes.at(1).y, 0.0);
        // Every leaf stands beside its own hub.
        for (int leaf = 2; leaf < 11; ++leaf) {
            const int hub = leaf < 7 ? 0 : 1;
            const double distance = std::abs(nodes.at(leaf).x - nodes.at(hub).x);
            QCOMPARE(distance, nodes.at(hub).width / 2 + 108 + 20);
        }
        QCOMPARE(overlappingPairs(nodes), 0);
    }

    // Facing columns between two hubs stand 52 apart (each 108 from its
    // hub) instead of landing on each other.
    void facingColumnsWidenTheHubGap()
    {
        LayoutNodes nodes = makeNodes(12, 150, 60);
        LayoutEdges edges{{0, 1}};
        for (int leaf = 2; leaf < 7; ++leaf)
            edges.append({0, leaf});
        for (int leaf = 7; leaf < 12; ++leaf)
            edges.append({1, leaf});
        layoutComponent(nodes, edges);
        QCOMPARE(nodes.at(1).x - nodes.at(0).x, 75 + (150 + 108 + 52 + 108 + 150) + 75.0);
        QCOMPARE(nodes.at(0).y, nodes.at(1).y);
        QCOMPARE(overlappingPairs(nodes), 0);
    }

    // Many hubs wrap into rows 380 apart, in hub order, so that the group
    // comes near a landscape page instead of a strip.
    void manyHubsWrapIntoRows()
    {
        const int hubs = 12;
        LayoutNodes nodes = makeNodes(hubs * 6, 150, 70);
        LayoutEdges edges;
        for (int h = 0; h < hubs; ++h) {
            edges.append({h, (h + 1) % hubs});
            for (int leaf = 0; leaf < 5; ++leaf)
                edges.append({h, hubs + 5 * h + leaf});
        }
        layoutComponent(nodes, edges);
        QCOMPARE(overlappingPairs(nodes), 0);
        // The rows run left to right and right to left in turn, so that the
        // hubs on either side of a row break stay close.
        int row = 0;
        for (int h = 1; h < hubs; ++h) {
            const double dx = nodes.at(h).x - nodes.at(h - 1).x;
            if (nodes.at(h).y == nodes.at(h - 1).y) {
                QCOMPARE(dx, (row % 2 == 0 ? 1.0 : -1.0) * (150 + 150 + 108 + 52 + 108 + 150));
            } else {
                QVERIFY(nodes.at(h).y > nodes.at(h - 1).y);
                QVERIFY2(std::abs(dx) < 150 + 380, qPrintable(QString::number(dx)));
                ++row;
            }
        }
        const QRectF bounds = nodesBoundingRect(nodes);
        QVERIFY2(bounds.width() <= 2.0 * bounds.height() && bounds.height() <= 1.5 * bounds.width(),
                 qPrintable(QStringLiteral("%1 x %2").arg(bounds.width()).arg(bounds.height())));
    }

    // A chain a-b-c whose ends touch different hubs splits into {a, b} by
    // the first hub and {c} by the second.
    void clusterTouchingTwoHubsSplits()
    {
        LayoutNodes nodes = makeNodes(13, 60, 40);
        LayoutEdges edges;
        for (int leaf = 2; leaf < 6; ++leaf)
            edges.append({0, leaf});
        for (int leaf = 6; leaf < 10; ++leaf)
            edges.append({1, leaf});
        const int a = 10, b = 11, c = 12;
        edges += LayoutEdges{{0, a}, {a, b}, {b, c}, {c, 1}};
        layoutComponent(nodes, edges);
        auto nearerHub = [&nodes](int i) {
            return std::abs(nodes.at(i).x - nodes.at(0).x) < std::abs(nodes.at(i).x - nodes.at(1).x) ? 0 : 1;
        };
        QCOMPARE(nearerHub(a), 0);
        QCOMPARE(nearerHub(b), 0);
        QCOMPARE(nearerHub(c), 1);
        // b is one layer farther out than a.
        QVERIFY(std::abs(nodes.at(b).x - nodes.at(0).x) > std::abs(nodes.at(a).x - nodes.at(0).x));
    }

    // Four hubs in degree order 0, 1, 2, 3, where hubs 0 and 3 share three
    // neighbours: ordered by the length of their lines, no hub stands
    // nearer to 0 than 3 does (by degree alone 3 stands farther than 1),
    // and the lines end shorter than in degree order.
    void hubsSharingNeighboursStandTogether()
    {
        const int hubs = 4;
        const int shared = 3;
        // Degrees 10, 9, 8 and 7 with the shared neighbours.
        const int leaves[hubs] = {7, 9, 8, 4};
        LayoutNodes nodes = makeNodes(hubs + shared + 28, 150, 70);
        LayoutEdges edges;
        int next = hubs + shared;
        for (int h = 0; h < hubs; ++h) {
            for (int leaf = 0; leaf < leaves[h]; ++leaf)
                edges.append({h, next++});
        }
        for (int k = 0; k < shared; ++k)
            edges += LayoutEdges{{0, hubs + k}, {3, hubs + k}};
        nodes.resize(next);
        auto lineLength = [&edges](const LayoutNodes& placed) {
            double length = 0.0;
            for (const LayoutEdge& e : edges)
                length += std::abs(placed.at(e.first).x - placed.at(e.second).x)
                    + std::abs(placed.at(e.first).y - placed.at(e.second).y);
            return length;
        };
        LayoutNodes byDegree = nodes;
        layoutComponent(byDegree, edges);
        HubLayoutStyle ordered;
        ordered.orderHubs = true;
        layoutComponent(nodes, edges, ordered);
        QCOMPARE(overlappingPairs(nodes), 0);
        auto distance = [](const LayoutNodes& placed, int a, int b) {
            return std::hypot(placed.at(a).x - placed.at(b).x, placed.at(a).y - placed.at(b).y);
        };
        QVERIFY(distance(byDegree, 0, 3) > distance(byDegree, 0, 1));
        for (int h = 1; h < 3; ++h)
            QVERIFY2(distance(nodes, 0, 3) <= distance(nodes, 0, h), qPrintable(QString::number(h)));
        QVERIFY(lineLength(nodes) < lineLength(byDegree));
    }

    // Two joined nodes start on a horizontal line through the origin and
    // settle near their target distance.
    void twoJoinedNodes()
    {
        LayoutNodes nodes = makeNodes(2);
        layoutComponent(nodes, {{0, 1}});
        QCOMPARE(nodes.at(0).y, nodes.at(1).y);
        QVERIFY(std::abs(nodes.at(0).y) < 1e-6);
        const double diagonal = std::hypot(150.0, 70.0);
        const double ideal = std::clamp(0.28 * diagonal + 72, 70.0, 130.0);
        const double target = 0.38 * 2 * diagonal + ideal;
        const double distance = std::abs(nodes.at(1).x - nodes.at(0).x);
        QVERIFY2(std::abs(distance - target) < 0.02 * target, qPrintable(QString::number(distance)));
        QVERIFY(std::abs(nodes.at(0).x + nodes.at(1).x) < 1.0); // around the origin
    }

    // Any graph: the same input gives exactly the same positions, none
    // overlapping, the whole not absurdly spread out.
    void generatedGraphs_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("count");
        for (int count : {2, 3, 5, 6, 9, 14, 25, 60}) {
            for (quint32 seed : {1u, 7u, 42u})
                QTest::addRow("%d nodes, seed %u", count, seed) << seed << count;
        }
    }
    void generatedGraphs()
    {
        QFETCH(quint32, seed);
        QFETCH(int, count);
        LayoutNodes nodes;
        LayoutEdges edges;
        randomGraph(seed, count, nodes, edges);
        LayoutNodes again = nodes;
        // Where the nodes start does not matter.
        for (qsizetype i = 0; i < again.size(); ++i)
            again[i].x = 1000.0 * static_cast<double>(i);
        layoutComponent(nodes, edges);
        layoutComponent(again, edges);
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            QCOMPARE(again.at(i).x, nodes.at(i).x);
            QCOMPARE(again.at(i).y, nodes.at(i).y);
            QVERIFY(std::isfinite(nodes.at(i).x) && std::isfinite(nodes.at(i).y));
        }
        QCOMPARE(overlappingPairs(nodes), 0);
        // Spread out, but not absurdly: within 25 times the boxes' own area.
        double area = 0.0;
        for (const LayoutNode& node : nodes)
            area += node.width * node.height;
        const QRectF bounds = nodesBoundingRect(nodes);
        QVERIFY2(bounds.width() * bounds.height() < 25 * area,
                 qPrintable(QStringLiteral("%1 x %2").arg(bounds.width()).arg(bounds.height())));
    }

    // Nodes on the same spot part along the axis of smaller penetration;
    // the one of lower degree goes towards larger coordinates.
    // What the columns of a hub are arranged by: a crossing of two likely
    // routes that share no end, and a route through a box not its own, count
    // one each; routes sharing an end never count against each other.
    void likelyConflictsOfCrossingsAndPasses()
    {
        LayoutNodes nodes = makeNodes(5);
        const QPointF at[] = {{0, 0}, {1000, 0}, {400, -500}, {400, 300}, {250, 0}};
        for (int i = 0; i < 5; ++i) {
            nodes[i].x = at[i].x();
            nodes[i].y = at[i].y();
        }
        // 0-1 runs along y = 0 through the box of 4 and across 2-3; 0-2
        // shares an end with both.
        const LayoutEdges edges{{0, 1}, {2, 3}, {0, 2}};
        QCOMPARE(likelyRouteConflicts(nodes, edges), 2);
        nodes[3].y = -900; // 2-3 now stays clear of 0-1
        QCOMPARE(likelyRouteConflicts(nodes, edges), 1);
        nodes[4].y = 200; // and the box stands off the line
        QCOMPARE(likelyRouteConflicts(nodes, edges), 0);
    }

    void overlapPushOnSameSpot_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("firstDegree");
        QTest::addColumn<int>("secondDegree");
        QTest::addColumn<QPointF>("firstMove");
        // needX 178, needY 118: y has the smaller penetration.
        QTest::newRow("wide, first lower") << 100.0 << 50.0 << 1 << 2 << QPointF(0, 60.68);
        QTest::newRow("wide, first higher") << 100.0 << 50.0 << 3 << 2 << QPointF(0, -60.68);
        QTest::newRow("wide, equal") << 100.0 << 50.0 << 2 << 2 << QPointF(0, -60.68);
        // needX 118, needY 168: x has the smaller penetration.
        QTest::newRow("tall, first lower") << 40.0 << 100.0 << 0 << 1 << QPointF(60.68, 0);
    }
    void overlapPushOnSameSpot()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(int, firstDegree);
        QFETCH(int, secondDegree);
        QFETCH(QPointF, firstMove);
        LayoutNodes nodes = makeNodes(2, width, height);
        nodes[0].degree = firstDegree;
        nodes[1].degree = secondDegree;
        removeNodeOverlaps(nodes, 5, 78, 68);
        QVERIFY(std::abs(nodes.at(0).x - firstMove.x()) < 1e-9);
        QVERIFY(std::abs(nodes.at(0).y - firstMove.y()) < 1e-9);
        QVERIFY(std::abs(nodes.at(1).x + firstMove.x()) < 1e-9);
        QVERIFY(std::abs(nodes.at(1).y + firstMove.y()) < 1e-9);
    }

    void alignment_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("second");
        QTest::addColumn<int>("firstDegree");
        QTest::addColumn<QPointF>("firstAfter");
        QTest::addColumn<QPointF>("secondAfter");
        // 16 + 0.42 x 150 = 79: within it, and more below than beside.
        QTest::newRow("nearly vertical") << QPointF(0, 0) << QPointF(60, 300) << 1 << QPointF(0, 0)
                                         << QPointF(0, 300);
        // 16 + 0.42 x 70 = 45.4 across.
        QTest::newRow("nearly horizontal") << QPointF(0, 0) << QPointF(300, 40) << 1 << QPointF(0, 0)
                                           << QPointF(300, 0);
        QTest::newRow("diagonal stays") << QPointF(0, 0) << QPointF(300, 200) << 1 << QPointF(0, 0)
                                        << QPointF(300, 200);
        // The second has the higher degree: the first moves.
        QTest::newRow("anchor is the higher degree") << QPointF(0, 0) << QPointF(60, 300) << 0
                                                     << QPointF(60, 0) << QPointF(60, 300);
    }
    void alignment()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, second);
        QFETCH(int, firstDegree);
        QFETCH(QPointF, firstAfter);
        QFETCH(QPointF, secondAfter);
        LayoutNodes nodes = makeNodes(2);
        nodes[0].x = first.x();
        nodes[0].y = first.y();
        nodes[0].degree = firstDegree;
        nodes[1].x = second.x();
        nodes[1].y = second.y();
        nodes[1].degree = 1;
        alignConnectedNodes(nodes, {{0, 1}, {5, 0}}, 0.42);
        QCOMPARE(QPointF(nodes.at(0).x, nodes.at(0).y), firstAfter);
        QCOMPARE(QPointF(nodes.at(1).x, nodes.at(1).y), secondAfter);
    }

    void compaction_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<QList<QPointF>>("centres");
        QTest::addColumn<QList<QPointF>>("expected");
        // Width 100, height 50. Holes close, overlaps open, to a gap of 56.
        QTest::newRow("row closes holes") << true << QList<QPointF>{{0, 0}, {500, 0}, {1000, 0}}
                                          << QList<QPointF>{{0, 0}, {156, 0}, {312, 0}};
        QTest::newRow("row opens overlaps") << true << QList<QPointF>{{0, 0}, {30, 5}}
                                            << QList<QPointF>{{0, 0}, {156, 5}};
        // A node in another band slides to the first node's left edge.
        QTest::newRow("other band") << true << QList<QPointF>{{0, 0}, {400, 200}}
                                    << QList<QPointF>{{0, 0}, {0, 200}};
        // Bands widen by 11.2 across when vertical: 100 wide nodes 105 apart
        // in x still share a band.
        QTest::newRow("column, near band") << false << QList<QPointF>{{0, 0}, {105, 300}}
                                           << QList<QPointF>{{0, 0}, {105, 92}};
        QTest::newRow("column, far band") << false << QList<QPointF>{{0, 0}, {125, 300}}
                                          << QList<QPointF>{{0, 0}, {125, 0}};
    }
    void compaction()
    {
        QFETCH(bool, horizontal);
        QFETCH(QList<QPointF>, centres);
        QFETCH(QList<QPointF>, expected);
        LayoutNodes nodes = makeNodes(static_cast<int>(centres.size()), 100, 50);
        for (qsizetype i = 0; i < centres.size(); ++i) {
            nodes[i].x = centres.at(i).x();
            nodes[i].y = centres.at(i).y();
        }
        compactAlongAxis(nodes, horizontal);
        for (qsizetype i = 0; i < centres.size(); ++i)
            QCOMPARE(QPointF(nodes.at(i).x, nodes.at(i).y), expected.at(i));
    }

};

QUILLMAP_TEST_APPLESS_MAIN(TestComponentLayout)
#include "tst_componentlayout.moc"
