#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"

#include "common/mainwindowparts.h"
#include "common/sceneitems.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The canvas commands of the main window, driven as a user would: tool
// actions, clicks and keys on the canvas view.
class TestEntityCanvas : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void escapeInACellEndsEditingNotTheTool();
    void f2EditsTheLastVisibleRow();
    void ctrlReturnAndAddColumnAddRows();
    void selectAllSelectsEntities();
    void deleteTypedInACellEditsTheText();
    void screenshots();

private:
    ERView* view() const { return canvasView(window.get()); }
    ERScene* scene() const { return canvasScene(window.get()); }
    QAction* action(const char* name) const { return windowAction(window.get(), name); }
    // Bottom-most first.
    QList<EntityItem*> entities() const { return itemsOfType<EntityItem>(*scene(), Qt::AscendingOrder); }
    void doubleClick(const QGraphicsItem* item);
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(view()->viewport(), k, mods);
    }

    std::unique_ptr<MainWindow> window;
};

void TestEntityCanvas::doubleClick(const QGraphicsItem* item)
{
    const QPoint p = view()->mapFromScene(item->mapToScene(item->boundingRect().center()));
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, p);
}

void TestEntityCanvas::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestEntityCanvas::init()
{
    window = std::make_unique<MainWindow>();
    window->resize(1400, 900);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    view()->setFocus();
}

