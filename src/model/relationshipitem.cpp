#include "model/relationshipitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

RelationshipItem::RelationshipItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QString RelationshipItem::displayName() const
{
    if (!m_name.isEmpty())
        return m_name;
    if (!m_fromTableId.isEmpty() && !m_toTableId.isEmpty())
        return m_fromTableId.left(8) + QStringLiteral(" \u2192 ") + m_toTableId.left(8);
    return QStringLiteral("Relationship");
}

QJsonObject RelationshipItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("description"), emptyText()},
        {QLatin1String("constraintId"), emptyText()},
        {QLatin1String("fromTableId"), emptyText()},
        {QLatin1String("toTableId"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("description"), m_description);
    writeString(object, QLatin1String("constraintId"), m_constraintId);
    writeString(object, QLatin1String("fromTableId"), m_fromTableId);
    writeString(object, QLatin1String("toTableId"), m_toTableId);
    return object;
}

void RelationshipItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_description = readString(object, QLatin1String("description"));
    m_constraintId = readString(object, QLatin1String("constraintId"));
    m_fromTableId = readString(object, QLatin1String("fromTableId"));
    m_toTableId = readString(object, QLatin1String("toTableId"));
}
