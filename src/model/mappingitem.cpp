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
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("sourceModelId"), emptyText()},
        {QLatin1String("sourceTableId"), emptyText()},
        {QLatin1String("sourceColumnId"), emptyText()},
        {QLatin1String("targetModelId"), emptyText()},
        {QLatin1String("targetTableId"), emptyText()},
        {QLatin1String("targetColumnId"), emptyText()},
        {QLatin1String("description"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("sourceModelId"), m_sourceModelId);
    writeString(object, QLatin1String("sourceTableId"), m_sourceTableId);
    writeString(object, QLatin1String("sourceColumnId"), m_sourceColumnId);
    writeString(object, QLatin1String("targetModelId"), m_targetModelId);
    writeString(object, QLatin1String("targetTableId"), m_targetTableId);
    writeString(object, QLatin1String("targetColumnId"), m_targetColumnId);
    writeString(object, QLatin1String("description"), m_description);
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
