// Recognition of SVG drawings: transforms, number lists and path data, the
// shapes the element reader keeps, text runs, links and their markers,
// text drawn as paths read from a rendering, compressed drawings, and the
// drawings mermaid-cli makes.

#include "../interchange/deflatehelpers.h"
#include "common/testmain.h"
#include "recognitionscore.h"

#include "recognition/diagramrecognition.h"
#include "recognition/svgpathdata.h"
#include "model/filelimits.h"
#include "recognition/svgshapereader.h"

#include <QFont>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString dataFile(const QString& name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/recognition/") + name;
}

QByteArray svgDocument(const QByteArray& body, const QByteArray& size = "width=\"800\" height=\"600\"")
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" " + size + ">" + body + "</svg>";
}

RecognizedDiagram readData(const QByteArray& body)
{
    RecognizedDiagram out;
    readSvgShapesFromData(svgDocument(body), out);
    return out;
}

// The outline of text as SVG path data, as drawing programs write text
// converted to curves.
QByteArray textAsPath(const QString& text, const QString& family, int pixelSize, QPointF baseline)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    QPainterPath path;
    path.addText(baseline, font, text);
    QByteArray d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo())
            d += (i ? " Z M" : "M");
        else if (e.isLineTo())
            d += " L";
        else if (e.isCurveTo())
            d += " C";
        d += ' ' + QByteArray::number(e.x, 'f', 2) + ' ' + QByteArray::number(e.y, 'f', 2);
    }
    return "<path d=\"" + d + " Z\" fill=\"#000\"/>";
}

QByteArray gzipped(const QByteArray& data)
{
    return deflateBytes(data, 31);
}

} // namespace

class TestSvgRecognition : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }

