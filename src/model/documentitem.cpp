#include "model/documentitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

DocumentItem::DocumentItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject DocumentItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("fileName"), m_fileName);
    object.insert(QLatin1String("fileType"), m_fileType);
    object.insert(QLatin1String("description"), m_description);
    return object;
}

void DocumentItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_fileName = readString(object, QLatin1String("fileName"));
    m_fileType = readString(object, QLatin1String("fileType"));
    m_description = readString(object, QLatin1String("description"));
}
