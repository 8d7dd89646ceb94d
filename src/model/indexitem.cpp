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
    static const QJsonObject prototype = makePrototype({
        {QLatin1String("id"), emptyText()},
        {QLatin1String("name"), emptyText()},
        {QLatin1String("unique"), false},
        {QLatin1String("columns"), QJsonArray()},
        {QLatin1String("description"), emptyText()},
    });
    QJsonObject object = prototype;
    writeString(object, QLatin1String("id"), m_id);
    writeString(object, QLatin1String("name"), m_name);
    writeValue(object, QLatin1String("unique"), m_unique, false);
    writeStringList(object, QLatin1String("columns"), m_columns);
    writeString(object, QLatin1String("description"), m_description);
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
