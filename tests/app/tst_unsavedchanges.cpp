// What the window does with a document that has changes nobody saved: the
// question on every road that throws the document away, answered by script;
// what Open refuses to take for a diagram; the suffix a typed name gets.
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/viewportmouse.h"
#include "readonlydir.h"

#include <QAction>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

namespace {

QStringList entityTitles(const QGraphicsScene* scene)
{
    QStringList titles;
    for (const EntityItem* entity : itemsOfType<EntityItem>(*scene))
        titles << entity->title();
    titles.sort();
    return titles;
}

QByteArray diagramFile(const QString& title)
{
    const QJsonObject entity{{"id", title + "-id"},
                             {"title", title},
                             {"x", 10},
                             {"y", 20},
                             {"attributes", QJsonArray{QJsonObject{{"name", "id"}, {"type", "INTEGER"}}}}};
    return QJsonDocument(QJsonObject{{"type", "er-diagram"}, {"entities", QJsonArray{entity}}}).toJson();
}

} // namespace

class TestUnsavedChanges : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void untouchedDocumentsAskNothing_data();
    void untouchedDocumentsAskNothing();
    void editRoadsMakeTheCheckAsk_data();
    void editRoadsMakeTheCheckAsk();
    void openAsksFirst_data();
    void openAsksFirst();
    void closingAsks_data();
    void closingAsks();
    void replacingCommandsAsk_data();
    void replacingCommandsAsk();
    void questionNamesTheDocument();
    void foreignObjectRefused_data();
    void foreignObjectRefused();
    void filterSuffix_data();
    void filterSuffix();
    void typedNamesGetTheSuffix_data();
    void typedNamesGetTheSuffix();

private:
    ERScene* scene() const { return canvasScene(window.get()); }
    // Saves to path through Save As and waits for the write.
    void saveAs(const QString& path);
    // Runs the Exit command inside the application's event loop; true when
    // it ended that loop.
    bool runExit();

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    // What the scripted dialogs answer and what they were asked.
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    QString saveAnswer;
    QString openAnswer;
    QStringList questions;
    QStringList warnings;
    int openDialogs = 0;
    int saveDialogs = 0;
};

void TestUnsavedChanges::initTestCase()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QVERIFY(dir.isValid());
}

