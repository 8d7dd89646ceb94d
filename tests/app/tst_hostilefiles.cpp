// Damaged and hostile files, each a case that once crashed the application,
// lost data or moved something on every Save: Open must hold, and what Save
// writes must read back and write again to the same text. The fuzzers' finds
// join tests/data/hostile/ and are replayed here.

#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/itemdrawing.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "model/filelimits.h"
#include "model/jsonfields.h"

#include "common/mainwindowparts.h"
#include "common/readerpasses.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/testmain.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <zlib.h>

namespace {

const QString hostileDir = QStringLiteral(QUILLMAP_TEST_DATA_DIR "/hostile");

QJsonObject parse(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

// The stored diagram contents of a saved project file, by id.
QHash<QString, QJsonObject> storedDiagrams(const QByteArray& projectFile)
{
    QHash<QString, QJsonObject> byId;
    const QJsonArray diagrams = parse(projectFile).value(QStringLiteral("diagrams")).toArray();
    for (const QJsonValue& value : diagrams)
        byId.insert(value.toObject().value(QStringLiteral("id")).toString(), value.toObject());
    return byId;
}

// Files beyond the limits, written as text.
QByteArray repeated(const QByteArray& element, qint64 count)
{
    QByteArray list;
    list.reserve(count * (element.size() + 1));
    for (qint64 i = 0; i < count; ++i) {
        if (i)
            list += ',';
        list += element;
    }
    return '[' + list + ']';
}

QByteArray entityWithRows(const QByteArray& id, qint64 rows)
{
    return "{\"id\":\"" + id + "\",\"attributes\":" + repeated("{}", rows) + '}';
}

QByteArray diagramText(const QByteArray& entities, const QByteArray& edges = "[]")
{
    return "{\"type\":\"er-diagram\",\"entities\":" + entities + ",\"edges\":" + edges + '}';
}

QStringList entityTitles(const QJsonObject& diagram)
{
    QStringList titles;
    for (const QJsonValue& entity : diagram.value(QStringLiteral("entities")).toArray())
        titles << entity.toObject().value(QStringLiteral("title")).toString();
    titles.sort();
    return titles;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readersRoundTrip_data();
    void readersRoundTrip();
    void openSaveOpenSave_data();
    void openSaveOpenSave();
    void sharedDiagramIdKeepsBothContents();
    void sharedEntityIdKeepsEveryBox();
    void farItemsAreBounded();
    void hugeImportsAreRefused_data();
    void hugeImportsAreRefused();
    void hostileDrawingsImportFromImage_data();
    void hostileDrawingsImportFromImage();
    void oversizedFileIsRefused_data();
    void oversizedFileIsRefused();
    void parallelEdgesOpen();
    void longTitleIsShownCut();

private:
    void addFileRows();
    void open(const QString& path);
    void save(const QString& path);

    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    QStringList warnings;
};

void TestHostileFiles::initTestCase()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QVERIFY(dir.isValid());
    QVERIFY(!QDir(hostileDir).entryList({QStringLiteral("*.json")}, QDir::Files).isEmpty());
}

void TestHostileFiles::init()
{
    warnings.clear();
    DialogHooks::setMessageHook([this](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        warnings << title + QStringLiteral(": ") + text;
        return QMessageBox::Ok;
    });
    window = std::make_unique<MainWindow>();
    window->resize(900, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestHostileFiles::cleanup()
{
    if (window)
        QVERIFY(waitUntilIdle(window.get()));
    window.reset();
    DialogHooks::resetHooks();
}

void TestHostileFiles::addFileRows()
{
    QTest::addColumn<QString>("path");
    const QStringList files = QDir(hostileDir).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << QDir(hostileDir).filePath(file);
}

// Open, then the first repaint of the canvas.
void TestHostileFiles::open(const QString& path)
{
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    window->loadDiagram();
    QVERIFY(waitUntilIdle(window.get()));
    (void)window->grab();
}

void TestHostileFiles::save(const QString& path)
{
    DialogHooks::setSaveFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    window->saveDiagramAs();
    QVERIFY(waitUntilIdle(window.get()));
}

void TestHostileFiles::readersRoundTrip_data()
{
    addFileRows();
}

// The passes the fuzzers make: read, paint, write, read, write.
void TestHostileFiles::readersRoundTrip()
{
    QFETCH(QString, path);
    const QByteArray bytes = fileContents(path);
    const readerpasses::RoundTrip project = readerpasses::projectRoundTrip(bytes);
    if (project.read()) {
        QCOMPARE(project.second, project.first);
        return;
    }
    ERScene scene;
    const readerpasses::RoundTrip diagram = readerpasses::diagramRoundTrip(bytes, scene);
    QVERIFY(diagram.read());
    QCOMPARE(diagram.second, diagram.first);
}

void TestHostileFiles::openSaveOpenSave_data()
{
    addFileRows();
}

// Through the window, as a user would: what Save wrote after Open is what
// the next Save writes after opening that.
void TestHostileFiles::openSaveOpenSave()
{
    QFETCH(QString, path);
    const QString first = dir.filePath(QStringLiteral("first.json"));
    const QString second = dir.filePath(QStringLiteral("second.json"));
    open(path);
    save(first);
    open(first);
    save(second);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    QVERIFY(!fileContents(first).isEmpty());
    QCOMPARE(fileContents(second), fileContents(first));
}

// Two models that both hold a diagram of one id, each with its own stored
// content: both contents survive Save and reopen, each on its own diagram.
void TestHostileFiles::sharedDiagramIdKeepsBothContents()
{
    open(QDir(hostileDir).filePath(QStringLiteral("shared-diagram-id-two-contents.json")));
    const QString saved = dir.filePath(QStringLiteral("shared.json"));
    save(saved);
    open(saved);
    const QString again = dir.filePath(QStringLiteral("shared-again.json"));
    save(again);

    const QHash<QString, QJsonObject> diagrams = storedDiagrams(fileContents(again));
    QCOMPARE(diagrams.size(), 2);
    QVERIFY(diagrams.contains(QStringLiteral("d")));
    QStringList contents;
    for (const QJsonObject& diagram : diagrams)
        contents << entityTitles(diagram).join(',');
    contents.sort();
    QCOMPARE(contents, (QStringList{QStringLiteral("bins"), QStringLiteral("orders")}));

    // Each model lists exactly one of the two diagrams.
    QSet<QString> listed;
    const QJsonArray models = parse(fileContents(again)).value("data").toObject().value("models").toArray();
    for (const QJsonValue& model : models) {
        const QJsonArray own = model.toObject().value(QStringLiteral("diagrams")).toArray();
        QCOMPARE(own.size(), 1);
        listed.insert(own.at(0).toObject().value(QStringLiteral("id")).toString());
    }
    QCOMPARE(listed, QSet<QString>(diagrams.keyBegin(), diagrams.keyEnd()));
}

// Boxes sharing one id stay apart: each its own id and its own table, and
// two edges sharing one id stay two relationships.
void TestHostileFiles::sharedEntityIdKeepsEveryBox()
{
    open(QDir(hostileDir).filePath(QStringLiteral("shared-entity-id.json")));
    const QList<EntityItem*> entities = itemsOfType<EntityItem>(*canvasScene(window.get()));
    QCOMPARE(entities.size(), 3);
    QSet<QString> ids;
    for (const EntityItem* entity : entities) {
        ids.insert(entity->id());
        // The last of the array keeps the id, and the edges go to it.
        if (entity->id() == QLatin1String("t"))
            QCOMPARE(entity->title(), QStringLiteral("third"));
    }
    QCOMPARE(ids.size(), 3);
    const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(*canvasScene(window.get()));
    QCOMPARE(edges.size(), 2);
    QVERIFY(edges.at(0)->id() != edges.at(1)->id());
    for (const EdgeItem* edge : edges)
        QCOMPARE(edge->fromEntity()->title(), QStringLiteral("third"));

    const QString saved = dir.filePath(QStringLiteral("entities.json"));
    save(saved);
    const QJsonObject model =
        parse(fileContents(saved)).value("data").toObject().value("models").toArray().at(0).toObject();
    QCOMPARE(model.value(QStringLiteral("tables")).toArray().size(), 3);
    QCOMPARE(model.value(QStringLiteral("relationships")).toArray().size(), 2);
}

// Items a file puts absurdly far out are brought within the scene's bounds,
// and the grid over any exposed rectangle stays a bounded number of lines.
void TestHostileFiles::farItemsAreBounded()
{
    open(QDir(hostileDir).filePath(QStringLiteral("far-items.json")));
    ERScene* scene = canvasScene(window.get());
    const QRectF bounds = scene->itemsBoundingRect();
    QVERIFY(!bounds.isEmpty());
    const double reach = jsonfields::CoordinateLimit * 2.5;
    QVERIFY2(QRectF(-reach, -reach, 2 * reach, 2 * reach).contains(bounds),
             qPrintable(QStringLiteral("%1 %2 %3 %4").arg(bounds.x()).arg(bounds.y()).arg(bounds.width()).arg(bounds.height())));
    for (const QRectF& exposed : {bounds, QRectF(-3e9, -3e9, 6e9, 6e9), QRectF(0, 0, 1e300, 1e300)})
        QVERIFY(ERScene::gridLines(exposed).size() <= 2 * (ERScene::MaxGridLines + 1));
}

// Each import stops with one sentence and leaves the canvas as it was.
void TestHostileFiles::hugeImportsAreRefused_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("warning");

    const auto lines = [](const char* format, int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i)
            text += QByteArray(format).replace("%d", QByteArray::number(i));
        return text;
    };
    const QString mermaid = QStringLiteral("Import from Mermaid: The file is too large to open: it holds over ");
    const char* const mermaidAction = "actionImport_from_Mermaid";
    QTest::newRow("mermaid entities") << mermaidAction << "mmd" << "erDiagram\n" + lines("E%d\n", 100001)
                                      << mermaid + "100,000 entities; at most 100,000 are supported.";
    QTest::newRow("mermaid rows") << mermaidAction << "mmd" << "erDiagram\nT {\n" + lines("int c%d\n", 100001) + "}\n"
                                  << mermaid + "100,000 rows in one entity; at most 100,000 are supported.";
    QTest::newRow("mermaid relationships") << mermaidAction << "mmd" << "erDiagram\n" + lines("A ||--o{ B : x\n", 100001)
                                           << mermaid + "100,000 relationships; at most 100,000 are supported.";

    const QByteArray head = "<mxfile><diagram name=\"Big\">";
    QTest::newRow("draw.io tables")
        << "actionImport_from_Drawio" << "drawio"
        << head + "<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>"
               + lines("<mxCell id=\"t%d\" value=\"T\" style=\"shape=table;\" vertex=\"1\" parent=\"1\"/>", 100001)
               + "</root></mxGraphModel></diagram></mxfile>"
        << "Import from draw.io: The file is too large to open: it holds over 100,000 entities; at most 100,000 are "
           "supported.";
    // zlib framing: qCompress without its four-byte length.
    QTest::newRow("draw.io page inflating past 64 MiB")
        << "actionImport_from_Drawio" << "drawio"
        << head + qCompress(QByteArray(65 * 1024 * 1024, ' ')).mid(4).toBase64() + "</diagram></mxfile>"
        << "Import from draw.io: The file is too large to open: page \"Big\" holds over 64 MiB once inflated; at most "
           "64 MiB are supported.";
    // Each page within its own limit, all of them beyond the file's.
    QByteArray pages = "<mxfile>";
    const QByteArray blank = qCompress(QByteArray(60 * 1024 * 1024, ' ')).mid(4).toBase64();
    for (int i = 0; i < 5; ++i)
        pages += "<diagram name=\"P\">" + blank + "</diagram>";
    QTest::newRow("draw.io pages inflating past 256 MiB together")
        << "actionImport_from_Drawio" << "drawio" << pages + "</mxfile>"
        << "Import from draw.io: The file is too large to open: its pages hold over 256 MiB once inflated; at most "
           "256 MiB are supported.";
    // Pipes and devices are refused unopened: opening a pipe waits for ever.
    const QString notRegular = QStringLiteral(" is not a regular file (it is a device, a pipe or a socket); only "
                                              "regular files are read and written.");
    QTest::newRow("FIFO as Mermaid") << mermaidAction << "mmd" << QByteArray("fifo") << "Import from Mermaid: " + notRegular;
    QTest::newRow("FIFO as draw.io") << "actionImport_from_Drawio" << "drawio" << QByteArray("fifo")
                                     << "Import from draw.io: " + notRegular;
    QTest::newRow("FIFO as image") << "actionImport_from_Image" << "png" << QByteArray("fifo")
                                   << "Import from Image: " + notRegular;
    QTest::newRow("/dev/zero as Mermaid") << mermaidAction << "mmd" << QByteArray("/dev/zero")
                                          << "Import from Mermaid: " + notRegular;
    // A PNG whose header says 60,000 x 60,000 pixels: refused by its size,
    // with the sentence that says so, before anything is decoded.
    const auto chunk = [](const QByteArray& type, const QByteArray& data) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << quint32(data.size());
        const QByteArray body = type + data;
        out.writeRawData(body.constData(), int(body.size()));
        out << quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size())));
        return bytes;
    };
    QByteArray header;
    QDataStream dimensions(&header, QIODevice::WriteOnly);
    dimensions << quint32(60000) << quint32(60000) << quint8(8) << quint8(6) << quint8(0) << quint8(0) << quint8(0);
    QTest::newRow("PNG of 60,000 x 60,000 pixels")
        << "actionImport_from_Image" << "png"
        << QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
               + chunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + chunk("IEND", QByteArray())
        << "Import from Image: The image is too large to read: 60000 x 60000 pixels, 13733 MB when decoded (at "
           "most 256 MB).";
}

