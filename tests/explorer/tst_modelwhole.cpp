// The model stays whole through drops, renames, removals, drawing with no
// diagram and foreign keys of generated keys, each ending with Save and
// Open; and the window's feedback (the zoom label, bold on screen).

#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "common/mainwindowparts.h"
#include "common/testmain.h"
#include "common/viewportmouse.h"
#include "diagram/entityitem.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"
#include "explorer/explorerfilterproxy.h"
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

#include <QAbstractButton>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <cmath>
#include <memory>

using namespace ExplorerKind;

namespace {

QStringList rowNames(const EntityItem* entity)
{
    QStringList names;
    for (int i = 0; entity && i < entity->attributeCount(); ++i)
        names << entity->attributeName(i);
    return names;
}

QStringList columnNames(const TableItem* table)
{
    QStringList names;
    for (const ColumnItem* column : table->columns())
        names << column->name();
    return names;
}

// Dark pixels of a widget's look within a rectangle.
int inkIn(QWidget* widget, const QRect& rect)
{
    const QImage image = widget->grab().toImage();
    int ink = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ink += image.rect().contains(x, y) && qGray(image.pixel(x, y)) < 128;
    return ink;
}

} // namespace

class TestModelWhole : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> window;
    DialogHooks::ScopedReset hooks;
    QTemporaryDir dir;
    QStringList asked;  // titles of the boxes that came up

    ERView* view() const { return canvasView(window.get()); }
    ERScene* scene() const { return canvasScene(window.get()); }
    ModelItem* model() const { return window->currentModel; }
    template <typename T>
    T* part(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    void clickAt(QPointF scenePos)
    {
        const QPoint at = view()->mapFromScene(scenePos);
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        settle();
    }
    void clickOn(const EntityItem* entity) { clickAt(entity->mapToScene(QPointF(14, 8))); }

    void press(QWidget* widget, Qt::Key key)
    {
        widget->setFocus();
        QTRY_VERIFY(widget->hasFocus());
        QTest::keyClick(widget, key);
        settle();
    }

    // Boxes answer `answer`, or click the button of that text.
    void answer(QMessageBox::StandardButton answer, const QString& button = QString())
    {
        DialogHooks::setMessageHook([this, answer](QMessageBox::Icon, QWidget*, const QString& title,
                                                   const QString&, QMessageBox::StandardButtons,
                                                   QMessageBox::StandardButton) {
            asked << title;
            return answer;
        });
        DialogHooks::setExecHook([this, button](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return 0;
            asked << box->windowTitle();
            for (QAbstractButton* candidate : box->buttons())
                if (candidate->text() == button)
                    candidate->click();
            return 0;
        });
    }

    // A table's explorer row dropped on the canvas.
    EntityItem* drop(const QString& tableId, QPointF at)
    {
        std::unique_ptr<QMimeData> data(window->treeModel->mimeData({window->findTreeItem(Table, tableId)->index()}));
        const QPoint point = view()->mapFromScene(at);
        QDragEnterEvent enter(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &enter);
        QDropEvent event(point, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &event);
        settle();
        return window->findEntityOnScene(tableId);
    }
    TableItem* newTable()
    {
        window->addExplorerTable(model());
        return model()->tables().last();
    }
    // A relationship from the explorer's add menu.
    void relate(TableItem* parent, TableItem* child)
    {
        DialogHooks::setExecHook([parent, child](QDialog* dialog) {
            for (auto [name, id] :
                 {std::pair("comboParentTable", parent->id()), std::pair("comboChildTable", child->id())}) {
                auto* combo = dialog->findChild<QComboBox*>(QLatin1String(name));
                combo->setCurrentIndex(combo->findData(id));
            }
            return int(QDialog::Accepted);
        });
        window->addExplorerRelationship(model());
        DialogHooks::setExecHook({});
    }
    // The column grid of the shown table, the named column current.
    QTableView* showColumn(const QString& columnName)
    {
        part<QTabWidget>("tabWidget")->setCurrentIndex(1);
        auto* grid = part<QTableView>("tableViewColumns");
        QAbstractItemModel* rows = grid->model();
        grid->setCurrentIndex(rows->match(rows->index(0, 0), Qt::DisplayRole, columnName, 1, Qt::MatchExactly).value(0));
        return grid;
    }
    void removeInExplorer(const QString& kind, const QString& id)
    {
        auto* tree = part<QTreeView>("treeViewProject");
        tree->setCurrentIndex(window->treeProxy->mapFromSource(window->findTreeItem(kind, id)->index()));
        answer(QMessageBox::Yes);
        press(tree, Qt::Key_Delete);
    }

    // Save As, then Open of that file in a fresh window.
    void saveAndReopen()
    {
        const QString path = dir.filePath(QStringLiteral("whole.json"));
        const auto named = [path](QWidget*, const QString&, const QString&, const QString&) { return path; };
        DialogHooks::setSaveFileNameHook(named);
        DialogHooks::setOpenFileNameHook(named);
        QFile::remove(path);
        window->on_action_Save_As_triggered();
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(path) && waitUntilIdle(window.get()); }, 10000));
        openFresh();
        window->on_action_Open_triggered();
        QVERIFY(QTest::qWaitFor([&] { return waitUntilIdle(window.get()) && window->project; }, 10000));
        settle();
    }
    void openFresh()
    {
        window.reset();
        window = std::make_unique<MainWindow>();
        window->resize(1400, 900);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    TableItem* tableNamed(const QString& name) const
    {
        for (TableItem* table : model()->tables())
            if (table->name() == name)
                return table;
        return nullptr;
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        DialogHooks::resetHooks();
        asked.clear();
        openFresh();
    }
    void cleanup() { window.reset(); }

    void aDropShowsTheTableAsTheModelHoldsIt()
    {
        TableItem* table = newTable();
        DiagramItem* first = window->currentDiagram;
        QVERIFY(drop(table->id(), QPointF(0, 0)));
        window->addExplorerDiagram(model());
        QVERIFY(drop(table->id(), QPointF(0, 0)));
        window->loadDiagramItem(first);
        // The key renamed (it keeps its id and comment), a column added.
        clickOn(window->findEntityOnScene(table->id()));
        table->columns().first()->setComment(QStringLiteral("the key"));
        auto* columns = part<QTableView>("tableViewColumns")->model();
        columns->setData(columns->index(0, 0), QStringLiteral("customer_id"));
        part<QToolButton>("toolButtonAddTableColumn")->click();
        settle();
        const QStringList names = columnNames(table);
        const QString keyId = table->columns().first()->id();

        // Off and back from the explorer: the look stored is older.
        answer(QMessageBox::Yes, QStringLiteral("Delete from diagram"));
        press(view(), Qt::Key_Delete);
        QVERIFY(!window->findEntityOnScene(table->id()));
        EntityItem* back = drop(table->id(), QPointF(40, 40));
        QCOMPARE(rowNames(back), names);
        clickOn(back);
        QCOMPARE(columnNames(table), names);
        QCOMPARE(table->columns().first()->id(), keyId);

        saveAndReopen();
        TableItem* reopened = model()->tables().first();
        QCOMPARE(columnNames(reopened), names);
        QCOMPARE(reopened->columns().first()->comment(), QStringLiteral("the key"));
    }

    void aRenameStaysAndGeneratedNamesFollow_data()
    {
        QTest::addColumn<bool>("inExplorer");
        QTest::newRow("explorer") << true;
        QTest::newRow("details pane") << false;
    }
    void aRenameStaysAndGeneratedNamesFollow()
    {
        QFETCH(bool, inExplorer);
        TableItem* table = newTable();
        TableItem* child = newTable();
        relate(table, child);
        ConstraintItem* typed = table->addConstraint();
        typed->setType(ConstraintItem::Unique);
        typed->setName(QStringLiteral("uk_table_1_by_hand"));
        table->addIndex()->setName(table->uniqueIndexName());
        EntityItem* entity = drop(table->id(), QPointF(0, 0));
        clickOn(entity);
        auto* name = part<QLineEdit>("lineEditTable");
        if (inExplorer) {
            window->findTreeItem(Table, table->id())->setText(QStringLiteral("customers"));
        } else {
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("customers"));
            QTest::keyClick(name, Qt::Key_Return);
        }
        settle();
        // Into the name field and out again writes nothing back.
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        view()->setFocus();
        QTRY_VERIFY(!name->hasFocus());
        settle();
        QCOMPARE(name->text(), QStringLiteral("customers"));
        QCOMPARE(entity->title(), QStringLiteral("customers"));
        QCOMPARE(window->findTreeItem(Table, table->id())->text(), QStringLiteral("customers"));

        saveAndReopen();
        TableItem* renamed = tableNamed(QStringLiteral("customers"));
        QStringList constraintNames;
        for (const ConstraintItem* constraint : renamed->constraints())
            constraintNames << constraint->name();
        QCOMPARE(constraintNames, (QStringList{"pk_customers", "uk_table_1_by_hand"}));
        QCOMPARE(renamed->indexes().first()->name(), QStringLiteral("ix_customers"));
        QCOMPARE(model()->relationships().first()->name(), QStringLiteral("customers_table_2"));
        QCOMPARE(tableNamed(QStringLiteral("table_2"))->constraints().last()->name(),
                 QStringLiteral("fk_customers_table_2"));
    }

    // However a relationship goes, the child's foreign key goes with it.
    void aRelationshipGoesWithItsForeignKeyColumns_data()
    {
        QTest::addColumn<QString>("removed");  // an explorer kind, "row" or a column name
        QTest::addColumn<bool>("onParent");
        QTest::addColumn<bool>("parentDrawn");
        QTest::newRow("parent key column") << "table_1_id" << true << true;
        QTest::newRow("child foreign-key column") << "table_1_id" << false << true;
        QTest::newRow("parent key row on the canvas") << "row" << true << true;
        QTest::newRow("parent table") << Table << true << true;
        QTest::newRow("relationship") << Relationship << true << true;
        QTest::newRow("relationship not drawn") << Relationship << true << false;
    }
    void aRelationshipGoesWithItsForeignKeyColumns()
    {
        QFETCH(QString, removed);
        QFETCH(bool, onParent);
        QFETCH(bool, parentDrawn);
        TableItem* parent = newTable();
        parent->addColumn()->setName(QStringLiteral("name"));
        TableItem* child = newTable();
        EntityItem* parentEntity = parentDrawn ? drop(parent->id(), QPointF(0, 0)) : nullptr;
        EntityItem* childEntity = drop(child->id(), QPointF(400, 0));
        relate(parent, child);

        if (removed == Table || removed == Relationship) {
            removeInExplorer(removed, removed == Table ? parent->id() : model()->relationships().first()->id());
            QCOMPARE(asked, QStringList{"Remove"});
        } else if (removed == "row") {
            clickAt(parentEntity->nameLabel(0)->sceneBoundingRect().center());
            answer(QMessageBox::Yes);
            press(view(), Qt::Key_Delete);
            QCOMPARE(asked, QStringList{"Confirm delete"});
        } else {
            clickOn(window->findEntityOnScene((onParent ? parent : child)->id()));
            QTableView* grid = showColumn(removed);
            answer(QMessageBox::No, QStringLiteral("Cancel"));
            press(grid, Qt::Key_Delete);
            QCOMPARE(asked, QStringList{"Remove column"});
            QCOMPARE(model()->relationships().size(), 1);
            answer(QMessageBox::No, QStringLiteral("Remove"));
            press(grid, Qt::Key_Delete);
        }
        if (removed != Table) {
            const QStringList kept = removed == Relationship || !onParent ? QStringList{"table_1_id", "name"}
                                                                         : QStringList{"name"};
            QCOMPARE(columnNames(parent), kept);
            if (parentEntity)
                QCOMPARE(rowNames(parentEntity), kept);
        }
        QVERIFY(childEntity->edges().isEmpty());
        QCOMPARE(rowNames(childEntity), QStringList{"table_2_id"});
        QCOMPARE(child->constraints().size(), 1);
        clickOn(childEntity);
        QCOMPARE(columnNames(child), QStringList{"table_2_id"});

        const QString childId = child->id();
        saveAndReopen();
        QVERIFY(model()->relationships().isEmpty());
        QCOMPARE(columnNames(tableNamed(QStringLiteral("table_2"))), QStringList{"table_2_id"});
        QCOMPARE(rowNames(window->findEntityOnScene(childId)), QStringList{"table_2_id"});
    }

    void aTableKeepsOneColumnInModelAndCanvas()
    {
        TableItem* table = newTable();
        EntityItem* entity = drop(table->id(), QPointF(0, 0));
        clickOn(entity);
        QTableView* grid = showColumn(QStringLiteral("table_1_id"));
        answer(QMessageBox::Yes, QStringLiteral("Remove"));
        press(grid, Qt::Key_Delete);
        QCOMPARE(columnNames(table), rowNames(entity));
        const QString id = table->id();
        saveAndReopen();
        QCOMPARE(columnNames(model()->tables().first()), rowNames(window->findEntityOnScene(id)));
    }

    void drawingWithoutADiagramIsKept_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("tool");
        QTest::newRow("only diagram, text tool") << Diagram << "actionAdd_Text";
        QTest::newRow("only diagram, drop") << Diagram << "";
        QTest::newRow("last model, table tool") << Model << "actionAdd_Table";
        QTest::newRow("last model, group tool") << Model << "actionAdd_Group";
    }
    void drawingWithoutADiagramIsKept()
    {
        QFETCH(QString, removed);
        QFETCH(QString, tool);
        TableItem* table = newTable();
        removeInExplorer(removed, removed == Diagram ? window->currentDiagram->id() : model()->id());
        if (tool.isEmpty()) {
            drop(table->id(), QPointF(0, 0));
        } else {
            windowAction(window.get(), tool.toLatin1().constData())->trigger();
            clickAt(QPointF(0, 0));
        }
        QVERIFY(window->findTreeItem(Diagram, window->currentDiagram->id()));
        const auto drawn = [this] {
            const QJsonObject json = scene()->toJson();
            return json.value("entities").toArray().size() + json.value("annotations").toArray().size();
        };
        saveAndReopen();
        QCOMPARE(drawn(), 1);
    }

    void aForeignKeyTakesTheKeysStorageType_data()
    {
        QTest::addColumn<QString>("keyType");
        QTest::addColumn<QString>("foreignType");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("SERIAL drawn") << "SERIAL" << "INTEGER" << true;
        QTest::newRow("SMALLSERIAL drawn") << "SMALLSERIAL" << "SMALLINT" << true;
        QTest::newRow("serial8 in the model") << "serial8" << "BIGINT" << false;
    }
    void aForeignKeyTakesTheKeysStorageType()
    {
        QFETCH(QString, keyType);
        QFETCH(QString, foreignType);
        QFETCH(bool, drawn);
        part<QComboBox>("comboBoxDatabase")->setCurrentText(QStringLiteral("PostgreSQL"));
        TableItem* parent = newTable();
        TableItem* child = newTable();
        EntityItem* parentEntity = drop(parent->id(), QPointF(0, 0));
        clickOn(parentEntity);
        QAbstractItemModel* columns = showColumn(QStringLiteral("table_1_id"))->model();
        columns->setData(columns->index(0, 1), keyType);
        settle();
        if (drawn) {
            EntityItem* childEntity = drop(child->id(), QPointF(400, 0));
            windowAction(window.get(), "actionAdd_Relationship")->trigger();
            clickOn(parentEntity);
            clickOn(childEntity);
            QCOMPARE(childEntity->attributeType(1), foreignType);
        } else {
            relate(parent, child);
        }
        saveAndReopen();
        QCOMPARE(tableNamed(QStringLiteral("table_1"))->columns().first()->dataType().toUpper(), keyType.toUpper());
        QCOMPARE(tableNamed(QStringLiteral("table_2"))->columns().last()->displayType(), foreignType);
    }

    void theZoomLabelShowsTheViewsScale()
    {
        for (int i = 0; i < 24; ++i)
            scene()->addTableAt(QPointF(400 * (i % 8), 300 * (i / 8)));
        const auto shown = [&] {
            const long percent = std::lround(view()->transform().m11() * 100);
            return part<QLabel>("labelZoomPercent")->text() == QStringLiteral("%1%").arg(percent);
        };
        windowAction(window.get(), "actionFit_All")->trigger();
        QVERIFY(shown());
        DiagramItem* crowded = window->currentDiagram;
        window->addExplorerDiagram(model());
        view()->setZoom(2.0);
        window->loadDiagramItem(crowded);
        QVERIFY(view()->transform().m11() < 1.0);
        QVERIFY(shown());
        saveAndReopen();
        QVERIFY(shown());
    }

    // Titles, key rows and bold text, in a family with no bold face, show
    // more ink bold than regular.
    void boldIsDrawnOnTheCanvas()
    {
        view()->setZoom(2.0);
        EntityItem* entity = scene()->addTableAt(QPointF(0, 0));
        TextItem* text = scene()->addTextAt(QPointF(0, 200));
        text->setText(QStringLiteral("customer_id"));
        QFont font(QStringLiteral("JetBrains Mono"), 10);
        font.setBold(true);
        text->setFont(font);
        font.setBold(false);
        const auto check = [&](auto* item) {
            view()->centerOn(item);
            settle();
            const QRect area = view()->mapFromScene(item->sceneBoundingRect()).boundingRect();
            const int boldInk = inkIn(view()->viewport(), area);
            item->setFont(font);
            settle();
            const int regularInk = inkIn(view()->viewport(), area);
            QVERIFY2(boldInk > regularInk * 1.15, qPrintable(QStringLiteral("%1 vs %2").arg(boldInk).arg(regularInk)));
        };
        check(entity->titleLabel());
        check(entity->nameLabel(0));
        check(text);
    }
};

QUILLMAP_TEST_MAIN(TestModelWhole)
#include "tst_modelwhole.moc"
