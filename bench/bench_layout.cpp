// Automatic layout on live scenes of 50, 200, 500 and 1,000 entities with
// about 1.3 relationships per entity, once as one connected diagram and
// once as many small groups, and on a 15-table rental schema, a 60-table
// schema and a real 81-entity Mermaid file, side by side with Graphviz dot
// on the same graph with the same box sizes, which this program writes as
// a DOT file. Each row prints, for our result and for dot's (-Tplain, its
// figures from splines=ortho where dot manages that in time), the aspect of
// the drawing, segment pairs of different edges on one line, edge ends at
// one point, edges through an entity and crossings per edge, with the
// times. Goals: 1,000 entities under 1 s; faster than dot at every size;
// aspect at most 2 : 1 (either way) for every component of 15 or more
// entities; no coincident segments, shared end points or routes through an
// entity; crossings per edge no more than dot's.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "interchange/mermaidreader.h"
#include "layout/layoutquality.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QLineF>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr int Runs = 3;

using Graph = std::vector<std::pair<int, int>>;

// One connected diagram: every entity joins an earlier one (the more
// joined ones a little more likely, as real schemas have a few central
// tables), then extra relationships up to 1.3 per entity.
Graph connectedGraph(int n, QRandomGenerator& random)
{
    Graph edges;
    std::vector<int> ends{0};
    for (int i = 1; i < n; ++i) {
        const int to = random.bounded(3) == 0 ? ends[random.bounded(static_cast<int>(ends.size()))]
                                               : random.bounded(i);
        edges.emplace_back(i, to);
        ends.push_back(to);
        ends.push_back(i);
    }
    while (static_cast<int>(edges.size()) < n * 13 / 10) {
        const int a = random.bounded(n);
        const int b = std::max(0, a - 1 - random.bounded(20));
        if (a != b)
            edges.emplace_back(a, b);
    }
    return edges;
}

// Groups of 3 to 8 entities, each a chain with extra relationships inside
// the group, about 1.3 per entity overall.
Graph smallGroups(int n, QRandomGenerator& random)
{
    Graph edges;
    int start = 0;
    while (start < n) {
        const int size = std::min(3 + random.bounded(6), n - start);
        for (int i = 1; i < size; ++i)
            edges.emplace_back(start + i, start + random.bounded(i));
        const int extra = (size * 13 + 5) / 10 - (size - 1);
        for (int k = 0; k < extra && size > 2; ++k) {
            const int a = start + random.bounded(size);
            const int b = start + random.bounded(size);
            if (a != b)
                edges.emplace_back(a, b);
        }
        start += size;
    }
    return edges;
}

// The 15-table rental schema (films, their actors and categories, the
// stores, their staff and customers with addresses, rentals and payments):
// each pair is a foreign key (owning table, referenced table).
Graph rentalSchema()
{
    enum { Actor, Film, FilmActor, Category, FilmCategory, Language, Inventory, Store, Staff, Customer, Address, City,
           Country, Rental, Payment };
    return {{FilmActor, Actor}, {FilmActor, Film}, {FilmCategory, Film}, {FilmCategory, Category},
            {Film, Language}, {Film, Language}, {Inventory, Film}, {Inventory, Store}, {Store, Staff},
            {Store, Address}, {Staff, Store}, {Staff, Address}, {Customer, Store}, {Customer, Address},
            {Address, City}, {City, Country}, {Rental, Inventory}, {Rental, Customer}, {Rental, Staff},
            {Payment, Customer}, {Payment, Staff}, {Payment, Rental}};
}

struct Scene
{
    std::unique_ptr<ERScene> scene = std::make_unique<ERScene>();
    std::vector<EntityItem*> entities;
};

