// MainWindow: Save, Save As, Open and loading a project or diagram.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/documentfile.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "explorer/projecttreemodel.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/filelimits.h"
#include "model/indentedjson.h"
#include "model/logcategories.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>
#include <utility>

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

// The lists of a diagram object.
const char* const diagramListKeys[] = {"entities", "edges", "annotations"};

// Holds a widget's painting while it lives, and asks for one repaint after.
class CanvasPaintHold
{
public:
    explicit CanvasPaintHold(QWidget* canvas)
        : m_canvas(canvas)
        , m_painting(canvas && canvas->updatesEnabled())
    {
        if (m_canvas)
            m_canvas->setUpdatesEnabled(false);
    }
    ~CanvasPaintHold()
    {
        if (!m_canvas)
            return;
        m_canvas->setUpdatesEnabled(m_painting);
        m_canvas->update();
    }
    CanvasPaintHold(const CanvasPaintHold&) = delete;
    CanvasPaintHold& operator=(const CanvasPaintHold&) = delete;

private:
    QPointer<QWidget> m_canvas;
    bool m_painting;
};

} // namespace

QString MainWindow::savePath(bool askAlways)
{
    const QString path = scene ? scene->currentFilePath() : QString();
    if (!askAlways && !path.isEmpty())
        return path;
    return DialogHooks::getSaveFileName(this, QStringLiteral("Save Project"), QString(),
                                        QLatin1String(projectFileFilter));
}

void MainWindow::saveDiagram()
{
    if (busy->isBusy())
        return;
    const QString path = savePath(false);
    if (!path.isEmpty())
        saveToPath(path);
}

void MainWindow::saveDiagramAs()
{
    if (busy->isBusy())
        return;
    const QString path = savePath(true);
    if (!path.isEmpty())
        saveToPath(path);
}

QByteArray MainWindow::DocumentState::text() const
{
    return hasProject ? ProjectItem::documentText(project) : toIndentedJson(canvas);
}

QString MainWindow::DocumentState::excess() const
{
    if (!hasProject)
        return filelimits::documentExcess(canvas);
    QJsonObject envelope;
    envelope.insert(QLatin1String("type"), QLatin1String("quill-project"));
    envelope.insert(QLatin1String("data"), QJsonDocument::fromJson(project.data).object());
    envelope.insert(QLatin1String("diagrams"), project.diagrams);
    return filelimits::projectExcess(envelope);
}

MainWindow::DocumentState MainWindow::currentDocument(bool compact)
{
    if (scene && dialectCombo) {
        scene->setDialect(dialectCombo->currentText());
        if (currentModel)
            currentModel->setDialect(dialectCombo->currentText());
    }
    syncModelFromScene();
    captureCurrentDiagram();
    DocumentState state;
    if (project) {
        state.hasProject = true;
        state.project = project->documentParts(compact);
    } else if (scene) {
        state.canvas = scene->toJson();
    }
    return state;
}

void MainWindow::saveToPath(const QString& path, std::function<void(bool)> done)
{
    if (busy->isBusy()) {
        if (done)
            done(false);
        return;
    }
    // Everything counted so far goes into the document: behind the
    // indicator no edit can be made until it is written.
    const quint64 countBefore = editCount;
    struct Made
    {
        DocumentState document;
        QByteArray bytes;
        QString failure;
    };
    auto made = std::make_shared<Made>();
    // Nor is the canvas painted until the file is written: the indicator is
    // translucent, and each turn would paint the whole diagram below it.
    auto hold = std::make_shared<std::unique_ptr<CanvasPaintHold>>(
        std::make_unique<CanvasPaintHold>(ui->view->viewport()));
    const std::function<void(bool)> finished = [hold, done](bool written) {
        hold->reset();
        if (done)
            done(written);
    };
    // A large diagram takes long to gather into the model: the indicator is
    // up first and turns meanwhile.
    busy->run(
        [this, made] {
            try {
                made->document = currentDocument();
                made->bytes = made->document.text();
            } catch (const std::exception& e) {
                qWarning() << "Exception in toJson:" << e.what();
                made->failure = QString::fromLocal8Bit(e.what());
            } catch (...) {
                qWarning() << "Unknown exception in toJson";
                made->failure = QStringLiteral("unknown error");
            }
        },
        [this, path, made, countBefore, finished] {
            if (!made->failure.isNull()) {
                DialogHooks::warning(
                    this, QStringLiteral("Save"),
                    QStringLiteral("The project could not be turned into JSON (%1); nothing was written.")
                        .arg(made->failure));
                finished(false);
                return;
            }
            writeDocument(path, std::move(made->document), std::move(made->bytes), countBefore, finished);
        });
    // A job that could not start never reports back.
    if (!busy->isBusy())
        finished(false);
}

