#pragma once

#include "explorer/tablesync.h"

#include <QList>

class EntityItem;

// The attribute rows of an entity box as the model synchronisation reads
// them; empty for a null entity.
QList<EntityRow> entityRows(const EntityItem* entity);
