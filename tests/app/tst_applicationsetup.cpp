#include "app/applicationsetup.h"
#include "app/dialoghooks.h"
#include "common/testmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class TestApplicationSetup : public QObject
{
    Q_OBJECT

private slots:
    void embeddedIconsLoad_data();
    void embeddedIconsLoad();
    void styleSheetsNameTheirObjects_data();
    void styleSheetsNameTheirObjects();
    void missingFirstFontKeepsPlatformFont();
    void embeddedFontsRegisterInOrder();
    void messageHookAnswersInsteadOfABox();
    void defaultMessageBoxShowsPlainText();
};

void TestApplicationSetup::embeddedIconsLoad_data()
{
    QTest::addColumn<QString>("name");
    const QStringList names{
        "table-2", "entity-view", "workflow", "grid-2x2-plus", "text-item", "group-item", "palette",
        "filter", "add_box", "remove_box", "save", "save-as", "folder-open", "power", "panel-left",
        "file-plus", "database", "database-zap", "flowchart", "file-pdf", "svg", "mermaid", "drawio",
        "image_import", "mermaid_import", "theme_toggle", "autorenew", "convert_to_text",
        "database_dictionary", "fit_screen", "notification", "pick-color", "about_bg", "quillery-icon",
        "select-all"};
    for (const QString& n : names)
        QTest::newRow(qPrintable(n)) << n;
}

void TestApplicationSetup::embeddedIconsLoad()
{
    QFETCH(QString, name);
    const QImage image(QStringLiteral(":/images/resources/images/%1.png").arg(name));
    QVERIFY2(!image.isNull(), qPrintable(name));
    QVERIFY(image.hasAlphaChannel() || name == QLatin1String("about_bg"));
}

void TestApplicationSetup::styleSheetsNameTheirObjects_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("light") << ":/styles/resources/styles/app-light.qss" << "/* Quillmap: light theme */";
    QTest::newRow("dark") << ":/styles/resources/styles/app-dark.qss" << "/* Quillmap: dark theme */";
}

void TestApplicationSetup::styleSheetsNameTheirObjects()
{
    QFETCH(QString, path);
    QFETCH(QString, firstLine);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString sheet = QString::fromUtf8(file.readAll());
    QCOMPARE(sheet.section(QLatin1Char('\n'), 0, 0), firstLine);
    for (const char* name : {"toolBarThemeSpacer", "widgetDiagramButtons", "dockWidgetPrjModDiag",
                             "editProjectName", "editModelName", "editDiagramName", "treeViewProject",
                             "filenameFrame", "zoomFrame", "alertsFrame", "labelFileName",
                             "labelZoomPercent", "buttonAlerts", "buttonFitAll", "buttonZoomReset",
                             "AboutDialog"})
        QVERIFY2(sheet.contains(QLatin1String(name)), name);
    // Both sheets hold the same sections in the same order.
    QStringList sections;
    for (const QString& line : sheet.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("/* ---- ")))
            sections << line;
    }
    QCOMPARE(sections,
             (QStringList{"/* ---- Main window and dialogs ---- */", "/* ---- Menus ---- */",
                          "/* ---- Toolbar ---- */", "/* ---- Dock ---- */", "/* ---- Tree and tables ---- */",
                          "/* ---- Tabs ---- */", "/* ---- Inputs ---- */", "/* ---- Status-bar chips ---- */",
                          "/* ---- Canvas chrome ---- */", "/* ---- Scrollbars ---- */",
                          "/* ---- About window ---- */"}));
}

void TestApplicationSetup::missingFirstFontKeepsPlatformFont()
{
    const QFont before = QApplication::font();
    const QString family = registerApplicationFonts(
        {QStringLiteral(":/fonts/resources/fonts/does-not-exist.ttf"),
         QStringLiteral(":/fonts/resources/fonts/NotoSerif-Regular.ttf")});
    QVERIFY(family.isEmpty());
    QCOMPARE(QApplication::font(), before);
    QVERIFY(loadApplicationFont(QStringLiteral("/nonexistent/font.ttf")).isEmpty());
}

void TestApplicationSetup::embeddedFontsRegisterInOrder()
{
    const QStringList paths = embeddedFontPaths();
    QCOMPARE(paths.size(), 5);
    const QString family = registerApplicationFonts(paths);
    QCOMPARE(family, QStringLiteral("Manrope"));
    QCOMPARE(QApplication::font().family(), QStringLiteral("Manrope"));
    QCOMPARE(QApplication::font().pointSize(), 10);
    QCOMPARE(loadApplicationFont(paths.at(2)), QStringLiteral("JetBrains Mono"));
    QCOMPARE(loadApplicationFont(paths.at(4)), QStringLiteral("Noto Serif"));
    // Items ask for the monospace font by name.
    QCOMPARE(QFontInfo(QFont(QStringLiteral("JetBrains Mono"), 12)).family(), QStringLiteral("JetBrains Mono"));
}

void TestApplicationSetup::messageHookAnswersInsteadOfABox()
{
    DialogHooks::ScopedReset reset;
    QList<QMessageBox::Icon> icons;
    QStringList texts;
    DialogHooks::setMessageHook([&](QMessageBox::Icon icon, QWidget*, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) {
        icons << icon;
        texts << title + QLatin1Char('|') + text;
        Q_UNUSED(def)
        return (buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    QCOMPARE(DialogHooks::warning(nullptr, "Import from Mermaid", "Bad file."), QMessageBox::Ok);
    QCOMPARE(DialogHooks::question(nullptr, "Confirm delete", "Delete?"), QMessageBox::Yes);
    DialogHooks::information(nullptr, "Info", "Done.");
    DialogHooks::critical(nullptr, "Error", "Failed.");
    QCOMPARE(icons, (QList<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Question,
                                              QMessageBox::Information, QMessageBox::Critical}));
    QCOMPARE(texts.first(), QStringLiteral("Import from Mermaid|Bad file."));
}

void TestApplicationSetup::defaultMessageBoxShowsPlainText()
{
    DialogHooks::resetHooks();
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    const QString fromFile = QStringLiteral("<b>Cannot read</b> <img src=x>");
    QCOMPARE(DialogHooks::warning(nullptr, "Import from draw.io", fromFile), QMessageBox::Ok);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, fromFile);
}

QUILLMAP_TEST_MAIN(TestApplicationSetup)
#include "tst_applicationsetup.moc"
