#include "app/applicationsetup.h"
#include "app/thememanager.h"
#include "canvasfixture.h"
#include "common/testmain.h"
#include "diagram/itemdrawing.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QFontMetricsF>

class TestSingleLineTextItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void tabAndReturnNeverEnterTheText();
    void pastedTabsAndLineBreaksAreRemoved();
    void returnEndsEditingOnce();
    void shiftReturnRequestsARow();
    void completionCase_data();
    void completionCase();
    void typeCellShowsCaseAdaptedCandidates();
    void popupVisibility_data();
    void popupVisibility();
    void returnTakesTheFirstCandidate();
    void escapeClosesOnlyThePopup();
    void clickInPopupKeepsEditing();
    void popupFlipsAboveNearTheBottom();
    void placeholderAndUnderlineOnExport();
    void resizeHandles_data();
    void resizeHandles();
    void styledFontResolution();
    void popupSurvivesViewDestruction();
    void initialTextMatchesSetPlainText_data();
    void initialTextMatchesSetPlainText();
    void textWidthFollowsTextAndFont();
};

void TestSingleLineTextItem::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestSingleLineTextItem::cleanup()
{
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestSingleLineTextItem::tabAndReturnNeverEnterTheText()
{
    Canvas c;
    EntityItem* t = c.table();
    SingleLineTextItem* name = t->nameLabel(0);
    c.doubleClick(name);
    QVERIFY(name->isEditing());
    c.type(QStringLiteral("ab"));
    c.key(Qt::Key_Tab);
    QCOMPARE(t->attributeName(0), QStringLiteral("ab"));
    QVERIFY(!name->toPlainText().contains(QLatin1Char('\t')));
    // The key event that carries a tab character without being Tab.
    SingleLineTextItem* typeCell = t->typeLabel(0);
    QVERIFY(typeCell->isEditing());
    QKeyEvent tabText(QEvent::KeyPress, Qt::Key_I, Qt::ControlModifier, QStringLiteral("\t"));
    QApplication::sendEvent(c.viewport(), &tabText);
    QVERIFY(!typeCell->toPlainText().contains(QLatin1Char('\t')));
    QVERIFY(!typeCell->isEditing());
}

void TestSingleLineTextItem::pastedTabsAndLineBreaksAreRemoved()
{
    Canvas c;
    EntityItem* t = c.table();
    SingleLineTextItem* name = t->nameLabel(0);
    c.doubleClick(name);
    c.type(QStringLiteral("xy"));
    c.key(Qt::Key_Left);   // cursor between x and y
    QGuiApplication::clipboard()->setText(QStringLiteral("a\tb\nc\r\nd"));
    c.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(name->toPlainText(), QStringLiteral("xabcdy"));
    QCOMPARE(name->textCursor().position(), 5);   // right after the pasted text
    QVERIFY(name->isEditing());
}

void TestSingleLineTextItem::returnEndsEditingOnce()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("second"), QStringLiteral("TEXT"));
    SingleLineTextItem* first = t->nameLabel(0);
    QSignalSpy finished(first, &SingleLineTextItem::editingFinished);
    c.doubleClick(first);
    c.type(QStringLiteral("code"));
    c.key(Qt::Key_Return);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(1).toBool(), false);
    QCOMPARE(finished.at(0).at(2).toBool(), false);
    QVERIFY(!first->isEditing());
    QCOMPARE(first->toPlainText(), QStringLiteral("code"));
    QCOMPARE(t->attributeCount(), 2);
    // Clicking elsewhere afterwards reports nothing more.
    c.click(c.toView(QPointF(700, 500)));
    QCOMPARE(finished.count(), 1);
}

void TestSingleLineTextItem::shiftReturnRequestsARow()
{
    Canvas c;
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("b"), QStringLiteral("TEXT"));
    SingleLineTextItem* first = t->nameLabel(0);
    QSignalSpy request(first, &SingleLineTextItem::newAttributeRequested);
    c.doubleClick(first);
    c.key(Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(request.count(), 1);
    QCOMPARE(t->attributeCount(), 3);
    QVERIFY(t->nameLabel(2)->isEditing());
}

