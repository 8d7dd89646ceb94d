#include "app/applicationsetup.h"
#include "app/mainwindow.h"
#include "app/thememanager.h"
#include "dialogs/colorsdialog.h"
#include "dialogs/edgeeditdialog.h"
#include "dialogs/entityeditdialog.h"
#include "dialogs/groupitemstyledialog.h"
#include "dialogs/textitemstyledialog.h"
#include <QApplication>
#include <QTest>
#include <QComboBox>
#include <QLineEdit>

static void shoot(QDialog& d, const QString& name)
{
    d.show();
    QTest::qWaitForWindowExposed(&d);
    QTest::qWait(50);
    d.grab().save("/tmp/dlg/shots/" + name + ".png");
    d.hide();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    setUpApplication();
    MainWindow w;
    w.show();
    for (ThemeKind k : {ThemeKind::Light, ThemeKind::Dark}) {
        ThemeManager::instance().setTheme(k);
        w.adjustThemeColors(ThemeManager::instance());
        const QString t = k == ThemeKind::Light ? "light" : "dark";
        { ColorsDialog d(&w); shoot(d, "colors-" + t); }
        { ColorsDialog d(&w); d.findChild<QComboBox*>("comboBoxPreset")->setCurrentIndex(4);
          d.findChild<QLineEdit*>("lineEditFgHexDark")->setText("#12"); shoot(d, "colors-amber-" + t); }
        { TextItemStyleDialog d(&w); shoot(d, "text-" + t); }
        { GroupItemStyleDialog d(&w); shoot(d, "group-" + t); }
        { EdgeEditDialog d("orders \u2014 customers", &w); shoot(d, "edge-" + t); }
        { EntityEditDialog d("customers", &w); shoot(d, "entity-" + t); }
    }
    return 0;
}
