#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/aboutdialog.h"
#include "app/busyspinnerwidget.h"
#include "app/dialoghooks.h"
#include "app/documentfile.h"
#include "app/sceneexporter.h"
#include "app/themeutils.h"
#include "details/dialects.h"
#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorereditkeyfilter.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/entityrows.h"
#include "explorer/explorerkinds.h"
#include "explorer/modelpruner.h"
#include "explorer/projecttreeitemdelegate.h"
#include "explorer/projecttreemodel.h"
#include "explorer/storeddiagrams.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/itemid.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGraphicsPathItem>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItem>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <cmath>
#include <exception>
#include <memory>
#include <utility>

// ============================================================ construction

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

    connect(dialectCombo, &QComboBox::currentTextChanged, this, &MainWindow::onDialectChanged);
    if (scene)
        scene->setDialect(dialectCombo->currentText());

    createEmptyProject();
    rebuildProjectTree();
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
    connect(deleteAction, &QAction::triggered, this, &MainWindow::deleteSelection);

    backspaceAction = new QAction(this);
    backspaceAction->setObjectName(QStringLiteral("actionDelete_Selection_Backspace"));
    backspaceAction->setShortcut(QKeySequence(Qt::Key_Backspace));
    backspaceAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(backspaceAction);
    connect(backspaceAction, &QAction::triggered, this, &MainWindow::deleteSelection);
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

// ============================================================ selection

EntityItem* MainWindow::selectedEntity() const
{
    if (!scene)
        return nullptr;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == DiagramItemType::Entity)
            return static_cast<EntityItem*>(item);
    }
    return nullptr;
}

namespace {

// The current entity is only remembered from the last selection change; a
// keyboard command makes sure it is still on the canvas before using it.
bool isOnScene(const ERScene* scene, const EntityItem* entity)
{
    return scene && entity && entity->scene() == scene;
}

} // namespace

void MainWindow::onSceneSelectionChanged()
{
    const bool clearing = scene && scene->isClearing();
    if (suppressModelSync || clearing) {
        currentEntity = nullptr;
        return;
    }
    currentEntity = selectedEntity();
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

// ============================================================ theme

QSize MainWindow::toolBarIconSize() const
{
    return ui->toolBar ? ui->toolBar->iconSize() : QSize(18, 18);
}

void MainWindow::fillActionIconCaches()
{
    const QSize size = toolBarIconSize();
    const QList<QAction*> actions = findChildren<QAction*>();
    for (QAction* action : actions) {
        const QIcon icon = action->icon();
        if (icon.isNull())
            continue;
        if (!designedActionIcons.contains(action))
            designedActionIcons.insert(action, icon);
        if (!invertedActionIcons.contains(action))
            invertedActionIcons.insert(action, makeInvertedIcon(icon, size));
        // An action that goes away must not stay behind as a dangling key.
        connect(action, &QObject::destroyed, this, [this, action] {
            designedActionIcons.remove(action);
            invertedActionIcons.remove(action);
        });
    }
}

void MainWindow::ensureToolButtonIconCache()
{
    const QList<QToolButton*> buttons = findChildren<QToolButton*>();
    for (QToolButton* button : buttons) {
        if (button->icon().isNull() || button->defaultAction() || designedToolButtonIcons.contains(button))
            continue;
        QSize size = button->iconSize();
        if (size.width() <= 0 || size.height() <= 0)
            size = QSize(16, 16);
        designedToolButtonIcons.insert(button, button->icon());
        invertedToolButtonIcons.insert(button, makeInvertedIcon(button->icon(), size));
        // A button that goes away must not stay behind as a dangling key.
        connect(button, &QObject::destroyed, this, [this, button] {
            designedToolButtonIcons.remove(button);
            invertedToolButtonIcons.remove(button);
        });
    }
}

void MainWindow::applyThemedToolButtonIcons(ThemeKind kind)
{
    ensureToolButtonIconCache();
    const bool dark = kind != ThemeKind::Light;
    for (auto it = designedToolButtonIcons.cbegin(); it != designedToolButtonIcons.cend(); ++it) {
        const QIcon icon = dark ? invertedToolButtonIcons.value(it.key()) : it.value();
        if (!icon.isNull())
            it.key()->setIcon(icon);
    }
}

void MainWindow::applyTableTheme(ThemeKind kind)
{
    QTreeView* tree = ui->treeViewProject;
    if (!tree)
        return;
    const QColor darkText(0xa9, 0xb7, 0xc6);
    const QColor lightText(0x1e, 0x1e, 0x1e);
    const QPalette p = kind != ThemeKind::Light
        ? paletteForAllGroups({{QPalette::Base, QColor(0x31, 0x33, 0x35)},
                               {QPalette::AlternateBase, QColor(0x26, 0x28, 0x2a)},
                               {QPalette::Text, darkText},
                               {QPalette::WindowText, darkText},
                               {QPalette::ButtonText, darkText},
                               {QPalette::Mid, darkText},
                               {QPalette::Highlight, QColor(0x4b, 0x6e, 0xaf)},
                               {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)}})
        : paletteForAllGroups({{QPalette::Base, QColor(0xff, 0xff, 0xff)},
                               {QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf0)},
                               {QPalette::Text, lightText},
                               {QPalette::WindowText, lightText},
                               {QPalette::ButtonText, lightText},
                               {QPalette::Mid, QColor(0x5a, 0x5a, 0x5a)},
                               {QPalette::Highlight, QColor(0x00, 0x78, 0xd4)},
                               {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)}});
    tree->setPalette(p);
    tree->viewport()->setPalette(p);
    tree->setAutoFillBackground(true);
    tree->viewport()->setAutoFillBackground(true);
    tree->update();
    tree->viewport()->update();
}