void TestHostileFiles::hugeImportsAreRefused()
{
    QFETCH(QString, action);
    QFETCH(QString, suffix);
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    DialogHooks::setMessageHook([this](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        if (title == QLatin1String("Unsaved Changes"))
            return QMessageBox::Discard;
        warnings << title + QStringLiteral(": ") + text;
        return QMessageBox::Ok;
    });
    ERScene* scene = canvasScene(window.get());
    scene->loadFromJson(QJsonObject{{"entities", QJsonArray{QJsonObject{{"id", "kept"}, {"title", "Kept"}}}}});
    QString path = dir.filePath(QStringLiteral("huge.") + suffix);
    if (content == "/dev/zero") {
        path = QString::fromLatin1(content);
    } else if (content == "fifo") {
        QFile::remove(path);
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else {
        // An earlier row may have left a FIFO of the same name.
        QFile::remove(path);
        writeFile(path, content);
    }
    if (warning.startsWith(QLatin1String("Import from")) && warning.contains(QLatin1String(" is not a regular")))
        warning.insert(warning.indexOf(QLatin1String(": ")) + 2, path);
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    windowAction(window.get(), qPrintable(action))->trigger();
    QVERIFY(waitUntilIdle(window.get(), 60000));
    QCOMPARE(warnings, QStringList{warning});
    QCOMPARE(entityTitles(scene->toJson()), QStringList{QStringLiteral("Kept")});
}

// Drawings shaped to exhaust memory or to make the renderer open files
// outside them are read within bounds: a box with readable text imports as
// one table, boxes without any are refused with the reason.
void TestHostileFiles::hostileDrawingsImportFromImage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("entities");
    const QByteArray box = "<rect x=\"10\" y=\"10\" width=\"120\" height=\"60\" fill=\"none\" stroke=\"#000\"/>"
                           "<text x=\"20\" y=\"30\">Order</text><text x=\"20\" y=\"50\">id int</text>";
    QTest::newRow("rect of 1e10") << QByteArray("<rect width=\"1e10\" height=\"1e10\" fill=\"none\" stroke=\"#000\"/>") << 0;
    QTest::newRow("rect of 1e300 far out")
        << QByteArray("<rect x=\"-1e300\" y=\"-1e300\" width=\"1e300\" height=\"1e300\"/>") + box << 1;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 || QFileInfo::exists(fifo));
    QByteArray images;
    for (const QByteArray& target : {QFile::encodeName(fifo), QByteArray("/dev/zero"), QByteArray("/etc/passwd"),
                                     QByteArray("http://127.0.0.1:9/x.png")})
        images += "<image x=\"200\" y=\"10\" width=\"50\" height=\"50\" href=\"" + target + "\"/><image xlink:href=\""
            + target + "\" width=\"50\" height=\"50\"/><use xlink:href=\"" + target + "#x\"/>";
    QByteArray bands = "<rect width=\"300\" height=\"200\" fill=\"none\" stroke=\"#000\"/>";
    for (int i = 0; i < 50000; ++i)
        bands += "<rect x=\"5\" y=\"" + QByteArray::number(30 + i % 150) + "\" width=\"290\" height=\"10\"/>";
    QTest::newRow("50,000 row bands in one box") << bands << 0;
    // A box without text: its title is looked for in a rendering.
    QTest::newRow("images of a FIFO, a device, a file and a URL")
        << images + "<rect x=\"10\" y=\"10\" width=\"120\" height=\"60\" fill=\"none\" stroke=\"#000\"/>" << 0;
}

