#include "app/aboutdialog.h"
#include "app/applicationsetup.h"
#include "app/busyspinnerwidget.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "common/testmain.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include "common/mainwindowparts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QGraphicsRectItem>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

QStringList actionTexts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (QAction* a : actions)
        texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return texts;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void actionTable_data();
    void actionTable();
    void menusInOrder();
    void toolBarKeepsThemeButtonAtTheRightEnd();
    void importEntryGoesAboveQuit_data();
    void importEntryGoesAboveQuit();
    void headerBarAndStatusBarAtStart();
    void filePathDisplay_data();
    void filePathDisplay();
    void themeToggledTwiceRestoresIconsAndPalette();
    void toolButtonAddedLaterGetsThemedIcons();
    void sliderDrivesViewZoom();
    void viewZoomMovesSlider_data();
    void viewZoomMovesSlider();
    void fitBelowTheSliderRange();
    void zoomActions();
    void explorerActionFollowsDock();
    void aboutDialogShowsVersionAndCloses();

private:
    std::unique_ptr<MainWindow> window;
    ERView* view() const { return canvasView(window.get()); }
    QSlider* slider() const { return window->findChild<QSlider*>(QStringLiteral("zoomSlider")); }
    QLabel* zoomLabel() const { return window->findChild<QLabel*>(QStringLiteral("labelZoomPercent")); }
    QAction* action(const char* name) const { return windowAction(window.get(), name); }
};

void TestMainWindow::initTestCase()
{
    setUpApplication();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestMainWindow::init()
{
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestMainWindow::cleanup()
{
    window.reset();
    ThemeManager::instance().setTheme(ThemeKind::Light);
}

void TestMainWindow::actionTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("hasIcon");

    const auto row = [](const char* name, const char* text, const char* tip, const char* shortcut,
                        bool checkable, bool icon) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(text) << QString::fromUtf8(tip)
                            << QString::fromUtf8(shortcut) << checkable << icon;
    };
    row("action_Save_As", "Save As", "Save As", "", false, true);
    row("action_Open", "&Open", "Open", "", false, true);
    row("action_Exit", "E&xit", "Exit Quillery", "", false, true);
    row("actionAdd_Table", "Add &Table", "Add Table", "", true, true);
    row("actionAdd_View", "Add &View", "Add Entity View", "", true, true);
    row("actionShow_Properties", "Show/Hide Model Explorer", "Show/Hide Model Explorer", "", true, true);
    row("actionAdd_Text", "Add Te&xt", "Add Text", "", true, true);
    row("actionAdd_Group", "Add &Group", "Add Group", "", true, true);
    row("actionAdd_Relationship", "Add Relationship", "Add Relationship", "", true, true);
    row("actionAdd_Column", "Add Column", "Add Column", "Ctrl+L", false, true);
    row("action_New", "New Project", "New Project", "Ctrl+N", false, true);
    row("action_New_Model", "New Model", "New Model", "Ctrl+M", false, true);
    row("action_New_Diagram", "New Diagram", "New Diagram", "Ctrl+Shift+N", false, true);
    row("actionExport_to_PDF", "Export to PDF", "Export to PDF", "", false, true);
    row("actionExport_to_SVG", "Export to SVG", "Export to SVG", "", false, true);
    row("actionExport_to_Mermaid", "Export to Mermaid…", "Export erDiagram for Mermaid.js", "Ctrl+Shift+E", false, true);
    row("actionExport_to_Drawio", "Export to Draw.io…", "Export Entity-Relationship diagram for draw.io", "Ctrl+Shift+D", false, true);
    row("actionImport_from_Image", "Import from I&mage…", "Import from BMP, PNG, JPG or SVG", "Ctrl+Shift+M", false, true);
    row("actionImport_from_Mermaid", "Import from Me&rmaid…", "Import from Mermaid.js", "Ctrl+Shift+R", false, true);
    row("actionImport_from_Drawio", "Import from Draw.io…", "Import Entity-Relationship diagram from draw.io", "Ctrl+Shift+U", false, true);
    row("actionToggle_Theme", "Toggle Theme", "Toggle Theme: Light or Dark", "", false, true);
    row("actionSelect_All", "Select All", "Select All", "", false, true);
    row("actionAuto_layout", "Auto-layout", "Auto-layout", "", false, true);
    row("actionEntity_Colors", "Colors and fonts", "Colors of tables and views, or of the selected text item or group", "", false, true);
    row("actionManage_Datasources", "Manage Data Sources", "Manage Data Sources", "", false, true);
    row("action_Save", "&Save", "Save", "", false, true);
    row("actionGenerate_Script", "Generate Script", "Generate Script", "", false, true);
    row("actionGenerate_Data_Dictionary", "Generate Data Dictionary", "Generate Data Dictionary", "", false, true);
    row("actionHelp", "Help", "Help", "", false, false);
    row("actionAbout_Quillmap", "About Quillmap", "About Quillmap", "", false, false);
    row("actionImport_from_Database", "Import from &Database…", "Import from Database…", "Ctrl+Shift+I", false, false);
    row("actionFit_All", "Fit all", "Fit all (Ctrl+9)", "Ctrl+9", false, true);
    row("actionReset_Zoom", "1:1", "Reset zoom (Ctrl+0)", "Ctrl+0", false, false);
}

