#include "common/testmain.h"
#include "dialogs/colorsdialog.h"
#include "dialogs/entitypreviewitem.h"
#include "dialogs/stylerecords.h"
#include "styledialoghelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>

// The colours dialog of tables and views: fields, previews, presets kept in
// the settings, and what Apply and OK hand back.
class TestColorsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(settingsDir.isValid());
        useTestSettings(settingsDir.path());
    }

    void init()
    {
        QSettings().clear();
        messages.shown.clear();
        messages.install();
    }

    void cleanup()
    {
        DialogHooks::resetHooks();
    }

    void typedDigitsShowAtOnceAndNormaliseOnLeaving()
    {
        ColorsDialog dialog;
        QComboBox* presets = part<QComboBox>(dialog, "comboBoxPreset");
        presets->setCurrentIndex(2); // Ocean
        QCOMPARE(presetText(dialog), QStringLiteral("Ocean"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditBgHexLight")->text(), QStringLiteral("#EAF4FF"));

        QLineEdit* edit = part<QLineEdit>(dialog, "lineEditBgHexDark");
        typeInto(edit, QStringLiteral("abc"));
        // Shown at once, the text left as typed, the preset box on "Custom".
        QCOMPARE(edit->text(), QStringLiteral("abc"));
        QCOMPARE(swatchColor(part<QFrame>(dialog, "frameBgColorDark")), QColor(0xAA, 0xBB, 0xCC));
        QCOMPARE(previewItem<EntityPreviewItem>(dialog, "graphicsViewDark")->background(), QColor(0xAA, 0xBB, 0xCC));
        QCOMPARE(presetText(dialog), QStringLiteral("Custom"));
        // The light half is untouched.
        QCOMPARE(previewItem<EntityPreviewItem>(dialog, "graphicsViewLight")->background(), QColor(0xEA, 0xF4, 0xFF));

        emit edit->editingFinished();
        QCOMPARE(edit->text(), QStringLiteral("#AABBCC"));

        // Letters that are no hex digits do not get in; a partial text changes
        // neither swatch nor preview.
        typeInto(edit, QStringLiteral("#12xyz"));
        QCOMPARE(edit->text(), QStringLiteral("#12"));
        QCOMPARE(swatchColor(part<QFrame>(dialog, "frameBgColorDark")), QColor(0xAA, 0xBB, 0xCC));
        QCOMPARE(previewItem<EntityPreviewItem>(dialog, "graphicsViewDark")->background(), QColor(0xAA, 0xBB, 0xCC));
        emit edit->editingFinished();
        QCOMPARE(edit->text(), QStringLiteral("#12"));
    }

    void invalidFieldsBlockApplyAndOk_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("short fill") << "lineEditBgHexLight" << "#12";
        QTest::newRow("empty border") << "lineEditFgHexDark" << "";
        QTest::newRow("four digits text") << "lineEditTxtHexLight" << "1234";
    }

    void invalidFieldsBlockApplyAndOk()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        ColorsDialog dialog;
        QList<Emitted> emitted;
        record(dialog, emitted);
        QLineEdit* edit = part<QLineEdit>(dialog, qPrintable(field));
        enterInto(edit, text);
        part<QPushButton>(dialog, "pushButtonApply")->click();
        part<QPushButton>(dialog, "pushButtonOK")->click();
        QVERIFY(emitted.isEmpty());
        QCOMPARE(messages.shown, QStringList(2, QStringLiteral("Invalid colors|Please enter valid hex colors for all fields.")));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(edit->text(), text);
    }

    void applyEmitsEachTimeAndOkCloses()
    {
        ColorsDialog dialog;
        dialog.setApplyTarget(ColorsDialog::SelectedEntities);
        QList<Emitted> emitted;
        record(dialog, emitted);
        QSignalSpy finished(&dialog, &QDialog::finished);
        part<QPushButton>(dialog, "pushButtonApply")->click();
        enterInto(part<QLineEdit>(dialog, "lineEditTxtHexLight"), QStringLiteral("102030"));
        part<QCheckBox>(dialog, "checkBoxUseNewEntities")->setChecked(true);
        part<QPushButton>(dialog, "pushButtonApply")->click();
        QCOMPARE(emitted.size(), 2);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(emitted.at(0).scheme.lightText, QColor(0x11, 0x11, 0x11));
        QCOMPARE(emitted.at(0).useForNew, false);
        QCOMPARE(emitted.at(1).scheme.lightText, QColor(0x10, 0x20, 0x30));
        QCOMPARE(emitted.at(1).useForNew, true);
        QCOMPARE(emitted.at(1).target, int(ColorsDialog::SelectedEntities));

        part<QPushButton>(dialog, "pushButtonOK")->click();
        QCOMPARE(emitted.size(), 3);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        ColorsDialog cancelled;
        QList<Emitted> none;
        record(cancelled, none);
        part<QPushButton>(cancelled, "pushButtonCancel")->click();
        QVERIFY(none.isEmpty());
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    }

    void emittedHeadersFollowTheFills()
    {
        ColorsDialog dialog;
        QList<Emitted> emitted;
        record(dialog, emitted);
        DualThemeColorScheme s = ColorsDialog::presetScheme(3);
        s.lightHeader = Qt::red;
        s.darkHeader = Qt::green;
        dialog.setScheme(s);
        part<QPushButton>(dialog, "pushButtonApply")->click();
        // A scheme with one invalid colour loads the default scheme whole.
        s.darkText = QColor();
        dialog.setScheme(s);
        part<QPushButton>(dialog, "pushButtonApply")->click();
        QCOMPARE(emitted.size(), 2);
        QCOMPARE(emitted.at(0).scheme.lightHeader, emitted.at(0).scheme.lightBackground);
        QCOMPARE(emitted.at(0).scheme.darkHeader, emitted.at(0).scheme.darkBackground);
        DualThemeColorScheme expected = defaultDualThemeColorScheme();
        expected.lightHeader = expected.lightBackground;
        expected.darkHeader = expected.darkBackground;
        QCOMPARE(emitted.at(1).scheme, expected);
        // Loading a scheme is no choice of preset.
        QCOMPARE(presetText(dialog), QStringLiteral("Custom"));
    }

    void pickedColoursLoseTheirAlpha()
    {
        QStringList titles;
        QColor offered;
        DialogHooks::setColorHook([&](const QColor& initial, QWidget*, const QString& title) {
            titles << title;
            offered = initial;
            return QColor(0x12, 0x34, 0x56, 0x40);
        });
        ColorsDialog dialog;
        part<QPushButton>(dialog, "pushButtonPickFgColorDark")->click();
        QCOMPARE(titles, QStringList{QStringLiteral("Choose table border (dark theme)")});
        QCOMPARE(offered, QColor(0xC7, 0xCE, 0xD9));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditFgHexDark")->text(), QStringLiteral("#123456"));
        QCOMPARE(swatchColor(part<QFrame>(dialog, "frameFgColorDark")), QColor(0x12, 0x34, 0x56));
        QCOMPARE(dialog.currentScheme().darkBorder, QColor(0x12, 0x34, 0x56));
        QCOMPARE(previewItem<EntityPreviewItem>(dialog, "graphicsViewDark")->border(), QColor(0x12, 0x34, 0x56));

        // A cancelled picker changes nothing; an unparsable field offers white.
        DialogHooks::setColorHook([&](const QColor& initial, QWidget*, const QString&) {
            offered = initial;
            return QColor();
        });
        typeInto(part<QLineEdit>(dialog, "lineEditBgHexLight"), QStringLiteral("#1"));
        part<QPushButton>(dialog, "pushButtonPickBgColorLight")->click();
        QCOMPARE(offered, QColor(Qt::white));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditBgHexLight")->text(), QStringLiteral("#1"));
    }

    void presetsLoadAndCustomRestores()
    {
        ColorsDialog dialog;
        QComboBox* presets = part<QComboBox>(dialog, "comboBoxPreset");
        QCOMPARE(presets->count(), 7);
        QCOMPARE(presetText(dialog), QStringLiteral("Custom"));

        // Loading a preset does not flip the box back to "Custom".
        for (int index = 1; index <= 6; ++index) {
            presets->setCurrentIndex(index);
            QCOMPARE(presets->currentIndex(), index);
        }
        const DualThemeColorScheme rose = ColorsDialog::presetScheme(5);
        presets->setCurrentIndex(5);
        // Choosing "Custom" changes no field.
        presets->setCurrentIndex(0);
        QCOMPARE(dialog.currentScheme().lightBorder, rose.lightBorder);
        QCOMPARE(dialog.currentScheme().darkBackground, rose.darkBackground);

        // Any edit returns to "Custom"; reset goes to "Default".
        presets->setCurrentIndex(4);
        enterInto(part<QLineEdit>(dialog, "lineEditTxtHexDark"), QStringLiteral("FFFFFF"));
        QCOMPARE(presetText(dialog), QStringLiteral("Custom"));
        QCOMPARE(dialog.currentScheme().darkText, QColor(Qt::white));
        QCOMPARE(dialog.currentScheme().darkBorder, QColor(0xE8, 0xB8, 0x4A));
        part<QPushButton>(dialog, "pushButtonResetPreset")->click();
        QCOMPARE(presetText(dialog), QStringLiteral("Default"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditTxtHexDark")->text(), QStringLiteral("#F8FAFC"));
    }

    void userPresetsSurviveAFreshDialog()
    {
        QStringList answers = {QStringLiteral("  Harbour  "), QStringLiteral("HARBOUR"), QString()};
        QStringList asked;
        DialogHooks::setTextHook([&](QWidget*, const QString& title, const QString& label, const QString&, bool* ok) {
            asked << title + QLatin1Char('|') + label;
            *ok = true;
            return answers.takeFirst();
        });
        {
            ColorsDialog dialog;
            part<QComboBox>(dialog, "comboBoxPreset")->setCurrentIndex(2); // Ocean
            enterInto(part<QLineEdit>(dialog, "lineEditFgHexLight"), QStringLiteral("#010203"));
            part<QPushButton>(dialog, "pushButtonSavePreset")->click();
            QCOMPARE(presetText(dialog), QStringLiteral("Harbour"));
            QCOMPARE(part<QComboBox>(dialog, "comboBoxPreset")->currentIndex(), 7);
        }
        QSettings stored;
        QCOMPARE(stored.beginReadArray(QStringLiteral("ColorPresets")), 1);
        stored.setArrayIndex(0);
        QCOMPARE(stored.value(QStringLiteral("name")).toString(), QStringLiteral("Harbour"));
        QCOMPARE(stored.value(QStringLiteral("lightBorder")).toString(), QStringLiteral("#010203"));
        QCOMPARE(stored.value(QStringLiteral("lightHeader")).toString(), QStringLiteral("#eaf4ff"));
        stored.endArray();

        ColorsDialog fresh;
        QCOMPARE(fresh.userPresets().size(), 1);
        QComboBox* presets = part<QComboBox>(fresh, "comboBoxPreset");
        QCOMPARE(presets->itemText(7), QStringLiteral("Harbour"));
        presets->setCurrentIndex(7);
        QCOMPARE(fresh.currentScheme().lightBorder, QColor(1, 2, 3));
        QCOMPARE(fresh.currentScheme().darkBackground, QColor(0x0F, 0x27, 0x44));

        // Another casing replaces the colours under the stored name and leaves
        // the box on "Custom", as no entry reads as typed.
        enterInto(part<QLineEdit>(fresh, "lineEditFgHexLight"), QStringLiteral("#040506"));
        part<QPushButton>(fresh, "pushButtonSavePreset")->click();
        QCOMPARE(fresh.userPresets().size(), 1);
        QCOMPARE(fresh.userPresets().first().name, QStringLiteral("Harbour"));
        QCOMPARE(fresh.userPresets().first().scheme.lightBorder, QColor(4, 5, 6));
        QCOMPARE(presets->count(), 8);
        QCOMPARE(presetText(fresh), QStringLiteral("Custom"));
        // A blank answer saves nothing.
        part<QPushButton>(fresh, "pushButtonSavePreset")->click();
        QCOMPARE(presets->count(), 8);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(answers.isEmpty());
        QCOMPARE(asked, QStringList(3, QStringLiteral("Save preset|Preset name:")));
    }

    void reservedPresetNamesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("dark") << "dark";
        QTest::newRow("CUSTOM") << "CUSTOM";
        QTest::newRow("blanks around") << "  Default ";
    }

    void reservedPresetNamesAreRefused()
    {
        QFETCH(QString, name);
        DialogHooks::setTextHook([&](QWidget*, const QString&, const QString&, const QString&, bool* ok) {
            *ok = true;
            return name;
        });
        ColorsDialog dialog;
        part<QPushButton>(dialog, "pushButtonSavePreset")->click();
        QCOMPARE(messages.shown, QStringList{QStringLiteral("Save preset|That name is reserved for a built-in preset.")});
        QCOMPARE(part<QComboBox>(dialog, "comboBoxPreset")->count(), 7);
        QVERIFY(!QSettings().contains(QStringLiteral("ColorPresets/size")));
    }

private:
    struct Emitted
    {
        DualThemeColorScheme scheme;
        int target;
        bool useForNew;
    };
    static void record(ColorsDialog& dialog, QList<Emitted>& out)
    {
        QObject::connect(&dialog, &ColorsDialog::applyRequested, &dialog,
                         [&out](const DualThemeColorScheme& s, ColorsDialog::ApplyTarget t, bool u) {
                             out.append({s, int(t), u});
                         });
    }
    static QString presetText(const ColorsDialog& d)
    {
        return part<QComboBox>(d, "comboBoxPreset")->currentText();
    }

    QTemporaryDir settingsDir;
    MessageRecorder messages;
};

QUILLMAP_TEST_MAIN(TestColorsDialog)
#include "tst_colorsdialog.moc"
