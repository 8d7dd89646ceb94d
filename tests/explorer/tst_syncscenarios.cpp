// Scenarios that script the canvas as a person would (tables, rows, keys,
// relationships, diagram switches) and check what a save writes.

#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testfiles.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "explorer/explorerkinds.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "projectnormaliser.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace ExplorerKind;

namespace {

QStringList rowNames(const QJsonObject& entity)
{
    QStringList names;
    for (const QJsonValue& row : entity.value("attributes").toArray())
        names << row.toObject().value("name").toString();
    return names;
}

QJsonObject entityIn(const QJsonObject& diagram, const QString& id)
{
    for (const QJsonValue& value : diagram.value("entities").toArray()) {
        if (value.toObject().value("id").toString() == id)
            return value.toObject();
    }
    return QJsonObject();
}

// The columns of a table as a project file holds them.
QStringList savedColumns(const QJsonObject& root, const QString& tableId)
{
    QStringList names;
    for (const QJsonValue& model : root.value("data").toObject().value("models").toArray()) {
        for (const QJsonValue& table : model.toObject().value("tables").toArray()) {
            if (table.toObject().value("id").toString() != tableId)
                continue;
            for (const QJsonValue& column : table.toObject().value("columns").toArray())
                names << column.toObject().value("name").toString();
        }
    }
    return names;
}

QJsonObject savedDiagram(const QJsonObject& root, const QString& diagramId)
{
    for (const QJsonValue& value : root.value("diagrams").toArray()) {
        if (value.toObject().value("id").toString() == diagramId)
            return value.toObject();
    }
    return QJsonObject();
}

} // namespace

