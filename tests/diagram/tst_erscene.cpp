#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsRectItem>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

// A stand-in for the diagram items: a selectable box of a given type code
// that records when it is destroyed.
class FakeItem : public QGraphicsRectItem
{
public:
    FakeItem(int type, QStringList* log, QString name)
        : QGraphicsRectItem(0, 0, 100, 60)
        , m_type(type)
        , m_log(log)
        , m_name(std::move(name))
    {
        setFlag(ItemIsSelectable);
    }
    ~FakeItem() override
    {
        if (m_log)
            m_log->append(m_name);
        if (onDestroy)
            onDestroy();
    }
    int type() const override { return m_type; }
    std::function<void()> onDestroy;

private:
    int m_type;
    QStringList* m_log;
    QString m_name;
};

QColor pixelAt(ERScene& scene, QPointF scenePoint)
{
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    const QRectF source(0, 0, 40, 40);
    scene.render(&painter, QRectF(0, 0, 40, 40), source);
    painter.end();
    return image.pixelColor(scenePoint.toPoint());
}

} // namespace

class TestERScene : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaultsForNewItems();
    void backgroundAndGrid_data();
    void backgroundAndGrid();
    void gridLinesCoverAnyRectangle_data();
    void gridLinesCoverAnyRectangle();
    void growsButNeverShrinks();
    void growsAgainAfterAnOutsideFit();
    void growsAfterEveryLoad();
    void viewFollowsAfterALoad();
    void selectedItemsGlow_data();
    void selectedItemsGlow();
    void glowPulsesBetweenLimits();
    void releaseSelectionIsSilent();
    void clearSceneDeletesEdgesFirst();
    void notifyEntityAdded();
};

void TestERScene::init()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestERScene::defaultsForNewItems()
{
    ERScene scene;
    QVERIFY(!scene.hasDefaultEntityColors());
    std::array<QColor, 8> colors;
    colors.fill(QColor(Qt::red));
    colors[7] = QColor();
    scene.setDefaultEntityColors(colors);
    QVERIFY(!scene.hasDefaultEntityColors()); // seven of eight are not enough
    colors[7] = QColor(Qt::blue);
    scene.setDefaultEntityColors(colors);
    QVERIFY(scene.hasDefaultEntityColors());
    // The text and group defaults are checked with the items they style.
}

void TestERScene::backgroundAndGrid_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("grid");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("line");
    QTest::newRow("light") << false << true << false << "#ffffff" << "#ebebeb";
    QTest::newRow("dark") << true << true << false << "#1a1a1a" << "#3c3c3c";
    QTest::newRow("dark, export look") << true << false << true << "#ffffff" << "#ffffff";
    QTest::newRow("light, no grid") << false << false << false << "#ffffff" << "#ffffff";
}

void TestERScene::backgroundAndGrid()
{
    QFETCH(bool, dark);
    QFETCH(bool, grid);
    QFETCH(bool, custom);
    QFETCH(QString, background);
    QFETCH(QString, line);
    ThemeManager::instance().setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
    ERScene scene;
    scene.setGridVisible(grid);
    scene.setCustomBackground(custom);
    // Grid lines every 20 scene units; cells in between show the background.
    QCOMPARE(pixelAt(scene, QPointF(10, 10)).name(), background);
    QCOMPARE(pixelAt(scene, QPointF(20, 10)).name(), line);
    QCOMPARE(pixelAt(scene, QPointF(10, 20)).name(), line);
}

void TestERScene::gridLinesCoverAnyRectangle_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<double>("spacing");  // the spacing expected, 0 for no lines
    QTest::newRow("a view at zoom 1") << QRectF(-35.5, 12.25, 900, 600) << 20.0;
    QTest::newRow("whole default scene") << QRectF(-2000, -2000, 4000, 4000) << 20.0;
    QTest::newRow("negative, off the grid") << QRectF(-1013, -7, 41, 39) << 20.0;
    QTest::newRow("an entity at x 3e9") << QRectF(0, -100, 3e9, 300) << 20.0 * 65536;
    QTest::newRow("beyond int") << QRectF(2.2e9, 2.2e9, 1000, 500) << 20.0;
    QTest::newRow("zoomed far out") << QRectF(0, 0, 200000, 1000) << 80.0;
    QTest::newRow("vast") << QRectF(-1e300, -1e300, 1e300, 1e300) << -1.0;
    QTest::newRow("empty") << QRectF(10, 10, 0, 50) << 0.0;
    QTest::newRow("infinite") << QRectF(0, 0, qInf(), 10) << 0.0;
}

