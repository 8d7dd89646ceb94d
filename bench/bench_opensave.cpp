// Open and Save through the main window, as a user runs them, on the files
// that once froze it: one entity of 25,000, 50,000 and 100,000 rows, and a
// diagram of 10,000 entities (10 rows each) with 5,000 relationships. Open
// is timed from the command to the canvas shown (read, parse, load, fit),
// Save As from the command to the file written (canvas into the model,
// project into JSON, write). Goals: each under 2 s on the largest file, and
// the cost linear in the rows (doubling the rows less than 2.5 times the time).
// On the large diagram, the unsaved-changes check that Exit, Open, New and
// the imports run first takes under 50 ms while nothing has changed.
//
//   bench_opensave [--entities N] [--keep folder] [entity-rows...]
//
// The entity count of the large diagram and the rows of the one-entity
// files can be given, to see how the times grow. With --keep, each saved
// file stays in the folder (saved-<file opened>), so that a change meant to
// leave the files alone can be checked by comparing them.
//
// Beside the open times stand floors that Qt sets, measured here on the
// same file: its JSON parser reading the file; a plain scene shown with one
// text item per label of the diagram (a box per entity, a title and two
// cells per row), the items a canvas of editable labels would hold; and the
// same scene with a text item for each title only, each box drawing its
// rows' text itself, as this canvas does until a row is used.

#include "benchutil.h"
#include "benchwindow.h"

#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double goalMs = 2000;
constexpr double linearGoal = 2.5;  // time ratio allowed when the rows double

QJsonObject rowObject(int index)
{
    return QJsonObject{{"name", index == 0 ? QStringLiteral("id") : QStringLiteral("column_%1").arg(index)},
                       {"type", index == 0 ? "BIGINT" : (index % 3 ? "VARCHAR(255)" : "INTEGER")},
                       {"isPrimaryKey", index == 0},
                       {"isUniqueKey", false},
                       {"isForeignKey", false}};
}

QJsonObject entityObject(int index, int rows, double x, double y)
{
    QJsonArray attributes;
    for (int r = 0; r < rows; ++r)
        attributes.append(rowObject(r));
    return QJsonObject{{"id", QStringLiteral("entity-%1").arg(index)},
                       {"title", QStringLiteral("table_%1").arg(index)},
                       {"x", x},
                       {"y", y},
                       {"perspective", "full"},
                       {"attributes", attributes}};
}

QJsonObject diagram(const QJsonArray& entities, const QJsonArray& edges)
{
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"},        {"entities", entities},
                       {"edges", edges},   {"annotations", QJsonArray()}, {"dialect", "PostgreSQL"}};
}

QByteArray oneEntityFile(int rows)
{
    return QJsonDocument(diagram(QJsonArray{entityObject(0, rows, 0, 0)}, QJsonArray())).toJson();
}

