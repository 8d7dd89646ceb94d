#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "details/dialects.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/viewportmouse.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <memory>

// The main window's add tools (table, view, text, group, relationship): what
// a click on the canvas places while one is on, and how they share the
// canvas.
class TestAddTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolPlacesAtTheClickAndStaysOn_data();
    void toolPlacesAtTheClickAndStaysOn();
    void escapeLeavesTheTool_data();
    void escapeLeavesTheTool();
    void toolsAreExclusive();
    void menuChoiceNeverClicksTheCanvas_data();
    void menuChoiceNeverClicksTheCanvas();

private:
    ERView* view() const { return canvasView(window.get()); }
    ERScene* scene() const { return canvasScene(window.get()); }
    QAction* action(const QString& name) const { return windowAction(window.get(), qPrintable(name)); }

    // A click on the canvas at a viewport position; returns the scene point.
    QPointF clickCanvas(QPoint pos, Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonPress, pos, button, button);
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
        return view()->mapToScene(pos);
    }

    // The tool the canvas is in, by name; empty for none.
    QString mode() const
    {
        const ERView* v = view();
        QStringList on;
        if (v->isAddTableMode())
            on << QStringLiteral("table");
        if (v->isAddViewMode())
            on << QStringLiteral("view");
        if (v->isAddTextMode())
            on << QStringLiteral("text");
        if (v->isAddGroupMode())
            on << QStringLiteral("group");
        if (v->isAddRelationshipMode())
            on << QStringLiteral("relationship");
        return on.join(QLatin1Char('+'));
    }

    // The items on the canvas as "kind:title@x,y", sorted.
    QStringList placed() const
    {
        QStringList out;
        const auto at = [](const QGraphicsItem* item) {
            return QStringLiteral("@%1,%2").arg(item->pos().x()).arg(item->pos().y());
        };
        for (EntityItem* e : itemsOfType<EntityItem>(*scene())) {
            const QString kind = e->kind() == EntityItem::ViewKind ? QStringLiteral("view") : QStringLiteral("table");
            out << kind + QLatin1Char(':') + e->title() + at(e);
        }
        for (TextItem* t : itemsOfType<TextItem>(*scene()))
            out << QStringLiteral("text:") + t->text() + at(t);
        for (GroupItem* g : itemsOfType<GroupItem>(*scene()))
            out << QStringLiteral("group:") + g->title() + at(g);
        out.sort();
        return out;
    }

    std::unique_ptr<MainWindow> window;
};

void TestAddTools::initTestCase()
{
    setUpApplication();
}

void TestAddTools::init()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    window = std::make_unique<MainWindow>();
    window->resize(1200, 800);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    view()->setFocus();
}

void TestAddTools::cleanup()
{
    window.reset();
}

void TestAddTools::toolPlacesAtTheClickAndStaysOn_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("titles"); // of the items placed by three clicks
    QTest::addColumn<int>("entitiesAdded");
    QTest::newRow("table") << "actionAdd_Table" << "table" << QStringList{"table_1", "table_2", "table_3"} << 3;
    QTest::newRow("view") << "actionAdd_View" << "view" << QStringList{"view_1", "view_2", "view_3"} << 3;
    QTest::newRow("text") << "actionAdd_Text" << "text" << QStringList{"Text", "Text", "Text"} << 0;
    QTest::newRow("group") << "actionAdd_Group" << "group" << QStringList{"group_1", "group_2", "group_3"} << 0;
}

void TestAddTools::toolPlacesAtTheClickAndStaysOn()
{
    QFETCH(QString, actionName);
    QFETCH(QString, kind);
    QFETCH(QStringList, titles);
    QFETCH(int, entitiesAdded);

    QSignalSpy added(scene(), &ERScene::entityAdded);
    action(actionName)->trigger();
    QCOMPARE(mode(), kind);
    QCOMPARE(view()->viewport()->cursor().shape(), Qt::CrossCursor);

    // Only the left button places.
    clickCanvas(QPoint(100, 100), Qt::RightButton);
    QVERIFY(placed().isEmpty());

    QStringList expected;
    const QPoint clicks[] = {QPoint(60, 60), QPoint(400, 300), QPoint(700, 500)};
    for (int i = 0; i < 3; ++i) {
        const QPointF at = clickCanvas(clicks[i]);
        expected << QStringLiteral("%1:%2@%3,%4").arg(kind, titles.at(i)).arg(at.x()).arg(at.y());
    }
    expected.sort();
    QCOMPARE(placed(), expected);
    QCOMPARE(added.count(), entitiesAdded);
    QVERIFY(action(actionName)->isChecked()); // the tool stays on
    QCOMPARE(mode(), kind);

    if (kind == QStringLiteral("table")) {
        // A new table comes with the dialect's key row; a view with no row.
        for (EntityItem* e : itemsOfType<EntityItem>(*scene())) {
            QCOMPARE(e->attributeName(0), e->title() + QStringLiteral("_id"));
            QCOMPARE(e->attributeType(0), defaultKeyType(scene()->dialect()));
        }
    } else if (kind == QStringLiteral("view")) {
        for (EntityItem* e : itemsOfType<EntityItem>(*scene()))
            QCOMPARE(e->attributeCount(), 0);
    }

    // Chosen again, the tool goes off and a click places nothing.
    action(actionName)->trigger();
    QVERIFY(!action(actionName)->isChecked());
    QVERIFY(!view()->isInAddMode());
    QCOMPARE(view()->viewport()->cursor().shape(), Qt::ArrowCursor);
    clickCanvas(QPoint(200, 400));
    QCOMPARE(placed().size(), 3);
}

