// Model Explorer on a large project: 10 models of 1,000 tables, 100 views,
// 1,500 relationships and 5 diagrams each (some 26,000 rows). Prints the
// time of rebuilding the tree model alone, of the main window's whole
// rebuild (tree model, proxy, expanding every row, name fields) and of the
// first paint after it, of re-marking the current rows, of finding 1,000
// table rows by id through the row index and by walking the tree, of one
// keystroke in the search field, and of Select All on a diagram of 1,000
// entities, copied into the tree.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreemodel.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QStandardItem>
#include <QTreeView>

#include <cstdio>
#include <vector>

namespace {

constexpr int modelCount = 10;
constexpr int tablesPerModel = 1000;
constexpr int viewsPerModel = 100;
constexpr int relationshipsPerModel = 1500;
constexpr int diagramsPerModel = 5;
constexpr int lookups = 1000;
constexpr int runs = 7;

void fillModel(ModelItem* model, int modelIndex, QRandomGenerator& random, QStringList& tableIds)
{
    model->setName(QStringLiteral("Model %1").arg(modelIndex + 1));
    model->setDialect(QStringLiteral("PostgreSQL"));
    std::vector<TableItem*> tables;
    for (int t = 0; t < tablesPerModel; ++t) {
        TableItem* table = model->addTable();
        table->setName(QStringLiteral("table_%1").arg(t + 1));
        tables.push_back(table);
        tableIds.append(table->id());
    }
    for (int v = 0; v < viewsPerModel; ++v)
        model->addView()->setName(QStringLiteral("view_%1").arg(v + 1));
    for (int r = 0; r < relationshipsPerModel; ++r) {
        const TableItem* parent = tables[random.bounded(tablesPerModel)];
        const TableItem* child = tables[random.bounded(tablesPerModel)];
        RelationshipItem* relationship = model->addRelationship();
        relationship->setName(parent->name() + QLatin1Char('_') + child->name());
        relationship->setFromTableId(parent->id());
        relationship->setToTableId(child->id());
    }
    for (int d = 0; d < diagramsPerModel; ++d)
        model->addDiagram()->setName(QStringLiteral("Diagram %1").arg(d + 2));
}

int countRows(const QStandardItem* item)
{
    int n = 0;
    for (int row = 0; row < item->rowCount(); ++row)
        n += 1 + countRows(item->child(row));
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();

    MainWindow window;
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();

    // The window's own project: its first model gets the tables too.
    auto* project = window.findChild<ProjectItem*>();
    if (!project) {
        std::fprintf(stderr, "no project in the main window\n");
        return 1;
    }
    QRandomGenerator random(4321);
    QStringList tableIds;
    QList<ModelItem*> models = project->models();
    while (models.size() < modelCount)
        models.append(project->addModel());
    for (int m = 0; m < modelCount; ++m)
        fillModel(models[m], m, random, tableIds);
    const ModelItem* firstModel = project->models().first();
    const DiagramItem* firstDiagram = firstModel->diagrams().first();

    // The same project in a tree model of its own, without view or proxy.
    ProjectTreeModel bare;
    bare.rebuild(project, firstModel, firstDiagram);
    std::printf("project: %d models, %d rows in the tree\n", modelCount, countRows(bare.invisibleRootItem()));

    // The tree is rebuilt after every change to the model's objects: it
    // stays well within a tenth of a second.
    BenchGoals goals("bench_explorer");
    goals.medianUnder("tree model rebuild (no view)", timeRuns(runs, [&] { bare.rebuild(project, firstModel, firstDiagram); }), 100);
    goals.medianUnder("MainWindow::rebuildProjectTree", timeRuns(runs, [&] { window.rebuildProjectTree(); }), 100);
    goals.medianUnder("  rebuild + first paint", timeRuns(runs, [&] {
                          window.rebuildProjectTree();
                          QApplication::processEvents();
                      }), 100);
    goals.medianUnder("MainWindow::updateTreeCurrentMarkers",
                      timeRuns(runs, [&] { window.updateTreeCurrentMarkers(); }), 16);

    QStringList sample;
    for (int i = 0; i < lookups; ++i)
        sample.append(tableIds.at(random.bounded(tableIds.size())));
    int found = 0;
    // A selection of 1,000 entities is copied into the tree row by row.
    goals.medianUnder("findTreeItem x1000 (row index)", timeRuns(runs, [&] {
                          for (const QString& id : std::as_const(sample))
                              found += window.findTreeItem(ExplorerKind::Table, id) != nullptr;
                      }), 5);
    goals.medianUnder("findTreeItem x1000 after a row edit", timeRuns(runs, [&] {
              // Changing an id drops the index; the first look-up makes it anew.
              QStandardItem* row = window.findTreeItem(ExplorerKind::Table, sample.first());
              row->setData(QStringLiteral("changed"), ExplorerKind::IdRole);
              row->setData(sample.first(), ExplorerKind::IdRole);
              for (const QString& id : std::as_const(sample))
                  found += window.findTreeItem(ExplorerKind::Table, id) != nullptr;
          }), 50);
    QStandardItem* root = bare.invisibleRootItem();
    goals.noteMedian("findItemByWalk x1000 (no index)", timeRuns(runs, [&] {
                         for (const QString& id : std::as_const(sample))
                             found += ProjectTreeModel::findItemByWalk(root, ExplorerKind::Table, id) != nullptr;
                     }), "for comparison");
    const int expected = 3 * runs * lookups;
    std::printf("rows found: %d of %d\n", found, expected);

    // Typing narrows the tree one keystroke at a time.
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("lineEditSearch"));
    const QStringList typed{QStringLiteral("t"), QStringLiteral("ta"), QStringLiteral("tab"), QStringLiteral("tabl"),
                            QStringLiteral("table"), QStringLiteral("table_"), QStringLiteral("table_1"),
                            QStringLiteral("table_12")};
    int keystroke = 0;
    goals.medianUnder("search keystroke (26,000 rows)", timeRuns(static_cast<int>(typed.size()), [&] {
                          search->setText(typed.at(keystroke++));
                          QApplication::processEvents();
                      }), 50);
    search->clear();
    QApplication::processEvents();