void TestMainWindow::actionTable()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QFETCH(bool, checkable);
    QFETCH(bool, hasIcon);

    QAction* a = window->findChild<QAction*>(name);
    QVERIFY2(a, qPrintable(name));
    QCOMPARE(a->text(), text);
    QCOMPARE(a->toolTip(), toolTip);
    QCOMPARE(a->shortcut(), QKeySequence(shortcut));
    QCOMPARE(a->isCheckable(), checkable);
    QCOMPARE(!a->icon().isNull(), hasIcon);
    QCOMPARE(a->isChecked(), name == QLatin1String("actionShow_Properties"));
    if (name.startsWith(QLatin1String("action")) && name != QLatin1String("actionHelp")
        && window->findChild<QMenu*>(QStringLiteral("menu_File")) && !name.contains(QLatin1String("Zoom"))
        && !name.contains(QLatin1String("Fit")) && name != QLatin1String("actionImport_from_Database"))
        QCOMPARE(a->menuRole(), QAction::NoRole);
}

void TestMainWindow::menusInOrder()
{
    QMenuBar* bar = window->menuBar();
    QCOMPARE(actionTexts(bar->actions()),
             (QStringList{"&File", "&Edit", "&View", "Run", "Format", "&Help"}));
    const auto menu = [&](const char* name) { return window->findChild<QMenu*>(QLatin1String(name)); };
    QCOMPARE(actionTexts(menu("menu_File")->actions()),
             (QStringList{"New Project", "New Model", "New Diagram", "&Open", "&Save", "Save As", "|",
                          "Export to PDF", "Export to SVG", "Export to Mermaid…", "Export to Draw.io…", "|",
                          "Import from I&mage…", "Import from Me&rmaid…", "Import from Draw.io…", "|",
                          "Manage Data Sources", "|", "E&xit", "Import from &Database…"}));
    QCOMPARE(actionTexts(menu("menu_Edit")->actions()), QStringList{"Select All"});
    QCOMPARE(actionTexts(menu("menu_View")->actions()), QStringList{"Show/Hide Model Explorer"});
    QCOMPARE(actionTexts(menu("menuRun")->actions()),
             (QStringList{"Generate Script", "Generate Data Dictionary"}));
    QCOMPARE(actionTexts(menu("menuFormat")->actions()), QStringList{"Colors and fonts"});
    QCOMPARE(actionTexts(menu("menu_Help")->actions()), QStringList{"About Quillmap"});
    QCOMPARE(action("actionHelp")->associatedObjects().size(), 0);
    // Import from and export to draw.io share their picture.
    QCOMPARE(action("actionImport_from_Drawio")->icon().pixmap(16).toImage(),
             action("actionExport_to_Drawio")->icon().pixmap(16).toImage());
}

