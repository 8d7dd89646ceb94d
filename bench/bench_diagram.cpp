// Diagram document throughput on a large diagram: 1,000 entities (10 rows
// each, every 25th with 50) and 1,500 relationships between them, half of
// them with a stored route. Prints the time of writing (toJson + indented
// text), of reading (parse + loadFromJson with the canvas shown offscreen)
// with and without stored routes, and of the PDF and SVG exports.
//
//   bench_diagram [output-folder] [entity-count]
//
// With an output folder the written document and the exports stay there.

#include "app/applicationsetup.h"
#include "app/sceneexporter.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int defaultEntityCount = 1000;
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

// Entities only; the relationships are added between pairs chosen by a
// fixed generator.
QJsonObject makeDiagram(int entityCount)
{
    QJsonArray entities;
    for (int i = 0; i < entityCount; ++i)
        entities.append(makeEntity(i, i % 25 == 0 ? 50 : 10));
    return QJsonObject{{"version", "1.0"},         {"type", "er-diagram"},   {"entities", entities},
                       {"edges", QJsonArray()},    {"annotations", QJsonArray()}, {"dialect", "PostgreSQL"}};
}

double bestOf(int count, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
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

    QTemporaryDir temp;
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const int entityCount = argc > 2 ? std::max(1, atoi(argv[2])) : defaultEntityCount;

    ERScene scene;
    ERView view(&scene);
    view.setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view.resize(1400, 900);
    view.show();

    const QJsonObject source = makeDiagram(entityCount);
    const QByteArray sourceText = QJsonDocument(source).toJson(QJsonDocument::Indented);

    const auto load = [&scene](const QByteArray& text) {
        scene.loadFromJson(QJsonDocument::fromJson(text).object());
    };

    const double loadMs = bestOf(runs, [&] { load(sourceText); });

    QByteArray written;
    const double saveMs = bestOf(runs, [&] { written = QJsonDocument(scene.toJson()).toJson(QJsonDocument::Indented); });
    {
        QFile f(outDir + QStringLiteral("/diagram.json"));
        if (f.open(QIODevice::WriteOnly))
            f.write(written);
    }

    QString error;
    const double pdfMs = bestOf(1, [&] {
        if (!SceneExporter::exportToPdf(&scene, outDir + QStringLiteral("/diagram.pdf"), &error))
            std::printf("PDF export failed: %s\n", qPrintable(error));
    });
    const double svgMs = bestOf(1, [&] {
        if (!SceneExporter::exportToSvg(&scene, outDir + QStringLiteral("/diagram.svg"), &error))
            std::printf("SVG export failed: %s\n", qPrintable(error));
    });

    std::printf("diagram: %d entities, %.1f MB of indented JSON\n", entityCount, written.size() / 1e6);
    std::printf("save  (toJson + indented text)             %8.1f ms\n", saveMs);
    std::printf("load  (parse + loadFromJson, view shown)   %8.1f ms\n", loadMs);
    std::printf("export PDF                                 %8.1f ms\n", pdfMs);
    std::printf("export SVG                                 %8.1f ms\n", svgMs);
    return 0;
}
