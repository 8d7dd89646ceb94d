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
//   bench_hostilefiles [entities N] [parallel N] [canvas N] [rows ENTITIES ROWS]
//
// Each shape runs in a fresh window; the memory figure is the peak since the
// shape's file was written.

#include "benchutil.h"
#include "benchwindow.h"

#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The longest time the event loop went without running a 10 ms timer.
class StallWatch
{
public:
    StallWatch()
    {
        m_ticker.setInterval(10);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { note(); });
    }
    void start()
    {
        m_sinceTick.start();
        m_ticker.start();
    }
    double stop()
    {
        note();
        m_ticker.stop();
        return m_longestMs;
    }

private:
    void note()
    {
        m_longestMs = std::max(m_longestMs, m_sinceTick.nsecsElapsed() / 1e6);
        m_sinceTick.restart();
    }
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    double m_longestMs = 0;
};

// Runs the events until the window's busy indicator is down.
void waitWhileBusy(MainWindow& window)
{
    const auto* busy = window.findChild<BusySpinnerWidget*>();
    QApplication::processEvents();
    while (busy && busy->isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
}

// Opens path in window through Open, until the canvas shows it.
void openInto(MainWindow& window, const QString& path)
{
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    window.loadDiagram();
    waitWhileBusy(window);
}

OpenFigures openFile(const QString& path)
{
    OpenFigures figures;
    figures.fileMiB = QFile(path).size() / (1024.0 * 1024.0);
    auto owned = std::make_unique<MainWindow>();
    MainWindow& window = *owned;
    showBenchWindow(window);

    StallWatch stalls;
    resetPeakResident();
    QElapsedTimer timer;
    timer.start();
    stalls.start();
    openInto(window, path);
    figures.ms = timer.nsecsElapsed() / 1e6;
    figures.longestGapMs = stalls.stop();
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

// ---------------------------------------------------------------- canvas
//
// count relationships between the same two entities, opened; then one of
// the two dragged with the mouse, moved by setPos as a drag moves it, and
// the diagram saved under a new name. A move costs time in proportion to
// the edges it moves: 3 s for 30,000 relationships, 10 s for 100,000. Save
// As shows the busy indicator at once (within 200 ms) and is done in 10 s.

struct CanvasFigures
{
    double dragMs = 0;
    double dragStallMs = 0;
    double draggedBy = 0;
    double setPosMs = 0;
    double toBusyMs = 0;
    double saveMs = 0;
    double saveStallMs = 0;
    bool saved = false;
};

void sendMouse(QWidget* viewport, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

CanvasFigures canvasRoads(const QString& path, const QString& savedPath)
{
    CanvasFigures figures;
    auto owned = std::make_unique<MainWindow>();
    MainWindow& window = *owned;
    showBenchWindow(window);
    openInto(window, path);
    auto* view = window.findChild<QGraphicsView*>(QStringLiteral("view"));
    auto* scene = view ? qobject_cast<ERScene*>(view->scene()) : nullptr;
    if (!scene || scene->entityItems().isEmpty())
        return figures;
    EntityItem* moved = scene->entityItems().constFirst();
    view->centerOn(moved);
    QApplication::processEvents();

    // A drag by a spot of the box that no label or slot covers, in five
    // steps of 40 px, each step's events run.
    QWidget* viewport = view->viewport();
    QPointF at;
    const QRectF box = moved->boundingRect();
    for (qreal y = box.top() + 2; y < box.bottom() && at.isNull(); y += 2) {
        for (qreal x = box.left() + 4; x < box.right(); x += 4) {
            const QPoint spot = view->mapFromScene(moved->mapToScene(x, y));
            if (view->itemAt(spot) == moved) {
                at = spot;
                break;
            }
        }
    }
    const QPointF before = moved->pos();
    StallWatch stalls;
    QElapsedTimer timer;
    timer.start();
    stalls.start();
    sendMouse(viewport, QEvent::MouseButtonPress, at, Qt::LeftButton);
    for (int step = 0; step < 5; ++step) {
        at += QPointF(0, 40);
        sendMouse(viewport, QEvent::MouseMove, at, Qt::LeftButton);
        QApplication::processEvents(QEventLoop::AllEvents, EdgeItem::FlushIntervalMs + 5);
    }
    sendMouse(viewport, QEvent::MouseButtonRelease, at, Qt::NoButton);
    while (EdgeItem::isFlushTimerActive())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
    figures.dragMs = timer.nsecsElapsed() / 1e6;
    figures.dragStallMs = stalls.stop();
    figures.draggedBy = moved->pos().y() - before.y();

    timer.restart();
    moved->setPos(moved->pos() + QPointF(0, 200));
    QApplication::processEvents();
    figures.setPosMs = timer.nsecsElapsed() / 1e6;

    DialogHooks::setSaveFileNameHook(
        [savedPath](QWidget*, const QString&, const QString&, const QString&) { return savedPath; });
    const auto* busy = window.findChild<BusySpinnerWidget*>();
    auto* saveAs = window.findChild<QAction*>(QStringLiteral("action_Save_As"));
    StallWatch saveStalls;
    timer.restart();
    saveStalls.start();
    if (saveAs)
        saveAs->trigger();
    if (busy && busy->isBusy())
        figures.toBusyMs = timer.nsecsElapsed() / 1e6;
    while (busy && busy->isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
    figures.saveMs = timer.nsecsElapsed() / 1e6;
    if (figures.toBusyMs == 0)
        figures.toBusyMs = figures.saveMs;
    figures.saveStallMs = saveStalls.stop();
    figures.saved = QFile::exists(savedPath);
    return figures;
}

void canvasRoad(BenchGoals& goals, const QTemporaryDir& dir, int count)
{
    const QString path = dir.filePath(QStringLiteral("parallel-canvas.json"));
    const QString savedPath = dir.filePath(QStringLiteral("parallel-saved.json"));
    QFile::remove(savedPath);
    writeBytes(path, parallelEdges(count));
    const CanvasFigures figures = canvasRoads(path, savedPath);
    const QByteArray what = QByteArray::number(count) + " relationships between two entities";
    // 3 s for 30,000, in proportion above.
    const double moveGoal = std::max(3000.0, count / 10.0);
    goals.under(("drag one entity, " + what).constData(), figures.dragMs, moveGoal, "ms");
    goals.under(("longest GUI stall in the drag, " + what).constData(), figures.dragStallMs, moveGoal, "ms");
    goals.note(("  the drag moved the entity by, " + what).constData(), figures.draggedBy, "px", "of 200");
    goals.under(("setPos of one entity, " + what).constData(), figures.setPosMs, moveGoal, "ms");
    goals.under(("Save As to the busy indicator, " + what).constData(), figures.toBusyMs, 200, "ms");
    goals.under(("Save As done, " + what).constData(), figures.saveMs, 10000, "ms");
    goals.note(("longest GUI stall in Save As, " + what).constData(), figures.saveStallMs, "ms",
               figures.saved ? "saved" : "NOT SAVED");
}

// ---------------------------------------------------------------- imports
//
// Import commands (Mermaid, draw.io, Image) given files shaped to exhaust
// the machine or to block: each must end with one sentence or the import,
// never an abort or a hang, under 4 GiB of address space (the limit is set
// for each of these roads and lifted after it).
// Goals: refused or read within 2 s of GUI stall at most; a FIFO or a
// device refused at once (under 1 s).

struct ImportFigures
{
    double ms = 0;
    double longestGapMs = 0;
    double peakMiB = 0;
    QString message;
    bool unblocked = false; // the bench had to end a read of a FIFO itself
};

// While alive, the process may use at most 4 GiB of address space.
class AddressSpaceCap
{
public:
    AddressSpaceCap()
    {
        m_set = ::getrlimit(RLIMIT_AS, &m_before) == 0;
        if (!m_set)
            return;
        rlimit capped = m_before;
        capped.rlim_cur = std::min<rlim_t>(m_before.rlim_max, rlim_t(4) << 30);
        m_set = ::setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AddressSpaceCap()
    {
        if (m_set)
            ::setrlimit(RLIMIT_AS, &m_before);
    }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;

private:
    rlimit m_before{};
    bool m_set = false;
};

// Triggers the window action on path and waits until the command is over.
// A FIFO still being read after a few seconds is given an end by the bench
// (a writer that opens and closes it), so that a hang shows as a figure.
ImportFigures importFile(const char* action, const QString& path, bool fifo = false)
{
    ImportFigures figures;
    auto owned = std::make_unique<MainWindow>();
    MainWindow& window = *owned;
    showBenchWindow(window);
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    DialogHooks::setMessageHook([&figures](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (title == QLatin1String("Unsaved Changes"))
            return QMessageBox::Discard;
        figures.message += (figures.message.isEmpty() ? QString() : QStringLiteral(" | ")) + title
            + QStringLiteral(": ") + text;
        return QMessageBox::Ok;
    });
    const auto* busy = window.findChild<BusySpinnerWidget*>();
    auto* command = window.findChild<QAction*>(QLatin1String(action));

    std::atomic<bool> over{false};
    std::atomic<bool> unblocked{false};
    std::thread unblocker;
    if (fifo) {
        const QByteArray native = QFile::encodeName(path);
        unblocker = std::thread([native, &over, &unblocked] {
            const auto start = std::chrono::steady_clock::now();
            while (!over && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            while (!over) {
                // Succeeds only while a reader has the FIFO open.
                const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    unblocked = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }

    StallWatch stalls;
    resetPeakResident();
    QElapsedTimer timer;
    timer.start();
    {
        const AddressSpaceCap cap;
        stalls.start();
        if (command)
            command->trigger();
        QApplication::processEvents();
        while (busy && busy->isBusy())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QApplication::processEvents();
        figures.ms = timer.nsecsElapsed() / 1e6;
        figures.longestGapMs = stalls.stop();
        figures.peakMiB = residentMiB("VmHWM");
        owned.reset();
    }
    over = true;
    if (unblocker.joinable())
        unblocker.join();
    figures.unblocked = unblocked;
    printBenchMessages();
    return figures;
}

void reportImport(BenchGoals& goals, const QByteArray& what, const ImportFigures& figures, double msGoal)
{
    std::printf("%s: %s%s\n", what.constData(),
                figures.message.isEmpty() ? "imported" : qPrintable(figures.message.left(300)),
                figures.unblocked ? " (blocked on the FIFO until the bench closed it)" : "");
    goals.under(("import, " + what).constData(), figures.ms, msGoal, "ms");
    goals.under(("longest GUI stall, " + what).constData(), figures.longestGapMs, 2000, "ms");
    goals.under(("peak memory, " + what).constData(), figures.peakMiB, 4096, "MiB");
}

// 24 compressed pages, each inflating to about 62 MiB of minimal cells:
// each page within the limits of one page, the file far beyond.
void drawioManyPagesRoad(BenchGoals& goals, const QTemporaryDir& dir)
{
    const QByteArray cell = "<mxCell id=\"c\"/>\n";
    QByteArray page = "<mxGraphModel><root>";
    page.reserve(62 * 1024 * 1024 + 64);
    while (page.size() < 62 * 1024 * 1024)
        page += cell;
    page += "</root></mxGraphModel>";
    const QByteArray payload = qCompress(page, 9).mid(4).toBase64();
    page = QByteArray();
    QByteArray file = "<mxfile>";
    for (int i = 0; i < 24; ++i)
        file += "<diagram name=\"Page " + QByteArray::number(i + 1) + "\">" + payload + "</diagram>";
    file += "</mxfile>";
    const QString path = dir.filePath(QStringLiteral("pages.drawio"));
    writeBytes(path, file);
    std::printf("draw.io, 24 pages of 62 MiB inflated: file %.1f MiB\n", file.size() / (1024.0 * 1024.0));
    reportImport(goals, "draw.io, 24 pages of 62 MiB inflated",
                 importFile("actionImport_from_Drawio", path), 15000);
}

// One entity whose name is 5,000,000 characters long.
void mermaidLongNameRoad(BenchGoals& goals, const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("long-name.mmd"));
    writeBytes(path, "erDiagram\n" + QByteArray(5000000, 'N') + " {\n  int id PK\n}\n");
    reportImport(goals, "Mermaid, a name of 5,000,000 characters",
                 importFile("actionImport_from_Mermaid", path), 2000);
}

// A 50 MB Mermaid file of one line: relationships one after another, read
// as one relationship with a label of the rest.
void mermaidOneLineRoad(BenchGoals& goals, const QTemporaryDir& dir)
{
    const QByteArray relationship = "A ||--o{ B : places ";
    QByteArray text = "erDiagram\n";
    text.reserve(50 * 1000 * 1000 + relationship.size());
    while (text.size() < 50 * 1000 * 1000)
        text += relationship;
    text += '\n';
    const QString path = dir.filePath(QStringLiteral("one-line.mmd"));
    writeBytes(path, text);
    reportImport(goals, "Mermaid, 50 MB on one line", importFile("actionImport_from_Mermaid", path), 2000);
}

// An SVG drawing of 120,000 titled boxes on a grid, more entities than a
// diagram may hold: Import from Image refuses it with the limit's sentence.
void svgManyBoxesRoad(BenchGoals& goals, const QTemporaryDir& dir)
{
    const int count = 120000, columns = 300;
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + QByteArray::number(columns * 160 + 40)
        + "\" height=\"" + QByteArray::number((count / columns) * 100 + 40) + "\">\n";
    svg.reserve(count * 140);
    for (int i = 0; i < count; ++i) {
        const QByteArray x = QByteArray::number((i % columns) * 160 + 20), y = QByteArray::number((i / columns) * 100 + 20);
        svg += "<rect x=\"" + x + "\" y=\"" + y + "\" width=\"120\" height=\"60\" fill=\"#fff\" stroke=\"#000\"/><text x=\""
            + x + "\" y=\"" + y + "\" dy=\"16\">table_" + QByteArray::number(i) + "</text>\n";
    }
    svg += "</svg>\n";
    const QString path = dir.filePath(QStringLiteral("many-boxes.svg"));
    writeBytes(path, svg);
    std::printf("SVG, 120,000 boxes: file %.1f MiB\n", svg.size() / (1024.0 * 1024.0));
    const ImportFigures figures = importFile("actionImport_from_Image", path);
    reportImport(goals, "SVG, 120,000 boxes", figures, 15000);
    goals.under("SVG, 120,000 boxes refused with the limit's sentence",
                figures.message.contains(QLatin1String("too large")) && figures.message.contains(QLatin1String("120,000"))
                    ? 0
                    : 1,
                1, "failures");
}

// A FIFO picked as the file of each import: refused at once, not read.
void fifoRoads(BenchGoals& goals, const QTemporaryDir& dir)
{
    const struct
    {
        const char* action;
        const char* name;
        const char* what;
    } roads[] = {
        {"actionImport_from_Mermaid", "pipe.mmd", "FIFO as Mermaid file"},
        {"actionImport_from_Drawio", "pipe.drawio", "FIFO as draw.io file"},
        {"actionImport_from_Image", "pipe.png", "FIFO as image file"},
        {"actionImport_from_Image", "pipe.svg", "FIFO as SVG file"},
    };
    for (const auto& road : roads) {
        const QString path = dir.filePath(QLatin1String(road.name));
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0) {
            std::printf("%s: no FIFO could be made\n", road.what);
            continue;
        }
        reportImport(goals, road.what, importFile(road.action, path, true), 1000);
    }
}

// /dev/zero, which never ends, picked as a Mermaid file.
void devZeroRoad(BenchGoals& goals)
{
    reportImport(goals, "/dev/zero as Mermaid file", importFile("actionImport_from_Mermaid", QStringLiteral("/dev/zero")),
                 1000);
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
    QList<int> canvasCounts = {30000, 100000};
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray name = argv[i];
        if (name == "entities")
            entities = QByteArray(argv[i + 1]).toInt();
        else if (name == "parallel")
            parallel = QByteArray(argv[i + 1]).toInt();
        else if (name == "canvas")
            canvasCounts = {QByteArray(argv[i + 1]).toInt()};
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
    drawioManyPagesRoad(goals, dir);
    svgManyBoxesRoad(goals, dir);
    mermaidLongNameRoad(goals, dir);
    fifoRoads(goals, dir);
    devZeroRoad(goals);
    mermaidOneLineRoad(goals, dir);
    // Last: the canvases of many relationships leave the process large.
    for (const int count : canvasCounts)
        canvasRoad(goals, dir, count);
    return goals.finish();
}
