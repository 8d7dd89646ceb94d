#include "model/indexitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QJsonArray>

using namespace jsonfields;

IndexItem::IndexItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject IndexItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("unique"), m_unique);
    object.insert(QLatin1String("columns"), QJsonArray::fromStringList(m_columns));
    object.insert(QLatin1String("description"), m_description);
    return object;
}

void IndexItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_unique = readBool(object, QLatin1String("unique"), false);
    m_columns = readStringList(object, QLatin1String("columns"));
    m_description = readString(object, QLatin1String("description"));
}