Scene buildScene(int n, const Graph& graph, quint32 seed)
{
    QRandomGenerator random(seed);
    Scene s;
    EdgeItem::setRoutingSuspended(true);
    for (int i = 0; i < n; ++i) {
        auto* e = new EntityItem(QStringLiteral("table_%1").arg(i), QSizeF(150, 70));
        e->setId(QStringLiteral("e%1").arg(i));
        const int rows = 2 + random.bounded(7);
        for (int r = 0; r < rows; ++r)
            e->addAttribute(QStringLiteral("column_%1").arg(r), r == 0 ? "BIGINT" : "VARCHAR(40)", r == 0);
        e->setPos(random.bounded(200 * 40), random.bounded(200 * 30));
        s.scene->addItem(e);
        s.entities.push_back(e);
    }
    for (const auto& [a, b] : graph)
        s.scene->createEdge(s.entities[static_cast<size_t>(a)], s.entities[static_cast<size_t>(b)], false);
    EdgeItem::setRoutingSuspended(false);
    return s;
}

// A diagram read from a Mermaid file as the import reads it; its graph is
// written into graph.
Scene loadMermaid(const QString& path, Graph& graph)
{
    Scene s;
    s.scene->loadFromJson(parseMermaidFile(path, nullptr));
    QHash<const EntityItem*, int> indexOf;
    for (EntityItem* e : s.scene->entityItems()) {
        indexOf.insert(e, static_cast<int>(s.entities.size()));
        s.entities.push_back(e);
    }
    graph.clear();
    const QList<QGraphicsItem*> all = s.scene->items(Qt::AscendingOrder);
    for (const QGraphicsItem* item : all) {
        if (item->type() != EdgeItem::Type)
            continue;
        const auto* edge = static_cast<const EdgeItem*>(item);
        if (indexOf.contains(edge->fromEntity()) && indexOf.contains(edge->toEntity()))
            graph.emplace_back(indexOf.value(edge->fromEntity()), indexOf.value(edge->toEntity()));
    }
    return s;
}

// The same graph for dot, each node the size of its entity.
bool writeDot(const QString& path, const Scene& s, const Graph& graph, bool ortho)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "digraph schema {\n";
    if (ortho)
        out << "  splines=ortho;\n";
    out << "  node [shape=box, fixedsize=true];\n";
    for (size_t i = 0; i < s.entities.size(); ++i) {
        const QRectF r = s.entities[i]->boundingRect();
        out << "  n" << i << " [width=" << r.width() / 72.0 << ", height=" << r.height() / 72.0 << "];\n";
    }
    for (const auto& [a, b] : graph)
        out << "  n" << a << " -> n" << b << ";\n";
    out << "}\n";
    return true;
}

// A run of `dot -Tplain`: its milliseconds (-1 when it could not run or
// took longer than the limit) and what it printed.
struct DotRun
{
    double ms = -1;
    QByteArray output;
};

