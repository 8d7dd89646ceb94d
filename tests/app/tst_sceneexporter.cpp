#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/sceneexporter.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include "common/mainwindowparts.h"
#include "common/testfiles.h"
#include "readonlydir.h"

#include <QFile>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsRectItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

namespace {

// Remembers what the world looked like while the exporter painted it.
class Probe : public QGraphicsRectItem
{
public:
    explicit Probe(ERScene* scene, QGraphicsItem* watched)
        : QGraphicsRectItem(0, 0, 10, 10)
        , m_scene(scene)
        , m_watched(watched)
    {
    }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        painted = true;
        theme = ThemeManager::instance().kind();
        grid = m_scene->isGridVisible();
        customBackground = m_scene->hasCustomBackground();
        background = m_scene->customBackgroundColor();
        watchedSelected = m_watched->isSelected();
        watchedGlows = m_watched->graphicsEffect() != nullptr;
        QGraphicsRectItem::paint(painter, option, widget);
    }

    bool painted = false;
    ThemeKind theme = ThemeKind::Dark;
    bool grid = true;
    bool customBackground = false;
    QColor background;
    bool watchedSelected = true;
    bool watchedGlows = true;

private:
    ERScene* m_scene;
    QGraphicsItem* m_watched;
};

// The first page's media box of a PDF, in points.
QSizeF mediaBox(const QByteArray& pdf)
{
    static const QRegularExpression re(QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(pdf));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// Width and height attributes of the root element of an SVG drawing.
QPair<QString, QString> svgSize(const QByteArray& svg)
{
    QXmlStreamReader xml(svg);
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("svg"))
            return {xml.attributes().value(QStringLiteral("width")).toString(),
                    xml.attributes().value(QStringLiteral("height")).toString()};
    }
    return {};
}

// One row for each export format: "pdf" true, "svg" false.
void addFormatRows()
{
    QTest::addColumn<bool>("pdf");
    QTest::newRow("pdf") << true;
    QTest::newRow("svg") << false;
}

} // namespace

class TestSceneExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void pdfPageOrientation_data();
    void pdfPageOrientation();
    void pdfOfEmptyScene();
    void svgSizeIsBoundsPlusMargin();
    void svgOfEmptyScene();
    void exportLookAndRestore_data();
    void exportLookAndRestore();
    void failureRestoresEverything_data();
    void failureRestoresEverything();
    void noSceneIsRefused();
    void commandsWriteOrWarn_data();
    void commandsWriteOrWarn();
    void rowsReachedFirstExportAlike();

private:
    QTemporaryDir dir;
};

void TestSceneExporter::initTestCase()
{
    setUpApplication();
    QVERIFY(dir.isValid());
}

