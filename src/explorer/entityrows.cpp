#include "explorer/entityrows.h"

#include "diagram/entityitem.h"

QList<EntityRow> entityRows(const EntityItem* entity)
{
    QList<EntityRow> rows;
    if (!entity)
        return rows;
    const QList<EntityItem::Attribute>& attributes = entity->attributes();
    rows.reserve(attributes.size());
    for (const EntityItem::Attribute& a : attributes) {
        EntityRow row;
        row.name = a.name;
        row.type = a.type;
        row.primaryKey = a.isPrimaryKey;
        row.uniqueKey = a.isUniqueKey;
        row.fkEdgeId = a.fkEdgeId;
        rows.append(row);
    }
    return rows;
}
