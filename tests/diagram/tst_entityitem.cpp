#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "canvasfixture.h"
#include "common/contextmenus.h"
#include "common/sceneitems.h"
#include "common/testfiles.h"
#include "common/testmain.h"
#include "dialogs/entityeditdialog.h"
#include "model/itemid.h"

#include <QJsonArray>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionGraphicsItem>
#include <QTest>
#include <QTextDocument>

namespace {

// Image pixel of an item point in renderEntity's picture.
QPoint px(qreal x, qreal y)
{
    return QPoint(qRound(x) + 8, qRound(y) + 8);
}

QImage renderEntity(EntityItem* e, bool selected)
{
    QImage image(e->boundingRect().size().toSize() + QSize(10, 10), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    p.translate(5 - e->boundingRect().left(), 5 - e->boundingRect().top());
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    e->paint(&p, &option, nullptr);
    return image;
}

} // namespace

class TestEntityItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void newTableAndEmptyBoxSizes();
    void displayModeSizes_data();
    void displayModeSizes();
    void tabAndBacktabWalkTheCells();
    void tabOnLastTypeCellAddsARow();
    void editingAnotherEntityMovesTheRowHighlight();
    void returnOnLastRowAddsARow();
    void newRowSwitchesToFullMode();
    void blankNames_data();
    void blankNames();
    void renameToAnExistingNameStaysUnique();
    void blankTypeTakesTheRowDefault();
    void blankTitleGetsADefaultName();
    void addAttributeUpdatesARowOfTheSameName();
    void removingTheLastRowBringsBackTheKeyRow();
    void viewRowsLoseKeyFlags();
    void rowStyles();
    void dropIndex_data();
    void dropIndex();
    void rowDragThroughTheViewport();
    void dragThresholdIsStrictlyFivePixels();
    void dropOnOwnPositionChangesNothing();
    void colorsAndTheme();
    void invalidColorsPaintAsUnset();
    void selectedBorderTakesTheAccent();
    void contextMenuSwitchesDisplayModes();
    void contextMenuEditRunsTheDialog();
    void jsonGoldenRoundTrip();
    void jsonDefaultsWriteNoColors();
    void jsonPerspectiveSpellings_data();
    void jsonPerspectiveSpellings();
    void jsonBadges();
    void jsonDuplicateNamesKeepTheirEdgeIds();
    void jsonPositionNeedsBothCoordinates();
    void jsonReadReplacesExistingRows();
    void removingAndDeletingWhileEditingIsSafe();
    void loadedBoxMatchesOneBuiltRowByRow_data();
    void loadedBoxMatchesOneBuiltRowByRow();
};

void TestEntityItem::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestEntityItem::cleanup()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    DialogHooks::resetHooks();
}

void TestEntityItem::newTableAndEmptyBoxSizes()
{
    EntityItem empty(QStringLiteral("t"), QSizeF(150, 70));
    QCOMPARE(empty.rect(), QRectF(0, 0, 140, 40));
    QCOMPARE(empty.boundingRect(), QRectF(-3, -3, 146, 46));

    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* t = c.table(QPointF(40, 50));
    QCOMPARE(t->title(), QStringLiteral("table_1"));
    QCOMPARE(t->pos(), QPointF(40, 50));
    QCOMPARE(t->attributeCount(), 1);
    QCOMPARE(t->attributeName(0), QStringLiteral("table_1_id"));
    QCOMPARE(t->attributeType(0), QStringLiteral("BIGINT"));
    QVERIFY(t->attributeIsPrimaryKey(0));
    QCOMPARE(t->rect().height(), 63.0);
    QVERIFY(t->rect().width() >= 140);
    QVERIFY(isGeneratedItemId(t->id()));

    // Long texts push the type column right, never closer than 12 to the name.
    t->addAttribute(QStringLiteral("a_rather_long_column_name_here"), QStringLiteral("TIMESTAMP WITH TIME ZONE"));
    SingleLineTextItem* name = t->nameLabel(1);
    SingleLineTextItem* type = t->typeLabel(1);
    QVERIFY(type->x() >= name->x() + name->textWidth() + 12 - 1e-9);
    QVERIFY(t->rect().width() > 140);
    QVERIFY(type->x() + type->textWidth() <= t->rect().width() - 10 + 1e-9);

    // An empty type shows its grey placeholder inside the box as well, the
    // box as wide as for the word itself (as draw.io imports without types
    // show them), whether the entity draws the row or its labels do.
    EntityItem* typeless = c.table(QPointF(400, 50));
    EntityItem* typed = c.table(QPointF(400, 250));
    for (EntityItem* e : {typeless, typed})
        e->addAttribute(QStringLiteral("DocumentContents"), e == typed ? QStringLiteral("type") : QString());
    QVERIFY(std::abs(typeless->rect().width() - typed->rect().width()) < 1.0);
    SingleLineTextItem* placeholder = typeless->typeLabel(1);
    QVERIFY(placeholder->toPlainText().isEmpty());
    QVERIFY(placeholder->x() + placeholder->shownWidth() <= typeless->rect().width() - 10 + 1e-9);
}

void TestEntityItem::displayModeSizes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("visibleRows");
    QTest::newRow("full") << 0 << 4;
    QTest::newRow("name-primary-foreign") << 1 << 2;
    QTest::newRow("name-primary") << 2 << 1;
    QTest::newRow("name") << 3 << 0;
}

