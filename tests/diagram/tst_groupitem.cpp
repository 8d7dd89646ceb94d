#include "annotationhelpers.h"

#include "app/applicationsetup.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/groupitem.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace annotationtest;

namespace {

const QColor LightAccent(0x00, 0x78, 0xd7);
const QColor DarkAccent(0x50, 0xaa, 0xff);

QRectF sceneRectOf(const GroupItem* g)
{
    return QRectF(g->pos(), g->rect().size());
}

} // namespace

class TestGroupItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void newFrame();
    void setRectKeepsTheMinimum();
    void titleRectMeasuresTheTitle();
    void coloursPerTheme();
    void setColorsSkipsInvalidColours();
    void staysBehindEverythingElse();
    void resizeFromEachHandle_data();
    void resizeFromEachHandle();
    void pressInsideMovesTheFrame();
    void titleEditing_data();
    void titleEditing();
    void doubleClickHitArea_data();
    void doubleClickHitArea();
    void editorIsATopLevelItemAboveEverything();
    void clearSceneAndDeletionCloseTheEditor();
    void contextMenuAsksTheSceneForTheStyleDialog();
    void exportDrawsOutlinesWithoutDecoration();
    void jsonGoldenRoundTrip();
    void jsonLegacyColours();
    void jsonDefaultsAndDamagedValues();
    void addGroupAtNamesUniquely();
    void addGroupAtUsesTheDefaultStyle();
};

