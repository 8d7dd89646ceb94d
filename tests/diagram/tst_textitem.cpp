#include "annotationhelpers.h"

#include "app/applicationsetup.h"
#include "app/thememanager.h"
#include "diagram/erscene.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace annotationtest;

namespace {

const QColor LightAccent(0x00, 0x78, 0xd7);

QSizeF expectedBox(const QFont& font, const QString& text)
{
    const QFontMetricsF fm(font);
    return QSizeF(std::max(fm.horizontalAdvance(text) + 8, 24.0), std::max(fm.height() + 6, 16.0));
}

} // namespace

class TestTextItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void newItemFitsItsText();
    void setTextGrowsTheBoxButNeverShrinksIt();
    void setColorsKeepsTheOldColourForAnInvalidOne();
    void coloursFollowTheTheme();
    void resizeFromEachHandle_data();
    void resizeFromEachHandle();
    void hoverCursorFollowsTheHandles();
    void editingInPlace_data();
    void editingInPlace();
    void editorFollowsFontAndTheme();
    void deletingWhileEditingLeavesNothingBehind();
    void clearSceneClosesAnOpenEditor();
    void contextMenuAsksTheSceneForTheStyleDialog();
    void exportDrawsOutlinesWithoutDecoration();
    void svgExportHasNoTextElements();
    void jsonGoldenRoundTrip();
    void jsonLegacyAndBrokenColours();
    void jsonFontAndSize();
    void addTextAtUsesTheDefaultStyle();
};

