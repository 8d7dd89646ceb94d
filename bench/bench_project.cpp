// Project file throughput on a large project: 10 models of 1,000 tables with
// 20 columns each, 1,500 relationships (each with its foreign key) and 5
// stored diagrams per model. Prints the time and the peak resident memory of
// writing (the project's text from the items, then the file text) and of
// reading (parse + loadDocumentJson into a fresh project).

#include "benchutil.h"

#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int modelCount = 10;
constexpr int tablesPerModel = 1000;
constexpr int columnsPerTable = 20;
constexpr int relationshipsPerModel = 1500;
constexpr int diagramsPerModel = 5;
constexpr int runs = 3;

const char* const columnTypes[] = {"VARCHAR(255)", "BIGINT", "DECIMAL(12,2)", "TIMESTAMP",
                                   "TEXT", "CHAR(3)", "BOOLEAN", "NUMERIC(18)"};

void buildModel(ModelItem* model, int modelIndex, QRandomGenerator& random)
{
    model->setName(QStringLiteral("Model %1").arg(modelIndex + 1));
    model->setDialect(QStringLiteral("PostgreSQL"));

    std::vector<TableItem*> tables;
    tables.reserve(tablesPerModel);
    for (int t = 0; t < tablesPerModel; ++t) {
        TableItem* table = model->addTable();
        table->setName(QStringLiteral("table_%1").arg(t + 1));
        table->setSchema(QStringLiteral("public"));
        table->setComment(QStringLiteral("Table %1 of model %2").arg(t + 1).arg(modelIndex + 1));
        table->setProperty(QStringLiteral("tablespace"), QStringLiteral("pg_default"));
        for (int c = 0; c < columnsPerTable; ++c) {
            ColumnItem* column = table->addColumn();
            column->setName(c == 0 ? QStringLiteral("id") : QStringLiteral("column_%1").arg(c));
            column->setDataType(QLatin1String(c == 0 ? "BIGINT" : columnTypes[c % 8]));
            column->setNullable(c != 0);
            if (c % 5 == 0)
                column->setComment(QStringLiteral("Column %1 of table_%2").arg(c).arg(t + 1));
        }
        ConstraintItem* primaryKey = table->addConstraint();
        primaryKey->setType(ConstraintItem::PrimaryKey);
        primaryKey->setName(QStringLiteral("pk_table_%1").arg(t + 1));
        primaryKey->setColumns({table->columns().first()->id()});
        tables.push_back(table);
    }

    std::vector<RelationshipItem*> relationships;
    relationships.reserve(relationshipsPerModel);
    for (int r = 0; r < relationshipsPerModel; ++r) {
        TableItem* parent = tables[random.bounded(tablesPerModel)];
        TableItem* child = tables[random.bounded(tablesPerModel)];
        const QList<ColumnItem*> childColumns = child->columns();
        ColumnItem* fkColumn = childColumns.at(1 + int(random.bounded(columnsPerTable - 1)));
        RelationshipItem* relationship = model->addRelationship();
        relationship->setName(parent->name() + QLatin1Char('_') + child->name());
        relationship->setFromTableId(parent->id());
        relationship->setToTableId(child->id());
        ConstraintItem* foreignKey = child->addConstraint();
        foreignKey->setType(ConstraintItem::ForeignKey);
        foreignKey->setName(QStringLiteral("fk_") + relationship->name());
        foreignKey->setColumns({fkColumn->id()});
        foreignKey->setReferencedTableId(parent->id());
        foreignKey->setReferencedColumns({parent->columns().first()->id()});
        relationship->setConstraintId(foreignKey->id());
        relationships.push_back(relationship);
    }

    // Each diagram shows a fifth of the tables, with every attribute row, and
    // the relationships among them.
    const int perDiagram = tablesPerModel / diagramsPerModel;
    for (int d = 0; d < diagramsPerModel; ++d) {
        QJsonArray entities;
        QSet<QString> shown;
        for (int i = 0; i < perDiagram; ++i) {
            const TableItem* table = tables[size_t(d * perDiagram + i)];
            shown.insert(table->id());
            QJsonArray attributes;
            for (const ColumnItem* column : table->columns())
                attributes.append(QJsonObject{{"name", column->name()},
                                              {"type", column->displayType()},
                                              {"isPrimaryKey", column == table->columns().first()},
                                              {"isUniqueKey", false},
                                              {"isForeignKey", false}});
            entities.append(QJsonObject{{"id", table->id()},
                                        {"title", table->name()},
                                        {"kind", 0},
                                        {"displayMode", "full"},
                                        {"x", 40.0 + (i % 20) * 280.0},
                                        {"y", 40.0 + (i / 20) * 520.0},
                                        {"width", 220.0},
                                        {"height", 476.0},
                                        {"attributes", attributes}});
        }
        QJsonArray edges;
        for (const RelationshipItem* relationship : relationships) {
            if (shown.contains(relationship->fromTableId()) && shown.contains(relationship->toTableId()))
                edges.append(QJsonObject{{"id", relationship->id()},
                                         {"from", relationship->fromTableId()},
                                         {"to", relationship->toTableId()},
                                         {"startCard", 0},
                                         {"endCard", 3},
                                         {"fromSide", 1},
                                         {"toSide", 0}});
        }
        DiagramItem* diagram = model->addDiagram();
        diagram->setName(QStringLiteral("Diagram %1").arg(d + 1));
        diagram->setData(QJsonObject{{"version", "1.0"},
                                     {"type", "er-diagram"},
                                     {"entities", entities},
                                     {"edges", edges},
                                     {"annotations", QJsonArray()},
                                     {"dialect", "PostgreSQL"}});
    }
}