void MainWindow::writeDocument(const QString& path, DocumentState document, QByteArray bytes, quint64 countBefore,
                               std::function<void(bool)> done)
{
    struct SaveOutcome
    {
        bool written = false;
        QString error;
    };
    auto outcome = std::make_shared<SaveOutcome>();
    busy->runInThread(
        [path, bytes, document, outcome] {

            // What Open would refuse is never written: the work could not be
            // opened again.
            const QString excess = document.excess();
            if (!excess.isEmpty()) {
                outcome->error = QStringLiteral("It could not be opened again. %1").arg(excess);
                return;
            }
            outcome->written = writeFileAtomically(path, bytes, &outcome->error);
        },
        [this, path, outcome, document, countBefore] {
            if (!outcome->written)
                return;
            qCDebug(lcFile) << "Diagram saved successfully";
            if (scene)
                scene->setCurrentFilePath(path);
            setFilePathDisplay(path);
            savedDocument = document;
            cleanEditCount = countBefore;
        },
        [this, path, outcome, done] {
            if (!outcome->written)
                DialogHooks::warning(this, QStringLiteral("Save"),
                                     QStringLiteral("Cannot save file %1:\n%2\n\nThe file on disk was not changed.")
                                         .arg(QDir::toNativeSeparators(path), outcome->error));
            if (done)
                done(outcome->written);
        },
        [outcome](const QString& sentence) {
            outcome->written = false;
            outcome->error = sentence;
        });
    if (!busy->isBusy() && done)
        done(false);
}

bool MainWindow::saveAndWait()
{
    if (busy->isBusy())
        return false;
    const QString path = savePath(false);
    if (path.isEmpty())
        return false;
    bool finished = false;
    bool saved = false;
    QEventLoop loop;
    saveToPath(path, [&finished, &saved, &loop](bool written) {
        finished = true;
        saved = written;
        loop.quit();
    });
    // The indicator keeps the window's input away meanwhile.
    if (!finished)
        loop.exec();
    return saved;
}

namespace {

// Counts the input that reaches any widget of the application: every edit a
// user makes, on the canvas, in the details pane, in the explorer or in a
// dialog, begins with one of these.
class UserInputCounter : public QObject
{
public:
    explicit UserInputCounter(MainWindow* window)
        : QObject(window)
        , m_window(window)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::TouchEnd:
        case QEvent::TabletRelease:
            m_window->noteDocumentEdit();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    MainWindow* m_window;
};

} // namespace

void MainWindow::watchDocumentEdits()
{
    qApp->installEventFilter(new UserInputCounter(this));
    const auto note = [this] { noteDocumentEdit(); };
    // What changes the document without input of its own: items put on the
    // canvas by code, and the model, whose every change is shown in the tree.
    if (scene) {
        connect(scene, &ERScene::entityAdded, this, [this, note](EntityItem* entity) {
            noteDocumentEdit();
            // Moved, renamed or given other rows by code.
            connect(entity, &QGraphicsObject::xChanged, this, note);
            connect(entity, &QGraphicsObject::yChanged, this, note);
            connect(entity, &EntityItem::titleChanged, this, note);
            connect(entity, &EntityItem::attributeEdited, this, note);
            connect(entity, &EntityItem::structureChanged, this, note);
        });
        connect(scene, &ERScene::edgeAdded, this, note);
    }
    if (treeModel) {
        connect(treeModel, &QAbstractItemModel::modelReset, this, note);
        connect(treeModel, &QAbstractItemModel::rowsInserted, this, note);
        connect(treeModel, &QAbstractItemModel::rowsRemoved, this, note);
        connect(treeModel, &QAbstractItemModel::rowsMoved, this, note);
        connect(treeModel, &QAbstractItemModel::dataChanged, this, note);
        connect(treeModel, &QAbstractItemModel::layoutChanged, this, note);
    }
}

bool MainWindow::hasUnsavedChanges()
{
    // Nothing can have changed since the document last matched the saved
    // text.
    if (cleanEditCount && *cleanEditCount == editCount)
        return false;
    try {
        // In the form of the baseline: compact unless Save made it.
        if (currentDocument(savedDocument.project.compact) != savedDocument)
            return true;
    } catch (...) {
        // What cannot be written out cannot be compared: better asked once
        // too often than lost.
        return true;
    }
    // The text was made without the event loop running: every change
    // counted so far, even one counted while it was made, is in it.
    cleanEditCount = editCount;
    return false;
}

void MainWindow::markDocumentSaved()
{
    try {
        savedDocument = currentDocument(true);
        cleanEditCount = editCount;
    } catch (...) {
        savedDocument = DocumentState();
        cleanEditCount.reset();
    }
}