void TestAddTools::escapeLeavesTheTool_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::newRow("table") << "actionAdd_Table";
    QTest::newRow("view") << "actionAdd_View";
    QTest::newRow("text") << "actionAdd_Text";
    QTest::newRow("group") << "actionAdd_Group";
    QTest::newRow("relationship") << "actionAdd_Relationship";
}

void TestAddTools::escapeLeavesTheTool()
{
    QFETCH(QString, actionName);
    action(actionName)->trigger();
    QVERIFY(view()->isInAddMode());
    QTest::keyClick(view()->viewport(), Qt::Key_Escape);
    QVERIFY(!action(actionName)->isChecked());
    QVERIFY(!view()->isInAddMode());
    QCOMPARE(view()->viewport()->cursor().shape(), Qt::ArrowCursor);
}

void TestAddTools::toolsAreExclusive()
{
    // Each tool chosen turns the one before it off, action and canvas alike.
    const QStringList order{"Table", "View", "Text", "Group", "Relationship", "Text"};
    QString previous;
    for (const QString& tool : order) {
        action(QStringLiteral("actionAdd_") + tool)->trigger();
        QCOMPARE(mode(), tool.toLower());
        QCOMPARE(view()->viewport()->cursor().shape(), Qt::CrossCursor);
        if (!previous.isEmpty())
            QVERIFY2(!action(QStringLiteral("actionAdd_") + previous)->isChecked(), qPrintable(previous));
        previous = tool;
    }

    // The canvas buttons drive the same actions.
    window->findChild<QToolButton*>(QStringLiteral("toolButtonAddGroup"))->click();
    QVERIFY(action(QStringLiteral("actionAdd_Group"))->isChecked());
    QVERIFY(!action(QStringLiteral("actionAdd_Text"))->isChecked());
    QCOMPARE(mode(), QStringLiteral("group"));
    window->findChild<QToolButton*>(QStringLiteral("toolButtonAddText"))->click();
    QVERIFY(action(QStringLiteral("actionAdd_Text"))->isChecked());
    QCOMPARE(mode(), QStringLiteral("text"));
}

void TestAddTools::menuChoiceNeverClicksTheCanvas_data()
{
    QTest::addColumn<bool>("onEdge"); // else on an entity's row
    QTest::addColumn<QString>("entryText");
    QTest::newRow("entity row") << false << "Entity name and primary columns";
    QTest::newRow("edge over a group") << true << "Zero or Many";
}

void TestAddTools::menuChoiceNeverClicksTheCanvas()
{
    QFETCH(bool, onEdge);
    QFETCH(QString, entryText);
    // Mouse events take the window system's road, at screen points.
    EntityItem* target = scene()->addTableAt(QPointF(0, 0));
    EntityItem* other = scene()->addTableAt(QPointF(400, 300));
    QPointF pressAt = target->nameLabel(0)->sceneBoundingRect().center();
    EdgeItem* edge = nullptr;
    if (onEdge) {
        GroupItem* frame = scene()->addGroupAt(QPointF(-300, -300));
        frame->setRect(QRectF(0, 0, 1400, 1200));
        edge = scene()->createEdge(target, scene()->addTableAt(QPointF(0, 300)), true);
        pressAt = edge->path().pointAtPercent(0.5);
    }
    view()->centerOn(target);
    QCoreApplication::processEvents();
    QWindow* handle = window->windowHandle();
    const QPoint press = view()->viewport()->mapTo(window.get(), view()->mapFromScene(pressAt));
    action(QStringLiteral("actionAdd_Table"))->trigger();
    const int entities = static_cast<int>(itemsOfType<EntityItem>(*scene()).size());

    // The first menu's entry is clicked, and any later menu at that point.
    int menus = 0;
    QPoint entry;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible() || menu->property("seen").toBool())
            return;
        menu->setProperty("seen", true);
        if (++menus == 1) {
            for (QAction* a : menu->actions())
                if (a->text() == entryText)
                    entry = menu->mapToGlobal(menu->actionGeometry(a).center());
            // The other table lies under the chosen entry.
            const QPointF under = view()->mapToScene(view()->viewport()->mapFromGlobal(entry));
            other->setPos(under - QPointF(20, 20));
        }
        QWindow* popup = menu->windowHandle();
        QTest::mouseMove(popup, popup->mapFromGlobal(entry));
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->mapFromGlobal(entry));
    });
    watch.start(10);
    QSignalSpy clicks(view(), &ERView::sceneClicked);
    QTest::mouseMove(handle, press);
    QTest::mousePress(handle, Qt::RightButton, {}, press);
    QTest::mouseRelease(handle, Qt::RightButton, {}, press);
    QTest::qWait(100);
    watch.stop();

    QVERIFY(!other->isSelected());
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(static_cast<int>(itemsOfType<EntityItem>(*scene()).size()), entities);
    QCOMPARE(menus, 1);
    if (onEdge)
        QVERIFY(edge->startCard() == CardinalityZeroOrMany || edge->endCard() == CardinalityZeroOrMany);
    else
        QCOMPARE(target->displayMode(), 2); // the key row stays under the pointer
}

QUILLMAP_TEST_MAIN(TestAddTools)
#include "tst_addtools.moc"
