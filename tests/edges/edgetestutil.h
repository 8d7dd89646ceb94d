#pragma once

// Shared helpers of the edge item tests: entities with fixed ids and rows on
// a scene, and small look-ups.

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"

#include "common/sceneitems.h"

#include <QGraphicsScene>
#include <QList>
#include <QString>

namespace edgetest {

struct Row
{
    QString name;
    QString type;
    bool primary = false;
};

inline EntityItem* addEntity(ERScene& scene, const QString& id, const QString& title, QPointF pos,
                             const QList<Row>& rows = {{QStringLiteral("id"), QStringLiteral("INT"), true}},
                             int kind = EntityItem::TableKind)
{
    auto* e = new EntityItem(title, QSizeF(150, 70));
    e->setId(id);
    if (kind != EntityItem::TableKind)
        e->setKind(kind);
    for (const Row& r : rows)
        e->addAttribute(r.name, r.type, r.primary, false, false, false);
    e->setPos(pos);
    scene.addItem(e);
    return e;
}

inline QList<EdgeItem*> edgesOf(const QGraphicsScene& scene)
{
    return itemsOfType<EdgeItem>(scene);
}

inline int rowNamed(const EntityItem* e, const QString& name)
{
    for (int i = 0; i < e->attributeCount(); ++i) {
        if (e->attributeName(i) == name)
            return i;
    }
    return -1;
}

inline QStringList rowNames(const EntityItem* e)
{
    QStringList names;
    for (int i = 0; i < e->attributeCount(); ++i)
        names << e->attributeName(i);
    return names;
}

} // namespace edgetest