    // A diagram of the first model's 1,000 tables, live on the canvas.
    QJsonArray entities;
    const QList<TableItem*> firstTables = firstModel->tables();
    for (int t = 0; t < firstTables.size(); ++t) {
        entities.append(QJsonObject{{"id", firstTables.at(t)->id()},
                                    {"title", firstTables.at(t)->name()},
                                    {"x", (t % 40) * 220},
                                    {"y", (t / 40) * 140},
                                    {"attributes", QJsonArray{}}});
    }
    DiagramItem* big = project->models().first()->addDiagram();
    big->setName(QStringLiteral("All tables"));
    big->setData(QJsonObject{{"version", "1.0"},
                             {"type", "er-diagram"},
                             {"entities", entities},
                             {"edges", QJsonArray{}},
                             {"annotations", QJsonArray{}}});
    window.loadDiagramItem(big);
    window.rebuildProjectTree();
    QApplication::processEvents();
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("treeViewProject"));
    // The command itself (selecting, one selection change, the copy into
    // the tree), then what the event loop does after it: the canvas's glow
    // of 1,000 selected items and the repaints.
    int selectedRows = 0;
    std::vector<double> commandMs;
    std::vector<double> afterMs;
    for (int run = 0; run < runs; ++run) {
        tree->clearSelection();
        QApplication::processEvents();
        commandMs.push_back(timeRuns(1, [&] { window.selectAll(); }).front());
        selectedRows = static_cast<int>(tree->selectionModel()->selectedRows().size());
        afterMs.push_back(timeRuns(1, [] { QApplication::processEvents(); }).front());
    }
    goals.medianUnder("Select All, 1,000 entities copied into the tree", commandMs, 50);
    goals.noteMedian("  then the canvas's glow and repaint", afterMs, "no goal: the canvas's own");
    std::printf("rows selected: %d of %lld\n", selectedRows, static_cast<long long>(firstTables.size()));
    goals.finish();
    return found == expected && selectedRows == firstTables.size() ? 0 : 1;
}