void TestSingleLineTextItem::completionCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    const QStringList candidates{QStringLiteral("BIGINT"), QStringLiteral("bit varying"),
                                 QStringLiteral("Int4")};
    QTest::newRow("no letters") << QStringLiteral("  4 ") << candidates;
    QTest::newRow("upper") << QStringLiteral("BI")
                           << QStringList{"BIGINT", "BIT VARYING", "INT4"};
    QTest::newRow("lower") << QStringLiteral("bi") << QStringList{"bigint", "bit varying", "int4"};
    QTest::newRow("three upper then lower")
        << QStringLiteral("BIGi") << QStringList{"BIGint", "BIT VARYING", "INT4"};
    // A blank in the candidate consults no typed character and remembers nothing.
    QTest::newRow("blank in the candidate")
        << QStringLiteral("BIt varYi") << QStringList{"BIgint", "BIt varYing", "INt4"};
    QTest::newRow("lower then upper")
        << QStringLiteral("bI") << QStringList{"bIGINT", "bIT VARYING", "iNT4"};
    QTest::newRow("non-letter keeps the remembered case")
        << QStringLiteral("b1G") << QStringList{"biGINT", "biT VARYING", "inT4"};
}

void TestSingleLineTextItem::completionCase()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    const QStringList candidates{QStringLiteral("BIGINT"), QStringLiteral("bit varying"),
                                 QStringLiteral("Int4")};
    QCOMPARE(SingleLineTextItem::adaptCompletionCase(candidates, typed), expected);
}

namespace {

QStringList popupRows(SingleLineTextItem* label)
{
    QStringList rows;
    QAbstractItemView* popup = label->completionPopup();
    for (int i = 0; popup && i < popup->model()->rowCount(); ++i)
        rows << popup->model()->index(i, 0).data().toString();
    return rows;
}

} // namespace

void TestSingleLineTextItem::typeCellShowsCaseAdaptedCandidates()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* t = c.table();
    SingleLineTextItem* typeCell = t->typeLabel(0);
    c.doubleClick(typeCell);
    c.type(QStringLiteral("big"));
    QVERIFY(typeCell->isCompletionPopupVisible());
    QCOMPARE(popupRows(typeCell), (QStringList{"bigint", "bigserial"}));
    c.key(Qt::Key_Backspace);
    c.key(Qt::Key_Backspace);
    c.key(Qt::Key_Backspace);
    c.type(QStringLiteral("BIGs"));
    QCOMPARE(popupRows(typeCell), (QStringList{"BIGserial"}));
    // The popup is a plain child of the viewport, below the cell, never
    // narrower than 220 pixels.
    QAbstractItemView* popup = typeCell->completionPopup();
    QCOMPARE(popup->parentWidget(), c.viewport());
    QVERIFY(popup->width() >= 220);
    const QRect cell = c.view->mapFromScene(typeCell->mapToScene(typeCell->boundingRect())).boundingRect();
    QVERIFY(popup->geometry().top() > cell.bottom());
    c.key(Qt::Key_Tab);
    QCOMPARE(t->attributeType(0), QStringLiteral("BIGserial"));
}

void TestSingleLineTextItem::popupVisibility_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("visible");
    QTest::newRow("not before the first change") << "SQLite" << "" << false;
    QTest::newRow("after the first change") << "SQLite" << "t" << true;
    QTest::newRow("single exact candidate") << "PostgreSQL" << "bigserial" << false;
    QTest::newRow("a dialect without types") << "Conceptual ER" << "b" << false;
}

void TestSingleLineTextItem::popupVisibility()
{
    QFETCH(QString, dialect);
    QFETCH(QString, typed);
    QFETCH(bool, visible);
    Canvas c;
    c.scene->setDialect(dialect);
    EntityItem* t = c.table();
    SingleLineTextItem* typeCell = t->typeLabel(0);
    c.doubleClick(typeCell);
    QVERIFY(typeCell->isEditing());
    c.type(typed);
    QCOMPARE(typeCell->isCompletionPopupVisible(), visible);
}

