// draw.io interchange on a large page: import of a compressed page of 2,000
// tables with 10 rows each drawn as the editor draws them (and 2,000
// relationships between key rows), and export of 2,000 entities of 10 rows
// (and 2,000 relationships). Each is also timed at a quarter of the size to
// show that the cost grows linearly with the page.

#include "benchutil.h"

#include "interchange/drawioreader.h"
#include "interchange/drawiowriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>

namespace {

constexpr int rowsPerTable = 10;
constexpr int runs = 5;
constexpr double goalMs = 500;
// The small case is half the large one. Twice the tables may cost at most
// this many times as much: linear growth with room for the large page
// spilling out of the caches, well short of quadratic (4).
constexpr int smallTables = 1000;
constexpr int largeTables = 2000;
constexpr double growthGoal = 3;

QJsonObject diagramOf(int tables)
{
    QJsonArray entities;
    for (int t = 0; t < tables; ++t) {
        QJsonArray attributes;
        for (int r = 0; r < rowsPerTable; ++r) {
            attributes.append(QJsonObject{{"name", r == 0 ? QStringLiteral("id") : QStringLiteral("column_%1").arg(r)},
                                          {"type", r == 0 ? QStringLiteral("bigint") : QStringLiteral("varchar(255)")},
                                          {"isPrimaryKey", r == 0},
                                          {"isForeignKey", r == 1},
                                          {"fkEdgeId", r == 1 ? QJsonValue(QStringLiteral("rel_%1").arg(t)) : QJsonValue()}});
        }
        entities.append(QJsonObject{{"id", QStringLiteral("table_%1").arg(t)},
                                    {"title", QStringLiteral("Table %1").arg(t)},
                                    {"x", 40.0 + (t % 50) * 300.0},
                                    {"y", 40.0 + (t / 50) * 400.0},
                                    {"attributes", attributes}});
    }
    QJsonArray edges;
    for (int t = 0; t < tables; ++t) {
        edges.append(QJsonObject{{"id", QStringLiteral("rel_%1").arg(t)},
                                 {"from", QStringLiteral("table_%1").arg((t * 7 + 1) % tables)},
                                 {"to", QStringLiteral("table_%1").arg(t)},
                                 {"startCard", 0},
                                 {"endCard", 3}});
    }
    return QJsonObject{{"entities", entities}, {"edges", edges}};
}

QByteArray rawDeflate(const QByteArray& bytes)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(bytes.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// A page as the editor itself draws an ER table: a "table" shape whose rows
// are partial rectangles holding a key cell and a name cell, cell ids made
// of a 20-character prefix and a counter, and per table one relationship
// from the primary-key row of another table to its foreign-key row, with
// the editor's source and target points. Saved the editor's default way:
// the page model percent-encoded, deflated and in Base64 inside its
// "diagram" element.
QByteArray editorPageFile(int tables)
{
    const QByteArray prefix = "C-vyLk0tnHw3VtMMgP7b-";
    const QByteArray tableStyle = "shape=table;startSize=30;container=1;collapsible=1;childLayout=tableLayout;"
                                  "fixedRows=1;rowLines=0;fontStyle=1;align=center;resizeLast=1;";
    const QByteArray rowStyle = "shape=partialRectangle;collapsible=0;dropTarget=0;pointerEvents=0;fillColor=none;"
                                "points=[[0,0.5],[1,0.5]];portConstraint=eastwest;top=0;left=0;right=0;bottom=0;";
    const QByteArray keyStyle = "shape=partialRectangle;overflow=hidden;connectable=0;fillColor=none;top=0;left=0;"
                                "bottom=0;right=0;fontStyle=1;";
    const QByteArray nameStyle = "shape=partialRectangle;overflow=hidden;connectable=0;fillColor=none;top=0;left=0;"
                                 "bottom=0;right=0;align=left;spacingLeft=6;";
    const QByteArray edgeStyle = "edgeStyle=entityRelationEdgeStyle;endArrow=ERzeroToMany;startArrow=ERone;"
                                 "endFill=1;startFill=0;";
    const auto id = [&](int table, int cell) { return prefix + QByteArray::number(table * 40 + cell); };
    const auto geometry = [](const QByteArray& attributes) {
        return "<mxGeometry " + attributes + " as=\"geometry\"/></mxCell>";
    };

    QByteArray page = "<mxGraphModel dx=\"1223\" dy=\"797\" grid=\"1\" gridSize=\"10\" guides=\"1\" "
                      "tooltips=\"1\" connect=\"1\" arrows=\"1\" fold=\"1\" page=\"1\" pageScale=\"1\" "
                      "pageWidth=\"850\" pageHeight=\"1100\" math=\"0\" shadow=\"0\"><root><mxCell id=\"0\"/>"
                      "<mxCell id=\"1\" parent=\"0\"/>";
    for (int t = 0; t < tables; ++t) {
        const QByteArray table = id(t, 0);
        page += "<mxCell id=\"" + table + "\" value=\"Table_" + QByteArray::number(t) + "\" style=\"" + tableStyle
                + "\" parent=\"1\" vertex=\"1\">"
                + geometry("x=\"" + QByteArray::number(40 + (t % 50) * 300) + "\" y=\"" + QByteArray::number(40 + (t / 50) * 400)
                           + "\" width=\"250\" height=\"" + QByteArray::number(30 + 30 * rowsPerTable) + "\"");
        for (int r = 0; r < rowsPerTable; ++r) {
            const QByteArray row = id(t, 1 + 3 * r);
            const QByteArray key = r == 0 ? "PK" : r == 1 ? "FK1" : "";
            const QByteArray name = r == 0 ? "id int NOT NULL" : "column_" + QByteArray::number(r) + " varchar(255)";
            page += "<mxCell id=\"" + row + "\" value=\"\" style=\"" + rowStyle + "\" parent=\"" + table
                    + "\" vertex=\"1\">" + geometry("y=\"" + QByteArray::number(30 + 30 * r) + "\" width=\"250\" height=\"30\"");
            page += "<mxCell id=\"" + id(t, 2 + 3 * r) + "\" value=\"" + key + "\" style=\"" + keyStyle + "\" parent=\""
                    + row + "\" vertex=\"1\">" + geometry("width=\"30\" height=\"30\"");
            page += "<mxCell id=\"" + id(t, 3 + 3 * r) + "\" value=\"" + name + "\" style=\"" + nameStyle + "\" parent=\""
                    + row + "\" vertex=\"1\">" + geometry("x=\"30\" width=\"220\" height=\"30\"");
        }
    }
    for (int t = 0; t < tables; ++t) {
        const int from = (t * 7 + 1) % tables;
        page += "<mxCell id=\"" + id(t, 39) + "\" value=\"\" style=\"" + edgeStyle + "\" parent=\"1\" source=\""
                + id(from, 1) + "\" target=\"" + id(t, 4) + "\" edge=\"1\"><mxGeometry width=\"100\" height=\"100\" "
                "relative=\"1\" as=\"geometry\"><mxPoint x=\"340\" y=\"720\" as=\"sourcePoint\"/>"
                "<mxPoint x=\"440\" y=\"620\" as=\"targetPoint\"/></mxGeometry></mxCell>";
    }
    page += "</root></mxGraphModel>";
    return "<mxfile host=\"bench\"><diagram id=\"p\" name=\"Page-1\">" + rawDeflate(page.toPercentEncoding()).toBase64()
           + "</diagram></mxfile>";
}

// Best milliseconds of the small and the large case. The two are timed in
// turn, round after round, so that both see the same load of the machine
// and their ratio shows how the cost grows, not what else was running.
struct Pair
{
    double small = 1e300;
    double large = 1e300;
    double largeCpu = 1e300; // processor time of the large case: what the load of the machine does not add
    bool ok = true;
};

Pair timeInTurn(const std::function<bool()>& small, const std::function<bool()>& large)
{
    Pair pair;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        pair.ok = small() && pair.ok;
        pair.small = std::min(pair.small, timer.nsecsElapsed() / 1e6);
        timer.start();
        const std::clock_t cpu = std::clock();
        pair.ok = large() && pair.ok;
        pair.large = std::min(pair.large, timer.nsecsElapsed() / 1e6);
        pair.largeCpu = std::min(pair.largeCpu, double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    return pair;
}

// Writes the editor's page of that many tables to path and returns a check
// that imports it.
std::function<bool()> importOf(int tables, const QString& path)
{
    const QByteArray file = editorPageFile(tables);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return [] { return false; };
    std::printf("  compressed page of %d tables: %.0f KiB\n", tables, file.size() / 1024.0);
    return [tables, path]() {
        QString error;
        const QJsonObject result = parseDrawioFile(path, &error);
        const QJsonArray entities = result.value(QLatin1String("entities")).toArray();
        return entities.size() == tables && result.value(QLatin1String("edges")).toArray().size() == tables
               && entities.first().toObject().value(QLatin1String("attributes")).toArray().size() == rowsPerTable;
    };
}

std::function<bool()> exportOf(int tables, const QString& path)
{
    const QJsonObject diagram = diagramOf(tables);
    return [diagram, path]() { return writeDrawioFile(diagram, path, nullptr); };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };

    std::printf("bench_drawio: best of %d runs; %d rows per table\n", runs, rowsPerTable);
    const std::function<bool()> smallImport = importOf(smallTables, file("small.drawio"));
    const std::function<bool()> largeImport = importOf(largeTables, file("large.drawio"));
    const Pair imports = timeInTurn(smallImport, largeImport);
    const Pair exports = timeInTurn(exportOf(smallTables, file("small-out.drawio")), exportOf(largeTables, file("large-out.drawio")));
    if (!imports.ok || !exports.ok) {
        std::fprintf(stderr, "bench_drawio: a run did not give the expected result\n");
        return 1;
    }

    int met = 0;
    int goals = 0;
    const auto report = [&](const char* what, double value, double goal, const char* unit) {
        const bool ok = value < goal;
        ++goals;
        met += ok ? 1 : 0;
        std::printf("%-52s %8.2f %s   goal under %.0f %s   %s\n", what, value, unit, goal, unit, ok ? "met" : "MISSED");
    };
    std::printf("processor time of the large cases: import %.2f ms, export %.2f ms\n", imports.largeCpu,
                exports.largeCpu);
    report("import, 2,000 tables x 10 rows (compressed)", imports.large, goalMs, "ms");
    report("import growth, 2,000 vs 1,000 tables", imports.large / imports.small, growthGoal, "x");
    report("export, 2,000 entities x 10 rows", exports.large, goalMs, "ms");
    report("export growth, 2,000 vs 1,000 entities", exports.large / exports.small, growthGoal, "x");
    std::printf("goals met: %d of %d\n", met, goals);
    return 0;
}
