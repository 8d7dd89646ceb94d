#pragma once

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QList>

// The items of one class on a scene (any class with a Type enum, such as
// EntityItem, EdgeItem, TextItem), topmost first unless asked otherwise.
template <typename Item>
QList<Item*> itemsOfType(const QGraphicsScene& scene, Qt::SortOrder order = Qt::DescendingOrder)
{
    QList<Item*> found;
    const QList<QGraphicsItem*> all = scene.items(order);
    for (QGraphicsItem* item : all) {
        if (item->type() == Item::Type)
            found.append(static_cast<Item*>(item));
    }
    return found;
}
