#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/erscene.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreemodel.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace ExplorerKind;

namespace {

// Shown text | kind | flags (E editable, B bold) of every row, indented by
// depth; ids are left out because they are generated.
QStringList dump(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex(), int depth = 0)
{
    QStringList lines;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        QString marks;
        if (model->flags(index) & Qt::ItemIsEditable)
            marks += QLatin1Char('E');
        if (index.data(Qt::FontRole).value<QFont>().weight() > 500)
            marks += QLatin1Char('B');
        lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() + QLatin1Char('|')
                     + index.data(KindRole).toString() + QLatin1Char('|') + marks;
        lines += dump(model, index, depth + 1);
    }
    return lines;
}

QStringList boldIds(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex())
{
    QStringList ids;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data(Qt::FontRole).value<QFont>().weight() > 500)
            ids << index.data(IdRole).toString();
        ids += boldIds(model, index);
    }
    return ids;
}

bool allExpanded(const QTreeView* view, const QModelIndex& parent = QModelIndex())
{
    for (int row = 0; row < view->model()->rowCount(parent); ++row) {
        const QModelIndex index = view->model()->index(row, 0, parent);
        if (view->model()->hasChildren(index) && (!view->isExpanded(index) || !allExpanded(view, index)))
            return false;
    }
    return true;
}

} // namespace

class TestExplorerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void explorerAtStart()
    {
        QCOMPARE(dump(tree()->model()), (QStringList{
                                            "Untitled Project|project|E",
                                            "  Model 1 (Conceptual ER)|model|EB",
                                            "    Tables|tables|",
                                            "    Views|views|",
                                            "    Relationships|relationships|",
                                            "    Sequences|sequences|",
                                            "    Diagrams|diagrams|",
                                            "      Diagram 1|diagram|EB",
                                            "    Mappings|mappings|",
                                            "    Documents|documents|",
                                        }));
        QVERIFY(allExpanded(tree()));
        QCOMPARE(boldIds(tree()->model()), QStringList({window->currentModel->id(), window->currentDiagram->id()}));

        // The view sees the tree model only through the proxy.
        auto* proxy = qobject_cast<ExplorerFilterProxy*>(tree()->model());
        QVERIFY(proxy);
        QCOMPARE(proxy->sourceModel(), window->treeModel);
        QVERIFY(tree()->sizeHintForRow(0) >= 24);

        QCOMPARE(edit("editProjectName")->text(), QStringLiteral("Untitled Project"));
        QCOMPARE(edit("editModelName")->text(), QStringLiteral("Model 1"));
        QCOMPARE(edit("editDiagramName")->text(), QStringLiteral("Diagram 1"));
        QVERIFY(edit("editModelName")->isEnabled() && edit("editDiagramName")->isEnabled());
        QVERIFY(combo()->isEnabled());
    }

    void emptyProjectTakesTheComboDialect()
    {
        combo()->setCurrentText(QStringLiteral("MySQL"));
        QPointer<ProjectItem> old = window->project;
        window->createEmptyProject();
        QVERIFY(window->project && window->project != old);
        QCOMPARE(window->project->parent(), window.get());
        QCOMPARE(window->project->name(), QStringLiteral("Untitled Project"));
        QCOMPARE(window->project->models(), QList<ModelItem*>{window->currentModel});
        QCOMPARE(window->currentModel->name(), QStringLiteral("Model 1"));
        QCOMPARE(window->currentModel->dialect(), QStringLiteral("MySQL"));
        QCOMPARE(window->currentModel->diagrams(), QList<DiagramItem*>{window->currentDiagram});
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 1"));
        // The old project goes once control returns to the event loop.
        QTRY_VERIFY(!old);
    }

    void headerRenames_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("row");
        QTest::newRow("project") << "editProjectName" << "Shop" << "Shop" << "Shop";
        QTest::newRow("project padded") << "editProjectName" << "  Shop \t" << "Shop" << "Shop";
        QTest::newRow("project blank") << "editProjectName" << "   " << "Untitled Project" << "Untitled Project";
        QTest::newRow("project empty") << "editProjectName" << "" << "Untitled Project" << "Untitled Project";
        QTest::newRow("model padded") << "editModelName" << " Sales " << "Sales" << "Sales (Conceptual ER)";
        QTest::newRow("model blank") << "editModelName" << "  " << "Model 1" << "Model 1 (Conceptual ER)";
        QTest::newRow("diagram padded") << "editDiagramName" << "  Overview  " << "Overview" << "Overview";
        QTest::newRow("diagram blank") << "editDiagramName" << " " << "Diagram 1" << "Diagram 1";
        QTest::newRow("same name padded") << "editDiagramName" << " Diagram 1 " << "Diagram 1" << "Diagram 1";
    }

    void headerRenames()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, row);
        QStandardItem* rowItem = field == "editProjectName" ? window->findTreeItem(Project, window->project->id())
                                 : field == "editModelName"
                                     ? window->findTreeItem(Model, window->currentModel->id())
                                     : window->findTreeItem(Diagram, window->currentDiagram->id());
        QVERIFY(rowItem);

        // Typed and confirmed with Return, as a person would.
        QLineEdit* line = edit(field.toLatin1());
        line->setFocus();
        QTRY_VERIFY(line->hasFocus());
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        QTest::keyClicks(line, typed);
        QTest::keyClick(line, Qt::Key_Return);

        const QString actual = field == "editProjectName" ? window->project->name()
                               : field == "editModelName" ? window->currentModel->name()
                                                          : window->currentDiagram->name();
        QCOMPARE(actual, stored);
        QCOMPARE(line->text(), stored);
        // Relabelled in place: the very same row, no rebuild.
        QCOMPARE(window->findTreeItem(rowItem->data(KindRole).toString(), rowItem->data(IdRole).toString()),
                 rowItem);
        QCOMPARE(rowItem->index().data().toString(), row);
        QCOMPARE(rowItem->text(), stored);
    }

    void inPlaceRenameWithF2()
    {
        QStandardItem* modelRow = window->findTreeItem(Model, window->currentModel->id());
        window->selectExplorerItem(Model, window->currentModel->id());
        QCOMPARE(tree()->currentIndex(), proxy()->mapFromSource(modelRow->index()));
        tree()->setFocus();
        QTRY_VERIFY(tree()->hasFocus());

        QTest::keyClick(tree(), Qt::Key_F2);
        auto* editor = tree()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->isVisible());
        // Editing starts from the bare name, not from "name (dialect)".
        QCOMPARE(editor->text(), QStringLiteral("Model 1"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("  Sales "));
        QTest::keyClick(editor, Qt::Key_Return);

        // The delegate commits once control returns to the event loop.
        QTRY_COMPARE(window->currentModel->name(), QStringLiteral("Sales"));
        QCOMPARE(modelRow->text(), QStringLiteral("Sales"));
        QCOMPARE(modelRow->index().data().toString(), QStringLiteral("Sales (Conceptual ER)"));
        QCOMPARE(edit("editModelName")->text(), QStringLiteral("Sales"));
    }

    void f2OnAFolderEditsNothing()
    {
        window->selectExplorerItem(Tables, QString());
        tree()->setFocus();
        QTRY_VERIFY(tree()->hasFocus());
        QTest::keyClick(tree(), Qt::Key_F2);
        QVERIFY(!tree()->viewport()->findChild<QLineEdit*>());
    }

    void inPlaceRenames_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("rowText");
        QTest::newRow("project") << "project" << " P2 " << "P2" << "P2";
        QTest::newRow("project blank") << "project" << "" << "Untitled Project" << "Untitled Project";
        QTest::newRow("model blank") << "model" << "  " << "Model 1" << "Model 1";
        QTest::newRow("diagram") << "diagram" << "Main " << "Main" << "Main";
        QTest::newRow("diagram blank") << "diagram" << "" << "Diagram 1" << "Diagram 1";
        QTest::newRow("table") << "table" << " customers " << "customers" << "customers";
        QTest::newRow("table blank") << "table" << "   " << "orders" << "orders";
        QTest::newRow("view") << "view" << "v_top\t" << "v_top" << "v_top";
        QTest::newRow("view blank") << "view" << "" << "v_orders" << "v_orders";
    }

    // What the delegate writes back when an edit is committed.
    void inPlaceRenames()
    {
        QFETCH(QString, kind);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, rowText);
        TableItem* table = window->currentModel->addTable();
        table->setName(QStringLiteral("orders"));
        ViewItem* view = window->currentModel->addView();
        view->setName(QStringLiteral("v_orders"));
        window->rebuildProjectTree();

        const QString id = kind == "project" ? window->project->id()
                           : kind == "model" ? window->currentModel->id()
                           : kind == "diagram" ? window->currentDiagram->id()
                           : kind == "table" ? table->id()
                                             : view->id();
        QStandardItem* row = window->findTreeItem(kind, id);
        QVERIFY(row && row->isEditable());
        QVERIFY(window->treeModel->setData(row->index(), typed, Qt::EditRole));

        const QString actual = kind == "project" ? window->project->name()
                               : kind == "model" ? window->currentModel->name()
                               : kind == "diagram" ? window->currentDiagram->name()
                               : kind == "table" ? table->name()
                                                 : view->name();
        QCOMPARE(actual, stored);
        QCOMPARE(row->text(), rowText);
        QVERIFY(!window->updatingTree && !window->syncingSelection);
    }

    void renameOfAnUnknownIdRenamesNothing()
    {
        ModelItem* other = window->project->addModel();
        other->setName(QStringLiteral("Other"));
        DiagramItem* otherDiagram = other->addDiagram();
        otherDiagram->setName(QStringLiteral("Other diagram"));
        window->rebuildProjectTree();

        window->applyModelName(QStringLiteral("no-such-model"), QStringLiteral("Renamed"));
        window->applyDiagramName(QStringLiteral("no-such-diagram"), QStringLiteral("Renamed"));
        QCOMPARE(window->currentModel->name(), QStringLiteral("Model 1"));
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 1"));
        QCOMPARE(other->name(), QStringLiteral("Other"));
        QCOMPARE(otherDiagram->name(), QStringLiteral("Other diagram"));

        // A known id renames that one, current or not; an empty id the
        // current one.
        window->applyModelName(other->id(), QStringLiteral("Archive"));
        window->applyDiagramName(otherDiagram->id(), QStringLiteral("Old"));
        QCOMPARE(other->name(), QStringLiteral("Archive"));
        QCOMPARE(otherDiagram->name(), QStringLiteral("Old"));
        QCOMPARE(window->findTreeItem(Model, other->id())->text(), QStringLiteral("Archive"));
        QCOMPARE(edit("editModelName")->text(), QStringLiteral("Model 1"));
        window->applyModelName(QString(), QStringLiteral("Current"));
        window->applyDiagramName(QString(), QStringLiteral("Now"));
        QCOMPARE(window->currentModel->name(), QStringLiteral("Current"));
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Now"));
    }

    void namelessObjectsKeepTheirDefaultLabel()
    {
        window->currentModel->setName(QString());
        window->currentDiagram->setName(QString());
        window->rebuildProjectTree();
        QStandardItem* modelRow = window->findTreeItem(Model, window->currentModel->id());
        QStandardItem* diagramRow = window->findTreeItem(Diagram, window->currentDiagram->id());
        QCOMPARE(modelRow->text(), QStringLiteral("Model"));
        QCOMPARE(diagramRow->text(), QStringLiteral("Diagram"));
        window->treeModel->setData(modelRow->index(), QStringLiteral(" "));
        window->treeModel->setData(diagramRow->index(), QString());
        QCOMPARE(modelRow->text(), QStringLiteral("Model"));
        QCOMPARE(diagramRow->text(), QStringLiteral("Diagram"));
        QVERIFY(window->currentModel->name().isEmpty() && window->currentDiagram->name().isEmpty());
    }

    void dialectComboDrivesModelAndCanvas()
    {
        auto* scene = window->scene;
        combo()->setCurrentText(QStringLiteral("PostgreSQL"));
        QCOMPARE(scene->dialect(), QStringLiteral("PostgreSQL"));
        QCOMPARE(window->currentModel->dialect(), QStringLiteral("PostgreSQL"));
        QStandardItem* modelRow = window->findTreeItem(Model, window->currentModel->id());
        QCOMPARE(modelRow->index().data().toString(), QStringLiteral("Model 1 (PostgreSQL)"));
        QCOMPARE(modelRow->data(DialectRole).toString(), QStringLiteral("PostgreSQL"));

        // While a diagram loads only the canvas follows; the tree stays.
        window->suppressModelSync = true;
        combo()->setCurrentText(QStringLiteral("Oracle"));
        window->suppressModelSync = false;
        QCOMPARE(scene->dialect(), QStringLiteral("Oracle"));
        QCOMPARE(window->currentModel->dialect(), QStringLiteral("PostgreSQL"));
        QCOMPARE(window->findTreeItem(Model, window->currentModel->id()), modelRow);
    }

    void comboShowsTheCurrentModelsDialect()
    {
        ModelItem* other = window->project->addModel();
        other->setName(QStringLiteral("Lake"));
        other->setDialect(QStringLiteral("duckdb"));  // an alias, as a file may hold it
        DiagramItem* otherDiagram = other->addDiagram();
        window->currentModel = other;
        window->currentDiagram = otherDiagram;
        window->rebuildProjectTree();
        QCOMPARE(combo()->currentText(), QStringLiteral("DuckDB"));
        // Showing it is no change of the model.
        QCOMPARE(other->dialect(), QStringLiteral("duckdb"));
    }

    void oneBoldModelAndDiagramAfterASwitch()
    {
        ModelItem* first = window->currentModel;
        DiagramItem* second = first->addDiagram();
        second->setName(QStringLiteral("Diagram 2"));
        ModelItem* other = window->project->addModel();
        other->setName(QStringLiteral("Other"));
        DiagramItem* otherDiagram = other->addDiagram();
        otherDiagram->setName(QStringLiteral("Main"));
        window->rebuildProjectTree();
        QCOMPARE(boldIds(tree()->model()), QStringList({first->id(), window->currentDiagram->id()}));

        window->currentDiagram = second;
        window->updateTreeCurrentMarkers();
        QCOMPARE(boldIds(tree()->model()), QStringList({first->id(), second->id()}));

        window->currentModel = other;
        window->currentDiagram = otherDiagram;
        window->updateTreeCurrentMarkers();
        QCOMPARE(boldIds(tree()->model()), QStringList({other->id(), otherDiagram->id()}));
        QVERIFY(!window->updatingTree);
        // A rebuild marks the same rows.
        window->rebuildProjectTree();
        QCOMPARE(boldIds(tree()->model()), QStringList({other->id(), otherDiagram->id()}));
    }

    void noProjectEmptiesTreeAndHeader()
    {
        delete window->project;
        window->project = nullptr;
        window->currentModel = nullptr;
        window->currentDiagram = nullptr;
        window->rebuildProjectTree();
        QCOMPARE(tree()->model()->rowCount(), 0);
        QVERIFY(edit("editProjectName")->text().isEmpty());
        QVERIFY(edit("editModelName")->text().isEmpty() && !edit("editModelName")->isEnabled());
        QVERIFY(edit("editDiagramName")->text().isEmpty() && !edit("editDiagramName")->isEnabled());
        QVERIFY(!combo()->isEnabled());
        QVERIFY(!window->syncingSelection && !window->updatingTree);

        // Nothing to rename, and nothing breaks.
        edit("editProjectName")->setText(QStringLiteral("X"));
        emit edit("editProjectName")->editingFinished();
        emit edit("editModelName")->editingFinished();
        emit edit("editDiagramName")->editingFinished();
        QVERIFY(!window->modelForTreeIndex(QModelIndex()));
        window->selectExplorerItem(Project, QString());
        window->updateTreeCurrentMarkers();
    }

    void rebuildRestoresTheGuards_data()
    {
        QTest::addColumn<bool>("syncing");
        QTest::addColumn<bool>("updating");
        QTest::newRow("clear") << false << false;
        QTest::newRow("selection copy running") << true << false;
        QTest::newRow("both set") << true << true;
    }

    void rebuildRestoresTheGuards()
    {
        QFETCH(bool, syncing);
        QFETCH(bool, updating);
        window->syncingSelection = syncing;
        window->updatingTree = updating;
        window->currentModel->addTable()->setName(QStringLiteral("late"));
        window->rebuildProjectTree();
        QCOMPARE(window->syncingSelection, syncing);
        QCOMPARE(window->updatingTree, updating);
        QVERIFY(window->findTreeItem(Table, window->currentModel->tables().first()->id()));
        window->syncingSelection = false;
        window->updatingTree = false;
    }

    void rebuildClearsTheExplorerSelection()
    {
        TableItem* table = window->currentModel->addTable();
        table->setName(QStringLiteral("orders"));
        window->rebuildProjectTree();
        window->selectExplorerItem(Table, table->id());
        QCOMPARE(tree()->selectionModel()->selectedRows().size(), 1);
        // The canvas has no selection, so the rebuilt tree has none either.
        window->rebuildProjectTree();
        QVERIFY(tree()->selectionModel()->selectedRows().isEmpty());
    }

    void selectingAndOwningModel()
    {
        ModelItem* other = window->project->addModel();
        other->setName(QStringLiteral("Other"));
        TableItem* table = other->addTable();
        table->setName(QStringLiteral("orders"));
        window->rebuildProjectTree();

        window->selectExplorerItem(Table, table->id());
        const QModelIndex current = tree()->currentIndex();
        QCOMPARE(current.data(IdRole).toString(), table->id());
        QCOMPARE(tree()->selectionModel()->selectedRows(), QModelIndexList{current});
        QCOMPARE(window->modelForTreeIndex(current), other);
        QCOMPARE(window->modelForTreeIndex(proxy()->mapToSource(current)), other);
        QCOMPARE(window->modelForTreeIndex(current.parent()), other);  // the Tables folder
        // Rows above any model, and no row at all, give the current model.
        QCOMPARE(window->modelForTreeIndex(tree()->model()->index(0, 0)), window->currentModel);
        QCOMPARE(window->modelForTreeIndex(QModelIndex()), window->currentModel);

        window->selectExplorerItem(Table, QStringLiteral("no-such-table"));
        QCOMPARE(tree()->currentIndex(), current);
    }

    void dragFromTheView()
    {
        TableItem* a = window->currentModel->addTable();
        a->setName(QStringLiteral("a"));
        TableItem* b = window->currentModel->addTable();
        b->setName(QStringLiteral("b"));
        ViewItem* v = window->currentModel->addView();
        v->setName(QStringLiteral("v"));
        window->rebuildProjectTree();

        QItemSelection selection;
        for (QStandardItem* row : {window->findTreeItem(Table, b->id()), window->findTreeItem(Tables, QString()),
                                   window->findTreeItem(View, v->id()), window->findTreeItem(Table, a->id())}) {
            const QModelIndex index = proxy()->mapFromSource(row->index());
            selection.select(index, index);
        }
        tree()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        const QModelIndexList selected = tree()->selectionModel()->selectedIndexes();
        std::unique_ptr<QMimeData> mime(tree()->model()->mimeData(selected));
        QVERIFY(mime);
        const QByteArray expected = "{\"items\":[{\"id\":\"" + b->id().toLatin1() + "\",\"kind\":\"table\"},"
                                    "{\"id\":\"" + v->id().toLatin1() + "\",\"kind\":\"view\"},"
                                    "{\"id\":\"" + a->id().toLatin1() + "\",\"kind\":\"table\"}]}";
        QCOMPARE(mime->data(QStringLiteral("application/x-quillmap-explorer")), expected);
    }

    void closingWithAnEditedNameFieldRenamesNothing()
    {
        // The project outlives the window here, so a late rename would show.
        std::unique_ptr<ProjectItem> project(window->project);
        project->setParent(nullptr);
        QLineEdit* line = edit("editModelName");
        line->setFocus();
        QTRY_VERIFY(line->hasFocus());
        line->setText(QStringLiteral("Typed while closing"));
        window.reset();
        QCOMPARE(project->models().first()->name(), QStringLiteral("Model 1"));
    }

private:
    QTreeView* tree() const { return window->findChild<QTreeView*>(QStringLiteral("treeViewProject")); }
    QAbstractProxyModel* proxy() const { return qobject_cast<QAbstractProxyModel*>(tree()->model()); }
    QLineEdit* edit(const char* name) const { return window->findChild<QLineEdit*>(QLatin1String(name)); }
    QComboBox* combo() const { return window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase")); }

    std::unique_ptr<MainWindow> window;
};

QUILLMAP_TEST_MAIN(TestExplorerWindow)
#include "tst_explorerwindow.moc"
