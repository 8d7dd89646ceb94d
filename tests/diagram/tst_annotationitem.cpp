#include "annotationhelpers.h"
#include "common/testmain.h"

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

// Text items and group frames share their resizing, in-place editing, style
// menu and export drawing; those are tested once over both kinds, followed by
// what each kind adds of its own.

namespace {

const QColor LightAccent(0x00, 0x78, 0xd7);
const QColor DarkAccent(0x50, 0xaa, 0xff);
const QColor DarkText(0xe6, 0xe6, 0xe6);

// Pixels counted as ink: mostly the colour asked for (see countPixels).
// The ink figures below vary by less than a factor of two between glyph
// sets (the embedded monospace font, DejaVu, Liberation, Noto Serif), and
// every threshold lies at half the smallest of them or below.
constexpr int Ink = 128;

const QString TextKind = QStringLiteral("text");
const QString GroupKind = QStringLiteral("group");

AnnotationItem* addAnnotation(ERScene* scene, const QString& kind, QPointF at)
{
    if (kind == TextKind)
        return scene->addTextAt(at);
    return scene->addGroupAt(at);
}

// The text the item shows: a text item's text, a frame's title.
QString shownText(const AnnotationItem* item)
{
    if (auto* text = qgraphicsitem_cast<const TextItem*>(item))
        return text->text();
    return qgraphicsitem_cast<const GroupItem*>(item)->title();
}

// Where a double click starts editing the item's text.
QPointF editPoint(const AnnotationItem* item)
{
    if (auto* group = qgraphicsitem_cast<const GroupItem*>(item))
        return group->mapToScene(group->titleRect().center());
    return item->mapToScene(item->boundingRect().center());
}

// Gives the item's text the colour in both themes (a frame keeps its fill
// white so that the title stands out).
void setTextColour(AnnotationItem* item, const QColor& colour)
{
    if (auto* text = qgraphicsitem_cast<TextItem*>(item))
        text->setColors(colour, colour);
    else
        qgraphicsitem_cast<GroupItem*>(item)->setColors(QColor(Qt::white), QColor(Qt::black), colour,
                                                        QColor(Qt::white), QColor(Qt::black), colour);
}

QRectF sceneBox(const AnnotationItem* item)
{
    return QRectF(item->pos(), item->rect().size());
}

QSizeF expectedBox(const QFont& font, const QString& text)
{
    const QFontMetricsF fm(font);
    return QSizeF(std::max(fm.horizontalAdvance(text) + 8, 24.0), std::max(fm.height() + 6, 16.0));
}

void addKindColumn()
{
    QTest::addColumn<QString>("kind");
}

void addBothKinds()
{
    addKindColumn();
    QTest::newRow("text") << TextKind;
    QTest::newRow("group") << GroupKind;
}

} // namespace

class TestAnnotationItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    // Shared by both kinds.
    void resizeFromEachHandle_data();
    void resizeFromEachHandle();
    void hoverCursorFollowsTheHandles();
    void editingInPlace_data();
    void editingInPlace();
    void editorFollowsFontAndTheme_data() { addBothKinds(); }
    void editorFollowsFontAndTheme();
    void clearingAndDeletingWhileEditing_data() { addBothKinds(); }
    void clearingAndDeletingWhileEditing();
    void contextMenuAsksTheSceneForTheStyleDialog_data() { addBothKinds(); }
    void contextMenuAsksTheSceneForTheStyleDialog();
    void exportDrawsOutlinesWithoutDecoration_data();
    void exportDrawsOutlinesWithoutDecoration();
    void jsonGoldenRoundTrip_data();
    void jsonGoldenRoundTrip();

    // Text items.
    void textBoxFitsItsTextAndNeverShrinks();
    void textColoursFollowTheTheme();
    void textJsonReading();
    void textJsonFontAndSize();
    void addTextAtUsesTheDefaultStyle();

    // Group frames.
    void groupSizesAndTitleRect();
    void groupColoursPerTheme();
    void groupStaysBehindEverythingElse();
    void pressInsideMovesTheFrame();
    void groupDoubleClickHitArea_data();
    void groupDoubleClickHitArea();
    void groupJsonReading();
    void addGroupAtNamesUniquely();
    void addGroupAtUsesTheDefaultStyle();
};

void TestAnnotationItem::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestAnnotationItem::cleanup()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ------------------------------------------------------------ both kinds