void TestGroupItem::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestGroupItem::cleanup()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestGroupItem::newFrame()
{
    GroupItem g(QStringLiteral("Sales"), QSizeF(50, 20)); // not clamped here
    QCOMPARE(g.rect(), QRectF(0, 0, 50, 20));
    QCOMPARE(g.boundingRect(), QRectF(-6, -6, 62, 32));
    QCOMPARE(g.title(), QStringLiteral("Sales"));
    QCOMPARE(g.type(), int(QGraphicsItem::UserType + 105));
    QCOMPARE(g.zValue(), -1000.0);
    QCOMPARE(g.titleFont().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(g.titleFont().pointSize(), 10);
    QCOMPARE(g.titleFont().weight(), QFont::Bold);
    QCOMPARE(g.colors(), defaultGroupItemStyle());
    QCOMPARE(g.id().size(), 36);
    QVERIFY(g.flags() & QGraphicsItem::ItemIsMovable);
    QVERIFY(g.flags() & QGraphicsItem::ItemIsSelectable);
}

void TestGroupItem::setRectKeepsTheMinimum()
{
    GroupItem g(QStringLiteral("g"), QSizeF(240, 160));
    g.setRect(QRectF(10, 20, 30, 5));
    QCOMPARE(g.pos(), QPointF(10, 20));
    QCOMPARE(g.rect(), QRectF(0, 0, 80, 40));
    g.setRect(QRectF(-5, -6, 300.5, 200));
    QCOMPARE(sceneRectOf(&g), QRectF(-5, -6, 300.5, 200));
}

void TestGroupItem::titleRectMeasuresTheTitle()
{
    GroupItem g(QStringLiteral("A long group title for measuring"), QSizeF(240, 160));
    const QFontMetricsF fm(g.titleFont());
    QCOMPARE(g.titleRect(), QRectF(8, 4, fm.horizontalAdvance(g.title()) + 8, std::max(fm.height() + 2, 16.0)));
    // Short and empty titles keep a usable target.
    g.setTitle(QString());
    QCOMPARE(g.titleRect().width(), std::max(fm.horizontalAdvance(QStringLiteral("Group")) + 8, 40.0));
    g.setTitle(QStringLiteral("x"));
    QCOMPARE(g.titleRect().width(), 40.0);
}

void TestGroupItem::coloursPerTheme()
{
    GroupItem g(QStringLiteral("g"), QSizeF(120, 80));
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCOMPARE(g.fillColor(), QColor(0xfa, 0xfa, 0xfa, 90));
    QCOMPARE(g.borderColor(), QColor(Qt::black));
    QCOMPARE(g.textColor(), QColor(Qt::black));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(g.fillColor(), QColor(0x26, 0x26, 0x26, 90));
    QCOMPARE(g.borderColor(), QColor(0xd2, 0xd2, 0xd2));
    QCOMPARE(g.textColor(), QColor(0xe6, 0xe6, 0xe6));

    // Painted: opaque fills so that pixels can be compared exactly.
    g.setColors(QColor(Qt::red), QColor(Qt::black), QColor(Qt::black), QColor(Qt::blue), QColor(Qt::white),
                QColor(Qt::white));
    for (bool onScreen : {true, false}) {
        ThemeManager::instance().setTheme(ThemeKind::Light);
        QImage image = renderItem(&g, false, onScreen);
        QCOMPARE(image.pixelColor(10 + 60, 10 + 60), QColor(Qt::red));
        QVERIFY(qGray(image.pixel(10, 10 + 40)) < 80); // the black border on the left edge
        ThemeManager::instance().setTheme(ThemeKind::Dark);
        image = renderItem(&g, false, onScreen);
        QCOMPARE(image.pixelColor(10 + 60, 10 + 60), QColor(Qt::blue));
    }

    // Selected on screen, the border takes the accent colour of the theme.
    QCOMPARE(renderItem(&g, true, true).pixelColor(10, 10 + 15), DarkAccent);
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCOMPARE(renderItem(&g, true, true).pixelColor(10, 10 + 15), LightAccent);
}

void TestGroupItem::setColorsSkipsInvalidColours()
{
    GroupItem g(QStringLiteral("g"), QSizeF(120, 80));
    const GroupItemStyle before = g.colors();
    g.setColors(QColor(Qt::red), QColor(), QColor(), QColor(), QColor(), QColor(Qt::green));
    GroupItemStyle expected = before;
    expected.lightFill = QColor(Qt::red);
    expected.darkTitle = QColor(Qt::green);
    QCOMPARE(g.colors(), expected);
    g.setColors(GroupItemStyle{});
    QCOMPARE(g.colors(), expected);
}

void TestGroupItem::staysBehindEverythingElse()
{
    ERScene scene;
    auto* g = new GroupItem(QStringLiteral("g"), QSizeF(400, 300));
    g->setZValue(5000);
    scene.addItem(g);
    QCOMPARE(g->zValue(), -1000.0);
    EntityItem* table = scene.addTableAt(QPointF(50, 50));
    TextItem* text = scene.addTextAt(QPointF(60, 60));
    const QList<QGraphicsItem*> stack = scene.items(QPointF(70, 70));
    QCOMPARE(stack.last(), g);
    QVERIFY(stack.indexOf(text) < stack.indexOf(table));

    // Moving it to another scene resets it again.
    g->setZValue(10);
    ERScene other;
    other.addItem(g);
    QCOMPARE(g->zValue(), -1000.0);
}

void TestGroupItem::resizeFromEachHandle_data()
{
    QTest::addColumn<int>("handle");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected");

    // The frame starts at (100, 100) with size 240 x 160.
    QTest::newRow("1 shrinks") << 1 << QPointF(30, 20) << QRectF(130, 120, 210, 140);
    QTest::newRow("1 past the far corner") << 1 << QPointF(300, 200) << QRectF(260, 220, 80, 40);
    QTest::newRow("2 shrinks") << 2 << QPointF(50, 20) << QRectF(100, 120, 240, 140);
    QTest::newRow("2 past the bottom") << 2 << QPointF(0, 300) << QRectF(100, 220, 240, 40);
    QTest::newRow("3 grows") << 3 << QPointF(20, -10) << QRectF(100, 90, 260, 170);
    QTest::newRow("3 past the far corner") << 3 << QPointF(-300, 300) << QRectF(100, 220, 80, 40);
    QTest::newRow("4 grows") << 4 << QPointF(-20, 7) << QRectF(80, 100, 260, 160);
    QTest::newRow("4 past the right edge") << 4 << QPointF(500, 0) << QRectF(260, 100, 80, 160);
    QTest::newRow("5 grows") << 5 << QPointF(15, 0) << QRectF(100, 100, 255, 160);
    QTest::newRow("5 past the left edge") << 5 << QPointF(-500, 0) << QRectF(100, 100, 80, 160);
    QTest::newRow("6 shrinks and grows") << 6 << QPointF(10, 10) << QRectF(110, 100, 230, 170);
    QTest::newRow("6 past the far corner") << 6 << QPointF(400, -400) << QRectF(260, 100, 80, 40);
    QTest::newRow("7 shrinks") << 7 << QPointF(0, -30) << QRectF(100, 100, 240, 130);
    QTest::newRow("7 past the top") << 7 << QPointF(0, -400) << QRectF(100, 100, 240, 40);
    QTest::newRow("8 grows") << 8 << QPointF(10, 20) << QRectF(100, 100, 250, 180);
    QTest::newRow("8 inwards") << 8 << QPointF(-400, -400) << QRectF(100, 100, 80, 40);
}

void TestGroupItem::resizeFromEachHandle()
{
    QFETCH(int, handle);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);

    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    g->setSelected(true);
    const QPointF start = handlePoint(QRectF(100, 100, 240, 160), handle);
    c.press(c.toView(start));
    QCOMPARE(g->activeHandle(), handle);
    c.moveHeld(c.toView(start + delta / 3));
    c.moveHeld(c.toView(start + delta));
    c.release(c.toView(start + delta));

    QCOMPARE(sceneRectOf(g), expected);
    QCOMPARE(g->activeHandle(), 0);
    QVERIFY(g->flags() & QGraphicsItem::ItemIsMovable);
}

