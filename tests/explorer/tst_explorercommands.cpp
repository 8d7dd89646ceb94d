// The explorer's commands: the add menu, the New commands, the filter and
// the selection copied between explorer and canvas, scripted through the
// dialog hooks as a person would answer them.

#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "common/mainwindowparts.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItem>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

using namespace ExplorerKind;

namespace {

// "text|kind" of every row the view shows, indented by depth.
QStringList shownRows(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex(), int depth = 0)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        rows << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() + QLatin1Char('|')
                    + index.data(KindRole).toString();
        rows += shownRows(model, index, depth + 1);
    }
    return rows;
}

// Answers the next menu with the entry of that text; *entries receives
// "text" or "text (off)" for every entry.
void answerMenu(const QString& choice, QStringList* entries = nullptr)
{
    DialogHooks::setMenuHook([choice, entries](QMenu* menu, const QPoint&) -> QAction* {
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (entries)
                *entries << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
            if (action->text() == choice)
                chosen = action;
        }
        return chosen;
    });
}

// Answers the filter popup: unchecks the boxes of the kinds to hide and
// clicks the button of that role (no click: the popup is dismissed).
void answerFilter(const QStringList& hide, QDialogButtonBox::ButtonRole role)
{
    DialogHooks::setExecHook([hide, role](QDialog* popup) {
        for (QCheckBox* box : popup->findChildren<QCheckBox*>())
            box->setChecked(!hide.contains(box->objectName().section(QLatin1Char('_'), 1)));
        auto* buttons = popup->findChild<QDialogButtonBox*>();
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == role)
                button->click();
        }
        return popup->result();
    });
}

} // namespace

class TestExplorerCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    DialogHooks::ScopedReset hooks;

    QTreeView* tree() const { return window->findChild<QTreeView*>(QStringLiteral("treeViewProject")); }
    QString currentRowKind() const { return tree()->currentIndex().data(KindRole).toString(); }
    QString currentRowId() const { return tree()->currentIndex().data(IdRole).toString(); }

    // Answers the "Add relationship" dialog with these tables, or cancels.
    void answerRelationship(const QString& parent, const QString& child, bool accept = true)
    {
        DialogHooks::setExecHook([=](QDialog* dialog) {
            if (dialog->windowTitle() != QLatin1String("Add relationship"))
                return int(QDialog::Rejected);
            auto* parentCombo = dialog->findChild<QComboBox*>(QStringLiteral("comboParentTable"));
            auto* childCombo = dialog->findChild<QComboBox*>(QStringLiteral("comboChildTable"));
            parentCombo->setCurrentText(parent);
            childCombo->setCurrentText(child);
            return int(accept ? QDialog::Accepted : QDialog::Rejected);
        });
        answerMenu(QStringLiteral("Relationship"));
    }