void TestUnsavedChanges::init()
{
    answer = QMessageBox::Cancel;
    saveAnswer.clear();
    openAnswer.clear();
    questions.clear();
    warnings.clear();
    openDialogs = 0;
    saveDialogs = 0;
    DialogHooks::setMessageHook([this](QMessageBox::Icon icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons buttons, QMessageBox::StandardButton) {
        if (icon != QMessageBox::Question) {
            warnings << title + QLatin1String(": ") + text;
            return QMessageBox::Ok;
        }
        // The question offers exactly these three.
        if (buttons != (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel))
            return QMessageBox::NoButton;
        questions << text;
        return answer;
    });
    DialogHooks::setOpenFileNameHook([this](QWidget*, const QString&, const QString&, const QString&) {
        ++openDialogs;
        return openAnswer;
    });
    DialogHooks::setSaveFileNameHook([this](QWidget*, const QString&, const QString&, const QString&) {
        ++saveDialogs;
        return saveAnswer;
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestUnsavedChanges::cleanup()
{
    QVERIFY(waitUntilIdle(window.get()));
    window.reset();
    DialogHooks::resetHooks();
}

void TestUnsavedChanges::saveAs(const QString& path)
{
    saveAnswer = path;
    window->saveDiagramAs();
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY(QFileInfo::exists(path));
}

bool TestUnsavedChanges::runExit()
{
    bool quit = false;
    QTimer::singleShot(0, window.get(), [this, &quit] {
        windowAction(window.get(), "action_Exit")->trigger();
        // Once the application is told to quit, no event loop starts any
        // more; otherwise this one runs until its own timer ends it.
        QEventLoop probe;
        QTimer::singleShot(0, &probe, [&probe] { probe.exit(1); });
        quit = probe.exec() == -1;
        if (!quit)
            QCoreApplication::exit(1);
    });
    // It ends with the application's loop free to run again.
    QCoreApplication::exec();
    return quit;
}

void TestUnsavedChanges::untouchedDocumentsAskNothing_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("saved after an edit") << QStringLiteral("saved");
    QTest::newRow("just opened") << QStringLiteral("opened");
}

void TestUnsavedChanges::untouchedDocumentsAskNothing()
{
    QFETCH(QString, state);
    if (state == QLatin1String("saved")) {
        scene()->addTableAt(QPointF(0, 0));
        saveAs(dir.filePath(QStringLiteral("untouched-saved.json")));
    } else if (state == QLatin1String("opened")) {
        const QString path = dir.filePath(QStringLiteral("untouched-opened.json"));
        writeFile(path, diagramFile(QStringLiteral("orders")));
        openAnswer = path;
        window->loadDiagram();
        QVERIFY(waitUntilIdle(window.get()));
        QCOMPARE(entityTitles(scene()), QStringList{QStringLiteral("orders")});
    }
    QVERIFY(!window->hasUnsavedChanges());
    QVERIFY(window->close());
    QVERIFY(questions.isEmpty());
}

void TestUnsavedChanges::editRoadsMakeTheCheckAsk_data()
{
    QTest::addColumn<QString>("road");
    QTest::newRow("canvas: the entity dragged") << QStringLiteral("canvas");
    QTest::newRow("details pane: the table's name typed") << QStringLiteral("details");
    QTest::newRow("explorer: the table's row renamed") << QStringLiteral("explorer");
}

// Showing a saved table is no edit; an edit by any road, typed as a person
// types, makes the check ask.
void TestUnsavedChanges::editRoadsMakeTheCheckAsk()
{
    QFETCH(QString, road);
    EntityItem* entity = scene()->addTableAt(QPointF(0, 0));
    saveAs(dir.filePath(QStringLiteral("roads.json")));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    entity->setSelected(true);
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY(!window->hasUnsavedChanges());

    if (road == QLatin1String("canvas")) {
        QWidget* viewport = canvasView(window.get())->viewport();
        const QPoint grip = canvasView(window.get())->mapFromScene(
            entity->mapToScene(entity->boundingRect().topLeft() + QPointF(4, 4)));
        sendMouseEvent(viewport, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            sendMouseEvent(viewport, QEvent::MouseMove, grip + QPoint(20, 10) * step, Qt::NoButton, Qt::LeftButton);
        sendMouseEvent(viewport, QEvent::MouseButtonRelease, grip + QPoint(80, 40), Qt::LeftButton, Qt::NoButton);
    } else {
        auto* editor = window->findChild<QLineEdit*>(QStringLiteral("lineEditTable"));
        if (road == QLatin1String("explorer")) {
            auto* tree = window->findChild<QTreeView*>(QStringLiteral("treeViewProject"));
            tree->setCurrentIndex(tree->model()
                                      ->match(tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("table_1"),
                                              1, Qt::MatchExactly | Qt::MatchRecursive)
                                      .value(0));
            tree->setFocus();
            QTRY_VERIFY(tree->hasFocus());
            QTest::keyClick(tree, Qt::Key_F2);
            editor = tree->viewport()->findChild<QLineEdit*>();
            QVERIFY(editor);
        }
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("orders"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(entity->title(), QStringLiteral("orders"));
    }
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY(window->hasUnsavedChanges());
    QVERIFY(!window->close());
    QCOMPARE(questions.size(), 1);
}

void TestUnsavedChanges::openAsksFirst_data()
{
    QTest::addColumn<int>("reply");
    QTest::addColumn<QString>("savedTo");   // "" none, "path" the document's path, "locked" a folder refusing files
    QTest::addColumn<bool>("opens");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << QString() << false;
    QTest::newRow("discard") << int(QMessageBox::Discard) << QString() << true;
    QTest::newRow("save to the document's file") << int(QMessageBox::Save) << QStringLiteral("path") << true;
    QTest::newRow("save, file dialog cancelled") << int(QMessageBox::Save) << QString() << false;
    QTest::newRow("save fails") << int(QMessageBox::Save) << QStringLiteral("locked") << false;
}

void TestUnsavedChanges::openAsksFirst()
{
    QFETCH(int, reply);
    QFETCH(QString, savedTo);
    QFETCH(bool, opens);

    QTemporaryDir folder;
    const QString documentPath = folder.filePath(QStringLiteral("work.json"));
    if (!savedTo.isEmpty())
        saveAs(documentPath);
    std::unique_ptr<ReadOnlyDir> locked;
    if (savedTo == QLatin1String("locked")) {
        QFile::remove(documentPath);
        locked = std::make_unique<ReadOnlyDir>(folder.path());
        if (!locked->ok())
            QSKIP("cannot make a folder refuse new files here");
    }
    scene()->addTableAt(QPointF(0, 0));
    const QStringList before = entityTitles(scene());

    const QString other = dir.filePath(QStringLiteral("other.json"));
    writeFile(other, diagramFile(QStringLiteral("invoices")));
    answer = QMessageBox::StandardButton(reply);
    saveAnswer.clear();
    openAnswer = other;
    window->loadDiagram();
    QVERIFY(waitUntilIdle(window.get()));

    QCOMPARE(questions.size(), 1);
    // Nothing is asked for before the answer allows going on.
    QCOMPARE(openDialogs, opens ? 1 : 0);
    if (opens) {
        QCOMPARE(entityTitles(scene()), QStringList{QStringLiteral("invoices")});
        QCOMPARE(scene()->currentFilePath(), other);
    } else {
        QCOMPARE(entityTitles(scene()), before);
        QCOMPARE(scene()->currentFilePath(), savedTo.isEmpty() ? QString() : documentPath);
        QVERIFY(window->hasUnsavedChanges());
    }
    if (savedTo == QLatin1String("locked"))
        QCOMPARE(warnings.size(), 1);
    if (reply == QMessageBox::Save && opens) {
        // The file holds the table added before Open.
        const QJsonObject saved = QJsonDocument::fromJson(fileContents(documentPath)).object();
        QVERIFY(QJsonDocument(saved).toJson().contains("table_1"));
    }
}

void TestUnsavedChanges::closingAsks_data()
{
    QTest::addColumn<bool>("viaExit");      // the Exit command, else closing the window
    QTest::addColumn<int>("reply");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("save");     // the file dialog: "" cancelled, "ok" a name, "locked" a folder refusing files
    QTest::addColumn<bool>("ends");
    for (const bool viaExit : {false, true}) {
        const QByteArray road = viaExit ? "exit, " : "close, ";
        QTest::newRow((road + "cancel").constData()) << viaExit << int(QMessageBox::Cancel) << true << QString() << false;
        QTest::newRow((road + "discard").constData()) << viaExit << int(QMessageBox::Discard) << true << QString() << true;
        QTest::newRow((road + "save").constData()) << viaExit << int(QMessageBox::Save) << true << "ok" << true;
        QTest::newRow((road + "save fails").constData()) << viaExit << int(QMessageBox::Save) << true << "locked" << false;
        QTest::newRow((road + "save dialog cancelled").constData()) << viaExit << int(QMessageBox::Save) << true << QString() << false;
        QTest::newRow((road + "nothing changed").constData()) << viaExit << int(QMessageBox::Cancel) << false << QString() << true;
    }
}

void TestUnsavedChanges::closingAsks()
{
    QFETCH(bool, viaExit);
    QFETCH(int, reply);
    QFETCH(bool, changed);
    QFETCH(QString, save);
    QFETCH(bool, ends);

    QTemporaryDir folder;
    std::unique_ptr<ReadOnlyDir> locked;
    if (save == QLatin1String("locked")) {
        locked = std::make_unique<ReadOnlyDir>(folder.path());
        if (!locked->ok())
            QSKIP("cannot make a folder refuse new files here");
    }
    if (changed)
        scene()->addTableAt(QPointF(40, 40));
    answer = QMessageBox::StandardButton(reply);
    const QString path = folder.filePath(QStringLiteral("closing"));
    saveAnswer = save.isEmpty() ? QString() : path;

    QCOMPARE(viaExit ? runExit() : window->close(), ends);
    if (!viaExit)
        QCOMPARE(window->isVisible(), !ends);
    QCOMPARE(questions.size(), changed ? 1 : 0);
    QCOMPARE(saveDialogs, reply == QMessageBox::Save ? 1 : 0);
    // The typed name got its suffix.
    QCOMPARE(QFileInfo::exists(path + QLatin1String(".json")), save == QLatin1String("ok"));
    QCOMPARE(warnings.size(), save == QLatin1String("locked") ? 1 : 0);
}

void TestUnsavedChanges::replacingCommandsAsk_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("New Project") << QStringLiteral("action_New");
    QTest::newRow("Import from Mermaid") << QStringLiteral("actionImport_from_Mermaid");
    QTest::newRow("Import from draw.io") << QStringLiteral("actionImport_from_Drawio");
    QTest::newRow("Import from Image") << QStringLiteral("actionImport_from_Image");
    QTest::newRow("Import from Database") << QStringLiteral("actionImport_from_Database");
}

// Every command that puts another project in the place of this one asks
// first; Cancel leaves the document as it was, still unsaved, and no file
// or import dialog comes up.
void TestUnsavedChanges::replacingCommandsAsk()
{
    QFETCH(QString, action);
    QAction* command = windowAction(window.get(), qPrintable(action));
    QVERIFY(command);

    scene()->addTableAt(QPointF(0, 0));
    scene()->addTableAt(QPointF(300, 0));
    const QStringList before = entityTitles(scene());
    const QJsonObject diagramBefore = scene()->toJson();
    QVERIFY(window->hasUnsavedChanges());

    answer = QMessageBox::Cancel;
    command->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions.constFirst().startsWith(QLatin1String("Save changes to ")));
    QCOMPARE(openDialogs, 0);
    QCOMPARE(saveDialogs, 0);
    QCOMPARE(scene()->toJson(), diagramBefore);
    QVERIFY(window->hasUnsavedChanges());

    // Asked once per command: the answer is not remembered.
    command->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(questions.size(), 2);
    QCOMPARE(entityTitles(scene()), before);
    QVERIFY(window->hasUnsavedChanges());
    QCOMPARE(warnings, QStringList());
}

void TestUnsavedChanges::questionNamesTheDocument()
{
    scene()->addTableAt(QPointF(0, 0));
    QVERIFY(!window->close());
    scene()->addTableAt(QPointF(300, 0));
    saveAs(dir.filePath(QStringLiteral("shop.json")));
    scene()->addTableAt(QPointF(600, 0));
    QVERIFY(!window->close());
    QCOMPARE(questions, (QStringList{QStringLiteral("Save changes to Untitled Project before closing?"),
                                     QStringLiteral("Save changes to shop.json before closing?")}));
}

void TestUnsavedChanges::foreignObjectRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("unknown keys") << QByteArray(R"({"foo": 1})") << true;
    QTest::newRow("empty object") << QByteArray("{}") << true;
    QTest::newRow("lists that are no arrays") << QByteArray(R"({"entities": 3, "edges": {}})") << true;
    QTest::newRow("a project without data") << QByteArray(R"({"type": "quill-project"})") << true;
    QTest::newRow("untyped, empty entities") << QByteArray(R"({"entities": []})") << false;
    QTest::newRow("untyped, annotations only") << QByteArray(R"({"annotations": []})") << false;
    QTest::newRow("typed, no lists") << QByteArray(R"({"type": "er-diagram"})") << false;
}

void TestUnsavedChanges::foreignObjectRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, refused);
    const QString documentPath = dir.filePath(QStringLiteral("kept.json"));
    scene()->addTableAt(QPointF(0, 0));
    saveAs(documentPath);
    const QByteArray documentText = fileContents(documentPath);

    const QString foreign = dir.filePath(QStringLiteral("foreign.json"));
    writeFile(foreign, text);
    openAnswer = foreign;
    window->loadDiagram();
    QVERIFY(waitUntilIdle(window.get()));

    QVERIFY(questions.isEmpty());
    if (refused) {
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.first().startsWith(QLatin1String("Open: ")));
        QCOMPARE(entityTitles(scene()), QStringList{QStringLiteral("table_1")});
        QCOMPARE(scene()->currentFilePath(), documentPath);
        // And a Save still writes where it did.
        window->saveDiagram();
        QVERIFY(waitUntilIdle(window.get()));
        QCOMPARE(fileContents(foreign), text);
        QCOMPARE(fileContents(documentPath), documentText);
    } else {
        QVERIFY(warnings.isEmpty());
        QVERIFY(entityTitles(scene()).isEmpty());
        QCOMPARE(scene()->currentFilePath(), foreign);
    }
}

