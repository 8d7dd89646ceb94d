// Labels build their text document only when it is needed. Whether a label
// has its document yet must make no difference anyone can see: not to its
// geometry, nor to hit-testing and rubber-band selection, nor to the
// pictures on screen and in an export, nor to the diagram's JSON; and the
// building itself changes nothing either.
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"

#include "common/testfiles.h"
#include "diagram/canvasfixture.h"

#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTextDocument>

#include <memory>

namespace {

struct LabelRecipe
{
    QFont font;
    QString text;
    Qt::Alignment alignment;
    QColor colour;
    bool underlined = false;
};

LabelRecipe randomLabel(QRandomGenerator& random)
{
    static const char* const families[] = {"JetBrains Mono", "Manrope", "Noto Serif", "Hack"};
    static const char* const texts[] = {"id",   "column_12", "VARCHAR(255)", "",       "ab  ", "\u00e9t\u00e9 x",
                                        "AV To", "\u540d\u524d", "  lead",    "x_y_z", "fi ffl"};
    LabelRecipe recipe;
    recipe.font = QFont(QString::fromLatin1(families[random.bounded(4)]));
    recipe.font.setPointSizeF(6 + random.bounded(40) / 2.0);
    recipe.font.setBold(random.bounded(2));
    recipe.font.setItalic(random.bounded(3) == 0);
    recipe.text = QString::fromUtf8(texts[random.bounded(int(std::size(texts)))]);
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter | Qt::AlignVCenter, Qt::AlignRight};
    recipe.alignment = alignments[random.bounded(3)];
    recipe.colour = QColor::fromRgb(random.generate() | 0xff000000u);
    recipe.underlined = random.bounded(4) == 0;
    return recipe;
}

// A label set up as the recipe says; with its document built before anything is
// set on it when eager (as every label was made before they were lazy).
SingleLineTextItem* makeLabel(const LabelRecipe& recipe, bool eager)
{
    auto* label = new SingleLineTextItem;
    if (eager)
        label->document();
    label->setFont(recipe.font);
    label->setAlignment(recipe.alignment);
    label->setInitialText(recipe.text);
    label->setDefaultTextColor(recipe.colour);
    label->setUnderlined(recipe.underlined);
    return label;
}

// The canvas as its view paints it on screen (the labels get the viewport
// as their widget), and as an export paints it (they get none).
QImage onScreen(QGraphicsView& view)
{
    QImage image = view.viewport()->grab().toImage();
    // A picture with nothing on it would compare equal to anything.
    int inked = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            inked += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    if (inked < 20)
        qWarning("a canvas picture with hardly anything on it");
    return image;
}

QImage exported(QGraphicsScene& scene, const QRectF& area)
{
    QImage image(area.size().toSize() * 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(), area);
    return image;
}

QList<SingleLineTextItem*> labelsOf(const ERScene& scene)
{
    QList<SingleLineTextItem*> labels;
    for (EntityItem* entity : scene.entityItems()) {
        labels.append(entity->titleLabel());
        for (int i = 0; i < entity->attributeCount(); ++i)
            labels << entity->nameLabel(i) << entity->typeLabel(i);
    }
    return labels;
}

// What the scene finds at a point and in a rectangle, as item types and
// label texts, topmost first.
QStringList hits(const QGraphicsScene& scene, const QRectF& area)
{
    QStringList found;
    const auto describe = [&found](const QList<QGraphicsItem*>& items) {
        for (const QGraphicsItem* item : items) {
            const auto* label = dynamic_cast<const SingleLineTextItem*>(item);
            found << QString::number(item->type()) + (label ? QLatin1Char(':') + label->toPlainText() : QString());
        }
        found << QStringLiteral("|");
    };
    describe(scene.items(area.center()));
    describe(scene.items(area, Qt::IntersectsItemShape));
    describe(scene.items(area, Qt::ContainsItemShape));
    return found;
}

// How many row labels the entities of a scene hold as items.
int rowLabelItems(const ERScene& scene)
{
    int count = 0;
    for (const EntityItem* entity : scene.entityItems()) {
        for (const QGraphicsItem* child : entity->childItems())
            count += dynamic_cast<const SingleLineTextItem*>(child) && child != entity->titleLabel() ? 1 : 0;
    }
    return count;
}

} // namespace

class TestLazyLabels : public QObject
{
    Q_OBJECT

private slots:
    void generatedLabelsLookTheSame();
    void diagramsLookTheSame();
    void rowsWithoutLabelsLookTheSame_data();
    void rowsWithoutLabelsLookTheSame();
    void labelsStayLazyUntilNeeded();
    void documentMadeThroughTheBaseClass();
};