void TestAnnotationItem::resizeFromEachHandle_data()
{
    addKindColumn();
    QTest::addColumn<QRectF>("start");
    QTest::addColumn<int>("handle");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected");

    // Dragging past the opposite edge stops at the smallest box (a text
    // item's own text box, a frame's 80 x 40), the far edge staying put.
    const QRectF t(200, 200, 200, 80);
    const QSizeF m = TextItem(QStringLiteral("Text")).textBoxSize();
    const qreal w = m.width();
    const qreal h = m.height();
    QTest::newRow("text 1 grows") << TextKind << t << 1 << QPointF(-20, -10) << QRectF(180, 190, 220, 90);
    QTest::newRow("text 1 past the far corner") << TextKind << t << 1 << QPointF(400, 200)
                                                << QRectF(400 - w, 280 - h, w, h);
    QTest::newRow("text 2 grows") << TextKind << t << 2 << QPointF(35, -15) << QRectF(200, 185, 200, 95);
    QTest::newRow("text 2 past the bottom") << TextKind << t << 2 << QPointF(7, 300) << QRectF(200, 280 - h, 200, h);
    QTest::newRow("text 3 grows") << TextKind << t << 3 << QPointF(25, 5) << QRectF(200, 205, 225, 75);
    QTest::newRow("text 3 past the far corner") << TextKind << t << 3 << QPointF(-400, 200)
                                                << QRectF(200, 280 - h, w, h);
    QTest::newRow("text 4 shrinks") << TextKind << t << 4 << QPointF(30, 9) << QRectF(230, 200, 170, 80);
    QTest::newRow("text 4 past the right edge") << TextKind << t << 4 << QPointF(400, 0) << QRectF(400 - w, 200, w, 80);
    QTest::newRow("text 5 shrinks") << TextKind << t << 5 << QPointF(-50, 0) << QRectF(200, 200, 150, 80);
    QTest::newRow("text 5 past the left edge") << TextKind << t << 5 << QPointF(-400, 0) << QRectF(200, 200, w, 80);
    QTest::newRow("text 6 grows") << TextKind << t << 6 << QPointF(-10, 20) << QRectF(190, 200, 210, 100);
    QTest::newRow("text 6 past the far corner") << TextKind << t << 6 << QPointF(400, -200)
                                                << QRectF(400 - w, 200, w, h);
    QTest::newRow("text 7 grows") << TextKind << t << 7 << QPointF(-3, 12) << QRectF(200, 200, 200, 92);
    QTest::newRow("text 7 past the top") << TextKind << t << 7 << QPointF(0, -200) << QRectF(200, 200, 200, h);
    QTest::newRow("text 8 grows") << TextKind << t << 8 << QPointF(40, 40) << QRectF(200, 200, 240, 120);
    QTest::newRow("text 8 past the far corner") << TextKind << t << 8 << QPointF(-400, -200)
                                                << QRectF(200, 200, w, h);

    const QRectF g(100, 100, 240, 160);
    QTest::newRow("group 1 shrinks") << GroupKind << g << 1 << QPointF(30, 20) << QRectF(130, 120, 210, 140);
    QTest::newRow("group 1 past the far corner") << GroupKind << g << 1 << QPointF(300, 200)
                                                 << QRectF(260, 220, 80, 40);
    QTest::newRow("group 2 shrinks") << GroupKind << g << 2 << QPointF(50, 20) << QRectF(100, 120, 240, 140);
    QTest::newRow("group 2 past the bottom") << GroupKind << g << 2 << QPointF(0, 300) << QRectF(100, 220, 240, 40);
    QTest::newRow("group 3 grows") << GroupKind << g << 3 << QPointF(20, -10) << QRectF(100, 90, 260, 170);
    QTest::newRow("group 3 past the far corner") << GroupKind << g << 3 << QPointF(-300, 300)
                                                 << QRectF(100, 220, 80, 40);
    QTest::newRow("group 4 grows") << GroupKind << g << 4 << QPointF(-20, 7) << QRectF(80, 100, 260, 160);
    QTest::newRow("group 4 past the right edge") << GroupKind << g << 4 << QPointF(500, 0)
                                                 << QRectF(260, 100, 80, 160);
    QTest::newRow("group 5 grows") << GroupKind << g << 5 << QPointF(15, 0) << QRectF(100, 100, 255, 160);
    QTest::newRow("group 5 past the left edge") << GroupKind << g << 5 << QPointF(-500, 0)
                                                << QRectF(100, 100, 80, 160);
    QTest::newRow("group 6 shrinks and grows") << GroupKind << g << 6 << QPointF(10, 10) << QRectF(110, 100, 230, 170);
    QTest::newRow("group 6 past the far corner") << GroupKind << g << 6 << QPointF(400, -400)
                                                 << QRectF(260, 100, 80, 40);
    QTest::newRow("group 7 shrinks") << GroupKind << g << 7 << QPointF(0, -30) << QRectF(100, 100, 240, 130);
    QTest::newRow("group 7 past the top") << GroupKind << g << 7 << QPointF(0, -400) << QRectF(100, 100, 240, 40);
    QTest::newRow("group 8 grows") << GroupKind << g << 8 << QPointF(10, 20) << QRectF(100, 100, 250, 180);
    QTest::newRow("group 8 inwards") << GroupKind << g << 8 << QPointF(-400, -400) << QRectF(100, 100, 80, 40);
}