void TestSceneExporter::cleanup()
{
    DialogHooks::resetHooks();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestSceneExporter::pdfPageOrientation_data()
{
    QTest::addColumn<QPointF>("second");
    QTest::addColumn<bool>("landscape");
    QTest::newRow("wide") << QPointF(900, 0) << true;
    QTest::newRow("tall") << QPointF(0, 900) << false;
    QTest::newRow("square") << QPointF(0, 0) << false;
}

void TestSceneExporter::pdfPageOrientation()
{
    QFETCH(QPointF, second);
    QFETCH(bool, landscape);
    ERScene scene;
    EntityItem* a = scene.addTableAt(QPointF(0, 0));
    if (second != QPointF(0, 0)) {
        scene.addTableAt(second);
    } else {
        // A square diagram: a box exactly as high as wide.
        const QRectF r = a->sceneBoundingRect();
        scene.addRect(QRectF(r.left(), r.top(), r.width(), r.width()));
    }
    const QString path = dir.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
    QString error;
    QVERIFY2(SceneExporter::exportToPdf(&scene, path, &error), qPrintable(error));
    const QByteArray pdf = fileContents(path);
    QVERIFY(pdf.startsWith("%PDF-"));
    // A2 is 420 x 594 mm, i.e. 1190.55 x 1683.78 points.
    const QSizeF box = mediaBox(pdf);
    QVERIFY2(box.isValid(), pdf.left(400).constData());
    const QSizeF expected = landscape ? QSizeF(1683.78, 1190.55) : QSizeF(1190.55, 1683.78);
    QVERIFY2(std::abs(box.width() - expected.width()) < 1.5 && std::abs(box.height() - expected.height()) < 1.5,
             qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
}

void TestSceneExporter::pdfOfEmptyScene()
{
    ERScene scene;
    QCOMPARE(SceneExporter::pdfSourceRect(&scene), QRectF(-80, -80, 160, 160));
    const QString path = dir.filePath(QStringLiteral("empty.pdf"));
    QVERIFY(SceneExporter::exportToPdf(&scene, path));
    QCOMPARE(mediaBox(fileContents(path)).width() < mediaBox(fileContents(path)).height(), true);
}

void TestSceneExporter::svgSizeIsBoundsPlusMargin()
{
    ERScene scene;
    scene.addTableAt(QPointF(10, 20));
    scene.addViewAt(QPointF(400, 300));
    const QRectF source = scene.itemsBoundingRect().adjusted(-80, -80, 80, 80);
    QCOMPARE(SceneExporter::svgSourceRect(&scene), source);

    const QString path = dir.filePath(QStringLiteral("two.svg"));
    QString error;
    QVERIFY2(SceneExporter::exportToSvg(&scene, path, &error), qPrintable(error));
    const QByteArray svg = fileContents(path);
    const auto size = svgSize(svg);
    // At 96 dpi a pixel is 0.2646 mm; the generator writes millimetres.
    const double widthMm = size.first.chopped(2).toDouble();
    const double heightMm = size.second.chopped(2).toDouble();
    QVERIFY2(size.first.endsWith(QLatin1String("mm")), qPrintable(size.first));
    QVERIFY(std::abs(widthMm / 25.4 * 96 - std::round(source.width())) < 1.0);
    QVERIFY(std::abs(heightMm / 25.4 * 96 - std::round(source.height())) < 1.0);
    QVERIFY(svg.contains("<title>ER Diagram</title>"));
    QVERIFY(svg.contains("<desc>Exported ER Diagram</desc>"));
    // Text is drawn as glyph outlines, never as text elements.
    QVERIFY(!svg.contains("<text"));

    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF().size(), source.size());
}

void TestSceneExporter::svgOfEmptyScene()
{
    ERScene scene;
    QCOMPARE(SceneExporter::svgSourceRect(&scene), QRectF(0, 0, 800, 600));
    QString error;
    const QByteArray svg = SceneExporter::renderSvg(&scene, &error);
    QVERIFY2(!svg.isEmpty(), qPrintable(error));
    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 800, 600));
}

void TestSceneExporter::exportLookAndRestore_data()
{
    addFormatRows();
}

void TestSceneExporter::exportLookAndRestore()
{
    QFETCH(bool, pdf);
    ThemeManager& theme = ThemeManager::instance();
    theme.setTheme(ThemeKind::Dark);
    const ThemeColors darkColors = theme.colors();

    ERScene scene;
    ERView view(&scene);
    EntityItem* entity = scene.addTableAt(QPointF(0, 0));
    entity->setSelected(true);
    QTRY_VERIFY(entity->graphicsEffect() != nullptr); // glowing
    auto* probe = new Probe(&scene, entity);
    probe->setPos(200, 0);
    scene.addItem(probe);
    QSignalSpy selectionSpy(&scene, &QGraphicsScene::selectionChanged);

    QString error;
    const QByteArray bytes = pdf ? SceneExporter::renderPdf(&scene, &error) : SceneExporter::renderSvg(&scene, &error);
    QVERIFY2(!bytes.isEmpty(), qPrintable(error));

    QVERIFY(probe->painted);
    QCOMPARE(probe->theme, ThemeKind::Light);
    QVERIFY(!probe->grid);
    QVERIFY(probe->customBackground);
    QCOMPARE(probe->background, QColor(Qt::white));
    QVERIFY(!probe->watchedSelected);
    QVERIFY(!probe->watchedGlows);

    // Afterwards everything is as it was.
    QCOMPARE(theme.kind(), ThemeKind::Dark);
    QCOMPARE(theme.colors(), darkColors);
    QVERIFY(scene.isGridVisible());
    QVERIFY(!scene.hasCustomBackground());
    QVERIFY(entity->isSelected());
    QCOMPARE(selectionSpy.count(), 0);
    QTRY_VERIFY(entity->graphicsEffect() != nullptr); // the glow comes back
}

void TestSceneExporter::failureRestoresEverything_data()
{
    addFormatRows();
}

