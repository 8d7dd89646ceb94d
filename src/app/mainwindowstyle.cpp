// MainWindow: the style dialog commands.
#include "app/mainwindow.h"

void MainWindow::on_actionEntity_Colors_triggered()
{
    // Opens the colour dialog of tables and views, or the style dialog of the
    // selected text item or group.
}

void MainWindow::showTextStyleDialog()
{
    // Opens the text item style dialog.
}

void MainWindow::showGroupStyleDialog()
{
    // Opens the group style dialog.
}
