#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "model/columnitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/testmain.h"
#include "interchange/drawiosummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The draw.io commands of the File menu, through the window: the dialogs,
// the worker thread, the new project and the warnings.
class TestDrawioCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void importMakesUntitledProject();
    void importTellsWhatCameIn();
    void importReadsCellsByColumn_data();
    void importReadsCellsByColumn();
    void failuresWarn_data();
    void failuresWarn();
    void exportThenImportKeepsTheDiagram();

private:
    void runImport(const QString& path);
    void runExport(const QString& path);
    ERScene* scene() const { return canvasScene(window.get()); }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    QStringList warnings; // "title: text"
    QStringList dialogs;  // "caption | filter"
};

void TestDrawioCommands::initTestCase()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QVERIFY(dir.isValid());
}

void TestDrawioCommands::init()
{
    warnings.clear();
    dialogs.clear();
    DialogHooks::setMessageHook([this](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (title == QLatin1String("Unsaved Changes"))
            return QMessageBox::Discard;
        warnings << title + QLatin1String(": ") + text;
        return QMessageBox::Ok;
    });
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestDrawioCommands::cleanup()
{
    QVERIFY(waitUntilIdle(window.get()));
    window.reset();
    DialogHooks::resetHooks();
}

void TestDrawioCommands::runImport(const QString& path)
{
    DialogHooks::setOpenFileNameHook([this, path](QWidget*, const QString& caption, const QString&, const QString& filter) {
        dialogs << caption + QLatin1String(" | ") + filter;
        return path;
    });
    windowAction(window.get(), "actionImport_from_Drawio")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
}

void TestDrawioCommands::runExport(const QString& path)
{
    DialogHooks::setSaveFileNameHook([this, path](QWidget*, const QString& caption, const QString&, const QString& filter) {
        dialogs << caption + QLatin1String(" | ") + filter;
        return path;
    });
    windowAction(window.get(), "actionExport_to_Drawio")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
}

void TestDrawioCommands::importMakesUntitledProject()
{
    scene()->loadFromJson(QJsonObject{{"entities", QJsonArray{QJsonObject{{"id", "old"}, {"title", "Old"}}}}});
    runImport(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/erd.xml"));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(dialogs, QStringList{"Import ER Diagram from draw.io | draw.io (*.drawio *.xml);;XML (*.xml);;All files (*.*)"});

    const QStringList lines = summarizeDiagram(scene()->toJson(), false);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines.contains(QStringLiteral("Customers: customer_id:int NOT NULL[P] | customer_name:char(50) NOT NULL")));
    QVERIFY(lines.contains(QStringLiteral("Customers -> Orders 0/3")));
    QVERIFY(lines.contains(QStringLiteral("Orders -> Shipments 0/3")));

    // A new untitled project without a file, the view on the whole diagram.
    QCOMPARE(scene()->currentFilePath(), QString());
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text(), QStringLiteral("No file"));
    QCOMPARE(scene()->sceneRect(), scene()->itemsBoundingRect().adjusted(-100, -100, 100, 100));
    QStringList asked;
    DialogHooks::setSaveFileNameHook([&](QWidget*, const QString& caption, const QString&, const QString&) {
        asked << caption;
        return dir.filePath(QStringLiteral("imported.json"));
    });
    window->saveDiagram();
    QVERIFY(waitUntilIdle(window.get()));
    QCOMPARE(asked, QStringList{QStringLiteral("Save Project")});
    ProjectItem project;
    QVERIFY(project.loadDocumentJson(QJsonDocument::fromJson(fileContents(dir.filePath(QStringLiteral("imported.json")))).object()));
    QCOMPARE(project.name(), QStringLiteral("Untitled Project"));
    QCOMPARE(project.models().size(), 1);
    QCOMPARE(project.models().first()->name(), QStringLiteral("Model 1"));
    QCOMPARE(project.models().first()->tables().size(), 3);
    QCOMPARE(project.models().first()->diagrams().first()->name(), QStringLiteral("Diagram 1"));
}