// Entities on a grid, relationships between neighbours, each with a stored
// right-angled route so that Open routes nothing.
QByteArray manyEntitiesFile(int count, int edgeCount)
{
    QJsonArray entities;
    const int perRow = 100;
    for (int i = 0; i < count; ++i)
        entities.append(entityObject(i, 10, (i % perRow) * 300.0, (i / perRow) * 400.0));
    QJsonArray edges;
    for (int e = 0; e < edgeCount; ++e) {
        const int from = (2 * e) % count;
        const int to = from + 1 < count ? from + 1 : from - 1;
        const double x = (from % perRow) * 300.0;
        const double y = (from / perRow) * 400.0;
        const QJsonArray points{QJsonObject{{"x", x + 150}, {"y", y + 20}}, QJsonObject{{"x", x + 300}, {"y", y + 20}}};
        edges.append(QJsonObject{{"id", QStringLiteral("edge-%1").arg(e)},
                                 {"from", QStringLiteral("entity-%1").arg(from)},
                                 {"to", QStringLiteral("entity-%1").arg(to)},
                                 {"points", points}});
    }
    return QJsonDocument(diagram(entities, edges)).toJson();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void waitIdle(const MainWindow& window)
{
    const auto* busy = window.findChild<BusySpinnerWidget*>();
    QApplication::processEvents();
    // Waiting as the application's own loop waits: the overload with a
    // time limit drops WaitForMoreEvents and would keep a core busy polling
    // beside the job it waits for (the indicator's timer wakes this one).
    while (busy && busy->isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
}

struct OpenSave
{
    double openMs = 0;
    double saveMs = 0;
    bool written = false;
    double checkMs = 0;          // the unsaved-changes check, nothing changed since Open
    double comparedCheckMs = 0;  // the same check after a change was counted: the document written and compared
    bool checkSaidUnchanged = false;
};

// One Open of path in a fresh window, then one Save As.
OpenSave openAndSave(const QString& path, const QString& savePath)
{
    MainWindow window;
    showBenchWindow(window);
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    DialogHooks::setSaveFileNameHook(
        [savePath](QWidget*, const QString&, const QString&, const QString&) { return savePath; });
    QFile::remove(savePath);
    OpenSave result;
    result.openMs = bestOf(1, [&] {
        window.loadDiagram();
        waitIdle(window);
    });
    // What Exit, Open, New and the imports ask first, with nothing changed.
    bool changed = true;
    result.checkMs = bestOf(1, [&] { changed = window.hasUnsavedChanges(); });
    result.checkSaidUnchanged = !changed;
    window.noteDocumentEdit();
    result.comparedCheckMs = bestOf(1, [&] { changed = window.hasUnsavedChanges(); });
    result.checkSaidUnchanged = result.checkSaidUnchanged && !changed;
    result.saveMs = bestOf(1, [&] {
        window.saveDiagramAs();
        waitIdle(window);
    });
    result.written = QFile(savePath).size() > 0;
    return result;
}

struct QtFloor
{
    double parseMs = 0;
    double itemsMs = 0;
    double boxesMs = 0;
};

// A box that draws the names and types of its rows, those in the exposed
// part only.
class RowsBox : public QGraphicsRectItem
{
public:
    RowsBox(QStringList names, QStringList types)
        : QGraphicsRectItem(0, 0, 150, 33 + 18 * names.size())
        , m_names(std::move(names))
        , m_types(std::move(types))
    {
        setFlag(ItemUsesExtendedStyleOption, true);
    }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        QGraphicsRectItem::paint(painter, option, widget);
        const qsizetype first = std::max<qsizetype>(0, qsizetype((option->exposedRect.top() - 33) / 18) - 1);
        const qsizetype last = std::min(m_names.size(), qsizetype((option->exposedRect.bottom() - 33) / 18) + 2);
        for (qsizetype r = first; r < last; ++r) {
            const qreal y = 33 + 18 * r;
            painter->drawText(QRectF(10, y, 130, 18), Qt::AlignLeft, m_names.at(r));
            painter->drawText(QRectF(10, y, 130, 18), Qt::AlignRight, m_types.at(r));
        }
    }

private:
    QStringList m_names;
    QStringList m_types;
};

// What Qt alone takes for the file: parsing it, and making, indexing and
// showing a scene of one box per entity with a text item per label.
QtFloor qtFloor(const QString& path)
{
    QtFloor floor;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return floor;
    const QByteArray bytes = file.readAll();
    QElapsedTimer timer;
    timer.start();
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    floor.parseMs = timer.nsecsElapsed() / 1e6;

    QGraphicsScene scene;
    QGraphicsView view(&scene);
    view.resize(1400, 900);
    view.show();
    QApplication::processEvents();
    timer.restart();
    const QJsonArray entities = root.value(QStringLiteral("entities")).toArray();
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        const qsizetype rows = entity.value(QStringLiteral("attributes")).toArray().size();
        auto* box = new QGraphicsRectItem(0, 0, 150, 33 + 18 * rows);
        box->setPos(entity.value(QStringLiteral("x")).toDouble(), entity.value(QStringLiteral("y")).toDouble());
        scene.addItem(box);
        new QGraphicsTextItem(box);
        for (qsizetype r = 0; r < rows; ++r) {
            new QGraphicsTextItem(box);
            new QGraphicsTextItem(box);
        }
    }
    view.fitInView(scene.itemsBoundingRect(), Qt::KeepAspectRatio);
    view.resetTransform();
    view.viewport()->repaint();
    QApplication::processEvents();
    floor.itemsMs = timer.nsecsElapsed() / 1e6;

    QGraphicsScene boxes;
    view.setScene(&boxes);
    QApplication::processEvents();
    timer.restart();
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        const QJsonArray rows = entity.value(QStringLiteral("attributes")).toArray();
        QStringList names;
        QStringList types;
        names.reserve(rows.size());
        types.reserve(rows.size());
        for (const QJsonValue& row : rows) {
            names.append(row.toObject().value(QStringLiteral("name")).toString());
            types.append(row.toObject().value(QStringLiteral("type")).toString());
        }
        auto* box = new RowsBox(std::move(names), std::move(types));
        box->setPos(entity.value(QStringLiteral("x")).toDouble(), entity.value(QStringLiteral("y")).toDouble());
        boxes.addItem(box);
        new QGraphicsTextItem(box);
    }
    view.fitInView(boxes.itemsBoundingRect(), Qt::KeepAspectRatio);
    view.resetTransform();
    view.viewport()->repaint();
    QApplication::processEvents();
    floor.boxesMs = timer.nsecsElapsed() / 1e6;
    view.setScene(nullptr);
    return floor;
}

} // namespace