void TestHostileFiles::hostileDrawingsImportFromImage()
{
    QFETCH(QByteArray, body);
    QFETCH(int, entities);
    const QString path = dir.filePath(QStringLiteral("%1.svg").arg(QTest::currentDataTag()).replace(' ', '-'));
    writeFile(path, "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"400\" "
                    "height=\"300\">" + body + "</svg>");
    DialogHooks::setOpenFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    const int before = int(itemsOfType<EntityItem>(*canvasScene(window.get())).size());
    windowAction(window.get(), "actionImport_from_Image")->trigger();
    QVERIFY(waitUntilIdle(window.get(), 60000));
    if (entities > 0) {
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
        QCOMPARE(itemsOfType<EntityItem>(*canvasScene(window.get())).size(), entities);
    } else {
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().endsWith("does not look like a diagram."), qPrintable(warnings.first()));
        QCOMPARE(itemsOfType<EntityItem>(*canvasScene(window.get())).size(), before);
    }
}

void TestHostileFiles::oversizedFileIsRefused_data()
{
    using namespace filelimits;
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("bytes") << QByteArray("sparse") << tooLargeText(Measure::FileBytes, MaxFileBytes + 1);
    QTest::newRow("entities") << diagramText(repeated("{}", MaxEntities + 1))
                              << tooLargeText(Measure::Entities, MaxEntities + 1);
    QTest::newRow("rows of one entity") << diagramText('[' + entityWithRows("a", MaxRowsPerEntity + 1) + ']')
                                        << tooLargeText(Measure::RowsInEntity, MaxRowsPerEntity + 1);
    // Each entity within its own limit, all of them beyond the total.
    const qint64 full = MaxRows / MaxRowsPerEntity + 1;
    QTest::newRow("rows in all") << diagramText(repeated(entityWithRows("b", MaxRowsPerEntity), full))
                                 << tooLargeText(Measure::Rows, full * MaxRowsPerEntity);
    QTest::newRow("edges") << diagramText(repeated(entityWithRows("c", 1), 2),
                                          repeated("{\"from\":\"c\",\"to\":\"c\"}", MaxEdges + 1))
                           << tooLargeText(Measure::Edges, MaxEdges + 1);
    QTest::newRow("annotations") << QByteArray("{\"annotations\":" + repeated("{\"kind\":\"text-item\"}", MaxAnnotations + 1)
                                               + '}')
                                 << tooLargeText(Measure::Annotations, MaxAnnotations + 1);
    QTest::newRow("project columns")
        << QByteArray("{\"type\":\"quill-project\",\"data\":{\"models\":[{\"tables\":[{\"columns\":"
                      + repeated("{}", MaxRowsPerEntity + 1) + "}]}]}}")
        << tooLargeText(Measure::RowsInEntity, MaxRowsPerEntity + 1);
    QTest::newRow("project diagram")
        << QByteArray("{\"type\":\"quill-project\",\"data\":{},\"diagrams\":[{\"id\":\"d\",\"entities\":"
                      + repeated("{}", MaxEntities + 1) + "}]}")
        << tooLargeText(Measure::Entities, MaxEntities + 1);
}

