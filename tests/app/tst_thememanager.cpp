#include "app/thememanager.h"
#include "app/themeutils.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

class TestThemeManager : public QObject
{
    Q_OBJECT

private slots:
    void setThemeSelectsColourSet_data();
    void setThemeSelectsColourSet();
    void setColorsRestoresASavedState();
    void builtInSets();
    void invertKeepsAlphaAndConvertsFormat_data();
    void invertKeepsAlphaAndConvertsFormat();
    void invertedIcon();
    void palettes();
};

void TestThemeManager::setThemeSelectsColourSet_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << 0 << false;
    QTest::newRow("dark") << 1 << true;
    QTest::newRow("any other non-zero") << 7 << true;
}

void TestThemeManager::setThemeSelectsColourSet()
{
    QFETCH(int, kind);
    QFETCH(bool, dark);
    ThemeManager& tm = ThemeManager::instance();
    QSignalSpy spy(&tm, &ThemeManager::themeChanged);
    tm.setTheme(static_cast<ThemeKind>(kind));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(tm.colors(), dark ? ThemeManager::darkColors() : ThemeManager::lightColors());
    QCOMPARE(tm.isDark(), dark);
    tm.setTheme(ThemeKind::Light);
}

void TestThemeManager::setColorsRestoresASavedState()
{
    ThemeManager& tm = ThemeManager::instance();
    tm.setTheme(ThemeKind::Dark);
    const ThemeColors saved = tm.colors();
    const ThemeKind savedKind = tm.kind();
    tm.setTheme(ThemeKind::Light);
    QSignalSpy spy(&tm, &ThemeManager::themeChanged);
    tm.setColors(saved, savedKind);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(tm.kind(), ThemeKind::Dark);
    QCOMPARE(tm.color(ThemeSlot::SceneBackground), QColor(0x1a, 0x1a, 0x1a));
    QVERIFY(!tm.color(9).isValid());
    tm.setTheme(ThemeKind::Light);
}

void TestThemeManager::builtInSets()
{
    const QStringList light{"#ffffff", "#ebebeb", "#fafafa", "#ebebeb", "#000000",
                            "#0078d7", "#000000", "#000000", "#0078d7"};
    const QStringList dark{"#1a1a1a", "#3c3c3c", "#262626", "#373737", "#d2d2d2",
                           "#50aaff", "#e6e6e6", "#d2d2d2", "#50aaff"};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(ThemeManager::lightColors()[i].name(), light.at(i));
        QCOMPARE(ThemeManager::darkColors()[i].name(), dark.at(i));
        QCOMPARE(ThemeManager::lightColors()[i].alpha(), 255);
    }
}

void TestThemeManager::invertKeepsAlphaAndConvertsFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("argb32") << int(QImage::Format_ARGB32);
    QTest::newRow("premultiplied") << int(QImage::Format_ARGB32_Premultiplied);
    QTest::newRow("indexed") << int(QImage::Format_Indexed8);
    QTest::newRow("16-bit") << int(QImage::Format_RGB16);
}

void TestThemeManager::invertKeepsAlphaAndConvertsFormat()
{
    QFETCH(int, format);
    QImage source(4, 2, QImage::Format_ARGB32);
    source.fill(QColor(30, 30, 30, 255));
    source.setPixelColor(1, 0, QColor(0, 120, 215, 128));
    source.setPixelColor(2, 0, QColor(0, 0, 0, 0));
    QImage image = source.convertToFormat(static_cast<QImage::Format>(format));
    const QImage before = image.convertToFormat(QImage::Format_ARGB32);

    invertImageColors(image);

    QVERIFY(image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor was = before.pixelColor(x, y);
            const QColor now = image.pixelColor(x, y);
            QCOMPARE(now.alpha(), was.alpha());
            if (was.alpha() == 255) {
                QCOMPARE(now.red(), 255 - was.red());
                QCOMPARE(now.green(), 255 - was.green());
                QCOMPARE(now.blue(), 255 - was.blue());
            }
        }
    }
}

void TestThemeManager::invertedIcon()
{
    QVERIFY(makeInvertedIcon(QIcon(), QSize(16, 16)).isNull());
    QPixmap dark(16, 16);
    dark.fill(Qt::transparent);
    {
        QPainter p(&dark);
        p.fillRect(4, 4, 8, 8, QColor(0x1e, 0x1e, 0x1e));
    }
    const QIcon icon(dark);
    QVERIFY(makeInvertedIcon(icon, QSize(0, 16)).isNull());
    const QIcon inverted = makeInvertedIcon(icon, QSize(16, 16));
    QVERIFY(!inverted.isNull());
    const QImage image = inverted.pixmap(QSize(16, 16)).toImage();
    QCOMPARE(image.pixelColor(8, 8).rgb(), QColor(0xe1, 0xe1, 0xe1).rgb());
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
}

void TestThemeManager::palettes()
{
    const QPalette light = makeLightPalette();
    const QPalette dark = makeDarkPalette();
    QCOMPARE(light.color(QPalette::Active, QPalette::Window), QColor(0xf3, 0xf3, 0xf3));
    QCOMPARE(light.color(QPalette::Disabled, QPalette::Highlight), QColor(0x00, 0x78, 0xd4));
    QCOMPARE(dark.color(QPalette::Active, QPalette::Window), QColor(0x2b, 0x2b, 0x2b));
    QCOMPARE(dark.color(QPalette::Active, QPalette::Text), QColor(0xe4, 0xe6, 0xea));
    QCOMPARE(dark.color(QPalette::Disabled, QPalette::Text), QColor(0x7a, 0x7e, 0x82));
    QCOMPARE(dark.color(QPalette::Disabled, QPalette::Base), QColor(0x2b, 0x2b, 0x2b));
    QCOMPARE(dark.color(QPalette::Inactive, QPalette::Base), QColor(0x2e, 0x31, 0x33));
}

QTEST_MAIN(TestThemeManager)
#include "tst_thememanager.moc"