void MainWindow::adjustThemeColors(ThemeManager& tm)
{
    const QSize iconSize = toolBarIconSize();
    const bool dark = tm.kind() != ThemeKind::Light;

    QApplication::setPalette(dark ? makeDarkPalette() : makeLightPalette());

    QFile sheet(dark ? QStringLiteral(":/styles/resources/styles/app-dark.qss")
                     : QStringLiteral(":/styles/resources/styles/app-light.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    else
        qApp->setStyleSheet(QString());

    applyTableTheme(tm.kind());

    const QList<QWidget*> widgets = findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const bool aboutWindow = qobject_cast<AboutDialog*>(w) || qobject_cast<AboutDialog*>(w->window());
        if (!qobject_cast<QToolButton*>(w) && !qobject_cast<QToolBar*>(w) && !aboutWindow)
            w->setAttribute(Qt::WA_StyledBackground, true);
        w->style()->unpolish(w);
        w->style()->polish(w);
        w->update();
    }

    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    const QList<QAction*> actions = findChildren<QAction*>();
    for (QAction* action : actions) {
        const QIcon icon = dark ? invertedActionIcons.value(action) : designedActionIcons.value(action);
        if (!icon.isNull())
            action->setIcon(icon);
    }

    applyThemedToolButtonIcons(tm.kind());
    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    if (scene) {
        scene->update(scene->sceneRect());
        // Entities re-apply their colours here once they exist; text items
        // and groups repaint.
        const QList<QGraphicsItem*> items = scene->items();
        for (QGraphicsItem* item : items) {
            const int type = item->type();
            if (type == DiagramItemType::Entity || type == DiagramItemType::Text || type == DiagramItemType::Group)
                item->update();
        }
    }

    ui->dockWidget->update();
    ui->dockWidgetContents->update();
    if (ui->treeViewProject) {
        ui->treeViewProject->update();
        ui->treeViewProject->viewport()->update();
        syncTreeSelectionFromScene();
    }
    ui->view->update();
    ui->view->viewport()->update();
}

void MainWindow::on_actionToggle_Theme_triggered()
{
    ThemeManager& tm = ThemeManager::instance();
    tm.setTheme(tm.kind() == ThemeKind::Dark ? ThemeKind::Light : ThemeKind::Dark);
    adjustThemeColors(tm);
}

// ============================================================ status bar and zoom

void MainWindow::setupStatusBar()
{
    // Header bar above the canvas: no title bar, fixed in the top area.
    QDockWidget* header = ui->dockWidgetPrjModDiag;
    auto* emptyTitle = new QWidget(header);
    emptyTitle->setFixedHeight(0);
    header->setTitleBarWidget(emptyTitle);
    header->setFeatures(QDockWidget::NoDockWidgetFeatures);
    header->setAllowedAreas(Qt::TopDockWidgetArea);
    header->setFloating(false);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header->show();

    projectCaption = ui->labelProjectCaption;
    modelCaption = ui->labelModelCaption;
    dialectCaption = ui->labelDialectCaption;
    diagramCaption = ui->labelDiagramCaption;
    projectNameEdit = ui->editProjectName;
    modelNameEdit = ui->editModelName;
    diagramNameEdit = ui->editDiagramName;
    dialectCombo = ui->comboBoxDatabase;
    connect(projectNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onProjectNameEditingFinished);
    connect(modelNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onModelNameEditingFinished);
    connect(diagramNameEdit, &QLineEdit::editingFinished, this, &MainWindow::onDiagramNameEditingFinished);

    QStatusBar* bar = statusBar();

    filenameFrame = new QFrame(bar);
    filenameFrame->setObjectName(QStringLiteral("filenameFrame"));
    auto* fileLayout = new QHBoxLayout(filenameFrame);
    fileLayout->setContentsMargins(5, 2, 5, 2);
    labelFileName = new QLabel(filenameFrame);
    labelFileName->setObjectName(QStringLiteral("labelFileName"));
    // A file name is shown as it is, never interpreted as markup.
    labelFileName->setTextFormat(Qt::PlainText);
    labelFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelFileName->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    labelFileName->setMinimumWidth(80);
    labelFileName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fileLayout->addWidget(labelFileName);
    bar->addWidget(filenameFrame, 1);
    setFilePathDisplay(QString());

    alertsFrame = new QFrame(bar);
    alertsFrame->setObjectName(QStringLiteral("alertsFrame"));
    auto* alertsLayout = new QHBoxLayout(alertsFrame);
    alertsLayout->setContentsMargins(5, 2, 5, 2);
    buttonAlerts = new QToolButton(alertsFrame);
    buttonAlerts->setObjectName(QStringLiteral("buttonAlerts"));
    buttonAlerts->setAutoRaise(true);
    buttonAlerts->setIcon(QIcon(QStringLiteral(":/images/resources/images/notification.png")));
    buttonAlerts->setEnabled(false);
    alertsLayout->addWidget(buttonAlerts);
    bar->addPermanentWidget(alertsFrame, 0);

    zoomFrame = new QFrame(bar);
    zoomFrame->setObjectName(QStringLiteral("zoomFrame"));
    zoomFrame->setMinimumWidth(248);
    auto* zoomLayout = new QHBoxLayout(zoomFrame);
    zoomLayout->setContentsMargins(5, 2, 5, 2);
    zoomLayout->setSpacing(4);

    buttonFitAll = new QToolButton(zoomFrame);
    buttonFitAll->setObjectName(QStringLiteral("buttonFitAll"));
    buttonFitAll->setAutoRaise(true);
    buttonFitAll->setIconSize(QSize(16, 16));
    buttonFitAll->setToolButtonStyle(Qt::ToolButtonIconOnly);
    buttonFitAll->setDefaultAction(fitAllAction);
    zoomLayout->addWidget(buttonFitAll);

    buttonZoomReset = new QToolButton(zoomFrame);
    buttonZoomReset->setObjectName(QStringLiteral("buttonZoomReset"));
    buttonZoomReset->setAutoRaise(true);
    buttonZoomReset->setToolButtonStyle(Qt::ToolButtonTextOnly);
    buttonZoomReset->setDefaultAction(resetZoomAction);
    zoomLayout->addWidget(buttonZoomReset);

    zoomSlider = new QSlider(Qt::Horizontal, zoomFrame);
    zoomSlider->setObjectName(QStringLiteral("zoomSlider"));
    zoomSlider->setRange(10, 400);
    zoomSlider->setValue(100);
    zoomSlider->setSingleStep(10);
    zoomSlider->setPageStep(10);
    zoomSlider->setTickInterval(10);
    zoomSlider->setMinimumWidth(90);
    zoomSlider->setToolTip(QStringLiteral("Zoom 100%"));
    zoomLayout->addWidget(zoomSlider, 1);

    labelZoomPercent = new QLabel(QStringLiteral("100%"), zoomFrame);
    labelZoomPercent->setObjectName(QStringLiteral("labelZoomPercent"));
    labelZoomPercent->setMinimumWidth(40);
    labelZoomPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomLayout->addWidget(labelZoomPercent);

    bar->addPermanentWidget(zoomFrame, 0);
    connect(zoomSlider, &QSlider::valueChanged, this, &MainWindow::setViewZoom);

    bar->show();
}

void MainWindow::sliderSetZoom(double value)
{
    const int percent = static_cast<int>(std::lround(value * 100.0));
    labelZoomPercent->setText(QStringLiteral("%1%").arg(percent));
    zoomSlider->setToolTip(QStringLiteral("Zoom %1%").arg(percent));
    if (updatingViewZoom)
        return;
    updatingZoomSlider = true;
    zoomSlider->setValue(percent);
    updatingZoomSlider = false;
}

void MainWindow::setViewZoom(int value)
{
    labelZoomPercent->setText(QStringLiteral("%1%").arg(value));
    zoomSlider->setToolTip(QStringLiteral("Zoom %1%").arg(value));
    if (updatingZoomSlider)
        return;
    updatingViewZoom = true;
    ui->view->setZoom(value / 100.0);
    updatingViewZoom = false;
}

void MainWindow::setFilePathDisplay(const QString& path)
{
    currentFilePath = path;
    const QString shown = path.isEmpty() ? QStringLiteral("No file") : QFileInfo(path).fileName();
    const QString tip = path.isEmpty() ? QStringLiteral("No file") : path;
    labelFileName->setText(shown);
    labelFileName->setToolTip(tip);
    filenameFrame->setToolTip(tip);
}

// ============================================================ tool actions

void MainWindow::setupDiagramToolButtons()
{
    QSize size(16, 16);
    if (ui->toolBar) {
        const QSize s = ui->toolBar->iconSize();
        if (s.width() > 0 && s.height() > 0)
            size = s;
    }
    const std::pair<QToolButton*, QAction*> pairs[] = {
        {ui->toolButtonAddTable, ui->actionAdd_Table},
        {ui->toolButtonAddView, ui->actionAdd_View},
        {ui->toolButtonAddRelationship, ui->actionAdd_Relationship},
        {ui->toolButtonAddColumn, ui->actionAdd_Column},
        {ui->toolButtonAddText, ui->actionAdd_Text},
        {ui->toolButtonAddGroup, ui->actionAdd_Group},
        {ui->toolButtonEntityColors, ui->actionEntity_Colors},
    };
    for (const auto& [button, action] : pairs) {
        if (!button || !action)
            continue;
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(size);
    }
}

void MainWindow::leaveOtherAddTools(QAction* keep)
{
    const std::pair<QAction*, void (ERView::*)(bool)> placingTools[] = {
        {ui->actionAdd_Table, &ERView::setAddTableMode},
        {ui->actionAdd_View, &ERView::setAddViewMode},
        {ui->actionAdd_Text, &ERView::setAddTextMode},
        {ui->actionAdd_Group, &ERView::setAddGroupMode},
    };
    for (const auto& [action, setMode] : placingTools) {
        if (keep != action && action->isChecked()) {
            (ui->view->*setMode)(false);
            action->setChecked(false);
        }
    }
    if (keep != ui->actionAdd_Relationship && ui->actionAdd_Relationship->isChecked()) {
        ui->view->setAddRelationshipMode(false);
        ui->actionAdd_Relationship->setChecked(false);
        dropRelationshipStart();
    }
}

void MainWindow::switchPlacingTool(QAction* tool, void (ERView::*setMode)(bool), bool on)
{
    if (on) {
        leaveOtherAddTools(tool);
        (ui->view->*setMode)(true);
    } else {
        (ui->view->*setMode)(false);
        ui->view->unsetCursor();
    }
}

void MainWindow::dropRelationshipStart()
{
    clearRelationshipPreview();
    if (isOnScene(scene, relationshipStartEntity))
        relationshipStartEntity->setSelected(false);
    relationshipStartEntity = nullptr;
}

void MainWindow::on_actionAdd_Table_triggered(bool checked)
{
    switchPlacingTool(ui->actionAdd_Table, &ERView::setAddTableMode, checked);
}

void MainWindow::on_actionAdd_View_triggered(bool checked)
{
    switchPlacingTool(ui->actionAdd_View, &ERView::setAddViewMode, checked);
}

void MainWindow::on_actionAdd_Text_triggered(bool checked)
{
    switchPlacingTool(ui->actionAdd_Text, &ERView::setAddTextMode, checked);
}

void MainWindow::on_actionAdd_Group_triggered(bool checked)
{
    switchPlacingTool(ui->actionAdd_Group, &ERView::setAddGroupMode, checked);
}

void MainWindow::on_actionAdd_Relationship_triggered(bool checked)
{
    leaveOtherAddTools(ui->actionAdd_Relationship);
    if (checked) {
        relationshipStartEntity = nullptr;
        ui->view->setAddRelationshipMode(true);
    } else {
        ui->view->unsetCursor();
        dropRelationshipStart();
        ui->view->setAddRelationshipMode(false);
    }
}

void MainWindow::on_actionAdd_Column_triggered()
{
    if (!currentEntity) {
        qDebug() << "No entity selected for adding column";
        return;
    }
    if (isOnScene(scene, currentEntity))
        currentEntity->onNewAttributeRequested();
    syncTreeSelectionFromScene();
}

void MainWindow::selectAll()
{
    if (!scene)
        return;
    const QList<QGraphicsItem*> items = scene->items();
    for (QGraphicsItem* item : items) {
        if (ERScene::isGlowable(item))
            item->setSelected(true);
    }
    syncTreeSelectionFromScene();
}

void MainWindow::on_actionSelect_All_triggered()
{
    selectAll();
}

void MainWindow::on_actionShow_Properties_triggered()
{
    if (ui->dockWidget->isVisible()) {
        ui->dockWidget->hide();
        ui->actionShow_Properties->setText(QStringLiteral("Show Sidebar"));
    } else {
        ui->dockWidget->show();
        ui->actionShow_Properties->setText(QStringLiteral("Hide Sidebar"));
    }
}

void MainWindow::on_dockWidget_visibilityChanged(bool visible)
{
    ui->actionShow_Properties->setChecked(visible);
}

void MainWindow::on_actionAuto_layout_triggered()
{
    if (!scene || busy->isBusy())
        return;
    // Automatic layout runs here behind the busy indicator.
}

void MainWindow::on_action_Exit_triggered()
{
    QCoreApplication::exit(0);
}

// ============================================================ canvas tools

void MainWindow::onSceneClickedPlaceItem(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    auto* erScene = qobject_cast<ERScene*>(ui->view->scene());
    if (!erScene)
        return;
    // The tool stays on: one click, one new item.
    if (ui->actionAdd_Table->isChecked()) {
        erScene->addTableAt(scenePos);
    } else if (ui->actionAdd_View->isChecked()) {
        erScene->addViewAt(scenePos);
    } else if (ui->actionAdd_Text->isChecked()) {
        erScene->addTextAt(scenePos);
    } else if (ui->actionAdd_Group->isChecked()) {
        erScene->addGroupAt(scenePos);
    }
}

EntityItem* MainWindow::entityAtScenePos(QPointF scenePos) const
{
    QGraphicsScene* s = ui->view->scene();
    if (!s)
        return nullptr;
    QGraphicsItem* hit = s->itemAt(scenePos, QTransform());
    if (!hit)
        return nullptr;
    for (QGraphicsItem* item = hit; item; item = item->parentItem()) {
        if (item->type() == DiagramItemType::Entity) {
            auto* entity = static_cast<EntityItem*>(item);
            qDebug() << "[entityAtScenePos] Found EntityItem:" << entity->title() << "from item type:" << hit->type();
            return entity;
        }
    }
    qDebug() << "[entityAtScenePos] No EntityItem parent found for item at scene position" << scenePos;
    return nullptr;
}

void MainWindow::onSceneClickedAddRelationship(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !ui->view->scene() || !ui->actionAdd_Relationship->isChecked())
        return;
    EntityItem* entity = entityAtScenePos(scenePos);
    if (!entity) {
        qDebug() << "[Add Relationship] No entity found at position" << scenePos << "- canceling operation";
        dropRelationshipStart();
        ui->view->setAddRelationshipMode(false);
        ui->actionAdd_Relationship->setChecked(false);
        return;
    }
    if (!relationshipStartEntity) {
        relationshipStartEntity = entity;
        // Unique: a second first click on the same entity adds no second
        // connection.
        connect(entity, &QObject::destroyed, this, &MainWindow::onRelationshipStartDestroyed,
                Qt::UniqueConnection);
        qDebug() << "[Add Relationship] First click on entity:" << entity->title();
        entity->setSelected(true);
        showRelationshipPreview(entity, scenePos);
        return;
    }

    QPointer<EntityItem> start = relationshipStartEntity;
    relationshipStartEntity = nullptr;
    clearRelationshipPreview();
    auto* erScene = qobject_cast<ERScene*>(ui->view->scene());
    if (!erScene) {
        qWarning() << "[Add Relationship] Scene is not ERScene";
        if (start)
            start->setSelected(false);
        return;
    }
    EdgeItem* edge = erScene->createEdge(start, entity, true);
    if (!edge) {
        qWarning() << "[Add Relationship] Failed to create edge between" << (start ? start->title() : QString())
                   << "and" << entity->title();
        if (start)
            start->setSelected(false);
        return;
    }
    if (!edge->isViewEdge()) {
        edge->setStartCard(CardinalityOne);
        edge->setEndCard(CardinalityMany);
    }
    qDebug() << "[Add Relationship] Edge created successfully:" << (start ? start->title() : QString()) << "->"
             << entity->title();
    if (start)
        start->setSelected(false);
}