void TestSingleLineTextItem::returnTakesTheFirstCandidate()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* t = c.table();
    t->addAttribute(QStringLiteral("other"), QStringLiteral("TEXT"));
    SingleLineTextItem* typeCell = t->typeLabel(0);
    QSignalSpy finished(typeCell, &SingleLineTextItem::editingFinished);
    c.doubleClick(typeCell);
    c.type(QStringLiteral("tim"));
    QVERIFY(typeCell->isCompletionPopupVisible());
    c.key(Qt::Key_Down);   // moves within the list, not the text
    c.key(Qt::Key_Return);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(1).toBool(), false);
    QVERIFY(t->attributeType(0).startsWith(QLatin1String("tim")));
    QVERIFY(t->attributeType(0).size() > 3);
    QVERIFY(!typeCell->isCompletionPopupVisible());
}

void TestSingleLineTextItem::escapeClosesOnlyThePopup()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("MySQL"));
    EntityItem* t = c.table();
    SingleLineTextItem* typeCell = t->typeLabel(0);
    QSignalSpy finished(typeCell, &SingleLineTextItem::editingFinished);
    c.doubleClick(typeCell);
    c.type(QStringLiteral("va"));
    QVERIFY(typeCell->isCompletionPopupVisible());
    c.key(Qt::Key_Escape);
    QVERIFY(!typeCell->isCompletionPopupVisible());
    QVERIFY(typeCell->isEditing());
    QCOMPARE(finished.count(), 0);
    c.key(Qt::Key_Escape);
    QVERIFY(!typeCell->isEditing());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(t->attributeType(0), QStringLiteral("va"));
}

void TestSingleLineTextItem::clickInPopupKeepsEditing()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    EntityItem* t = c.table();
    SingleLineTextItem* typeCell = t->typeLabel(0);
    QSignalSpy finished(typeCell, &SingleLineTextItem::editingFinished);
    c.doubleClick(typeCell);
    c.type(QStringLiteral("sm"));
    QAbstractItemView* popup = typeCell->completionPopup();
    QVERIFY(popup && popup->isVisible());
    const QModelIndex second = popup->model()->index(1, 0);
    const QString wanted = second.data().toString();
    const QPoint at = popup->visualRect(second).center();
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(typeCell->toPlainText(), wanted);
    QVERIFY(typeCell->isEditing());
    QVERIFY(typeCell->hasFocus());
    QCOMPARE(finished.count(), 0);
}

void TestSingleLineTextItem::popupFlipsAboveNearTheBottom()
{
    Canvas c;
    c.scene->setDialect(QStringLiteral("PostgreSQL"));
    const QPointF bottom = c.view->mapToScene(QPoint(40, c.viewport()->height() - 70));
    EntityItem* t = c.table(bottom);
    SingleLineTextItem* typeCell = t->typeLabel(0);
    c.doubleClick(typeCell);
    c.type(QStringLiteral("b"));
    QAbstractItemView* popup = typeCell->completionPopup();
    QVERIFY(popup->isVisible());
    const QRect cell = c.view->mapFromScene(typeCell->mapToScene(typeCell->boundingRect())).boundingRect();
    QVERIFY2(popup->geometry().bottom() < cell.top(), "the list opens above the cell");
    QVERIFY(popup->geometry().right() < c.viewport()->width());
}

void TestSingleLineTextItem::placeholderAndUnderlineOnExport()
{
    ERScene scene;
    auto* label = new SingleLineTextItem;
    scene.addItem(label);
    label->setFont(QFont(QStringLiteral("JetBrains Mono"), 20));
    label->placeholderText = QStringLiteral("column_name");
    label->setDefaultTextColor(Qt::black);

    const auto render = [&] {
        QImage image(300, 60, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        label->paint(&p, nullptr, nullptr);   // no widget: export
        return image;
    };
    const auto count = [](const QImage& img, auto pred) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += pred(img.pixelColor(x, y)) ? 1 : 0;
        return n;
    };
    const auto greyish = [](const QColor& c) {
        return c != Qt::white && std::abs(c.red() - c.green()) < 8 && c.red() > 60 && c.red() < 220;
    };
    QImage placeholder = render();
    QVERIFY(count(placeholder, greyish) > 20);

    label->setPlainText(QStringLiteral("ab   "));
    label->setUnderlined(true);
    QImage underlined = render();
    // The underline stops at the last non-blank character.
    const QFontMetricsF fm(label->font());
    const int y = qRound(fm.ascent() + fm.underlinePos());
    int darkRight = -1;
    for (int yy = y - 1; yy <= y + 1; ++yy)
        for (int x = 0; x < underlined.width(); ++x)
            if (underlined.pixelColor(x, yy).lightness() < 128)
                darkRight = std::max(darkRight, x);
    QVERIFY(darkRight > 0);
    QVERIFY(darkRight <= qCeil(fm.horizontalAdvance(QStringLiteral("ab"))) + 2);
}

