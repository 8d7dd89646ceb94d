#include "model/viewitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

ViewItem::ViewItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject ViewItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("schema"), m_schema);
    object.insert(QLatin1String("definition"), m_definition);
    object.insert(QLatin1String("comment"), m_comment);
    return object;
}

void ViewItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_schema = readString(object, QLatin1String("schema"));
    m_definition = readString(object, QLatin1String("definition"));
    m_comment = readString(object, QLatin1String("comment"));
}
