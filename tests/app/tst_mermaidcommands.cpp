// File > Import from Mermaid and File > Export to Mermaid, driven through
// the main window with the file dialogs and message boxes answered.

#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "interchange/mermaidreader.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/testmain.h"
#include "interchange/mermaidtestutil.h"
#include "readonlydir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString importFilter = QStringLiteral("Mermaid (*.mmd *.mermaid *.md *.txt);;Markdown (*.md);;All files (*.*)");
const QString exportFilter =
    QStringLiteral("Mermaid (*.mmd *.mermaid);;Markdown (*.md);;Text (*.txt);;All files (*.*)");

QString sharedFile(const char* name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/") + QLatin1String(name);
}

QStringList entityTitles(const QGraphicsScene* scene)
{
    QStringList titles;
    for (const EntityItem* entity : itemsOfType<EntityItem>(*scene))
        titles << entity->title();
    titles.sort();
    return titles;
}

QStringList edgeLabels(ERScene* scene)
{
    QStringList labels;
    for (const QJsonValue& edge : scene->toJson().value(QStringLiteral("edges")).toArray())
        labels << edge[QStringLiteral("label")].toString();
    labels.sort();
    return labels;
}

} // namespace

class TestMermaidCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void importReplacesTheProject();
    void importTellsWhatCameIn();
    void importFailuresWarnAndKeepTheDiagram_data();
    void importFailuresWarnAndKeepTheDiagram();
    void cancelledDialogsDoNothing();
    void failedExportWarnsAndKeepsTheFile();
    void importThenExportKeepsTheDiagram();

private:
    void runImport(const QString& path);
    void runExport(const QString& path);
    ERScene* scene() const { return canvasScene(window.get()); }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    QStringList captions;
    QStringList filters;
    QStringList warningTitles;
    QStringList warningTexts;
};

void TestMermaidCommands::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QVERIFY(dir.isValid());
}

void TestMermaidCommands::init()
{
    captions.clear();
    filters.clear();
    warningTitles.clear();
    warningTexts.clear();
    DialogHooks::setMessageHook([this](QMessageBox::Icon icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (title == QLatin1String("Unsaved Changes"))
            return QMessageBox::Discard;
        if (icon == QMessageBox::Warning) {
            warningTitles << title;
            warningTexts << text;
        }
        return QMessageBox::Ok;
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestMermaidCommands::cleanup()
{
    if (window)
        QVERIFY(waitUntilIdle(window.get()));
    window.reset();
    DialogHooks::resetHooks();
}

// The status bar says what an import brought in and what it left out.
void TestMermaidCommands::importTellsWhatCameIn()
{
    runImport(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/09-documentation-chapters.md"));
    QVERIFY2(warningTexts.isEmpty(), qPrintable(warningTexts.join(QLatin1Char('\n'))));
    QCOMPARE(canvasScene(window.get())->toJson().value(QStringLiteral("entities")).toArray().size(), 6);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Imported 6 entities and 7 relationships from 3 diagram blocks; "
                            "1 block of other diagram types not read"));
}

void TestMermaidCommands::runImport(const QString& path)
{
    DialogHooks::setOpenFileNameHook([this, path](QWidget*, const QString& caption, const QString&,
                                                  const QString& filter) {
        captions << caption;
        filters << filter;
        return path;
    });
    windowAction(window.get(), "actionImport_from_Mermaid")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
}

void TestMermaidCommands::runExport(const QString& path)
{
    DialogHooks::setSaveFileNameHook([this, path](QWidget*, const QString& caption, const QString&,
                                                  const QString& filter) {
        captions << caption;
        filters << filter;
        return path;
    });
    windowAction(window.get(), "actionExport_to_Mermaid")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
}

void TestMermaidCommands::importReplacesTheProject()
{
    // An open project with a saved file and a second model.
    const QString projectPath = dir.filePath(QStringLiteral("before.json"));
    {
        ProjectItem project;
        project.setName(QStringLiteral("Before"));
        for (const char* name : {"First", "Second"}) {
            ModelItem* model = project.addModel();
            model->setName(QLatin1String(name));
            model->addDiagram()->setName(QStringLiteral("Only"));
        }
        writeFile(projectPath, QJsonDocument(project.toDocumentJson()).toJson());
    }
    DialogHooks::setOpenFileNameHook([projectPath](QWidget*, const QString&, const QString&, const QString&) {
        return projectPath;
    });
    window->loadDiagram();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(scene()->currentFilePath(), projectPath);

    runImport(sharedFile("05-front-matter-direction.mmd"));
    QCOMPARE(captions, QStringList{QStringLiteral("Import ER Diagram from Mermaid")});
    QCOMPARE(filters, QStringList{importFilter});
    QVERIFY(warningTitles.isEmpty());
    QCOMPARE(entityTitles(scene()),
             (QStringList{"CARRIER", "PARCEL", "PRODUCT", "RETURN-REQUEST", "SHIPMENT", "STOCK-LEVEL", "WAREHOUSE"}));
    QCOMPARE(edgeLabels(scene()).size(), 6);
    QVERIFY(scene()->currentFilePath().isEmpty());
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text(), QStringLiteral("No file"));
    const QRectF bounds = scene()->itemsBoundingRect();
    QCOMPARE(scene()->sceneRect(), bounds.adjusted(-100, -100, 100, 100));

    // One untitled project holds the imported diagram.
    const QString saved = dir.filePath(QStringLiteral("imported.json"));
    DialogHooks::setSaveFileNameHook([saved](QWidget*, const QString&, const QString&, const QString&) {
        return saved;
    });
    window->saveDiagramAs();
    QVERIFY(waitUntilIdle(window.get()));
    ProjectItem project;
    QVERIFY(project.loadDocumentJson(QJsonDocument::fromJson(fileContents(saved)).object()));
    QCOMPARE(project.name(), QStringLiteral("Untitled Project"));
    QCOMPARE(project.models().size(), 1);
    QCOMPARE(project.models().first()->name(), QStringLiteral("Model 1"));
    QCOMPARE(project.models().first()->diagrams().size(), 1);
    QCOMPARE(project.models().first()->diagrams().first()->name(), QStringLiteral("Diagram 1"));
    QCOMPARE(project.models().first()->tables().size(), 7);
}

void TestMermaidCommands::importFailuresWarnAndKeepTheDiagram_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("warning");
    QTest::newRow("missing file") << dir.filePath(QStringLiteral("missing.mmd"))
                                  << "Could not open the Mermaid file.";
    QTest::newRow("no erDiagram") << QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/forms/not-mermaid.txt")
                                  << "No Mermaid erDiagram was found in the file.";
    QTest::newRow("no entities") << QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/forms/no-entities.mmd")
                                 << "The Mermaid file does not define any ER entities.";
}