void TestSingleLineTextItem::resizeHandles_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("handle");
    QTest::newRow("top-left") << QPointF(0, 0) << 1;
    QTest::newRow("top-middle") << QPointF(50, 0) << 2;
    QTest::newRow("top-right") << QPointF(100, 0) << 3;
    QTest::newRow("middle-left") << QPointF(0, 40) << 4;
    QTest::newRow("middle-right") << QPointF(105.9, 40) << 5;
    QTest::newRow("bottom-left") << QPointF(-5.9, 80) << 6;
    QTest::newRow("bottom-middle") << QPointF(50, 85.9) << 7;
    QTest::newRow("bottom-right") << QPointF(100, 80) << 8;
    QTest::newRow("just outside") << QPointF(106.1, 40) << 0;
    QTest::newRow("inside") << QPointF(30, 30) << 0;
}

void TestSingleLineTextItem::resizeHandles()
{
    QFETCH(QPointF, point);
    QFETCH(int, handle);
    QCOMPARE(resizeHandleAt(QRectF(0, 0, 100, 80), point), handle);
}

void TestSingleLineTextItem::styledFontResolution()
{
    // JetBrains Mono is embedded with its regular face only.
    QFont bold(QStringLiteral("JetBrains Mono"), 10);
    bold.setWeight(QFont::Bold);
    bold.setItalic(true);
    bool synBold = false;
    bool synItalic = false;
    const QFont resolved = resolveStyledFont(bold, &synBold, &synItalic);
    QCOMPARE(resolved.weight() == QFont::Bold, !synBold);
    QCOMPARE(resolved.style() == QFont::StyleItalic, !synItalic);
    QVERIFY(resolved.styleStrategy() & QFont::ForceOutline);
    QVERIFY(findFontStyleName(QStringLiteral("No Such Family 12345"), true, true));
    const QFont plain = resolveStyledFont(QFont(QStringLiteral("JetBrains Mono"), 10), nullptr, nullptr);
    QCOMPARE(plain.weight(), QFont::Normal);
    QCOMPARE(plain.style(), QFont::StyleNormal);
}

void TestSingleLineTextItem::popupSurvivesViewDestruction()
{
    auto* scene = new ERScene;
    scene->setDialect(QStringLiteral("PostgreSQL"));
    SingleLineTextItem* typeCell = nullptr;
    {
        auto view = std::make_unique<ERView>(scene);
        view->resize(600, 400);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        EntityItem* t = scene->addTableAt(QPointF(0, 0));
        typeCell = t->typeLabel(0);
        typeCell->startEditing();
        typeCell->setPlainText(QStringLiteral("b"));
        QVERIFY(typeCell->isCompletionPopupVisible());
    }
    // The view and its viewport are gone; the popup went back to the
    // completer and the scene can still be torn down.
    QVERIFY(typeCell->completionPopup());
    QVERIFY(!typeCell->completionPopup()->parentWidget());
    delete scene;
}

