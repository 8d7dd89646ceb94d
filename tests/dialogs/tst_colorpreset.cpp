#include "common/testmain.h"
#include "dialogs/colorpreset.h"
#include "dialogs/stylerecords.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The user's colour presets as the settings keep them.
class TestColorPreset : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void presetsRoundTripInOrder();
    void malformedElementsAreSkippedOrRepaired();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSettings> settings;

    static QColor randomColor(QRandomGenerator& rng)
    {
        return QColor::fromRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256));
    }
};

void TestColorPreset::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    settings = std::make_unique<QSettings>(dir->filePath(QStringLiteral("presets.ini")), QSettings::IniFormat);
}

void TestColorPreset::presetsRoundTripInOrder()
{
    QRandomGenerator rng(27);
    for (int round = 0; round < 20; ++round) {
        QList<ColorPreset> presets;
        const int count = rng.bounded(6);
        for (int i = 0; i < count; ++i) {
            std::array<QColor, 8> c;
            for (QColor& colour : c)
                colour = randomColor(rng);
            // Names with blanks inside, non-Latin letters and keys' own
            // separators must come back as they went in.
            presets.append({QStringLiteral("preset %1 / \u00e9t\u00e9=%2").arg(i).arg(round),
                            DualThemeColorScheme::fromArray(c)});
        }
        writeColorPresets(*settings, presets);
        settings->sync();
        QSettings reread(settings->fileName(), QSettings::IniFormat);
        const QList<ColorPreset> back = readColorPresets(reread);
        QCOMPARE(back.size(), presets.size());
        for (int i = 0; i < count; ++i) {
            QCOMPARE(back.at(i).name, presets.at(i).name);
            QCOMPARE(back.at(i).scheme, presets.at(i).scheme);
        }
    }
    // A shorter list replaces a longer one completely.
    writeColorPresets(*settings, {});
    QCOMPARE(readColorPresets(*settings).size(), 0);
}

void TestColorPreset::malformedElementsAreSkippedOrRepaired()
{
    // Written by hand, as another version or a user's editor might leave it.
    settings->beginWriteArray(QStringLiteral("ColorPresets"), 4);
    settings->setArrayIndex(0);
    settings->setValue(QStringLiteral("name"), QStringLiteral("   "));
    settings->setValue(QStringLiteral("lightBg"), QStringLiteral("#112233"));
    settings->setArrayIndex(1);
    settings->setValue(QStringLiteral("name"), QStringLiteral("  Kept  "));
    settings->setValue(QStringLiteral("lightBorder"), QStringLiteral("not a colour"));
    settings->setValue(QStringLiteral("darkText"), QStringLiteral("#ABCDEF"));
    settings->setValue(QStringLiteral("lightBg"), QStringLiteral("#80112233"));
    settings->setArrayIndex(2);
    settings->setArrayIndex(3);
    settings->setValue(QStringLiteral("name"), QStringLiteral("dark"));
    settings->endArray();

    const QList<ColorPreset> presets = readColorPresets(*settings);
    QCOMPARE(presets.size(), 2);
    QCOMPARE(presets.at(0).name, QStringLiteral("Kept"));
    const DualThemeColorScheme& s = presets.at(0).scheme;
    const DualThemeColorScheme d = defaultDualThemeColorScheme();
    QCOMPARE(s.lightBorder, QColor(0x2E, 0x2E, 0x2E));
    QCOMPARE(s.darkText, QColor(0xAB, 0xCD, 0xEF));
    QCOMPARE(s.lightBackground, QColor(0x11, 0x22, 0x33, 0x80));
    QCOMPARE(s.lightHeader, d.lightHeader);
    QCOMPARE(s.darkBackground, d.darkBackground);
    // Stored names are not checked against the built-in ones.
    QCOMPARE(presets.at(1).name, QStringLiteral("dark"));
    QCOMPARE(presets.at(1).scheme, d);
}

QUILLMAP_TEST_GUILESS_MAIN(TestColorPreset)
#include "tst_colorpreset.moc"
