// Mermaid erDiagram import and export of large diagrams: 2,000 entities
// with 4,000 relationships, then 10,000 and 20,000 entities. Each way
// includes the file: export is sceneJsonToMermaid and the write, import
// the read, the parse and the diagram JSON.
//
// Goals: 2,000 entities under 200 ms each way; the cost per entity at
// 20,000 at most twice that at 2,000 (growth close to linear).

#include "interchange/mermaidreader.h"
#include "interchange/mermaidwriter.h"

#include "benchutil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QJsonObject makeDiagram(int entityCount, quint32 seed)
{
    QRandomGenerator random(seed);
    static const char* const types[] = {"int", "bigint", "varchar(120)", "decimal(12,2)", "timestamp", "uuid"};
    QJsonArray entities;
    for (int i = 0; i < entityCount; ++i) {
        QJsonArray attributes;
        attributes.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("id")},
                                      {QStringLiteral("type"), QStringLiteral("bigint")},
                                      {QStringLiteral("isPrimaryKey"), true}});
        const int extra = 2 + random.bounded(5);
        for (int a = 0; a < extra; ++a) {
            attributes.append(QJsonObject{
                {QStringLiteral("name"), QStringLiteral("column_%1").arg(a)},
                {QStringLiteral("type"), QLatin1String(types[random.bounded(6)])},
                {QStringLiteral("isForeignKey"), random.bounded(4) == 0},
            });
        }
        // Every fifth title needs an alias.
        const QString title = i % 5 == 0 ? QStringLiteral("Table %1").arg(i) : QStringLiteral("TABLE_%1").arg(i);
        entities.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("e%1").arg(i)},
                                    {QStringLiteral("title"), title},
                                    {QStringLiteral("attributes"), attributes}});
    }
    QJsonArray edges;
    for (int i = 0; i < 2 * entityCount; ++i) {
        edges.append(QJsonObject{
            {QStringLiteral("id"), QStringLiteral("r%1").arg(i)},
            {QStringLiteral("from"), QStringLiteral("e%1").arg(random.bounded(entityCount))},
            {QStringLiteral("to"), QStringLiteral("e%1").arg(random.bounded(entityCount))},
            {QStringLiteral("startCard"), random.bounded(4)},
            {QStringLiteral("endCard"), random.bounded(4)},
            {QStringLiteral("label"), QStringLiteral("relates %1").arg(i)},
        });
    }
    return QJsonObject{{QStringLiteral("entities"), entities}, {QStringLiteral("edges"), edges}};
}

struct Figures
{
    int entities = 0;
    double exportMs = 0;
    double importMs = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mmd"));

    BenchGoals goals("bench_mermaid");
    std::vector<Figures> figures;
    for (const int count : {2000, 10000, 20000}) {
        const QJsonObject diagram = makeDiagram(count, 7);
        Figures f;
        f.entities = count;
        bool ok = true;
        f.exportMs = bestOf(5, [&] { ok = writeMermaidFile(diagram, path, nullptr) && ok; });
        QJsonObject read;
        f.importMs = bestOf(5, [&] { read = parseMermaidFile(path, nullptr); });
        if (!ok || read.value(QStringLiteral("entities")).toArray().size() != count
            || read.value(QStringLiteral("edges")).toArray().size() != 2 * count) {
            std::fprintf(stderr, "bench_mermaid: the diagram of %d entities did not come back whole\n", count);
            return 1;
        }
        const QByteArray what = QByteArray::number(count) + " entities, " + QByteArray::number(2 * count)
            + " relationships";
        if (count == 2000) {
            goals.under(("export of " + what + ", best of 5").constData(), f.exportMs, 200, "ms");
            goals.under(("import of " + what + ", best of 5").constData(), f.importMs, 200, "ms");
        } else {
            goals.note(("export of " + what + ", best of 5").constData(), f.exportMs, "ms", "for the growth below");
            goals.note(("import of " + what + ", best of 5").constData(), f.importMs, "ms", "for the growth below");
        }
        figures.push_back(f);
    }
    goals.note("text of 20,000 entities", QFileInfo(path).size() / 1024.0, "KiB", "as written");

    // Close to linear: the cost per entity at 20,000 at most twice that at
    // 2,000.
    const Figures& small = figures.front();
    const Figures& large = figures.back();
    const double scale = double(large.entities) / small.entities;
    goals.under("export cost per entity, 20,000 against 2,000", large.exportMs / scale / small.exportMs, 2.0, "x", 2);
    goals.under("import cost per entity, 20,000 against 2,000", large.importMs / scale / small.importMs, 2.0, "x", 2);
    return goals.finish();
}