void TestEntityItem::displayModeSizes()
{
    QFETCH(int, mode);
    QFETCH(int, visibleRows);
    EntityItem e(QStringLiteral("orders"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("id"), QStringLiteral("BIGINT"), true);
    e.addAttribute(QStringLiteral("customer_id"), QStringLiteral("BIGINT"), false, false, true);
    e.addAttribute(QStringLiteral("code"), QStringLiteral("TEXT"), false, true);
    e.addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
    e.setDisplayMode(mode);
    QCOMPARE(e.visibleAttributeCount(), visibleRows);
    QCOMPARE(e.rect().height(), visibleRows > 0 ? visibleRows * 18.0 + 45 : 40.0);
    int shown = 0;
    for (int i = 0; i < e.attributeCount(); ++i)
        shown += e.nameLabel(i)->isVisible() ? 1 : 0;
    QCOMPARE(shown, visibleRows);
    if (visibleRows == 0)
        QCOMPARE(e.rect().width(), std::max(140.0, e.titleLabel()->boundingRect().width() + 20));
}

void TestEntityItem::tabAndBacktabWalkTheCells()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("second"), QStringLiteral("TEXT"));
    c.doubleClick(t->nameLabel(0));
    QVERIFY(t->nameLabel(0)->isEditing());
    QCOMPARE(t->highlightedRow(), 0);
    c.key(Qt::Key_Tab);
    QVERIFY(t->typeLabel(0)->isEditing());
    c.key(Qt::Key_Tab);
    QVERIFY(t->nameLabel(1)->isEditing());
    QCOMPARE(t->highlightedRow(), 1);
    c.key(Qt::Key_Backtab);
    QVERIFY(t->typeLabel(0)->isEditing());
    c.key(Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(t->nameLabel(0)->isEditing());
    c.key(Qt::Key_Backtab);   // nothing above the first row
    for (int i = 0; i < t->attributeCount(); ++i) {
        QVERIFY(!t->nameLabel(i)->isEditing());
        QVERIFY(!t->typeLabel(i)->isEditing());
    }
    QCOMPARE(t->attributeCount(), 2);
}

void TestEntityItem::tabOnLastTypeCellAddsARow()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("column_3"), QStringLiteral("TEXT"));
    QSignalSpy structure(t, &EntityItem::structureChanged);
    c.doubleClick(t->typeLabel(1));
    c.key(Qt::Key_Tab);
    QCOMPARE(t->attributeCount(), 3);
    QCOMPARE(t->attributeName(2), QStringLiteral("column_4"));   // column_3 is taken
    QCOMPARE(t->attributeType(2), QStringLiteral("undefined"));
    QVERIFY(t->nameLabel(2)->isEditing());
    QCOMPARE(structure.count(), 1);
    QCOMPARE(t->rect().height(), 3 * 18.0 + 45);
}

void TestEntityItem::editingAnotherEntityMovesTheRowHighlight()
{
    Canvas c;
    EntityItem* a = c.table(QPointF(50, 50));
    EntityItem* b = c.table(QPointF(400, 50));
    b->addAttribute(QStringLiteral("second"), QStringLiteral("TEXT"));
    c.doubleClick(a->nameLabel(0));
    QCOMPARE(a->highlightedRow(), 0);
    // Only one row of the canvas is lit at a time, at once, not only once
    // the focus change has settled.
    c.doubleClick(b->typeLabel(1));
    QCOMPARE(b->highlightedRow(), 1);
    QCOMPARE(a->highlightedRow(), -1);
    QVERIFY(!a->nameLabel(0)->focusFrame);
    QVERIFY(b->nameLabel(1)->focusFrame);
}

void TestEntityItem::returnOnLastRowAddsARow()
{
    Canvas c;
    EntityItem* t = c.table();
    c.doubleClick(t->nameLabel(0));
    c.type(QStringLiteral("id"));
    c.key(Qt::Key_Return);
    QCOMPARE(t->attributeCount(), 2);
    QCOMPARE(t->attributeName(0), QStringLiteral("id"));   // the edited row is kept
    QVERIFY(t->nameLabel(1)->isEditing());
    c.type(QStringLiteral("name"));
    c.key(Qt::Key_Return);
    c.key(Qt::Key_Escape);
    QCOMPARE(t->attributeCount(), 3);
    QCOMPARE(t->attributeName(1), QStringLiteral("name"));
    QCOMPARE(t->attributeName(2), QStringLiteral("column_3"));
    QVERIFY(!t->nameLabel(2)->isEditing());
}

void TestEntityItem::newRowSwitchesToFullMode()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("a"), QStringLiteral("TEXT"));
    e.setDisplayMode(EntityItem::NameMode);
    e.onNewAttributeRequested();
    QCOMPARE(e.displayMode(), int(EntityItem::FullMode));
    QCOMPARE(e.attributeName(1), QStringLiteral("column_2"));
    QCOMPARE(e.visibleAttributeCount(), 2);
}

