#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "common/contextmenus.h"
#include "common/testmain.h"
#include "details/detailslookups.h"
#include "detailspane.h"
#include "edges/edgeitem.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/indexitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace {

QStringList namesOf(const QList<ConstraintItem*>& constraints)
{
    QStringList names;
    for (const ConstraintItem* constraint : constraints)
        names << constraint->name();
    return names;
}

// The ids of the edges and of the foreign-key rows of a stored diagram.
QStringList storedEdgeIds(const DiagramItem* diagram)
{
    QStringList ids;
    for (const QJsonValue& edge : diagram->data().value("edges").toArray())
        ids << edge.toObject().value("id").toString();
    return ids;
}

QStringList storedRowEdgeIds(const DiagramItem* diagram)
{
    QStringList ids;
    for (const QJsonValue& entity : diagram->data().value("entities").toArray()) {
        for (const QJsonValue& row : entity.toObject().value("attributes").toArray()) {
            const QString id = row.toObject().value("fkEdgeId").toString();
            if (!id.isEmpty())
                ids << id;
        }
    }
    return ids;
}

// Answers the confirmation box by clicking the button of that text (none:
// the box is closed without a choice) and records what it said.
void answerConfirmation(const QString& button, QStringList* said)
{
    DialogHooks::setExecHook([button, said](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box)
            return 0;
        *said << box->windowTitle() << box->text() << box->informativeText();
        *said << (static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::Cancel) ? "Cancel is default" : "other default");
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button || (button == "Cancel" && candidate == box->button(QMessageBox::Cancel)))
                candidate->click();
        }
        return 0;
    });
}

} // namespace

class TestDetailsActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ThemeManager::instance().setTheme(ThemeKind::Light); }

    void init()
    {
        QVERIFY(pane.open());
        details = pane.details;
        window = pane.window.get();
    }

    void cleanup()
    {
        DialogHooks::resetHooks();
        pane.close();
    }

    // ---- columns

    void removingAColumnForgetsItEverywhere()
    {
        EntityItem* entity = showNewTable("orders", {"a", "b"});
        TableItem* table = details->shownTable();
        ProjectItem* project = window->project;
        ColumnItem* b = table->columns().at(2);
        const QString id = b->id();
        IndexItem* index = table->addIndex();
        index->setColumns({id});
        MappingItem* mapping = project->addMapping();
        mapping->setSourceTableId(table->id());
        mapping->setSourceColumnId(id);
        bool listedWhenEmitted = false;
        connect(details, &TableDetailsController::columnRemoved, this,
                [&](const QString& removed) { listedWhenEmitted = removed == id && table->column(id); });
        details->refresh();
        pane.grid("tableViewColumns")->setCurrentIndex(pane.model("tableViewColumns")->index(2, 0));
        click("toolButtonRemoveTableColumn");
        QVERIFY(listedWhenEmitted);
        QVERIFY(!table->column(id));
        QCOMPARE(entity->attributeCount(), 2);
        QVERIFY(index->columns().isEmpty());
        QCOMPARE(mapping->sourceColumnId(), QString());

        // A view's row goes without a signal.
        EntityItem* viewEntity = pane.scene()->addViewAt(QPointF(400, 0));
        viewEntity->addAttribute("x", "INT");
        viewEntity->addAttribute("y", "INT");
        pane.select(viewEntity);
        QSignalSpy removed(details, &TableDetailsController::columnRemoved);
        pane.grid("tableViewColumns")->setCurrentIndex(pane.model("tableViewColumns")->index(0, 0));
        click("toolButtonRemoveTableColumn");
        QCOMPARE(viewEntity->attributeCount(), 1);
        QCOMPARE(viewEntity->attributeName(0), QStringLiteral("y"));
        QCOMPARE(removed.count(), 0);
    }

    // ---- constraints

    void constraintNames()
    {
        showNewTable("orders", {"a", "b"});
        TableItem* table = details->shownTable();
        QVERIFY(table->constraintOfType(ConstraintItem::PrimaryKey));
        table->constraintOfType(ConstraintItem::PrimaryKey)->setName("pk_orders");
        ConstraintItem* taken = table->addConstraint();
        taken->setName("UK_ORDERS");

        // The menu offers the four kinds in order.
        QStringList entries;
        chooseMenuEntry("Unique", &entries);
        click("toolButtonAddConstraint");
        QCOMPARE(entries, (QStringList{"Primary Key", "Foreign Key", "Unique", "Check"}));
        details->addConstraintOfKind(ConstraintItem::Unique);
        details->addConstraintOfKind(ConstraintItem::Check);
        details->addConstraintOfKind(ConstraintItem::ForeignKey);
        QCOMPARE(namesOf(table->constraints()),
                 (QStringList{"pk_orders", "UK_ORDERS", "uk_orders_2", "uk_orders_3", "ck_orders", "fk_orders"}));
        // A unique constraint starts on the first column, a check and a
        // foreign key on none; the new row is current.
        QCOMPARE(table->constraints().at(2)->columns(), QStringList{table->columns().first()->id()});
        QVERIFY(table->constraints().at(4)->columns().isEmpty());
        QCOMPARE(currentRowText("tableViewConstraints"), QStringLiteral("fk_orders"));

        // A second primary key is not made: the existing one becomes current.
        const qsizetype count = table->constraints().size();
        details->addConstraintOfKind(ConstraintItem::PrimaryKey);
        QCOMPARE(table->constraints().size(), count);
        QCOMPARE(currentRowText("tableViewConstraints"), QStringLiteral("pk_orders"));
    }

    void constraintGridEdits_data()
    {
        QTest::addColumn<int>("startKind");
        QTest::addColumn<bool>("ofRelationship");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("columnCount");
        QTest::newRow("name trimmed") << 2 << false << 0 << "  uk_x  " << 2 << "uk_x" << 0;
        QTest::newRow("blank name restored") << 2 << false << 0 << "   " << 2 << "c" << 0;
        QTest::newRow("unique in lower case") << 3 << false << 1 << "unique" << 2 << "c" << 1;
        QTest::newRow("primary key with a blank is unique") << 3 << false << 1 << "primary key" << 2 << "c" << 1;
        QTest::newRow("second primary key refused") << 2 << false << 1 << "Primary Key" << 2 << "c" << 0;
        QTest::newRow("check") << 2 << false << 1 << "Check" << 3 << "c" << 0;
        QTest::newRow("to foreign key") << 2 << false << 1 << "Foreign Key" << 1 << "c" << 0;
        QTest::newRow("foreign key to unique") << 1 << false << 1 << "Unique" << 2 << "c" << 1;
        QTest::newRow("relationship's key stays") << 1 << true << 1 << "Unique" << 1 << "c" << 0;
    }

    void constraintGridEdits()
    {
        QFETCH(int, startKind);
        QFETCH(bool, ofRelationship);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(int, columnCount);

        showNewTable("orders", {"a"});
        TableItem* table = details->shownTable();
        ConstraintItem* constraint = table->addConstraint();
        constraint->setName("c");
        constraint->setType(startKind);
        if (ofRelationship) {
            RelationshipItem* relationship = window->currentModel->addRelationship();
            relationship->setConstraintId(constraint->id());
            relationship->setToTableId(table->id());
        }
        details->refresh();
        QStandardItemModel* constraints = pane.model("tableViewConstraints");
        const int row = static_cast<int>(table->constraints().indexOf(constraint));
        pane.edit("tableViewConstraints", row, column, text);
        QCOMPARE(constraint->type(), kind);
        QCOMPARE(constraint->name(), name);
        QCOMPARE(constraint->columns().size(), columnCount);
        // The grid shows what the constraint holds (a name edit needs no
        // refresh of its own).
        details->refresh();
        QCOMPARE(constraints->item(row, 0)->text(), name);
        QCOMPARE(constraints->item(row, 1)->text(),
                 QStringList({"Primary Key", "Foreign Key", "Unique", "Check"}).at(kind));
    }

    void foreignKeyGrid()
    {
        showNewTable("customer", {"code", "region"});
        TableItem* parent = details->shownTable();
        parent->setSchema("sales");
        showNewTable("orders", {"cust_code", "cust_region", "note"}, QPointF(400, 0));
        TableItem* child = details->shownTable();
        details->addConstraintOfKind(ConstraintItem::ForeignKey);
        ConstraintItem* key = child->constraints().last();
        QCOMPARE(pane.model("tableViewConsColumns")->rowCount(), 0);

        // A column without a referenced table: the referenced side gets an
        // empty id at the same position.
        click("toolButtonAddConstraintColumn");
        QCOMPARE(key->columns(), QStringList{child->columns().at(0)->id()});
        QCOMPARE(key->referencedColumns(), QStringList{QString()});
        QCOMPARE(pane.texts("tableViewConsColumns", 0), (QStringList{"", "orders", "table_2_id", "", "", ""}));

        QStandardItemModel* cells = pane.model("tableViewConsColumns");
        // Choosing a PK column needs the referenced table first.
        pane.edit("tableViewConsColumns", 0, 5, "code");
        QCOMPARE(key->referencedColumns(), QStringList{QString()});
        pane.edit("tableViewConsColumns", 0, 4, " CUSTOMER ");
        QCOMPARE(key->referencedTableId(), parent->id());
        QCOMPARE(pane.texts("tableViewConsColumns", 0), (QStringList{"", "orders", "table_2_id", "sales", "customer", ""}));
        cells->setData(cells->index(0, 5), "code");
        pane.edit("tableViewConsColumns", 0, 2, "cust_code");
        QCOMPARE(pane.texts("tableViewConsColumns", 0).mid(2),
                 (QStringList{"cust_code", "sales", "customer", "code"}));

        // The next pair starts on the first free columns of both tables; a
        // column used at another position is refused.
        click("toolButtonAddConstraintColumn");
        QCOMPARE(key->columns().size(), 2);
        QCOMPARE(key->referencedColumns().size(), 2);
        pane.edit("tableViewConsColumns", 1, 2, "cust_code");
        QVERIFY(key->columns().at(1) != child->columnByName("cust_code")->id());
        QCOMPARE(cells->item(1, 2)->text(), child->columns().at(0)->name());
        // An unknown referenced table changes nothing.
        pane.edit("tableViewConsColumns", 1, 4, "nowhere");
        QCOMPARE(key->referencedTableId(), parent->id());
        QCOMPARE(cells->item(1, 4)->text(), QStringLiteral("customer"));
        // Removing a pair takes both sides' entries.
        pane.grid("tableViewConsColumns")->setCurrentIndex(cells->index(0, 0));
        click("toolButtonRemoveConstraintColumn");
        QCOMPARE(key->columns().size(), 1);
        QCOMPARE(key->referencedColumns().size(), 1);
    }

    // Whatever the user does to a foreign key, its two column lists keep
    // the same length and neither lists a column twice.
    void foreignKeyListsStayPaired()
    {
        showNewTable("customer", {"code", "region", "since"});
        showNewTable("orders", {"a", "b", "c", "d"}, QPointF(400, 0));
        TableItem* child = details->shownTable();
        details->addConstraintOfKind(ConstraintItem::ForeignKey);
        ConstraintItem* key = child->constraints().last();
        const QString keyId = key->id();
        QStandardItemModel* cells = pane.model("tableViewConsColumns");
        QStandardItemModel* constraints = pane.model("tableViewConstraints");
        const QStringList names{"a", "b", "c", "d", "code", "region", "since", "table_1_id", "table_2_id", "zz"};
        QRandomGenerator random(18);
        for (int step = 0; step < 160; ++step) {
            selectRow("tableViewConstraints", keyId);
            const int rows = cells->rowCount();
            const int row = rows > 0 ? random.bounded(rows) : 0;
            switch (random.bounded(7)) {
            case 0:
            case 1:
                click("toolButtonAddConstraintColumn");
                break;
            case 2:
                if (rows > 0) {
                    pane.grid("tableViewConsColumns")->setCurrentIndex(cells->index(row, 0));
                    click("toolButtonRemoveConstraintColumn");
                }
                break;
            case 3:
                if (rows > 0)
                    cells->setData(cells->index(row, random.bounded(2) ? 2 : 5), names.at(random.bounded(10)));
                break;
            case 4:
                if (rows > 0)
                    cells->setData(cells->index(row, 4), random.bounded(2) ? "customer" : "orders");
                break;
            case 5: {
                const int constraintRow = static_cast<int>(child->constraints().indexOf(key));
                constraints->setData(constraints->index(constraintRow, 1), "Unique");
                pane.settle();
                constraints->setData(constraints->index(constraintRow, 1), "Foreign Key");
                break;
            }
            default:
                if (rows > 0) {
                    // Adding a column anywhere in the table.
                    click("toolButtonAddTableColumn");
                }
                break;
            }
            pane.settle();
            QCOMPARE(key->type(), int(ConstraintItem::ForeignKey));
            QCOMPARE(key->columns().size(), key->referencedColumns().size());
            for (const QStringList& list : {key->columns(), key->referencedColumns()}) {
                QStringList used = list;
                used.removeAll(QString());
                QCOMPARE(QSet<QString>(used.cbegin(), used.cend()).size(), used.size());
            }
            QCOMPARE(cells->rowCount(), static_cast<int>(key->columns().size()));
        }
    }

    // ---- removing a relationship's foreign key

    void relationshipKeyRemoval_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancel") << "Cancel";
        QTest::newRow("closed") << "";
        QTest::newRow("remove") << "Remove";
    }

    void relationshipKeyRemoval()
    {
        QFETCH(QString, answer);
        ERScene* scene = pane.scene();
        EntityItem* parent = showNewTable("customer", {"code"});
        EntityItem* child = showNewTable("orders", {"note"}, QPointF(400, 0));
        EdgeItem* edge = scene->createEdge(parent, child, true);
        QVERIFY(edge);
        pane.settle();
        ModelItem* model = window->currentModel;
        const QString relationshipId = edge->id();
        RelationshipItem* relationship = model->relationship(relationshipId);
        QVERIFY(relationship);
        TableItem* table = model->table(child->id());
        ConstraintItem* key = table->constraint(relationship->constraintId());
        QVERIFY(key);
        // A second diagram shows the same edge and foreign-key rows.
        window->captureCurrentDiagram();
        DiagramItem* other = model->addDiagram();
        other->setName("Diagram 2");
        other->setData(window->currentDiagram->data());
        QVERIFY(storedEdgeIds(other).contains(relationshipId));
        QVERIFY(storedRowEdgeIds(other).contains(relationshipId));
        const int fkRow = child->attributeCount() - 1;
        QCOMPARE(child->attributeFkEdgeId(fkRow), relationshipId);

        const QString keyId = key->id();
        pane.select(child);
        selectRow("tableViewConstraints", keyId);
        const QString projectBefore = pane.json(window->project->toDocumentJson());
        const QString canvasBefore = pane.json(scene->toJson());
        QStringList said;
        answerConfirmation(answer, &said);
        QSignalSpy removed(details, &TableDetailsController::relationshipConstraintRemoved);
        click("toolButtonRemoveConstraint");
        pane.settle();
        QCOMPARE(said, (QStringList{"Remove constraint",
                                    "This foreign key belongs to a relationship. Removing it also removes the "
                                    "relationship.",
                                    "The columns stay on the table.", "Cancel is default"}));
        if (answer != "Remove") {
            QCOMPARE(removed.count(), 0);
            QCOMPARE(pane.json(window->project->toDocumentJson()), projectBefore);
            QCOMPARE(pane.json(scene->toJson()), canvasBefore);
            QCOMPARE(child->attributeFkEdgeId(fkRow), relationshipId);
            return;
        }
        QCOMPARE(removed.count(), 1);
        QVERIFY(!model->relationship(relationshipId));
        QVERIFY(!table->constraint(keyId));
        QVERIFY(!window->findEdgeOnScene(relationshipId));
        // The columns stay, their rows too, without the foreign-key mark.
        QCOMPARE(child->attributeCount(), fkRow + 1);
        QVERIFY(!child->attributeIsForeignKey(fkRow));
        QVERIFY(table->columnByName(child->attributeName(fkRow)));
        QVERIFY(!storedEdgeIds(other).contains(relationshipId));
        QVERIFY(!storedRowEdgeIds(other).contains(relationshipId));
        QVERIFY(!storedEdgeIds(window->currentDiagram).contains(relationshipId));
        QVERIFY(!storedRowEdgeIds(window->currentDiagram).contains(relationshipId));
    }

    // The pane may show a table of a model that is not on the canvas: the
    // relationship goes from that model and its diagrams, the current model
    // and the canvas stay as they are.
    void relationshipKeyRemovalInAnotherModel()
    {
        showNewTable("local", {"x"});
        ModelItem* current = window->currentModel;
        ModelItem* other = window->project->addModel();
        other->setName("Archive");
        TableItem* parent = other->addTable();
        parent->setName("customer");
        ColumnItem* id = parent->addColumn();
        id->setName("id");
        TableItem* child = other->addTable();
        child->setName("orders");
        ColumnItem* customerId = child->addColumn();
        customerId->setName("customer_id");
        ConstraintItem* key = child->addConstraint();
        key->setType(ConstraintItem::ForeignKey);
        key->setName("fk_orders");
        key->setColumns({customerId->id()});
        key->setReferencedTableId(parent->id());
        key->setReferencedColumns({id->id()});
        RelationshipItem* relationship = other->addRelationship();
        relationship->setConstraintId(key->id());
        relationship->setFromTableId(parent->id());
        relationship->setToTableId(child->id());
        const QJsonObject stored{
            {"version", "1.0"},
            {"type", "er-diagram"},
            {"entities",
             QJsonArray{QJsonObject{{"id", parent->id()}, {"title", "customer"}, {"x", 0}, {"y", 0}},
                        QJsonObject{{"id", child->id()},
                                    {"title", "orders"},
                                    {"x", 300},
                                    {"y", 0},
                                    {"attributes", QJsonArray{QJsonObject{{"name", "customer_id"},
                                                                          {"type", "INT"},
                                                                          {"isForeignKey", true},
                                                                          {"fkEdgeId", relationship->id()}}}}}}},
            {"edges", QJsonArray{QJsonObject{{"id", relationship->id()}, {"from", parent->id()}, {"to", child->id()}}}}};
        DiagramItem* first = other->addDiagram();
        first->setData(stored);
        DiagramItem* second = other->addDiagram();
        second->setData(stored);

        const QString keyId = key->id();
        const QString relationshipId = relationship->id();
        details->setProject(window->project);
        details->showTable(other, child, nullptr);
        selectRow("tableViewConstraints", keyId);
        QVERIFY(details->relationshipIdForConstraint(key) == relationship->id());
        const QString currentBefore = pane.json(current->toJson());
        const QString canvasBefore = pane.json(pane.scene()->toJson());
        QStringList said;
        answerConfirmation("Remove", &said);
        click("toolButtonRemoveConstraint");
        pane.settle();

        QVERIFY(!other->relationship(relationshipId));
        QVERIFY(!child->constraint(keyId));
        QVERIFY(child->column(customerId->id()));
        for (const DiagramItem* diagram : {first, second}) {
            QVERIFY(storedEdgeIds(diagram).isEmpty());
            QVERIFY(storedRowEdgeIds(diagram).isEmpty());
        }
        QCOMPARE(window->currentModel, current);
        QCOMPARE(pane.json(current->toJson()), currentBefore);
        QCOMPARE(pane.json(pane.scene()->toJson()), canvasBefore);
    }

    // ---- indexes

    void indexes()
    {
        EntityItem* entity = showNewTable("orders", {"a", "b"});
        TableItem* table = details->shownTable();
        for (int i = 0; i < 3; ++i)
            click("toolButtonAddIndex");
        QCOMPARE(table->indexes().at(2)->name(), QStringLiteral("ix_orders_3"));
        // The grid was fitted to ix_orders; the longer names added after it
        // are not cut off.
        QTableView* grid = pane.grid("tableViewIndexes");
        QVERIFY(grid->columnWidth(0) >= pane.view("tableViewIndexes")->sizeHintForColumn(0));
        IndexItem* index = table->indexes().at(2);
        QCOMPARE(currentRowText("tableViewIndexes"), QStringLiteral("ix_orders_3"));
        QCOMPARE(index->columns(), QStringList{table->columns().first()->id()});

        for (int i = 0; i < 4; ++i) // the last finds every column in it already
            click("toolButtonAddIndexColumn");
        QCOMPARE(index->columns().size(), 3);
        QCOMPARE(pane.texts("tableViewIndColumns", 1), QStringList{"a"});

        // A name used at another position reverts; a free one replaces.
        QStandardItemModel* columns = pane.model("tableViewIndColumns");
        pane.edit("tableViewIndColumns", 1, 0, "b");
        QCOMPARE(pane.texts("tableViewIndColumns", 1), QStringList{"a"});
        pane.grid("tableViewIndColumns")->setCurrentIndex(columns->index(2, 0));
        click("toolButtonRemoveIndexColumn");
        columns->setData(columns->index(1, 0), "B");
        QCOMPARE(index->columns().at(1), table->columnByName("b")->id());

        QStandardItemModel* indexes = pane.model("tableViewIndexes");
        indexes->setData(indexes->index(2, 1), "Unique");
        QVERIFY(index->unique());
        indexes->setData(indexes->index(2, 1), "Non-unique");
        QVERIFY(!index->unique());
        indexes->setData(indexes->index(2, 0), "   ");
        QCOMPARE(index->name(), QString());
        const bool keyMark = entity->attributeIsPrimaryKey(0);
        QVERIFY(!entity->attributeIsUniqueKey(1));

        // No current row: the first index goes.
        pane.grid("tableViewIndexes")->selectionModel()->clearCurrentIndex();
        details->removeIndex();
        QCOMPARE(table->indexes().size(), 2);
        QCOMPARE(table->indexes().first()->name(), QStringLiteral("ix_orders_2"));
        QCOMPARE(entity->attributeIsPrimaryKey(0), keyMark);
    }

    // ---- mappings

    void mappingsListAndNames()
    {
        showNewTable("orders", {"total"});
        ProjectItem* project = window->project;
        ModelItem* model = window->currentModel;
        TableItem* orders = details->shownTable();
        TableItem* archive = model->addTable();
        archive->setName("archive");
        ColumnItem* sum = archive->addColumn();
        sum->setName("sum");
        MappingItem* inModel = model->addMapping();
        inModel->setSourceModelId(model->id());
        inModel->setSourceTableId(orders->id());
        inModel->setSourceColumnId(orders->columnByName("total")->id());
        inModel->setTargetModelId(model->id());
        inModel->setTargetTableId(archive->id());
        inModel->setTargetColumnId(sum->id());
        MappingItem* top = project->addMapping();

        QSignalSpy changed(details, &TableDetailsController::mappingsChanged);
        details->refresh();
        pane.settle();
        pane.settle();
        // One emission for the name the refresh composed, however often the
        // window's explorer rebuild refreshes the pane again.
        QCOMPARE(changed.count(), 1);
        QCOMPARE(inModel->name(), QStringLiteral("orders.total -> archive.sum"));
        QStandardItemModel* mappings = pane.model("treeView");
        QCOMPARE(mappings->rowCount(), 3);
        QCOMPARE(mappings->item(0, 0)->data(TableDetailsController::IdRole).toString(), top->id());
        QCOMPARE(pane.texts("treeView", 1), (QStringList{"Model 1", "orders", "total", "Model 1", "archive", "sum"}));
        QCOMPARE(pane.texts("treeView", 2), QStringList(6, QString()));

        // A name the model lacks changes nothing and comes back.
        pane.edit("treeView", 1, 4, "nowhere");
        QCOMPARE(inModel->targetTableId(), archive->id());
        QCOMPARE(mappings->item(1, 4)->text(), QStringLiteral("archive"));

        // A deleted column leaves its cell empty and the name as it was.
        archive->removeColumn(sum->id());
        details->refresh();
        pane.settle();
        QCOMPARE(mappings->item(1, 5)->text(), QString());
        QCOMPARE(inModel->name(), QStringLiteral("orders.total -> archive.sum"));
        QCOMPARE(changed.count(), 1);

        // A mapping added among others, or one taken from between others:
        // the rows follow the project's mappings and keep their texts.
        const auto rowIds = [mappings] {
            QStringList ids;
            for (int row = 0; row < mappings->rowCount(); ++row)
                ids << mappings->item(row, 0)->data(TableDetailsController::IdRole).toString();
            return ids;
        };
        const auto expectedIds = [project] {
            QStringList ids;
            for (const MappingItem* mapping : allMappings(project))
                ids << mapping->id();
            return ids << QString();
        };
        const QStringList inModelTexts{"Model 1", "orders", "total", "Model 1", "archive", ""};
        QList<MappingItem*> added;
        for (int i = 0; i < 6; ++i) {
            added << project->addMapping();
            details->refresh();
            QCOMPARE(rowIds(), expectedIds());
            QCOMPARE(pane.texts("treeView", static_cast<int>(rowIds().indexOf(inModel->id()))), inModelTexts);
        }
        for (MappingItem* mapping : std::as_const(added)) {
            project->removeMapping(mapping->id());
            details->refresh();
            QCOMPARE(rowIds(), expectedIds());
            QCOMPARE(pane.texts("treeView", static_cast<int>(rowIds().indexOf(inModel->id()))), inModelTexts);
        }
        QCOMPARE(rowIds().size(), 3);
    }

    // A mapping is made from the empty row once its last cell is filled,
    // or by the add button without ends; either row is filled cell by cell,
    // each end level by level, ignoring case and blanks.
    void mappingRowFilledCellByCell_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("empty row") << false << QStringList{" model 1", "ORDERS", "total", "Model 1", "orders ", "Tax"};
        QTest::newRow("add button") << true << QStringList{"Model 1", "orders", "total", "Model 1", "orders", "tax"};
    }

    void mappingRowFilledCellByCell()
    {
        QFETCH(bool, byButton);
        QFETCH(QStringList, texts);
        showNewTable("orders", {"total", "tax"});
        ProjectItem* project = window->project;
        ModelItem* model = window->currentModel;
        QSignalSpy changed(details, &TableDetailsController::mappingsChanged);
        QStandardItemModel* mappings = pane.model("treeView");
        if (byButton) {
            click("toolButtonAddMapping");
            QCOMPARE(changed.count(), 1);
            QCOMPARE(details->mappingAt(pane.view("treeView")->currentIndex().row()), model->mappings().value(0));
        }
        QCOMPARE(model->mappings().size(), byButton ? 1 : 0);
        for (int column = 0; column < 6; ++column) {
            if (column == 5 && !byButton)
                pane.edit("treeView", 0, column, texts.at(column));
            else
                mappings->setData(mappings->index(0, column), texts.at(column));
            pane.settle();
            if (byButton || column < 5)
                QCOMPARE(mappings->item(0, column)->text(), texts.at(column));
            if (!byButton && column < 5)
                QVERIFY(project->mappings().isEmpty());
        }
        MappingItem* mapping = byButton ? model->mappings().first() : project->mappings().value(0);
        QVERIFY(mapping);
        QCOMPARE(mapping->targetColumnId(), details->shownTable()->columnByName("tax")->id());
        QCOMPARE(mapping->name(), QStringLiteral("orders.total -> orders.tax"));
        QCOMPARE(mappings->rowCount(), 2);
        QCOMPARE(pane.texts("treeView", 1), QStringList(6, QString()));
        if (!byButton) {
            QCOMPARE(changed.count(), 1);
            QCOMPARE(details->mappingAt(pane.view("treeView")->currentIndex().row()), mapping);
            return;
        }
        // A complete end does not take an unresolvable text.
        pane.edit("treeView", 0, 1, "nowhere");
        QCOMPARE(mappings->item(0, 1)->text(), QStringLiteral("orders"));
        pane.view("treeView")->setCurrentIndex(mappings->index(0, 0));
        const int before = changed.count();
        click("toolButtonRemoveMapping");
        QVERIFY(model->mappings().isEmpty());
        QCOMPARE(changed.count(), before + 1);
        QCOMPARE(mappings->rowCount(), 1);
        QVERIFY(!pane.button("toolButtonRemoveMapping")->isEnabled());
    }

private:
    // The pane's steps, failing the test where one cannot be taken.
    void click(const char* name) { QVERIFY2(pane.click(name), name); }
    void selectRow(const char* name, const QString& id) { QVERIFY2(pane.selectRow(name, id), name); }
    EntityItem* showNewTable(const QString& title, const QStringList& rows, QPointF at = QPointF(0, 0))
    {
        return pane.showNewTable(title, rows, at);
    }
    QString currentRowText(const char* name) const
    {
        return pane.view(name)->currentIndex().siblingAtColumn(0).data().toString();
    }

    DetailsPane pane;
    TableDetailsController* details = nullptr;
    MainWindow* window = nullptr;
};

QUILLMAP_TEST_MAIN(TestDetailsActions)
#include "tst_detailsactions.moc"
