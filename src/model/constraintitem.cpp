#include "model/constraintitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QJsonArray>

using namespace jsonfields;

ConstraintItem::ConstraintItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
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
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("type"), typeToString(m_type));
    object.insert(QLatin1String("columns"), QJsonArray::fromStringList(m_columns));
    object.insert(QLatin1String("referencedTableId"), m_referencedTableId);
    object.insert(QLatin1String("referencedColumns"), QJsonArray::fromStringList(m_referencedColumns));
    object.insert(QLatin1String("expression"), m_expression);
    object.insert(QLatin1String("description"), m_description);
    return object;
}

void ConstraintItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_type = typeFromString(readString(object, QLatin1String("type")));
    m_columns = readStringList(object, QLatin1String("columns"));
    m_referencedTableId = readString(object, QLatin1String("referencedTableId"));
    m_referencedColumns = readStringList(object, QLatin1String("referencedColumns"));
    m_expression = readString(object, QLatin1String("expression"));
    m_description = readString(object, QLatin1String("description"));
}
