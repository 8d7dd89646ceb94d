// Diagram document throughput on a large diagram: 1,000 entities (10 rows
// each, every 25th with 50) and 1,500 relationships between them. Prints the
// time of writing (toJson + indented text), of reading (parse + loadFromJson
// with the canvas shown offscreen) with no stored routes, with half of them
// and with all of them, of reading the entities alone and of clearing them
// (every load first deletes the diagram it replaces), the processor time the
// canvas takes at rest with one entity selected (its glow pulses), and the
// time of the PDF and SVG exports, beside what Qt's PDF writer and SVG
// generator take on their own to write the same drawing once it is made.
//
//   bench_diagram [--load-only] [output-folder] [entity-count]
//
// With an output folder the written document and the exports stay there,
// together with the routes every edge got from each kind of load
// (routes-<load>.txt, every coordinate to the last digit), so that a change
// meant to leave routing alone can be checked by comparing the files.
// --load-only skips the exports.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "app/sceneexporter.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "model/indentedjson.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QRandomGenerator>
#include <QStringList>
#include <QSvgGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int defaultEntityCount = 1000;
constexpr int defaultEdgeCount = 1500;
constexpr int runs = 3;

QJsonObject makeEntity(int index, int columns)
{
    QJsonArray rows;
    for (int c = 0; c < columns; ++c) {
        rows.append(QJsonObject{{"name", c == 0 ? QStringLiteral("id") : QStringLiteral("column_%1").arg(c)},
                                {"type", c == 0 ? "BIGINT" : (c % 3 ? "VARCHAR(255)" : "INTEGER")},
                                {"isPrimaryKey", c == 0},
                                {"isUniqueKey", c == 1},
                                {"isForeignKey", false}});
    }
    // A jittered grid, so that routes have entities to go around.
    QRandomGenerator jitter(static_cast<quint32>(index) * 7919u + 13u);
    const int perRow = 40;
    return QJsonObject{{"id", QStringLiteral("entity-%1").arg(index)},
                       {"title", QStringLiteral("table_%1").arg(index)},
                       {"x", (index % perRow) * 320.0 + jitter.bounded(60)},
                       {"y", (index / perRow) * 1100.0 + jitter.bounded(60)},
                       {"perspective", "full"},
                       {"attributes", rows}};
}

// Relationships between near neighbours mostly (as people draw them), some
// across the diagram, a few self-relations; none with a stored route.
QJsonObject makeDiagram(int entityCount, int edgeCount)
{
    QJsonArray entities;
    for (int i = 0; i < entityCount; ++i)
        entities.append(makeEntity(i, i % 25 == 0 ? 50 : 10));
    QJsonArray edges;
    QRandomGenerator pick(20261209u);
    for (int i = 0; i < edgeCount; ++i) {
        const int from = pick.bounded(entityCount);
        int to = from;
        if (i % 100 != 0) {
            to = i % 10 == 0 ? pick.bounded(entityCount)
                             : std::clamp(from + pick.bounded(-41, 42), 0, entityCount - 1);
        }
        edges.append(QJsonObject{{"id", QStringLiteral("edge-%1").arg(i)},
                                 {"from", QStringLiteral("entity-%1").arg(from)},
                                 {"to", QStringLiteral("entity-%1").arg(to)},
                                 {"startCard", i % 4},
                                 {"endCard", (i + 1) % 4}});
    }
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"},        {"entities", entities},
                       {"edges", edges},   {"annotations", QJsonArray()}, {"dialect", "PostgreSQL"}};
}

