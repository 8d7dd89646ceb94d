#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/mainwindowparts.h"
#include "common/testmain.h"
#include "details/tabledetailscontroller.h"
#include "details/textcombodelegate.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <memory>

namespace {

// Lets the deferred refresh (and the window's deferred selection handling)
// run.
void settle()
{
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
}

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

class TestTableDetails : public QObject
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
        details = window->findChild<TableDetailsController*>();
        QVERIFY(details);
    }

    void cleanup()
    {
        window.reset();
        details = nullptr;
    }

    // ---- the frame

    void nothingShownGivesEmptyDisabledPane()
    {
        details->clear();
        QCOMPARE(gridModel("tableViewColumns")->rowCount(), 0);
        QCOMPARE(gridModel("tableViewColumns")->columnCount(), 7);
        QCOMPARE(gridModel("tableView")->columnCount(), 4);
        QVERIFY(!field("lineEditTable")->isEnabled());
        QVERIFY(!grid("tableViewColumns")->isEnabled());
        QVERIFY(!window->findChild<QWidget*>("toolButtonAddTableColumn")->isEnabled());
        // The project stays: the mappings list is usable.
        QVERIFY(window->findChild<QTreeView*>("treeView")->isEnabled());
    }

    void selectingAnEntityShowsIt()
    {
        EntityItem* entity = showNewTable();
        QCOMPARE(details->shownEntity(), entity);
        QCOMPARE(field("lineEditTable")->text(), entity->title());
        QCOMPARE(gridTexts("tableViewColumns", 0).value(0), entity->attributeName(0));
        QVERIFY(grid("tableViewColumns")->isEnabled());
        QVERIFY(grid("tableViewPhysical")->isEnabled());
    }

    void refreshesCoalesce()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("a", "VARCHAR(5)");
        settle();
        const int before = details->refreshCount();
        details->scheduleRefresh();
        details->scheduleRefresh();
        QCOMPARE(details->refreshCount(), before);
        settle();
        QCOMPARE(details->refreshCount(), before + 1);

        // Two cell edits in one pass: one refresh.
        QStandardItemModel* columns = gridModel("tableViewColumns");
        columns->setData(columns->index(1, 2), "7");
        columns->setData(columns->index(0, 6), "x");
        columns->setData(columns->index(1, 1), "CHAR");
        settle();
        QCOMPARE(details->refreshCount(), before + 2);
        QCOMPARE(entity->attributeType(1), QStringLiteral("CHAR(7)"));

        // A refresh asked for from inside a refresh returns at once.
        int nested = 0;
        QStandardItemModel* governance = gridModel("tableView");
        const auto connection = connect(governance, &QStandardItemModel::modelReset, this, [&] {
            ++nested;
            details->refresh();
        });
        details->refresh();
        disconnect(connection);
        QVERIFY(nested > 0);
        QCOMPARE(details->refreshCount(), before + 3);
    }

    void columnCellEdits_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("cells");

        // Row 1 is "title VARCHAR(50)", row 2 "price DECIMAL(8,2)".
        QTest::newRow("sized type splits") << 1 << 1 << "NUMERIC(10,2)" << "title" << "NUMERIC(10,2)"
                                           << QStringList{"title", "NUMERIC", "", "10", "2", ""};
        QTest::newRow("type keeps the length") << 1 << 1 << " CHAR " << "title" << "CHAR(50)"
                                               << QStringList{"title", "CHAR", "50", "", "", ""};
        QTest::newRow("length") << 1 << 2 << "20" << "title" << "VARCHAR(20)"
                                << QStringList{"title", "VARCHAR", "20", "", "", ""};
        QTest::newRow("length cleared") << 1 << 2 << " " << "title" << "VARCHAR"
                                        << QStringList{"title", "VARCHAR", "", "", "", ""};
        QTest::newRow("negative length") << 1 << 2 << "-5" << "title" << "VARCHAR"
                                         << QStringList{"title", "VARCHAR", "", "", "", ""};
        QTest::newRow("junk length reverts") << 1 << 2 << "abc" << "title" << "VARCHAR(50)"
                                             << QStringList{"title", "VARCHAR", "50", "", "", ""};
        QTest::newRow("too large reverts") << 1 << 2 << "99999999999" << "title" << "VARCHAR(50)"
                                           << QStringList{"title", "VARCHAR", "50", "", "", ""};
        QTest::newRow("precision") << 2 << 3 << "12" << "price" << "DECIMAL(12,2)"
                                   << QStringList{"price", "DECIMAL", "", "12", "2", ""};
        QTest::newRow("junk scale reverts") << 2 << 4 << "x" << "price" << "DECIMAL(8,2)"
                                            << QStringList{"price", "DECIMAL", "", "8", "2", ""};
        QTest::newRow("rename trimmed") << 1 << 0 << "  heading  " << "heading" << "VARCHAR(50)"
                                        << QStringList{"heading", "VARCHAR", "50", "", "", ""};
        QTest::newRow("blank rename reverts") << 1 << 0 << "   " << "title" << "VARCHAR(50)"
                                              << QStringList{"title", "VARCHAR", "50", "", "", ""};
        QTest::newRow("default as typed") << 1 << 6 << " 'n/a' " << "title" << "VARCHAR(50)"
                                          << QStringList{"title", "VARCHAR", "50", "", "", " 'n/a' "};
    }

    // An edit reaches the column and, mirrored, the entity row; after the
    // deferred refresh the grid shows what the model holds.
    void columnCellEdits()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QStringList, cells);

        EntityItem* entity = showNewTable();
        entity->addAttribute("title", "VARCHAR(50)");
        entity->addAttribute("price", "DECIMAL(8,2)");
        settle();
        TableItem* table = details->shownTable();
        QCOMPARE(table->columns().size(), 3);
        ColumnItem* edited = table->columns().at(row);
        const QString id = edited->id();

        QStandardItemModel* columns = gridModel("tableViewColumns");
        QCOMPARE(columns->item(row, 0)->data(TableDetailsController::IdRole).toString(), id);
        columns->setData(columns->index(row, column), text);
        settle();

        QCOMPARE(table->column(id), edited);
        QCOMPARE(edited->name(), name);
        QCOMPARE(edited->displayType(), type);
        QCOMPARE(entity->attributeName(row), name);
        QCOMPARE(entity->attributeType(row), type);
        QCOMPARE(gridTexts("tableViewColumns", row), cells);
        if (column == 6)
            QCOMPARE(edited->defaultValue(), text);
    }

    // Editing a row far down a long grid leaves the grid where it was, with
    // the column widths the user chose.
    void editsKeepTheGridAsItWas()
    {
        EntityItem* entity = showNewTable();
        for (int i = 1; i < 60; ++i)
            entity->addAttribute(QStringLiteral("c%1").arg(i), "VARCHAR(5)");
        settle();
        window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
        QTableView* columns = grid("tableViewColumns");
        settle();
        columns->scrollToBottom();
        columns->setCurrentIndex(columns->model()->index(55, 0));
        settle();
        const int position = columns->verticalScrollBar()->value();
        QVERIFY(position > 0);
        columns->setColumnWidth(1, 217);
        columns->model()->setData(columns->model()->index(55, 2), "9");
        settle();
        QCOMPARE(entity->attributeType(55), QStringLiteral("VARCHAR(9)"));
        QCOMPARE(columns->verticalScrollBar()->value(), position);
        QCOMPARE(columns->columnWidth(1), 217);
        QCOMPARE(columns->currentIndex().row(), 55);

        // Another table starts at the top.
        showNewTable();
        settle();
        QCOMPARE(columns->verticalScrollBar()->value(), 0);
    }

    void nullableChangesWithoutRefresh()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("note", "TEXT");
        settle();
        ColumnItem* note = details->shownTable()->columns().at(1);
        QVERIFY(note->nullable());
        const int before = details->refreshCount();
        QStandardItemModel* columns = gridModel("tableViewColumns");
        columns->setData(columns->index(1, 5), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!note->nullable());
        settle();
        QCOMPARE(details->refreshCount(), before);
    }

    void focusedFieldsSurviveARefresh()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("note", "TEXT");
        settle();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* tabs = window->findChild<QTabWidget*>("tabWidget");

        tabs->setCurrentIndex(0);
        QLineEdit* name = field("lineEditTable");
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        name->end(false);
        QTest::keyClicks(name, "_new");
        details->shownTable()->setComment("changed elsewhere");
        details->refresh();
        QCOMPARE(name->text(), entity->title() + "_new");
        // The unfocused comments field did follow.
        QCOMPARE(window->findChild<QPlainTextEdit*>("plainTextEditTableComments")->toPlainText(),
                 QStringLiteral("changed elsewhere"));

        // The column comment editor writes at every keystroke and keeps its
        // text through a refresh while it has the focus.
        tabs->setCurrentIndex(1);
        grid("tableViewColumns")->setCurrentIndex(gridModel("tableViewColumns")->index(1, 0));
        ColumnItem* note = details->shownTable()->columns().at(1);
        auto* comment = window->findChild<QPlainTextEdit*>("plainTextEdit");
        QVERIFY(comment->isEnabled());
        comment->setFocus();
        QTRY_VERIFY(comment->hasFocus());
        QTest::keyClick(comment, Qt::Key_A);
        QCOMPARE(note->comment(), QStringLiteral("a"));
        QTest::keyClicks(comment, "bc");
        QCOMPARE(note->comment(), QStringLiteral("abc"));
        note->setComment("overwritten");
        details->refresh();
        QCOMPARE(comment->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(grid("tableViewColumns")->currentIndex().row(), 1);

        // Unfocused, the editor follows the current column again.
        name->setFocus();
        QTRY_VERIFY(!comment->hasFocus());
        details->refresh();
        QCOMPARE(comment->toPlainText(), QStringLiteral("overwritten"));
    }

    void renamesGoThroughTheWindow()
    {
        EntityItem* entity = showNewTable();
        TableItem* table = details->shownTable();
        const QString oldName = table->name();
        QSignalSpy renames(details, &TableDetailsController::objectRenameRequested);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(0);
        QLineEdit* name = field("lineEditTable");
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());

        // Blanks are refused; the stored name comes back once the field
        // lets go of the focus.
        name->selectAll();
        QTest::keyClicks(name, "   ");
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(renames.count(), 0);
        QCOMPARE(table->name(), oldName);
        field("lineEditSchema")->setFocus();
        QTRY_VERIFY(!name->hasFocus());
        settle();
        QCOMPARE(name->text(), oldName);

        // Surrounding blanks only: nothing to do.
        name->setText("  " + oldName + " ");
        emit name->editingFinished();
        QCOMPARE(renames.count(), 0);

        // A real rename reaches the model, the entity and the explorer.
        name->setText("  orders ");
        emit name->editingFinished();
        QCOMPARE(renames.count(), 1);
        QCOMPARE(renames.at(0).at(0).toString(), QStringLiteral("table"));
        QCOMPARE(renames.at(0).at(1).toString(), table->id());
        QCOMPARE(renames.at(0).at(2).toString(), QStringLiteral("orders"));
        QCOMPARE(table->name(), QStringLiteral("orders"));
        QCOMPARE(entity->title(), QStringLiteral("orders"));
        settle();
        QCOMPARE(name->text(), QStringLiteral("orders"));
        const QAbstractItemModel* explorer = window->findChild<QTreeView*>("treeViewProject")->model();
        const QModelIndexList rows = explorer->match(explorer->index(0, 0), Qt::DisplayRole, QStringLiteral("orders"),
                                                     -1, Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(rows.size(), 1);
    }

    void schemaAndCommentsOfTablesAndViews()
    {
        showNewTable();
        TableItem* table = details->shownTable();
        QLineEdit* schema = field("lineEditSchema");
        int before = details->refreshCount();
        schema->setText(" sales ");
        emit schema->editingFinished();
        QCOMPARE(table->schema(), QStringLiteral(" sales "));
        settle();
        QCOMPARE(details->refreshCount(), before + 1);
        auto* comments = window->findChild<QPlainTextEdit*>("plainTextEditTableComments");
        comments->setPlainText("line 1\nline 2");
        QCOMPARE(table->comment(), QStringLiteral("line 1\nline 2"));

        EntityItem* viewEntity = canvasScene(window.get())->addViewAt(QPointF(300, 0));
        select(viewEntity);
        ViewItem* view = details->shownView();
        QVERIFY(view);
        before = details->refreshCount();
        schema->setText("reporting");
        emit schema->editingFinished();
        QCOMPARE(view->schema(), QStringLiteral("reporting"));
        settle();
        QCOMPARE(details->refreshCount(), before);
    }

    // A view's Columns grid edits the entity's rows and nothing in the model.
    void viewRowEditsReachTheEntityOnly()
    {
        EntityItem* entity = canvasScene(window.get())->addViewAt(QPointF(0, 0));
        entity->addAttribute("code", "VARCHAR");
        entity->addAttribute("amount", "NUMERIC(9,3)");
        select(entity);
        QVERIFY(details->shownView());
        const QString before = json(details->shownProject()->toJson());
        QStandardItemModel* columns = gridModel("tableViewColumns");
        QCOMPARE(gridTexts("tableViewColumns", 1), (QStringList{"amount", "NUMERIC", "", "9", "3", "", ""}));
        QVERIFY(!(columns->item(1, 5)->flags() & Qt::ItemIsEditable));

        columns->setData(columns->index(0, 2), "12");
        settle();
        QCOMPARE(entity->attributeType(0), QStringLiteral("VARCHAR(12)"));
        columns->setData(columns->index(0, 2), "x");
        settle();
        QCOMPARE(entity->attributeType(0), QStringLiteral("VARCHAR(12)"));
        QCOMPARE(gridTexts("tableViewColumns", 0).value(2), QStringLiteral("12"));
        columns->setData(columns->index(0, 1), "CHAR(3)");
        settle();
        QCOMPARE(entity->attributeType(0), QStringLiteral("CHAR(3)"));
        columns->setData(columns->index(1, 4), "");
        settle();
        QCOMPARE(entity->attributeType(1), QStringLiteral("NUMERIC(9)"));
        columns->setData(columns->index(1, 0), "total ");
        settle();
        QCOMPARE(entity->attributeName(1), QStringLiteral("total"));
        // The renamed row stays current.
        QCOMPARE(grid("tableViewColumns")->currentIndex().row(), 1);

        QCOMPARE(json(details->shownProject()->toJson()), before);
        QVERIFY(details->shownProject()->models().first()->tables().isEmpty());
    }

    void physicalOptionsFollowTheDialect()
    {
        showNewTable();
        TableItem* table = details->shownTable();
        auto* dialect = window->findChild<QComboBox*>("comboBoxDatabase");
        dialect->setCurrentText("PostgreSQL");
        settle();
        QStandardItemModel* options = gridModel("tableViewPhysical");
        QCOMPARE(gridTexts("tableViewPhysical", 0), (QStringList{"Tablespace", ""}));
        options->setData(options->index(0, 1), " fast_disk");
        QCOMPARE(table->property("tablespace"), QStringLiteral(" fast_disk"));

        dialect->setCurrentText("MySQL");
        settle();
        QCOMPARE(gridTexts("tableViewPhysical", 0), (QStringList{"Engine", ""}));
        options->setData(options->index(0, 1), "InnoDB");
        QCOMPARE(table->property("tablespace"), QStringLiteral(" fast_disk"));

        dialect->setCurrentText("PostgreSQL");
        settle();
        QCOMPARE(gridTexts("tableViewPhysical", 0), (QStringList{"Tablespace", " fast_disk"}));
        QCOMPARE(table->property("engine"), QStringLiteral("InnoDB"));

        dialect->setCurrentText("Conceptual ER");
        settle();
        QCOMPARE(options->rowCount(), 0);
        QCOMPARE(options->columnCount(), 2);
    }

    void governanceMarks()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("email", "TEXT");
        entity->addAttribute("city", "TEXT");
        settle();
        const QList<ColumnItem*> columns = details->shownTable()->columns();
        QStandardItemModel* governance = gridModel("tableView");
        QCOMPARE(governance->rowCount(), 3);
        QVERIFY(!(governance->item(1, 0)->flags() & Qt::ItemIsEditable));
        grid("tableView")->setCurrentIndex(governance->index(2, 0));
        const int before = details->refreshCount();

        governance->setData(governance->index(1, 1), Qt::Checked, Qt::CheckStateRole);
        governance->setData(governance->index(1, 2), Qt::Checked, Qt::CheckStateRole);
        governance->setData(governance->index(2, 3), " PII ");
        settle();
        QVERIFY(columns.at(1)->personal() && columns.at(1)->sensible());
        QVERIFY(!columns.at(0)->personal() && !columns.at(2)->personal() && !columns.at(2)->sensible());
        QCOMPARE(columns.at(2)->classification(), QStringLiteral(" PII "));
        QCOMPARE(details->refreshCount(), before);
        QCOMPARE(grid("tableView")->currentIndex().row(), 2);

        governance->setData(governance->index(1, 1), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!columns.at(1)->personal() && columns.at(1)->sensible());
        // Round trip through the project file keeps the marks.
        ColumnItem reread;
        reread.fromJson(columns.at(2)->toJson());
        QCOMPARE(reread.classification(), QStringLiteral(" PII "));
    }

    void keyMarksFollowTheConstraints()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("a", "INT");
        entity->addAttribute("b", "INT");
        entity->addAttribute("c", "INT");
        settle();
        TableItem* table = details->shownTable();
        ModelItem* model = details->shownModel();
        const QList<ColumnItem*> columns = table->columns();
        ConstraintItem* primary = table->constraintOfType(ConstraintItem::PrimaryKey);
        QVERIFY(primary);
        primary->setColumns({columns.at(0)->id(), columns.at(1)->id()});
        ConstraintItem* unique = table->addConstraint();
        unique->setType(ConstraintItem::Unique);
        unique->setColumns({columns.at(1)->id()});
        QVERIFY(columns.at(1)->nullable());

        // A foreign key of a relationship marks its rows with the
        // relationship's id; a row marked by an unknown edge keeps its mark.
        ConstraintItem* foreign = table->addConstraint();
        foreign->setType(ConstraintItem::ForeignKey);
        foreign->setColumns({columns.at(2)->id()});
        RelationshipItem* relationship = model->addRelationship();
        relationship->setConstraintId(foreign->id());
        relationship->setToTableId(table->id());
        entity->setAttributeForeignKey(3, "edge-without-relationship");
        details->refresh();

        QVERIFY(entity->attributeIsPrimaryKey(0) && !entity->attributeIsUniqueKey(0));
        QVERIFY(entity->attributeIsPrimaryKey(1) && entity->attributeIsUniqueKey(1));
        QVERIFY(!entity->attributeIsPrimaryKey(2));
        QVERIFY(!columns.at(1)->nullable());
        QCOMPARE(entity->attributeFkEdgeId(2), relationship->id());
        QCOMPARE(entity->attributeFkEdgeId(3), QStringLiteral("edge-without-relationship"));

        foreign->setColumns({});
        details->refresh();
        QCOMPARE(entity->attributeFkEdgeId(2), QString());
        QVERIFY(!entity->attributeIsForeignKey(2));
        QCOMPARE(entity->attributeFkEdgeId(3), QStringLiteral("edge-without-relationship"));
    }

    void viewEntitiesGetNoKeyMarks()
    {
        EntityItem* viewEntity = canvasScene(window.get())->addViewAt(QPointF(0, 0));
        viewEntity->addAttribute("a", "INT");
        select(viewEntity);
        QVERIFY(details->shownView());
        QVERIFY(!viewEntity->attributeIsPrimaryKey(0) && !viewEntity->attributeIsForeignKey(0));
        QCOMPARE(gridModel("tableView")->rowCount(), 0);
        QCOMPARE(gridModel("tableViewPhysical")->rowCount(), 0);
    }

    // ---- the combo delegate

    void comboEditors_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("shown");
        QTest::newRow("listed") << QStringList{"A", "B"} << false << "B" << QStringList{"A", "B"} << "B";
        QTest::newRow("unlisted comes first") << QStringList{"A", "B"} << true << "b" << QStringList{"b", "A", "B"}
                                              << "b";
        QTest::newRow("empty cell, fixed list") << QStringList{"A", "B"} << false << "" << QStringList{"A", "B"}
                                                << "A";
        QTest::newRow("no items, free text") << QStringList() << true << "MONEY" << QStringList{"MONEY"} << "MONEY";
    }

    void comboEditors()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, editable);
        QFETCH(QString, cell);
        QFETCH(QStringList, offered);
        QFETCH(QString, shown);
        QStandardItemModel itemModel(1, 1);
        itemModel.setItem(0, 0, new QStandardItem(cell));
        QWidget host;
        TextComboDelegate delegate(&host, [items](const QModelIndex&) { return items; }, editable);
        const QModelIndex index = itemModel.index(0, 0);
        std::unique_ptr<QWidget> editor(delegate.createEditor(&host, QStyleOptionViewItem(), index));
        auto* combo = qobject_cast<QComboBox*>(editor.get());
        QVERIFY(combo);
        QCOMPARE(combo->isEditable(), editable);
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        QCOMPARE(texts, offered);
        delegate.setEditorData(combo, index);
        QCOMPARE(combo->currentText(), shown);

        // Closing the editor writes only a changed text.
        QSignalSpy changes(&itemModel, &QStandardItemModel::itemChanged);
        delegate.setModelData(combo, &itemModel, index);
        QCOMPARE(changes.count(), shown == cell ? 0 : 1);
        QCOMPARE(itemModel.item(0, 0)->text(), shown);
    }

    void typeComboOffersTheDialect()
    {
        EntityItem* entity = showNewTable();
        entity->addAttribute("x", "WEIRD_TYPE");
        settle();
        QTableView* columns = grid("tableViewColumns");
        const QModelIndex index = columns->model()->index(1, 1);
        std::unique_ptr<QWidget> editor(
            columns->itemDelegateForColumn(1)->createEditor(columns->viewport(), QStyleOptionViewItem(), index));
        auto* combo = qobject_cast<QComboBox*>(editor.get());
        QVERIFY(combo && combo->isEditable());
        QCOMPARE(combo->count(), 1); // Conceptual ER lists no types
        QCOMPARE(combo->itemText(0), QStringLiteral("WEIRD_TYPE"));

        window->findChild<QComboBox*>("comboBoxDatabase")->setCurrentText("SQLite");
        settle();
        editor.reset(columns->itemDelegateForColumn(1)->createEditor(columns->viewport(), QStyleOptionViewItem(),
                                                                     columns->model()->index(1, 1)));
        combo = qobject_cast<QComboBox*>(editor.get());
        QVERIFY(combo->findText("INTEGER") > 0);
        QCOMPARE(combo->itemText(0), QStringLiteral("WEIRD_TYPE"));
    }

    // A mappings row names its mapping by id and owner; a mapping removed
    // from the project is never reached through a stale row.
    void mappingRowsResolveByIdOnly()
    {
        showNewTable();
        ProjectItem* project = details->shownProject();
        ModelItem* model = details->shownModel();
        MappingItem* top = project->addMapping();
        MappingItem* inModel = model->addMapping();
        QStandardItemModel* mappings = gridModel("treeView");
        const auto addRow = [&](const QString& id, const QString& owner) {
            auto* cell = new QStandardItem();
            cell->setData(id, TableDetailsController::IdRole);
            cell->setData(owner, TableDetailsController::OwnerRole);
            mappings->appendRow(cell);
        };
        addRow(top->id(), QString());
        addRow(inModel->id(), model->id());
        addRow(inModel->id(), QString());
        QCOMPARE(details->mappingAt(0), top);
        QCOMPARE(details->mappingAt(1), inModel);
        QCOMPARE(details->mappingAt(2), nullptr);
        QCOMPARE(details->mappingAt(7), nullptr);

        project->removeMapping(top->id());
        QCOMPARE(details->mappingAt(0), nullptr);
        settle();
        QCOMPARE(details->mappingAt(0), nullptr);
        QCOMPARE(details->mappingAt(1), inModel);
    }

