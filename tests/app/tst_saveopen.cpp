#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"
#include "model/diagramitem.h"
#include "model/filelimits.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/viewportmouse.h"
#include "readonlydir.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Every message of the run, so that a test can tell what was logged.
QStringList messages;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    messages.append(text);
    if (type != QtDebugMsg && previousHandler && !text.startsWith(QLatin1String("This plugin does not support")))
        previousHandler(type, context, text);
}

bool logged(const QString& start)
{
    for (const QString& m : std::as_const(messages)) {
        if (m.startsWith(start))
            return true;
    }
    return false;
}

QJsonObject parse(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

QJsonObject entityObject(const QString& id, const QString& title, double x, double y)
{
    return QJsonObject{{"id", id},
                       {"title", title},
                       {"x", x},
                       {"y", y},
                       {"perspective", "full"},
                       {"attributes", QJsonArray{QJsonObject{{"name", title + "_id"},
                                                             {"type", "INTEGER"},
                                                             {"isPrimaryKey", true},
                                                             {"isUniqueKey", false},
                                                             {"isForeignKey", false}}}}};
}

QJsonObject diagramObject(const QJsonArray& entities, const QString& dialect)
{
    return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                       {"edges", QJsonArray()}, {"annotations", QJsonArray()}, {"dialect", dialect}};
}

// A project with two models, each with two diagrams; names are chosen so
// that the alphabetically first model and diagram are not the first made.
QJsonObject twoModelProject()
{
    ProjectItem project;
    project.setName(QStringLiteral("Shop"));
    ModelItem* later = project.addModel();
    later->setName(QStringLiteral("Warehouse"));
    later->setDialect(QStringLiteral("SQLite"));
    DiagramItem* w = later->addDiagram();
    w->setName(QStringLiteral("Stock"));
    w->setData(diagramObject(QJsonArray{entityObject("w1", "bins", 0, 0)}, QStringLiteral("SQLite")));

    ModelItem* first = project.addModel();
    first->setName(QStringLiteral("Sales"));
    first->setDialect(QStringLiteral("PostgreSQL"));
    DiagramItem* overview = first->addDiagram();
    overview->setName(QStringLiteral("Overview"));
    overview->setData(diagramObject(QJsonArray{entityObject("s1", "orders", 0, 0),
                                               entityObject("s2", "customers", 400, 120)},
                                    QStringLiteral("PostgreSQL")));
    DiagramItem* billing = first->addDiagram();
    billing->setName(QStringLiteral("Billing"));
    billing->setData(diagramObject(QJsonArray{entityObject("b1", "invoices", 40, 60)}, QStringLiteral("PostgreSQL")));
    return project.toDocumentJson();
}

QStringList entityTitles(const QGraphicsScene* scene)
{
    QStringList titles;
    for (const EntityItem* entity : itemsOfType<EntityItem>(*scene))
        titles << entity->title();
    titles.sort();
    return titles;
}

} // namespace

class TestSaveOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveAsksOnceThenWritesWithoutAsking();
    void saveAsAlwaysAsksAndCancelKeepsPath();
    void saveFailureKeepsPathAndOldFile_data();
    void saveFailureKeepsPathAndOldFile();
    void saveRefusesWhatOpenWouldRefuse();
    void openBareDiagramMakesUntitledProject();
    void openProjectShowsFirstModelAndDiagram();
    void openProjectWithEmptyFirstDiagramClearsCanvas();
    void openThenSaveGivesSameText();
    void openedDocumentCountsAsSaved_data();
    void openedDocumentCountsAsSaved();
    void openFailureChangesNothing_data();
    void openFailureChangesNothing();
    void commandsIgnoredWhileBusy();
    void rowsGetLabelsWhereUsed();

private:
    void runSave(const QString& answer, bool saveAs = false);
    void runOpen(const QString& path);
    void waitIdle();
    ERScene* scene() const;
    QString shownFileName() const;

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    int saveDialogs = 0;
    // Whether the busy indicator was up as soon as the last save began.
    bool busyAtOnce = false;
    QStringList warningTitles;
    QStringList warningTexts;
};