void TestTextItem::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestTextItem::cleanup()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestTextItem::newItemFitsItsText()
{
    TextItem item(QStringLiteral("Text"));
    QCOMPARE(item.font().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(item.font().pointSize(), 12);
    const QSizeF box = expectedBox(item.font(), QStringLiteral("Text"));
    QCOMPARE(item.rect(), QRectF(QPointF(0, 0), box));
    QCOMPARE(item.textBoxSize(), box);
    QCOMPARE(item.boundingRect(), QRectF(-6, -6, box.width() + 12, box.height() + 12));
    QCOMPARE(item.zValue(), 1000.0);
    QCOMPARE(item.type(), int(QGraphicsItem::UserType + 104));
    QVERIFY(item.flags() & QGraphicsItem::ItemIsMovable);
    QVERIFY(item.flags() & QGraphicsItem::ItemIsSelectable);
    QCOMPARE(item.id().size(), 36);
    QVERIFY(item.id() != TextItem(QStringLiteral("Text")).id());

    // An empty text is measured as "Text", so the box never collapses.
    TextItem empty{QString()};
    QCOMPARE(empty.rect().size(), box);
}

void TestTextItem::setTextGrowsTheBoxButNeverShrinksIt()
{
    TextItem item(QStringLiteral("A rather long annotation text"));
    const QSizeF wide = item.rect().size();
    item.setText(QStringLiteral("x"));
    QCOMPARE(item.rect().size(), wide);

    item.setRect(QRectF(5, 6, 30, 10)); // no minimum here
    QCOMPARE(item.pos(), QPointF(5, 6));
    QCOMPARE(item.rect().size(), QSizeF(30, 10));
    item.setText(QStringLiteral("Wider than thirty units"));
    QCOMPARE(item.rect().size(), expectedBox(item.font(), item.text()));

    // A larger font grows the box as well.
    QFont big = item.font();
    big.setPointSize(30);
    item.setFont(big);
    QCOMPARE(item.rect().size(), expectedBox(big, item.text()));
}

void TestTextItem::setColorsKeepsTheOldColourForAnInvalidOne()
{
    TextItem item(QStringLiteral("Text"));
    QCOMPARE(item.lightColor(), QColor(Qt::black));
    QCOMPARE(item.darkColor(), QColor(0xe6, 0xe6, 0xe6));
    item.setColors(QColor(), QColor(Qt::red));
    QCOMPARE(item.lightColor(), QColor(Qt::black));
    QCOMPARE(item.darkColor(), QColor(Qt::red));
    item.setColors(QColor(Qt::blue), QColor());
    QCOMPARE(item.lightColor(), QColor(Qt::blue));
    QCOMPARE(item.darkColor(), QColor(Qt::red));
}

void TestTextItem::coloursFollowTheTheme()
{
    TextItem item(QStringLiteral("HHHH"));
    QFont big(QStringLiteral("JetBrains Mono"));
    big.setPointSize(40);
    item.setFont(big);

    // The defaults: black in the light theme, #e6e6e6 in the dark one, on
    // screen and in an export alike.
    for (bool onScreen : {true, false}) {
        ThemeManager::instance().setTheme(ThemeKind::Light);
        QCOMPARE(item.effectiveColor(), QColor(Qt::black));
        QVERIFY(countPixels(renderItem(&item, false, onScreen), Qt::black) > 20);
        ThemeManager::instance().setTheme(ThemeKind::Dark);
        QCOMPARE(item.effectiveColor(), QColor(0xe6, 0xe6, 0xe6));
        const QImage dark = renderItem(&item, false, onScreen);
        QVERIFY(countPixels(dark, QColor(0xe6, 0xe6, 0xe6)) > 20);
        QCOMPARE(countPixels(dark, Qt::black), 0);
    }

    item.setColors(QColor(Qt::red), QColor(Qt::blue));
    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QImage image = renderItem(&item, false, false);
    QVERIFY(countPixels(image, Qt::blue) > 20);
    QCOMPARE(countPixels(image, Qt::red), 0);
    ThemeManager::instance().setTheme(ThemeKind::Light);
    image = renderItem(&item, false, false);
    QVERIFY(countPixels(image, Qt::red) > 20);
    QCOMPARE(countPixels(image, Qt::blue), 0);
}

void TestTextItem::resizeFromEachHandle_data()
{
    QTest::addColumn<int>("handle");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected");

    // The box starts at (200, 200) with size 200 x 80; dragging past the
    // opposite edge stops at the text's own box, the far edge staying put.
    const QSizeF m = TextItem(QStringLiteral("Text")).textBoxSize();
    const qreal w = m.width();
    const qreal h = m.height();
    QTest::newRow("1 grows") << 1 << QPointF(-20, -10) << QRectF(180, 190, 220, 90);
    QTest::newRow("1 past the far corner") << 1 << QPointF(400, 200) << QRectF(400 - w, 280 - h, w, h);
    QTest::newRow("2 grows") << 2 << QPointF(35, -15) << QRectF(200, 185, 200, 95);
    QTest::newRow("2 past the bottom") << 2 << QPointF(7, 300) << QRectF(200, 280 - h, 200, h);
    QTest::newRow("3 grows") << 3 << QPointF(25, 5) << QRectF(200, 205, 225, 75);
    QTest::newRow("3 past the far corner") << 3 << QPointF(-400, 200) << QRectF(200, 280 - h, w, h);
    QTest::newRow("4 shrinks") << 4 << QPointF(30, 9) << QRectF(230, 200, 170, 80);
    QTest::newRow("4 past the right edge") << 4 << QPointF(400, 0) << QRectF(400 - w, 200, w, 80);
    QTest::newRow("5 shrinks") << 5 << QPointF(-50, 0) << QRectF(200, 200, 150, 80);
    QTest::newRow("5 past the left edge") << 5 << QPointF(-400, 0) << QRectF(200, 200, w, 80);
    QTest::newRow("6 grows") << 6 << QPointF(-10, 20) << QRectF(190, 200, 210, 100);
    QTest::newRow("6 past the far corner") << 6 << QPointF(400, -200) << QRectF(400 - w, 200, w, h);
    QTest::newRow("7 grows") << 7 << QPointF(-3, 12) << QRectF(200, 200, 200, 92);
    QTest::newRow("7 past the top") << 7 << QPointF(0, -200) << QRectF(200, 200, 200, h);
    QTest::newRow("8 grows") << 8 << QPointF(40, 40) << QRectF(200, 200, 240, 120);
    QTest::newRow("8 past the far corner") << 8 << QPointF(-400, -200) << QRectF(200, 200, w, h);
}

void TestTextItem::resizeFromEachHandle()
{
    QFETCH(int, handle);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);

    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(200, 200));
    item->setRect(QRectF(200, 200, 200, 80));
    item->setSelected(true);

    const QPointF start = handlePoint(QRectF(200, 200, 200, 80), handle);
    c.press(c.toView(start));
    QCOMPARE(item->activeHandle(), handle);
    QVERIFY(!(item->flags() & QGraphicsItem::ItemIsMovable));
    c.moveHeld(c.toView(start + delta / 2));
    c.moveHeld(c.toView(start + delta));
    c.release(c.toView(start + delta));

    QCOMPARE(QRectF(item->pos(), item->rect().size()), expected);
    QCOMPARE(item->activeHandle(), 0);
    QVERIFY(item->flags() & QGraphicsItem::ItemIsMovable);
    QVERIFY(item->isSelected());
}

