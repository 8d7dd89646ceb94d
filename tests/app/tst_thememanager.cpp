#include "app/thememanager.h"
#include "app/themeutils.h"
#include "common/testmain.h"

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
    void invertKeepsAlphaAndConvertsFormat_data();
    void invertKeepsAlphaAndConvertsFormat();
    void invertedIcon();
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

QUILLMAP_TEST_MAIN(TestThemeManager)
#include "tst_thememanager.moc"