void TestMainWindow::toolBarKeepsThemeButtonAtTheRightEnd()
{
    auto* toolBar = window->findChild<QToolBar*>(QStringLiteral("toolBar"));
    QVERIFY(toolBar);
    const QList<QAction*> actions = toolBar->actions();
    QCOMPARE(actions.last(), action("actionToggle_Theme"));
    QVERIFY(actions.at(actions.size() - 2)->isSeparator());
    QWidget* spacer = toolBar->widgetForAction(actions.at(actions.size() - 3));
    QVERIFY(spacer);
    QCOMPARE(spacer->objectName(), QStringLiteral("toolBarThemeSpacer"));
    QCOMPARE(actionTexts(actions.mid(0, actions.size() - 3)),
             (QStringList{"New Project", "New Model", "New Diagram", "&Open", "&Save", "Save As", "Export to PDF",
                          "Export to SVG", "Export to Mermaid…", "Export to Draw.io…", "|", "Import from I&mage…",
                          "Import from Me&rmaid…", "Import from Draw.io…", "|", "Manage Data Sources",
                          "Generate Script", "Generate Data Dictionary", "|", "Auto-layout",
                          "Show/Hide Model Explorer"}));
    // The theme button really sits at the right end.
    QWidget* themeButton = toolBar->widgetForAction(action("actionToggle_Theme"));
    QVERIFY(themeButton->geometry().right() > toolBar->width() - 40);

    // The canvas tool column shows its actions' tool tips.
    auto* addTable = window->findChild<QToolButton*>(QStringLiteral("toolButtonAddTable"));
    QCOMPARE(addTable->defaultAction(), action("actionAdd_Table"));
    QCOMPARE(addTable->toolTip(), QStringLiteral("Add Table"));
    QCOMPARE(window->findChild<QToolButton*>(QStringLiteral("toolButtonAddView"))->toolTip(),
             QStringLiteral("Add Entity View"));
}

void TestMainWindow::importEntryGoesAboveQuit_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("mnemonic keeps Exit from matching")
        << QStringList{"Open", "E&xit"} << QStringList{"Open", "E&xit", "Import"};
    QTest::newRow("Quit") << QStringList{"Open", "Quit", "Other"} << QStringList{"Open", "Import", "Quit", "Other"};
    QTest::newRow("exit in any case") << QStringList{"Save", "EXIT now"} << QStringList{"Save", "Import", "EXIT now"};
    QTest::newRow("empty menu") << QStringList{} << QStringList{"Import"};
}

void TestMainWindow::importEntryGoesAboveQuit()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    QMenuBar bar;
    QMenu* file = bar.addMenu(QStringLiteral("File"));
    for (const QString& e : entries)
        file->addAction(e);
    QAction import(QStringLiteral("Import"));
    MainWindow::insertBeforeQuitEntry(&bar, &import);
    QCOMPARE(actionTexts(file->actions()), expected);

    QMenuBar empty;
    QAction other(QStringLiteral("Import"));
    MainWindow::insertBeforeQuitEntry(&empty, &other);
    QVERIFY(other.associatedObjects().isEmpty());
    QMenuBar plain;
    plain.addAction(QStringLiteral("Not a menu"));
    MainWindow::insertBeforeQuitEntry(&plain, &other);
    QVERIFY(other.associatedObjects().isEmpty());
}

