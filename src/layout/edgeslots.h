#pragma once

#include <QList>

class EdgeItem;
class EntityItem;

// Spreads the slots of the entity's edges along each side of its box (only
// along onlySide when it is a side code), ordered by where the other end of
// each edge lies, so that no two edges end at one point; free slots stay.
// Returns the edges whose slot moved (each once); the caller routes them.
QList<EdgeItem*> spreadEdgeSlots(EntityItem* entity, int onlySide = -1);

// Edges among those given whose route, though found afresh, still runs
// through an entity that is not one of their ends (two entities standing so
// close that no way leaves between them from the side a slot faces): each
// takes the best pair of sides for its two entities, whose slots are then
// spread again, and every edge whose slot moved is routed again. Routes
// drawn by hand are left alone.
void resideEdgesThroughEntities(const QList<EdgeItem*>& edges);

class ERScene;

// After an import has been loaded: entities that overlap are moved apart
// (an import without overlaps keeps every place), the slots of every entity
// are spread along its sides, the edges of moved entities and moved slots
// are routed afresh, and then every edge that runs through an entity (with
// other sides where its own leave no way round); last, in an import of up
// to 500 relationships, parallel segments of different routes are pushed
// apart and routes still on one line look for another way, as after a
// layout.
void settleImportedDiagram(ERScene* scene);
