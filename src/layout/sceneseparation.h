#pragma once

#include "edges/edgeitem.h"

#include <QList>

class EntityItem;
class EntityRectIndex;

// Parallel segments of different routes that run closer than the
// separation's spacing are pushed apart, and the routes are stored. A route
// that would then run through an entity, or no longer leave its slots
// straight out, keeps what it had; in the next round it passes what stands
// still on the other side, and after that it stands still itself, while the
// segments beside it move the whole way. What still lies on one line with
// another route, or runs along the side of an entity it passes, then moves
// to a free line nearby (a first or last segment taking its slot along its
// side), and routes still on one line with another look for another way
// (rerouteOffTakenLines, two rounds). The entities stand still; index holds
// their rectangles and lookup answers from it.
void separateSceneRoutes(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, const EntityRectIndex& index,
                         const EdgeItem::EntityRectLookup& lookup);

// Builds index over the scene bounding rectangles of the visible entities
// of the list, each keyed by its entity.
void indexEntityRects(EntityRectIndex& index, const QList<EntityItem*>& entities);
