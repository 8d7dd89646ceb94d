#include "app/thememanager.h"
#include "common/testmain.h"
#include "details/textcombodelegate.h"
#include "detailspane.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeView>

// The details pane's frame and its General, Columns and Governance tabs,
// driven through the grids' models and the form's fields.
class TestTableDetails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ThemeManager::instance().setTheme(ThemeKind::Light); }
    void init()
    {
        QVERIFY(pane.open());
        details = pane.details;
    }
    void cleanup() { pane.close(); }

    void refreshesCoalesce()
    {
        EntityItem* entity = pane.showNewTable({}, {"a"});
        const int before = details->refreshCount();
        details->scheduleRefresh();
        details->scheduleRefresh();
        QCOMPARE(details->refreshCount(), before);
        pane.settle();
        QCOMPARE(details->refreshCount(), before + 1);

        // Three cell edits in one pass: one refresh.
        QStandardItemModel* columns = pane.model("tableViewColumns");
        columns->setData(columns->index(1, 2), "7");
        columns->setData(columns->index(0, 6), "x");
        columns->setData(columns->index(1, 1), "CHAR");
        pane.settle();
        QCOMPARE(details->refreshCount(), before + 2);
        QCOMPARE(entity->attributeType(1), QStringLiteral("CHAR(7)"));

        // A refresh asked for from inside a refresh returns at once.
        int nested = 0;
        const auto connection = connect(pane.model("tableView"), &QStandardItemModel::modelReset, this, [&] {
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
        const QStringList title{"title", "VARCHAR", "50", "", "", ""};
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
        QTest::newRow("junk length reverts") << 1 << 2 << "abc" << "title" << "VARCHAR(50)" << title;
        QTest::newRow("too large reverts") << 1 << 2 << "99999999999" << "title" << "VARCHAR(50)" << title;
        QTest::newRow("precision") << 2 << 3 << "12" << "price" << "DECIMAL(12,2)"
                                   << QStringList{"price", "DECIMAL", "", "12", "2", ""};
        QTest::newRow("junk scale reverts") << 2 << 4 << "x" << "price" << "DECIMAL(8,2)"
                                            << QStringList{"price", "DECIMAL", "", "8", "2", ""};
        QTest::newRow("rename trimmed") << 1 << 0 << "  heading  " << "heading" << "VARCHAR(50)"
                                        << QStringList{"heading", "VARCHAR", "50", "", "", ""};
        QTest::newRow("blank rename reverts") << 1 << 0 << "   " << "title" << "VARCHAR(50)" << title;
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
        EntityItem* entity = pane.showNewTable();
        entity->addAttribute("title", "VARCHAR(50)");
        entity->addAttribute("price", "DECIMAL(8,2)");
        pane.settle();
        ColumnItem* edited = details->shownTable()->columns().at(row);
        const QString id = edited->id();
        QCOMPARE(pane.model("tableViewColumns")->item(row, 0)->data(TableDetailsController::IdRole).toString(), id);

        pane.edit("tableViewColumns", row, column, text);
        QCOMPARE(details->shownTable()->column(id), edited);
        QCOMPARE(edited->name(), name);
        QCOMPARE(edited->displayType(), type);
        QCOMPARE(entity->attributeName(row), name);
        QCOMPARE(entity->attributeType(row), type);
        QCOMPARE(pane.texts("tableViewColumns", row), cells);
        if (column == 6)
            QCOMPARE(edited->defaultValue(), text);
    }

    // Editing a row far down a long grid leaves the grid where it was, with
    // the column widths the user chose.
    void editsKeepTheGridAsItWas()
    {
        EntityItem* entity = pane.showNewTable();
        for (int i = 1; i < 60; ++i)
            entity->addAttribute(QStringLiteral("c%1").arg(i), "VARCHAR(5)");
        pane.widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
        pane.settle();
        QTableView* columns = pane.grid("tableViewColumns");
        columns->scrollToBottom();
        columns->setCurrentIndex(columns->model()->index(55, 0));
        pane.settle();
        const int position = columns->verticalScrollBar()->value();
        QVERIFY(position > 0);
        columns->setColumnWidth(1, 217);
        pane.edit("tableViewColumns", 55, 2, "9");
        QCOMPARE(entity->attributeType(55), QStringLiteral("VARCHAR(9)"));
        QCOMPARE(columns->verticalScrollBar()->value(), position);
        QCOMPARE(columns->columnWidth(1), 217);
        QCOMPARE(columns->currentIndex().row(), 55);
    }

    void focusedFieldsSurviveARefresh()
    {
        EntityItem* entity = pane.showNewTable({}, {"note"});
        pane.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pane.window.get()));
        auto* tabs = pane.widget<QTabWidget>("tabWidget");
        auto* name = pane.widget<QLineEdit>("lineEditTable");
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        name->end(false);
        QTest::keyClicks(name, "_new");
        details->shownTable()->setComment("changed elsewhere");
        details->refresh();
        QCOMPARE(name->text(), entity->title() + "_new");
        QCOMPARE(pane.widget<QPlainTextEdit>("plainTextEditTableComments")->toPlainText(),
                 QStringLiteral("changed elsewhere"));

        // The column comment editor writes at every keystroke and keeps its
        // text through a refresh while it has the focus.
        tabs->setCurrentIndex(1);
        pane.grid("tableViewColumns")->setCurrentIndex(pane.model("tableViewColumns")->index(1, 0));
        ColumnItem* note = details->shownTable()->columns().at(1);
        auto* comment = pane.widget<QPlainTextEdit>("plainTextEdit");
        comment->setFocus();
        QTRY_VERIFY(comment->hasFocus());
        QTest::keyClick(comment, Qt::Key_A);
        QCOMPARE(note->comment(), QStringLiteral("a"));
        QTest::keyClicks(comment, "bc");
        QCOMPARE(note->comment(), QStringLiteral("abc"));
        note->setComment("overwritten");
        details->refresh();
        QCOMPARE(comment->toPlainText(), QStringLiteral("abc"));
        // Unfocused, the editor follows the current column again.
        name->setFocus();
        QTRY_VERIFY(!comment->hasFocus());
        details->refresh();
        QCOMPARE(comment->toPlainText(), QStringLiteral("overwritten"));
    }

    void renamesGoThroughTheWindow()
    {
        EntityItem* entity = pane.showNewTable();
        TableItem* table = details->shownTable();
        const QString oldName = table->name();
        QSignalSpy renames(details, &TableDetailsController::objectRenameRequested);
        pane.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pane.window.get()));
        auto* name = pane.widget<QLineEdit>("lineEditTable");
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());

        // Blanks are refused; the stored name comes back once the field
        // lets go of the focus.
        name->selectAll();
        QTest::keyClicks(name, "   ");
        QTest::keyClick(name, Qt::Key_Return);
        pane.widget<QLineEdit>("lineEditSchema")->setFocus();
        QTRY_VERIFY(!name->hasFocus());
        pane.settle();
        QCOMPARE(name->text(), oldName);
        // Surrounding blanks only: nothing to do.
        name->setText("  " + oldName + " ");
        emit name->editingFinished();
        QCOMPARE(renames.count(), 0);
        QCOMPARE(table->name(), oldName);

        // A rename reaches the model, the entity and the explorer.
        name->setText("  orders ");
        emit name->editingFinished();
        QCOMPARE(renames.count(), 1);
        QCOMPARE(renames.at(0), (QVariantList{"table", table->id(), "orders"}));
        QCOMPARE(table->name(), QStringLiteral("orders"));
        QCOMPARE(entity->title(), QStringLiteral("orders"));
        pane.settle();
        QCOMPARE(name->text(), QStringLiteral("orders"));
        const QAbstractItemModel* explorer = pane.widget<QTreeView>("treeViewProject")->model();
        QCOMPARE(explorer->match(explorer->index(0, 0), Qt::DisplayRole, "orders", -1,
                                 Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    }

    // A view's Columns grid edits the entity's rows and nothing in the model.
    void viewRowEditsReachTheEntityOnly()
    {
        EntityItem* entity = pane.scene()->addViewAt(QPointF(0, 0));
        entity->addAttribute("code", "VARCHAR");
        entity->addAttribute("amount", "NUMERIC(9,3)");
        QVERIFY(pane.select(entity));
        QVERIFY(details->shownView());
        const QString before = pane.json(details->shownProject()->toJson());
        QCOMPARE(pane.texts("tableViewColumns", 1), (QStringList{"amount", "NUMERIC", "", "9", "3", "", ""}));
        QCOMPARE(pane.model("tableView")->rowCount(), 0);

        pane.edit("tableViewColumns", 0, 2, "12");
        pane.edit("tableViewColumns", 0, 2, "x");
        QCOMPARE(entity->attributeType(0), QStringLiteral("VARCHAR(12)"));
        QCOMPARE(pane.texts("tableViewColumns", 0).value(2), QStringLiteral("12"));
        pane.edit("tableViewColumns", 1, 4, "");
        QCOMPARE(entity->attributeType(1), QStringLiteral("NUMERIC(9)"));
        pane.edit("tableViewColumns", 1, 0, "total ");
        QCOMPARE(entity->attributeName(1), QStringLiteral("total"));
        QCOMPARE(pane.view("tableViewColumns")->currentIndex().row(), 1);
        QVERIFY(!entity->attributeIsPrimaryKey(0) && !entity->attributeIsForeignKey(0));
        QCOMPARE(pane.json(details->shownProject()->toJson()), before);
    }

    // Switching the dialect changes the option rows; values stored under
    // other keys survive and come back.
    void physicalOptionsFollowTheDialect()
    {
        pane.showNewTable();
        TableItem* table = details->shownTable();
        auto* dialect = pane.widget<QComboBox>("comboBoxDatabase");
        const auto choose = [&](const char* name) {
            dialect->setCurrentText(name);
            pane.settle();
        };
        choose("PostgreSQL");
        QCOMPARE(pane.texts("tableViewPhysical", 0), (QStringList{"Tablespace", ""}));
        pane.edit("tableViewPhysical", 0, 1, " fast_disk");
        QCOMPARE(table->property("tablespace"), QStringLiteral(" fast_disk"));
        choose("MySQL");
        QCOMPARE(pane.texts("tableViewPhysical", 0), (QStringList{"Engine", ""}));
        pane.edit("tableViewPhysical", 0, 1, "InnoDB");
        choose("PostgreSQL");
        QCOMPARE(pane.texts("tableViewPhysical", 0), (QStringList{"Tablespace", " fast_disk"}));
        QCOMPARE(table->property("engine"), QStringLiteral("InnoDB"));
        choose("Conceptual ER");
        QCOMPARE(pane.model("tableViewPhysical")->rowCount(), 0);
    }

    // Check boxes and the classification write without a refresh.
    void governanceMarks()
    {
        pane.showNewTable({}, {"email", "city"});
        const QList<ColumnItem*> columns = details->shownTable()->columns();
        pane.grid("tableView")->setCurrentIndex(pane.model("tableView")->index(2, 0));
        const int before = details->refreshCount();
        pane.edit("tableViewColumns", 1, 5, Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!columns.at(1)->nullable());
        pane.edit("tableView", 1, 1, Qt::Checked, Qt::CheckStateRole);
        pane.edit("tableView", 1, 2, Qt::Checked, Qt::CheckStateRole);
        pane.edit("tableView", 2, 3, " PII ");
        pane.edit("tableView", 1, 1, Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(!columns.at(1)->personal() && columns.at(1)->sensible());
        QVERIFY(!columns.at(0)->sensible() && !columns.at(2)->personal() && !columns.at(2)->sensible());
        QCOMPARE(columns.at(2)->classification(), QStringLiteral(" PII "));
        QCOMPARE(details->refreshCount(), before);
        QCOMPARE(pane.view("tableView")->currentIndex().row(), 2);
    }

    void keyMarksFollowTheConstraints()
    {
        EntityItem* entity = pane.showNewTable({}, {"a", "b", "c"});
        TableItem* table = details->shownTable();
        const QList<ColumnItem*> columns = table->columns();
        ConstraintItem* primary = table->constraintOfType(ConstraintItem::PrimaryKey);
        primary->setColumns({columns.at(0)->id(), columns.at(1)->id()});
        ConstraintItem* unique = table->addConstraint();
        unique->setType(ConstraintItem::Unique);
        unique->setColumns({columns.at(1)->id()});
        // A foreign key of a relationship marks its rows with the
        // relationship's id; a row marked by an unknown edge keeps its mark.
        ConstraintItem* foreign = table->addConstraint();
        foreign->setType(ConstraintItem::ForeignKey);
        foreign->setColumns({columns.at(2)->id()});
        RelationshipItem* relationship = details->shownModel()->addRelationship();
        relationship->setConstraintId(foreign->id());
        relationship->setToTableId(table->id());
        entity->setAttributeForeignKey(3, "edge-without-relationship");
        QVERIFY(columns.at(1)->nullable());
        details->refresh();

        QVERIFY(entity->attributeIsPrimaryKey(0) && !entity->attributeIsUniqueKey(0));
        QVERIFY(entity->attributeIsPrimaryKey(1) && entity->attributeIsUniqueKey(1));
        QVERIFY(!columns.at(1)->nullable());
        QCOMPARE(entity->attributeFkEdgeId(2), relationship->id());
        foreign->setColumns({});
        details->refresh();
        QVERIFY(!entity->attributeIsForeignKey(2));
        QCOMPARE(entity->attributeFkEdgeId(2), QString());
        QCOMPARE(entity->attributeFkEdgeId(3), QStringLiteral("edge-without-relationship"));
    }

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

    // The editor offers the provider's items (the cell's own text first when
    // they lack it) and writes back only a changed text.
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
        QVERIFY(combo && combo->isEditable() == editable);
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        QCOMPARE(texts, offered);
        delegate.setEditorData(combo, index);
        QCOMPARE(combo->currentText(), shown);
        QSignalSpy changes(&itemModel, &QStandardItemModel::itemChanged);
        delegate.setModelData(combo, &itemModel, index);
        QCOMPARE(changes.count(), shown == cell ? 0 : 1);
        QCOMPARE(itemModel.item(0, 0)->text(), shown);
    }

    // A mappings row names its mapping by id and owner; a mapping removed
    // from the project is never reached through a stale row.
    void mappingRowsResolveByIdOnly()
    {
        pane.showNewTable();
        ProjectItem* project = details->shownProject();
        ModelItem* model = details->shownModel();
        MappingItem* top = project->addMapping();
        MappingItem* inModel = model->addMapping();
        details->refresh();
        QStandardItemModel* mappings = pane.model("treeView");
        QCOMPARE(mappings->rowCount(), 3);
        QCOMPARE(details->mappingAt(0), top);
        QCOMPARE(details->mappingAt(1), inModel);
        QCOMPARE(details->mappingAt(2), nullptr); // the empty row
        // Only the owner's collection is asked.
        mappings->item(1, 0)->setData(QString(), TableDetailsController::OwnerRole);
        QCOMPARE(details->mappingAt(1), nullptr);
        // Gone from the project, gone from the row at once, before the
        // mapping object itself is destroyed.
        project->removeMapping(top->id());
        QCOMPARE(details->mappingAt(0), nullptr);
        pane.settle();
        QCOMPARE(details->mappingAt(0), nullptr);
    }

private:
    DetailsPane pane;
    TableDetailsController* details = nullptr;
};

QUILLMAP_TEST_MAIN(TestTableDetails)
#include "tst_tabledetails.moc"
