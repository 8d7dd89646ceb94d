// The placement an import leaves, through the main window's import
// commands: no table on another, no edge through a table, no two edge ends
// at one point.

#include "common/testmain.h"
#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "diagram/erscene.h"
#include "interchange/drawioreader.h"
#include "interchange/mermaidreader.h"

#include "common/mainwindowparts.h"
#include "common/scenequality.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"

#include <QComboBox>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

// Entity boxes as the file placed them, before anything moved them.
int overlapsAsRead(const QJsonObject& diagram)
{
    ERScene scene;
    scene.loadFromJson(diagram);
    return shownLayoutQuality(scene.entityItems(), {}).overlappingPairs;
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

    // Tables that the reader's grid or the file's positions put on top of
    // each other are moved apart; tables that stand clear keep their places.
    // Either way no two routes run on one line.
    void fileImports_data()
    {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("overlapping");
        QByteArray text = "erDiagram\n    ORDER {\n";
        for (int i = 0; i < 18; ++i)
            text += "        int column_" + QByteArray::number(i) + "\n";
        text += "    }\n    ORDER ||--o{ LINE : has\n    ORDER ||--o{ NOTE : has\n    CUSTOMER ||--o{ ORDER : places\n"
                "    LINE }o--|| PRODUCT : of\n    CUSTOMER ||--o{ NOTE : writes\n";
        writeFile(dir.filePath(QStringLiteral("tall.mmd")), text);
        QTest::newRow("Mermaid table taller than a grid cell")
            << QByteArray("actionImport_from_Mermaid") << dir.filePath(QStringLiteral("tall.mmd")) << true;
        // A tall table right above one the grid's next row puts beneath
        // it: the line from its bottom to a table below those would cross
        // the one in between.
        QByteArray between = "erDiagram\n";
        for (const auto& [name, rows] : {std::pair{"A", 2}, {"B", 10}, {"C", 2}, {"D", 3}, {"E", 7}, {"F", 2}, {"G", 1}}) {
            between += QByteArray("    ") + name + " {\n";
            for (int i = 0; i < rows; ++i)
                between += "        int c" + QByteArray::number(i) + "\n";
            between += "    }\n";
        }
        between += "    B ||--|| G : x\n";
        writeFile(dir.filePath(QStringLiteral("between.mmd")), between);
        QTest::newRow("Mermaid grid with a table between two related ones")
            << QByteArray("actionImport_from_Mermaid") << dir.filePath(QStringLiteral("between.mmd")) << false;
        QTest::newRow("draw.io boxes taller than drawn")
            << QByteArray("actionImport_from_Drawio") << QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/database_2.xml")
            << true;
        QTest::newRow("Mermaid grid standing clear") << QByteArray("actionImport_from_Mermaid")
                                                     << QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/01-cardinality-symbols.mmd")
                                                     << false;
        // Its routes run along the grid's rows and columns, many on one line
        // until they are pushed apart.
        QTest::newRow("Mermaid grid of 42 tables") << QByteArray("actionImport_from_Mermaid")
                                                   << QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/07-marketplace-large.mmd")
                                                   << false;
    }

    void fileImports()
    {
        QFETCH(QByteArray, action);
        QFETCH(QString, path);
        QFETCH(bool, overlapping);
        const QJsonObject read = action.contains("Mermaid") ? parseMermaidFile(path, nullptr) : parseDrawioFile(path, nullptr);
        QCOMPARE(overlapsAsRead(read) > 0, overlapping);
        DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
        windowAction(window.get(), action.constData())->trigger();
        QVERIFY(waitUntilIdle(window.get()));
        if (overlapping) {
            checkReadable();
            return;
        }
        QHash<QString, QPointF> placed;
        for (const EntityItem* e : scene()->entityItems())
            placed.insert(e->title(), e->pos());
        const QJsonArray entities = read.value(QStringLiteral("entities")).toArray();
        QCOMPARE(placed.size(), entities.size());
        for (const QJsonValue& entity : entities)
            QCOMPARE(placed.value(entity[QStringLiteral("title")].toString()),
                     QPointF(entity[QStringLiteral("x")].toDouble(), entity[QStringLiteral("y")].toDouble()));
        checkReadable();
    }

    // The database import's grid with tables of many columns.
    void databaseGridTablesMovedApart()
    {
        QJsonArray tables, constraints;
        for (int t = 0; t < 6; ++t) {
            QJsonArray columns;
            for (int c = 0; c < 4 + 5 * (t % 3); ++c)
                columns.append(QJsonObject{{"name", QStringLiteral("column_%1").arg(c)}, {"type", "integer"}});
            tables.append(QJsonObject{{"name", QStringLiteral("table_%1").arg(t)}, {"columns", columns}});
            if (t)
                constraints.append(QJsonObject{{"type", "FOREIGN KEY"}, {"name", QStringLiteral("f%1").arg(t)},
                                               {"table", QStringLiteral("table_%1").arg(t)}, {"columns", QJsonArray{"column_0"}},
                                               {"ref_table", QStringLiteral("table_%1").arg(t / 2)}});
        }
        const QJsonObject schema{{"meta", QJsonObject{{"dialect", "postgresql"}}}, {"tables", tables}, {"constraints", constraints}};
        const QString script = dir.filePath(QStringLiteral("inspector.sh"));
        writeFile(script, "echo '" + QJsonDocument(schema).toJson(QJsonDocument::Compact) + "'\n");
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

    void checkReadable()
    {
        QVERIFY(!scene()->entityItems().isEmpty());
        const LayoutQuality quality = shownLayoutQuality(scene()->entityItems(), itemsOfType<EdgeItem>(*scene()));
        QCOMPARE(quality.overlappingPairs, 0);
        QCOMPARE(quality.edgesThroughEntities, 0);
        QCOMPARE(quality.sharedEndPoints, 0);
        QCOMPARE(quality.coincidentPairs, 0);
    }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
};

QUILLMAP_TEST_MAIN(TestImportPlacement)
#include "tst_importplacement.moc"
