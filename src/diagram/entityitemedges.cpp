// EntityItem: the hooks of the relationship edges, slot handles and the
// foreign-key rows of relationships.
#include "diagram/entityitem.h"

#include "details/dialects.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"

#include <algorithm>
#include <cmath>

void EntityItem::attachEdge(EdgeItem* edge)
{
    m_edges.append(edge);
}

void EntityItem::removeEdge(EdgeItem* edge)
{
    m_edges.removeAll(edge);
}

void EntityItem::updateAttachedEdges()
{
    if (EdgeItem::isRoutingSuspended())
        return;
    for (SlotItem* slot : std::as_const(m_slots)) {
        slot->snapToBorderAt();
        slot->snapToBorder();
    }
    // A copy: routing never changes the list, but nothing here relies on it.
    const QList<EdgeItem*> attached = m_edges;
    for (qsizetype i = 0; i < attached.size(); ++i) {
        EdgeItem* edge = attached.at(i);
        // A self-relation stands here twice in a row; one update serves both.
        if (!edge || (i > 0 && attached.at(i - 1) == edge))
            continue;
        edge->scheduleUpdate();
    }
}

SlotItem* EntityItem::firstFreeSlot()
{
    while (m_freeSlotFrom < m_slots.size() && m_slots.at(m_freeSlotFrom)->edge())
        ++m_freeSlotFrom;
    return m_freeSlotFrom < m_slots.size() ? m_slots.at(m_freeSlotFrom) : nullptr;
}

SlotItem* EntityItem::appendSlot()
{
    auto* slot = new SlotItem(this);
    slot->m_indexInEntity = m_slots.size();
    m_slots.append(slot);
    return slot;
}

SlotItem* EntityItem::acquireFreeSlot()
{
    if (SlotItem* slot = firstFreeSlot())
        return slot;
    const int count = static_cast<int>(m_slots.size());
    SlotItem* slot = appendSlot();
    slot->setPos(8, 20.0 * count + 38);
    slot->snapToBorderAt();
    return slot;
}

SlotItem* EntityItem::acquireSlotForEdge(int side, QPointF pos)
{
    SlotItem* slot = firstFreeSlot();
    if (!slot)
        slot = appendSlot();
    slot->setSide(side);
    slot->setPos(pos);
    slot->snapToBorder();
    return slot;
}

SlotItem* EntityItem::slotForEdgeAt(QPointF scenePos)
{
    const QRectF box = mapRectToScene(m_rect);
    const QPointF d = scenePos - box.center();
    int side;
    QPointF at;
    if (std::abs(d.x()) > std::abs(d.y())) {
        side = d.x() > 0 ? SlotRight : SlotLeft;
        at = QPointF(side == SlotRight ? box.right() : box.left(), box.center().y());
    } else {
        side = d.y() > 0 ? SlotBottom : SlotTop;
        at = QPointF(box.center().x(), side == SlotBottom ? box.bottom() : box.top());
    }
    return acquireSlotForEdge(side, mapFromScene(at));
}

void EntityItem::releaseSlot(SlotItem* slot)
{
    // Slots are made only by their entity, as its children.
    if (!slot || slot->parentItem() != this)
        return;
    slot->setEdge(nullptr);
    slot->setActive(false);
}

void EntityItem::addForeignKeyAttribute(const QString& name, const QString& type, const QString& edgeId,
                                        const QString& suffix)
{
    if (m_kind != TableKind)
        return;
    const QString wanted = suffix.isEmpty() ? name : name + suffix;
    // The key's storage type: a SERIAL key is referred to by its integer.
    const int row = insertOrUpdateAttribute(uniqueAttributeName(rightTrimmed(wanted)), foreignKeyColumnType(type),
                                            false, false, true, false);
    if (row >= 0 && row < attributeCount())
        m_attributes[row].fkEdgeId = edgeId;
}

void EntityItem::markAttributeForeignKey(int row, const QString& edgeId)
{
    if (!edgeId.isEmpty())
        setAttributeForeignKey(row, edgeId);
}

void EntityItem::setAttributeForeignKey(int row, const QString& edgeId)
{
    if (m_kind != TableKind || row < 0 || row >= attributeCount())
        return;
    Attribute& a = m_attributes[row];
    // An empty id takes the row's foreign-key mark away.
    const bool foreign = !edgeId.isEmpty();
    if (a.isForeignKey == foreign && a.fkEdgeId == edgeId)
        return;
    a.isForeignKey = foreign;
    a.fkEdgeId = edgeId;
    styleRowLabels(row);
    applyLabelColors();
    relayoutRows();
}

void EntityItem::removeForeignKeyAttributesOfEdge(const QString& edgeId)
{
    QList<int> rows;
    for (int i = 0; i < attributeCount(); ++i) {
        const Attribute& a = m_attributes.at(i);
        if (a.isForeignKey && a.fkEdgeId == edgeId)
            rows.append(i);
    }
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : std::as_const(rows))
        removeRowAt(row);
    relayoutRows();
}

QList<int> EntityItem::rowsLinkedToEdge(const EdgeItem* edge) const
{
    QList<int> rows;
    if (!edge)
        return rows;
    const QString& id = edge->id();
    if (!id.isEmpty()) {
        for (int i = 0; i < attributeCount(); ++i) {
            const Attribute& a = m_attributes.at(i);
            if (a.fkEdgeId == id && (a.isForeignKey || a.inherited))
                rows.append(i);
        }
    }
    if (!rows.isEmpty() || !edge->fromEntity())
        return rows;
    const QList<QPair<QString, QString>> keys = edge->fromEntity()->primaryKeyAttributes();
    for (int i = 0; i < attributeCount(); ++i) {
        const Attribute& a = m_attributes.at(i);
        if (a.isForeignKey && keys.contains(qMakePair(a.name, a.type)))
            rows.append(i);
    }
    return rows;
}