// Lines on the multiples of the spacing from one edge of the rectangle to
// the other, never more than MaxGridLines each way, computed without
// leaving floating point.
void TestERScene::gridLinesCoverAnyRectangle()
{
    QFETCH(QRectF, rect);
    QFETCH(double, spacing);
    const QList<QLineF> lines = ERScene::gridLines(rect);
    if (spacing == 0) {
        QVERIFY(lines.isEmpty());
        return;
    }
    QList<double> xs;
    QList<double> ys;
    for (const QLineF& line : lines) {
        if (line.x1() == line.x2()) {
            QCOMPARE(line.y1(), rect.top());
            QCOMPARE(line.y2(), rect.bottom());
            xs << line.x1();
        } else {
            QCOMPARE(line.y1(), line.y2());
            QCOMPARE(line.x1(), rect.left());
            QCOMPARE(line.x2(), rect.right());
            ys << line.y1();
        }
    }
    QVERIFY(xs.size() <= ERScene::MaxGridLines + 1);
    QVERIFY(ys.size() <= ERScene::MaxGridLines + 1);
    QVERIFY(!xs.isEmpty() && !ys.isEmpty());
    if (spacing < 0)
        return;  // beyond the precision of the coordinates
    for (const QList<double>& at : {xs, ys}) {
        for (qsizetype i = 0; i < at.size(); ++i) {
            QCOMPARE(std::fmod(at[i], spacing), 0.0);
            if (i > 0)
                QCOMPARE(at[i] - at[i - 1], spacing);
        }
    }
    QVERIFY(xs.first() <= rect.left() && xs.first() > rect.left() - spacing);
    QVERIFY(xs.last() < rect.right() && xs.last() + spacing >= rect.right());
    QVERIFY(ys.first() <= rect.top() && ys.first() > rect.top() - spacing);
    QVERIFY(ys.last() < rect.bottom() && ys.last() + spacing >= rect.bottom());
}

void TestERScene::growsButNeverShrinks()
{
    ERScene scene;
    auto* item = scene.addRect(0, 0, 150, 70);
    item->setPos(1900, 0);
    QTRY_VERIFY(scene.sceneRect().contains(QRectF(1900 - 300, -300, 150 + 600, 70 + 600)));
    const QRectF grown = scene.sceneRect();
    QVERIFY(grown.right() >= 2350);
    QCOMPARE(grown.left(), -2000.0);
    item->setPos(0, 0);
    QTest::qWait(20);
    QCOMPARE(scene.sceneRect(), grown);
}

// Fitting the rectangle tightly around the items (as the window does after
// a load) leaves them without their margin; the next change anywhere, even
// far from the border, gives it back.
void TestERScene::growsAgainAfterAnOutsideFit()
{
    ERScene scene;
    scene.addRect(0, 0, 150, 70);
    scene.addRect(2000, 2000, 150, 70);
    auto* middle = scene.addRect(1000, 1000, 150, 70);
    const QRectF withMargin = scene.itemsBoundingRect().adjusted(-300, -300, 300, 300);
    QTRY_VERIFY(scene.sceneRect().contains(withMargin));

    scene.setSceneRect(scene.itemsBoundingRect().adjusted(-100, -100, 100, 100));
    middle->update();
    QTRY_COMPARE(scene.sceneRect(), withMargin);
}