int main(int argc, char** argv)
{
    prepareBenchEnvironment();
    QApplication app(argc, argv);
    setUpApplication();
    printBenchMessages();

    std::vector<int> rowCounts;
    int entityCount = 10000;
    QString keepDir;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--entities" && i + 1 < argc)
            entityCount = QByteArray(argv[++i]).toInt();
        else if (QByteArray(argv[i]) == "--keep" && i + 1 < argc)
            keepDir = QString::fromLocal8Bit(argv[++i]);
        else
            rowCounts.push_back(QByteArray(argv[i]).toInt());
    }
    if (rowCounts.empty())
        rowCounts = {25000, 50000, 100000};

    QTemporaryDir dir;
    const QString savePath = dir.filePath(QStringLiteral("saved.json"));
    const auto keep = [&keepDir, &savePath](const QString& opened) {
        if (keepDir.isEmpty())
            return;
        const QString kept = keepDir + QStringLiteral("/saved-") + opened;
        QFile::remove(kept);
        QFile::copy(savePath, kept);
    };
    BenchGoals goals("bench_opensave");

    std::vector<OpenSave> entityRuns;
    for (int rows : rowCounts) {
        const QString path = dir.filePath(QStringLiteral("entity-%1.json").arg(rows));
        writeBytes(path, oneEntityFile(rows));
        // The save is the best of three, so that the ratios between sizes
        // compare the work, not what the disk did meanwhile. The open is
        // the first: later ones find the texts of the rows measured.
        OpenSave run = openAndSave(path, savePath);
        for (int again = 1; again < 3; ++again) {
            const OpenSave next = openAndSave(path, savePath);
            run.saveMs = std::min(run.saveMs, next.saveMs);
            run.written = run.written && next.written;
        }
        keep(QStringLiteral("entity-%1.json").arg(rows));
        entityRuns.push_back(run);
        std::printf("one entity of %6d rows: open %9.1f ms, save %9.1f ms%s\n", rows, run.openMs, run.saveMs,
                    run.written ? "" : "  (nothing written)");
    }
    const QByteArray most = QByteArray::number(rowCounts.back());
    goals.under(("open, one entity of " + most + " rows").constData(), entityRuns.back().openMs, goalMs, "ms");
    const QtFloor entityFloor = qtFloor(dir.filePath(QStringLiteral("entity-%1.json").arg(rowCounts.back())));
    goals.note("  Qt floor: parsing the file", entityFloor.parseMs, "ms", "QJsonDocument::fromJson");
    goals.note("  Qt floor: a text item per label, shown", entityFloor.itemsMs, "ms", "plain QGraphicsScene");
    goals.note("  Qt floor: title items, rows drawn by the box", entityFloor.boxesMs, "ms", "plain QGraphicsScene");
    goals.under(("save, one entity of " + most + " rows").constData(), entityRuns.back().saveMs, goalMs, "ms");
    for (size_t i = 1; i < entityRuns.size(); ++i) {
        const double doubling = double(rowCounts[i]) / rowCounts[i - 1];
        if (doubling < 1.5)
            continue;
        // Scaled to one doubling of the rows.
        const auto perDoubling = [doubling](double before, double after) {
            return std::pow(after / std::max(before, 0.01), 1.0 / std::log2(doubling));
        };
        const QByteArray label = QByteArray::number(rowCounts[i - 1]) + " -> " + QByteArray::number(rowCounts[i]);
        goals.under(("open time ratio per doubling, " + label).constData(),
                    perDoubling(entityRuns[i - 1].openMs, entityRuns[i].openMs), linearGoal, "x", 2);
        goals.under(("save time ratio per doubling, " + label).constData(),
                    perDoubling(entityRuns[i - 1].saveMs, entityRuns[i].saveMs), linearGoal, "x", 2);
    }

    const QString manyPath = dir.filePath(QStringLiteral("many.json"));
    writeBytes(manyPath, manyEntitiesFile(entityCount, entityCount / 2));
    const OpenSave many = openAndSave(manyPath, savePath);
    keep(QStringLiteral("many.json"));
    std::printf("%d entities, %d edges: open %.1f ms, save %.1f ms%s\n", entityCount, entityCount / 2,
                many.openMs, many.saveMs, many.written ? "" : "  (nothing written)");
    const QByteArray entities = QByteArray::number(entityCount);
    goals.under(("open, " + entities + " entities").constData(), many.openMs, goalMs, "ms");
    const QtFloor manyFloor = qtFloor(manyPath);
    goals.note("  Qt floor: parsing the file", manyFloor.parseMs, "ms", "QJsonDocument::fromJson");
    goals.note("  Qt floor: a text item per label, shown", manyFloor.itemsMs, "ms", "plain QGraphicsScene");
    goals.note("  Qt floor: title items, rows drawn by the box", manyFloor.boxesMs, "ms", "plain QGraphicsScene");
    goals.under(("save, " + entities + " entities").constData(), many.saveMs, goalMs, "ms");
    goals.under(("unsaved-changes check, nothing changed, " + entities + " entities").constData(), many.checkMs, 50,
                "ms", 2, many.checkSaidUnchanged ? "" : "(it found changes)");
    goals.note("  the same after an edit that changed nothing", many.comparedCheckMs, "ms",
               "the document written and compared");
    return goals.finish();
}
