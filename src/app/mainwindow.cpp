// MainWindow: construction, the form, docks, toolbar and shortcuts.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/aboutdialog.h"
#include "app/busyspinnerwidget.h"
#include "details/tabledetailscontroller.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "explorer/projecttreemodel.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    busy = new BusySpinnerWidget(this);

    initializeTreeModel();

    connect(ui->view, &ERView::sceneClicked, this, &MainWindow::onSceneClickedPlaceItem);
    connect(ui->view, &ERView::sceneClicked, this, &MainWindow::onSceneClickedAddRelationship);
    connect(ui->view, &ERView::escapePressed, this, &MainWindow::onCanvasEscapePressed);

    importDatabaseAction = new QAction(QStringLiteral("Import from &Database…"), this);
    importDatabaseAction->setObjectName(QStringLiteral("actionImport_from_Database"));
    importDatabaseAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+I")));
    connect(importDatabaseAction, &QAction::triggered, this, &MainWindow::importFromDatabase);
    insertBeforeQuitEntry(menuBar(), importDatabaseAction);

    ui->view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);

    themeShortcutAction = new QAction(ui->view);
    themeShortcutAction->setObjectName(QStringLiteral("actionThemeShortcut"));
    themeShortcutAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    ui->view->addAction(themeShortcutAction);
    connect(themeShortcutAction, &QAction::triggered, this, &MainWindow::on_actionToggle_Theme_triggered);

    scene = new ERScene();
    connect(scene, &ERScene::textStyleDialogRequested, this, &MainWindow::showTextStyleDialog);
    connect(scene, &ERScene::groupStyleDialogRequested, this, &MainWindow::showGroupStyleDialog);
    connect(scene, &ERScene::entityAdded, this, &MainWindow::onEntityAdded);
    connect(scene, &ERScene::edgeAdded, this, &MainWindow::onEdgeAdded);

    ui->view->setScene(scene);
    ui->view->setWindowTitle(QStringLiteral("ER Editor (organizado)"));

    connect(ui->view, &ERView::explorerDropRequested, this, &MainWindow::onExplorerDropRequested);
    connect(ui->view, &ERView::sceneMouseMoved, this, &MainWindow::onSceneMouseMoved);

    createZoomActions();

    connect(ui->view, &ERView::zoomChanged, this, &MainWindow::sliderSetZoom);
    connect(scene, &QGraphicsScene::selectionChanged, this, &MainWindow::onSceneSelectionChanged);

    createShortcutActions();

    ui->dockWidget->show();
    ui->actionShow_Properties->setChecked(true);

    setupToolBar();
    setupDiagramToolButtons();
    fillActionIconCaches();

    ThemeManager& theme = ThemeManager::instance();
    adjustThemeColors(theme);
    setupStatusBar();
    applyThemedToolButtonIcons(theme.kind());

    detailsController = new TableDetailsController(ui, this);
    detailsController->setEntityResolver([this](const QString& id) { return findEntityOnScene(id); });
    connect(detailsController, &TableDetailsController::objectRenameRequested, this,
            &MainWindow::onObjectRenameRequested);
    connect(detailsController, &TableDetailsController::mappingsChanged, this, &MainWindow::onMappingsChanged);
    connect(detailsController, &TableDetailsController::columnRemoved, this, &MainWindow::forgetColumnReferences);
    connect(detailsController, &TableDetailsController::relationshipConstraintRemoved, this,
            &MainWindow::onRelationshipConstraintRemoved);
    connect(detailsController, &TableDetailsController::relationshipsRemovalRequested, this,
            &MainWindow::onRelationshipsRemovalRequested);

    connect(dialectCombo, &QComboBox::currentTextChanged, this, &MainWindow::onDialectChanged);
    if (scene)
        scene->setDialect(dialectCombo->currentText());

    createEmptyProject();
    rebuildProjectTree();
    watchDocumentEdits();
    markDocumentSaved();
}

MainWindow::~MainWindow()
{
    // The children outlive this body; their destruction must not reach the
    // icon caches any more.
    for (QAction* action : designedActionIcons.keys())
        disconnect(action, &QObject::destroyed, this, nullptr);
    for (QToolButton* button : designedToolButtonIcons.keys())
        disconnect(button, &QObject::destroyed, this, nullptr);
    // A name field or tree editor that loses the focus while the widgets go
    // away still reports its edit; it must not reach this window any more.
    const QObject* explorerSenders[] = {projectNameEdit, modelNameEdit, diagramNameEdit, dialectCombo,
                                        ui->lineEditSearch, treeModel, ui->treeViewProject->selectionModel()};
    for (const QObject* sender : explorerSenders) {
        if (sender)
            disconnect(sender, nullptr, this, nullptr);
    }

    // The details pane works on the form's widgets, which outlive this body
    // while the form's struct does not: a field that loses the focus as the
    // widgets go away must find no pane any more.
    delete detailsController;
    detailsController = nullptr;

    clearRelationshipPreview();
    // The scene has no parent; it goes before the form so that nothing it
    // emits while being destroyed reaches a half-destroyed window. Clearing
    // it first deletes the edges before the entities they point to.
    if (scene) {
        scene->clearScene();
        scene->disconnect(this);
        ui->view->setScene(nullptr);
        delete scene;
        scene = nullptr;
    }
    delete ui;
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
}