void TestTextItem::hoverCursorFollowsTheHandles()
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

void TestTextItem::editingInPlace_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("endKey");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain, Return") << QStringLiteral("Orders") << int(Qt::Key_Return) << QStringLiteral("Orders");
    QTest::newRow("blanks kept") << QStringLiteral("  two sides  ") << int(Qt::Key_Return)
                                 << QStringLiteral("  two sides  ");
    QTest::newRow("only blanks") << QStringLiteral("   ") << int(Qt::Key_Return) << QStringLiteral("Text");
    QTest::newRow("Escape keeps what was typed") << QStringLiteral("kept") << int(Qt::Key_Escape)
                                                 << QStringLiteral("kept");
    QTest::newRow("Tab") << QStringLiteral("tabbed") << int(Qt::Key_Tab) << QStringLiteral("tabbed");
}

void TestTextItem::editingInPlace()
{
    QFETCH(QString, typed);
    QFETCH(int, endKey);
    QFETCH(QString, expected);

    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(100, 100));
    c.doubleClick(item);
    SingleLineTextItem* editor = item->editor();
    QVERIFY(editor);
    QVERIFY(editor->isEditing());
    QCOMPARE(editor->parentItem(), item);
    QCOMPARE(editor->pos(), QPointF(4, 2));
    QCOMPARE(editor->toPlainText(), QStringLiteral("Text"));
    QCOMPARE(editor->font(), item->font());
    QVERIFY(!(editor->flags() & QGraphicsItem::ItemIsSelectable));

    c.type(typed); // all text was selected, so typing replaces it
    c.key(Qt::Key(endKey));
    QVERIFY(!item->editor());
    QCOMPARE(item->text(), expected);
    QVERIFY(!c.scene->items().contains(editor));
    QCOMPARE(c.scene->items().size(), 1);
}

void TestTextItem::editorFollowsFontAndTheme()
{
    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(100, 100));
    item->startEditing();
    SingleLineTextItem* editor = item->editor();
    QVERIFY(editor);
    QCOMPARE(editor->defaultTextColor(), QColor(Qt::black));

    ThemeManager::instance().setTheme(ThemeKind::Dark);
    QCOMPARE(editor->defaultTextColor(), QColor(0xe6, 0xe6, 0xe6));
    item->setColors(QColor(Qt::red), QColor(Qt::green));
    QCOMPARE(editor->defaultTextColor(), QColor(Qt::green));
    QFont font(QStringLiteral("Noto Serif"), 18);
    item->setFont(font);
    QCOMPARE(editor->font(), font);

    // Reading JSON leaves an open editor alone.
    item->fromJson(QJsonObject{{QStringLiteral("text"), QStringLiteral("from file")}});
    QCOMPARE(item->editor(), editor);

    // A second start while editing changes nothing.
    item->startEditing();
    QCOMPARE(item->editor(), editor);
}

void TestTextItem::deletingWhileEditingLeavesNothingBehind()
{
    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(100, 100));
    c.doubleClick(item);
    QPointer<SingleLineTextItem> editor = item->editor();
    QVERIFY(editor);
    delete item;
    QVERIFY(c.scene->items().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!editor);

    // Outside a scene nothing can be edited.
    TextItem loose(QStringLiteral("Text"));
    loose.startEditing();
    QVERIFY(!loose.editor());
}

void TestTextItem::clearSceneClosesAnOpenEditor()
{
    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(100, 100));
    c.doubleClick(item);
    QVERIFY(item->editor());
    c.type(QStringLiteral("unsaved"));
    QTest::failOnWarning(QRegularExpression(QStringLiteral("remaining items")));
    c.scene->clearScene();
    QVERIFY(c.scene->items().isEmpty());
}

void TestTextItem::contextMenuAsksTheSceneForTheStyleDialog()
{
    Canvas c;
    QVERIFY(c.exposed);
    auto* item = c.scene->addTextAt(QPointF(100, 100));
    QSignalSpy text(c.scene, &ERScene::textStyleDialogRequested);
    QSignalSpy group(c.scene, &ERScene::groupStyleDialogRequested);

    QStringList entries;
    chooseMenuEntry(QStringLiteral("Colors and fonts…"), &entries);
    requestContextMenu(c, c.centreOf(item));
    QCOMPARE(entries, QStringList{QStringLiteral("Colors and fonts…")});
    QCOMPARE(text.count(), 1);
    QCOMPARE(group.count(), 0);
    QVERIFY(item->isSelected());

    // Closing the menu without a choice asks for nothing.
    item->setSelected(false);
    chooseMenuEntry(QString());
    requestContextMenu(c, c.centreOf(item));
    QCOMPARE(text.count(), 1);
    QVERIFY(item->isSelected());
}

