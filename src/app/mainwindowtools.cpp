// MainWindow: tool actions, canvas tools and relationship creation.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/busyspinnerwidget.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "diagram/singlelinetextitem.h"
#include "edges/edgeitem.h"

#include <QAction>
#include <QDebug>
#include <QGraphicsPathItem>
#include <QSignalBlocker>
#include <QToolButton>

#include <utility>

namespace {

// The current entity is only remembered from the last selection change; a
// keyboard command makes sure it is still on the canvas before using it.
bool isOnScene(const ERScene* scene, const EntityItem* entity)
{
    return scene && entity && entity->scene() == scene;
}

} // namespace

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
    if (!currentEntity)
        return;
    if (isOnScene(scene, currentEntity))
        currentEntity->onNewAttributeRequested();
    syncTreeSelectionFromScene();
}

void MainWindow::selectAll()
{
    if (!scene)
        return;
    bool changed = false;
    {
        // One selection change for the whole command: reported item by
        // item, each change would copy the growing selection into the
        // explorer again.
        const QSignalBlocker blocker(scene);
        const QList<QGraphicsItem*> items = scene->items();
        for (QGraphicsItem* item : items) {
            if (ERScene::isGlowable(item) && !item->isSelected()) {
                item->setSelected(true);
                changed = true;
            }
        }
    }
    if (changed)
        emit scene->selectionChanged();
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
    // On the GUI thread behind the indicator; then the whole arrangement in
    // view at 100 %.
    busy->run(
        [this] {
            scene->autoLayout();
            fitSceneAfterLoad();
        },
        {});
}

void MainWindow::on_action_Exit_triggered()
{
    if (!maybeSaveChanges())
        return;
    QCoreApplication::exit(0);
}

void MainWindow::onSceneClickedPlaceItem(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    auto* erScene = qobject_cast<ERScene*>(ui->view->scene());
    if (!erScene)
        return;
    const bool placing = ui->actionAdd_Table->isChecked() || ui->actionAdd_View->isChecked()
        || ui->actionAdd_Text->isChecked() || ui->actionAdd_Group->isChecked();
    // What is drawn belongs to a diagram, or a Save would lose it.
    if (!placing || !ensureDrawingDiagram())
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
        if (item->type() == DiagramItemType::Entity)
            return static_cast<EntityItem*>(item);
    }
    return nullptr;
}

void MainWindow::onSceneClickedAddRelationship(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !ui->view->scene() || !ui->actionAdd_Relationship->isChecked())
        return;
    EntityItem* entity = entityAtScenePos(scenePos);
    if (!entity) {
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