void TestEntityItem::blankNames_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<bool>>("keys");
    QTest::addColumn<int>("cleared");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("expectedType");
    QTest::newRow("only row of a table") << 0 << QStringList{"x"} << QList<bool>{false} << 0
                                         << QStringLiteral("table_1_id") << QStringLiteral("BIGINT");
    QTest::newRow("non-key row of three") << 0 << QStringList{"a", "b", "c"} << QList<bool>{true, false, false}
                                          << 1 << QStringLiteral("column_4") << QStringLiteral("TEXT");
    QTest::newRow("key row, one key") << 0 << QStringList{"a", "b"} << QList<bool>{true, false} << 0
                                      << QStringLiteral("table_1_id") << QStringLiteral("TEXT");
    QTest::newRow("second of two keys") << 0 << QStringList{"a", "b"} << QList<bool>{true, true} << 1
                                        << QStringLiteral("table_1_id_2") << QStringLiteral("TEXT");
    QTest::newRow("view row") << 1 << QStringList{"a", "b"} << QList<bool>{false, false} << 0
                              << QStringLiteral("column_3") << QStringLiteral("TEXT");
    QTest::newRow("only row of a view") << 1 << QStringList{"a"} << QList<bool>{false} << 0
                                        << QStringLiteral("column_2") << QStringLiteral("TEXT");
    QTest::newRow("name taken") << 0 << QStringList{"column_4", "b", "c"} << QList<bool>{false, false, false}
                                << 1 << QStringLiteral("column_5") << QStringLiteral("TEXT");
}

void TestEntityItem::blankNames()
{
    QFETCH(int, kind);
    QFETCH(QStringList, names);
    QFETCH(QList<bool>, keys);
    QFETCH(int, cleared);
    QFETCH(QString, expected);
    QFETCH(QString, expectedType);

    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* e = kind == 0 ? c.table() : c.scene->addViewAt(QPointF(100, 100));
    for (int i = 0; i < names.size(); ++i)
        e->addAttribute(names.at(i), QStringLiteral("TEXT"), keys.at(i));
    if (kind == 0)
        e->removeAttribute(QStringLiteral("table_1_id"));
    QCOMPARE(e->attributeCount(), names.size());

    QSignalSpy edited(e, &EntityItem::attributeEdited);
    c.doubleClick(e->nameLabel(cleared));
    c.key(Qt::Key_A, Qt::ControlModifier);
    c.key(Qt::Key_Delete);
    c.type(QStringLiteral("  "));
    c.key(Qt::Key_Escape);
    QCOMPARE(e->attributeName(cleared), expected);
    QCOMPARE(e->attributeType(cleared), expectedType);
    if (names.size() == 1 && kind == 0)
        QVERIFY(e->attributeIsPrimaryKey(cleared));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.at(0).at(1).toString(), names.at(cleared));
    QCOMPARE(edited.at(0).at(2).toString(), expected);
}

void TestEntityItem::renameToAnExistingNameStaysUnique()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("code"), QStringLiteral("TEXT"));
    t->addAttribute(QStringLiteral("code_2"), QStringLiteral("TEXT"));
    t->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
    c.doubleClick(t->nameLabel(3));
    c.type(QStringLiteral("code"));
    c.key(Qt::Key_Return);
    QCOMPARE(t->attributeName(3), QStringLiteral("code_3"));
    QCOMPARE(t->nameLabel(3)->toPlainText(), QStringLiteral("code_3"));
    // Renaming a row to its own name keeps it.
    c.doubleClick(t->nameLabel(1));
    c.type(QStringLiteral("code"));
    c.key(Qt::Key_Return);
    QCOMPARE(t->attributeName(1), QStringLiteral("code"));
    // And the programmatic rename does the same.
    t->setAttributeName(1, QStringLiteral("code_3  "));
    QCOMPARE(t->attributeName(1), QStringLiteral("code_3_2"));
}

void TestEntityItem::blankTypeTakesTheRowDefault()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("Oracle"));
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("note"), QStringLiteral("VARCHAR2"));
    // An emptied type cell lists every type; the first Escape closes the
    // list, the second ends editing.
    c.doubleClick(t->typeLabel(0));
    c.key(Qt::Key_Delete);
    QVERIFY(t->typeLabel(0)->isCompletionPopupVisible());
    c.key(Qt::Key_Escape);
    c.key(Qt::Key_Escape);
    QCOMPARE(t->attributeType(0), QStringLiteral("NUMBER"));
    c.doubleClick(t->typeLabel(1));
    c.key(Qt::Key_Delete);
    c.key(Qt::Key_Escape);
    c.key(Qt::Key_Escape);
    QCOMPARE(t->attributeType(1), QStringLiteral("undefined"));
    QCOMPARE(t->typeLabel(1)->toPlainText(), QStringLiteral("undefined"));
}

void TestEntityItem::blankTitleGetsADefaultName()
{
    Canvas c;
    c.table(QPointF(0, 0));
    EntityItem* second = c.table(QPointF(300, 0));
    EntityItem* view = c.scene->addViewAt(QPointF(0, 300));
    QSignalSpy titles(second, &EntityItem::titleChanged);
    c.doubleClick(second->titleLabel());
    QVERIFY(second->titleLabel()->isEditing());
    c.key(Qt::Key_Delete);
    c.key(Qt::Key_Return);
    QCOMPARE(second->title(), QStringLiteral("table_3"));
    QCOMPARE(titles.count(), 1);

    c.doubleClick(view->titleLabel());
    c.type(QStringLiteral("active_customers"));
    c.key(Qt::Key_Return);
    QCOMPARE(view->title(), QStringLiteral("active_customers"));
}

void TestEntityItem::addAttributeUpdatesARowOfTheSameName()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("id"), QStringLiteral("BIGINT"), true);
    e.addAttribute(QStringLiteral("id  "), QStringLiteral("INTEGER"), false, false, true);
    QCOMPARE(e.attributeCount(), 1);
    QCOMPARE(e.attributeType(0), QStringLiteral("INTEGER"));
    QVERIFY(e.attributeIsPrimaryKey(0));   // a foreign-key-only request keeps the key
    QVERIFY(e.attributeIsForeignKey(0));
    e.addAttribute(QStringLiteral("id"), QStringLiteral("INTEGER"), false, true, false);
    QVERIFY(!e.attributeIsPrimaryKey(0));
    QVERIFY(e.attributeIsUniqueKey(0));
    QVERIFY(e.attributes().at(0).keyStyle);
}