void MainWindow::onRelationshipStartDestroyed()
{
    // The guarded pointer is already null when the start entity went; a
    // destroyed entity that was not (or no longer) the start leaves a
    // pending relationship alone.
    if (!relationshipStartEntity)
        clearRelationshipPreview();
}

void MainWindow::onCanvasEscapePressed()
{
    // Triggering a checked tool action switches that tool off.
    for (QAction* action : {ui->actionAdd_Table, ui->actionAdd_View, ui->actionAdd_Text, ui->actionAdd_Group,
                            ui->actionAdd_Relationship}) {
        if (action->isChecked()) {
            action->trigger();
            return;
        }
    }
}

void MainWindow::onSceneMouseMoved(QPointF scenePos)
{
    if (ui->actionAdd_Relationship->isChecked() && relationshipStartEntity)
        updateRelationshipPreview(scenePos);
}

void MainWindow::showRelationshipPreview(EntityItem* from, QPointF to)
{
    clearRelationshipPreview();
    if (!from || !scene)
        return;
    QPainterPath line;
    line.moveTo(from->sceneBoundingRect().center());
    line.lineTo(to);
    relationshipPreview = new QGraphicsPathItem(line);
    QPen pen(QBrush(QColor(Qt::blue)), 2, Qt::DashLine, Qt::SquareCap);
    relationshipPreview->setPen(pen);
    relationshipPreview->setZValue(-2);
    scene->addItem(relationshipPreview);
}

