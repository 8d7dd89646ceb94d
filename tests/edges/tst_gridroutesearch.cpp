#include "common/testmain.h"

#include "edges/gridroutesearch.h"
#include "edges/routegeometry.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

using Route = QList<QPointF>;

// Whether the axis-aligned segment runs through the open interior of rect.
bool entersInterior(const QPointF& a, const QPointF& b, const QRectF& rect)
{
    const QRectF r = rect.normalized();
    const double lowX = std::min(a.x(), b.x()), highX = std::max(a.x(), b.x());
    const double lowY = std::min(a.y(), b.y()), highY = std::max(a.y(), b.y());
    if (lowY == highY)
        return r.top() < lowY && lowY < r.bottom() && lowX < r.right() && highX > r.left();
    return r.left() < lowX && lowX < r.right() && lowY < r.bottom() && highY > r.top();
}

// What every route of the search must be; empty text when it is.
QString routeFault(const Route& route, const GridRouteQuery& query, const QList<QRectF>& rects)
{
    if (route.first() != query.from || route.last() != query.to)
        return QStringLiteral("does not join the two end points");
    if (!isRouteAxisAligned(route))
        return QStringLiteral("not right-angled");
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        if (route[i] == route[i + 1])
            return QStringLiteral("repeats a point");
        if (!query.bounds.contains(route[i]) || !query.bounds.contains(route[i + 1]))
            return QStringLiteral("leaves the bounds");
        for (const QRectF& r : rects) {
            if (entersInterior(route[i], route[i + 1], r))
                return QStringLiteral("segment %1 runs through (%2, %3, %4, %5)")
                    .arg(i).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        }
    }
    return {};
}

// A maze on a lattice of square cells, each blocked or free; blocked
// neighbours overlap and form walls. Corridors are nearly a cell wide.
struct Maze
{
    int columns = 0;
    int rows = 0;
    double cell = 40.0;
    std::vector<char> blocked;

    bool isBlocked(int c, int r) const { return blocked[static_cast<size_t>(r * columns + c)] != 0; }
    QPointF centre(int c, int r) const { return QPointF((c + 0.5) * cell, (r + 0.5) * cell); }
    QList<QRectF> rects() const
    {
        QList<QRectF> out;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                // A little larger than the cell, so that walls have no
                // seams and the maze no open rim to run along.
                if (isBlocked(c, r))
                    out.append(QRectF(c * cell - 1, r * cell - 1, cell + 2, cell + 2));
            }
        }
        return out;
    }
    // Whether the two free cells are joined through free cells side by side.
    bool joined(int c0, int r0, int c1, int r1) const
    {
        std::vector<char> seen(blocked.size(), 0);
        std::vector<std::pair<int, int>> queue{{c0, r0}};
        seen[static_cast<size_t>(r0 * columns + c0)] = 1;
        for (size_t head = 0; head < queue.size(); ++head) {
            const auto [c, r] = queue[head];
            if (c == c1 && r == r1)
                return true;
            const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& s : steps) {
                const int nc = c + s[0], nr = r + s[1];
                if (nc < 0 || nr < 0 || nc >= columns || nr >= rows || isBlocked(nc, nr))
                    continue;
                if (!seen[static_cast<size_t>(nr * columns + nc)]) {
                    seen[static_cast<size_t>(nr * columns + nc)] = 1;
                    queue.emplace_back(nc, nr);
                }
            }
        }
        return false;
    }
};

} // namespace