DotRun runDot(const QString& dot, const QString& path, int limitMs)
{
    DotRun run;
    if (dot.isEmpty())
        return run;
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(dot, {QStringLiteral("-Tplain"), path});
    if (!process.waitForFinished(limitMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    run.output = process.readAllStandardOutput();
    if (run.output.startsWith("graph"))
        run.ms = ms;
    return run;
}

// A polyline without points that lie on the line between their neighbours
// (dot writes straight stretches as runs of collinear control points).
QList<QPointF> withoutStraightPoints(const QList<QPointF>& points)
{
    QList<QPointF> out;
    for (const QPointF& p : points) {
        if (!out.isEmpty() && QLineF(out.constLast(), p).length() < 0.01)
            continue;
        while (out.size() >= 2) {
            const QPointF a = out.at(out.size() - 2);
            const QPointF b = out.constLast();
            const double cross = (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
            const double dot = (b.x() - a.x()) * (p.x() - b.x()) + (b.y() - a.y()) * (p.y() - b.y());
            if (std::abs(cross) < 1e-3 * std::max(1.0, QLineF(a, p).length()) && dot >= 0)
                out.removeLast();
            else
                break;
        }
        out.append(p);
    }
    return out;
}

// The boxes and edge polylines of dot's plain output, in points with y
// growing downwards.
void readDotPlain(const QByteArray& output, int n, QList<QRectF>& rects, QList<LaidOutEdge>& edges)
{
    rects = QList<QRectF>(n);
    edges.clear();
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6 && f.at(0) == "node") {
            const int i = f.at(1).mid(1).toInt();
            const double x = f.at(2).toDouble() * 72, y = -f.at(3).toDouble() * 72;
            const double w = f.at(4).toDouble() * 72, h = f.at(5).toDouble() * 72;
            if (i >= 0 && i < n)
                rects[i] = QRectF(x - w / 2, y - h / 2, w, h);
        } else if (f.size() >= 4 && f.at(0) == "edge") {
            LaidOutEdge edge;
            edge.from = f.at(1).mid(1).toInt();
            edge.to = f.at(2).mid(1).toInt();
            const int count = f.at(3).toInt();
            for (int k = 0; k < count && 5 + 2 * k < f.size(); ++k)
                edge.points.append(QPointF(f.at(4 + 2 * k).toDouble() * 72, -f.at(5 + 2 * k).toDouble() * 72));
            edge.points = withoutStraightPoints(edge.points);
            edges.append(edge);
        }
    }
}

// Our diagram as plain geometry.
void readScene(const Scene& s, QList<QRectF>& rects, QList<LaidOutEdge>& edges)
{
    rects.clear();
    edges.clear();
    QHash<const EntityItem*, int> indexOf;
    for (const EntityItem* e : s.entities) {
        indexOf.insert(e, static_cast<int>(rects.size()));
        rects.append(e->sceneBoundingRect().adjusted(3, 3, -3, -3)); // the box without the selection margin
    }
    const QList<QGraphicsItem*> all = s.scene->items(Qt::AscendingOrder);
    for (const QGraphicsItem* item : all) {
        if (item->type() != EdgeItem::Type)
            continue;
        const auto* edge = static_cast<const EdgeItem*>(item);
        edges.append({edge->route(), indexOf.value(edge->fromEntity(), -1), indexOf.value(edge->toEntity(), -1)});
    }
}

// The worst aspect, either way, of the components of at least 15 entities;
// 0 when there is none.
double worstComponentAspect(const QList<QRectF>& rects, const Graph& graph)
{
    const int n = static_cast<int>(rects.size());
    std::vector<int> parent(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        parent[static_cast<size_t>(i)] = i;
    std::function<int(int)> root = [&](int v) {
        while (parent[static_cast<size_t>(v)] != v)
            v = parent[static_cast<size_t>(v)] = parent[static_cast<size_t>(parent[static_cast<size_t>(v)])];
        return v;
    };
    for (const auto& [a, b] : graph)
        parent[static_cast<size_t>(root(a))] = root(b);
    QHash<int, QRectF> bounds;
    QHash<int, int> sizes;
    for (int i = 0; i < n; ++i) {
        const int r = root(i);
        bounds[r] = bounds.contains(r) ? bounds.value(r).united(rects.at(i)) : rects.at(i);
        ++sizes[r];
    }
    double worst = 0.0;
    for (auto it = bounds.cbegin(); it != bounds.cend(); ++it) {
        if (sizes.value(it.key()) < 15 || it.value().height() <= 0 || it.value().width() <= 0)
            continue;
        worst = std::max(worst, std::max(it.value().width() / it.value().height(), it.value().height() / it.value().width()));
    }
    return worst;
}

// The laid-out scene drawn at half size on white.
void drawScene(ERScene& scene, const QString& path)
{
    const QRectF area = scene.itemsBoundingRect().adjusted(-20, -20, 20, 20);
    QImage image((area.size() / 2).toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), image.size()), area);
    painter.end();
    image.save(path);
}

