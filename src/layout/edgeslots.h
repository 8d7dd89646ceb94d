#pragma once

#include <QList>

class EdgeItem;
class EntityItem;

// Spreads the slots of the entity's edges along each side of its box (only
// along onlySide when it is a side code), ordered by where the other end of
// each edge lies, so that no two edges end at one point; free slots stay.
// Returns the edges whose slot moved (each once); the caller routes them.
QList<EdgeItem*> spreadEdgeSlots(EntityItem* entity, int onlySide = -1);

class ERScene;

// After an import has been loaded: entities that overlap are moved apart
// (an import without overlaps keeps every place), the slots of every entity
// are spread along its sides, the edges of moved entities and moved slots
// are routed afresh, and then every edge that runs through an entity; last,
// in an import of up to 500 relationships, parallel segments of different
// routes are pushed apart as after a layout.
void settleImportedDiagram(ERScene* scene);
