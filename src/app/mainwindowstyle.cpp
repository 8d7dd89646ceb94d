// MainWindow: the style dialog commands.
#include "app/mainwindow.h"

#include "app/dialoghooks.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "dialogs/colorsdialog.h"
#include "dialogs/groupitemstyledialog.h"
#include "dialogs/textitemstyledialog.h"

#include <QGraphicsItem>

namespace {

// The scene's selected items of one type, in the order the scene reports
// them.
template <typename Item>
QList<Item*> selectedOfType(const ERScene* scene)
{
    QList<Item*> found;
    if (!scene)
        return found;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == Item::Type)
            found.append(static_cast<Item*>(item));
    }
    return found;
}

// Every item of one type on the scene.
template <typename Item>
QList<Item*> allOfType(const ERScene* scene)
{
    QList<Item*> found;
    const QList<QGraphicsItem*> all = scene->items();
    for (QGraphicsItem* item : all) {
        if (item->type() == Item::Type)
            found.append(static_cast<Item*>(item));
    }
    return found;
}

// The target a dialog proposes for that many selected items of its kind.
ApplyTarget proposedTarget(qsizetype selectedCount)
{
    if (selectedCount == 1)
        return ApplyToSelectedItem;
    if (selectedCount > 1)
        return ApplyToSelectedItems;
    return ApplyToAllItems;
}

bool targetsSelection(ApplyTarget target)
{
    return target == ApplyToSelectedItem || target == ApplyToSelectedItems;
}

} // namespace

void MainWindow::on_actionEntity_Colors_triggered()
{
    if (!scene) {
        showColorsDialog();
        return;
    }
    int texts = 0;
    int groups = 0;
    int entities = 0;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (const QGraphicsItem* item : selected) {
        switch (item->type()) {
        case DiagramItemType::Text:
            ++texts;
            break;
        case DiagramItemType::Group:
            ++groups;
            break;
        case DiagramItemType::Entity:
            ++entities;
            break;
        default:
            break;
        }
    }
    if (texts > 0 && groups == 0 && entities == 0)
        showTextStyleDialog();
    else if (groups > 0 && texts == 0 && entities == 0)
        showGroupStyleDialog();
    else
        showColorsDialog();
}

void MainWindow::showColorsDialog()
{
    ColorsDialog dialog(this);
    DualThemeColorScheme start = defaultDualThemeColorScheme();
    qsizetype count = 0;
    if (scene) {
        const DualThemeColorScheme defaults = DualThemeColorScheme::fromArray(defaultEntityColors);
        if (defaults.allValid())
            start = defaults;
        const QList<EntityItem*> selected = selectedOfType<EntityItem>(scene);
        if (!selected.isEmpty())
            start = selected.first()->effectiveColors();
        count = selected.size();
    }
    dialog.setScheme(start);
    dialog.setApplyTarget(ColorsDialog::ApplyTarget(proposedTarget(count)));
    dialog.setUseForNewEntities(false);
    connect(&dialog, &ColorsDialog::applyRequested, this,
            [this](const DualThemeColorScheme& scheme, ColorsDialog::ApplyTarget target, bool useForNew) {
                applyEntityColorScheme(scheme, applyTargetFromIndex(target), useForNew);
            });
    DialogHooks::execDialog(&dialog);
}

void MainWindow::showTextStyleDialog()
{
    TextItemStyleDialog dialog(this);
    TextItemStyle start = defaultTextItemStyle();
    qsizetype count = 0;
    if (scene) {
        if (scene->hasDefaultTextStyle())
            start = scene->defaultTextStyle();
        const QList<TextItem*> selected = selectedOfType<TextItem>(scene);
        if (!selected.isEmpty())
            start = selected.first()->style();
        count = selected.size();
    }
    dialog.setStyle(start);
    dialog.setApplyTarget(TextItemStyleDialog::ApplyTarget(proposedTarget(count)));
    dialog.setUseForNew(false);
    connect(&dialog, &TextItemStyleDialog::applyRequested, this,
            [this](const TextItemStyle& style, TextItemStyleDialog::ApplyTarget target, bool useForNew) {
                applyTextItemStyle(style, applyTargetFromIndex(target), useForNew);
            });
    DialogHooks::execDialog(&dialog);
}

void MainWindow::showGroupStyleDialog()
{
    GroupItemStyleDialog dialog(this);
    GroupItemStyle start = defaultGroupItemStyle();
    qsizetype count = 0;
    if (scene) {
        if (scene->hasDefaultGroupStyle())
            start = scene->defaultGroupStyle();
        const QList<GroupItem*> selected = selectedOfType<GroupItem>(scene);
        if (!selected.isEmpty())
            start = selected.first()->colors();
        count = selected.size();
    }
    dialog.setStyle(start);
    dialog.setApplyTarget(GroupItemStyleDialog::ApplyTarget(proposedTarget(count)));
    dialog.setUseForNew(false);
    connect(&dialog, &GroupItemStyleDialog::applyRequested, this,
            [this](const GroupItemStyle& style, GroupItemStyleDialog::ApplyTarget target, bool useForNew) {
                applyGroupItemStyle(style, applyTargetFromIndex(target), useForNew);
            });
    DialogHooks::execDialog(&dialog);
}

void MainWindow::applyEntityColorScheme(const DualThemeColorScheme& scheme, ApplyTarget target, bool useForNew)
{
    if (!scene)
        return;
    if (target != ApplyToDefaultsOnly) {
        const QList<EntityItem*> entities =
            targetsSelection(target) ? selectedOfType<EntityItem>(scene) : scene->entityItems();
        for (EntityItem* entity : entities)
            entity->setColors(scheme);
        if (!useForNew)
            return;
    }
    defaultEntityColors = scheme.toArray();
    scene->setDefaultEntityColors(defaultEntityColors);
}

void MainWindow::applyTextItemStyle(const TextItemStyle& style, ApplyTarget target, bool useForNew)
{
    if (!scene)
        return;
    if (target != ApplyToDefaultsOnly) {
        const QList<TextItem*> items =
            targetsSelection(target) ? selectedOfType<TextItem>(scene) : allOfType<TextItem>(scene);
        for (TextItem* item : items) {
            item->setFont(style.font);
            item->setColors(style.lightColor, style.darkColor);
        }
        if (!useForNew)
            return;
    }
    scene->setDefaultTextStyle(style.font, style.lightColor, style.darkColor);
}

void MainWindow::applyGroupItemStyle(const GroupItemStyle& style, ApplyTarget target, bool useForNew)
{
    if (!scene)
        return;
    if (target != ApplyToDefaultsOnly) {
        const QList<GroupItem*> items =
            targetsSelection(target) ? selectedOfType<GroupItem>(scene) : allOfType<GroupItem>(scene);
        for (GroupItem* item : items) {
            item->setColors(style.lightFill, style.lightBorder, style.lightTitle, style.darkFill, style.darkBorder,
                            style.darkTitle);
        }
        if (!useForNew)
            return;
    }
    scene->setDefaultGroupStyle(style.lightFill, style.lightBorder, style.lightTitle, style.darkFill,
                                style.darkBorder, style.darkTitle);
}