// The status bar says which pages came in and which did not.
void TestDrawioCommands::importTellsWhatCameIn()
{
    runImport(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/two-pages.drawio"));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(summarizeDiagram(scene()->toJson(), false).size(), 5);
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Imported 3 entities and 2 relationships from page \"Schema\"; "
                            "page \"Context\" holds no tables"));

    // Two pages of tables drawn at the same place come in side by side.
    const QByteArray erd = fileContents(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/drawio/erd.xml"));
    const qsizetype open = erd.indexOf("<diagram");
    const QByteArray page = erd.mid(open, erd.indexOf("</mxfile>") - open);
    const QString path = dir.filePath(QStringLiteral("two-table-pages.drawio"));
    writeFile(path, erd.left(open) + page + page + "</mxfile>");
    runImport(path);
    const QList<EntityItem*> boxes = itemsOfType<EntityItem>(*scene());
    QCOMPARE(boxes.size(), 6);
    for (qsizetype a = 0; a < boxes.size(); ++a)
        for (qsizetype b = a + 1; b < boxes.size(); ++b)
            QVERIFY(!boxes.at(a)->sceneBoundingRect().intersects(boxes.at(b)->sceneBoundingRect()));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Imported 6 entities and 4 relationships from pages \"Page-1\" and \"Page-1\""));
}

namespace {

QByteArray cell(const QByteArray& id, const QByteArray& parent, const QByteArray& value, const QByteArray& style,
                double x, double y, double width, double height)
{
    return "<mxCell id=\"" + id + "\" value=\"" + value + "\" style=\"" + style + "\" vertex=\"1\" parent=\"" + parent
           + "\"><mxGeometry x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y) + "\" width=\""
           + QByteArray::number(width) + "\" height=\"" + QByteArray::number(height) + "\" as=\"geometry\"/></mxCell>";
}

QByteArray connector(const QByteArray& id, const QByteArray& source, const QByteArray& target)
{
    return "<mxCell id=\"" + id + "\" style=\"edgeStyle=orthogonalEdgeStyle;endArrow=ERmany;\" edge=\"1\" parent=\"1\" source=\""
           + source + "\" target=\"" + target + "\"><mxGeometry relative=\"1\" as=\"geometry\"/></mxCell>";
}

// A shape=table table whose rows are a key cell (x 0), a type cell (x 40)
// and a name cell (x 120), each row given as "key|type|name"; an empty cell
// is left out of the file, as some tools save it, and a blank one kept.
QByteArray cellTable(const QByteArray& id, const QByteArray& title, double x, const QList<QByteArray>& rows)
{
    QByteArray out = cell(id, "1", title, "shape=table;startSize=30;container=1;childLayout=tableLayout;", x, 0, 240,
                          30 * (rows.size() + 1));
    const QByteArray part = "shape=partialRectangle;connectable=0;fillColor=none;html=1;";
    for (int r = 0; r < rows.size(); ++r) {
        const QByteArray row = id + "-r" + QByteArray::number(r);
        out += cell(row, id, "", "shape=tableRow;horizontal=0;startSize=0;", 0, 30 * (r + 1), 240, 30);
        const QList<QByteArray> texts = rows.at(r).split('|');
        const double left[] = {0, 40, 120};
        const double width[] = {40, 80, 120};
        for (int c = 0; c < 3; ++c) {
            if (!texts.value(c).isEmpty())
                out += cell(row + "-" + QByteArray::number(c), row, texts.value(c), part, left[c], 0, width[c], 30);
        }
    }
    return out;
}

QByteArray page(const QByteArray& cells)
{
    return "<mxfile><diagram name=\"Page-1\"><mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>"
           + cells + "</root></mxGraphModel></diagram></mxfile>";
}

} // namespace

