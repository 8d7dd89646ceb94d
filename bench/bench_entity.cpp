// Prints how long the entity box takes to read and write its JSON object and
// to lay out its rows, for boxes of growing row counts.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    // A large box opens and saves at 2 s per 100,000 rows, and lays out
    // within one frame.
    BenchGoals goals("bench_entity");
    QTextStream out(stdout);
    out << "rows  read_ms  write_ms  relayout_us\n";
    for (int rows : {10, 50, 200, 1000}) {
        QJsonArray attributes;
        for (int i = 0; i < rows; ++i) {
            attributes.append(QJsonObject{{"name", QStringLiteral("column_%1").arg(i)},
                                          {"type", i % 3 ? "VARCHAR(255)" : "BIGINT"},
                                          {"isPrimaryKey", i == 0},
                                          {"isUniqueKey", false},
                                          {"isForeignKey", i % 7 == 3}});
        }
        const QJsonObject obj{{"id", "bench"}, {"x", 10}, {"y", 20}, {"title", "bench_table"},
                              {"perspective", "full"}, {"attributes", attributes}};

        ERScene scene;
        auto* entity = new EntityItem(QStringLiteral("bench_table"), QSizeF(150, 70));
        scene.addItem(entity);

        QElapsedTimer timer;
        timer.start();
        entity->fromJson(obj);
        const double readMs = timer.nsecsElapsed() / 1e6;

        // The first write makes the rows' JSON; later ones, the rows
        // unchanged, take it over.
        timer.restart();
        entity->toJson();
        const double firstWriteMs = timer.nsecsElapsed() / 1e6;

        timer.restart();
        const int writes = 20;
        for (int i = 0; i < writes; ++i)
            entity->toJson();
        const double writeMs = timer.nsecsElapsed() / 1e6 / writes;

        timer.restart();
        const int layouts = 50;
        for (int i = 0; i < layouts; ++i)
            entity->relayoutRows();
        const double relayoutUs = timer.nsecsElapsed() / 1e3 / layouts;

        out << QString::asprintf("%4d  %7.2f  %8.3f  %11.1f\n", rows, readMs, writeMs, relayoutUs);
        out.flush();
        if (rows == 1000) {
            goals.under("1,000 rows: read", readMs, 20, "ms", 2);
            goals.under("1,000 rows: write", writeMs, 20, "ms", 3);
            goals.note("  the first write, rows not written before", firstWriteMs, "ms", "no goal", 3);
            goals.under("1,000 rows: relayout", relayoutUs / 1000, 16, "ms", 3);
        }
    }
    return goals.finish();
}
