// MainWindow: the import commands.
#include "app/mainwindow.h"

#include "app/busyspinnerwidget.h"

void MainWindow::on_actionImport_from_Image_triggered()
{
    if (busy->isBusy())
        return;
    // Recognises a diagram in a raster image or SVG drawing.
}

void MainWindow::on_actionImport_from_Mermaid_triggered()
{
    if (busy->isBusy())
        return;
    // Reads a Mermaid erDiagram file into a new project.
}

void MainWindow::on_actionImport_from_Drawio_triggered()
{
    if (busy->isBusy())
        return;
    // Reads a draw.io file into a new project.
}

void MainWindow::importFromDatabase()
{
    if (busy->isBusy())
        return;
    // Runs the schema inspector and turns its result into a new project.
}
