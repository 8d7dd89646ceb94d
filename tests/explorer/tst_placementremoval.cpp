// Model objects dropped from the explorer onto the canvas, removed from the
// explorer, and deleted from the canvas with Delete, the answers scripted
// through the dialog hooks.

#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "common/mainwindowparts.h"
#include "common/testfiles.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreemodel.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace ExplorerKind;

namespace {

QStringList rowNames(const EntityItem* entity)
{
    QStringList names;
    for (int i = 0; i < entity->attributeCount(); ++i)
        names << entity->attributeName(i);
    return names;
}

// "text|kind" of every row of a tree model, indented by depth.
QStringList treeRows(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex(), int depth = 0)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        rows << QString(depth, QLatin1Char(' ')) + index.data().toString() + QLatin1Char('|')
                    + index.data(KindRole).toString();
        rows += treeRows(model, index, depth + 1);
    }
    return rows;
}

// Answers every message box with `answer`; *titles receives their titles.
void answerMessages(QMessageBox::StandardButton answer, QStringList* titles)
{
    DialogHooks::setMessageHook([answer, titles](QMessageBox::Icon, QWidget*, const QString& title, const QString&,
                                                 QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        *titles << title;
        return answer;
    });
}

// Answers the "Delete" box by clicking the button of that text (none: the
// box is closed as with Escape).
void answerDelete(const QString& button)
{
    DialogHooks::setExecHook([button](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box || box->windowTitle() != QLatin1String("Delete"))
            return 0;
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button)
                candidate->click();
        }
        return 0;
    });
}

} // namespace

