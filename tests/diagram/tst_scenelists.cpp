// The scene's own lists of its items and the glow of the selection: the
// lists agree with a walk over the scene after any mix of adding, moving
// and deleting; clearing through them leaves nothing behind; the glow
// follows the selection however it changed, the explorer's road included.
#include "app/mainwindow.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorerkinds.h"

#include "common/mainwindowparts.h"

#include <QGraphicsDropShadowEffect>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

bool glows(const QGraphicsItem* item)
{
    return qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect()) != nullptr;
}

// The text items and groups of a scene, found by walking it.
QSet<QGraphicsItem*> walkedAnnotations(const QGraphicsScene& scene)
{
    QSet<QGraphicsItem*> found;
    const QList<QGraphicsItem*> all = scene.items();
    for (QGraphicsItem* item : all) {
        if (item->type() == DiagramItemType::Text || item->type() == DiagramItemType::Group)
            found.insert(item);
    }
    return found;
}

QSet<QGraphicsItem*> listedAnnotations(const ERScene& scene)
{
    QSet<QGraphicsItem*> listed;
    for (AnnotationItem* item : scene.annotationItems())
        listed.insert(item);
    return listed;
}

// Two items of a kind on scene.
QList<QGraphicsItem*> makePair(ERScene& scene, const QString& kind)
{
    if (kind == QLatin1String("text"))
        return {scene.addTextAt(QPointF(0, 0)), scene.addTextAt(QPointF(0, 200))};
    if (kind == QLatin1String("group"))
        return {scene.addGroupAt(QPointF(0, 0)), scene.addGroupAt(QPointF(0, 400))};
    EntityItem* a = scene.addTableAt(QPointF(0, 0));
    EntityItem* b = scene.addTableAt(QPointF(400, 0));
    if (kind == QLatin1String("entity"))
        return {a, b};
    EntityItem* c = scene.addTableAt(QPointF(0, 400));
    return {scene.createEdge(a, b, false), scene.createEdge(a, c, false)};
}

} // namespace

class TestSceneLists : public QObject
{
    Q_OBJECT

private slots:
    void annotationListFollowsTheScene();
    void groupNamesComeFromTheList();
    void clearingLeavesNothing();
    void glowFollowsSelection_data();
    void glowFollowsSelection();
    void glowFollowsExplorerSelection();
};

void TestSceneLists::annotationListFollowsTheScene()
{
    ERScene scene;
    ERScene other;
    QRandomGenerator random(77u);
    QList<AnnotationItem*> live;
    for (int step = 0; step < 300; ++step) {
        const int action = live.isEmpty() ? 0 : random.bounded(5);
        if (action <= 1) {
            live.append(action == 0 ? static_cast<AnnotationItem*>(scene.addTextAt(QPointF(step, step)))
                                    : scene.addGroupAt(QPointF(step, 0)));
        } else {
            AnnotationItem* item = live.takeAt(random.bounded(int(live.size())));
            if (action == 2) {
                delete item;                 // deleted while on the scene
            } else if (action == 3) {
                scene.removeItem(item);      // taken off, then deleted
                delete item;
            } else {
                other.addItem(item);         // moved to another scene
            }
        }
        if (listedAnnotations(scene) != walkedAnnotations(scene))
            QFAIL(qPrintable(QStringLiteral("the list disagrees after step %1").arg(step)));
    }
    QCOMPARE(listedAnnotations(other), walkedAnnotations(other));
}

void TestSceneLists::groupNamesComeFromTheList()
{
    ERScene scene;
    GroupItem* first = scene.addGroupAt(QPointF(0, 0));
    GroupItem* second = scene.addGroupAt(QPointF(0, 200));
    scene.addTextAt(QPointF(0, 400));
    QCOMPARE(first->title(), QStringLiteral("group_1"));
    QCOMPARE(second->title(), QStringLiteral("group_2"));
    delete first;
    // One group left: the count gives 2, which is taken, so 3.
    QCOMPARE(scene.addGroupAt(QPointF(0, 600))->title(), QStringLiteral("group_3"));
    second->setTitle(QStringLiteral("group_9"));
    QCOMPARE(scene.addGroupAt(QPointF(0, 800))->title(), QStringLiteral("group_4"));
}

void TestSceneLists::clearingLeavesNothing()
{
    ERScene scene;
    QList<EntityItem*> entities;
    for (int i = 0; i < 12; ++i)
        entities.append(scene.addTableAt(QPointF((i % 4) * 300, (i / 4) * 300)));
    for (int i = 0; i < 12; ++i)
        scene.createEdge(entities.at(i), entities.at((i * 5 + 1) % 12), i % 2 == 0);
    scene.createEdge(entities.at(3), entities.at(3), false);
    scene.addTextAt(QPointF(-200, 0));
    scene.addGroupAt(QPointF(-300, 0))->setSelected(true);
    entities.at(4)->setSelected(true);
    QCoreApplication::processEvents();
    QVERIFY(glows(entities.at(4)));

    QTest::failOnWarning(QRegularExpression(QStringLiteral("remaining items")));
    scene.clearScene();

    QVERIFY(scene.items().isEmpty());
    QVERIFY(scene.entityItems().isEmpty());
    QVERIFY(scene.annotationItems().isEmpty());
    QVERIFY(!scene.isGlowActive());
}

void TestSceneLists::glowFollowsSelection_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("how");
    for (const char* kind : {"entity", "edge", "text", "group"}) {
        for (const char* how : {"plain", "signals blocked", "cleared with signals blocked"})
            QTest::addRow("%s, %s", kind, how) << QString::fromLatin1(kind) << QString::fromLatin1(how);
    }
}

void TestSceneLists::glowFollowsSelection()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    ERScene scene;
    const QList<QGraphicsItem*> pair = makePair(scene, kind);
    QGraphicsItem* first = pair.at(0);
    QGraphicsItem* second = pair.at(1);
    first->setSelected(true);
    QCoreApplication::processEvents();
    QVERIFY(glows(first));
    QVERIFY(scene.isGlowActive());

    const bool block = how != QLatin1String("plain");
    const bool wereBlocked = scene.blockSignals(block);
    if (how == QLatin1String("cleared with signals blocked")) {
        scene.clearSelection();
    } else {
        first->setSelected(false);
        second->setSelected(true);
    }
    scene.blockSignals(wereBlocked);
    QCoreApplication::processEvents();

    QVERIFY(!glows(first));
    if (how == QLatin1String("cleared with signals blocked")) {
        QVERIFY(!glows(second));
        QVERIFY(!scene.isGlowActive());
    } else {
        QVERIFY(glows(second));
        QVERIFY(scene.isGlowActive());
    }
}

void TestSceneLists::glowFollowsExplorerSelection()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ERScene* scene = canvasScene(&window);
    EntityItem* a = scene->addTableAt(QPointF(0, 0));
    EntityItem* b = scene->addTableAt(QPointF(400, 0));
    a->setSelected(true);
    QCoreApplication::processEvents();
    QVERIFY(glows(a));

    window.selectExplorerItem(ExplorerKind::Table, b->id());
    QCoreApplication::processEvents();
    QVERIFY(b->isSelected());
    QVERIFY(!a->isSelected());
    QVERIFY(glows(b));
    QVERIFY(!glows(a));
}

QUILLMAP_TEST_MAIN(TestSceneLists)
#include "tst_scenelists.moc"