// A refused file leaves the open project and its Save path as they were.
void TestHostileFiles::oversizedFileIsRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    open(QDir(hostileDir).filePath(QStringLiteral("shared-entity-id.json")));
    const QString before = dir.filePath(QStringLiteral("before.json"));
    save(before);
    warnings.clear();

    const QString hostile = dir.filePath(QStringLiteral("oversized.json"));
    if (file == "sparse") {
        QFile sparse(hostile);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(filelimits::MaxFileBytes + 1));
    } else {
        writeFile(hostile, file);
    }
    open(hostile);
    QCOMPARE(warnings, QStringList(QStringLiteral("Open: ") + message));
    QCOMPARE(canvasScene(window.get())->currentFilePath(), before);

    const QString after = dir.filePath(QStringLiteral("after.json"));
    save(after);
    QCOMPARE(fileContents(after), fileContents(before));
}

// Parallel relationships each get slots of their own; the next Open clears them.
void TestHostileFiles::parallelEdgesOpen()
{
    const int count = 3000;
    const QString path = dir.filePath(QStringLiteral("parallel.json"));
    writeFile(path, diagramText("[{\"id\":\"a\",\"x\":0},{\"id\":\"b\",\"x\":600}]",
                                repeated("{\"from\":\"a\",\"to\":\"b\"}", count)));
    open(path);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(*canvasScene(window.get()));
    QCOMPARE(edges.size(), count);
    QSet<const SlotItem*> ends;
    for (const EdgeItem* edge : edges) {
        QVERIFY(edge->fromSlot() && edge->toSlot());
        ends << edge->fromSlot() << edge->toSlot();
    }
    QCOMPARE(ends.size(), 2 * count);
    // Lines that cover the diagram thousands of times over are painted and
    // clicked without the item index, which would file each of them in
    // nearly every cell; what lies under a point is still found.
    ERScene* scene = canvasScene(window.get());
    QCOMPARE(scene->itemIndexMethod(), QGraphicsScene::NoIndex);
    EntityItem* entity = edges.first()->toEntity();
    QVERIFY(scene->items(entity->sceneBoundingRect().center()).contains(entity));

    open(QDir(hostileDir).filePath(QStringLiteral("shared-entity-id.json")));
    QCOMPARE(itemsOfType<EdgeItem>(*canvasScene(window.get())).size(), 2);
    QCOMPARE(canvasScene(window.get())->itemIndexMethod(), QGraphicsScene::BspTreeIndex);
}


// A title far longer than a line shows (a paste brings it) stays whole, but
// the canvas lays out and outlines only what a line shows: the box keeps a
// bounded width, and the exported glyphs are those of the cut line.
void TestHostileFiles::longTitleIsShownCut()
{
    ERScene* scene = canvasScene(window.get());
    EntityItem* entity = scene->addTableAt(QPointF(0, 0));
    const QString title(200000, QLatin1Char('N'));
    entity->setTitle(title);
    QCOMPARE(entity->title(), title);
    QVERIFY2(entity->sceneBoundingRect().width() < ShownLineCharacters * 30,
             qPrintable(QString::number(entity->sceneBoundingRect().width())));
    const QString path = dir.filePath(QStringLiteral("long-title.svg"));
    DialogHooks::setSaveFileNameHook([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
    windowAction(window.get(), "actionExport_to_SVG")->trigger();
    QVERIFY(waitUntilIdle(window.get()));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY2(QFileInfo(path).size() < 4 * 1024 * 1024, qPrintable(QString::number(QFileInfo(path).size())));
}

QUILLMAP_TEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