void TestEntityItem::removingTheLastRowBringsBackTheKeyRow()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("SQLite"));
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("a"), QStringLiteral("TEXT"));
    QVERIFY(t->removeAttributeForLabel(t->typeLabel(0)));
    QCOMPARE(t->attributeCount(), 1);
    QCOMPARE(t->attributeName(0), QStringLiteral("a"));
    QSignalSpy structure(t, &EntityItem::structureChanged);
    t->removeAttribute(QStringLiteral("a"));
    QCOMPARE(t->attributeCount(), 1);
    QCOMPARE(t->attributeName(0), QStringLiteral("table_1_id"));
    QCOMPARE(t->attributeType(0), QStringLiteral("INTEGER"));
    QVERIFY(t->attributeIsPrimaryKey(0));
    QVERIFY(structure.count() >= 1);
    t->removeAttribute(QStringLiteral("no such row"));
    QCOMPARE(t->attributeCount(), 1);
    QVERIFY(!t->removeAttributeForLabel(t->titleLabel()));

    EntityItem* v = c.scene->addViewAt(QPointF(400, 100));
    v->addAttribute(QStringLiteral("a"), QStringLiteral("TEXT"));
    v->removeAttribute(QStringLiteral("a"));
    QCOMPARE(v->attributeCount(), 0);   // views may be empty
    QCOMPARE(v->rect().height(), 40.0);
}

void TestEntityItem::viewRowsLoseKeyFlags()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("id"), QStringLiteral("BIGINT"), true, true, true);
    e.setKind(EntityItem::ViewKind);
    QVERIFY(!e.attributeIsPrimaryKey(0));
    QVERIFY(!e.attributeIsUniqueKey(0));
    QVERIFY(!e.attributeIsForeignKey(0));
    e.setAttributeKeyFlags(0, true, false);
    QVERIFY(!e.attributeIsPrimaryKey(0));
    // Rows given to a view keep what they are given.
    e.addAttribute(QStringLiteral("k"), QStringLiteral("INT"), true, false, false, true);
    QVERIFY(e.attributeIsPrimaryKey(1));
    QVERIFY(e.attributeIsInherited(1));
}

void TestEntityItem::rowStyles()
{
    EntityItem t(QStringLiteral("t"), QSizeF(150, 70));
    t.addAttribute(QStringLiteral("id"), QStringLiteral("BIGINT"), true);
    t.addAttribute(QStringLiteral("fk"), QStringLiteral("BIGINT"), false, false, true);
    t.addAttribute(QStringLiteral("plain"), QStringLiteral("TEXT"), false, false, false, true);
    QCOMPARE(t.nameLabel(0)->font().weight(), QFont::Bold);
    QVERIFY(t.nameLabel(0)->isUnderlined());
    QVERIFY(!t.typeLabel(0)->isUnderlined());
    QVERIFY(t.nameLabel(1)->font().italic());
    QCOMPARE(t.nameLabel(1)->font().weight(), QFont::Normal);
    QVERIFY(!t.nameLabel(2)->font().italic());   // "inherited" counts only on views
    QVERIFY(!t.attributeIsInherited(2));

    EntityItem v(QStringLiteral("v"), QSizeF(150, 70));
    v.setKind(EntityItem::ViewKind);
    v.addAttribute(QStringLiteral("id"), QStringLiteral("BIGINT"), true, false, false, true);
    QVERIFY(v.nameLabel(0)->font().italic());
    QCOMPARE(v.nameLabel(0)->font().weight(), QFont::Normal);
    QVERIFY(!v.nameLabel(0)->isUnderlined());
}

void TestEntityItem::dropIndex_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<qreal>("y");
    QTest::addColumn<int>("index");
    QTest::newRow("above the rows") << 0 << 10.0 << 0;
    QTest::newRow("first half of row 0") << 0 << 41.9 << 0;
    QTest::newRow("second half of row 0") << 0 << 42.0 << 1;
    QTest::newRow("row 1") << 0 << 51.0 << 1;
    QTest::newRow("second half of row 3") << 0 << 33.0 + 54 + 9 << 4;
    QTest::newRow("last boundary") << 0 << 33.0 + 72 << 4;
    QTest::newRow("below") << 0 << 200.0 << 4;
    // Keys only: rows 0 and 2 are shown.
    QTest::newRow("keys, above") << 1 << 0.0 << 0;
    QTest::newRow("keys, second visible") << 1 << 52.0 << 2;
    QTest::newRow("keys, after the last visible") << 1 << 33.0 + 27 << 4;
    QTest::newRow("keys, below") << 1 << 80.0 << 4;
}

void TestEntityItem::dropIndex()
{
    QFETCH(int, mode);
    QFETCH(qreal, y);
    QFETCH(int, index);
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("a"), QStringLiteral("T"), true);
    e.addAttribute(QStringLiteral("b"), QStringLiteral("T"));
    e.addAttribute(QStringLiteral("c"), QStringLiteral("T"), false, false, true);
    e.addAttribute(QStringLiteral("d"), QStringLiteral("T"));
    e.setDisplayMode(mode);
    QCOMPARE(e.dropIndexAt(QPointF(50, y)), index);
    EntityItem none(QStringLiteral("n"), QSizeF(150, 70));
    QCOMPARE(none.dropIndexAt(QPointF(50, y)), 0);
}

