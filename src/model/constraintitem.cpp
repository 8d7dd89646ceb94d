#include "model/constraintitem.h"

#include "model/indentedjson.h"
#include "model/itemid.h"
#include "model/jsonfields.h"
#include "model/tableitem.h"

#include <QJsonArray>

using namespace jsonfields;

ConstraintItem::ConstraintItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

void ConstraintItem::setId(const QString& id)
{
    if (m_id == id)
        return;
    m_id = id;
    if (auto* table = qobject_cast<TableItem*>(parent()))
        table->forgetConstraintIndex();
}

bool ConstraintItem::forgetColumn(const QString& columnId)
{
    if (!m_columns.contains(columnId) && !m_referencedColumns.contains(columnId))
        return false;
    if (m_type != ForeignKey) {
        m_columns.removeAll(columnId);
        m_referencedColumns.removeAll(columnId);
        return true;
    }
    QStringList keptColumns;
    QStringList keptReferenced;
    const qsizetype pairs = qMax(m_columns.size(), m_referencedColumns.size());
    for (qsizetype i = 0; i < pairs; ++i) {
        const bool hasLocal = i < m_columns.size();
        const bool hasReferenced = i < m_referencedColumns.size();
        if ((hasLocal && m_columns.at(i) == columnId) || (hasReferenced && m_referencedColumns.at(i) == columnId))
            continue;
        if (hasLocal)
            keptColumns.append(m_columns.at(i));
        if (hasReferenced)
            keptReferenced.append(m_referencedColumns.at(i));
    }
    m_columns = keptColumns;
    m_referencedColumns = keptReferenced;
    return true;
}

QString ConstraintItem::typeToString(int type)
{
    switch (type) {
    case PrimaryKey:
        return QStringLiteral("primaryKey");
    case ForeignKey:
        return QStringLiteral("foreignKey");
    case Check:
        return QStringLiteral("check");
    default:
        return QStringLiteral("unique");
    }
}

int ConstraintItem::typeFromString(const QString& text)
{
    if (text == QLatin1String("primaryKey"))
        return PrimaryKey;
    if (text == QLatin1String("foreignKey"))
        return ForeignKey;
    if (text == QLatin1String("check"))
        return Check;
    return Unique;
}

QJsonObject ConstraintItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("type"), QLatin1String("unique")},
        {QLatin1String("columns"), QJsonArray()},
        {QLatin1String("referencedTableId"), emptyText()},
        {QLatin1String("referencedColumns"), QJsonArray()},
        {QLatin1String("expression"), emptyText()},
        {QLatin1String("description"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    const QString type = typeToString(m_type);
    if (type != QLatin1String("unique"))
        object[QLatin1String("type")] = type;
    writeStringList(object, QLatin1String("columns"), m_columns);
    writeString(object, QLatin1String("referencedTableId"), m_referencedTableId);
    writeStringList(object, QLatin1String("referencedColumns"), m_referencedColumns);
    writeString(object, QLatin1String("expression"), m_expression);
    writeString(object, QLatin1String("description"), m_description);
    return object;
}

void ConstraintItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    if (auto* table = qobject_cast<TableItem*>(parent()))
        table->forgetConstraintIndex();
    m_name = readString(object, QLatin1String("name"));
    m_type = typeFromString(readString(object, QLatin1String("type")));
    m_columns = readStringList(object, QLatin1String("columns"));
    m_referencedTableId = readString(object, QLatin1String("referencedTableId"));
    m_referencedColumns = readStringList(object, QLatin1String("referencedColumns"));
    m_expression = readString(object, QLatin1String("expression"));
    m_description = readString(object, QLatin1String("description"));
}

namespace {

void writeStrings(IndentedJsonWriter& writer, const QStringList& list, int level)
{
    writer.beginArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        writer.element(level + 1, i == 0);
        writer.writeString(list.at(i));
    }
    writer.endArray(level);
}

} // namespace

void ConstraintItem::writeJson(IndentedJsonWriter& writer, int level) const
{
    // The keys of toJson() in the order its object keeps them.
    const int inner = level + 1;
    writer.beginObject();
    writer.member("columns", inner, true);
    writeStrings(writer, m_columns, inner);
    writer.member("description", inner, false);
    writer.writeString(m_description);
    writer.member("expression", inner, false);
    writer.writeString(m_expression);
    writer.member("id", inner, false);
    writer.writeString(m_id);
    writer.member("name", inner, false);
    writer.writeString(m_name);
    writer.member("referencedColumns", inner, false);
    writeStrings(writer, m_referencedColumns, inner);
    writer.member("referencedTableId", inner, false);
    writer.writeString(m_referencedTableId);
    writer.member("type", inner, false);
    writer.writeString(typeToString(m_type));
    writer.endObject(level);
}
