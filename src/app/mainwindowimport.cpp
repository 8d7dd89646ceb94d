// MainWindow: the import commands. Each one replaces the project, so each
// asks about unsaved changes first.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "dbimport/dbimportdialog.h"
#include "dbimport/inspectorjson.h"
#include "dbimport/schemaimporter.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "interchange/drawioreader.h"
#include "interchange/importsummary.h"
#include "interchange/mermaidreader.h"
#include "model/filelimits.h"
#include "layout/edgeslots.h"
#include "recognition/diagramrecognition.h"
#include "recognition/recognizedimport.h"

#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QJsonObject>
#include <QPointer>
#include <QProgressDialog>
#include <QStatusBar>

#include <memory>

namespace {

const char imageImportFilter[] =
    "Images (*.png *.jpg *.jpeg *.bmp *.svg *.svgz);;PNG (*.png);;JPEG (*.jpg *.jpeg);;BMP (*.bmp);;"
    "SVG (*.svg *.svgz)";

} // namespace

void MainWindow::on_actionImport_from_Image_triggered()
{
    if (busy->isBusy() || !maybeSaveChanges())
        return;
    const QString path = DialogHooks::getOpenFileName(this, QStringLiteral("Import ER Diagram from Image"), QString(),
                                                      QLatin1String(imageImportFilter));
    if (path.isEmpty())
        return;
    // A picture that will not be read (a pipe, a device, a file or an image
    // beyond the limits) is refused with its own sentence, unopened.
    const QString refusal = recognitionRefusal(path);
    if (!refusal.isEmpty()) {
        qWarning() << "Image import failed:" << refusal;
        DialogHooks::warning(this, QStringLiteral("Import from Image"), refusal);
        return;
    }
    auto imported = std::make_shared<bool>(false);
    auto error = std::make_shared<QString>();
    busy->run([this, path, imported, error] { *imported = importImageFile(path, error.get()); },
              [this, imported, error] {
                  if (*imported)
                      return;
                  QString text = QStringLiteral("Could not interpret an ER diagram in the selected image.\n"
                                                "The file must contain rectangular entities, optionally with "
                                                "attributes, and lines connecting them.");
                  if (!error->isEmpty())
                      text += QLatin1Char('\n') + *error;
                  DialogHooks::warning(this, QStringLiteral("Import from Image"), text);
              });
}

bool MainWindow::importImageFile(const QString& path, QString* failure)
{
    if (!scene || path.isEmpty())
        return false;
    const bool guard = suppressModelSync;
    suppressModelSync = true;
    releaseSceneSelection();
    QString error;
    QString summary;
    const bool ok = importRecognizedDiagram(scene, path, &error, defaultGlyphFamilies(), &summary);
    suppressModelSync = guard;
    if (!ok) {
        qWarning() << "Image import failed:" << error;
        if (failure)
            *failure = error;
        return false;
    }
    adoptImportedDiagram(QFileInfo(path).completeBaseName());
    // What was read and what was made up stays until the next message.
    statusBar()->showMessage(summary);
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
    letSceneReportLoad();
    const QRectF bounds = scene->itemsExtent().adjusted(-100, -100, 100, 100);
    scene->setSceneRect(bounds);
    ui->view->fitInView(bounds, Qt::KeepAspectRatio);
}

void MainWindow::on_actionImport_from_Mermaid_triggered()
{
    if (busy->isBusy() || !maybeSaveChanges())
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
    if (busy->isBusy() || !maybeSaveChanges())
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
            // What a reader let through must still fit on the canvas, as
            // an opened file must.
            const QString excess = filelimits::diagramExcess(outcome->diagram);
            if (!excess.isEmpty()) {
                outcome->diagram = QJsonObject();
                outcome->error = excess;
            }
            outcome->ok = !outcome->diagram.isEmpty();
        },
        [this, outcome] {
            if (!outcome->ok || !scene)
                return;
            const bool guard = suppressModelSync;
            suppressModelSync = true;
            releaseSceneSelection();
            const bool loaded = scene->loadFromJson(outcome->diagram);
            // The reader's grid or the file's positions may put tables on
            // top of each other.
            if (loaded)
                settleImportedDiagram(scene);
            suppressModelSync = guard;
            const QString summary = importNotesLine(outcome->diagram);
            outcome->diagram = QJsonObject();
            if (loaded) {
                adoptImportedDiagram(QString());
                statusBar()->showMessage(summary);
            }
        },
        [this, title, defaultError, outcome] {
            if (!outcome->ok)
                DialogHooks::warning(this, title, outcome->error.isEmpty() ? defaultError : outcome->error);
        },
        [outcome](const QString& sentence) {
            outcome->diagram = QJsonObject();
            outcome->ok = false;
            outcome->error = sentence;
        });
}

