#include "model/mappingitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

MappingItem::MappingItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject MappingItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("sourceModelId"), m_sourceModelId);
    object.insert(QLatin1String("sourceTableId"), m_sourceTableId);
    object.insert(QLatin1String("sourceColumnId"), m_sourceColumnId);
    object.insert(QLatin1String("targetModelId"), m_targetModelId);
    object.insert(QLatin1String("targetTableId"), m_targetTableId);
    object.insert(QLatin1String("targetColumnId"), m_targetColumnId);
    object.insert(QLatin1String("description"), m_description);
    return object;
}

void MappingItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_sourceModelId = readString(object, QLatin1String("sourceModelId"));
    m_sourceTableId = readString(object, QLatin1String("sourceTableId"));
    m_sourceColumnId = readString(object, QLatin1String("sourceColumnId"));
    m_targetModelId = readString(object, QLatin1String("targetModelId"));
    m_targetTableId = readString(object, QLatin1String("targetTableId"));
    m_targetColumnId = readString(object, QLatin1String("targetColumnId"));
    m_description = readString(object, QLatin1String("description"));
}
