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
        std::printf("%6d entities, %6d relationships: export %8.1f ms, import %8.1f ms  (%.1f KiB of text)\n", count,
                    2 * count, f.exportMs, f.importMs, QFileInfo(path).size() / 1024.0);
        figures.push_back(f);
    }

    int met = 0;
    int goals = 0;
    const auto goal = [&](const char* what, double value, double limit, const char* unit) {
        const bool ok = value <= limit;
        ++goals;
        met += ok ? 1 : 0;
        std::printf("%-52s %8.2f %s (goal: at most %.2f %s) %s\n", what, value, unit, limit, unit, ok ? "met" : "MISSED");
    };
    const Figures& small = figures.front();
    const Figures& large = figures.back();
    goal("export of 2,000 entities", small.exportMs, 200, "ms");
    goal("import of 2,000 entities", small.importMs, 200, "ms");
    const double scale = double(large.entities) / small.entities;
    goal("export cost per entity, 20,000 against 2,000", large.exportMs / scale / small.exportMs, 2.0, "x");
    goal("import cost per entity, 20,000 against 2,000", large.importMs / scale / small.importMs, 2.0, "x");
    std::printf("goals met: %d of %d\n", met, goals);
    return 0;
}
