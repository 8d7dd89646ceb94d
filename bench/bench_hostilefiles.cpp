// Open, through the main window, of files that are merely huge or shaped to
// be slow: a diagram of 100,000 entities of one row each, and 100,000
// relationships without stored routes between the same two entities. For each: the time
// from the command to the canvas shown, the peak resident memory of the
// process, and the longest time the GUI thread spent away from its event
// loop (a 10 ms timer records the largest gap between its runs); then the
// time a first click on the canvas takes to be handled.
// Goals: 100,000 entities under 15 s, under 2 GB and no stall over 1 s;
// 100,000 parallel relationships under 15 s and no stall over 1 s.
//
//   bench_hostilefiles [entities N] [parallel N] [rows ENTITIES ROWS]
//
// Each shape runs in a fresh window; the memory figure is the peak since the
// shape's file was written.

#include "benchutil.h"
#include "benchwindow.h"

#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

QByteArray entityText(int index, int rows, double x, double y)
{
    QByteArray text = "{\"id\":\"e" + QByteArray::number(index) + "\",\"title\":\"table_" + QByteArray::number(index)
        + "\",\"x\":" + QByteArray::number(x) + ",\"y\":" + QByteArray::number(y) + ",\"attributes\":[";
    for (int r = 0; r < rows; ++r) {
        if (r)
            text += ',';
        text += "{\"name\":\"column_" + QByteArray::number(r) + "\",\"type\":\"INTEGER\",\"isPrimaryKey\":"
            + (r == 0 ? "true" : "false") + "}";
    }
    return text + "]}";
}

QByteArray diagramText(const QByteArray& entities, const QByteArray& edges)
{
    return "{\"version\":\"1.0\",\"type\":\"er-diagram\",\"dialect\":\"PostgreSQL\",\"entities\":[" + entities
        + "],\"edges\":[" + edges + "],\"annotations\":[]}";
}

// Entities on a grid, each with rows rows.
QByteArray manyEntities(int count, int rows)
{
    QByteArray entities;
    for (int i = 0; i < count; ++i) {
        if (i)
            entities += ',';
        entities += entityText(i, rows, (i % 300) * 250.0, (i / 300) * 250.0);
    }
    return diagramText(entities, QByteArray());
}

// count relationships between the same two entities, none with a route.
QByteArray parallelEdges(int count)
{
    const QByteArray entities = entityText(0, 3, 0, 0) + ',' + entityText(1, 3, 600, 0);
    QByteArray edges;
    for (int i = 0; i < count; ++i) {
        if (i)
            edges += ',';
        edges += "{\"id\":\"r" + QByteArray::number(i) + "\",\"from\":\"e0\",\"to\":\"e1\"}";
    }
    return diagramText(entities, edges);
}

struct OpenFigures
{
    double ms = 0;
    double longestGapMs = 0;
    double peakMiB = 0;
    double fileMiB = 0;
    double closeMs = 0;
    double openMiB = 0;
    double firstClickMs = 0;
};

OpenFigures openFile(const QString& path)
{
    OpenFigures figures;
    figures.fileMiB = QFile(path).size() / (1024.0 * 1024.0);
    auto owned = std::make_unique<MainWindow>();
    MainWindow& window = *owned;
    showBenchWindow(window);
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    const auto* busy = window.findChild<BusySpinnerWidget*>();

    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.longestGapMs = std::max(figures.longestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    resetPeakResident();
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    ticker.start();
    window.loadDiagram();
    QApplication::processEvents();
    while (busy && busy->isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
    figures.ms = timer.nsecsElapsed() / 1e6;
    figures.longestGapMs = std::max(figures.longestGapMs, sinceTick.nsecsElapsed() / 1e6);
    ticker.stop();
    figures.peakMiB = residentMiB("VmHWM");
    figures.openMiB = residentMiB("VmRSS");
    // The first step a user takes once the file is open: a click in the
    // middle of the canvas, until everything it set off has been handled.
    if (auto* view = window.findChild<QGraphicsView*>()) {
        QWidget* viewport = view->viewport();
        const QPointF at = QRectF(viewport->rect()).center();
        timer.restart();
        for (const QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
            const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
        }
        QApplication::processEvents();
        figures.firstClickMs = timer.nsecsElapsed() / 1e6;
    }
    // The canvas is cleared the same way by the next Open.
    timer.restart();
    owned.reset();
    figures.closeMs = timer.nsecsElapsed() / 1e6;
    return figures;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void report(BenchGoals& goals, const QByteArray& what, const OpenFigures& figures, double msGoal, double mibGoal)
{
    std::printf("%s: file %.1f MiB\n", what.constData(), figures.fileMiB);
    goals.under(("open, " + what).constData(), figures.ms, msGoal, "ms");
    goals.under(("longest GUI stall, " + what).constData(), figures.longestGapMs, 1000, "ms");
    goals.under(("first click on the canvas, " + what).constData(), figures.firstClickMs, 1000, "ms");
    goals.under(("close, " + what).constData(), figures.closeMs, msGoal, "ms");
    if (mibGoal > 0)
        goals.under(("peak memory, " + what).constData(), figures.peakMiB, mibGoal, "MiB");
    else
        goals.note(("peak memory, " + what).constData(), figures.peakMiB, "MiB", "no goal");
    goals.note(("memory once open, " + what).constData(), figures.openMiB, "MiB", "resident");
}

} // namespace

int main(int argc, char** argv)
{
    prepareBenchEnvironment();
    QApplication app(argc, argv);
    setUpApplication();
    printBenchMessages();

    int entities = 100000;
    int parallel = 100000;
    int rowEntities = 0;
    int rows = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray name = argv[i];
        if (name == "entities")
            entities = QByteArray(argv[i + 1]).toInt();
        else if (name == "parallel")
            parallel = QByteArray(argv[i + 1]).toInt();
        else if (name == "rows" && i + 2 < argc) {
            entities = parallel = 0;
            rowEntities = QByteArray(argv[i + 1]).toInt();
            rows = QByteArray(argv[++i + 1]).toInt();
        }
    }

    QTemporaryDir dir;
    BenchGoals goals("bench_hostilefiles");
    const QString path = dir.filePath(QStringLiteral("hostile.json"));
    if (entities > 0) {
        writeBytes(path, manyEntities(entities, 1));
        report(goals, QByteArray::number(entities) + " entities", openFile(path), 15000, 2048);
    }
    if (parallel > 0) {
        writeBytes(path, parallelEdges(parallel));
        report(goals, QByteArray::number(parallel) + " parallel relationships", openFile(path), 15000, 0);
    }
    if (rowEntities > 0) {
        writeBytes(path, manyEntities(rowEntities, rows));
        report(goals, QByteArray::number(rowEntities) + " entities of " + QByteArray::number(rows) + " rows",
               openFile(path), 15000, 0);
    }
    return goals.finish();
}
