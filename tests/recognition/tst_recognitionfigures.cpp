// How much of real-looking pictures the raster road reads: tables painted
// the way schema documentation tools, diagram editors and database design
// sites export them (tests/data/recognition/*.json hold the truth beside
// each picture). Every figure must stay at least at what is reached.

#include "common/testmain.h"
#include "recognitionscore.h"

#include "recognition/diagramrecognition.h"

#include <QtTest>

namespace {

// The figures of every picture, for the totals.
RecognitionScore total;

QString dataFile(const QString& name)
{
    return QStringLiteral(QUILLMAP_TEST_DATA_DIR "/recognition/") + name;
}

void addToTotal(const RecognitionScore& score)
{
    total.boxes += score.boxes;
    total.expectedBoxes += score.expectedBoxes;
    total.titles += score.titles;
    total.attributes += score.attributes;
    total.expectedAttributes += score.expectedAttributes;
    total.links += score.links;
    total.expectedLinks += score.expectedLinks;
    total.inventedLinks += score.inventedLinks;
    total.characters += score.characters;
    total.charactersRight += score.charactersRight;
}

} // namespace

class TestRecognitionFigures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figures_data()
    {
        QTest::addColumn<QString>("picture");
        // Reached so far: boxes, titles, attribute names and links found at
        // least, links invented at most.
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("titles");
        QTest::addColumn<int>("attributes");
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("invented");
        // Counted in the totals below: the project's own pictures.
        QTest::addColumn<bool>("counted");
        QTest::newRow("light outlines") << "painted-light-outlines.png" << 6 << 6 << 19 << 5 << 0 << true;
        QTest::newRow("light outlines, 0.75, jpeg") << "painted-light-outlines-075.jpg" << 6 << 1 << 0 << 5 << 0 << true;
        QTest::newRow("transparent") << "painted-transparent.png" << 6 << 6 << 19 << 5 << 0 << true;
        QTest::newRow("dark, DejaVu") << "painted-dark-dejavu.png" << 6 << 6 << 20 << 5 << 0 << true;
        QTest::newRow("header bands") << "painted-header-bands.png" << 6 << 6 << 18 << 5 << 0 << true;
        QTest::newRow("header bands, 1.5, jpeg") << "painted-header-bands-150.jpg" << 6 << 6 << 19 << 5 << 0 << true;
        QTest::newRow("key columns") << "painted-key-columns.png" << 6 << 6 << 19 << 5 << 0 << true;
        QTest::newRow("neighbours") << "painted-neighbours.png" << 6 << 3 << 18 << 3 << 0 << true;
        QTest::newRow("Graphviz, schema doc") << "graphviz-schema-doc.png" << 6 << 6 << 21 << 7 << 0 << true;
        QTest::newRow("Graphviz, table doc") << "graphviz-table-doc.png" << 6 << 6 << 16 << 7 << 1 << true;
        // Mermaid renders (mermaid-cli 11, scale 1 and 0.75) of ruled tables
        // with type, name, key and comment columns, 5 to 64 tables.
        QTest::newRow("Mermaid, 64 tables") << "mermaid-events-64-s1.png" << 64 << 54 << 334 << 31 << 54 << false;
        QTest::newRow("Mermaid, 64 tables, 0.75") << "mermaid-events-64-s075.png" << 64 << 46 << 243 << 29 << 46 << false;
        QTest::newRow("Mermaid, 30 tables") << "mermaid-school-30-s1.png" << 30 << 27 << 167 << 16 << 19 << false;
        QTest::newRow("Mermaid, 30 tables, 0.75") << "mermaid-school-30-s075.png" << 30 << 24 << 127 << 12 << 18 << false;
        QTest::newRow("Mermaid, 5 tables") << "mermaid-library-5-s1.png" << 5 << 3 << 22 << 1 << 0 << false;
        QTest::newRow("Mermaid, 5 tables, 0.75") << "mermaid-library-5-s075.png" << 5 << 4 << 18 << 1 << 0 << false;
    }
    void figures()
    {
        QFETCH(QString, picture);
        QList<ExpectedEntity> expected;
        QList<QPair<int, int>> joined;
        QVERIFY(readTruth(dataFile(picture.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".json")), expected, joined));
        QString error;
        const RecognizedDiagram result = recognizeDiagram(dataFile(picture), &error);
        const RecognitionScore score = scoreRecognition(result, expected, joined);
        qInfo("%s: %s", qPrintable(picture), qPrintable(score.describe()));
        QFETCH(bool, counted);
        if (counted)
            addToTotal(score);
        QFETCH(int, boxes);
        QFETCH(int, titles);
        QFETCH(int, attributes);
        QFETCH(int, links);
        QFETCH(int, invented);
        QVERIFY2(score.boxes >= boxes && score.titles >= titles && score.attributes >= attributes
                     && score.links >= links && score.inventedLinks <= invented,
                 qPrintable(score.describe()));
    }


    // Over all pictures, against the goals (in percent): titles 85,
    // attribute names 75, characters 85, invented links at most 5 % of
    // the links found. The limits are what is reached.
    void totals()
    {
        QVERIFY(total.expectedBoxes > 0);
        const auto percent = [](int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0.0; };
        const double titles = percent(total.titles, total.expectedBoxes);
        const double attributes = percent(total.attributes, total.expectedAttributes);
        const double characters = percent(total.charactersRight, total.characters);
        const double invented = percent(total.inventedLinks, total.links);
        qInfo("all pictures: %s", qPrintable(total.describe()));
        qInfo("titles %.1f %% (goal 85), attribute names %.1f %% (goal 75), characters %.1f %% (goal 85), "
              "invented links %.1f %% of found (goal at most 5)", titles, attributes, characters, invented);
        QVERIFY2(titles >= 86.6 && attributes >= 80.4 && characters >= 88.8 && invented <= 2.0,
                 qPrintable(total.describe()));
    }
};

QUILLMAP_TEST_MAIN(TestRecognitionFigures)
#include "tst_recognitionfigures.moc"