class TestSyncScenarios : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
        qputenv("QT_LOGGING_RULES", "*.debug=false");
    }

    void init()
    {
        QVERIFY(dir.isValid());
        window = std::make_unique<MainWindow>();
        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->dialectCombo->setCurrentText(QStringLiteral("SQLite"));
    }

    void cleanup()
    {
        window.reset();
        DialogHooks::resetHooks();
    }

    // Two tables, rows renamed, retyped, keyed and removed, a relationship
    // and an entity view: the saved project, ids aside, is the golden one,
    // and reading it back and saving again writes the same text.
    void scriptedProjectSavesAsExpected()
    {
        buildShop();
        const QString first = dir.filePath("shop.json");
        const QJsonObject saved = save(first);
        QVERIFY(!saved.isEmpty());

        const QByteArray normalised = ProjectNormaliser::normalise(saved);
        const QString goldenPath = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/sync/scripted_shop.json");
        if (qEnvironmentVariableIsSet("QUILLMAP_UPDATE_GOLDEN")) {
            QFile out(goldenPath);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(normalised);
        }
        QFile golden(goldenPath);
        QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(goldenPath));
        QCOMPARE(QString::fromUtf8(normalised), QString::fromUtf8(golden.readAll()));

        // Read back into a fresh window and saved again: nothing moves.
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(open(first));
        const QJsonObject again = save(dir.filePath("again.json"));
        QCOMPARE(QJsonDocument(again).toJson(), QJsonDocument(saved).toJson());
    }

    // A -> B -> A leaves A exactly as it was and the model untouched.
    void switchingAwayAndBackKeepsTheDiagram()
    {
        buildShop();
        DiagramItem* a = window->currentDiagram;
        DiagramItem* b = window->currentModel->addDiagram();
        b->setName(QStringLiteral("Diagram 2"));
        window->syncModelFromScene();
        const QJsonObject before = window->scene->toJson();
        const QJsonObject modelBefore = window->currentModel->toJson();

        QVERIFY(window->loadDiagramItem(b));
        QCOMPARE(window->currentDiagram, b);
        QVERIFY(window->scene->items().isEmpty());
        QCOMPARE(a->data(), before);
        QVERIFY(window->loadDiagramItem(a));
        QCOMPARE(window->currentDiagram, a);
        QCOMPARE(window->scene->toJson(), before);
        QCOMPARE(window->currentModel->toJson(), modelBefore);
        QVERIFY(!window->suppressModelSync);

        // Loaded entities are watched: an edit after the switch is copied.
        EntityItem* customer = window->findEntityOnScene(customerId);
        QVERIFY(customer);
        customer->addAttribute(QStringLiteral("phone"), QStringLiteral("TEXT"));
        QVERIFY(window->currentModel->table(customerId)->columnByName("phone"));
    }

    void selectingADiagramRowSwitches()
    {
        buildShop();
        DiagramItem* a = window->currentDiagram;
        DiagramItem* b = window->currentModel->addDiagram();
        b->setName(QStringLiteral("Diagram 2"));
        window->rebuildProjectTree();
        window->selectExplorerItem(Diagram, b->id());
        QCOMPARE(window->currentDiagram, b);
        QVERIFY(window->scene->items().isEmpty());
        window->selectExplorerItem(Diagram, a->id());
        QCOMPARE(window->currentDiagram, a);
        QVERIFY(window->findEntityOnScene(customerId));

        // Table and relationship rows select their items on the canvas.
        window->selectExplorerItem(Table, orderId);
        QCOMPARE(window->selectedEntity(), window->findEntityOnScene(orderId));
        QCOMPARE(window->currentEntity.data(), window->findEntityOnScene(orderId));
        window->selectExplorerItem(Relationship, relationshipId);
        QVERIFY(window->findEdgeOnScene(relationshipId)->isSelected());
        QVERIFY(!window->findEntityOnScene(orderId)->isSelected());

        const QString shots = qEnvironmentVariable("QUILLMAP_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QTest::qWait(100);
            window->grab().save(shots + "/diagram-switch.png");
        }
    }

    // A column added on one diagram survives opening another diagram that
    // was stored before it existed, selecting the table there and saving.
    void aColumnAddedElsewhereSurvivesAStaleDiagram()
    {
        buildShop();
        DiagramItem* first = window->currentDiagram;
        window->captureCurrentDiagram();
        DiagramItem* second = window->currentModel->addDiagram();
        second->setName(QStringLiteral("Diagram 2"));
        second->setData(first->data());  // shows the same tables, stored now

        window->findEntityOnScene(customerId)->addAttribute(QStringLiteral("added"), QStringLiteral("DATE"));
        QVERIFY(window->currentModel->table(customerId)->columnByName("added"));

        QVERIFY(window->loadDiagramItem(second));
        EntityItem* customer = window->findEntityOnScene(customerId);
        QVERIFY(customer);
        customer->setSelected(true);
        QTRY_COMPARE(window->currentEntity.data(), customer);
        QVERIFY(window->currentModel->table(customerId)->columnByName("added"));

        const QJsonObject saved = save(dir.filePath("added.json"));
        QVERIFY(savedColumns(saved, customerId).contains("added"));
        QVERIFY(rowNames(entityIn(savedDiagram(saved, second->id()), customerId)).contains("added"));
    }

    // A column removed on one diagram does not come back from another
    // diagram stored while it still existed.
    void aRemovedColumnStaysRemoved()
    {
        buildShop();
        DiagramItem* first = window->currentDiagram;
        window->captureCurrentDiagram();
        DiagramItem* second = window->currentModel->addDiagram();
        second->setName(QStringLiteral("Diagram 2"));
        second->setData(first->data());

        EntityItem* customer = window->findEntityOnScene(customerId);
        const int row = rowNamesOf(customer).indexOf("name");
        QVERIFY(row > 0);
        QVERIFY(customer->removeAttributeForLabel(customer->nameLabel(row)));
        QVERIFY(!window->currentModel->table(customerId)->columnByName("name"));

        QVERIFY(window->loadDiagramItem(second));
        QVERIFY(!rowNamesOf(window->findEntityOnScene(customerId)).contains("name"));
        const QJsonObject saved = save(dir.filePath("removed.json"));
        QVERIFY(!savedColumns(saved, customerId).contains("name"));
        QVERIFY(!rowNames(entityIn(savedDiagram(saved, second->id()), customerId)).contains("name"));
        QVERIFY(!rowNames(entityIn(savedDiagram(saved, first->id()), customerId)).contains("name"));
    }

    // A title changed on one diagram shows on the others when they load.
    void aRenameReachesTheOtherDiagrams()
    {
        buildShop();
        window->captureCurrentDiagram();
        DiagramItem* second = window->currentModel->addDiagram();
        second->setName(QStringLiteral("Diagram 2"));
        second->setData(window->currentDiagram->data());

        window->findEntityOnScene(orderId)->setTitle(QStringLiteral("purchase"));
        QCOMPARE(entityIn(second->data(), orderId).value("title").toString(), QStringLiteral("purchase"));
        QVERIFY(window->loadDiagramItem(second));
        QCOMPARE(window->findEntityOnScene(orderId)->title(), QStringLiteral("purchase"));
        QCOMPARE(window->currentModel->table(orderId)->name(), QStringLiteral("purchase"));
    }

    // A model without a diagram never gets another model's diagram live
    // under it.
    void aModelWithoutDiagramGetsAnEmptyCanvas()
    {
        buildShop();
        ModelItem* shop = window->currentModel;
        DiagramItem* shopDiagram = window->currentDiagram;
        ModelItem* empty = window->project->addModel();
        empty->setName(QStringLiteral("Empty"));
        empty->setDialect(QStringLiteral("PostgreSQL"));
        window->rebuildProjectTree();

        window->selectExplorerItem(Model, empty->id());
        QCOMPARE(window->currentModel, empty);
        QVERIFY(!window->currentDiagram);
        QVERIFY(window->scene->items().isEmpty());
        QCOMPARE(window->scene->dialect(), QStringLiteral("PostgreSQL"));
        // The shop's diagram was stored on the way out.
        QVERIFY(!entityIn(shopDiagram->data(), customerId).isEmpty());

        EntityItem* drawn = window->scene->addTableAt(QPointF(0, 0));
        QVERIFY(empty->table(drawn->id()));
        QVERIFY(!shop->table(drawn->id()));
        QCOMPARE(shop->tables().size(), 2);

        // Back to the shop: its diagram comes back.
        window->selectExplorerItem(Model, shop->id());
        QCOMPARE(window->currentDiagram, shopDiagram);
        QVERIFY(window->findEntityOnScene(customerId));
    }

    // Pruning stored diagrams as the removal paths will: an entity id takes
    // its entity and edges, an edge id its foreign-key rows; the live
    // diagram's record is left to the next capture.
    void pruningStoredDiagrams()
    {
        buildShop();
        window->captureCurrentDiagram();
        const QJsonObject live = window->currentDiagram->data();
        DiagramItem* other = window->currentModel->addDiagram();
        other->setName(QStringLiteral("Other"));
        other->setData(live);

        window->stripItemsFromOtherDiagrams({}, {relationshipId});
        QCOMPARE(window->currentDiagram->data(), live);
        QVERIFY(entityIn(other->data(), customerId).size() > 0);
        QCOMPARE(rowNames(entityIn(other->data(), orderId)), QStringList({"id", "total"}));
        QCOMPARE(other->data().value("edges").toArray().size(), 1);  // the view link stays

        other->setData(live);
        window->stripItemsFromOtherDiagrams({orderId}, {});
        QVERIFY(entityIn(other->data(), orderId).isEmpty());
        QVERIFY(other->data().value("edges").toArray().isEmpty());
        QCOMPARE(window->currentDiagram->data(), live);
    }