// The written document with the stored route of every other edge taken out.
QByteArray withHalfTheRoutes(const QJsonObject& written)
{
    QJsonObject root = written;
    QJsonArray edges = root.value(QStringLiteral("edges")).toArray();
    int stored = 0;
    for (qsizetype i = 0; i < edges.size(); ++i) {
        QJsonObject edge = edges.at(i).toObject();
        if (i % 2)
            edge.remove(QStringLiteral("points"));
        stored += edge.contains(QStringLiteral("points")) ? 1 : 0;
        edges.replace(i, edge);
    }
    root.insert(QStringLiteral("edges"), edges);
    std::printf("stored routes kept: %d of %lld edges\n", stored, static_cast<long long>(edges.size()));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// One line per edge, sorted by id: its slots and its route, every
// coordinate written so that it reads back to the same double.
void writeRoutes(const ERScene& scene, const QString& path)
{
    const auto number = [](double v) { return QString::number(v, 'g', 17); };
    const auto point = [&number](const QPointF& p) { return number(p.x()) + QLatin1Char(',') + number(p.y()); };
    QStringList lines;
    const QList<QGraphicsItem*> all = scene.items();
    for (const QGraphicsItem* item : all) {
        if (item->type() != DiagramItemType::Edge)
            continue;
        const auto* edge = static_cast<const EdgeItem*>(item);
        QString line = edge->id();
        for (const SlotItem* slot : {edge->fromSlot(), edge->toSlot()}) {
            line += slot ? QStringLiteral(" slot %1 ").arg(slot->side()) + point(slot->scenePos())
                         : QStringLiteral(" no-slot");
        }
        line += QStringLiteral(" route");
        for (const QPointF& p : edge->route())
            line += QLatin1Char(' ') + point(p);
        lines.append(line);
    }
    lines.sort();
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
}

// Processor time of this process, in milliseconds, over durationMs of an
// event loop with no work of its own.
double cpuMsOfIdleLoop(int durationMs)
{
    const std::clock_t start = std::clock();
    QEventLoop loop;
    QTimer::singleShot(durationMs, &loop, &QEventLoop::quit);
    loop.exec();
    return static_cast<double>(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
}

// What Qt's own engines take to write a drawing that is already made: the
// scene painted once into a picture (every paint call of the items done),
// then the picture replayed into the SVG generator and the PDF writer set up
// as the exports set them up. What an export takes beyond it is the scene's
// and the items' painting.
struct EngineFloor
{
    double svgMs = 0;
    double pdfMs = 0;
};

EngineFloor exportEngineFloor(ERScene& scene)
{
    EngineFloor floor;
    const QRectF svgSource = SceneExporter::svgSourceRect(&scene);
    QPicture svgPicture;
    {
        QPainter painter(&svgPicture);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        scene.render(&painter, QRectF(0, 0, svgSource.width(), svgSource.height()), svgSource, Qt::KeepAspectRatio);
    }
    floor.svgMs = bestOf(1, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setResolution(96);
        generator.setSize(QSize(qRound(svgSource.width()), qRound(svgSource.height())));
        generator.setViewBox(QRectF(0, 0, svgSource.width(), svgSource.height()));
        QPainter painter(&generator);
        painter.drawPicture(0, 0, svgPicture);
    });

    const QRectF pdfSource = SceneExporter::pdfSourceRect(&scene);
    QBuffer pdfBuffer;
    pdfBuffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdfBuffer);
    writer.setResolution(SceneExporter::PdfResolution);
    const qreal margin = SceneExporter::PdfMarginMm;
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A2),
                                     pdfSource.width() > pdfSource.height() ? QPageLayout::Landscape
                                                                            : QPageLayout::Portrait,
                                     QMarginsF(margin, margin, margin, margin), QPageLayout::Millimeter,
                                     QMarginsF(0, 0, 0, 0)));
    QPainter pdfPainter(&writer);
    QPicture pdfPicture;
    {
        QPainter painter(&pdfPicture);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        scene.render(&painter, QRectF(pdfPainter.viewport()), pdfSource, Qt::KeepAspectRatio);
    }
    floor.pdfMs = bestOf(1, [&] {
        pdfPainter.drawPicture(0, 0, pdfPicture);
        pdfPainter.end();
    });
    return floor;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    // The items log every step at debug level; a console full of it would
    // be what is measured.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QStringList args = QCoreApplication::arguments().mid(1);
    const bool loadOnly = args.removeAll(QStringLiteral("--load-only")) > 0;
    QTemporaryDir temp;
    const bool keepFiles = !args.isEmpty();
    const QString outDir = keepFiles ? args.at(0) : temp.path();
    const int entityCount = args.size() > 1 ? std::max(1, args.at(1).toInt()) : defaultEntityCount;
    const int edgeCount = entityCount * defaultEdgeCount / defaultEntityCount;

    ERScene scene;
    ERView view(&scene);
    view.setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view.resize(1400, 900);
    view.show();

    const QJsonObject source = makeDiagram(entityCount, edgeCount);
    const QByteArray sourceText = QJsonDocument(source).toJson(QJsonDocument::Indented);

    const auto load = [&scene](const QByteArray& text) {
        scene.loadFromJson(QJsonDocument::fromJson(text).object());
    };

    const auto keepRoutes = [&](const char* name) {
        if (keepFiles)
            writeRoutes(scene, outDir + QStringLiteral("/routes-%1.txt").arg(QLatin1String(name)));
    };

    const std::vector<double> routingRuns = timeRuns(runs, [&] { load(sourceText); });
    for (double ms : routingRuns) std::printf("routing run %.1f\n", ms);
    const double loadRoutingMs = *std::min_element(routingRuns.begin(), routingRuns.end());
    keepRoutes("routed");

    QByteArray written;
    const double saveMs = bestOf(runs, [&] { written = toIndentedJson(scene.toJson()); });
    const QByteArray halfStored = withHalfTheRoutes(QJsonDocument::fromJson(written).object());
    const double loadStoredMs = bestOf(runs, [&] { load(halfStored); });
    keepRoutes("half-stored");
    const double loadAllStoredMs = bestOf(runs, [&] { load(written); });
    keepRoutes("all-stored");
    QJsonObject entitiesOnly = source;
    entitiesOnly.insert(QStringLiteral("edges"), QJsonArray());
    const double entitiesOnlyMs = bestOf(runs, [&] { scene.loadFromJson(entitiesOnly); });
    // A load replaces the diagram on the canvas; how much of it goes into
    // deleting the old one.
    double clearMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        scene.loadFromJson(entitiesOnly);
        clearMs = std::min(clearMs, bestOf(1, [&] { scene.clearScene(); }));
    }
    {
        QFile f(outDir + QStringLiteral("/diagram.json"));
        if (f.open(QIODevice::WriteOnly))
            f.write(written);
    }

    std::printf("diagram: %d entities, %d edges, %.1f MB of indented JSON\n", entityCount, edgeCount,
                written.size() / 1e6);
    BenchGoals goals("bench_diagram");
    goals.under("save  (toJson + indented text)", saveMs, 1000, "ms");
    goals.under("load, every edge routed (parse + loadFromJson)", loadRoutingMs, 500, "ms");
    goals.under("load, half the edges with stored routes", loadStoredMs, 500, "ms");
    goals.under("load, every edge with a stored route", loadAllStoredMs, 500, "ms");
    goals.note("  of which the entities alone (no edges)", entitiesOnlyMs, "ms", "part of the load");
    goals.under("    of which deleting the replaced entities", clearMs, 150, "ms");

    // Every pulse of the glow changes the scene, 25 times a second.
    load(written);
    scene.entityItems().at(scene.entityItems().size() / 2)->setSelected(true);
    const double glowCpuMs = cpuMsOfIdleLoop(2000);
    scene.releaseSelection();
    // The glow may take a tenth of one core.
    goals.under("at rest, one entity selected: CPU over 2 s", glowCpuMs, 200, "ms");
    if (loadOnly)
        return goals.finish();

    QString error;
    const double pdfMs = bestOf(1, [&] {
        if (!SceneExporter::exportToPdf(&scene, outDir + QStringLiteral("/diagram.pdf"), &error))
            std::printf("PDF export failed: %s\n", qPrintable(error));
    });
    const double svgMs = bestOf(1, [&] {
        if (!SceneExporter::exportToSvg(&scene, outDir + QStringLiteral("/diagram.svg"), &error))
            std::printf("SVG export failed: %s\n", qPrintable(error));
    });

    goals.under("export PDF", pdfMs, 9000, "ms");
    goals.under("export SVG", svgMs, 6500, "ms");
    const EngineFloor floor = exportEngineFloor(scene);
    goals.note("  PDF: Qt's writer alone, the drawing made", floor.pdfMs, "ms", "the floor: deflate and PDF text");
    goals.note("  SVG: Qt's generator alone, the drawing made", floor.svgMs, "ms", "the floor: SVG text");
    return goals.finish();
}