class TestPlacementRemoval : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    DialogHooks::ScopedReset hooks;
    QTemporaryDir dir;

    ERScene* scene() const { return canvasScene(window.get()); }
    QTreeView* tree() const { return window->findChild<QTreeView*>(QStringLiteral("treeViewProject")); }

    // The tree model's own drag data for these rows.
    QByteArray payload(const QList<std::pair<QString, QString>>& rows) const
    {
        QModelIndexList indexes;
        for (const auto& [kind, id] : rows)
            indexes << window->findTreeItem(kind, id)->index();
        std::unique_ptr<QMimeData> data(window->treeModel->mimeData(indexes));
        return data ? data->data(MimeType) : QByteArray();
    }

    // Selects these rows in the explorer, in this order.
    void selectInTree(const QList<std::pair<QString, QString>>& rows)
    {
        QItemSelection selection;
        for (const auto& [kind, id] : rows) {
            const QModelIndex index = window->treeProxy->mapFromSource(window->findTreeItem(kind, id)->index());
            selection.select(index, index);
        }
        tree()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }

    TableItem* tableNamed(const QString& name) const
    {
        for (TableItem* table : window->currentModel->tables()) {
            if (table->name() == name)
                return table;
        }
        return nullptr;
    }

    // A shop: orders -> items drawn on Diagram 1 with marks 2 and 3, and a
    // customers table only in the model, related to orders.
    void buildShop()
    {
        EntityItem* orders = scene()->addTableAt(QPointF(0, 0));
        orders->setTitle(QStringLiteral("orders"));
        EntityItem* items = scene()->addTableAt(QPointF(400, 0));
        items->setTitle(QStringLiteral("items"));
        EdgeItem* edge = scene()->createEdge(orders, items, true);
        edge->setStartCard(2);
        edge->setEndCard(3);
        orders->setDisplayMode(EntityItem::NamePrimaryMode);
        window->addExplorerTable(window->currentModel);
        TableItem* customers = window->currentModel->tables().last();
        customers->setName(QStringLiteral("customers"));
        window->syncModelFromScene();
        window->captureCurrentDiagram();
        RelationshipItem* link = window->currentModel->addRelationship();
        link->setName(QStringLiteral("customers_orders"));
        link->setFromTableId(customers->id());
        link->setToTableId(orders->id());
        window->rebuildProjectTree();
    }

    QJsonObject save()
    {
        const QString path = dir.filePath(QStringLiteral("saved.json"));
        DialogHooks::setSaveFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) {
            return path;
        });
        QFile::remove(path);
        window->on_action_Save_As_triggered();
        if (!QTest::qWaitFor([&] { return QFile::exists(path) && waitUntilIdle(window.get()); }, 10000))
            return QJsonObject();
        return QJsonDocument::fromJson(fileContents(path)).object();
    }

    // Project file, canvas and tree, to prove a refused command changed
    // nothing.
    QByteArray snapshot()
    {
        window->captureCurrentDiagram();
        return QJsonDocument(window->project->toDocumentJson()).toJson()
               + QJsonDocument(scene()->toJson()).toJson() + treeRows(window->treeModel).join('\n').toUtf8();
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        DialogHooks::resetHooks();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void dropSnapsCascadesAndSelects()
    {
        for (int i = 0; i < 3; ++i)
            window->addExplorerTable(window->currentModel);
        const QList<TableItem*> tables = window->currentModel->tables();
        const QByteArray modelBefore = QJsonDocument(window->currentModel->toJson()).toJson();
        window->onExplorerDropRequested(payload({{Table, tables.at(0)->id()}}), QPointF(33, -47));
        EntityItem* first = window->findEntityOnScene(tables.at(0)->id());
        QVERIFY(first);
        QCOMPARE(first->pos(), QPointF(40, -40));
        QCOMPARE(rowNames(first), QStringList{"table_1_id"});
        QVERIFY(first->attributeIsPrimaryKey(0));

        // The one already there is only selected and takes no step.
        window->onExplorerDropRequested(
            payload({{Table, tables.at(1)->id()}, {Table, tables.at(0)->id()}, {Table, tables.at(2)->id()}}),
            QPointF(-10, 10));
        QCOMPARE(first->pos(), QPointF(40, -40));
        // Halves round away from zero.
        QCOMPARE(window->findEntityOnScene(tables.at(1)->id())->pos(), QPointF(-20, 20));
        QCOMPARE(window->findEntityOnScene(tables.at(2)->id())->pos(), QPointF(20, 60));
        QCOMPARE(scene()->selectedItems().size(), 3);
        QCOMPARE(tree()->selectionModel()->selectedRows().size(), 3);
        // Nothing reached the model; the diagram record holds the three.
        QCOMPARE(QJsonDocument(window->currentModel->toJson()).toJson(), modelBefore);
        QCOMPARE(window->currentDiagram->data().value("entities").toArray().size(), 3);

        // Not a payload, unknown ids and other kinds place nothing.
        for (const QByteArray& bad : {QByteArray("[1]"), QByteArray("{\"items\":[{\"kind\":\"table\",\"id\":\"x\"},"
                                                                    "{\"kind\":\"model\",\"id\":\"x\"}]}")})
            window->onExplorerDropRequested(bad, QPointF());
        QCOMPARE(scene()->entityItems().size(), 3);
    }

    void dropBringsBackTheStoredLookAndRelationships()
    {
        buildShop();
        TableItem* orders = tableNamed(QStringLiteral("orders"));
        TableItem* items = tableNamed(QStringLiteral("items"));
        TableItem* customers = tableNamed(QStringLiteral("customers"));
        const QStringList storedItemRows = rowNames(window->findEntityOnScene(items->id()));
        const QString edgeId = window->currentModel->relationships().last()->id();  // orders_items

        // On a new diagram of the same model, items first, then the rest:
        // the edge is drawn once, with its stored marks.
        window->addExplorerDiagram(window->currentModel);
        QVERIFY(scene()->entityItems().isEmpty());
        window->onExplorerDropRequested(payload({{Table, items->id()}}), QPointF(300, 0));
        window->onExplorerDropRequested(payload({{Table, orders->id()}, {Table, customers->id()}}), QPointF());
        EntityItem* placedOrders = window->findEntityOnScene(orders->id());
        EntityItem* placedItems = window->findEntityOnScene(items->id());
        QCOMPARE(placedOrders->displayMode(), int(EntityItem::NamePrimaryMode));
        QCOMPARE(rowNames(placedItems), storedItemRows);
        EdgeItem* edge = window->findEdgeOnScene(edgeId);
        QVERIFY(edge);
        QCOMPARE(placedItems->edges(), QList<EdgeItem*>{edge});
        QCOMPARE(edge->startCard(), 2);
        QCOMPARE(edge->endCard(), 3);
        // Stored nowhere: One to Many; and the relationship drawn once.
        QCOMPARE(placedOrders->edges().size(), 2);
        for (EdgeItem* other : placedOrders->edges()) {
            if (other != edge)
                QCOMPARE(std::pair(other->startCard(), other->endCard()), std::pair(0, 1));
        }

        // Stored the other way round, the marks turn round too.
        RelationshipItem* relationship = window->currentModel->relationship(edgeId);
        relationship->setFromTableId(items->id());
        relationship->setToTableId(orders->id());
        auto fresh = std::make_unique<EdgeItem>(placedItems, placedOrders, false);
        window->applyStoredRelationshipNotation(fresh.get(), relationship);
        QCOMPARE(std::pair(fresh->startCard(), fresh->endCard()), std::pair(3, 2));
    }

    void aTableShownNowhereIsBuiltFromItsKeys()
    {
        ModelItem* model = window->currentModel;
        window->addExplorerTable(model);
        window->addExplorerTable(model);
        TableItem* parent = model->tables().at(0);
        TableItem* child = model->tables().at(1);
        ColumnItem* code = child->addColumn();
        code->setName(QStringLiteral("code"));
        code->setDataType(QStringLiteral("VARCHAR(12)"));
        ConstraintItem* unique = child->addConstraint();
        unique->setType(2);
        unique->setColumns({code->id()});
        DialogHooks::setExecHook([](QDialog* dialog) {
            dialog->findChild<QComboBox*>(QStringLiteral("comboChildTable"))->setCurrentIndex(1);
            return int(QDialog::Accepted);
        });
        window->addExplorerRelationship(model);  // model road: neither is drawn
        const RelationshipItem* relationship = model->relationships().first();

        window->onExplorerDropRequested(payload({{Table, child->id()}}), QPointF());
        EntityItem* entity = window->findEntityOnScene(child->id());
        QCOMPARE(rowNames(entity), (QStringList{"table_2_id", "code", "table_1_id"}));
        QCOMPARE(entity->attributeType(1), QStringLiteral("VARCHAR(12)"));
        QVERIFY(entity->attributeIsPrimaryKey(0) && !entity->attributeIsPrimaryKey(1));
        QVERIFY(entity->attributeIsUniqueKey(1));
        QVERIFY(entity->attributeIsForeignKey(2));
        QCOMPARE(entity->attributeFkEdgeId(2), relationship->id());
        // Dropping the parent draws the edge, linked to the child's row.
        window->onExplorerDropRequested(payload({{Table, parent->id()}}), QPointF(400, 0));
        QCOMPARE(entity->edges().size(), 1);
        QCOMPARE(entity->rowsLinkedToEdge(entity->edges().first()), QList<int>{2});
    }

    void dropWithoutACurrentModel()
    {
        window->currentModel = nullptr;
        window->currentDiagram = nullptr;
        window->onExplorerDropRequested(QByteArray("{\"items\":[]}"), QPointF());
        QCOMPARE(window->currentModel, nullptr);
        window->project->deleteLater();
        window->project = nullptr;
        window->onExplorerDropRequested(QByteArray("{\"items\":[]}"), QPointF());
        QVERIFY(window->project && window->currentModel && window->currentDiagram);
    }

    void explorerRemovalAsksAndTakesModels()
    {
        buildShop();
        const QString itemsId = tableNamed(QStringLiteral("items"))->id();
        const QString ordersId = tableNamed(QStringLiteral("orders"))->id();
        window->addExplorerDiagram(window->currentModel);  // Diagram 2, live
        window->onExplorerDropRequested(payload({{Table, itemsId}}), QPointF());

        QStringList titles;
        window->selectExplorerItem(Table, ordersId);
        answerMessages(QMessageBox::No, &titles);
        const QByteArray before = snapshot();
        window->removeExplorerSelection();
        QCOMPARE(titles, QStringList{"Remove"});
        QCOMPARE(snapshot(), before);

        answerMessages(QMessageBox::Yes, &titles);
        // A model with one of its tables: the model goes, the record of the
        // table is skipped; the canvas shows the first model left.
        ModelItem* other = window->project->addModel();
        other->setName(QStringLiteral("Other"));
        other->addDiagram()->setName(QStringLiteral("Only"));
        window->rebuildProjectTree();
        const QString currentId = window->currentModel->id();
        selectInTree({{Model, currentId}, {Table, itemsId}});
        window->removeExplorerSelection();
        QCOMPARE(window->project->models(), QList<ModelItem*>{other});
        QCOMPARE(window->currentModel, other);
        QCOMPARE(window->currentDiagram->name(), QStringLiteral("Only"));
        QVERIFY(scene()->entityItems().isEmpty());
    }

    void removingSeveralAtOnce_data()
    {
        QTest::addColumn<bool>("relationshipFirst");
        QTest::newRow("relationship selected first") << true;
        QTest::newRow("relationship selected last") << false;
    }

    // Tables chosen together with a relationship between them and a third
    // table: all of it goes, from the model and from the stored and live
    // diagrams, whatever the order of the selection; the third table stays.
    void removingSeveralAtOnce()
    {
        QFETCH(bool, relationshipFirst);
        buildShop();
        const QString ordersId = tableNamed(QStringLiteral("orders"))->id();
        const QString itemsId = tableNamed(QStringLiteral("items"))->id();
        TableItem* customers = tableNamed(QStringLiteral("customers"));
        const QString customersId = customers->id();
        QString linkId;
        for (const RelationshipItem* relationship : window->currentModel->relationships()) {
            if (relationship->fromTableId() == customersId)
                linkId = relationship->id();
        }
        QVERIFY(!linkId.isEmpty());
        // A second diagram, live, shows all three with both edges.
        window->addExplorerDiagram(window->currentModel);
        window->onExplorerDropRequested(
            payload({{Table, ordersId}, {Table, itemsId}, {Table, customersId}}), QPointF());
        QCOMPARE(scene()->entityItems().size(), 3);

        QList<std::pair<QString, QString>> chosen{{Table, ordersId}, {Table, itemsId}};
        if (relationshipFirst)
            chosen.prepend({Relationship, linkId});
        else
            chosen.append({Relationship, linkId});
        selectInTree(chosen);
        QStringList titles;
        answerMessages(QMessageBox::Yes, &titles);
        window->removeExplorerSelection();
        QCOMPARE(titles, QStringList{"Remove"});

        QCOMPARE(window->currentModel->tables(), QList<TableItem*>{customers});
        QVERIFY(window->currentModel->relationships().isEmpty());
        QVERIFY(!customers->constraintOfType(1));
        QCOMPARE(scene()->entityItems().size(), 1);
        QCOMPARE(scene()->entityItems().first()->id(), customersId);
        for (QGraphicsItem* item : scene()->items())
            QVERIFY(!dynamic_cast<EdgeItem*>(item));
        const QJsonObject saved = save();
        QCOMPARE(saved.value("diagrams").toArray().size(), 2);
        for (const QJsonValue& diagram : saved.value("diagrams").toArray()) {
            const QByteArray text = QJsonDocument(diagram.toObject()).toJson();
            for (const QString& gone : {ordersId, itemsId, linkId})
                QVERIFY2(!text.contains(gone.toUtf8()), text.constData());
        }
        for (const QString& gone : {ordersId, itemsId, linkId})
            QVERIFY(!window->findTreeItem(gone == linkId ? Relationship : Table, gone));
        QVERIFY(window->findTreeItem(Table, customersId));
    }

    void deleteKeyOnARowRemovesTheColumnAtOnce()
    {
        EntityItem* entity = scene()->addTableAt(QPointF(0, 0));
        entity->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
        TableItem* table = window->currentModel->table(entity->id());
        QVERIFY(table->columnByName(QStringLiteral("note")));

        QStringList titles;
        answerMessages(QMessageBox::Yes, &titles);
        // The title label is no row: nothing goes.
        scene()->setFocusItem(entity->titleLabel());
        window->deleteSelection();
        QCOMPARE(titles, QStringList{"Confirm delete"});
        QCOMPARE(entity->attributeCount(), 2);

        scene()->setFocusItem(entity->nameLabel(1));
        window->deleteSelection();
        QCOMPARE(rowNames(entity), QStringList{entity->attributeName(0)});
        QVERIFY(!table->columnByName(QStringLiteral("note")));
        const QByteArray saved = QJsonDocument(save()).toJson();
        QVERIFY(!saved.isEmpty() && !saved.contains("\"note\""));
    }

    void deleteKeyOnTablesAndRelationships_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("escape") << QString();
        QTest::newRow("cancel") << "Cancel";
        QTest::newRow("diagram") << "Delete from diagram";
        QTest::newRow("model") << "Delete from model";
    }

    void deleteKeyOnTablesAndRelationships()
    {
        QFETCH(QString, button);
        buildShop();
        const QString ordersId = tableNamed(QStringLiteral("orders"))->id();
        TableItem* items = tableNamed(QStringLiteral("items"));
        EntityItem* itemsEntity = window->findEntityOnScene(items->id());
        const int itemRows = itemsEntity->attributeCount();
        DiagramItem* first = window->currentDiagram;
        // The same two tables on a second diagram.
        window->addExplorerDiagram(window->currentModel);
        window->onExplorerDropRequested(payload({{Table, ordersId}, {Table, items->id()}}), QPointF());
        window->captureCurrentDiagram();
        window->loadDiagramItem(first);
        itemsEntity = window->findEntityOnScene(items->id());

        scene()->clearSelection();
        window->findEntityOnScene(ordersId)->setSelected(true);
        answerDelete(button);
        const QByteArray before = snapshot();
        window->deleteSelection();
        if (button.isEmpty() || button == QLatin1String("Cancel")) {
            QCOMPARE(snapshot(), before);
            return;
        }
        QVERIFY(!window->findEntityOnScene(ordersId));
        QVERIFY(itemsEntity->edges().isEmpty());
        const QJsonObject saved = save();
        const QByteArray otherDiagram =
            QJsonDocument(window->currentModel->diagrams().at(1)->data()).toJson();
        if (button == QLatin1String("Delete from diagram")) {
            // Rows, model and other diagrams stay as they were.
            QCOMPARE(itemsEntity->attributeCount(), itemRows);
            QVERIFY(window->currentModel->table(ordersId));
            QCOMPARE(window->currentModel->relationships().size(), 2);
            QVERIFY(otherDiagram.contains(ordersId.toUtf8()));
            QVERIFY(window->findTreeItem(Table, ordersId));
        } else {
            // Its relationships go, those not drawn here too, with their
            // keys and rows; no diagram shows it any more.
            QCOMPARE(itemsEntity->attributeCount(), itemRows - 1);
            QVERIFY(!window->currentModel->table(ordersId));
            QVERIFY(window->currentModel->relationships().isEmpty());
            QVERIFY(!items->constraintOfType(1));
            QVERIFY(!otherDiagram.contains(ordersId.toUtf8()));
            QVERIFY(!QJsonDocument(saved).toJson().contains(ordersId.toUtf8()));
            QVERIFY(!window->findTreeItem(Table, ordersId));
        }
    }

    void deleteKeyOnTextsAsksTheObjectsQuestion()
    {
        TextItem* note = scene()->addTextAt(QPointF(0, 0));
        note->setSelected(true);
        QStringList titles;
        answerMessages(QMessageBox::No, &titles);
        window->deleteSelection();
        QCOMPARE(titles, QStringList{"Confirm delete"});
        QCOMPARE(scene()->selectedItems().size(), 1);
        answerMessages(QMessageBox::Yes, &titles);
        window->deleteSelection();
        QVERIFY(scene()->selectedItems().isEmpty());
        // Nothing selected: no question at all.
        window->deleteSelection();
        QCOMPARE(titles.size(), 2);
    }
};

QUILLMAP_TEST_MAIN(TestPlacementRemoval)
#include "tst_placementremoval.moc"
