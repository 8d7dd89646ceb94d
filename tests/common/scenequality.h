#pragma once

#include "diagram/entityitem.h"
#include "edges/edgeitem.h"
#include "layout/layoutquality.h"

#include <QList>

// The layout measures of entities and their routes as shown: the boxes
// themselves (bounding rectangles less their margin of 3), so that a route
// may run along a border but not through it.
inline LayoutQuality shownLayoutQuality(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges)
{
    QList<QRectF> boxes;
    for (const EntityItem* e : entities)
        boxes.append(e->sceneBoundingRect().adjusted(3, 3, -3, -3));
    QList<LaidOutEdge> routes;
    for (const EdgeItem* edge : edges)
        routes.append({edge->route(), int(entities.indexOf(edge->fromEntity())), int(entities.indexOf(edge->toEntity()))});
    return measureLayoutQuality(boxes, routes);
}