struct Figures
{
    double ms = -1;
    double aspect = 0;     // of the whole drawing, width : height
    double worstComponent = 0;
    LayoutQuality quality;
    int edges = 0;
    double crossingsPerEdge() const { return edges > 0 ? double(quality.crossings) / edges : 0.0; }
};

Figures measure(const QList<QRectF>& rects, const QList<LaidOutEdge>& edges, const Graph& graph)
{
    Figures f;
    f.quality = measureLayoutQuality(rects, edges);
    f.aspect = f.quality.aspect;
    f.worstComponent = worstComponentAspect(rects, graph);
    f.edges = static_cast<int>(edges.size());
    return f;
}

void printFigures(const char* who, const Figures& f, const char* remark)
{
    std::printf("    %-10s %9.1f ms  aspect %5.2f (worst big component %5.2f)  on one line %5d  shared ends %5d  "
                "through entities %4d  crossings/edge %5.2f  overlapping entities %d%s\n",
                who, f.ms, f.aspect, f.worstComponent, f.quality.coincidentPairs, f.quality.sharedEndPoints,
                f.quality.edgesThroughEntities, f.crossingsPerEdge(), f.quality.overlappingPairs, remark);
}

struct Case
{
    QString name;
    int n = 0;
    Graph graph;
    QString mermaid; // a file to import instead of a generated scene
    quint32 seed = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    setUpApplication();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QTemporaryDir dir;
    const QString dot = QStandardPaths::findExecutable(QStringLiteral("dot"));
    if (dot.isEmpty())
        std::printf("Graphviz dot not found: the comparison goals cannot be met\n");

    QList<Case> cases;
    {
        Case rental;
        rental.name = QStringLiteral("rental schema");
        rental.n = 15;
        rental.graph = rentalSchema();
        rental.seed = 15;
        cases.append(rental);
        QRandomGenerator random(60 * 7);
        Case sixty;
        sixty.name = QStringLiteral("60 tables");
        sixty.n = 60;
        sixty.graph = connectedGraph(60, random);
        sixty.seed = 60;
        cases.append(sixty);
        const QString marketplace = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/07-marketplace-large.mmd");
        if (QFile::exists(marketplace)) {
            Case file;
            file.name = QStringLiteral("Mermaid file");
            file.mermaid = marketplace;
            cases.append(file);
        }
    }
    for (int n : {50, 200, 500, 1000}) {
        for (int shape = 0; shape < 2; ++shape) {
            QRandomGenerator random(static_cast<quint32>(n * 7 + shape));
            Case c;
            c.name = shape == 0 ? QStringLiteral("one group") : QStringLiteral("small groups");
            c.n = n;
            c.graph = shape == 0 ? connectedGraph(n, random) : smallGroups(n, random);
            c.seed = static_cast<quint32>(n + shape);
            cases.append(c);
        }
    }

    // Given a size, only the cases of that many entities run; given a path
    // as well, each case's layout is drawn into a PNG there (the case's
    // number is added to the name) to be looked at.
    const int onlySize = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    const QString picture = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (onlySize > 0) {
        cases.erase(std::remove_if(cases.begin(), cases.end(), [onlySize](const Case& c) { return c.n != onlySize; }),
                    cases.end());
    }