void TestGroupItem::pressInsideMovesTheFrame()
{
    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    g->setSelected(true);
    c.press(c.toView(QPointF(200, 200)));
    QCOMPARE(g->activeHandle(), 0);
    c.moveHeld(c.toView(QPointF(230, 210)));
    c.release(c.toView(QPointF(230, 210)));
    QCOMPARE(sceneRectOf(g), QRectF(130, 110, 240, 160));

    // An unselected frame cannot be resized: its corner is only its body.
    g->setSelected(false);
    c.click(c.toView(QPointF(600, 500)));
    c.press(c.toView(QPointF(131, 111)));
    QCOMPARE(g->activeHandle(), 0);
    c.release(c.toView(QPointF(131, 111)));
}

void TestGroupItem::titleEditing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("endKey");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Return") << QStringLiteral("Billing") << int(Qt::Key_Return) << QStringLiteral("Billing");
    QTest::newRow("cleared") << QString() << int(Qt::Key_Return) << QStringLiteral("Group");
    QTest::newRow("blanks only") << QStringLiteral("  ") << int(Qt::Key_Tab) << QStringLiteral("Group");
    QTest::newRow("blanks kept") << QStringLiteral(" edge ") << int(Qt::Key_Escape) << QStringLiteral(" edge ");
    QTest::newRow("Backtab") << QStringLiteral("back") << int(Qt::Key_Backtab) << QStringLiteral("back");
}

void TestGroupItem::titleEditing()
{
    QFETCH(QString, typed);
    QFETCH(int, endKey);
    QFETCH(QString, expected);

    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    c.doubleClick(c.toView(g->mapToScene(g->titleRect().center())));
    SingleLineTextItem* editor = g->editor();
    QVERIFY(editor);
    QCOMPARE(editor->toPlainText(), QStringLiteral("group_1"));
    if (typed.isEmpty())
        c.key(Qt::Key_Delete); // everything is selected
    else
        c.type(typed);
    c.key(Qt::Key(endKey));
    QVERIFY(!g->editor());
    QCOMPARE(g->title(), expected);
    QVERIFY(!c.scene->items().contains(editor));
}

void TestGroupItem::doubleClickHitArea_data()
{
    QTest::addColumn<qreal>("dx");
    QTest::addColumn<qreal>("dy");
    QTest::addColumn<bool>("edits");
    // Offsets from the title rectangle's top-right corner.
    QTest::newRow("inside, right end") << -2.0 << 5.0 << true;
    QTest::newRow("6 beyond the right end") << 6.0 << 5.0 << true;
    QTest::newRow("12 beyond the right end") << 12.0 << 5.0 << false;
    QTest::newRow("just above") << -10.0 << -3.0 << true;
    QTest::newRow("well below") << -10.0 << 40.0 << false;
}

