#include "app/thememanager.h"
#include "common/testmain.h"
#include "dialogs/stylerecords.h"

#include <QTest>

class TestStyleRecords : public QObject
{
    Q_OBJECT

private slots:
    void applyTargetFromIndex_data();
    void applyTargetFromIndex();
    void defaultRecordsAreCompleteAndFreshOnesUnset();
    void defaultTextStyleFollowsTheBuiltInSetsNotTheTheme();
    void defaultGroupStyleHasTranslucentFillsAndOpaqueLines();
    void groupStyleArrayOrder();
};

void TestStyleRecords::applyTargetFromIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("target");
    QTest::newRow("selected item") << 0 << int(ApplyToSelectedItem);
    QTest::newRow("selected items") << 1 << int(ApplyToSelectedItems);
    QTest::newRow("all items") << 2 << int(ApplyToAllItems);
    QTest::newRow("defaults only") << 3 << int(ApplyToDefaultsOnly);
    QTest::newRow("no current entry") << -1 << int(ApplyToAllItems);
    QTest::newRow("unknown entry") << 4 << int(ApplyToAllItems);
    QTest::newRow("far out") << 1000 << int(ApplyToAllItems);
}

void TestStyleRecords::applyTargetFromIndex()
{
    QFETCH(int, index);
    QFETCH(int, target);
    QCOMPARE(int(::applyTargetFromIndex(index)), target);
}

void TestStyleRecords::defaultRecordsAreCompleteAndFreshOnesUnset()
{
    // The built-in colours are written as hex text: every one must parse.
    QVERIFY(defaultDualThemeColorScheme().allValid());
    QVERIFY(defaultGroupItemStyle().allValid());
    QVERIFY(defaultTextItemStyle().colorsValid());

    const TextItemStyle text;
    QVERIFY(!text.colorsValid());
    QVERIFY(text != defaultTextItemStyle());
    QVERIFY(!GroupItemStyle().allValid());
}

void TestStyleRecords::defaultTextStyleFollowsTheBuiltInSetsNotTheTheme()
{
    for (ThemeKind kind : {ThemeKind::Dark, ThemeKind::Light}) {
        ThemeManager::instance().setTheme(kind);
        const TextItemStyle style = defaultTextItemStyle();
        QCOMPARE(style.font.family(), QStringLiteral("JetBrains Mono"));
        QCOMPARE(style.font.pointSize(), 12);
        QCOMPARE(style.font.weight(), QFont::Normal);
        QCOMPARE(style.font.style(), QFont::StyleNormal);
        QCOMPARE(style.lightColor, ThemeManager::lightColors()[ThemeSlot::Text]);
        QCOMPARE(style.darkColor, ThemeManager::darkColors()[ThemeSlot::Text]);
        QCOMPARE(style.darkColor, QColor(0xE6, 0xE6, 0xE6));
    }
}

void TestStyleRecords::defaultGroupStyleHasTranslucentFillsAndOpaqueLines()
{
    const GroupItemStyle style = defaultGroupItemStyle();
    const ThemeColors light = ThemeManager::lightColors();
    const ThemeColors dark = ThemeManager::darkColors();
    QCOMPARE(style.lightFill.alpha(), 90);
    QCOMPARE(style.darkFill.alpha(), 90);
    QCOMPARE(style.lightFill.rgb(), light[ThemeSlot::EntityFill].rgb());
    QCOMPARE(style.darkFill.rgb(), dark[ThemeSlot::EntityFill].rgb());
    QCOMPARE(style.lightBorder, light[ThemeSlot::Border]);
    QCOMPARE(style.darkBorder, dark[ThemeSlot::Border]);
    QCOMPARE(style.lightTitle, light[ThemeSlot::Text]);
    QCOMPARE(style.darkTitle, dark[ThemeSlot::Text]);
    for (const QColor& c : {style.lightBorder, style.lightTitle, style.darkBorder, style.darkTitle})
        QCOMPARE(c.alpha(), 255);
    QCOMPARE(style.lightFill.name(QColor::HexArgb), QStringLiteral("#5afafafa"));
    QCOMPARE(style.darkFill.name(QColor::HexArgb), QStringLiteral("#5a262626"));
}

void TestStyleRecords::groupStyleArrayOrder()
{
    const std::array<QColor, 6> colours = {QColor(Qt::red),  QColor(Qt::green),  QColor(Qt::blue),
                                           QColor(Qt::cyan), QColor(Qt::yellow), QColor(Qt::magenta)};
    const GroupItemStyle style = GroupItemStyle::fromArray(colours);
    QCOMPARE(style.lightFill, QColor(Qt::red));
    QCOMPARE(style.lightBorder, QColor(Qt::green));
    QCOMPARE(style.lightTitle, QColor(Qt::blue));
    QCOMPARE(style.darkFill, QColor(Qt::cyan));
    QCOMPARE(style.darkBorder, QColor(Qt::yellow));
    QCOMPARE(style.darkTitle, QColor(Qt::magenta));
    QVERIFY(style.toArray() == colours);
}

QUILLMAP_TEST_MAIN(TestStyleRecords)
#include "tst_stylerecords.moc"