private:
    // customer (id, name, email unique) -> order (id, total, foreign key of
    // the relationship), and the view v_orders linked to order.
    void buildShop()
    {
        ERScene* scene = window->scene;
        EntityItem* customer = scene->addTableAt(QPointF(0, 0));
        customer->setTitle(QStringLiteral("customer"));
        customer->setAttributeName(0, QStringLiteral("id"));
        customer->addAttribute(QStringLiteral("name"), QStringLiteral("TEXT"));
        customer->addAttribute(QStringLiteral("email"), QStringLiteral("VARCHAR(120)"));
        customer->setAttributeKeyFlags(2, false, true);

        EntityItem* order = scene->addTableAt(QPointF(420, 0));
        order->setTitle(QStringLiteral("order"));
        order->setAttributeName(0, QStringLiteral("id"));
        order->addAttribute(QStringLiteral("total"), QStringLiteral("DECIMAL(9, 2)"));
        order->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
        QVERIFY(order->removeAttributeForLabel(order->nameLabel(2)));
        order->setAttributeType(1, QStringLiteral("DECIMAL(10,2)"));

        EdgeItem* edge = scene->createEdge(customer, order, true);
        QVERIFY(edge);
        edge->setStartCard(0);
        edge->setEndCard(3);

        EntityItem* view = scene->addViewAt(QPointF(420, 300));
        view->setTitle(QStringLiteral("v_orders"));
        QVERIFY(scene->createEdge(order, view, true));

        customerId = customer->id();
        orderId = order->id();
        relationshipId = edge->id();
    }

    static QStringList rowNamesOf(const EntityItem* entity)
    {
        QStringList names;
        for (int i = 0; i < entity->attributeCount(); ++i)
            names << entity->attributeName(i);
        return names;
    }

    // File > Save to path, as a person would; the written file's object.
    QJsonObject save(const QString& path)
    {
        DialogHooks::setSaveFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) {
            return path;
        });
        QFile::remove(path);
        window->on_action_Save_As_triggered();
        if (!QTest::qWaitFor([&] { return QFile::exists(path) && !window->busy->isBusy(); }, 10000))
            return QJsonObject();
        return QJsonDocument::fromJson(fileContents(path)).object();
    }

    bool open(const QString& path)
    {
        DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) {
            return path;
        });
        window->on_action_Open_triggered();
        return QTest::qWaitFor([&] { return !window->busy->isBusy() && !window->scene->items().isEmpty(); },
                               10000);
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QString customerId;
    QString orderId;
    QString relationshipId;
};

QUILLMAP_TEST_MAIN(TestSyncScenarios)
#include "tst_syncscenarios.moc"
