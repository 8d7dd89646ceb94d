// Canvas and model in step on a large model: 1,000 tables of 10 columns with
// 1,000 relationships, and 50 stored diagrams of 200 entities each. Prints
// the time of bringing the model up from a scene of 1,000 entities (what
// Save does first), of renaming a table shown on every stored diagram, and
// of switching from one diagram to another (storing the outgoing scene,
// bringing the incoming rows into step with the model and loading them),
// with the parts of a switch timed on their own.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "explorer/explorerkinds.h"
#include "explorer/tablesync.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cstdio>
#include <vector>

namespace {

constexpr int tableCount = 1000;
constexpr int columnsPerTable = 10;
constexpr int relationshipCount = 1000;
constexpr int diagramCount = 50;
constexpr int entitiesPerDiagram = 200;
constexpr int runs = 7;

// The entity object of a table as a diagram stores it.
QJsonObject entityJson(const TableItem* table, int slot)
{
    const ConstraintItem* key = table->constraintOfType(ConstraintItem::PrimaryKey);
    QJsonArray rows;
    for (const ColumnItem* column : table->columns()) {
        rows.append(QJsonObject{{"name", column->name()},
                                {"type", column->displayType()},
                                {"isPrimaryKey", key && key->columns().contains(column->id())},
                                {"isUniqueKey", false},
                                {"isForeignKey", false}});
    }
    return QJsonObject{{"id", table->id()},   {"title", table->name()},
                       {"x", (slot % 40) * 220}, {"y", (slot / 40) * 260},
                       {"perspective", "full"}, {"attributes", rows}};
}

} // namespace

class SyncBenchmark
{
public:
    static int run(MainWindow& window);
};