void TestEntityItem::rowDragThroughTheViewport()
{
    Canvas c;
    EntityItem* t = c.table(QPointF(100, 100));
    t->addAttribute(QStringLiteral("b"), QStringLiteral("TEXT"));
    t->addAttribute(QStringLiteral("c"), QStringLiteral("TEXT"));
    QSignalSpy structure(t, &EntityItem::structureChanged);
    const QPoint start = c.centreOf(t->nameLabel(0));
    c.press(start);
    c.moveHeld(start + QPoint(0, 8));
    QVERIFY(t->isRowDragging());
    QCOMPARE(t->dragSourceIndex(), 0);
    QCOMPARE(t->nameLabel(0)->opacity(), 0.35);
    const QPoint below = c.toView(t->mapToScene(QPointF(20, 33 + 3 * 18 + 5)));
    c.moveHeld(below);
    QCOMPARE(t->dropIndex(), 3);
    QCOMPARE(t->pos(), QPointF(100, 100));   // the box itself does not move
    c.release(below);
    QVERIFY(!t->isRowDragging());
    QCOMPARE(t->attributeName(0), QStringLiteral("b"));
    QCOMPARE(t->attributeName(1), QStringLiteral("c"));
    QCOMPARE(t->attributeName(2), QStringLiteral("table_1_id"));
    QCOMPARE(t->nameLabel(2)->toPlainText(), QStringLiteral("table_1_id"));
    QCOMPARE(t->nameLabel(2)->opacity(), 1.0);
    QVERIFY(t->nameLabel(2)->isUnderlined());   // the key row keeps its look
    QVERIFY(t->nameLabel(2)->y() > t->nameLabel(1)->y());
    QCOMPARE(structure.count(), 1);
    // Labels and rows stay in step.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(t->typeLabel(i)->toPlainText(), t->attributeType(i));
}

void TestEntityItem::dragThresholdIsStrictlyFivePixels()
{
    Canvas c;
    EntityItem* t = c.table(QPointF(100, 100));
    const QPoint start = c.centreOf(t->typeLabel(0));
    c.press(start);
    c.moveHeld(start + QPoint(3, 4));   // exactly 5
    QVERIFY(!t->isRowDragging());
    c.moveHeld(start + QPoint(0, 6));
    QVERIFY(t->isRowDragging());
    c.release(start + QPoint(0, 6));
    QVERIFY(!t->isRowDragging());
}

void TestEntityItem::dropOnOwnPositionChangesNothing()
{
    Canvas c;
    EntityItem* t = c.table(QPointF(100, 100));
    t->addAttribute(QStringLiteral("b"), QStringLiteral("TEXT"));
    t->addAttribute(QStringLiteral("c"), QStringLiteral("TEXT"));
    QSignalSpy structure(t, &EntityItem::structureChanged);
    const QPoint start = c.centreOf(t->nameLabel(1));
    c.press(start);
    c.moveHeld(start + QPoint(0, 7));   // just below its own middle: drop index 2
    QCOMPARE(t->dropIndex(), 2);
    c.release(start + QPoint(0, 7));
    QCOMPARE(t->attributeName(1), QStringLiteral("b"));
    QCOMPARE(structure.count(), 0);
    // Dropped above the first row, the row goes first.
    const QPoint third = c.centreOf(t->nameLabel(2));
    c.press(third);
    const QPoint top = c.toView(t->mapToScene(QPointF(20, 20)));
    c.moveHeld(top);
    c.release(top);
    QCOMPARE(t->attributeName(0), QStringLiteral("c"));
}

void TestEntityItem::colorsAndTheme()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.addAttribute(QStringLiteral("a"), QStringLiteral("TEXT"));
    const DualThemeColorScheme stored = e.colors();
    QCOMPARE(stored.lightBorder, QColor(Qt::black));
    QCOMPARE(stored.darkBorder, QColor(Qt::lightGray));
    QCOMPARE(stored.lightBackground, QColor(Qt::transparent));

    const DualThemeColorScheme eff = e.effectiveColors();
    QCOMPARE(eff.lightBackground, QColor(0xfa, 0xfa, 0xfa));
    QCOMPARE(eff.darkBackground, QColor(0x26, 0x26, 0x26));
    QCOMPARE(eff.darkHeader, QColor(0x37, 0x37, 0x37));
    QCOMPARE(eff.lightText, QColor(0, 0, 0));
    QCOMPARE(eff.darkText, QColor(0xe6, 0xe6, 0xe6));

    QCOMPARE(e.nameLabel(0)->defaultTextColor(), QColor(0, 0, 0));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(e.nameLabel(0)->defaultTextColor(), QColor(0xe6, 0xe6, 0xe6));
    QCOMPARE(e.titleLabel()->defaultTextColor(), QColor(0xe6, 0xe6, 0xe6));

    DualThemeColorScheme custom = eff;
    custom.darkText = QColor(0x12, 0x34, 0x56);
    e.setColors(custom);
    QCOMPARE(e.typeLabel(0)->defaultTextColor(), QColor(0x12, 0x34, 0x56));
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCOMPARE(e.typeLabel(0)->defaultTextColor(), QColor(0, 0, 0));
}