void TestGroupItem::doubleClickHitArea()
{
    QFETCH(qreal, dx);
    QFETCH(qreal, dy);
    QFETCH(bool, edits);

    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    const QPointF at = g->mapToScene(g->titleRect().topRight() + QPointF(dx, dy));
    c.doubleClick(c.toView(at));
    QCOMPARE(g->editor() != nullptr, edits);
}

void TestGroupItem::editorIsATopLevelItemAboveEverything()
{
    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    g->startEditing();
    SingleLineTextItem* editor = g->editor();
    QVERIFY(editor);
    QCOMPARE(editor->parentItem(), nullptr);
    QCOMPARE(editor->scene(), c.scene);
    QCOMPARE(editor->zValue(), 1000.0);
    QCOMPARE(editor->pos(), g->mapToScene(g->titleRect().topLeft()));
    QCOMPARE(editor->font(), g->titleFont());
    QCOMPARE(editor->defaultTextColor(), QColor(Qt::black));
    QVERIFY(!(editor->flags() & QGraphicsItem::ItemIsSelectable));

    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(editor->defaultTextColor(), QColor(0xe6, 0xe6, 0xe6));
    g->setColors(QColor(), QColor(), QColor(), QColor(), QColor(), QColor(Qt::yellow));
    QCOMPARE(editor->defaultTextColor(), QColor(Qt::yellow));

    // While editing, the frame does not paint its own title.
    ThemeManager::instance().setTheme(ThemeKind::Light);
    g->setColors(QColor(Qt::white), QColor(), QColor(Qt::red), QColor(), QColor(), QColor());
    QCOMPARE(countPixels(renderItem(g, false, true), Qt::red), 0);
    g->stopEditing();
    QVERIFY(countPixels(renderItem(g, false, true), Qt::red) > 0);
}

void TestGroupItem::clearSceneAndDeletionCloseTheEditor()
{
    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    c.scene->addTableAt(QPointF(120, 140));
    c.doubleClick(c.toView(g->mapToScene(g->titleRect().center())));
    QVERIFY(g->editor());
    c.type(QStringLiteral("unsaved"));
    QTest::failOnWarning(QRegularExpression(QStringLiteral("remaining items")));
    c.scene->clearScene();
    QVERIFY(c.scene->items().isEmpty());

    GroupItem* second = c.scene->addGroupAt(QPointF(100, 100));
    second->startEditing();
    QPointer<SingleLineTextItem> editor = second->editor();
    delete second;
    QVERIFY(c.scene->items().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!editor);

    // A scene torn down with an editor open takes the editor with it.
    auto* scene = new QGraphicsScene;
    auto* loose = new GroupItem(QStringLiteral("g"), QSizeF(100, 100));
    scene->addItem(loose);
    loose->startEditing();
    QVERIFY(loose->editor());
    delete scene;
}

void TestGroupItem::contextMenuAsksTheSceneForTheStyleDialog()
{
    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    QSignalSpy group(c.scene, &ERScene::groupStyleDialogRequested);
    QSignalSpy text(c.scene, &ERScene::textStyleDialogRequested);
    QStringList entries;
    chooseMenuEntry(QStringLiteral("Colors and fonts…"), &entries);
    requestContextMenu(c, c.toView(QPointF(200, 200)));
    QCOMPARE(entries, QStringList{QStringLiteral("Colors and fonts…")});
    QCOMPARE(group.count(), 1);
    QCOMPARE(text.count(), 0);
    QVERIFY(g->isSelected());

    chooseMenuEntry(QString());
    requestContextMenu(c, c.toView(QPointF(200, 200)));
    QCOMPARE(group.count(), 1);

    // A frame on a plain scene offers the menu but has nobody to ask.
    QGraphicsScene plain;
    auto* loose = new GroupItem(QStringLiteral("g"), QSizeF(100, 100));
    plain.addItem(loose);
    c.view->setScene(&plain);
    chooseMenuEntry(QStringLiteral("Colors and fonts…"));
    requestContextMenu(c, c.toView(QPointF(50, 50)));
    QVERIFY(loose->isSelected());
    c.view->setScene(c.scene);
}

