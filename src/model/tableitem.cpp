#include "model/tableitem.h"

#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/indentedjson.h"
#include "model/indexitem.h"
#include "model/itemcollections.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/jsonfields.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>

#include <utility>

using namespace itemcollections;
using namespace jsonfields;

namespace {

// The position of the child with that id, or -1.
template <typename T>
qsizetype indexOfId(const QList<T*>& items, const QString& id)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i) && items.at(i)->id() == id)
            return i;
    }
    return -1;
}

template <typename T>
T* findById(const QList<T*>& items, const QString& id)
{
    const qsizetype position = indexOfId(items, id);
    return position < 0 ? nullptr : items.at(position);
}

template <typename T>
void removeLaterById(QList<T*>& items, const QString& id)
{
    if (id.isEmpty())
        return;
    const qsizetype position = indexOfId(items, id);
    if (position >= 0)
        items.takeAt(position)->deleteLater();
}

} // namespace

TableItem::TableItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QString TableItem::property(const QString& key) const
{
    const QJsonValue value = m_properties.value(key);
    return value.isString() ? value.toString() : QString();
}

void TableItem::setProperty(const QString& key, const QString& value)
{
    if (key.isEmpty())
        return;
    m_properties.insert(key, value.isNull() ? QString(QLatin1String("")) : value);
}

ColumnItem* TableItem::column(const QString& id) const
{
    return findById(m_columns, id);
}

ConstraintItem* TableItem::constraint(const QString& id) const
{
    // Each relationship to a table brings a foreign key: a table many
    // relationships point at is not walked for every one of them.
    if (m_constraintIndexStale) {
        m_constraintIndex.clear();
        m_constraintIndex.reserve(m_constraints.size());
        for (ConstraintItem* item : m_constraints) {
            if (item && !m_constraintIndex.contains(item->id()))
                m_constraintIndex.insert(item->id(), item);
        }
        m_constraintIndexStale = false;
    }
    return m_constraintIndex.value(id);
}

IndexItem* TableItem::index(const QString& id) const
{
    return findById(m_indexes, id);
}

ColumnItem* TableItem::columnByName(const QString& name) const
{
    for (ColumnItem* column : m_columns) {
        if (column && column->name().compare(name, Qt::CaseInsensitive) == 0)
            return column;
    }
    return nullptr;
}

ConstraintItem* TableItem::constraintOfType(int type) const
{
    for (ConstraintItem* constraint : m_constraints) {
        if (constraint && constraint->type() == type)
            return constraint;
    }
    return nullptr;
}

ColumnItem* TableItem::addColumn()
{
    auto* column = new ColumnItem(this);
    m_columns.append(column);
    return column;
}

void TableItem::setColumnOrder(const QStringList& columnIds)
{
    // Hashed look-ups: a table can have a hundred thousand columns.
    QHash<QString, ColumnItem*> byId;
    byId.reserve(m_columns.size());
    for (ColumnItem* column : std::as_const(m_columns)) {
        if (column && !byId.contains(column->id()))
            byId.insert(column->id(), column);
    }
    QList<ColumnItem*> ordered;
    ordered.reserve(m_columns.size());
    QSet<const ColumnItem*> placed;
    placed.reserve(m_columns.size());
    for (const QString& id : columnIds) {
        ColumnItem* column = byId.value(id);
        if (column && !placed.contains(column)) {
            ordered.append(column);
            placed.insert(column);
        }
    }
    for (ColumnItem* column : std::as_const(m_columns)) {
        if (!column || !placed.contains(column))
            ordered.append(column);
    }
    m_columns = ordered;
}

void TableItem::removeColumn(const QString& id)
{
    if (id.isEmpty())
        return;
    const qsizetype position = indexOfId(m_columns, id);
    if (position < 0)
        return;
    ColumnItem* column = m_columns.takeAt(position);

    for (ConstraintItem* constraint : std::as_const(m_constraints)) {
        if (constraint)
            constraint->forgetColumn(id);
    }
    for (IndexItem* index : std::as_const(m_indexes)) {
        if (index)
            index->forgetColumn(id);
    }

    column->deleteLater();
}

ConstraintItem* TableItem::addConstraint()
{
    auto* constraint = new ConstraintItem(this);
    m_constraints.append(constraint);
    if (!m_constraintIndexStale && !m_constraintIndex.contains(constraint->id()))
        m_constraintIndex.insert(constraint->id(), constraint);
    return constraint;
}

void TableItem::removeConstraint(const QString& id)
{
    removeLaterById(m_constraints, id);
    m_constraintIndexStale = true;
}

IndexItem* TableItem::addIndex()
{
    auto* index = new IndexItem(this);
    m_indexes.append(index);
    return index;
}

void TableItem::removeIndex(const QString& id)
{
    removeLaterById(m_indexes, id);
}

QString TableItem::uniqueConstraintName(const QString& prefix) const
{
    return firstFreeSuffixedName(prefix + m_name, namesOf(m_constraints));
}

QString TableItem::uniqueIndexName() const
{
    return firstFreeSuffixedName(QLatin1String("ix_") + m_name, namesOf(m_indexes));
}

QJsonObject TableItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("schema"), emptyText()},
        {QLatin1String("comment"), emptyText()},
        {QLatin1String("properties"), QJsonObject()},
        {QLatin1String("columns"), QJsonArray()},
        {QLatin1String("constraints"), QJsonArray()},
        {QLatin1String("indexes"), QJsonArray()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("schema"), m_schema);
    writeString(object, QLatin1String("comment"), m_comment);
    if (!m_properties.isEmpty())
        object[QLatin1String("properties")] = m_properties;
    if (!m_columns.isEmpty())
        object[QLatin1String("columns")] = listToJson(m_columns);
    if (!m_constraints.isEmpty())
        object[QLatin1String("constraints")] = listToJson(m_constraints);
    if (!m_indexes.isEmpty())
        object[QLatin1String("indexes")] = listToJson(m_indexes);
    return object;
}

void TableItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_schema = readString(object, QLatin1String("schema"));
    m_comment = readString(object, QLatin1String("comment"));
    m_properties = readObject(object, QLatin1String("properties"));

    readList(this, m_columns, readArray(object, QLatin1String("columns")));
    readList(this, m_constraints, readArray(object, QLatin1String("constraints")));
    m_constraintIndexStale = true;
    readList(this, m_indexes, readArray(object, QLatin1String("indexes")));
}

void TableItem::writeJson(IndentedJsonWriter& writer, int level) const
{
    // The keys of toJson() in the order its object keeps them; the columns,
    // most of a large project, written straight from the items.
    const int inner = level + 1;
    writer.beginObject();
    writer.member("columns", inner, true);
    writer.writeItems(m_columns, inner);
    writer.member("comment", inner, false);
    writer.writeString(m_comment);
    writer.member("constraints", inner, false);
    writer.writeItems(m_constraints, inner);
    writer.member("id", inner, false);
    writer.writeString(m_id);
    writer.member("indexes", inner, false);
    writer.writeArray(m_indexes.isEmpty() ? QJsonArray() : listToJson(m_indexes), inner);
    writer.member("name", inner, false);
    writer.writeString(m_name);
    writer.member("properties", inner, false);
    writer.writeObject(m_properties, inner);
    writer.member("schema", inner, false);
    writer.writeString(m_schema);
    writer.endObject(level);
}