// A load grows the rectangle once around what it read, without listening
// to each of its steps; afterwards the scene follows its items again, and
// every later load (from a repeated Open) does the same.
void TestERScene::growsAfterEveryLoad()
{
    ERScene scene;
    const auto entity = [](const QString& id, double x, double y) {
        return QJsonObject{{"id", id},
                           {"title", id},
                           {"x", x},
                           {"y", y},
                           {"attributes", QJsonArray{QJsonObject{{"name", "id"}, {"type", "INT"}}}}};
    };
    for (int load = 0; load < 3; ++load) {
        const double far = 4000.0 * (load + 1);
        const QJsonObject diagram{{"type", "er-diagram"},
                                  {"entities", QJsonArray{entity("a", 0, 0), entity("b", far, far)}},
                                  {"edges", QJsonArray()}};
        QVERIFY(scene.loadFromJson(diagram));
        QCOMPARE(scene.entityItems().size(), qsizetype(2));
        const QRectF read = scene.itemsBoundingRect();
        QVERIFY(read.right() > far);
        QVERIFY(scene.sceneRect().contains(read.adjusted(-300, -300, 300, 300)));

        EntityItem* moved = scene.entityItems().first();
        moved->setPos(-3 * far, 2 * far);
        QTRY_VERIFY(scene.sceneRect().contains(moved->sceneBoundingRect().adjusted(-300, -300, 300, 300)));
    }
}

namespace {

class CountingView : public QGraphicsView
{
public:
    using QGraphicsView::QGraphicsView;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        QGraphicsView::paintEvent(event);
    }
};

} // namespace

// A load holds the views back; afterwards they follow every change again.
void TestERScene::viewFollowsAfterALoad()
{
    ERScene scene;
    CountingView view(&scene);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    scene.addRect(0, 0, 50, 50)->update();
    QTRY_VERIFY(view.paints > 0);
    const QJsonObject diagram{
        {"type", "er-diagram"},
        {"entities", QJsonArray{QJsonObject{{"id", "a"}, {"title", "a"}, {"x", 0}, {"y", 0}}}}};
    for (int load = 0; load < 2; ++load) {
        QVERIFY(scene.loadFromJson(diagram));
        QTRY_VERIFY(view.paints > 0);
        QCoreApplication::processEvents();
        view.paints = 0;
        scene.entityItems().first()->setPos(10 + load, 10);
        QTRY_VERIFY(view.paints > 0);
    }
}

void TestERScene::selectedItemsGlow_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("glows");
    QTest::addColumn<qreal>("blur");
    QTest::addColumn<int>("slot");
    QTest::newRow("entity") << int(DiagramItemType::Entity) << true << qreal(20) << int(ThemeSlot::Selection);
    QTest::newRow("edge") << int(DiagramItemType::Edge) << true << qreal(14) << int(ThemeSlot::Highlight);
    QTest::newRow("text") << int(DiagramItemType::Text) << true << qreal(20) << int(ThemeSlot::Selection);
    QTest::newRow("group") << int(DiagramItemType::Group) << true << qreal(20) << int(ThemeSlot::Selection);
    QTest::newRow("slot handle") << int(DiagramItemType::Slot) << false << qreal(0) << 0;
}

void TestERScene::selectedItemsGlow()
{
    QFETCH(int, type);
    QFETCH(bool, glows);
    QFETCH(qreal, blur);
    QFETCH(int, slot);
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    ERScene scene;
    auto* item = new FakeItem(type, nullptr, QString());
    scene.addItem(item);
    item->setSelected(true);
    QCoreApplication::processEvents(); // the handling is deferred

    auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect());
    QCOMPARE(effect != nullptr, glows);
    QCOMPARE(scene.isGlowActive(), glows);
    if (glows) {
        QCOMPARE(effect->blurRadius(), blur);
        QCOMPARE(effect->offset(), QPointF(0, 0));
        QColor expected = ThemeManager::instance().color(slot);
        QCOMPARE(effect->color().rgb(), expected.rgb());
        QVERIFY(effect->color().alpha() >= 70 && effect->color().alpha() <= 200);
    }

    scene.clearSelection();
    QCoreApplication::processEvents();
    QVERIFY(!item->graphicsEffect());
    QVERIFY(!scene.isGlowActive());
}

