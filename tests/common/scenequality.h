#pragma once

#include "diagram/entityitem.h"
#include "edges/edgeitem.h"
#include "layout/layoutquality.h"

#include <QList>

#include <algorithm>
#include <cmath>

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

// Segments of routes that run along a side of an entity they do not end at,
// outside it and nearer than `near`, over more than 10: drawn, they read as
// a second border of that entity.
inline int segmentsAlongOtherEntities(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, double near)
{
    int count = 0;
    for (const EdgeItem* edge : edges) {
        const QList<QPointF> route = edge->route();
        for (qsizetype i = 0; i + 1 < route.size(); ++i) {
            const QPointF a = route.at(i);
            const QPointF b = route.at(i + 1);
            const bool horizontal = std::abs(a.y() - b.y()) < 0.5;
            const bool vertical = std::abs(a.x() - b.x()) < 0.5;
            for (const EntityItem* entity : entities) {
                if (entity == edge->fromEntity() || entity == edge->toEntity())
                    continue;
                const QRectF box = entity->sceneBoundingRect().adjusted(3, 3, -3, -3);
                if (horizontal) {
                    const double along = std::min(std::max(a.x(), b.x()), box.right()) - std::max(std::min(a.x(), b.x()), box.left());
                    const double y = a.y();
                    if (along > 10 && ((y > box.top() - near && y < box.top()) || (y > box.bottom() && y < box.bottom() + near)))
                        ++count;
                } else if (vertical) {
                    const double along = std::min(std::max(a.y(), b.y()), box.bottom()) - std::max(std::min(a.y(), b.y()), box.top());
                    const double x = a.x();
                    if (along > 10 && ((x > box.left() - near && x < box.left()) || (x > box.right() && x < box.right() + near)))
                        ++count;
                }
            }
        }
    }
    return count;
}
