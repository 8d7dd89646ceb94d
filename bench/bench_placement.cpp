// Placing and removing model objects on a large model: 1,000 tables with
// 1,500 relationships (each with its foreign key) and 50 stored diagrams of
// 200 entities each. Prints the time of dropping 200 tables from the
// explorer onto an empty diagram at once (their stored looks found, their
// relationships drawn) and of removing 100 of them from the explorer (the
// canvas, every stored diagram and the model pruned, the tree rebuilt).

#include "benchutil.h"
#include "benchwindow.h"

#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "explorer/explorerkinds.h"
#include "explorer/modeladditions.h"
#include "explorer/projecttreemodel.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSortFilterProxyModel>
#include <QStandardItem>
#include <QTreeView>

#include <cstdio>

namespace {

constexpr int tableCount = 1000;
constexpr int relationshipCount = 1500;
constexpr int diagramCount = 50;
constexpr int entitiesPerDiagram = 200;
constexpr int dropped = 200;
constexpr int removed = 100;

QJsonObject storedEntity(const TableItem* table, int slot)
{
    QJsonArray rows;
    rows.append(QJsonObject{{"name", table->name() + QStringLiteral("_id")},
                            {"type", "BIGINT"},
                            {"isPrimaryKey", true}});
    return QJsonObject{{"id", table->id()},
                       {"title", table->name()},
                       {"x", (slot % 20) * 220},
                       {"y", (slot / 20) * 140},
                       {"attributes", rows}};
}

} // namespace

int main(int argc, char** argv)
{
    prepareBenchEnvironment();
    QApplication app(argc, argv);
    setUpApplication();

    MainWindow window;
    showBenchWindow(window);

    auto* project = window.findChild<ProjectItem*>();
    if (!project || project->models().isEmpty()) {
        std::fprintf(stderr, "no model in the main window\n");
        return 1;
    }
    ModelItem* model = project->models().first();
    model->setDialect(QStringLiteral("PostgreSQL"));
    QList<TableItem*> tables;
    for (int t = 0; t < tableCount; ++t)
        tables.append(ModelAdditions::addTable(model));
    QRandomGenerator random(2026);
    for (int r = 0; r < relationshipCount; ++r) {
        TableItem* parent = tables.at(random.bounded(tableCount));
        TableItem* child = tables.at(random.bounded(tableCount));
        ModelAdditions::addRelationship(model, parent, child);
    }
    for (int d = 0; d < diagramCount; ++d) {
        QJsonArray entities;
        for (int e = 0; e < entitiesPerDiagram; ++e)
            entities.append(storedEntity(tables.at((d * 97 + e) % tableCount), e));
        DiagramItem* diagram = model->addDiagram();
        diagram->setName(QStringLiteral("Stored %1").arg(d + 1));
        diagram->setData(QJsonObject{{"version", "1.0"},
                                     {"type", "er-diagram"},
                                     {"entities", entities},
                                     {"edges", QJsonArray{}},
                                     {"annotations", QJsonArray{}}});
    }
    window.rebuildProjectTree();
    QApplication::processEvents();
    std::printf("model: %d tables, %d relationships, %d stored diagrams of %d entities\n", tableCount,
                relationshipCount, diagramCount, entitiesPerDiagram);

    // The drag data of 200 table rows, as the explorer makes it.
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("treeViewProject"));
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(tree->model());
    QModelIndexList rows;
    for (int t = 0; t < dropped; ++t)
        rows.append(window.findTreeItem(ExplorerKind::Table, tables.at(t * 5)->id())->index());
    const QByteArray payload = ProjectTreeModel::dragPayload(rows);

    BenchGoals goals("bench_placement");
    const double dropMs = timeRuns(1, [&] { window.onExplorerDropRequested(payload, QPointF(0, 0)); }).front();
    QApplication::processEvents();
    goals.under("drop 200 tables (1,500 relationships in the model)", dropMs, 300, "ms");

    // Remove 100 of them, chosen in the tree, answering Yes.
    DialogHooks::setMessageHook([](QMessageBox::Icon, QWidget*, const QString&, const QString&,
                                   QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        return QMessageBox::Yes;
    });
    QItemSelection selection;
    for (int t = 0; t < removed; ++t) {
        const QModelIndex index =
            proxy->mapFromSource(window.findTreeItem(ExplorerKind::Table, tables.at(t * 5)->id())->index());
        selection.select(index, index);
    }
    tree->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QApplication::processEvents();
    const double removeMs = timeRuns(1, [&] { window.removeExplorerSelection(); }).front();
    DialogHooks::resetHooks();
    goals.under("remove 100 tables (50 stored diagrams)", removeMs, 500, "ms");

    const int left = static_cast<int>(model->tables().size());
    std::printf("tables left in the model: %d of %d\n", left, tableCount - removed);
    goals.finish();
    return left == tableCount - removed ? 0 : 1;
}