void TestGroupItem::exportDrawsOutlinesWithoutDecoration()
{
    ERScene scene;
    GroupItem* g = scene.addGroupAt(QPointF(0, 0));
    g->setSelected(true);
    g->setColors(QColor(Qt::white), QColor(Qt::black), QColor(Qt::red), QColor(), QColor(), QColor());

    const QImage screen = renderItem(g, true, true);
    QVERIFY(countPixels(screen, LightAccent) > 50);
    const QImage exported = renderItem(g, true, false);
    QCOMPARE(countPixels(exported, LightAccent), 0);
    QVERIFY(countPixels(exported, Qt::red) > 5); // the title

    const QByteArray svg = renderSvg(scene, QSize(300, 200), QRectF(-10, -10, 300, 200));
    QVERIFY(svg.contains("<path"));
    QVERIFY(!svg.contains("<text"));
    QVERIFY(!svg.contains("0078d7"));
}

void TestGroupItem::jsonGoldenRoundTrip()
{
    int checked = 0;
    checkGoldenRoundTrips(QStringLiteral("group-item"),
                          [] { return new GroupItem(QStringLiteral("Group"), QSizeF(240, 160)); }, &checked);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(checked, 2);

    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.fromJson(goldenAnnotations().at(3).toObject());
    QCOMPARE(g.title(), QString()); // an empty title is taken as it is
    QCOMPARE(g.colors().lightFill.alpha(), 0);

    const QJsonObject fresh = GroupItem(QStringLiteral("g"), QSizeF(240, 160)).toJson();
    QCOMPARE(fresh.size(), 13);
    QCOMPARE(fresh.value(QStringLiteral("kind")).toString(), QStringLiteral("group-item"));
    QCOMPARE(fresh.value(QStringLiteral("fillLight")).toString(), QStringLiteral("#5afafafa"));
    QCOMPARE(fresh.value(QStringLiteral("borderDark")).toString(), QStringLiteral("#ffd2d2d2"));
    QCOMPARE(fresh.value(QStringLiteral("textColorDark")).toString(), QStringLiteral("#ffe6e6e6"));
}

void TestGroupItem::jsonLegacyColours()
{
    const GroupItemStyle defaults = defaultGroupItemStyle();

    GroupItem legacy(QStringLiteral("Group"), QSizeF(240, 160));
    legacy.fromJson(QJsonObject{{QStringLiteral("fill"), QStringLiteral("#80ff0000")}});
    QCOMPARE(legacy.colors().lightFill, QColor(255, 0, 0, 0x80));
    QCOMPARE(legacy.colors().darkFill, QColor(255, 0, 0, 0x80));
    QCOMPARE(legacy.colors().lightBorder, defaults.lightBorder);
    QCOMPARE(legacy.colors().darkTitle, defaults.darkTitle);

    // Without any of the four keys that mark the per-theme form, the dark
    // border and title are not looked at.
    GroupItem old(QStringLiteral("Group"), QSizeF(240, 160));
    old.fromJson(QJsonObject{{QStringLiteral("border"), QStringLiteral("#00ff00")},
                             {QStringLiteral("textColor"), QStringLiteral("#ff0000ff")},
                             {QStringLiteral("borderDark"), QStringLiteral("#ffffff00")}});
    QCOMPARE(old.colors().lightBorder, QColor(Qt::green));
    QCOMPARE(old.colors().darkBorder, QColor(Qt::green));
    QCOMPARE(old.colors().lightTitle, QColor(Qt::blue));
    QCOMPARE(old.colors().darkTitle, QColor(Qt::blue));

    // One of them is enough to read all six, and the legacy keys are ignored.
    GroupItem mixed(QStringLiteral("Group"), QSizeF(240, 160));
    mixed.fromJson(QJsonObject{{QStringLiteral("textColorLight"), QStringLiteral("#ff112233")},
                               {QStringLiteral("borderDark"), QStringLiteral("#ffffff00")},
                               {QStringLiteral("fillDark"), QStringLiteral("not a colour")},
                               {QStringLiteral("fill"), QStringLiteral("#ffff0000")}});
    QCOMPARE(mixed.colors().lightTitle, QColor(0x11, 0x22, 0x33));
    QCOMPARE(mixed.colors().darkBorder, QColor(Qt::yellow));
    QCOMPARE(mixed.colors().darkFill, defaults.darkFill);
    QCOMPARE(mixed.colors().lightFill, defaults.lightFill);
}

