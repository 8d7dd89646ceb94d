#include "model/classificationitem.h"

#include "model/itemid.h"
#include "model/jsonfields.h"

using namespace jsonfields;

ClassificationItem::ClassificationItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
{
}

QJsonObject ClassificationItem::toJson() const
{
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("regulation"), emptyText()},
        {QLatin1String("description"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeString(object, QLatin1String("regulation"), m_regulation);
    writeString(object, QLatin1String("description"), m_description);
    return object;
}

void ClassificationItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"));
    m_regulation = readString(object, QLatin1String("regulation"));
    m_description = readString(object, QLatin1String("description"));
}
