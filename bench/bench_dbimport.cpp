// Database import end to end on a large schema: 1,000 tables of 20 columns
// with 1,000 foreign keys in a throwaway PostgreSQL server. Times the whole
// road (the inspector reading the server, the conversion, the loading into
// the scene) and the conversion plus the load alone.
//
//   bench_dbimport [table-count]
//
// Goals: end to end under 3 s; conversion plus load under 1 s.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "common/temppostgrescluster.h"
#include "dbimport/inspectorjson.h"
#include "dbimport/schemaimporter.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int defaultTableCount = 1000;
constexpr int columnsPerTable = 20;
constexpr int runs = 5;
constexpr double endToEndGoalMs = 3000;
constexpr double convertAndLoadGoalMs = 1000;

// Tables t0000.. with a key, one foreign key each (to a near neighbour
// mostly, now and then far away or to itself) and 18 columns of assorted
// types; every tenth table has a unique column.
QByteArray schemaSql(int tables)
{
    static const char* const types[] = {"varchar(120)", "integer", "numeric(12,2)", "timestamptz", "boolean",
                                        "text", "date", "bigint", "char(3)", "jsonb"};
    QByteArray sql = "BEGIN;\n";
    for (int t = 0; t < tables; ++t) {
        sql += QStringLiteral("CREATE TABLE t%1 (id bigint PRIMARY KEY, parent_id bigint").arg(t, 4, 10, QLatin1Char('0')).toUtf8();
        for (int c = 2; c < columnsPerTable; ++c)
            sql += QStringLiteral(", c%1 %2%3")
                       .arg(c)
                       .arg(QLatin1String(types[(t + c) % 10]))
                       .arg(c == 2 && t % 10 == 0 ? QStringLiteral(" UNIQUE") : QString())
                       .toUtf8();
        sql += ");\n";
    }
    // Foreign keys once every table exists.
    for (int t = 0; t < tables; ++t) {
        const int target = t % 50 == 7 ? t : (t % 9 == 0 ? (t * 37 + 11) % tables : (t + 1) % tables);
        sql += QStringLiteral("ALTER TABLE t%1 ADD CONSTRAINT t%1_parent_fkey FOREIGN KEY (parent_id) "
                              "REFERENCES t%2 (id);\n")
                   .arg(t, 4, 10, QLatin1Char('0'))
                   .arg(target, 4, 10, QLatin1Char('0'))
                   .toUtf8();
    }
    return sql + "COMMIT;\n";
}

struct Run
{
    double endToEndMs = 0;
    double inspectorMs = 0;   // start until the importer reports
    double convertMs = 0;
    double loadMs = 0;
    double entitiesOnlyMs = 0;  // the same load without the edges
    int entities = 0;
    int edges = 0;
    QString failure;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    const int tableCount = args.isEmpty() ? defaultTableCount : std::max(2, args.first().toInt());

    TempPostgresCluster cluster;
    QString error;
    if (!cluster.start(&error)) {
        std::printf("bench_dbimport: cannot start a PostgreSQL server: %s\n", qPrintable(error));
        std::printf("goals met: none measured\n");
        return 1;
    }
    QTemporaryDir temp;
    const QString sqlPath = temp.filePath(QStringLiteral("schema.sql"));
    {
        QFile file(sqlPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(schemaSql(tableCount)) < 0)
            return 1;
    }
    QString output;
    if (!cluster.psql(QStringLiteral("postgres"), {"-c", "CREATE DATABASE bench"}, &output)
        || !cluster.psql(QStringLiteral("bench"), {"-f", sqlPath}, &output)) {
        std::printf("bench_dbimport: cannot create the schema: %s\n", qPrintable(output));
        return 1;
    }
    const QString script = QStringLiteral(QUILLMAP_INSPECTOR_SCRIPT);
    const QStringList inspectorArgs{"--dialect", "postgresql", "--host", cluster.host(), "--port",
                                    QString::number(cluster.port()), "--user", TempPostgresCluster::superuser(),
                                    "--password", "", "--schema", "public", "--dbname", "bench"};

