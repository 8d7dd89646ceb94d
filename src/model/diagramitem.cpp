#include "model/diagramitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

DiagramItem::DiagramItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject DiagramItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("modelId"), m_modelId);
    return object;
}

void DiagramItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_modelId = readString(object, QLatin1String("modelId"));
}
