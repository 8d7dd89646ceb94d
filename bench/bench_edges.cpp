// Edge routing on a live scene of 1,000 entities and 1,500 edges: the time
// of one 33 ms flush while an entity with 8 edges is dragged (goal: under
// 4 ms), and of the release of a drag of 20 selected entities, which
// re-routes their edges (goal: under 50 ms), as a rigid group (its inner
// edges selected too) and as entities alone.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsSceneMouseEvent>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Columns = 40;
constexpr int Rows = 25;

struct Figures
{
    double median = 0, p99 = 0, worst = 0;
};

Figures summarise(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {percentile(ms, 0.5), percentile(ms, 0.99), ms.back()};
}

struct Diagram
{
    std::vector<EntityItem*> entities;
    std::vector<EdgeItem*> edges;
};

EntityItem* at(Diagram& d, int column, int row)
{
    return d.entities[static_cast<size_t>(row * Columns + column)];
}

bool linked(EntityItem* a, EntityItem* b)
{
    for (EdgeItem* e : a->edges()) {
        if ((e->fromEntity() == a && e->toEntity() == b) || (e->fromEntity() == b && e->toEntity() == a))
            return true;
    }
    return false;
}

// Tables with 2 to 8 rows on a jittered 40 x 25 grid of 300 x 320 cells;
// edges mostly between near neighbours; the hub at (20, 12) gets exactly 8.
Diagram build(ERScene& scene, quint32 seed)
{
    QRandomGenerator random(seed);
    Diagram d;
    EdgeItem::setRoutingSuspended(true);
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < Columns; ++c) {
            auto* e = new EntityItem(QStringLiteral("t_%1_%2").arg(c).arg(r), QSizeF(150, 70));
            e->setId(QStringLiteral("e%1").arg(r * Columns + c));
            const int rows = 2 + random.bounded(7);
            for (int i = 0; i < rows; ++i)
                e->addAttribute(QStringLiteral("column_%1").arg(i), i == 0 ? "BIGINT" : "VARCHAR(40)", i == 0);
            e->setPos(c * 300 + random.bounded(90), r * 320 + random.bounded(100));
            scene.addItem(e);
            d.entities.push_back(e);
        }
    }
    EdgeItem::setRoutingSuspended(false);

    EntityItem* hub = at(d, 20, 12);
    const int around[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    for (const auto& o : around)
        d.edges.push_back(scene.createEdge(hub, at(d, 20 + o[0], 12 + o[1]), false));

    const int n = static_cast<int>(d.entities.size());
    while (d.edges.size() < 1500) {
        const int from = random.bounded(n);
        const int c = from % Columns + random.bounded(5) - 2;
        const int r = from / Columns + random.bounded(5) - 2;
        if (c < 0 || c >= Columns || r < 0 || r >= Rows)
            continue;
        EntityItem* a = d.entities[static_cast<size_t>(from)];
        EntityItem* b = at(d, c, r);
        if (a == b || a == hub || b == hub || linked(a, b))
            continue;
        d.edges.push_back(scene.createEdge(a, b, false));
    }
    return d;
}

// One flush of the drag timer: the entity moved, its edges queued, then the
// flush (setBatchMode(false) with the batch skipped runs exactly that).
Figures timeFlush(EntityItem* hub)
{
    std::vector<double> ms;
    const QPointF home = hub->pos();
    for (int i = 0; i < 400; ++i) {
        EdgeItem::setSkipBatchFlush(true);
        EdgeItem::setBatchMode(true);
        hub->setPos(home + QPointF((i % 20) * 3.0 - 30, (i / 20) * 2.0 - 20));
        QElapsedTimer timer;
        timer.start();
        EdgeItem::setBatchMode(false);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    hub->setPos(home);
    return summarise(ms);
}

// The release of a drag of a 5 x 4 block of entities.
Figures timeRelease(ERScene& scene, Diagram& d, bool rigid, int* edgeCount)
{
    scene.clearSelection();
    std::vector<EntityItem*> block;
    for (int r = 4; r < 8; ++r) {
        for (int c = 6; c < 11; ++c)
            block.push_back(at(d, c, r));
    }
    std::vector<QPointF> homes;
    for (EntityItem* e : block) {
        e->setSelected(true);
        homes.push_back(e->pos());
    }
    QList<EdgeItem*> touched;
    for (EntityItem* e : block) {
        for (EdgeItem* edge : e->edges()) {
            if (!touched.contains(edge))
                touched.append(edge);
            const bool inner = std::find(block.begin(), block.end(), edge->fromEntity()) != block.end()
                && std::find(block.begin(), block.end(), edge->toEntity()) != block.end();
            if (rigid && inner)
                edge->setSelected(true);
        }
    }
    *edgeCount = static_cast<int>(touched.size());

    std::vector<double> ms;
    for (int i = 0; i < 40; ++i) {
        const QPointF shift((i % 2 ? -1 : 1) * 140.0, (i % 4 < 2 ? 1 : -1) * 60.0);
        EdgeItem::setSkipBatchFlush(EntityItem::canMoveSelectionAsBatch(&scene));
        EdgeItem::setBatchMode(true);
        for (size_t k = 0; k < block.size(); ++k)
            block[k]->setPos(block[k]->pos() + shift);
        QGraphicsSceneMouseEvent release(QEvent::GraphicsSceneMouseRelease);
        release.setButton(Qt::LeftButton);
        release.setScenePos(block[0]->pos() + QPointF(20, 10));
        release.setButtonDownScenePos(Qt::LeftButton, block[0]->pos() - shift + QPointF(20, 10));
        QElapsedTimer timer;
        timer.start();
        scene.sendEvent(block[0], &release);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    for (size_t k = 0; k < block.size(); ++k)
        block[k]->setPos(homes[k]);
    scene.clearSelection();
    return summarise(ms);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    ERScene scene;
    scene.setSceneRect(-500, -500, Columns * 300 + 1000, Rows * 320 + 1000);
    QElapsedTimer buildTimer;
    buildTimer.start();
    Diagram d = build(scene, 20261209);
    const double buildMs = buildTimer.nsecsElapsed() / 1e6;
    EntityItem* hub = at(d, 20, 12);

    std::printf("scene: %zu entities, %zu edges (built and routed in %.0f ms)\n", d.entities.size(),
                d.edges.size(), buildMs);
    std::printf("hub edges: %lld\n", static_cast<long long>(hub->edges().size()));

    EdgeItem::resetRoutingCounters();
    const Figures flush = timeFlush(hub);
    const EdgeItem::RoutingCounters c = EdgeItem::routingCounters();
    BenchGoals goals("bench_edges");
    std::printf("drag flush of 8 edges: median %.3f ms, worst %.3f ms (%llu quick updates, %llu straight)\n",
                flush.median, flush.worst, static_cast<unsigned long long>(c.quickUpdates),
                static_cast<unsigned long long>(c.straightShortcuts));
    goals.under("drag flush of 8 edges, 99th percentile", flush.p99, 4, "ms", 3);

    for (bool rigid : {true, false}) {
        int edges = 0;
        const Figures release = timeRelease(scene, d, rigid, &edges);
        std::printf("release of 20 entities%s (%d edges): median %.2f ms, worst %.2f ms\n",
                    rigid ? ", rigid group" : ", entities only", edges, release.median, release.worst);
        goals.under(rigid ? "release of 20 entities, rigid group, 99th percentile"
                          : "release of 20 entities, entities only, 99th percentile",
                    release.p99, 50, "ms", 2);
    }
    return goals.finish();
}
