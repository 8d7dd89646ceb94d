#include "common/testmain.h"
#include "edges/edgepaths.h"

#include <QtTest>

namespace {

// The points the path passes through (curve control points left out).
QList<QPointF> onPathPoints(const QPainterPath& path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement || e.type == QPainterPath::LineToElement)
            points.append(QPointF(e.x, e.y));
        else if (e.type == QPainterPath::CurveToElement)
            points.append(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
    }
    return points;
}

int curveCount(const QPainterPath& path)
{
    int n = 0;
    for (int i = 0; i < path.elementCount(); ++i)
        n += path.elementAt(i).type == QPainterPath::CurveToElement ? 1 : 0;
    return n;
}

} // namespace

class TestEdgePaths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tooFewPointsGiveNothing()
    {
        QVERIFY(buildRoundedPath({}, 10).isEmpty());
        QVERIFY(buildRoundedPath({QPointF(3, 4)}, 10).isEmpty());
    }

    void twoPointsAreAPlainLine()
    {
        const QPainterPath path = buildRoundedPath({QPointF(0, 0), QPointF(100, 0)}, 10);
        QCOMPARE(path.elementCount(), 2);
        QCOMPARE(onPathPoints(path), (QList<QPointF>{QPointF(0, 0), QPointF(100, 0)}));
    }

    void cornersAreRounded_data()
    {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QList<QPointF>>("through");
        QTest::addColumn<int>("curves");
        // Long legs: the full radius 10.
        QTest::newRow("radius 10") << QList<QPointF>{{0, 0}, {100, 0}, {100, 50}}
                                   << QList<QPointF>{{0, 0}, {90, 0}, {100, 10}, {100, 50}} << 1;
        // Legs of 8 and 30: half the shorter one, 4.
        QTest::newRow("short leg") << QList<QPointF>{{0, 0}, {8, 0}, {8, 30}}
                                   << QList<QPointF>{{0, 0}, {4, 0}, {8, 4}, {8, 30}} << 1;
        // A leg of 0.2: the corner stays sharp.
        QTest::newRow("sharp") << QList<QPointF>{{0, 0}, {0.2, 0}, {0.2, 30}}
                               << QList<QPointF>{{0, 0}, {0.2, 0}, {0.2, 30}} << 0;
        // Going left and up: the signs follow the legs.
        QTest::newRow("left then up") << QList<QPointF>{{100, 100}, {0, 100}, {0, 0}}
                                      << QList<QPointF>{{100, 100}, {10, 100}, {0, 90}, {0, 0}} << 1;
        QTest::newRow("two corners") << QList<QPointF>{{0, 0}, {50, 0}, {50, 40}, {90, 40}}
                                     << QList<QPointF>{{0, 0}, {40, 0}, {50, 10}, {50, 30}, {60, 40}, {90, 40}} << 2;
    }

    void cornersAreRounded()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(QList<QPointF>, through);
        QFETCH(int, curves);
        const QPainterPath path = buildRoundedPath(points, EdgeCornerRadius);
        const QList<QPointF> got = onPathPoints(path);
        QCOMPARE(got.size(), through.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(QLineF(got[i], through[i]).length() < 1e-9, qPrintable(QString::number(i)));
        QCOMPARE(curveCount(path), curves);
    }

    void glyphs_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<QRectF>("bounds");
        const double h = 0.35 * 14; // 4.9
        QTest::newRow("one") << int(CardinalityOne) << QRectF(0, -h, h, 2 * h);
        QTest::newRow("many") << int(CardinalityMany) << QRectF(0, -h, 14, 2 * h);
        QTest::newRow("zero or one") << int(CardinalityZeroOrOne) << QRectF(-2.6 * h, -h, 2.6 * h, 2 * h);
        QTest::newRow("zero or many") << int(CardinalityZeroOrMany) << QRectF(-2.6 * h, -h, 2.6 * h + 14, 2 * h);
    }

    void glyphs()
    {
        QFETCH(int, card);
        QFETCH(QRectF, bounds);
        const QRectF got = cardinalityGlyphPath(card, 14).boundingRect();
        QVERIFY2(std::abs(got.left() - bounds.left()) < 1e-9 && std::abs(got.right() - bounds.right()) < 1e-9
                     && std::abs(got.top() - bounds.top()) < 1e-9 && std::abs(got.bottom() - bounds.bottom()) < 1e-9,
                 qPrintable(QString("%1 %2 %3 %4").arg(got.left()).arg(got.top()).arg(got.right()).arg(got.bottom())));
    }

    void manyToesReachTheEntity()
    {
        // The crow's foot's three toes end on x = size, the route's end.
        const QPainterPath many = cardinalityGlyphPath(CardinalityMany, 14);
        int toes = 0;
        for (int i = 0; i < many.elementCount(); ++i) {
            const QPainterPath::Element e = many.elementAt(i);
            if (e.type == QPainterPath::LineToElement && std::abs(e.x - 14) < 1e-9)
                ++toes;
        }
        QCOMPARE(toes, 3);
    }

    // A glyph of size 14 placed at an end: its anchor 14 back along the
    // route, its tip (x = 14) on the end point, whichever way the route
    // arrives; a route of one repeated point leaves it at the end.
    void endPlacement_data()
    {
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<QPointF>("neighbour");
        QTest::addColumn<QPointF>("anchor");
        QTest::newRow("arriving rightwards") << QPointF(100, 50) << QPointF(0, 50) << QPointF(86, 50);
        QTest::newRow("arriving leftwards") << QPointF(0, 50) << QPointF(100, 50) << QPointF(14, 50);
        QTest::newRow("arriving downwards") << QPointF(30, 200) << QPointF(30, 20) << QPointF(30, 186);
        QTest::newRow("arriving upwards") << QPointF(30, 20) << QPointF(30, 200) << QPointF(30, 34);
        QTest::newRow("one point") << QPointF(5, 5) << QPointF(5, 5) << QPointF(5, 5);
    }

    void endPlacement()
    {
        QFETCH(QPointF, end);
        QFETCH(QPointF, neighbour);
        QFETCH(QPointF, anchor);
        const QTransform t = routeEndTransform(end, neighbour, 14);
        QVERIFY(QLineF(t.map(QPointF(0, 0)), anchor).length() < 1e-9);
        if (end != neighbour)
            QVERIFY(QLineF(t.map(QPointF(14, 0)), end).length() < 1e-9);
    }

    void unknownCodesDrawNothing()
    {
        QVERIFY(cardinalityGlyphPath(7, 14).isEmpty());
        QVERIFY(cardinalityGlyphPath(-1, 14).isEmpty());
    }
};

QUILLMAP_TEST_APPLESS_MAIN(TestEdgePaths)
#include "tst_edgepaths.moc"