    ERScene scene;
    ERView view(&scene);
    view.resize(1400, 900);
    view.show();

    // The first text laid out in a process pays for the font set-up; the
    // window has done that long before a user imports anything.
    scene.loadFromJson(convertInspectorJson(QJsonObject{
        {"tables", QJsonArray{QJsonObject{{"name", "warm"}, {"columns", QJsonArray{QJsonObject{{"name", "id"}}}}}}}}));
    scene.clearScene();

    std::vector<Run> results;
    for (int r = 0; r < runs; ++r) {
        Run run;
        QElapsedTimer total;
        SchemaImporter importer;
        QEventLoop loop;
        QJsonObject fullSchema;
        QJsonObject erJson;
        QObject::connect(&importer, &SchemaImporter::finished, [&](const QJsonObject& diagram, const QJsonObject& schema) {
            run.inspectorMs = total.nsecsElapsed() / 1e6;
            erJson = diagram;
            fullSchema = schema;
            loop.quit();
        });
        QObject::connect(&importer, &SchemaImporter::failed, [&](const QString& message) {
            run.failure = message;
            loop.quit();
        });
        total.start();
        importer.start(SchemaImporter::defaultPythonExecutable(), script, inspectorArgs);
        loop.exec();
        if (!run.failure.isEmpty()) {
            std::printf("bench_dbimport: the import failed: %s\n", qPrintable(run.failure));
            return 1;
        }
        // The importer converted once already inside the time above; the
        // load finishes the road.
        QElapsedTimer step;
        step.start();
        scene.loadFromJson(erJson);
        run.loadMs = step.nsecsElapsed() / 1e6;
        run.endToEndMs = total.nsecsElapsed() / 1e6;
        // The conversion on its own, from the inspector's object.
        step.start();
        const QJsonObject again = convertInspectorJson(fullSchema);
        run.convertMs = step.nsecsElapsed() / 1e6;
        run.entities = int(again.value(QStringLiteral("entities")).toArray().size());
        run.edges = int(again.value(QStringLiteral("edges")).toArray().size());
        scene.clearScene();
        QJsonObject entitiesOnly = erJson;
        entitiesOnly.insert(QStringLiteral("edges"), QJsonArray());
        step.start();
        scene.loadFromJson(entitiesOnly);
        run.entitiesOnlyMs = step.nsecsElapsed() / 1e6;
        scene.clearScene();
        results.push_back(run);
    }

    std::vector<double> endToEnd, inspector, convert, load, entitiesOnly, convertAndLoad;
    for (const Run& run : results) {
        endToEnd.push_back(run.endToEndMs);
        inspector.push_back(run.inspectorMs - run.convertMs);
        convert.push_back(run.convertMs);
        load.push_back(run.loadMs);
        entitiesOnly.push_back(run.entitiesOnlyMs);
        convertAndLoad.push_back(run.convertMs + run.loadMs);
    }
    std::printf("schema: %d tables of %d columns, %d foreign keys; diagram: %d entities, %d edges; %d runs\n",
                tableCount, columnsPerTable, tableCount, results.front().entities, results.front().edges, runs);
    BenchGoals goals("bench_dbimport");
    goals.medianUnder("end to end (inspector, conversion, load)", endToEnd, endToEndGoalMs);
    goals.noteMedian("  inspector (process, catalogue, JSON)", inspector, "part of end to end");
    goals.medianUnder("conversion + load into the scene", convertAndLoad, convertAndLoadGoalMs);
    goals.noteMedian("  conversion (convertInspectorJson)", convert, "part of the above");
    goals.noteMedian("  load (ERScene::loadFromJson)", load, "part of the above");
    goals.noteMedian("  the same load without the edges", entitiesOnly, "for comparison");
    return goals.finish();
}
