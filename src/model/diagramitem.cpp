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
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("modelId"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("modelId"), m_modelId);
    return object;
}

void DiagramItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_modelId = readString(object, QLatin1String("modelId"));
}