void TestLazyLabels::generatedLabelsLookTheSame()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("hardly anything")));
    QRandomGenerator random(4242u);
    for (int round = 0; round < 12; ++round) {
        // Clear of the top left corner, where the pointer rests and would
        // hover a label into building its document.
        QGraphicsScene lazyScene(0, 0, 700, 500);
        QGraphicsScene eagerScene(0, 0, 700, 500);
        QList<SingleLineTextItem*> lazy;
        QList<SingleLineTextItem*> eager;
        for (int i = 0; i < 12; ++i) {
            const LabelRecipe recipe = randomLabel(random);
            const QPointF at((i % 3) * 190 + 65.5, (i / 3) * 95 + 63.25);
            lazy << makeLabel(recipe, false);
            eager << makeLabel(recipe, true);
            lazy.last()->setPos(at);
            eager.last()->setPos(at);
            lazyScene.addItem(lazy.last());
            eagerScene.addItem(eager.last());
        }
        QGraphicsView lazyView(&lazyScene);
        QGraphicsView eagerView(&eagerScene);
        for (QGraphicsView* view : {&lazyView, &eagerView}) {
            view->resize(740, 540);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view));
        }

        for (int i = 0; i < lazy.size(); ++i) {
            const QString what = QStringLiteral("round %1, label %2").arg(round).arg(i);
            QVERIFY2(!lazy.at(i)->hasDocument(), qPrintable(what));
            QVERIFY2(lazy.at(i)->boundingRect() == eager.at(i)->boundingRect(), qPrintable(what));
            QVERIFY2(lazy.at(i)->shape() == eager.at(i)->shape(), qPrintable(what));
            QVERIFY2(lazy.at(i)->textWidth() == eager.at(i)->textWidth(), qPrintable(what));
            QVERIFY2(lazy.at(i)->font() == eager.at(i)->font(), qPrintable(what));
            QVERIFY2(lazy.at(i)->toPlainText() == eager.at(i)->toPlainText(), qPrintable(what));
        }
        QVERIFY2(onScreen(lazyView) == onScreen(eagerView), qPrintable(QStringLiteral("round %1").arg(round)));
        QVERIFY(exported(lazyScene, lazyScene.sceneRect()) == exported(eagerScene, eagerScene.sceneRect()));
        QVERIFY(!lazy.first()->hasDocument());

        // Building changes nothing of it.
        const QImage before = onScreen(lazyView);
        for (SingleLineTextItem* label : std::as_const(lazy)) {
            const QRectF rect = label->boundingRect();
            label->document();
            QVERIFY(label->hasDocument());
            QCOMPARE(label->boundingRect(), rect);
        }
        QVERIFY(onScreen(lazyView) == before);
    }
}

void TestLazyLabels::diagramsLookTheSame()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("hardly anything")));
    const QJsonObject diagram = testDataJson(QStringLiteral("diagram/golden_diagram.json")).object();
    QVERIFY(!diagram.isEmpty());
    Canvas lazy;
    Canvas eager;
    QVERIFY(lazy.exposed && eager.exposed);
    lazy.scene->loadFromJson(diagram);
    eager.scene->loadFromJson(diagram);
    const QList<SingleLineTextItem*> lazyLabels = labelsOf(*lazy.scene);
    QVERIFY(lazyLabels.size() > 10);
    for (SingleLineTextItem* label : labelsOf(*eager.scene))
        label->document();
    QCoreApplication::processEvents();
    for (const SingleLineTextItem* label : lazyLabels)
        QVERIFY(!label->hasDocument());

    QCOMPARE(lazy.scene->toJson(), eager.scene->toJson());
    const QRectF bounds = lazy.scene->itemsBoundingRect();
    QCOMPARE(eager.scene->itemsBoundingRect(), bounds);
    for (Canvas* c : {&lazy, &eager})
        c->view->fitInView(bounds);
    QVERIFY(onScreen(*lazy.view) == onScreen(*eager.view));
    QVERIFY(exported(*lazy.scene, bounds) == exported(*eager.scene, bounds));

    // Hit-testing and rubber bands over a grid of points and boxes.
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const QRectF area(bounds.left() + bounds.width() * x / 12, bounds.top() + bounds.height() * y / 12,
                              7 + 11 * ((x + y) % 5), 5 + 9 * ((x * y) % 4));
            QCOMPARE(hits(*lazy.scene, area), hits(*eager.scene, area));
        }
    }
    for (const SingleLineTextItem* label : lazyLabels)
        QVERIFY(!label->hasDocument());
}

void TestLazyLabels::rowsWithoutLabelsLookTheSame_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("edit");
    QTest::newRow("every row") << int(EntityItem::FullMode) << false << QString();
    QTest::newRow("every row, dark") << int(EntityItem::FullMode) << true << QString();
    QTest::newRow("key and foreign-key rows") << int(EntityItem::NamePrimaryForeignMode) << false << QString();
    QTest::newRow("key rows, dark") << int(EntityItem::NamePrimaryMode) << true << QString();
    QTest::newRow("row moved") << int(EntityItem::FullMode) << false << QStringLiteral("move");
    QTest::newRow("row removed") << int(EntityItem::FullMode) << false << QStringLiteral("remove");
    QTest::newRow("row renamed, longer") << int(EntityItem::FullMode) << false << QStringLiteral("rename");
    QTest::newRow("row made a key") << int(EntityItem::FullMode) << true << QStringLiteral("key");
}