int SyncBenchmark::run(MainWindow& window)
{
    ModelItem* model = window.currentModel;
    QRandomGenerator random(2024);
    model->setDialect(QStringLiteral("PostgreSQL"));

    std::vector<TableItem*> tables;
    for (int t = 0; t < tableCount; ++t) {
        QList<EntityRow> rows;
        for (int c = 0; c < columnsPerTable; ++c) {
            EntityRow row;
            row.name = c == 0 ? QStringLiteral("id") : QStringLiteral("column_%1").arg(c);
            row.type = c == 0 ? QStringLiteral("BIGINT") : QStringLiteral("VARCHAR(%1)").arg(10 * c);
            row.primaryKey = c == 0;
            rows.append(row);
        }
        tables.push_back(TableSync::registerTable(model, QStringLiteral("t%1").arg(t, 4, 10, QLatin1Char('0')),
                                                  QStringLiteral("table_%1").arg(t + 1), rows));
    }
    for (int r = 0; r < relationshipCount; ++r) {
        const TableItem* parent = tables[random.bounded(tableCount)];
        const TableItem* child = tables[random.bounded(tableCount)];
        TableSync::registerRelationship(model, QStringLiteral("r%1").arg(r), parent->id(), child->id(),
                                        parent->name(), child->name(), false, {});
    }

    // 50 stored diagrams of 200 entities; the first table is on all of them.
    QList<DiagramItem*> diagrams{window.currentDiagram};
    while (diagrams.size() < diagramCount) {
        DiagramItem* diagram = model->addDiagram();
        diagram->setName(QStringLiteral("Diagram %1").arg(diagrams.size() + 1));
        diagrams.append(diagram);
    }
    for (int d = 0; d < diagramCount; ++d) {
        QJsonArray entities;
        entities.append(entityJson(tables[0], 0));
        for (int e = 1; e < entitiesPerDiagram; ++e)
            entities.append(entityJson(tables[(d * 37 + e * 7) % tableCount], e));
        diagrams[d]->setData(QJsonObject{{"version", "1.0"},
                                         {"type", "er-diagram"},
                                         {"dialect", "PostgreSQL"},
                                         {"entities", entities},
                                         {"edges", QJsonArray{}},
                                         {"annotations", QJsonArray{}}});
    }

    // A live scene of 1,000 entities, one per table, as a loaded diagram
    // would put them there.
    window.suppressModelSync = true;
    for (int t = 0; t < tableCount; ++t) {
        auto* entity = new EntityItem(tables[t]->name(), QSizeF(160, 80));
        entity->fromJson(entityJson(tables[t], t));
        entity->setId(tables[t]->id());
        window.scene->addItem(entity);
        window.scene->notifyEntityAdded(entity);
    }
    window.suppressModelSync = false;
    std::printf("model: %d tables, %d relationships, %d stored diagrams of %d entities; scene: %d entities\n",
                tableCount, relationshipCount, diagramCount, entitiesPerDiagram, tableCount);

    // Save brings the model up first; a rename and a switch answer a click.
    BenchGoals goals("bench_sync");
    goals.medianUnder("syncModelFromScene (1,000 entities)", timeRuns(runs, [&] { window.syncModelFromScene(); }),
                      100);

    const QString renamedId = tables[0]->id();
    int n = 0;
    goals.medianUnder("rename into 50 stored diagrams + live entity", timeRuns(runs, [&] {
                          window.applyModelObjectName(ExplorerKind::Table, renamedId,
                                                      QStringLiteral("renamed_%1").arg(++n));
                      }), 50);
    // Switching between two stored diagrams of 200 entities: the outgoing
    // scene is captured, the incoming rows are brought into step with the
    // model and loaded. The first switch replaces the 1,000-entity scene.
    window.loadDiagramItem(diagrams[1]);
    int flip = 0;
    goals.medianUnder("diagram switch (200 entities each way)", timeRuns(runs, [&] {
                          window.loadDiagramItem(diagrams[(++flip % 2) == 1 ? 2 : 1]);
                      }), 150);
    // Its parts.
    goals.noteMedian("  capture: ERScene::toJson", timeRuns(runs, [&] { (void)window.scene->toJson(); }),
                     "part of the switch");
    goals.noteMedian("  rows into step: TableSync::alignDiagram", timeRuns(runs, [&] {
                         QJsonObject data = diagrams[5]->data();
                         TableSync::alignDiagram(data, model, window.project);
                     }), "part of the switch");
    const auto loadStored = [&] {
        window.suppressModelSync = true;
        window.scene->loadFromJson(diagrams[6]->data());
        window.suppressModelSync = false;
    };
    goals.noteMedian("  ERScene::loadFromJson", timeRuns(runs, loadStored), "part of the switch");
    window.hide();
    goals.noteMedian("  ERScene::loadFromJson, window hidden", timeRuns(runs, loadStored), "for comparison");
    window.show();
    // A switch whose incoming record is stale: a column added to every
    // table since it was stored.
    for (TableItem* table : tables) {
        ColumnItem* added = table->addColumn();
        added->setName(QStringLiteral("added"));
        added->setDataType(QStringLiteral("DATE"));
    }
    int stale = 3;
    goals.medianUnder("diagram switch, every incoming row set stale",
                      timeRuns(runs, [&] { window.loadDiagramItem(diagrams[stale++]); }), 150);

    int stored = 0;
    window.captureCurrentDiagram();
    for (const DiagramItem* diagram : std::as_const(diagrams)) {
        const QJsonArray entities = diagram->data().value("entities").toArray();
        bool shown = false;
        bool current = true;
        for (const QJsonValue& entity : entities) {
            if (entity.toObject().value("id").toString() != renamedId)
                continue;
            shown = true;
            current = current && entity.toObject().value("title").toString() == tables[0]->name();
        }
        stored += shown && current ? 1 : 0;
    }
    std::printf("stored diagrams showing the new name: %d of %d\n", stored, diagramCount);
    goals.finish();
    return stored == diagramCount ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    setUpApplication();

    MainWindow window;
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();
    return SyncBenchmark::run(window);
}