void TestAnnotationItem::resizeFromEachHandle()
{
    QFETCH(QString, kind);
    QFETCH(QRectF, start);
    QFETCH(int, handle);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);

    Canvas c;
    QVERIFY(c.exposed);
    AnnotationItem* item = addAnnotation(c.scene, kind, start.topLeft());
    item->setRect(start);
    item->setSelected(true);

    const QPointF from = handlePoint(start, handle);
    c.press(c.toView(from));
    QCOMPARE(item->activeHandle(), handle);
    QVERIFY(!(item->flags() & QGraphicsItem::ItemIsMovable));
    c.moveHeld(c.toView(from + delta / 3));
    c.moveHeld(c.toView(from + delta));
    c.release(c.toView(from + delta));

    QCOMPARE(sceneBox(item), expected);
    QCOMPARE(item->activeHandle(), 0);
    QVERIFY(item->flags() & QGraphicsItem::ItemIsMovable);
    QVERIFY(item->isSelected());
}

void TestAnnotationItem::hoverCursorFollowsTheHandles()
{
    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(200, 200));
    item->setRect(QRectF(200, 200, 200, 80));
    const QRectF r(200, 200, 200, 80);

    // Unselected: the box alone is the item; no resize cursor.
    c.moveHeld(c.toView(r.center() + QPointF(0, 10)), Qt::NoButton);
    QVERIFY(!item->hasCursor());

    item->setSelected(true);
    const Qt::CursorShape shapes[] = {Qt::SizeFDiagCursor, Qt::SizeVerCursor, Qt::SizeBDiagCursor,
                                      Qt::SizeHorCursor,   Qt::SizeHorCursor, Qt::SizeBDiagCursor,
                                      Qt::SizeVerCursor,   Qt::SizeFDiagCursor};
    for (int handle = 1; handle <= 8; ++handle) {
        c.moveHeld(c.toView(handlePoint(r, handle)), Qt::NoButton);
        QVERIFY2(item->hasCursor(), qPrintable(QString::number(handle)));
        QCOMPARE(item->cursor().shape(), shapes[handle - 1]);
    }
    c.moveHeld(c.toView(r.center() + QPointF(0, 10)), Qt::NoButton);
    QCOMPARE(item->cursor().shape(), Qt::ArrowCursor);

    // Leaving the item drops its cursor.
    c.moveHeld(c.toView(QPointF(600, 500)), Qt::NoButton);
    QVERIFY(!item->hasCursor());
}

void TestAnnotationItem::editingInPlace_data()
{
    addKindColumn();
    QTest::addColumn<QString>("typed"); // empty: the text is deleted
    QTest::addColumn<int>("endKey");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text, Return") << TextKind << QStringLiteral("Orders") << int(Qt::Key_Return)
                                  << QStringLiteral("Orders");
    QTest::newRow("text, blanks kept") << TextKind << QStringLiteral("  two sides  ") << int(Qt::Key_Return)
                                       << QStringLiteral("  two sides  ");
    QTest::newRow("text, only blanks") << TextKind << QStringLiteral("   ") << int(Qt::Key_Return)
                                       << QStringLiteral("Text");
    QTest::newRow("text, Escape keeps what was typed")
        << TextKind << QStringLiteral("kept") << int(Qt::Key_Escape) << QStringLiteral("kept");
    QTest::newRow("text, Tab") << TextKind << QStringLiteral("tabbed") << int(Qt::Key_Tab) << QStringLiteral("tabbed");
    QTest::newRow("group, Return") << GroupKind << QStringLiteral("Billing") << int(Qt::Key_Return)
                                   << QStringLiteral("Billing");
    QTest::newRow("group, cleared") << GroupKind << QString() << int(Qt::Key_Return) << QStringLiteral("Group");
    QTest::newRow("group, blanks only") << GroupKind << QStringLiteral("  ") << int(Qt::Key_Tab)
                                        << QStringLiteral("Group");
    QTest::newRow("group, blanks kept") << GroupKind << QStringLiteral(" edge ") << int(Qt::Key_Escape)
                                        << QStringLiteral(" edge ");
    QTest::newRow("group, Backtab") << GroupKind << QStringLiteral("back") << int(Qt::Key_Backtab)
                                    << QStringLiteral("back");
}

void TestAnnotationItem::editingInPlace()
{
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(int, endKey);
    QFETCH(QString, expected);

    Canvas c;
    QVERIFY(c.exposed);
    AnnotationItem* item = addAnnotation(c.scene, kind, QPointF(100, 100));
    const int itemsBefore = c.scene->items().size();
    c.doubleClick(c.toView(editPoint(item)));
    SingleLineTextItem* editor = item->editor();
    QVERIFY(editor);
    QVERIFY(editor->isEditing());
    QCOMPARE(editor->toPlainText(), kind == TextKind ? QStringLiteral("Text") : QStringLiteral("group_1"));

    if (typed.isEmpty())
        c.key(Qt::Key_Delete); // all text was selected
    else
        c.type(typed); // all text was selected, so typing replaces it
    c.key(Qt::Key(endKey));
    QVERIFY(!item->editor());
    QCOMPARE(shownText(item), expected);
    QVERIFY(!c.scene->items().contains(editor));
    QCOMPARE(c.scene->items().size(), itemsBefore);
}