void EntityItem::highlightEdgeRows(EdgeItem* edge, bool on)
{
    // Lighting a row up needs its labels; putting the light out does not.
    const QList<int> rows = rowsLinkedToEdge(edge);
    for (int row : rows) {
        if (on)
            makeRowLabels(row);
        if (row < 0 || row >= m_nameLabels.size())
            continue;
        for (SingleLineTextItem* label : {m_nameLabels.at(row), m_typeLabels.at(row)}) {
            if (label && label->highlighted != on) {
                label->highlighted = on;
                label->update();
            }
        }
    }
}

namespace {

// Each edge once, in list order (a self-relation stands in the list twice).
QList<EdgeItem*> distinctEdges(const QList<EdgeItem*>& edges)
{
    QList<EdgeItem*> result;
    for (EdgeItem* edge : edges) {
        if (edge && !result.contains(edge))
            result.append(edge);
    }
    return result;
}

bool hasPrimaryKey(const EntityItem* entity, const QString& name, const QString& type)
{
    return entity && entity->primaryKeyAttributes().contains(qMakePair(name, type));
}

} // namespace

// The edges linked to a row. A foreign-key row: its edge by id, or, for a
// row without one, the edges ending here whose "from" entity has a primary
// key of the row's name and type. A primary-key row: the edges starting
// here. For deletion an edge found by id must also end here, and a row that
// is both loses the edges of both kinds; for selection a row that is both
// only takes its foreign-key edges.
static QList<EdgeItem*> edgesOfRow(const EntityItem* entity, const EntityItem::Attribute& a, bool forDeletion)
{
    QList<EdgeItem*> result;
    const QList<EdgeItem*> edges = distinctEdges(entity->edges());
    if (a.isForeignKey) {
        for (EdgeItem* edge : edges) {
            bool linked;
            if (a.fkEdgeId.isEmpty())
                linked = edge->toEntity() == entity && hasPrimaryKey(edge->fromEntity(), a.name, a.type);
            else
                linked = edge->id() == a.fkEdgeId && (!forDeletion || edge->toEntity() == entity);
            if (linked)
                result.append(edge);
        }
    }
    if (a.isPrimaryKey && (forDeletion || !a.isForeignKey)) {
        for (EdgeItem* edge : edges) {
            if (edge->fromEntity() == entity && !result.contains(edge))
                result.append(edge);
        }
    }
    return result;
}

void EntityItem::deleteEdgesDependingOnRow(int row)
{
    if (row < 0 || row >= attributeCount())
        return;
    const QList<EdgeItem*> doomed = edgesOfRow(this, m_attributes.at(row), true);
    for (EdgeItem* edge : doomed) {
        // An earlier deletion cannot take another edge with it, but only an
        // edge still attached is certainly alive.
        if (m_edges.contains(edge))
            delete edge;
    }
}

void EntityItem::setRowEdgesSelected(int row, bool selected)
{
    if (row < 0 || row >= attributeCount())
        return;
    const Attribute& a = m_attributes.at(row);
    const QList<EdgeItem*> edges = edgesOfRow(this, a, false);
    for (EdgeItem* edge : edges)
        edge->setSelected(selected);
}

QString EntityItem::referencedKeyType(int row) const
{
    if (row < 0 || row >= attributeCount())
        return QString();
    const Attribute& a = m_attributes.at(row);
    EdgeItem* edge = nullptr;
    for (EdgeItem* candidate : m_edges) {
        if (!candidate || candidate->toEntity() != this)
            continue;
        if (!a.fkEdgeId.isEmpty()) {
            if (candidate->id() == a.fkEdgeId) {
                edge = candidate;
                break;
            }
        } else if (rowsLinkedToEdge(candidate).contains(row)) {
            edge = candidate;
            break;
        }
    }
    if (!edge || !edge->fromEntity())
        return QString();
    const QList<QPair<QString, QString>> keys = edge->fromEntity()->primaryKeyAttributes();
    for (const auto& key : keys) {
        if (key.first == a.name)
            return key.second;
    }
    const int position = static_cast<int>(rowsLinkedToEdge(edge).indexOf(row));
    if (position < 0 || position >= keys.size())
        return QString();
    return keys.at(position).second;
}

void EntityItem::propagateKeyType(int row)
{
    if (row < 0 || row >= attributeCount() || !m_attributes.at(row).isPrimaryKey)
        return;
    const QString name = m_attributes.at(row).name;
    const QString type = m_attributes.at(row).type;
    int k = 0;
    for (int i = 0; i < row; ++i)
        k += m_attributes.at(i).isPrimaryKey ? 1 : 0;
    const QList<EdgeItem*> edges = distinctEdges(m_edges);
    for (EdgeItem* edge : edges) {
        EntityItem* target = edge->toEntity();
        if (edge->fromEntity() != this || !target)
            continue;
        const QList<int> linked = target->rowsLinkedToEdge(edge);
        int match = -1;
        for (int r : linked) {
            if (target->attributeName(r) == name) {
                match = r;
                break;
            }
        }
        if (match < 0 && k < linked.size())
            match = linked.at(k);
        // The guard stops a self-relation whose key row is its own target.
        if (match >= 0 && !(target == this && match == row))
            target->setAttributeType(match, type);
    }
}