void MainWindow::updateRelationshipPreview(QPointF to)
{
    if (!relationshipPreview || !relationshipStartEntity)
        return;
    QPainterPath line;
    line.moveTo(relationshipStartEntity->sceneBoundingRect().center());
    line.lineTo(to);
    relationshipPreview->setPath(line);
}

void MainWindow::clearRelationshipPreview()
{
    if (!relationshipPreview)
        return;
    if (relationshipPreview->scene())
        relationshipPreview->scene()->removeItem(relationshipPreview);
    delete relationshipPreview;
    relationshipPreview = nullptr;
}

void MainWindow::editLastAttributeRow()
{
    if (!isOnScene(scene, currentEntity))
        return;
    EntityItem* entity = currentEntity;
    if (entity->attributes().isEmpty()) {
        entity->onNewAttributeRequested();
        return;
    }
    int row = -1;
    for (int i = entity->attributeCount() - 1; i >= 0; --i) {
        if (entity->isAttributeVisible(i)) {
            row = i;
            break;
        }
    }
    if (row < 0) {
        entity->setDisplayMode(EntityItem::FullMode);
        row = entity->attributeCount() - 1;
    }
    if (SingleLineTextItem* label = entity->nameLabel(row))
        label->startEditing();
}

void MainWindow::addAttributeRow()
{
    if (isOnScene(scene, currentEntity))
        currentEntity->onNewAttributeRequested();
}

// ============================================================ files, export, import

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
                qDebug() << (pdf ? "Diagram exported to PDF successfully" : "Diagram exported to SVG successfully");
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
    // Writes the diagram as Mermaid erDiagram text.
}

void MainWindow::on_actionExport_to_Drawio_triggered()
{
    if (busy->isBusy())
        return;
    // Writes the diagram as a draw.io file.
}

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

// ============================================================ style dialogs

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

// ============================================================ help

void MainWindow::on_actionAbout_Quillmap_triggered()
{
    auto* dialog = new AboutDialog(this);
    dialog->show();
}

// ============================================================ explorer and model synchronisation

void MainWindow::initializeTreeModel()
{
    treeModel = new ProjectTreeModel(this);
    treeModel->setColumnCount(1);

    treeProxy = new ExplorerFilterProxy(this);
    treeProxy->setRecursiveFilteringEnabled(true);
    treeProxy->setDynamicSortFilter(true);
    treeProxy->setSourceModel(treeModel);

    QTreeView* tree = ui->treeViewProject;
    if (!tree)
        return;
    tree->setModel(treeProxy);
    tree->setItemDelegate(new ProjectTreeItemDelegate(tree));

    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setSortingEnabled(false);
    tree->setDragEnabled(true);
    tree->setAcceptDrops(false);
    tree->setDropIndicatorShown(false);
    tree->setDragDropMode(QAbstractItemView::DragOnly);
    tree->setDefaultDropAction(Qt::CopyAction);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // F2 is also the window's shortcut for editing a canvas row; on an
    // editable explorer row it renames the row instead.
    new ExplorerEditKeyFilter(tree);
    // For every column, so that the column a rebuild makes anew keeps it.
    if (QHeaderView* header = tree->header())
        header->setSectionResizeMode(QHeaderView::ResizeToContents);

    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::onProjectTreeSelectionChanged);
    connect(treeModel, &QStandardItemModel::itemChanged, this, &MainWindow::onProjectTreeItemChanged);
    connect(ui->lineEditSearch, &QLineEdit::textChanged, this, &MainWindow::onExplorerSearchTextChanged);
    connect(ui->toolButtonFilter, &QToolButton::clicked, this, &MainWindow::showExplorerFilterPopup);
    connect(ui->toolButtonAdd, &QToolButton::clicked, this, &MainWindow::showExplorerAddMenu);
    connect(ui->toolButtonDel, &QToolButton::clicked, this, &MainWindow::removeExplorerSelection);

    // Shows as checked while the filter hides any kind of object.
    ui->toolButtonFilter->setCheckable(true);
}

QStandardItem* MainWindow::makeTreeItem(const QString& text, const QString& kind, const QString& id, bool editable)
{
    return ProjectTreeModel::makeItem(text, kind, id, editable);
}