void TestTextItem::exportDrawsOutlinesWithoutDecoration()
{
    ERScene scene;
    auto* item = scene.addTextAt(QPointF(0, 0));
    item->setRect(QRectF(0, 0, 160, 40));
    item->setSelected(true);

    const QImage screen = renderItem(item, true, true);
    QVERIFY(countPixels(screen, LightAccent) > 20); // dashed frame and handles
    // The handle on the bottom edge shows its inner half: white inside an
    // accent outline.
    QCOMPARE(screen.pixelColor(10 + 80, 10 + 38), QColor(Qt::white));

    const QImage exported = renderItem(item, true, false);
    QCOMPARE(countPixels(exported, LightAccent), 0);
    QVERIFY(countPixels(exported, Qt::black) > 10); // the text itself

    // While the editor is open, the editor shows the text, not the item.
    ERScene other;
    auto* edited = other.addTextAt(QPointF(0, 0));
    edited->setRect(QRectF(0, 0, 160, 40));
    edited->startEditing();
    QCOMPARE(countPixels(renderItem(edited, false, true), Qt::black), 0);
}

void TestTextItem::svgExportHasNoTextElements()
{
    ERScene scene;
    auto* item = scene.addTextAt(QPointF(10, 10));
    QFont font = item->font();
    font.setBold(true);
    font.setItalic(true);
    item->setFont(font);
    item->setText(QStringLiteral("Exported as outlines"));
    item->setSelected(true);

    const QByteArray svg = renderSvg(scene, QSize(400, 100), QRectF(0, 0, 400, 100));
    QVERIFY(svg.contains("<path"));
    QVERIFY(!svg.contains("<text"));
    QVERIFY(!svg.contains("0078d7")); // no selection decoration
}

void TestTextItem::jsonGoldenRoundTrip()
{
    int checked = 0;
    checkGoldenRoundTrips(QStringLiteral("text-item"), [] { return new TextItem(QStringLiteral("Text")); }, &checked);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(checked, 2);

    // What the reader makes of the styled one.
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
}

void TestTextItem::jsonLegacyAndBrokenColours()
{
    const QColor defaultDark(0xe6, 0xe6, 0xe6);

    TextItem legacy(QStringLiteral("Text"));
    legacy.fromJson(QJsonObject{{QStringLiteral("color"), QStringLiteral("#ffff0000")}});
    QCOMPARE(legacy.lightColor(), QColor(Qt::red));
    QCOMPARE(legacy.darkColor(), QColor(Qt::red));
    QCOMPARE(legacy.toJson().value(QStringLiteral("colorDark")).toString(), QStringLiteral("#ffff0000"));

    TextItem both(QStringLiteral("Text"));
    both.fromJson(QJsonObject{{QStringLiteral("colorLight"), QStringLiteral("#ff00ff00")},
                              {QStringLiteral("color"), QStringLiteral("#ffff0000")}});
    QCOMPARE(both.lightColor(), QColor(Qt::green));
    QCOMPARE(both.darkColor(), defaultDark);

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

void TestTextItem::jsonFontAndSize()
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

void TestTextItem::addTextAtUsesTheDefaultStyle()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    TextItem* plain = scene.addTextAt(QPointF(12.5, -30));
    QCOMPARE(plain->pos(), QPointF(12.5, -30));
    QCOMPARE(plain->text(), QStringLiteral("Text"));
    QCOMPARE(plain->font().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(plain->zValue(), 1000.0);
    QCOMPARE(added.count(), 0);

    const QFont serif(QStringLiteral("Noto Serif"), 20);
    scene.setDefaultTextStyle(serif, QColor(Qt::red), QColor());
    QVERIFY(scene.hasDefaultTextStyle());
    QCOMPARE(scene.defaultTextStyle().font, serif);
    TextItem* styled = scene.addTextAt(QPointF(0, 0));
    QCOMPARE(styled->font(), serif);
    QCOMPARE(styled->lightColor(), QColor(Qt::red));
    QCOMPARE(styled->darkColor(), QColor(0xe6, 0xe6, 0xe6)); // an unset default keeps the item's own
    QCOMPARE(styled->rect().size(), expectedBox(serif, QStringLiteral("Text")));
    QVERIFY(styled->id() != plain->id());
}

QTEST_MAIN(TestTextItem)
#include "tst_textitem.moc"