void TestMainWindow::headerBarAndStatusBarAtStart()
{
    auto* header = window->findChild<QDockWidget*>(QStringLiteral("dockWidgetPrjModDiag"));
    QCOMPARE(window->dockWidgetArea(header), Qt::TopDockWidgetArea);

    auto* combo = window->findChild<QComboBox*>(QStringLiteral("comboBoxDatabase"));
    QStringList dialects;
    for (int i = 0; i < combo->count(); ++i)
        dialects << combo->itemText(i);
    QCOMPARE(dialects, (QStringList{"Conceptual ER", "CSV files", "Parquet", "Databricks", "DuckDB", "MySQL",
                                    "Oracle", "PostgreSQL", "SQLite", "SQL Server"}));
    auto* scene = qobject_cast<ERScene*>(view()->scene());
    QVERIFY(scene);
    QCOMPARE(scene->dialect(), QStringLiteral("Conceptual ER"));
    combo->setCurrentText(QStringLiteral("PostgreSQL"));
    QCOMPARE(scene->dialect(), QStringLiteral("PostgreSQL"));

    auto* explorer = window->findChild<QDockWidget*>(QStringLiteral("dockWidget"));
    QVERIFY(explorer->isVisible());
    QCOMPARE(explorer->windowTitle(), QStringLiteral("Model Explorer"));

    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("labelFileName"))->text(), QStringLiteral("No file"));
    auto* alerts = window->findChild<QToolButton*>(QStringLiteral("buttonAlerts"));
    QVERIFY(!alerts->isEnabled());
    QCOMPARE(slider()->minimum(), 10);
    QCOMPARE(slider()->maximum(), 400);
    QCOMPARE(slider()->value(), 100);
    QCOMPARE(slider()->toolTip(), QStringLiteral("Zoom 100%"));
    QCOMPARE(zoomLabel()->text(), QStringLiteral("100%"));
    QCOMPARE(window->findChild<QToolButton*>(QStringLiteral("buttonFitAll"))->defaultAction(),
             action("actionFit_All"));
    // The zoom controls sit at the right end of the status bar.
    auto* zoomFrame = window->findChild<QFrame*>(QStringLiteral("zoomFrame"));
    auto* alertsFrame = window->findChild<QFrame*>(QStringLiteral("alertsFrame"));
    QVERIFY(zoomFrame->x() > alertsFrame->x());
    QVERIFY(view()->scene()->items().isEmpty());
    QCOMPARE(window->findChild<BusySpinnerWidget*>()->isBusy(), false);
}

void TestMainWindow::filePathDisplay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("tip");
    QTest::newRow("path") << "/home/u/models/shop.json" << "shop.json" << "/home/u/models/shop.json";
    QTest::newRow("empty") << "" << "No file" << "No file";
    QTest::newRow("markup in a name") << "/tmp/<img src=x><b>.json" << "<img src=x><b>.json"
                                      << "/tmp/<img src=x><b>.json";
}

void TestMainWindow::filePathDisplay()
{
    QFETCH(QString, path);
    QFETCH(QString, shown);
    QFETCH(QString, tip);
    window->setFilePathDisplay(path);
    auto* label = window->findChild<QLabel*>(QStringLiteral("labelFileName"));
    QCOMPARE(label->text(), shown);
    QCOMPARE(label->toolTip(), tip);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(window->findChild<QFrame*>(QStringLiteral("filenameFrame"))->toolTip(), tip);
}