void TestAnnotationItem::editorFollowsFontAndTheme()
{
    QFETCH(QString, kind);

    Canvas c;
    QVERIFY(c.exposed);
    AnnotationItem* item = addAnnotation(c.scene, kind, QPointF(100, 100));
    item->startEditing();
    SingleLineTextItem* editor = item->editor();
    QVERIFY(editor);
    QVERIFY(!(editor->flags() & QGraphicsItem::ItemIsSelectable));
    QCOMPARE(editor->defaultTextColor(), QColor(Qt::black));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(editor->defaultTextColor(), DarkText);

    if (auto* text = qgraphicsitem_cast<TextItem*>(item)) {
        // The editor sits inside the box, over the text.
        QCOMPARE(editor->parentItem(), item);
        QCOMPARE(editor->pos(), QPointF(4, 2));
        QCOMPARE(editor->font(), text->font());
        text->setColors(QColor(Qt::red), QColor(Qt::green));
        QCOMPARE(editor->defaultTextColor(), QColor(Qt::green));
        QFont font(QStringLiteral("Noto Serif"), 18);
        text->setFont(font);
        QCOMPARE(editor->font(), font);
        // Reading JSON leaves an open editor alone.
        text->fromJson(QJsonObject{{QStringLiteral("text"), QStringLiteral("from file")}});
        QCOMPARE(item->editor(), editor);
    } else {
        // A frame's editor is a top-level item above everything, over the
        // title.
        auto* group = qgraphicsitem_cast<GroupItem*>(item);
        QCOMPARE(editor->parentItem(), nullptr);
        QCOMPARE(editor->scene(), c.scene);
        QCOMPARE(editor->zValue(), 1000.0);
        QCOMPARE(editor->pos(), group->mapToScene(group->titleRect().topLeft()));
        QCOMPARE(editor->font(), group->titleFont());
        group->setColors(QColor(), QColor(), QColor(), QColor(), QColor(), QColor(Qt::yellow));
        QCOMPARE(editor->defaultTextColor(), QColor(Qt::yellow));
    }

    // A second start while editing changes nothing.
    item->startEditing();
    QCOMPARE(item->editor(), editor);
}

void TestAnnotationItem::clearingAndDeletingWhileEditing()
{
    QFETCH(QString, kind);

    Canvas c;
    QVERIFY(c.exposed);
    AnnotationItem* item = addAnnotation(c.scene, kind, QPointF(100, 100));
    c.scene->addTableAt(QPointF(120, 140));
    c.doubleClick(c.toView(editPoint(item)));
    QVERIFY(item->editor());
    c.type(QStringLiteral("unsaved"));
    QTest::failOnWarning(QRegularExpression(QStringLiteral("remaining items")));
    c.scene->clearScene();
    QVERIFY(c.scene->items().isEmpty());

    AnnotationItem* second = addAnnotation(c.scene, kind, QPointF(100, 100));
    second->startEditing();
    QPointer<SingleLineTextItem> editor = second->editor();
    QVERIFY(editor);
    delete second;
    QVERIFY(c.scene->items().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!editor);

    // A scene torn down with an editor open takes the editor with it.
    auto* scene = new QGraphicsScene;
    AnnotationItem* loose = kind == TextKind ? static_cast<AnnotationItem*>(new TextItem(QStringLiteral("Text")))
                                             : new GroupItem(QStringLiteral("g"), QSizeF(100, 100));
    scene->addItem(loose);
    loose->startEditing();
    QVERIFY(loose->editor());
    delete scene;

    // Outside a scene nothing can be edited.
    TextItem outside(QStringLiteral("Text"));
    outside.startEditing();
    QVERIFY(!outside.editor());
}

void TestAnnotationItem::contextMenuAsksTheSceneForTheStyleDialog()
{
    QFETCH(QString, kind);

    Canvas c;
    QVERIFY(c.exposed);
    AnnotationItem* item = addAnnotation(c.scene, kind, QPointF(100, 100));
    QSignalSpy text(c.scene, &ERScene::textStyleDialogRequested);
    QSignalSpy group(c.scene, &ERScene::groupStyleDialogRequested);
    QSignalSpy& asked = kind == TextKind ? text : group;
    QSignalSpy& other = kind == TextKind ? group : text;
    const QPoint at = c.toView(item->mapToScene(item->rect().center()));

    QStringList entries;
    chooseMenuEntry(QStringLiteral("Colors and fonts…"), &entries);
    requestContextMenu(c, at);
    QCOMPARE(entries, QStringList{QStringLiteral("Colors and fonts…")});
    QCOMPARE(asked.count(), 1);
    QCOMPARE(other.count(), 0);
    QVERIFY(item->isSelected());

    // Closing the menu without a choice asks for nothing, but the item is
    // selected all the same.
    item->setSelected(false);
    chooseMenuEntry(QString());
    requestContextMenu(c, at);
    QCOMPARE(asked.count(), 1);
    QVERIFY(item->isSelected());

    // The menu is the clicked item's alone, unless Ctrl adds it to what is
    // selected.
    AnnotationItem* neighbour = addAnnotation(c.scene, kind, QPointF(400, 100));
    for (const bool ctrl : {false, true}) {
        c.scene->clearSelection();
        neighbour->setSelected(true);
        chooseMenuEntry(QString());
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, c.viewport()->mapToGlobal(at),
                                ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QApplication::sendEvent(c.viewport(), &event);
        QVERIFY(item->isSelected());
        QCOMPARE(neighbour->isSelected(), ctrl);
    }

    // On a plain scene the item offers the menu but has nobody to ask.
    QGraphicsScene plain;
    AnnotationItem* loose = kind == TextKind ? static_cast<AnnotationItem*>(new TextItem(QStringLiteral("Text")))
                                             : new GroupItem(QStringLiteral("g"), QSizeF(100, 100));
    plain.addItem(loose);
    c.view->setScene(&plain);
    chooseMenuEntry(QStringLiteral("Colors and fonts…"));
    requestContextMenu(c, c.toView(loose->mapToScene(loose->rect().center())));
    QVERIFY(loose->isSelected());
    c.view->setScene(c.scene);
}