private slots:
    void init()
    {
        DialogHooks::resetHooks();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void addMenuAddsToTheTargetModel()
    {
        QStringList entries;
        answerMenu(QStringLiteral("Table"), &entries);
        window->showExplorerAddMenu();
        QCOMPARE(entries, (QStringList{"Model", "Diagram", "Table", "View", "Relationship (off)"}));
        answerMenu(QStringLiteral("Table"));
        window->showExplorerAddMenu();
        ModelItem* first = window->currentModel;
        QCOMPARE(first->tables().size(), 2);
        QCOMPARE(first->tables().at(1)->name(), QStringLiteral("table_2"));
        QCOMPARE(currentRowKind(), Table);
        QCOMPARE(currentRowId(), first->tables().at(1)->id());

        answerMenu(QStringLiteral("Model"));
        window->showExplorerAddMenu();
        ModelItem* second = window->currentModel;
        QVERIFY(second != first);
        QCOMPARE(second->name(), QStringLiteral("Model 2"));
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 1"));
        QCOMPARE(window->currentDiagram->modelId(), second->id());
        QCOMPARE(currentRowId(), second->id());

        // The target follows the explorer's current row, not the canvas.
        window->selectExplorerItem(Table, first->tables().first()->id());
        answerMenu(QStringLiteral("View"));
        window->showExplorerAddMenu();
        QCOMPARE(first->views().size(), 1);
        QCOMPARE(second->views().size(), 0);
        answerMenu(QStringLiteral("Diagram"));
        window->showExplorerAddMenu();
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 2"));
        QCOMPARE(window->currentModel, first);

        // A closed menu adds nothing.
        answerMenu(QString());
        window->showExplorerAddMenu();
        QCOMPARE(window->project->models().size(), 2);
    }

    void newModelNamesFillTheFirstGap_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gap") << QStringList{"Model 1", "Model 3"} << "Model 2";
        QTest::newRow("case counts") << QStringList{"model 1"} << "Model 1";
        QTest::newRow("nameless") << QStringList{"", "Model 1"} << "Model 2";
    }

    void newModelNamesFillTheFirstGap()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        window->currentModel->setName(existing.first());
        for (const QString& name : existing.mid(1))
            window->project->addModel()->setName(name);
        window->on_action_New_Model_triggered();
        QCOMPARE(window->currentModel->name(), expected);
        QCOMPARE(window->currentModel->dialect(), QStringLiteral("Conceptual ER"));
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 1"));
    }

    void relationshipOnTheCanvasRoad()
    {
        ERScene* scene = canvasScene(window.get());
        EntityItem* orders = scene->addTableAt(QPointF(0, 0));
        EntityItem* items = scene->addTableAt(QPointF(400, 0));
        QCOMPARE(window->currentModel->tables().size(), 2);

        answerRelationship(orders->title(), items->title(), false);
        window->showExplorerAddMenu();
        QCOMPARE(window->currentModel->relationships().size(), 0);

        answerRelationship(orders->title(), items->title());
        window->showExplorerAddMenu();
        QCOMPARE(items->edges().size(), 1);
        EdgeItem* edge = items->edges().first();
        QCOMPARE(edge->fromEntity(), orders);
        const QList<RelationshipItem*> relationships = window->currentModel->relationships();
        QCOMPARE(relationships.size(), 1);
        QCOMPARE(relationships.first()->id(), edge->id());
        QCOMPARE(currentRowKind(), Relationship);
        QCOMPARE(currentRowId(), edge->id());
        // The edge made its foreign-key row, and the stored diagram has it.
        QVERIFY(items->attributeIsForeignKey(items->attributeCount() - 1));
        QVERIFY(window->currentDiagram->data().value("edges").toArray().size() == 1);
    }

    void relationshipOnTheModelRoadMarksTheDrawnChild()
    {
        ERScene* scene = canvasScene(window.get());
        EntityItem* child = scene->addTableAt(QPointF(0, 0));  // table_1, drawn
        answerMenu(QStringLiteral("Table"));
        window->showExplorerAddMenu();  // table_2, only in the model

        answerRelationship(QStringLiteral("table_2"), QStringLiteral("table_1"));
        window->showExplorerAddMenu();
        const QList<RelationshipItem*> relationships = window->currentModel->relationships();
        QCOMPARE(relationships.size(), 1);
        QVERIFY(child->edges().isEmpty());
        const int row = child->attributeCount() - 1;
        QCOMPARE(child->attributeName(row), QStringLiteral("table_2_id"));
        QVERIFY(child->attributeIsForeignKey(row));
        QCOMPARE(child->attributeFkEdgeId(row), relationships.first()->id());
        // The model kept the column and its key through the row's arrival.
        TableItem* table = window->currentModel->table(child->id());
        QVERIFY(table->columnByName(QStringLiteral("table_2_id")));
        QVERIFY(table->constraint(relationships.first()->constraintId()));
        const QJsonArray stored = window->currentDiagram->data().value("entities").toArray();
        QCOMPARE(stored.first().toObject().value("attributes").toArray().size(), child->attributeCount());
    }

    void newProjectModelAndDiagram()
    {
        ERScene* scene = canvasScene(window.get());
        scene->addTableAt(QPointF(0, 0));
        ModelItem* first = window->currentModel;

        window->on_action_New_Diagram_triggered();
        QCOMPARE(window->currentModel, first);
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Diagram 2"));
        QVERIFY(scene->entityItems().isEmpty());
        // The diagram left behind kept its table.
        QCOMPARE(first->diagrams().first()->data().value("entities").toArray().size(), 1);

        auto* combo = window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"));
        combo->setCurrentText(QStringLiteral("MySQL"));
        window->hiddenKinds = {View};
        window->applyExplorerFilter();
        window->on_action_New_triggered();
        QCOMPARE(window->project->name(), QStringLiteral("Untitled Project"));
        QCOMPARE(window->project->models().size(), 1);
        QCOMPARE(window->currentModel->dialect(), QStringLiteral("Conceptual ER"));
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text(), QStringLiteral("No file"));
        QVERIFY(scene->entityItems().isEmpty());
        // The filter outlives the new project.
        QVERIFY(!shownRows(tree()->model()).join('\n').contains(QLatin1String("|views")));
        QVERIFY(window->findChild<QToolButton*>(QStringLiteral("toolButtonFilter"))->isChecked());
    }

    void filterByKindAndSearch()
    {
        ModelItem* shop = window->currentModel;
        shop->setName(QStringLiteral("Shop"));
        shop->setDialect(QStringLiteral("PostgreSQL"));
        shop->addTable()->setName(QStringLiteral("Customer"));
        shop->addTable()->setName(QStringLiteral("Orders"));
        shop->addView()->setName(QStringLiteral("v_customers"));
        ModelItem* archive = window->project->addModel();
        archive->setName(QStringLiteral("Archive"));
        archive->setDialect(QStringLiteral("MySQL"));
        window->rebuildProjectTree();

        answerFilter({Table}, QDialogButtonBox::ApplyRole);
        window->showExplorerFilterPopup();
        QCOMPARE(window->hiddenKinds, QSet<QString>{Table});
        const QString hidden = shownRows(tree()->model()).join('\n');
        QVERIFY(!hidden.contains(QLatin1String("|table")));
        QVERIFY(hidden.contains(QLatin1String("v_customers|view")));
        // Dismissed without a button: nothing changes.
        answerFilter({View, Diagram}, QDialogButtonBox::InvalidRole);
        window->showExplorerFilterPopup();
        QCOMPARE(window->hiddenKinds, QSet<QString>{Table});

        auto* search = window->findChild<QLineEdit*>(QStringLiteral("lineEditSearch"));
        search->setText(QStringLiteral("  CUST "));
        QCOMPARE(shownRows(tree()->model()), (QStringList{"Untitled Project|project", "  Shop (PostgreSQL)|model",
                                                          "    Views|views", "      v_customers|view"}));
        answerFilter({}, QDialogButtonBox::ApplyRole);
        window->showExplorerFilterPopup();
        QCOMPARE(shownRows(tree()->model()),
                 (QStringList{"Untitled Project|project", "  Shop (PostgreSQL)|model", "    Tables|tables",
                              "      Customer|table", "    Views|views", "      v_customers|view"}));
        // A model matches by its shown text, folders never by their caption.
        search->setText(QStringLiteral("mysql"));
        QCOMPARE(shownRows(tree()->model()), (QStringList{"Untitled Project|project", "  Archive (MySQL)|model"}));
        search->setText(QStringLiteral("tables"));
        QVERIFY(shownRows(tree()->model()).isEmpty());
        // The filter outlives a rebuild; Reset ends kinds and search alike.
        window->hiddenKinds = {Diagram};
        window->applyExplorerFilter();
        window->rebuildProjectTree();
        QVERIFY(shownRows(tree()->model()).isEmpty());
        answerFilter({Diagram}, QDialogButtonBox::ResetRole);
        window->showExplorerFilterPopup();
        QVERIFY(window->hiddenKinds.isEmpty());
        QVERIFY(search->text().isEmpty());
        QCOMPARE(shownRows(tree()->model()).size(), 21);
        QVERIFY(!window->findChild<QToolButton*>(QStringLiteral("toolButtonFilter"))->isChecked());
    }

    void selectionIsCopiedBothWaysWithoutEcho()
    {
        ERScene* scene = canvasScene(window.get());
        EntityItem* a = scene->addTableAt(QPointF(0, 0));
        EntityItem* b = scene->addTableAt(QPointF(400, 0));
        EntityItem* c = scene->addTableAt(QPointF(0, 300));
        EdgeItem* edge = scene->createEdge(a, b, true);
        TextItem* note = scene->addTextAt(QPointF(400, 300));
        note->setSelected(true);
        c->setSelected(true);

        // Tree to canvas: exactly the rows' items; the canvas never answers.
        QSignalSpy canvasSpy(scene, &QGraphicsScene::selectionChanged);
        QItemSelectionModel* rows = tree()->selectionModel();
        auto* proxy = qobject_cast<ExplorerFilterProxy*>(tree()->model());
        QItemSelection wanted;
        for (const auto& [kind, id] : {std::pair{Table, a->id()}, {Table, b->id()}, {Relationship, edge->id()}}) {
            const QModelIndex index = proxy->mapFromSource(window->findTreeItem(kind, id)->index());
            wanted.select(index, index);
        }
        rows->select(wanted, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(canvasSpy.count(), 0);
        QVERIFY(a->isSelected() && b->isSelected() && edge->isSelected());
        QVERIFY(!c->isSelected() && !note->isSelected());
        QCOMPARE(rows->selectedRows().size(), 3);
        QCOMPARE(window->currentEntity.data(), window->selectedEntity());

        // Canvas to tree: the row of the one entity; the tree never answers.
        QSignalSpy treeSpy(rows, &QItemSelectionModel::selectionChanged);
        scene->clearSelection();
        c->setSelected(true);
        QTRY_COMPARE(rows->selectedRows().size(), 1);
        QCOMPARE(rows->selectedRows().first().data(IdRole).toString(), c->id());
        QVERIFY(treeSpy.count() >= 1);
        QCOMPARE(scene->selectedItems(), QList<QGraphicsItem*>{c});

        // Select All reports one change and selects every row of the canvas.
        const int changesBefore = canvasSpy.count();
        window->selectAll();
        QCOMPARE(canvasSpy.count(), changesBefore + 1);
        QCOMPARE(scene->selectedItems().size(), 5);
        QCOMPARE(rows->selectedRows().size(), 4);
        // A table not on this diagram selects nothing on the canvas.
        answerMenu(QStringLiteral("Table"));
        window->showExplorerAddMenu();
        QVERIFY(scene->selectedItems().isEmpty());
    }
};

QUILLMAP_TEST_MAIN(TestExplorerCommands)
#include "tst_explorercommands.moc"