void MainWindow::rebuildProjectTree()
{
    if (!treeModel || !ui->treeViewProject)
        return;

    const bool wasSyncing = std::exchange(syncingSelection, true);
    if (!project) {
        treeModel->rebuild(nullptr, nullptr, nullptr);
        syncingSelection = wasSyncing;
        refreshNameEditors();
        return;
    }

    const bool wasUpdating = std::exchange(updatingTree, true);
    treeModel->rebuild(project, currentModel, currentDiagram);
    ui->treeViewProject->expandAll();
    updatingTree = wasUpdating;
    syncingSelection = wasSyncing;

    refreshNameEditors();
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

void MainWindow::updateTreeCurrentMarkers()
{
    if (!treeModel)
        return;
    const bool wasUpdating = std::exchange(updatingTree, true);
    treeModel->updateCurrentMarkers(currentModel, currentDiagram);
    updatingTree = wasUpdating;
}

QStandardItem* MainWindow::findTreeItem(QStandardItem* parent, const QString& kind, const QString& id) const
{
    if (!treeModel)
        return ProjectTreeModel::findItemByWalk(parent, kind, id);
    return treeModel->findItem(parent, kind, id);
}

QStandardItem* MainWindow::findTreeItem(const QString& kind, const QString& id) const
{
    return treeModel ? treeModel->findItem(kind, id) : nullptr;
}

void MainWindow::selectExplorerItem(const QString& kind, const QString& id)
{
    QStandardItem* row = findTreeItem(kind, id);
    QTreeView* tree = ui->treeViewProject;
    if (!row || !tree || !treeProxy)
        return;
    const QModelIndex viewIndex = treeProxy->mapFromSource(row->index());
    if (!viewIndex.isValid())
        return;  // filtered out
    tree->setCurrentIndex(viewIndex);
    tree->scrollTo(viewIndex, QAbstractItemView::EnsureVisible);
}

ModelItem* MainWindow::modelForTreeIndex(const QModelIndex& index) const
{
    if (!project)
        return nullptr;
    QModelIndex row = index;
    if (treeProxy && row.model() == treeProxy)
        row = treeProxy->mapToSource(row);
    for (; row.isValid(); row = row.parent()) {
        if (row.data(ExplorerKind::KindRole).toString() == ExplorerKind::Model)
            return project->model(row.data(ExplorerKind::IdRole).toString());
    }
    return currentModel;
}

void MainWindow::updateTreeItemText(const QString& kind, const QString& id, const QString& text)
{
    QStandardItem* row = findTreeItem(kind, id);
    if (!row || row->text() == text)
        return;
    const bool wasUpdating = std::exchange(updatingTree, true);
    row->setText(text);
    updatingTree = wasUpdating;
}

namespace {

void setTextIfDifferent(QLineEdit* edit, const QString& text)
{
    // Setting the same text again would move the cursor and drop the undo
    // history for nothing.
    if (edit->text() != text)
        edit->setText(text);
}

QString modelRowText(const ModelItem* model)
{
    return model->name().isEmpty() ? QStringLiteral("Model") : model->name();
}

QString diagramRowText(const DiagramItem* diagram)
{
    return diagram->name().isEmpty() ? QStringLiteral("Diagram") : diagram->name();
}

// The explorer row (kind, id) that a selected scene item stands for: "table"
// or "view" for an entity, "relationship" for an edge, nothing otherwise.
std::pair<QString, QString> explorerRowOfSceneItem(const QGraphicsItem* item)
{
    switch (item->type()) {
    case DiagramItemType::Entity: {
        const auto* entity = static_cast<const EntityItem*>(item);
        return {entity->kind() == EntityItem::ViewKind ? ExplorerKind::View : ExplorerKind::Table,
                entity->id()};
    }
    case DiagramItemType::Edge: {
        const auto* edge = dynamic_cast<const EdgeItem*>(item);
        if (!edge)
            return {};
        return {ExplorerKind::Relationship, edge->id()};
    }
    default:
        return {};
    }
}

} // namespace

void MainWindow::refreshNameEditors()
{
    if (!projectNameEdit || !modelNameEdit || !diagramNameEdit)
        return;
    {
        const QSignalBlocker blockProject(projectNameEdit);
        const QSignalBlocker blockModel(modelNameEdit);
        const QSignalBlocker blockDiagram(diagramNameEdit);
        setTextIfDifferent(projectNameEdit, project ? project->name() : QString());
        setTextIfDifferent(modelNameEdit, currentModel ? currentModel->name() : QString());
        modelNameEdit->setEnabled(currentModel != nullptr);
        setTextIfDifferent(diagramNameEdit, currentDiagram ? currentDiagram->name() : QString());
        diagramNameEdit->setEnabled(currentDiagram != nullptr);
    }
    if (!dialectCombo)
        return;
    const QSignalBlocker blockDialect(dialectCombo);
    dialectCombo->setEnabled(currentModel != nullptr);
    if (!currentModel || currentModel->dialect().isEmpty())
        return;
    const QString dialect = currentModel->dialect();
    int entry = dialectCombo->findText(dialect);
    // A dialect stored under an alias ("postgresql") still shows as its
    // entry rather than leaving the previous model's dialect on display.
    if (entry < 0)
        entry = dialectCombo->findText(normalizeDialect(dialect));
    if (entry >= 0)
        dialectCombo->setCurrentIndex(entry);
    else
        dialectCombo->setCurrentText(dialect);
}

template <typename Item>
void MainWindow::applyContainerName(Item* item, const QString& kind, const QString& name,
                                    const QString& storedRowText)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == item->name()) {
        // Refused or unchanged: the edit and the row show the stored name
        // again (a padded entry must not stay on the row either).
        refreshNameEditors();
        updateTreeItemText(kind, item->id(), storedRowText);
        return;
    }
    updatingTree = true;
    item->setName(trimmed);
    updateTreeItemText(kind, item->id(), trimmed);
    refreshNameEditors();
    updatingTree = false;
}

void MainWindow::applyProjectName(const QString& name)
{
    if (updatingTree || !project)
        return;
    applyContainerName(project, ExplorerKind::Project, name, project->name());
}

void MainWindow::applyModelName(const QString& modelId, const QString& name)
{
    if (updatingTree)
        return;
    // Only an empty id means "the current model": an id that names no model
    // must not rename whichever model happens to be current.
    ModelItem* model = modelId.isEmpty() ? currentModel : (project ? project->model(modelId) : nullptr);
    if (model)
        applyContainerName(model, ExplorerKind::Model, name, modelRowText(model));
}

void MainWindow::applyDiagramName(const QString& diagramId, const QString& name)
{
    if (updatingTree)
        return;
    // As for models: an unknown id renames nothing.
    DiagramItem* diagram =
        diagramId.isEmpty() ? currentDiagram : (project ? project->findDiagram(diagramId) : nullptr);
    if (diagram)
        applyContainerName(diagram, ExplorerKind::Diagram, name, diagramRowText(diagram));
}