private Q_SLOTS:
    void transforms_data()
    {
        QTest::addColumn<QString>("transform");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QPointF>("mapped");
        QTest::newRow("translate then scale") << "translate(10,0) scale(2)" << QPointF(5, 5) << QPointF(20, 10);
        QTest::newRow("rotate") << "rotate(90)" << QPointF(10, 0) << QPointF(0, 10);
        QTest::newRow("rotate about a point") << "rotate(90 50 50)" << QPointF(60, 50) << QPointF(50, 60);
        QTest::newRow("matrix") << "matrix(1 0 0 1 5 7)" << QPointF(1, 1) << QPointF(6, 8);
        QTest::newRow("short matrix") << "matrix(1 0 0 1)" << QPointF(3, 4) << QPointF(3, 4);
        QTest::newRow("skew ignored") << "skewX(30) translate(1)" << QPointF(3, 4) << QPointF(4, 4);
        QTest::newRow("scale one number") << "scale(3)" << QPointF(1, 2) << QPointF(3, 6);
        QTest::newRow("empty") << "" << QPointF(3, 4) << QPointF(3, 4);
    }
    void transforms()
    {
        QFETCH(QString, transform);
        QFETCH(QPointF, point);
        QFETCH(QPointF, mapped);
        const QPointF got = parseSvgTransform(transform).map(point);
        QVERIFY2(QLineF(got, mapped).length() < 1e-9, qPrintable(QStringLiteral("%1,%2").arg(got.x()).arg(got.y())));
    }

    void nestedGroupTransforms()
    {
        // A group scaled by 2 around a rectangle translated by (10, 0).
        const RecognizedDiagram out =
            readData("<g transform=\"scale(2)\"><rect transform=\"translate(10,0)\" x=\"5\" y=\"5\" width=\"40\" height=\"30\"/></g>"
                     "<text x=\"0\" y=\"0\">t</text>");
        QCOMPARE(out.entities.size(), 1);
        QCOMPARE(out.entities[0].box, QRectF(30, 10, 80, 60));
    }

    void numberLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("numbers");
        QTest::newRow("pairs") << "10,20 30,40" << QList<double>{10, 20, 30, 40};
        QTest::newRow("sign separates") << "1-2" << QList<double>{1, -2};
        QTest::newRow("second point") << "1.5.5" << QList<double>{1.5, 0.5};
        QTest::newRow("exponent") << "2e3" << QList<double>{2000};
        QTest::newRow("letters separate") << "x1y-2.5z" << QList<double>{1, -2.5};
        QTest::newRow("lone sign") << "- 4" << QList<double>{4};
        QTest::newRow("dangling exponent") << "3 1e" << QList<double>{3};
    }
    void numberLists()
    {
        QFETCH(QString, text);
        QTEST(parseSvgNumberList(text), "numbers");
    }

    void pathData_data()
    {
        QTest::addColumn<QString>("d");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("bands");
        QTest::addColumn<int>("polylines");
        QTest::addColumn<QList<double>>("segmentLengths");
        QTest::addColumn<bool>("filled");
        QTest::newRow("closed rectangle") << "M 10 10 H 110 V 60 H 10 Z" << 1 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("open rectangle") << "M 10 10 H 110 V 60 H 10" << 0 << 0 << 1 << QList<double>{100, 50, 100} << false;
        QTest::newRow("relative pairs") << "m 10 10 l 100 0 0 50 -100 0 z" << 1 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("header band") << "M0 0 H80 V20 H0 Z" << 0 << 1 << 0 << QList<double>{} << false;
        QTest::newRow("80 x 30 nothing") << "M0 0 H80 V30 H0 Z" << 0 << 0 << 0 << QList<double>{} << false;
        // Long straight strokes are connectors, not small shapes.
        QTest::newRow("straight stroke") << "M0 0 L300 0" << 0 << 0 << 1 << QList<double>{300} << false;
        QTest::newRow("short straight stroke") << "M0 0 L20 0" << 0 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("elbow") << "M0 0 L100 0 L100 50" << 0 << 0 << 1 << QList<double>{100, 50} << false;
        QTest::newRow("diagonal") << "M0 0 L30 30" << 0 << 0 << 1 << QList<double>{std::sqrt(1800.0)} << false;
        QTest::newRow("curve keeps its end") << "M0 0 C 20 0 80 100 100 100" << 0 << 0 << 1
                                            << QList<double>{std::sqrt(20000.0)} << false;
        QTest::newRow("small triangle") << "M0 0 L12 5 L0 10 Z" << 0 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("two subpaths") << "M0 0 H100 V50 H0 Z M200 0 H300 V50 H200 Z" << 2 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("M without Z flushes") << "M0 0 L100 0 L100 60 M200 0 H300 V50 H200 Z" << 1 << 0 << 1
                                             << QList<double>{100, 60} << false;
        QTest::newRow("numbers before a command") << "10 10 L 110 10 110 60 10 60 Z" << 1 << 0 << 0 << QList<double>{} << false;
        QTest::newRow("arc end point") << "M0 0 A 5 5 0 0 1 0 100" << 0 << 0 << 1 << QList<double>{100} << false;
        QTest::newRow("filled open path encloses its area") << "M0 0 L100 0 L100 60 L0 60" << 1 << 0 << 0
                                                            << QList<double>{} << true;
        QTest::newRow("garbage") << "M x y L ,, Q" << 0 << 0 << 0 << QList<double>{} << false;
    }
    void pathData()
    {
        QFETCH(QString, d);
        QFETCH(QList<double>, segmentLengths);
        QFETCH(bool, filled);
        SvgShapeLists shapes;
        parseSvgPathData(d, QTransform(), shapes, filled);
        QTEST(int(shapes.boxes.size()), "boxes");
        QTEST(int(shapes.headerBands.size()), "bands");
        QTEST(int(shapes.polylines.size()), "polylines");
        QCOMPARE(shapes.segments.size(), segmentLengths.size());
        for (int i = 0; i < segmentLengths.size(); ++i)
            QVERIFY(std::abs(shapes.segments[i].length() - segmentLengths[i]) < 1e-6);
    }

    void elementClasses_data()
    {
        QTest::addColumn<QByteArray>("element");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("arrows");
        QTest::addColumn<int>("bars");
        QTest::newRow("60 x 36 box") << QByteArray("<rect width=\"60\" height=\"36\"/>") << 1 << 0 << 0;
        QTest::newRow("59.9 x 100 nothing") << QByteArray("<rect width=\"59.9\" height=\"100\"/>") << 0 << 0 << 0;
        QTest::newRow("vertical bar") << QByteArray("<rect width=\"2\" height=\"12\"/>") << 0 << 0 << 1;
        QTest::newRow("horizontal bar") << QByteArray("<rect width=\"12\" height=\"2\"/>") << 0 << 0 << 1;
        QTest::newRow("2 x 4 nothing") << QByteArray("<rect width=\"2\" height=\"4\"/>") << 0 << 0 << 0;
        QTest::newRow("rotated rect by its bounds")
            << QByteArray("<rect transform=\"rotate(45)\" width=\"100\" height=\"20\"/>") << 1 << 0 << 0;
        QTest::newRow("polygon box") << QByteArray("<polygon points=\"0,0 100,0 100,50 0,50\"/>") << 1 << 0 << 0;
        QTest::newRow("small polygon box") << QByteArray("<polygon points=\"0,0 40,0 40,30 0,30\"/>") << 0 << 0 << 0;
        QTest::newRow("arrowhead") << QByteArray("<polygon points=\"0,0 10,4 0,8\"/>") << 0 << 1 << 0;
        QTest::newRow("wide triangle") << QByteArray("<polygon points=\"0,0 30,4 0,8\"/>") << 0 << 0 << 0;
    }
    void elementClasses()
    {
        QFETCH(QByteArray, element);
        const RecognizedDiagram out = readData(element + "<text x=\"700\" y=\"500\">z</text>");
        QTEST(int(out.entities.size()), "boxes");
        QTEST(int(out.arrowMarkers.size()), "arrows");
        QTEST(int(out.barMarkers.size()), "bars");
    }

    void textRuns()
    {
        RecognizedDiagram out = readData("<text x=\"10\" y=\"50\" font-size=\"14px\">Name</text>"
                                         "<text x=\"10\" y=\"100\">Hello</text>"
                                         "<text x=\"0\" y=\"200\">Name<tspan x=\"80\"> Type</tspan></text>"
                                         "<text x=\"0\" y=\"300\">   </text>");
        QCOMPARE(out.texts.size(), 3); // the blank run is dropped
        QCOMPARE(out.texts[1].rect.top(), 88.0); // the baseline is at the bottom
        QCOMPARE(out.texts[2].text, QString("Name Type"));
        QCOMPARE(out.texts[2].rect.x(), 80.0);
    }

    void headerBandsAndRows()
    {
        // A band 2 above the top of a box belongs to it, one 4 above does not.
        RecognizedDiagram out = readData("<rect x=\"0\" y=\"20\" width=\"200\" height=\"100\"/><rect x=\"0\" y=\"3\" width=\"200\" height=\"30\"/>");
        QCOMPARE(out.entities[0].header, QRectF(4, 4, 192, 28));
        out = readData("<rect x=\"0\" y=\"20\" width=\"200\" height=\"100\"/><rect x=\"0\" y=\"1\" width=\"200\" height=\"30\"/>");
        QCOMPARE(out.entities[0].header.y(), 22.0);
    }

    void linksKeepOnePerPair()
    {
        QList<RecognizedLink> links;
        QMap<QPair<int, int>, int> index;
        addRecognizedLink(links, index, 0, 1, QLineF(0, 0, 50, 0));
        addRecognizedLink(links, index, 1, 0, QLineF(0, 0, 40, 0));   // shorter: kept out
        addRecognizedLink(links, index, 1, 0, QLineF(0, 0, 60, 0));   // longer: replaces, direction included
        addRecognizedLink(links, index, 2, 2, QLineF(0, 0, 60, 0));
        addRecognizedLink(links, index, -1, 2, QLineF(0, 0, 60, 0));
        addRecognizedLink(links, index, 0, 2, QLineF());
        QCOMPARE(links.size(), 2);
        QCOMPARE(links[0].from, 1);
        QCOMPARE(links[0].line.length(), 60.0);
        QVERIFY(!links[1].hasLine);

        // A line shorter than 14 is never a link.
        const RecognizedDiagram out = readData("<rect x=\"0\" y=\"0\" width=\"100\" height=\"60\"/>"
                                               "<rect x=\"110\" y=\"0\" width=\"100\" height=\"60\"/>"
                                               "<line x1=\"100\" y1=\"30\" x2=\"113.9\" y2=\"30\"/>");
        QCOMPARE(out.links.size(), 0);
    }

    void handWrittenDrawings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("svg") << "rect-text.svg";
        QTest::newRow("svgz") << "rect-text.svgz";
    }
    void handWrittenDrawings()
    {
        QFETCH(QString, file);
        QString error;
        const RecognizedDiagram result = recognizeDiagram(dataFile(file), &error, {QStringLiteral("Liberation Sans")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList titles;
        for (const RecognizedEntity& e : result.entities)
            titles.append(e.title);
        QCOMPARE(titles, (QStringList{"Orders", "Customer", "OrderLine"}));
        QCOMPARE(result.entities[2].attributes.size(), 2);
        QCOMPARE(result.entities[2].attributes[0].name, QString("order_id"));
        QCOMPARE(result.entities[2].attributes[0].type, QString("uuid"));
        QCOMPARE(result.entities[1].attributes[1].type, QString("varchar(80)"));
        QCOMPARE(result.links.size(), 2);
        // Arrowheads mark the Many ends: Customer to Orders, Orders to OrderLine.
        QCOMPARE(result.links[0].from, 0);
        QCOMPARE(result.links[0].to, 2);
        QCOMPARE(result.links[1].from, 1);
        QCOMPARE(result.links[1].to, 0);
        QCOMPARE(result.arrowMarkers.size(), 2);
        QCOMPARE(result.barMarkers.size(), 1);
    }

    // Boxes drawn as paths inside nested groups, their text only as glyph
    // outlines: the text is read from a rendering of the drawing.
    void textDrawnAsPaths()
    {
        const QString family = QStringLiteral("Liberation Sans");
        QByteArray body = "<g transform=\"translate(30,30)\"><g transform=\"translate(10,0)\">";
        const QList<QPair<QString, QStringList>> tables{{"Invoice", {"invoice_id uuid", "total decimal"}},
                                                        {"Payment", {"payment_id uuid", "invoice_id uuid"}}};
        for (int t = 0; t < tables.size(); ++t) {
            const double x = t * 260;
            const QByteArray left = QByteArray::number(x);
            body += "<path fill=\"none\" stroke=\"#000\" d=\"M" + left + " 0 h200 v80 h-200 Z\"/>";
            body += "<path fill=\"none\" stroke=\"#000\" d=\"M" + left + " 0 h200 v26 h-200 Z\"/>";
            body += textAsPath(tables[t].first, family, 16, QPointF(x + 12, 19));
            for (int r = 0; r < tables[t].second.size(); ++r) {
                body += "<rect fill=\"none\" x=\"" + left + "\" y=\"" + QByteArray::number(26 + r * 22)
                    + "\" width=\"200\" height=\"22\"/>";
                body += textAsPath(tables[t].second[r], family, 14, QPointF(x + 10, 42 + r * 22));
            }
        }
        body += "</g></g><path fill=\"none\" stroke=\"#000\" d=\"M240 70 L300 70\"/>";
        const QString path = writeFile("paths.svg", svgDocument(body, "width=\"900\" height=\"260\""));
        QString error;
        const RecognizedDiagram result = recognizeDiagram(path, &error, {family});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(result.entities.size(), 2);
        QCOMPARE(result.entities[0].box, QRectF(40, 30, 200, 80));
        QCOMPARE(result.links.size(), 1);
        QList<ExpectedEntity> expected;
        for (int t = 0; t < tables.size(); ++t) {
            QStringList names;
            for (const QString& row : tables[t].second)
                names.append(row.section(' ', 0, 0));
            expected.append({tables[t].first, names, QRectF(40 + t * 260, 30, 200, 80)});
        }
        const RecognitionScore score = scoreRecognition(result, expected, {{0, 1}});
        qInfo("%s", qPrintable(score.describe()));
        // Read from the rendering so far: one title and one of the four
        // names; this must not go down.
        QVERIFY2(score.titles + score.attributes >= 2, qPrintable(score.describe()));
        QCOMPARE(score.links, 1);
    }

    void renderingIsBounded_data()
    {
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("view box only") << QByteArray("viewBox=\"0 0 500 250\"") << QSize(2400, 1200);
        QTest::newRow("nothing drawn, no size") << QByteArray() << QSize(2400, 1920);
        QTest::newRow("small drawing at scale 6") << QByteArray("width=\"100\" height=\"50\"") << QSize(600, 300);
        QTest::newRow("huge drawing") << QByteArray("width=\"20000\" height=\"20000\"") << QSize(5656, 5656);
        QTest::newRow("wide drawing") << QByteArray("width=\"20000\" height=\"100\"") << QSize(7200, 36);
    }
    void renderingIsBounded()
    {
        QFETCH(QByteArray, size);
        QRectF viewBox;
        const QImage image =
            renderSvgForRecognition(svgDocument(size.isEmpty() ? "" : "<rect width=\"5\" height=\"5\"/>", size), &viewBox);
        QTEST(image.size(), "pixels");
        QVERIFY(double(image.width()) * image.height() <= MaxSvgRenderPixels);
        QVERIFY(viewBox.width() >= 1);
        QVERIFY(renderSvgForRecognition("not svg").isNull());
    }

    void compressedDrawingsAreCapped()
    {
        const QByteArray svg = svgDocument("<rect x=\"0\" y=\"0\" width=\"100\" height=\"60\"/><text x=\"5\" y=\"20\">Solo</text>");
        QCOMPARE(readSvgDocument(writeFile("small.svgz", gzipped(svg))), svg);
        // Beyond the cap once inflated: read as nothing at all.
        QByteArray bomb = svg;
        bomb.append(QByteArray(int(MaxSvgDocumentBytes), ' '));
        const QString path = writeFile("bomb.svgz", gzipped(bomb));
        QVERIFY(QFileInfo(path).size() < 1024 * 1024);
        QVERIFY(readSvgDocument(path).isEmpty());
        QString error;
        QVERIFY(recognizeDiagram(path, &error).entities.isEmpty());
        QCOMPARE(error, QString("Could not read shapes from the SVG."));
        // Truncated and damaged compressed data.
        QByteArray cut = gzipped(svg);
        cut.chop(10);
        QVERIFY(readSvgDocument(writeFile("cut.svgz", cut)).isEmpty());
        QVERIFY(readSvgDocument(writeFile("junk.svgz", QByteArray("\x1f\x8b junk", 7))).isEmpty());
    }

    void roadsBySuffix()
    {
        const QByteArray svg = svgDocument("<rect x=\"0\" y=\"0\" width=\"100\" height=\"60\" fill=\"none\" stroke=\"#000\"/>"
                                           "<text x=\"5\" y=\"20\">Solo</text>");
        QString error;
        // The suffix decides, whatever its case.
        RecognizedDiagram result = recognizeDiagram(writeFile("upper.SVG", svg), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(result.entities.size(), 1);
        QCOMPARE(result.entities[0].title, QString("Solo"));
        QVERIFY(!result.entities[0].attributes.isEmpty());
        recognizeDiagram(writeFile("drawing.png", svg), &error);
        QVERIFY2(!error.contains("SVG"), qPrintable(error));  // the raster road, whatever it makes of it
        for (const QString& bad : {writeFile("broken.svg", "<svg><rect"), dir.filePath("missing.svg")}) {
            error.clear();
            recognizeDiagram(bad, &error);
            QCOMPARE(error, QString("Could not read shapes from the SVG."));
        }
    }

    // Shapes far larger than the drawing: rows stay bounded, the box ends at
    // the drawing's edge.
    void hugeBoxesAreBounded_data()
    {
        QTest::addColumn<QByteArray>("rect");
        QTest::addColumn<QByteArray>("size");
        const QByteArray e10 = "width=\"1e10\" height=\"1e10\"";
        QTest::newRow("1e10 in a small drawing") << e10 << QByteArray("width=\"100\" height=\"100\"");
        QTest::newRow("1e10 in a drawing sized in points") << e10 << QByteArray("width=\"75pt\" height=\"75pt\"");
        QTest::newRow("1e20 in a drawing of no size") << QByteArray("width=\"1e20\" height=\"1e20\"") << QByteArray();
    }
    void hugeBoxesAreBounded()
    {
        QFETCH(QByteArray, rect);
        QFETCH(QByteArray, size);
        QString error;
        const RecognizedDiagram result = recognizeDiagram(
            writeFile("huge.svg", svgDocument("<rect " + rect + " fill=\"none\" stroke=\"#000\"/>", size)), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(result.entities.size(), 1);
        QVERIFY(result.entities[0].rows.size() <= 1000);
        QVERIFY(size.isEmpty() || result.entities[0].box == QRectF(0, 0, 100, 100));
    }

    // Nothing outside the drawing reaches the renderer: links to files and
    // URLs, style sheet instructions, the document type.
    void externalReferencesAreDropped()
    {
        const QByteArray svg =
            "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/css\" href=\"/etc/passwd\"?>"
            "<!DOCTYPE svg [<!ENTITY pic \"<image href='/etc/passwd' width='9' height='9'/>\">]>"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
            "<image xlink:href=\"file:///etc/passwd\"/><image href=\" http://127.0.0.1:9/a.png\"><title>t</title></image>"
            "<use xlink:href=\"other.svg#a\"/><use xlink:href=\"#kept\"/><a href=\"https://x.invalid\"><rect id=\"kept\"/></a>"
            "<image xlink:href=\"data:image/png;base64,iVBORw0KGgo=\"/>&pic;</svg>";
        const QString kept = QString::fromUtf8(svgWithoutExternalReferences(svg));
        for (const char* gone : {"passwd", "127.0.0.1", "other.svg", "x.invalid", "stylesheet", "DOCTYPE"})
            QVERIFY2(!kept.contains(QLatin1String(gone)), qPrintable(kept));
        for (const char* stays : {"<use xlink:href=\"#kept\"/>", "<rect id=\"kept\"/>", "data:image/png", "<svg xmlns="})
            QVERIFY2(kept.contains(QLatin1String(stays)), qPrintable(kept));
    }

    // A page or canvas under the diagram is not an entity; a lone box is
    // one whatever its size.
    void backgroundsAreNotEntities_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("entities");
        QTest::addColumn<double>("width");
        const QByteArray page = "<rect width=\"800\" height=\"600\" fill=\"#fff\"/>";
        const QByteArray a = "<rect x=\"50\" y=\"50\" width=\"120\" height=\"80\"/><text x=\"55\" y=\"70\">A</text>";
        const QByteArray two = a + "<rect x=\"400\" y=\"300\" width=\"120\" height=\"80\"/><text x=\"405\" y=\"320\">B</text>";
        QTest::newRow("page rect") << page + two << 2 << 120.0;
        QTest::newRow("page polygon, then its outline")
            << "<polygon points=\"0,0 800,0 800,600 0,600\"/>" + page + two << 2 << 120.0;
        QTest::newRow("canvas under all boxes") << "<rect x=\"40\" y=\"40\" width=\"490\" height=\"350\"/>" + two << 2 << 120.0;
        QTest::newRow("one box on a page") << page + a << 1 << 120.0;
        QTest::newRow("lone box filling the drawing") << page + "<text x=\"55\" y=\"70\">A</text>" << 1 << 800.0;
    }
    void backgroundsAreNotEntities()
    {
        QFETCH(QByteArray, body);
        const RecognizedDiagram out = readData(body);
        QTEST(int(out.entities.size()), "entities");
        for (const RecognizedEntity& entity : out.entities)
            QTEST(entity.box.width(), "width");
    }

    // A connector ends on the boxes its ends face, not on those it passes
    // or whose corners it grazes.
    void connectorsEndWhereTheyFace_data()
    {
        QTest::addColumn<QByteArray>("connector");
        QTest::addColumn<int>("links");
        // A at (0,0), B at (400,0), C at (200,150), each 120 x 80.
        QTest::newRow("straight A to B") << QByteArray("<path d=\"M120 40 L400 40\"/>") << 1;
        QTest::newRow("past C's corner") << QByteArray("<path d=\"M120 40 L190 140 L330 140 L400 40\"/>") << 1;
        QTest::newRow("lines end to end, past C's corner") << QByteArray("<line x1=\"120\" y1=\"60\" x2=\"190\" y2=\"145\"/>"
                                                                         "<line x1=\"400\" y1=\"60\" x2=\"190\" y2=\"145\"/>") << 1;
        QTest::newRow("lines branching at C's corner") << QByteArray("<line x1=\"120\" y1=\"60\" x2=\"190\" y2=\"145\"/>"
                                                                     "<line x1=\"190\" y1=\"145\" x2=\"400\" y2=\"60\"/>"
                                                                     "<line x1=\"190\" y1=\"145\" x2=\"250\" y2=\"300\"/>") << 0;
        QTest::newRow("ending off a corner") << QByteArray("<path d=\"M120 40 L300 40 L390 90\"/>") << 0;
        QTest::newRow("A to C's side") << QByteArray("<path d=\"M60 80 L60 190 L200 190\"/>") << 1;
    }
    void connectorsEndWhereTheyFace()
    {
        QFETCH(QByteArray, connector);
        QByteArray body;
        for (const QByteArray& at : {QByteArray("x=\"0\" y=\"0\""), QByteArray("x=\"400\" y=\"0\""), QByteArray("x=\"200\" y=\"150\"")})
            body += "<rect " + at + " width=\"120\" height=\"80\"/>";
        const RecognizedDiagram out = readData(body + connector + "<text x=\"700\" y=\"500\">z</text>");
        QCOMPARE(out.entities.size(), 3);
        QTEST(int(out.links.size()), "links");
    }

    // Bundled connectors: pieces drawn into a junction go on along the piece
    // drawn out of it, so each box on one side is linked to the box on the
    // other, never two boxes of the same side; a connector heading into a
    // corner with a marker before it ends there.
    void bundledConnectors_data()
    {
        QTest::addColumn<QByteArray>("connectors");
        QTest::addColumn<QString>("links");
        // A at (0,0), B at (0,200), C at (400,100), each 120 x 80.
        QTest::newRow("merging into C") << QByteArray("<path d=\"M120 40 C180 40 200 140 250 140\"/>"
                                                      "<path d=\"M120 240 C180 240 200 142 250 142\"/>"
                                                      "<path d=\"M252 141 C300 141 350 140 400 140\"/>")
                                        << "0-2 1-2";
        QTest::newRow("fanning out of C") << QByteArray("<path d=\"M400 140 C350 140 300 141 252 141\"/>"
                                                        "<path d=\"M250 140 C200 140 180 40 120 40\"/>"
                                                        "<path d=\"M250 142 C200 142 180 240 120 240\"/>")
                                          << "2-0 2-1";
        QTest::newRow("into C's corner past a marker")
            << QByteArray("<path d=\"M120 40 C250 50 330 80 392 96\"/><ellipse cx=\"396\" cy=\"98\" rx=\"4\" ry=\"4\"/>")
            << "0-2";
        QTest::newRow("past C's corner") << QByteArray("<path d=\"M120 240 C250 230 330 70 390 60\"/>") << "";
    }
    void bundledConnectors()
    {
        QFETCH(QByteArray, connectors);
        QByteArray body;
        for (const QByteArray& at : {QByteArray("x=\"0\" y=\"0\""), QByteArray("x=\"0\" y=\"200\""), QByteArray("x=\"400\" y=\"100\"")})
            body += "<rect " + at + " width=\"120\" height=\"80\"/>";
        const RecognizedDiagram out = readData(body + connectors + "<text x=\"700\" y=\"500\">z</text>");
        QCOMPARE(out.entities.size(), 3);
        QStringList links;
        for (const RecognizedLink& link : out.links)
            links.append(QStringLiteral("%1-%2").arg(link.from).arg(link.to));
        QTEST(links.join(QLatin1Char(' ')), "links");
    }

    // A drawing of more boxes than a diagram may hold is read no further
    // than its boxes: no text is given to them and no connector traced.
    void boxesBeyondTheLimit()
    {
        QByteArray body;
        body.reserve(int(filelimits::MaxEntities + 1) * 64);
        for (int i = 0; i <= filelimits::MaxEntities; ++i)
            body += "<rect x=\"" + QByteArray::number((i % 400) * 100) + "\" y=\"" + QByteArray::number((i / 400) * 60)
                + "\" width=\"80\" height=\"40\"/>";
        body += "<text x=\"5\" y=\"20\">table</text><path d=\"M80 20 L100 20 L100 80 L80 80\"/>";
        RecognizedDiagram out;
        readSvgShapesFromData(svgDocument(body, "width=\"40000\" height=\"16000\""), out);
        QCOMPARE(out.entities.size(), qsizetype(filelimits::MaxEntities + 1));
        QVERIFY(out.entities.first().title.isEmpty());
        QVERIFY(out.entities.first().rows.isEmpty());
        QVERIFY(out.links.isEmpty());
    }

    // Schema documentation drawn by Graphviz: HTML-like table nodes over a
    // page-sized background, crow's feet at the Many ends; one table border
    // round the cells, or (the stacks) only the cells' own borders, each
    // row a name and a grey "[type]"; or tinted title bands with icons,
    // types with sizes ("int4[10]") and a footer of counts under each table.
    void graphvizTables_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("bordered tables") << "graphviz-tables.svg";
        QTest::newRow("stacks, 8 tables") << "tbls-blog.svg";
        QTest::newRow("stacks, 13 tables, edge labels") << "tbls-staff.svg";
        QTest::newRow("stacks, 25 tables") << "tbls-saas.svg";
        QTest::newRow("title bands, key icons, counts, 15 tables") << "schemaspy-rental.svg";
        QTest::newRow("title bands, key icons, counts, 7 tables") << "schemaspy-clinic.svg";
    }
    void graphvizTables()
    {
        QFETCH(QString, file);
        QList<ExpectedEntity> expected;
        QList<QPair<int, int>> links;
        QVERIFY(readTruth(dataFile(file.section('.', 0, 0) + ".json"), expected, links));
        QString error;
        const RecognizedDiagram result = recognizeDiagram(dataFile(file), &error, {QStringLiteral("Liberation Sans")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const RecognitionScore score = scoreRecognition(result, expected, links);
        QVERIFY2(score.boxes == expected.size() && score.extraBoxes == 0 && score.titles == expected.size()
                     && score.attributes == score.expectedAttributes && score.types == score.expectedTypes
                     && score.links == links.size() && score.inventedLinks == 0,
                 qPrintable(score.describe()));
        int read = 0;   // no footer or label became a column
        for (const RecognizedEntity& entity : result.entities)
            read += int(entity.attributes.size());
        QCOMPARE(read, score.expectedAttributes);
        QStringList names;
        for (const ExpectedEntity& entity : expected)
            names.append(entity.title);
        for (const RecognizedLink& link : result.links)   // from the One end to the Many end
            QVERIFY(links.contains({int(names.indexOf(result.entities[link.from].title)),
                                    int(names.indexOf(result.entities[link.to].title))}));
    }

    // mermaid-cli's drawings: boxes as filled open paths, labels as text.
    void realRenders_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("attributes");        // attribute rows in the source
        QTest::addColumn<QStringList>("links");     // "One-Many"
        QTest::addColumn<int>("titlesRight");       // reached so far
        QTest::addColumn<int>("attributesRight");
        QTest::addColumn<int>("linksRight");        // found and oriented
        QTest::newRow("cardinality symbols")
            << "01-cardinality-symbols.svg"
            << QStringList{"AUTHOR", "BOOK", "PUBLISHER", "EDITION", "COPY", "BRANCH", "MEMBER", "LIBRARY-CARD",
                           "LOAN", "RESERVATION", "ADDRESS", "FINE", "PAYMENT"}
            << 0
            << QStringList{"AUTHOR-BOOK", "PUBLISHER-BOOK", "BOOK-EDITION", "EDITION-COPY", "BRANCH-COPY",
                           "MEMBER-LIBRARY-CARD", "LIBRARY-CARD-LOAN", "COPY-LOAN", "MEMBER-RESERVATION",
                           "EDITION-RESERVATION", "ADDRESS-MEMBER", "ADDRESS-BRANCH", "LOAN-FINE", "PAYMENT-FINE"}
            << 13 << 0 << 6;
        QTest::newRow("attributes and keys")
            << "03-attributes-and-keys.svg"
            << QStringList{"CUSTOMER", "ORDER", "CUSTOMER-PROFILE", "ORDER-LINE", "PRODUCT", "CATEGORY", "INVOICE"}
            << 35
            << QStringList{"CUSTOMER-ORDER", "CUSTOMER-CUSTOMER-PROFILE", "ORDER-ORDER-LINE", "PRODUCT-ORDER-LINE",
                           "CATEGORY-PRODUCT", "ORDER-INVOICE"}
            << 7 << 34 << 5;
    }
    void realRenders()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, titles);
        QFETCH(int, attributes);
        QFETCH(QStringList, links);
        QString error;
        const RecognizedDiagram result = recognizeDiagram(dataFile(file), &error, {QStringLiteral("Liberation Sans")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        int gotTitles = 0, gotAttributes = 0, gotLinks = 0, foundLinks = 0;
        QFile f(dataFile(file));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString source = QString::fromUtf8(f.readAll());
        for (const RecognizedEntity& e : result.entities) {
            gotTitles += titles.contains(e.title);
            if (e.attributesSynthesized)
                continue;
            for (const RecognizedAttribute& a : e.attributes)
                gotAttributes += source.contains(QStringLiteral(">%1<").arg(a.name));
        }
        for (const RecognizedLink& link : result.links) {
            const QString one = result.entities[link.from].title, many = result.entities[link.to].title;
            gotLinks += links.contains(one + '-' + many);
            foundLinks += links.contains(one + '-' + many) || links.contains(many + '-' + one);
        }
        qInfo("boxes %d/%d, titles %d/%d, attribute names %d/%d, links found %d/%d, oriented %d", int(result.entities.size()),
              int(titles.size()), gotTitles, int(titles.size()), gotAttributes, attributes, foundLinks,
              int(links.size()), gotLinks);
        QCOMPARE(result.entities.size(), titles.size());
        QFETCH(int, titlesRight);
        QFETCH(int, attributesRight);
        QFETCH(int, linksRight);
        QVERIFY(gotTitles >= titlesRight);
        QVERIFY(gotAttributes >= attributesRight);
        QVERIFY(gotLinks >= linksRight);
    }
};

QUILLMAP_TEST_MAIN(TestSvgRecognition)
#include "tst_svgrecognition.moc"
