// MainWindow: Save, Save As, Open and loading a project or diagram.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/documentfile.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QJsonDocument>

#include <exception>
#include <memory>

void MainWindow::on_action_Save_triggered()
{
    saveDiagram();
}

void MainWindow::on_action_Save_As_triggered()
{
    saveDiagramAs();
}

void MainWindow::on_action_Open_triggered()
{
    loadDiagram();
}

namespace {

const char* const projectFileFilter = "Quillmap Project (*.json)";

} // namespace

void MainWindow::saveDiagram()
{
    if (busy->isBusy())
        return;
    QString path = scene ? scene->currentFilePath() : QString();
    if (path.isEmpty()) {
        path = DialogHooks::getSaveFileName(this, QStringLiteral("Save Project"), QString(),
                                            QLatin1String(projectFileFilter));
        if (path.isEmpty())
            return;
    }
    saveToPath(path);
}

void MainWindow::saveDiagramAs()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getSaveFileName(this, QStringLiteral("Save Project"), QString(),
                                                      QLatin1String(projectFileFilter));
    if (path.isEmpty())
        return;
    saveToPath(path);
}

void MainWindow::saveToPath(const QString& path)
{
    if (scene && dialectCombo) {
        scene->setDialect(dialectCombo->currentText());
        if (currentModel)
            currentModel->setDialect(dialectCombo->currentText());
    }
    syncModelFromScene();
    captureCurrentDiagram();

    QByteArray bytes;
    QString failure;
    try {
        const QJsonObject root = project ? project->toDocumentJson() : (scene ? scene->toJson() : QJsonObject());
        bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    } catch (const std::exception& e) {
        qWarning() << "Exception in toJson:" << e.what();
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        qWarning() << "Unknown exception in toJson";
        failure = QStringLiteral("unknown error");
    }
    if (!failure.isNull()) {
        DialogHooks::warning(this, QStringLiteral("Save"),
                             QStringLiteral("The project could not be turned into JSON (%1); nothing was written.")
                                 .arg(failure));
        return;
    }

    struct SaveOutcome
    {
        bool written = false;
        QString error;
    };
    auto outcome = std::make_shared<SaveOutcome>();
    busy->runInThread(
        [path, bytes, outcome] { outcome->written = writeFileAtomically(path, bytes, &outcome->error); },
        [this, path, outcome] {
            if (!outcome->written)
                return;
            qDebug() << "Diagram saved successfully";
            if (scene)
                scene->setCurrentFilePath(path);
            setFilePathDisplay(path);
        },
        [this, path, outcome] {
            if (outcome->written)
                return;
            DialogHooks::warning(this, QStringLiteral("Save"),
                                 QStringLiteral("Cannot save file %1:\n%2\n\nThe file on disk was not changed.")
                                     .arg(QDir::toNativeSeparators(path), outcome->error));
        });
}

void MainWindow::loadDiagram()
{
    if (busy->isBusy())
        return;
    const QString path = DialogHooks::getOpenFileName(this, QStringLiteral("Open Project"), QString(),
                                                      QLatin1String(projectFileFilter));
    if (path.isEmpty())
        return;

    auto read = std::make_shared<JsonFileRead>();
    busy->runInThread([path, read] { *read = readJsonObjectFile(path); },
                      [this, path, read] {
                          if (!read->ok)
                              return;
                          if (!loadProjectOrDiagram(read->object, &read->errorText)) {
                              read->ok = false;
                              return;
                          }
                          read->object = QJsonObject();
                          // Only now is the file the document's: a file that
                          // failed to open can never be overwritten by Save.
                          if (scene)
                              scene->setCurrentFilePath(path);
                          qDebug() << "Project loaded successfully";
                          setFilePathDisplay(path);
                          if (dialectCombo) {
                              if (currentModel && !currentModel->dialect().isEmpty())
                                  dialectCombo->setCurrentText(currentModel->dialect());
                              else if (scene && !scene->dialect().isEmpty())
                                  dialectCombo->setCurrentText(scene->dialect());
                          }
                          fitSceneAfterLoad();
                      },
                      [this, read] {
                          if (!read->ok)
                              DialogHooks::warning(this, QStringLiteral("Open"), read->errorText);
                      });
}

void MainWindow::fitSceneAfterLoad()
{
    if (!scene)
        return;
    // The scene reports the changes of the load later and grows its
    // rectangle around them; let that happen first, or it would undo the
    // fit below.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
    scene->setSceneRect(bounds);
    ui->view->fitInView(bounds, Qt::KeepAspectRatio);
    ui->view->setZoom(1.0);
}

bool MainWindow::loadProjectOrDiagram(const QJsonObject& root, QString* errorText)
{
    if (!scene)
        return false;

    const bool isProject = ProjectItem::isProjectJson(root);
    if (!isProject) {
        // A diagram may come without "type" (hand-written or from other
        // tools), but a file that says it is something else is not read
        // as an empty diagram.
        const QJsonValue type = root.value(QStringLiteral("type"));
        if (!type.isUndefined() && type.toString() != QLatin1String("er-diagram")) {
            qWarning() << "loadProjectOrDiagram: neither a project nor a diagram, type:" << type;
            if (errorText)
                *errorText = QStringLiteral("The file is neither a Quillmap project nor a diagram "
                                            "(its type is %1).")
                                 .arg(type.isString() ? QStringLiteral("\"%1\"").arg(type.toString())
                                                      : QStringLiteral("not a text"));
            return false;
        }
    }

    const bool guard = suppressModelSync;
    suppressModelSync = true;
    releaseSceneSelection();

    if (isProject) {
        if (!project)
            project = new ProjectItem(this);
        if (!project->loadDocumentJson(root)) {
            suppressModelSync = guard;
            if (errorText)
                *errorText = QStringLiteral("The project file could not be read.");
            return false;
        }
        currentModel = nullptr;
        currentDiagram = nullptr;
        const QList<ModelItem*> models = project->models();
        if (!models.isEmpty()) {
            currentModel = models.first();
            const QList<DiagramItem*> diagrams = currentModel->diagrams();
            if (!diagrams.isEmpty())
                currentDiagram = diagrams.first();
        }
        if (currentDiagram && !currentDiagram->data().isEmpty()) {
            // As for any diagram that reaches the canvas: its rows follow
            // the model first (see loadDiagramItem).
            QJsonObject data = currentDiagram->data();
            if (TableSync::alignDiagram(data, currentModel, project) > 0)
                currentDiagram->setData(data);
            scene->loadFromJson(data);
        } else {
            scene->clearScene();
        }
        suppressModelSync = guard;
        rebuildProjectTree();
        refreshTableDetails();
        return true;
    }

    const bool loaded = scene->loadFromJson(root);
    suppressModelSync = guard;
    if (!loaded)
        return false;
    adoptLoadedScene();
    return true;
}

void MainWindow::adoptLoadedScene(QString projectName)
{
    createEmptyProject();
    if (!projectName.isEmpty() && project)
        project->setName(projectName);
    if (currentModel) {
        const QString dialect = scene && !scene->dialect().isEmpty()
            ? scene->dialect()
            : (dialectCombo ? dialectCombo->currentText() : QString());
        currentModel->setDialect(dialect);
    }
    syncModelFromScene();
    captureCurrentDiagram();
    rebuildProjectTree();
}
