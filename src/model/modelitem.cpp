#include "model/modelitem.h"

#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/indentedjson.h"
#include "model/itemcollections.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/jsonfields.h"
#include "model/mappingitem.h"
#include "model/relationshipitem.h"
#include "model/sequenceitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

using namespace itemcollections;
using namespace jsonfields;

namespace {

template <typename T>
T* ensureItem(QObject* owner, QHash<QString, T*>& items, const QString& id)
{
    T*& slot = items[id];
    if (!slot) {
        slot = new T(owner);
        slot->setId(id);
    }
    return slot;
}

} // namespace

ModelItem::ModelItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

void ModelItem::setId(const QString& id)
{
    for (DiagramItem* diagram : std::as_const(m_diagrams)) {
        if (diagram && diagram->modelId() == m_id)
            diagram->setModelId(id);
    }
    m_id = id;
}

TableItem* ModelItem::table(const QString& id) const
{
    return m_tables.value(id);
}

ViewItem* ModelItem::view(const QString& id) const
{
    return m_views.value(id);
}

RelationshipItem* ModelItem::relationship(const QString& id) const
{
    return m_relationships.value(id);
}

DiagramItem* ModelItem::diagram(const QString& id) const
{
    return m_diagrams.value(id);
}

MappingItem* ModelItem::mapping(const QString& id) const
{
    return m_mappings.value(id);
}

QList<TableItem*> ModelItem::tables() const
{
    return sortedByName(m_tables);
}

QList<ViewItem*> ModelItem::views() const
{
    return sortedByName(m_views);
}

QList<RelationshipItem*> ModelItem::relationships() const
{
    return sortedByName(m_relationships);
}

QList<SequenceItem*> ModelItem::sequences() const
{
    return sortedByName(m_sequences);
}

QList<DiagramItem*> ModelItem::diagrams() const
{
    return sortedByName(m_diagrams);
}

QList<MappingItem*> ModelItem::mappings() const
{
    return sortedByName(m_mappings);
}

QList<DocumentItem*> ModelItem::documents() const
{
    return sortedByName(m_documents);
}

TableItem* ModelItem::ensureTable(const QString& id)
{
    return ensureItem(this, m_tables, id);
}

ViewItem* ModelItem::ensureView(const QString& id)
{
    return ensureItem(this, m_views, id);
}

RelationshipItem* ModelItem::ensureRelationship(const QString& id)
{
    return ensureItem(this, m_relationships, id);
}

DiagramItem* ModelItem::ensureDiagram(const QString& id)
{
    DiagramItem*& slot = m_diagrams[id];
    if (!slot) {
        slot = new DiagramItem(this);
        slot->setId(id);
        slot->setModelId(m_id);
    }
    return slot;
}

TableItem* ModelItem::addTable()
{
    return ensureTable(generateItemId());
}

ViewItem* ModelItem::addView()
{
    return ensureView(generateItemId());
}

RelationshipItem* ModelItem::addRelationship()
{
    return ensureRelationship(generateItemId());
}

DiagramItem* ModelItem::addDiagram()
{
    return ensureDiagram(generateItemId());
}

MappingItem* ModelItem::addMapping()
{
    auto* mapping = new MappingItem(this);
    m_mappings.insert(mapping->id(), mapping);
    return mapping;
}

void ModelItem::removeTable(const QString& id)
{
    removeLater(m_tables, id);
}

void ModelItem::removeView(const QString& id)
{
    removeLater(m_views, id);
}

void ModelItem::removeRelationship(const QString& id)
{
    removeLater(m_relationships, id);
}

void ModelItem::removeDiagram(const QString& id)
{
    removeLater(m_diagrams, id);
}

void ModelItem::changeDiagramId(const QString& id, const QString& newId)
{
    DiagramItem* diagram = m_diagrams.take(id);
    if (!diagram)
        return;
    diagram->setId(newId);
    m_diagrams.insert(newId, diagram);
}

void ModelItem::removeMapping(const QString& id)
{
    removeLater(m_mappings, id);
}

QString ModelItem::uniqueDiagramName() const
{
    return firstFreeNumberedName(QStringLiteral("Diagram "), namesOf(m_diagrams), Qt::CaseSensitive);
}

QString ModelItem::uniqueObjectName(const QString& prefix) const
{
    const QStringList names = prefix.startsWith(QLatin1String("view")) ? namesOf(m_views) : namesOf(m_tables);
    return firstFreeNumberedName(prefix, names, Qt::CaseInsensitive);
}

QJsonObject ModelItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("dialect"), m_dialect);
    object.insert(QLatin1String("description"), m_description);
    object.insert(QLatin1String("tables"), toJsonArray(m_tables));
    object.insert(QLatin1String("views"), toJsonArray(m_views));
    object.insert(QLatin1String("relationships"), toJsonArray(m_relationships));
    object.insert(QLatin1String("sequences"), toJsonArray(m_sequences));
    object.insert(QLatin1String("diagrams"), toJsonArray(m_diagrams));
    object.insert(QLatin1String("mappings"), toJsonArray(m_mappings));
    object.insert(QLatin1String("documents"), toJsonArray(m_documents));
    return object;
}

void ModelItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_dialect = readString(object, QLatin1String("dialect"));
    m_description = readString(object, QLatin1String("description"));

    readCollection(this, m_tables, readArray(object, QLatin1String("tables")));
    readCollection(this, m_views, readArray(object, QLatin1String("views")));
    readCollection(this, m_relationships, readArray(object, QLatin1String("relationships")));
    readCollection(this, m_sequences, readArray(object, QLatin1String("sequences")));
    readCollection(this, m_diagrams, readArray(object, QLatin1String("diagrams")));
    readCollection(this, m_mappings, readArray(object, QLatin1String("mappings")));
    readCollection(this, m_documents, readArray(object, QLatin1String("documents")));

    for (DiagramItem* diagram : std::as_const(m_diagrams)) {
        if (diagram && diagram->modelId().isEmpty())
            diagram->setModelId(m_id);
    }
}

void ModelItem::writeJson(IndentedJsonWriter& writer, int level) const
{
    // The keys of toJson() in the order its object keeps them; the tables
    // written straight from the items.
    const int inner = level + 1;
    writer.beginObject();
    writer.member("description", inner, true);
    writer.writeString(m_description);
    writer.member("diagrams", inner, false);
    writer.writeArray(toJsonArray(m_diagrams), inner);
    writer.member("dialect", inner, false);
    writer.writeString(m_dialect);
    writer.member("documents", inner, false);
    writer.writeArray(toJsonArray(m_documents), inner);
    writer.member("id", inner, false);
    writer.writeString(m_id);
    writer.member("mappings", inner, false);
    writer.writeArray(toJsonArray(m_mappings), inner);
    writer.member("name", inner, false);
    writer.writeString(m_name);
    writer.member("relationships", inner, false);
    writer.writeArray(toJsonArray(m_relationships), inner);
    writer.member("sequences", inner, false);
    writer.writeArray(toJsonArray(m_sequences), inner);
    writer.member("tables", inner, false);
    writer.writeItems(itemsInIdOrder(m_tables), inner, eventpump::step);
    writer.member("views", inner, false);
    writer.writeArray(toJsonArray(m_views), inner);
    writer.endObject(level);
}
