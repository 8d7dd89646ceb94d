#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"
#include "common/viewportmouse.h"

#include <QAction>
#include <QApplication>
#include <QToolButton>
#include <QTest>

#include <memory>

// The Add Text and Add Group tools of the main window: what a click on the
// canvas places while they are on, and how they share the canvas with the
// other add tools.
class TestAnnotationTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void textToolPlacesTextItemsAndStaysOn();
    void groupToolPlacesUniquelyNamedGroups();
    void onlyTheLeftButtonPlaces();
    void switchingToolsLeavesTheOtherModes();
    void escapeLeavesTheTool();

private:
    ERView* view() const { return canvasView(window.get()); }
    ERScene* scene() const { return canvasScene(window.get()); }
    QAction* action(const char* name) const { return windowAction(window.get(), name); }

    // A click on the canvas at a viewport position; returns the scene point.
    QPointF clickCanvas(QPoint pos, Qt::MouseButton button = Qt::LeftButton)
    {
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonPress, pos, button, button);
        sendMouseEvent(view()->viewport(), QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
        return view()->mapToScene(pos);
    }

    template <typename T>
    QList<T*> itemsOf() const
    {
        return itemsOfType<T>(*scene());
    }

    std::unique_ptr<MainWindow> window;
};

void TestAnnotationTools::initTestCase()
{
    setUpApplication();
}

void TestAnnotationTools::init()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    window = std::make_unique<MainWindow>();
    window->resize(1200, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestAnnotationTools::cleanup()
{
    window.reset();
}

void TestAnnotationTools::textToolPlacesTextItemsAndStaysOn()
{
    action("actionAdd_Text")->trigger();
    QVERIFY(view()->isAddTextMode());

    const QPointF first = clickCanvas(QPoint(100, 80));
    const QPointF second = clickCanvas(QPoint(300, 240));
    const QList<TextItem*> texts = itemsOf<TextItem>();
    QCOMPARE(texts.size(), 2);
    QList<QPointF> positions{texts.at(0)->pos(), texts.at(1)->pos()};
    QVERIFY(positions.contains(first));
    QVERIFY(positions.contains(second));
    for (TextItem* t : texts)
        QCOMPARE(t->text(), QStringLiteral("Text"));
    QVERIFY(action("actionAdd_Text")->isChecked());
    QVERIFY(view()->isAddTextMode());
    QVERIFY(itemsOf<GroupItem>().isEmpty());
}

void TestAnnotationTools::groupToolPlacesUniquelyNamedGroups()
{
    window->findChild<QToolButton*>(QStringLiteral("toolButtonAddGroup"))->click();
    QVERIFY(view()->isAddGroupMode());

    const QPointF at = clickCanvas(QPoint(60, 60));
    clickCanvas(QPoint(400, 300));
    clickCanvas(QPoint(700, 500));
    const QList<GroupItem*> groups = itemsOf<GroupItem>();
    QCOMPARE(groups.size(), 3);
    QStringList titles;
    for (GroupItem* g : groups) {
        titles << g->title();
        if (g->title() == QStringLiteral("group_1"))
            QCOMPARE(g->pos(), at);
    }
    titles.sort();
    QCOMPARE(titles, (QStringList{QStringLiteral("group_1"), QStringLiteral("group_2"), QStringLiteral("group_3")}));
    QVERIFY(itemsOf<TextItem>().isEmpty());
}

void TestAnnotationTools::onlyTheLeftButtonPlaces()
{
    action("actionAdd_Group")->trigger();
    clickCanvas(QPoint(100, 100), Qt::RightButton);
    QVERIFY(itemsOf<GroupItem>().isEmpty());
    action("actionAdd_Group")->trigger(); // off again
    QVERIFY(!view()->isInAddMode());
    clickCanvas(QPoint(100, 100));
    QVERIFY(itemsOf<GroupItem>().isEmpty());
    QVERIFY(itemsOf<TextItem>().isEmpty());
}

void TestAnnotationTools::switchingToolsLeavesTheOtherModes()
{
    action("actionAdd_Table")->trigger();
    action("actionAdd_Text")->trigger();
    QVERIFY(!action("actionAdd_Table")->isChecked());
    QVERIFY(!view()->isAddTableMode());
    QVERIFY(view()->isAddTextMode());

    action("actionAdd_Group")->trigger();
    QVERIFY(!action("actionAdd_Text")->isChecked());
    QVERIFY(!view()->isAddTextMode());
    QVERIFY(view()->isAddGroupMode());
    clickCanvas(QPoint(200, 200));
    QCOMPARE(itemsOf<GroupItem>().size(), 1);
    QVERIFY(itemsOf<TextItem>().isEmpty());

    action("actionAdd_Relationship")->trigger();
    QVERIFY(!action("actionAdd_Group")->isChecked());
    QVERIFY(!view()->isAddGroupMode());
    QVERIFY(view()->isAddRelationshipMode());
    action("actionAdd_Text")->trigger();
    QVERIFY(!action("actionAdd_Relationship")->isChecked());
    QVERIFY(!view()->isAddRelationshipMode());
    QVERIFY(view()->isAddTextMode());
}

void TestAnnotationTools::escapeLeavesTheTool()
{
    action("actionAdd_Text")->trigger();
    view()->setFocus();
    QTest::keyClick(view()->viewport(), Qt::Key_Escape);
    QVERIFY(!action("actionAdd_Text")->isChecked());
    QVERIFY(!view()->isInAddMode());
    QCOMPARE(view()->viewport()->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestAnnotationTools)
#include "tst_annotationtools.moc"
