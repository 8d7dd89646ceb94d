// Placement of a freshly imported diagram: what the importers' grids and
// the positions read from files leave on top of each other is moved apart
// before the diagram is shown, and the edges are spread, routed and pushed
// apart where they run on one line.

#include "layout/edgeslots.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "layout/componentlayout.h"
#include "layout/entityrectindex.h"
#include "layout/sceneseparation.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Room kept between entities that had to be moved apart.
constexpr double ImportGapX = 60.0;
constexpr double ImportGapY = 48.0;
// Imports with more relationships than this are not separated.
constexpr qsizetype SeparatedImportEdgesAtMost = 500;

bool nodesOverlap(const LayoutNode& a, const LayoutNode& b)
{
    return std::abs(a.x - b.x) < (a.width + b.width) / 2.0 && std::abs(a.y - b.y) < (a.height + b.height) / 2.0;
}

// The visible entities as layout nodes, with their degrees for the overlap
// removal's ties, and the edges of those entities, each once.
void importedGraph(ERScene* scene, QList<EntityItem*>& entities, LayoutNodes& nodes, QList<EdgeItem*>& edges)
{
    for (EntityItem* entity : scene->entityItems()) {
        if (entity->isVisible())
            entities.append(entity);
    }
    nodes.reserve(entities.size());
    QHash<const EntityItem*, int> indexOf;
    for (EntityItem* entity : std::as_const(entities)) {
        const QRectF r = entity->sceneBoundingRect();
        LayoutNode node;
        node.item = entity;
        node.x = r.center().x();
        node.y = r.center().y();
        node.width = r.width();
        node.height = r.height();
        indexOf.insert(entity, static_cast<int>(nodes.size()));
        nodes.append(node);
    }
    QSet<EdgeItem*> seen;
    for (EntityItem* entity : std::as_const(entities)) {
        for (EdgeItem* edge : entity->edges()) {
            if (edge && !seen.contains(edge)) {
                seen.insert(edge);
                edges.append(edge);
            }
        }
    }
    for (const EdgeItem* edge : std::as_const(edges)) {
        if (edge->isSelfRelation())
            continue;
        for (const EntityItem* end : {edge->fromEntity(), edge->toEntity()}) {
            if (indexOf.contains(end))
                ++nodes[indexOf.value(end)].degree;
        }
    }
}

bool anyOverlap(const LayoutNodes& nodes)
{
    for (qsizetype a = 0; a < nodes.size(); ++a) {
        for (qsizetype b = a + 1; b < nodes.size(); ++b) {
            if (nodesOverlap(nodes.at(a), nodes.at(b)))
                return true;
        }
    }
    return false;
}

// The overlaps settled and the entities moved, with routing suspended; the
// entities that moved.
QSet<const EntityItem*> settleAndMove(LayoutNodes& nodes)
{
    QSet<const EntityItem*> moved;
    const LayoutNodes before = nodes;
    settleOverlaps(nodes, ImportGapX, ImportGapY);
    const bool wasSuspended = EdgeItem::isRoutingSuspended();
    EdgeItem::setRoutingSuspended(true);
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const LayoutNode& node = nodes.at(i);
        const QPointF shift(node.x - before.at(i).x, node.y - before.at(i).y);
        if (shift.isNull())
            continue;
        node.item->moveBy(shift.x(), shift.y());
        moved.insert(node.item);
    }
    EdgeItem::setRoutingSuspended(wasSuspended);
    return moved;
}

// Edges of moved entities face their other end afresh; then every side's
// slots are spread, and the edges whose slots changed are routed again.
void rerouteImported(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges,
                     const QSet<const EntityItem*>& moved)
{
    QSet<EdgeItem*> toRoute;
    for (EdgeItem* edge : edges) {
        if (moved.contains(edge->fromEntity()) || moved.contains(edge->toEntity())) {
            edge->resetSlotsFacing();
            toRoute.insert(edge);
        }
    }
    for (EntityItem* entity : entities) {
        for (EdgeItem* edge : spreadEdgeSlots(entity))
            toRoute.insert(edge);
    }
    QList<EdgeItem*> routed;
    for (EdgeItem* edge : edges) {
        if (toRoute.contains(edge)) {
            edge->updatePath();
            routed.append(edge);
        }
    }
    EdgeItem::rerouteEdgesCrossing(entities, QSet<EdgeItem*>(routed.cbegin(), routed.cend()));
    resideEdgesThroughEntities(edges);
}

} // namespace

void settleImportedDiagram(ERScene* scene)
{
    if (!scene)
        return;
    QList<EntityItem*> entities;
    LayoutNodes nodes;
    QList<EdgeItem*> edges;
    importedGraph(scene, entities, nodes, edges);
    if (entities.isEmpty())
        return;

    // Only an import with overlapping entities is moved.
    const QSet<const EntityItem*> moved = anyOverlap(nodes) ? settleAndMove(nodes) : QSet<const EntityItem*>();
    rerouteImported(entities, edges, moved);

    // Routes of the importers' grids run along the same rows and columns:
    // they are pushed apart as after a layout, so that each can be told
    // from the others. A large import is left to automatic layout: on a
    // grid the pushing apart costs seconds there.
    if (edges.size() > SeparatedImportEdgesAtMost)
        return;
    EntityRectIndex index;
    indexEntityRects(index, entities);
    const EdgeItem::EntityRectLookup lookup = [&index](const QRectF& region, const void* a, const void* b) {
        return index.rectsIn(region, a, b);
    };
    separateSceneRoutes(entities, edges, index, lookup);
}