void TestEntityItem::invalidColorsPaintAsUnset()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    DualThemeColorScheme broken;   // all eight invalid
    e.setColors(broken);
    const DualThemeColorScheme eff = e.effectiveColors();
    QVERIFY(eff.allValid());
    QCOMPARE(eff.lightBorder, QColor(0, 0, 0));
    QCOMPARE(eff.darkBorder, QColor(0xd2, 0xd2, 0xd2));
    QCOMPARE(e.nameLabel(-1), nullptr);
    QCOMPARE(e.titleLabel()->defaultTextColor(), QColor(0, 0, 0));
    const QImage image = renderEntity(&e, false);
    // Body fill and border both come from the theme.
    QCOMPARE(image.pixelColor(px(3, 35)), QColor(0xfa, 0xfa, 0xfa));
    QCOMPARE(image.pixelColor(px(3, 15)), QColor(0xeb, 0xeb, 0xeb));   // header
    QCOMPARE(image.pixelColor(px(70, 28)), QColor(0, 0, 0));
    QCOMPARE(image.pixelColor(px(70, 0)), QColor(0, 0, 0));
}

void TestEntityItem::selectedBorderTakesTheAccent()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    DualThemeColorScheme s = e.colors();
    s.lightBorder = QColor(Qt::red);
    e.setColors(s);
    QCOMPARE(renderEntity(&e, false).pixelColor(px(70, 0)), QColor(Qt::red));
    QCOMPARE(renderEntity(&e, true).pixelColor(px(70, 0)), QColor(0x00, 0x78, 0xd7));
}

void TestEntityItem::contextMenuSwitchesDisplayModes()
{
    Canvas c;
    EntityItem* a = c.table(QPointF(50, 50));
    EntityItem* b = c.table(QPointF(400, 50));
    a->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
    b->addAttribute(QStringLiteral("note"), QStringLiteral("TEXT"));
    b->setSelected(true);

    // Without Ctrl the menu applies to the clicked entity alone.
    chooseMenuEntry(QStringLiteral("Entity name"));
    c.press(c.toView(a->mapToScene(QPointF(70, 20))), Qt::RightButton);
    QCOMPARE(a->displayMode(), int(EntityItem::NameMode));
    QCOMPARE(a->rect().height(), 40.0);
    QCOMPARE(b->displayMode(), int(EntityItem::FullMode));
    QVERIFY(!b->isSelected());
    QVERIFY(a->isSelected());

    // With Ctrl the clicked entity joins the selection.
    b->setSelected(true);
    a->setSelected(false);
    chooseMenuEntry(QStringLiteral("Entity name and primary columns"));
    c.mouse(QEvent::MouseButtonPress, c.toView(a->mapToScene(QPointF(70, 10))), Qt::RightButton, Qt::RightButton,
            Qt::ControlModifier);
    QCOMPARE(a->displayMode(), int(EntityItem::NamePrimaryMode));
    QCOMPARE(b->displayMode(), int(EntityItem::NamePrimaryMode));
    QCOMPARE(b->rect().height(), 63.0);

    // A right click on a row label opens the same menu.
    chooseMenuEntry(QStringLiteral("Full"));
    c.press(c.centreOf(b->nameLabel(0)), Qt::RightButton);
    QCOMPARE(b->displayMode(), int(EntityItem::FullMode));
}

void TestEntityItem::contextMenuEditRunsTheDialog()
{
    Canvas c;
    EntityItem* t = c.table(QPointF(50, 50));
    QString shown;
    DialogHooks::setExecHook([&shown](QDialog* dialog) {
        if (auto* edit = qobject_cast<EntityEditDialog*>(dialog))
            shown = edit->labelText();
        return int(QDialog::Rejected);
    });
    chooseMenuEntry(QStringLiteral("Edit"));
    c.press(c.toView(t->mapToScene(QPointF(70, 5))), Qt::RightButton);
    QCOMPARE(shown, QStringLiteral("Entity: table_1"));
}

void TestEntityItem::jsonGoldenRoundTrip()
{
    const QJsonObject golden = testDataJson(QStringLiteral("entity/golden_entities.json")).object();
    const QJsonArray entities = golden.value(QStringLiteral("entities")).toArray();
    QVERIFY(entities.size() >= 2);
    ERScene scene;
    for (const QJsonValue& value : entities) {
        const QJsonObject obj = value.toObject();
        auto* e = new EntityItem(obj.value(QStringLiteral("title")).toString(), QSizeF(150, 70));
        e->setId(obj.value(QStringLiteral("id")).toString());
        scene.addItem(e);
        e->fromJson(obj);
        QCOMPARE(e->toJson(), obj);

        // A second generation reads and writes the same again.
        EntityItem copy(QStringLiteral("Entity"), QSizeF(150, 70));
        copy.setId(e->id());
        copy.fromJson(e->toJson());
        QCOMPARE(copy.toJson(), obj);
        QCOMPARE(copy.colors(), e->colors());
        QCOMPARE(copy.rect(), e->rect());
    }
}

