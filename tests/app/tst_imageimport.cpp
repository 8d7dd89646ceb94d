// File > Import from Image: the file asked for, recognition behind the busy
// indicator, the new project named after the file and without a file of
// its own, and the fixed warning when nothing could be read.

#include "common/testmain.h"
#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QStringList messages;
QtMessageHandler previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    messages.append(text);
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, text);
}

const char drawing[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"600\" height=\"300\">"
    "<rect x=\"20\" y=\"20\" width=\"180\" height=\"100\" fill=\"none\" stroke=\"#000\"/>"
    "<text x=\"30\" y=\"40\">Customer</text><text x=\"30\" y=\"70\">id : uuid</text>"
    "<rect x=\"380\" y=\"20\" width=\"180\" height=\"100\" fill=\"none\" stroke=\"#000\"/>"
    "<text x=\"390\" y=\"40\">Orders</text><text x=\"390\" y=\"70\">customer_id : uuid</text>"
    "<line x1=\"200\" y1=\"70\" x2=\"380\" y2=\"70\" stroke=\"#000\"/></svg>";

// Two tables: one whose title reads as a row of strokes, one row without
// a type.
const char guessedDrawing[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"600\" height=\"300\">"
    "<rect x=\"20\" y=\"20\" width=\"180\" height=\"100\" fill=\"none\" stroke=\"#000\"/>"
    "<text x=\"30\" y=\"40\">IIII</text><text x=\"30\" y=\"70\">id : uuid</text>"
    "<rect x=\"380\" y=\"20\" width=\"180\" height=\"100\" fill=\"none\" stroke=\"#000\"/>"
    "<text x=\"390\" y=\"40\">Orders</text><text x=\"390\" y=\"70\">note</text>"
    "<line x1=\"200\" y1=\"70\" x2=\"380\" y2=\"70\" stroke=\"#000\"/></svg>";

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A photograph-like picture: blotches of colour under grain.
QByteArray photo()
{
    QImage image(640, 480, QImage::Format_RGB32);
    QRandomGenerator random(7);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(120, 140, 90));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromRgb(random.bounded(0xffffff)));
        painter.drawEllipse(QPointF(random.bounded(640), random.bounded(480)), 10 + random.bounded(80), 10 + random.bounded(60));
    }
    for (int i = 0; i < 40000; ++i) {
        painter.setPen(QColor::fromRgb(random.bounded(0xffffff)));
        painter.drawPoint(random.bounded(640), random.bounded(480));
    }
    painter.end();
    return png(image);
}

// Outlines on white with a caption: empty tiles, or one frame round the
// whole picture.
QByteArray outlines(const QList<QRectF>& rects, const QString& caption = QString())
{
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRects(rects);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(18);
    painter.setFont(font);
    painter.drawText(QPointF(30, 40), caption);
    return png(image);
}

} // namespace