void TestERScene::glowPulsesBetweenLimits()
{
    ERScene scene;
    auto* item = new FakeItem(DiagramItemType::Entity, nullptr, QString());
    scene.addItem(item);
    item->setSelected(true);
    QCoreApplication::processEvents();
    int low = 255;
    int high = 0;
    for (int step = 0; step < 50; ++step) { // one full 2 s cycle of 40 ms steps
        scene.updateSelectionGlow();
        const int alpha = qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect())->color().alpha();
        low = qMin(low, alpha);
        high = qMax(high, alpha);
    }
    QVERIFY(low >= 70 && low <= 72);
    QVERIFY(high >= 198 && high <= 200);

    // The colour follows a theme switch.
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect())->color().rgb(),
             QColor(0x50, 0xaa, 0xff).rgb());
}

void TestERScene::releaseSelectionIsSilent()
{
    ERScene scene;
    auto* a = new FakeItem(DiagramItemType::Entity, nullptr, QString());
    auto* b = new FakeItem(DiagramItemType::Text, nullptr, QString());
    scene.addItem(a);
    scene.addItem(b);
    a->setSelected(true);
    b->setSelected(true);
    QCoreApplication::processEvents();
    QVERIFY(a->graphicsEffect());

    QSignalSpy spy(&scene, &QGraphicsScene::selectionChanged);
    scene.releaseSelection();
    QVERIFY(scene.selectedItems().isEmpty());
    QVERIFY(!a->graphicsEffect());
    QVERIFY(!b->graphicsEffect());
    QVERIFY(!scene.isGlowActive());
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(scene.itemIndexMethod(), QGraphicsScene::BspTreeIndex);
}

void TestERScene::clearSceneDeletesEdgesFirst()
{
    ERScene scene;
    ERView view(&scene);
    QStringList log;
    auto* group = new FakeItem(DiagramItemType::Group, &log, QStringLiteral("group"));
    auto* entityA = new FakeItem(DiagramItemType::Entity, &log, QStringLiteral("entity"));
    auto* edge = new FakeItem(DiagramItemType::Edge, &log, QStringLiteral("edge"));
    auto* text = new FakeItem(DiagramItemType::Text, &log, QStringLiteral("text"));
    auto* entityB = new FakeItem(DiagramItemType::Entity, &log, QStringLiteral("entity"));
    auto* slot = new FakeItem(DiagramItemType::Slot, &log, QStringLiteral("slot"));
    slot->setParentItem(entityB);
    for (QGraphicsItem* item : {static_cast<QGraphicsItem*>(group), static_cast<QGraphicsItem*>(entityA),
                                static_cast<QGraphicsItem*>(edge), static_cast<QGraphicsItem*>(text),
                                static_cast<QGraphicsItem*>(entityB)})
        scene.addItem(item);
    entityA->setSelected(true);

    bool nestedWasClearing = false;
    edge->onDestroy = [&] {
        nestedWasClearing = scene.isClearing();
        scene.clearScene(); // a nested call returns at once
    };
    QSignalSpy spy(&scene, &QGraphicsScene::selectionChanged);
    scene.clearScene();

    QVERIFY(nestedWasClearing);
    QVERIFY(scene.items().isEmpty());
    QCOMPARE(log.first(), QStringLiteral("edge"));
    QCOMPARE(log.mid(1, 3).count(QStringLiteral("entity")), 2);
    QVERIFY(log.indexOf(QStringLiteral("slot")) < log.indexOf(QStringLiteral("text")));
    QVERIFY(log.indexOf(QStringLiteral("text")) > log.lastIndexOf(QStringLiteral("entity")));
    QVERIFY(log.indexOf(QStringLiteral("group")) > log.lastIndexOf(QStringLiteral("entity")));
    QCOMPARE(log.size(), 6);
    QVERIFY(!scene.isClearing());
    QVERIFY(!scene.signalsBlocked());
    QCOMPARE(scene.itemIndexMethod(), QGraphicsScene::BspTreeIndex);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);

    // Clearing an empty scene completes as well.
    scene.clearScene();
    QVERIFY(!scene.isClearing());
}

void TestERScene::notifyEntityAdded()
{
    ERScene scene;
    QSignalSpy spy(&scene, &ERScene::entityAdded);
    scene.notifyEntityAdded(nullptr);
    QCOMPARE(spy.count(), 0);
}

QUILLMAP_TEST_MAIN(TestERScene)
#include "tst_erscene.moc"
