// The recognised diagram entering the live scene: entities from the
// diagram JSON, one edge per linked pair with One and Many ends, and the
// foreign-key rows the edges own.

#include "common/testmain.h"
#include "common/sceneitems.h"
#include "diagrampainter.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "edges/edgepaths.h"
#include "recognition/diagramrecognition.h"
#include "recognition/recognizedimport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

RecognizedEntity entity(const QString& title, QRectF box, const QStringList& names)
{
    RecognizedEntity e;
    e.title = title;
    e.box = box;
    for (const QString& name : names)
        e.attributes.append({name, name == QLatin1String("id") || name.endsWith(QLatin1String("_id")) ? "uuid" : "text"});
    return e;
}

RecognizedLink link(int from, int to)
{
    RecognizedLink l;
    l.from = from;
    l.to = to;
    return l;
}

EntityItem* byTitle(ERScene& scene, const QString& title)
{
    for (EntityItem* e : scene.entityItems()) {
        if (e->title() == title)
            return e;
    }
    return nullptr;
}

int rowOf(const EntityItem* e, const QString& name)
{
    for (int i = 0; i < e->attributeCount(); ++i) {
        if (e->attributeName(i) == name)
            return i;
    }
    return -1;
}

} // namespace

class TestRecognizedImport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void edgesAndForeignKeys()
    {
        RecognizedDiagram diagram;
        diagram.entities = {
            entity("Customers", QRectF(0, 0, 120, 80), {"id", "email"}),
            entity("Orders", QRectF(300, 0, 120, 80), {"id", "customer_id", "note"}),
            entity("Tag", QRectF(0, 300, 120, 80), {}),
            entity("Audit", QRectF(300, 300, 120, 80), {"id", "cust_note"}),
        };
        completeRecognizedEntities(diagram.entities);
        diagram.links = {link(0, 1), link(1, 0), link(1, 1), link(0, 7), link(-1, 2), link(0, 2), link(0, 3)};

        ERScene scene;
        scene.addItem(new EntityItem(QStringLiteral("Old"), QSizeF(100, 60)));
        loadRecognizedDiagram(&scene, diagram);

        QCOMPARE(scene.entityItems().size(), 4);
        QVERIFY(!byTitle(scene, "Old"));
        const QList<EdgeItem*> edges = itemsOfType<EdgeItem>(scene);
        QCOMPARE(edges.size(), 3);  // the repeated, self, out-of-range and negative links are skipped
        for (EdgeItem* edge : edges) {
            QCOMPARE(edge->startCard(), int(CardinalityOne));
            QCOMPARE(edge->endCard(), int(CardinalityMany));
            QCOMPARE(edge->fromEntity()->title(), QString("Customers"));
            QVERIFY(edge->route().size() >= 2);
        }

        // customer_id names the One end: it becomes the edge's foreign key.
        EntityItem* orders = byTitle(scene, "Orders");
        QVERIFY(orders);
        const int customerRow = rowOf(orders, "customer_id");
        QVERIFY(!orders->attributeFkEdgeId(customerRow).isEmpty());
        QVERIFY(orders->attributeFkEdgeId(rowOf(orders, "note")).isEmpty());
        QCOMPARE(orders->attributeCount(), 3);

        // A synthesised entity receives the keys of the One end as rows.
        EntityItem* tag = byTitle(scene, "Tag");
        QVERIFY(tag);
        QVERIFY(tag->attributeCount() > 1);
        bool tagHasForeignKey = false;
        for (int i = 0; i < tag->attributeCount(); ++i)
            tagHasForeignKey |= !tag->attributeFkEdgeId(i).isEmpty();
        QVERIFY(tagHasForeignKey);

        // A weak resemblance (a prefix of 4, score below 8) marks nothing.
        EntityItem* audit = byTitle(scene, "Audit");
        QVERIFY(audit);
        for (int i = 0; i < audit->attributeCount(); ++i)
            QVERIFY(audit->attributeFkEdgeId(i).isEmpty());
    }

    void failuresLeaveTheirSentence()
    {
        QString error;
        QVERIFY(!importRecognizedDiagram(nullptr, QStringLiteral("x.png"), &error));
        QCOMPARE(error, QString("No scene available."));

        ERScene scene;
        scene.addItem(new EntityItem(QStringLiteral("Kept"), QSizeF(100, 60)));
        error.clear();
        QVERIFY(!importRecognizedDiagram(&scene, QStringLiteral("/nonexistent/picture.png"), &error));
        QCOMPARE(error, QString("Could not load the image."));
        QCOMPARE(scene.entityItems().size(), 1);  // a failed recognition leaves the scene alone
        QVERIFY(!importRecognizedDiagram(&scene, QStringLiteral("/nonexistent/picture.png"), nullptr));
    }

    void paintedPictureEndToEnd()
    {
        QTemporaryDir dir;
        PaintedDiagram painted = shopDiagram();
        PaintOptions options;
        options.pixelSize = 18;
        const QString path = dir.filePath(QStringLiteral("shop.png"));
        QVERIFY(paintDiagram(painted, options).save(path));

        ERScene scene;
        QString error;
        QVERIFY2(importRecognizedDiagram(&scene, path, &error, {options.family}), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(scene.entityItems().size(), painted.entities.size());
        QCOMPARE(itemsOfType<EdgeItem>(scene).size(), painted.links.size());
        // Every entity has a title and at least one row.
        for (EntityItem* e : scene.entityItems()) {
            QVERIFY(!e->title().trimmed().isEmpty());
            QVERIFY(e->attributeCount() > 0);
        }
    }
};

QUILLMAP_TEST_MAIN(TestRecognizedImport)
#include "tst_recognizedimport.moc"