void TestSaveOpen::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
    previousHandler = qInstallMessageHandler(recordMessage);
    // The file channel's debug lines tell a success; the scene's stay off.
    QLoggingCategory::setFilterRules(QStringLiteral("quillmap.file.debug=true"));
    QVERIFY(dir.isValid());
}

void TestSaveOpen::init()
{
    messages.clear();
    saveDialogs = 0;
    warningTitles.clear();
    warningTexts.clear();
    DialogHooks::setMessageHook([this](QMessageBox::Icon icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        // Opening over unsaved work asks first; these tests let it go.
        if (icon == QMessageBox::Question)
            return QMessageBox::Discard;
        warningTitles << title;
        warningTexts << text;
        return QMessageBox::Ok;
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestSaveOpen::cleanup()
{
    waitIdle();
    window.reset();
    DialogHooks::resetHooks();
}

ERScene* TestSaveOpen::scene() const
{
    return canvasScene(window.get());
}

QString TestSaveOpen::shownFileName() const
{
    return window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text();
}

void TestSaveOpen::waitIdle()
{
    if (!window)
        return;
    QVERIFY(waitUntilIdle(window.get()));
}

void TestSaveOpen::runSave(const QString& answer, bool saveAs)
{
    DialogHooks::setSaveFileNameHook([this, answer](QWidget*, const QString& caption, const QString& dirArg,
                                                    const QString& filter) {
        ++saveDialogs;
        [&] {
            QCOMPARE(caption, QStringLiteral("Save Project"));
            QVERIFY(dirArg.isEmpty());
            QCOMPARE(filter, QStringLiteral("Quillmap Project (*.json)"));
        }();
        return answer;
    });
    if (saveAs)
        window->saveDiagramAs();
    else
        window->saveDiagram();
    busyAtOnce = window->findChild<BusySpinnerWidget*>()->isBusy();
    waitIdle();
}

void TestSaveOpen::runOpen(const QString& path)
{
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString& caption, const QString&, const QString& filter) {
        [&] {
            QCOMPARE(caption, QStringLiteral("Open Project"));
            QCOMPARE(filter, QStringLiteral("Quillmap Project (*.json)"));
        }();
        return path;
    });
    window->loadDiagram();
    waitIdle();
}

void TestSaveOpen::saveAsksOnceThenWritesWithoutAsking()
{
    const QString path = dir.filePath(QStringLiteral("first.json"));
    scene()->addTableAt(QPointF(10, 20));
    runSave(path);
    QCOMPARE(saveDialogs, 1);
    // Gathering a large diagram into the model takes long: the indicator
    // comes first.
    QVERIFY(busyAtOnce);
    QVERIFY(logged(QStringLiteral("Diagram saved successfully")));
    QCOMPARE(scene()->currentFilePath(), path);
    QCOMPARE(shownFileName(), QStringLiteral("first.json"));
    QVERIFY(warningTitles.isEmpty());

    const QByteArray first = fileContents(path);
    QVERIFY(first.contains("\n    ")); // indented
    const QJsonObject root = parse(first);
    QVERIFY(ProjectItem::isProjectJson(root));
    const QJsonArray diagrams = root.value(QStringLiteral("diagrams")).toArray();
    QCOMPARE(diagrams.size(), 1);
    QCOMPARE(diagrams.at(0).toObject().value(QStringLiteral("entities")).toArray().size(), 1);

    // The second save writes the same file without asking again.
    scene()->addTableAt(QPointF(300, 20));
    runSave(QString());
    QCOMPARE(saveDialogs, 1);
    const QJsonArray again = parse(fileContents(path)).value(QStringLiteral("diagrams")).toArray();
    QCOMPARE(again.at(0).toObject().value(QStringLiteral("entities")).toArray().size(), 2);
}

void TestSaveOpen::saveAsAlwaysAsksAndCancelKeepsPath()
{
    const QString path = dir.filePath(QStringLiteral("as.json"));
    runSave(path);
    QCOMPARE(scene()->currentFilePath(), path);

    runSave(QString(), true); // cancelled
    QCOMPARE(saveDialogs, 2);
    QCOMPARE(scene()->currentFilePath(), path);

    const QString other = dir.filePath(QStringLiteral("as-other.json"));
    runSave(other, true);
    QCOMPARE(saveDialogs, 3);
    QCOMPARE(scene()->currentFilePath(), other);
    QVERIFY(QFile::exists(other));
}

void TestSaveOpen::saveFailureKeepsPathAndOldFile_data()
{
    QTest::addColumn<QString>("road");
    QTest::newRow("new document") << QStringLiteral("new");
    QTest::newRow("saved document") << QStringLiteral("save");
    QTest::newRow("save as") << QStringLiteral("saveAs");
}

void TestSaveOpen::saveFailureKeepsPathAndOldFile()
{
    QFETCH(QString, road);
    QTemporaryDir locked;
    const QString path = locked.filePath(QStringLiteral("project.json"));
    QString documentPath;
    if (road == QLatin1String("new")) {
        writeFile(path, "old project text");
    } else if (road == QLatin1String("save")) {
        runSave(path);
        documentPath = path;
    } else {
        writeFile(path, "old project text");
        documentPath = dir.filePath(QStringLiteral("previous.json"));
        runSave(documentPath);
    }
    QCOMPARE(scene()->currentFilePath(), documentPath);
    const QByteArray oldText = fileContents(path);
    const QByteArray documentText = fileContents(documentPath);
    messages.clear();

    ReadOnlyDir readOnly(locked.path());
    if (!readOnly.ok())
        QSKIP("this machine cannot make a directory read-only");

    scene()->addTableAt(QPointF(0, 0));
    const int dialogsBefore = saveDialogs;
    runSave(path, road == QLatin1String("saveAs"));
    QCOMPARE(saveDialogs, dialogsBefore + (road == QLatin1String("save") ? 0 : 1));

    QVERIFY(logged(QStringLiteral("Cannot save file:")));
    QVERIFY(!logged(QStringLiteral("Diagram saved successfully")));
    QCOMPARE(warningTitles, QStringList{QStringLiteral("Save")});
    QVERIFY(warningTexts.first().contains(path));
    QCOMPARE(fileContents(path), oldText);
    QCOMPARE(scene()->currentFilePath(), documentPath);
    QCOMPARE(shownFileName(), documentPath.isEmpty() ? QStringLiteral("No file") : QFileInfo(documentPath).fileName());
    QCOMPARE(fileContents(documentPath), documentText);
}

// A name beyond what Open reads is refused by Save too: the old file stays,
// and it still opens.
void TestSaveOpen::saveRefusesWhatOpenWouldRefuse()
{
    const QString path = dir.filePath(QStringLiteral("limits.json"));
    EntityItem* entity = scene()->addTableAt(QPointF(10, 20));
    runSave(path);
    const QByteArray oldText = fileContents(path);
    QVERIFY(warningTitles.isEmpty());

    entity->setTitle(QString(filelimits::MaxNameLength + 1, QLatin1Char('n')));
    messages.clear();
    runSave(QString());
    QCOMPARE(warningTitles, QStringList{QStringLiteral("Save")});
    QVERIFY2(warningTexts.first().contains(QStringLiteral("could not be opened again")), qPrintable(warningTexts.first()));
    QVERIFY(warningTexts.first().contains(
        filelimits::tooLargeText(filelimits::Measure::NameLength, filelimits::MaxNameLength + 1)));
    QVERIFY(!logged(QStringLiteral("Diagram saved successfully")));
    QCOMPARE(fileContents(path), oldText);
    QVERIFY(filelimits::documentExcess(parse(oldText)).isEmpty());
}

void TestSaveOpen::openBareDiagramMakesUntitledProject()
{
    const QString path = dir.filePath(QStringLiteral("bare.json"));
    const QJsonObject diagram = diagramObject(
        QJsonArray{entityObject("a1", "authors", 0, 0), entityObject("b1", "books", 320, 40)}, QStringLiteral("MySQL"));
    writeFile(path, QJsonDocument(diagram).toJson());
    runOpen(path);
    QVERIFY(warningTitles.isEmpty());
    QVERIFY(logged(QStringLiteral("Project loaded successfully")));
    QVERIFY(!logged(QStringLiteral("clearScene: starting")));
    QVERIFY(!logged(QStringLiteral("loadFromJson: starting")));
    QCOMPARE(scene()->currentFilePath(), path);
    QCOMPARE(shownFileName(), QStringLiteral("bare.json"));
    QCOMPARE(entityTitles(scene()), (QStringList{"authors", "books"}));
    QCOMPARE(scene()->dialect(), QStringLiteral("MySQL"));
    QCOMPARE(window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"))->currentText(),
             QStringLiteral("MySQL"));

    // The scene rectangle is the items' bounds grown by 100, at 100 %.
    const QRectF bounds = scene()->itemsBoundingRect();
    QCOMPARE(scene()->sceneRect(), bounds.adjusted(-100, -100, 100, 100));
    QCOMPARE(canvasView(window.get())->zoom(), 1.0);
    QTest::qWait(50); // and the scene does not grow it again on its own
    QCOMPARE(scene()->sceneRect(), bounds.adjusted(-100, -100, 100, 100));

    // The diagram became "Diagram 1" of "Model 1" in a new project.
    const QString saved = dir.filePath(QStringLiteral("bare-saved.json"));
    runSave(saved, true);
    const QJsonObject root = parse(fileContents(saved));
    QVERIFY(ProjectItem::isProjectJson(root));
    ProjectItem project;
    QVERIFY(project.loadDocumentJson(root));
    QCOMPARE(project.name(), QStringLiteral("Untitled Project"));
    QCOMPARE(project.models().size(), 1);
    ModelItem* model = project.models().first();
    QCOMPARE(model->name(), QStringLiteral("Model 1"));
    QCOMPARE(model->dialect(), QStringLiteral("MySQL"));
    QCOMPARE(model->diagrams().size(), 1);
    QCOMPARE(model->diagrams().first()->name(), QStringLiteral("Diagram 1"));
    QCOMPARE(model->diagrams().first()->data().value(QStringLiteral("entities")).toArray().size(), 2);
}

void TestSaveOpen::openProjectShowsFirstModelAndDiagram()
{
    const QString path = dir.filePath(QStringLiteral("shop.json"));
    writeFile(path, QJsonDocument(twoModelProject()).toJson(QJsonDocument::Indented));
    scene()->addTableAt(QPointF(0, 0));
    runOpen(path);
    QVERIFY(warningTitles.isEmpty());
    // "Sales" before "Warehouse", and in it "Billing" before "Overview".
    QCOMPARE(entityTitles(scene()), QStringList{QStringLiteral("invoices")});
    QCOMPARE(scene()->dialect(), QStringLiteral("PostgreSQL"));
    QCOMPARE(window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"))->currentText(),
             QStringLiteral("PostgreSQL"));
    QCOMPARE(scene()->currentFilePath(), path);
}

void TestSaveOpen::openProjectWithEmptyFirstDiagramClearsCanvas()
{
    ProjectItem project;
    ModelItem* model = project.addModel();
    model->setName(QStringLiteral("M"));
    model->addDiagram()->setName(QStringLiteral("A empty"));
    DiagramItem* full = model->addDiagram();
    full->setName(QStringLiteral("B full"));
    full->setData(diagramObject(QJsonArray{entityObject("x", "x", 0, 0)}, QStringLiteral("SQLite")));
    const QString path = dir.filePath(QStringLiteral("empty-first.json"));
    writeFile(path, QJsonDocument(project.toDocumentJson()).toJson());

    scene()->addTableAt(QPointF(0, 0));
    runOpen(path);
    QVERIFY(warningTitles.isEmpty());
    QVERIFY(entityTitles(scene()).isEmpty());
}

void TestSaveOpen::openThenSaveGivesSameText()
{
    // The project file as this program writes it: indented, with the
    // current diagram's content coming back from the canvas unchanged.
    // The diagram shown is a full one: tables, a view with its link, a
    // self-relation, stored routes, text items and groups.
    const QJsonObject shown = testDataJson(QStringLiteral("diagram/golden_diagram.json")).object();
    QVERIFY(!shown.value(QStringLiteral("edges")).toArray().isEmpty());
    ProjectItem project;
    QVERIFY(project.loadDocumentJson(twoModelProject()));
    DiagramItem* billing = project.models().first()->diagrams().first();
    QCOMPARE(billing->name(), QStringLiteral("Billing"));
    billing->setData(shown);

    const QString path = dir.filePath(QStringLiteral("roundtrip.json"));
    writeFile(path, QJsonDocument(project.toDocumentJson()).toJson(QJsonDocument::Indented));
    // The model made above knows nothing of the shown diagram's tables; the
    // first save brings it in step with the canvas, as every save does.
    // From then on the file is one this program writes.
    runOpen(path);
    runSave(path, true);
    const QByteArray original = fileContents(path);
    runOpen(path);
    const QString again = dir.filePath(QStringLiteral("roundtrip-saved.json"));
    QCOMPARE(scene()->toJson(), shown);
    runSave(again, true);
    QVERIFY(warningTitles.isEmpty());
    QCOMPARE(QString::fromUtf8(fileContents(again)), QString::fromUtf8(original));

    // And the file that was opened is written back unchanged by Save.
    runOpen(path);
    runSave(QString());
    QCOMPARE(QString::fromUtf8(fileContents(path)), QString::fromUtf8(original));
}

// What was just opened is the saved document: opening again asks nothing,
// until something changes. Diagrams that the load completes (ids given to
// entities and edges without one, a dialect the window does not offer, a
// repeated id) are compared as the window would write them.
void TestSaveOpen::openedDocumentCountsAsSaved_data()
{
    QTest::addColumn<QJsonObject>("document");
    QJsonObject withoutIds = entityObject("", "orders", 300, 0);
    withoutIds.remove(QStringLiteral("id"));
    const QJsonArray twoEntities{entityObject("a1", "authors", 0, 0), entityObject("b1", "books", 320, 40)};
    QJsonObject withEdge = diagramObject(twoEntities, QStringLiteral("PostgreSQL"));
    withEdge.insert(QStringLiteral("edges"), QJsonArray{QJsonObject{{"from", "a1"}, {"to", "b1"}}});
    QTest::newRow("diagram") << diagramObject(twoEntities, QStringLiteral("MySQL"));
    QTest::newRow("edge without id") << withEdge;
    QTest::newRow("entity without id")
        << diagramObject(QJsonArray{entityObject("a1", "authors", 0, 0), withoutIds}, QStringLiteral("SQLite"));
    QTest::newRow("repeated id") << diagramObject(
        QJsonArray{entityObject("a1", "authors", 0, 0), entityObject("a1", "books", 320, 0)}, QStringLiteral("MySQL"));
    QTest::newRow("unknown dialect") << diagramObject(twoEntities, QStringLiteral("No Such Database"));
    QTest::newRow("no dialect") << diagramObject(twoEntities, QString());
    QTest::newRow("project") << twoModelProject();
}

void TestSaveOpen::openedDocumentCountsAsSaved()
{
    QFETCH(QJsonObject, document);
    const QString path = dir.filePath(QStringLiteral("opened.json"));
    writeFile(path, QJsonDocument(document).toJson());
    runOpen(path);
    QVERIFY(warningTitles.isEmpty());

    int questions = 0;
    DialogHooks::setMessageHook([&questions](QMessageBox::Icon icon, QWidget*, const QString&, const QString&,
                                             QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (icon == QMessageBox::Question)
            ++questions;
        return QMessageBox::Cancel;
    });
    DialogHooks::setOpenFileNameHook([](QWidget*, const QString&, const QString&, const QString&) { return QString(); });
    window->loadDiagram();
    QCOMPARE(questions, 0);

    EntityItem* moved = scene()->entityItems().first();
    moved->setPos(moved->pos() + QPointF(40, 0));
    window->loadDiagram();
    QCOMPARE(questions, 1);
}

void TestSaveOpen::openFailureChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: the file does not exist
    QTest::addColumn<QString>("log");
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("Cannot open file:");
    QTest::newRow("not JSON") << QByteArray("<mxfile><diagram/></mxfile>") << QStringLiteral("Invalid JSON file:");
    QTest::newRow("JSON array") << QByteArray(R"([{"type": "er-diagram", "entities": []}])")
                                << QStringLiteral("Invalid JSON file:");
    QTest::newRow("foreign object") << QByteArray(R"({"type": "openapi", "entities": [{"title": "x"}]})")
                                    << QStringLiteral("loadProjectOrDiagram: neither a project nor a diagram");
    QTest::newRow("project type without data")
        << QByteArray(R"({"version": "2.0", "type": "quill-project", "diagrams": []})")
        << QStringLiteral("loadProjectOrDiagram: neither a project nor a diagram");
}