void MainWindow::applyModelObjectName(const QString& kind, const QString& id, const QString& name,
                                      EntityItem* sourceEntity)
{
    if (updatingTree || suppressModelSync || id.isEmpty())
        return;
    const bool isView = kind == ExplorerKind::View;
    if (!isView && kind != ExplorerKind::Table)
        return;

    // The table or view of that id, and the model that owns it: the current
    // model first, then the project's models in name order.
    ModelItem* owner = nullptr;
    ViewItem* view = isView ? TableSync::findView(currentModel, project, id, &owner) : nullptr;
    TableItem* table = isView ? nullptr : TableSync::findTable(currentModel, project, id, &owner);
    if (!view && !table && sourceEntity && currentModel) {
        registerEntityInModel(sourceEntity);
        owner = currentModel;
        if (isView)
            view = currentModel->view(id);
        else
            table = currentModel->table(id);
    }
    if (!view && !table)
        return;
    const QString oldName = view ? view->name() : table->name();

    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        updateTreeItemText(kind, id, oldName);
        return;
    }
    EntityItem* entity = sourceEntity ? sourceEntity : findEntityOnScene(id);
    if (trimmed == oldName) {
        if (entity && entity->title() != trimmed) {
            const bool wasUpdating = std::exchange(updatingTree, true);
            entity->setTitle(trimmed);
            updatingTree = wasUpdating;
        }
        updateTreeItemText(kind, id, trimmed);
        return;
    }
    const bool wasUpdating = std::exchange(updatingTree, true);
    if (view)
        view->setName(trimmed);
    else
        table->setName(trimmed);
    if (entity && entity->title() != trimmed)
        entity->setTitle(trimmed);
    updateTreeItemText(kind, id, trimmed);
    // The stored copies that show it live in the diagrams of the model that
    // owns it, which need not be the current one.
    renameStoredEntityTitle(id, trimmed, owner);
    updatingTree = wasUpdating;
}

void MainWindow::onProjectTreeItemChanged(QStandardItem* item)
{
    if (updatingTree || syncingSelection || !item)
        return;
    const QString kind = item->data(ExplorerKind::KindRole).toString();
    const QString id = item->data(ExplorerKind::IdRole).toString();
    // The row's own text: for a model the bare name, not "name (dialect)".
    const QString text = item->text();
    if (kind == ExplorerKind::Project)
        applyProjectName(text);
    else if (kind == ExplorerKind::Model)
        applyModelName(id, text);
    else if (kind == ExplorerKind::Diagram)
        applyDiagramName(id, text);
    else if (kind == ExplorerKind::Table || kind == ExplorerKind::View)
        applyModelObjectName(kind, id, text);
}

void MainWindow::onProjectTreeSelectionChanged()
{
    if (syncingSelection || suppressModelSync || !project || !scene || scene->isClearing())
        return;

    QSet<QString> tableIds;
    QSet<QString> viewIds;
    QSet<QString> relationshipIds;
    QString diagramId;
    QString modelId;
    if (QItemSelectionModel* selection = ui->treeViewProject ? ui->treeViewProject->selectionModel() : nullptr) {
        const QModelIndexList rows = selection->selectedRows(0);
        for (const QModelIndex& row : rows) {
            const QString kind = row.data(ExplorerKind::KindRole).toString();
            const QString id = row.data(ExplorerKind::IdRole).toString();
            if (kind == ExplorerKind::Table)
                tableIds.insert(id);
            else if (kind == ExplorerKind::View)
                viewIds.insert(id);
            else if (kind == ExplorerKind::Relationship)
                relationshipIds.insert(id);
            else if (kind == ExplorerKind::Diagram)
                diagramId = id;
            else if (kind == ExplorerKind::Model)
                modelId = id;
        }
    }

    if (!diagramId.isEmpty()) {
        DiagramItem* diagram = project->findDiagram(diagramId);
        if (diagram && diagram != currentDiagram)
            loadDiagramItem(diagram);
        return;
    }
    if (ModelItem* model = modelId.isEmpty() ? nullptr : project->model(modelId)) {
        // Loading may have rebuilt the scene; the copy below works on it.
        switchToModel(model);
    }

    const bool wasSyncing = std::exchange(syncingSelection, true);
    const bool wereBlocked = scene->blockSignals(true);
    const QList<QGraphicsItem*> items = scene->items();
    for (QGraphicsItem* item : items) {
        if (item->parentItem())
            continue;
        bool wanted = item->isSelected();
        switch (item->type()) {
        case DiagramItemType::Entity: {
            const auto* entity = static_cast<const EntityItem*>(item);
            wanted = entity->kind() == EntityItem::ViewKind ? viewIds.contains(entity->id())
                                                             : tableIds.contains(entity->id());
            break;
        }
        case DiagramItemType::Edge: {
            const auto* edge = dynamic_cast<const EdgeItem*>(item);
            if (!edge || !edge->fromEntity() || !edge->toEntity() || !edge->fromEntity()->scene()
                || !edge->toEntity()->scene())
                continue;  // an edge missing an end is left alone
            wanted = relationshipIds.contains(edge->id());
            break;
        }
        case DiagramItemType::Text:
        case DiagramItemType::Group:
            wanted = false;
            break;
        default:
            continue;
        }
        if (item->isSelected() != wanted)
            item->setSelected(wanted);
    }
    syncingSelection = wasSyncing;
    currentEntity = selectedEntity();
    refreshTableDetails();
    scene->blockSignals(wereBlocked);
}

void MainWindow::onExplorerSearchTextChanged(const QString& text)
{
    Q_UNUSED(text)
    // Narrows the explorer to the rows whose text contains the search text.
}

void MainWindow::showExplorerFilterPopup()
{
    // Lets the user choose which kinds of objects the explorer hides.
}

void MainWindow::showExplorerAddMenu()
{
    // Offers to add a model, diagram, table, view or relationship.
}

void MainWindow::removeExplorerSelection()
{
    // Removes the selected explorer objects from the model, asking first.
}

void MainWindow::syncTreeSelectionFromScene()
{
    if (syncingSelection || suppressModelSync || !treeModel || !treeProxy || !ui->treeViewProject || !scene
        || scene->isClearing())
        return;
    QTreeView* tree = ui->treeViewProject;
    QItemSelectionModel* selectionModel = tree->selectionModel();
    if (!selectionModel)
        return;

    syncingSelection = true;
    QItemSelection selection;
    QModelIndex first;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (const QGraphicsItem* item : selected) {
        const auto [kind, id] = explorerRowOfSceneItem(item);
        if (kind.isEmpty())
            continue;
        QStandardItem* row = findTreeItem(kind, id);
        if (!row)
            continue;
        const QModelIndex viewIndex = treeProxy->mapFromSource(row->index());
        if (!viewIndex.isValid())
            continue;  // filtered out
        selection.select(viewIndex, viewIndex);
        if (!first.isValid())
            first = viewIndex;
    }
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid())
        tree->scrollTo(first, QAbstractItemView::EnsureVisible);
    syncingSelection = false;
}

void MainWindow::syncModelFromScene()
{
    if (!currentModel || !scene)
        return;
    // Entities first, so that every edge finds the tables at its ends.
    const QList<QGraphicsItem*> items = scene->items(Qt::DescendingOrder);
    QList<EdgeItem*> edges;
    for (QGraphicsItem* item : items) {
        if (item->type() == DiagramItemType::Entity)
            registerEntityInModel(static_cast<EntityItem*>(item));
        else if (auto* edge = dynamic_cast<EdgeItem*>(item))
            edges.append(edge);
    }
    for (EdgeItem* edge : std::as_const(edges))
        registerEdgeInModel(edge);
}

void MainWindow::captureCurrentDiagram()
{
    if (!currentDiagram || !scene)
        return;
    currentDiagram->setData(scene->toJson());
}