class TestGridRouteSearch : public QObject
{
    Q_OBJECT

private slots:
    // Generated mazes: the search finds a route exactly when the two cells
    // are joined, every route keeps out of every wall, and the answer does
    // not depend on how the obstacles are handed over.
    void mazes_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("density");
        for (quint32 seed = 1; seed <= 40; ++seed)
            QTest::addRow("seed %u", seed) << seed << static_cast<int>(20 + seed % 4 * 8);
    }

    void mazes()
    {
        QFETCH(quint32, seed);
        QFETCH(int, density);
        QRandomGenerator random(seed);
        Maze maze;
        maze.columns = 8 + random.bounded(10);
        maze.rows = 6 + random.bounded(10);
        maze.blocked.resize(static_cast<size_t>(maze.columns * maze.rows));
        for (char& b : maze.blocked)
            b = random.bounded(100) < density ? 1 : 0;
        auto freeCell = [&]() {
            for (;;) {
                const int c = random.bounded(maze.columns), r = random.bounded(maze.rows);
                if (!maze.isBlocked(c, r))
                    return std::make_pair(c, r);
            }
        };
        const QList<QRectF> rects = maze.rects();
        for (int trial = 0; trial < 6; ++trial) {
            const auto [c0, r0] = freeCell();
            const auto [c1, r1] = freeCell();
            GridRouteQuery query;
            query.from = maze.centre(c0, r0);
            query.to = maze.centre(c1, r1);
            query.fromHorizontal = trial % 2 == 0;
            query.toHorizontal = trial % 3 == 0;
            query.bounds = QRectF(0, 0, maze.columns * maze.cell, maze.rows * maze.cell);
            query.obstacles = ObstacleSet(rects);
            const Route route = searchGridRoute(query);
            const QString where = QStringLiteral("(%1,%2) to (%3,%4)").arg(c0).arg(r0).arg(c1).arg(r1);
            QCOMPARE(!route.isEmpty(), maze.joined(c0, r0, c1, r1));
            if (route.isEmpty())
                continue;
            const QString fault = routeFault(route, query, rects);
            QVERIFY2(fault.isEmpty(), qPrintable(where + ": " + fault));

            // The same walls as a plain list, and scanned instead of indexed.
            GridRouteQuery listed = query;
            listed.obstacles = ObstacleSet();
            listed.blocked = rects;
            QCOMPARE(searchGridRoute(listed), route);
            GridRouteQuery scanned = query;
            scanned.obstacles = ObstacleSet(rects, false);
            QCOMPARE(searchGridRoute(scanned), route);
            // Bends cost something, so the route never bends more than a
            // route of two corners around nothing would need, when the
            // maze has no walls at all between the two cells' rows and
            // columns; in general it is at least as short as the lattice
            // path between the two cells.
            double length = 0.0;
            for (qsizetype i = 0; i + 1 < route.size(); ++i)
                length += std::abs(route[i + 1].x() - route[i].x()) + std::abs(route[i + 1].y() - route[i].y());
            QVERIFY(length + 1e-9 >= std::abs(query.to.x() - query.from.x()) + std::abs(query.to.y() - query.from.y()));
        }
    }

    // A wall across the whole area with one opening: the route goes through
    // the opening, whatever its width, and there is none once it is closed.
    void wallWithOneOpening_data()
    {
        QTest::addColumn<double>("opening");
        QTest::addColumn<double>("at");
        QTest::addColumn<bool>("found");
        QTest::newRow("wide, low") << 80.0 << 300.0 << true;
        QTest::newRow("wide, high") << 80.0 << 20.0 << true;
        QTest::newRow("narrow") << 10.0 << 150.0 << true;
        QTest::newRow("closed") << -1.0 << 150.0 << false;
    }

    void wallWithOneOpening()
    {
        QFETCH(double, opening);
        QFETCH(double, at);
        QFETCH(bool, found);
        // Beyond the bounds at both ends: no way round.
        const QList<QRectF> wall = {QRectF(200, -120, 40, 120 + at), QRectF(200, at + opening, 40, 700)};
        GridRouteQuery query;
        query.from = QPointF(100, 200);
        query.to = QPointF(400, 200);
        query.bounds = QRectF(0, -100, 600, 700);
        query.obstacles = ObstacleSet(wall);
        const Route route = searchGridRoute(query);
        QCOMPARE(!route.isEmpty(), found);
        if (!found)
            return;
        QVERIFY(routeFault(route, query, wall).isEmpty());
        // Through the opening, not round the ends of the wall.
        bool through = false;
        for (qsizetype i = 0; i + 1 < route.size(); ++i) {
            const QPointF& a = route[i];
            const QPointF& b = route[i + 1];
            if (a.y() == b.y() && std::min(a.x(), b.x()) <= 200 && std::max(a.x(), b.x()) >= 240)
                through = a.y() >= at && a.y() <= at + opening;
        }
        QVERIFY(through);
        QCOMPARE(searchGridRoute(query), route);
    }

    void unusableQueries_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<int>("maxGridPoints");
        QTest::newRow("start inside an obstacle") << QPointF(220, 50) << QPointF(400, 50) << 40000;
        QTest::newRow("end inside an obstacle") << QPointF(10, 50) << QPointF(230, 20) << 40000;
        QTest::newRow("end outside the bounds") << QPointF(10, 50) << QPointF(900, 50) << 40000;
        QTest::newRow("grid too large") << QPointF(10, 50) << QPointF(400, 50) << 4;
    }

    void unusableQueries()
    {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(int, maxGridPoints);
        GridRouteQuery query;
        query.from = from;
        query.to = to;
        query.bounds = QRectF(0, 0, 600, 300);
        query.obstacles = ObstacleSet({QRectF(200, 0, 40, 100)});
        query.maxGridPoints = maxGridPoints;
        QVERIFY(searchGridRoute(query).isEmpty());
    }

    // One bend is cheaper than three, and a point on an obstacle's border
    // is outside it.
    void fewestBendsAndBorders()
    {
        GridRouteQuery query;
        query.from = QPointF(0, 0);
        query.to = QPointF(100, 100);
        query.bounds = QRectF(-50, -50, 200, 200);
        query.obstacles = ObstacleSet({QRectF(0, 0, 50, 50)});
        const Route route = searchGridRoute(query);
        QCOMPARE(route.size(), 3);
        QVERIFY(routeFault(route, query, {QRectF(0, 0, 50, 50)}).isEmpty());
        query.to = query.from;
        QCOMPARE(searchGridRoute(query), Route({QPointF(0, 0)}));
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestGridRouteSearch)
#include "tst_gridroutesearch.moc"