void TestEntityCanvas::cleanup()
{
    window.reset();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestEntityCanvas::escapeInACellEndsEditingNotTheTool()
{
    EntityItem* t = scene()->addTableAt(QPointF(0, 0));
    action("actionAdd_View")->trigger();
    t->nameLabel(0)->startEditing();
    key(Qt::Key_Escape);
    QVERIFY(!t->nameLabel(0)->isEditing());
    QVERIFY(action("actionAdd_View")->isChecked());
}

void TestEntityCanvas::f2EditsTheLastVisibleRow()
{
    EntityItem* t = scene()->addTableAt(view()->mapToScene(QPoint(200, 200)));
    t->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
    t->setDisplayMode(EntityItem::NameMode);
    t->setSelected(true);
    key(Qt::Key_F2);
    QCOMPARE(t->displayMode(), int(EntityItem::FullMode));
    QVERIFY(t->nameLabel(1)->isEditing());
    key(Qt::Key_Escape);

    t->setDisplayMode(EntityItem::NamePrimaryMode);
    key(Qt::Key_F2);
    QVERIFY(t->nameLabel(0)->isEditing());
    QCOMPARE(t->displayMode(), int(EntityItem::NamePrimaryMode));
    key(Qt::Key_Escape);

    EntityItem* v = scene()->addViewAt(view()->mapToScene(QPoint(600, 200)));
    scene()->clearSelection();
    v->setSelected(true);
    key(Qt::Key_F2);
    QCOMPARE(v->attributeCount(), 1);
    QVERIFY(v->nameLabel(0)->isEditing());
}

void TestEntityCanvas::ctrlReturnAndAddColumnAddRows()
{
    EntityItem* t = scene()->addTableAt(view()->mapToScene(QPoint(200, 200)));
    key(Qt::Key_Return, Qt::ControlModifier);   // nothing selected: nothing happens
    QCOMPARE(t->attributeCount(), 1);
    t->setSelected(true);
    key(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(t->attributeCount(), 2);
    QVERIFY(t->nameLabel(1)->isEditing());
    key(Qt::Key_Escape);
    t->setDisplayMode(EntityItem::NameMode);
    view()->setFocus();
    key(Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(t->attributeCount(), 3);
    QCOMPARE(t->displayMode(), int(EntityItem::FullMode));
    QCOMPARE(t->attributeName(2), QStringLiteral("column_3"));
}

void TestEntityCanvas::selectAllSelectsEntities()
{
    EntityItem* a = scene()->addTableAt(QPointF(0, 0));
    EntityItem* b = scene()->addViewAt(QPointF(300, 0));
    action("actionSelect_All")->trigger();
    QVERIFY(a->isSelected());
    QVERIFY(b->isSelected());
    QVERIFY(!a->nameLabel(0)->isSelected());
}

void TestEntityCanvas::deleteTypedInACellEditsTheText()
{
    EntityItem* t = scene()->addTableAt(view()->mapToScene(QPoint(200, 200)));
    t->setSelected(true);
    QAction* del = action("actionDelete_Selection");
    QAction* backspace = action("actionDelete_Selection_Backspace");
    QVERIFY(del && backspace);
    QSignalSpy deletes(del, &QAction::triggered);
    QSignalSpy backspaces(backspace, &QAction::triggered);

    doubleClick(t->nameLabel(0));
    QVERIFY(t->nameLabel(0)->isEditing());
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    key(Qt::Key_Home);
    key(Qt::Key_Delete);
    QCOMPARE(t->nameLabel(0)->toPlainText(), QStringLiteral("able_1_i"));
    QCOMPARE(deletes.count(), 0);
    QCOMPARE(backspaces.count(), 0);
    key(Qt::Key_Return);   // the last row: a new row is being edited now
    QCOMPARE(t->attributeName(0), QStringLiteral("able_1_i"));
    QVERIFY(t->nameLabel(1)->isEditing());
    key(Qt::Key_Delete);
    key(Qt::Key_Escape);
    QCOMPARE(t->attributeCount(), 2);
    QCOMPARE(entities().size(), 1);
    QCOMPARE(deletes.count(), 0);

    // Outside a cell the keys reach the window's delete command.
    view()->setFocus();
    key(Qt::Key_Delete);
    QCOMPARE(deletes.count(), 1);
}

void TestEntityCanvas::screenshots()
{
    // Pictures of a table being edited with its completion list, in both
    // themes, for a person to look at; written only on request.
    const QString dir = qEnvironmentVariable("QUILLMAP_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("set QUILLMAP_SCREENSHOT_DIR to write the pictures");
    auto* dialect = window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"));
    QVERIFY(dialect);
    dialect->setCurrentText(QStringLiteral("PostgreSQL"));
    for (ThemeKind kind : {ThemeKind::Light, ThemeKind::Dark}) {
        if (ThemeManager::instance().kind() != kind)
            action("actionToggle_Theme")->trigger();
        scene()->clearScene();
        EntityItem* orders = scene()->addTableAt(view()->mapToScene(QPoint(120, 80)));
        orders->setTitle(QStringLiteral("orders"));
        orders->setAttributeName(0, QStringLiteral("order_id"));
        orders->addAttribute(QStringLiteral("customer_id"), QStringLiteral("BIGINT"), false, false, true);
        orders->addAttribute(QStringLiteral("order_no"), QStringLiteral("VARCHAR(20)"), false, true);
        orders->addAttribute(QStringLiteral("placed_at"), QStringLiteral("timestamp"));
        EntityItem* v = scene()->addViewAt(view()->mapToScene(QPoint(520, 80)));
        v->addAttribute(QStringLiteral("order_id"), QStringLiteral("BIGINT"), true, false, false, true);
        v->addAttribute(QStringLiteral("total"), QStringLiteral("NUMERIC"));
        EntityItem* small = scene()->addTableAt(view()->mapToScene(QPoint(520, 300)));
        small->setSelected(true);
        doubleClick(orders->typeLabel(3));
        key(Qt::Key_Backspace);
        QTest::keyClicks(view()->viewport(), QStringLiteral("Ti"));
        QVERIFY(orders->typeLabel(3)->isCompletionPopupVisible());
        QTest::qWait(50);
        const QString name = kind == ThemeKind::Light ? QStringLiteral("entity-light.png")
                                                      : QStringLiteral("entity-dark.png");
        QVERIFY(window->grab().save(QDir(dir).filePath(name)));
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
    }
}

QUILLMAP_TEST_MAIN(TestEntityCanvas)
#include "tst_entitycanvas.moc"