// ---------------------------------------------------------------- database

void MainWindow::importFromDatabase()
{
    if (busy->isBusy() || !maybeSaveChanges())
        return;
    QString python;
    QString script;
    QStringList arguments;
    {
        DbImportDialog dialog(this);
        if (DialogHooks::execDialog(&dialog) != QDialog::Accepted)
            return;
        python = dialog.pythonExecutable();
        script = dialog.scriptPath();
        arguments = dialog.arguments();
    }
    discardSchemaImporter();

    auto* progress = new QProgressDialog(QStringLiteral("Connecting and collecting schema…"),
                                         QStringLiteral("Cancel"), 0, 0, this);
    progress->setWindowTitle(QStringLiteral("Import from Database"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setValue(0);

    auto* importer = new SchemaImporter(this);
    schemaImporter = importer;
    const QPointer<QProgressDialog> progressGuard(progress);
    // The run ends with one of these three; each takes the progress dialog
    // and the importer away.
    const auto closeProgress = [progressGuard] {
        if (!progressGuard)
            return;
        // Closing a progress dialog would report a cancel.
        QObject::disconnect(progressGuard, &QProgressDialog::canceled, nullptr, nullptr);
        progressGuard->hide();
        progressGuard->deleteLater();
    };
    connect(importer, &SchemaImporter::progressMessage, progress,
            [progress](const QString& text) { progress->setLabelText(text.left(120)); });
    connect(progress, &QProgressDialog::canceled, this, [this, importer, closeProgress] {
        // The inspector is killed at once; a run ended so reports nothing.
        closeProgress();
        if (schemaImporter == importer)
            discardSchemaImporter();
    });
    connect(importer, &SchemaImporter::failed, this, [this, importer, closeProgress](const QString& message) {
        closeProgress();
        DialogHooks::critical(this, QStringLiteral("Import failed"), message);
        if (schemaImporter == importer)
            discardSchemaImporter();
    });
    connect(importer, &SchemaImporter::finished, this,
            [this, importer, closeProgress](const QJsonObject& erJson, const QJsonObject& fullSchema) {
                closeProgress();
                finishDatabaseImport(erJson, fullSchema);
                if (schemaImporter == importer)
                    discardSchemaImporter();
            });
    importer->start(python, script, arguments);
    // An interpreter that cannot start may have been reported already.
    if (schemaImporter == importer && progressGuard)
        progress->show();
}

void MainWindow::discardSchemaImporter()
{
    if (!schemaImporter)
        return;
    schemaImporter->stop();
    schemaImporter->deleteLater();
    schemaImporter = nullptr;
}

void MainWindow::finishDatabaseImport(const QJsonObject& erJson, const QJsonObject& fullSchema)
{
    const bool guard = suppressModelSync;
    suppressModelSync = true;
    scene->loadFromJson(erJson);
    // Tables taller than a grid cell stand on the next ones.
    settleImportedDiagram(scene);
    suppressModelSync = guard;
    QString summary = inspectorImportSummary(fullSchema);
    const QString notes = importNotesLine(erJson);
    if (!notes.isEmpty())
        summary += (summary.isEmpty() ? QString() : QStringLiteral("; ")) + notes;

    // The model takes the dialect's name ("PostgreSQL"), not the
    // inspector's code, when the window knows the name.
    const QString dialect = inspectorDialectName(
        fullSchema.value(QStringLiteral("meta")).toObject().value(QStringLiteral("dialect")).toString());
    const bool knownDialect = dialectCombo && dialectCombo->findText(dialect) >= 0;
    if (knownDialect)
        scene->setDialect(dialect);
    adoptLoadedScene(QStringLiteral("Imported model"));
    // A new, unsaved project: Save must not write over the file that was
    // open before.
    scene->setCurrentFilePath(QString());
    setFilePathDisplay(QString());
    if (knownDialect)
        dialectCombo->setCurrentText(dialect);
    letSceneReportLoad();
    ui->view->fitInView(scene->itemsExtent().adjusted(-60, -60, 60, 60), Qt::KeepAspectRatio);
    // What came in and what was left out stays in the status bar until
    // the next message.
    statusBar()->showMessage(summary);

    const QString path = DialogHooks::getSaveFileName(this, QStringLiteral("Save imported diagram"), QString(),
                                                      QStringLiteral("JSON Files (*.json)"));
    if (path.isEmpty())
        return;
    if (knownDialect)
        scene->setDialect(dialect);
    scene->setCurrentFilePath(path);
    saveDiagram();
}