void TestEntityItem::jsonDefaultsWriteNoColors()
{
    EntityItem t(QStringLiteral("t"), QSizeF(150, 70));
    t.setId(QStringLiteral("e1"));
    QJsonObject obj = t.toJson();
    for (const char* key : {"bgLight", "bgDark", "fgLight", "fgDark", "hdrLight", "hdrDark", "txtLight", "txtDark",
                            "kind"})
        QVERIFY2(!obj.contains(QLatin1String(key)), key);
    QCOMPARE(obj.value(QStringLiteral("perspective")).toString(), QStringLiteral("full"));
    QCOMPARE(obj.value(QStringLiteral("attributes")).toArray().size(), 0);

    EntityItem anon(QStringLiteral("a"), QSizeF(150, 70));
    QCOMPARE(anon.toJson().value(QStringLiteral("id")).toString(),
             QString::number(reinterpret_cast<quintptr>(&anon)));

    // Opaque black written as a light border is the default; a transparent
    // black background read from a file counts as unset.
    QJsonObject in{{"title", "x"}, {"fgLight", "#ff000000"}, {"bgLight", "#00000000"}, {"kind", "entity-view"},
                   {"bgDark", "not a colour"}};
    EntityItem v(QStringLiteral("x"), QSizeF(150, 70));
    v.fromJson(in);
    const QJsonObject out = v.toJson();
    QVERIFY(!out.contains(QStringLiteral("fgLight")));
    QVERIFY(!out.contains(QStringLiteral("bgLight")));
    QVERIFY(!out.contains(QStringLiteral("bgDark")));   // unreadable: not written
    QCOMPARE(out.value(QStringLiteral("kind")).toString(), QStringLiteral("entity-view"));
    QCOMPARE(v.effectiveColors().darkBackground, QColor(0x26, 0x26, 0x26));
}

void TestEntityItem::jsonPerspectiveSpellings_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<int>("mode");
    QTest::newRow("full") << QJsonValue(QStringLiteral("full")) << 0;
    QTest::newRow("hyphen") << QJsonValue(QStringLiteral("name-primary-foreign")) << 1;
    QTest::newRow("underscore") << QJsonValue(QStringLiteral("name_primary_foreign")) << 1;
    QTest::newRow("pk-fk") << QJsonValue(QStringLiteral("pk-fk")) << 1;
    QTest::newRow("PK in capitals") << QJsonValue(QStringLiteral(" PK ")) << 2;
    QTest::newRow("name_primary") << QJsonValue(QStringLiteral("name_primary")) << 2;
    QTest::newRow("name-only") << QJsonValue(QStringLiteral("Name-Only")) << 3;
    QTest::newRow("unknown text") << QJsonValue(QStringLiteral("compact")) << 0;
    QTest::newRow("number 3") << QJsonValue(3) << 3;
    QTest::newRow("number 7") << QJsonValue(7) << 0;
    QTest::newRow("bool") << QJsonValue(true) << 0;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
}

void TestEntityItem::jsonPerspectiveSpellings()
{
    QFETCH(QJsonValue, value);
    QFETCH(int, mode);
    QJsonObject obj{{"title", "t"}};
    if (!value.isUndefined())
        obj.insert(QStringLiteral("perspective"), value);
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.fromJson(obj);
    QCOMPARE(e.displayMode(), mode);
}

void TestEntityItem::jsonBadges()
{
    const QJsonObject obj{{"title", "t"},
                          {"attributes",
                           QJsonArray{QJsonObject{{"name", "id"}, {"badges", QJsonArray{"pk"}}},
                                      QJsonObject{{"name", "code"}, {"isUniqueKey", true}, {"badges", QJsonArray{"PK"}}},
                                      QJsonObject{{"name", "ref"}, {"badges", QJsonArray{"Fk", "uk", "xx"}}},
                                      QJsonObject{{"name", "bad"}, {"isPrimaryKey", "yes"}},
                                      QJsonValue(42)}}};
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.fromJson(obj);
    QCOMPARE(e.attributeCount(), 5);
    QVERIFY(e.attributeIsPrimaryKey(0));
    QVERIFY(e.attributeIsUniqueKey(1));
    QVERIFY(!e.attributeIsPrimaryKey(1));
    QVERIFY(e.attributeIsForeignKey(2));
    QVERIFY(e.attributeIsUniqueKey(2));
    QVERIFY(!e.attributeIsPrimaryKey(3));   // a string is not a boolean
    QCOMPARE(e.attributeName(4), QString());   // a non-object reads as an empty row
}

void TestEntityItem::jsonDuplicateNamesKeepTheirEdgeIds()
{
    const QJsonObject obj{{"title", "t"},
                          {"attributes",
                           QJsonArray{QJsonObject{{"name", "a"}, {"type", "INT"}, {"isForeignKey", true},
                                                  {"fkEdgeId", "edge-1"}},
                                      QJsonObject{{"name", "b"}, {"type", "INT"}},
                                      QJsonObject{{"name", "a"}, {"type", "BIGINT"}, {"isForeignKey", true},
                                                  {"fkEdgeId", "edge-2"}},
                                      QJsonObject{{"name", "b  "}, {"type", "TEXT"}}}}};
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.fromJson(obj);
    QCOMPARE(e.attributeCount(), 2);
    QCOMPARE(e.attributeType(1), QStringLiteral("TEXT"));   // trailing blanks name the same row
    QCOMPARE(e.attributeFkEdgeId(0), QStringLiteral("edge-2"));   // the row that was updated
    QCOMPARE(e.attributeFkEdgeId(1), QString());                 // not the last row
    QCOMPARE(e.attributeType(0), QStringLiteral("BIGINT"));
}

void TestEntityItem::jsonPositionNeedsBothCoordinates()
{
    EntityItem e(QStringLiteral("t"), QSizeF(150, 70));
    e.setPos(5, 6);
    e.fromJson(QJsonObject{{"x", 100}});
    QCOMPARE(e.pos(), QPointF(5, 6));
    e.fromJson(QJsonObject{{"x", 100.5}, {"y", "oops"}});
    QCOMPARE(e.pos(), QPointF(100.5, 0));
    QCOMPARE(e.title(), QStringLiteral("t"));   // missing keys keep what there is
    // Far out is brought within the bounds every reader keeps.
    e.fromJson(QJsonObject{{"x", 3e9}, {"y", -1e300}});
    QCOMPARE(e.pos(), QPointF(1e6, -1e6));
}