    bool underSecond = true;
    bool fasterThanDot = !dot.isEmpty();
    bool aspectWithin = true;
    bool noCoincident = true;
    bool noSharedEnds = true;
    bool noCrossings = true;
    bool crossingsAsDot = !dot.isEmpty();
    for (qsizetype c = 0; c < cases.size(); ++c) {
        Case& kase = cases[c];
        // The best of three runs of each, on a fresh scene every time.
        Figures ours;
        Figures theirs;
        bool orthoFigures = false;
        for (int run = 0; run < Runs; ++run) {
            Graph graph = kase.graph;
            Scene s = kase.mermaid.isEmpty() ? buildScene(kase.n, kase.graph, kase.seed) : loadMermaid(kase.mermaid, graph);
            if (!kase.mermaid.isEmpty()) {
                kase.graph = graph;
                kase.n = static_cast<int>(s.entities.size());
            }
            const QString path = dir.filePath(QStringLiteral("graph_%1.dot").arg(c));
            const QString orthoPath = dir.filePath(QStringLiteral("graph_%1_ortho.dot").arg(c));
            if (run == 0) {
                writeDot(path, s, kase.graph, false);
                writeDot(orthoPath, s, kase.graph, true);
            }
            QElapsedTimer timer;
            timer.start();
            s.scene->autoLayout();
            const double runMs = timer.nsecsElapsed() / 1e6;
            const DotRun dotRun = runDot(dot, path, 600000);
            if (run == 0) {
                QList<QRectF> rects;
                QList<LaidOutEdge> edges;
                readScene(s, rects, edges);
                ours = measure(rects, edges, kase.graph);
                if (!picture.isEmpty())
                    drawScene(*s.scene, QString(picture).replace(QStringLiteral(".png"), QStringLiteral("_%1.png").arg(c)));
                // dot's figures from its right-angled edges where it
                // manages them within a minute, else from its splines.
                const DotRun ortho = runDot(dot, orthoPath, 60000);
                orthoFigures = ortho.ms >= 0;
                readDotPlain(orthoFigures ? ortho.output : dotRun.output, kase.n, rects, edges);
                theirs = measure(rects, edges, kase.graph);
                ours.ms = runMs;
                theirs.ms = dotRun.ms;
            } else {
                ours.ms = std::min(ours.ms, runMs);
                if (dotRun.ms >= 0)
                    theirs.ms = theirs.ms < 0 ? dotRun.ms : std::min(theirs.ms, dotRun.ms);
            }
        }

        if (kase.n >= 1000 && ours.ms >= 1000.0)
            underSecond = false;
        if (theirs.ms < 0 || ours.ms >= theirs.ms)
            fasterThanDot = false;
        if (ours.worstComponent > 2.0)
            aspectWithin = false;
        noCoincident = noCoincident && ours.quality.coincidentPairs == 0;
        noSharedEnds = noSharedEnds && ours.quality.sharedEndPoints == 0;
        noCrossings = noCrossings && ours.quality.edgesThroughEntities == 0;
        if (ours.crossingsPerEdge() > theirs.crossingsPerEdge() + 1e-9)
            crossingsAsDot = false;
        std::printf("%-14s %5d entities %5zu edges\n", qPrintable(kase.name), kase.n, kase.graph.size());
        printFigures("Quillmap", ours, "");
        printFigures("dot", theirs, orthoFigures ? "  (figures from splines=ortho)" : "  (figures from splines)");
        std::fflush(stdout);
    }
    std::printf("goal: 1,000 entities laid out in under 1000 ms: %s\n", underSecond ? "met" : "NOT met");
    std::printf("goal: faster than dot at every size: %s\n", fasterThanDot ? "met" : "NOT met");
    std::printf("goal: aspect at most 2 : 1 for every component of 15 or more entities: %s\n", aspectWithin ? "met" : "NOT met");
    std::printf("goal: no segments of different edges on one line: %s\n", noCoincident ? "met" : "NOT met");
    std::printf("goal: no two edge ends at one point: %s\n", noSharedEnds ? "met" : "NOT met");
    std::printf("goal: no route through an entity after the layout: %s\n", noCrossings ? "met" : "NOT met");
    std::printf("goal: crossings per edge no more than dot's: %s\n", crossingsAsDot ? "met" : "NOT met");
    const int met = int(underSecond) + int(fasterThanDot) + int(aspectWithin) + int(noCoincident) + int(noSharedEnds)
        + int(noCrossings) + int(crossingsAsDot);
    std::printf("goals met: %d of 7%s\n", met, met == 7 ? " (all)" : "");
    return 0;
}