void TestAnnotationItem::exportDrawsOutlinesWithoutDecoration_data()
{
    addKindColumn();
    QTest::addColumn<int>("minAccent");
    QTest::addColumn<int>("minText");
    // A 160 x 40 bold italic "Text" leaves 100 to 220 ink pixels, the
    // bold 10 point title "Group" some 220.
    QTest::newRow("text") << TextKind << 20 << 50;
    QTest::newRow("group") << GroupKind << 50 << 100;
}

void TestAnnotationItem::exportDrawsOutlinesWithoutDecoration()
{
    QFETCH(QString, kind);
    QFETCH(int, minAccent);
    QFETCH(int, minText);

    ERScene scene;
    AnnotationItem* item = addAnnotation(&scene, kind, QPointF(0, 0));
    if (kind == TextKind) {
        auto* text = qgraphicsitem_cast<TextItem*>(item);
        QFont font = text->font();
        font.setBold(true);
        font.setItalic(true);
        text->setFont(font);
        text->setRect(QRectF(0, 0, 160, 40));
    }
    setTextColour(item, Qt::red);
    item->setSelected(true);

    const QImage screen = renderItem(item, true, true);
    QVERIFY(countPixels(screen, LightAccent) > minAccent); // dashed frame and handles
    if (kind == TextKind) {
        // The handle on the bottom edge shows its inner half: white inside
        // an accent outline.
        QCOMPARE(screen.pixelColor(10 + 80, 10 + 38), QColor(Qt::white));
    }
    const QImage exported = renderItem(item, true, false);
    QCOMPARE(countPixels(exported, LightAccent), 0);
    QVERIFY(countPixels(exported, Qt::red, Ink) > minText);

    const QByteArray svg = renderSvg(scene, QSize(300, 200), QRectF(-10, -10, 300, 200));
    QVERIFY(svg.contains("<path"));
    QVERIFY(!svg.contains("<text"));
    QVERIFY(!svg.contains("0078d7"));

    // While the editor is open the editor shows the text, not the item.
    item->startEditing();
    QVERIFY(item->editor());
    QCOMPARE(countPixels(renderItem(item, false, true), Qt::red, Ink), 0);
    item->stopEditing();
    QVERIFY(countPixels(renderItem(item, false, true), Qt::red, Ink) > minText);
}

void TestAnnotationItem::jsonGoldenRoundTrip_data()
{
    QTest::addColumn<QString>("jsonKind");
    QTest::newRow("text") << QStringLiteral("text-item");
    QTest::newRow("group") << QStringLiteral("group-item");
}

void TestAnnotationItem::jsonGoldenRoundTrip()
{
    QFETCH(QString, jsonKind);
    int checked = 0;
    if (jsonKind == QStringLiteral("text-item"))
        checkGoldenRoundTrips(jsonKind, [] { return new TextItem(QStringLiteral("Text")); }, &checked);
    else
        checkGoldenRoundTrips(jsonKind, [] { return new GroupItem(QStringLiteral("Group"), QSizeF(240, 160)); },
                              &checked);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(checked, 2);
}

// ------------------------------------------------------------ text items