void TestMermaidCommands::importFailuresWarnAndKeepTheDiagram()
{
    QFETCH(QString, path);
    QFETCH(QString, warning);
    scene()->addTableAt(QPointF(10, 10));
    const QStringList before = entityTitles(scene());
    runImport(path);
    QCOMPARE(warningTitles, QStringList{QStringLiteral("Import from Mermaid")});
    QCOMPARE(warningTexts, QStringList{warning});
    QCOMPARE(entityTitles(scene()), before);
}

void TestMermaidCommands::cancelledDialogsDoNothing()
{
    scene()->addTableAt(QPointF(10, 10));
    const QStringList before = entityTitles(scene());
    runImport(QString());
    runExport(QString());
    QCOMPARE(captions, (QStringList{"Import ER Diagram from Mermaid", "Export ER Diagram to Mermaid"}));
    QCOMPARE(filters, (QStringList{importFilter, exportFilter}));
    QVERIFY(warningTitles.isEmpty());
    QCOMPARE(entityTitles(scene()), before);
}

void TestMermaidCommands::failedExportWarnsAndKeepsTheFile()
{
    scene()->addTableAt(QPointF(10, 10));
    runExport(dir.filePath(QStringLiteral("no-such-folder/out.mmd")));
    QCOMPARE(warningTitles, QStringList{QStringLiteral("Export to Mermaid")});
    QCOMPARE(warningTexts, QStringList{QStringLiteral("Could not write the Mermaid file.")});

    QTemporaryDir locked;
    const QString path = locked.filePath(QStringLiteral("kept.mmd"));
    writeFile(path, "erDiagram\n    OLD\n");
    ReadOnlyDir readOnly(locked.path());
    if (!readOnly.ok())
        QSKIP("this machine cannot make a directory read-only");
    runExport(path);
    QCOMPARE(warningTitles.size(), 2);
    QCOMPARE(fileContents(path), QByteArrayLiteral("erDiagram\n    OLD\n"));
}

// Mermaid to the canvas and back: entities, attributes, relationship ends,
// cardinalities and labels all come through.
void TestMermaidCommands::importThenExportKeepsTheDiagram()
{
    const QString source = sharedFile("08-styles-and-self-references.mmd");
    runImport(source);
    QVERIFY(warningTitles.isEmpty());
    const QString path = dir.filePath(QStringLiteral("again.mmd"));
    runExport(path);
    QVERIFY(warningTitles.isEmpty());

    // Entities (without keys: the import adds primary and foreign keys) and
    // relationships as lines, sorted: the scene writes in stacking order.
    const auto describe = [](const QString& file) {
        QList<MermaidEntity> entities;
        QList<MermaidRelationship> relationships;
        QStringList lines;
        if (!parseMermaidText(QString::fromUtf8(fileContents(file)), entities, relationships, nullptr))
            return lines;
        for (MermaidEntity& e : entities) {
            for (MermaidAttribute& a : e.attributes)
                a.isPrimaryKey = a.isForeignKey = false;
            lines << describeMermaidModel({e}, {});
        }
        for (const MermaidRelationship& r : std::as_const(relationships))
            lines << describeMermaidModel({}, {r});
        lines.sort();
        return lines;
    };
    const QStringList before = describe(source);
    QCOMPARE(before.size(), 7 + 11);
    QCOMPARE(describe(path), before);
}

QUILLMAP_TEST_MAIN(TestMermaidCommands)
#include "tst_mermaidcommands.moc"
