// MainWindow: the export commands.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/sceneexporter.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "interchange/drawiowriter.h"
#include "interchange/mermaidwriter.h"
#include "model/logcategories.h"

#include <QDebug>
#include <QDir>
#include <QJsonObject>

#include <memory>

void MainWindow::on_actionExport_to_PDF_triggered()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getSaveFileName(this, QStringLiteral("Export Diagram to PDF"), QString(),
                                                      QStringLiteral("PDF Files (*.pdf)"));
    if (path.isEmpty())
        return;
    runExport(true, path, QStringLiteral("Export to PDF"));
}

void MainWindow::on_actionExport_to_SVG_triggered()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getSaveFileName(this, QStringLiteral("Export Diagram to SVG"), QString(),
                                                      QStringLiteral("SVG Files (*.svg)"));
    if (path.isEmpty())
        return;
    runExport(false, path, QStringLiteral("Export to SVG"));
}

void MainWindow::runExport(bool pdf, const QString& path, const QString& title)
{
    auto error = std::make_shared<QString>();
    auto ok = std::make_shared<bool>(false);
    busy->run(
        [this, pdf, path, error, ok] {
            auto* erScene = qobject_cast<ERScene*>(ui->view->scene());
            *ok = pdf ? exportSceneToPdf(erScene, path, error.get()) : exportSceneToSvg(erScene, path, error.get());
            if (*ok)
                qCDebug(lcFile) << (pdf ? "Diagram exported to PDF successfully" : "Diagram exported to SVG successfully");
            else
                qWarning() << (pdf ? "Export to PDF failed:" : "Export to SVG failed:") << path << *error;
        },
        [this, path, title, error, ok] {
            if (*ok)
                return;
            DialogHooks::warning(this, title,
                                 QStringLiteral("The diagram could not be exported to %1:\n%2")
                                     .arg(QDir::toNativeSeparators(path), *error));
        });
}

bool MainWindow::exportSceneToPdf(ERScene* erScene, const QString& filePath, QString* errorText)
{
    return SceneExporter::exportToPdf(erScene, filePath, errorText);
}

bool MainWindow::exportSceneToSvg(ERScene* erScene, const QString& filePath, QString* errorText)
{
    return SceneExporter::exportToSvg(erScene, filePath, errorText);
}

void MainWindow::on_actionExport_to_Mermaid_triggered()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getSaveFileName(
        this, QStringLiteral("Export ER Diagram to Mermaid"), QString(),
        QStringLiteral("Mermaid (*.mmd *.mermaid);;Markdown (*.md);;Text (*.txt);;All files (*.*)"));
    if (path.isEmpty())
        return;

    exportDiagramFile(path, QStringLiteral("Export to Mermaid"),
                      QStringLiteral("Could not generate a Mermaid erDiagram from the current diagram."),
                      writeMermaidFile);
}

void MainWindow::on_actionExport_to_Drawio_triggered()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getSaveFileName(this, QStringLiteral("Export ER Diagram to draw.io"), QString(),
                                                      QStringLiteral("draw.io (*.drawio);;XML (*.xml);;All files (*.*)"));
    if (path.isEmpty())
        return;
    exportDiagramFile(path, QStringLiteral("Export to draw.io"),
                      QStringLiteral("Could not generate a draw.io Entity-Relationship diagram from the current "
                                     "diagram."),
                      writeDrawioFile);
}

void MainWindow::exportDiagramFile(const QString& path, const QString& title, const QString& defaultError,
                                   DiagramFileWriter write)
{
    // The scene is read here, on the GUI thread; the writer sees a copy.
    const QJsonObject diagram = scene ? scene->toJson() : QJsonObject();
    struct Outcome
    {
        QString error;
        bool ok = false;
    };
    auto outcome = std::make_shared<Outcome>();
    busy->runInThread([diagram, path, write, outcome] { outcome->ok = write(diagram, path, &outcome->error); },
                      nullptr,
                      [this, title, defaultError, outcome] {
                          if (!outcome->ok)
                              DialogHooks::warning(this, title,
                                                   outcome->error.isEmpty() ? defaultError : outcome->error);
                      },
                      [outcome](const QString& sentence) {
                          outcome->ok = false;
                          outcome->error = sentence;
                      });
}
