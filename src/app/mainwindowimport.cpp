// MainWindow: the import commands.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "interchange/drawioreader.h"
#include "interchange/mermaidreader.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <memory>

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
    const QString path = DialogHooks::getOpenFileName(
        this, QStringLiteral("Import ER Diagram from Mermaid"), QString(),
        QStringLiteral("Mermaid (*.mmd *.mermaid *.md *.txt);;Markdown (*.md);;All files (*.*)"));
    if (path.isEmpty())
        return;

    importDiagramFile(path, QStringLiteral("Import from Mermaid"),
                      QStringLiteral("Could not interpret a Mermaid erDiagram in the selected file.\n"
                                     "The file must contain an erDiagram with entities and optional "
                                     "attributes and relationships."),
                      parseMermaidFile);
}

void MainWindow::on_actionImport_from_Drawio_triggered()
{
    if (busy->isBusy())
        return;
    const QString path =
        DialogHooks::getOpenFileName(this, QStringLiteral("Import ER Diagram from draw.io"), QString(),
                                     QStringLiteral("draw.io (*.drawio *.xml);;XML (*.xml);;All files (*.*)"));
    if (path.isEmpty())
        return;
    importDiagramFile(path, QStringLiteral("Import from draw.io"),
                      QStringLiteral("Could not interpret a draw.io Entity-Relationship diagram in the selected "
                                     "file.\nThe file must contain table entities and optional Crow's Foot "
                                     "relationships."),
                      parseDrawioFile);
}

void MainWindow::importDiagramFile(const QString& path, const QString& title, const QString& defaultError,
                                   DiagramFileReader read)
{
    struct Outcome
    {
        QJsonObject diagram;
        QString error;
        bool ok = false;
    };
    auto outcome = std::make_shared<Outcome>();
    busy->runInThread(
        [path, read, outcome] {
            outcome->diagram = read(path, &outcome->error);
            outcome->ok = !outcome->diagram.isEmpty();
        },
        [this, outcome] {
            if (!outcome->ok || !scene)
                return;
            const bool guard = suppressModelSync;
            suppressModelSync = true;
            releaseSceneSelection();
            const bool loaded = scene->loadFromJson(outcome->diagram);
            suppressModelSync = guard;
            outcome->diagram = QJsonObject();
            if (loaded)
                adoptImportedDiagram();
        },
        [this, title, defaultError, outcome] {
            if (!outcome->ok)
                DialogHooks::warning(this, title, outcome->error.isEmpty() ? defaultError : outcome->error);
        });
}

void MainWindow::adoptImportedDiagram(const QString& projectName)
{
    adoptLoadedScene(projectName);
    if (!scene)
        return;
    // The imported diagram has not been saved: the next Save asks for a file.
    scene->setCurrentFilePath(QString());
    setFilePathDisplay(QString());
    // The scene grows its rectangle around the loaded items once it hears of
    // them; let that happen first, or it would undo the fit below.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
    scene->setSceneRect(bounds);
    ui->view->fitInView(bounds, Qt::KeepAspectRatio);
}

void MainWindow::importFromDatabase()
{
    if (busy->isBusy())
        return;
    // Runs the schema inspector and turns its result into a new project.
}