void TestSceneExporter::failureRestoresEverything()
{
    QFETCH(bool, pdf);
    ThemeManager& theme = ThemeManager::instance();
    theme.setTheme(ThemeKind::Dark);
    ERScene scene;
    EntityItem* entity = scene.addTableAt(QPointF(0, 0));
    entity->setSelected(true);
    scene.setCustomBackgroundColor(QColor(Qt::red));

    QTemporaryDir locked;
    const QString path = locked.filePath(pdf ? QStringLiteral("out.pdf") : QStringLiteral("out.svg"));
    writeFile(path, "previous export");
    ReadOnlyDir readOnly(locked.path());
    if (!readOnly.ok())
        QSKIP("this machine cannot make a directory read-only");

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot save file:")));
    QString error;
    const bool ok = pdf ? SceneExporter::exportToPdf(&scene, path, &error)
                        : SceneExporter::exportToSvg(&scene, path, &error);
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(fileContents(path), QByteArray("previous export"));
    QCOMPARE(theme.kind(), ThemeKind::Dark);
    QVERIFY(scene.isGridVisible());
    QVERIFY(!scene.hasCustomBackground());
    QCOMPARE(scene.customBackgroundColor(), QColor(Qt::red));
    QVERIFY(entity->isSelected());
}

void TestSceneExporter::noSceneIsRefused()
{
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QString error;
    QVERIFY(!SceneExporter::exportToPdf(nullptr, dir.filePath(QStringLiteral("none.pdf")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!SceneExporter::exportToSvg(nullptr, dir.filePath(QStringLiteral("none.svg"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.pdf"))));
    QCOMPARE(ThemeManager::instance().kind(), ThemeKind::Dark);
}

void TestSceneExporter::commandsWriteOrWarn_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<bool>("writable");
    QTest::newRow("pdf") << true << true;
    QTest::newRow("svg") << false << true;
    QTest::newRow("pdf into a missing folder") << true << false;
    QTest::newRow("svg into a missing folder") << false << false;
}

void TestSceneExporter::commandsWriteOrWarn()
{
    QFETCH(bool, pdf);
    QFETCH(bool, writable);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* scene = canvasScene(&window);
    scene->addTableAt(QPointF(0, 0));
    window.on_actionToggle_Theme_triggered(); // dark

    const QString path = writable ? dir.filePath(QStringLiteral("cmd.%1").arg(pdf ? "pdf" : "svg"))
                                  : dir.filePath(QStringLiteral("missing/cmd.out"));
    QFile::remove(path);
    QString caption;
    QString filter;
    DialogHooks::setSaveFileNameHook([&](QWidget*, const QString& c, const QString&, const QString& f) {
        caption = c;
        filter = f;
        return path;
    });
    QStringList titles;
    DialogHooks::setMessageHook([&titles](QMessageBox::Icon, QWidget*, const QString& title, const QString&,
                                          QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        titles << title;
        return QMessageBox::Ok;
    });
    if (!writable)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot save file:")));
    if (!writable)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Export to (PDF|SVG) failed:")));
    if (pdf)
        window.on_actionExport_to_PDF_triggered();
    else
        window.on_actionExport_to_SVG_triggered();
    QVERIFY(waitUntilIdle(&window));

    QCOMPARE(caption, pdf ? QStringLiteral("Export Diagram to PDF") : QStringLiteral("Export Diagram to SVG"));
    QCOMPARE(filter, pdf ? QStringLiteral("PDF Files (*.pdf)") : QStringLiteral("SVG Files (*.svg)"));
    if (writable) {
        QVERIFY(titles.isEmpty());
        QVERIFY(fileContents(path).startsWith(pdf ? "%PDF-" : "<?xml"));
    } else {
        QCOMPARE(titles, QStringList{pdf ? QStringLiteral("Export to PDF") : QStringLiteral("Export to SVG")});
        QVERIFY(!QFile::exists(path));
    }
    QCOMPARE(ThemeManager::instance().kind(), ThemeKind::Dark);
}

// Rows get their labels when the user first reaches them, in any order; an
// export draws the rows as if every label had been there from the start.
void TestSceneExporter::rowsReachedFirstExportAlike()
{
    const QJsonObject diagram = testDataJson(QStringLiteral("diagram/golden_diagram.json")).object();
    ERScene untouched;
    ERScene reached;
    untouched.loadFromJson(diagram);
    reached.loadFromJson(diagram);
    int rowsReached = 0;
    for (EntityItem* entity : reached.entityItems()) {
        // The last row first, then the first: made against row order.
        for (int row : {entity->attributeCount() - 1, 0}) {
            if (row >= 0 && entity->nameLabel(row))
                ++rowsReached;
        }
    }
    QVERIFY(rowsReached > 4);
    const QByteArray svg = SceneExporter::renderSvg(&untouched);
    QVERIFY(svg.contains("<path"));
    QCOMPARE(SceneExporter::renderSvg(&reached), svg);
    QCOMPARE(SceneExporter::renderSvg(&untouched), svg);
}

QUILLMAP_TEST_MAIN(TestSceneExporter)
#include "tst_sceneexporter.moc"