private:
    QTableView* grid(const char* name) const { return window->findChild<QTableView*>(QLatin1String(name)); }

    QStandardItemModel* gridModel(const char* name) const
    {
        if (QTableView* table = grid(name))
            return qobject_cast<QStandardItemModel*>(table->model());
        return qobject_cast<QStandardItemModel*>(window->findChild<QTreeView*>(QLatin1String(name))->model());
    }

    QLineEdit* field(const char* name) const { return window->findChild<QLineEdit*>(QLatin1String(name)); }

    // The texts of a grid row, the check-box column left out.
    QStringList gridTexts(const char* name, int row) const
    {
        QStandardItemModel* itemModel = gridModel(name);
        QStringList texts;
        for (int column = 0; column < itemModel->columnCount(); ++column) {
            const QStandardItem* item = itemModel->item(row, column);
            if (item && (item->flags() & Qt::ItemIsUserCheckable))
                continue;
            texts << (item ? item->text() : QStringLiteral("<none>"));
        }
        return texts;
    }

    void select(EntityItem* entity)
    {
        canvasScene(window.get())->clearSelection();
        entity->setSelected(true);
        QTRY_COMPARE(details->shownEntity(), entity);
        settle();
    }

    EntityItem* showNewTable()
    {
        EntityItem* entity = canvasScene(window.get())->addTableAt(QPointF(0, 0));
        select(entity);
        return entity;
    }

    std::unique_ptr<MainWindow> window;
    TableDetailsController* details = nullptr;
};

QUILLMAP_TEST_MAIN(TestTableDetails)
#include "tst_tabledetails.moc"