void TestSingleLineTextItem::initialTextMatchesSetPlainText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("alignment");
    QTest::newRow("plain") << QStringLiteral("customer_id") << false << false << int(Qt::AlignLeft);
    QTest::newRow("bold key") << QStringLiteral("id") << true << false << int(Qt::AlignLeft);
    QTest::newRow("italic type, right") << QStringLiteral("VARCHAR(255)") << false << true << int(Qt::AlignRight);
    QTest::newRow("trailing blanks") << QStringLiteral("TEXT   ") << false << false << int(Qt::AlignRight);
    QTest::newRow("centred title") << QStringLiteral("order_line") << true << false
                                   << int(Qt::AlignHCenter | Qt::AlignVCenter);
    QTest::newRow("non-latin") << QStringLiteral("\u00fcberstra\u00dfe \u540d\u524d") << false << true << int(Qt::AlignLeft);
    QTest::newRow("tab and line break") << QStringLiteral("a\tb\nc") << false << false << int(Qt::AlignLeft);
    QTest::newRow("empty") << QString() << false << false << int(Qt::AlignLeft);
}

void TestSingleLineTextItem::initialTextMatchesSetPlainText()
{
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(int, alignment);

    Canvas c;
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPointSizeF(10);
    font.setBold(bold);
    font.setItalic(italic);
    const auto makeLabel = [&](QPointF at) {
        auto* label = new SingleLineTextItem;
        label->setFont(font);
        label->setAlignment(Qt::Alignment(alignment));
        label->setPos(at);
        c.scene->addItem(label);
        return label;
    };
    SingleLineTextItem* viaSet = makeLabel(QPointF(20, 20));
    SingleLineTextItem* viaInitial = makeLabel(QPointF(20, 60));
    viaSet->setPlainText(text);
    viaInitial->setInitialText(text);

    QCOMPARE(viaInitial->toPlainText(), viaSet->toPlainText());
    QCOMPARE(viaInitial->document()->toHtml(), viaSet->document()->toHtml());
    QCOMPARE(viaInitial->document()->size(), viaSet->document()->size());
    QCOMPARE(viaInitial->boundingRect(), viaSet->boundingRect());
    QCOMPARE(viaInitial->textWidth(), viaSet->textWidth());
    QCOMPARE(viaInitial->document()->blockCount(), viaSet->document()->blockCount());
    // Nothing to undo and nothing modified: Ctrl+Z in the editor must not
    // take the text away.
    QCOMPARE(viaInitial->document()->availableUndoSteps(), 0);
    QCOMPARE(viaSet->document()->availableUndoSteps(), 0);
    QCOMPARE(viaInitial->document()->isModified(), viaSet->document()->isModified());

    // Once focused, the caret stands where setPlainText puts it.
    viaSet->setFocus();
    const QTextCursor expected = viaSet->textCursor();
    viaInitial->setFocus();
    QVERIFY(viaInitial->hasFocus());
    QCOMPARE(viaInitial->textCursor().position(), expected.position());
    QCOMPARE(viaInitial->textCursor().anchor(), expected.anchor());
    delete viaSet;
    delete viaInitial;
}

void TestSingleLineTextItem::textWidthFollowsTextAndFont()
{
    SingleLineTextItem label;
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPointSizeF(10);
    label.setFont(font);
    label.setPlainText(QStringLiteral("column_1"));
    QCOMPARE(label.textWidth(), QFontMetricsF(font).horizontalAdvance(QStringLiteral("column_1")));

    // A bold face set through the base class, bypassing the label.
    QFont bold = font;
    bold.setBold(true);
    static_cast<QGraphicsTextItem&>(label).setFont(bold);
    QCOMPARE(label.textWidth(), QFontMetricsF(bold).horizontalAdvance(QStringLiteral("column_1")));

    // Text changed behind the label's back, straight in its document.
    label.document()->setPlainText(QStringLiteral("a_much_longer_column"));
    QCOMPARE(label.textWidth(), QFontMetricsF(bold).horizontalAdvance(QStringLiteral("a_much_longer_column")));

    // A larger size of the same family.
    QFont large = bold;
    large.setPointSizeF(14);
    label.setFont(large);
    QCOMPARE(label.textWidth(), QFontMetricsF(large).horizontalAdvance(QStringLiteral("a_much_longer_column")));
    QVERIFY(label.textWidth() > QFontMetricsF(bold).horizontalAdvance(QStringLiteral("a_much_longer_column")));
}

QUILLMAP_TEST_MAIN(TestSingleLineTextItem)
#include "tst_singlelinetextitem.moc"