void TestGroupItem::jsonDefaultsAndDamagedValues()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.setPos(7, 8);
    const QString id = g.id();
    g.fromJson(QJsonObject{{QStringLiteral("width"), 10},
                           {QStringLiteral("height"), 10},
                           {QStringLiteral("x"), QStringLiteral("left")},
                           {QStringLiteral("id"), false},
                           {QStringLiteral("title"), 12}});
    QCOMPARE(g.rect(), QRectF(0, 0, 80, 40));
    QCOMPARE(g.pos(), QPointF(7, 8));
    QCOMPARE(g.id(), id);
    QCOMPARE(g.title(), QStringLiteral("Group"));

    GroupItem defaults(QStringLiteral("Group"), QSizeF(240, 160));
    defaults.fromJson(QJsonObject{{QStringLiteral("id"), QStringLiteral("stored")}});
    QCOMPARE(defaults.rect().size(), QSizeF(240, 160));
    QCOMPARE(defaults.id(), QStringLiteral("stored"));
    QCOMPARE(defaults.zValue(), -1000.0);
}

void TestGroupItem::addGroupAtNamesUniquely()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    GroupItem* first = scene.addGroupAt(QPointF(5, 6));
    QCOMPARE(first->title(), QStringLiteral("group_1"));
    QCOMPARE(first->pos(), QPointF(5, 6));
    QCOMPARE(first->rect().size(), QSizeF(240, 160));
    GroupItem* second = scene.addGroupAt(QPointF(0, 0));
    QCOMPARE(second->title(), QStringLiteral("group_2"));
    QCOMPARE(scene.addGroupAt(QPointF(0, 0))->title(), QStringLiteral("group_3"));
    QCOMPARE(added.count(), 0);

    // With only group_2 left, n starts at 2, which is taken, so 3.
    delete first;
    const QList<QGraphicsItem*> all = scene.items();
    for (QGraphicsItem* item : all) {
        auto* g = qgraphicsitem_cast<GroupItem*>(item);
        if (g && g->title() == QStringLiteral("group_3"))
            delete g;
    }
    QCOMPARE(scene.addGroupAt(QPointF(0, 0))->title(), QStringLiteral("group_3"));
    // Titles are compared exactly.
    second->setTitle(QStringLiteral("GROUP_3"));
    QCOMPARE(scene.addGroupAt(QPointF(0, 0))->title(), QStringLiteral("group_4"));
}

void TestGroupItem::addGroupAtUsesTheDefaultStyle()
{
    ERScene scene;
    QCOMPARE(scene.addGroupAt(QPointF(0, 0))->colors(), defaultGroupItemStyle());
    scene.setDefaultGroupStyle(QColor(Qt::red), QColor(), QColor(Qt::green), QColor(Qt::blue), QColor(),
                               QColor(Qt::cyan));
    QVERIFY(scene.hasDefaultGroupStyle());
    const GroupItemStyle style = scene.addGroupAt(QPointF(0, 0))->colors();
    QCOMPARE(style.lightFill, QColor(Qt::red));
    QCOMPARE(style.lightBorder, defaultGroupItemStyle().lightBorder); // invalid: the item keeps its own
    QCOMPARE(style.lightTitle, QColor(Qt::green));
    QCOMPARE(style.darkFill, QColor(Qt::blue));
    QCOMPARE(style.darkTitle, QColor(Qt::cyan));
    QCOMPARE(scene.defaultGroupColors()[0], QColor(Qt::red));
}

QTEST_MAIN(TestGroupItem)
#include "tst_groupitem.moc"