void TestAnnotationItem::textBoxFitsItsTextAndNeverShrinks()
{
    TextItem item(QStringLiteral("Text"));
    QCOMPARE(item.font().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(item.font().pointSize(), 12);
    const QSizeF box = expectedBox(item.font(), QStringLiteral("Text"));
    QCOMPARE(item.rect(), QRectF(QPointF(0, 0), box));
    QCOMPARE(item.textBoxSize(), box);
    QCOMPARE(item.boundingRect(), QRectF(-6, -6, box.width() + 12, box.height() + 12));
    QCOMPARE(item.zValue(), 1000.0);
    QVERIFY(item.id() != TextItem(QStringLiteral("Text")).id());

    // An empty text is measured as "Text", so the box never collapses.
    TextItem empty{QString()};
    QCOMPARE(empty.rect().size(), box);

    TextItem wide(QStringLiteral("A rather long annotation text"));
    const QSizeF wideBox = wide.rect().size();
    wide.setText(QStringLiteral("x"));
    QCOMPARE(wide.rect().size(), wideBox);

    wide.setRect(QRectF(5, 6, 30, 10)); // no minimum here
    QCOMPARE(sceneBox(&wide), QRectF(5, 6, 30, 10));
    wide.setText(QStringLiteral("Wider than thirty units"));
    QCOMPARE(wide.rect().size(), expectedBox(wide.font(), wide.text()));

    // A larger font grows the box as well.
    QFont big = wide.font();
    big.setPointSize(30);
    wide.setFont(big);
    QCOMPARE(wide.rect().size(), expectedBox(big, wide.text()));
}

void TestAnnotationItem::textColoursFollowTheTheme()
{
    TextItem item(QStringLiteral("HHHH"));
    QFont big(QStringLiteral("JetBrains Mono"));
    big.setPointSize(40);
    item.setFont(big);

    // The defaults: black in the light theme, #e6e6e6 in the dark one, on
    // screen and in an export alike. "HHHH" at 40 points leaves 1,400 to
    // 1,900 ink pixels, whatever the glyphs.
    for (bool onScreen : {true, false}) {
        ThemeManager::instance().setTheme(ThemeKind::Light);
        QCOMPARE(item.effectiveColor(), QColor(Qt::black));
        QVERIFY(countPixels(renderItem(&item, false, onScreen), Qt::black, Ink) > 700);
        ThemeManager::instance().setTheme(ThemeKind::Dark);
        QCOMPARE(item.effectiveColor(), DarkText);
        const QImage dark = renderItem(&item, false, onScreen);
        QVERIFY(countPixels(dark, DarkText, Ink) > 700);
        QCOMPARE(countPixels(dark, Qt::black, Ink), 0);
    }

    // An invalid colour keeps the old one.
    item.setColors(QColor(), QColor(Qt::blue));
    QCOMPARE(item.lightColor(), QColor(Qt::black));
    QCOMPARE(item.darkColor(), QColor(Qt::blue));
    item.setColors(QColor(Qt::red), QColor());
    QCOMPARE(item.lightColor(), QColor(Qt::red));
    QCOMPARE(item.darkColor(), QColor(Qt::blue));

    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QImage image = renderItem(&item, false, false);
    QVERIFY(countPixels(image, Qt::blue, Ink) > 700);
    QCOMPARE(countPixels(image, Qt::red, Ink), 0);
    ThemeManager::instance().setTheme(ThemeKind::Light);
    image = renderItem(&item, false, false);
    QVERIFY(countPixels(image, Qt::red, Ink) > 700);
    QCOMPARE(countPixels(image, Qt::blue, Ink), 0);
}

void TestAnnotationItem::textJsonReading()
{
    // What the reader makes of the styled golden item.
    TextItem item(QStringLiteral("Text"));
    item.fromJson(goldenAnnotations().at(0).toObject());
    QCOMPARE(item.font().weight(), QFont::Bold);
    QCOMPARE(item.font().style(), QFont::StyleItalic);
    QVERIFY(item.font().underline());
    QCOMPARE(item.font().pointSizeF(), 13.5);
    QCOMPARE(item.text(), QStringLiteral("  Customer area "));
    QCOMPARE(item.darkColor(), QColor(0xe0, 0xd0, 0xc0, 0x80));

    // A fresh item writes every key, its colours as the theme defaults.
    const QJsonObject fresh = TextItem(QStringLiteral("Text")).toJson();
    QCOMPARE(fresh.size(), 14);
    QCOMPARE(fresh.value(QStringLiteral("kind")).toString(), QStringLiteral("text-item"));
    QCOMPARE(fresh.value(QStringLiteral("colorLight")).toString(), QStringLiteral("#ff000000"));
    QCOMPARE(fresh.value(QStringLiteral("colorDark")).toString(), QStringLiteral("#ffe6e6e6"));
    QCOMPARE(fresh.value(QStringLiteral("fontSize")).toDouble(), 12.0);
    QVERIFY(!fresh.contains(QStringLiteral("color")));

    // The legacy single colour serves both themes, unless the per-theme
    // form is there.
    TextItem legacy(QStringLiteral("Text"));
    legacy.fromJson(QJsonObject{{QStringLiteral("color"), QStringLiteral("#ffff0000")}});
    QCOMPARE(legacy.lightColor(), QColor(Qt::red));
    QCOMPARE(legacy.darkColor(), QColor(Qt::red));
    QCOMPARE(legacy.toJson().value(QStringLiteral("colorDark")).toString(), QStringLiteral("#ffff0000"));

    TextItem both(QStringLiteral("Text"));
    both.fromJson(QJsonObject{{QStringLiteral("colorLight"), QStringLiteral("#ff00ff00")},
                              {QStringLiteral("color"), QStringLiteral("#ffff0000")}});
    QCOMPARE(both.lightColor(), QColor(Qt::green));
    QCOMPARE(both.darkColor(), DarkText);

    TextItem broken(QStringLiteral("Text"));
    broken.setColors(QColor(Qt::blue), QColor(Qt::yellow));
    broken.fromJson(QJsonObject{{QStringLiteral("colorLight"), QStringLiteral("no colour at all")},
                                {QStringLiteral("colorDark"), 42}});
    QCOMPARE(broken.lightColor(), QColor(Qt::blue));
    QCOMPARE(broken.darkColor(), QColor(Qt::yellow));

    // A short "#RRGGBB" form is a colour too.
    QCOMPARE(colorFromJson(QJsonValue(QStringLiteral("#102030")), QColor()), QColor(0x10, 0x20, 0x30));
    QCOMPARE(colorFromJson(QJsonValue(), QColor(Qt::cyan)), QColor(Qt::cyan));
}

void TestAnnotationItem::textJsonFontAndSize()
{
    TextItem item(QStringLiteral("Text"));
    QFont font = item.font();
    font.setWeight(QFont::Weight(501));
    item.setFont(font);
    QVERIFY(item.toJson().value(QStringLiteral("bold")).toBool());
    font.setWeight(QFont::Medium);
    item.setFont(font);
    QVERIFY(!item.toJson().value(QStringLiteral("bold")).toBool());

    // Missing keys keep the position, text and id, and the box fits the text.
    item.setPos(30, 40);
    const QString id = item.id();
    item.fromJson(QJsonObject{{QStringLiteral("id"), 17}, {QStringLiteral("bold"), true}});
    QCOMPARE(item.id(), id);
    QCOMPARE(item.pos(), QPointF(30, 40));
    QCOMPARE(item.text(), QStringLiteral("Text"));
    QCOMPARE(item.font().weight(), QFont::Bold);
    QCOMPARE(item.font().pointSize(), 12);
    QCOMPARE(item.rect().size(), expectedBox(item.font(), item.text()));

    // An exact 10 x 10 box even though the text needs more; one missing
    // dimension gives the text's box instead.
    item.fromJson(QJsonObject{{QStringLiteral("width"), 10}, {QStringLiteral("height"), 10}});
    QCOMPARE(item.rect().size(), QSizeF(10, 10));
    item.fromJson(QJsonObject{{QStringLiteral("width"), 300}});
    QCOMPARE(item.rect().size(), expectedBox(item.font(), item.text()));

    // Damaged sizes: none gives the font's default size, an absurd one is
    // capped instead of making glyphs the size of a building.
    item.fromJson(QJsonObject{{QStringLiteral("fontSize"), 0}});
    QVERIFY(item.font().pointSizeF() > 0);
    item.fromJson(QJsonObject{{QStringLiteral("fontSize"), 1e12}});
    QCOMPARE(item.font().pointSizeF(), 1000.0);
    item.fromJson(QJsonObject{{QStringLiteral("fontSize"), 7.25}, {QStringLiteral("fontFamily"), 3}});
    QCOMPARE(item.font().pointSizeF(), 7.25);
    QCOMPARE(item.font().family(), QStringLiteral("JetBrains Mono"));
}

void TestAnnotationItem::addTextAtUsesTheDefaultStyle()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    TextItem* plain = scene.addTextAt(QPointF(12.5, -30));
    QCOMPARE(plain->pos(), QPointF(12.5, -30));
    QCOMPARE(plain->text(), QStringLiteral("Text"));
    QCOMPARE(plain->font().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(added.count(), 0);

    const QFont serif(QStringLiteral("Noto Serif"), 20);
    scene.setDefaultTextStyle(serif, QColor(Qt::red), QColor());
    QVERIFY(scene.hasDefaultTextStyle());
    TextItem* styled = scene.addTextAt(QPointF(0, 0));
    QCOMPARE(styled->font(), serif);
    QCOMPARE(styled->lightColor(), QColor(Qt::red));
    QCOMPARE(styled->darkColor(), DarkText); // an unset default keeps the item's own
    QCOMPARE(styled->rect().size(), expectedBox(serif, QStringLiteral("Text")));
}

// ------------------------------------------------------------ group frames

void TestAnnotationItem::groupSizesAndTitleRect()
{
    GroupItem g(QStringLiteral("Sales"), QSizeF(50, 20)); // not clamped here
    QCOMPARE(g.rect(), QRectF(0, 0, 50, 20));
    QCOMPARE(g.boundingRect(), QRectF(-6, -6, 62, 32));
    QCOMPARE(g.titleFont().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(g.titleFont().pointSize(), 10);
    QCOMPARE(g.titleFont().weight(), QFont::Bold);
    QCOMPARE(g.colors(), defaultGroupItemStyle());

    // setRect keeps the minimum.
    g.setRect(QRectF(10, 20, 30, 5));
    QCOMPARE(sceneBox(&g), QRectF(10, 20, 80, 40));
    g.setRect(QRectF(-5, -6, 300.5, 200));
    QCOMPARE(sceneBox(&g), QRectF(-5, -6, 300.5, 200));

    g.setTitle(QStringLiteral("A long group title for measuring"));
    const QFontMetricsF fm(g.titleFont());
    QCOMPARE(g.titleRect(), QRectF(8, 4, fm.horizontalAdvance(g.title()) + 8, std::max(fm.height() + 2, 16.0)));
    // Short and empty titles keep a usable target.
    g.setTitle(QString());
    QCOMPARE(g.titleRect().width(), std::max(fm.horizontalAdvance(QStringLiteral("Group")) + 8, 40.0));
    g.setTitle(QStringLiteral("x"));
    QCOMPARE(g.titleRect().width(), 40.0);
}

void TestAnnotationItem::groupColoursPerTheme()
{
    GroupItem g(QStringLiteral("g"), QSizeF(120, 80));
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCOMPARE(g.fillColor(), QColor(0xfa, 0xfa, 0xfa, 90));
    QCOMPARE(g.borderColor(), QColor(Qt::black));
    QCOMPARE(g.textColor(), QColor(Qt::black));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(g.fillColor(), QColor(0x26, 0x26, 0x26, 90));
    QCOMPARE(g.borderColor(), QColor(0xd2, 0xd2, 0xd2));
    QCOMPARE(g.textColor(), DarkText);

    // Invalid colours are skipped.
    const GroupItemStyle before = g.colors();
    g.setColors(QColor(Qt::red), QColor(), QColor(), QColor(), QColor(), QColor(Qt::green));
    GroupItemStyle expected = before;
    expected.lightFill = QColor(Qt::red);
    expected.darkTitle = QColor(Qt::green);
    QCOMPARE(g.colors(), expected);
    g.setColors(GroupItemStyle{});
    QCOMPARE(g.colors(), expected);

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

void TestAnnotationItem::groupStaysBehindEverythingElse()
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

void TestAnnotationItem::pressInsideMovesTheFrame()
{
    Canvas c;
    QVERIFY(c.exposed);
    GroupItem* g = c.scene->addGroupAt(QPointF(100, 100));
    g->setSelected(true);
    c.press(c.toView(QPointF(200, 200)));
    QCOMPARE(g->activeHandle(), 0);
    c.moveHeld(c.toView(QPointF(230, 210)));
    c.release(c.toView(QPointF(230, 210)));
    QCOMPARE(sceneBox(g), QRectF(130, 110, 240, 160));

    // An unselected frame cannot be resized: its corner is only its body.
    g->setSelected(false);
    c.click(c.toView(QPointF(600, 500)));
    c.press(c.toView(QPointF(131, 111)));
    QCOMPARE(g->activeHandle(), 0);
    c.release(c.toView(QPointF(131, 111)));
}

void TestAnnotationItem::groupDoubleClickHitArea_data()
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

void TestAnnotationItem::groupDoubleClickHitArea()
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

void TestAnnotationItem::groupJsonReading()
{
    const GroupItemStyle defaults = defaultGroupItemStyle();

    GroupItem golden(QStringLiteral("Group"), QSizeF(240, 160));
    golden.fromJson(goldenAnnotations().at(3).toObject());
    QCOMPARE(golden.title(), QString()); // an empty title is taken as it is
    QCOMPARE(golden.colors().lightFill.alpha(), 0);

    const QJsonObject fresh = GroupItem(QStringLiteral("g"), QSizeF(240, 160)).toJson();
    QCOMPARE(fresh.size(), 13);
    QCOMPARE(fresh.value(QStringLiteral("kind")).toString(), QStringLiteral("group-item"));
    QCOMPARE(fresh.value(QStringLiteral("fillLight")).toString(), QStringLiteral("#5afafafa"));
    QCOMPARE(fresh.value(QStringLiteral("borderDark")).toString(), QStringLiteral("#ffd2d2d2"));
    QCOMPARE(fresh.value(QStringLiteral("textColorDark")).toString(), QStringLiteral("#ffe6e6e6"));

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

    // Damaged values keep what the item had; the size keeps the minimum.
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

    GroupItem sized(QStringLiteral("Group"), QSizeF(240, 160));
    sized.fromJson(QJsonObject{{QStringLiteral("id"), QStringLiteral("stored")}});
    QCOMPARE(sized.rect().size(), QSizeF(240, 160));
    QCOMPARE(sized.id(), QStringLiteral("stored"));
}

void TestAnnotationItem::addGroupAtNamesUniquely()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    GroupItem* first = scene.addGroupAt(QPointF(5, 6));
    QCOMPARE(first->title(), QStringLiteral("group_1"));
    QCOMPARE(sceneBox(first), QRectF(5, 6, 240, 160));
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

void TestAnnotationItem::addGroupAtUsesTheDefaultStyle()
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

QUILLMAP_TEST_MAIN(TestAnnotationItem)
#include "tst_annotationitem.moc"
