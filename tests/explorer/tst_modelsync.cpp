#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreemodel.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/indexitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardItem>
#include <QTest>

#include <memory>

using namespace ExplorerKind;

namespace {

QStringList columnNames(const TableItem* table)
{
    QStringList names;
    for (const ColumnItem* column : table->columns())
        names << column->name() + QLatin1Char(':') + column->displayType();
    return names;
}

QJsonObject storedDiagram(const QList<QPair<QString, QString>>& entities)
{
    QJsonArray array;
    for (const auto& [id, title] : entities)
        array.append(QJsonObject{{"id", id}, {"title", title}, {"x", 0}, {"y", 0}});
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", array}, {"edges", QJsonArray{}}};
}

QString storedTitle(const DiagramItem* diagram, int index)
{
    return diagram->data().value("entities").toArray().at(index).toObject().value("title").toString();
}

} // namespace

class TestModelSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
    }

    void init()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void aTableDrawnBecomesAModelTable()
    {
        window->dialectCombo->setCurrentText(QStringLiteral("SQLite"));
        EntityItem* entity = window->scene->addTableAt(QPointF(10, 10));
        QVERIFY(!entity->id().isEmpty());
        TableItem* table = window->currentModel->table(entity->id());
        QVERIFY(table);
        QCOMPARE(table->name(), entity->title());
        QCOMPARE(columnNames(table), QStringList{entity->title() + "_id:INTEGER"});
        QVERIFY(!table->columns().first()->nullable());
        const ConstraintItem* key = table->constraintOfType(ConstraintItem::PrimaryKey);
        QVERIFY(key);
        QCOMPARE(key->name(), "pk_" + entity->title());
        QCOMPARE(key->columns(), QStringList{table->columns().first()->id()});
        QVERIFY(window->findTreeItem(Table, table->id()));

        EntityItem* viewEntity = window->scene->addViewAt(QPointF(300, 10));
        ViewItem* view = window->currentModel->view(viewEntity->id());
        QVERIFY(view);
        QCOMPARE(view->name(), viewEntity->title());
        viewEntity->addAttribute(QStringLiteral("shown"), QStringLiteral("TEXT"));
        QVERIFY(!window->currentModel->table(viewEntity->id()));  // rows of a view never become columns
        QVERIFY(window->findTreeItem(View, view->id()));
    }

    void entitiesArrivingWhileSuppressedAreWatchedOnly()
    {
        window->suppressModelSync = true;
        auto* entity = new EntityItem(QStringLiteral("late"), QSizeF(150, 70));
        entity->addAttribute(QStringLiteral("id"), QStringLiteral("INT"), true);
        window->scene->addItem(entity);
        window->scene->notifyEntityAdded(entity);
        window->suppressModelSync = false;
        QVERIFY(entity->id() == QString::number(reinterpret_cast<quintptr>(entity)));  // no id of its own yet
        QVERIFY(window->currentModel->tables().isEmpty());
        QVERIFY(!window->findTreeItem(Table, entity->id()));

        // The next edit is copied: the entity is registered under a stable id.
        entity->addAttribute(QStringLiteral("name"), QStringLiteral("TEXT"));
        const QString id = entity->id();
        QCOMPARE(id.size(), 36);
        TableItem* table = window->currentModel->table(id);
        QVERIFY(table);
        QCOMPARE(columnNames(table), (QStringList{"id:INT", "name:TEXT"}));
        QCOMPARE(window->stableEntityId(entity), id);
    }

    void rowEditsKeepColumnIds()
    {
        EntityItem* entity = window->scene->addTableAt(QPointF(0, 0));
        TableItem* table = window->currentModel->table(entity->id());
        entity->addAttribute(QStringLiteral("name"), QStringLiteral("TEXT"));
        entity->addAttribute(QStringLiteral("total"), QStringLiteral("DECIMAL(9,2)"));
        const QString nameId = table->columnByName("name")->id();
        IndexItem* index = table->addIndex();
        index->setColumns({nameId});

        entity->setAttributeName(1, QStringLiteral("title"));
        entity->setAttributeType(1, QStringLiteral("VARCHAR(80)"));
        QCOMPARE(table->columnByName("title")->id(), nameId);
        QCOMPARE(table->columnByName("title")->displayType(), QStringLiteral("VARCHAR(80)"));
        QCOMPARE(index->columns(), QStringList{nameId});

        // Rows moved: the columns follow.
        entity->moveAttribute(2, 0);
        QCOMPARE(table->columns().first()->name(), QStringLiteral("total"));
        QCOMPARE(table->columns().size(), 3);
    }

    // A row taken off the canvas leaves the model at once, with every
    // reference to its column, so a save in between cannot write it.
    void aRemovedRowLeavesTheModelAtOnce()
    {
        EntityItem* parentEntity = window->scene->addTableAt(QPointF(0, 0));
        parentEntity->addAttribute(QStringLiteral("code"), QStringLiteral("TEXT"), true);
        EntityItem* childEntity = window->scene->addTableAt(QPointF(300, 0));
        TableItem* parent = window->currentModel->table(parentEntity->id());
        TableItem* child = window->currentModel->table(childEntity->id());
        const QString codeId = parent->columnByName("code")->id();
        const QString keyId = parent->columns().first()->id();
        ConstraintItem* fk = child->addConstraint();
        fk->setType(ConstraintItem::ForeignKey);
        fk->setColumns({"c1", "c2"});
        fk->setReferencedColumns({keyId, codeId});

        QVERIFY(parentEntity->removeAttributeForLabel(parentEntity->nameLabel(1)));
        QVERIFY(!parent->column(codeId));
        QCOMPARE(parent->constraintOfType(ConstraintItem::PrimaryKey)->columns(), QStringList{keyId});
        QCOMPARE(fk->columns(), QStringList{"c1"});
        QCOMPARE(fk->referencedColumns(), QStringList{keyId});

        window->syncModelFromScene();
        QVERIFY(!parent->columnByName("code"));
        QCOMPARE(parent->columns().size(), 1);
    }

    void titleRenamesReachModelTreeAndStoredDiagrams()
    {
        EntityItem* entity = window->scene->addTableAt(QPointF(0, 0));
        const QString id = entity->id();
        DiagramItem* second = window->currentModel->addDiagram();
        second->setName(QStringLiteral("Diagram 2"));
        second->setData(storedDiagram({{"other", "other"}, {id, entity->title()}}));
        window->currentDiagram->setData(storedDiagram({{id, entity->title()}}));
        ModelItem* otherModel = window->project->addModel();
        otherModel->setName(QStringLiteral("Other"));
        DiagramItem* foreign = otherModel->addDiagram();
        foreign->setData(storedDiagram({{id, entity->title()}}));
        window->rebuildProjectTree();

        entity->setTitle(QStringLiteral("  customers "));
        TableItem* table = window->currentModel->table(id);
        QCOMPARE(table->name(), QStringLiteral("customers"));
        QCOMPARE(entity->title(), QStringLiteral("customers"));
        QCOMPARE(window->findTreeItem(Table, id)->text(), QStringLiteral("customers"));
        QCOMPARE(storedTitle(second, 1), QStringLiteral("customers"));
        QCOMPARE(storedTitle(second, 0), QStringLiteral("other"));
        QCOMPARE(storedTitle(window->currentDiagram, 0), QStringLiteral("customers"));  // the stale copy too
        QCOMPARE(storedTitle(foreign, 0), QStringLiteral("table_1"));
        QVERIFY(!window->updatingTree);

        // From the explorer: blanks only restore the row.
        QStandardItem* row = window->findTreeItem(Table, id);
        window->treeModel->setData(row->index(), QStringLiteral("   "));
        QCOMPARE(table->name(), QStringLiteral("customers"));
        QCOMPARE(row->text(), QStringLiteral("customers"));
        window->treeModel->setData(row->index(), QStringLiteral(" clients"));
        QCOMPARE(entity->title(), QStringLiteral("clients"));
        QCOMPARE(storedTitle(second, 1), QStringLiteral("clients"));

        // A relationship is never renamed this way.
        window->applyModelObjectName(Relationship, id, QStringLiteral("x"));
        QCOMPARE(table->name(), QStringLiteral("clients"));
    }

    // A table of a model that is not current is renamed in the diagrams of
    // the model that owns it.
    void renamingATableOfAnotherModel()
    {
        ModelItem* otherModel = window->project->addModel();
        otherModel->setName(QStringLiteral("Archive"));
        TableItem* archived = otherModel->addTable();
        archived->setName(QStringLiteral("old_orders"));
        DiagramItem* archiveDiagram = otherModel->addDiagram();
        archiveDiagram->setData(storedDiagram({{archived->id(), "old_orders"}}));
        window->currentDiagram->setData(storedDiagram({{archived->id(), "old_orders"}}));
        window->rebuildProjectTree();

        QStandardItem* row = window->findTreeItem(Table, archived->id());
        QVERIFY(row);
        window->treeModel->setData(row->index(), QStringLiteral("orders_2019"));
        QCOMPARE(archived->name(), QStringLiteral("orders_2019"));
        QCOMPARE(storedTitle(archiveDiagram, 0), QStringLiteral("orders_2019"));
        QCOMPARE(storedTitle(window->currentDiagram, 0), QStringLiteral("old_orders"));
    }

    void detailsPaneShowsTheRightObject()
    {
        TableDetailsController* details = window->detailsController;
        EntityItem* entity = window->scene->addTableAt(QPointF(0, 0));
        entity->setSelected(true);
        QTRY_COMPARE(window->currentEntity.data(), entity);
        QCOMPARE(details->shownTable(), window->currentModel->table(entity->id()));
        QCOMPARE(details->shownEntity(), entity);
        QCOMPARE(details->shownModel(), window->currentModel);
        QCOMPARE(details->shownProject(), window->project);

        // No entity: the explorer's current row decides.
        TableItem* offCanvas = window->currentModel->addTable();
        offCanvas->setName(QStringLiteral("elsewhere"));
        window->scene->clearSelection();
        QTRY_VERIFY(!window->currentEntity);
        window->rebuildProjectTree();
        window->selectExplorerItem(Table, offCanvas->id());
        window->refreshTableDetails();
        QCOMPARE(details->shownTable(), offCanvas);
        QVERIFY(!details->shownEntity());
        window->selectExplorerItem(Model, window->currentModel->id());
        window->refreshTableDetails();
        QVERIFY(!details->shownTable() && !details->shownView());

        // Selecting the row refreshes the pane itself; suppressed while a
        // diagram loads.
        window->selectExplorerItem(Table, offCanvas->id());
        QCOMPARE(details->shownTable(), offCanvas);
        details->clear();
        window->suppressModelSync = true;
        window->refreshTableDetails();
        window->suppressModelSync = false;
        QVERIFY(!details->shownTable());
    }

    void edgesBecomeRelationshipsWithForeignKeys()
    {
        EntityItem* customer = window->scene->addTableAt(QPointF(0, 0));
        customer->setTitle(QStringLiteral("customer"));
        EntityItem* order = window->scene->addTableAt(QPointF(400, 0));
        order->setTitle(QStringLiteral("order"));
        EdgeItem* edge = window->scene->createEdge(customer, order, true);
        QVERIFY(edge);
        RelationshipItem* relationship = window->currentModel->relationship(edge->id());
        QVERIFY(relationship);
        QCOMPARE(relationship->name(), QStringLiteral("customer_order"));
        QCOMPARE(relationship->fromTableId(), customer->id());
        QCOMPARE(relationship->toTableId(), order->id());
        TableItem* orders = window->currentModel->table(order->id());
        TableItem* customers = window->currentModel->table(customer->id());
        ConstraintItem* fk = orders->constraint(relationship->constraintId());
        QVERIFY(fk);
        QCOMPARE(fk->name(), QStringLiteral("fk_customer_order"));
        QCOMPARE(fk->type(), int(ConstraintItem::ForeignKey));
        QCOMPARE(fk->referencedTableId(), customer->id());
        // The foreign-key row the edge made is a column of orders.
        QCOMPARE(order->attributeCount(), 2);
        QCOMPARE(order->attributeFkEdgeId(1), edge->id());
        QCOMPARE(fk->columns(), QStringList{orders->columnByName(order->attributeName(1))->id()});
        QCOMPARE(fk->referencedColumns(), customers->constraintOfType(ConstraintItem::PrimaryKey)->columns());
        QVERIFY(window->findTreeItem(Relationship, relationship->id()));
        QCOMPARE(window->findEdgeOnScene(edge->id()), edge);

        // A new title renames the relationship, and its foreign key while
        // that bears the generated name.
        customer->setTitle(QStringLiteral("client"));
        window->syncModelFromScene();
        QCOMPARE(relationship->name(), QStringLiteral("client_order"));
        QCOMPARE(fk->name(), QStringLiteral("fk_client_order"));
        QCOMPARE(orders->constraints().size(), 2);

        // The link of an entity view has no foreign key.
        EntityItem* view = window->scene->addViewAt(QPointF(0, 300));
        EdgeItem* link = window->scene->createEdge(customer, view, true);
        QVERIFY(link && link->isViewEdge());
        QVERIFY(window->currentModel->relationship(link->id()));
        QVERIFY(window->currentModel->relationship(link->id())->constraintId().isEmpty());

        // Taken off the canvas quietly: its edges go with it, the model stays.
        window->removeLiveEntity(customer->id());
        QVERIFY(!window->findEntityOnScene(customers->id()));
        QVERIFY(!window->findEdgeOnScene(relationship->id()));
        QCOMPARE(order->attributeCount(), 1);  // its foreign-key row went with the edge
        QCOMPARE(orders->columns().size(), 2);
        QVERIFY(window->currentModel->relationship(relationship->id()));
        window->removeLiveEntity(QStringLiteral("not on the canvas"));
    }

    void aSelfRelationGoesOnce()
    {
        EntityItem* entity = window->scene->addTableAt(QPointF(0, 0));
        EdgeItem* loop = window->scene->createEdge(entity, entity, true);
        QVERIFY(loop);
        const QString id = entity->id();
        window->removeLiveEntity(id);
        QVERIFY(!window->findEntityOnScene(id));
        QVERIFY(window->scene->items().isEmpty());
    }

    void storedEdgesPreferOtherDiagrams()
    {
        DiagramItem* live = window->currentDiagram;
        DiagramItem* other = window->currentModel->addDiagram();
        other->setName(QStringLiteral("Z other"));
        live->setData(QJsonObject{{"edges", QJsonArray{QJsonObject{{"id", "e"}, {"startCard", 1}}}},
                                  {"entities", QJsonArray{QJsonObject{{"id", "a"}, {"title", "live"}}}}});
        QCOMPARE(window->storedEdgeJson("e").value("startCard").toInt(), 1);
        other->setData(QJsonObject{{"edges", QJsonArray{QJsonObject{{"id", "e"}, {"startCard", 3}}}},
                                   {"entities", QJsonArray{QJsonObject{{"id", "a"}, {"title", "other"}}}}});
        QCOMPARE(window->storedEdgeJson("e").value("startCard").toInt(), 3);
        // Entities are searched in name order, the current diagram included.
        QCOMPARE(window->storedEntityJson("a").value("title").toString(), QStringLiteral("live"));
        QVERIFY(window->storedEdgeJson("none").isEmpty());
        QVERIFY(window->storedEntityJson("").isEmpty());
    }

    void uniqueObjectNamesIgnoreCase()
    {
        window->currentModel->addTable()->setName(QStringLiteral("TABLE_1"));
        window->currentModel->addTable()->setName(QStringLiteral("table_2"));
        QCOMPARE(window->uniqueObjectName(window->currentModel, QStringLiteral("table_")), QStringLiteral("table_3"));
        QCOMPARE(window->uniqueObjectName(window->currentModel, QStringLiteral("view_")), QStringLiteral("view_1"));
    }

    void stripsLeaveTheLiveDiagramAlone()
    {
        DiagramItem* live = window->currentDiagram;
        DiagramItem* other = window->currentModel->addDiagram();
        other->setName(QStringLiteral("Other"));
        live->setData(storedDiagram({{"a", "a"}, {"b", "b"}}));
        other->setData(storedDiagram({{"a", "a"}, {"b", "b"}}));
        window->stripItemsFromOtherDiagrams({"a", "a"}, {});
        QCOMPARE(live->data().value("entities").toArray().size(), 2);
        QCOMPARE(other->data().value("entities").toArray().size(), 1);
        window->stripFromModelDiagrams(window->currentModel, {"b"}, {});
        QCOMPARE(other->data().value("entities").toArray().size(), 0);
        QCOMPARE(live->data().value("entities").toArray().size(), 2);

        window->currentModel = nullptr;
        window->stripItemsFromOtherDiagrams({"a"}, {});  // no current model: nothing
        QCOMPARE(live->data().value("entities").toArray().size(), 2);
    }

private:
    std::unique_ptr<MainWindow> window;
};

QUILLMAP_TEST_MAIN(TestModelSync)
#include "tst_modelsync.moc"