bool MainWindow::maybeSaveChanges()
{
    if (busy->isBusy())
        return false;
    if (!hasUnsavedChanges())
        return true;
    const QString path = scene ? scene->currentFilePath() : QString();
    QString name = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    if (name.isEmpty())
        name = project && !project->name().isEmpty() ? project->name() : QStringLiteral("Untitled Project");
    const QMessageBox::StandardButton answer =
        DialogHooks::question(this, QStringLiteral("Unsaved Changes"),
                              QStringLiteral("Save changes to %1 before closing?").arg(name),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    switch (answer) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
        return saveAndWait();
    default:
        return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A running job holds the document; the window stays until it is done.
    if (busy->isBusy() || !maybeSaveChanges()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::loadDiagram()
{
    if (busy->isBusy() || !maybeSaveChanges())
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
                          // Nor is the canvas painted at those passes: the
                          // indicator is translucent, and each turn would
                          // paint the whole diagram below it.
                          const CanvasPaintHold hold(ui->view->viewport());
                          const bool isProject = ProjectItem::isProjectJson(read->object);
                          if (!loadProjectOrDiagram(read->object, &read->errorText)) {
                              read->ok = false;
                              return;
                          }
                          read->object = QJsonObject();
                          // A diagram read on its own has just been taken
                          // into the model and stored in its diagram record.
                          const QString adoptedDialect =
                              !isProject && scene && project ? scene->dialect() : QString();
                          // Only now is the file the document's: a file that
                          // failed to open can never be overwritten by Save.
                          if (scene)
                              scene->setCurrentFilePath(path);
                          qCDebug(lcFile) << "Project loaded successfully";
                          setFilePathDisplay(path);
                          if (dialectCombo) {
                              if (currentModel && !currentModel->dialect().isEmpty())
                                  dialectCombo->setCurrentText(currentModel->dialect());
                              else if (scene && !scene->dialect().isEmpty())
                                  dialectCombo->setCurrentText(scene->dialect());
                          }
                          fitSceneAfterLoad();
                          if (adoptedDialect.isNull() || !project || !scene) {
                              markDocumentSaved();
                              return;
                          }
                          // The document as currentDocument makes it,
                          // without taking the canvas into the model and
                          // the record a second time: nothing on the canvas
                          // has changed since, at most the dialect.
                          try {
                              if (dialectCombo) {
                                  scene->setDialect(dialectCombo->currentText());
                                  if (currentModel)
                                      currentModel->setDialect(dialectCombo->currentText());
                              }
                              if (scene->dialect() != adoptedDialect)
                                  captureCurrentDiagram();
                              DocumentState opened;
                              opened.hasProject = true;
                              opened.project = project->documentParts(true);
                              savedDocument = std::move(opened);
                              cleanEditCount = editCount;
                          } catch (...) {
                              savedDocument = DocumentState();
                              cleanEditCount.reset();
                          }
                      },
                      [this, read] {
                          if (!read->ok)
                              DialogHooks::warning(this, QStringLiteral("Open"), read->errorText);
                      },
                      [read](const QString& sentence) {
                          read->object = QJsonObject();
                          read->ok = false;
                          read->errorText = sentence;
                      });
}

void MainWindow::letSceneReportLoad()
{
    // The scene reports the changes of a load later and grows its rectangle
    // around them; that comes first, or it would undo a fit made now. The
    // canvas is not painted meanwhile: the fit moves it at once, and
    // painting it is what costs most on a large diagram.
    QWidget* const canvas = ui->view->viewport();
    const bool painting = canvas->updatesEnabled();
    canvas->setUpdatesEnabled(false);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    canvas->setUpdatesEnabled(painting);
}

void MainWindow::fitSceneAfterLoad()
{
    if (!scene)
        return;
    letSceneReportLoad();
    const QRectF bounds = scene->contentBoundingRect().adjusted(-100, -100, 100, 100);
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
        if (type.isUndefined()) {
            // Nor is any object without a type: only one with at least one
            // of the diagram's lists is taken for a diagram.
            const bool hasDiagramList = std::any_of(
                std::begin(diagramListKeys), std::end(diagramListKeys),
                [&root](const char* key) { return root.value(QLatin1String(key)).isArray(); });
            if (!hasDiagramList) {
                qWarning() << "loadProjectOrDiagram: an object without type and without diagram lists";
                if (errorText)
                    *errorText = QStringLiteral("The file is neither a Quillmap project nor a diagram: it has no "
                                                "\"type\" and no \"entities\", \"edges\" or \"annotations\" list.");
                return false;
            }
        } else if (type.toString() != QLatin1String("er-diagram")) {
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