bool MainWindow::loadDiagramItem(DiagramItem* diagram)
{
    if (!diagram || !scene)
        return false;
    // The outgoing diagram keeps the live state; loading the current one
    // again reverts the canvas to its record.
    if (currentDiagram && currentDiagram != diagram)
        captureCurrentDiagram();

    suppressModelSync = true;
    releaseSceneSelection();
    currentDiagram = diagram;
    if (project && !diagram->modelId().isEmpty())
        currentModel = project->model(diagram->modelId());

    QJsonObject data = diagram->data();
    if (!data.isEmpty()) {
        // The record may predate edits made to the tables elsewhere. Its rows
        // follow the model before they reach the canvas: stale rows would
        // otherwise delete columns (on the next column sync) or bring deleted
        // ones back (on the next save).
        if (TableSync::alignDiagram(data, currentModel, project) > 0)
            diagram->setData(data);
        scene->loadFromJson(data);
    } else {
        scene->clearScene();
    }

    // The dialect combo follows in refreshNameEditors() below.
    if (currentModel && !currentModel->dialect().isEmpty())
        scene->setDialect(currentModel->dialect());

    const QRectF bounds = scene->itemsBoundingRect();
    if (bounds.width() != 0 || bounds.height() != 0) {
        const QRectF grown = bounds.adjusted(-100, -100, 100, 100);
        scene->setSceneRect(grown);
        ui->view->fitInView(grown, Qt::KeepAspectRatio);
    }

    suppressModelSync = false;
    updateTreeCurrentMarkers();
    refreshNameEditors();
    refreshTableDetails();
    return true;
}

void MainWindow::switchToModel(ModelItem* model)
{
    if (!model || !scene)
        return;
    currentModel = model;
    const bool liveOfOtherModel = currentDiagram && currentDiagram->modelId() != model->id();
    if (!currentDiagram || liveOfOtherModel) {
        const QList<DiagramItem*> diagrams = model->diagrams();
        if (!diagrams.isEmpty()) {
            loadDiagramItem(diagrams.first());
            return;
        }
    }
    if (liveOfOtherModel) {
        // The model has no diagram. The other model's diagram must not stay
        // live under it, or its edits would be registered into this model:
        // it is stored, and the canvas is left empty with no diagram current.
        captureCurrentDiagram();
        const bool wasSuppressed = std::exchange(suppressModelSync, true);
        releaseSceneSelection();
        scene->clearScene();
        currentDiagram = nullptr;
        // The dialect combo follows in refreshNameEditors() below.
        if (!model->dialect().isEmpty())
            scene->setDialect(model->dialect());
        suppressModelSync = wasSuppressed;
    }
    updateTreeCurrentMarkers();
    refreshNameEditors();
}

void MainWindow::releaseSceneSelection()
{
    currentEntity = nullptr;
    if (detailsController)
        detailsController->clear();
    if (!scene)
        return;
    const bool wasSuppressed = suppressModelSync;
    suppressModelSync = true;
    scene->releaseSelection();
    suppressModelSync = wasSuppressed;
}

void MainWindow::refreshTableDetails()
{
    if (suppressModelSync || !detailsController || detailsController->isUpdating())
        return;
    detailsController->setProject(project);
    detailsController->setDefaultDialect(dialectCombo ? dialectCombo->currentText() : QString());

    if (EntityItem* entity = currentEntity) {
        const QString id = stableEntityId(entity);
        ModelItem* owner = nullptr;
        if (entity->kind() == EntityItem::ViewKind) {
            ViewItem* view = TableSync::findView(currentModel, project, id, &owner);
            if (!view && currentModel) {
                registerEntityInModel(entity);
                view = currentModel->view(id);
                owner = currentModel;
            }
            detailsController->showView(owner, view, entity);
            return;
        }
        syncTableColumnsFromEntity(entity);
        TableItem* table = TableSync::findTable(currentModel, project, id, &owner);
        if (!table && currentModel) {
            registerEntityInModel(entity);
            table = currentModel->table(id);
            owner = currentModel;
        }
        detailsController->showTable(owner, table, entity);
        return;
    }

    QTreeView* tree = ui->treeViewProject;
    if (!tree || !tree->selectionModel()) {
        detailsController->clear();
        return;
    }
    const QModelIndex current = tree->currentIndex();
    const QString kind = current.data(ExplorerKind::KindRole).toString();
    const QString id = current.data(ExplorerKind::IdRole).toString();
    ModelItem* owner = nullptr;
    if (kind == ExplorerKind::Table) {
        EntityItem* entity = findEntityOnScene(id);
        if (entity)
            syncTableColumnsFromEntity(entity);
        TableItem* table = TableSync::findTable(currentModel, project, id, &owner);
        detailsController->showTable(owner, table, entity);
    } else if (kind == ExplorerKind::View) {
        ViewItem* view = TableSync::findView(currentModel, project, id, &owner);
        detailsController->showView(owner, view, findEntityOnScene(id));
    } else {
        detailsController->clear();
    }
}

EntityItem* MainWindow::findEntityOnScene(const QString& id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    // Topmost first, as the scene stacks them; the scene's own list spares
    // a sorted walk over every row label.
    const QList<EntityItem*>& entities = scene->entityItems();
    for (auto it = entities.crbegin(); it != entities.crend(); ++it) {
        if ((*it)->id() == id)
            return *it;
    }
    return nullptr;
}

void MainWindow::onExplorerDropRequested(QByteArray payload, QPointF scenePos)
{
    Q_UNUSED(payload)
    Q_UNUSED(scenePos)
    // Places the dragged tables and views on the diagram.
}

void MainWindow::deleteSelection()
{
    // Deletes the selected column, or tables, views and relationships from
    // the diagram or from the model, asking first.
}

void MainWindow::onProjectNameEditingFinished()
{
    if (projectNameEdit)
        applyProjectName(projectNameEdit->text());
}

void MainWindow::onModelNameEditingFinished()
{
    if (modelNameEdit)
        applyModelName(currentModel ? currentModel->id() : QString(), modelNameEdit->text());
}

void MainWindow::onDiagramNameEditingFinished()
{
    if (diagramNameEdit)
        applyDiagramName(currentDiagram ? currentDiagram->id() : QString(), diagramNameEdit->text());
}

void MainWindow::on_action_New_triggered()
{
    // Starts an empty project on an empty canvas.
}

void MainWindow::on_action_New_Model_triggered()
{
    // Adds a model to the project.
}

void MainWindow::on_action_New_Diagram_triggered()
{
    // Adds a diagram to the current model.
}

void MainWindow::watchEntityTitle(EntityItem* entity)
{
    if (!entity)
        return;
    connect(entity, &EntityItem::titleChanged, this, &MainWindow::onEntityTitleChanged, Qt::UniqueConnection);
    connect(entity, &EntityItem::attributeEdited, this, &MainWindow::onEntityAttributeEdited, Qt::UniqueConnection);
    connect(entity, &EntityItem::structureChanged, this, &MainWindow::onEntityStructureChanged,
            Qt::UniqueConnection);
}

