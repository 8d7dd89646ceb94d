// Recognition of diagrams in raster pictures: pictures painted here in
// several faces, sizes and looks, real renders made by other tools, tiny
// thumbnails, huge pictures and files that are no pictures.

#include "common/testmain.h"
#include "diagrampainter.h"
#include "recognitionscore.h"

#include "recognition/diagramrecognition.h"
#include "recognition/glyphrecognition.h"
#include "recognition/rasterrecognition.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

QList<ExpectedEntity> expectedEntities(const PaintedDiagram& painted, double scale = 1.0)
{
    QList<ExpectedEntity> expected;
    for (const PaintedEntity& e : painted.entities) {
        QStringList names;
        for (const QString& row : e.rows)
            names.append(row.section(QLatin1Char(' '), 0, 0));
        const QRectF box(e.box.x() * scale, e.box.y() * scale, e.box.width() * scale, e.box.height() * scale);
        expected.append({e.title, names, box});
    }
    return expected;
}

QString dataFile(const QString& name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/recognition/") + name;
}

void readNames(const RecognizedDiagram& diagram, QStringList& titles, QStringList& attributes)
{
    for (const RecognizedEntity& entity : diagram.entities) {
        titles.append(entity.title);
        for (const RecognizedAttribute& attribute : entity.attributes)
            attributes.append(attribute.name);
    }
}

// How many of the titles and attribute names a reading holds; each name read
// counts once.
QPair<int, int> namesFound(const RecognizedDiagram& reading, const QStringList& titles, const QStringList& attributes)
{
    QStringList readTitles, readAttributes;
    readNames(reading, readTitles, readAttributes);
    int gotTitles = 0, gotAttributes = 0;
    for (const QString& title : titles)
        gotTitles += readTitles.contains(title);
    for (const QString& name : attributes)
        gotAttributes += readAttributes.removeOne(name);
    return {gotTitles, gotAttributes};
}

// Boxes outlined with a 2 px black pen on white, the connectors drawn
// before them by `draw` (with that pen set), then read.
RecognizedDiagram recognizeDrawing(QSize size, const QList<QRect>& boxes, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 2));
        draw(p);
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        for (const QRect& r : boxes)
            p.drawRect(r);
    }
    RecognizedDiagram result;
    recognizeRasterDiagram(image, result, {QStringLiteral("Liberation Sans")});
    return result;
}

} // namespace

class TestRasterRecognition : public QObject
{
    Q_OBJECT
    QStringList embedded;
    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase()
    {
        embedded = registerEmbeddedFonts();
        QCOMPARE(embedded.size(), 3);
        QVERIFY(dir.isValid());
    }