// Key, type and name cells are told apart by what their columns hold, two
// rows never become one column, and the status line says what was numbered
// and which connectors were left out.
void TestDrawioCommands::importReadsCellsByColumn_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected"); // the canvas, without positions
    QTest::addColumn<QString>("status");

    const QByteArray prompts = cellTable("p", "Prompts", 0,
                                         {"PK|string|id", "|string|prompt", "|string|role", "|date|created_at",
                                          "FK|string|owner_id", "||notes"});
    QTest::newRow("key cells left out")
        << page(prompts)
        << QStringList{"Prompts: id:string[P] | prompt:string | role:string | created_at:date | owner_id:string[F] | notes"}
        << "Imported 1 entity and 0 relationships";
    QTest::newRow("names that read as types")
        << page(cellTable("r", "Prompt Rules", 0, {"PK|string|ID", " |string|text", " |date|date", " |string|rule"}))
        << QStringList{"Prompt Rules: ID:string[P] | text:string | date:date | rule:string"}
        << "Imported 1 entity and 0 relationships";
    QTest::newRow("repeated names numbered")
        << page(cellTable("o", "Orders", 0, {"PK|int|row", "|string|row", "|string|Row", "|int|row_2"}))
        << QStringList{"Orders: row:int[P] | row_3:string | Row_4:string | row_2:int"}
        << "Imported 1 entity and 0 relationships; 2 repeated column names numbered: \"row\" in \"Orders\"";

    // Connectors that end on junction shapes join no two tables.
    const QByteArray junctions = cellTable("a", "A", 0, {"PK|int|id"}) + cellTable("b", "B", 400, {"PK|int|id"})
                                 + cell("j1", "1", "", "ellipse;", 300, 0, 10, 10)
                                 + cell("j2", "1", "has", "rhombus;whiteSpace=wrap;", 300, 100, 60, 40)
                                 + connector("c1", "a-r0", "j1") + connector("c2", "j1", "b") + connector("c3", "a", "j2");
    QTest::newRow("junction connectors")
        << page(junctions) << QStringList{"A: id:int[P]", "B: id:int[P]"}
        << "Imported 2 entities and 0 relationships; 3 connectors do not join two tables";
    QTest::newRow("one connector left out")
        << page(junctions.left(junctions.indexOf("<mxCell id=\"c2\"")) + connector("c4", "a-r0", "b-r0"))
        << QStringList{"A: id:int[P]", "B: id:int[P]", "A -> B 0/3"}
        << "Imported 2 entities and 1 relationship; 1 connector does not join two tables";
}

void TestDrawioCommands::importReadsCellsByColumn()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QFETCH(QString, status);
    const QString path = dir.filePath(QStringLiteral("cells.drawio"));
    writeFile(path, file);
    runImport(path);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(summarizeDiagram(scene()->toJson(), false), expected);
    QCOMPARE(window->statusBar()->currentMessage(), status);

    // Every row is a column of its own in the saved model.
    DialogHooks::setSaveFileNameHook([this](QWidget*, const QString&, const QString&, const QString&) {
        return dir.filePath(QStringLiteral("cells.json"));
    });
    window->saveDiagram();
    QVERIFY(waitUntilIdle(window.get()));
    ProjectItem project;
    QVERIFY(project.loadDocumentJson(QJsonDocument::fromJson(fileContents(dir.filePath(QStringLiteral("cells.json")))).object()));
    QStringList columns;
    for (const TableItem* table : project.models().first()->tables()) {
        QStringList names;
        for (const ColumnItem* column : table->columns())
            names.append(column->name());
        columns.append(table->name() + QLatin1String(": ") + names.join(QLatin1String(" | ")));
    }
    QStringList rows;
    for (const QString& line : expected) {
        if (line.contains(QLatin1String(": "))) {
            QStringList names;
            for (const QString& attribute : line.section(QLatin1String(": "), 1).split(QLatin1String(" | ")))
                names.append(attribute.section(QLatin1Char(':'), 0, 0).section(QLatin1Char('['), 0, 0));
            rows.append(line.section(QLatin1String(": "), 0, 0) + QLatin1String(": ") + names.join(QLatin1String(" | ")));
        }
    }
    columns.sort();
    rows.sort();
    QCOMPARE(columns, rows);
}