class TestImageImport : public QObject
{
    Q_OBJECT
    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    QString chosenFile;
    QStringList captions, filters, warningTitles, warningTexts;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }

    void runCommand()
    {
        windowAction(window.get(), "actionImport_from_Image")->trigger();
        QVERIFY(waitUntilIdle(window.get(), 60000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        setUpApplication();
        ThemeManager::instance().setTheme(ThemeKind::Light);
        previousHandler = qInstallMessageHandler(recordMessage);
        QVERIFY(dir.isValid());
    }

    void init()
    {
        messages.clear();
        captions.clear();
        filters.clear();
        warningTitles.clear();
        warningTexts.clear();
        DialogHooks::setOpenFileNameHook([this](QWidget*, const QString& caption, const QString&, const QString& filter) {
            captions << caption;
            filters << filter;
            return chosenFile;
        });
        DialogHooks::setMessageHook([this](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                           QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            warningTitles << title;
            warningTexts << text;
            return QMessageBox::Ok;
        });
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        window.reset();
        DialogHooks::setOpenFileNameHook({});
        DialogHooks::setMessageHook({});
    }

    void importsADrawingAsANewProject()
    {
        chosenFile = writeFile(QStringLiteral("shop diagram.final.svg"), drawing);
        runCommand();
        QCOMPARE(captions, QStringList{"Import ER Diagram from Image"});
        QVERIFY(filters.value(0).startsWith("Images (*.png *.jpg *.jpeg *.bmp *.svg *.svgz)"));
        QVERIFY(warningTitles.isEmpty());
        ERScene* scene = canvasScene(window.get());
        QCOMPARE(scene->entityItems().size(), 2);
        QCOMPARE(itemsOfType<EdgeItem>(*scene).size(), 1);
        QCOMPARE(window->findChild<QLineEdit*>("editProjectName")->text(), QString("shop diagram.final"));
        QCOMPARE(window->findChild<QLabel*>("labelFileName")->text(), QString("No file"));
        QVERIFY(scene->currentFilePath().isEmpty());
        QVERIFY(scene->sceneRect().contains(scene->itemsBoundingRect()));
        QCOMPARE(window->statusBar()->currentMessage(), QString("Recognised 2 tables and 1 relationship."));
    }

    // Made-up titles and types are told, not passed off as read; a picture
    // of one table cut close is a diagram.
    void statusTellsWhatWasRead_data()
    {
        QTest::addColumn<QByteArray>("drawing");
        QTest::addColumn<int>("tables");
        QTest::addColumn<QString>("status");
        QTest::newRow("a title and a type made up")
            << QByteArray(guessedDrawing) << 2
            << "Recognised 2 tables and 1 relationship; 1 title and 1 type could not be read.";
        QTest::newRow("one table filling the picture")
            << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
                          "<rect x=\"1\" y=\"1\" width=\"198\" height=\"98\" fill=\"none\" stroke=\"#000\"/>"
                          "<text x=\"8\" y=\"20\">Customer</text><text x=\"8\" y=\"50\">id : uuid</text>"
                          "<text x=\"8\" y=\"80\">name : text</text></svg>")
            << 1 << "Recognised 1 table and 0 relationships.";
    }
    void statusTellsWhatWasRead()
    {
        QFETCH(QByteArray, drawing);
        chosenFile = writeFile(QStringLiteral("read.svg"), drawing);
        runCommand();
        QVERIFY2(warningTitles.isEmpty(), qPrintable(warningTexts.join('\n')));
        QTEST(int(canvasScene(window.get())->entityItems().size()), "tables");
        QTEST(window->statusBar()->currentMessage(), "status");
    }

    void picturesWithoutADiagramWarn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("logged");
        QTest::newRow("not a picture") << "notes.png" << QByteArray("plain text") << "Could not load the image.";
        QTest::newRow("no shapes") << "empty.svg" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"/>")
                                   << "Could not read shapes from the SVG.";
        QTest::newRow("photograph") << "photo.png" << photo() << "No rectangular entities were found in the image.";
        QTest::newRow("empty boxes") << "tiles.png"
                                     << outlines({{40, 60, 220, 130}, {320, 60, 220, 130}, {40, 240, 220, 130}})
                                     << "No box with readable text was found, so the picture does not look like a diagram.";
        QTest::newRow("one frame") << "frame.png" << outlines({{4, 4, 592, 392}}, "summer_holiday")
                                   << "The only box found covers the whole picture, so it does not look like a diagram.";
    }
    void picturesWithoutADiagramWarn()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, logged);
        const int entitiesBefore = canvasScene(window.get())->entityItems().size();
        const QString projectBefore = window->findChild<QLineEdit*>("editProjectName")->text();
        chosenFile = writeFile(name, bytes);
        runCommand();
        QCOMPARE(warningTitles, QStringList{"Import from Image"});
        QVERIFY(warningTexts.value(0).startsWith("Could not interpret an ER diagram in the selected image.\n"));
        QVERIFY2(warningTexts.value(0).endsWith(logged), qPrintable(warningTexts.value(0)));
        bool found = false;
        for (const QString& m : qAsConst(messages))
            found |= m.startsWith("Image import failed:") && m.contains(logged);
        QVERIFY(found);
        QCOMPARE(canvasScene(window.get())->entityItems().size(), entitiesBefore);
        QCOMPARE(window->findChild<QLineEdit*>("editProjectName")->text(), projectBefore);
    }

    void cancelledDialogDoesNothing()
    {
        chosenFile.clear();
        windowAction(window.get(), "actionImport_from_Image")->trigger();
        QVERIFY(waitUntilIdle(window.get()));
        QCOMPARE(captions.size(), 1);
        QVERIFY(warningTitles.isEmpty());
    }
};

QUILLMAP_TEST_MAIN(TestImageImport)
#include "tst_imageimport.moc"