void TestEntityItem::jsonReadReplacesExistingRows()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("x"), QStringLiteral("TEXT"));
    t->addAttribute(QStringLiteral("y"), QStringLiteral("TEXT"));
    t->fromJson(QJsonObject{{"title", "orders"},
                            {"attributes", QJsonArray{QJsonObject{{"name", "id"}, {"type", "INT"},
                                                                  {"isPrimaryKey", true}}}}});
    QCOMPARE(t->attributeCount(), 1);
    QCOMPARE(t->attributeName(0), QStringLiteral("id"));
    QCOMPARE(t->title(), QStringLiteral("orders"));
    QCOMPARE(t->rect().height(), 63.0);
}

void TestEntityItem::loadedBoxMatchesOneBuiltRowByRow_data()
{
    QTest::addColumn<bool>("view");
    QTest::newRow("table") << false;
    QTest::newRow("entity view") << true;
}

// Reading lays the box out once at the end; building it row by row lays it
// out after every row. Both must end with the same box to the last digit.
void TestEntityItem::loadedBoxMatchesOneBuiltRowByRow()
{
    QFETCH(bool, view);
    struct Row
    {
        const char* name;
        const char* type;
        bool pk, uk, fk, inherited;
    };
    const Row rows[] = {
        {"id", "BIGINT", true, false, false, false},
        {"email", "VARCHAR(255)", false, true, false, false},
        {"customer_id", "BIGINT", false, false, true, true},
        {"note  ", "TEXT   ", false, false, false, true},
        {"\u00fcberstra\u00dfe", "NUMERIC(10,2)", true, true, false, false},
        {"x", "", false, false, false, false},
    };
    QJsonArray attributes;
    for (const Row& r : rows) {
        attributes.append(QJsonObject{{"name", r.name}, {"type", r.type}, {"isPrimaryKey", r.pk},
                                      {"isUniqueKey", r.uk}, {"isForeignKey", r.fk}, {"inherited", r.inherited}});
    }
    const QString title = QStringLiteral("a_rather_long_entity_title");
    QJsonObject object{{"id", "loaded"}, {"title", title}, {"x", 10.5}, {"y", 20}, {"attributes", attributes}};
    if (view)
        object.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));

    ERScene scene;
    scene.loadFromJson(QJsonObject{{"entities", QJsonArray{object}}});
    const QList<EntityItem*> entities = itemsOfType<EntityItem>(scene, Qt::AscendingOrder);
    QVERIFY(!entities.isEmpty());
    EntityItem* loaded = entities.first();

    auto* built = new EntityItem(title, QSizeF(150, 70));
    scene.addItem(built);
    if (view)
        built->setKind(EntityItem::ViewKind);
    built->setPos(10.5, 20);
    for (const Row& r : rows) {
        built->addAttribute(QString::fromUtf8(r.name), QString::fromUtf8(r.type), r.pk, r.uk, r.fk,
                            r.inherited);
    }

    QCOMPARE(loaded->attributeCount(), built->attributeCount());
    QCOMPARE(loaded->rect(), built->rect());
    QCOMPARE(loaded->titleLabel()->pos(), built->titleLabel()->pos());
    QCOMPARE(loaded->titleLabel()->boundingRect(), built->titleLabel()->boundingRect());
    for (int i = 0; i < loaded->attributeCount(); ++i) {
        for (auto label : {&EntityItem::nameLabel, &EntityItem::typeLabel}) {
            SingleLineTextItem* a = (loaded->*label)(i);
            SingleLineTextItem* b = (built->*label)(i);
            QCOMPARE(a->toPlainText(), b->toPlainText());
            QCOMPARE(a->font(), b->font());
            QCOMPARE(a->isUnderlined(), b->isUnderlined());
            QCOMPARE(a->pos(), b->pos());
            QCOMPARE(a->textWidth(), b->textWidth());
            QCOMPARE(a->document()->size(), b->document()->size());
            QCOMPARE(a->defaultTextColor(), b->defaultTextColor());
        }
    }
}

void TestEntityItem::removingAndDeletingWhileEditingIsSafe()
{
    Canvas c;
    EntityItem* t = c.table(QPointF(0, 0));
    t->addAttribute(QStringLiteral("b"), QStringLiteral("TEXT"));
    c.doubleClick(t->nameLabel(1));
    c.type(QStringLiteral("x"));
    // The focus leaves the entity: a deferred highlight check is queued with
    // the entity as its context, so it goes when the entity goes.
    c.click(c.toView(QPointF(700, 500)));
    delete t;
    QTest::qWait(20);

    EntityItem* u = c.table(QPointF(300, 300));
    u->addAttribute(QStringLiteral("b"), QStringLiteral("TEXT"));
    QSignalSpy edited(u, &EntityItem::attributeEdited);
    c.doubleClick(u->nameLabel(1));
    QVERIFY(u->nameLabel(1)->isEditing());
    QVERIFY(u->removeAttributeForLabel(u->nameLabel(1)));
    QCOMPARE(u->attributeCount(), 1);
    QCOMPARE(u->highlightedRow(), -1);
    QTest::qWait(20);
    QCOMPARE(edited.count(), 0);   // the removed cell reports nothing
    c.key(Qt::Key_A);
    QCOMPARE(u->attributeName(0), QStringLiteral("table_1_id"));
}

QUILLMAP_TEST_MAIN(TestEntityItem)
#include "tst_entityitem.moc"