// A failing converter's sentence reaches the user in a warning titled after
// the command, and the canvas keeps what it had.
void TestDrawioCommands::failuresWarn_data()
{
    QTest::addColumn<bool>("import");
    QTest::addColumn<QByteArray>("content"); // of the file imported; export: an entity on the canvas or not
    QTest::addColumn<QString>("warning");
    QTest::newRow("import of a missing file") << true << QByteArray() << "Import from draw.io: Could not open the draw.io file.";
    QTest::newRow("import of no diagram") << true << QByteArray("hello") << "Import from draw.io: No draw.io diagram was found in the file.";
    QTest::newRow("export of an empty diagram") << false << QByteArray() << "Export to draw.io: Could not generate a draw.io ER diagram.";
    QTest::newRow("export into a missing folder") << false << QByteArray("A") << "Export to draw.io: Could not write the draw.io file.";
}

void TestDrawioCommands::failuresWarn()
{
    QFETCH(bool, import);
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    const QJsonObject kept{{"entities", QJsonArray{QJsonObject{{"id", "kept"}, {"title", "Kept"}}}}};
    scene()->loadFromJson(import || !content.isEmpty() ? kept : QJsonObject{});
    const QString path = dir.filePath(import ? QStringLiteral("bad.drawio") : QStringLiteral("no/such/out.drawio"));
    QFile::remove(path);
    if (import && !content.isEmpty())
        writeFile(path, content);
    if (import)
        runImport(path);
    else
        runExport(path);
    QCOMPARE(warnings, QStringList{warning});
    if (import)
        QCOMPARE(summarizeDiagram(scene()->toJson(), false), QStringList{QStringLiteral("Kept: ")});
    else
        QVERIFY(!QFile::exists(path));

    // Cancelling the dialog does nothing at all.
    warnings.clear();
    import ? runImport(QString()) : runExport(QString());
    QVERIFY(warnings.isEmpty());
}

void TestDrawioCommands::exportThenImportKeepsTheDiagram()
{
    const QJsonObject diagram = QJsonDocument::fromJson(R"({"entities":[
        {"id":"c","title":"Customer & Co","x":0,"y":0,"attributes":[
            {"name":"id","type":"uuid","isPrimaryKey":true},{"name":"tags","type":"map<string,int>","isUniqueKey":true}]},
        {"id":"o","title":"Order","x":400,"y":0,"attributes":[
            {"name":"id","type":"int","isPrimaryKey":true},{"name":"customer_id","type":"uuid","isForeignKey":true,"fkEdgeId":"r"}]},
        {"id":"v","title":"Big orders","kind":"entity-view","x":400,"y":300}],
        "edges":[{"id":"r","from":"c","to":"o","startCard":2,"endCard":3,"label":"places <many>"}]})").object();
    QVERIFY(scene()->loadFromJson(diagram));
    const QStringList before = summarizeDiagram(scene()->toJson(), false);
    QVERIFY(before.contains(QStringLiteral("Customer & Co -> Order 2/3 places <many>")));

    const QString path = dir.filePath(QStringLiteral("out.drawio"));
    runExport(path);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(dialogs.value(0), QStringLiteral("Export ER Diagram to draw.io | draw.io (*.drawio);;XML (*.xml);;All files (*.*)"));

    scene()->loadFromJson(QJsonObject{});
    runImport(path);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(summarizeDiagram(scene()->toJson(), false), before);
}

QUILLMAP_TEST_MAIN(TestDrawioCommands)
#include "tst_drawiocommands.moc"