// Rows nobody has used are drawn by their entity; the picture is the one
// their labels paint, on screen and in an export.
void TestLazyLabels::rowsWithoutLabelsLookTheSame()
{
    QFETCH(int, mode);
    QFETCH(bool, dark);
    QFETCH(QString, edit);
    ThemeManager::instance().setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
    const auto lightAgain = qScopeGuard([] { ThemeManager::instance().setTheme(ThemeKind::Light); });
    const QJsonObject diagram = testDataJson(QStringLiteral("diagram/golden_diagram.json")).object();
    Canvas drawn;
    Canvas labelled;
    QVERIFY(drawn.exposed && labelled.exposed);
    for (Canvas* c : {&drawn, &labelled}) {
        c->scene->loadFromJson(diagram);
        for (EntityItem* entity : c->scene->entityItems())
            entity->setDisplayMode(mode);
    }
    QVERIFY(labelsOf(*labelled.scene).size() > 10);
    // The same edit of each entity, with and without labels.
    for (Canvas* c : {&drawn, &labelled}) {
        for (EntityItem* entity : c->scene->entityItems()) {
            const int last = entity->attributeCount() - 1;
            if (edit == QLatin1String("move"))
                entity->moveAttribute(last, 0);
            else if (edit == QLatin1String("remove") && last > 0)
                entity->removeAttribute(entity->attributeName(0));
            else if (edit == QLatin1String("rename"))
                entity->setAttributeName(last, entity->attributeName(last) + QStringLiteral("_and_more"));
            else if (edit == QLatin1String("key"))
                entity->setAttributeKeyFlags(last, true, false);
        }
    }
    QCOMPARE(rowLabelItems(*drawn.scene), 0);

    const QRectF bounds = labelled.scene->contentBoundingRect();
    for (Canvas* c : {&drawn, &labelled})
        c->view->fitInView(bounds);
    QVERIFY(onScreen(*drawn.view) == onScreen(*labelled.view));
    QVERIFY(exported(*drawn.scene, bounds) == exported(*labelled.scene, bounds));
    QCOMPARE(rowLabelItems(*drawn.scene), 0);
    QCOMPARE(drawn.scene->toJson(), labelled.scene->toJson());
}

void TestLazyLabels::labelsStayLazyUntilNeeded()
{
    Canvas c;
    QVERIFY(c.exposed);
    EntityItem* entity = c.table();
    entity->addAttribute(QStringLiteral("name"), QStringLiteral("TEXT"));
    entity->addAttribute(QStringLiteral("born"), QStringLiteral("DATE"));
    QCoreApplication::processEvents();
    c.viewport()->repaint();
    for (const SingleLineTextItem* label : labelsOf(*c.scene))
        QVERIFY(!label->hasDocument());

    // Editing builds the cell's document, and Tab walks on as ever.
    c.doubleClick(entity->nameLabel(1));
    QVERIFY(entity->nameLabel(1)->hasDocument());
    QVERIFY(entity->nameLabel(1)->isEditing());
    c.key(Qt::Key_Tab);
    QVERIFY(entity->typeLabel(1)->isEditing());
    c.key(Qt::Key_Tab);
    QVERIFY(entity->nameLabel(2)->isEditing());
    c.key(Qt::Key_Backtab);
    QVERIFY(entity->typeLabel(1)->isEditing());
    c.type(QStringLiteral("BLOB"));
    c.key(Qt::Key_Return);
    QCOMPARE(entity->attributeType(1), QStringLiteral("BLOB"));
    QVERIFY(!entity->titleLabel()->hasDocument());
    QVERIFY(!entity->typeLabel(0)->hasDocument());
}

void TestLazyLabels::documentMadeThroughTheBaseClass()
{
    LabelRecipe recipe;
    recipe.font = QFont(QStringLiteral("Hack"));
    recipe.font.setPointSizeF(11);
    recipe.text = QStringLiteral("order_id");
    recipe.alignment = Qt::AlignLeft;
    recipe.colour = QColor(10, 120, 30);
    std::unique_ptr<SingleLineTextItem> label(makeLabel(recipe, false));
    QFont bold = recipe.font;
    bold.setBold(true);
    // Set on the base class: the font is taken, the rest stays the label's.
    static_cast<QGraphicsTextItem&>(*label).setFont(bold);
    QCOMPARE(label->font(), bold);
    QCOMPARE(label->toPlainText(), recipe.text);
    QCOMPARE(label->defaultTextColor(), recipe.colour);
    QCOMPARE(label->document()->toPlainText(), recipe.text);
    QCOMPARE(label->textWidth(), QFontMetricsF(bold).horizontalAdvance(recipe.text));
    QCOMPARE(label->document()->documentMargin(), 0.0);
}

QUILLMAP_TEST_MAIN(TestLazyLabels)
#include "tst_lazylabels.moc"