void TestSaveOpen::openFailureChangesNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, log);

    // A saved document with one table.
    const QString saved = dir.filePath(QStringLiteral("kept.json"));
    scene()->addTableAt(QPointF(0, 0));
    runSave(saved);
    const QByteArray savedText = fileContents(saved);
    const QJsonObject sceneBefore = scene()->toJson();

    const QString bad = dir.filePath(QStringLiteral("bad-%1.json").arg(QTest::currentDataTag()).replace(' ', '-'));
    QFile::remove(bad);
    if (!bytes.isEmpty())
        writeFile(bad, bytes);
    messages.clear();
    runOpen(bad);

    QVERIFY2(logged(log), qPrintable(messages.join('\n')));
    QVERIFY(!logged(QStringLiteral("Project loaded successfully")));
    QCOMPARE(warningTitles, QStringList{QStringLiteral("Open")});
    QVERIFY(!warningTexts.first().isEmpty());
    QCOMPARE(scene()->toJson(), sceneBefore);
    QCOMPARE(scene()->currentFilePath(), saved);
    QCOMPARE(shownFileName(), QStringLiteral("kept.json"));

    // The next Save goes to the document's file, never to the one that
    // failed to open.
    runSave(QString());
    QCOMPARE(saveDialogs, 1);
    QCOMPARE(fileContents(saved), savedText);
    QCOMPARE(fileContents(bad), bytes);
}