    void paintedDiagrams_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("antialias");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("gaps");
        QTest::addColumn<QString>("format");
        // Names read exactly right (6 titles and 16 attribute names in all)
        // as reached so far; they must not go down.
        QTest::addColumn<int>("namesRight");
        const QString sans = QStringLiteral("Liberation Sans");
        QTest::newRow("sans 11") << sans << 11 << true << false << false << "png" << 5;
        QTest::newRow("sans 14") << sans << 14 << true << false << false << "png" << 14;
        QTest::newRow("sans 20") << sans << 20 << true << false << false << "png" << 21;
        QTest::newRow("sans 16 aliased") << sans << 16 << false << false << false << "bmp" << 17;
        QTest::newRow("sans 16 jpeg") << sans << 16 << true << false << false << "jpg" << 19;
        QTest::newRow("sans 16 dark") << sans << 16 << true << true << false << "png" << 20;
        QTest::newRow("sans 16 broken outlines") << sans << 16 << true << false << true << "png" << 20;
        QTest::newRow("manrope 15") << embedded.value(0) << 15 << true << false << false << "png" << 11;
        QTest::newRow("serif 18") << embedded.value(1) << 18 << true << false << false << "png" << 18;
        QTest::newRow("mono 13 dark jpeg") << embedded.value(2) << 13 << true << true << false << "jpg" << 21;
    }
    void paintedDiagrams()
    {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(QString, format);
        QFETCH(bool, antialias);
        QFETCH(bool, dark);
        QFETCH(bool, gaps);
        PaintOptions options;
        options.family = family;
        options.pixelSize = pixelSize;
        options.antialias = antialias;
        options.dark = dark;
        options.gapInOutlines = gaps;
        PaintedDiagram painted = shopDiagram();
        const QImage image = paintDiagram(painted, options);
        const QString path = dir.filePath(QStringLiteral("painted.") + format);
        QImageWriter writer(path);
        writer.setQuality(85);
        QVERIFY2(writer.write(image), qPrintable(writer.errorString()));

        QString error;
        const RecognizedDiagram result = recognizeDiagram(path, &error, {family});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const RecognitionScore score = scoreRecognition(result, expectedEntities(painted), painted.links);
        qInfo("%s", qPrintable(score.describe()));
        QCOMPARE(score.boxes, score.expectedBoxes);
        QCOMPARE(score.extraBoxes, 0);
        QCOMPARE(score.links, score.expectedLinks);
        QCOMPARE(result.links.size(), painted.links.size());
        QFETCH(int, namesRight);
        QVERIFY2(score.titles + score.attributes >= namesRight, qPrintable(score.describe()));
        // Links come out oriented: every one joins two distinct boxes.
        for (const RecognizedLink& link : result.links)
            QVERIFY(link.from != link.to && link.from >= 0 && link.to >= 0);
    }

    // Renders of Mermaid diagrams by mermaid-cli: ruled tables with a title
    // cell, curved connectors with crow's feet, labels on the lines.
    void realRenders_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("attributes");
        QTest::addColumn<QStringList>("links");      // "A-B"
        QTest::addColumn<int>("boxesFound");         // accuracy reached so far
        QTest::addColumn<int>("titlesRight");
        QTest::addColumn<int>("attributesRight");
        QTest::addColumn<int>("linksFound");
        QTest::addColumn<int>("linksInvented");      // at most
        QTest::newRow("attributes and keys")
            << "03-attributes-and-keys.png"
            << QStringList{"CUSTOMER", "ORDER", "CUSTOMER-PROFILE", "ORDER-LINE", "PRODUCT", "CATEGORY", "INVOICE"}
            << QStringList{"id", "full_name", "email", "birth_date", "is_active", "created_at",
                           "customer_id", "country_code", "locale", "preferences",
                           "order_id", "customer_id", "order_no", "placed_at", "total_amount", "tags",
                           "order_id", "line_no", "sku", "quantity", "unit_price",
                           "sku", "barcode", "name", "description", "category_id", "colours",
                           "*category_id", "parent_id", "slug", "title",
                           "invoice_no", "order_id", "issued_on", "amount_due"}
            << QStringList{"CUSTOMER-ORDER", "CUSTOMER-CUSTOMER-PROFILE", "ORDER-ORDER-LINE", "PRODUCT-ORDER-LINE",
                           "PRODUCT-CATEGORY", "ORDER-INVOICE"}
            << 7 << 7 << 33 << 5 << 3;
        QTest::newRow("cardinality symbols")
            << "01-cardinality-symbols.png"
            << QStringList{"AUTHOR", "BOOK", "PUBLISHER", "EDITION", "COPY", "BRANCH", "MEMBER", "LIBRARY-CARD",
                           "LOAN", "RESERVATION", "ADDRESS", "FINE", "PAYMENT"}
            << QStringList{}
            << QStringList{"AUTHOR-BOOK", "PUBLISHER-BOOK", "BOOK-EDITION", "EDITION-COPY", "BRANCH-COPY",
                           "MEMBER-LIBRARY-CARD", "LIBRARY-CARD-LOAN", "COPY-LOAN", "MEMBER-RESERVATION",
                           "RESERVATION-EDITION", "MEMBER-ADDRESS", "BRANCH-ADDRESS", "LOAN-FINE", "FINE-PAYMENT"}
            << 13 << 13 << 0 << 11 << 5;
    }
    void realRenders()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, attributes);
        QFETCH(QStringList, links);
        QString error;
        // Mermaid asks for faces that fall back to the Arial-metric face here.
        const RecognizedDiagram result = recognizeDiagram(dataFile(file), &error, {QStringLiteral("Liberation Sans")});
        QVERIFY2(error.isEmpty(), qPrintable(error));

        const auto [gotTitles, gotAttributes] = namesFound(result, titles, attributes);
        int gotLinks = 0;
        for (const RecognizedLink& link : result.links) {
            const QString a = result.entities.at(link.from).title, b = result.entities.at(link.to).title;
            gotLinks += links.contains(a + '-' + b) || links.contains(b + '-' + a);
        }
        const int gotBoxes = std::min<int>(result.entities.size(), titles.size());
        qInfo("boxes %d/%d (%d in all), titles %d/%d, attribute names %d/%d, links %d/%d (%d in all)", gotBoxes,
              int(titles.size()), int(result.entities.size()), gotTitles, int(titles.size()), gotAttributes,
              int(attributes.size()), gotLinks, int(links.size()), int(result.links.size()));
        QFETCH(int, boxesFound);
        QFETCH(int, titlesRight);
        QFETCH(int, attributesRight);
        QFETCH(int, linksFound);
        QVERIFY(gotBoxes >= boxesFound);
        QVERIFY(gotTitles >= titlesRight);
        QVERIFY(gotAttributes >= attributesRight);
        QVERIFY(gotLinks >= linksFound);
        QFETCH(int, linksInvented);
        QVERIFY(int(result.links.size()) - gotLinks <= linksInvented);
    }

    // The same diagram as a picture and as a drawing with <text>, whose
    // reading is the truth: a picture wider than the working size is read
    // at its own size.
    void pictureAgreesWithDrawing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("titlesRight");      // reached so far
        QTest::addColumn<int>("attributesRight");
        QTest::newRow("42 tables, 12,777 px") << "07-marketplace-large" << 41 << 111;
    }
    void pictureAgreesWithDrawing()
    {
        QFETCH(QString, name);
        QString error;
        const RecognizedDiagram drawing = recognizeDiagram(dataFile(name + QStringLiteral(".svg")), &error);
        const RecognizedDiagram picture = recognizeDiagram(dataFile(name + QStringLiteral(".png")), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList titles, attributes;
        readNames(drawing, titles, attributes);
        const auto [gotTitles, gotAttributes] = namesFound(picture, titles, attributes);
        qInfo("titles %d/%d, attribute names %d/%d", gotTitles, int(titles.size()), gotAttributes, int(attributes.size()));
        QFETCH(int, titlesRight);
        QFETCH(int, attributesRight);
        QVERIFY(gotTitles >= titlesRight);
        QVERIFY(gotAttributes >= attributesRight);
    }
    // A ruled table drawn as cells, a slender key column among wider ones
    // and a title band above them, as Mermaid draws its tables, is one box,
    // at row heights below and above what a single cell may be.
    void ruledTableWithKeyColumn_data()
    {
        QTest::addColumn<int>("rowHeight");
        QTest::newRow("rows of 24") << 24;
        QTest::newRow("rows of 70") << 70;
    }
    void ruledTableWithKeyColumn()
    {
        QFETCH(int, rowHeight);
        const QList<int> columns{110, 120, 28, 160};
        const int left = 60, top = 40, rows = 5;
        const RecognizedDiagram result = recognizeDrawing({700, 600}, {}, [&](QPainter& p) {
            p.setPen(QPen(Qt::black, 1));
            const int width = 110 + 120 + 28 + 160;
            p.drawRect(left, top, width, rowHeight);
            for (int r = 0; r < rows; ++r) {
                int x = left;
                for (const int w : columns) {
                    p.drawRect(x, top + rowHeight * (r + 1), w, rowHeight);
                    x += w;
                }
            }
        });
        QCOMPARE(result.entities.size(), 1);
        const QRectF box = result.entities.first().box;
        QVERIFY2(std::abs(box.top() - top) <= 4 && std::abs(box.bottom() - (top + rowHeight * (rows + 1))) <= 4
                     && std::abs(box.left() - left) <= 4 && std::abs(box.right() - (left + 418)) <= 4,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    }
    // Connectors as diagram tools draw them: dashed, broken by a label, or
    // ending in a ring; rings and crossings enclose no entity.
    void connectorShapes_data()
    {
        QTest::addColumn<int>("dash");        // 0: solid
        QTest::addColumn<QString>("label");   // written on the line, which stops around it
        QTest::addColumn<bool>("ring");       // a circle of 30 pixels on the line near the right box
        QTest::newRow("solid") << 0 << QString() << false;
        QTest::newRow("dashed 6 on 6") << 6 << QString() << false;
        QTest::newRow("dashed 10 on 10") << 10 << QString() << false;
        QTest::newRow("labelled") << 0 << "places" << false;
        QTest::newRow("dashed, labelled, ring") << 6 << "is held as" << true;
    }
    void connectorShapes()
    {
        QFETCH(int, dash);
        QFETCH(QString, label);
        QFETCH(bool, ring);
        const QRect left(40, 60, 200, 150), right(660, 60, 200, 150);
        const RecognizedDiagram result = recognizeDrawing({900, 300}, {left, right}, [&](QPainter& p) {
            QPen pen(Qt::black, 2);
            if (dash > 0)
                pen.setDashPattern({dash / 2.0, dash / 2.0});
            p.setPen(pen);
            const int y = 135;
            if (label.isEmpty()) {
                p.drawLine(left.right(), y, right.left(), y);
            } else {
                QFont font(QStringLiteral("Liberation Sans"));
                font.setPixelSize(22);
                p.setFont(font);
                const int width = QFontMetrics(font).horizontalAdvance(label);
                const int from = 450 - width / 2 - 8, to = 450 + width / 2 + 8;
                p.drawLine(left.right(), y, from, y);
                p.drawLine(to, y, right.left(), y);
                p.setPen(Qt::black);
                p.drawText(QRect(from, y - 14, to - from, 28), Qt::AlignCenter, label);
                p.setPen(pen);
            }
            if (ring) {
                p.setBrush(Qt::white);
                p.setPen(QPen(Qt::black, 2));
                p.drawEllipse(QPoint(right.left() - 40, y), 15, 15);
            }
        });
        QCOMPARE(result.entities.size(), 2);
        QCOMPARE(result.links.size(), 1);
    }

    // Two connectors running 14 pixels apart between neighbouring boxes
    // (6 pixels apart) stay two links, each between its own two boxes.
    void closeConnectorsStayApart()
    {
        const QRect a(40, 40, 160, 60), c(206, 40, 160, 60), b(40, 220, 160, 60), d(206, 220, 160, 60);
        const RecognizedDiagram result = recognizeDrawing({500, 320}, {a, b, c, d}, [&](QPainter& p) {
            p.drawLine(196, a.bottom(), 196, b.top());
            p.drawLine(210, c.bottom(), 210, d.top());
        });
        QCOMPARE(result.entities.size(), 4);
        QCOMPARE(result.links.size(), 2);
        for (const RecognizedLink& link : result.links) {
            const QRectF from = result.entities.at(link.from).box, to = result.entities.at(link.to).box;
            QVERIFY2(std::abs(from.center().x() - to.center().x()) < 5, "a link joins the boxes of one column");
        }
    }

    // A connector that turns 18 pixels beside a third box, the way an
    // elbow routed round it does, links only the two boxes at its ends.
    void elbowBesideABoxLinksOnlyItsEnds()
    {
        const QRect beside(40, 40, 200, 120), from(400, 40, 200, 120), to(40, 280, 200, 120);
        const RecognizedDiagram result = recognizeDrawing({700, 420}, {beside, from, to}, [&](QPainter& p) {
            const int x = beside.right() + 18, y = 110;
            p.drawPolyline(QPolygon{QPoint(from.left(), y), QPoint(x, y), QPoint(x, 340), QPoint(to.right(), 340)});
        });
        QCOMPARE(result.entities.size(), 3);
        QCOMPARE(result.links.size(), 1);
        const QRectF a = result.entities.at(result.links.first().from).box;
        const QRectF b = result.entities.at(result.links.first().to).box;
        QVERIFY2(!a.contains(beside.center()) && !b.contains(beside.center()), "the box passed by is not linked");
    }

    // Two connectors that cross, straight or curved, stay two links: each
    // stroke goes on in its own direction through the crossing.
    void crossingConnectorsStayApart_data()
    {
        QTest::addColumn<bool>("curved");
        QTest::newRow("straight") << false;
        QTest::newRow("curved") << true;
    }
    void crossingConnectorsStayApart()
    {
        QFETCH(bool, curved);
        const QRect a(40, 40, 180, 100), b(340, 480, 180, 100), c(340, 40, 180, 100), d(40, 480, 180, 100);
        const RecognizedDiagram result = recognizeDrawing({560, 620}, {a, b, c, d}, [&](QPainter& p) {
            const auto connect = [&](QPoint from, QPoint to, int bend) {
                QPainterPath path(from);
                if (curved)
                    path.cubicTo(QPoint(from.x() + bend, from.y() + 160), QPoint(to.x() - bend, to.y() - 160), to);
                else
                    path.lineTo(to);
                p.drawPath(path);
            };
            connect(QPoint(a.center().x(), a.bottom()), QPoint(b.center().x(), b.top()), 60);
            connect(QPoint(c.center().x(), c.bottom()), QPoint(d.center().x(), d.top()), -60);
        });
        QCOMPARE(result.entities.size(), 4);
        QCOMPARE(result.links.size(), 2);
        for (const RecognizedLink& link : result.links) {
            const QPointF from = result.entities.at(link.from).box.center(), to = result.entities.at(link.to).box.center();
            QVERIFY2(std::abs(from.x() - to.x()) > 200 && std::abs(from.y() - to.y()) > 300,
                     "a link joins opposite corners");
        }
    }

    // Words of the alphabet written in the template face at the sizes of
    // diagram text read back letter for letter, both weights.
    void generatedWords_data()
    {
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("wordsRight");   // of 40; reached so far
        QTest::newRow("12") << 12 << false << 30;
        QTest::newRow("14") << 14 << false << 37;
        QTest::newRow("14 bold") << 14 << true << 33;
        QTest::newRow("18") << 18 << false << 39;
        QTest::newRow("18 bold") << 18 << true << 37;
    }
    void generatedWords()
    {
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        const QString family = QStringLiteral("Liberation Sans");
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        const QString letters = QStringLiteral("abcdeghkmnopqrsuvwxyzABDEGHKMNPQRSTUVWXYZ");
        GlyphTemplateCache cache;
        cache.families = {family};
        int right = 0;
        quint32 seed = 7;
        for (int n = 0; n < 40; ++n) {
            QString word;
            const int length = 3 + n % 6;
            for (int k = 0; k < length; ++k) {
                seed = seed * 1103515245u + 12345u;
                word.append(letters.at(int((seed >> 16) % quint32(letters.size()))));
            }
            QImage image(400, 3 * pixelSize, QImage::Format_Grayscale8);
            image.fill(255);
            {
                QPainter p(&image);
                p.setFont(font);
                p.setPen(QColor(20, 20, 20));
                p.drawText(QPointF(10 + 0.37 * (n % 3), 2 * pixelSize), word);
            }
            const QImage mask = binarizeImage(image);
            const QString text = recognizeTextLine(thresholdImage(image), mask.rect().adjusted(2, 2, -2, -2), cache);
            right += text == word;
        }
        qInfo("%d of 40 words right", right);
        QFETCH(int, wordsRight);
        QVERIFY2(right >= wordsRight, qPrintable(QString::number(right)));
    }

    // draw.io's template thumbnails: too small to read; the answer is a
    // clean failure or boxes without crashing.
    void tinyThumbnails_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* name : {"drawio-erd.png", "drawio-entity_relationship.png", "drawio-database_1.png",
                                 "drawio-database_2.png", "drawio-database_3.png"})
            QTest::newRow(name) << name;
    }
    void tinyThumbnails()
    {
        QFETCH(QString, file);
        QString error;
        const RecognizedDiagram result = recognizeDiagram(dataFile(file), &error, {QStringLiteral("Liberation Sans")});
        if (result.entities.isEmpty())
            QCOMPARE(error, QString("No rectangular entities were found in the image."));
        else
            QVERIFY(error.isEmpty());
        for (const RecognizedLink& link : result.links)
            QVERIFY(link.from >= 0 && link.from < result.entities.size() && link.to >= 0 && link.to < result.entities.size());
    }

    // Larger than Qt's default allocation limit when decoded whole (150 MB):
    // read at its own size, thin outlines intact.
    void hugePicturesRead()
    {
        PaintedDiagram painted = shopDiagram();
        PaintOptions options;
        options.pixelSize = 20;
        const QImage small = paintDiagram(painted, options);
        QImage huge(12777, 2972, QImage::Format_RGB32);
        huge.fill(Qt::white);
        {
            QPainter p(&huge);
            p.drawImage(QRect(0, 0, small.width() * 4, small.height() * 4), small);
        }
        const QString path = dir.filePath(QStringLiteral("huge.png"));
        QVERIFY(huge.save(path));
        huge = QImage();

        QString error;
        const QImage loaded = loadRecognitionImage(path, &error);
        QVERIFY2(!loaded.isNull(), qPrintable(error));
        QCOMPARE(loaded.size(), QSize(12777, 2972));
        const RecognizedDiagram result = recognizeDiagram(path, &error, {options.family});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const double scale = 4.0 * rasterProcessingSize(loaded.size()).width() / 12777;
        const RecognitionScore score = scoreRecognition(result, expectedEntities(painted, scale), painted.links);
        QCOMPARE(score.boxes, score.expectedBoxes);
        QCOMPARE(score.links, score.expectedLinks);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("message");
        QTest::newRow("text named png") << QByteArray("not a picture at all") << "png" << "Could not load the image.";
        QTest::newRow("empty file") << QByteArray() << "jpg" << "Could not load the image.";
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage white(300, 200, QImage::Format_RGB32);
        white.fill(Qt::white);
        white.save(&buffer, "PNG");
        QTest::newRow("header only") << png.left(40) << "png" << "Could not load the image.";
        QTest::newRow("no boxes") << png << "png" << "No rectangular entities were found in the image.";
        // Only the header of a picture of 20,000 x 20,000 pixels: refused
        // by its size before anything is decoded.
        // (signature, IHDR of 20000 x 20000 RGBA, empty IDAT)
        const QByteArray header = QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200004e2000004e200806000000e3704639"
                                                      "000000004944415435af061e");
        QTest::newRow("too large")
            << header << "png"
            << "The image is too large to read: 20000 x 20000 pixels, 1526 MB when decoded (at most 256 MB).";
    }
    void unreadableFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, suffix);
        const QString path = dir.filePath(QStringLiteral("bad.") + suffix);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        QString error;
        const RecognizedDiagram result = recognizeDiagram(path, &error);
        QVERIFY(result.entities.isEmpty());
        QTEST(error, "message");
        QString untouched = QStringLiteral("earlier");
        recognizeDiagram(path, &untouched);
        QCOMPARE(untouched, QString("earlier"));
        recognizeDiagram(dir.filePath(QStringLiteral("missing.png")), nullptr);
    }
};

QUILLMAP_TEST_MAIN(TestRasterRecognition)
#include "tst_rasterrecognition.moc"