void TestUnsavedChanges::filterSuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    const QString project = QStringLiteral("Quillmap Project (*.json)");
    QTest::newRow("bare name") << "/tmp/g2" << project << "/tmp/g2.json";
    QTest::newRow("has the suffix") << "/tmp/g2.json" << project << "/tmp/g2.json";
    QTest::newRow("has another suffix") << "/tmp/g2.txt" << project << "/tmp/g2.txt";
    QTest::newRow("dot in a folder name") << "/tmp/v1.2/g2" << project << "/tmp/v1.2/g2.json";
    QTest::newRow("trailing dot") << "/tmp/g2." << project << "/tmp/g2.json";
    QTest::newRow("hidden name") << "/tmp/.g2" << project << "/tmp/.g2.json";
    QTest::newRow("cancelled") << "" << project << "";
    QTest::newRow("folder") << "/tmp/" << project << "/tmp/";
    QTest::newRow("two patterns") << "pic" << "Images (*.svg *.svgz)" << "pic.svg";
    QTest::newRow("two filters") << "pic" << "PDF Files (*.pdf);;All (*)" << "pic.pdf";
    QTest::newRow("any file") << "pic" << "All files (*)" << "pic";
    QTest::newRow("no filter") << "pic" << "" << "pic";
}

void TestUnsavedChanges::filterSuffix()
{
    QFETCH(QString, path);
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(DialogHooks::withFilterSuffix(path, filter), expected);
}

void TestUnsavedChanges::typedNamesGetTheSuffix_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("save as") << "action_Save_As" << ".json";
    QTest::newRow("save") << "action_Save" << ".json";
    QTest::newRow("PDF") << "actionExport_to_PDF" << ".pdf";
    QTest::newRow("SVG") << "actionExport_to_SVG" << ".svg";
}

void TestUnsavedChanges::typedNamesGetTheSuffix()
{
    QFETCH(QString, action);
    QFETCH(QString, suffix);
    scene()->addTableAt(QPointF(0, 0));
    const QString typed = dir.filePath(QStringLiteral("typed-") + QString::fromLatin1(QTest::currentDataTag()));
    saveAnswer = typed;
    windowAction(window.get(), action.toLatin1().constData())->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY(warnings.isEmpty());
    QVERIFY(QFileInfo::exists(typed + suffix));
    QVERIFY(!QFileInfo::exists(typed));
    if (suffix == QLatin1String(".json"))
        QCOMPARE(scene()->currentFilePath(), typed + suffix);
}

QUILLMAP_TEST_MAIN(TestUnsavedChanges)
#include "tst_unsavedchanges.moc"
