// The placement an import leaves, through the main window's import
// commands: tables that the reader's grid or the file's positions put on
// top of each other are moved apart before the diagram is shown, their
// edges keep out of every other table and no two edges end at one point;
// an import whose tables stand clear keeps every place.

#include "common/testmain.h"
#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "interchange/mermaidreader.h"
#include "layout/layoutquality.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// The boxes and routes of the scene, measured.
LayoutQuality sceneQuality(const ERScene& scene)
{
    const QList<EntityItem*>& entities = scene.entityItems();
    QList<QRectF> boxes;
    for (const EntityItem* e : entities)
        boxes.append(e->sceneBoundingRect().adjusted(3, 3, -3, -3));
    QList<LaidOutEdge> routes;
    for (const EdgeItem* edge : itemsOfType<EdgeItem>(scene))
        routes.append({edge->route(), int(entities.indexOf(edge->fromEntity())), int(entities.indexOf(edge->toEntity()))});
    return measureLayoutQuality(boxes, routes);
}

// Entity boxes as the file placed them, before anything moved them.
int overlapsAsRead(const QJsonObject& diagram)
{
    ERScene scene;
    scene.loadFromJson(diagram);
    QList<QRectF> boxes;
    for (const EntityItem* e : scene.entityItems())
        boxes.append(e->sceneBoundingRect().adjusted(3, 3, -3, -3));
    return measureLayoutQuality(boxes, {}).overlappingPairs;
}

} // namespace

class TestImportPlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpApplication();
        QVERIFY(dir.isValid());
    }

    void init()
    {
        DialogHooks::setMessageHook([](QMessageBox::Icon, QWidget*, const QString&, const QString&,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            return QMessageBox::Discard;
        });
        DialogHooks::setSaveFileNameHook([](QWidget*, const QString&, const QString&, const QString&) { return QString(); });
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        QVERIFY(waitUntilIdle(window.get()));
        window.reset();
        DialogHooks::resetHooks();
    }

    // A Mermaid file whose first table is taller than a grid cell: it stands
    // on the table below it until the import moves them apart.
    void mermaidGridTablesMovedApart()
    {
        QByteArray text = "erDiagram\n    ORDER {\n";
        for (int i = 0; i < 18; ++i)
            text += "        int column_" + QByteArray::number(i) + "\n";
        text += "    }\n    ORDER ||--o{ LINE : has\n    ORDER ||--o{ NOTE : has\n    CUSTOMER ||--o{ ORDER : places\n"
                "    LINE }o--|| PRODUCT : of\n    CUSTOMER ||--o{ NOTE : writes\n";
        const QString path = writeFile(QStringLiteral("tall.mmd"), text);
        QVERIFY(overlapsAsRead(parseMermaidFile(path, nullptr)) > 0);
        runImport("actionImport_from_Mermaid", path);
        checkReadable();
    }

    // A Mermaid file of tables that stand clear of each other on the grid
    // keeps the grid.
    void clearGridKeepsItsPlaces()
    {
        const QString path = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/01-cardinality-symbols.mmd");
        const QJsonObject read = parseMermaidFile(path, nullptr);
        QCOMPARE(overlapsAsRead(read), 0);
        runImport("actionImport_from_Mermaid", path);
        for (const QJsonValue& value : read.value(QStringLiteral("entities")).toArray()) {
            const QJsonObject entity = value.toObject();
            const EntityItem* placed = nullptr;
            for (const EntityItem* e : scene()->entityItems()) {
                if (e->title() == entity.value(QStringLiteral("title")).toString())
                    placed = e;
            }
            QVERIFY(placed);
            QCOMPARE(placed->pos(), QPointF(entity.value(QStringLiteral("x")).toDouble(), entity.value(QStringLiteral("y")).toDouble()));
        }
    }

    // A draw.io file whose boxes our rows make taller than drawn.
    void drawioBoxesMovedApart()
    {
        const QString path = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/database_2.xml");
        runImport("actionImport_from_Drawio", path);
        QVERIFY(scene()->entityItems().size() > 5);
        checkReadable();
    }

    // The database import's grid with tables of many columns.
    void databaseGridTablesMovedApart()
    {
        QByteArray tables;
        for (int t = 0; t < 6; ++t) {
            tables += QByteArray(t ? ", " : "") + "{\"name\": \"table_" + QByteArray::number(t) + "\", \"columns\": [";
            for (int c = 0; c < 4 + 5 * (t % 3); ++c)
                tables += QByteArray(c ? ", " : "") + "{\"name\": \"column_" + QByteArray::number(c) + "\", \"type\": \"integer\"}";
            tables += "]}";
        }
        QByteArray constraints;
        for (int t = 1; t < 6; ++t)
            constraints += QByteArray(t > 1 ? ", " : "") + "{\"type\": \"FOREIGN KEY\", \"name\": \"f" + QByteArray::number(t)
                + "\", \"table\": \"table_" + QByteArray::number(t) + "\", \"columns\": [\"column_0\"], \"ref_table\": \"table_"
                + QByteArray::number(t / 2) + "\"}";
        const QString script = writeFile(QStringLiteral("inspector.sh"),
                                         "echo '{\"meta\": {\"dialect\": \"postgresql\"}, \"tables\": [" + tables
                                             + "], \"constraints\": [" + constraints + "]}'\n");
        DialogHooks::setExecHook([script](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("pythonEdit"))->setText(QStringLiteral("/bin/sh"));
            dialog->findChild<QLineEdit*>(QStringLiteral("scriptEdit"))->setText(script);
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("dialectCombo"));
            combo->setCurrentIndex(combo->findData(QStringLiteral("postgresql")));
            return int(QDialog::Accepted);
        });
        windowAction(window.get(), "actionImport_from_Database")->trigger();
        QVERIFY(QTest::qWaitFor([this] { return scene()->entityItems().size() == 6 && !window->findChild<QProgressDialog*>(); }, 20000));
        QVERIFY(waitUntilIdle(window.get()));
        checkReadable();
    }

private:
    ERScene* scene() const { return canvasScene(window.get()); }

    QString writeFile(const QString& name, const QByteArray& contents)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
        return path;
    }

    void runImport(const char* action, const QString& path)
    {
        DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
        windowAction(window.get(), action)->trigger();
        QVERIFY(waitUntilIdle(window.get()));
    }

    void checkReadable()
    {
        QVERIFY(!scene()->entityItems().isEmpty());
        const LayoutQuality quality = sceneQuality(*scene());
        QCOMPARE(quality.overlappingPairs, 0);
        QCOMPARE(quality.edgesThroughEntities, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
    }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
};

QUILLMAP_TEST_MAIN(TestImportPlacement)
#include "tst_importplacement.moc"