void TestSaveOpen::commandsIgnoredWhileBusy()
{
    auto* busy = window->findChild<BusySpinnerWidget*>();
    bool released = false;
    busy->run([&released] { QTRY_VERIFY(released); }, {});
    QVERIFY(busy->isBusy());
    int asked = 0;
    DialogHooks::setSaveFileNameHook([&asked](QWidget*, const QString&, const QString&, const QString&) {
        ++asked;
        return QString();
    });
    DialogHooks::setOpenFileNameHook([&asked](QWidget*, const QString&, const QString&, const QString&) {
        ++asked;
        return QString();
    });
    window->saveDiagram();
    window->saveDiagramAs();
    window->loadDiagram();
    QCOMPARE(asked, 0);
    released = true;
    waitIdle();
}


namespace {

// The row labels an entity holds as items of the scene.
QList<SingleLineTextItem*> rowLabelItems(const EntityItem* entity)
{
    QList<SingleLineTextItem*> labels;
    for (QGraphicsItem* child : entity->childItems()) {
        auto* label = dynamic_cast<SingleLineTextItem*>(child);
        if (label && label != entity->titleLabel())
            labels.append(label);
    }
    return labels;
}

} // namespace

// A large entity opened from a file holds no label item for its rows until
// the user reaches one; then that row is edited in place as ever, Tab walks
// on, and the file saved is the one the edit makes.
void TestSaveOpen::rowsGetLabelsWhereUsed()
{
    QJsonArray rows;
    for (int i = 0; i < 100; ++i) {
        rows.append(QJsonObject{{QStringLiteral("isForeignKey"), false},
                                {QStringLiteral("isPrimaryKey"), i == 0},
                                {QStringLiteral("isUniqueKey"), i == 7},
                                {QStringLiteral("name"), QStringLiteral("col_%1").arg(i)},
                                {QStringLiteral("type"), i % 3 ? QStringLiteral("INT") : QStringLiteral("TEXT")}});
    }
    const QJsonObject entity{{QStringLiteral("attributes"), rows},
                             {QStringLiteral("id"), QStringLiteral("e1")},
                             {QStringLiteral("perspective"), QStringLiteral("full")},
                             {QStringLiteral("title"), QStringLiteral("wide")},
                             {QStringLiteral("x"), 40},
                             {QStringLiteral("y"), 60}};
    const QJsonObject diagram{{QStringLiteral("version"), QStringLiteral("1.0")},
                              {QStringLiteral("type"), QStringLiteral("er-diagram")},
                              {QStringLiteral("entities"), QJsonArray{entity}}};
    const QString path = dir.filePath(QStringLiteral("hundred.json"));
    writeFile(path, QJsonDocument(diagram).toJson());
    runOpen(path);
    const QString before = dir.filePath(QStringLiteral("hundred-before.json"));
    runSave(before, true);
    QCOMPARE(scene()->entityItems().size(), 1);
    EntityItem* table = scene()->entityItems().first();
    QCOMPARE(table->attributeCount(), 100);
    QVERIFY(rowLabelItems(table).isEmpty());

    // Double-click into row 40's name through the view.
    ERView* view = canvasView(window.get());
    const QPointF cell = table->mapToScene(EntityItem::TextMargin + 12, EntityItem::FirstRowY + 40 * EntityItem::RowHeight + 8);
    view->centerOn(cell);
    const QPoint at = view->mapFromScene(cell);
    QWidget* viewport = view->viewport();
    sendMouseEvent(viewport, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    sendMouseEvent(viewport, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    sendMouseEvent(viewport, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    sendMouseEvent(viewport, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    const QList<SingleLineTextItem*> made = rowLabelItems(table);
    QVERIFY2(made.size() <= 6, qPrintable(QString::number(made.size())));
    const auto editing = std::find_if(made.cbegin(), made.cend(), [](const SingleLineTextItem* l) {
        return l->isEditing();
    });
    QVERIFY(editing != made.cend());
    QCOMPARE((*editing)->toPlainText(), QStringLiteral("col_40"));

    QTest::keyClicks(viewport, QStringLiteral("renamed"));
    QTest::keyClick(viewport, Qt::Key_Tab);
    QVERIFY(table->typeLabel(40)->isEditing());
    QTest::keyClick(viewport, Qt::Key_Tab);
    QVERIFY(table->nameLabel(41)->isEditing());
    QTest::keyClick(viewport, Qt::Key_Return);
    QCOMPARE(table->attributeName(40), QStringLiteral("renamed"));
    QVERIFY(rowLabelItems(table).size() <= 8);

    const QString after = dir.filePath(QStringLiteral("hundred-after.json"));
    runSave(after, true);
    QString expected = QString::fromUtf8(fileContents(before));
    // The name stands in the diagram and in the model's table.
    QCOMPARE(expected.count(QStringLiteral("\"col_40\"")), 2);
    expected.replace(QStringLiteral("\"col_40\""), QStringLiteral("\"renamed\""));
    QCOMPARE(QString::fromUtf8(fileContents(after)), expected);
}

QUILLMAP_TEST_MAIN(TestSaveOpen)
#include "tst_saveopen.moc"
