#include "common/testmain.h"
#include "dialogs/constrainedfontcombobox.h"
#include "dialogs/groupitemstyledialog.h"
#include "dialogs/grouppreviewitem.h"
#include "dialogs/textitemstyledialog.h"
#include "dialogs/textpreviewitem.h"
#include "styledialoghelpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

// The text item and group style dialogs: what they load, what they hand
// back, and how the group fills keep their transparency.
class TestStyleDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { messages.install(); }
    void cleanup()
    {
        DialogHooks::resetHooks();
        messages.shown.clear();
    }

    void textFontsAreRepairedAndNormalised_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<int>("shownSize");
        QTest::addColumn<int>("emittedSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("emittedWeight");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<QString>("family");

        QFont pixel(QStringLiteral("Hack"));
        pixel.setPixelSize(20);
        QTest::newRow("pixel-sized") << pixel << 12 << 12 << false << 400 << false << "Hack";
        QTest::newRow("100 points") << QFont(QStringLiteral("Hack"), 100) << 72 << 72 << false << 400 << false << "Hack";
        QTest::newRow("3 points") << QFont(QStringLiteral("Hack"), 3) << 8 << 8 << false << 400 << false << "Hack";
        QFont medium(QStringLiteral("Noto Serif"), 14);
        medium.setWeight(QFont::Medium);
        QTest::newRow("weight 500") << medium << 14 << 14 << false << 400 << false << "Noto Serif";
        QFont demi(QStringLiteral("Noto Serif"), 14);
        demi.setWeight(QFont::DemiBold);
        QTest::newRow("weight 600") << demi << 14 << 14 << true << 700 << false << "Noto Serif";
        QFont oblique(QStringLiteral("JetBrains Mono"), 11);
        oblique.setStyle(QFont::StyleOblique);
        QTest::newRow("oblique") << oblique << 11 << 11 << false << 400 << true << "JetBrains Mono";
        QFont unnamed;
        unnamed.setFamilies({});
        unnamed.setFamily(QString());
        unnamed.setPointSize(30);
        QTest::newRow("family not installed") << QFont(QStringLiteral("Quill Nowhere Sans"), 14) << 14 << 14 << false << 400
                                              << false << "Quill Nowhere Sans";
        QTest::newRow("no family") << unnamed << 12 << 12 << false << 400 << false << "JetBrains Mono";
    }

    void textFontsAreRepairedAndNormalised()
    {
        QFETCH(QFont, font);
        QFETCH(int, shownSize);
        QFETCH(int, emittedSize);
        QFETCH(bool, bold);
        QFETCH(int, emittedWeight);
        QFETCH(bool, italic);
        QFETCH(QString, family);

        TextItemStyleDialog dialog;
        QList<TextItemStyle> emitted;
        connect(&dialog, &TextItemStyleDialog::applyRequested, &dialog,
                [&](const TextItemStyle& s, TextItemStyleDialog::ApplyTarget, bool) { emitted << s; });
        dialog.setStyle({font, QColor(Qt::darkRed), QColor(Qt::yellow)});
        QCOMPARE(part<QSpinBox>(dialog, "spinTextSize")->value(), shownSize);
        QCOMPARE(part<QToolButton>(dialog, "btnTextBold")->isChecked(), bold);
        QCOMPARE(part<QToolButton>(dialog, "btnTextItalic")->isChecked(), italic);
        QCOMPARE(dialog.currentStyle().font.family(), family);
        part<QPushButton>(dialog, "pushButtonOK")->click();
        QCOMPARE(emitted.size(), 1);
        const QFont out = emitted.first().font;
        QCOMPARE(out.family(), family);
        QCOMPARE(out.pointSize(), emittedSize);
        QCOMPARE(int(out.weight()), emittedWeight);
        QCOMPARE(out.style(), italic ? QFont::StyleItalic : QFont::StyleNormal);
        QCOMPARE(emitted.first().lightColor, QColor(Qt::darkRed));
        QCOMPARE(emitted.first().darkColor, QColor(Qt::yellow));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // Choosing a family in the list replaces whatever was loaded.
        auto* families = part<ConstrainedFontComboBox>(dialog, "fontComboText");
        families->setCurrentFont(QFont(QStringLiteral("Noto Serif")));
        QCOMPARE(dialog.currentStyle().font.family(), QStringLiteral("Noto Serif"));
        QCOMPARE(previewItem<TextPreviewItem>(dialog, "graphicsViewDark")->font().family(), QStringLiteral("Noto Serif"));
    }

    void textColoursFallBackAndBlockApply()
    {
        TextItemStyleDialog dialog;
        int emitted = 0;
        connect(&dialog, &TextItemStyleDialog::applyRequested, &dialog, [&] { ++emitted; });
        dialog.setStyle({QFont(QStringLiteral("Hack"), 10), QColor(), QColor()});
        QCOMPARE(part<QLineEdit>(dialog, "lineEditTextHexLight")->text(), QStringLiteral("#000000"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditTextHexDark")->text(), QStringLiteral("#E6E6E6"));

        enterInto(part<QLineEdit>(dialog, "lineEditTextHexDark"), QStringLiteral("#E6E6"));
        part<QPushButton>(dialog, "pushButtonApply")->click();
        part<QPushButton>(dialog, "pushButtonOK")->click();
        QCOMPARE(emitted, 0);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown.first(), QStringLiteral("Invalid colors|Please enter valid hex colors for all fields."));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void textPreviewsFollowEveryChange()
    {
        TextItemStyleDialog dialog;
        dialog.setStyle({QFont(QStringLiteral("Hack"), 10), QColor(0x33, 0x66, 0x99), QColor(0xCC, 0xDD, 0xEE)});
        auto* light = previewItem<TextPreviewItem>(dialog, "graphicsViewLight");
        auto* dark = previewItem<TextPreviewItem>(dialog, "graphicsViewDark");
        QLabel* sample = part<QLabel>(dialog, "labelFontPreview");
        QVERIFY(light && dark);
        QCOMPARE(light->font().family(), QStringLiteral("Hack"));
        QCOMPARE(light->color(), QColor(0x33, 0x66, 0x99));
        QCOMPARE(dark->color(), QColor(0xCC, 0xDD, 0xEE));
        QVERIFY(sample->styleSheet().contains(QLatin1String("#336699")));

        const qreal narrow = light->boundingRect().width();
        part<QSpinBox>(dialog, "spinTextSize")->setValue(40);
        QCOMPARE(dark->font().pointSize(), 40);
        QVERIFY(light->boundingRect().width() > narrow);
        part<QToolButton>(dialog, "btnTextUnderline")->setChecked(true);
        QVERIFY(light->font().underline());
        QVERIFY(sample->font().underline());

        // An unparsable light colour: typing alone changes nothing, the next
        // font change paints the sample black.
        typeInto(part<QLineEdit>(dialog, "lineEditTextHexLight"), QStringLiteral("#33"));
        QVERIFY(sample->styleSheet().contains(QLatin1String("#336699")));
        QCOMPARE(dark->color(), QColor(0xCC, 0xDD, 0xEE));
        part<QToolButton>(dialog, "btnTextBold")->setChecked(true);
        QVERIFY(sample->styleSheet().contains(QLatin1String("#000000")));
        QCOMPARE(light->font().weight(), QFont::Bold);

        typeInto(part<QLineEdit>(dialog, "lineEditTextHexDark"), QStringLiteral("123"));
        QCOMPARE(dark->color(), QColor(0x11, 0x22, 0x33));
    }

    void fontPopupFitsTheWindow_data()
    {
        QTest::addColumn<int>("windowHeight");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("maximumHeight");
        QTest::newRow("200 high") << 200 << 7 << 200;
        QTest::newRow("345 high") << 345 << 12 << 345;
        QTest::newRow("346 high") << 346 << 12 << 346;
        QTest::newRow("160 high") << 160 << 6 << 160;
        QTest::newRow("90 high") << 90 << 6 << 160;
    }

    void fontPopupFitsTheWindow()
    {
        QFETCH(int, windowHeight);
        QFETCH(int, rows);
        QFETCH(int, maximumHeight);
        const auto limits = ConstrainedFontComboBox::popupLimitsFor(windowHeight);
        QCOMPARE(limits.visibleItems, rows);
        QCOMPARE(limits.maximumHeight, maximumHeight);

        // The same through a real popup in a window of that height.
        QWidget window;
        window.resize(400, windowHeight);
        auto* combo = new ConstrainedFontComboBox(&window);
        combo->showPopup();
        QCOMPARE(combo->maxVisibleItems(), rows);
        QCOMPARE(combo->view()->maximumHeight(), maximumHeight);
        QVERIFY(combo->view()->parentWidget()->height() <= maximumHeight);
        combo->hidePopup();
    }

    // Each step types a text into the light fill, optionally leaves the field,
    // and names the colour the dialog then holds and the text shown.
    void groupFillAlphaFollowsTheEntries_data()
    {
        QTest::addColumn<QStringList>("steps");     // "text" typed, "text!" typed and left
        QTest::addColumn<QStringList>("colours");   // #AARRGGBB after each step
        QTest::addColumn<QStringList>("texts");     // the field's text after each step

        QTest::newRow("six digits keep alpha 90")
            << QStringList{"FF0000", "FF0000!"} << QStringList{"#5AFF0000", "#5AFF0000"}
            << QStringList{"FF0000", "#5AFF0000"};
        QTest::newRow("eight digits set it for later entries")
            << QStringList{"80FF0000!", "00FF00"} << QStringList{"#80FF0000", "#8000FF00"}
            << QStringList{"#80FF0000", "00FF00"};
        QTest::newRow("typed alpha not left is not remembered")
            << QStringList{"80FF0000", "00FF00"} << QStringList{"#80FF0000", "#5A00FF00"}
            << QStringList{"80FF0000", "00FF00"};
        QTest::newRow("opaque entry makes later ones opaque")
            << QStringList{"FFFF0000!", "0000FF!"} << QStringList{"#FFFF0000", "#FF0000FF"}
            << QStringList{"#FFFF0000", "#FF0000FF"};
        QTest::newRow("three digits are opaque")
            << QStringList{"F00"} << QStringList{"#FFFF0000"} << QStringList{"F00"};
    }

    void groupFillAlphaFollowsTheEntries()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, colours);
        QFETCH(QStringList, texts);
        GroupItemStyleDialog dialog;
        QLineEdit* edit = part<QLineEdit>(dialog, "lineEditGroupFillHexLight");
        for (int i = 0; i < steps.size(); ++i) {
            QString step = steps.at(i);
            const bool leave = step.endsWith(QLatin1Char('!'));
            step.remove(QLatin1Char('!'));
            if (leave)
                enterInto(edit, step);
            else
                typeInto(edit, step);
            const QColor fill = dialog.currentStyle().lightFill;
            QCOMPARE(fill.name(QColor::HexArgb).toUpper(), colours.at(i));
            QCOMPARE(edit->text(), texts.at(i));
            QCOMPARE(swatchColor(part<QFrame>(dialog, "frameGroupFillLight")), fill);
            QCOMPARE(previewItem<GroupPreviewItem>(dialog, "graphicsViewLight")->fill(), fill);
            // The dark fill never follows the light one.
            QCOMPARE(dialog.currentStyle().darkFill.alpha(), 90);
        }
    }

    void groupPicksKeepAlphaOnlyInFills()
    {
        QStringList titles;
        DialogHooks::setColorHook([&](const QColor&, QWidget*, const QString& title) {
            titles << title;
            return QColor(0x10, 0x20, 0x30, 0x40);
        });
        GroupItemStyleDialog dialog;
        part<QPushButton>(dialog, "pushButtonPickGroupFillDark")->click();
        part<QPushButton>(dialog, "pushButtonPickGroupTextDark")->click();
        QCOMPARE(titles, (QStringList{"Choose group fill (dark theme)", "Choose group title (dark theme)"}));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditGroupFillHexDark")->text(), QStringLiteral("#40102030"));
        QCOMPARE(part<QLineEdit>(dialog, "lineEditGroupTextHexDark")->text(), QStringLiteral("#102030"));
        const GroupItemStyle s = dialog.currentStyle();
        QCOMPARE(s.darkFill, QColor(0x10, 0x20, 0x30, 0x40));
        QCOMPARE(s.darkTitle, QColor(0x10, 0x20, 0x30));
        // The picked alpha is remembered for a later six-digit entry.
        enterInto(part<QLineEdit>(dialog, "lineEditGroupFillHexDark"), QStringLiteral("ABCDEF"));
        QCOMPARE(dialog.currentStyle().darkFill, QColor(0xAB, 0xCD, 0xEF, 0x40));
    }

    void groupPreviewFallsBackForUnparsableFields()
    {
        GroupItemStyleDialog dialog;
        int emitted = 0;
        connect(&dialog, &GroupItemStyleDialog::applyRequested, &dialog, [&] { ++emitted; });
        typeInto(part<QLineEdit>(dialog, "lineEditGroupBorderHexLight"), QStringLiteral("#12"));
        typeInto(part<QLineEdit>(dialog, "lineEditGroupFillHexLight"), QStringLiteral("#5"));
        typeInto(part<QLineEdit>(dialog, "lineEditGroupTextHexLight"), QStringLiteral("00F"));
        const GroupPreviewItem* light = previewItem<GroupPreviewItem>(dialog, "graphicsViewLight");
        QVERIFY(!light->border().isValid());
        QVERIFY(!light->fill().isValid());
        QCOMPARE(light->title(), QColor(Qt::blue));

        part<QPushButton>(dialog, "pushButtonOK")->click();
        QCOMPARE(emitted, 0);
        QCOMPARE(messages.shown.size(), 1);
    }

    void groupInvalidColoursLoadAsDefaults()
    {
        GroupItemStyleDialog dialog;
        GroupItemStyle style = GroupItemStyle::fromArray({QColor(0x11, 0x22, 0x33, 0x10), QColor(), QColor(Qt::red),
                                                          QColor(), QColor(Qt::green), QColor()});
        dialog.setStyle(style);
        const GroupItemStyle d = defaultGroupItemStyle();
        const GroupItemStyle expected = GroupItemStyle::fromArray(
            {QColor(0x11, 0x22, 0x33, 0x10), d.lightBorder, QColor(Qt::red), d.darkFill, QColor(Qt::green), d.darkTitle});
        QCOMPARE(dialog.currentStyle(), expected);
        QCOMPARE(part<QLineEdit>(dialog, "lineEditGroupFillHexLight")->text(), QStringLiteral("#10112233"));
        // The loaded alpha is the one a six-digit entry takes.
        typeInto(part<QLineEdit>(dialog, "lineEditGroupFillHexLight"), QStringLiteral("FFFFFF"));
        QCOMPARE(dialog.currentStyle().lightFill.alpha(), 0x10);
    }

private:
    MessageRecorder messages;
};

QUILLMAP_TEST_MAIN(TestStyleDialogs)
#include "tst_styledialogs.moc"