void TestMainWindow::themeToggledTwiceRestoresIconsAndPalette()
{
    QHash<QAction*, qint64> actionIcons;
    for (QAction* a : window->findChildren<QAction*>()) {
        if (!a->icon().isNull())
            actionIcons.insert(a, a->icon().cacheKey());
    }
    QVERIFY(actionIcons.size() >= 30);
    auto* alerts = window->findChild<QToolButton*>(QStringLiteral("buttonAlerts"));
    const qint64 alertsIcon = alerts->icon().cacheKey();
    const QColor lightWindow = QApplication::palette().color(QPalette::Window);
    const QString lightSheet = qApp->styleSheet();
    QCOMPARE(lightWindow, QColor(0xf3, 0xf3, 0xf3));
    QVERIFY(lightSheet.startsWith(QLatin1String("/* Quillmap: light theme */")));

    action("actionToggle_Theme")->trigger();
    QCOMPARE(ThemeManager::instance().kind(), ThemeKind::Dark);
    QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(0x2b, 0x2b, 0x2b));
    QVERIFY(qApp->styleSheet().startsWith(QLatin1String("/* Quillmap: dark theme */")));
    auto* tree = window->findChild<QWidget*>(QStringLiteral("treeViewProject"));
    QCOMPARE(tree->palette().color(QPalette::Base), QColor(0x31, 0x33, 0x35));
    int changed = 0;
    for (auto it = actionIcons.cbegin(); it != actionIcons.cend(); ++it) {
        if (it.key()->icon().cacheKey() != it.value())
            ++changed;
    }
    QCOMPARE(changed, actionIcons.size());
    QVERIFY(alerts->icon().cacheKey() != alertsIcon);
    // A dark glyph turns light.
    const QImage saveDark = action("action_Save")->icon().pixmap(QSize(16, 16)).toImage();
    int lightPixels = 0;
    for (int y = 0; y < saveDark.height(); ++y)
        for (int x = 0; x < saveDark.width(); ++x)
            if (saveDark.pixelColor(x, y).alpha() > 200 && saveDark.pixelColor(x, y).lightness() > 180)
                ++lightPixels;
    QVERIFY(lightPixels > 10);

    // Ctrl+T on the canvas runs the same toggle.
    window->findChild<QAction*>(QStringLiteral("actionThemeShortcut"))->trigger();
    QCOMPARE(ThemeManager::instance().kind(), ThemeKind::Light);
    QCOMPARE(QApplication::palette().color(QPalette::Window), lightWindow);
    QCOMPARE(qApp->styleSheet(), lightSheet);
    QCOMPARE(tree->palette().color(QPalette::Base), QColor(0xff, 0xff, 0xff));
    for (auto it = actionIcons.cbegin(); it != actionIcons.cend(); ++it)
        QCOMPARE(it.key()->icon().cacheKey(), it.value());
    QCOMPARE(alerts->icon().cacheKey(), alertsIcon);
    QCOMPARE(ThemeManager::instance().colors(), ThemeManager::lightColors());
}

void TestMainWindow::toolButtonAddedLaterGetsThemedIcons()
{
    auto* button = new QToolButton(window->statusBar());
    QPixmap glyph(16, 16);
    glyph.fill(QColor(0x1e, 0x1e, 0x1e));
    button->setIcon(QIcon(glyph));
    const qint64 designed = button->icon().cacheKey();

    window->applyThemedToolButtonIcons(ThemeKind::Dark);
    QCOMPARE(button->icon().pixmap(QSize(16, 16)).toImage().pixelColor(8, 8).rgb(),
             QColor(0xe1, 0xe1, 0xe1).rgb());
    window->applyThemedToolButtonIcons(ThemeKind::Light);
    QCOMPARE(button->icon().cacheKey(), designed);

    // A button that goes away leaves nothing behind to touch.
    delete button;
    window->applyThemedToolButtonIcons(ThemeKind::Dark);
}

void TestMainWindow::sliderDrivesViewZoom()
{
    slider()->setValue(250);
    QCOMPARE(view()->zoom(), 2.5);
    QCOMPARE(view()->transform().m11(), 2.5);
    QCOMPARE(zoomLabel()->text(), QStringLiteral("250%"));
    QCOMPARE(slider()->toolTip(), QStringLiteral("Zoom 250%"));
    QCOMPARE(slider()->value(), 250);
}

void TestMainWindow::viewZoomMovesSlider_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("sliderValue");
    QTest::addColumn<QString>("label");
    QTest::newRow("just above 1.23") << 1.2304 << 123 << "123%";
    QTest::newRow("halves away from zero") << 1.125 << 113 << "113%";
    QTest::newRow("clamped by the view at 400") << 10.0 << 400 << "400%";
    QTest::newRow("clamped by the view at 10") << 0.01 << 10 << "10%";
}