void MainWindow::insertBeforeQuitEntry(QMenuBar* menuBar, QAction* action)
{
    if (!menuBar || !action)
        return;
    const QList<QAction*> entries = menuBar->actions();
    if (entries.isEmpty() || !entries.first()->menu())
        return;
    QMenu* menu = entries.first()->menu();
    const QList<QAction*> items = menu->actions();
    for (QAction* item : items) {
        if (item->text().contains(QLatin1String("exit"), Qt::CaseInsensitive)
            || item->text().contains(QLatin1String("quit"), Qt::CaseInsensitive)) {
            menu->insertAction(item, action);
            return;
        }
    }
    menu->addAction(action);
}

void MainWindow::createZoomActions()
{
    zoomInAction = new QAction(QStringLiteral("Zoom in"), this);
    zoomInAction->setObjectName(QStringLiteral("actionZoom_In"));
    zoomInAction->setShortcut(QKeySequence::ZoomIn);
    zoomOutAction = new QAction(QStringLiteral("Zoom out"), this);
    zoomOutAction->setObjectName(QStringLiteral("actionZoom_Out"));
    zoomOutAction->setShortcut(QKeySequence::ZoomOut);

    resetZoomAction = new QAction(QStringLiteral("1:1"), this);
    resetZoomAction->setObjectName(QStringLiteral("actionReset_Zoom"));
    resetZoomAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+0")));
    resetZoomAction->setToolTip(QStringLiteral("Reset zoom (Ctrl+0)"));

    fitAllAction = new QAction(QStringLiteral("Fit all"), this);
    fitAllAction->setObjectName(QStringLiteral("actionFit_All"));
    fitAllAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+9")));
    fitAllAction->setIcon(QIcon(QStringLiteral(":/images/resources/images/fit_screen.png")));
    fitAllAction->setToolTip(QStringLiteral("Fit all (Ctrl+9)"));

    for (QAction* action : {zoomInAction, zoomOutAction, resetZoomAction, fitAllAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        ui->view->addAction(action);
    }
    connect(zoomInAction, &QAction::triggered, ui->view, &ERView::zoomIn);
    connect(zoomOutAction, &QAction::triggered, ui->view, &ERView::zoomOut);
    connect(resetZoomAction, &QAction::triggered, ui->view, &ERView::resetZoom);
    connect(fitAllAction, &QAction::triggered, ui->view, &ERView::fitAll);
}

void MainWindow::createShortcutActions()
{
    editLastRowAction = new QAction(this);
    editLastRowAction->setObjectName(QStringLiteral("actionEdit_Last_Row"));
    editLastRowAction->setShortcut(QKeySequence(Qt::Key_F2));
    addAction(editLastRowAction);
    connect(editLastRowAction, &QAction::triggered, this, &MainWindow::editLastAttributeRow);

    addRowAction = new QAction(this);
    addRowAction->setObjectName(QStringLiteral("actionAdd_Row"));
    addRowAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Return")));
    addAction(addRowAction);
    connect(addRowAction, &QAction::triggered, this, &MainWindow::addAttributeRow);

    deleteAction = new QAction(this);
    deleteAction->setObjectName(QStringLiteral("actionDelete_Selection"));
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(deleteAction);
    connect(deleteAction, &QAction::triggered, this, &MainWindow::deleteWhereFocused);

    backspaceAction = new QAction(this);
    backspaceAction->setObjectName(QStringLiteral("actionDelete_Selection_Backspace"));
    backspaceAction->setShortcut(QKeySequence(Qt::Key_Backspace));
    backspaceAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(backspaceAction);
    connect(backspaceAction, &QAction::triggered, this, &MainWindow::deleteWhereFocused);
}

void MainWindow::setupToolBar()
{
    if (!ui->toolBar)
        return;
    ui->toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (!ui->actionToggle_Theme)
        return;

    auto* spacer = new QWidget(ui->toolBar);
    spacer->setObjectName(QStringLiteral("toolBarThemeSpacer"));
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    spacer->setMinimumWidth(0);

    const QList<QAction*> actions = ui->toolBar->actions();
    const int index = actions.indexOf(ui->actionToggle_Theme);
    QAction* before = ui->actionToggle_Theme;
    if (index > 0 && actions.at(index - 1)->isSeparator())
        before = actions.at(index - 1);
    ui->toolBar->insertWidget(before, spacer);
}

void MainWindow::createEmptyProject()
{
    if (project) {
        project->deleteLater();
        project = nullptr;
    }
    project = new ProjectItem(this);
    project->setName(QStringLiteral("Untitled Project"));

    currentModel = project->addModel();
    currentModel->setName(QStringLiteral("Model 1"));
    currentModel->setDialect(dialectCombo ? dialectCombo->currentText() : QStringLiteral("Conceptual ER"));

    currentDiagram = currentModel->addDiagram();
    currentDiagram->setName(QStringLiteral("Diagram 1"));
}

void MainWindow::on_actionAbout_Quillmap_triggered()
{
    auto* dialog = new AboutDialog(this);
    dialog->show();
}