struct Figures
{
    double firstStep = 0;   // toDocumentJson, or the parse
    double secondStep = 0;  // indented text (and freeing the object), or loadDocumentJson
    double peakMiB = 0;
    double total() const { return firstStep + secondStep; }
};

void printRun(const char* phase, int run, const Figures& f, const char* first, const char* second)
{
    std::printf("%-5s run %d: %.3f s (%s %.3f s + %s %.3f s), peak RSS %.0f MiB\n", phase, run + 1,
                f.total(), first, f.firstStep, second, f.secondStep, f.peakMiB);
}

double best(const std::vector<Figures>& figures)
{
    double result = figures.front().total();
    for (const Figures& f : figures)
        result = std::min(result, f.total());
    return result;
}

double peak(const std::vector<Figures>& figures)
{
    double result = 0;
    for (const Figures& f : figures)
        result = std::max(result, f.peakMiB);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool canResetPeak = resetPeakResident();

    QElapsedTimer timer;
    timer.start();
    QRandomGenerator random(1234);
    auto project = std::make_unique<ProjectItem>();
    project->setName(QStringLiteral("Benchmark"));
    for (int m = 0; m < modelCount; ++m)
        buildModel(project->addModel(), m, random);
    const double buildSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("bench_project: %d models x %d tables x %d columns, %d relationships and %d diagrams "
                "per model\n",
                modelCount, tablesPerModel, columnsPerTable, relationshipsPerModel, diagramsPerModel);
    std::printf("built in %.3f s, resident %.0f MiB%s\n", buildSeconds, residentMiB("VmRSS"),
                canResetPeak ? "" : " (per-phase peaks unavailable: peaks are process-wide)");

    QByteArray text;
    std::vector<Figures> writes;
    for (int run = 0; run < runs; ++run) {
        text.clear();
        text.squeeze();
        resetPeakResident();
        Figures figures;
        timer.restart();
        {
            // As Save writes it: the project's own text straight from the
            // items with the stored diagrams beside it, then the envelope.
            const ProjectItem::DocumentParts parts = project->documentParts();
            figures.firstStep = timer.nsecsElapsed() / 1e9;
            timer.restart();
            text = ProjectItem::documentText(parts);
        }
        figures.secondStep = timer.nsecsElapsed() / 1e9;
        figures.peakMiB = residentMiB("VmHWM");
        writes.push_back(figures);
        printRun("write", run, figures, "documentParts", "text");
    }
    std::printf("project file: %.1f MiB of indented JSON\n", text.size() / 1048576.0);

    project.reset();  // measure reading without the original in memory
    std::vector<Figures> reads;
    for (int run = 0; run < runs; ++run) {
        resetPeakResident();
        Figures figures;
        timer.restart();
        auto loaded = std::make_unique<ProjectItem>();
        {
            const QJsonDocument document = QJsonDocument::fromJson(text);
            figures.firstStep = timer.nsecsElapsed() / 1e9;
            timer.restart();
            if (!loaded->loadDocumentJson(document.object())) {
                std::fprintf(stderr, "bench_project: the written file did not load\n");
                return 1;
            }
        }
        figures.secondStep = timer.nsecsElapsed() / 1e9;
        figures.peakMiB = residentMiB("VmHWM");
        reads.push_back(figures);
        printRun("read", run, figures, "parse", "loadDocumentJson");

        qsizetype tables = 0;
        for (const ModelItem* model : loaded->models())
            tables += model->tables().size();
        if (tables != qsizetype(modelCount) * tablesPerModel) {
            std::fprintf(stderr, "bench_project: read %lld tables\n", static_cast<long long>(tables));
            return 1;
        }
    }

    BenchGoals goals("bench_project");
    goals.under("best write", best(writes), 1.2, "s", 3);
    goals.under("best read", best(reads), 1.5, "s", 3);
    goals.under("peak RSS", std::max(peak(writes), peak(reads)), 1536, "MiB", 0);
    return goals.finish();
}