void MainWindow::registerEntityInModel(EntityItem* entity)
{
    if (!currentModel || !entity)
        return;
    const QString id = stableEntityId(entity);
    if (entity->kind() == EntityItem::ViewKind)
        TableSync::registerView(currentModel, id, entity->title());
    else
        TableSync::registerTable(currentModel, id, entity->title(), entityRows(entity));
}

void MainWindow::registerEdgeInModel(EdgeItem* edge)
{
    if (!currentModel || !edge)
        return;
    EntityItem* from = edge->fromEntity();
    EntityItem* to = edge->toEntity();
    if (!from || !to)
        return;
    // An edge read without an id gets one now, as an entity would.
    if (edge->id().isEmpty())
        edge->setId(generateItemId());
    const QString fromId = stableEntityId(from);
    const QString toId = stableEntityId(to);
    TableSync::registerRelationship(currentModel, edge->id(), fromId, toId, from->title(), to->title(),
                                    edge->isViewEdge(), entityRows(to));
}

void MainWindow::onEntityAdded(EntityItem* entity)
{
    watchEntityTitle(entity);
    if (suppressModelSync)
        return;
    registerEntityInModel(entity);
    rebuildProjectTree();
}

void MainWindow::onEdgeAdded(EdgeItem* edge)
{
    if (suppressModelSync)
        return;
    registerEdgeInModel(edge);
    rebuildProjectTree();
}

void MainWindow::onDialectChanged(const QString& dialect)
{
    if (scene)
        scene->setDialect(dialect);
    if (suppressModelSync)
        return;
    if (currentModel)
        currentModel->setDialect(dialect);
    rebuildProjectTree();
}

void MainWindow::onObjectRenameRequested(const QString& kind, const QString& id, const QString& name)
{
    applyModelObjectName(kind, id, name, findEntityOnScene(id));
}

void MainWindow::onMappingsChanged()
{
    if (detailsController && detailsController->isUpdating())
        return;
    rebuildProjectTree();
}

void MainWindow::forgetColumnReferences(const QString& columnId)
{
    ModelPruner::forgetColumnReferences(project, columnId);
}

// ============================================================ canvas and model in step

QString MainWindow::stableEntityId(EntityItem* entity)
{
    if (!entity)
        return QString();
    // An entity without an id of its own reports its address; the id it
    // gets now travels with it into the model and every stored diagram.
    if (entity->id() == QString::number(reinterpret_cast<quintptr>(entity)))
        entity->setId(generateItemId());
    return entity->id();
}

void MainWindow::syncPrimaryKeyConstraint(TableItem* table, EntityItem* entity)
{
    if (table && entity)
        TableSync::syncPrimaryKey(table, entityRows(entity));
}

void MainWindow::syncUniqueConstraints(TableItem* table, EntityItem* entity)
{
    if (table && entity)
        TableSync::syncUnique(table, entityRows(entity));
}

void MainWindow::syncTableColumnsFromEntity(EntityItem* entity)
{
    if (!entity || entity->kind() == EntityItem::ViewKind || suppressModelSync)
        return;
    const QString id = stableEntityId(entity);
    TableItem* table = TableSync::findTable(currentModel, project, id);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        return;
    }
    TableSync::syncColumns(table, entityRows(entity), project);
}

void MainWindow::onEntityTitleChanged(QString title)
{
    if (suppressModelSync || updatingTree)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    const QString id = stableEntityId(entity);
    const QString kind = entity->kind() == EntityItem::ViewKind ? ExplorerKind::View : ExplorerKind::Table;
    applyModelObjectName(kind, id, title.isEmpty() ? entity->title() : title, entity);
    refreshTableDetails();
}

void MainWindow::onEntityAttributeEdited(int index, QString oldName, QString name, QString type)
{
    if (suppressModelSync)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    if (entity->kind() == EntityItem::ViewKind) {
        if (entity == currentEntity)
            refreshTableDetails();
        return;
    }
    if (!currentModel && !project)
        return;
    const QString id = stableEntityId(entity);
    TableItem* table = TableSync::findTable(currentModel, project, id);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        refreshTableDetails();
        return;
    }
    // Found by its old name first, the column keeps its id through a rename.
    TableSync::applyRowEdit(table, entityRows(entity), index, oldName, name, type);
    syncTableColumnsFromEntity(entity);
    if (entity == currentEntity)
        refreshTableDetails();
}

void MainWindow::onEntityStructureChanged()
{
    if (suppressModelSync)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    syncTableColumnsFromEntity(entity); // nothing for a view
    if (entity == currentEntity)
        refreshTableDetails();
}

EdgeItem* MainWindow::findEdgeOnScene(const QString& id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    const QList<QGraphicsItem*> items = scene->items(Qt::DescendingOrder);
    for (QGraphicsItem* item : items) {
        if (item->type() != DiagramItemType::Edge)
            continue;
        auto* edge = dynamic_cast<EdgeItem*>(item);
        if (edge && edge->id() == id)
            return edge;
    }
    return nullptr;
}

void MainWindow::removeLiveEntity(const QString& id)
{
    EntityItem* entity = findEntityOnScene(id);
    if (!entity)
        return;
    if (entity == currentEntity)
        currentEntity = nullptr;
    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    // A self-relation is attached twice; each edge goes once. Each takes its
    // foreign-key rows off the entity at its other end.
    QList<QPointer<EdgeItem>> edges;
    for (EdgeItem* edge : entity->edges()) {
        if (edge && !edges.contains(edge))
            edges.append(edge);
    }
    for (const QPointer<EdgeItem>& edge : std::as_const(edges))
        delete edge.data();
    delete entity;
    suppressModelSync = wasSuppressed;
}

QJsonObject MainWindow::storedEntityJson(const QString& entityId) const
{
    return StoredDiagrams::entityJson(currentModel, entityId);
}

QJsonObject MainWindow::storedEdgeJson(const QString& edgeId) const
{
    return StoredDiagrams::edgeJson(currentModel, currentDiagram, edgeId);
}

void MainWindow::renameStoredEntityTitle(const QString& entityId, const QString& name, ModelItem* model)
{
    StoredDiagrams::renameEntityTitle(model ? model : currentModel, entityId, name);
}

QString MainWindow::uniqueObjectName(ModelItem* model, const QString& prefix) const
{
    return model ? model->uniqueObjectName(prefix) : prefix + QLatin1Char('1');
}

void MainWindow::stripFromModelDiagrams(ModelItem* model, const QSet<QString>& entityIds,
                                        const QSet<QString>& edgeIds)
{
    ModelPruner::pruneModelDiagrams(model, currentDiagram, entityIds, edgeIds);
}

void MainWindow::stripItemsFromOtherDiagrams(const QStringList& entityIds, const QStringList& edgeIds)
{
    if (!currentModel)
        return;
    stripFromModelDiagrams(currentModel, QSet<QString>(entityIds.cbegin(), entityIds.cend()),
                           QSet<QString>(edgeIds.cbegin(), edgeIds.cend()));
}

void MainWindow::onRelationshipConstraintRemoved(const QString& relationshipId)
{
    Q_UNUSED(relationshipId)
    // Removes the edge of a relationship whose constraint went away.
}