void TestMainWindow::viewZoomMovesSlider()
{
    QFETCH(double, zoom);
    QFETCH(int, sliderValue);
    QFETCH(QString, label);
    view()->setZoom(zoom);
    QCOMPARE(slider()->value(), sliderValue);
    QCOMPARE(zoomLabel()->text(), label);
    QCOMPARE(slider()->toolTip(), QStringLiteral("Zoom ") + label);
    // Moving the slider did not push a rounded zoom back into the view.
    QCOMPARE(view()->zoom(), qBound(0.1, zoom, 4.0));
}

void TestMainWindow::fitBelowTheSliderRange()
{
    view()->scene()->addRect(0, 0, 200000, 100000);
    view()->fitAll();
    const double fitted = view()->zoom();
    QVERIFY(fitted < 0.1);
    // The slider moved to its end; the label and the view keep the fit.
    QCOMPARE(slider()->value(), 10);
    QCOMPARE(zoomLabel()->text(), QStringLiteral("%1%").arg(qRound(fitted * 100)));
    QCOMPARE(view()->zoom(), fitted);

    // With the slider already at its end, the label keeps the true value.
    view()->fitAll();
    QCOMPARE(slider()->value(), 10);
    QCOMPARE(zoomLabel()->text(), QStringLiteral("%1%").arg(qRound(fitted * 100)));
    // The next zoom step clamps again.
    view()->zoomIn();
    QCOMPARE(view()->zoom(), 0.1);
}

void TestMainWindow::zoomActions()
{
    view()->setZoom(2.0);
    action("actionReset_Zoom")->trigger();
    QCOMPARE(view()->zoom(), 1.0);
    QCOMPARE(slider()->value(), 100);
    action("actionZoom_In")->trigger();
    QCOMPARE(view()->zoom(), 1.25);
    QCOMPARE(slider()->value(), 125);
    action("actionZoom_Out")->trigger();
    QCOMPARE(view()->zoom(), 1.0);
    view()->scene()->addRect(0, 0, 40, 30);
    action("actionFit_All")->trigger();
    QVERIFY(view()->zoom() > 1.0);
    QCOMPARE(slider()->value(), qRound(view()->zoom() * 100));
    QCOMPARE(QKeySequence(QKeySequence::ZoomIn), action("actionZoom_In")->shortcut());
}

void TestMainWindow::explorerActionFollowsDock()
{
    auto* dock = window->findChild<QDockWidget*>(QStringLiteral("dockWidget"));
    QAction* toggle = action("actionShow_Properties");
    toggle->trigger();
    QVERIFY(!dock->isVisible());
    QCOMPARE(toggle->text(), QStringLiteral("Show Sidebar"));
    QTRY_VERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(dock->isVisible());
    QCOMPARE(toggle->text(), QStringLiteral("Hide Sidebar"));
    QTRY_VERIFY(toggle->isChecked());
    dock->close();
    QTRY_VERIFY(!toggle->isChecked());
}

void TestMainWindow::aboutDialogShowsVersionAndCloses()
{
    action("actionAbout_Quillmap")->trigger();
    QPointer<AboutDialog> about = window->findChild<AboutDialog*>();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(about->isModal());
    auto* text = about->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEditAbout"));
    QVERIFY(text->toPlainText().startsWith(QStringLiteral("Version 0.1.351\n\n")));
    QCOMPARE(text->textInteractionFlags(), Qt::NoTextInteraction);

    about->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QTRY_VERIFY(about.isNull());

    // Escape closes it as well.
    action("actionAbout_Quillmap")->trigger();
    about = window->findChild<AboutDialog*>();
    QVERIFY(about);
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(about.isNull());
}

QUILLMAP_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
